// Whole-file reads and writes, existence tests and path splitting. Reads look
// on disk first (ignoring letter case when the exact name misses), then
// inside the archives that stand for folders of the path.
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/util/a_file_lookup.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_zip_archives.h"

ssize_t (*g_fileWriteFunction)(int fd, const void* data, std::size_t size) = ::write;

namespace {

std::string fullPath(const std::string& path) { return file_layer::normalizeSeparators(file_manglePath(path)); }

bool usablePath(const std::string& full) { return !full.empty() && full.size() < PATH_MAX; }

// A descriptor for reading a file on disk, -1 when there is none. O_NONBLOCK
// keeps a FIFO from hanging the open; such files are refused afterwards.
int openOnDisk(const std::string& full)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    const int fd = ::open(full.c_str(), flags);
    if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR))
        return fd;
    std::string real;
    if (!file_layer::resolveCaseless(full, real))
        return -1;
    return ::open(real.c_str(), flags);
}

enum class DiskRead { NotAFile, Done, Failed };

DiskRead readDisk(const std::string& full, const std::string& path, std::uint8_t** data, std::uint32_t* size)
{
    const int fd = openOnDisk(full);
    if (fd < 0)
        return DiskRead::NotAFile;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return DiskRead::NotAFile;
    }
    if (st.st_size > off_t(UINT32_MAX)) {
        ::close(fd);
        a_log("file_readFullAndMalloc. File too large: %s", path.c_str());
        return DiskRead::Failed;
    }
    const std::size_t want = std::size_t(st.st_size);
    std::uint8_t* buffer = nullptr;
    if (want > 0) {
        buffer = static_cast<std::uint8_t*>(std::malloc(want));
        if (!buffer) {
            ::close(fd);
            a_log("file_readFullAndMalloc. Cannot allocate %zu bytes for %s", want, path.c_str());
            return DiskRead::Failed;
        }
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, buffer + got, want - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        if (got != want) {
            std::free(buffer);
            ::close(fd);
            a_log("file_readFullAndMalloc. Error reading file: %s", path.c_str());
            return DiskRead::Failed;
        }
    }
    ::close(fd);
    *data = buffer;
    *size = std::uint32_t(want);
    return DiskRead::Done;
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

bool file_writeFull(const std::string& path, const void* data, std::uint32_t size)
{
    const std::string full = fullPath(path);
    std::string target;
    if (!usablePath(full) || full.back() == '/' || !file_layer::resolveForWrite(full, target)) {
        a_log("file_writeFull. Error open file: %s", path.c_str());
        return false;
    }
    // The data goes to a new file beside the target and replaces it only
    // once it is complete on disk: a crash or a full disk mid-write leaves
    // the old file as it was.
    const std::string folder = file_layer::parentOf(target);
    const std::string name = target.substr(folder.size()).substr(0, 100);
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        a_log("file_writeFull. Error open file: %s (%s)", path.c_str(), std::strerror(errno));
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
    int err = errno;
    if (::close(fd) != 0 && ok) {
        step = "close";
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        step = "rename";
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        file_layer::forgetFolder(folder);
        a_log("file_writeFull. Error writing file: %s (%s: %s)", path.c_str(), step, std::strerror(err));
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
