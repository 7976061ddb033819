#pragma once
// The multi-line text editor: an edit box whose text (line breaks U+000A)
// is laid out in lines, with optional word wrap and line spacing, two
// optional scroll bar children ("_auto_hscroll", "_auto_vscroll") that
// follow the caret, line-wise keys, and an undo history while
// "HistorySize" is above 0.
//
// The layout is rebuilt lazily: a change of text, font, size, spacing or
// wrapping marks it dirty, and the next update or caret move rebuilds it.
// Characters the font has no glyph for are removed from the text then.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gui/gui_editbox.h"
#include "engine/gui/gui_history.h"
#include "engine/gui/gui_scrollbar.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

class Memo : public Editbox {
public:
    static constexpr const char* EventRebuildLayout = "RebuildLayout";

    // One laid-out line: [start, end) of the text, its characters (a final
    // U+000A included). Lines follow each other without gaps; after a
    // final U+000A an empty line [length, length + 1) holds the caret.
    struct Line {
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        std::wstring text;
    };

    explicit Memo(const std::string& name);
    ~Memo() override;

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Memo"; }
    bool IsA(const std::string& type) const override { return type == "Memo" || type == "Editbox"; }
    void Initialize() override;
    void DrawSelf() override;
    void UpdateSelf(float dt) override;
    // Its layout is not tracked: always walked.
    bool IsUpdateIdle() const override { return false; }
    void OnMouseWheel(const MouseEventArgs& args) override;
    void OnKeyDown(const KeybEventArgs& args) override;
    void OnTextChanged(const WidgetEventArgs& args) override;
    void OnFontChanged(const WidgetEventArgs& args) override;
    void OnSized(const WidgetEventArgs& args) override;

    void SetCaretPos(std::uint32_t pos) override;
    // No width limit; U+000A passes the filter.
    bool InsertChar(wchar_t c) override;
    void DeleteText(std::uint32_t pos, std::uint32_t count) override;
    // One history step for the whole paste, and one layout after it.
    void Paste() override;
    // Line-wise.
    void MoveHome(std::uint32_t modifiers) override;
    void MoveEnd(std::uint32_t modifiers) override;

    // Copy the scroll bars' positions.
    virtual bool OnHScroll(const EventArgs& args);
    virtual bool OnVScroll(const EventArgs& args);

    void RebuildLayout();
    // The line holding pos (the last line also holds its end); -1 when none.
    std::int32_t LineOfPos(std::uint32_t pos) const;
    // The font's scaled height plus the line spacing; 0 without a font.
    float GetLineHeight() const;
    void ScrollToLine(std::int32_t index);
    void EnsureCaretVisibleX(std::uint32_t pos);
    void MoveLines(std::uint32_t modifiers, std::int32_t delta);
    // The scroll bar's content length; the view follows text growing at
    // the end while the caret is on the last line.
    void SetScrollRange(Scrollbar* bar, float length);
    // Above 0: a history of that many steps (at most 65535); else none.
    void SetHistorySize(std::int32_t n);

    std::vector<Line> lines;
    float contentHeight = 0.0f;
    float contentWidth = 0.0f;
    bool layoutDirty = false;
    float hOffset = 0.0f;
    float vOffset = 0.0f;
    ChildLink<Scrollbar> hScroll;
    ChildLink<Scrollbar> vScroll;
    bool wordWrap = true;
    float lineSpacing = 0.0f;
    std::unique_ptr<History> history;
    bool pasting = false;  // a paste is inserting its characters

    Property pLineSpacing, pWordWrap, pHistorySize;

protected:
    // The memo scrolls through its scroll bars only.
    void UpdateScroll() override {}

private:
    friend class HistoryInsertTextEvent;
    void ScrollBy(float delta);
    // Whole lines of the widget's height, at least one.
    std::int32_t PageLines() const;

    MemberSubscriber<Memo> m_onHScroll{this, &Memo::OnHScroll};
    MemberSubscriber<Memo> m_onVScroll{this, &Memo::OnVScroll};
};

} // namespace GUI
