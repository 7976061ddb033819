// Tutorial tips: a "tips.ini" file and the tip manager's record. The input
// is split at "\n@@\n": the tips file, then the record of "<tip_manager>".
// The manager binds a balloon script with every widget and style, reads the
// file, shows every tip it defined at points around the screen (and an
// ad-hoc tip), runs fades and clicks, loads the record and saves again.
#include <string>
#include <vector>

#include "engine/gui/gui_server.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Dialogs/TipManager.h"
#include "game/shell/current_profile.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

namespace {

const char* const kScript = "window ToolTip\n{\nAreaRect 0 0 0 0\nVisible 0\n"
                            "widget BlockWidget\n{\nAreaRect 0 0 1024 768\nVisible 0\n}\n"
                            "window balloon\n{\nAreaRect 40 24 300 96\n"
                            "statictext text\n{\nAreaRect 14 14 272 40\n}\n"
                            "widget dont_show\n{\nAreaRect 16 6 24 24\n"
                            "widget dont_show_auto_check\n{\nAreaRect 0 0 24 24\n}\n}\n"
                            "widget close\n{\nAreaRect 264 6 20 20\n}\n}\n}\n";

GUI::Server& gui()
{
    static const std::string script = [] {
        std::string styles;
        for (const char* suffix : {"", "_point"})
            for (int q = 0; q < 4; ++q)
                styles += "style tip_style" + std::to_string(q) + suffix + "\n{\n}\n";
        return styles + kScript;
    }();
    return fuzz::scriptedGui("tips.agui", script);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    gui();
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    const std::string path = fuzz::writeTemp("tips.ini", parts.empty() ? std::string() : parts[0]);
    CurrentProfile::Get().showTips = 1;

    CTipManager tips;
    tips.LoadTips(path);
    std::vector<std::string> names;
    for (const auto& [name, tip] : tips.GetTips())
        names.push_back(name);
    const int points[][2] = {{-1, -1}, {0, 0}, {1023, 767}, {512, 385}, {-30000, 30000}};
    for (std::size_t i = 0; i < names.size() && i < 64; ++i) {
        const int* p = points[i % 5];
        tips.ShowTip(names[i], p[0], p[1], i % 2 ? std::wstring(L"A tip of some words") : std::wstring());
        for (float dt : {0.0f, 0.05f, 1.0f, 5.0f}) {
            tips.Update(dt);
            tips.OnDontShowClick(GUI::EventArgs());
            tips.OnTipClick(GUI::EventArgs());
        }
        tips.CanShowTip(names[i]);
        tips.IsMouseOverTip();
        tips.GetPointName();
        if (i % 3 == 0)
            tips.EndLevel();
    }
    tips.ShowUserTip(L"Ad hoc", 600, 100, 5, 2, 4);
    tips.Update(0.1f);

    const std::string record = parts.size() > 1 ? parts[1] : std::string();
    save_blocks::loadRecord(tips, CTipManager::kEntityKey, record.data(), record.size(), "fuzz");
    for (const std::string& name : names)
        tips.ShowTip(name, 100, 100);
    tips.ResetCounters(false);
    SaveLoadSystem out;
    out.BeginSave(fuzz::tempDir() + "tips.save", 4374);
    out.SaveEntity(&tips);
    out.Finish();
    CurrentProfile::Get().showTips = 1;
    return 0;
}
