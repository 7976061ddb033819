#include "support/zip_writer.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <zlib.h>

namespace zip_writer {

namespace {

void put16(std::string& out, std::uint32_t v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

// Raw deflate (no zlib header), as zip stores it.
std::string deflateRaw(const std::string& data)
{
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string buildZip(const std::vector<Entry>& entries)
{
    std::string body;
    std::string central;
    for (const Entry& e : entries) {
        const bool deflated = e.deflate && !e.data.empty();
        const std::string packed = deflated ? deflateRaw(e.data) : e.data;
        const std::uint32_t crc = std::uint32_t(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), uInt(e.data.size())));
        const std::uint32_t offset = std::uint32_t(body.size());
        const std::uint16_t method = deflated ? 8 : 0;

        // Local header.
        put32(body, 0x04034b50);
        put16(body, 20);               // version needed
        put16(body, 0);                // flags
        put16(body, method);
        put16(body, 0);                // time
        put16(body, 0x21);             // date: 1980-01-01
        put32(body, crc);
        put32(body, std::uint32_t(packed.size()));
        put32(body, std::uint32_t(e.data.size()));
        put16(body, std::uint32_t(e.name.size()));
        put16(body, std::uint32_t(e.localExtra));
        body += e.name;
        body += std::string(e.localExtra, '\0');
        body += packed;

        // Central directory record.
        put32(central, 0x02014b50);
        put16(central, 20);            // made by
        put16(central, 20);            // version needed
        put16(central, 0);
        put16(central, method);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, std::uint32_t(packed.size()));
        put32(central, std::uint32_t(e.data.size()));
        put16(central, std::uint32_t(e.name.size()));
        put16(central, std::uint32_t(e.centralExtra));
        put16(central, 0);             // comment
        put16(central, 0);             // disk
        put16(central, 0);             // internal attributes
        put32(central, e.name.empty() || e.name.back() != '/' ? 0 : 0x10);  // MS-DOS folder bit
        put32(central, offset);
        central += e.name;
        central += std::string(e.centralExtra, '\0');
    }
    std::string out = body + central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, std::uint32_t(entries.size()));
    put16(out, std::uint32_t(entries.size()));
    put32(out, std::uint32_t(central.size()));
    put32(out, std::uint32_t(body.size()));
    put16(out, 0);                     // comment length
    return out;
}

bool writeZip(const std::string& path, const std::vector<Entry>& entries)
{
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = buildZip(entries);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

} // namespace zip_writer
