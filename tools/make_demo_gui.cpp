// Makes the pictures of the demo GUI: two mouse cursors (an animated arrow
// strip and a cross-hair), two nine-slice frames (one cut in thirds, one
// with slices of its own), the widget galleries' glyph strips, marks, track,
// swatch and dot-ring animation as PNG files with their image list, and a
// round one-bit region bitmap.
//
// Usage: make_demo_gui [GameData folder]   (default: data/GameData)
// The output is the same on every run, so the files can be committed.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace {

struct Picture {
    int width, height;
    std::vector<std::uint32_t> argb;  // rows top first

    Picture(int w, int h) : width(w), height(h), argb(std::size_t(w) * std::size_t(h), 0) {}
    std::uint32_t& at(int x, int y) { return argb[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    void fill(int x0, int y0, int w, int h, std::uint32_t c)
    {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                at(x, y) = c;
    }
};

bool writeFile(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void appendBytes(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
}

bool writePng(const std::string& path, const Picture& p)
{
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t c : p.argb) {
        rgba.push_back(std::uint8_t(c >> 16));
        rgba.push_back(std::uint8_t(c >> 8));
        rgba.push_back(std::uint8_t(c));
        rgba.push_back(std::uint8_t(c >> 24));
    }
    std::string png;
    return stbi_write_png_to_func(appendBytes, &png, p.width, p.height, 4, rgba.data(), p.width * 4) &&
           writeFile(path, png);
}

// Outlines every opaque pixel that touches a transparent one (or the edge).
void outline(Picture& p, int x0, int w, std::uint32_t color)
{
    Picture copy = p;
    for (int y = 0; y < p.height; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            if (!(copy.at(x, y) >> 24))
                continue;
            bool edge = false;
            for (int d = 0; d < 4; ++d) {
                const int nx = x + (d == 0) - (d == 1), ny = y + (d == 2) - (d == 3);
                edge = edge || nx < x0 || ny < 0 || nx >= x0 + w || ny >= p.height || !(copy.at(nx, ny) >> 24);
            }
            if (edge)
                p.at(x, y) = color;
        }
}

// Four 24 x 24 frames of an arrow, tip at (1, 1), whose dot changes colour.
Picture arrowStrip()
{
    Picture p(96, 24);
    const std::uint32_t dots[4] = {0xFFE03030, 0xFFE0C030, 0xFF30C040, 0xFF3070E0};
    for (int f = 0; f < 4; ++f) {
        const int x0 = f * 24;
        for (int y = 1; y < 24; ++y)
            for (int x = 1; x < 24; ++x) {
                const bool head = y <= 16 && (x - 1) * 16 <= (y - 1) * 11;
                const bool tail = y > 12 && y <= 21 && x >= 4 + (y - 12) / 2 && x <= 7 + (y - 12) / 2;
                if (head || tail)
                    p.at(x0 + x, y) = 0xFFFFFFFF;
            }
        outline(p, x0, 24, 0xFF000000);
        p.fill(x0 + 17, 17, 5, 5, dots[f]);
    }
    return p;
}

// A cross-hair ring, centre (11, 11), with a solid centre.
Picture crossHair()
{
    Picture p(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const double r = std::hypot(x - 11, y - 11);
            if ((r >= 7.0 && r <= 10.0) || ((x == 11 || y == 11) && r <= 10.0))
                p.at(x, y) = 0xFFFF8000;
        }
    p.fill(10, 10, 3, 3, 0xFFFF8000);
    return p;
}

// 90 x 90, to be cut in thirds: rounded corners, a light border, a darker
// checked interior.
Picture panel()
{
    Picture p(90, 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 90; ++x) {
            // Distance outside the 30-pixel corner squares' inner circle.
            const int cx = x < 30 ? 30 : (x >= 60 ? 59 : x), cy = y < 30 ? 30 : (y >= 60 ? 59 : y);
            const double r = std::hypot(x - cx, y - cy);
            if (r > 29.5)
                continue;
            const bool border = r > 25.5 || x < 4 || y < 4 || x > 85 || y > 85;
            const bool check = ((x / 6) + (y / 6)) % 2 == 0;
            p.at(x, y) = border ? 0xFFB8C8E8 : (check ? 0xE0283858 : 0xE0304468);
        }
    return p;
}

// 48 x 48 with 12-pixel corners and edges, cut by explicit slices.
Picture button()
{
    Picture p(48, 48);
    p.fill(0, 0, 48, 48, 0xFF6A4A20);
    p.fill(3, 3, 42, 42, 0xFFD8A850);
    p.fill(12, 12, 24, 24, 0xFFF0C878);
    for (int i = 12; i < 36; i += 4) {
        p.fill(i, 6, 2, 2, 0xFF6A4A20);
        p.fill(i, 40, 2, 2, 0xFF6A4A20);
    }
    return p;
}

// Glyph strips: one framed glyph per state (normal, pushed, hover,
// disabled), stacked downwards.
Picture glyphStrip(int w, int h, std::uint32_t border, int thickness, const std::uint32_t fills[4], bool round)
{
    Picture p(w, 4 * h);
    for (int g = 0; g < 4; ++g)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double r = std::hypot(x - (w - 1) / 2.0, y - (h - 1) / 2.0), outer = w / 2.0 - 0.5;
                if (round && r > outer)
                    continue;
                const bool edge = round ? r > outer - thickness
                                        : (x < thickness || y < thickness || x >= w - thickness || y >= h - thickness);
                p.at(x, g * h + y) = edge ? border : fills[g];
            }
    return p;
}

Picture galleryButton()
{
    const std::uint32_t fills[4] = {0xFF3060C0, 0xFF183070, 0xFF60A0FF, 0xFF808080};
    return glyphStrip(120, 32, 0xFF202020, 2, fills, false);
}

Picture galleryBox(bool round)
{
    const std::uint32_t fills[4] = {0xFFF0F0F0, 0xFFC0C0C0, 0xFFFFFFE0, 0xFF909090};
    return glyphStrip(24, 24, 0xFF404040, 2, fills, round);
}

Picture galleryThumb()
{
    const std::uint32_t fills[4] = {0xFFD0A040, 0xFF906020, 0xFFF0C860, 0xFF808080};
    return glyphStrip(16, 16, 0xFF302010, 1, fills, false);
}

// A green tick, three pixels thick.
Picture galleryMark()
{
    Picture p(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            if ((x >= 5 && x <= 10 && std::abs(y - (x + 7)) <= 1) || (x >= 10 && x <= 19 && std::abs(y - (27 - x)) <= 1))
                p.at(x, y) = 0xFF20A020;
    return p;
}

Picture galleryDot()
{
    Picture p(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            if (std::hypot(x - 11.5, y - 11.5) <= 5.0)
                p.at(x, y) = 0xFF2040C0;
    return p;
}

Picture galleryTrack()
{
    Picture p(8, 8);
    p.fill(0, 0, 8, 8, 0xFF8088A0);
    p.fill(1, 1, 6, 6, 0xFF505868);
    return p;
}

// A frame, 3 pixels wide, around nothing: drawn over another one on hover.
Picture galleryGlow()
{
    Picture p(30, 30);
    p.fill(0, 0, 30, 30, 0xC0FFE080);
    p.fill(3, 3, 24, 24, 0x00000000);
    return p;
}

Picture gallerySwatch()
{
    Picture p(16, 16);
    p.fill(0, 0, 16, 16, 0xFFFFFFFF);
    return p;
}

// Eight 32 x 32 frames of a ring of dots, one lit per frame, going round;
// the second row greyed, for a disabled animation.
Picture dotRing()
{
    Picture p(256, 64);
    for (int row = 0; row < 2; ++row)
        for (int f = 0; f < 8; ++f)
            for (int d = 0; d < 8; ++d) {
                const double a = d * 3.14159265358979 / 4;
                const int cx = f * 32 + 16 + int(std::lround(11 * std::cos(a)));
                const int cy = row * 32 + 16 + int(std::lround(11 * std::sin(a)));
                const bool lit = d == f;
                const std::uint32_t c = row ? (lit ? 0xFFC0C0C0 : 0xFF606060) : (lit ? 0xFFFFD040 : 0xFF705820);
                for (int y = -3; y <= 3; ++y)
                    for (int x = -3; x <= 3; ++x)
                        if (x * x + y * y <= (lit ? 10 : 5))
                            p.at(cx + x, cy + y) = c;
            }
    return p;
}

// A 64 x 64 one-bit bitmap, bottom row first, set inside a circle; the
// first palette entry is black, so set bits are inside.
std::string roundRegion()
{
    const int side = 64, rowBytes = 8;
    std::string bmp;
    const auto put = [&bmp](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp.push_back(char(v >> (8 * i)));
    };
    const std::uint32_t bits = 14 + 40 + 8;
    bmp += "BM";
    put(bits + std::uint32_t(rowBytes * side), 4);
    put(0, 4);
    put(bits, 4);
    put(40, 4);
    put(side, 4);
    put(side, 4);
    put(1, 2);
    put(1, 2);
    put(0, 4);
    put(std::uint32_t(rowBytes * side), 4);
    put(2835, 4);
    put(2835, 4);
    put(2, 4);
    put(0, 4);
    put(0x00000000, 4);
    put(0x00FFFFFF, 4);
    for (int row = side - 1; row >= 0; --row) {
        std::uint8_t line[8] = {};
        for (int x = 0; x < side; ++x)
            if (std::hypot(x - 31.5, row - 31.5) <= 31.5)
                line[x / 8] = std::uint8_t(line[x / 8] | (0x80 >> (x % 8)));
        bmp.append(reinterpret_cast<const char*>(line), sizeof line);
    }
    return bmp;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string root = argc > 1 ? argv[1] : "data/GameData";
    const std::string images = root + "/Images/", regions = root + "/Gui/Regions/";
    mkdir(images.c_str(), 0755);
    mkdir((root + "/Gui").c_str(), 0755);
    mkdir(regions.c_str(), 0755);
    const bool ok = writePng(images + "cursor_default.png", arrowStrip()) &&
                    writePng(images + "cursor_hand.png", crossHair()) && writePng(images + "panel.png", panel()) &&
                    writePng(images + "button.png", button()) &&
                    writePng(images + "gallery_button.png", galleryButton()) &&
                    writePng(images + "gallery_check.png", galleryBox(false)) &&
                    writePng(images + "gallery_radio.png", galleryBox(true)) &&
                    writePng(images + "gallery_thumb.png", galleryThumb()) &&
                    writePng(images + "gallery_mark.png", galleryMark()) &&
                    writePng(images + "gallery_dot.png", galleryDot()) &&
                    writePng(images + "gallery_track.png", galleryTrack()) &&
                    writePng(images + "gallery_glow.png", galleryGlow()) &&
                    writePng(images + "gallery_swatch.png", gallerySwatch()) &&
                    writePng(images + "dot_ring.png", dotRing()) &&
                    writeFile(images + "_images.list", "cursor_default.png 8888 8888\n"
                                                       "cursor_hand.png 8888 8888\n"
                                                       "panel.png 8888 8888\n"
                                                       "button.png 8888 8888\n"
                                                       "gallery_button.png 8888 8888\n"
                                                       "gallery_check.png 8888 8888\n"
                                                       "gallery_radio.png 8888 8888\n"
                                                       "gallery_thumb.png 8888 8888\n"
                                                       "gallery_mark.png 8888 8888\n"
                                                       "gallery_dot.png 8888 8888\n"
                                                       "gallery_track.png 8888 8888\n"
                                                       "gallery_glow.png 8888 8888\n"
                                                       "gallery_swatch.png 8888 8888\n"
                                                       "dot_ring.png 8888 8888\n") &&
                    writeFile(regions + "round.bmp", roundRegion());
    if (!ok) {
        std::fprintf(stderr, "make_demo_gui: cannot write into %s\n", root.c_str());
        return 1;
    }
    return 0;
}
