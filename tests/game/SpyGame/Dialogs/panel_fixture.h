#pragma once
// The game panel on the demo data: initialised, shown, updated every frame
// with the counts in `counts`, over a study list whose keys the demo's
// string table holds.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"

namespace dialogtest {

using Panel = CDialogSpyGamePanel;

// Unnamed one-item lines.
inline std::vector<CFindItemsGroup> lines(std::initializer_list<const char*> names)
{
    std::vector<CFindItemsGroup> out;
    for (const char* n : names)
        out.emplace_back(n, CFindItem::Pick, true);
    return out;
}

// A named line of several items.
inline CFindItemsGroup group(const std::string& name, std::initializer_list<const char*> items)
{
    CFindItemsGroup g;
    g.name = name;
    for (const char* item : items)
        g.AddItem(item, CFindItem::Pick);
    return g;
}

template <class Bench>
class PanelBench : public Bench {
protected:
    void SetUp() override
    {
        Bench::SetUp();
        if (this->HasFatalFailure())
            return;
        Panel::ResetSharedClockState();
        this->loadDemoResources();
        this->res->GetLocaleServer()->loadFile("language:_Locations/Study.txt", "Study");
        this->loadDemoGui();
        panel = std::make_unique<Panel>();
        panel->Init();
        panel->Show();
        // The results as the investigation sees them: after the update, before the draw.
        this->onFrame = [this](float dt) {
            if (!panel)
                return;
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

    // An i-spy study with the list; the hint glass usable.
    void study(std::vector<CFindItemsGroup>* list, const std::string& title = std::string())
    {
        panel->SetupRoom(title, list, nullptr, "Study", true, true);
        panel->SetHintsCount(2);
        this->tick();
        panel->EnableHint(true);
    }
    // The centre of a panel widget on screen.
    void clickPart(Panel::Part part)
    {
        const aRect r = panel->GetPart(part)->GetAbsoluteRect();
        this->click(r.x + r.width / 2, r.y + r.height / 2);
    }
    GUI::Widget* part(Panel::Part p) { return panel->GetPart(p); }
    // The results seen since the last call.
    std::vector<int> take()
    {
        std::vector<int> out;
        out.swap(results);
        return out;
    }
    std::wstring text(Panel::Part p) { return part(p)->GetText(); }

    std::unique_ptr<Panel> panel;
    std::array<std::int32_t, 4> counts{{-1, 0, 0, 0}};
    std::vector<int> results;
};

using PanelTest = PanelBench<RecordingDialogBench>;
using PanelGlTest = PanelBench<GlDialogBench>;

} // namespace dialogtest
