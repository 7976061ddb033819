// Whole-file reads and writes and path splitting. (Disk only for now; the
// archive-aware open replaces the reads.)
#include <cstdio>
#include <cstdlib>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"

bool file_isExistOrPacked(const std::string& path) { return file_isExistOnDisk(path); }

bool file_isExist(const std::string& path, bool alsoInArchives)
{
    return alsoInArchives ? file_isExistOrPacked(path) : file_isExistOnDisk(path);
}

std::uint8_t* file_readFullAndMalloc(const std::string& path, std::uint32_t* size)
{
    if (size)
        *size = 0;
    std::FILE* f = std::fopen(file_manglePath(path).c_str(), "rb");
    if (!f) {
        a_log("file_readFullAndMalloc. Error open file: %s", path.c_str());
        return nullptr;
    }
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::uint8_t* data = nullptr;
    if (n > 0) {
        data = static_cast<std::uint8_t*>(std::malloc(std::size_t(n)));
        if (data && std::fread(data, 1, std::size_t(n), f) != std::size_t(n)) {
            std::free(data);
            data = nullptr;
        }
    }
    std::fclose(f);
    if (data && size)
        *size = std::uint32_t(n);
    return data;
}

bool file_writeFull(const std::string& path, const void* data, std::uint32_t size)
{
    std::FILE* f = std::fopen(file_manglePath(path).c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

std::uint32_t file_getSize(const std::string& path)
{
    std::uint32_t size = 0;
    std::uint8_t* data = file_readFullAndMalloc(path, &size);
    std::free(data);
    return size;
}

std::string file_getDirectory(const std::string& path)
{
    const std::string full = file_manglePath(path);
    const std::size_t sep = full.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : full.substr(0, sep + 1);
}

std::string file_getName(const std::string& path)
{
    const std::size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string file_getExtension(const std::string& path)
{
    for (std::size_t i = path.size(); i-- > 0;) {
        if (path[i] == '/' || path[i] == '\\')
            return std::string();
        if (path[i] == '.')
            return path.substr(i + 1);
    }
    return std::string();
}

aFile::aFile(const std::string& path)
{
    m_data = file_readFullAndMalloc(path, &m_size);
    m_owns = m_data != nullptr;
}

aFile::~aFile()
{
    if (m_owns)
        std::free(m_data);
}
