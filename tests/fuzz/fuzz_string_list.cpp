// String lists: the same bytes from memory and from a file, walked with
// the cursor.
#include "engine/util/a_string_list.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    aStringList fromMemory;
    fromMemory.parse(data, size);
    aStringList fromFile(fuzz::writeTemp("list.txt", data, size));
    if (fromFile.getSize() != fromMemory.getSize())
        __builtin_trap();
    std::size_t total = 0;
    for (fromFile.first(); !fromFile.isEnd(); fromFile.next())
        total += fromFile.getCurrent().size();
    fromFile.next();
    total += fromFile.getCurrent().size();
    return int(total & 0);
}
