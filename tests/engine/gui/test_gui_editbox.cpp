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

TEST_F(EditboxTest, WidthAndLengthLimitsRaiseEditboxFull)
{
    // 40 pixels hold "abc" and the caret character with one letter more.
    Editbox* e = box("", 40);
    guitest::Counter full;
    e->SubscribeEvent(Editbox::EventEditboxFull, &full);
    type("abcd");
    EXPECT_EQ(e->GetText(), L"abc");
    EXPECT_EQ(full.take(), 1);

    e = box("MaxLength 5", 20);
    type("abcdefg");
    EXPECT_EQ(e->GetText(), L"abcde");

    // Without a font nothing is drawn and only the count limits.
    e->font = nullptr;
    gui->fonts.clear();
    e->SetText(L"");
    e->maxLength = 0;
    EXPECT_TRUE(e->InsertChar(L'x') && e->InsertChar(L'y') && e->InsertChar(L'z'));
    rec->clear();
    e->Render();
    EXPECT_EQ(rec->count("Sprite.Draw") + rec->count("DrawPrimitiveUP"), 0u);
}

TEST_F(EditboxTest, FilterCaseAndCharset)
{
    Editbox* e = box("CharCase upper");
    for (wchar_t c : std::wstring(L"aZ\u0430\u044F\u0451\u0401"))
        e->InsertChar(c);
    // Both halves of the basic Cyrillic alphabet map; Ё and ё do not.
    EXPECT_EQ(e->GetText(), L"AZ\u0410\u042F\u0451\u0401");
    e->charCase = Editbox::CASE_LOWER;
    EXPECT_EQ(e->FilterChar(L'\u042F'), L'\u044F');
    EXPECT_EQ(e->FilterChar(L'Q'), L'q');

    e = box("Charset \"0123456789\"");
    clip.text = "1a2\xD0\xB6 3";
    key(DIK_V, MOD_CTRL);  // copy and paste off: types v
    e->Paste();
    EXPECT_EQ(e->GetText(), L"12\u04363");
    EXPECT_EQ(e->FilterChar(0), 0);
}

TEST_F(EditboxTest, WordKeysShiftSelectionAndBackspace)
{
    Editbox* e = box("");
    type("abc def");
    key(DIK_HOME, MOD_SHIFT);
    EXPECT_EQ(e->GetSelectionStart(), 0u);
    EXPECT_EQ(e->GetSelectionEnd(), 7u);
    key(DIK_END);
    key(DIK_LEFT, MOD_CTRL);
    EXPECT_EQ(e->GetCaretPos(), 4u);
    key(DIK_LEFT, MOD_CTRL);
    EXPECT_EQ(e->GetCaretPos(), 0u);
    key(DIK_RIGHT, MOD_CTRL);
    EXPECT_EQ(e->GetCaretPos(), 4u);
    key(DIK_END);
    key(DIK_BACK, MOD_CTRL);
    EXPECT_EQ(e->GetText(), L"abc ");

    // A selection made by Shift shrinks back to nothing, at either end.
    key(DIK_HOME);
    key(DIK_RIGHT, MOD_SHIFT);
    key(DIK_LEFT, MOD_SHIFT);
    EXPECT_EQ(e->GetSelectionStart(), e->GetSelectionEnd());
    key(DIK_END);
    key(DIK_LEFT, MOD_SHIFT);
    EXPECT_EQ(e->GetSelectionStart(), 3u);
    key(DIK_RIGHT, MOD_SHIFT);
    EXPECT_EQ(e->GetSelectionStart(), e->GetSelectionEnd());

    // Ctrl+Delete takes the word and the blanks after it.
    e->SetText(L"ab  cd");
    key(DIK_HOME);
    key(DIK_DELETE, MOD_CTRL);
    EXPECT_EQ(e->GetText(), L"cd");
}

TEST_F(EditboxTest, ClipboardKeysCopyCutPasteAndNothingWithoutSelection)
{
    Editbox* e = box("AllowCopyPaste 1");
    type("one two");
    clip.text = "kept";
    // Nothing selected: nothing copied, nothing cut.
    key(DIK_C, MOD_CTRL);
    key(DIK_HOME);
    key(DIK_X, MOD_CTRL);
    EXPECT_EQ(clip.text, "kept");
    EXPECT_EQ(e->GetText(), L"one two");
    key(DIK_RIGHT, MOD_SHIFT | MOD_CTRL);
    key(DIK_X, MOD_CTRL);
    EXPECT_EQ(clip.text, "one ");
    EXPECT_EQ(e->GetText(), L"two");
    key(DIK_END);
    key(DIK_V, MOD_CTRL);
    EXPECT_EQ(e->GetText(), L"twoone ");
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
    EXPECT_NE(newLog().find("clipboard format 2 is not supported"), std::string::npos);
}

TEST_F(EditboxTest, NumberPadCyrillicAndTextSetFromOutside)
{
    Editbox* e = box("AllowCyrillic 1");
    key(DIK_NUMPAD7);
    key(DIK_NUMPAD0);
    key(DIK_SUBTRACT);
    type("q#");
    keys.cyrillic = true;
    type("q#`");
    EXPECT_EQ(e->GetText(), L"70-q#\u0439\u2116\u0451");
    keys.cyrillic = false;

    // The caret stays beyond a shorter text until used, then counts as its end.
    e->SetText(L"ab");
    EXPECT_EQ(e->caretPos, 8u);
    type("x");
    EXPECT_EQ(e->GetText(), L"abx");
    EXPECT_EQ(e->GetCaretPos(), 3u);
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

    box("CursorOnTime 0\nCursorOffTime -1");
    EXPECT_NE(newLog().find("give no blink period"), std::string::npos);
    step(3);
    EXPECT_TRUE(find<Editbox>("Box")->caretVisible);
}
