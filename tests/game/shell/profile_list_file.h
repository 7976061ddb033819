#pragma once
// A hand-made "_profiles.dat": records as given, a valid CRC; records of an
// earlier version are written field by field as it wrote them.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

#include "game/shell/byte_order.h"
#include "support/test_env.h"

struct ListFile {
    std::vector<std::uint8_t> bytes;
    ListFile(std::uint32_t count, std::uint32_t current)
    {
        bytes = {'V', 'R', 'K', 'P', 1, 0, 0, 0};
        u32(count);
        u32(current);
    }
    void u32(std::uint32_t v)
    {
        bytes.resize(bytes.size() + 4);
        byte_order::store32(&bytes[bytes.size() - 4], v);
    }
    void f32(float v)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    // A record: u32 length, then the fields the callback adds.
    template <class Fields>
    void record(Fields fields)
    {
        const std::size_t at = bytes.size();
        u32(0);
        fields(*this);
        byte_order::store32(&bytes[at], std::uint32_t(bytes.size() - at - 4));
    }
    void name(const std::string& n)
    {
        bytes.insert(bytes.end(), n.begin(), n.end());
        bytes.push_back(0);
    }
    // A record as lists were written before the story mark and the tips
    // shown: name, tiers and counts, Find All's completion, the volumes at
    // their defaults, tips on, full screen.
    void oldRecord(const std::string& n, std::int32_t mhTier, std::int32_t faTier, float faCompleted)
    {
        record([&](ListFile& f) {
            f.name(n);
            for (std::int32_t v : {mhTier, 1, faTier, 1})
                f.u32(std::uint32_t(v));
            for (float v : {faCompleted, 0.37f, 0.27f, 0.35f})
                f.f32(v);
            f.bytes.insert(f.bytes.end(), {1, 1});
        });
    }
    void write(const std::string& path)
    {
        std::vector<std::uint8_t> out = bytes;
        const std::uint32_t crc = std::uint32_t(crc32(0, out.data(), uInt(out.size())));
        out.resize(out.size() + 4);
        byte_order::store32(&out[out.size() - 4], crc);
        test_env::writeFile(path, std::string(out.begin(), out.end()));
    }
};
