// Sliders and scroll bars: thumb drags by injected mouse, values set by
// code, the scroll bar's layout (recording device).
#include <gtest/gtest.h>

#include "engine/gui/gui_scrollbar.h"
#include "engine/gui/gui_slider.h"
#include "widget_bench.h"

using namespace GUI;
using Names = std::vector<std::string>;

namespace {

class TrackTest : public guitest::WidgetBench {
protected:
    guitest::EventTrace trace;
};

const char* kButtons = "  widget _auto_decbtn\n  {\n   AreaRect 0 100 20 10\n   ClipByParent 0\n  }\n"
                       "  widget _auto_incbtn\n  {\n   AreaRect 30 100 20 10\n   ClipByParent 0\n  }\n";

} // namespace

TEST_F(TrackTest, SliderDragSetValueAndSteps)
{
    script(std::string("slider Sl\n{\n AreaRect 0 0 200 10\n StepValue 0.1\n") +
           "  widget _auto_thumb\n  {\n   AreaRect 0 0 20 10\n  }\n" + kButtons + "}\n");
    auto* slider = find<Slider>("Sl");
    Widget* thumb = slider->thumb;
    ASSERT_NE(thumb, nullptr);
    trace.watch(slider, {EventThumbTrackStarted, EventPositionChanged, EventThumbTrackFinished});
    // Grabbed at its middle and taken to x 90 (in steps, some backwards).
    drag(10, 5, {{40, 5}, {30, 5}, {100, 5}});
    EXPECT_EQ(thumb->area.x, 90);
    EXPECT_FLOAT_EQ(slider->value, 0.5f);
    EXPECT_EQ(trace.take(), (Names{"Sl.ThumbTrackStarted", "Sl.PositionChanged", "Sl.PositionChanged",
                                   "Sl.PositionChanged", "Sl.ThumbTrackFinished"}));
    drag(95, 5, {{99, 5}, {97, 5}});
    EXPECT_EQ(thumb->area.x, 92);
    // The thumb stops at the end; moving back while the pointer is still
    // beyond the grab point leaves it there; past the start it stops.
    drag(102, 5, {{400, 5}, {300, 5}});
    EXPECT_EQ(thumb->area.x, 180);
    drag(190, 5, {{-50, 5}});
    EXPECT_EQ(thumb->area.x, 0);

    slider->SetValue(2.0f);
    EXPECT_EQ(thumb->area.x, 180);
    EXPECT_FLOAT_EQ(slider->value, 1.0f);
    trace.take();
    slider->SetValue(slider->value);
    EXPECT_EQ(trace.take(), Names{"Sl.PositionChanged"});
    slider->SetValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(slider->value, 0.0f);

    // One step per completed click of a button.
    slider->SetValue(0.05f);
    click(5, 105);
    EXPECT_EQ(slider->value, 0.0f);
    click(35, 105);
    click(35, 105);
    EXPECT_FLOAT_EQ(slider->value, 0.2f);
    EXPECT_EQ(thumb->area.x, 36);

    // Lost release: disabled while dragging, the track ends by the next update.
    press(45, 5);
    trace.take();
    slider->SetEnabled(false);
    step();
    EXPECT_EQ(trace.take(), Names{"Sl.ThumbTrackFinished"});
    release();
}

TEST_F(TrackTest, ScrollbarLayoutAndMends)
{
    script(std::string("scrollbar Sb\n{\n AreaRect 0 0 10 100\n Vertical 1\n StepValue 40\n") +
           "  widget _auto_thumb\n  {\n   AreaRect 0 0 10 10\n  }\n" + kButtons + "}\n");
    auto* bar = find<Scrollbar>("Sb");
    Widget* thumb = bar->thumb;
    trace.watch(bar, {EventPositionChanged});
    EXPECT_FALSE(thumb->clipByParent);
    bar->SetPageSize(100);
    bar->SetTotalSize(400);
    EXPECT_EQ(thumb->area.height, 25);
    drag(5, 5, {{5, 40}, {5, 80}});
    EXPECT_EQ(thumb->area.y, 75);
    EXPECT_FLOAT_EQ(bar->position, 300.0f);
    trace.take();

    // A relayout keeps the position and puts the thumb where it says.
    bar->SetTotalSize(500);
    EXPECT_FLOAT_EQ(bar->position, 300.0f);
    EXPECT_EQ(thumb->area.height, 20);
    EXPECT_EQ(thumb->area.y, 60);
    EXPECT_TRUE(trace.take().empty());
    // Shrinking below the position moves it to the new end, once.
    bar->SetTotalSize(250);
    EXPECT_FLOAT_EQ(bar->position, 150.0f);
    EXPECT_EQ(thumb->area.y, 60);
    EXPECT_EQ(trace.take(), Names{"Sb.PositionChanged"});

    // Arrow buttons step by StepValue.
    click(35, 105);
    EXPECT_FLOAT_EQ(bar->position, 150.0f);
    click(5, 105);
    EXPECT_FLOAT_EQ(bar->position, 110.0f);
    trace.take();
    bar->SetScrollPosition(-5);
    bar->SetScrollPosition(0);
    EXPECT_EQ(trace.take(), Names{"Sb.PositionChanged"});

    // Everything visible, stretched: the thumb fills the bar and cannot move.
    bar->SetTotalSize(50);
    EXPECT_EQ(thumb->area.height, 100);
    drag(5, 50, {{5, 90}});
    EXPECT_EQ(thumb->area.y, 0);
    EXPECT_EQ(bar->position, 0.0f);
    // Page 0: an endless ratio, a thumb of length 0; both 0: all visible.
    bar->SetPageSize(0);
    EXPECT_EQ(thumb->area.height, 0);
    bar->SetTotalSize(0);
    EXPECT_EQ(thumb->area.height, 100);
    bar->SetTotalSize(std::numeric_limits<float>::quiet_NaN());
    bar->SetScrollPosition(std::numeric_limits<float>::infinity());
    EXPECT_EQ(bar->position, 0.0f);

    // Without Stretch the thumb hides and the buttons are disabled; with
    // AutoHide the bar hides itself; more content shows all again.
    bar->stretch = false;
    bar->SetPageSize(100);
    bar->SetTotalSize(50);
    EXPECT_FALSE(thumb->visible);
    EXPECT_FALSE(bar->incButton->enabled || bar->decButton->enabled);
    bar->autoHide = true;
    bar->SetTotalSize(60);
    EXPECT_FALSE(bar->visible);
    bar->SetTotalSize(400);
    EXPECT_TRUE(bar->visible && thumb->visible && bar->incButton->enabled && bar->decButton->enabled);
}

TEST_F(TrackTest, MissingThumbLogsAndStillStores)
{
    script("slider Sl\n{\n AreaRect 0 0 100 10\n}\nscrollbar Sb\n{\n AreaRect 0 20 100 10\n}\n");
    const std::string log = newLog();
    EXPECT_NE(log.find("Slider::Initialize - Thumb for slider 'Sl' not found"), std::string::npos);
    EXPECT_NE(log.find("Scrollbar::Initialize - Thumb for scrollbar 'Sb' not found"), std::string::npos);
    auto* slider = find<Slider>("Sl");
    slider->SetValue(0.25f);
    EXPECT_EQ(slider->value, 0.25f);
    auto* bar = find<Scrollbar>("Sb");
    bar->SetPageSize(10);
    bar->SetTotalSize(30);
    bar->SetScrollPosition(12);
    EXPECT_EQ(bar->position, 12.0f);
}
