#include "engine/gfx/a_font_data_loader.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"

namespace {

D3DFORMAT formatFromNumber(int number)
{
    switch (number) {
    case 4444:
        return D3DFMT_A4R4G4B4;
    case 565:
        return D3DFMT_R5G6B5;
    case 1555:
        return D3DFMT_A1R5G5B5;
    case 8888:
        return D3DFMT_A8R8G8B8;
    default:
        return D3DFMT_UNKNOWN;
    }
}

// Pixel amounts from data: finite and within what 16-bit positions can
// use, so that layout never produces infinities.
float pixels(float v)
{
    if (!std::isfinite(v))
        return 0.0f;
    return std::clamp(v, -32768.0f, 32767.0f);
}

float readPixels(const std::string& text)
{
    float v = 0.0f, unused = 0.0f;
    str_parseVec2(text, v, unused);
    return pixels(v);
}

// A hexadecimal number as "%X" reads it; false when the text has none.
bool readHex(const char*& p, unsigned long& out)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(p, &end, 16);
    if (end == p)
        return false;
    out = errno == ERANGE ? 0xFFFFFFFFul : v;
    p = end;
    return true;
}

bool readInteger(const char*& p, long long& out)
{
    char* end = nullptr;
    const long long v = std::strtoll(p, &end, 10);
    if (end == p)
        return false;
    out = v;
    p = end;
    return true;
}

std::string trimRight(const std::string& text)
{
    const std::size_t end = text.find_last_not_of(" \t");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

bool kernedBefore(const std::pair<wchar_t, float>& pair, wchar_t c) { return pair.first < c; }

} // namespace

float aFontChar::getKerning(wchar_t previous) const
{
    const auto it = std::lower_bound(kerning.begin(), kerning.end(), previous, kernedBefore);
    return it != kerning.end() && it->first == previous ? it->second : 0.0f;
}

void aFontChar::setKerning(wchar_t previous, float advance)
{
    const auto it = std::lower_bound(kerning.begin(), kerning.end(), previous, kernedBefore);
    if (it != kerning.end() && it->first == previous)
        it->second = advance;
    else
        kerning.insert(it, {previous, advance});
}

const aFontChar* aFontDataLoader::getChar(wchar_t c) const
{
    if (c >= 0 && std::size_t(c) < m_indexed.size())
        return m_indexed[std::size_t(c)];
    const auto it = chars.find(c);
    return it == chars.end() ? nullptr : &it->second;
}

const aFontChar& aFontDataLoader::getCharInfo(wchar_t c) const
{
    static const aFontChar kNone;
    const aFontChar* found = getChar(c);
    return found ? *found : kNone;
}

void aFontDataLoader::indexChars()
{
    static std::atomic<std::uint32_t> indexings{0};
    m_generation = ++indexings;
    m_indexed.assign(std::size_t(kIndexed), nullptr);
    for (const auto& [code, glyph] : chars)
        if (code >= 0 && code < kIndexed)
            m_indexed[std::size_t(code)] = &glyph;
}

aFontDataLoaderINI::aFontDataLoaderINI(const std::string& path) { load(path); }

void aFontDataLoaderINI::load(const std::string& path)
{
    // On every way out, glyphs read or not.
    struct Index {
        aFontDataLoaderINI* loader;
        ~Index() { loader->indexChars(); }
    };
    const Index index{this};
    aOptionsFile ini(path);
    chars.clear();
    fontHeight = 0.0f;
    texture.reset();

    int format16 = 0, format32 = 0;
    std::string textureName;
    const bool read = !ini.sections().empty();
    if (read && !ini.selectSection("General")) {
        a_log("aFont. No [General] section in %s", path.c_str());
    } else if (read) {
        textureName = trimRight(ini.getString("Texture"));
        format16 = ini.getInt("Format16");
        format32 = ini.getInt("Format32");
        charSpacing = readPixels(ini.getString("CharSpacing"));
        if (ini.hasKey("UnderlineDY"))
            underlineDY = readPixels(ini.getString("UnderlineDY"));
        if (ini.hasKey("UnderlineThickness"))
            underlineThickness = readPixels(ini.getString("UnderlineThickness"));
        if (ini.hasKey("UnderlineColor")) {
            const std::string text = ini.getString("UnderlineColor");
            const char* p = text.c_str();
            unsigned long color = 0;
            if (readHex(p, color))
                underlineColor = std::uint32_t(color);
        }
    }
    const D3DFORMAT f16 = formatFromNumber(format16), f32 = formatFromNumber(format32);
    if (f16 == D3DFMT_UNKNOWN || f32 == D3DFMT_UNKNOWN)
        a_log("aFont. Unknown texture format: %s", path.c_str());
    if (!textureName.empty())
        texture = std::make_shared<aImage>(file_getDirectory(path) + textureName, f16, f32);
    if (!read)
        return;

    if (!ini.selectSection("Charlist")) {
        a_log("aFont. No [Charlist] section in %s", path.c_str());
        return;
    }
    for (ini.firstKey(); !ini.isKeysEnd(); ini.nextKey()) {
        const std::string key = ini.getKeyName();
        const char* k = key.c_str();
        unsigned long code = 0;
        if (!readHex(k, code)) {
            a_log("aFont. Bad character code \"%s\" in %s", key.c_str(), path.c_str());
            continue;
        }
        if (code >= 0x10000)
            continue;
        // Missing numbers read 0, as the scanf the format was made for does.
        const std::string value = ini.getKeyValue();
        const char* p = value.c_str();
        long long v[4] = {0, 0, 0, 0};
        int n = 0;
        while (n < 4 && readInteger(p, v[n]))
            ++n;
        aFontChar glyph;
        if (n == 4)
            str_parseVec2(p, glyph.preAdvance, glyph.postAdvance);
        bool inRange = v[2] >= 0 && v[3] >= 0;
        for (long long x : v)
            inRange = inRange && x >= -32768 && x <= 32767;
        if (!inRange) {
            a_log("aFont. Bad rectangle of character %lX in %s", code, path.c_str());
            continue;
        }
        glyph.rect = aRect(std::int16_t(v[0]), std::int16_t(v[1]), std::uint16_t(v[2]), std::uint16_t(v[3]));
        glyph.preAdvance = pixels(glyph.preAdvance);
        glyph.postAdvance = pixels(glyph.postAdvance);
        fontHeight = std::max(fontHeight, float(glyph.rect.height));
        chars[wchar_t(code)] = glyph;
    }

    if (!ini.selectSection("KerningPairs"))
        return;
    for (ini.firstKey(); !ini.isKeysEnd(); ini.nextKey()) {
        const std::string value = ini.getKeyValue();
        const char* p = value.c_str();
        unsigned long first = 0, second = 0;
        float amount = 0.0f, unused = 0.0f;
        if (!readHex(p, first) || !readHex(p, second) || str_parseVec2(p, amount, unused) < 1) {
            a_log("aFont. Bad kerning pair \"%s\" in %s", value.c_str(), path.c_str());
            continue;
        }
        const auto glyph = chars.find(wchar_t(second & 0xFFFF));
        if (glyph != chars.end())
            glyph->second.setKerning(wchar_t(first & 0xFFFF), pixels(amount));
    }
}
