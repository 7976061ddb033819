// GUI scripts at two sizes in one run: a generated script of 110 widgets and
// one of 1,100 (panels of ten children from a template, with a style and
// nested sections), each loaded into a fresh GUI server, then Update and
// Render of its tree (the median frame), on the recording device. Prints
// the time ratios of the large script to the small one; exits 1 when
// loading takes more than 15 times as long, or a frame more than 12 times.
// "--smoke": one round of two frames each, no limit judged.
//
// Each frame starts with the caches emptied, as in the game, where drawing
// and mixing stream megabytes between two GUI frames. Run hot, the small
// tree alone would sit in the first-level data cache (32 KiB) and the large
// one not, which makes each widget of the large tree 1.5 times as dear
// while the work per widget is the same.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "platform/gfx/d3d8_recording.h"
#include "support/test_env.h"
#include "bench_report.h"

namespace {

int g_rounds = 7;
int g_frames = 100;
constexpr double kLoadLimit = 15.0;
constexpr double kFrameLimit = 12.0;
// Larger than the second-level cache of any core we run on.
constexpr std::size_t kEvictBytes = 16u << 20;

void emptyCaches()
{
    static std::vector<char> buffer(kEvictBytes);
    for (std::size_t i = 0; i < buffer.size(); i += 64)
        ++buffer[i];
}

// panels x 10 children, plus one widget per panel: 11 x panels widgets.
std::string script(int panels)
{
    std::string s = "#define SIZE \"40 20\"\n"
                    "template Cell\n{\n    FadeInTime 0.1\n    Tag 4\n}\n"
                    "style Frame\n{\n    Image none\n    AutoSlice all\n    EdgeGlobal stretch\n    FillType tile\n}\n";
    for (int p = 0; p < panels; ++p) {
        s += "widget Panel" + std::to_string(p) + "\n{\n    AreaRect " + std::to_string(p % 20 * 50) + " " +
             std::to_string(p / 20 * 30) + " 48 28\n";
        for (int c = 0; c < 10; ++c)
            s += "    widget <Cell>\n    {\n        AreaRect " + std::to_string(c * 4) + " 2 $SIZE$\n"
                 "        Text \"cell\"\n    }\n";
        s += "}\n";
    }
    return s;
}

struct Timing {
    double load = 1e9;
    double frame = 1e9;
};

Timing measure(const std::string& path, aImageManager& images, platform::Recorder& recorder,
               std::size_t expectedWidgets)
{
    Timing best;
    std::vector<double> frames;
    for (int round = 0; round < g_rounds; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        auto gui = std::make_unique<GUI::Server>(&images, nullptr);
        gui->load(path);
        const auto t1 = std::chrono::steady_clock::now();
        gui->InitWidgets();
        recorder.clear();
        for (int frame = 0; frame < g_frames; ++frame) {
            // What the recording device keeps is not the GUI's cost.
            recorder.clear();
            emptyCaches();
            const auto t2 = std::chrono::steady_clock::now();
            gui->Update(0.02f);
            gui->Render();
            frames.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t2).count());
        }
        std::size_t count = 0;
        for (const GUI::Widget* panel : gui->GetRoot()->children)
            count += 1 + panel->children.size();
        if (count != expectedWidgets) {
            std::fprintf(stderr, "bench_gui: %zu widgets made, not %zu\n", count, expectedWidgets);
            std::exit(1);
        }
        best.load = std::min(best.load, std::chrono::duration<double>(t1 - t0).count());
    }
    std::nth_element(frames.begin(), frames.begin() + frames.size() / 2, frames.end());
    best.frame = frames[frames.size() / 2];
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke) {
        g_rounds = 1;
        g_frames = 2;
    }
    test_env::makeFreshHome();
    g_logFile = std::fopen("/dev/null", "w");
    auto recorder = std::make_shared<platform::Recorder>();
    aGraphServer::setDirect3DFactory([recorder] { return platform::createRecordingDirect3D(recorder); });
    aGraphServer::setDirectDrawFactory([recorder](platform::GfxDirectDraw** out) {
        *out = platform::createRecordingDirectDraw(recorder);
        return D3D_OK;
    });
    int status = 0;
    {
        aApplication app;
        auto graph = std::make_unique<aGraphServer>(1024, 768, false, true, nullptr, 0, false, false);
        auto input = std::make_unique<aInputServer>();
        aImageManager images;
        const std::string small = test_env::home() + "/small.agui", large = test_env::home() + "/large.agui";
        test_env::writeFile(small, script(10));
        test_env::writeFile(large, script(100));
        measure(small, images, *recorder, 110);  // warm-up
        const Timing one = measure(small, images, *recorder, 110);
        const Timing ten = measure(large, images, *recorder, 1100);
        recorder->clear();
        const double loadRatio = ten.load / one.load, frameRatio = ten.frame / one.frame;
        std::printf("GUI script of 110 widgets: load %.3f ms, Update + Render %.3f ms\n", one.load * 1e3,
                    one.frame * 1e3);
        std::printf("GUI script of 1100 widgets: load %.3f ms (x%.2f), Update + Render %.3f ms (x%.2f)\n",
                    ten.load * 1e3, loadRatio, ten.frame * 1e3, frameRatio);
        const bool loadMet = smoke || benchFigure("load 1100 / 110 widgets", loadRatio, kLoadLimit);
        if (!smoke && (!benchFigure("Update + Render 1100 / 110 widgets", frameRatio, kFrameLimit) || !loadMet)) {
            std::printf("bench_gui: over a limit for 10 times the widgets\n");
            status = 1;
        }
        input.reset();
        graph.reset();
    }
    aGraphServer::setDirect3DFactory(nullptr);
    aGraphServer::setDirectDrawFactory(nullptr);
    test_env::removeHome();
    return status;
}
