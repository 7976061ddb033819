#pragma once
// A bounded reader over a copy of a class extra of a room record: the
// special rooms parse their extra whole before they apply any of it, so a
// damaged extra leaves the room as it was. Little-endian, as the save
// system writes. A read past the end fails, yields zeros and stays failed.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class CRecordReader {
public:
    explicit CRecordReader(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    bool Ok() const { return m_ok; }
    std::size_t Left() const { return m_ok ? m_bytes.size() - m_pos : 0; }

    std::uint8_t U8() { return std::uint8_t(Take(1)); }
    std::uint16_t U16() { return std::uint16_t(Take(2)); }
    std::uint32_t U32() { return std::uint32_t(Take(4)); }
    std::int32_t I32() { return std::int32_t(Take(4)); }
    // NUL-ended.
    std::string String()
    {
        if (!m_ok)
            return std::string();
        const void* end = std::memchr(m_bytes.data() + m_pos, 0, m_bytes.size() - m_pos);
        if (!end) {
            m_ok = false;
            return std::string();
        }
        const std::size_t length = std::size_t(static_cast<const std::uint8_t*>(end) - (m_bytes.data() + m_pos));
        std::string out(reinterpret_cast<const char*>(m_bytes.data() + m_pos), length);
        m_pos += length + 1;
        return out;
    }
    // A count of records at least minSize bytes each that the rest can hold.
    std::uint32_t Count(std::size_t minSize)
    {
        const std::uint32_t n = U32();
        if (m_ok && std::uint64_t(n) * minSize > Left())
            m_ok = false;
        return m_ok ? n : 0;
    }

private:
    std::uint64_t Take(std::size_t n)
    {
        if (!m_ok || m_bytes.size() - m_pos < n) {
            m_ok = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= std::uint64_t(m_bytes[m_pos + i]) << (8 * i);
        m_pos += n;
        return v;
    }

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    bool m_ok = true;
};
