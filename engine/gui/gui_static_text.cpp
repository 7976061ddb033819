#include "engine/gui/gui_static_text.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <iterator>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace GUI {

namespace {

bool isLineBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }
bool isBreak(wchar_t c) { return c == L' ' || isLineBreak(c); }
// Marks that belong to the word before them: no line starts with them.
bool isClosing(wchar_t c) { return c != 0 && std::wcschr(L"\"'.,;:!?)]}\u00BB\u201D\u2019\u2026", c); }
bool isOpening(wchar_t c) { return c != 0 && std::wcschr(L"\"'([{\u00AB\u201C\u2018", c); }

// Walks the style runs in character order; `current` is the run in force.
struct RunCursor {
    std::list<StaticText::StyleRun>::const_iterator next, end;
    const StaticText::StyleRun* current = nullptr;

    void advance(std::uint32_t count)
    {
        for (; next != end && next->charIndex <= count; ++next)
            current = &*next;
    }
};

// What the layout needs of the style in force.
struct Metrics {
    const aFontDataLoader* loader = nullptr;
    float scale = 1.0f;
    float fontHeight = 0.0f;

    Metrics(const StaticText::StyleRun* run, const aFont* own, float base)
    {
        const aFont* font = run && run->font ? run->font : own;
        loader = font->getLoader();
        scale = (run ? run->size : 1.0f) * base;
        fontHeight = loader ? loader->fontHeight : 0.0f;
    }
    float advance(wchar_t c, bool firstOfLine) const
    {
        if (!loader)
            return 0.0f;
        const aFontChar& g = loader->getCharInfo(c);
        const float pre = firstOfLine ? 0.0f : g.preAdvance;
        return (float(g.rect.width) + g.postAdvance + loader->charSpacing + pre) * scale;
    }
    float preAdvance(wchar_t c) const { return loader ? loader->getCharInfo(c).preAdvance * scale : 0.0f; }
    // What an advance holds past the glyph's last pixels.
    float trail(wchar_t c) const
    {
        return loader ? (loader->getCharInfo(c).postAdvance + loader->charSpacing) * scale : 0.0f;
    }
    // The font's ellipsis, or three dots where it has none.
    const wchar_t* ellipsis() const { return loader && loader->getChar(L'\u2026') ? L"\u2026" : L"..."; }
};

std::int32_t formattingKeyword(const std::string& text, bool horizontal)
{
    if (str_equalNoCase(text, "center"))
        return StaticText::FORMAT_CENTER;
    if (horizontal) {
        if (str_equalNoCase(text, "right"))
            return StaticText::FORMAT_RIGHT;
        if (str_equalNoCase(text, "width"))
            return StaticText::FORMAT_WIDTH;
        return StaticText::FORMAT_LEFT;
    }
    return str_equalNoCase(text, "bottom") ? StaticText::FORMAT_BOTTOM : StaticText::FORMAT_TOP;
}

} // namespace

StaticText::StaticText(const std::string& name) : Widget(name), markup(L"<#", L"#>", L"=")
{
    AddProperty("TextNormalColor", &pTextNormalColor);
    AddProperty("TextDisabledColor", &pTextDisabledColor);
    AddProperty("HorzFormatting", &pHorzFormatting);
    AddProperty("VertFormatting", &pVertFormatting);
    AddProperty("LineSpacing", &pLineSpacing);
    AddProperty("WordWrap", &pWordWrap);
}

void StaticText::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pTextNormalColor.isSet)
        SetTextColor(pTextNormalColor.AsHex());
    if (pTextDisabledColor.isSet)
        SetDisabledTextColor(pTextDisabledColor.AsHex());
    if (pHorzFormatting.isSet)
        SetHorzFormatting(formattingKeyword(pHorzFormatting.value, true));
    if (pVertFormatting.isSet)
        SetVertFormatting(formattingKeyword(pVertFormatting.value, false));
    if (pLineSpacing.isSet)
        SetLineSpacing(pLineSpacing.AsFloat());
    if (pWordWrap.isSet)
        SetWordWrap(pWordWrap.AsBool());
}

void StaticText::SetHorzFormatting(std::int32_t f)
{
    if (f != horzFormatting)
        MarkLayoutDirty();
    horzFormatting = f;
}

void StaticText::SetVertFormatting(std::int32_t f)
{
    if (f != vertFormatting)
        MarkLayoutDirty();
    vertFormatting = f;
}

void StaticText::SetWordWrap(bool on)
{
    if (on != wordWrap)
        MarkLayoutDirty();
    wordWrap = on;
}

void StaticText::SetShortenNames(bool on)
{
    if (on != shortenNames)
        MarkLayoutDirty();
    shortenNames = on;
}

void StaticText::SetLineSpacing(float pixels)
{
    if (!(pixels == lineSpacing))
        MarkLayoutDirty();
    lineSpacing = pixels;
}

float StaticText::GetTextHeight()
{
    if (layoutDirty) {
        layoutDirty = false;
        Layout();
    }
    if (vScrollbar && textHeight > float(area.height))
        return float(area.height);
    return textHeight;
}

void StaticText::UpdateSelf(float dt)
{
    if (layoutDirty) {
        layoutDirty = false;
        Layout();
    }
    Widget::UpdateSelf(dt);
}

bool StaticText::IsUpdateIdle() const { return !layoutDirty && Widget::IsUpdateIdle(); }

void StaticText::MarkLayoutDirty()
{
    layoutDirty = true;
    WakeUpdate();
}

void StaticText::Initialize()
{
    Widget::Initialize();
    hScrollbar.Bind(dynamic_cast<Scrollbar*>(FindChild("_auto_hscroll", true)));
    if (Scrollbar* bar = hScrollbar) {
        bar->SetParent(this);
        hScrollbar.Subscribe(EventPositionChanged, &m_horzScroll);
        bar->SetPageSize(float(area.width));
    }
    vScrollbar.Bind(dynamic_cast<Scrollbar*>(FindChild("_auto_vscroll", true)));
    if (Scrollbar* bar = vScrollbar) {
        bar->SetParent(this);
        vScrollbar.Subscribe(EventPositionChanged, &m_vertScroll);
        bar->SetPageSize(float(area.height));
    }
    scrollX = scrollY = 0.0f;
    // The bars learn the text's size from the next layout.
    if (hScrollbar || vScrollbar)
        MarkLayoutDirty();
}

bool StaticText::OnHorzScroll(const EventArgs&)
{
    if (const Scrollbar* bar = hScrollbar)
        scrollX = bar->position;
    return true;
}

bool StaticText::OnVertScroll(const EventArgs&)
{
    if (const Scrollbar* bar = vScrollbar)
        scrollY = bar->position;
    return true;
}

void StaticText::OnFontChanged(const WidgetEventArgs& args)
{
    MarkLayoutDirty();
    Widget::OnFontChanged(args);
}

void StaticText::OnSized(const WidgetEventArgs& args)
{
    MarkLayoutDirty();
    if (Scrollbar* bar = hScrollbar)
        bar->SetPageSize(float(area.width));
    if (Scrollbar* bar = vScrollbar)
        bar->SetPageSize(float(area.height));
    Widget::OnSized(args);
}

void StaticText::OnTextChanged(const WidgetEventArgs& args)
{
    aFont* const defaultFont = GetFont(true);
    std::uint32_t color = kWidgetColor;
    float size = 1.0f;
    aFont* font = defaultFont;
    std::uint32_t count = 0;
    bool textSeen = false;
    markup.parse(text);
    text.clear();
    styleRuns.clear();
    if (markup.isPlainText()) {
        text = markup.getText();
    } else {
        for (markup.first(); !markup.isEnd(); markup.next()) {
            if (markup.isText()) {
                const std::wstring& run = markup.getText();
                count += std::uint32_t(std::count_if(run.begin(), run.end(), [](wchar_t c) { return !isBreak(c); }));
                text += run;
                textSeen = true;
                continue;
            }
            const std::wstring key = markup.getKey(), value = markup.getValue();
            const bool given = !value.empty() && value != L"default";
            if (key == L"color") {
                color = kWidgetColor;
                wchar_t* end = nullptr;
                const unsigned long v = given ? std::wcstoul(value.c_str(), &end, 16) : 0;
                if (given && end != value.c_str())
                    color = std::uint32_t(v);
            } else if (key == L"size") {
                size = 1.0f;
                wchar_t* end = nullptr;
                const float v = given ? std::wcstof(value.c_str(), &end) : 1.0f;
                // Infinite or NaN sizes would poison every later position.
                if (given && end != value.c_str() && std::isfinite(v))
                    size = v;
            } else if (key == L"font") {
                font = defaultFont;
                if (given) {
                    const Server* s = Server::getSingletonPtr();
                    if (aFont* found = s ? s->GetFont(str_wideToUtf8(value)) : nullptr)
                        font = found;
                }
            } else {
                continue;
            }
            if (!textSeen && !styleRuns.empty()) {
                styleRuns.back() = StyleRun{styleRuns.back().charIndex, color, size, font};
            } else {
                styleRuns.push_back(StyleRun{count, color, size, font});
                textSeen = false;
            }
        }
    }
    markup.clear();
    MarkLayoutDirty();
    Widget::OnTextChanged(args);
}

void StaticText::Layout()
{
    aFont* const own = GetFont(true);
    if (!own) {
        if (!text.empty() && !m_noFontLogged) {
            a_log("StaticText '%s' has no font of its own: its text is not shown", name.c_str());
            m_noFontLogged = true;
        }
        return;
    }
    const float base = GetFontSize(true);
    own->setScale(base);
    own->setAngle(0.0f);
    ++m_placeStamp;
    textWidth = textHeight = shortenedWidth = 0.0f;
    lineCount = 0;
    const bool wrap = horzFormatting == FORMAT_WIDTH || wordWrap;
    const float width = float(area.width);
    const std::size_t n = text.size();
    // Past the end, or a space, CR or LF.
    const auto breaksAt = [this, n](std::size_t k) { return k >= n || isBreak(text[k]); };
    auto nextWord = words.begin();
    RunCursor lineRuns{styleRuns.begin(), styleRuns.end()};
    std::uint32_t count = 0;  // characters other than space, CR and LF before `start`

    for (std::size_t start = 0; start < n;) {
        lineRuns.advance(count);
        // Measure until a line break or, with wrapping, the overflow.
        RunCursor runs = lineRuns;
        Metrics m(runs.current, own, base);
        std::uint32_t seenChars = count;
        m_advances.clear();
        float w = 0.0f, breakWidth = 0.0f;
        std::size_t i = 0, breakAt = 0;
        std::uint32_t spaces = 0, breakSpaces = 0;
        bool wordSeen = false, hasBreak = false, overflow = false;
        for (; start + i < n && !isLineBreak(text[start + i]); ++i) {
            const wchar_t c = text[start + i];
            if (c == L' ') {
                runs.advance(seenChars);
                m = Metrics(runs.current, own, base);
            }
            const float a = m.advance(c, i == 0);
            if (wrap && w + a > width && breakAt < i) {
                overflow = true;
                break;
            }
            if (c == L' ') {
                if (wordSeen && text[start + i - 1] != L' ') {
                    breakAt = i;
                    breakWidth = w;
                    breakSpaces = spaces;
                    hasBreak = true;
                }
                spaces += wordSeen;
            } else {
                wordSeen = true;
                ++seenChars;
            }
            w += a;
            m_advances.push_back(a);
        }
        std::size_t end = i;
        // Where the overflow cuts a word: the word moves to the next line
        // whole when it fits there; one too wide for any line breaks after a
        // '/' (a path between its folders), its piece moving on when it fits
        // a line. A piece that fits none is shortened in the middle when the
        // widget asks for it, else cut where the line ends.
        std::size_t elideFrom = n, elideTo = n;
        const wchar_t* ellipsis = L"";
        float ellipsisWidth = 0.0f;
        if (overflow && !breaksAt(start + i)) {
            const std::size_t at = start + i;
            std::size_t ws = at;
            while (ws > start && !isBreak(text[ws - 1]))
                --ws;
            // A word that starts the line overflowed it alone: it fits none.
            bool wordFits = false;
            if (ws > start) {
                std::size_t we = at;
                while (!breaksAt(we))
                    ++we;
                const float sizeFactor = runs.current ? runs.current->size : 1.0f;
                wordFits = own->getStringSize(text.substr(ws, we - ws)).first * sizeFactor < width;
            }
            // No break after the word's leading slashes and opening marks, nor
            // before a closing mark or another '/'.
            std::size_t name = ws;
            while (name < at && (text[name] == L'/' || isOpening(text[name])))
                ++name;
            const auto pieceEnds = [&](std::size_t k) {
                return breaksAt(k) || (!wordFits && k > name + 1 && text[k - 1] == L'/' && text[k] != L'/' &&
                                       !isClosing(text[k]));
            };
            std::size_t ps = at;
            while (ps > ws && !pieceEnds(ps))
                --ps;
            float lead = 0.0f;
            for (std::size_t k = start; k < ps; ++k)
                lead += m_advances[k - start];
            // The piece's ink alone on a line, measured no further than the line.
            std::size_t pe = ps + 1;
            float pieceWidth = m.advance(text[ps], true);
            for (; !pieceEnds(pe) && pieceWidth - m.trail(text[pe - 1]) < width; ++pe)
                pieceWidth += m.advance(text[pe], false);
            const bool pieceFits = pieceEnds(pe) && pieceWidth - m.trail(text[pe - 1]) < width;
            if (ps > start && (ps > ws || hasBreak) && (wordFits || pieceFits || shortenNames)) {
                if (ps > ws) {
                    end = ps - start;
                    w = lead;
                } else {
                    end = breakAt;
                    w = breakWidth;
                    spaces = breakSpaces;
                }
                overflow = false;
            } else if (shortenNames && !pieceEnds(ps + 1)) {
                // Alone on its line (after any leading spaces): whole where its
                // ink fits, else both ends kept, as much of each as fits
                // around the ellipsis.
                for (; !pieceEnds(pe); ++pe)
                    pieceWidth += m.advance(text[pe], false);
                for (std::size_t k = start + m_advances.size(); k < pe; ++k)
                    m_advances.push_back(m.advance(text[k], false));
                end = pe - start;
                overflow = false;
                w = lead;
                for (std::size_t k = ps; k < pe; ++k)
                    w += m_advances[k - start];
                if (w - m.trail(text[pe - 1]) > width) {
                    ellipsis = m.ellipsis();
                    for (const wchar_t* e = ellipsis; *e; ++e)
                        ellipsisWidth += m.advance(*e, false);
                    const float room = width - lead - ellipsisWidth;
                    const float ellipsisTrail = m.trail(ellipsis[std::wcslen(ellipsis) - 1]);
                    const auto fits = [&](float headWidth, float tailWidth, bool hasTail) {
                        return headWidth + tailWidth - (hasTail ? m.trail(text[pe - 1]) : ellipsisTrail) <= room;
                    };
                    std::size_t head = ps + 1, tail = pe;
                    float headWidth = m_advances[ps - start], tailWidth = 0.0f;
                    while (tail - head > 1) {
                        const float toHead = m_advances[head - start], toTail = m_advances[tail - 1 - start];
                        const bool headFits = fits(headWidth + toHead, tailWidth, tail < pe);
                        const bool tailFits = fits(headWidth, tailWidth + toTail, true);
                        if (headFits && (headWidth <= tailWidth || !tailFits)) {
                            headWidth += toHead;
                            ++head;
                        } else if (tailFits) {
                            tailWidth += toTail;
                            --tail;
                        } else {
                            break;
                        }
                    }
                    elideFrom = head;
                    elideTo = tail;
                    w = lead + headWidth + ellipsisWidth + tailWidth;
                    shortenedWidth = std::max(shortenedWidth, pieceWidth - m.trail(text[pe - 1]));
                }
            }
        }
        // A cut word never leaves one character, nor only closing marks,
        // alone on the next line.
        if (overflow && end > 1 && !breaksAt(start + end) && text[start + end - 1] != L' ') {
            std::size_t back = breaksAt(start + end + 1) ? end - 1 : end;
            // A few marks, as after a quoted name ("),"); a word of them is cut as any.
            std::size_t k = start + back;
            for (int marks = 0; marks < 3 && !breaksAt(k) && isClosing(text[k]); ++marks)
                ++k;
            if (breaksAt(k))
                while (back > 0 && isClosing(text[start + back]))
                    --back;
            if (back > 0 && text[start + back - 1] != L' ')
                for (; end > back; --end)
                    w -= m_advances[end - 1];
        }
        const bool lastOfParagraph = start + end >= n || isLineBreak(text[start + end]);
        const float extra = horzFormatting == FORMAT_WIDTH && spaces > 0 && width > w && !lastOfParagraph
                                ? (width - w) / float(spaces)
                                : 0.0f;
        float x = 0.0f;
        if (horzFormatting == FORMAT_CENTER)
            x = (width - w) * 0.5f;
        else if (horzFormatting == FORMAT_RIGHT)
            x = width - w;

        if (lines.size() <= lineCount)
            lines.emplace_back();
        Line& line = lines[lineCount];
        line.wordCount = 0;
        line.firstWord = nextWord;
        line.firstChar = count;
        // Place the words; the line's height follows the styles in force on it.
        runs = lineRuns;
        m = Metrics(runs.current, own, base);
        float lineFontHeight = m.fontHeight, lineScale = m.scale;
        Word* word = nullptr;
        bool lineWordSeen = false;
        for (std::size_t k = 0; k < end; ++k) {
            const wchar_t c = text[start + k];
            // A shortened name ends its line: no word after it counts on its length.
            if (start + k == elideFrom) {
                word->text += ellipsis;
                count += std::uint32_t(elideTo - elideFrom);
                x += ellipsisWidth;
                k = elideTo - start - 1;
                continue;
            }
            if (c == L' ') {
                runs.advance(count);
                m = Metrics(runs.current, own, base);
                lineFontHeight = std::max(lineFontHeight, m.fontHeight);
                lineScale = std::max(lineScale, m.scale);
                if (lineWordSeen)
                    x += extra;
                word = nullptr;
            } else {
                if (!word) {
                    if (nextWord == words.end())
                        nextWord = words.emplace(words.end());
                    if (line.wordCount++ == 0)
                        line.firstWord = nextWord;
                    word = &*nextWord++;
                    // The font draws a word's first glyph without its lead-in,
                    // which the advance above holds: the word starts past it.
                    word->x = k > 0 ? x + m.preAdvance(c) : x;
                    word->text.clear();
                    lineWordSeen = true;
                }
                word->text.push_back(c);
                ++count;
            }
            x += m_advances[k];
        }
        lineRuns = runs;
        line.height = lineFontHeight * lineScale;
        textHeight += line.height;
        ++lineCount;
        textWidth = std::max(textWidth, w);

        std::size_t next = start + end;
        if (next < n && text[next] == L'\r') {
            ++next;
            if (next < n && text[next] == L'\n')
                ++next;
        } else if (next < n && text[next] == L'\n') {
            ++next;
        } else {
            while (next < n && text[next] == L' ')
                ++next;
        }
        start = std::max(next, start + 1);
    }
    if (lineCount > 0)
        textHeight += float(lineCount - 1) * lineSpacing;
    if (Scrollbar* bar = hScrollbar)
        bar->SetTotalSize(textWidth);
    if (Scrollbar* bar = vScrollbar)
        bar->SetTotalSize(textHeight);
}

void StaticText::DrawSelf()
{
    aFont* const own = GetFont(true);
    if (!own || lineCount == 0)
        return;
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    const aRect box = GetAbsoluteRect();
    // Clipped only across the directions that scroll.
    const bool clip = gs && (hScrollbar || vScrollbar);
    const aRect kept = gs ? gs->m_viewport : aRect();
    if (clip) {
        const bool h = hScrollbar, v = vScrollbar;
        const aRect reach(h ? box.x : 0, v ? box.y : 0, h ? box.width : gs->m_backBufferWidth,
                          v ? box.height : gs->m_backBufferHeight);
        gs->setViewport(kept.getIntersection(reach));
    }
    const float base = GetFontSize(true);
    Color c = IsEnabled() ? normalColor : disabledColor;
    c.a *= GetAlpha();
    const std::uint32_t widgetColor = PackColor(c);

    // Whole lines scroll: the first line drawn is the one scrollY reaches.
    std::uint32_t first = 0;
    const float pitch = textHeight / float(lineCount) + lineSpacing;
    if (pitch > 0.0f && scrollY > 0.0f) {
        const float f = scrollY / pitch;
        first = f < float(lineCount) ? std::uint32_t(f) : lineCount - 1;
    }
    float top = float(box.y);
    if (vertFormatting == FORMAT_CENTER)
        top += (float(box.height) - textHeight) * 0.5f;
    else if (vertFormatting == FORMAT_BOTTOM)
        top += float(box.height) - textHeight;

    const PlaceKey key{box.x, scrollX, top, first, drawFlags};
    if (!(key == m_placeKey)) {
        m_placeKey = key;
        ++m_placeStamp;
    }

    RunCursor runs{styleRuns.begin(), styleRuns.end()};
    aFont* font = nullptr;
    const StyleRun* applied = nullptr;
    float dy = 0.0f;
    for (std::uint32_t li = first; li < lineCount && dy < float(box.height); ++li) {
        const Line& line = lines[li];
        std::uint32_t chars = line.firstChar;
        auto word = line.firstWord;
        for (std::uint32_t k = 0; k < line.wordCount; ++k, ++word) {
            runs.advance(chars);
            if (!font || runs.current != applied) {
                applied = runs.current;
                font = applied && applied->font ? applied->font : own;
                font->color = !applied || applied->color == kWidgetColor ? widgetColor : applied->color;
                font->setScale((applied ? applied->size : 1.0f) * base);
                font->setAngle(0.0f);
            }
            if (word->placedStamp != m_placeStamp || !font->keeps(word->placed)) {
                font->place(word->placed, word->x + float(box.x) - scrollX, top + dy, word->text,
                            std::uint8_t(drawFlags));
                word->placedStamp = m_placeStamp;
            }
            font->drawPlaced(word->placed);
            chars += std::uint32_t(word->text.size());
        }
        dy += line.height + lineSpacing;
    }
    if (clip)
        gs->setViewport(kept);
}

} // namespace GUI
