// The video's colour conversion and copy against a plain loop. A 1024 x 768
// 4:2:0 frame (strides wider than the planes, as decoders give them) is
// converted into 32-bit pixels and copied into a locked image, as the player
// does for every frame. The baseline widens the same Y plane to grey 32-bit
// pixels straight into the same locked image. Both are printed as thread
// CPU milliseconds per frame, taken in turns of equal length (the figure:
// the median of the turns' ratios); exits 1 when the conversion costs more
// than 20 times the baseline. "--smoke": one frame each, no limit judged.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_theora_video.h"
#include "engine/util/a_application.h"
#include "engine/util/a_result.h"
#include "bench_report.h"

namespace {

constexpr std::uint32_t kWidth = 1024;
constexpr std::uint32_t kHeight = 768;
constexpr int kYStride = 1024 + 32;
constexpr int kUvStride = 512 + 16;
int g_turns = 15;
double g_turn = 0.1;  // seconds per side and turn
constexpr double kLimit = 20.0;

void convertFrame(aImage& image, const aYuvPlanes& planes, std::vector<std::uint32_t>& buffer, bool& ok)
{
    aTheoraVideo::convert(planes, buffer.data());
    ok = aTheoraVideo::copyToImage(image, buffer.data(), kWidth, kHeight) && ok;
}

void greyFrame(aImage& image, const std::vector<std::uint8_t>& y, bool& ok)
{
    aImage::LockInfo info;
    const aRect area(0, 0, std::uint16_t(kWidth), std::uint16_t(kHeight));
    if (!image.lock(info, &area, false)) {
        ok = false;
        return;
    }
    for (std::uint32_t row = 0; row < kHeight; ++row) {
        const std::uint8_t* src = y.data() + std::size_t(row) * kYStride;
        std::uint32_t* dst = info.data + std::size_t(row) * info.pitch;
        for (std::uint32_t x = 0; x < kWidth; ++x)
            dst[x] = 0xFF000000u | std::uint32_t(src[x]) * 0x010101u;
    }
    image.unlock();
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke) {
        g_turns = 1;
        g_turn = 0.0;
    }
    // No init: nothing is written to the user's folders.
    aApplication app;
    app.m_name = "bench_video";
    aGraphServer* gs = nullptr;
    try {
        gs = new aGraphServer(64, 48, false, true, nullptr, 0, false, false);
    } catch (const aResultError& e) {
        std::fprintf(stderr, "bench_video: no graphics server (0x%08X)\n", unsigned(e.code()));
        return 1;
    }

    std::vector<std::uint8_t> y(std::size_t(kYStride) * kHeight), u(std::size_t(kUvStride) * kHeight / 2),
        v(std::size_t(kUvStride) * kHeight / 2);
    std::uint32_t seed = 12345;
    const auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return std::uint8_t(seed >> 24);
    };
    std::generate(y.begin(), y.end(), next);
    std::generate(u.begin(), u.end(), next);
    std::generate(v.begin(), v.end(), next);
    aYuvPlanes planes;
    planes.y = y.data();
    planes.u = u.data();
    planes.v = v.data();
    planes.yStride = kYStride;
    planes.uvStride = kUvStride;
    planes.width = kWidth;
    planes.height = kHeight;

    int status = 0;
    {
        aImage image(kWidth, kHeight);
        std::vector<std::uint32_t> buffer(std::size_t(kWidth) * kHeight);
        bool ok = true;
        const BenchTurns turns = benchTurns(g_turns, g_turn, CLOCK_THREAD_CPUTIME_ID,
                                            {[&] { convertFrame(image, planes, buffer, ok); },
                                             [&] { greyFrame(image, y, ok); }});
        const double best = turns.median(0) * 1e3, baseline = turns.median(1) * 1e3;
        if (!ok) {
            std::fprintf(stderr, "bench_video: the image could not be locked\n");
            status = 1;
        }
        const double ratio = turns.ratio(0, 1);
        std::printf("convert + copy: %.3f ms per frame\n", best);
        std::printf("grey baseline:  %.3f ms per frame\n", baseline);
        std::printf("ratio: %.2f (limit %.0f)\n", ratio, kLimit);
        if (!smoke && !benchFigure("convert + copy / grey baseline", ratio, kLimit)) {
            std::printf("bench_video: FAILED, above the limit\n");
            status = 1;
        }
    }
    delete gs;
    return status;
}
