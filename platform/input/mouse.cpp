#include "platform/input/mouse.h"

#include <SDL.h>

#include <atomic>

#include "platform/system/window.h"

namespace platform {

namespace {

bool isOurWindow(SDL_Window* w)
{
    if (!w)
        return false;
    const std::uint32_t id = SDL_GetWindowID(w);
    for (const Window* ours : windows()) {
        if (ours->sdlId() == id)
            return true;
    }
    return false;
}

class SdlMouse : public MouseSource {
public:
    InputResult read(MouseFrame& out) override
    {
        out = MouseFrame{};
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return InputResult::Ok;
        if (!m_watching) {
            SDL_AddEventWatch(&SdlMouse::watch, this);
            m_watching = true;
        }
        if (focused()) {
            const Uint32 state = SDL_GetMouseState(nullptr, nullptr);
            const Uint32 masks[3] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK};
            for (int b = 0; b < 3; ++b) {
                if ((state & masks[b]) || m_down[b] || m_pressedSinceRead[b])
                    out.buttons[b] = 0x80;
            }
            out.dx = m_dx;
            out.dy = m_dy;
            out.dz = m_dz;
        }
        m_dx = m_dy = m_dz = 0;
        m_pressedSinceRead = {};
        return InputResult::Ok;
    }

    bool cursorPos(HWND window, int& x, int& y) override { return window && window->cursorPos(x, y); }

    void setCursorPos(HWND window, int x, int y) override
    {
        if (window)
            window->setCursorPos(x, y);
    }

    void clientSize(HWND window, int& w, int& h) override
    {
        w = h = 0;
        if (!window)
            return;
        SDL_Window* sdl = SDL_GetWindowFromID(window->sdlId());
        if (sdl && (SDL_GetWindowFlags(sdl) & SDL_WINDOW_MINIMIZED))
            return;
        window->clientSize(w, h);
    }

private:
    // SDL's focus, or the last focus event of one of our windows (events
    // can arrive without SDL's own focus changing, as under the offscreen
    // driver).
    bool focused() const
    {
        return isOurWindow(SDL_GetKeyboardFocus()) || (m_focusedByEvent && !windows().empty());
    }

    static int buttonIndex(Uint8 button)
    {
        switch (button) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        default: return -1;
        }
    }

    // Motion and wheel are summed over the frame's events; a click that
    // begins and ends between two reads still reads down once.
    static int SDLCALL watch(void* self, SDL_Event* e)
    {
        SdlMouse* m = static_cast<SdlMouse*>(self);
        switch (e->type) {
        case SDL_MOUSEMOTION:
            m->m_dx += e->motion.xrel;
            m->m_dy += e->motion.yrel;
            break;
        case SDL_MOUSEWHEEL: {
            const std::int32_t notches = e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e->wheel.y : e->wheel.y;
            m->m_dz += notches * kWheelDelta;
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int b = buttonIndex(e->button.button);
            if (b >= 0) {
                m->m_down[b] = e->type == SDL_MOUSEBUTTONDOWN;
                if (m->m_down[b])
                    m->m_pressedSinceRead[b] = true;
            }
            break;
        }
        case SDL_WINDOWEVENT: {
            SDL_Window* w = SDL_GetWindowFromID(e->window.windowID);
            if (e->window.event == SDL_WINDOWEVENT_FOCUS_GAINED && isOurWindow(w))
                m->m_focusedByEvent = true;
            else if (e->window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                m->m_focusedByEvent = false;
            break;
        }
        default:
            break;
        }
        return 1;
    }

    std::int32_t m_dx = 0, m_dy = 0, m_dz = 0;
    std::array<bool, 3> m_pressedSinceRead{};
    std::array<bool, 3> m_down{};
    bool m_focusedByEvent = false;
    bool m_watching = false;
};

SdlMouse g_sdlMouse;
std::atomic<MouseSource*> g_mouse{nullptr};

} // namespace

MouseSource& sdlMouse() { return g_sdlMouse; }

MouseSource& mouse()
{
    MouseSource* m = g_mouse.load(std::memory_order_acquire);
    return m ? *m : g_sdlMouse;
}

void setMouse(MouseSource* source) { g_mouse.store(source, std::memory_order_release); }

InputResult ScriptedMouse::read(MouseFrame& out)
{
    if (error != InputResult::Ok) {
        out = MouseFrame{};
        return error;
    }
    if (frames.empty()) {
        out = MouseFrame{};
        return InputResult::Ok;
    }
    out = frames.front().raw;
    cursorX = frames.front().cursorX;
    cursorY = frames.front().cursorY;
    frames.pop_front();
    return InputResult::Ok;
}

InputResult ScriptedMouse::acquire()
{
    ++acquires;
    return acquireError;
}

bool ScriptedMouse::cursorPos(HWND, int& x, int& y)
{
    x = cursorX;
    y = cursorY;
    return true;
}

void ScriptedMouse::setCursorPos(HWND, int x, int y)
{
    cursorX = x;
    cursorY = y;
    ++warps;
}

void ScriptedMouse::clientSize(HWND window, int& w, int& h)
{
    w = h = 0;
    if (minimised)
        return;
    if (clientWidth > 0 && clientHeight > 0) {
        w = clientWidth;
        h = clientHeight;
    } else if (window) {
        window->clientSize(w, h);
    }
}

void ScriptedMouse::push(unsigned buttonBits, int x, int y, std::int32_t dx, std::int32_t dy, std::int32_t dz)
{
    Frame f;
    for (int b = 0; b < 3; ++b)
        f.raw.buttons[b] = (buttonBits & (1u << b)) ? 0x80 : 0;
    f.raw.dx = dx;
    f.raw.dy = dy;
    f.raw.dz = dz;
    f.cursorX = x;
    f.cursorY = y;
    frames.push_back(f);
}

} // namespace platform
