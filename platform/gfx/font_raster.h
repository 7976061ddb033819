#pragma once
// Fonts for the device's text drawing: face matching through fontconfig,
// glyph rasterising through FreeType into 8-bit coverage, and the layout of
// DrawTextA. Nothing here touches the GPU; the device packs the bitmaps into
// its own atlas. Not thread-safe: one thread uses a FontRaster at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/system/cp1251.h"
#include "platform/system/win_types.h"

// DrawText format bits (the numbers callers pass).
constexpr std::uint32_t DT_TOP = 0x0000;
constexpr std::uint32_t DT_LEFT = 0x0000;
constexpr std::uint32_t DT_CENTER = 0x0001;
constexpr std::uint32_t DT_RIGHT = 0x0002;
constexpr std::uint32_t DT_VCENTER = 0x0004;
constexpr std::uint32_t DT_BOTTOM = 0x0008;
constexpr std::uint32_t DT_SINGLELINE = 0x0020;
constexpr std::uint32_t DT_NOCLIP = 0x0100;
constexpr std::uint32_t DT_CALCRECT = 0x0400;

constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

namespace platform {

// The parts of a LOGFONTA that matter here.
struct FontRequest {
    // < 0: character height (em size) in pixels; > 0: cell height
    // (ascent + descent); 0: a default of 16 pixels cell height.
    int height = 0;
    int weight = FW_NORMAL;  // >= 600 asks for bold
    bool italic = false;
    std::string faceName;
};

struct GlyphBitmap {
    int width = 0;   // coverage size in pixels (0 x 0 for blanks)
    int height = 0;
    int bearingX = 0;  // bitmap left edge relative to the pen position
    int bearingY = 0;  // bitmap top edge above the baseline (up is positive)
    int advance = 0;   // pen move in whole pixels
    std::vector<std::uint8_t> coverage;  // width * height, top row first
};

// A glyph placed by layout. x/y/width/height are the visible part in
// destination pixels after clipping; srcX/srcY are where that part starts
// inside the glyph's bitmap.
struct PlacedGlyph {
    char32_t codePoint = 0;
    const GlyphBitmap* bitmap = nullptr;  // owned by the FontRaster, stable for its life
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int srcX = 0;
    int srcY = 0;
};

struct TextLayout {
    std::vector<PlacedGlyph> glyphs;  // in text order; blank or fully clipped glyphs left out
    // What DT_CALCRECT hands back: the rect's left and top, right = left +
    // widest line (sum of advances), bottom = top + lines * lineHeight.
    RECT bounds{};
    // Union of the placed glyphs (all zero when none): the drawn extent.
    RECT ink{};
    int lineHeight = 0;
    int lineCount = 0;
    // Height DrawText returns: lines * lineHeight (plus the vertical offset
    // with DT_VCENTER / DT_BOTTOM).
    int height = 0;
};

// Starts the font library's own set-up (reading its configuration and
// caches takes milliseconds) on a thread of its own, so that the first font
// made later finds it done. Once per process; later calls do nothing.
void prepareFontLibrary();

class FontRaster {
public:
    // Matches the face through fontconfig ("Arial" finds a metric-compatible
    // face); a face that cannot be matched falls back to DejaVu Sans and
    // `logText` gets a line naming both. Returns null (with `logText` saying
    // why) only when no usable face exists at all.
    static std::unique_ptr<FontRaster> create(const FontRequest& request, std::string* logText = nullptr);
    ~FontRaster();
    FontRaster(const FontRaster&) = delete;
    FontRaster& operator=(const FontRaster&) = delete;

    const std::string& familyName() const { return family_; }
    const std::string& styleName() const { return style_; }
    const std::string& filePath() const { return path_; }
    bool usedFallback() const { return usedFallback_; }
    bool syntheticBold() const { return synthBold_; }
    bool syntheticItalic() const { return synthItalic_; }

    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int lineHeight() const { return ascent_ + descent_; }
    int pixelSize() const { return ppem_; }  // em size actually used

    // Rasterised once per code point and cached; a code point the face lacks
    // gets the face's missing-glyph shape.
    const GlyphBitmap& glyph(char32_t codePoint);
    // Sum of advances, no kerning (as the text measuring callers expect).
    int lineWidth(std::u32string_view line);

    // DrawTextA layout of Windows-1251 text, or of already-decoded text.
    // Supported format bits: DT_CENTER, DT_RIGHT, DT_VCENTER, DT_BOTTOM (the
    // last two with DT_SINGLELINE only), DT_SINGLELINE, DT_NOCLIP, DT_CALCRECT
    // (no glyphs are placed). Lines break only at '\n'; '\r' and other
    // control characters take no room.
    TextLayout layout(std::string_view text1251, const RECT& rect, std::uint32_t format);
    TextLayout layoutUnicode(std::u32string_view text, const RECT& rect, std::uint32_t format);

private:
    FontRaster() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::unordered_map<char32_t, GlyphBitmap> cache_;
    std::string family_;
    std::string style_;
    std::string path_;
    bool usedFallback_ = false;
    bool synthBold_ = false;
    bool synthItalic_ = false;
    int ascent_ = 0;
    int descent_ = 0;
    int ppem_ = 0;
};

} // namespace platform
