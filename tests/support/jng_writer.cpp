#include "support/jng_writer.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <zlib.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace jng_writer {
namespace {

void putU32(std::string& out, std::uint32_t v)
{
    out.push_back(char(v >> 24));
    out.push_back(char(v >> 16));
    out.push_back(char(v >> 8));
    out.push_back(char(v));
}

void chunk(std::string& out, const char* type, const std::string& data)
{
    putU32(out, std::uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    putU32(out, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

std::string encodeJpeg(int width, int height, const std::vector<std::uint32_t>& argb, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // No chroma subsampling: small test images keep their colours.
    for (int c = 0; c < cinfo.num_components; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(std::size_t(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            row[std::size_t(x) * 3] = (unsigned char)(p >> 16);
            row[std::size_t(x) * 3 + 1] = (unsigned char)(p >> 8);
            row[std::size_t(x) * 3 + 2] = (unsigned char)p;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

std::string deflateAlpha(int width, int height, const std::vector<std::uint32_t>& argb)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');  // filter: none
        for (int x = 0; x < width; ++x)
            raw.push_back(char(argb[std::size_t(y) * std::size_t(width) + std::size_t(x)] >> 24));
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    out.resize(size);
    return out;
}

void appendBytes(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
}

std::vector<std::uint8_t> toBytes(const std::vector<std::uint32_t>& argb, bool alpha)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t p : argb) {
        out.push_back(std::uint8_t(p >> 16));
        out.push_back(std::uint8_t(p >> 8));
        out.push_back(std::uint8_t(p));
        if (alpha)
            out.push_back(std::uint8_t(p >> 24));
    }
    return out;
}

} // namespace

// 8-bit RGBA rows without filters, deflated fast: the suite builds many
// fixture pictures, and a searching encoder took most of some tests' time.
std::string buildPng(int width, int height, const std::vector<std::uint32_t>& argb)
{
    std::string raw;
    raw.reserve(std::size_t(height) * (std::size_t(width) * 4 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            const char px[4] = {char(p >> 16), char(p >> 8), char(p), char(p >> 24)};
            raw.append(px, 4);
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string idat(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&idat[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
              Z_BEST_SPEED);
    idat.resize(size);

    std::string header;
    putU32(header, std::uint32_t(width));
    putU32(header, std::uint32_t(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter method, no interlace
    std::string out = "\x89PNG\r\n\x1a\n";
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", idat);
    chunk(out, "IEND", "");
    return out;
}

std::string buildBmp(int width, int height, const std::vector<std::uint32_t>& argb)
{
    const auto rgb = toBytes(argb, false);
    std::string out;
    stbi_write_bmp_to_func(appendBytes, &out, width, height, 3, rgb.data());
    return out;
}

std::string buildJpeg(int width, int height, const std::vector<std::uint32_t>& argb, int quality)
{
    return encodeJpeg(width, height, argb, quality);
}

std::string buildJng(int width, int height, const std::vector<std::uint32_t>& argb, bool withAlpha, int quality)
{
    std::string out("\x8BJNG\r\n\x1A\n", 8);
    std::string header;
    putU32(header, std::uint32_t(width));
    putU32(header, std::uint32_t(height));
    header.push_back(char(withAlpha ? 14 : 10));  // colour, with or without alpha
    header.push_back(8);                           // sample depth
    header.push_back(8);                           // JPEG
    header.push_back(0);                           // sequential
    header.push_back(char(withAlpha ? 8 : 0));     // alpha depth
    header.push_back(0);                           // alpha as PNG scanlines
    header.push_back(0);
    header.push_back(0);
    chunk(out, "JHDR", header);
    chunk(out, "JDAT", encodeJpeg(width, height, argb, quality));
    if (withAlpha)
        chunk(out, "IDAT", deflateAlpha(width, height, argb));
    chunk(out, "IEND", std::string());
    return out;
}

std::string withJngHeaderSize(std::string jng, std::uint32_t width, std::uint32_t height)
{
    // Signature (8), length (4), "JHDR", width, height, 8 more bytes, CRC.
    std::string fields;
    putU32(fields, width);
    putU32(fields, height);
    jng.replace(16, 8, fields);
    std::string crc;
    putU32(crc, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(jng.data() + 12), 20)));
    jng.replace(32, 4, crc);
    return jng;
}

} // namespace jng_writer
