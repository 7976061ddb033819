#include "platform/input/event_inject.h"

#include <SDL.h>

#include <cstring>

#include "platform/input/keyboard.h"
#include "platform/system/window.h"

namespace platform {

namespace {

bool push(SDL_Event& e) { return SDL_PushEvent(&e) == 1; }

Uint32 idOf(HWND window) { return window ? window->sdlId() : 0; }

} // namespace

bool injectFocus(HWND window, bool gained)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = idOf(window);
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    return push(e);
}

bool injectMouseButton(HWND window, int button, bool down)
{
    static const Uint8 buttons[3] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
    if (button < 0 || button > 2)
        return false;
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = idOf(window);
    e.button.button = buttons[button];
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    return push(e);
}

bool injectMouseMotion(HWND window, int dx, int dy)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = idOf(window);
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    return push(e);
}

bool injectMouseWheel(HWND window, int notches)
{
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = idOf(window);
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return push(e);
}

bool injectKey(HWND window, std::uint8_t key, bool down, bool shift, bool ctrl, bool alt)
{
    int scancode = 0;
    for (int sc = 1; sc < SDL_NUM_SCANCODES && !scancode; ++sc)
        if (dikFromScancode(sc) == key)
            scancode = sc;
    if (!scancode)
        return false;
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = idOf(window);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = SDL_Scancode(scancode);
    e.key.keysym.sym = SDL_GetKeyFromScancode(SDL_Scancode(scancode));
    e.key.keysym.mod = Uint16((shift ? KMOD_LSHIFT : 0) | (ctrl ? KMOD_LCTRL : 0) | (alt ? KMOD_LALT : 0));
    return push(e);
}

bool injectText(HWND window, const std::string& utf8)
{
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = idOf(window);
    if (utf8.size() >= sizeof e.text.text)
        return false;
    std::memcpy(e.text.text, utf8.data(), utf8.size());
    return push(e);
}

} // namespace platform
