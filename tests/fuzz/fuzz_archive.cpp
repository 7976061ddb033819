// Zip and pak archives through the file server: the input is an archive
// standing for a folder under the temporary folder (".zip" for even sizes,
// ".pak" for odd ones); every name its central directory lists, and a few
// fixed ones, are looked up and read. Archives are closed after each input.
#include <cstdlib>
#include <set>
#include <string>

#include "engine/util/a_file_server.h"
#include "engine/util/a_zip_archives.h"
#include "fuzz/fuzz_support.h"

namespace {

std::uint32_t le(const std::string& s, std::size_t pos, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[pos + std::size_t(i)]);
    return v;
}

// Names of the central directory records found anywhere in the bytes.
std::set<std::string> listedNames(const std::string& zip)
{
    std::set<std::string> names{"a.txt", "dir/b.txt", "DIR/B.TXT", "dir", ""};
    for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos && names.size() < 64;
         at = zip.find("PK\x01\x02", at + 1)) {
        if (zip.size() - at < 46)
            break;
        const std::size_t length = le(zip, at + 28, 2);
        std::string name = zip.substr(at + 46, length);
        // Steps up would leave the folder for the disk around it.
        if (name.find("..") == std::string::npos && name.find('\0') == std::string::npos)
            names.insert(name);
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzz::tempDir();
    const std::string folder = getTempPath() + "arc";
    const std::string other = getTempPath() + (size % 2 ? "arc.zip" : "arc.pak");
    std::remove(other.c_str());
    fuzz::writeTemp("home/tmp/" + std::string(size % 2 ? "arc.pak" : "arc.zip"), bytes);

    std::size_t total = 0;
    total += file_isDirExistOrPacked(folder) ? 1 : 0;
    for (const std::string& name : listedNames(bytes)) {
        const std::string path = folder + "/" + name;
        std::uint32_t got = 0;
        std::uint8_t* read = file_readFullAndMalloc(path, &got);
        const std::uint32_t listed = file_getSize(path);
        // What a read gives is what the directory said.
        if (read && got != listed)
            __builtin_trap();
        std::free(read);
        total += got + (file_isExistOrPacked(path) ? 1 : 0) + (file_isDirExistOrPacked(path) ? 1 : 0);
    }
    file_layer::closeAllArchives();
    return int(total & 0);
}
