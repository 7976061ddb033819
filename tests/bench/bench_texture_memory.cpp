// Memory that textures of passing sizes leave behind. Rounds of 300 images
// of sizes no earlier round used (about 15 MB of pixels a round), each drawn
// once, then half of them freed, then the rest and an empty frame drawn,
// through the graphics server on the GL device (llvmpipe keeps texture
// storage in the process). With half freed, the device's texture storage
// must be at most twice what the live images need; with none left, none.
// After the last round the process's resident memory (after malloc_trim(0))
// must be at most 20 MB above that after the first, where the allocator
// gives freed memory back (not under ThreadSanitizer, whose allocator and
// shadow keep it). Prints each round's; exits 1 when a check fails. Quick
// enough for the test build to run whole.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image.h"
#include "engine/util/a_application.h"

#if defined(__SANITIZE_ADDRESS__)
// Freed memory goes back to the system at once, as it does without the
// sanitizer, so that resident memory follows what is allocated.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=0:allocator_release_to_os_interval_ms=0";
}
#endif

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool kResidentJudged = false;
#else
constexpr bool kResidentJudged = true;
#endif

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr double kLimitMb = 20.0;

bool g_failed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "bench_texture_memory: %s\n", what);
    g_failed = true;
}

double residentMb()
{
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void frame(aGraphServer& gs, const std::vector<std::unique_ptr<aImage>>& images)
{
    if (!gs.beginScene()) {
        fail("beginScene");
        return;
    }
    for (std::size_t i = 0; i < images.size(); ++i)
        if (images[i])
            images[i]->draw(float(i % 16) * 20.0f, float(i / 16 % 12) * 20.0f);
    gs.endScene();
}

// One round: 300 images of sizes of the round's own, drawn, half freed,
// the rest freed, an empty frame.
void playRound(aGraphServer& gs, int round)
{
    std::vector<std::unique_ptr<aImage>> images;
    for (int i = 0; i < 300; ++i)
        images.emplace_back(new aImage(std::uint32_t(60 + i % 100), std::uint32_t(100 + 3 * round + i / 100)));
    frame(gs, images);
    for (std::size_t i = 0; i < images.size(); i += 2)
        images[i].reset();
    frame(gs, images);
    platform::GfxDeviceStats s = gs.m_device->stats();
    if (s.textureBytesNeeded == 0 || s.textureBytesHeld > 2 * s.textureBytesNeeded)
        fail("storage held with half the images freed is over twice what they need");
    images.clear();
    frame(gs, images);
    s = gs.m_device->stats();
    if (s.textureBytesHeld != 0 || s.textureBytesNeeded != 0)
        fail("storage held with no image left");
}

} // namespace

int main()
{
    // No init: nothing is written to the user's folders.
    aApplication app;
    app.m_name = "bench_texture_memory";
    aGraphServer* gs = nullptr;
    try {
        gs = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
    } catch (const aResultError& e) {
        std::fprintf(stderr, "bench_texture_memory: no graphics server (0x%08X)\n", unsigned(e.code()));
        return 1;
    }
    platform::setGfxLogSink([](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        if (line.find("GL error") != std::string::npos)
            g_failed = true;
    });
    gs->m_flushEachFrame = true;

    constexpr int kRounds = 10;
    double first = 0.0, last = 0.0;
    for (int r = 0; r < kRounds && !g_failed; ++r) {
        playRound(*gs, r);
        last = residentMb();
        if (r == 0)
            first = last;
        std::printf("round %2d: resident %.1f MB\n", r + 1, last);
    }
    delete gs;
    if (g_failed)
        return 1;
    const double growth = last - first;
    if (!kResidentJudged) {
        std::printf("resident growth over %d rounds of new sizes: %+.1f MB (not judged: freed memory is kept)\n",
                    kRounds - 1, growth);
        return 0;
    }
    std::printf("resident growth over %d rounds of new sizes: %+.1f MB (at most %+.1f)\n", kRounds - 1, growth,
                kLimitMb);
    if (growth > kLimitMb) {
        fail("resident memory grows with the sizes textures had");
        return 1;
    }
    return 0;
}
