// The game panel with an unchanged list of 20 lines and no effects running,
// on the recording device with the demo's panel script and fonts: one
// frame's update and overlay drawing against drawing the same 20 strings
// with aFont::drawString in the same run (target: at most 3 x), the two
// taken in turns of equal length (thread CPU time), the figure the median
// of the turns' ratios; a miss exits 1. The panel's layout counter must not move
// while the list stays the same.
// "--smoke" runs each once and checks the results only (20 hint targets,
// no layout), never the time.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/shell/c_res_manager.h"
#include "platform/gfx/d3d8_recording.h"
#include "support/test_env.h"
#include "bench_report.h"

namespace {

// Turns of 0.1 s per side, timed by the thread's CPU time.
constexpr int kTurns = 15;
constexpr double kTurn = 0.1;
constexpr double kLimit = 3.0;
constexpr int kLines = 20;

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
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
        const std::string data = std::string(A2D_SOURCE_DIR) + "/data/GameData/";
        app.m_fileServer.setAssign("gamedata", data);
        app.m_fileServer.setAssign("images", "gamedata:Images/");
        app.m_fileServer.setAssign("fonts", "gamedata:Fonts/");
        app.m_fileServer.setAssign("gui", "gamedata:Gui/");
        auto graph = std::make_unique<aGraphServer>(1024, 768, false, true, nullptr, 0, false, false);
        CResManager res(false);
        res.GetImageManager()->LoadList("images:_images.list", "");
        res.GetImageManager()->LoadList("images:GamePanel/_images.list", "GamePanel");
        std::string strings;
        std::vector<CFindItemsGroup> list;
        for (int i = 0; i < kLines; ++i) {
            const std::string key = "item_" + std::to_string(i);
            strings += key + " = \"Object number " + std::to_string(i) + "\"\n";
            list.emplace_back(key, CFindItem::Pick, true);
        }
        test_env::writeFile(test_env::home() + "/bench.txt", strings);
        res.GetLocaleServer()->loadFile(test_env::home() + "/bench.txt", "Bench");
        GUI::Server gui(res.GetImageManager(), res.GetSoundManager());
        gui.load("gui:index.agui");
        gui.InitWidgets();

        CDialogSpyGamePanel panel;
        panel.Init();
        panel.Show();
        panel.SetupRoom("", &list, nullptr, "Bench", false, true);
        panel.SetMode(3);
        panel.SetClockTime(1500.0f);
        GUI::Widget* window = panel.GetWindow();
        const GUI::WidgetEventArgs args(window);
        graph->beginScene();
        const auto frame = [&] {
            panel.Update(1.0f / 64.0f, 20, 3, 0, 0);
            window->LaunchEvent(GUI::EventEndRender, args);
        };
        frame();
        const std::size_t layouts = panel.GetLayoutCount();

        aFont* font = gui.GetFont("text_list");
        const auto& tasks = panel.GetItemTasks();
        // The recorder's log is emptied after each step, untimed.
        const BenchTurns turns = benchTurns(
            smoke ? 1 : kTurns, smoke ? 0.0 : kTurn, CLOCK_THREAD_CPUTIME_ID,
            {frame,
             [&] {
                 for (const auto& task : tasks) {
                     font->color = 0xFF2A1C10;
                     font->setScale(1.0f);
                     font->setAngle(0.0f);
                     font->drawString(40.0f, task.y, task.text, FONT_SNAP);
                 }
             }},
            [&] { recorder->clear(); });
        recorder->clear();
        const double panelFrame = turns.median(0) * 1e3, strings20 = turns.median(1) * 1e3;
        const double ratio = turns.ratio(0, 1);
        graph->endScene();

        std::printf("Panel frame with %d lines %.4f ms against drawString %.4f ms: x%.2f (target %.0f); "
                    "%zu hint targets, %zu layouts in unchanged frames\n",
                    kLines, panelFrame, strings20, ratio, kLimit, panel.GetEntries().size(),
                    panel.GetLayoutCount() - layouts);
        status = panel.GetEntries().size() != std::size_t(kLines) || panel.GetLayoutCount() != layouts ||
                 (!smoke && !benchFigure("panel frame / drawString", ratio, kLimit));
    }
    aGraphServer::setDirect3DFactory(nullptr);
    aGraphServer::setDirectDrawFactory(nullptr);
    test_env::removeHome();
    return status;
}
