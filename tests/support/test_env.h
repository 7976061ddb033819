#pragma once
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

} // namespace test_env
