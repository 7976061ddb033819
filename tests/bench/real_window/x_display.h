#pragma once
// A real X display for the benchmarks that measure what the player gets:
// the caller's, or a virtual one (Xvfb with the openbox window manager)
// started for the run; and what a user does on it, through the XTEST
// extension (pointer moves, button and key presses) and a window manager's
// close request. No X header leaks out of here: the game's headers and
// Xlib's macros do not mix.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace real_window {

// Starts `argv` (looked up on PATH) with `env`, its stdout and stderr
// appended to `outPath`; `extraFd`, when given, becomes its fd 3. It is
// sent SIGTERM should this process die first, so nothing it started
// outlives an interrupted run. -1 when it could not start.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outPath,
            int extraFd = -1);

// Ends a child that would not end: SIGTERM, then SIGKILL after 5 s.
void stop(pid_t pid);

class Display {
public:
    // Null, and why, when the display cannot be opened or has no XTEST.
    static std::unique_ptr<Display> open(const std::string& name, std::string& error);
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // The viewable window of process `pid` (by its _NET_WM_PID); 0 while
    // it has none.
    unsigned long windowOf(pid_t pid);
    // Where the window's top left pixel is on the screen; false once gone.
    bool origin(unsigned long window, int& x, int& y);
    // A pixel of the window as 0xRRGGBB; false when it cannot be read.
    bool pixel(unsigned long window, int x, int y, std::uint32_t& rgb);
    // As the user's hand does: each is sent at once.
    void movePointer(int x, int y);
    void button(bool down);
    void escape(bool down);
    // What a window manager sends when the user closes the window.
    void requestClose(unsigned long window);
    // A window manager runs (it names itself on the root window).
    bool hasWindowManager();

private:
    struct Impl;
    explicit Display(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m;
};

// A virtual screen of its own: Xvfb, and openbox on it without key or mouse
// bindings of its own, stopped with this object. Their output goes into
// `folder`.
class VirtualServer {
public:
    static std::unique_ptr<VirtualServer> start(const std::string& folder, int width, int height,
                                                std::string& error);
    ~VirtualServer();
    VirtualServer(const VirtualServer&) = delete;
    VirtualServer& operator=(const VirtualServer&) = delete;

    const std::string& display() const { return m_display; }

private:
    VirtualServer() = default;
    pid_t m_server = -1;
    pid_t m_manager = -1;
    std::string m_display;
};

} // namespace real_window
