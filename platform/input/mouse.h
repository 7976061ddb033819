#pragma once
// The mouse as the engine polls it once per frame: three button bytes
// (0x80 = down), the frame's relative motion and wheel (120 per notch), and
// the cursor position relative to a window's client area, even outside it.
#include <array>
#include <cstdint>
#include <deque>

#include "platform/input/input_result.h"
#include "platform/system/win_types.h"

namespace platform {

constexpr std::int32_t kWheelDelta = 120;
// Longest time between the clicks of a double click; shared with the GUI.
constexpr std::uint32_t kDoubleClickTimeMs = 500;

struct MouseFrame {
    std::array<std::uint8_t, 4> buttons{};  // left, right, middle, unused
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    std::int32_t dz = 0;
};

class MouseSource {
public:
    virtual ~MouseSource() = default;
    // Buttons and the motion since the last read; nothing down and no
    // motion when unreadable.
    virtual InputResult read(MouseFrame& out) = 0;
    // Takes the device again after it was lost.
    virtual InputResult acquire() { return InputResult::Ok; }
    // Cursor position relative to the window's client area; false when unknown.
    virtual bool cursorPos(HWND window, int& x, int& y) = 0;
    virtual void setCursorPos(HWND window, int x, int y) = 0;
    // Client size; 0 x 0 while the window is minimised.
    virtual void clientSize(HWND window, int& w, int& h) = 0;
};

// SDL's mouse. Buttons read up and motion 0 while no window of ours has
// focus; presses shorter than a frame still read down once.
MouseSource& sdlMouse();

// The mouse in use: SDL's unless a test installed another (not owned).
MouseSource& mouse();
void setMouse(MouseSource* source);

// A test double: each read takes the next queued frame (then all up, no
// motion); the cursor position and client size are set by the test.
class ScriptedMouse : public MouseSource {
public:
    struct Frame {
        MouseFrame raw;
        int cursorX = 0;
        int cursorY = 0;
    };
    InputResult read(MouseFrame& out) override;
    InputResult acquire() override;
    bool cursorPos(HWND window, int& x, int& y) override;
    void setCursorPos(HWND window, int x, int y) override;
    void clientSize(HWND window, int& w, int& h) override;

    // Queues a frame: buttons as bits (1 left, 2 right, 4 middle).
    void push(unsigned buttonBits, int cursorX, int cursorY, std::int32_t dx = 0, std::int32_t dy = 0,
              std::int32_t dz = 0);

    std::deque<Frame> frames;
    int cursorX = 0;
    int cursorY = 0;
    int clientWidth = 0;   // 0: use the window's own size
    int clientHeight = 0;
    bool minimised = false;
    InputResult error = InputResult::Ok;         // what read() answers
    InputResult acquireError = InputResult::Ok;  // what acquire() answers
    int acquires = 0;
    int warps = 0;
};

} // namespace platform
