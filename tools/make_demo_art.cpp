// Makes the demo game's pictures from recipe files (tools/art/*.txt): a
// software RGBA canvas with 2 x 2 samples per pixel, painted by one
// primitive a line, written as PNG, JPEG or 1-bit BMP.
//
// Usage: make_demo_art [GameData folder [recipe...]]   (default: data/GameData)
// Without recipes every recipe of the art folder is drawn, in name order. The same recipes
// give the same bytes on every run, so the outputs can be committed.
//
// Recipe lines (blank lines and '#' comments are skipped; numbers are
// pixels, colours RRGGBB or AARRGGBB hex):
//   image <file> <w> <h> [quality]  a new transparent canvas, written to
//                                   <GameData>/<file> when the next image
//                                   starts or the recipe ends; the
//                                   extension picks PNG, JPEG (quality,
//                                   default 90) or a 1-bit BMP (alpha >= 128)
//   seed <n>                        the noise seed of later paints
//   offset <dx> <dy>                moves later primitives (strips of frames)
//   paint <name> <kind> <args>      a named paint:
//       solid <c> | linear <x1> <y1> <x2> <y2> <c1> <c2>
//       radial <cx> <cy> <r> <c1> <c2> | noise <c1> <c2> <scale>
//       wood <c1> <c2> <scale> <angle> | paper <c1> <c2> <scale>
//       wallpaper <c1> <c2> <cell> | grass <c1> <c2> <scale>
//       checker <c1> <c2> <cell>
//   A paint argument P is a paint's name or a colour. soft is the width of
//   a blurred edge (0: a hard edge), for soft shadows and glows.
//   rect <x> <y> <w> <h> <P> [soft]
//   rrect <x> <y> <w> <h> <r> <P> [soft]
//   frame <x> <y> <w> <h> <r> <width> <P> [soft]   a rounded rectangle's outline
//   ellipse <cx> <cy> <rx> <ry> <P> [soft]
//   ring <cx> <cy> <rx> <ry> <width> <P> [soft]
//   line <x1> <y1> <x2> <y2> <width> <P> [soft]
//   poly <P> <x1> <y1> <x2> <y2> <x3> <y3> ...
//   text <x> <y> <size> <P> <left|center|right> <words...>   (the demo font)
//   font <name>                     later text in <font folder>/<name>.ini
//                                   (DejaVuSans28 until then)
//   erase <x> <y> <w> <h>           clears to transparent
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#ifndef A2D_ART_DIR
#define A2D_ART_DIR "tools/art"
#endif
#ifndef A2D_FONT_DIR
#define A2D_FONT_DIR "data/GameData/Fonts"
#endif

namespace {

constexpr int kSamples = 2;  // per pixel and axis
constexpr float kPi = 3.14159265358979f;

struct Color {
    float r = 0, g = 0, b = 0, a = 0;  // straight alpha, 0..1
};

Color mix(const Color& x, const Color& y, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

bool parseColor(const std::string& text, Color& out)
{
    if (text.size() != 6 && text.size() != 8)
        return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    const std::uint32_t v = std::uint32_t(std::strtoul(text.c_str(), nullptr, 16));
    const std::uint32_t a = text.size() == 8 ? v >> 24 : 255;
    out = {float((v >> 16) & 0xFF) / 255.0f, float((v >> 8) & 0xFF) / 255.0f, float(v & 0xFF) / 255.0f,
           float(a) / 255.0f};
    return true;
}

// ------------------------------------------------------------------ noise

std::uint32_t hash(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B1u ^ std::uint32_t(x) * 0x85EBCA77u ^ std::uint32_t(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

float lattice(std::int32_t x, std::int32_t y, std::uint32_t seed) { return float(hash(x, y, seed) & 0xFFFF) / 65535.0f; }

// Smoothly interpolated lattice values, 0..1.
float valueNoise(float x, float y, std::uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = std::int32_t(fx), iy = std::int32_t(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    const float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, std::uint32_t seed, int octaves = 4)
{
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += valueNoise(x, y, seed + std::uint32_t(i) * 101u) * amp;
        norm += amp;
        x *= 2.03f;
        y *= 2.03f;
        amp *= 0.5f;
    }
    return sum / norm;
}

// ------------------------------------------------------------------ paints

using Paint = std::function<Color(float x, float y)>;

// ------------------------------------------------------------------ font

struct Glyph {
    int x = 0, y = 0, w = 0, h = 0;
    float pre = 0, post = 0;
};

struct Font {
    int width = 0, height = 0;
    std::vector<std::uint8_t> alpha;
    std::map<int, Glyph> glyphs;
    float lineHeight = 0;
    float spacing = 0;

    bool load(const std::string& ini, const std::string& png)
    {
        int comp = 0;
        unsigned char* data = stbi_load(png.c_str(), &width, &height, &comp, 4);
        if (!data)
            return false;
        alpha.resize(std::size_t(width) * std::size_t(height));
        for (std::size_t i = 0; i < alpha.size(); ++i)
            alpha[i] = data[i * 4 + 3];
        stbi_image_free(data);
        std::ifstream in(ini);
        std::string line;
        bool chars = false;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty() || line[0] == ';')
                continue;
            if (line[0] == '[') {
                chars = line == "[Charlist]";
                continue;
            }
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            std::string key = line.substr(0, eq);
            key.erase(key.find_last_not_of(' ') + 1);
            if (!chars) {
                if (key == "CharSpacing")
                    spacing = std::strtof(line.c_str() + eq + 1, nullptr);
                continue;
            }
            Glyph g;
            std::istringstream values(line.substr(eq + 1));
            values >> g.x >> g.y >> g.w >> g.h >> g.pre >> g.post;
            glyphs[int(std::strtol(key.c_str(), nullptr, 16))] = g;
            lineHeight = std::max(lineHeight, float(g.h));
        }
        return !glyphs.empty();
    }

    float sample(float x, float y) const
    {
        // Bilinear, clamped to the atlas.
        x -= 0.5f;
        y -= 0.5f;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const float tx = x - float(x0), ty = y - float(y0);
        auto at = [&](int px, int py) {
            px = std::clamp(px, 0, width - 1);
            py = std::clamp(py, 0, height - 1);
            return float(alpha[std::size_t(py) * std::size_t(width) + std::size_t(px)]) / 255.0f;
        };
        const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * tx;
        const float bottom = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * tx;
        return top + (bottom - top) * ty;
    }

    float measure(const std::string& text, float scale) const
    {
        float w = 0;
        for (unsigned char c : text) {
            const auto it = glyphs.find(c);
            if (it != glyphs.end())
                w += (it->second.pre + float(it->second.w) + it->second.post + spacing) * scale;
        }
        return w;
    }
};

// ------------------------------------------------------------------ canvas

class Canvas {
public:
    Canvas(int w, int h) : m_w(w), m_h(h), m_px(std::size_t(w) * kSamples * std::size_t(h) * kSamples * 4, 0.0f) {}

    int width() const { return m_w; }
    int height() const { return m_h; }

    // Paints the area where dist < 0 (dist in pixels; soft: edge width).
    void fill(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& dist,
              const Paint& paint, float soft)
    {
        const float pad = soft + 1.0f;
        const int sx0 = std::max(0, int(std::floor((x0 - pad) * kSamples)));
        const int sy0 = std::max(0, int(std::floor((y0 - pad) * kSamples)));
        const int sx1 = std::min(m_w * kSamples, int(std::ceil((x1 + pad) * kSamples)));
        const int sy1 = std::min(m_h * kSamples, int(std::ceil((y1 + pad) * kSamples)));
        for (int sy = sy0; sy < sy1; ++sy)
            for (int sx = sx0; sx < sx1; ++sx) {
                const float px = (float(sx) + 0.5f) / kSamples, py = (float(sy) + 0.5f) / kSamples;
                const float d = dist(px, py);
                float cover = soft > 0.0f ? std::clamp(0.5f - d / soft, 0.0f, 1.0f) : (d <= 0.0f ? 1.0f : 0.0f);
                if (cover <= 0.0f)
                    continue;
                blend(sx, sy, paint(px, py), cover);
            }
    }

    // Coverage given per sample (text).
    void fillCoverage(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& cover,
                      const Paint& paint)
    {
        const int sx0 = std::max(0, int(std::floor(x0 * kSamples))), sy0 = std::max(0, int(std::floor(y0 * kSamples)));
        const int sx1 = std::min(m_w * kSamples, int(std::ceil(x1 * kSamples)));
        const int sy1 = std::min(m_h * kSamples, int(std::ceil(y1 * kSamples)));
        for (int sy = sy0; sy < sy1; ++sy)
            for (int sx = sx0; sx < sx1; ++sx) {
                const float px = (float(sx) + 0.5f) / kSamples, py = (float(sy) + 0.5f) / kSamples;
                const float c = cover(px, py);
                if (c > 0.0f)
                    blend(sx, sy, paint(px, py), c);
            }
    }

    void erase(int x, int y, int w, int h)
    {
        for (int sy = std::max(0, y * kSamples); sy < std::min(m_h, y + h) * kSamples; ++sy)
            for (int sx = std::max(0, x * kSamples); sx < std::min(m_w, x + w) * kSamples; ++sx)
                for (int c = 0; c < 4; ++c)
                    m_px[index(sx, sy) + std::size_t(c)] = 0.0f;
    }

    // Straight RGBA bytes, the samples of each pixel averaged.
    std::vector<std::uint8_t> pixels() const
    {
        std::vector<std::uint8_t> out(std::size_t(m_w) * std::size_t(m_h) * 4);
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                float acc[4] = {};
                for (int j = 0; j < kSamples; ++j)
                    for (int i = 0; i < kSamples; ++i)
                        for (int c = 0; c < 4; ++c)
                            acc[c] += m_px[index(x * kSamples + i, y * kSamples + j) + std::size_t(c)];
                const float n = float(kSamples * kSamples);
                const float a = acc[3] / n;
                std::uint8_t* p = &out[(std::size_t(y) * std::size_t(m_w) + std::size_t(x)) * 4];
                for (int c = 0; c < 3; ++c)
                    p[c] = a > 0.0f ? toByte(acc[c] / n / a) : 0;
                p[3] = toByte(a);
            }
        return out;
    }

private:
    static std::uint8_t toByte(float v) { return std::uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }
    std::size_t index(int sx, int sy) const { return (std::size_t(sy) * std::size_t(m_w * kSamples) + std::size_t(sx)) * 4; }

    // Source-over in premultiplied floats.
    void blend(int sx, int sy, const Color& c, float cover)
    {
        const float a = c.a * cover;
        float* p = &m_px[index(sx, sy)];
        p[0] = c.r * a + p[0] * (1.0f - a);
        p[1] = c.g * a + p[1] * (1.0f - a);
        p[2] = c.b * a + p[2] * (1.0f - a);
        p[3] = a + p[3] * (1.0f - a);
    }

    int m_w, m_h;
    std::vector<float> m_px;
};

// ------------------------------------------------------------------ distances

float boxDistance(float px, float py, float x, float y, float w, float h, float r)
{
    r = std::min(r, std::min(w, h) * 0.5f);
    const float cx = x + w * 0.5f, cy = y + h * 0.5f;
    const float qx = std::fabs(px - cx) - (w * 0.5f - r), qy = std::fabs(py - cy) - (h * 0.5f - r);
    const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
}

float ellipseDistance(float px, float py, float cx, float cy, float rx, float ry)
{
    const float dx = (px - cx) / rx, dy = (py - cy) / ry;
    const float k = std::sqrt(dx * dx + dy * dy);
    return (k - 1.0f) * std::min(rx, ry);
}

float segmentDistance(float px, float py, float ax, float ay, float bx, float by)
{
    const float vx = bx - ax, vy = by - ay;
    const float len = vx * vx + vy * vy;
    const float t = len > 0.0f ? std::clamp(((px - ax) * vx + (py - ay) * vy) / len, 0.0f, 1.0f) : 0.0f;
    const float dx = px - (ax + vx * t), dy = py - (ay + vy * t);
    return std::sqrt(dx * dx + dy * dy);
}

// ------------------------------------------------------------------ recipes

class Recipe {
public:
    Recipe(std::string outDir, const Font* font) : m_outDir(std::move(outDir)), m_font(font) {}

    bool run(const std::string& path)
    {
        std::ifstream in(path);
        if (!in) {
            std::fprintf(stderr, "make_demo_art: cannot read %s\n", path.c_str());
            return false;
        }
        m_path = path;
        std::string line;
        bool ok = true;
        while (std::getline(in, line)) {
            ++m_line;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::istringstream words(line);
            std::vector<std::string> w;
            for (std::string s; words >> s;)
                w.push_back(s);
            if (w.empty() || w[0][0] == '#')
                continue;
            if (!command(w)) {
                std::fprintf(stderr, "make_demo_art: %s:%d: bad line: %s\n", path.c_str(), m_line, line.c_str());
                ok = false;
            }
        }
        return finish() && ok;
    }

private:
    bool command(const std::vector<std::string>& w)
    {
        const std::string& op = w[0];
        if (op == "image") {
            if (w.size() < 4 || !finish())
                return false;
            m_file = w[1];
            m_quality = w.size() > 4 ? std::atoi(w[4].c_str()) : 90;
            m_canvas = std::make_unique<Canvas>(std::atoi(w[2].c_str()), std::atoi(w[3].c_str()));
            m_dx = m_dy = 0.0f;
            return m_canvas->width() > 0 && m_canvas->height() > 0;
        }
        if (op == "seed" && w.size() == 2) {
            m_seed = std::uint32_t(std::strtoul(w[1].c_str(), nullptr, 10));
            return true;
        }
        if (op == "paint" && w.size() >= 4)
            return definePaint(w);
        if (op == "font" && w.size() == 2)
            return selectFont(w[1]);
        if (!m_canvas)
            return false;
        if (op == "offset" && w.size() == 3) {
            m_dx = num(w[1]);
            m_dy = num(w[2]);
            return true;
        }
        Paint paint;
        if (op == "rect" && (w.size() == 6 || w.size() == 7) && findPaint(w[5], paint)) {
            const float x = num(w[1]) + m_dx, y = num(w[2]) + m_dy, ww = num(w[3]), h = num(w[4]);
            m_canvas->fill(x, y, x + ww, y + h, [=](float px, float py) { return boxDistance(px, py, x, y, ww, h, 0); },
                           paint, soft(w, 6));
            return true;
        }
        if (op == "rrect" && (w.size() == 7 || w.size() == 8) && findPaint(w[6], paint)) {
            const float x = num(w[1]) + m_dx, y = num(w[2]) + m_dy, ww = num(w[3]), h = num(w[4]), r = num(w[5]);
            m_canvas->fill(x, y, x + ww, y + h, [=](float px, float py) { return boxDistance(px, py, x, y, ww, h, r); },
                           paint, soft(w, 7));
            return true;
        }
        if (op == "frame" && (w.size() == 8 || w.size() == 9) && findPaint(w[7], paint)) {
            const float x = num(w[1]) + m_dx, y = num(w[2]) + m_dy, ww = num(w[3]), h = num(w[4]), r = num(w[5]);
            const float half = num(w[6]) * 0.5f;
            m_canvas->fill(x, y, x + ww, y + h,
                           [=](float px, float py) { return std::fabs(boxDistance(px, py, x, y, ww, h, r) + half) - half; },
                           paint, soft(w, 8));
            return true;
        }
        if (op == "ellipse" && (w.size() == 6 || w.size() == 7) && findPaint(w[5], paint)) {
            const float cx = num(w[1]) + m_dx, cy = num(w[2]) + m_dy, rx = num(w[3]), ry = num(w[4]);
            if (rx <= 0 || ry <= 0)
                return false;
            m_canvas->fill(cx - rx, cy - ry, cx + rx, cy + ry,
                           [=](float px, float py) { return ellipseDistance(px, py, cx, cy, rx, ry); }, paint,
                           soft(w, 6));
            return true;
        }
        if (op == "ring" && (w.size() == 7 || w.size() == 8) && findPaint(w[6], paint)) {
            const float cx = num(w[1]) + m_dx, cy = num(w[2]) + m_dy, rx = num(w[3]), ry = num(w[4]);
            const float half = num(w[5]) * 0.5f;
            if (rx <= 0 || ry <= 0)
                return false;
            m_canvas->fill(cx - rx - half, cy - ry - half, cx + rx + half, cy + ry + half,
                           [=](float px, float py) {
                               return std::fabs(ellipseDistance(px, py, cx, cy, rx, ry)) - half;
                           },
                           paint, soft(w, 7));
            return true;
        }
        if (op == "line" && (w.size() == 7 || w.size() == 8) && findPaint(w[6], paint)) {
            const float ax = num(w[1]) + m_dx, ay = num(w[2]) + m_dy, bx = num(w[3]) + m_dx, by = num(w[4]) + m_dy;
            const float half = num(w[5]) * 0.5f;
            m_canvas->fill(std::min(ax, bx) - half, std::min(ay, by) - half, std::max(ax, bx) + half,
                           std::max(ay, by) + half,
                           [=](float px, float py) { return segmentDistance(px, py, ax, ay, bx, by) - half; }, paint,
                           soft(w, 7));
            return true;
        }
        if (op == "poly" && w.size() >= 8 && w.size() % 2 == 0 && findPaint(w[1], paint)) {
            std::vector<float> xs, ys;
            for (std::size_t i = 2; i + 1 < w.size(); i += 2) {
                xs.push_back(num(w[i]) + m_dx);
                ys.push_back(num(w[i + 1]) + m_dy);
            }
            polygon(xs, ys, paint);
            return true;
        }
        if (op == "text" && w.size() >= 7 && findPaint(w[4], paint)) {
            std::string text = w[6];
            for (std::size_t i = 7; i < w.size(); ++i)
                text += " " + w[i];
            return drawText(num(w[1]) + m_dx, num(w[2]) + m_dy, num(w[3]), paint, w[5], text);
        }
        if (op == "erase" && w.size() == 5) {
            m_canvas->erase(int(num(w[1]) + m_dx), int(num(w[2]) + m_dy), int(num(w[3])), int(num(w[4])));
            return true;
        }
        return false;
    }

    static float num(const std::string& s) { return std::strtof(s.c_str(), nullptr); }
    static float soft(const std::vector<std::string>& w, std::size_t i) { return w.size() > i ? num(w[i]) : 0.0f; }

    void polygon(const std::vector<float>& xs, const std::vector<float>& ys, const Paint& paint)
    {
        const std::size_t n = xs.size();
        const float x0 = *std::min_element(xs.begin(), xs.end()), x1 = *std::max_element(xs.begin(), xs.end());
        const float y0 = *std::min_element(ys.begin(), ys.end()), y1 = *std::max_element(ys.begin(), ys.end());
        m_canvas->fill(x0, y0, x1, y1,
                       [&](float px, float py) {
                           bool inside = false;
                           for (std::size_t i = 0, j = n - 1; i < n; j = i++)
                               if ((ys[i] > py) != (ys[j] > py) &&
                                   px < (xs[j] - xs[i]) * (py - ys[i]) / (ys[j] - ys[i]) + xs[i])
                                   inside = !inside;
                           return inside ? -1.0f : 1.0f;
                       },
                       paint, 0.0f);
    }

    bool drawText(float x, float y, float size, const Paint& paint, const std::string& align, const std::string& text)
    {
        if (!m_font || m_font->lineHeight <= 0.0f || size <= 0.0f)
            return false;
        const float scale = size / m_font->lineHeight;
        const float width = m_font->measure(text, scale);
        if (align == "center")
            x -= width * 0.5f;
        else if (align == "right")
            x -= width;
        else if (align != "left")
            return false;
        float pen = x;
        for (unsigned char c : text) {
            const auto it = m_font->glyphs.find(c);
            if (it == m_font->glyphs.end())
                continue;
            const Glyph& g = it->second;
            pen += g.pre * scale;
            const float gx = pen, gy = y;
            m_canvas->fillCoverage(gx, gy, gx + float(g.w) * scale, gy + float(g.h) * scale,
                                   [&, gx, gy](float px, float py) {
                                       return m_font->sample(float(g.x) + (px - gx) / scale,
                                                             float(g.y) + (py - gy) / scale);
                                   },
                                   paint);
            pen += (float(g.w) + g.post + m_font->spacing) * scale;
        }
        return true;
    }

    bool selectFont(const std::string& name)
    {
        std::unique_ptr<Font>& font = m_fonts[name];
        if (!font) {
            font = std::make_unique<Font>();
            const std::string base = std::string(A2D_FONT_DIR) + "/" + name;
            if (!font->load(base + ".ini", base + ".png")) {
                m_fonts.erase(name);
                return false;
            }
        }
        m_font = font.get();
        return true;
    }

    bool findPaint(const std::string& name, Paint& out) const
    {
        Color c;
        if (parseColor(name, c)) {
            out = [c](float, float) { return c; };
            return true;
        }
        const auto it = m_paints.find(name);
        if (it == m_paints.end())
            return false;
        out = it->second;
        return true;
    }

    bool definePaint(const std::vector<std::string>& w)
    {
        const std::string& kind = w[2];
        const std::uint32_t seed = m_seed;
        const float dx = m_dx, dy = m_dy;
        Color c1, c2;
        auto colors = [&](std::size_t i) { return w.size() > i + 1 && parseColor(w[i], c1) && parseColor(w[i + 1], c2); };
        Paint paint;
        if (kind == "solid" && w.size() == 4 && parseColor(w[3], c1)) {
            paint = [c1](float, float) { return c1; };
        } else if (kind == "linear" && w.size() == 9 && colors(7)) {
            const float x1 = num(w[3]) + dx, y1 = num(w[4]) + dy, x2 = num(w[5]) + dx, y2 = num(w[6]) + dy;
            const float vx = x2 - x1, vy = y2 - y1, len = std::max(vx * vx + vy * vy, 1e-6f);
            paint = [=](float x, float y) { return mix(c1, c2, ((x - x1) * vx + (y - y1) * vy) / len); };
        } else if (kind == "radial" && w.size() == 8 && colors(6)) {
            const float cx = num(w[3]) + dx, cy = num(w[4]) + dy, r = std::max(num(w[5]), 1e-3f);
            paint = [=](float x, float y) { return mix(c1, c2, std::hypot(x - cx, y - cy) / r); };
        } else if (kind == "noise" && w.size() == 6 && colors(3)) {
            const float s = std::max(num(w[5]), 1e-3f);
            paint = [=](float x, float y) { return mix(c1, c2, fbm(x / s, y / s, seed)); };
        } else if (kind == "wood" && w.size() == 7 && colors(3)) {
            const float s = std::max(num(w[5]), 1e-3f), a = num(w[6]) * kPi / 180.0f;
            const float ca = std::cos(a), sa = std::sin(a);
            paint = [=](float x, float y) {
                const float u = x * ca + y * sa, v = -x * sa + y * ca;
                // Grain runs along u; rings wobble with low-frequency noise.
                const float t = v / s + 3.0f * fbm(u / (s * 12.0f), v / (s * 3.0f), seed);
                float g = 0.5f + 0.5f * std::sin(t * 2.0f * kPi);
                g = g * g * g;
                const float fine = fbm(u / (s * 4.0f), v / (s * 0.25f), seed + 7u);
                return mix(c1, c2, 0.55f * g + 0.45f * fine);
            };
        } else if (kind == "paper" && w.size() == 6 && colors(3)) {
            const float s = std::max(num(w[5]), 1e-3f);
            paint = [=](float x, float y) {
                return mix(c1, c2, 0.7f * fbm(x / s, y / s, seed) + 0.3f * valueNoise(x * 0.9f, y * 0.9f, seed + 3u));
            };
        } else if (kind == "wallpaper" && w.size() == 6 && colors(3)) {
            const float cell = std::max(num(w[5]), 2.0f);
            paint = [=](float x, float y) {
                // Cells in columns; every other column is shifted by half a
                // cell, as printed wallpaper is.
                const float column = std::floor((x - dx) / cell);
                const float fx = (x - dx) / cell - column;
                const float shifted = (y - dy) / cell + 0.5f * std::fmod(std::fabs(column), 2.0f);
                const float fy = shifted - std::floor(shifted);
                // Soft stripes, a diamond with a dot in each cell, and a
                // little mottling.
                const float stripe = 0.5f + 0.5f * std::cos(fx * 2.0f * kPi);
                const float diamond = std::fabs(fx - 0.5f) + std::fabs(fy - 0.5f);
                float t = 0.18f * stripe;
                if (diamond < 0.22f)
                    t = 0.75f - diamond;
                if (diamond < 0.06f)
                    t = 0.2f;
                t += 0.12f * (fbm(x / 40.0f, y / 40.0f, seed) - 0.5f);
                return mix(c1, c2, t);
            };
        } else if (kind == "checker" && w.size() == 6 && colors(3)) {
            const float cell = std::max(num(w[5]), 1.0f);
            paint = [=](float x, float y) {
                const auto cx = std::int64_t(std::floor((x - dx) / cell)), cy = std::int64_t(std::floor((y - dy) / cell));
                return (cx + cy) % 2 == 0 ? c1 : c2;
            };
        } else if (kind == "grass" && w.size() == 6 && colors(3)) {
            const float s = std::max(num(w[5]), 1e-3f);
            paint = [=](float x, float y) {
                const float blades = fbm(x / (s * 0.15f), y / (s * 1.5f), seed);
                const float patches = fbm(x / (s * 6.0f), y / (s * 6.0f), seed + 11u);
                return mix(c1, c2, 0.6f * blades + 0.4f * patches);
            };
        } else {
            return false;
        }
        m_paints[w[1]] = paint;
        return true;
    }

    bool finish()
    {
        if (!m_canvas)
            return true;
        const std::unique_ptr<Canvas> canvas = std::move(m_canvas);
        const std::vector<std::uint8_t> rgba = canvas->pixels();
        std::vector<std::uint8_t> bytes;
        auto sink = [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(context);
            out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        };
        const std::string ext = m_file.substr(m_file.rfind('.') + 1);
        const int w = canvas->width(), h = canvas->height();
        if (ext == "png") {
            stbi_write_png_to_func(sink, &bytes, w, h, 4, rgba.data(), w * 4);
        } else if (ext == "jpg") {
            std::vector<std::uint8_t> rgb;
            for (std::size_t i = 0; i < rgba.size(); i += 4)
                rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
            stbi_write_jpg_to_func(sink, &bytes, w, h, 3, rgb.data(), m_quality);
        } else if (ext == "bmp") {
            bytes = bitmap1(rgba, w, h);
        } else {
            std::fprintf(stderr, "make_demo_art: %s: unknown format of %s\n", m_path.c_str(), m_file.c_str());
            return false;
        }
        return write(m_outDir + "/" + m_file, bytes);
    }

    // 1-bit bottom-up BMP: white where alpha >= 128, black elsewhere.
    static std::vector<std::uint8_t> bitmap1(const std::vector<std::uint8_t>& rgba, int w, int h)
    {
        const std::uint32_t stride = std::uint32_t((w + 31) / 32 * 4);
        const std::uint32_t dataSize = stride * std::uint32_t(h), offset = 14 + 40 + 8;
        std::vector<std::uint8_t> out;
        auto u16 = [&](std::uint32_t v) { out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
        auto u32 = [&](std::uint32_t v) {
            out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
        };
        out.insert(out.end(), {'B', 'M'});
        u32(offset + dataSize);
        u32(0);
        u32(offset);
        u32(40);
        u32(std::uint32_t(w));
        u32(std::uint32_t(h));
        u16(1);
        u16(1);
        u32(0);
        u32(dataSize);
        u32(2835);
        u32(2835);
        u32(2);
        u32(2);
        u32(0x00000000);
        u32(0x00FFFFFF);
        for (int y = h - 1; y >= 0; --y) {
            std::vector<std::uint8_t> row(stride, 0);
            for (int x = 0; x < w; ++x)
                if (rgba[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4 + 3] >= 128)
                    row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
            out.insert(out.end(), row.begin(), row.end());
        }
        return out;
    }

    static bool makeFolders(const std::string& path)
    {
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            mkdir(path.substr(0, slash).c_str(), 0755);
        return true;
    }

    bool write(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        makeFolders(path);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f)
            std::fclose(f);
        if (!ok)
            std::fprintf(stderr, "make_demo_art: cannot write %s\n", path.c_str());
        return ok;
    }

    std::string m_outDir;
    const Font* m_font;
    std::map<std::string, std::unique_ptr<Font>> m_fonts;  // selected by recipes
    std::string m_path;
    int m_line = 0;
    std::unique_ptr<Canvas> m_canvas;
    std::string m_file;
    int m_quality = 90;
    std::uint32_t m_seed = 1;
    float m_dx = 0.0f, m_dy = 0.0f;
    std::map<std::string, Paint> m_paints;
};

std::vector<std::string> recipes(const std::string& dir)
{
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
                out.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "data/GameData";
    Font font;
    if (!font.load(std::string(A2D_FONT_DIR) + "/DejaVuSans28.ini", std::string(A2D_FONT_DIR) + "/DejaVuSans28.png")) {
        std::fprintf(stderr, "make_demo_art: cannot read the demo font in %s\n", A2D_FONT_DIR);
        return 1;
    }
    std::vector<std::string> files(argv + std::min(argc, 2), argv + argc);
    if (files.empty())
        files = recipes(A2D_ART_DIR);
    if (files.empty()) {
        std::fprintf(stderr, "make_demo_art: no recipes in %s\n", A2D_ART_DIR);
        return 1;
    }
    int status = 0;
    for (const std::string& file : files) {
        Recipe recipe(out, &font);
        if (!recipe.run(file))
            status = 1;
    }
    return status;
}
