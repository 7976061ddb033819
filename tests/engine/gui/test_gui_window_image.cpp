// Windows, static images, menus and tooltips (recording device, injected
// mouse).
#include <gtest/gtest.h>

#include <set>

#include "engine/gui/gui_static_image.h"
#include "engine/gui/gui_widget_factory.h"
#include "engine/gui/gui_window.h"
#include "widget_bench.h"

using namespace GUI;
using Names = std::vector<std::string>;

namespace {

class WindowTest : public guitest::WidgetBench {
protected:
    void SetUp() override
    {
        WidgetBench::SetUp();
        for (const char* name : {"norm", "glow", "grey"})
            images_[name] = addImage(name, 4, 4, imgtest::solid(4, 4, 0xFFFFFFFF));
    }
    // A style whose interior is the whole 4 x 4 image, stretched.
    static std::string style(const char* name, const char* image)
    {
        return std::string("style ") + name + "\n{\n Image " + image +
               "\n FillType stretch\n Interior 0 0 4 4\n EdgeGlobal stretch\n}\n";
    }
    std::map<std::string, aImage*> images_;
};

} // namespace

TEST_F(WindowTest, DragOrderEdgeAndLostRelease)
{
    script("widget Pa\n{\n AreaRect 0 0 40 40\n window Win\n {\n  AreaRect 10 10 20 10\n  Drag 1\n }\n}\n");
    auto* w = find<Window>("Win");
    ASSERT_NE(w, nullptr);
    guitest::EventTrace drags;
    drags.watch(w, {EventDragStarted, EventDragging, EventDragFinished, EventMouseDown, EventMouseMove,
                    EventMouseUp, EventClick});
    moveTo(12, 12);
    step();
    drags.take();
    drag(12, 12, {{22, 12}});
    EXPECT_EQ(drags.take(), (Names{"Win.MouseDown", "Win.DragStarted", "Win.MouseMove", "Win.Dragging", "Win.MouseUp",
                                   "Win.Click", "Win.DragFinished"}));
    EXPECT_EQ(w->area, aRect(20, 10, 20, 10));

    // The anchor stops at the parent's last column although the mouse goes on.
    press(22, 12);
    moveTo(60, 30);
    step();
    EXPECT_EQ(w->area, aRect(20 + 39 - 22, 10 + 30 - 12, 20, 10));
    moveTo(63, 30);
    step();
    EXPECT_EQ(w->area.x, 37);

    // Disabled while held: the drag ends at once and later moves do nothing.
    drags.take();
    w->SetEnabled(false);
    step();
    EXPECT_EQ(drags.take(), Names{"Win.DragFinished"});
    w->SetEnabled(true);
    release();
    moveTo(40, 30);
    step();
    EXPECT_EQ(w->area.x, 37);

    // Dropped from hover while held (as dialogs do): ended by MouseLeave.
    press(38, 32);
    drags.take();
    gui->SetHoverWidget(nullptr);
    EXPECT_EQ(drags.take(), Names{"Win.DragFinished"});
    EXPECT_FALSE(w->dragging);
    release();

    // A window without a parent never drags.
    Window alone("alone");
    alone.drag = true;
    MouseEventArgs press(&alone);
    alone.OnMouseDown(press);
    EXPECT_FALSE(alone.dragging);
}

TEST_F(WindowTest, StyleColours)
{
    script(style("N", "norm") + style("H", "glow") + style("D", "grey") +
           "window Win\n{\n AreaRect 4 4 8 8\n Alpha 0.5\n NormalStyle N\n HoverStyle H\n DisabledStyle D\n}\n");
    auto* w = find<Window>("Win");
    EXPECT_EQ(briefs(images_["norm"]), Names{"4,4 4x4*2,2 80FFFFFF"});
    EXPECT_TRUE(briefs(images_["glow"]).empty());
    moveTo(6, 6);
    step();
    EXPECT_EQ(briefs(images_["glow"]), Names{"4,4 4x4*2,2 80FFFFFF"});
    w->SetEnabled(false);
    EXPECT_EQ(render().size(), 1u);
    EXPECT_EQ(briefs(images_["grey"]), Names{"4,4 4x4*2,2 80FFFFFF"});
}

TEST_F(WindowTest, StaticImageTintSizeAndEmptySources)
{
    script("staticimage Tint\n{\n AreaRect 2 3\n NormalImage norm\n NormalRect 1 1 2 3\n Color FF808080\n"
           " Alpha 0.5\n}\n"
           "staticimage Dis\n{\n AreaRect 10 0 8 8\n NormalImage norm\n DisabledImage grey\n Color FF102030\n"
           " RotAngle 90\n RotCenter 2 1\n}\n"
           "staticimage Zero\n{\n AreaRect 20 0 8 8\n NormalImage glow\n NormalRect 0 0 0 0\n}\n");
    auto* tint = find<StaticImage>("Tint");
    auto* dis = find<StaticImage>("Dis");
    // Size from the rectangle; "Color" FF808080 at alpha 0.5 draws 80808080.
    EXPECT_EQ(tint->area, aRect(2, 3, 2, 3));
    const auto draws = render();
    ASSERT_EQ(draws.size(), 2u);  // the zero rectangle draws nothing
    EXPECT_EQ(brief(draws[0]), "2,3 2x3*1,1 80808080");
    EXPECT_NEAR(draws[1].angle, 1.5707964f, 1e-6f);
    EXPECT_EQ(draws[1].pivotX(), 10.0f + 2 * 2);  // the centre in source pixels, stretched
    EXPECT_EQ(draws[1].color, 0xFF102030u);

    // Disabled: the disabled image in white; without one, the normal image.
    dis->SetEnabled(false);
    EXPECT_EQ(briefs(images_["grey"]).at(0), "10,0 4x4*2,2 FFFFFFFF");
    dis->disabledImage.reset();
    EXPECT_EQ(briefs(images_["norm"]).size(), 2u);
    // A null image clears.
    dis->SetImage(nullptr, nullptr);
    tint->SetImage(images_["glow"], nullptr);
    EXPECT_EQ(briefs(images_["norm"]).size(), 0u);
    EXPECT_EQ(briefs(images_["glow"]), Names{"2,3 4x4*0.5,0.75 80808080"});
}

TEST(WidgetKinds, TypeNamesAndIsA)
{
    struct Row {
        const char* word;
        const char* type;
        std::vector<std::string> is;
    };
    const std::vector<Row> rows = {
        {"window", "Window", {"Window"}},
        {"staticimage", "StaticImage", {"StaticImage"}},
        {"tooltip", "Tooltip", {"Tooltip"}},
        {"mainmenu", "MainMenu", {"MainMenu", "MenuBase"}},
        {"popupmenu", "PopupMenu", {"PopupMenu", "MenuBase"}},
        {"menuitem", "MenuItem", {"MenuItem"}},
        {"slider", "Slider", {"Slider"}},
        {"scrollbar", "Scrollbar", {"Scrollbar"}},
        {"statictext", "StaticText", {"StaticText"}},
        {"imagebutton", "ImageButton", {"ImageButton", "ButtonBase"}},
        {"stylebutton", "StyleButton", {"StyleButton", "ButtonBase"}},
        {"optionbutton", "OptionButton", {"OptionButton", "ButtonBase"}},
        {"checkbox", "Checkbox", {"Checkbox", "ImageButton", "ButtonBase"}},
        {"radiobutton", "RadioButton", {"RadioButton", "Checkbox", "ImageButton", "ButtonBase"}},
    };
    std::set<std::string> all = {"MenuBase", "ButtonBase", "Widget", "window"};
    for (const Row& row : rows)
        all.insert(row.type);
    for (const Row& row : rows) {
        const auto w = WidgetFactory::Instance().NewWidget(row.word, "x");
        ASSERT_NE(w, nullptr) << row.word;
        EXPECT_STREQ(w->GetTypeName(), row.type);
        for (const std::string& type : all)
            EXPECT_EQ(w->IsA(type), std::count(row.is.begin(), row.is.end(), type) == 1) << row.word << " " << type;
    }
}
