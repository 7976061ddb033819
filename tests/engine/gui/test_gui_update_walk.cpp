// The update walk over shown and hidden panels: what still runs in them
// (fades, layouts, timers, caret, list items), what is left alone while
// nothing runs, and what starts it again (injected input, frames of a
// fixed dt).
#include <gtest/gtest.h>

#include <functional>

#include "engine/gui/gui_editbox.h"
#include "engine/gui/gui_listbox.h"
#include "engine/gui/gui_static_text.h"
#include "gui_test_bench.h"

using namespace GUI;
using Names = std::vector<std::string>;

namespace {

// Counts its own updates.
struct Counted : Widget {
    Counted(const std::string& name, const aRect& rect) : Widget(name) { area = rect; }
    void UpdateSelf(float dt) override
    {
        ++updates;
        Widget::UpdateSelf(dt);
    }
    int updates = 0;
};

struct Hook : Subscriber {
    explicit Hook(std::function<void()> f) : body(std::move(f)) {}
    bool operator()(const EventArgs&) override
    {
        body();
        return false;
    }
    std::function<void()> body;
};

class UpdateWalkTest : public guitest::RecordingBench {
protected:
    void SetUp() override
    {
        RecordingBench::SetUp();
        if (HasFatalFailure())
            return;
        panel = new Widget("panel");
        panel->area = aRect(0, 0, 60, 40);
        panel->autoDelete = true;
        gui->GetRoot()->AddChild(panel);
        button = new Counted("button", aRect(0, 0, 20, 20));
        button->autoDelete = true;
        panel->AddChild(button);
        // Past the multi-click window, with nothing fading.
        moveTo(50, 45);
        step(40);
    }
    Widget* panel = nullptr;
    Counted* button = nullptr;
};

} // namespace

TEST_F(UpdateWalkTest, WidgetsWithNothingRunningAreLeftAloneUntilSomethingStarts)
{
    auto* label = new StaticText("label");
    label->area = aRect(0, 20, 60, 20);
    label->autoDelete = true;
    label->SetFont(addFont("Syn"));
    panel->AddChild(label);
    step(40);
    const int before = button->updates;
    step(5);
    EXPECT_EQ(button->updates, before);

    // A label's text set while hidden is laid out by the next update.
    panel->SetVisible(false);
    label->SetText(L"two words");
    step();
    EXPECT_FALSE(label->layoutDirty);
    EXPECT_EQ(label->lineCount, 2u);

    // Shown and hovered: updated while hovered and in the frame it is left.
    panel->SetVisible(true);
    step(2);
    EXPECT_EQ(button->updates, before);
    moveTo(5, 5);
    step(3);
    moveTo(50, 45);
    step(3);
    EXPECT_EQ(button->updates, before + 4);
}

TEST_F(UpdateWalkTest, FocusAndListItemsThatRunKeepTheirPanelsWalked)
{
    auto* field = new Editbox("field");
    field->area = aRect(0, 20, 40, 10);
    field->autoDelete = true;
    panel->AddChild(field);
    auto* list = new Listbox("list");
    list->autoDelete = true;
    panel->AddChild(list);
    struct Ticking : Listbox::Item {
        std::pair<float, float> GetSize() const override { return {1.0f, 1.0f}; }
        void Draw(const aRect&) override {}
        void Update(float dt) override { time += dt; }
        bool IsUpdateIdle() const override { return false; }
        bool SortsAfter(const Item&) const override { return false; }
        bool SortsBefore(const Item&) const override { return false; }
        float time = 0.0f;
    };
    step(40);
    panel->SetVisible(false);
    step();

    // Focus given by code: the caret blinks, shown for 0.7 s, then hidden.
    gui->SetFocus(field);
    step(32);
    EXPECT_TRUE(field->caretVisible);
    step(32);
    EXPECT_FALSE(field->caretVisible);
    gui->SetFocus(nullptr);

    auto ticking = std::make_unique<Ticking>();
    Ticking* item = ticking.get();
    list->AddItem(std::move(ticking));
    step(3);
    EXPECT_FLOAT_EQ(item->time, 3 * kDt);
}

TEST_F(UpdateWalkTest, FadesRunningOrStartedAsThePanelHidesGoOnWhileHidden)
{
    button->fadeInTime = 0.25f;
    button->fadeOutTime = 0.125f;
    moveTo(5, 5);
    step(16);
    ASSERT_FLOAT_EQ(button->hoverFade, 1.0f);
    // Hidden under the pointer: the button is left and fades out.
    panel->SetVisible(false);
    step();
    EXPECT_FALSE(button->hovered);
    EXPECT_FLOAT_EQ(button->hoverFade, 1.0f - kDt / 0.125f);
    step(3);
    EXPECT_FLOAT_EQ(button->hoverFade, 1.0f - 4 * kDt / 0.125f);
    step(4);
    EXPECT_EQ(button->hoverFade, 0.0f);

    // Shown again and walked at rest; a hover whose handler hides the
    // panel starts a fade-in in that frame.
    panel->SetVisible(true);
    moveTo(50, 45);
    step(2);
    Hook hide([this] { panel->SetVisible(false); });
    button->SubscribeEvent(EventMouseEnter, &hide);
    moveTo(5, 5);
    step();
    EXPECT_FALSE(panel->visible);
    EXPECT_FLOAT_EQ(button->hoverFade, kDt / 0.25f);
}

TEST_F(UpdateWalkTest, AClickAfterThePanelCameBackUnderAStillPointerStartsANewSeries)
{
    button->multiClick = true;
    Names clicks;
    Hook single([&] { clicks.push_back("Click"); }), twice([&] { clicks.push_back("DoubleClick"); });
    button->SubscribeEvent(EventClick, &single);
    button->SubscribeEvent(EventDoubleClick, &twice);
    bool hideOnRelease = true;
    Hook hide([&] {
        if (hideOnRelease)
            panel->SetVisible(false);
    });
    button->SubscribeEvent(EventMouseUp, &hide);
    click(5, 5);
    step(60);
    hideOnRelease = false;
    panel->SetVisible(true);
    step();
    buttons(1);
    step();
    buttons(0);
    step();
    EXPECT_EQ(clicks, (Names{"Click", "Click"}));
}
