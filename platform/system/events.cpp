#include "platform/system/events.h"

#include <SDL.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/system/window.h"

namespace platform {

namespace {

// lParam of WM_SETCURSOR: hit-test code in the low word, the mouse message in the high word.
constexpr LPARAM kHitClient = 1;

Window* windowById(std::uint32_t id)
{
    for (Window* w : windows())
        if (w->sdlId() == id)
            return w;
    return nullptr;
}

Window* firstWindow()
{
    const auto& all = windows();
    return all.empty() ? nullptr : all.front();
}

bool isLive(HWND window)
{
    const auto& all = windows();
    return std::find(all.begin(), all.end(), window) != all.end();
}

// False for events the engine has no message for, and for events of windows
// that are not ours (or no longer exist).
bool translate(const SDL_Event& e, Message& out)
{
    switch (e.type) {
    case SDL_QUIT:
        out = Message{firstWindow(), WM_CLOSE, kCloseFromSignal, 0};
        return true;
    case SDL_WINDOWEVENT: {
        Window* w = windowById(e.window.windowID);
        if (!w)
            return false;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            out = Message{w, WM_CLOSE, kCloseFromWindow, 0};
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            out = Message{w, WM_ACTIVATEAPP, 1, 0};
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            out = Message{w, WM_ACTIVATEAPP, 0, 0};
            return true;
        case SDL_WINDOWEVENT_MAXIMIZED: {
            int cw = 0, ch = 0;
            w->clientSize(cw, ch);
            out = Message{w, WM_SIZE, SIZE_MAXIMIZED,
                          static_cast<LPARAM>((ch & 0xFFFF) << 16 | (cw & 0xFFFF))};
            return true;
        }
        case SDL_WINDOWEVENT_EXPOSED:
            out = Message{w, WM_PAINT, 0, 0};
            return true;
        default:
            return false;
        }
    }
    case SDL_MOUSEMOTION: {
        Window* w = windowById(e.motion.windowID);
        if (!w)
            return false;
        out = Message{w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w),
                      static_cast<LPARAM>(WM_MOUSEMOVE) << 16 | kHitClient};
        return true;
    }
    default:
        return false;
    }
}

void releaseEvent(SDL_Event& e)
{
    // Dropped files carry a string SDL allocated for us.
    if (e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) {
        SDL_free(e.drop.file);
        e.drop.file = nullptr;
    }
}

volatile std::sig_atomic_t g_hangup = 0;

void onHangup(int) { g_hangup = 1; }

class SdlEventSource : public EventSource {
public:
    bool poll(Message& out) override
    {
        if (g_hangup) {
            g_hangup = 0;
            out = Message{firstWindow(), WM_CLOSE, kCloseFromSignal, 0};
            return true;
        }
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return false;
        // Events are kept untranslated until handed out, so a window closed
        // meanwhile is never named in a message.
        if (m_hasPending) {
            m_hasPending = false;
            bool ok = translate(m_pending, out);
            releaseEvent(m_pending);
            if (ok)
                return true;
        }
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            bool ok = translate(e, out);
            releaseEvent(e);
            if (ok)
                return true;
        }
        return false;
    }

    void wait() override
    {
        if (!SDL_WasInit(SDL_INIT_VIDEO)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return;
        }
        if (m_hasPending)
            return;
        if (SDL_WaitEventTimeout(&m_pending, 50))
            m_hasPending = true;
    }

private:
    SDL_Event m_pending{};
    bool m_hasPending = false;
};

} // namespace

void closeOnHangup()
{
    struct sigaction old{};
    if (::sigaction(SIGHUP, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
        return;  // started under nohup: the hangup stays ignored
    struct sigaction sa{};
    sa.sa_handler = onHangup;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGHUP, &sa, nullptr);
}

EventSource& sdlEventSource()
{
    static SdlEventSource source;
    return source;
}

bool ScriptedEventSource::poll(Message& out)
{
    if (queue.empty())
        return false;
    out = queue.front();
    queue.pop_front();
    return true;
}

void ScriptedEventSource::wait()
{
    ++waits;
    if (queue.empty())
        push(firstWindow(), WM_CLOSE);
}

EventSource& MessageQueue::source() { return m_source ? *m_source : sdlEventSource(); }

bool MessageQueue::peek(Message& out)
{
    // Messages posted to a window destroyed since are dropped, as they would
    // otherwise reach a dangling window.
    while (!m_posted.empty()) {
        Message m = m_posted.front();
        m_posted.pop_front();
        if (m.window && !isLive(m.window))
            continue;
        out = m;
        return true;
    }
    if (source().poll(out))
        return true;
    // The quit request stays until reset(), so nested loops all see it.
    if (m_quit) {
        out = Message{nullptr, WM_QUIT, static_cast<WPARAM>(m_quitCode), 0};
        return true;
    }
    return false;
}

bool MessageQueue::get(Message& out)
{
    while (!peek(out))
        source().wait();
    return out.message != WM_QUIT;
}

void MessageQueue::postQuit(int exitCode)
{
    m_quit = true;
    m_quitCode = exitCode;
}

void MessageQueue::reset()
{
    m_posted.clear();
    m_quit = false;
    m_quitCode = 0;
}

MessageQueue& messageQueue()
{
    static MessageQueue queue;
    return queue;
}

LRESULT dispatchMessage(const Message& m) { return sendMessage(m.window, m.message, m.wParam, m.lParam); }

LRESULT sendMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (!window || !window->proc())
        return 0;
    return window->proc()(window, message, wParam, lParam);
}

} // namespace platform
