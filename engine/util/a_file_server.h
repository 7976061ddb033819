#pragma once
// Path assigns ("home:", "images:", "userappdata:" ...) and the file
// service. One file server exists, a member of the application object; the
// file_ functions mangle their paths through it when it exists.
#include <cstdint>
#include <map>
#include <string>

#include "engine/util/a_string.h"

class aFileServer {
public:
    aFileServer();
    ~aFileServer();
    aFileServer(const aFileServer&) = delete;
    aFileServer& operator=(const aFileServer&) = delete;

    // Adds or replaces an assign; the folder is mangled first, so assigns
    // may be defined through others. "home" cannot be replaced.
    void setAssign(const std::string& name, const std::string& folder);
    // Replaces a leading "name:" by its folder; a colon at index 0 or 1 and
    // unknown names leave the path as it is.
    std::string manglePath(const std::string& path) const;
    // Creates every missing folder along the path. True only when the
    // folder exists afterwards.
    bool makeDir(const std::string& path);

    // The folder of an assign ("" when unknown).
    std::string getAssign(const std::string& name) const;

    // The special per-user and all-users folders, in their fixed order.
    static const char* const kSpecialFolders[14];

private:
    std::map<std::string, std::string, aLessNoCase> m_assigns;
    std::map<std::string, std::string, aLessNoCase> m_tempCopies;
    std::string m_tempFolder;
};

// The file server in use, null when none exists.
extern aFileServer* g_fileServer;

// The program's folder with a trailing '/'.
const std::string& getApplicationPath();
// ${TMPDIR:-/tmp} with a trailing '/'.
std::string getTempPath();
// ${XDG_DATA_HOME:-$HOME/.local/share} with a trailing '/'.
std::string getUserDataPath();

// Mangles through the file server when one exists.
std::string file_manglePath(const std::string& path);

bool file_isExistOnDisk(const std::string& path);
// The path less one trailing separator is a folder.
bool file_isDirExistOnDisk(const std::string& path);
bool file_isDirExistOrPacked(const std::string& path);
bool file_isDirExist(const std::string& path, bool alsoInArchives);
// On disk, or inside a ".zip"/".pak" archive standing for one of its folders.
bool file_isExistOrPacked(const std::string& path);
bool file_isExist(const std::string& path, bool alsoInArchives);

// Reads a whole file (disk first, then archives). The result is malloc'ed
// and owned by the caller (free); null for a missing or empty file. *size
// (when given) receives the size, 0 on failure.
std::uint8_t* file_readFullAndMalloc(const std::string& path, std::uint32_t* size);
// Replaces the file with the data; the old file stays intact on failure.
bool file_writeFull(const std::string& path, const void* data, std::uint32_t size);
// 0 when missing.
std::uint32_t file_getSize(const std::string& path);
// "a/b/c.txt" -> "a/b/", "c.txt", "txt".
std::string file_getDirectory(const std::string& path);
std::string file_getName(const std::string& path);
std::string file_getExtension(const std::string& path);

// A whole file read into memory.
class aFile {
public:
    explicit aFile(const std::string& path);
    ~aFile();
    aFile(const aFile&) = delete;
    aFile& operator=(const aFile&) = delete;

    std::uint8_t* data() const { return m_data; }
    std::uint32_t size() const { return m_size; }
    bool isLoaded() const { return m_data != nullptr; }

    std::uint8_t* m_data = nullptr;
    bool m_owns = false;
    std::uint32_t m_size = 0;
};
