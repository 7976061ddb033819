#include "platform/gfx/image_decode.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_MAX_DIMENSIONS (1 << 20)
#include <stb/stb_image.h>

namespace platform {

namespace {

// stb_image reads zeros past the end of its buffer instead of failing, so a
// cut-off BMP, TGA or JPEG would decode "successfully". Each kind's layout is
// walked first to make sure all its pixel data is present.
class Bytes {
public:
    Bytes(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    std::size_t size() const { return n_; }
    bool has(std::size_t pos, std::size_t len) const { return pos <= n_ && len <= n_ - pos; }
    std::uint32_t u8(std::size_t pos) const { return p_[pos]; }
    std::uint32_t le16(std::size_t pos) const { return p_[pos] | std::uint32_t(p_[pos + 1]) << 8; }
    std::uint32_t le32(std::size_t pos) const { return le16(pos) | le16(pos + 2) << 16; }
    std::uint32_t be16(std::size_t pos) const { return std::uint32_t(p_[pos]) << 8 | p_[pos + 1]; }
    std::uint32_t be32(std::size_t pos) const { return be16(pos) << 16 | be16(pos + 2); }
    bool equals(std::size_t pos, const char* text, std::size_t len) const
    {
        return has(pos, len) && std::memcmp(p_ + pos, text, len) == 0;
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

struct Check {
    bool ok = false;
    bool hasAlpha = false;
    const char* problem = "";
};

Check fail(const char* problem)
{
    Check c;
    c.problem = problem;
    return c;
}

Check good(bool hasAlpha)
{
    Check c;
    c.ok = true;
    c.hasAlpha = hasAlpha;
    return c;
}

struct JpegState {
    std::uint32_t components = 0;  // 0 until the frame header
    std::uint32_t ids[4] = {};
    std::uint32_t h[4] = {};
    std::uint32_t v[4] = {};
    bool progressive = false;
    std::uint32_t dcTables = 0;  // bit per defined table id
    std::uint32_t acTables = 0;
};

ImageFileKind sniff(const Bytes& b)
{
    if (b.equals(0, "\x89PNG\r\n\x1a\n", 8))
        return ImageFileKind::Png;
    if (b.has(0, 3) && b.u8(0) == 0xFF && b.u8(1) == 0xD8 && b.u8(2) == 0xFF)
        return ImageFileKind::Jpeg;
    if (b.equals(0, "BM", 2))
        return ImageFileKind::Bmp;
    // TGA has no signature; its header fields are checked below.
    if (b.has(0, 18)) {
        const std::uint32_t mapType = b.u8(1), type = b.u8(2);
        const bool mapped = type == 1 || type == 9;
        const bool direct = type == 2 || type == 3 || type == 10 || type == 11;
        if ((mapType == 1 && mapped) || (mapType == 0 && direct))
            return ImageFileKind::Tga;
    }
    return ImageFileKind::Unknown;
}

Check checkPng(const Bytes& b)
{
    std::size_t pos = 8;
    bool sawHeader = false;
    bool alpha = false;
    while (b.has(pos, 8)) {
        const std::uint32_t len = b.be32(pos);
        if (!b.has(pos + 8, std::size_t(len) + 4))
            return fail("truncated PNG");
        if (b.equals(pos + 4, "IHDR", 4)) {
            if (len < 13)
                return fail("corrupt PNG header");
            const std::uint32_t colourType = b.u8(pos + 8 + 9);
            alpha = colourType == 4 || colourType == 6;
            sawHeader = true;
        } else if (!sawHeader) {
            return fail("corrupt PNG: no header chunk");
        } else if (b.equals(pos + 4, "tRNS", 4)) {
            alpha = true;
        } else if (b.equals(pos + 4, "IEND", 4)) {
            return good(alpha);
        }
        pos += 8 + std::size_t(len) + 4;
    }
    return fail("truncated PNG");
}

// Besides completeness, the tables are checked here because the decoder
// trusts them: Huffman tables over 256 codes or over-full code lengths,
// sampling factors that do not divide the largest, and scans naming unknown
// components or undefined tables all make it write or read out of bounds.
Check checkJpegTables(const Bytes& b, std::size_t pos, std::size_t end, std::uint32_t marker, JpegState& st)
{
    const std::size_t len = end - pos;
    if (marker == 0xC4) {
        while (pos < end) {
            if (end - pos < 17)
                return fail("corrupt JPEG Huffman table");
            const std::uint32_t cls = b.u8(pos) >> 4, id = b.u8(pos) & 15;
            if (cls > 1 || id > 3)
                return fail("corrupt JPEG Huffman table");
            std::uint32_t total = 0, codes = 0;
            for (std::uint32_t bits = 1; bits <= 16; ++bits) {
                const std::uint32_t count = b.u8(pos + bits);
                total += count;
                codes = (codes << 1) + count;
                if (codes > (1u << bits))
                    return fail("corrupt JPEG Huffman table");
            }
            if (total > 256 || end - pos - 17 < total)
                return fail("corrupt JPEG Huffman table");
            (cls == 0 ? st.dcTables : st.acTables) |= 1u << id;
            pos += 17 + total;
        }
        return good(false);
    }
    if (marker == 0xDB) {
        while (pos < end) {
            const std::uint32_t precision = b.u8(pos) >> 4, id = b.u8(pos) & 15;
            const std::size_t size = 1 + 64 * (precision + 1);
            if (precision > 1 || id > 3 || end - pos < size)
                return fail("corrupt JPEG quantisation table");
            pos += size;
        }
        return good(false);
    }
    if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
        if (st.components != 0)
            return fail("corrupt JPEG: two frame headers");
        if (len < 6)
            return fail("corrupt JPEG frame header");
        const std::uint32_t count = b.u8(pos + 5);
        if (b.u8(pos) != 8 || b.be16(pos + 1) == 0 || b.be16(pos + 3) == 0 ||
            (count != 1 && count != 3 && count != 4) || len != 6 + 3 * std::size_t(count))
            return fail("corrupt or unsupported JPEG frame header");
        std::uint32_t maxH = 1, maxV = 1;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t c = pos + 6 + 3 * i;
            const std::uint32_t h = b.u8(c + 1) >> 4, v = b.u8(c + 1) & 15;
            if (h < 1 || h > 4 || v < 1 || v > 4 || b.u8(c + 2) > 3)
                return fail("corrupt JPEG frame header");
            st.ids[i] = b.u8(c);
            st.h[i] = h;
            st.v[i] = v;
            maxH = std::max(maxH, h);
            maxV = std::max(maxV, v);
        }
        for (std::uint32_t i = 0; i < count; ++i)
            if (maxH % st.h[i] != 0 || maxV % st.v[i] != 0)
                return fail("unsupported JPEG sampling factors");
        st.components = count;
        st.progressive = marker == 0xC2;
        return good(false);
    }
    if (marker == 0xDA) {
        if (st.components == 0 || len < 1)
            return fail("corrupt JPEG: scan before frame header");
        const std::uint32_t count = b.u8(pos);
        if (count < 1 || count > st.components || len != 4 + 2 * std::size_t(count))
            return fail("corrupt JPEG scan header");
        const std::uint32_t ss = b.u8(pos + 1 + 2 * count), se = b.u8(pos + 2 + 2 * count);
        const std::uint32_t ah = b.u8(pos + 3 + 2 * count) >> 4, al = b.u8(pos + 3 + 2 * count) & 15;
        if (st.progressive ? (ss > se || se > 63 || ah > 13 || al > 13 || (ss == 0 && se != 0) || (ss > 0 && count != 1))
                           : (ss != 0 || se != 63 || ah != 0 || al != 0))
            return fail("corrupt JPEG scan header");
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t id = b.u8(pos + 1 + 2 * i);
            const std::uint32_t dc = b.u8(pos + 2 + 2 * i) >> 4, ac = b.u8(pos + 2 + 2 * i) & 15;
            if (std::find(st.ids, st.ids + st.components, id) == st.ids + st.components || dc > 3 || ac > 3)
                return fail("corrupt JPEG scan header");
            if ((ss == 0 && !(st.dcTables & (1u << dc))) || (se > 0 && !(st.acTables & (1u << ac))))
                return fail("corrupt JPEG: scan uses an undefined Huffman table");
        }
        return good(false);
    }
    if (marker == 0xDD && len != 2)
        return fail("corrupt JPEG restart interval");
    if ((marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) || marker == 0xDC)
        return fail("unsupported JPEG coding");
    return good(false);
}

Check checkJpeg(const Bytes& b)
{
    JpegState st;
    std::size_t pos = 2;
    for (;;) {
        if (!b.has(pos, 2) || b.u8(pos) != 0xFF)
            return fail("truncated or corrupt JPEG");
        while (b.has(pos, 2) && b.u8(pos + 1) == 0xFF)
            ++pos;  // fill bytes
        if (!b.has(pos, 2))
            return fail("truncated JPEG");
        const std::uint32_t marker = b.u8(pos + 1);
        pos += 2;
        if (marker == 0xD9)
            return st.components ? good(false) : fail("corrupt JPEG: no frame header");
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (!b.has(pos, 2))
            return fail("truncated JPEG");
        const std::uint32_t len = b.be16(pos);
        if (len < 2 || !b.has(pos, len))
            return fail("truncated JPEG");
        const Check tables = checkJpegTables(b, pos + 2, pos + len, marker, st);
        if (!tables.ok)
            return tables;
        pos += len;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data runs to the next marker that is neither a
        // stuffed zero nor a restart.
        for (;;) {
            if (!b.has(pos, 2))
                return fail("truncated JPEG");
            if (b.u8(pos) == 0xFF) {
                const std::uint32_t next = b.u8(pos + 1);
                if (next != 0x00 && next != 0xFF && !(next >= 0xD0 && next <= 0xD7))
                    break;
                pos += next == 0xFF ? 1 : 2;
            } else {
                ++pos;
            }
        }
    }
}

Check checkBmp(const Bytes& b)
{
    if (!b.has(0, 30))
        return fail("truncated BMP header");
    const std::uint64_t offset = b.le32(10);
    const std::uint32_t headerSize = b.le32(14);
    std::uint64_t width = 0, height = 0;
    std::uint32_t bpp = 0, compression = 0;
    bool alpha = false;
    if (headerSize == 12) {
        width = b.le16(18);
        height = b.le16(20);
        bpp = b.le16(24);
    } else {
        if (!b.has(0, 14 + std::size_t(headerSize)) || headerSize < 40)
            return fail("truncated or unsupported BMP header");
        width = b.le32(18);
        const std::int32_t h = std::int32_t(b.le32(22));
        height = h < 0 ? std::uint64_t(-std::int64_t(h)) : std::uint64_t(h);
        bpp = b.le16(28);
        compression = b.le32(30);
        // The fourth byte of a plain 32-bit BMP is reserved, not alpha;
        // only the V4/V5 headers state an alpha mask.
        alpha = headerSize >= 108 && bpp == 32 && b.le32(66) != 0;
    }
    if (width > (1u << 24) || height > (1u << 24))
        return fail("corrupt BMP size");
    if (compression != 0 && compression != 3)
        return fail("unsupported BMP compression");
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return fail("unsupported BMP bit depth");
    const std::uint64_t rowBytes = (width * bpp + 31) / 32 * 4;
    if (offset > b.size() || rowBytes * height > b.size() - offset)
        return fail("truncated BMP");
    return good(alpha);
}

Check checkTga(const Bytes& b)
{
    const std::uint32_t idLength = b.u8(0), mapType = b.u8(1), type = b.u8(2);
    const std::uint32_t mapLength = b.le16(5), mapEntryBits = b.u8(7);
    const std::uint64_t width = b.le16(12), height = b.le16(14);
    const std::uint32_t bpp = b.u8(16);
    std::size_t pos = 18 + idLength;
    if (mapType == 1)
        pos += std::size_t(mapLength) * ((mapEntryBits + 7) / 8);
    const std::size_t pixelBytes = (bpp + 7) / 8;
    if (pixelBytes == 0 || pixelBytes > 4)
        return fail("unsupported TGA bit depth");
    const std::uint64_t pixels = width * height;
    if (type < 8) {
        if (!b.has(pos, 0) || pixels * pixelBytes > b.size() - pos)
            return fail("truncated TGA");
    } else {
        std::uint64_t done = 0;
        while (done < pixels) {
            if (!b.has(pos, 1))
                return fail("truncated TGA");
            const std::uint32_t packet = b.u8(pos++);
            const std::size_t count = (packet & 0x7F) + 1;
            const std::size_t payload = (packet & 0x80) ? pixelBytes : count * pixelBytes;
            if (!b.has(pos, payload))
                return fail("truncated TGA");
            pos += payload;
            done += count;
        }
    }
    return good(false);  // alpha comes from the channel count stb_image reports
}

// JPEG pixels come from libjpeg: stb_image's entropy decoder lets its bit
// count go negative when corrupt data runs into a marker and then shifts
// by 32 or more. libjpeg fills what corrupt or missing data leaves with
// grey, as stb_image does.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jpegFail(j_common_ptr info)
{
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings about corrupt data are no failure, and nothing is printed.
void jpegWarning(j_common_ptr, int) {}

// Nothing with a destructor may start its life after the setjmp: the
// longjmp from jpegFail would skip it.
bool decodeJpeg(const std::uint8_t* data, std::size_t size, const ImageInfo& info, std::vector<std::uint32_t>& argb,
                std::string* error)
{
    jpeg_decompress_struct jpeg;
    JpegErrors errors;
    std::vector<std::uint8_t> row;
    const char* volatile problem = nullptr;  // set after the setjmp
    jpeg.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFail;
    errors.manager.emit_message = jpegWarning;
    errors.message[0] = '\0';
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&jpeg);
        if (error)
            *error = std::string("corrupt JPEG: ") + errors.message;
        return false;
    }
    jpeg_create_decompress(&jpeg);
    jpeg_mem_src(&jpeg, data, static_cast<unsigned long>(size));
    jpeg_read_header(&jpeg, TRUE);
    if (jpeg.image_width != JDIMENSION(info.width) || jpeg.image_height != JDIMENSION(info.height)) {
        problem = "corrupt image: header and data disagree on the size";
    } else {
        const bool cmyk = jpeg.num_components == 4;
        jpeg.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
        jpeg_start_decompress(&jpeg);
        row.resize(std::size_t(jpeg.output_width) * 4);
        argb.resize(std::size_t(info.width) * std::size_t(info.height));
        while (jpeg.output_scanline < jpeg.output_height) {
            std::uint32_t* out = argb.data() + std::size_t(jpeg.output_scanline) * std::size_t(info.width);
            JSAMPROW rows[1] = {row.data()};
            if (jpeg_read_scanlines(&jpeg, rows, 1) != 1)
                break;
            for (int x = 0; x < info.width; ++x) {
                const std::uint8_t* p = row.data() + std::size_t(x) * 4;
                if (!cmyk) {
                    out[x] = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                    continue;
                }
                // Adobe files store CMYK inverted: each colour times K.
                const std::uint32_t k = p[3];
                out[x] = 0xFF000000u | (p[0] * k + 127) / 255 << 16 | (p[1] * k + 127) / 255 << 8 |
                         (p[2] * k + 127) / 255;
            }
        }
        jpeg_abort_decompress(&jpeg);
    }
    jpeg_destroy_decompress(&jpeg);
    if (problem) {
        argb.clear();
        if (error)
            *error = problem;
        return false;
    }
    return true;
}

bool inspect(const void* data, std::size_t size, int maxDimension, ImageInfo& out, std::string* error)
{
    auto report = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    out = ImageInfo{};
    if (!data || size == 0)
        return report("no image data");
    if (size > std::size_t(INT_MAX))
        return report("image data too large");
    const Bytes b(static_cast<const std::uint8_t*>(data), size);
    const ImageFileKind kind = sniff(b);
    if (kind == ImageFileKind::Unknown)
        return report("unknown image kind");

    // The layout is checked before stb_image parses anything.
    Check check;
    switch (kind) {
    case ImageFileKind::Png: check = checkPng(b); break;
    case ImageFileKind::Jpeg: check = checkJpeg(b); break;
    case ImageFileKind::Bmp: check = checkBmp(b); break;
    default: check = checkTga(b); break;
    }
    if (!check.ok)
        return report(check.problem);
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(static_cast<const stbi_uc*>(data), int(size), &w, &h, &comp))
        return report(std::string("corrupt or unsupported image: ") + stbi_failure_reason());
    if (kind == ImageFileKind::Bmp && h < 0 && h != INT_MIN)
        h = -h;  // top-down rows
    if (w <= 0 || h <= 0)
        return report("image has no pixels");
    if (w > maxDimension || h > maxDimension ||
        std::uint64_t(w) * std::uint64_t(h) > kMaxImagePixels)
        return report("image too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");

    out.width = w;
    out.height = h;
    out.hasAlpha = kind == ImageFileKind::Tga ? comp == 2 || comp == 4 : check.hasAlpha;
    out.kind = kind;
    return true;
}

} // namespace

bool readImageInfo(const void* data, std::size_t size, ImageInfo& out, int maxDimension, std::string* error)
{
    return inspect(data, size, maxDimension, out, error);
}

bool decodeImage(const void* data, std::size_t size, DecodedImage& out, int maxDimension, std::string* error)
{
    out = DecodedImage{};
    ImageInfo info;
    if (!inspect(data, size, maxDimension, info, error))
        return false;
    if (info.kind == ImageFileKind::Jpeg) {
        if (!decodeJpeg(static_cast<const std::uint8_t*>(data), size, info, out.argb, error))
            return false;
        out.info = info;
        return true;
    }
    int w = 0, h = 0, comp = 0;
    stbi_uc* rgba = stbi_load_from_memory(static_cast<const stbi_uc*>(data), int(size), &w, &h, &comp, 4);
    if (!rgba) {
        if (error)
            *error = std::string("corrupt image: ") + stbi_failure_reason();
        return false;
    }
    if (w != info.width || h != info.height) {
        stbi_image_free(rgba);
        if (error)
            *error = "corrupt image: header and data disagree on the size";
        return false;
    }
    const std::size_t count = std::size_t(w) * std::size_t(h);
    const std::uint32_t forcedAlpha = info.hasAlpha ? 0u : 0xFF000000u;
    out.argb.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const stbi_uc* p = rgba + i * 4;
        out.argb[i] = (std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2]) |
                      forcedAlpha;
    }
    stbi_image_free(rgba);
    out.info = info;
    return true;
}

} // namespace platform
