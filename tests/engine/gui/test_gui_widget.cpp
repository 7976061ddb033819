// The widget base: tree, state, geometry, hit tests, hotkeys, mouse logic,
// property filling and the render walk (recording device).
#include <gtest/gtest.h>

#include "engine/util/a_locale_server.h"
#include "gui_test_bench.h"
#include "platform/input/dinput_keys.h"
#include "support/bitmap1_writer.h"

using namespace GUI;
using guitest::FillWidget;
using Names = std::vector<std::string>;
using Widgets = std::vector<Widget*>;

namespace {

class WidgetTest : public guitest::RecordingBench {
protected:
    // A region of w x h with the one pixel (px, py) inside.
    Region* region(const std::string& name, int w, int h, int px, int py)
    {
        std::vector<std::uint8_t> bits(std::size_t(w * h), 0);
        bits[std::size_t(py * w + px)] = 1;
        const std::string file = bitmap1_writer::build(w, h, bits);
        gui->regions[name] = std::make_unique<Region>();
        gui->regions[name]->LoadFromMemory(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), name);
        return gui->regions[name].get();
    }
    static MouseEventArgs at(Widget* w, int x, std::uint32_t button = 0)
    {
        MouseEventArgs a(w);
        a.x = x;
        a.y = 5;
        a.button = button;
        return a;
    }
    guitest::EventTrace trace;
};

struct Focusable : Widget {
    using Widget::Widget;
    bool CanFocus() const override { return true; }
};

struct HalfTransparent : Widget {
    using Widget::Widget;
    bool IsTransparentAt(std::int32_t x, std::int32_t) const override { return x < area.width / 2; }
};

} // namespace

TEST_F(WidgetTest, TreeOrderOwnershipAndForgetting)
{
    Widget a("a"), b("b");
    auto *x = new Widget("x"), *top = new Widget("top"), *y = new Widget("y"), *inner = new Widget("N");
    top->alwaysOnTop = true;
    for (Widget* w : {x, top, y})
        a.AddChild(w);
    EXPECT_EQ(a.drawOrder, (Widgets{x, y, top}));
    x->BringToFront();
    EXPECT_EQ(a.drawOrder, (Widgets{y, x, top}));

    // Moving between parents; a cycle is refused.
    b.AddChild(y);
    EXPECT_EQ(a.children, (Widgets{x, top}));
    y->SetParent(nullptr);
    EXPECT_TRUE(b.children.empty() && b.drawOrder.empty() && !y->parent);
    x->AddChild(&a);
    EXPECT_EQ(a.parent, nullptr);
    EXPECT_NE(newLog().find("Widget::AddChild - 'a' cannot become a child"), std::string::npos);

    // RiseChain raises the widgets that ask for it, below always-on-top ones.
    x->AddChild(inner);
    x->riseOnClick = true;
    a.AddChild(y);
    inner->RiseChain();
    EXPECT_EQ(a.drawOrder, (Widgets{y, x, top}));
    top->alwaysOnTop = false;
    top->BringToFront();
    inner->RiseChain();
    EXPECT_EQ(a.drawOrder, (Widgets{y, top, x}));

    // FindChild: children in order, each subtree before the next child.
    y->name = "n";
    EXPECT_EQ(a.FindChild("N"), y);
    EXPECT_EQ(a.FindChild("n", true), inner);
    EXPECT_EQ(a.FindChild("none", true), nullptr);

    // An owner's delete leaves the parent; a parent deletes only its
    // autoDelete children and orphans the rest; hover and focus are dropped.
    delete y;
    EXPECT_EQ(a.children, (Widgets{x, top}));
    EXPECT_EQ(a.drawOrder, (Widgets{top, x}));
    auto* parent = new Widget("p");
    auto* owned = new Widget("owned");
    owned->autoDelete = true;
    parent->AddChild(&b);
    parent->AddChild(owned);
    const auto ownedLife = owned->GetLifeToken();
    gui->hover = x;
    gui->focus = top;
    delete parent;
    EXPECT_TRUE(ownedLife.expired());
    EXPECT_TRUE(!b.parent && !gui->hover && !gui->focus);
    delete x;
    EXPECT_EQ(inner->parent, nullptr);
    delete inner;
    delete top;
}

TEST_F(WidgetTest, StateGeometryAndInheritance)
{
    Widget parent("p"), child("c"), grand("g");
    parent.AddChild(&child);
    child.AddChild(&grand);
    parent.area = aRect(10, 20, 101, 51);
    child.area = aRect(3, 4, 20, 10);
    parent.SetVisible(false);
    EXPECT_TRUE(!child.IsVisible() && child.IsVisible(true));
    parent.SetVisible(true);
    child.SetEnabled(false);
    EXPECT_TRUE(!grand.IsEnabled() && grand.IsEnabled(true));

    parent.alpha = child.alpha = 0.5f;
    EXPECT_FLOAT_EQ(grand.GetAlpha(), 0.25f);
    child.inheritsAlpha = false;
    EXPECT_FLOAT_EQ(grand.GetAlpha(), 0.5f);
    EXPECT_FLOAT_EQ(grand.GetAlpha(true), 1.0f);
    aFont* f = addFont("f");
    parent.SetFont(f);
    EXPECT_TRUE(grand.GetFont() == f && !grand.GetFont(true));
    parent.fontSize = 2.0f;
    child.fontSize = grand.fontSize = 0.0f;
    EXPECT_FLOAT_EQ(grand.GetFontSize(), 2.0f);
    parent.fontSize = 0.0f;
    EXPECT_FLOAT_EQ(grand.GetFontSize(), 0.0f);

    // Alignment halves odd sizes downwards.
    child.horzAlign = ALIGN_CENTER;
    child.vertAlign = ALIGN_BOTTOM;
    EXPECT_EQ(child.GetAbsoluteX(), 10 + 50 + 3);
    EXPECT_EQ(child.GetAbsoluteY(), 20 + 51 + 4);
    child.horzAlign = ALIGN_RIGHT;
    EXPECT_EQ(grand.GetAbsoluteX(), 10 + 101 + 3);

    // Clamping; Moved and Sized only on a change.
    trace.watch(&child);
    child.minWidth = 10;
    child.maxHeight = 30;
    child.SetAreaRect(aRect(3, 4, 5, 40));
    EXPECT_EQ(child.area, aRect(3, 4, 10, 30));
    child.SetWidth(7);
    child.SetPosition(0, 0);
    EXPECT_EQ(trace.take(), (Names{"c.Sized", "c.Moved"}));

    // A 64 x 32 region on a 128 x 64 widget; a widget of size 0 holds nothing.
    Widget r("r");
    r.region = region("reg", 64, 32, 50, 5);
    r.area = aRect(0, 0, 128, 64);
    EXPECT_TRUE(r.IsPointInside(100, 10) && r.IsPointInside(101, 11));
    EXPECT_FALSE(r.IsPointInside(102, 10) || r.IsPointInside(-100, 10));
    r.area = aRect(0, 0, 0, 0);
    EXPECT_FALSE(r.IsPointInside(0, 0));

    // The shared format buffer cuts long results.
    const std::wstring big(1500, L'x');
    child.SetTextFormat(L"%s-%d-%s", big, 42, big);
    EXPECT_EQ(child.text.size(), Widget::kTextFormatCapacity);
    EXPECT_EQ(child.text.substr(1500, 4), L"-42-");
}

TEST_F(WidgetTest, WidgetAtAndHotkeys)
{
    Widget root("root"), win("win"), over("over"), loose("loose"), stat("static"), modal("modal");
    HalfTransparent half("half");
    const auto add = [](Widget& parent, Widget& w, aRect r) {
        w.area = r;
        parent.AddChild(&w);
    };
    add(root, win, aRect(10, 10, 40, 40));
    add(win, over, aRect(30, 0, 30, 10));  // past win's right edge
    add(win, loose, aRect(30, 20, 30, 10));
    add(root, half, aRect(60, 60, 20, 20));
    add(root, stat, aRect(60, 60, 20, 20));
    root.area = aRect(0, 0, 100, 100);
    loose.clipByParent = false;
    stat.isStatic = true;

    EXPECT_EQ(root.WidgetAt(45, 12, true, true), &over);
    EXPECT_EQ(root.WidgetAt(55, 12, true, true), nullptr);  // clipped away
    EXPECT_EQ(root.WidgetAt(55, 32, true, true), &loose);
    EXPECT_EQ(root.WidgetAt(45, 12, false, true), &win);
    EXPECT_EQ(root.WidgetAt(65, 65, true, false), &stat);
    EXPECT_EQ(root.WidgetAt(65, 65, true, true), nullptr);  // static skipped, transparent
    EXPECT_EQ(root.WidgetAt(75, 65, true, true), &half);
    win.region = region("r", 4, 4, 0, 0);  // the top-left 10 x 10
    EXPECT_EQ(root.WidgetAt(15, 15, false, true), &win);
    EXPECT_EQ(root.WidgetAt(25, 25, false, true), nullptr);
    win.region = nullptr;
    win.SetVisible(false);
    EXPECT_EQ(root.WidgetAt(45, 12, true, true), nullptr);
    win.SetVisible(true);
    add(root, modal, aRect(0, 0, 5, 5));
    modal.modal = true;
    EXPECT_EQ(root.WidgetAt(45, 12, true, true), nullptr);

    std::uint32_t key = 0, mods = 0;
    ASSERT_EQ(std::size(kHotkeyNames), 99u);
    for (const HotkeyName& n : kHotkeyNames) {
        ParseHotkey(std::string("ctrl|") + n.name, key, mods);
        EXPECT_EQ(key, n.key) << n.name;
    }
    EXPECT_EQ(HotkeyNameToKey("NUMENTER"), platform::DIK_NUMPADENTER);
    struct Case {
        const char* text;
        std::uint32_t key, mods;
    };
    for (const Case& c : {Case{"ctrl|shift|s", 0x1F, 3}, Case{"alt|f4", 0x3E, 4}, Case{" Al\tF4", 0x3E, 4},
                          Case{"ctrl|", 0, 2}, Case{"|a", 0x1E, 1}, Case{"ctrl||x", 0x2D, 3},
                          Case{"win|q", 0x10, 0}, Case{"ctrl|nokey", 0, 2}, Case{"", 0, 0}}) {
        ParseHotkey(c.text, key, mods);
        EXPECT_TRUE(key == c.key && mods == c.mods) << c.text;
    }

    // Depth first from the top; hidden, disabled and covered-by-modal
    // widgets are not asked; caps lock does not matter.
    modal.modal = false;
    trace.watch(&over);
    trace.watch(&loose);
    over.hotkeyKey = loose.hotkeyKey = 0x3E;
    over.hotkeyModifiers = loose.hotkeyModifiers = 4;
    EXPECT_TRUE(root.HandleHotkey(0x3E, 4 | 8));
    EXPECT_FALSE(root.HandleHotkey(0x3E, 5));
    loose.SetEnabled(false);
    EXPECT_TRUE(root.HandleHotkey(0x3E, 4));
    EXPECT_EQ(trace.take(), (Names{"loose.Click", "loose.Disabled", "over.Click"}));
    win.SetVisible(false);
    EXPECT_FALSE(root.HandleHotkey(0x3E, 4));
    win.SetVisible(true);
    modal.modal = true;
    EXPECT_FALSE(root.HandleHotkey(0x3E, 4));
}

TEST_F(WidgetTest, MouseLogicFocusAndFade)
{
    Focusable w("w");
    w.area = aRect(0, 0, 20, 20);
    gui->GetRoot()->AddChild(&w);
    trace.watch(&w);
    // Presses at x (released there); what they raised, focus events apart.
    const auto presses = [&](std::initializer_list<int> xs) {
        Names out;
        for (int x : xs) {
            w.OnMouseDown(at(&w, x));
            w.OnMouseUp(at(&w, x));
        }
        for (const std::string& e : trace.take())
            if (e.find("Focus") == std::string::npos)
                out.push_back(e.substr(2));
        return out;
    };
    EXPECT_EQ(presses({5, 5}), (Names{"MouseDown", "MouseUp", "Click", "MouseDown", "MouseUp", "Click"}));
    EXPECT_EQ(gui->focus, &w);

    // With multiClick: double, triple, a new series; a move or a pause ends
    // a series; Click only on the first release inside.
    w.multiClick = true;
    w.clickTimer = 1.0f;
    EXPECT_EQ(presses({5, 5, 5, 5}),
              (Names{"MouseDown", "MouseUp", "Click", "MouseDown", "DoubleClick", "MouseUp", "MouseDown",
                     "TripleClick", "MouseUp", "MouseDown", "MouseUp", "Click"}));
    w.OnMouseMove(at(&w, 5));
    EXPECT_EQ(presses({5}), (Names{"MouseMove", "MouseDown", "MouseUp", "Click"}));
    w.UpdateSelf(0.6f);
    EXPECT_EQ(presses({25}), (Names{"MouseDown", "MouseUp"}));  // released outside
    w.OnMouseDown(at(&w, 5, 1));
    w.OnMouseUp(at(&w, 5, 1));
    EXPECT_EQ(presses({}), (Names{"MouseDown", "MouseUp"}));

    // A widget that cannot focus leaves the focus; hiding the focus widget's
    // parent takes the focus away.
    Widget plain("plain");
    plain.OnMouseDown(at(&plain, 0));
    EXPECT_EQ(gui->focus, &w);
    Widget box("box");
    box.AddChild(&w);
    box.SetVisible(false);
    EXPECT_TRUE(!gui->focus && !w.focused);

    w.fadeInTime = 0.2f;
    w.OnMouseEnter(WidgetEventArgs(&w));
    w.UpdateSelf(0.1f);
    EXPECT_FLOAT_EQ(w.hoverFade, 0.5f);
    w.UpdateSelf(0.3f);
    EXPECT_FLOAT_EQ(w.hoverFade, 1.0f);
    w.OnMouseLeave(WidgetEventArgs(&w));
    w.UpdateSelf(0.01f);
    EXPECT_FLOAT_EQ(w.hoverFade, 0.0f);
}

TEST_F(WidgetTest, FillingEveryBaseProperty)
{
    aLocaleServer locale;
    test_env::writeFile(test_env::home() + "/strings.txt", "greeting = \"Hello\"\n");
    locale.loadFile(test_env::home() + "/strings.txt");
    aFont* f = addFont("main");
    Region* shape = region("shape", 8, 8, 1, 1);
    Widget w("w"), sib("sib");
    gui->GetRoot()->AddChild(&w);
    gui->GetRoot()->AddChild(&sib);
    const auto fill = [&w](std::initializer_list<std::pair<const char*, const char*>> lines) {
        w.BeginFillProperties();
        for (const auto& l : lines)
            w.Set(l.first, l.second);
        w.EndFillProperties();
    };
    fill({{"AreaRect", "1 2 30 40"}, {"Region", "shape"}, {"Visible", "0"}, {"Enabled", "0"}, {"Static", "1"},
          {"MouseAutoRepeat", "1"}, {"AutoRepeatRate", "0.1"}, {"AutoRepeatDelay", "0.5"}, {"FadeInTime", "0.25"},
          {"FadeOutTime", "0.75"}, {"SoundMove", "tick"}, {"SoundClick", "tock"}, {"Parent", "sib"},
          {"Font", "MAIN"}, {"FontSize", "1.5"}, {"Text", "greeting"}, {"Alpha", "0.5"}, {"InheritsAlpha", "0"},
          {"AlwaysOnTop", "1"}, {"RiseOnClick", "1"}, {"NotifyRender", "1"}, {"MultiClick", "1"},
          {"MultiClickTime", "0.3"}, {"HorizontalAlign", "Center"}, {"VerticalAlign", "bottom"}, {"Modal", "1"},
          {"Cursor", "hand"}, {"ClipByParent", "0"}, {"Tag", "0x10"}, {"Hotkey", "alt|x"}});
    EXPECT_EQ(w.area, aRect(1, 2, 30, 40));
    EXPECT_TRUE(w.region == shape && w.font == f && !w.soundMove && !w.soundClick && w.parent == gui->GetRoot());
    EXPECT_TRUE(!w.visible && !w.enabled && !w.inheritsAlpha && !w.clipByParent);
    EXPECT_TRUE(w.isStatic && w.mouseAutoRepeat && w.alwaysOnTop && w.riseOnClick && w.notifyRender &&
                w.multiClick && w.modal);
    EXPECT_EQ((std::vector<float>{w.autoRepeatRate, w.autoRepeatDelay, w.fadeInTime, w.fadeOutTime, w.fontSize,
                                  w.alpha, w.multiClickTime}),
              (std::vector<float>{0.1f, 0.5f, 0.25f, 0.75f, 1.5f, 0.5f, 0.3f}));
    EXPECT_EQ(w.text, L"Hello");
    EXPECT_EQ(gui->GetRoot()->drawOrder.back(), &w);  // always on top now
    EXPECT_TRUE(w.horzAlign == ALIGN_CENTER && w.vertAlign == ALIGN_BOTTOM);
    EXPECT_EQ(w.cursorName, "hand");
    EXPECT_EQ(w.tag, 16);
    EXPECT_TRUE(w.hotkeyKey == 0x2D && w.hotkeyModifiers == 4);
    EXPECT_NE(newLog().find("Server::NewSound - sound 'tock' not found!"), std::string::npos);

    // Untranslated text is UTF-8; bad names and hotkeys are logged; what a
    // section does not name keeps its value.
    fill({{"Text", "\xD0\x9F\xD1\x80\xD0\xB8"}, {"Font", "nofont"}, {"Region", "noregion"}, {"Hotkey", "ctrl|"},
          {"HorizontalAlign", "middle"}});
    EXPECT_EQ(w.text, L"\x041F\x0440\x0438");
    EXPECT_TRUE(!w.font && !w.region && !w.hotkeyKey && w.horzAlign == ALIGN_LEFT && w.tag == 16);
    const std::string bad = newLog();
    EXPECT_NE(bad.find("Server::GetFont - font 'nofont' not found!"), std::string::npos);
    EXPECT_NE(bad.find("Server::GetRegion - region 'noregion' not found!"), std::string::npos);
    EXPECT_NE(bad.find("Widget 'w': hotkey \"ctrl|\" names no key"), std::string::npos);
}

TEST_F(WidgetTest, RenderWalkViewportsAndRenderEvents)
{
    FillWidget parent("p", 0xFFFF0000, aRect(10, 10, 20, 20)), c1("c1", 0xFF00FF00, aRect(0, 0, 5, 5)),
        c2("c2", 0xFF00FF00, aRect(5, 0, 5, 5)), c3("c3", 0xFF0000FF, aRect(15, 15, 30, 30)),
        c4("c4", 0xFF00FF00, aRect(2, 2, 5, 5));
    for (Widget* c : {&c1, &c2, &c3, &c4})
        parent.AddChild(c);
    c3.clipByParent = false;
    trace.watch(&parent);
    rec->clear();
    parent.Render();
    EXPECT_EQ(viewports(), (Names{"10,10,20,20", "0,0,64,48", "10,10,20,20", "0,0,64,48"}));
    EXPECT_EQ(rec->count("DrawPrimitiveUP"), 5u);
    parent.notifyRender = true;
    parent.Render();
    EXPECT_EQ(trace.take(), (Names{"p.BeginRender", "p.EndRender"}));

    // Off screen: an empty intersection clips everything and logs nothing.
    parent.area = aRect(100, 100, 10, 10);
    c3.clipByParent = true;
    rec->clear();
    parent.Render();
    EXPECT_EQ(viewports().front(), "64,48,1,1");
    EXPECT_EQ(graph->m_viewport, aRect(0, 0, 64, 48));
    parent.SetVisible(false);
    rec->clear();
    parent.Render();
    EXPECT_EQ(rec->count("DrawPrimitiveUP"), 0u);
    EXPECT_EQ(newLog().find("aGraphServer"), std::string::npos);
}

namespace {

// Counts its updates and renders; can take a widget down from inside its
// own update or its render notification, as game handlers do.
struct Doomer : FillWidget {
    Doomer(const std::string& n, aRect r) : FillWidget(n, 0xFF00FF00, r) {}
    void UpdateSelf(float dt) override
    {
        ++updates;
        Widget* victim = victimOnUpdate;
        victimOnUpdate = nullptr;
        FillWidget::UpdateSelf(dt);
        delete victim;  // may be this widget or one above it
    }
    void DrawSelf() override
    {
        ++renders;
        FillWidget::DrawSelf();
    }
    Widget* victimOnUpdate = nullptr;
    int updates = 0;
    int renders = 0;
};

struct DeleteOnRender : Subscriber {
    explicit DeleteOnRender(Widget* w) : victim(w) {}
    bool operator()(const EventArgs&) override
    {
        Widget* v = victim;
        victim = nullptr;
        delete v;
        return false;
    }
    Widget* victim;
};

} // namespace

TEST_F(WidgetTest, AWalkStopsAtWhatItsOwnUpdatesAndRendersDestroyed)
{
    // root: panel (on the heap) holding the doomer and a sibling after it;
    // then a widget that must still be walked. The doomer takes itself
    // down mid-walk, then the sibling its panel; the walks after go on.
    Doomer root("root", aRect(0, 0, 64, 48)), last("last", aRect(0, 0, 4, 4));
    auto* panel = new Doomer("panel", aRect(0, 0, 32, 32));
    auto* doomer = new Doomer("doomer", aRect(0, 0, 8, 8));
    auto* sibling = new Doomer("sibling", aRect(8, 0, 8, 8));
    doomer->autoDelete = sibling->autoDelete = true;
    panel->AddChild(doomer);
    panel->AddChild(sibling);
    root.AddChild(panel);
    root.AddChild(&last);
    doomer->victimOnUpdate = doomer;
    root.Update(0.01f);
    EXPECT_EQ(panel->children, (Widgets{sibling}));
    const int siblingAfter = sibling->updates, lastAfter = last.updates;
    root.Update(0.01f);
    EXPECT_EQ(sibling->updates, siblingAfter + 1);
    EXPECT_EQ(last.updates, lastAfter + 1);

    // Its panel, with everything in it.
    sibling->victimOnUpdate = panel;
    root.Update(0.01f);
    EXPECT_EQ(root.children, (Widgets{&last}));
    const int lastBefore = last.updates;
    root.Update(0.01f);
    EXPECT_EQ(last.updates, lastBefore + 1);

    // A render notification that destroys its widget (and its child) ends
    // that widget's walk, and the walks after it draw what is left.
    auto* shown = new Doomer("shown", aRect(0, 0, 8, 8));
    auto* inner = new Doomer("inner", aRect(0, 0, 4, 4));
    inner->autoDelete = true;
    shown->AddChild(inner);
    root.AddChild(shown);
    last.BringToFront();
    ASSERT_EQ(root.drawOrder, (Widgets{shown, &last}));
    shown->notifyRender = true;
    DeleteOnRender killer(shown);
    shown->SubscribeEvent(EventBeginRender, &killer);
    root.Render();
    EXPECT_EQ(root.children, (Widgets{&last}));
    const int rendersBefore = last.renders;
    root.Render();
    EXPECT_EQ(last.renders, rendersBefore + 1);
}
