#pragma once
// Bitmap fonts: wide text measured and drawn glyph by glyph from one
// texture, described by a font file (see a_font_data_loader.h). Scale, angle
// and colour are per-font state that every caller sets before it draws.
// Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

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

    aFontDataLoader* getLoader() const { return m_loader.get(); }

    std::uint32_t color = 0xFFFFFFFF;  // ARGB of the glyphs

private:
    std::shared_ptr<aFontDataLoader> m_loader;
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
