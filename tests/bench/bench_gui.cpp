// GUI scripts at two sizes in one run: a generated script of 110 widgets and
// one of 1,100 (panels of ten children from a template, with a style and
// nested sections), each loaded into a fresh GUI server, then Update and
// Render of its tree, on the recording device; the two scripts take turns
// of equal length. Prints the time ratios of the large script to the small
// one (medians of the turns' ratios); exits 1 when loading or a frame takes
// more than 12 times as long. "--smoke": one load and one frame each, no
// limit judged.
//
// A widget holds some 10 KB, so the small script's servers alone would fit
// in a core's second-level cache (1 MiB here) while the large one's spill
// to memory, which makes each of its widgets half as dear again to make.
// So the small side loads the small script into ten servers kept together
// until the step ends, as much memory as the large script makes, and its
// cost is a tenth of that step's; what is left over ten is then work that
// grows faster than the widgets.
//
// Each frame starts with the caches emptied, as in the game, where drawing
// and mixing stream megabytes between two GUI frames. Run hot, the small
// tree alone would sit in the first-level data cache (32 KiB) and the large
// one not, which makes each widget of the large tree 1.5 times as dear
// while the work per widget is the same.
#include <algorithm>
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

int g_turns = 15;
double g_turn = 0.1;  // seconds per script and turn
constexpr double kLoadLimit = 12.0;
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

// A GUI server with the script loaded; exits when it made other than
// `expectedWidgets` widgets.
std::unique_ptr<GUI::Server> loaded(const std::string& path, aImageManager& images, std::size_t expectedWidgets)
{
    auto gui = std::make_unique<GUI::Server>(&images, nullptr);
    gui->load(path);
    gui->InitWidgets();
    std::size_t count = 0;
    for (const GUI::Widget* panel : gui->GetRoot()->children)
        count += 1 + panel->children.size();
    if (count != expectedWidgets) {
        std::fprintf(stderr, "bench_gui: %zu widgets made, not %zu\n", count, expectedWidgets);
        std::exit(1);
    }
    return gui;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke) {
        g_turns = 1;
        g_turn = 0.0;
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
        // Loads and frames of each script in turns of equal length, timed
        // by the thread's CPU time; what a step leaves (a server to delete,
        // the recording device's log) goes untimed, and the caches are
        // emptied before each frame.
        constexpr int kSmallLoads = 10;
        std::vector<std::unique_ptr<GUI::Server>> dropped;
        const BenchTurns loads = benchTurns(
            g_turns, g_turn, CLOCK_THREAD_CPUTIME_ID,
            {[&] {
                 dropped.push_back(std::make_unique<GUI::Server>(&images, nullptr));
                 dropped.back()->load(large);
             },
             [&] {
                 for (int i = 0; i < kSmallLoads; ++i) {
                     dropped.push_back(std::make_unique<GUI::Server>(&images, nullptr));
                     dropped.back()->load(small);
                 }
             }},
            [&] { dropped.clear(); });
        const auto smallGui = loaded(small, images, 110), largeGui = loaded(large, images, 1100);
        recorder->clear();
        emptyCaches();
        const BenchTurns frames = benchTurns(
            g_turns, g_turn, CLOCK_THREAD_CPUTIME_ID,
            {[&] {
                 largeGui->Update(0.02f);
                 largeGui->Render();
             },
             [&] {
                 smallGui->Update(0.02f);
                 smallGui->Render();
             }},
            [&] {
                recorder->clear();
                emptyCaches();
            });
        recorder->clear();
        struct {
            double load, frame;
        } one{loads.median(1) / kSmallLoads, frames.median(1)}, ten{loads.median(0), frames.median(0)};
        const double loadRatio = loads.ratio(0, 1) * kSmallLoads, frameRatio = frames.ratio(0, 1);
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
