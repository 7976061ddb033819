#pragma once
// Keyboard state as 256 raw bytes indexed by DirectInput key code (DIK_*),
// bit 7 set while the key is down.
#include <array>
#include <cstdint>
#include <deque>

#include "platform/input/dinput_keys.h"
#include "platform/input/input_result.h"

namespace platform {

using KeyFrame = std::array<std::uint8_t, 256>;

// The toggle states of the lock keys (on: the key's light is lit).
struct LockToggles {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

class KeyboardSource {
public:
    virtual ~KeyboardSource() = default;
    // Reads the current state; all keys up when the device cannot be read.
    virtual InputResult read(KeyFrame& out) = 0;
    // Takes the device again after it was lost.
    virtual InputResult acquire() { return InputResult::Ok; }
    virtual LockToggles locks() { return LockToggles(); }
    // True while the active layout types Cyrillic letters.
    virtual bool cyrillicLayout() { return false; }
};

// SDL's keyboard through the scancode table. Every key reads up while no
// window of ours has keyboard focus.
KeyboardSource& sdlKeyboard();

// The keyboard in use: SDL's unless a test installed another (not owned).
KeyboardSource& keyboard();
void setKeyboard(KeyboardSource* source);
// The lock toggles of the keyboard in use.
LockToggles lockToggles();
// Whether the keyboard in use types Cyrillic. SDL's: the key its layout
// puts on the Q position is a Cyrillic letter (false before video starts).
bool cyrillicLayout();

// DirectInput key code of an SDL scancode; 0 when the key has none.
std::uint8_t dikFromScancode(int scancode);

// A test double: each read takes the next queued frame; when the queue is
// empty the last frame read is repeated (all up at first).
class ScriptedKeyboard : public KeyboardSource {
public:
    InputResult read(KeyFrame& out) override;
    InputResult acquire() override;
    LockToggles locks() override { return LockToggles{capsLock, numLock, scrollLock}; }
    bool cyrillicLayout() override { return cyrillic; }
    void push(const KeyFrame& frame) { frames.push_back(frame); }
    // Queues a frame with exactly the given keys down.
    void pushKeys(std::initializer_list<std::uint8_t> keys);
    std::deque<KeyFrame> frames;
    KeyFrame last{};
    InputResult error = InputResult::Ok;         // what read() answers
    InputResult acquireError = InputResult::Ok;  // what acquire() answers
    int reads = 0;
    int acquires = 0;
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
    bool cyrillic = false;
};

} // namespace platform
