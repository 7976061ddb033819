#pragma once
// Keyboard and mouse, polled once per frame. Every key and button keeps a
// four-state value: 0 up, 1 released this frame, 2 pressed this frame,
// 3 held. The state fields are read directly by the GUI and the game.
//
// Beside the states, the keys that went down this frame are kept in the
// order they went down, each with the modifiers of its moment: typing fast
// puts several key-downs, and Shift going down and up, into one frame.
// Characters typed (text input, while an edit field has the focus) come
// among them in the same order.
//
// The raw input of every frame can be recorded into a memory log and saved
// as an ".input" file, or such a log played back in place of the devices.
// File format (little-endian, no header), per frame: for each key whose raw
// byte changed, u32 key and u8 byte; for each key that went down or
// character typed, in order, u32 512 + key and u8 modifier bits (KeyPress),
// or u32 0x1000000 + the character and u8 0; then u32 256; for each changed
// mouse button, u32 button and u8 byte, then u32 3; i32 lX, lY, lZ; i32
// cursor x, y. A frame without key-down records (older recordings) has its
// new keys pressed in key-code order with the frame's modifiers; without
// character records nothing is typed.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/util/a_timer.h"

class aAnim;

enum aKeyState : std::uint32_t {
    KEY_UP = 0,
    KEY_RELEASED = 1,
    KEY_PRESSED = 2,
    KEY_HELD = 3,
};

enum aInputLogMode : std::uint32_t {
    INPUT_LOG_OFF = 0,
    INPUT_LOG_RECORDING = 1,
    INPUT_LOG_PLAYING = 2,
};

class aInputServer {
public:
    // A key that went down, with the modifiers held (and Caps Lock's toggle)
    // at that moment; or, with key 0, a character typed.
    struct KeyPress {
        static constexpr std::uint8_t kShift = 1;
        static constexpr std::uint8_t kCtrl = 2;
        static constexpr std::uint8_t kAlt = 4;
        static constexpr std::uint8_t kCapsLock = 8;
        static constexpr std::uint8_t kAll = 15;
        std::uint8_t key = 0;
        std::uint8_t modifiers = 0;
        char32_t character = 0;  // key 0: what was typed (platform::isTypedCharacter)
    };
    // Key-down records of a recording start here (512 + key).
    static constexpr std::uint32_t kKeyPressRecord = 512;
    // Typed-character records: this plus the character.
    static constexpr std::uint32_t kTypedRecord = 0x1000000;
    // More key-downs and characters in one frame than anyone types; the rest
    // are dropped.
    static constexpr std::size_t kMaxKeyPresses = 64;

    struct DoubleClick {
        std::uint8_t clicked = 0;  // double-clicked this frame
        std::uint8_t waiting = 0;  // waiting for the second press
        std::int32_t timer = -1;   // milliseconds; -1 idle
        std::int32_t x = 0;
        std::int32_t y = 0;
    };

    aInputServer();
    ~aInputServer();
    aInputServer(const aInputServer&) = delete;
    aInputServer& operator=(const aInputServer&) = delete;

    // The per-frame poll, called by the application's loop.
    void update();
    // useSystemCursor false takes the mouse exclusively (the window hides
    // the system cursor); reset clears the mouse states.
    void createMouse(bool useSystemCursor, bool reset);

    void getMousePos(std::int32_t& x, std::int32_t& y) const;
    void setMousePos(std::int32_t x, std::int32_t y);
    bool isAnyKeyPressed() const;
    bool isAnyMouseButtonPressed() const;
    void resetMouseButtons();

    // The image cursor (the animation is the caller's; hot spot in pixels).
    void setCursorAnim(aAnim* animation, std::uint16_t hotX, std::uint16_t hotY);
    void setSystemCursor(std::uint32_t cursorId);

    // Recording and playback; nothing in the program's flow starts them.
    void startRecording();
    // Plays a recorded log; the callback runs once when it ends.
    bool startPlayback(const std::string& path, void (*onEnd)());
    void startPlayback(std::vector<std::uint8_t> log, void (*onEnd)());
    // Writes the recording to the first free "<folder><name>NNN.input".
    void saveInputLog(const std::string& name);
    // Bytes of the playback log not yet read; 0 when not playing back.
    std::size_t playbackBytesLeft() const { return m_logMode == INPUT_LOG_PLAYING ? m_log.size() - m_logPos : 0; }

    // Asks the keyboard for typed text (on while an edit field has the
    // focus); the keyboard hears only of changes.
    void setTextInput(bool on);

    std::uint32_t keyState(std::uint8_t key) const { return m_keys[key]; }
    // How often the key went down this frame with all of the modifiers
    // (KeyPress bits: Shift, Ctrl, Alt) held at its moment. A frame without
    // key-down records of its own (an older recording) reads the modifiers'
    // keys as the frame ends.
    int timesPressedWith(std::uint8_t key, std::uint8_t modifiers) const;
    // State 2 or 3.
    bool isKeyDown(std::uint8_t key) const { return m_keys[key] >= KEY_PRESSED; }

    // Advances a four-state value by whether the key is down now.
    static std::uint32_t nextState(std::uint32_t state, bool down)
    {
        const bool wasDown = state == KEY_PRESSED || state == KEY_HELD;
        if (down)
            return wasDown ? KEY_HELD : KEY_PRESSED;
        return wasDown ? KEY_RELEASED : KEY_UP;
    }

    std::uint32_t m_keys[256] = {};
    // This frame's key-downs in order (empty in a frame not polled).
    std::vector<KeyPress> m_keyPresses;
    // Counts the polled frames, so that a reader sees each frame's
    // key-downs once however often it runs.
    std::uint64_t m_polls = 0;
    std::uint32_t m_mouseButtons[3] = {};
    DoubleClick m_doubleClick[3];
    std::uint8_t m_rawKeys[256] = {};
    std::uint8_t m_prevRawKeys[256] = {};
    std::int32_t m_lX = 0;
    std::int32_t m_lY = 0;
    std::int32_t m_lZ = 0;
    std::uint8_t m_rawButtons[4] = {};
    std::uint8_t m_prevRawButtons[3] = {};
    bool m_hasKeyboard = false;
    bool m_hasMouse = false;
    // The system cursor is shown and the mouse is shared; false takes the
    // mouse exclusively.
    bool m_useSystemCursor = true;
    std::uint16_t m_cursorHotX = 0;
    std::uint16_t m_cursorHotY = 0;
    std::uint32_t m_logMode = INPUT_LOG_OFF;
    std::int32_t m_cursorX = 0;
    std::int32_t m_cursorY = 0;
    void (*m_playbackEnd)() = nullptr;
    aTimer m_timer;

private:
    void pollKeyboard();
    void pollMouse();
    void updateCursor();
    void updateDoubleClicks();
    void sendSetCursor();
    // Deletes the application's image cursor.
    void dropImageCursor();

    void append(const void* data, std::size_t size);
    void appendU32(std::uint32_t v) { append(&v, 4); }
    void appendI32(std::int32_t v) { append(&v, 4); }
    // Reads from the playback log; false (and playback ended) when short.
    bool readBytes(void* out, std::size_t size);
    bool readU32(std::uint32_t& v) { return readBytes(&v, 4); }
    bool readI32(std::int32_t& v) { return readBytes(&v, 4); }
    void endPlayback(const char* why);

    std::vector<std::uint8_t> m_log;
    std::size_t m_logPos = 0;
    int m_textInput = -1;  // as last told to the keyboard; -1 not yet
    bool m_endCallbackPending = false;
    aAnim* m_lastCursorAnim = nullptr;
};
