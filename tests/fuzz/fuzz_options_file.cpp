// Options files with includes: the input is split at "\n@@\n" into a main file
// and up to three files it may include as "f1.ini" .. "f3.ini".
#include <unistd.h>

#include "engine/util/a_options_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool inFolder = chdir(fuzz::tempDir().c_str()) == 0;
    (void)inFolder;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    for (std::size_t i = 1; i < 4; ++i)
        fuzz::writeTemp("f" + std::to_string(i) + ".ini", i < parts.size() ? parts[i] : std::string());
    aOptionsFile ini(fuzz::writeTemp("main.ini", parts[0]));
    std::size_t total = 0;
    for (ini.firstSection(); !ini.isSectionsEnd(); ini.nextSection())
        for (ini.firstKey(); !ini.isKeysEnd(); ini.nextKey())
            total += ini.getKeyValue().size() + ini.getKeyName().size();
    std::list<int> ints;
    ini.firstSection();
    ini.getInts("a", ints);
    (void)ini.getFloatDef("f", 0.0f);
    (void)ini.getIntDef("i", 0);
    return int(total & 0);
}
