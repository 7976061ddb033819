#pragma once
#include <functional>
#include <string>
#include <vector>

namespace test_env {

// Creates a new temporary folder and points HOME, XDG_DATA_HOME and TMPDIR
// into it (HOME itself, HOME/.local/share, HOME/tmp).
void makeFreshHome();
void removeHome();
// The current temporary HOME ("" outside a test).
const std::string& home();
// $XDG_DATA_HOME with a trailing '/'.
std::string dataHome();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool exists(const std::string& path);
// Lines of a text file, without their line ends.
std::vector<std::string> readLines(const std::string& path);
// While one of these lives, death-test children (which re-run the test from
// its start) reuse this test's HOME instead of making their own, so the
// parent can read what a child left behind.
constexpr const char* kInheritHomeVariable = "A2D_TEST_INHERIT_HOME";
class InheritHome {
public:
    InheritHome();
    ~InheritHome();
};

// The repository's source folder (for test data).
std::string sourceDir();

// An environment switch is on when set, non-empty and not "0" (as the
// programs read A2D_CHECK_FRAMES and A2D_WHOLE_FRAMES).
bool switchedOn(const char* name);
// Sets a variable for its lifetime, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_was = false;
    std::string m_value;
};

// While one lives, the calling thread (only) is held to files' modes as any
// user is: root's rights past them leave its effective set. active() is
// false where they could not be dropped.
class WithoutFileRights {
public:
    WithoutFileRights();
    ~WithoutFileRights();
    bool active() const { return m_active; }

private:
    bool m_active = false;
    unsigned m_effective = 0;
};

// CPU seconds the calling thread spends in f: what a bound on work checks,
// whatever else keeps the machine busy.
double cpuSeconds(const std::function<void()>& f);
// How many times slower the sanitizers make this build's code: limits on
// CPU time are multiplied by it.
#if defined(__SANITIZE_THREAD__)
constexpr double kSanitizerSlowdown = 5.0;
#elif defined(__SANITIZE_ADDRESS__)
constexpr double kSanitizerSlowdown = 2.0;
#else
constexpr double kSanitizerSlowdown = 1.0;
#endif

} // namespace test_env
