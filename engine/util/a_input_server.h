#pragma once
// Keyboard and mouse, polled once per frame. Every key and button keeps a
// four-state value: 0 up, 1 released this frame, 2 pressed this frame,
// 3 held. The state fields are read directly by the GUI and the game.
#include <cstdint>

#include "engine/util/a_timer.h"

class aAnim;

enum aKeyState : std::uint32_t {
    KEY_UP = 0,
    KEY_RELEASED = 1,
    KEY_PRESSED = 2,
    KEY_HELD = 3,
};

class aInputServer {
public:
    aInputServer();
    ~aInputServer();
    aInputServer(const aInputServer&) = delete;
    aInputServer& operator=(const aInputServer&) = delete;

    // The per-frame poll, called by the application's loop.
    void update();

    bool isAnyKeyPressed() const;
    std::uint32_t keyState(std::uint8_t key) const { return m_keys[key]; }
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
    std::uint32_t m_mouseButtons[3] = {};
    std::uint8_t m_rawKeys[256] = {};
    std::uint8_t m_prevRawKeys[256] = {};
    // The system cursor is shown and the mouse is shared; false takes the
    // mouse exclusively (the window hides the system cursor).
    bool m_useSystemCursor = true;
    std::uint16_t m_cursorHotX = 0;
    std::uint16_t m_cursorHotY = 0;
    std::uint32_t m_logMode = 0;
    std::int32_t m_cursorX = 0;
    std::int32_t m_cursorY = 0;
    aTimer m_timer;

private:
    void pollKeyboard();
};
