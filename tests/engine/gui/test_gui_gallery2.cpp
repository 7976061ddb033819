// The demo's second gallery on the offscreen GL device, driven by injected
// keys and clicks: what the widgets do and what the back buffer shows.
#include <algorithm>
#include <cmath>

#include "engine/gfx/a_font.h"
#include "engine/gui/gui_listbox.h"
#include "engine/gui/gui_memo.h"
#include "engine/gui/gui_spinner.h"
#include "engine/gui/gui_static_anim.h"
#include "gallery_bench.h"
#include "widgets2_fixture.h"

using namespace GUI;
using namespace platform;

namespace {

class Gallery2Test : public guitest::KeyTyping<guitest::GalleryBench> {
protected:
    void SetUp() override
    {
        KeyTyping::SetUp();
        setClipboard(&clip);
        fruits = widget<Listbox>("Fruits");
        ASSERT_NE(fruits, nullptr);
        for (const wchar_t* f : {L"Pear", L"Fig", L"Apple", L"Kiwi", L"Date", L"Cherry", L"Lime", L"Plum", L"Grape"})
            fruits->AddTextItem(f);
    }
    void TearDown() override
    {
        setClipboard(nullptr);
        KeyTyping::TearDown();
    }
    // A left click at (dx, dy) in the widget with the modifier keys held,
    // the button down for the frames.
    void click(Widget* w, int dx, int dy, std::uint32_t mods = 0, int frames = 1)
    {
        if (mods & MOD_SHIFT)
            hold(DIK_LSHIFT);
        if (mods & MOD_CTRL)
            hold(DIK_LCONTROL);
        press(w->GetAbsoluteX() + dx, w->GetAbsoluteY() + dy);
        step(frames - 1);
        release();
        m_held.clear();
    }
    // Blue well above red: the selection colour over the dark fields.
    bool selectedAt(int x, int y)
    {
        const std::uint32_t p = pixelAt(x, y);
        return int(p & 0xFF) - int((p >> 16) & 0xFF) > 0x60;
    }
    std::vector<std::uint32_t> area(const Widget* w)
    {
        std::vector<std::uint32_t> out;
        const auto px = backBuffer();
        const aRect r = w->GetAbsoluteRect();
        for (int y = r.y; y < r.bottom(); ++y)
            for (int x = r.x; x < r.right(); ++x)
                out.push_back(px[std::size_t(y) * 1024 + std::size_t(x)]);
        return out;
    }

    MemoryClipboard clip;
    Listbox* fruits = nullptr;
};

} // namespace

TEST_F(Gallery2Test, ShapesAndAnimationFrames)
{
    draw();
    // The ellipse's fill at its centre and its 3-pixel border at the left.
    const Widget* oval = widget<Widget>("Oval");
    const int cx = oval->GetAbsoluteX() + 32, cy = oval->GetAbsoluteY() + 24;
    EXPECT_EQ(pixelAt(cx, cy), 0xD8A850u);
    EXPECT_EQ(pixelAt(cx - 31, cy), 0x6A4A20u);
    // The outline shows the panel through its middle.
    const Widget* outline = widget<Widget>("Outline");
    EXPECT_EQ(pixelAt(outline->GetAbsoluteX() + 1, outline->GetAbsoluteY() + 20), 0xB8C8E8u);
    EXPECT_NE(pixelAt(outline->GetAbsoluteX() + 32, outline->GetAbsoluteY() + 24), 0xB8C8E8u);

    // Eight frames a second: the loop shows another frame an eighth later;
    // the disabled ring is grey.
    StaticAnim* ring = widget<StaticAnim>("RingLoop");
    const auto before = area(ring);
    const int frame = ring->normalAnim.getFrame();
    step(8);
    draw();
    EXPECT_EQ(ring->normalAnim.getFrame(), (frame + 1) % 8);
    EXPECT_NE(area(ring), before);
    const auto off = area(widget<Widget>("RingOff"));
    EXPECT_NE(std::find(off.begin(), off.end(), 0xC0C0C0u), off.end());
    EXPECT_EQ(std::find(off.begin(), off.end(), 0xFFD040u), off.end());
}

TEST_F(Gallery2Test, TypingPastingAndTheSelectionFill)
{
    // Focus selects the whole text, drawn over in the selection colour:
    // seen on the line's top row, above the glyphs.
    Editbox* name = widget<Editbox>("Name");
    const int sx = name->GetAbsoluteX() + 10;
    const int sy = name->GetAbsoluteY() + int(std::ceil((28 - name->GetFont()->getFontHeight()) / 2));
    draw();
    EXPECT_FALSE(selectedAt(sx, sy));
    click(name, 100, 10);
    draw();
    EXPECT_TRUE(selectedAt(sx, sy));
    type("x");
    clip.text = "bond, 007";
    key(DIK_V, MOD_CTRL);
    EXPECT_EQ(name->GetText(), L"XBOND, 007");
    draw();
    EXPECT_FALSE(selectedAt(sx, sy));

    // Enter in the memo, then Ctrl+Z; the bar follows the caret to the end.
    Memo* notes = widget<Memo>("Notes");
    click(notes, 20, 20);
    key(DIK_END, MOD_CTRL);
    Scrollbar* bar = notes->vScroll;
    ASSERT_NE(bar, nullptr);
    EXPECT_GT(bar->position, 0.0f);
    EXPECT_EQ(bar->position, bar->GetRange());
    const std::wstring text = notes->GetText();
    key(DIK_RETURN);
    type("ok");
    EXPECT_EQ(notes->GetText(), text + L"\nok");
    for (int i = 0; i < 3; ++i)
        key(DIK_Z, MOD_CTRL);
    EXPECT_EQ(notes->GetText(), text);
    key(DIK_HOME, MOD_CTRL);
    EXPECT_EQ(bar->position, 0.0f);
}

TEST_F(Gallery2Test, ListClicksAndTheHeldSpinnerButton)
{
    // Sorted: Apple, Cherry, Date, Fig, ...
    const float slot = fruits->items[0]->GetSize().second + 2;
    const auto at = [&](int i) { return int(float(i) * slot + slot / 2); };
    const int mx = fruits->GetAbsoluteX() + 1, my = fruits->GetAbsoluteY();
    click(fruits, 60, at(0));
    click(fruits, 60, at(2), MOD_SHIFT);
    click(fruits, 60, at(1), MOD_CTRL);
    EXPECT_EQ(fruits->GetSelectedCount(), 2);
    draw();
    EXPECT_TRUE(selectedAt(mx, my + at(0)));
    EXPECT_FALSE(selectedAt(mx, my + at(1)));
    EXPECT_TRUE(selectedAt(mx, my + at(2)));

    // Held for a second: one step at once, then one per 0.05 s after 0.3 s.
    Spinner* spin = widget<Spinner>("SpinDecimal");
    Widget* inc = spin->incButton;
    click(inc, 12, 16, 0, 64);
    EXPECT_NEAR(spin->value, 7 + 15, 1);
    EXPECT_EQ(spin->editbox->GetText(), std::to_wstring(int(spin->value)));
}
