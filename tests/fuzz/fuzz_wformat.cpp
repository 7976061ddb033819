// The wide formatter with a format and arguments from the input: the text
// before the first zero byte is the format (UTF-8), the rest describes up
// to eight arguments, each a kind byte and its value.
#include <cstring>
#include <string>
#include <vector>

#include "engine/util/a_string.h"
#include "engine/util/a_wformat.h"
#include "fuzz/fuzz_support.h"

namespace {

class Reader {
public:
    Reader(const std::uint8_t* p, std::size_t n) : m_p(p), m_n(n) {}
    bool empty() const { return m_pos >= m_n; }
    std::uint8_t byte() { return m_pos < m_n ? m_p[m_pos++] : 0; }
    template <class T>
    T value()
    {
        T v{};
        const std::size_t n = std::min(sizeof v, m_n - std::min(m_pos, m_n));
        std::memcpy(&v, m_p + m_pos, n);
        m_pos += n;
        return v;
    }
    std::string text()
    {
        const std::size_t n = std::min<std::size_t>(byte(), m_n - std::min(m_pos, m_n));
        std::string s(reinterpret_cast<const char*>(m_p + m_pos), n);
        m_pos += n;
        return s;
    }

private:
    const std::uint8_t* m_p;
    std::size_t m_n;
    std::size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::tempDir();
    const std::uint8_t* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::size_t formatSize = zero ? std::size_t(zero - data) : size;
    const std::wstring format = str_utf8ToWide(reinterpret_cast<const char*>(data), formatSize);
    Reader in(data + formatSize + (zero ? 1 : 0), size - formatSize - (zero ? 1 : 0));

    // Strings live here so that the arguments' pointers stay valid.
    std::vector<std::wstring> wides;
    std::vector<std::string> narrows;
    wides.reserve(8);
    narrows.reserve(8);
    std::vector<aFormatArg> args;
    while (!in.empty() && args.size() < 8) {
        switch (in.byte() % 9) {
        case 0: args.push_back(aFormatArg::make(in.value<std::int32_t>())); break;
        case 1: args.push_back(aFormatArg::make(in.value<std::int64_t>())); break;
        case 2: args.push_back(aFormatArg::make(in.value<std::uint32_t>())); break;
        case 3: args.push_back(aFormatArg::make(in.value<std::uint64_t>())); break;
        case 4: args.push_back(aFormatArg::make(in.value<double>())); break;
        case 5: args.push_back(aFormatArg::make(wchar_t(in.value<std::uint16_t>()))); break;
        case 6: args.push_back(aFormatArg::make(char(in.byte()))); break;
        case 7:
            wides.push_back(str_utf8ToWide(in.text()));
            args.push_back(aFormatArg::make(wides.back()));
            break;
        default:
            narrows.push_back(in.text());
            args.push_back(aFormatArg::make(narrows.back()));
            break;
        }
    }
    const std::size_t count = args.size();
    args.push_back(aFormatArg());
    const std::wstring whole = a_wformatArgs(A_WFORMAT_MAX_LENGTH, format.c_str(), args.data(), count);
    if (whole.size() > A_WFORMAT_MAX_LENGTH)
        __builtin_trap();
    // A small buffer gets the same text, cut.
    wchar_t small[17];
    const std::size_t written = a_wformatArgs(small, 17, format.c_str(), args.data(), count);
    if (written > 16 || small[written] != 0 || whole.compare(0, written, small, written) != 0)
        __builtin_trap();
    (void)a_wformatArgs(nullptr, 0, format.c_str(), args.data(), count);
    return 0;
}
