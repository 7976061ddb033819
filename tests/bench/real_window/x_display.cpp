#include "x_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

extern char** environ;

namespace real_window {

namespace {

using Clock = std::chrono::steady_clock;

// The program's path as execve wants it: looked up on PATH unless it names one.
std::string findProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        std::size_t end = dirs.find(':', at);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string candidate = dirs.substr(at, end - at) + "/" + name;
        if (end > at && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        at = end + 1;
    }
    return {};
}

// A window that went away between a look-up and a request answers with an
// error: the request failed, the benchmark goes on (Xlib's own handler
// would end the process).
int ignoreError(::Display*, XErrorEvent*) { return 0; }

bool secondsPassed(Clock::time_point start, double seconds)
{
    return std::chrono::duration<double>(Clock::now() - start).count() >= seconds;
}

// Waits up to `seconds` for the child to end; its exit code, or -1 when it
// did not end in time (it is left running) or ended by a signal.
int waitExit(pid_t pid, double seconds)
{
    const Clock::time_point start = Clock::now();
    for (;;) {
        int status = 0;
        const pid_t got = ::waitpid(pid, &status, WNOHANG);
        if (got == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (got < 0 || secondsPassed(start, seconds))
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outPath,
            int extraFd)
{
    const std::string program = argv.empty() ? std::string() : findProgram(argv[0]);
    if (program.empty())
        return -1;
    std::vector<char*> args, envp;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    // The child: only calls that are safe between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(127);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0)
        ::_exit(127);
    if (extraFd == 3)
        ::fcntl(3, F_SETFD, 0);  // dup2 onto itself would keep close-on-exec
    else if (extraFd >= 0 && ::dup2(extraFd, 3) < 0)
        ::_exit(127);
    ::execve(program.c_str(), args.data(), envp.data());
    ::_exit(127);
}

void stop(pid_t pid)
{
    if (pid <= 0 || ::kill(pid, SIGTERM) != 0)
        return;
    const Clock::time_point start = Clock::now();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (secondsPassed(start, 5.0)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct Display::Impl {
    ::Display* display = nullptr;
    ::Window root = 0;
    Atom pidAtom = 0, protocols = 0, deleteWindow = 0, wmCheck = 0;

    // The single CARDINAL or WINDOW a property holds.
    bool property(::Window window, Atom name, Atom type, unsigned long& value)
    {
        Atom gotType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool read = XGetWindowProperty(display, window, name, 0, 1, False, type, &gotType, &format, &count,
                                             &after, &data) == Success;
        const bool got = read && data && gotType == type && format == 32 && count == 1;
        if (got)
            value = *reinterpret_cast<unsigned long*>(data);
        if (data)
            XFree(data);
        return got;
    }

    // A window manager puts the client's window into a frame of its own:
    // the window sought is a few levels down.
    ::Window find(::Window window, pid_t pid, int depth)
    {
        unsigned long owner = 0;
        XWindowAttributes attributes;
        if (depth > 0 && property(window, pidAtom, XA_CARDINAL, owner) && owner == static_cast<unsigned long>(pid) &&
            XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            return window;
        ::Window rootBack = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        ::Window found = 0;
        if (depth < 3 && XQueryTree(display, window, &rootBack, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !found; ++i)
                found = find(children[i], pid, depth + 1);
        }
        if (children)
            XFree(children);
        return found;
    }
};

Display::Display(std::unique_ptr<Impl> impl) : m(std::move(impl)) {}

Display::~Display()
{
    if (m->display)
        XCloseDisplay(m->display);
}

std::unique_ptr<Display> Display::open(const std::string& name, std::string& error)
{
    XSetErrorHandler(ignoreError);
    auto impl = std::make_unique<Impl>();
    impl->display = XOpenDisplay(name.c_str());
    if (!impl->display) {
        error = "cannot open the X display " + name;
        return nullptr;
    }
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(impl->display, &event, &errorBase, &major, &minor)) {
        XCloseDisplay(impl->display);
        error = "the X display " + name + " has no XTEST extension";
        return nullptr;
    }
    impl->root = DefaultRootWindow(impl->display);
    impl->pidAtom = XInternAtom(impl->display, "_NET_WM_PID", False);
    impl->protocols = XInternAtom(impl->display, "WM_PROTOCOLS", False);
    impl->deleteWindow = XInternAtom(impl->display, "WM_DELETE_WINDOW", False);
    impl->wmCheck = XInternAtom(impl->display, "_NET_SUPPORTING_WM_CHECK", False);
    return std::unique_ptr<Display>(new Display(std::move(impl)));
}

unsigned long Display::windowOf(pid_t pid) { return m->find(m->root, pid, 0); }

bool Display::origin(unsigned long window, int& x, int& y)
{
    ::Window child = 0;
    return XTranslateCoordinates(m->display, window, m->root, 0, 0, &x, &y, &child);
}

bool Display::pixel(unsigned long window, int x, int y, std::uint32_t& rgb)
{
    XImage* image = XGetImage(m->display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return false;
    const unsigned long value = XGetPixel(image, 0, 0);
    rgb = 0;
    for (unsigned long mask : {image->red_mask, image->green_mask, image->blue_mask}) {
        if (!mask) {
            XDestroyImage(image);
            return false;
        }
        const unsigned long channel = (value & mask) >> __builtin_ctzl(mask);
        const unsigned long top = mask >> __builtin_ctzl(mask);
        rgb = (rgb << 8) | std::uint32_t(channel * 255 / top);
    }
    XDestroyImage(image);
    return true;
}

void Display::movePointer(int x, int y)
{
    XTestFakeMotionEvent(m->display, -1, x, y, CurrentTime);
    XFlush(m->display);
}

void Display::button(bool down)
{
    XTestFakeButtonEvent(m->display, 1, down ? True : False, CurrentTime);
    XFlush(m->display);
}

void Display::escape(bool down)
{
    XTestFakeKeyEvent(m->display, XKeysymToKeycode(m->display, XK_Escape), down ? True : False, CurrentTime);
    XFlush(m->display);
}

void Display::requestClose(unsigned long window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m->protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(m->deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m->display, window, False, NoEventMask, &event);
    // Answered before this returns: a request still in flight when its
    // sender moves on can be read late.
    XSync(m->display, False);
}

bool Display::hasWindowManager()
{
    unsigned long check = 0;
    return m->property(m->root, m->wmCheck, XA_WINDOW, check) && check != 0;
}

std::unique_ptr<VirtualServer> VirtualServer::start(const std::string& folder, int width, int height,
                                                    std::string& error)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("DISPLAY=", 0) != 0)
            env.push_back(*e);
    }
    std::unique_ptr<VirtualServer> server(new VirtualServer);
    // Xvfb picks a free display and writes its number to fd 3 once it
    // takes connections.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = "no pipe";
        return nullptr;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server->m_server = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                             env, folder + "/xvfb.txt", fds[1]);
    ::close(fds[1]);
    std::string number;
    const Clock::time_point start = Clock::now();
    while (server->m_server > 0 && number.find('\n') == std::string::npos && !secondsPassed(start, 60.0)) {
        pollfd p{fds[0], POLLIN, 0};
        char buffer[16];
        ssize_t n = 0;
        if (::poll(&p, 1, 1000) > 0 && (n = ::read(fds[0], buffer, sizeof buffer)) <= 0)
            break;
        number.append(buffer, std::size_t(n));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        error = server->m_server > 0 ? "Xvfb did not start (its output: " + folder + "/xvfb.txt)"
                                     : "no Xvfb to start (scripts/setup installs it)";
        return nullptr;
    }
    server->m_display = ":" + number.substr(0, number.find('\n'));

    const std::string config = folder + "/openbox.xml";
    std::ofstream(config) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<openbox_config xmlns=\"http://openbox.org/3.4/rc\"><keyboard></keyboard>"
                             "<mouse></mouse></openbox_config>\n";
    env.push_back("DISPLAY=" + server->m_display);
    server->m_manager = spawn({"openbox", "--config-file", config}, env, folder + "/openbox.txt");
    std::unique_ptr<Display> display = Display::open(server->m_display, error);
    if (!display)
        return nullptr;
    const Clock::time_point managerStart = Clock::now();
    while (server->m_manager > 0 && !display->hasWindowManager()) {
        if (secondsPassed(managerStart, 60.0) || waitExit(server->m_manager, 0.0) != -1) {
            error = "openbox did not take the screen (its output: " + folder + "/openbox.txt)";
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (server->m_manager <= 0) {
        error = "no openbox to start (scripts/setup installs it)";
        return nullptr;
    }
    return server;
}

VirtualServer::~VirtualServer()
{
    stop(m_manager);
    stop(m_server);
}

} // namespace real_window
