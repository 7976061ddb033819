#pragma once
// Path assigns ("home:", "images:", "userappdata:" ...) and the file
// service. One file server exists, a member of the application object; the
// file_ functions mangle their paths through it when it exists.
//
// File names come from Windows data: '\' is a separator, and a name that
// misses on disk is looked up again ignoring letter case, folder by folder.
// Reads look on disk first, then inside ".zip"/".pak" archives that stand
// for folders of the data tree. The file_ functions may be called from any
// thread; the assigns are set at start-up, before other threads read.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

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
    // folder exists afterwards; on failure errno says why.
    bool makeDir(const std::string& path);
    // Removes a file (or an empty folder).
    bool deleteFile(const std::string& path);
    // A disk copy of a file that may lie inside an archive, for players that
    // need a real file; "" when the file cannot be read. Each path is
    // written once per file server into a private folder (mode 0700) under
    // "temp:"; copies and folder are deleted with the file server.
    std::string extractToTemp(const std::string& path);

    // The folder of an assign ("" when unknown).
    std::string getAssign(const std::string& name) const;

    // The program folder, "temp" and the special folders, with '/'
    // separators and a trailing '/': archive lookups stay strictly below
    // them. Read under the file-layer lock.
    const std::vector<std::string>& walkRoots() const { return m_walkRoots; }

    // The special per-user and all-users folders, in their fixed order.
    static const char* const kSpecialFolders[14];

private:
    void updateWalkRoots();

    std::map<std::string, std::string, aLessNoCase> m_assigns;
    std::map<std::string, std::string, aLessNoCase> m_tempCopies;
    std::string m_tempFolder;
    std::vector<std::string> m_walkRoots;
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
// 0 when something is on disk at the path, ENOENT when nothing is, else why
// it cannot be told: a folder on the way that may not be searched (EACCES),
// a loop of links (ELOOP), a link to too long a name (ENAMETOOLONG) ...
int file_lookOnDisk(const std::string& path);
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
// True once an archive the game had open was found changed on disk (cut
// short, written over in place) or unreadable: its data is no longer to be
// had, and later reads of it may fail. Any thread.
bool file_isArchiveLost();
// Replaces the file with the data: written to a temporary file beside it,
// synced and renamed over it, so the old file stays intact on failure; then
// errno says why. The first write of the process into a folder removes the
// temporaries that writers no longer running left there. A symbolic link
// (or a chain of them) stays: the file it names is replaced so, in that
// file's folder, or made there when it does not exist (logged); a loop
// fails with ELOOP.
bool file_writeFull(const std::string& path, const void* data, std::uint32_t size);
// True when the path is a symbolic link (or a chain of them) whose file is,
// or would be made, in another folder than the link's, or lies past a link
// that cannot be followed: the folder a write's failure is then about.
bool file_isLinkedElsewhere(const std::string& path);
// Test seams: file_writeFull writes its data through the first (::write
// unless a test replaces it); disk reads, the temporary files and copies are
// opened through the second (::open); its renames and those of
// file_setAside go through the third (flags as renameat2's, 0 for a plain
// rename).
extern ssize_t (*g_fileWriteFunction)(int fd, const void* data, std::size_t size);
extern int (*g_fileOpenFunction)(const char* path, int flags, mode_t mode);
extern int (*g_fileRenameFunction)(const char* from, const char* to, unsigned flags);
// Reads a whole regular file on disk, never inside an archive (a name that
// misses is looked up ignoring case). 0 with the bytes, else why not:
// ENOENT when there is none, EISDIR for a folder, EINVAL for another kind
// of file, EFBIG when it is over maxSize bytes (nothing is read), or the
// error of the open or the read.
int file_readDisk(const std::string& path, std::uint32_t maxSize, std::vector<std::uint8_t>& data);
// Gives a regular file on disk a further name beside it that no file has
// yet: its name + suffix, then + suffix + ".2", ".3" ... up to kMaxSetAside.
// No name is ever overwritten, nothing is ever copied, and no room is
// needed. Move: the file leaves its name for the new one, by a rename that
// never replaces; where the file system cannot refuse that, by a hard link,
// its old name then removed only while it is still that file (one renamed
// over it meanwhile stays beside it, logged). Keep: it stays under its name
// too, as a hard link; where links are refused it is renamed, and so leaves
// its name as with Move. A symbolic link (or a chain of them) is followed:
// the file it names gets the new name beside itself, in its own folder;
// Move then removes the link (and the file's old name), Keep leaves the
// link, which a later file_writeFull writes through. A file one of the
// names is already (a link made before) is not set aside again: that name
// is given, *alreadyKept set, and Move takes the file's own name away. The
// new name's whole path, or "" with errno set (EEXIST when every name is
// taken).
enum class SetAside { Move, Keep };
std::string file_setAside(const std::string& path, const std::string& suffix, SetAside how,
                          bool* alreadyKept = nullptr);
// How to name a file (a real path) to someone who knows where path is: its
// name alone when both are in the same folder, else its whole path.
std::string file_nameBeside(const std::string& path, const std::string& file);
// Test seam: the hard links of file_setAside (::link unless a test, for a
// file system that refuses links, replaces it).
extern int (*g_fileLinkFunction)(const char* from, const char* to);
constexpr int kMaxSetAside = 999;
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
