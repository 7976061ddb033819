// What bench_menu_pointer stands on: a process's processor time, the game
// log's last figures, the pointer's round, the processes it starts and
// ends, and a virtual screen of its own with the bare window on it. (Its
// smoke entry runs the game there.)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "bench/real_window/measure.h"
#include "bench/real_window/x_display.h"

namespace {

namespace rw = real_window;

double seconds(const timespec& t) { return double(t.tv_sec) + double(t.tv_nsec) * 1e-9; }

double threadCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return seconds(ts);
}

std::vector<std::string> pathOnly() { return {std::string("PATH=") + std::getenv("PATH")}; }

int exitCodeOf(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Ended: no such process, or one nobody has reaped yet.
bool gone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    return ::kill(pid, 0) != 0 || text.empty() || text.compare(text.rfind(')') + 2, 1, "Z") == 0;
}

TEST(ProcessCpu, CountsEndedThreadsToTheNanosecond)
{
    const double before = rw::processCpuSeconds(::getpid());
    ASSERT_GE(before, 0.0);
    // A thread that spends 0.3 s of processor time, then ends.
    std::thread([] {
        const double start = threadCpuSeconds();
        while (threadCpuSeconds() - start < 0.3) {
        }
    }).join();
    EXPECT_GE(rw::processCpuSeconds(::getpid()) - before, 0.25);

    // Finer than the 10 ms ticks of /proc/PID/stat: a turn's few hundred
    // milliseconds would carry their rounding.
    timespec self;
    const double earlier = rw::processCpuSeconds(::getpid());
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &self);
    const double later = rw::processCpuSeconds(::getpid());
    EXPECT_LE(earlier, seconds(self));
    EXPECT_LE(seconds(self), later);
    EXPECT_LT(later - earlier, 0.002);

    const pid_t ended = rw::spawn({"true"}, pathOnly(), "/dev/null");
    ASSERT_GT(ended, 0);
    ASSERT_EQ(exitCodeOf(ended), 0);
    EXPECT_LT(rw::processCpuSeconds(ended), 0.0);
}

TEST(GameLogEnd, ReadsTheLastRunsFiguresAndNothingFromARunCutShort)
{
    const std::string first = "00:00:09.403\taGraphServer. Average fps 69.5\n"
                              "00:00:09.403\taGraphServer. Frames drawn whole 8, in part 227, not at all 406\n";
    const std::string second = "00:00:03.616\taGraphServer. Average fps  0.0\n"
                               "00:00:03.616\taGraphServer. Frames drawn whole 6, in part 33, not at all 175\n";
    rw::GameLogEnd end;
    ASSERT_TRUE(rw::readGameLogEnd(first + "a2d Engine started\n" + second, end));
    EXPECT_EQ(end.averageFps, 0.0);
    EXPECT_EQ(end.whole, 6u);
    EXPECT_EQ(end.part, 33u);
    EXPECT_EQ(end.none, 175u);

    ASSERT_TRUE(rw::readGameLogEnd(first, end));
    EXPECT_DOUBLE_EQ(end.averageFps, 69.5);
    EXPECT_EQ(end.part, 227u);

    EXPECT_FALSE(rw::readGameLogEnd("00:00:03.616\taGraphServer. Average fps 62.0\n", end));
    EXPECT_FALSE(rw::readGameLogEnd("00:00:03.616\taGraphServer. Frames drawn whole 6, in part", end));
}

TEST(PointerRound, PassesEveryCornerAndGoesRoundInEvenSteps)
{
    const std::vector<rw::Point> path = {{280, 240}, {280, 680}, {800, 110}, {150, 420}};
    const auto at = [&](double d) { return rw::along(path, d); };
    const auto near = [](rw::Point a, rw::Point b) { return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1; };
    double corner = 0.0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        EXPECT_TRUE(near(at(corner), path[i])) << "corner " << i;
        const rw::Point a = path[i], b = path[(i + 1) % path.size()];
        corner += std::hypot(double(b.x - a.x), double(b.y - a.y));
    }
    // The last side closes the round; a second round is the first again.
    EXPECT_TRUE(near(at(corner - 0.001), path[0]));
    EXPECT_TRUE(near(at(corner + 450.0), at(450.0)));
    // Steps of 8 pixels never jump, round the corners and the close too.
    for (double d = 0.0; d < 2.5 * corner; d += 8.0) {
        const rw::Point a = at(d), b = at(d + 8.0);
        ASSERT_LE(std::hypot(double(b.x - a.x), double(b.y - a.y)), 9.5) << "at " << d;
    }
}

TEST(ProcessSpawn, GivesOutputToTheFileAndTheExtraDescriptorAsThree)
{
    const std::string out = std::string(std::getenv("TMPDIR")) + "/spawn-out.txt";
    std::filesystem::remove(out);
    // Once with the descriptor handed over on 3 already (3 held until then,
    // so that the pipe's other end cannot land on it), once elsewhere.
    const int saved = ::fcntl(3, F_DUPFD_CLOEXEC, 10);
    const int holder = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (holder != 3) {
        ASSERT_EQ(::dup3(holder, 3, O_CLOEXEC), 3);
        ::close(holder);
    }
    for (bool onThree : {true, false}) {
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        int give = fds[1];
        if (onThree) {
            ASSERT_EQ(::dup3(fds[1], 3, O_CLOEXEC), 3);
            ::close(fds[1]);
            give = 3;
        }
        const pid_t pid = rw::spawn(
            {"sh", "-c", "echo out; echo err >&2; read line || echo no input; echo three >&3"}, pathOnly(), out, give);
        ::close(give);
        ASSERT_GT(pid, 0);
        std::string three;
        char buffer[64];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            three.append(buffer, std::size_t(n));
        ::close(fds[0]);
        EXPECT_EQ(exitCodeOf(pid), 0);
        EXPECT_EQ(three, "three\n") << (onThree ? "on 3" : "elsewhere");
    }
    if (saved >= 0) {
        ::dup3(saved, 3, 0);
        ::close(saved);
    }
    std::ifstream in(out);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
              "out\nerr\nno input\nout\nerr\nno input\n");
    EXPECT_EQ(rw::spawn({"no-such-program-here"}, pathOnly(), out), -1);
}

TEST(ProcessSpawn, ChildrenEndWithTheirStarterAndStopEndsAStubbornOne)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    const pid_t starter = ::fork();
    if (starter == 0) {
        const pid_t sleeper = rw::spawn({"sleep", "60"}, pathOnly(), "/dev/null");
        const bool written = ::write(fds[1], &sleeper, sizeof sleeper) == ssize_t(sizeof sleeper);
        ::_exit(written ? 0 : 1);
    }
    ::close(fds[1]);
    pid_t sleeper = -1;
    ASSERT_EQ(::read(fds[0], &sleeper, sizeof sleeper), ssize_t(sizeof sleeper));
    ::close(fds[0]);
    ASSERT_EQ(exitCodeOf(starter), 0);
    ASSERT_GT(sleeper, 0);
    for (int i = 0; i < 200 && !gone(sleeper); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(gone(sleeper)) << "the sleep outlived the process that started it";

    // One that ignores SIGTERM is killed.
    const std::string said = std::string(std::getenv("TMPDIR")) + "/stubborn.txt";
    const pid_t stubborn =
        rw::spawn({"sh", "-c", "trap '' TERM; echo ready; while :; do sleep 0.1; done"}, pathOnly(), said);
    ASSERT_GT(stubborn, 0);
    const auto ready = [&] {
        std::ifstream in(said);
        std::string line;
        return std::getline(in, line) && line == "ready";
    };
    for (int i = 0; i < 200 && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    rw::stop(stubborn);
    EXPECT_TRUE(gone(stubborn));
    if (!gone(stubborn)) {
        ::kill(stubborn, SIGKILL);
        exitCodeOf(stubborn);
    }
}

TEST(VirtualScreen, ShowsAndClosesTheBareWindowThenLeavesNothingRunning)
{
    const std::string folder = std::string(std::getenv("TMPDIR")) + "/screen";
    std::filesystem::create_directories(folder);
    std::string display, error;
    {
        const std::unique_ptr<rw::VirtualServer> server = rw::VirtualServer::start(folder, 1280, 1024, error);
        ASSERT_TRUE(server) << error;
        display = server->display();
        const std::unique_ptr<rw::Display> x = rw::Display::open(display, error);
        ASSERT_TRUE(x) << error;
        EXPECT_TRUE(x->hasWindowManager());

        std::vector<std::string> env = pathOnly();
        // Leaks of the system's libraries are not its own.
        env.insert(env.end(),
                   {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "HOME=" + folder, "ASAN_OPTIONS=detect_leaks=0"});
        const pid_t bare = rw::spawn({A2D_BARE_WINDOW, "--paced"}, env, folder + "/bare.txt");
        ASSERT_GT(bare, 0);
        unsigned long window = 0;
        std::uint32_t rgb = 0;
        const auto within = [](double seconds, const std::function<bool()>& done) {
            for (int i = 0; i < int(seconds * 20) && !done(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return done();
        };
        // Inside the window manager's frame, and showing its colour.
        ASSERT_TRUE(within(60, [&] { return (window = x->windowOf(bare)) != 0; }));
        EXPECT_TRUE(within(30, [&] { return x->pixel(window, 512, 384, rgb) && rgb == 0x336699; }))
            << std::hex << rgb;
        int left = -1, top = -1;
        EXPECT_TRUE(x->origin(window, left, top));
        EXPECT_GT(top, 0) << "not below a title bar";

        x->requestClose(window);
        EXPECT_EQ(exitCodeOf(bare), 0);
        std::ifstream said(folder + "/bare.txt");
        const std::string text((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
        long frames = 0;
        double lifetime = 0.0;
        ASSERT_EQ(std::sscanf(text.c_str() + std::min(text.size(), text.find("frames")), "frames %ld seconds %lf",
                              &frames, &lifetime),
                  2)
            << text;
        // Paced: never more frames than the refresh, however the swap waited.
        EXPECT_GT(frames, 1);
        EXPECT_LE(double(frames), lifetime * 60.0 + 2.0);
        EXPECT_EQ(x->windowOf(bare), 0u);
    }
    // Its X server and window manager went with it.
    EXPECT_FALSE(rw::Display::open(display, error));
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

} // namespace
