#include "support/test_env.h"

#include <cstdlib>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace test_env {

namespace {
std::string g_home;
std::string g_baseTmp;
bool g_inherited = false;

void pointEnvironmentAt(const std::string& home)
{
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("TMPDIR", (home + "/tmp").c_str(), 1);
}
} // namespace

void makeFreshHome()
{
    // A death-test child works in its parent's folder.
    if (const char* inherited = std::getenv(kInheritHomeVariable)) {
        g_home = inherited;
        g_inherited = true;
        pointEnvironmentAt(g_home);
        return;
    }
    g_inherited = false;
    if (g_baseTmp.empty()) {
        const char* t = std::getenv("TMPDIR");
        g_baseTmp = (t && *t) ? t : "/tmp";
    }
    std::string templ = g_baseTmp + "/a2d-test-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    g_home = buf.data();
    fs::create_directories(g_home + "/.local/share");
    fs::create_directories(g_home + "/tmp");
    pointEnvironmentAt(g_home);
}

void removeHome()
{
    if (g_home.empty())
        return;
    if (g_inherited) {
        g_home.clear();
        return;
    }
    std::error_code ec;
    fs::remove_all(g_home, ec);
    g_home.clear();
}

const std::string& home() { return g_home; }

std::string dataHome() { return g_home + "/.local/share/"; }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool exists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

InheritHome::InheritHome() { setenv(kInheritHomeVariable, g_home.c_str(), 1); }

InheritHome::~InheritHome() { unsetenv(kInheritHomeVariable); }

double cpuSeconds(const std::function<void()>& f)
{
    auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
    };
    const double start = now();
    f();
    return now() - start;
}

std::string sourceDir()
{
    const char* s = std::getenv("A2D_TEST_SOURCE_DIR");
    return s ? s : ".";
}

bool switchedOn(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value && std::string(value) != "0";
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name)
{
    if (const char* was = std::getenv(name)) {
        m_was = true;
        m_value = was;
    }
    setenv(name, value, 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_was)
        setenv(m_name.c_str(), m_value.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

namespace {

bool capabilities(bool set, __user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

} // namespace

WithoutFileRights::WithoutFileRights()
{
    __user_cap_data_struct data[2]{};
    if (!capabilities(false, data))
        return;
    m_effective = data[0].effective;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    m_active = capabilities(true, data);
}

WithoutFileRights::~WithoutFileRights()
{
    __user_cap_data_struct data[2]{};
    if (m_active && capabilities(false, data)) {
        data[0].effective = m_effective;
        capabilities(true, data);
    }
}

} // namespace test_env
