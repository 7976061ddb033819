#pragma once
// A block of text: the widget's text laid out into lines (line breaks,
// word wrap, left, centred, right or justified lines, top, centred or
// bottom block, extra line spacing), with inline tags that change colour,
// size and font from a character on ("<#color=ff0000#>", "<#size=1.5#>",
// "<#font=Large#>"; an empty value or "default" goes back to the widget's
// own), scrolled by two optional scroll bar children ("_auto_hscroll",
// "_auto_vscroll"). Only the widget's own font counts: without one
// nothing is laid out or drawn.
//
// Wrapping breaks at spaces; a word too wide for a line breaks after a '/'
// (a path between its folders), and only where no line starts with a
// closing mark ('"', '.', ','); a piece too wide even so is cut where the
// line ends, or shortened (SetShortenNames).
//
// Style runs take effect at the start of a line and at each space, so a
// word never changes style half-way. The layout is lazy: changes mark it
// dirty and the next update (or GetTextHeight) lays out once.
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "engine/gfx/a_font.h"
#include "engine/gui/a_tag_parser.h"
#include "engine/gui/gui_color.h"
#include "engine/gui/gui_scrollbar.h"
#include "engine/gui/gui_widget.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

class StaticText : public Widget {
public:
    // One numbering for both directions.
    enum Formatting : std::int32_t {
        FORMAT_CENTER = 0,
        FORMAT_LEFT = 1,
        FORMAT_RIGHT = 2,
        FORMAT_TOP = 3,
        FORMAT_BOTTOM = 4,
        FORMAT_WIDTH = 5,  // justified; wraps even without WordWrap
    };
    // The colour of a style run that means the widget's own colour.
    static constexpr std::uint32_t kWidgetColor = 1;

    struct StyleRun {
        std::uint32_t charIndex;  // characters other than space, CR and LF before the run
        std::uint32_t color;      // 0xAARRGGBB, or kWidgetColor
        float size;               // times the widget's FontSize
        aFont* font;              // not owned; null: the widget's own
    };
    struct Word {
        std::wstring text;  // no spaces; a shortened name holds its ellipsis
        float x = 0.0f;     // left edge, relative to the widget
        // As last drawn, while placedStamp is the widget's.
        aFont::Placed placed;
        std::uint64_t placedStamp = 0;
    };
    struct Line {
        std::list<Word>::iterator firstWord;
        std::uint32_t wordCount = 0;
        float height = 0.0f;
        std::uint32_t firstChar = 0;  // characters other than space, CR and LF before the line
    };

    explicit StaticText(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "StaticText"; }
    bool IsA(const std::string& type) const override { return type == "StaticText"; }
    void Initialize() override;
    void DrawSelf() override;
    // Lays out when dirty (0 lays a new text out at once).
    void UpdateSelf(float dt) override;
    bool IsUpdateIdle() const override;
    // Splits the tags off the text into style runs.
    void OnTextChanged(const WidgetEventArgs& args) override;
    void OnFontChanged(const WidgetEventArgs& args) override;
    void OnSized(const WidgetEventArgs& args) override;
    virtual bool OnHorzScroll(const EventArgs& args);
    virtual bool OnVertScroll(const EventArgs& args);

    // 0xAARRGGBB; no relayout.
    void SetTextColor(std::uint32_t argb) { normalColor = UnpackColor(argb); }
    void SetDisabledTextColor(std::uint32_t argb) { disabledColor = UnpackColor(argb); }
    // Each marks the layout dirty when the value changes.
    void SetHorzFormatting(std::int32_t f);
    void SetVertFormatting(std::int32_t f);
    void SetWordWrap(bool on);
    void SetLineSpacing(float pixels);
    void SetSnapToPixels(bool on) { drawFlags = on ? 16 : 0; }
    // A name wider than the widget (a word, or a path's piece between its
    // '/'s) shown shortened in the middle with an ellipsis, not cut across
    // lines: for texts whose whole wording is kept elsewhere, as in a log.
    void SetShortenNames(bool on);
    // The laid-out height; with a vertical scroll bar at most the widget's.
    float GetTextHeight();

    aTagParser<wchar_t> markup;
    std::list<StyleRun> styleRuns;
    std::list<Word> words;     // records reused by each layout; only grows
    std::vector<Line> lines;   // only grows; lineCount are in use
    std::uint32_t lineCount = 0;
    float textHeight = 0.0f;
    float textWidth = 0.0f;
    // The whole width of the widest name the layout shortened; 0: none was.
    float shortenedWidth = 0.0f;
    bool layoutDirty = false;
    float scrollX = 0.0f, scrollY = 0.0f;
    ChildLink<Scrollbar> hScrollbar, vScrollbar;
    std::int32_t horzFormatting = FORMAT_LEFT;
    std::int32_t vertFormatting = FORMAT_TOP;
    std::uint32_t drawFlags = 16;  // aFont::drawString flags: whole pixels
    bool wordWrap = true;
    bool shortenNames = false;
    float lineSpacing = 0.0f;      // extra pixels between lines, not scaled
    Color normalColor, disabledColor;

    Property pTextNormalColor, pTextDisabledColor, pHorzFormatting, pVertFormatting, pLineSpacing, pWordWrap;

private:
    void Layout();
    void MarkLayoutDirty();

    MemberSubscriber<StaticText> m_horzScroll{this, &StaticText::OnHorzScroll};
    MemberSubscriber<StaticText> m_vertScroll{this, &StaticText::OnVertScroll};
    std::vector<float> m_advances;  // of the line being laid out, kept for its capacity
    // Where the words were placed from besides the layout: a new layout or
    // a change here takes a new stamp, and words of an older one are placed
    // again.
    struct PlaceKey {
        std::int32_t boxX = 0;
        float scrollX = 0.0f, top = 0.0f;
        std::uint32_t first = 0;
        std::uint32_t drawFlags = 0;
        bool operator==(const PlaceKey& o) const
        {
            return boxX == o.boxX && scrollX == o.scrollX && top == o.top && first == o.first &&
                   drawFlags == o.drawFlags;
        }
    };
    PlaceKey m_placeKey;
    std::uint64_t m_placeStamp = 1;
    bool m_noFontLogged = false;
};

} // namespace GUI
