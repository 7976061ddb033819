#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "engine/util/a_log.h"

namespace fuzz {

namespace {

struct TempFolder {
    std::string path;
    TempFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/a2d_fuzz_XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = pattern + "/";
        const std::string home = path + "home";
        std::filesystem::create_directories(home + "/.local/share");
        std::filesystem::create_directories(home + "/tmp");
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("TMPDIR", (home + "/tmp").c_str(), 1);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        if (!g_logFile)
            g_logFile = std::fopen("/dev/null", "w");
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::string& tempDir()
{
    static TempFolder folder;
    return folder.path;
}

std::string writeTemp(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = tempDir() + name;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return path;
}

std::string writeTemp(const std::string& name, const std::string& bytes)
{
    return writeTemp(name, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::vector<std::string> splitParts(const std::uint8_t* data, std::size_t size, const std::string& separator)
{
    const std::string all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = separator.empty() ? std::string::npos : all.find(separator, start);
        if (at == std::string::npos) {
            parts.push_back(all.substr(start));
            return parts;
        }
        parts.push_back(all.substr(start, at - start));
        start = at + separator.size();
    }
}

} // namespace fuzz
