#pragma once
#include <cstdint>
#include <exception>

// Result codes of fatal start-up and display failures; the application
// turns each into a message for the player.
constexpr std::int32_t A2D_E_D3DINIT = std::int32_t(0x8A760001u);
constexpr std::int32_t A2D_E_LOGFILE = std::int32_t(0x8A760002u);
constexpr std::int32_t A2D_E_D3DDEVICE = std::int32_t(0x8A760003u);
constexpr std::int32_t A2D_E_LOADMEDIA = std::int32_t(0x8A76000Bu);
constexpr std::int32_t A2D_E_FILENOTFOUND = std::int32_t(0x80070002u);
constexpr std::int32_t A2D_E_DRIVERINTERNAL = std::int32_t(0x88760827u);
constexpr std::int32_t A2D_E_ABORT = std::int32_t(0x80004004u);
// The window could not open: no display to open it on, or no OpenGL 3.3.
constexpr std::int32_t A2D_E_NODISPLAY = std::int32_t(0x8A760101u);
constexpr std::int32_t A2D_E_NOOPENGL = std::int32_t(0x8A760102u);

// A failure raised with its result code.
class aResultError : public std::exception {
public:
    explicit aResultError(std::int32_t code) : m_code(code) {}
    std::int32_t code() const { return m_code; }
    const char* what() const noexcept override { return "a2d result error"; }

private:
    std::int32_t m_code;
};
