// The tag parser, narrow and wide: the input is split at 0xFF bytes into an
// open delimiter, a close delimiter, a separator and the text.
#include <string>

#include "engine/gui/a_tag_parser.h"
#include "engine/util/a_string.h"
#include "fuzz/fuzz_support.h"

namespace {

template <class Ch>
std::size_t walk(const std::basic_string<Ch>& open, const std::basic_string<Ch>& close,
                 const std::basic_string<Ch>& separator, const std::basic_string<Ch>& text)
{
    aTagParser<Ch> parser(open, close, separator);
    parser.parse(text);
    std::size_t total = 0;
    bool lastText = false;
    for (parser.first(); !parser.isEnd(); parser.next()) {
        // No empty runs, no two text runs in a row.
        if (parser.getText().empty() || (parser.isText() && lastText))
            __builtin_trap();
        lastText = parser.isText();
        total += parser.getKey().size() + parser.getValue().size();
    }
    parser.next();
    total += parser.getKey().size() + parser.getValue().size() + parser.getText().size();
    aTagParser<Ch> copy(parser);
    if (copy.getRunCount() != parser.getRunCount())
        __builtin_trap();
    return total;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::tempDir();
    std::vector<std::string> parts = fuzz::splitParts(data, size, "\xFF");
    parts.resize(4);
    std::size_t total = walk<char>(parts[0], parts[1], parts[2], parts[3]);
    total += walk<wchar_t>(str_utf8ToWide(parts[0]), str_utf8ToWide(parts[1]), str_utf8ToWide(parts[2]),
                           str_utf8ToWide(parts[3]));
    return int(total & 0);
}
