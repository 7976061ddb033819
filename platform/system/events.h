#pragma once
// The message queue of the process: window-system events translated into
// window messages, messages posted by the program, and the quit request.
#include <cstdint>
#include <deque>
#include <functional>

#include "platform/system/win_types.h"

namespace platform {

struct Message {
    HWND window = nullptr;
    std::uint32_t message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Where translated events come from: SDL, or a script in tests.
class EventSource {
public:
    virtual ~EventSource() = default;
    // Takes one translated message if one is pending; never blocks.
    virtual bool poll(Message& out) = 0;
    // Blocks until an event may be pending (or a short timeout passes).
    virtual void wait() = 0;
};

// SDL's event queue, translated: close -> WM_CLOSE(kCloseFromWindow),
// focus -> WM_ACTIVATEAPP, maximise -> WM_SIZE(SIZE_MAXIMIZED),
// expose -> WM_PAINT, motion -> WM_SETCURSOR. SDL_QUIT (SIGINT/SIGTERM) ->
// WM_CLOSE(kCloseFromSignal) to the first window; closing the last window brings no
// SDL_QUIT of its own, so a close the program refuses leaves it running.
EventSource& sdlEventSource();

// Makes a hangup (SIGHUP: the terminal closed) a close request like
// SIGTERM, delivered through SDL's event source. Kept ignored when the
// process was started with the hangup ignored.
void closeOnHangup();

// A test double: hands out the queued messages in order. When empty, wait()
// queues WM_CLOSE for the first window so that a blocking loop ends.
class ScriptedEventSource : public EventSource {
public:
    bool poll(Message& out) override;
    void wait() override;
    void push(const Message& m) { queue.push_back(m); }
    void push(HWND window, std::uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        queue.push_back(Message{window, message, wParam, lParam});
    }
    std::deque<Message> queue;
    int waits = 0;
};

// The process's queue. Not thread-safe: the main thread owns it.
class MessageQueue {
public:
    // PeekMessage with remove: posted messages first, then the event source,
    // then WM_QUIT once the queue is otherwise empty.
    bool peek(Message& out);
    // GetMessage: blocks until a message arrives; false for WM_QUIT.
    bool get(Message& out);
    void post(const Message& m) { m_posted.push_back(m); }
    void postQuit(int exitCode);
    bool quitPosted() const { return m_quit; }
    // Event source in use (not owned); null restores SDL's.
    void setSource(EventSource* source) { m_source = source; }
    EventSource& source();
    // Forgets posted messages and the quit request (a new loop starts clean).
    void reset();

private:
    std::deque<Message> m_posted;
    EventSource* m_source = nullptr;
    bool m_quit = false;
    int m_quitCode = 0;
};

MessageQueue& messageQueue();

// The procedure every window forwards its messages to.
using WindowProc = std::function<LRESULT(HWND, std::uint32_t, WPARAM, LPARAM)>;

// Calls the procedure of the message's window (DispatchMessage); 0 when the
// window has none.
LRESULT dispatchMessage(const Message& m);
// Calls the window's procedure at once (SendMessage).
LRESULT sendMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
inline void postQuitMessage(int exitCode) { messageQueue().postQuit(exitCode); }

} // namespace platform
