// Input routing by the GUI server: injected keys and mouse through a real
// input server, frames of a fixed dt (recording device).
#include <gtest/gtest.h>

#include <functional>

#include "gui_test_bench.h"
#include "platform/input/dinput_keys.h"

using namespace GUI;
using namespace platform;
using Names = std::vector<std::string>;

namespace {

struct Focusable : Widget {
    Focusable(const std::string& name, const aRect& rect) : Widget(name) { area = rect; }
    bool CanFocus() const override { return true; }
};

// Calls a function for an event, with the arguments.
struct Hook : Subscriber {
    explicit Hook(std::function<void(const EventArgs&)> f) : body(std::move(f)) {}
    bool operator()(const EventArgs& args) override
    {
        body(args);
        return false;
    }
    std::function<void(const EventArgs&)> body;
};

class RoutingTest : public guitest::RecordingBench {
protected:
    Widget* add(Widget* parent, const std::string& name, const aRect& rect)
    {
        auto* w = new Widget(name);
        w->area = rect;
        w->autoDelete = true;
        parent->AddChild(w);
        trace.watch(w);
        return w;
    }
    // Pressed for one frame, then released.
    void tap(std::uint8_t key)
    {
        hold(key);
        step();
        release(key);
        step();
    }
    // The fired events without the moves.
    Names events()
    {
        Names out;
        for (const std::string& e : trace.take())
            if (e.find("MouseMove") == std::string::npos)
                out.push_back(e);
        return out;
    }
    guitest::EventTrace trace;
};

} // namespace

TEST_F(RoutingTest, PressDragReleaseCaptureAndHover)
{
    Widget* root = gui->GetRoot();
    Widget* win = add(root, "win", aRect(0, 0, 60, 40));
    Widget* a = add(win, "a", aRect(0, 0, 20, 20));
    Widget* b = add(win, "b", aRect(30, 0, 20, 20));
    moveTo(5, 5);
    step();
    EXPECT_EQ(events(), (Names{"win.MouseEnter", "a.MouseEnter"}));
    // Dragged out and released outside: MouseDown and MouseUp, no Click.
    buttons(1);
    step();
    moveTo(40, 5);
    step();
    EXPECT_TRUE(gui->hover == a && a->hovered && !b->hovered);
    buttons(0);
    step();
    // Siblings: only the two children change, the window stays hovered.
    EXPECT_EQ(events(), (Names{"a.MouseDown", "a.MouseUp", "a.MouseLeave", "b.MouseEnter"}));
    EXPECT_EQ(gui->hover, b);
    // Released inside: a Click. A second button pressed meanwhile is ignored.
    for (unsigned bits : {1u, 3u, 2u, 0u}) {
        buttons(bits);
        step();
    }
    EXPECT_EQ(events(), (Names{"b.MouseDown", "b.MouseUp", "b.Click"}));

    // The wheel in notches; a disabled widget counts as nothing.
    float notches = 0;
    Hook wheelHook([&](const EventArgs& e) { notches = static_cast<const MouseEventArgs&>(e).wheel; });
    b->SubscribeEvent(EventMouseWheel, &wheelHook);
    wheel(-2);
    step();
    EXPECT_EQ(notches, -2.0f);
    trace.take();
    a->SetEnabled(false);
    moveTo(5, 6);
    step();
    buttons(1);
    step();
    EXPECT_EQ(events(), (Names{"a.Disabled", "win.MouseLeave", "b.MouseLeave"}));  // outermost first
    EXPECT_EQ(gui->hover, nullptr);
    buttons(0);
    step();
}

// The pointer stays put while the tree changes under it: the hover follows
// every change on the next frame, down to a child drawn outside its parents.
TEST_F(RoutingTest, HoverFollowsTheTreeUnderAStillPointer)
{
    Widget* root = gui->GetRoot();
    Widget* win = add(root, "win", aRect(0, 0, 60, 40));
    Widget* a = add(win, "a", aRect(0, 0, 20, 20));
    moveTo(5, 5);
    step();
    EXPECT_EQ(gui->hover, a);
    a->SetVisible(false);
    step();
    EXPECT_EQ(gui->hover, win);
    a->SetVisible(true);
    step();
    EXPECT_EQ(gui->hover, a);
    a->SetPosition(30, 0);
    step();
    EXPECT_EQ(gui->hover, win);
    a->SetPosition(0, 0);
    Widget* cover = add(win, "cover", aRect(0, 0, 10, 10));
    step();
    EXPECT_EQ(gui->hover, cover);
    win->SetVisible(false);
    step();
    EXPECT_EQ(gui->hover, nullptr);
    // Asked of a hidden widget, the hit test finds none of its children.
    EXPECT_EQ(win->WidgetAt(5, 5, true, true), nullptr);
    win->SetVisible(true);
    step();
    EXPECT_EQ(gui->hover, cover);

    // A grandchild not clipped by its parent, far outside both boxes.
    Widget* far = add(a, "far", aRect(100, 80, 10, 10));
    far->clipByParent = false;
    moveTo(105, 85);
    step();
    EXPECT_EQ(gui->hover, far);
    a->SetVisible(false);
    step();
    EXPECT_EQ(gui->hover, nullptr);
}

TEST_F(RoutingTest, HeldKeysRepeatAndCrossFocusChanges)
{
    Focusable edit("edit", aRect(0, 0, 10, 10)), next("next", aRect(10, 0, 10, 10));
    gui->GetRoot()->AddChild(&edit);
    gui->GetRoot()->AddChild(&next);
    std::vector<int> downFrames;
    std::string typed;
    int frameNo = 0;
    Hook down([&](const EventArgs& e) {
        downFrames.push_back(frameNo);
        typed += static_cast<const KeybEventArgs&>(e).character;
    });
    edit.SubscribeEvent(EventKeyDown, &down);
    trace.watch(&edit);
    trace.watch(&next);
    gui->SetFocus(&edit);
    hold(DIK_A);
    for (frameNo = 0; frameNo < 84; ++frameNo)
        step();
    release(DIK_A);
    step();
    // Pressed in frame 0; the first repeat once 0.3 s passed (20 frames of
    // 1/64 s), then every 0.05 s, at most one per frame.
    ASSERT_TRUE(downFrames.size() == 21u || downFrames.size() == 22u) << downFrames.size();
    EXPECT_TRUE(downFrames[0] == 0 && downFrames[1] == 19);
    for (std::size_t i = 2; i < downFrames.size(); ++i)
        EXPECT_TRUE(downFrames[i] - downFrames[i - 1] == 3 || downFrames[i] - downFrames[i - 1] == 4);
    EXPECT_EQ(typed, std::string(downFrames.size(), 'a'));
    const Names fired = trace.take();
    EXPECT_TRUE(fired.front() == "edit.FocusGain" && fired.back() == "edit.KeyUp");

    // A key held while the focus moves (Enter closing a dialog) is no new
    // press for the next widget: no KeyDown, no repeat; its release arrives.
    hold(DIK_RETURN);
    step();
    gui->SetFocus(&next);
    step(40);
    release(DIK_RETURN);
    step();
    EXPECT_EQ(trace.take(), (Names{"edit.KeyDown", "edit.FocusLost", "next.FocusGain", "next.KeyUp"}));
    // A widget that cannot take the focus leaves it where it was.
    Widget plain("plain");
    gui->SetFocus(&plain);
    EXPECT_EQ(gui->focus, &next);

    // A key pressed while a button is held arrives after the release.
    moveTo(15, 5);
    step();
    buttons(1);
    step();
    hold(DIK_B);
    step(3);
    EXPECT_EQ(events(), (Names{"edit.MouseLeave", "next.MouseEnter", "next.MouseDown", "next.FocusLost",
                               "next.FocusGain"}));
    buttons(0);
    step();
    EXPECT_EQ(events(), (Names{"next.MouseUp", "next.Click", "next.KeyDown"}));
    gui->GetRoot()->RemoveChild(&edit);
    gui->GetRoot()->RemoveChild(&next);
}

TEST_F(RoutingTest, HotkeysCharactersAndModifiers)
{
    moveTo(60, 40);
    Widget* win = add(gui->GetRoot(), "win", aRect(0, 0, 30, 30));
    Widget* hot = add(win, "hot", aRect(0, 0, 10, 10));
    hot->Set("Hotkey", "s");
    hot->EndFillProperties();
    Focusable field("field", aRect(40, 0, 10, 10));
    gui->GetRoot()->AddChild(&field);
    trace.watch(&field);
    gui->SetFocus(&field);
    trace.take();
    tap(DIK_S);
    EXPECT_EQ(trace.take(), (Names{"hot.Click", "field.KeyUp"}));
    win->SetVisible(false);
    trace.take();
    tap(DIK_S);
    EXPECT_EQ(trace.take(), (Names{"field.KeyDown", "field.KeyUp"}));

    std::vector<std::pair<std::uint32_t, char>> got;
    Hook down([&](const EventArgs& e) {
        const auto& k = static_cast<const KeybEventArgs&>(e);
        got.emplace_back(k.modifiers, k.character);
    });
    field.SubscribeEvent(EventKeyDown, &down);
    const auto type = [&](std::initializer_list<std::uint8_t> keysHeld) {
        for (std::uint8_t k : keysHeld) {
            hold(k);
            step();
        }
        for (std::uint8_t k : keysHeld)
            release(k);
        step();
    };
    type({DIK_LSHIFT, DIK_1});
    keys.capsLock = true;
    type({DIK_RSHIFT, DIK_A});
    type({DIK_A});
    keys.capsLock = false;
    keys.numLock = keys.scrollLock = true;
    type({DIK_LSHIFT, DIK_SPACE});
    type({DIK_RCONTROL, DIK_LMENU, DIK_SPACE});
    EXPECT_EQ(got, (std::vector<std::pair<std::uint32_t, char>>{
                       {1, 0}, {1, '!'}, {1 | 8, 0}, {1 | 8, 'a'}, {8, 'A'}, {1 | 16 | 32, 0}, {1 | 16 | 32, 0},
                       {2 | 16 | 32, 0}, {2 | 4 | 16 | 32, 0}, {2 | 4 | 16 | 32, ' '}}));
    EXPECT_TRUE(Server::KeyToChar(0x29, 1) == '~' && Server::KeyToChar(0x0B, 0) == '0' && !Server::KeyToChar(0xFF, 1));
    gui->GetRoot()->RemoveChild(&field);
}

TEST_F(RoutingTest, MouseRepeatInsideOnlyAndDyingWidgets)
{
    Widget* rep = add(gui->GetRoot(), "rep", aRect(0, 0, 20, 20));
    rep->mouseAutoRepeat = true;
    moveTo(5, 5);
    step();
    buttons(1);
    step(20);  // the delay passes in the 20th frame
    moveTo(30, 5);
    step(10);
    moveTo(6, 5);
    step(4);
    buttons(0);
    step();
    std::size_t downs = 0;
    for (const std::string& e : trace.take())
        downs += e == "rep.MouseDown";
    EXPECT_EQ(downs, 3u);  // the press, the first repeat, one back inside

    // A Click handler deleting its widget, and another one's hover.
    Widget* doomed = add(gui->GetRoot(), "doomed", aRect(30, 30, 10, 10));
    Hook kill([&](const EventArgs&) { delete doomed; });
    doomed->SubscribeEvent(EventClick, &kill);
    moveTo(35, 35);
    step();
    buttons(1);
    step();
    buttons(0);
    step(2);
    EXPECT_TRUE(gui->GetRoot()->FindChild("doomed") == nullptr && gui->hover == nullptr);

    // The walk of InitWidgets: parents first, the last child first; then a
    // clean input state.
    struct Init : Widget {
        Init(const std::string& n, Names& o) : Widget(n), order(o) {}
        void Initialize() override { order.push_back(name); }
        Names& order;
    };
    Names order;
    Init top("top", order), first("first", order), second("second", order), inner("inner", order);
    gui->GetRoot()->AddChild(&top);
    top.AddChild(&first);
    top.AddChild(&second);
    first.AddChild(&inner);
    moveTo(2, 2);
    buttons(1);
    hold(DIK_A);
    step(2);
    gui->InitWidgets();
    EXPECT_EQ(order, (Names{"top", "second", "first", "inner"}));
    EXPECT_TRUE(!gui->hover && !gui->focus && !gui->cursor && gui->pressedButton == Server::kNoButton &&
                gui->repeatKey == -1 && gui->lastMouseX == 0 && gui->lastMouseY == 0 && gui->cursorOn);
    gui->GetRoot()->RemoveChild(&top);
}
