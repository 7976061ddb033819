// The game panel's save record: the input is the record of the block
// "<SpyGameInterface>". A panel on a script with every widget it asks for
// loads it, runs a few updates and render hooks with the loaded state, and
// is saved again.
#include <string>
#include <vector>

#include "engine/gui/gui_server.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/shell/save_load_system.h"

namespace {

const char* kScript = R"(
window SpyGameInterface
{
    AreaRect 0 0 1024 768
    widget GamePanel
    {
        AreaRect 0 0 179 768
    }
    widget ContinueBtnPanel
    {
        AreaRect 500 600 160 56
        widget Continue
        {
            AreaRect 0 0 160 56
        }
    }
    widget skip_bonus_round_with_back
    {
        AreaRect 91 664 82 36
    }
    widget skip_bonus_round_center
    {
        AreaRect 48 664 82 36
    }
    widget btn_hint
    {
        AreaRect 96 2 80 96
        staticimage hint_title
        {
            AreaRect 8 2 64 22
        }
        statictext HintsCount
        {
            AreaRect 17 38 50 36
        }
    }
    widget hint_glass
    {
        AreaRect 113 32 50 50
    }
    widget btn_murderhunt
    {
        AreaRect 4 452 171 132
        statictext text
        {
            AreaRect 20 62 134 62
        }
        statictext title
        {
            AreaRect 20 34 128 24
        }
    }
    widget btn_cardroom
    {
        AreaRect 91 598 82 60
    }
    widget btn_map
    {
        AreaRect 6 598 82 60
    }
    widget btn_menu
    {
        AreaRect 6 714 167 44
    }
    widget clock
    {
        AreaRect 6 2 84 84
        statictext clock_text_pause
        {
            AreaRect 14 28 48 30
        }
    }
    widget clock_glass
    {
        AreaRect 6 2 84 84
    }
    statictext clock_text
    {
        AreaRect 20 54 56 18
    }
    widget notebook_ispy
    {
        AreaRect 6 176 167 272
        statictext text2
        {
            AreaRect 34 14 128 250
        }
    }
    widget notebook_no_ispy
    {
        AreaRect 6 176 167 272
        statictext bonus_desc
        {
            AreaRect 34 14 128 130
        }
        statictext quennick_comment
        {
            AreaRect 34 150 128 110
        }
    }
    statictext room_name
    {
        AreaRect 6 104 167 28
    }
    widget info_spy_room
    {
        AreaRect 6 136 167 38
        statictext inv_name
        {
            AreaRect 0 0 167 18
        }
        statictext items_remain
        {
            AreaRect 0 18 167 18
        }
    }
    widget info_map
    {
        AreaRect 6 136 167 38
        statictext level_num
        {
            AreaRect 0 0 167 18
        }
        statictext n_items
        {
            AreaRect 0 18 167 18
        }
    }
    widget Back
    {
        AreaRect 6 664 82 36
    }
    widget BlockWidget
    {
        AreaRect 0 0 179 768
    }
}
)";

GUI::Server& gui()
{
    static GUI::Server* server = [] {
        auto* s = new GUI::Server(nullptr, nullptr);
        s->load(fuzz::writeTemp("panel.agui", kScript));
        s->InitWidgets();
        return s;
    }();
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    GUI::Widget* window = gui().GetRoot()->FindChild("SpyGameInterface", true);
    std::vector<CFindItemsGroup> list;
    list.emplace_back("coin_1", CFindItem::Pick, true);
    list.emplace_back("key", CFindItem::Pick, true);
    CDialogSpyGamePanel panel;
    panel.Init();
    panel.Show();
    panel.SetPersonageName("Fuzzer");
    panel.SetupRoom("title", &list, nullptr, "Room", true, true);

    std::vector<std::uint8_t> payload;
    const std::string key = CDialogSpyGamePanel::kEntityKey;
    payload.insert(payload.end(), key.begin(), key.end());
    payload.push_back(0);
    for (int i = 0; i < 4; ++i)
        payload.push_back(std::uint8_t(size >> (8 * i)));
    payload.insert(payload.end(), data, data + size);
    {
        SaveLoadSystem system;
        if (system.BeginLoadPayload(std::move(payload), 1, "fuzz")) {
            system.LoadEntity(&panel);
            system.Finish();
        }
    }
    panel.SetupRoom("title", &list, nullptr, "Room", true, true);
    panel.SetRoomPause(false);
    const GUI::WidgetEventArgs args(window);
    for (float dt : {0.0f, 0.02f, 1.5f}) {
        panel.Update(dt, 3, 1, 2, 1);
        panel.AddExtraHint();
        panel.UseHint();
        window->LaunchEvent(GUI::EventEndRender, args);
        if (GUI::Widget* clockText = panel.GetPart(CDialogSpyGamePanel::ClockText))
            clockText->LaunchEvent(GUI::EventBeginRender, GUI::WidgetEventArgs(clockText));
        if (GUI::Widget* count = panel.GetPart(CDialogSpyGamePanel::HintsCount))
            count->LaunchEvent(GUI::EventBeginRender, GUI::WidgetEventArgs(count));
    }
    SaveLoadSystem out;
    out.BeginSave(fuzz::tempDir() + "panel.save", 4374);
    out.SaveEntity(&panel);
    out.Finish();
    return 0;
}
