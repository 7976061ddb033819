// The edit box: limits, filter, keys, clipboard, blink and scrolling, with
// keys typed through the input server.
#include "engine/gui/gui_clipboard.h"
#include "engine/gui/gui_editbox.h"
#include "widgets2_fixture.h"

using namespace GUI;
using namespace platform;

namespace {

class EditboxTest : public guitest::Widgets2Bench {
protected:
    Editbox* box(const std::string& props, int width = 200)
    {
        load("editbox Box\n{\n AreaRect 0 0 " + std::to_string(width) + " 20\n Font f\n" + props + "\n}\n");
        Editbox* e = find<Editbox>("Box");
        gui->SetFocus(e);
        return e;
    }
};

} // namespace

TEST_F(EditboxTest, LimitsFilterAndKeysTyped)
{
    // 40 pixels hold "abc" and the caret character with one letter more.
    Editbox* e = box("", 40);
    guitest::Counter full;
    e->SubscribeEvent(Editbox::EventEditboxFull, &full);
    type("abcd");
    EXPECT_EQ(e->GetText(), L"abc");
    EXPECT_EQ(full.take(), 1);
    e = box("MaxLength 5\nCharCase upper", 20);
    type("abcdefg");
    EXPECT_EQ(e->GetText(), L"ABCDE");
    // Both halves of the basic Cyrillic alphabet change case; Ё and ё do not.
    EXPECT_EQ(e->FilterChar(L'\u0430'), L'\u0410');
    EXPECT_EQ(e->FilterChar(L'\u044F'), L'\u042F');
    EXPECT_EQ(e->FilterChar(L'\u0451'), L'\u0451');

    // Digits only, but letters beyond 255 pass; Ctrl+V without copy and
    // paste types nothing.
    e = box("Charset \"0123456789\"\nAllowCyrillic 1");
    clip.text = "1a\xD0\xB6";
    key(DIK_V, MOD_CTRL);
    e->Paste();
    // The number pad types its digit itself only with Num Lock off; on, the
    // keyboard's text brings it.
    key(DIK_NUMPAD7);
    keys.numLock = true;
    key(DIK_NUMPAD8);
    key(DIK_NUMPAD9, 0, '9');
    keys.numLock = false;
    e->allowedChars.fill(true);
    key(DIK_SUBTRACT, 0, '-');
    type("q#");
    // A Russian layout types its letters as text; KeyDown handlers see the
    // Russian letter of the key. Characters beyond Windows-1251 stay out.
    std::string seen;
    struct Seen : Subscriber {
        std::string* out;
        bool operator()(const EventArgs& a) override
        {
            *out += static_cast<const KeybEventArgs&>(a).character;
            return false;
        }
    } seenKeys;
    seenKeys.out = &seen;
    e->SubscribeEvent(EventKeyDown, &seenKeys);
    keys.cyrillic = true;
    hold(DIK_Q);
    typeText(U"\u0439\u2116\u0105\U0001F600\u0451\u20AC");
    step();
    m_held.clear();
    step();
    keys.cyrillic = false;
    EXPECT_EQ(e->GetText(), L"1\u0436" L"79-q#\u0439\u2116\u0451\u20AC");
    EXPECT_EQ(seen, "\xE9");
    // Without AllowCyrillic the box holds no Cyrillic letter.
    e = box("");
    typeText(U"a\u0439b");
    step();
    EXPECT_EQ(e->GetText(), L"ab");

    // The caret stays beyond a shorter text until used, then counts as its end.
    e->SetText(L"ab");
    type("x");
    EXPECT_EQ(e->GetText(), L"abx");

    // Without a font nothing is drawn and only the count limits.
    gui->fonts.clear();
    e->font = nullptr;
    EXPECT_TRUE(e->InsertChar(L'y') && e->InsertChar(L'z'));
    rec->clear();
    e->Render();
    EXPECT_EQ(rec->calls.size(), 0u);
}

TEST_F(EditboxTest, WordMovesAndShiftSelections)
{
    Editbox* e = box("");
    type("abc def");
    key(DIK_HOME, MOD_SHIFT);
    EXPECT_EQ(where(e), "0-7@0");
    key(DIK_END);
    key(DIK_LEFT, MOD_CTRL);
    EXPECT_EQ(where(e), "4-4@4");
    key(DIK_LEFT, MOD_CTRL);
    key(DIK_RIGHT, MOD_CTRL);
    EXPECT_EQ(where(e), "4-4@4");
    key(DIK_END);
    key(DIK_BACK, MOD_CTRL);
    EXPECT_EQ(e->GetText(), L"abc ");
    // A selection made by Shift shrinks back to nothing, at either end.
    key(DIK_HOME);
    key(DIK_RIGHT, MOD_SHIFT);
    key(DIK_LEFT, MOD_SHIFT);
    EXPECT_EQ(where(e), "0-0@0");
    key(DIK_END);
    key(DIK_LEFT, MOD_SHIFT);
    key(DIK_RIGHT, MOD_SHIFT);
    EXPECT_EQ(where(e), "4-4@4");
    e->SetText(L"ab  cd");
    key(DIK_HOME);
    key(DIK_DELETE, MOD_CTRL);
    EXPECT_EQ(e->GetText(), L"cd");
}

TEST_F(EditboxTest, ClipboardKeysNeedASelection)
{
    Editbox* e = box("AllowCopyPaste 1");
    type("one two");
    clip.text = "kept";
    key(DIK_C, MOD_CTRL);
    key(DIK_HOME);
    key(DIK_X, MOD_CTRL);
    EXPECT_EQ(clip.text, "kept");
    EXPECT_EQ(e->GetText(), L"one two");
    key(DIK_RIGHT, MOD_SHIFT | MOD_CTRL);
    key(DIK_X, MOD_CTRL);
    key(DIK_END);
    key(DIK_V, MOD_CTRL);
    key(DIK_A, MOD_CTRL);
    key(DIK_C, MOD_CTRL);
    EXPECT_EQ(clip.text, "twoone ");
    // Focus selects everything; typing replaces the selection.
    gui->SetFocus(nullptr);
    gui->SetFocus(e);
    type("x");
    EXPECT_EQ(e->GetText(), L"x");

    // Characters beyond the BMP are dropped; Windows-1251 data converts.
    clip.text = "a\xF0\x9F\x98\x80" "b";
    EXPECT_EQ(clipboard_getText(), L"ab");
    clipboard_setData("\xC9\xF6", 3, CLIPBOARD_TEXT);
    EXPECT_EQ(clipboard_getText(), L"\u0419\u0446");
    clipboard_setData("x", 2, 2);
    EXPECT_TRUE(logged("clipboard format 2 is not supported"));
}

TEST_F(EditboxTest, BlinkOnlyWhileFocusedAndScrollFollowsTheCaret)
{
    Editbox* e = box("CursorOnTime 0.25\nCursorOffTime 0.25\nMaxLength 50", 60);
    std::vector<bool> shown;
    for (int i = 0; i < 4; ++i) {
        step(16);  // a quarter second
        shown.push_back(e->caretVisible);
    }
    EXPECT_EQ(shown, (std::vector<bool>{false, true, false, true}));
    gui->SetFocus(nullptr);
    const float timer = e->blinkTimer;
    step(16);
    EXPECT_EQ(e->blinkTimer, timer);
    // Typing past the right edge scrolls the text left; Home scrolls back.
    gui->SetFocus(e);
    type("abcdefgh");
    EXPECT_EQ(e->scrollOffset, 60.0f - 80.0f - 10.0f);
    key(DIK_HOME);
    EXPECT_EQ(e->scrollOffset, 0.0f);

    e = box("CursorOnTime 0\nCursorOffTime -1");
    EXPECT_TRUE(logged("give no blink period"));
    step(3);
    EXPECT_TRUE(e->caretVisible);
}
