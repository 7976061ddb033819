#pragma once
// Font descriptions: the glyph rectangles of one texture, their advances and
// kerning, the spacing and the underline style. aFontDataLoaderINI reads the
// ini form:
//   [General]      Texture (relative to the ini's folder), Format16,
//                  Format32 (4444, 565, 1555, 8888), CharSpacing, and
//                  optionally UnderlineDY, UnderlineThickness, UnderlineColor
//   [Charlist]     <hex code> = x y width height preAdvance postAdvance
//   [KerningPairs] <any key> = <hex first> <hex second> <advance>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/gfx/a_image.h"
#include "engine/util/a_rect.h"
#include "engine/util/a_root.h"

struct aFontChar {
    aRect rect;                // in the texture; width and height count as unsigned
    float preAdvance = 0.0f;   // before the glyph, unless it starts the text
    float postAdvance = 0.0f;  // after the glyph's width
    // Extra advance before this glyph, keyed by the character before it,
    // sorted by that character: text looks it up for every glyph it draws
    // or measures, and most glyphs have few pairs.
    std::vector<std::pair<wchar_t, float>> kerning;

    float getKerning(wchar_t previous) const;
    // Sets (or replaces) the advance after `previous`.
    void setKerning(wchar_t previous, float advance);
};

class aFontDataLoader : public aRoot {
public:
    aFontDataLoader() = default;
    virtual ~aFontDataLoader() = default;
    aFontDataLoader(const aFontDataLoader&) = delete;
    aFontDataLoader& operator=(const aFontDataLoader&) = delete;

    virtual void load(const std::string& path) = 0;

    // Null when the character has no glyph. Text looks up every glyph of
    // every string each frame: the common ones are indexed directly.
    const aFontChar* getChar(wchar_t c) const;
    // The glyph, or a shared all-zero record when there is none.
    const aFontChar& getCharInfo(wchar_t c) const;

    std::shared_ptr<aImage> texture;  // null when the description names none
    float fontHeight = 0.0f;          // the tallest glyph; 0 without glyphs
    float charSpacing = 0.0f;
    float underlineDY = 0.0f;         // below the line's top, unscaled; 0: no underlining
    float underlineThickness = 1.0f;  // pixels, never scaled
    std::uint32_t underlineColor = 0xFFFFFFFF;  // 0: the text colour
    const std::map<wchar_t, aFontChar>& glyphs() const { return chars; }
    // Changes whenever the glyphs are indexed again, so that what was worked
    // out from them can tell it is stale; never the same for two indexings in
    // the process, so a loader made anew cannot pass for the one before it.
    std::uint32_t generation() const { return m_generation; }

protected:
    // Whoever changes `chars` indexes them again.
    void indexChars();
    std::map<wchar_t, aFontChar> chars;

private:
    static constexpr wchar_t kIndexed = 0x800;  // Latin, Greek, Cyrillic and more
    std::vector<const aFontChar*> m_indexed;    // by code below kIndexed
    std::uint32_t m_generation = 0;
};

class aFontDataLoaderINI : public aFontDataLoader {
public:
    // Loads at once.
    explicit aFontDataLoaderINI(const std::string& path);

    // Bad entries are skipped with a log line naming the file; a missing
    // file or section leaves no glyphs (the options file logs it).
    void load(const std::string& path) override;
};
