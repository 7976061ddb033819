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
