// The game panel's save record: the input is the record of the block
// "<SpyGameInterface>". A panel on a script with every widget it asks for
// loads it, runs a few updates and render hooks with the loaded state, and
// is saved again.
#include <iterator>
#include <string>
#include <vector>

#include "engine/gui/gui_server.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

namespace {

// The panel's widgets: type, name, the index of the parent (-1: the window).
struct Part {
    const char* type;
    const char* name;
    int parent;
};
const Part kParts[] = {
    {"widget", "GamePanel", -1},          {"widget", "ContinueBtnPanel", -1},  {"widget", "Continue", 1},
    {"widget", "skip_bonus_round_with_back", -1}, {"widget", "skip_bonus_round_center", -1},
    {"widget", "btn_hint", -1},           {"staticimage", "hint_title", 5},    {"statictext", "HintsCount", 5},
    {"widget", "hint_glass", -1},         {"widget", "btn_murderhunt", -1},    {"statictext", "text", 9},
    {"statictext", "title", 9},           {"widget", "btn_cardroom", -1},      {"widget", "btn_map", -1},
    {"widget", "btn_menu", -1},           {"widget", "clock", -1},             {"statictext", "clock_text_pause", 15},
    {"widget", "clock_glass", -1},        {"statictext", "clock_text", -1},    {"widget", "notebook_ispy", -1},
    {"statictext", "text2", 19},          {"widget", "notebook_no_ispy", -1},  {"statictext", "bonus_desc", 21},
    {"statictext", "quennick_comment", 21}, {"statictext", "room_name", -1},   {"widget", "info_spy_room", -1},
    {"statictext", "inv_name", 25},       {"statictext", "items_remain", 25},  {"widget", "info_map", -1},
    {"statictext", "level_num", 28},      {"statictext", "n_items", 28},       {"widget", "Back", -1},
    {"widget", "BlockWidget", -1},
};

// Every part 40 x 30, the children of `parent` nested in their parents.
std::string widgets(int parent)
{
    std::string out;
    for (int i = 0; i < int(std::size(kParts)); ++i)
        if (kParts[i].parent == parent)
            out += std::string(kParts[i].type) + " " + kParts[i].name + "\n{\nAreaRect " + std::to_string(i * 20) +
                   " " + std::to_string(i * 10) + " 40 30\n" + widgets(i) + "}\n";
    return out;
}

GUI::Server& gui()
{
    return fuzz::scriptedGui("panel.agui", "window SpyGameInterface\n{\nAreaRect 0 0 1024 768\n" + widgets(-1) + "}\n");
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

    save_blocks::loadRecord(panel, CDialogSpyGamePanel::kEntityKey, data, size, "fuzz");
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
