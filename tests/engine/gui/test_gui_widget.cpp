// The widget base: tree, state, geometry, hit tests, hotkeys, mouse logic,
// property filling and the render walk (recording device).
#include <gtest/gtest.h>

#include "engine/gui/gui_region.h"
#include "engine/util/a_locale_server.h"
#include "gui_test_bench.h"
#include "platform/input/dinput_keys.h"
#include "support/bitmap1_writer.h"

using namespace GUI;
using guitest::FillWidget;

namespace {

class WidgetTest : public guitest::RecordingBench {
protected:
    // Records every widget event of w as "<name>.<event>".
    void watch(Widget* w)
    {
        for (const char* e : kWidgetEventNames) {
            const std::string tagText = w->name + "." + e;
            auto h = std::make_unique<Recorder>(this, tagText);
            w->SubscribeEvent(e, h.get());
            handlers.push_back(std::move(h));
        }
    }
    struct Recorder : Subscriber {
        Recorder(WidgetTest* t, std::string s) : test(t), text(std::move(s)) {}
        bool operator()(const EventArgs&) override
        {
            test->events.push_back(text);
            return false;
        }
        WidgetTest* test;
        std::string text;
    };
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(events);
        return out;
    }
    static MouseEventArgs mouseAt(Widget* w, int x, int y, std::uint32_t button = 0)
    {
        MouseEventArgs a(w);
        a.x = x;
        a.y = y;
        a.button = button;
        return a;
    }

    std::vector<std::unique_ptr<Recorder>> handlers;
    std::vector<std::string> events;
};

class Focusable : public Widget {
public:
    using Widget::Widget;
    bool CanFocus() const override { return true; }
};

// Transparent on its left half.
class HalfTransparent : public Widget {
public:
    using Widget::Widget;
    bool IsTransparentAt(std::int32_t x, std::int32_t) const override { return x < area.width / 2; }
};

Region* regionWithPixel(Server& gui, const std::string& name, int w, int h, int px, int py)
{
    std::vector<std::uint8_t> bits(std::size_t(w * h), 0);
    bits[std::size_t(py * w + px)] = 1;
    const std::string file = bitmap1_writer::build(w, h, bits);
    auto r = std::make_unique<Region>();
    EXPECT_TRUE(r->LoadFromMemory(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), name));
    Region* out = r.get();
    gui.regions[name] = std::move(r);
    return out;
}

} // namespace

TEST_F(WidgetTest, TreeOrderOwnershipAndForgetting)
{
    Widget a("a"), b("b");
    auto* x = new Widget("x");
    auto* top = new Widget("top");
    auto* y = new Widget("y");
    top->alwaysOnTop = true;
    a.AddChild(x);
    a.AddChild(top);
    a.AddChild(y);
    EXPECT_EQ(a.drawOrder, (std::vector<Widget*>{x, y, top}));
    x->BringToFront();
    EXPECT_EQ(a.drawOrder, (std::vector<Widget*>{y, x, top}));

    // Moving a child between parents; a cycle is refused.
    b.AddChild(y);
    EXPECT_EQ(a.children, (std::vector<Widget*>{x, top}));
    EXPECT_EQ(y->parent, &b);
    y->SetParent(nullptr);
    EXPECT_TRUE(b.children.empty() && b.drawOrder.empty());
    x->AddChild(&a);
    EXPECT_EQ(a.parent, nullptr);
    EXPECT_NE(newLog().find("Widget::AddChild - 'a' cannot become a child"), std::string::npos);

    // RiseChain raises only the widgets that ask for it.
    auto* inner = new Widget("N");
    x->AddChild(inner);
    x->riseOnClick = true;
    a.AddChild(y);
    inner->RiseChain();
    EXPECT_EQ(a.drawOrder, (std::vector<Widget*>{y, x, top}));  // still below the always-on-top one
    top->alwaysOnTop = false;
    top->BringToFront();
    inner->RiseChain();
    EXPECT_EQ(a.drawOrder, (std::vector<Widget*>{y, top, x}));

    // FindChild: children in order, each subtree before the next child.
    y->name = "n";
    EXPECT_EQ(a.FindChild("N"), y);
    EXPECT_EQ(a.FindChild("n", true), inner);
    EXPECT_EQ(a.FindChild("none", true), nullptr);

    // Deleting: an owner's delete leaves the parent; the parent deletes only
    // its autoDelete children and orphans the rest.
    delete y;
    EXPECT_EQ(a.children, (std::vector<Widget*>{x, top}));
    EXPECT_EQ(a.drawOrder, (std::vector<Widget*>{top, x}));
    auto* parent = new Widget("p");
    parent->AddChild(&b);
    auto* owned = new Widget("owned");
    owned->autoDelete = true;
    parent->AddChild(owned);
    const auto ownedLife = owned->GetLifeToken();
    gui->hover = x;
    gui->focus = top;
    delete parent;
    EXPECT_TRUE(ownedLife.expired());
    EXPECT_EQ(b.parent, nullptr);
    EXPECT_EQ(gui->hover, nullptr);
    EXPECT_EQ(gui->focus, nullptr);
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
    EXPECT_FALSE(child.IsVisible());
    EXPECT_TRUE(child.IsVisible(true));
    parent.SetVisible(true);
    child.SetEnabled(false);
    EXPECT_FALSE(grand.IsEnabled());
    EXPECT_TRUE(grand.IsEnabled(true));

    // Alpha, font and size inherit.
    parent.alpha = 0.5f;
    child.alpha = 0.5f;
    EXPECT_FLOAT_EQ(grand.GetAlpha(), 0.25f);
    child.inheritsAlpha = false;
    EXPECT_FLOAT_EQ(grand.GetAlpha(), 0.5f);
    EXPECT_FLOAT_EQ(grand.GetAlpha(true), 1.0f);
    aFont* f = addFont("f");
    parent.SetFont(f);
    EXPECT_EQ(grand.GetFont(), f);
    EXPECT_EQ(grand.GetFont(true), nullptr);
    parent.fontSize = 2.0f;
    child.fontSize = 0.0f;
    grand.fontSize = 0.0f;
    EXPECT_FLOAT_EQ(grand.GetFontSize(), 2.0f);
    parent.fontSize = 0.0f;
    EXPECT_FLOAT_EQ(grand.GetFontSize(), 0.0f);

    // Alignment halves odd sizes downwards.
    child.horzAlign = ALIGN_CENTER;
    child.vertAlign = ALIGN_BOTTOM;
    EXPECT_EQ(child.GetAbsoluteX(), 10 + 50 + 3);
    EXPECT_EQ(child.GetAbsoluteY(), 20 + 51 + 4);
    child.horzAlign = ALIGN_RIGHT;
    EXPECT_EQ(grand.GetAbsoluteX(), 10 + 101 + 3 + 0);

    // Clamping, with Moved and Sized only on a change.
    watch(&child);
    child.minWidth = 10;
    child.maxHeight = 30;
    child.SetAreaRect(aRect(3, 4, 5, 40));
    EXPECT_EQ(child.area, aRect(3, 4, 10, 30));
    EXPECT_EQ(take(), (std::vector<std::string>{"c.Sized"}));
    child.SetWidth(7);
    EXPECT_TRUE(take().empty());
    child.SetPosition(0, 0);
    EXPECT_EQ(take(), (std::vector<std::string>{"c.Moved"}));

    // A 64 x 32 region on a 128 x 64 widget; a widget of size 0 holds nothing.
    Widget r("r");
    r.region = regionWithPixel(*gui, "reg", 64, 32, 50, 5);
    r.area = aRect(0, 0, 128, 64);
    EXPECT_TRUE(r.IsPointInside(100, 10));
    EXPECT_TRUE(r.IsPointInside(101, 11));
    EXPECT_FALSE(r.IsPointInside(102, 10));
    EXPECT_FALSE(r.IsPointInside(-100, 10));
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
    Widget root("root");
    root.area = aRect(0, 0, 100, 100);
    auto add = [&root](Widget* parent, Widget* w, aRect r) {
        w->area = r;
        (parent ? parent : &root)->AddChild(w);
        return w;
    };
    Widget win("win"), overhang("over"), loose("loose"), stat("static");
    HalfTransparent half("half");
    add(nullptr, &win, aRect(10, 10, 40, 40));
    add(&win, &overhang, aRect(30, 0, 30, 10));  // reaches past win's right edge
    add(&win, &loose, aRect(30, 20, 30, 10));
    loose.clipByParent = false;
    add(nullptr, &half, aRect(60, 60, 20, 20));
    add(nullptr, &stat, aRect(60, 60, 20, 20));
    stat.isStatic = true;

    EXPECT_EQ(root.WidgetAt(45, 12, true, true), &overhang);
    EXPECT_EQ(root.WidgetAt(55, 12, true, true), nullptr);   // clipped away
    EXPECT_EQ(root.WidgetAt(55, 32, true, true), &loose);    // not clipped
    EXPECT_EQ(root.WidgetAt(45, 12, false, true), &win);
    EXPECT_EQ(root.WidgetAt(65, 65, true, false), &stat);
    EXPECT_EQ(root.WidgetAt(65, 65, true, true), nullptr);   // static skipped, half transparent there
    EXPECT_EQ(root.WidgetAt(75, 65, true, true), &half);
    win.region = regionWithPixel(*gui, "r", 4, 4, 0, 0);    // only the top-left 10 x 10
    EXPECT_EQ(root.WidgetAt(15, 15, false, true), &win);
    EXPECT_EQ(root.WidgetAt(25, 25, false, true), nullptr);
    win.region = nullptr;
    win.SetVisible(false);
    EXPECT_EQ(root.WidgetAt(45, 12, true, true), nullptr);
    win.SetVisible(true);
    Widget modal("modal");
    add(nullptr, &modal, aRect(0, 0, 5, 5));
    modal.modal = true;
    EXPECT_EQ(root.WidgetAt(45, 12, true, true), nullptr);

    // Hotkey texts.
    std::uint32_t key = 0, mods = 0;
    ASSERT_EQ(std::size(kHotkeyNames), 99u);
    for (const HotkeyName& n : kHotkeyNames) {
        ParseHotkey(std::string("ctrl|") + n.name, key, mods);
        EXPECT_EQ(key, n.key) << n.name;
    }
    EXPECT_EQ(HotkeyNameToKey("NUMENTER"), platform::DIK_NUMPADENTER);
    EXPECT_EQ(HotkeyNameToKey("num/"), platform::DIK_DIVIDE);
    EXPECT_EQ(HotkeyNameToKey("pagedown"), platform::DIK_NEXT);
    struct Case {
        const char* text;
        std::uint32_t key, mods;
    };
    for (const Case& c : {Case{"ctrl|shift|s", 0x1F, 3}, Case{"alt|f4", 0x3E, 4}, Case{" Al\tF4", 0x3E, 4},
                          Case{"ctrl|", 0, 2}, Case{"|a", 0x1E, 1}, Case{"ctrl||x", 0x2D, 3},
                          Case{"win|q", 0x10, 0}, Case{"ctrl|nokey", 0, 2}, Case{"", 0, 0}}) {
        ParseHotkey(c.text, key, mods);
        EXPECT_EQ(key, c.key) << c.text;
        EXPECT_EQ(mods, c.mods) << c.text;
    }

    // Depth first from the top; a hidden window, a disabled widget and
    // anything below a modal one are not asked.
    modal.modal = false;
    watch(&overhang);
    watch(&loose);
    overhang.hotkeyKey = loose.hotkeyKey = 0x3E;
    overhang.hotkeyModifiers = loose.hotkeyModifiers = 4;
    EXPECT_TRUE(root.HandleHotkey(0x3E, 4 | 8));
    EXPECT_EQ(take(), (std::vector<std::string>{"loose.Click"}));
    EXPECT_FALSE(root.HandleHotkey(0x3E, 5));
    loose.SetEnabled(false);
    take();
    EXPECT_TRUE(root.HandleHotkey(0x3E, 4));
    EXPECT_EQ(take(), (std::vector<std::string>{"over.Click"}));
    win.SetVisible(false);
    take();
    EXPECT_FALSE(root.HandleHotkey(0x3E, 4));
    win.SetVisible(true);
    take();
    modal.modal = true;
    EXPECT_FALSE(root.HandleHotkey(0x3E, 4));
    EXPECT_TRUE(take().empty());
}

TEST_F(WidgetTest, MouseLogicFocusAndFade)
{
    Focusable w("w");
    w.area = aRect(0, 0, 20, 20);
    gui->GetRoot()->AddChild(&w);
    watch(&w);
    const auto press = [&](int x = 5) {
        w.OnMouseDown(mouseAt(&w, x, 5));
        w.OnMouseUp(mouseAt(&w, x, 5));
    };
    press();
    press();
    EXPECT_EQ(take(), (std::vector<std::string>{"w.MouseDown", "w.FocusGain", "w.MouseUp",
                                                "w.Click", "w.MouseDown", "w.FocusLost", "w.FocusGain",
                                                "w.MouseUp", "w.Click"}));
    EXPECT_EQ(gui->focus, &w);

    // With multiClick: a double, then a triple, then a new series; a move
    // or a pause ends a series; Click only on the first release inside.
    w.multiClick = true;
    w.clickTimer = 1.0f;
    const auto series = [&](std::initializer_list<int> xs) {
        std::vector<std::string> out;
        for (int x : xs) {
            press(x);
            for (const std::string& e : take())
                if (e == "w.Click" || e == "w.DoubleClick" || e == "w.TripleClick")
                    out.push_back(e);
        }
        return out;
    };
    EXPECT_EQ(series({5, 5, 5, 5}),
              (std::vector<std::string>{"w.Click", "w.DoubleClick", "w.TripleClick", "w.Click"}));
    w.OnMouseMove(mouseAt(&w, 5, 5));
    EXPECT_EQ(series({5}), (std::vector<std::string>{"w.Click"}));
    w.UpdateSelf(0.6f);
    EXPECT_EQ(series({5}), (std::vector<std::string>{"w.Click"}));
    w.UpdateSelf(0.6f);
    EXPECT_EQ(series({25}), (std::vector<std::string>{}));  // released outside
    w.OnMouseDown(mouseAt(&w, 5, 5, 1));
    w.OnMouseUp(mouseAt(&w, 5, 5, 1));
    EXPECT_EQ(take(), (std::vector<std::string>{"w.MouseDown", "w.FocusLost", "w.FocusGain", "w.MouseUp"}));

    // A widget that cannot focus leaves the focus where it is; hiding the
    // focus widget's parent takes the focus away.
    Widget plain("plain");
    plain.OnMouseDown(mouseAt(&plain, 0, 0));
    EXPECT_EQ(gui->focus, &w);
    gui->GetRoot()->RemoveChild(&w);
    Widget box("box");
    box.AddChild(&w);
    box.SetVisible(false);
    EXPECT_EQ(gui->focus, nullptr);
    EXPECT_FALSE(w.focused);

    // Hover fade.
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
    regionWithPixel(*gui, "shape", 8, 8, 1, 1);
    Widget sib("sib"), w("w");
    gui->GetRoot()->AddChild(&w);
    gui->GetRoot()->AddChild(&sib);
    const char* lines[][2] = {
        {"AreaRect", "1 2 30 40"},   {"Region", "shape"},          {"Visible", "0"},
        {"Enabled", "0"},            {"Static", "1"},              {"MouseAutoRepeat", "1"},
        {"AutoRepeatRate", "0.1"},   {"AutoRepeatDelay", "0.5"},   {"FadeInTime", "0.25"},
        {"FadeOutTime", "0.75"},     {"SoundMove", "tick"},        {"SoundClick", "tock"},
        {"Parent", "sib"},           {"Font", "MAIN"},             {"FontSize", "1.5"},
        {"Text", "greeting"},        {"Alpha", "0.5"},             {"InheritsAlpha", "0"},
        {"AlwaysOnTop", "1"},        {"RiseOnClick", "1"},         {"NotifyRender", "1"},
        {"MultiClick", "1"},         {"MultiClickTime", "0.3"},    {"HorizontalAlign", "Center"},
        {"VerticalAlign", "bottom"}, {"Modal", "1"},               {"Cursor", "hand"},
        {"ClipByParent", "0"},       {"Tag", "0x10"},              {"Hotkey", "alt|x"},
    };
    w.BeginFillProperties();
    for (const auto& l : lines)
        w.Set(l[0], l[1]);
    w.EndFillProperties();
    EXPECT_EQ(w.area, aRect(1, 2, 30, 40));
    EXPECT_EQ(w.region, gui->regions["shape"].get());
    EXPECT_FALSE(w.visible || w.enabled);
    EXPECT_TRUE(w.isStatic && w.mouseAutoRepeat && w.alwaysOnTop && w.riseOnClick && w.notifyRender &&
                w.multiClick && w.modal);
    EXPECT_FLOAT_EQ(w.autoRepeatRate, 0.1f);
    EXPECT_FLOAT_EQ(w.autoRepeatDelay, 0.5f);
    EXPECT_FLOAT_EQ(w.fadeInTime, 0.25f);
    EXPECT_FLOAT_EQ(w.fadeOutTime, 0.75f);
    EXPECT_EQ(w.soundMove, nullptr);
    EXPECT_EQ(w.parent, gui->GetRoot());
    EXPECT_EQ(w.font, f);
    EXPECT_FLOAT_EQ(w.fontSize, 1.5f);
    EXPECT_EQ(w.text, L"Hello");
    EXPECT_FLOAT_EQ(w.alpha, 0.5f);
    EXPECT_FALSE(w.inheritsAlpha);
    EXPECT_EQ(gui->GetRoot()->drawOrder.back(), &w);  // always on top now
    EXPECT_FLOAT_EQ(w.multiClickTime, 0.3f);
    EXPECT_EQ(w.horzAlign, ALIGN_CENTER);
    EXPECT_EQ(w.vertAlign, ALIGN_BOTTOM);
    EXPECT_EQ(w.cursorName, "hand");
    EXPECT_FALSE(w.clipByParent);
    EXPECT_EQ(w.tag, 16);
    EXPECT_EQ(w.hotkeyKey, 0x2Du);
    EXPECT_EQ(w.hotkeyModifiers, 4u);
    const std::string log = newLog();
    EXPECT_NE(log.find("Server::NewSound - sound 'tick' not found!"), std::string::npos);
    EXPECT_NE(log.find("Server::NewSound - sound 'tock' not found!"), std::string::npos);

    // Untranslated text is UTF-8; bad names and hotkeys are logged.
    w.BeginFillProperties();
    w.Set("Text", "\xD0\x9F\xD1\x80\xD0\xB8");
    w.Set("Font", "nofont");
    w.Set("Region", "noregion");
    w.Set("Hotkey", "ctrl|");
    w.Set("HorizontalAlign", "middle");
    w.EndFillProperties();
    EXPECT_EQ(w.text, L"\x041F\x0440\x0438");
    EXPECT_EQ(w.font, nullptr);
    EXPECT_EQ(w.region, nullptr);
    EXPECT_EQ(w.hotkeyKey, 0u);
    EXPECT_EQ(w.horzAlign, ALIGN_LEFT);
    EXPECT_EQ(w.tag, 16);  // not named again: kept
    const std::string bad = newLog();
    EXPECT_NE(bad.find("Server::GetFont - font 'nofont' not found!"), std::string::npos);
    EXPECT_NE(bad.find("Server::GetRegion - region 'noregion' not found!"), std::string::npos);
    EXPECT_NE(bad.find("Widget 'w': hotkey \"ctrl|\" names no key"), std::string::npos);
}

TEST_F(WidgetTest, RenderWalkViewportsAndRenderEvents)
{
    FillWidget parent("p", 0xFFFF0000, aRect(10, 10, 20, 20));
    FillWidget c1("c1", 0xFF00FF00, aRect(0, 0, 5, 5)), c2("c2", 0xFF00FF00, aRect(5, 0, 5, 5));
    FillWidget c3("c3", 0xFF0000FF, aRect(15, 15, 30, 30)), c4("c4", 0xFF00FF00, aRect(2, 2, 5, 5));
    for (Widget* c : {&c1, &c2, &c3, &c4})
        parent.AddChild(c);
    c3.clipByParent = false;
    watch(&parent);
    rec->clear();
    parent.Render();
    EXPECT_EQ(viewports(), (std::vector<std::string>{"10,10,20,20", "0,0,64,48", "10,10,20,20", "0,0,64,48"}));
    EXPECT_EQ(rec->count("DrawPrimitiveUP"), 5u);
    EXPECT_TRUE(take().empty());
    parent.notifyRender = true;
    parent.Render();
    EXPECT_EQ(take(), (std::vector<std::string>{"p.BeginRender", "p.EndRender"}));

    // Off screen: the intersection is empty, everything clipped, nothing logged.
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
