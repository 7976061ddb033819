// The hover under a pointer that stays put: every change to the tree or to
// what the hit test reads of a widget, made by a call or by a direct write,
// shows on the next frame; with nothing changed, no widget is tested again.
#include <gtest/gtest.h>

#include "engine/gui/gui_image_button.h"
#include "engine/gui/gui_region.h"
#include "widget_bench.h"

using namespace GUI;

namespace {

// Counts the hit tests that reach it.
struct Probe : Widget {
    using Widget::Widget;
    bool IsTransparentAt(std::int32_t, std::int32_t) const override
    {
        ++tests;
        return false;
    }
    mutable int tests = 0;
};

class HoverStillTest : public guitest::WidgetBench {
protected:
    template <class T = Widget>
    T* add(Widget* parent, const std::string& name, const aRect& rect)
    {
        auto* w = new T(name);
        w->area = rect;
        w->autoDelete = true;
        parent->AddChild(w);
        return w;
    }
    // The hover after one frame with the pointer where it was.
    Widget* next()
    {
        step();
        return gui->hover;
    }
};

} // namespace

TEST_F(HoverStillTest, EachKindOfChangeShowsOnTheNextFrame)
{
    Widget* win = add(gui->GetRoot(), "win", aRect(0, 0, 60, 40));
    Widget* a = add(win, "a", aRect(0, 0, 20, 20));
    moveTo(5, 5);
    EXPECT_EQ(next(), a);
    EXPECT_EQ(next(), a);

    // Moved and resized, through the setters and written directly.
    a->SetPosition(30, 20);
    EXPECT_EQ(next(), win);
    a->area = aRect(0, 0, 20, 20);
    EXPECT_EQ(next(), a);
    a->SetSize(4, 4);
    EXPECT_EQ(next(), win);
    a->area.width = 20;
    a->area.height = 20;
    EXPECT_EQ(next(), a);
    a->area.x = 10;
    EXPECT_EQ(next(), win);
    a->area.x = 0;
    EXPECT_EQ(next(), a);

    // Hidden and shown.
    a->visible = false;
    EXPECT_EQ(next(), win);
    a->SetVisible(true);
    EXPECT_EQ(next(), a);
    win->SetVisible(false);
    EXPECT_EQ(next(), nullptr);
    win->visible = true;
    EXPECT_EQ(next(), a);

    // A child added on top, then the lower one brought to the front.
    Widget* c = add(win, "c", aRect(0, 0, 10, 10));
    EXPECT_EQ(next(), c);
    a->BringToFront();
    EXPECT_EQ(next(), a);
    // Removed, put back on top of c, then destroyed.
    win->RemoveChild(a);
    EXPECT_EQ(next(), c);
    a->SetParent(win);
    EXPECT_EQ(next(), a);
    delete a;
    EXPECT_EQ(next(), c);

    // Moved to another parent, which sits elsewhere.
    Widget* side = add(gui->GetRoot(), "side", aRect(100, 0, 20, 20));
    c->SetParent(side);
    EXPECT_EQ(next(), win);
    c->SetParent(win);
    EXPECT_EQ(next(), c);
}

TEST_F(HoverStillTest, WhatPlacesAndShapesAWidgetCounts)
{
    Widget* win = add(gui->GetRoot(), "win", aRect(0, 0, 60, 40));
    moveTo(5, 5);
    // Aligned right: at the parent's right edge, which the parent's width moves.
    Widget* d = add(win, "d", aRect(-60, 0, 10, 10));
    d->horzAlign = ALIGN_RIGHT;
    EXPECT_EQ(next(), d);
    win->SetWidth(100);
    EXPECT_EQ(next(), win);
    win->area.width = 60;
    EXPECT_EQ(next(), d);
    d->horzAlign = ALIGN_LEFT;
    EXPECT_EQ(next(), win);
    d->horzAlign = ALIGN_RIGHT;
    d->vertAlign = ALIGN_BOTTOM;
    EXPECT_EQ(next(), win);
    d->vertAlign = ALIGN_TOP;
    EXPECT_EQ(next(), d);

    // Static widgets are passed over.
    d->isStatic = true;
    EXPECT_EQ(next(), win);
    d->isStatic = false;
    EXPECT_EQ(next(), d);

    // A modal widget above hides every sibling below it, wherever it is.
    Widget* m = add(win, "m", aRect(50, 30, 5, 5));
    EXPECT_EQ(next(), d);
    m->modal = true;
    EXPECT_EQ(next(), win);
    m->modal = false;
    EXPECT_EQ(next(), d);

    // Clipped by its parent, a child outside it is not found.
    Widget* far = add(d, "far", aRect(0, 0, 10, 10));
    far->area.x = -15;
    EXPECT_EQ(next(), d);
    d->area.x = -45;  // the pointer now over far's box, outside d's
    EXPECT_EQ(next(), win);
    far->clipByParent = false;
    EXPECT_EQ(next(), far);
    far->clipByParent = true;
    EXPECT_EQ(next(), win);

    // A region marks only its left half as inside.
    Region half;
    half.width = 2;
    half.height = 1;
    half.mask = {1, 0};
    d->area.x = -60;
    EXPECT_EQ(next(), d);
    d->region = &half;  // the pointer at x 5 of 10: the unmarked half
    EXPECT_EQ(next(), win);
    d->region = nullptr;
    EXPECT_EQ(next(), d);
}

// A button whose clicks fall through where it shows faintly: the hit test
// reads its window's alpha, which fades with direct writes.
TEST_F(HoverStillTest, AFadingWindowLetsThePointerThroughItsButton)
{
    addImage("solid", 8, 8, imgtest::solid(8, 8, 0xFFFFFFFF));
    script("window Win\n{\n AreaRect 0 0 60 40\n imagebutton Btn\n {\n  AreaRect 0 0 20 20\n"
           "  NormalImage solid\n  TransparentAlpha 128\n }\n}\n");
    Widget* win = find("Win");
    auto* btn = find<ImageButton>("Btn");
    moveTo(5, 5);
    EXPECT_EQ(next(), btn);
    win->alpha = 0.25f;
    EXPECT_EQ(next(), win);
    win->alpha = 1.0f;
    EXPECT_EQ(next(), btn);
    // Clicks caught again everywhere.
    btn->transparentAlpha = 0;
    win->alpha = 0.25f;
    EXPECT_EQ(next(), btn);
}

TEST_F(HoverStillTest, AStillPointerOverAStillTreeTestsNothingAgain)
{
    Widget* win = add(gui->GetRoot(), "win", aRect(0, 0, 60, 40));
    auto* probe = add<Probe>(win, "probe", aRect(0, 0, 20, 20));
    moveTo(5, 5);
    step();
    ASSERT_EQ(gui->hover, probe);
    const int first = probe->tests;
    EXPECT_GT(first, 0);
    // The hover's own enter and leave, and its fade, change nothing tested.
    step(30);
    EXPECT_EQ(probe->tests, first);
    // A button held and released over it: still the same answer.
    buttons(1);
    step();
    buttons(0);
    step(3);
    EXPECT_EQ(probe->tests, first);
    // Disabled: no hover, but the widget under the pointer is the same one,
    // and enabled again it is hovered at once.
    probe->SetEnabled(false);
    EXPECT_EQ(next(), nullptr);
    probe->SetEnabled(true);
    EXPECT_EQ(next(), probe);
    EXPECT_EQ(probe->tests, first);
    moveTo(6, 5);
    EXPECT_EQ(next(), probe);
    EXPECT_GT(probe->tests, first);
}
