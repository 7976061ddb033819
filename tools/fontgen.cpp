// Makes a bitmap font from a TrueType face: <out>.png, an atlas of white
// glyphs with their anti-aliased coverage in alpha, and <out>.ini, the font
// description the engine reads.
//
// Usage: fontgen <font.ttf> <pixel height> <output path without extension> [--underline]
//
// The character set is printable ASCII, U+00A0-U+00FF, U+0400-U+045F and
// every other character of Windows-1251, so any narrow text of the game has
// glyphs. Characters the face lacks are reported on stderr and left out.
// The description has no vertical offset per glyph, so every rectangle is
// one line tall (ascender to descender) with the glyph on its baseline.
// The same inputs always give the same bytes.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include "platform/system/cp1251.h"

namespace {

constexpr int kMaxAtlas = 4096;
constexpr int kGap = 1;  // transparent pixels around every glyph

struct Glyph {
    char32_t code = 0;
    FT_UInt index = 0;
    int width = 0, rows = 0;  // ink
    int left = 0, top = 0;    // bearing from the pen and rise above the baseline
    int advance = 0;
    std::vector<std::uint8_t> coverage;  // rows x width, top row first
    int x = 0, y = 0;                    // in the atlas
};

int usage()
{
    std::fprintf(stderr, "usage: fontgen <font.ttf> <pixel height> <output path without extension> [--underline]\n");
    return 2;
}

// 26.6 fixed point to whole pixels, rounded.
int roundPixels(FT_Pos v) { return int((v + 32) >> 6); }

std::set<char32_t> characterSet()
{
    std::set<char32_t> out;
    for (char32_t c = 0x20; c <= 0x7E; ++c)
        out.insert(c);
    for (char32_t c = 0xA0; c <= 0xFF; ++c)
        out.insert(c);
    for (char32_t c = 0x400; c <= 0x45F; ++c)
        out.insert(c);
    for (int b = 0x80; b <= 0xFF; ++b)
        out.insert(platform::cp1251ToUnicode(static_cast<unsigned char>(b)));
    return out;
}

// Shelf packing in code order: rows of one line height. The atlas height
// for a given width, or -1 when it exceeds the limit.
int pack(std::vector<Glyph>& glyphs, int width, int lineHeight)
{
    int x = kGap, y = kGap;
    for (Glyph& g : glyphs) {
        if (g.width == 0) {
            g.x = g.y = 0;
            continue;
        }
        if (x + g.width + kGap > width) {
            x = kGap;
            y += lineHeight + kGap;
        }
        if (x + g.width + kGap > width)
            return -1;
        g.x = x;
        g.y = y;
        x += g.width + kGap;
    }
    const int height = y + lineHeight + kGap;
    return height > kMaxAtlas ? -1 : height;
}

void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::string*>(context);
    out->append(static_cast<const char*>(data), std::size_t(size));
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

// Writes each file under a temporary name beside it, then renames them all:
// on any failure nothing is left behind.
bool writeFiles(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<std::string> temps;
    bool ok = true;
    for (const auto& [path, bytes] : files) {
        std::string temp = path + ".XXXXXX";
        const int fd = mkstemp(temp.data());
        if (fd < 0) {
            std::fprintf(stderr, "fontgen: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
            ok = false;
            break;
        }
        temps.push_back(temp);
        const bool written = writeAll(fd, bytes) && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
        if (::close(fd) != 0 || !written) {
            std::fprintf(stderr, "fontgen: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
            ok = false;
            break;
        }
    }
    for (std::size_t i = 0; ok && i < temps.size(); ++i) {
        if (std::rename(temps[i].c_str(), files[i].first.c_str()) != 0) {
            std::fprintf(stderr, "fontgen: cannot write %s: %s\n", files[i].first.c_str(), std::strerror(errno));
            ok = false;
        }
    }
    if (!ok)
        for (const std::string& temp : temps)
            std::remove(temp.c_str());
    return ok;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct FreeType {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeType()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5)
        return usage();
    const bool underline = argc == 5;
    if (underline && std::strcmp(argv[4], "--underline") != 0)
        return usage();
    const std::string fontPath = argv[1], outPath = argv[3];
    char* end = nullptr;
    errno = 0;
    const long size = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || errno == ERANGE || outPath.empty())
        return usage();
    if (size <= 0) {
        std::fprintf(stderr, "fontgen: the pixel height must be above 0 (got %ld)\n", size);
        return 1;
    }
    if (size > kMaxAtlas) {
        std::fprintf(stderr, "fontgen: %ld px glyphs do not fit a %d x %d atlas\n", size, kMaxAtlas, kMaxAtlas);
        return 1;
    }

    FreeType ft;
    if (FT_Init_FreeType(&ft.library) != 0 || FT_New_Face(ft.library, fontPath.c_str(), 0, &ft.face) != 0) {
        std::fprintf(stderr, "fontgen: cannot read the font %s\n", fontPath.c_str());
        return 1;
    }
    FT_Face face = ft.face;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)) != 0) {
        std::fprintf(stderr, "fontgen: %s has no %ld px size\n", fontPath.c_str(), size);
        return 1;
    }

    std::vector<Glyph> glyphs;
    for (char32_t code : characterSet()) {
        Glyph g;
        g.code = code;
        g.index = FT_Get_Char_Index(face, code);
        if (g.index == 0) {
            std::fprintf(stderr, "fontgen: the face has no glyph for U+%04X; left out\n", unsigned(code));
            continue;
        }
        if (FT_Load_Glyph(face, g.index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0 ||
            face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
            std::fprintf(stderr, "fontgen: U+%04X does not render; left out\n", unsigned(code));
            continue;
        }
        const FT_Bitmap& bm = face->glyph->bitmap;
        g.width = int(bm.width);
        g.rows = int(bm.rows);
        g.left = face->glyph->bitmap_left;
        g.top = face->glyph->bitmap_top;
        g.advance = roundPixels(face->glyph->advance.x);
        g.coverage.resize(std::size_t(g.width) * std::size_t(g.rows));
        for (int r = 0; r < g.rows; ++r) {
            const int row = bm.pitch >= 0 ? r : g.rows - 1 - r;
            const std::uint8_t* src = bm.buffer + std::ptrdiff_t(row) * std::abs(bm.pitch);
            std::copy(src, src + g.width, g.coverage.begin() + std::ptrdiff_t(r) * g.width);
        }
        glyphs.push_back(std::move(g));
    }
    if (glyphs.empty()) {
        std::fprintf(stderr, "fontgen: %s has none of the characters\n", fontPath.c_str());
        return 1;
    }

    // The line: the face's ascender and descender, widened to hold every ink.
    int ascent = int((face->size->metrics.ascender + 63) >> 6);
    int descent = int((-face->size->metrics.descender + 63) >> 6);
    for (const Glyph& g : glyphs) {
        ascent = std::max(ascent, g.top);
        descent = std::max(descent, g.rows - g.top);
    }
    const int lineHeight = ascent + descent;

    int atlasWidth = 64, atlasHeight = -1;
    for (; atlasWidth <= kMaxAtlas; atlasWidth *= 2) {
        atlasHeight = pack(glyphs, atlasWidth, lineHeight);
        if (atlasHeight > 0 && atlasHeight <= atlasWidth)
            break;
    }
    if (atlasWidth > kMaxAtlas) {
        atlasWidth = kMaxAtlas;
        atlasHeight = pack(glyphs, atlasWidth, lineHeight);
    }
    if (atlasHeight < 0) {
        std::fprintf(stderr, "fontgen: %ld px glyphs do not fit a %d x %d atlas\n", size, kMaxAtlas, kMaxAtlas);
        return 1;
    }

    // White everywhere, so filtering at glyph edges never darkens them.
    std::vector<std::uint8_t> rgba(std::size_t(atlasWidth) * std::size_t(atlasHeight) * 4, 0xFF);
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        rgba[i] = 0;
    for (const Glyph& g : glyphs) {
        for (int r = 0; r < g.rows; ++r) {
            const int y = g.y + ascent - g.top + r;
            for (int c = 0; c < g.width; ++c)
                rgba[(std::size_t(y) * std::size_t(atlasWidth) + std::size_t(g.x + c)) * 4 + 3] =
                    g.coverage[std::size_t(r) * std::size_t(g.width) + std::size_t(c)];
        }
    }
    std::string png;
    if (!stbi_write_png_to_func(appendBytes, &png, atlasWidth, atlasHeight, 4, rgba.data(), atlasWidth * 4)) {
        std::fprintf(stderr, "fontgen: cannot encode the atlas\n");
        return 1;
    }

    const std::string name = baseName(outPath);
    std::string ini;
    char line[256];
    std::snprintf(line, sizeof line, "; %s %s, %ld px, made by fontgen from %s\n", face->family_name,
                  face->style_name ? face->style_name : "", size, baseName(fontPath).c_str());
    ini += line;
    ini += "[General]\nTexture = " + name + ".png\nFormat16 = 4444\nFormat32 = 8888\nCharSpacing = 0\n";
    if (underline) {
        const FT_Fixed yScale = face->size->metrics.y_scale;
        const FT_Pos position = FT_MulFix(face->underline_position, yScale);
        const FT_Pos thickness = FT_MulFix(face->underline_thickness, yScale);
        // The underline's top, measured from the line's top.
        const int dy = std::max(1, roundPixels(FT_Pos(ascent) * 64 - position - thickness / 2));
        std::snprintf(line, sizeof line, "UnderlineDY = %d\nUnderlineThickness = %d\n", dy,
                      std::max(1, roundPixels(thickness)));
        ini += line;
    }
    ini += "\n[Charlist]\n";
    for (const Glyph& g : glyphs) {
        const int post = g.width ? g.advance - g.left - g.width : g.advance;
        const int pre = g.width ? g.left : 0;
        std::snprintf(line, sizeof line, "%X = %d %d %d %d %d %d\n", unsigned(g.code), g.x, g.y, g.width,
                      lineHeight, pre, post);
        ini += line;
    }
    if (FT_HAS_KERNING(face)) {
        std::string pairs;
        int count = 0;
        for (const Glyph& a : glyphs) {
            for (const Glyph& b : glyphs) {
                FT_Vector k{0, 0};
                if (FT_Get_Kerning(face, a.index, b.index, FT_KERNING_DEFAULT, &k) != 0 || roundPixels(k.x) == 0)
                    continue;
                std::snprintf(line, sizeof line, "P%d = %X %X %d\n", ++count, unsigned(a.code), unsigned(b.code),
                              roundPixels(k.x));
                pairs += line;
            }
        }
        if (!pairs.empty())
            ini += "\n[KerningPairs]\n" + pairs;
    }

    return writeFiles({{outPath + ".png", png}, {outPath + ".ini", ini}}) ? 0 : 1;
}
