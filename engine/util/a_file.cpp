// Whole-file reads and writes, existence tests and path splitting. Reads look
// on disk first (ignoring letter case when the exact name misses), then
// inside the archives that stand for folders of the path.
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/util/a_file_lookup.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_zip_archives.h"

ssize_t (*g_fileWriteFunction)(int fd, const void* data, std::size_t size) = ::write;

namespace {

int openFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

int renameFile(const char* from, const char* to, unsigned flags)
{
    return flags ? ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags) : ::rename(from, to);
}

} // namespace

int (*g_fileOpenFunction)(const char* path, int flags, mode_t mode) = openFile;
int (*g_fileLinkFunction)(const char* from, const char* to) = ::link;
int (*g_fileRenameFunction)(const char* from, const char* to, unsigned flags) = renameFile;

namespace {

std::string fullPath(const std::string& path) { return file_layer::normalizeSeparators(file_manglePath(path)); }

bool usablePath(const std::string& full) { return !full.empty() && full.size() < PATH_MAX; }

// A descriptor for reading a file on disk, -1 when there is none. O_NONBLOCK
// keeps a FIFO from hanging the open; such files are refused afterwards.
int openOnDisk(const std::string& full)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    const int fd = g_fileOpenFunction(full.c_str(), flags, 0);
    if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR))
        return fd;
    const int err = errno;
    std::string real;
    if (!file_layer::resolveCaseless(full, real)) {
        // A name found in other letters that cannot be followed says why.
        if (errno == ENOENT || errno == ENOTDIR)
            errno = err;
        return -1;
    }
    return g_fileOpenFunction(real.c_str(), flags, 0);
}

// Reads an open file whole into a malloc'ed buffer (null when empty). 0, or
// why not: EISDIR for a folder, EINVAL for anything else that is not a
// regular file, EFBIG over maxSize (nothing read), ENOMEM, or the read's
// error. The descriptor is closed.
int readOpenFile(int fd, std::uint64_t maxSize, std::uint8_t** data, std::uint32_t* size)
{
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    else if (!S_ISREG(st.st_mode))
        err = EINVAL;
    else if (st.st_size < 0 || std::uint64_t(st.st_size) > maxSize)
        err = EFBIG;
    if (err) {
        ::close(fd);
        return err;
    }
    const std::size_t want = std::size_t(st.st_size);
    std::uint8_t* buffer = nullptr;
    if (want > 0) {
        buffer = static_cast<std::uint8_t*>(std::malloc(want));
        if (!buffer) {
            ::close(fd);
            return ENOMEM;
        }
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, buffer + got, want - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // A file that shrank under us reads as cut short.
                err = n < 0 ? errno : EIO;
                break;
            }
            got += std::size_t(n);
        }
        if (got != want) {
            std::free(buffer);
            ::close(fd);
            return err ? err : EIO;
        }
    }
    ::close(fd);
    *data = buffer;
    *size = std::uint32_t(want);
    return 0;
}

enum class DiskRead { NotAFile, Done, Failed };

DiskRead readDisk(const std::string& full, const std::string& path, std::uint8_t** data, std::uint32_t* size)
{
    const int fd = openOnDisk(full);
    if (fd < 0)
        return DiskRead::NotAFile;
    switch (const int err = readOpenFile(fd, UINT32_MAX, data, size)) {
    case 0:
        return DiskRead::Done;
    case EISDIR:
    case EINVAL:
        return DiskRead::NotAFile;
    case EFBIG:
        a_log("file_readFullAndMalloc. File too large: %s", path.c_str());
        return DiskRead::Failed;
    case ENOMEM:
        a_log("file_readFullAndMalloc. Cannot allocate memory for %s", path.c_str());
        return DiskRead::Failed;
    default:
        a_log("file_readFullAndMalloc. Error reading file: %s (%s)", path.c_str(), std::strerror(err));
        return DiskRead::Failed;
    }
}

// A regular file (or anything but a folder) on disk.
bool isFileOnDisk(const std::string& full, struct stat* st)
{
    std::string real;
    return file_layer::resolve(full, real, st) && !S_ISDIR(st->st_mode);
}

bool writeAll(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = g_fileWriteFunction(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

// The write temporaries: "." + name + "." + pid + "." + counter + ".tmp"
// beside the target. A process killed mid-write leaves its temporary; the
// first write of a process into a folder removes those whose writer no
// longer runs.
struct TempFiles {
    std::mutex mutex;
    // Folders already swept by this process.
    std::set<std::string> swept;
    // Temporaries this process is writing now.
    std::set<std::string> own;
};

TempFiles& tempFiles()
{
    static TempFiles* files = new TempFiles;  // never destroyed: writes may run at exit
    return *files;
}

bool allDigits(const std::string& text, std::size_t begin, std::size_t end)
{
    if (begin >= end || end - begin > 10)
        return false;
    for (std::size_t i = begin; i < end; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// The writer's pid when the name is one of our write temporaries, else 0.
long tempWriter(const std::string& name)
{
    static const std::string kEnd = ".tmp";
    if (name.size() < 1 + 1 + 2 + 2 + kEnd.size() || name[0] != '.' ||
        name.compare(name.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
        return 0;
    const std::size_t counterEnd = name.size() - kEnd.size();
    const std::size_t counterDot = name.rfind('.', counterEnd - 1);
    if (counterDot == std::string::npos || counterDot < 2 || !allDigits(name, counterDot + 1, counterEnd))
        return 0;
    const std::size_t pidDot = name.rfind('.', counterDot - 1);
    if (pidDot == std::string::npos || pidDot < 2 || !allDigits(name, pidDot + 1, counterDot))
        return 0;
    const long pid = std::strtol(name.c_str() + pidDot + 1, nullptr, 10);
    return pid > 0 && pid <= INT_MAX ? pid : 0;
}

bool writerRuns(long pid)
{
    if (pid == long(::getpid()))
        return false;  // then only the temporaries in TempFiles::own are live
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

// Called under the TempFiles lock before the first write into the folder.
void sweepStaleTemps(TempFiles& files, const std::string& folder)
{
    if (files.swept.count(folder))
        return;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;  // the write fails too; the sweep waits for a write that works
    files.swept.insert(folder);
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long pid = tempWriter(name);
        if (pid == 0 || writerRuns(pid) || files.own.count(folder + name))
            continue;
        stale.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : stale) {
        const std::string path = folder + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::unlink(path.c_str()) == 0)
            a_log("file_writeFull. Removed '%s', left by an interrupted write", path.c_str());
    }
    if (!stale.empty())
        file_layer::forgetFolder(folder);
}

// Why the folder of an unresolvable target is no place to write.
int folderError(const std::string& full)
{
    const std::string folder = file_layer::parentOf(full);
    struct stat st;
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0)
        return folder.empty() ? ENOENT : errno;
    return S_ISDIR(st.st_mode) ? ENOENT : ENOTDIR;
}

// A new write temporary beside the file named name in folder, open for
// writing; -1 with errno set. It is listed as this process's own until
// dropTemp.
int openTemp(const std::string& folder, const std::string& name, mode_t mode, std::string& temp)
{
    static std::atomic<unsigned> counter{0};
    TempFiles& files = tempFiles();
    {
        std::lock_guard<std::mutex> guard(files.mutex);
        sweepStaleTemps(files, folder);
    }
    const std::string base = name.substr(0, 100);
    int fd = -1;
    int err = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
        {
            std::lock_guard<std::mutex> guard(files.mutex);
            files.own.insert(temp);
        }
        fd = g_fileOpenFunction(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        err = errno;
        if (fd < 0) {
            std::lock_guard<std::mutex> guard(files.mutex);
            files.own.erase(temp);
        }
        if (fd < 0 && err != EEXIST)
            break;
    }
    errno = err;
    return fd;
}

void dropTemp(const std::string& temp)
{
    TempFiles& files = tempFiles();
    std::lock_guard<std::mutex> guard(files.mutex);
    files.own.erase(temp);
}

// Renames, never over a file that has the new name (EEXIST then).
int renameNoReplace(const std::string& from, const std::string& to)
{
    if (g_fileRenameFunction(from.c_str(), to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot refuse: the test and the rename are as
    // close as they go, and one game runs at a time.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return g_fileRenameFunction(from.c_str(), to.c_str(), 0) == 0 ? 0 : errno;
}

bool linksUnsupported(int err)
{
    return err == EPERM || err == EXDEV || err == EMLINK || err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS;
}

// Gives a file the further name to, never over a file that has it (EEXIST
// then). Keep: it keeps its own name too, as a hard link, or is renamed
// where links are refused. Otherwise it is renamed, or, where a rename
// cannot refuse to replace, linked (the caller then takes its own name
// away). *renamed says which.
int nameAside(const std::string& from, const std::string& to, bool keep, bool* renamed)
{
    *renamed = false;
    if (!keep) {
        if (g_fileRenameFunction(from.c_str(), to.c_str(), RENAME_NOREPLACE) == 0) {
            *renamed = true;
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
    }
    if (g_fileLinkFunction(from.c_str(), to.c_str()) == 0)
        return 0;
    if (!linksUnsupported(errno))
        return errno;
    const int err = renameNoReplace(from, to);
    *renamed = err == 0;
    return err;
}

// Removes a name while it is still the file it was (device and inode as in
// was): a file put there since, say by a sync client, stays beside the one
// set aside (logged). 0, also when the name is gone, or the unlink's error.
int removeName(const std::string& name, const struct stat& was)
{
    struct stat now;
    if (::lstat(name.c_str(), &now) != 0)
        return errno == ENOENT ? 0 : errno;
    if (now.st_dev != was.st_dev || now.st_ino != was.st_ino) {
        a_log("file_setAside. Another file took the name '%s' while it was set aside; both are kept", name.c_str());
        return 0;
    }
    return ::unlink(name.c_str()) == 0 ? 0 : errno;
}

// As many as the kernel itself follows.
constexpr int kMaxLinkHops = 40;

// The name a path's bytes live under: symbolic links in its last name, and
// chains of them (each relative to its own folder), are followed to a name
// that is not one. That name may not exist yet (*missing then): a link may
// name the file it is to hold. 0, or why not: ELOOP for a loop or too long
// a chain, EISDIR for a link that ends in '/', or a lookup's error.
int followLinks(const std::string& path, std::string& bytes, bool* missing)
{
    *missing = false;
    std::string at = path;
    std::vector<char> text(PATH_MAX);
    for (int hops = 0;; ++hops) {
        if (at.empty() || at.size() >= PATH_MAX)
            return ENAMETOOLONG;
        if (at.back() == '/')
            return EISDIR;
        struct stat st;
        if (::lstat(at.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return errno;
            *missing = true;
            bytes = at;
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            bytes = at;
            return 0;
        }
        if (hops == kMaxLinkHops)
            return ELOOP;
        const ssize_t n = ::readlink(at.c_str(), text.data(), text.size());
        if (n < 0)
            return errno;
        if (n == 0 || std::size_t(n) >= text.size())
            return n == 0 ? ENOENT : ENAMETOOLONG;
        const std::string to(text.data(), std::size_t(n));
        at = to[0] == '/' ? to : file_layer::parentOf(at) + to;
    }
}

// The path with its folder written as the system knows it (no "..", no
// folder links), for telling the player where a file is; as it was when
// the folder cannot be resolved.
std::string inRealFolder(const std::string& path)
{
    const std::string folder = file_layer::parentOf(path);
    char* real = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    if (!real)
        return path;
    std::string out = real;
    std::free(real);
    if (out.back() != '/')
        out += '/';
    return out + path.substr(folder.size());
}

} // namespace

bool file_isExistOrPacked(const std::string& path)
{
    const std::string full = fullPath(path);
    if (!usablePath(full))
        return false;
    struct stat st;
    return isFileOnDisk(full, &st) || file_layer::packedStat(full, nullptr);
}

bool file_isExist(const std::string& path, bool alsoInArchives)
{
    return alsoInArchives ? file_isExistOrPacked(path) : file_isExistOnDisk(path);
}

bool file_isDirExistOrPacked(const std::string& path)
{
    if (path.empty())
        return false;
    if (file_isDirExistOnDisk(path))
        return true;
    std::string full = fullPath(path);
    if (!usablePath(full))
        return false;
    while (full.size() > 1 && full.back() == '/')
        full.pop_back();
    // An archived folder is its "name/" entry; an archive that stands for
    // the folder itself counts too.
    return file_layer::packedStat(full + '/', nullptr) || file_layer::packedFolderArchive(full);
}

std::uint8_t* file_readFullAndMalloc(const std::string& path, std::uint32_t* size)
{
    if (size)
        *size = 0;
    const std::string full = fullPath(path);
    std::uint8_t* data = nullptr;
    std::uint32_t n = 0;
    if (usablePath(full)) {
        switch (readDisk(full, path, &data, &n)) {
        case DiskRead::Failed:
            return nullptr;
        case DiskRead::Done:
            if (size)
                *size = n;
            return data;
        case DiskRead::NotAFile:
            break;
        }
        switch (file_layer::packedRead(full, &data, &n)) {
        case file_layer::Packed::Broken:
            return nullptr;
        case file_layer::Packed::Found:
            if (size)
                *size = n;
            return data;
        case file_layer::Packed::Missing:
            break;
        }
    }
    a_log("file_readFullAndMalloc. Error open file: %s", path.c_str());
    return nullptr;
}

bool file_isArchiveLost() { return file_layer::archiveLost(); }

bool file_writeFull(const std::string& path, const void* data, std::uint32_t size)
{
    const std::string full = fullPath(path);
    std::string named;
    if (!usablePath(full) || full.back() == '/' || !file_layer::resolveForWrite(full, named)) {
        const int err = usablePath(full) && full.back() != '/' ? folderError(full) : EINVAL;
        a_log("file_writeFull. Error open file: %s (%s)", path.c_str(), std::strerror(err));
        errno = err;
        return false;
    }
    // A symbolic link stays: the file it names is replaced, in its own folder
    // (a player may link a save into a folder that is synced elsewhere).
    std::string target;
    bool missing = false;
    if (const int err = followLinks(named, target, &missing)) {
        a_log("file_writeFull. Error open file: %s (%s)", path.c_str(), std::strerror(err));
        errno = err;
        return false;
    }
    if (missing && target != named)
        a_log("file_writeFull. '%s' is a symbolic link to '%s', which does not exist: the data goes there",
              path.c_str(), target.c_str());
    // The data goes to a new file beside the target and replaces it only
    // once it is complete on disk: a crash or a full disk mid-write leaves
    // the old file as it was.
    const std::string folder = file_layer::parentOf(target);
    std::string temp;
    const int fd = openTemp(folder, target.substr(folder.size()), 0666, temp);
    int err = errno;
    if (fd < 0) {
        a_log("file_writeFull. Error open file: %s (%s)", path.c_str(), std::strerror(err));
        errno = err;
        return false;
    }
    struct stat old;
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);

    const char* step = "write";
    bool ok = writeAll(fd, data, size);
    if (ok) {
        step = "sync";
        ok = ::fsync(fd) == 0;
    }
    err = errno;
    if (::close(fd) != 0 && ok) {
        step = "close";
        ok = false;
        err = errno;
    }
    if (ok && g_fileRenameFunction(temp.c_str(), target.c_str(), 0) != 0) {
        step = "rename";
        ok = false;
        err = errno;
    }
    if (!ok)
        ::unlink(temp.c_str());
    dropTemp(temp);
    if (!ok) {
        file_layer::forgetFolder(folder);
        a_log("file_writeFull. Error writing file: %s (%s: %s)", path.c_str(), step, std::strerror(err));
        errno = err;
        return false;
    }
    // The rename itself is durable only once the folder is synced.
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    file_layer::forgetFolder(folder);
    return true;
}

bool file_isLinkedElsewhere(const std::string& path)
{
    const std::string full = fullPath(path);
    std::string named;
    struct stat st;
    if (!usablePath(full) || !file_layer::resolveForWrite(full, named) || ::lstat(named.c_str(), &st) != 0 ||
        !S_ISLNK(st.st_mode))
        return false;
    std::string target;
    bool missing = false;
    if (followLinks(named, target, &missing) != 0)
        return true;
    return file_nameBeside(path, target) != file_getName(target);
}

int file_readDisk(const std::string& path, std::uint32_t maxSize, std::vector<std::uint8_t>& data)
{
    data.clear();
    const std::string full = fullPath(path);
    if (!usablePath(full))
        return ENOENT;
    const int fd = openOnDisk(full);
    if (fd < 0)
        return errno;
    std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    const int err = readOpenFile(fd, maxSize, &bytes, &size);
    if (err == 0 && bytes) {
        data.assign(bytes, bytes + size);
        std::free(bytes);
    }
    return err;
}

std::string file_setAside(const std::string& path, const std::string& suffix, SetAside how, bool* alreadyKept)
{
    if (alreadyKept)
        *alreadyKept = false;
    std::string real;
    struct stat st;
    const std::string full = fullPath(path);
    if (!usablePath(full) || !file_layer::resolve(full, real, &st)) {
        errno = ENOENT;
        return std::string();
    }
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return std::string();
    }
    // A symbolic link is followed: the file it names is kept, beside itself,
    // in the folder the player chose (a link to the link would keep none of
    // its bytes once the file changes, and a file taken out of its folder
    // is lost to whoever looks there).
    std::string bytes = real;
    struct stat own;
    const bool linked = ::lstat(real.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    if (linked) {
        bool missing = false;
        const int err = followLinks(real, bytes, &missing);
        if (err || missing) {
            errno = err ? err : ENOENT;
            return std::string();
        }
        bytes = inRealFolder(bytes);
    }
    // Move takes the path's name away: the file's own, unless a rename took
    // it already; for a link the link's, and its file's (kept under the new
    // name) if it can.
    const auto leave = [&](bool named) {
        if (linked) {
            if (const int err = removeName(real, own))
                return err;
            if (named)
                removeName(bytes, st);
            return 0;
        }
        return named ? removeName(real, st) : 0;
    };
    const auto forget = [&] {
        if (linked)
            file_layer::forgetAllFolders();
        else
            file_layer::forgetParentOf(real);
    };
    const auto nameOf = [&](int n) { return bytes + suffix + (n == 1 ? std::string() : "." + std::to_string(n)); };
    int first = 1;
    for (struct stat other; first <= kMaxSetAside; ++first) {
        const std::string name = nameOf(first);
        if (::lstat(name.c_str(), &other) != 0)
            break;
        // A name that is this very file keeps it already.
        if (S_ISREG(other.st_mode) && other.st_dev == st.st_dev && other.st_ino == st.st_ino) {
            if (how == SetAside::Move) {
                if (const int err = leave(true)) {
                    errno = err;
                    return std::string();
                }
                forget();
            }
            if (alreadyKept)
                *alreadyKept = true;
            return name;
        }
    }
    // Never a copy, and both names stay in the file's folder, so another
    // file system never refuses them.
    int err = EEXIST;
    std::string aside;
    bool renamed = false;
    for (int n = first; n <= kMaxSetAside && err == EEXIST; ++n) {
        aside = nameOf(n);
        err = nameAside(bytes, aside, how == SetAside::Keep, &renamed);
    }
    if (err) {
        errno = err;
        return std::string();
    }
    if (how == SetAside::Move) {
        err = leave(!renamed);
        if (err) {
            if (renamed)
                renameNoReplace(aside, bytes);
            else
                removeName(aside, st);
            forget();
            errno = err;
            return std::string();
        }
    }
    forget();
    return aside;
}

std::string file_nameBeside(const std::string& path, const std::string& file)
{
    const std::string folder = file_layer::parentOf(fullPath(path));
    const std::string fileFolder = file_layer::parentOf(file);
    std::string real;
    struct stat a, b;
    if (file_layer::resolve(folder.empty() ? "./" : folder, real, &a) &&
        ::stat(fileFolder.empty() ? "." : fileFolder.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino)
        return file_getName(file);
    return file;
}

std::uint32_t file_getSize(const std::string& path)
{
    const std::string full = fullPath(path);
    if (usablePath(full)) {
        struct stat st;
        if (isFileOnDisk(full, &st)) {
            if (st.st_size <= off_t(UINT32_MAX))
                return std::uint32_t(st.st_size);
            a_log("file_getSize. File too large: %s", path.c_str());
            return 0;
        }
        std::uint32_t size = 0;
        if (file_layer::packedStat(full, &size))
            return size;
    }
    a_log("file_getSize. Error open file: %s", path.c_str());
    return 0;
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
