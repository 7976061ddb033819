// Scene items against direct image draws, in the same run, window and
// device. Scene: a 1024 x 768 back buffer, 150 items of one Image object
// each (ten 64 x 64 pictures with soft alpha, some zoomed, some mirrored),
// loaded from an "items.ini" through the item manager.
//
// Item path: beginScene; the item manager's Draw; endScene; a one-pixel
// read-back of the back buffer, which makes the frame finish; present.
// Baseline: the same images, in the same order, with the same positions,
// parts, colours, scales and mirror flags, by aImage::draw directly, with the
// same read-back and present.
//
// Full run: 60 warm-up frames, then 20 turns of a quarter second per path,
// timed by the process's CPU time; prints both median frame times and the
// median of the turns' ratios (target: items at most 1.25 x the baseline; a
// miss exits 1). "--frames N" runs N turns of a frame per path only (a
// smoke check that never judges time). Either way the frames of both paths must be equal and every
// item must have loaded, or it exits 1.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_result.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/SpyGame/items/objects/SpyObjectKinds.h"
#include "platform/system/window.h"
#include "support/jng_writer.h"
#include "bench_report.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kItems = 150;
constexpr int kPictures = 10;
constexpr int kSize = 64;
constexpr std::uint32_t kClear = 0xFF203040;
constexpr int kWarmUp = 60;
constexpr int kTurns = 20;
constexpr double kTurn = 0.25;  // seconds per path and turn
constexpr double kTarget = 1.25;

bool g_failed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "bench_items: %s\n", what);
    g_failed = true;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f)
        std::fclose(f);
    return ok;
}

// Ten pictures, each a tinted disc with a soft rim, and the items.
std::string writeLocation()
{
    char folder[] = "/tmp/bench_items_XXXXXX";
    if (!mkdtemp(folder))
        return std::string();
    const std::string dir = std::string(folder) + "/";
    std::string list, ini;
    for (int p = 0; p < kPictures; ++p) {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const float d = std::hypot(x + 0.5f - kSize / 2.0f, y + 0.5f - kSize / 2.0f) / (kSize / 2.0f);
                const std::uint32_t a = d >= 1.0f ? 0 : d < 0.8f ? 255 : std::uint32_t((1.0f - d) * 5.0f * 255.0f);
                px.push_back(a << 24 | std::uint32_t(40 + 20 * p) << 16 | std::uint32_t(x * 4) << 8 |
                             std::uint32_t(255 - y * 3));
            }
        const std::string name = "pic" + std::to_string(p);
        if (!writeFile(dir + name + ".png", jng_writer::buildPng(kSize, kSize, px)))
            return std::string();
        list += name + ".png 4444 8888\n";
    }
    for (int i = 0; i < kItems; ++i) {
        ini += "[item" + std::to_string(i) + "]\n";
        ini += "Pos = " + std::to_string((i * 53) % (kWidth - 96)) + " " + std::to_string((i * 37) % (kHeight - 96)) +
               "\n";
        if (i % 4 == 1)
            ini += "Zoom = 1.25\n";
        ini += "Layer = " + std::to_string(i % 3) + "\n";
        ini += "Object = Image img=pic" + std::to_string(i % kPictures) + (i % 5 == 2 ? " mirror=1" : "") + "\n\n";
    }
    if (!writeFile(dir + "_images.list", list) || !writeFile(dir + "items.ini", ini))
        return std::string();
    return dir;
}

// One direct draw, as the item would make it.
struct Draw {
    const aImage* image;
    float x, y;
    aRect source;
    std::uint32_t color;
    D3DXVECTOR2 scale;
    std::uint32_t flags;
};

void readOnePixel(aGraphServer& gs)
{
    platform::GfxSurface* s = nullptr;
    if (FAILED(gs.m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s)) || !s) {
        fail("back buffer");
        return;
    }
    const RECT r{kWidth / 2, kHeight / 2, kWidth / 2 + 1, kHeight / 2 + 1};
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(s->LockRect(&locked, &r, D3DLOCK_READONLY)))
        s->UnlockRect();
    else
        fail("one-pixel read-back");
    s->Release();
}

std::vector<std::uint8_t> presented(platform::Window& window)
{
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    if (!window.readPresented(px, w, h) || w != kWidth || h != kHeight)
        fail("reading the presented frame");
    return px;
}

} // namespace

int main(int argc, char** argv)
{
    int smokeFrames = 0;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            smokeFrames = std::max(1, std::atoi(argv[++i]));

    const std::string dir = writeLocation();
    if (dir.empty()) {
        std::fprintf(stderr, "bench_items: cannot write the location\n");
        return 1;
    }
    // No init: nothing is written to the user's folders.
    aApplication app;
    app.m_name = "bench_items";
    aGraphServer* gs = nullptr;
    try {
        gs = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
    } catch (const aResultError& e) {
        std::fprintf(stderr, "bench_items: no graphics server (0x%08X)\n", unsigned(e.code()));
        return 1;
    }
    gs->m_clearColor = kClear;
    gs->m_flushEachFrame = true;
    RegisterItemKinds();
    RegisterObjectKinds();

    double ratio = 0.0;
    {
        aImageManager images;
        images.LoadList(dir + "_images.list", "Bench");
        CSpyResources res;
        res.images = &images;
        CSpyItemManager items("Bench", res);
        items.Load(dir, "Bench");
        items.AfterLoad();

        // The baseline's list: what each item would draw, in draw order.
        std::vector<Draw> draws;
        for (const CSpyItem* item : items.GetDrawOrder()) {
            const CSpyPlace place = item->GetPlace();
            for (const CSpyObject* object : item->GetObjects()) {
                const auto* image = dynamic_cast<const CSpyObjImage*>(object);
                if (!image || !image->IsResolved())
                    continue;
                draws.push_back({&image->GetImage(), place.x + object->GetOffsetX() * place.scale,
                                 place.y + object->GetOffsetY() * place.scale, image->GetSource(), 0xFFFFFFFF,
                                 D3DXVECTOR2{place.scale, place.scale},
                                 object->IsMirrored() ? std::uint32_t(IMAGE_MIRROR_HORIZONTAL) : 0u});
            }
        }
        if (items.GetItems().size() != std::size_t(kItems) || draws.size() != std::size_t(kItems))
            fail("not every item loaded with its picture");

        auto itemFrame = [&] {
            if (!gs->beginScene()) {
                fail("beginScene");
                return;
            }
            items.Draw();
            gs->endScene();
            readOnePixel(*gs);
        };
        auto baselineFrame = [&] {
            if (!gs->beginScene()) {
                fail("beginScene");
                return;
            }
            for (const Draw& d : draws)
                d.image->draw(d.x, d.y, &d.source, d.color, &d.scale, 0.0f, nullptr, d.flags);
            gs->endScene();
            readOnePixel(*gs);
        };

        const int warmUp = smokeFrames > 0 ? 1 : kWarmUp;
        for (int i = 0; i < warmUp && !g_failed; ++i) {
            itemFrame();
            baselineFrame();
        }
        itemFrame();
        const auto a = presented(*gs->m_window);
        baselineFrame();
        const auto b = presented(*gs->m_window);
        if (a.empty() || a != b)
            fail("the item frame differs from the baseline's");

        // Turns of equal length, timed by the process's CPU time (the
        // rasteriser's threads included).
        const BenchTurns turns = benchTurns(smokeFrames > 0 ? smokeFrames : kTurns, smokeFrames > 0 ? 0.0 : kTurn,
                                            CLOCK_PROCESS_CPUTIME_ID, {itemFrame, baselineFrame});
        const double im = turns.median(0) * 1e3, bm = turns.median(1) * 1e3;
        ratio = turns.ratio(0, 1);
        std::printf("turns: %zu, %d items\n", turns.cost[0].size(), kItems);
        std::printf("%-9s median %.3f ms\n", "baseline", bm);
        std::printf("%-9s median %.3f ms\n", "items", im);
        std::printf("items ratio %.3f (target at most %.2f)\n", ratio, kTarget);
        if (smokeFrames == 0)
            benchFigure("items / baseline", ratio, kTarget);
    }

    delete gs;
    aGraphServer::releaseDirectDraw();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    if (g_failed)
        return 1;
    if (smokeFrames == 0 && ratio > kTarget) {
        std::fprintf(stderr, "bench_items: ratio %.3f misses the target %.2f\n", ratio, kTarget);
        return 1;
    }
    return 0;
}
