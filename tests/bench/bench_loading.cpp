// Loading 400 generated PNG images and 100 Ogg Vorbis sounds through the
// resource manager two ways, in the same run and window:
// Baseline: every queue loaded at once (LoadAll), nothing drawn.
// Sliced: the loading run of the game through its loader, one step of at
// most 100 ms per frame, the demo's loading screen (its full-screen picture,
// logo and progress bar) drawn by the loader and presented after each step.
//
// Each way runs 3 rounds in turn and keeps its best; prints both times and
// their ratio (target: sliced at most 1.2 x the baseline; a miss exits 1),
// the longest step against its 100 ms budget and the longest single file.
// "--small" loads 40 images and 10 sounds once each way: a smoke check that
// every resource loads, the bar ends full and no call fails, never of time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_application.h"
#include "game/shell/c_res_loader.h"
#include "game/shell/c_res_manager.h"
#include "engine/sound/a_sound_engine.h"
#include "platform/gfx/d3d8.h"
#include "support/audio_fixtures.h"
#include "bench_report.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kImages = 400;
constexpr int kSounds = 100;
constexpr int kRounds = 3;
constexpr double kTarget = 1.2;

bool g_failed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "bench_loading: %s\n", what);
    g_failed = true;
}

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void putU32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((v >> shift) & 0xFF));
}

void chunk(std::string& png, const char* type, const std::string& data)
{
    putU32(png, std::uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    putU32(png, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// An RGBA PNG with a gradient and some noise, so that it neither compresses
// to nothing nor decodes trivially.
std::string makePng(int w, int h, unsigned seed)
{
    std::string raw;
    raw.reserve(std::size_t(h) * (std::size_t(w) * 4 + 1));
    unsigned x = seed * 2654435761u + 1;
    for (int row = 0; row < h; ++row) {
        raw.push_back(0);
        for (int col = 0; col < w; ++col) {
            x = x * 1103515245u + 12345u;
            const unsigned noise = (x >> 16) & 0x1F;
            raw.push_back(char((col * 255 / w + noise) & 0xFF));
            raw.push_back(char((row * 255 / h) & 0xFF));
            raw.push_back(char((seed * 40 + noise) & 0xFF));
            raw.push_back(char(0xFF));
        }
    }
    std::vector<Bytef> packed(compressBound(uLong(raw.size())));
    uLongf packedSize = uLongf(packed.size());
    compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 6);

    std::string png("\x89PNG\r\n\x1a\n", 8), header;
    putU32(header, std::uint32_t(w));
    putU32(header, std::uint32_t(h));
    header += std::string("\x08\x06\x00\x00\x00", 5);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    chunk(png, "IEND", std::string());
    return png;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        fail(("cannot write " + path).c_str());
    if (f)
        std::fclose(f);
}

// The lists and their files; returns the two list paths.
void makeData(const std::string& root, int images, int sounds, std::string& imageList, std::string& soundList)
{
    std::string lines;
    for (int i = 0; i < images; ++i) {
        // Mostly small pictures, every 50th a full screen.
        const bool big = i % 50 == 49;
        const int w = big ? kWidth : 48 + (i * 37) % 208;
        const int h = big ? kHeight : 48 + (i * 53) % 208;
        const std::string name = "img" + std::to_string(i) + ".png";
        writeFile(root + "/" + name, makePng(w, h, unsigned(i)));
        lines += name + " 8888 8888\n";
    }
    imageList = root + "/_images.list";
    writeFile(imageList, lines);

    lines.clear();
    for (int i = 0; i < sounds; ++i) {
        const auto samples = audio_fixtures::tone(1, 22050, 22050 / 2 + std::size_t(i) * 200, 220.0 + i * 7, 0.5);
        const std::string name = "snd" + std::to_string(i) + ".ogg";
        writeFile(root + "/" + name, audio_fixtures::makeVorbis(samples, 1, 22050, 0.3f));
        lines += name + " \n";
    }
    soundList = root + "/_sounds.list";
    writeFile(soundList, lines);
}

struct Run {
    double ms = 0.0;
    double longestStep = 0.0;
    double longestFile = 0.0;
    int frames = 0;
};

class Bench {
public:
    Bench(aGraphServer& gs, std::string imageList, std::string soundList, int images, int sounds)
        : m_gs(gs), m_imageList(std::move(imageList)), m_soundList(std::move(soundList)), m_images(images),
          m_sounds(sounds)
    {
        m_screenImages.LoadList("images:Loading/_images.list", "");
        if (m_screenImages.size() == 0)
            fail("no pictures of the loading screen");
    }

    Run baseline()
    {
        CResManager res(false);
        queue(res);
        const auto t0 = Clock::now();
        res.GetImageManager()->LoadAll();
        res.GetSoundManager()->LoadAll();
        Run run;
        run.ms = msSince(t0);
        check(res, 1.0f);
        return run;
    }

    Run sliced()
    {
        CResManager res(false);
        queue(res);
        GUI::Server gui(&m_screenImages, nullptr);
        gui.load("gui:LoadingScreen.agui");
        gui.InitWidgets();
        CResLoader loader;
        Run run;
        Clock::time_point mark;
        res.SetProgressFunction([&](const std::string&) {
            run.longestFile = std::max(run.longestFile, msSince(mark));
            mark = Clock::now();
        });
        const auto t0 = Clock::now();
        loader.ShowScreen("", 0);
        loader.BeginLoad();
        for (bool done = false; !done && !g_failed;) {
            const auto step = Clock::now();
            mark = step;
            done = loader.Update(0.02f) == CResLoader::kDone;
            run.longestStep = std::max(run.longestStep, msSince(step));
            drawScreen(loader);
            ++run.frames;
        }
        run.ms = msSince(t0);
        check(res, res.GetProgress());
        return run;
    }

private:
    void queue(CResManager& res)
    {
        res.GetImageManager()->AddListToTask(m_imageList, "", "");
        res.GetSoundManager()->AddListToTask(m_soundList, "", A_GROUP_SFX);
    }

    void drawScreen(CResLoader& loader)
    {
        if (!m_gs.beginScene()) {
            fail("beginScene failed");
            return;
        }
        loader.Render();
        m_gs.endScene();
    }

    void check(CResManager& res, float progress)
    {
        if (res.GetImageManager()->size() != std::size_t(m_images) ||
            res.GetSoundManager()->GetSoundCount() != std::size_t(m_sounds))
            fail("not every resource loaded");
        if (progress != 1.0f)
            fail("the bar did not end full");
    }

    aGraphServer& m_gs;
    std::string m_imageList;
    std::string m_soundList;
    int m_images;
    int m_sounds;
    aImageManager m_screenImages;
};

} // namespace

int main(int argc, char** argv)
{
    bool small = false;
    for (int i = 1; i < argc; ++i)
        small = small || std::strcmp(argv[i], "--small") == 0;
    const int images = small ? 40 : kImages;
    const int sounds = small ? 10 : kSounds;
    const int rounds = small ? 1 : kRounds;

    const char* tmp = std::getenv("TMPDIR");
    const std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/a2d-bench-loading-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string root = buffer.data();

    // No init: nothing is written to the user's folders.
    aApplication app;
    app.m_name = "bench_loading";
    app.m_fileServer.setAssign("gamedata", std::string(A2D_SOURCE_DIR) + "/data/GameData/");
    for (const char* folder : {"Images", "Fonts", "Gui"}) {
        std::string assign = folder;
        assign[0] = char(assign[0] - 'A' + 'a');
        app.m_fileServer.setAssign(assign, std::string("gamedata:") + folder + "/");
    }
    aGraphServer* gs = nullptr;
    try {
        gs = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
    } catch (const aResultError& e) {
        std::fprintf(stderr, "bench_loading: no graphics server (0x%08X)\n", unsigned(e.code()));
        return 1;
    }
    platform::setGfxLogSink([](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        if (line.find("GL error") != std::string::npos)
            g_failed = true;
    });

    std::string imageList, soundList;
    makeData(root, images, sounds, imageList, soundList);
    Run best[2];
    best[0].ms = best[1].ms = 1e12;
    {
        Bench bench(*gs, imageList, soundList, images, sounds);
        for (int round = 0; round < rounds && !g_failed; ++round) {
            const Run base = bench.baseline();
            const Run run = bench.sliced();
            best[0].ms = std::min(best[0].ms, base.ms);
            if (run.ms < best[1].ms)
                best[1] = run;
        }
    }
    delete gs;
    aSound::shutdownAudio();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);

    if (g_failed)
        return 1;
    const double ratio = best[1].ms / best[0].ms;
    std::printf("bench_loading: %d images and %d sounds; LoadAll %.0f ms, sliced %.0f ms in %d frames\n", images,
                sounds, best[0].ms, best[1].ms, best[1].frames);
    std::printf("longest step %.1f ms (budget %u ms), longest single file %.1f ms\n", best[1].longestStep,
                CResManager::kStepBudgetMs, best[1].longestFile);
    if (small) {
        std::printf("bench_loading: smoke check passed\n");
        return 0;
    }
    std::printf("sliced/LoadAll ratio: %.2f (target %.1f)\n", ratio, kTarget);
    if (!benchFigure("sliced / LoadAll", ratio, kTarget)) {
        std::printf("bench_loading: FAILED\n");
        return 1;
    }
    std::printf("bench_loading: passed\n");
    return 0;
}
