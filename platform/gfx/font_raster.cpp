#include "platform/gfx/font_raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

namespace platform {

namespace {

constexpr const char* kFallbackFamily = "DejaVu Sans";
constexpr int kDefaultCellHeight = 16;
constexpr int kMaxPixelSize = 512;

std::string lowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

struct FaceMatch {
    std::string path;
    int index = 0;
    std::string family;
    std::string style;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    // The matched family is the one asked for or one fontconfig's rules put
    // in its place (a metric-compatible alias), not a generic fallback.
    bool honoursRequest = false;
};

// FontRaster keeps no fontconfig objects, so the library can be shut down
// at exit; that also returns what FcInit holds, which leak checkers report.
bool ensureFontconfig()
{
    static const bool ok = [] {
        if (FcInit() != FcTrue)
            return false;
        std::atexit(FcFini);
        return true;
    }();
    return ok;
}

bool matchFace(const std::string& family, int weight, bool italic, FaceMatch& out)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    // Families bound strongly after substitution: the request and its aliases.
    std::vector<std::string> wanted;
    FcValue value;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i)
        if (value.type == FcTypeString && binding != FcValueBindingWeak)
            wanted.push_back(lowerAscii(reinterpret_cast<const char*>(value.u.s)));

    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!font)
        return false;

    FcChar8* text = nullptr;
    bool ok = FcPatternGetString(font, FC_FILE, 0, &text) == FcResultMatch && text;
    if (ok) {
        out.path = reinterpret_cast<const char*>(text);
        int n = 0;
        out.index = FcPatternGetInteger(font, FC_INDEX, 0, &n) == FcResultMatch ? n : 0;
        out.weight = FcPatternGetInteger(font, FC_WEIGHT, 0, &n) == FcResultMatch ? n : FC_WEIGHT_REGULAR;
        out.slant = FcPatternGetInteger(font, FC_SLANT, 0, &n) == FcResultMatch ? n : FC_SLANT_ROMAN;
        out.style = FcPatternGetString(font, FC_STYLE, 0, &text) == FcResultMatch ? reinterpret_cast<const char*>(text) : "";
        out.family.clear();
        out.honoursRequest = false;
        for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &text) == FcResultMatch; ++i) {
            const std::string name = reinterpret_cast<const char*>(text);
            if (out.family.empty())
                out.family = name;
            if (std::find(wanted.begin(), wanted.end(), lowerAscii(name)) != wanted.end()) {
                out.family = name;
                out.honoursRequest = true;
                break;
            }
        }
    }
    FcPatternDestroy(font);
    return ok;
}

int floorDiv2(int v)
{
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

} // namespace

void prepareFontLibrary()
{
    // The future's destructor waits for the set-up, should the program end first.
    static std::once_flag once;
    static std::future<void> ready;
    std::call_once(once, [] { ready = std::async(std::launch::async, [] { ensureFontconfig(); }); });
}

struct FontRaster::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Impl()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

std::unique_ptr<FontRaster> FontRaster::create(const FontRequest& request, std::string* logText)
{
    auto say = [logText](const std::string& text) {
        if (logText)
            *logText = text;
    };
    say("");
    if (!ensureFontconfig()) {
        say("font: fontconfig could not be initialised");
        return nullptr;
    }
    const int weight = request.weight <= 0 ? FW_NORMAL : request.weight;
    const bool wantBold = weight >= 600;

    FaceMatch match;
    bool fellBack = false;
    if (request.faceName.empty() || !matchFace(request.faceName, weight, request.italic, match) ||
        !match.honoursRequest) {
        fellBack = !request.faceName.empty();
        if (!matchFace(kFallbackFamily, weight, request.italic, match)) {
            say("font: no face found for \"" + request.faceName + "\" nor the fallback \"" + kFallbackFamily + "\"");
            return nullptr;
        }
    }

    std::unique_ptr<FontRaster> font(new FontRaster());
    font->impl_ = std::make_unique<Impl>();
    Impl& impl = *font->impl_;
    if (FT_Init_FreeType(&impl.library) != 0) {
        say("font: FreeType could not be initialised");
        return nullptr;
    }
    if (FT_New_Face(impl.library, match.path.c_str(), match.index, &impl.face) != 0 || !FT_IS_SCALABLE(impl.face)) {
        say("font: cannot open \"" + match.path + "\" for \"" + request.faceName + "\"");
        return nullptr;
    }
    FT_Select_Charmap(impl.face, FT_ENCODING_UNICODE);

    // Windows measures cells with the OS/2 win metrics; fall back to hhea.
    const FT_Face face = impl.face;
    double unitsAscent = face->ascender;
    double unitsDescent = -face->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        unitsAscent = os2->usWinAscent;
        unitsDescent = os2->usWinDescent;
    }
    if (unitsAscent + unitsDescent <= 0) {
        unitsAscent = face->units_per_EM;
        unitsDescent = 0;
    }
    const double unitsCell = unitsAscent + unitsDescent;
    const double upem = face->units_per_EM ? face->units_per_EM : 2048;
    int ppem = 0;
    if (request.height < 0) {
        ppem = request.height < -kMaxPixelSize ? kMaxPixelSize : -request.height;
        font->ascent_ = int(std::lround(unitsAscent * ppem / upem));
        font->descent_ = int(std::lround(unitsDescent * ppem / upem));
    } else {
        // A cell height is met exactly, so lines step by what was asked.
        const int cell = std::min(request.height > 0 ? request.height : kDefaultCellHeight, kMaxPixelSize);
        ppem = std::max(1, int(std::lround(cell * upem / unitsCell)));
        font->ascent_ = int(std::lround(cell * unitsAscent / unitsCell));
        font->descent_ = cell - font->ascent_;
    }
    ppem = std::max(ppem, 1);
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(ppem)) != 0) {
        say("font: cannot size \"" + match.path + "\" to " + std::to_string(ppem) + " pixels");
        return nullptr;
    }
    font->ppem_ = ppem;
    font->family_ = match.family;
    font->style_ = match.style;
    font->path_ = match.path;
    font->usedFallback_ = fellBack;
    font->synthBold_ = wantBold && match.weight < FC_WEIGHT_DEMIBOLD;
    font->synthItalic_ = request.italic && match.slant == FC_SLANT_ROMAN;
    if (fellBack)
        say("font: face \"" + request.faceName + "\" not found, using \"" + match.family + "\" instead");
    return font;
}

FontRaster::~FontRaster() = default;

const GlyphBitmap& FontRaster::glyph(char32_t codePoint)
{
    const auto found = cache_.find(codePoint);
    if (found != cache_.end())
        return found->second;
    GlyphBitmap& g = cache_[codePoint];
    if (codePoint < 0x20)
        return g;  // control characters take no room

    const FT_Face face = impl_->face;
    const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(codePoint));
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
        return g;
    FT_GlyphSlot slot = face->glyph;
    if (synthItalic_)
        FT_GlyphSlot_Oblique(slot);
    if (synthBold_)
        FT_GlyphSlot_Embolden(slot);
    g.advance = int((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return g;

    const FT_Bitmap& bm = slot->bitmap;
    if (bm.width == 0 || bm.rows == 0 || !bm.buffer)
        return g;
    g.width = int(bm.width);
    g.height = int(bm.rows);
    g.bearingX = slot->bitmap_left;
    g.bearingY = slot->bitmap_top;
    g.coverage.assign(std::size_t(g.width) * std::size_t(g.height), 0);
    const int stride = std::abs(bm.pitch);
    for (int y = 0; y < g.height; ++y) {
        const int srcRow = bm.pitch >= 0 ? y : g.height - 1 - y;
        const unsigned char* src = bm.buffer + std::size_t(srcRow) * std::size_t(stride);
        std::uint8_t* dst = g.coverage.data() + std::size_t(y) * std::size_t(g.width);
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            const unsigned levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
            for (int x = 0; x < g.width; ++x)
                dst[x] = levels == 255 ? src[x] : std::uint8_t(std::min(255u, src[x] * 255u / levels));
        } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (int x = 0; x < g.width; ++x)
                dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    }
    return g;
}

int FontRaster::lineWidth(std::u32string_view line)
{
    int width = 0;
    for (char32_t c : line)
        width += glyph(c).advance;
    return width;
}

TextLayout FontRaster::layout(std::string_view text1251, const RECT& rect, std::uint32_t format)
{
    return layoutUnicode(decodeCp1251(text1251), rect, format);
}

TextLayout FontRaster::layoutUnicode(std::u32string_view text, const RECT& rect, std::uint32_t format)
{
    TextLayout out;
    out.lineHeight = lineHeight();

    std::vector<std::u32string_view> lines;
    if (format & DT_SINGLELINE) {
        if (!text.empty())
            lines.push_back(text);
    } else {
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find(U'\n', start);
            if (end == std::u32string_view::npos) {
                lines.push_back(text.substr(start));
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    std::vector<int> widths;
    int widest = 0;
    for (const auto& line : lines) {
        widths.push_back(lineWidth(line));
        widest = std::max(widest, widths.back());
    }
    out.lineCount = int(lines.size());
    const int textHeight = out.lineCount * out.lineHeight;

    int top = rect.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect.top + floorDiv2(rect.bottom - rect.top - textHeight);
        else if (format & DT_BOTTOM)
            top = rect.bottom - textHeight;
    }
    out.height = top - rect.top + textHeight;
    out.bounds = RECT{rect.left, rect.top, rect.left + widest, rect.top + textHeight};
    if (format & DT_CALCRECT)
        return out;

    const bool clip = !(format & DT_NOCLIP);
    bool anyInk = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int pen = rect.left;
        if (format & DT_CENTER)
            pen = rect.left + floorDiv2(rect.right - rect.left - widths[i]);
        else if (format & DT_RIGHT)
            pen = rect.right - widths[i];
        const int baseline = top + int(i) * out.lineHeight + ascent_;
        for (char32_t c : lines[i]) {
            const GlyphBitmap& g = glyph(c);
            PlacedGlyph p;
            p.codePoint = c;
            p.bitmap = &g;
            p.x = pen + g.bearingX;
            p.y = baseline - g.bearingY;
            p.width = g.width;
            p.height = g.height;
            pen += g.advance;
            if (clip) {
                const int x0 = std::max(p.x, rect.left), y0 = std::max(p.y, rect.top);
                const int x1 = std::min(p.x + p.width, rect.right), y1 = std::min(p.y + p.height, rect.bottom);
                p.srcX = x0 - p.x;
                p.srcY = y0 - p.y;
                p.x = x0;
                p.y = y0;
                p.width = x1 - x0;
                p.height = y1 - y0;
            }
            if (p.width <= 0 || p.height <= 0)
                continue;
            if (!anyInk) {
                out.ink = RECT{p.x, p.y, p.x + p.width, p.y + p.height};
                anyInk = true;
            } else {
                out.ink.left = std::min(out.ink.left, p.x);
                out.ink.top = std::min(out.ink.top, p.y);
                out.ink.right = std::max(out.ink.right, p.x + p.width);
                out.ink.bottom = std::max(out.ink.bottom, p.y + p.height);
            }
            out.glyphs.push_back(p);
        }
    }
    return out;
}

} // namespace platform
