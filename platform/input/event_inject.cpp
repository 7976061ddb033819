#include "platform/input/event_inject.h"

#include <SDL.h>

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

} // namespace platform
