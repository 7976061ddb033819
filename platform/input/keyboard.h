#pragma once
// Keyboard state as 256 raw bytes indexed by DirectInput key code (DIK_*),
// bit 7 set while the key is down.
#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <vector>

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

// One key going down or up, with the modifier and Caps Lock states in force
// as it happened (for a Shift key itself: before it); or, with key 0, one
// character of typed text, as the layout and the modifiers made it.
struct KeyEvent {
    std::uint8_t key = 0;  // DirectInput code; 0 for a typed character
    bool down = false;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool capsLock = false;
    char32_t character = 0;  // with key 0: a character isTypedCharacter accepts
    bool operator==(const KeyEvent& o) const
    {
        return key == o.key && down == o.down && shift == o.shift && ctrl == o.ctrl && alt == o.alt &&
               capsLock == o.capsLock && character == o.character;
    }
};

class KeyboardSource {
public:
    // Events kept between two reads; typing never comes near it.
    static constexpr std::size_t kMaxEvents = 64;

    virtual ~KeyboardSource() = default;
    // Reads the current state; all keys up when the device cannot be read.
    // A key pressed and released since the last read reads down once.
    virtual InputResult read(KeyFrame& out) = 0;
    // The key events since the read before the last one, in the order they
    // happened: several keys can go down within one frame, and only this
    // order tells which came first. Typed characters come among them while
    // text input is on. Empty for a source that has none.
    virtual const std::vector<KeyEvent>& events() const { return m_noEvents; }
    // Typed text is taken only while text input is on (an edit field has
    // the focus); off, the keys type nothing and no input method opens.
    virtual void setTextInput(bool on) { m_textInput = on; }
    bool textInput() const { return m_textInput; }
    // Takes the device again after it was lost.
    virtual InputResult acquire() { return InputResult::Ok; }
    virtual LockToggles locks() { return LockToggles(); }
    // True while the active layout types Cyrillic letters.
    virtual bool cyrillicLayout() { return false; }

private:
    std::vector<KeyEvent> m_noEvents;
    bool m_textInput = false;
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
    // A key going down (+key) or up (-key), or a character typed, in a
    // frame of pushEvents.
    struct Step {
        std::uint8_t key;
        bool down;
        char32_t character = 0;
    };
    static Step press(std::uint8_t key) { return Step{key, true}; }
    static Step lift(std::uint8_t key) { return Step{key, false}; }
    static Step type(char32_t c) { return Step{0, false, c}; }

    InputResult read(KeyFrame& out) override;
    const std::vector<KeyEvent>& events() const override { return m_events; }
    InputResult acquire() override;
    LockToggles locks() override { return LockToggles{capsLock, numLock, scrollLock}; }
    bool cyrillicLayout() override { return cyrillic; }
    void push(const KeyFrame& frame) { frames.push_back(Queued{frame, {}}); }
    // Queues a frame with exactly the given keys down.
    void pushKeys(std::initializer_list<std::uint8_t> keys);
    // Queues a frame as SDL's keyboard reports one: the keys go down and up
    // in this order, each event with the Shift, Ctrl, Alt and Caps Lock
    // states of its moment; the frame reads down every key held at its end
    // or pressed within it. Keys stay held into later frames of pushEvents
    // until lifted. Caps Lock (capsLock) toggles at once as its key goes down.
    // Typed characters reach the reader only while text input is on, as
    // they do from SDL.
    void pushEvents(const std::vector<Step>& steps);

    struct Queued {
        KeyFrame frame;
        std::vector<KeyEvent> events;
    };
    std::deque<Queued> frames;
    KeyFrame last{};
    InputResult error = InputResult::Ok;         // what read() answers
    InputResult acquireError = InputResult::Ok;  // what acquire() answers
    int reads = 0;
    int acquires = 0;
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
    bool cyrillic = false;

private:
    std::vector<KeyEvent> m_events;
    KeyFrame m_held{};  // after the last frame of pushEvents
};

} // namespace platform
