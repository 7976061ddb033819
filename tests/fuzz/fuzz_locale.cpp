// Locale tables: the input is split at "\n@@\n" into a table and a text
// file it may name as "text.txt" (file,"text.txt"). The table is loaded
// plain and under a group, read back by its own keys and unloaded.
#include "engine/util/a_locale_server.h"
#include "engine/util/a_string_list.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    fuzz::writeTemp("lang/text.txt", parts.size() > 1 ? parts[1] : std::string());
    const std::string table = fuzz::writeTemp("lang/table.txt", parts[0]);

    aLocaleServer server;
    server.loadFile(table);
    server.loadFile(table, "grp");
    server.loadFile(table);  // once only
    std::size_t total = 0;
    aStringList lines(table);
    for (const std::string& line : lines.lines()) {
        const std::string key = line.substr(0, line.find_first_of(" =\t"));
        if (const std::wstring* text = server.findString(key))
            total += text->size();
        total += server.getString(key, "grp").size();
    }
    if (!server.unloadFile(table, "grp") || !server.unloadFile(table) || server.unloadFile(table))
        __builtin_trap();
    if (server.getSize() != 0)
        __builtin_trap();
    return int(total & 0);
}
