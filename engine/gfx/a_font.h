#pragma once
// Bitmap fonts: wide text measured and drawn glyph by glyph from one
// texture, described by a font file (see a_font_data_loader.h). Scale, angle
// and colour are per-font state that every caller sets before it draws.
// Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/gfx/a_font_data_loader.h"
#include "engine/gfx/a_gdi.h"

// Flags of aFont::drawString. Without alignment bits (x, y) is the top-left
// corner of the first glyph's line.
enum aFontDrawFlags : std::uint8_t {
    FONT_CENTER_X = 1,
    FONT_RIGHT = 2,     // wins over FONT_CENTER_X
    FONT_CENTER_Y = 4,
    FONT_BOTTOM = 8,    // wins over FONT_CENTER_Y
    FONT_SNAP = 16,     // glyph positions on whole pixels
};

// The drawing object fonts draw underlines through, made by the first font
// and kept until exit; other drawing code may use it too.
extern std::shared_ptr<aGDI> g_gdi;

class aFont {
public:
    // The description is read when the extension is exactly "ini"; any other
    // font has no loader: it measures (0, 0) and draws nothing.
    explicit aFont(const std::string& path);

    // v >= 0: the factor itself; v < 0: a pixel height (-v / font height;
    // 0 for a font without glyphs).
    void setScale(float v);
    float getScale() const { return m_scale; }
    float getScaleFactor() const { return m_scaleFactor; }
    // Radians; positive turns the text counter-clockwise on screen.
    void setAngle(float angle);
    float getAngle() const { return m_angle; }

    // Unscaled; 0 (and an assertion line in the log) without a loader.
    float getFontHeight() const;
    // Scaled (width, height). '_' is the underline marker when the font
    // underlines and takes no room.
    std::pair<float, float> getStringSize(const std::wstring& text) const;
    // Narrow text is Windows-1251.
    std::pair<float, float> getStringSize(const std::string& text) const;

    void drawString(float x, float y, const std::wstring& text, std::uint8_t flags);
    void drawString(float x, float y, const std::string& text, std::uint8_t flags);
    void drawString(float x, float y, const char* text, std::uint8_t flags);

    // A text placed as drawString places it, kept by a caller that draws the
    // same text every frame: drawn again from it while the caller's text,
    // position and flags stay as they were and the font keeps it.
    class Placed {
        friend class aFont;
        // The glyphs up to `end` go to the texture as one run; then the
        // underline, when there is one.
        struct Segment {
            std::size_t end = 0;
            bool underline = false;
            float quad[8] = {};
            mutable platform::KeptRun run;  // the device's quads of the glyphs
        };
        std::vector<platform::SpritePart> m_glyphs;
        std::vector<Segment> m_segments;
        const aFont* m_font = nullptr;
        std::uint32_t m_generation = 0;
        float m_scaleFactor = 0.0f;
        float m_angle = 0.0f;
    };
    // Replaces what `out` held with the text placed by this font's scale and
    // angle as they are now.
    void place(Placed& out, float x, float y, const std::wstring& text, std::uint8_t flags) const;
    // True when `placed` came from this font, its glyphs and its scale and
    // angle as they are now.
    bool keeps(const Placed& placed) const
    {
        return placed.m_font == this && placed.m_generation == generation() &&
               placed.m_scaleFactor == m_scaleFactor && placed.m_angle == m_angle;
    }
    // Draws in `color` as it is now; only what keeps() accepts.
    void drawPlaced(const Placed& placed) const;

    aFontDataLoader* getLoader() const { return m_loader.get(); }

    std::uint32_t color = 0xFFFFFFFF;  // ARGB of the glyphs

private:
    // A text's glyphs and advances along its line, unscaled and without a
    // position: the same for every frame that draws or measures the text.
    struct ShapedGlyph {
        aRect rect;
        float before = 0.0f;  // advance before the glyph, applied when hasBefore
        float after = 0.0f;   // advance after it
        bool hasBefore = false;
        bool underlined = false;  // an underline runs from before the glyph to after it
    };
    struct Shape {
        std::wstring text;
        std::vector<ShapedGlyph> glyphs;
        float width = 0.0f;  // unscaled, as getStringSize adds it up
        std::size_t hash = 0;
        bool used = false;
    };
    // The text's shape, from the texts shaped lately or made now. Valid
    // until the next call.
    const Shape& shape(const std::wstring& text) const;
    void shapeInto(Shape& out, const std::wstring& text) const;
    std::uint32_t generation() const { return m_loader ? m_loader->generation() : 0; }
    // keepRuns: the device keeps its quads of each glyph run in `placed`.
    void draw(const Placed& placed, bool keepRuns) const;

    std::shared_ptr<aFontDataLoader> m_loader;
    // Two-way sets, the set picked by the text's hash; made on first use and
    // emptied when the loader's glyphs change.
    static constexpr std::size_t kShapeSets = 128;
    mutable std::vector<Shape> m_shapes;
    mutable std::vector<std::uint8_t> m_shapeRecent;  // per set: the way used last
    mutable std::uint32_t m_shapesGeneration = 0;
    float m_scale = 1.0f;
    float m_angle = 0.0f;
    float m_charSpacing = 0.0f;
    float m_scaleFactor = 1.0f;
    float m_underlineDY = 0.0f;
    float m_underlineThickness = 1.0f;
    std::uint32_t m_underlineColor = 0xFFFFFFFF;
    float m_cosAngle = 1.0f;
    float m_sinAngle = 0.0f;
};
