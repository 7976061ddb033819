#include "engine/gui/gui_memo.h"

#include <algorithm>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "platform/input/dinput_keys.h"

namespace GUI {

using namespace platform;

Memo::Memo(const std::string& widgetName) : Editbox(widgetName)
{
    AddProperty("LineSpacing", &pLineSpacing);
    AddProperty("WordWrap", &pWordWrap);
    AddProperty("HistorySize", &pHistorySize);
    AddEvent(EventRebuildLayout);
}

Memo::~Memo() = default;

void Memo::EndFillProperties()
{
    Editbox::EndFillProperties();
    if (pLineSpacing.isSet) {
        const float spacing = pLineSpacing.AsFloat();
        layoutDirty = layoutDirty || spacing != lineSpacing;
        lineSpacing = spacing;
    }
    if (pWordWrap.isSet) {
        const bool wrap = pWordWrap.AsBool();
        layoutDirty = layoutDirty || wrap != wordWrap;
        wordWrap = wrap;
    }
    if (pHistorySize.isSet)
        SetHistorySize(pHistorySize.AsInt());
}

void Memo::Initialize()
{
    Editbox::Initialize();
    const auto bind = [this](ChildLink<Scrollbar>& link, const char* childName, Subscriber* handler, float page) {
        link.Bind(dynamic_cast<Scrollbar*>(FindChild(childName, true)));
        if (!link)
            return;
        if (link->parent != this)
            AddChild(link);
        link.Subscribe(GUI::EventPositionChanged, handler);
        link->SetPageSize(page);
    };
    bind(hScroll, "_auto_hscroll", &m_onHScroll, float(area.width));
    bind(vScroll, "_auto_vscroll", &m_onVScroll, float(area.height));
    hOffset = vOffset = 0.0f;
}

void Memo::SetHistorySize(std::int32_t n)
{
    if (n <= 0) {
        history.reset();
        return;
    }
    if (!history)
        history = std::make_unique<History>();
    history->SetSize(std::uint16_t(std::min<std::int32_t>(n, 0xFFFF)));
}

// ---------------------------------------------------------------------------
// Layout

float Memo::GetLineHeight() const
{
    aFont* font = ScaledFont();
    if (!font || !font->getLoader())
        return 0.0f;
    return font->getFontHeight() * font->getScaleFactor() + lineSpacing;
}

std::int32_t Memo::LineOfPos(std::uint32_t pos) const
{
    if (lines.empty())
        return -1;
    if (pos == lines.back().end)
        return std::int32_t(lines.size() - 1);
    // Lines are in text order without gaps.
    const auto it = std::upper_bound(lines.begin(), lines.end(), pos,
                                     [](std::uint32_t p, const Line& line) { return p < line.start; });
    if (it == lines.begin())
        return -1;
    const Line& line = *(it - 1);
    return pos < line.end ? std::int32_t(it - 1 - lines.begin()) : -1;
}

void Memo::RebuildLayout()
{
    aFont* font = ScaledFont();
    const aFontDataLoader* glyphs = font ? font->getLoader() : nullptr;
    if (!glyphs)
        return;
    layoutDirty = false;
    const float scale = font->getScaleFactor(), width = float(area.width);
    const bool underlines = glyphs->underlineDY != 0.0f;
    // The pen advance of c as the font draws it after prev (0: c starts the line).
    const auto advance = [&](wchar_t c, wchar_t prev) {
        const aFontChar* g = glyphs->getChar(c);
        if (!g || (underlines && c == L'_'))
            return 0.0f;
        float a = float(g->rect.width) + g->postAdvance + glyphs->charSpacing;
        if (prev)
            a += g->preAdvance + g->getKerning(prev);
        return a * scale;
    };

    std::wstring source;
    source.reserve(text.size());
    for (wchar_t c : text)
        if (c == L'\n' || glyphs->getChar(c))
            source.push_back(c);
    bool changed = source.size() != text.size();

    lines.clear();
    contentWidth = 0.0f;
    std::wstring kept;  // the text without characters of no advance
    kept.reserve(source.size());
    Line line;
    float lineWidth = 0.0f;
    bool hasSpace = false;
    std::size_t lastSpace = 0, lastSpaceRead = 0;
    const auto endLine = [&](std::size_t i) {
        line.end = std::uint32_t(i);
        contentWidth = std::max(contentWidth, font->getStringSize(line.text).first);
        lines.push_back(std::move(line));
        line = Line();
        line.start = std::uint32_t(i);
        lineWidth = 0.0f;
        hasSpace = false;
    };
    std::size_t i = 0;  // index in the kept text
    for (std::size_t r = 0; r < source.size();) {
        const wchar_t c = source[r];
        if (c == L'\n') {
            line.text.push_back(c);
            kept.push_back(c);
            ++i;
            ++r;
            endLine(i);
            if (r == source.size()) {
                line.end = std::uint32_t(i + 1);
                lines.push_back(line);
            }
            continue;
        }
        if (c == L' ') {
            hasSpace = true;
            lastSpace = i;
            lastSpaceRead = r;
        }
        const float a = advance(c, line.text.empty() ? wchar_t(0) : line.text.back());
        // Every line takes at least one character, however narrow the widget.
        if (wordWrap && !line.text.empty() && lineWidth + a >= width) {
            if (hasSpace && i > lastSpace + 1) {
                const std::size_t back = i - (lastSpace + 1);
                line.text.resize(line.text.size() - back);
                kept.resize(kept.size() - back);
                i = lastSpace + 1;
                r = lastSpaceRead + 1;
            }
            endLine(i);
            continue;
        }
        ++r;
        if (a == 0.0f) {
            changed = true;
            continue;
        }
        line.text.push_back(c);
        kept.push_back(c);
        ++i;
        lineWidth += a;
    }
    if (!line.text.empty())
        endLine(i);

    if (changed) {
        // Text changed outside the steps the history recorded.
        text = std::move(kept);
        if (history) {
            History::Clear(history->undoList);
            History::Clear(history->redoList);
        }
    }
    ClampPositions();
    const float lineHeight = GetLineHeight();
    contentHeight = lines.empty() ? 0.0f : float(lines.size() + 1) * lineHeight;
    SetScrollRange(hScroll, contentWidth + font->getFontHeight());
    SetScrollRange(vScroll, contentHeight);
    Launch(EventRebuildLayout, WidgetEventArgs(this));
}

void Memo::SetScrollRange(Scrollbar* bar, float length)
{
    if (!bar || length == bar->totalSize)
        return;
    float pos = bar->position;
    if (bar->totalSize != 0.0f && !lines.empty() && LineOfPos(GetCaretPos()) == std::int32_t(lines.size() - 1))
        pos = length;
    bar->SetTotalSize(length);
    bar->SetScrollPosition(pos);
}

// ---------------------------------------------------------------------------
// Scrolling

bool Memo::OnHScroll(const EventArgs&)
{
    if (Scrollbar* bar = hScroll) {
        hOffset = bar->position;
        if (hOffset < 0.0f)
            bar->position = hOffset = 0.0f;
    }
    return true;
}

bool Memo::OnVScroll(const EventArgs&)
{
    if (Scrollbar* bar = vScroll) {
        vOffset = bar->position;
        if (vOffset < 0.0f)
            bar->position = vOffset = 0.0f;
    }
    return true;
}

void Memo::ScrollToLine(std::int32_t index)
{
    Scrollbar* bar = vScroll;
    if (!bar || !bar->IsVisible(true) || index < 0 || std::size_t(index) >= lines.size())
        return;
    const float lineHeight = GetLineHeight();
    const float top = float(index) * lineHeight;
    const float d = top - bar->position;
    if (d < 0.0f)
        bar->SetScrollPosition(top);
    else if (d >= float(area.height) - lineHeight)
        bar->SetScrollPosition(top + 2.0f * lineHeight - float(area.height));
}

void Memo::EnsureCaretVisibleX(std::uint32_t pos)
{
    Scrollbar* bar = hScroll;
    const std::int32_t index = LineOfPos(GetCaretPos());
    aFont* font = ScaledFont();
    if (!bar || !bar->IsVisible(true) || index < 0 || !font || !font->getLoader())
        return;
    const Line& line = lines[std::size_t(index)];
    const float x = TextWidth(font, line.start, std::clamp(pos, line.start, line.end));
    const float margin = font->getFontHeight();
    const float d = x - bar->position;
    if (d < 0.0f)
        bar->SetScrollPosition(x);
    else if (d >= float(area.width) - margin)
        bar->SetScrollPosition(x - bar->pageSize + margin);
}

void Memo::ScrollBy(float delta)
{
    if (Scrollbar* bar = vScroll)
        bar->SetScrollPosition(bar->position + delta);
}

std::int32_t Memo::PageLines() const
{
    const float lineHeight = GetLineHeight();
    // A line height of 0 or less has no page: step one line.
    if (!(lineHeight > 0.0f))
        return 1;
    return std::int32_t(std::min(float(area.height) / lineHeight, 1e9f));
}

// ---------------------------------------------------------------------------
// Caret

void Memo::SetCaretPos(std::uint32_t pos)
{
    Editbox::SetCaretPos(pos);
    // A paste lays out once, when it ends.
    if (pasting)
        return;
    if (layoutDirty)
        RebuildLayout();
    if (LineOfPos(GetCaretPos()) >= 0) {
        ScrollToLine(LineOfPos(GetCaretPos()));
        EnsureCaretVisibleX(GetCaretPos());
    }
}

void Memo::MoveHome(std::uint32_t modifiers)
{
    if (layoutDirty)
        RebuildLayout();
    ClampPositions();
    const std::uint32_t old = caretPos;
    const std::int32_t index = LineOfPos(caretPos);
    SetCaretPos(index >= 0 ? lines[std::size_t(index)].start : 0);
    const std::uint32_t anchor = old != selStart ? selStart : selEnd;
    if (modifiers & MOD_SHIFT)
        SetSelection(GetCaretPos(), anchor);
    else
        selStart = selEnd = GetCaretPos();
}

void Memo::MoveEnd(std::uint32_t modifiers)
{
    if (layoutDirty)
        RebuildLayout();
    ClampPositions();
    const std::uint32_t old = caretPos;
    const std::int32_t index = LineOfPos(caretPos);
    const bool last = index < 0 || std::size_t(index) + 1 == lines.size();
    SetCaretPos(last ? std::uint32_t(text.size()) : lines[std::size_t(index)].end - 1);
    const std::uint32_t anchor = old != selEnd ? selEnd : selStart;
    if (modifiers & MOD_SHIFT)
        SetSelection(anchor, GetCaretPos());
    else
        selStart = selEnd = GetCaretPos();
}

void Memo::MoveLines(std::uint32_t modifiers, std::int32_t delta)
{
    if (layoutDirty)
        RebuildLayout();
    ClampPositions();
    if (text.empty() || lines.empty())
        return;
    const std::int32_t current = std::max(0, LineOfPos(caretPos));
    const std::int64_t wanted = std::int64_t(current) + delta;
    const std::int32_t target = std::int32_t(std::clamp<std::int64_t>(wanted, 0, std::int64_t(lines.size()) - 1));
    if (target == current)
        return;
    const std::uint32_t old = caretPos;
    const std::uint32_t column = caretPos - lines[std::size_t(current)].start;
    const Line& to = lines[std::size_t(target)];
    // The last line has no line break to stop before.
    const bool last = std::size_t(target) + 1 == lines.size();
    const std::uint32_t cap = last ? std::min<std::uint32_t>(to.end, std::uint32_t(text.size())) : to.end - 1;
    SetCaretPos(std::min(to.start + column, cap));
    const std::uint32_t anchor = old != selStart ? selStart : selEnd;
    if (modifiers & MOD_SHIFT)
        SetSelection(GetCaretPos(), anchor);
    else
        selStart = selEnd = GetCaretPos();
}

// ---------------------------------------------------------------------------
// Editing

bool Memo::InsertChar(wchar_t c)
{
    ClampPositions();
    const wchar_t ch = c == L'\n' ? c : FilterChar(c);
    if (!ch)
        return true;
    if (maxLength > 0 && text.size() >= std::size_t(maxLength)) {
        OnEditboxFull(WidgetEventArgs(this));
        return false;
    }
    const std::weak_ptr<const void> life = GetLifeToken();
    DeleteSelection();
    if (life.expired())
        return true;
    ClampPositions();
    const std::uint32_t at = caretPos;
    text.insert(at, 1, ch);
    if (history && !pasting)
        history->Add(std::make_unique<HistoryInsertTextEvent>(at, std::wstring(1, ch), this, false));
    if (!TextEdited())
        return true;
    SetCaretPos(at + 1);
    selStart = selEnd = GetCaretPos();
    return true;
}

void Memo::DeleteText(std::uint32_t pos, std::uint32_t count)
{
    if (!history || pasting) {
        Editbox::DeleteText(pos, count);
        return;
    }
    pos = Clamped(pos);
    std::wstring removed = text.substr(pos, count);
    if (removed.empty())
        return;
    const bool several = removed.size() > 1;
    auto step = std::make_unique<HistoryInsertTextEvent>(pos, std::move(removed), this, several);
    History* kept = history.get();
    step->Apply();
    // A handler may have replaced the history meanwhile.
    if (history.get() == kept)
        history->Add(std::move(step));
}

void Memo::Paste()
{
    if (pasting) {
        Editbox::Paste();
        return;
    }
    const std::weak_ptr<const void> life = GetLifeToken();
    if (history) {
        DeleteSelection();
        if (life.expired())
            return;
    }
    ClampPositions();
    const std::uint32_t from = caretPos;
    const std::size_t before = text.size();
    pasting = true;
    Editbox::Paste();
    if (life.expired())
        return;
    pasting = false;
    const std::size_t count = text.size() > before ? text.size() - before : 0;
    if (history && count > 0)
        history->Add(std::make_unique<HistoryInsertTextEvent>(from, text.substr(std::min<std::size_t>(from, text.size()), count),
                                                              this, true));
    SetCaretPos(GetCaretPos());
}

// ---------------------------------------------------------------------------
// Hooks

void Memo::UpdateSelf(float dt)
{
    if (layoutDirty)
        RebuildLayout();
    Editbox::UpdateSelf(dt);
}

void Memo::OnTextChanged(const WidgetEventArgs& args)
{
    layoutDirty = true;
    // Steps recorded for another text would edit the wrong characters.
    if (!ownEdit && history) {
        History::Clear(history->undoList);
        History::Clear(history->redoList);
    }
    Editbox::OnTextChanged(args);
}

void Memo::OnFontChanged(const WidgetEventArgs& args)
{
    layoutDirty = true;
    Editbox::OnFontChanged(args);
}

void Memo::OnSized(const WidgetEventArgs& args)
{
    layoutDirty = true;
    if (Scrollbar* bar = hScroll)
        bar->SetPageSize(float(area.width));
    if (Scrollbar* bar = vScroll)
        bar->SetPageSize(float(area.height));
    Editbox::OnSized(args);
}

void Memo::OnMouseWheel(const MouseEventArgs& args)
{
    if (args.wheel > 0.0f)
        ScrollBy(-GetLineHeight());
    else if (args.wheel < 0.0f)
        ScrollBy(GetLineHeight());
    Editbox::OnMouseWheel(args);
}

void Memo::OnKeyDown(const KeybEventArgs& args)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    const std::uint32_t mods = args.modifiers;
    const bool ctrl = (mods & MOD_CTRL) != 0;
    switch (args.key) {
    case DIK_BACK:
    case DIK_C:
    case DIK_V:
    case DIK_DELETE:
        layoutDirty = true;
        break;
    case DIK_Z:
    case DIK_Y:
        if (ctrl && history) {
            if (args.key == DIK_Z)
                history->Undo();
            else
                history->Redo();
            if (!life.expired())
                Widget::OnKeyDown(args);
            return;
        }
        break;
    case DIK_RETURN:
        InsertChar(L'\n');
        break;
    case DIK_HOME:
        if (ctrl)
            Editbox::MoveHome(mods);
        break;
    case DIK_END:
        if (ctrl)
            Editbox::MoveEnd(mods);
        break;
    case DIK_UP:
    case DIK_DOWN: {
        const std::int32_t delta = args.key == DIK_UP ? -1 : 1;
        // Ctrl scrolls the view as the wheel does: up shows earlier lines.
        if (ctrl)
            ScrollBy(float(delta) * GetLineHeight());
        else
            MoveLines(mods, delta);
        break;
    }
    case DIK_PRIOR:
        MoveLines(mods, -PageLines());
        break;
    case DIK_NEXT:
        MoveLines(mods, PageLines());
        break;
    default:
        break;
    }
    if (!life.expired())
        Editbox::OnKeyDown(args);
}

void Memo::DrawSelf()
{
    aFont* font = ScaledFont();
    if (!font || !font->getLoader())
        return;
    const aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    const aRect abs = GetAbsoluteRect();
    aRect area2 = abs;
    // Without a scroll bar in a direction the text may run over the screen.
    if (!hScroll && gs) {
        area2.x = 0;
        area2.width = gs->m_backBufferWidth;
    }
    if (!vScroll && gs) {
        area2.y = 0;
        area2.height = gs->m_backBufferHeight;
    }
    const ScopedClip clip(area2);
    ClampPositions();
    const float alpha = GetAlpha();
    const bool on = IsEnabled();
    const std::uint32_t textColor = PackColor(on ? normalTextColor : disabledTextColor, alpha);
    const std::uint32_t caretColor = PackColor(cursorColor, alpha);
    const bool caretShown = focused && on && caretVisible;
    const bool selectionShown = allowCopyPaste && selStart != selEnd && focused && on && g_gdi;
    const float lineX = float(abs.x) - hOffset;
    const float scaledHeight = font->getFontHeight() * font->getScaleFactor();
    const std::wstring caretText = CursorString();
    if (lines.empty()) {
        if (caretShown) {
            font->color = caretColor;
            font->drawString(lineX, float(abs.y), caretText, FONT_SNAP);
        }
        return;
    }
    const float lineHeight = GetLineHeight();
    std::size_t first = 0;
    if (lineHeight > 0.0f && vOffset > 0.0f)
        first = std::size_t(std::min(vOffset / lineHeight, float(lines.size())));
    float y = float(abs.y);
    for (std::size_t n = first; n < lines.size() && y - float(abs.y) < float(area.height); ++n, y += lineHeight) {
        const Line& line = lines[n];
        const bool last = n + 1 == lines.size();
        if (selectionShown) {
            const std::uint32_t a = std::max(selStart, line.start), b = std::min(selEnd, line.end);
            if (a < b) {
                g_gdi->m_color = PackColor(selectionColor, alpha);
                g_gdi->drawRect(lineX + TextWidth(font, line.start, a), y, TextWidth(font, a, b), scaledHeight, true);
            }
        }
        font->color = textColor;
        font->drawString(lineX, y, line.text, FONT_SNAP);
        if (caretShown && caretPos >= line.start && (caretPos < line.end || (last && caretPos == line.end))) {
            font->color = caretColor;
            font->drawString(lineX + TextWidth(font, line.start, caretPos), y, caretText, FONT_SNAP);
        }
    }
}

} // namespace GUI
