#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"
#include "platform/gfx/d3d8_recording.h"

// Leaks that are the libraries' own, not ours: the font cache fontconfig
// fills when the graphics server starts lives to the end of the process, and
// libvorbisfile 1.3.7 loses 8 bytes per open of some damaged chained files,
// held by no pointer ov_clear can reach.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libvorbisfile.so\n"; }

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

platform::Recorder& recordingGraphics()
{
    struct Graphics {
        std::shared_ptr<platform::Recorder> recorder = std::make_shared<platform::Recorder>();
        Graphics()
        {
            tempDir();
            recorder->halCaps.MaxTextureWidth = recorder->halCaps.MaxTextureHeight = 1024;
            const std::shared_ptr<platform::Recorder> r = recorder;
            aGraphServer::setDirect3DFactory([r] { return platform::createRecordingDirect3D(r); });
            aGraphServer::setDirectDrawFactory([r](platform::GfxDirectDraw** out) {
                *out = platform::createRecordingDirectDraw(r);
                return D3D_OK;
            });
            // Kept to the end of the process on purpose.
            new aApplication;
            new aGraphServer(64, 48, false, true, nullptr, 0, false, false);
        }
    };
    static Graphics graphics;
    graphics.recorder->clear();
    return *graphics.recorder;
}

GUI::Server& scriptedGui(const std::string& name, const std::string& script)
{
    static GUI::Server* server = [&] {
        auto* s = new GUI::Server(nullptr, nullptr);
        s->load(writeTemp(name, script));
        s->InitWidgets();
        return s;
    }();
    return *server;
}

} // namespace fuzz
