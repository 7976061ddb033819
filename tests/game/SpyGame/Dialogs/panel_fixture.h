#pragma once
// The game panel on the demo data, initialised, shown and updated every
// frame with `counts`; the results it reports are gathered as the
// investigation sees them, after the update and before the draw.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"

namespace dialogtest {

using Panel = CDialogSpyGamePanel;

// Unnamed one-item lines, then an optional named group of items.
inline std::vector<CFindItemsGroup> lines(std::initializer_list<const char*> names, const std::string& group = "",
                                          std::initializer_list<const char*> items = {})
{
    std::vector<CFindItemsGroup> out;
    for (const char* n : names)
        out.emplace_back(n, CFindItem::Pick, true);
    if (!group.empty()) {
        out.emplace_back();
        out.back().name = group;
        for (const char* item : items)
            out.back().AddItem(item, CFindItem::Pick);
    }
    return out;
}

template <class Bench>
class PanelBench : public Bench {
protected:
    void SetUp() override
    {
        Bench::SetUp();
        Panel::ResetSharedClockState();
        this->loadDemoResources();
        this->res->GetLocaleServer()->loadFile("language:_Locations/Study.txt", "Study");
        this->loadGui();
        remake();
        this->onFrame = [this](float dt) {
            panel->Update(dt, counts[0], counts[1], counts[2], counts[3]);
            if (panel->GetState() > Panel::ResultShown)
                results.push_back(panel->GetState());
        };
    }
    void TearDown() override
    {
        panel.reset();
        Bench::TearDown();
    }
    // A new panel, shown (after a new restore time, for instance).
    void remake()
    {
        panel = std::make_unique<Panel>();
        panel->Init();
        panel->Show();
    }
    // An i-spy study with the list and a usable hint glass.
    void study(std::vector<CFindItemsGroup>* list, bool ispy = true)
    {
        panel->SetupRoom("", list, nullptr, "Study", true, ispy);
        panel->SetRoomPause(false);
        panel->SetHintsCount(2);
        this->tick();
        panel->EnableHint(true);
    }
    GUI::Widget* part(Panel::Part p) { return panel->GetPart(p); }
    std::wstring text(Panel::Part p) { return part(p)->GetText(); }
    void clickPart(Panel::Part p)
    {
        const aRect r = part(p)->GetAbsoluteRect();
        this->click(r.x + r.width / 2, r.y + r.height / 2);
    }
    std::vector<int> take() { return std::exchange(results, {}); }

    std::unique_ptr<Panel> panel;
    std::array<std::int32_t, 4> counts{{-1, 0, 0, 0}};
    std::vector<int> results;
};

using PanelTest = PanelBench<RecordingDialogBench>;
using PanelGlTest = PanelBench<GlDialogBench>;

} // namespace dialogtest
