#pragma once
// The graphics server: owns the game window's drawing surface and the
// frame (begin, end, present), the display mode and screenshots.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/util/a_timer.h"
#include "platform/win_types.h"

class aGraphServer {
public:
    // Creates the window (title null: the application's name) and registers
    // with the application. Throws aResultError(0x8A760001) when the window
    // or its drawing context cannot be made.
    aGraphServer(std::uint16_t width, std::uint16_t height, bool fullscreen, bool use32Bit, const char* title,
                 std::uint16_t iconId, bool vsync, bool multithreaded);
    ~aGraphServer();
    aGraphServer(const aGraphServer&) = delete;
    aGraphServer& operator=(const aGraphServer&) = delete;

    // False when a scene is already open.
    bool beginScene();
    void endScene();
    void setFullscreen(bool fullscreen);
    void setVideoMode(bool fullscreen, bool use32Bit, bool vsync);
    // Writes the last presented frame to the first free
    // "<folder>/<prefix>NNN.bmp".
    void saveScreenshot(const std::string& folder, const std::string& prefix);
    // Windowed placement of the window for a client area of width x height,
    // scaled down to fit the work area and centred in it.
    RECT calcWindowRect(std::uint16_t width, std::uint16_t height);

    bool isWindowed() const { return !m_fullscreen; }

    bool m_inScene = false;
    HWND m_window = nullptr;
    std::uint32_t m_clearColor = 0xFF000000;
    std::uint32_t m_desktopRefreshRate = 0;
    std::uint16_t m_backBufferWidth = 0;
    std::uint16_t m_backBufferHeight = 0;
    std::uint16_t m_clientWidth = 0;
    std::uint16_t m_clientHeight = 0;
    bool m_fullscreen = false;
    bool m_use32Bit = true;
    bool m_vsync = true;
    aTimer m_frameTimer;
};
