// What bench_menu_pointer stands on, apart from a display: a process's
// processor time, the game log's last figures, the pointer's round, and
// the processes it starts and ends. (Its smoke entry runs the rest on a
// virtual screen.)
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "bench/real_window/measure.h"
#include "bench/real_window/x_display.h"

namespace {

namespace rw = real_window;

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; }

double threadCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
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

TEST(ProcessCpu, CountsEndedThreadsAndReadsPastAnyName)
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

    // A name whose parentheses and numbers look like the fields after it.
    char name[16] = {};
    ::prctl(PR_GET_NAME, name);
    ::prctl(PR_SET_NAME, "a) 1 2 3 (b");
    const double renamed = rw::processCpuSeconds(::getpid());
    rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    ::prctl(PR_SET_NAME, name);
    EXPECT_NEAR(renamed, seconds(usage.ru_utime) + seconds(usage.ru_stime), 0.1);

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

} // namespace
