// The memo and its undo history: layout, line keys, scrolling, undo and
// redo, pastes; keys typed through the input server.
#include "engine/gui/gui_memo.h"
#include "widgets2_fixture.h"

using namespace GUI;
using namespace platform;

namespace {

class MemoTest : public guitest::Widgets2Bench {
protected:
    // A memo at (0, 10), 60 high (three lines) with the properties and, when asked, a
    // vertical scroll bar.
    Memo* memo(const std::string& props, bool scrollBar = false, int width = 100)
    {
        const std::string bar = "scrollbar _auto_vscroll\n{\n AreaRect 100 0 10 60\n Vertical 1\n"
                                " widget _auto_thumb\n {\n  AreaRect 0 0 10 10\n }\n}\n";
        load("memo Notes\n{\n AreaRect 0 10 " + std::to_string(width) + " 60\n Font f\n" + props + "\n" +
             (scrollBar ? bar : "") + "}\n");
        Memo* m = find<Memo>("Notes");
        gui->SetFocus(m);
        return m;
    }
    // The lines as "start-end" after the next update.
    std::string laidOut(Memo* m, const std::wstring& text)
    {
        m->SetText(text);
        step();
        std::string out;
        for (const Memo::Line& line : m->lines)
            out += (out.empty() ? "" : " ") + std::to_string(line.start) + "-" + std::to_string(line.end);
        return out;
    }
};

} // namespace

TEST_F(MemoTest, LayoutBreaksWrapsAndDropsWhatTheFontCannotDraw)
{
    Memo* m = memo("");
    guitest::Counter rebuilt;
    m->SubscribeEvent(Memo::EventRebuildLayout, &rebuilt);
    EXPECT_EQ(laidOut(m, L"ab\n"), "0-3 3-4");
    EXPECT_EQ(m->LineOfPos(3), 1);
    EXPECT_EQ(rebuilt.take(), 1);
    EXPECT_EQ(m->contentHeight, 3 * 20.0f);

    // 81 pixels hold "one two " (80): the break falls before "three".
    m = memo("", false, 81);
    EXPECT_EQ(laidOut(m, L"one two three"), "0-8 8-13");
    m->wordWrap = false;
    EXPECT_EQ(laidOut(m, L"one two three four"), "0-18");
    EXPECT_EQ(m->contentWidth, 180.0f);

    // A widget narrower than one character still places one per line.
    for (int width : {5, 0})
        EXPECT_EQ(laidOut(memo("", false, width), L"abc d"), "0-1 1-2 2-3 3-4 4-5");

    // Characters without a glyph leave the text at the next layout.
    m = memo("HistorySize 8");
    type("x");
    m->text = L"a\u4E00b";
    m->RebuildLayout();
    EXPECT_EQ(m->GetText(), L"ab");
    EXPECT_TRUE(m->history->undoList.empty());
}

TEST_F(MemoTest, UndoAndRedoStepByStep)
{
    Memo* m = memo("HistorySize 64\nAllowCopyPaste 1");
    type("abc");
    std::wstring seen;
    for (std::uint8_t k : {DIK_Z, DIK_Z, DIK_Z, DIK_Y, DIK_Y}) {
        key(k, MOD_CTRL);
        seen += m->GetText() + L"|";
    }
    EXPECT_EQ(seen, L"ab|a||a|ab|");
    type("x");
    EXPECT_TRUE(m->history->redoList.empty());

    // A paste is one step; redone, it comes back selected.
    clip.text = "pq\r\nr";
    key(DIK_V, MOD_CTRL);
    EXPECT_EQ(m->GetText(), L"abxpq\nr");
    key(DIK_Z, MOD_CTRL);
    EXPECT_EQ(m->GetText(), L"abx");
    key(DIK_Y, MOD_CTRL);
    EXPECT_EQ(m->GetSelectedText(), L"pq\nr");

    // Undoing a deletion of one character puts the caret after it; of
    // several, selects them.
    m->SetSelection(0, 0);
    key(DIK_END, MOD_CTRL);
    key(DIK_BACK);
    key(DIK_Z, MOD_CTRL);
    EXPECT_EQ(m->GetText(), L"abxpq\nr");
    EXPECT_EQ(where(m), "7-7@7");
    key(DIK_HOME, MOD_CTRL);
    key(DIK_RIGHT, MOD_SHIFT);
    key(DIK_RIGHT, MOD_SHIFT);
    key(DIK_DELETE);
    key(DIK_Z, MOD_CTRL);
    EXPECT_EQ(m->GetSelectedText(), L"ab");

    // An empty paste adds no step and keeps what can be redone.
    key(DIK_END);
    clip.text.clear();
    key(DIK_V, MOD_CTRL);
    EXPECT_EQ(m->history->redoList.size(), 1u);

    // Text set from outside ends the history; so does a step outside the text.
    m->SetText(L"new");
    EXPECT_TRUE(m->history->undoList.empty() && m->history->redoList.empty());
    type("s");
    m->text = L"";
    key(DIK_Z, MOD_CTRL);
    EXPECT_TRUE(m->history->undoList.empty() && m->history->redoList.empty());

    // A maximum of 2 keeps two steps.
    m = memo("HistorySize 2");
    type("abc");
    for (int i = 0; i < 3; ++i)
        key(DIK_Z, MOD_CTRL);
    EXPECT_EQ(m->GetText(), L"a");
    m->SetHistorySize(70000);
    EXPECT_EQ(m->history->maximum, 65535);

    // Without a history Ctrl+Z and Ctrl+Y do nothing: a Ctrl key types no
    // text.
    m = memo("HistorySize 0");
    m->SetText(L"ab");
    key(DIK_Z, MOD_CTRL);
    key(DIK_Y, MOD_CTRL);
    EXPECT_EQ(m->GetText(), L"ab");
}

TEST_F(MemoTest, LineKeysStopAtTheEdgesAndTheTextEnd)
{
    Memo* m = memo("");
    m->SetText(L"ab\ncd\nefg\nh");
    step();
    // Up on the first line stays; End stops before the line break; onto
    // the last line, which has none, Down reaches the very end; a page is
    // three lines of 20 in 60.
    std::string seen;
    for (std::uint8_t k : {DIK_UP, DIK_END, DIK_DOWN, DIK_DOWN, DIK_DOWN, DIK_DOWN, DIK_PRIOR}) {
        key(k);
        seen += std::to_string(m->GetCaretPos()) + " ";
    }
    EXPECT_EQ(seen, "0 2 5 8 11 11 1 ");
    key(DIK_END, MOD_SHIFT | MOD_CTRL);
    key(DIK_HOME, MOD_SHIFT);
    EXPECT_EQ(where(m), "1-10@10");

    // Lines of no height: a page is one line, drawing starts at line 0.
    m = memo("LineSpacing -20");
    laidOut(m, L"a\nb\nc");
    key(DIK_NEXT);
    EXPECT_EQ(m->LineOfPos(m->GetCaretPos()), 1);
    m->vOffset = 40.0f;
    gui->SetFocus(nullptr);
    rec->clear();
    m->Render();
    EXPECT_EQ(rec->count("Sprite.Draw"), 3u);
}

TEST_F(MemoTest, ScrollBarFollowsCaretWheelAndCtrlArrows)
{
    Memo* m = memo("", true);
    Scrollbar* bar = m->vScroll;
    ASSERT_NE(bar, nullptr);
    for (int i = 0; i < 6; ++i)
        key(DIK_RETURN);
    step();
    // Seven lines and a spare one; the caret's line ends a line above the bottom.
    EXPECT_EQ(bar->totalSize, 8 * 20.0f);
    EXPECT_EQ(bar->position, 6 * 20.0f + 40.0f - 60.0f);
    EXPECT_EQ(m->vOffset, bar->position);
    key(DIK_UP, MOD_CTRL);
    EXPECT_EQ(bar->position, 80.0f);
    key(DIK_DOWN, MOD_CTRL);
    EXPECT_EQ(bar->position, 100.0f);
    moveTo(5, 20);
    wheel(1);
    step();
    EXPECT_EQ(bar->position, 80.0f);
    rec->clear();
    m->Render();
    EXPECT_EQ(viewports().front(), "0,10,320,60");
    key(DIK_HOME, MOD_CTRL);
    EXPECT_EQ(bar->position, 0.0f);

    // Without a vertical bar the wheel does nothing and the text may run
    // over the whole screen height.
    m = memo("");
    laidOut(m, L"a\nb\nc\nd");
    wheel(-1);
    step();
    EXPECT_EQ(m->vOffset, 0.0f);
    rec->clear();
    m->Render();
    EXPECT_EQ(viewports().front(), "0,0,320,240");
}

TEST_F(MemoTest, LargePasteLaysOutOnce)
{
    Memo* m = memo("HistorySize 4\nAllowCopyPaste 1\nWordWrap 0");
    guitest::Counter rebuilt;
    m->SubscribeEvent(Memo::EventRebuildLayout, &rebuilt);
    std::string big;
    for (int i = 0; i < 100000; ++i)
        big.push_back(i % 50 == 49 ? '\n' : char('a' + i % 26));
    clip.text = big;
    key(DIK_V, MOD_CTRL);
    EXPECT_EQ(m->GetText().size(), 100000u);
    EXPECT_EQ(m->lines.size(), 2000u + 1u);
    EXPECT_LE(rebuilt.take(), 2);
    key(DIK_Z, MOD_CTRL);
    EXPECT_EQ(m->GetText(), L"");
}
