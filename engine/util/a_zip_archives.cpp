#include "engine/util/a_zip_archives.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unordered_map>
#include <unistd.h>
#include <vector>
#include <zlib.h>
#include <zzip/lib.h>  // the entry records (CRC, data offset) that zzip.h keeps to itself

#include "engine/util/a_file_lookup.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace file_layer {

namespace {

const char* const kArchiveExtensions[] = {".zip", ".pak"};

// Deflate cannot expand data by more than about 1032 to 1; a record that
// claims more is a lie, and trusting it would allocate without bound.
constexpr std::int64_t kMaxDeflateRatio = 1032;
// The fixed part of a local file header, in front of every entry's data.
constexpr std::int64_t kLocalHeaderSize = 30;

using Record = zzip_dir_hdr;

struct Archive {
    ZZIP_DIR* dir = nullptr;
    std::string file;      // the archive's real path, for messages
    std::int64_t fileSize = 0;
    // The entry records by stored name and by folded name; with repeated
    // names the first record wins, as in zziplib's own lookups.
    std::unordered_map<std::string, const Record*> exact;
    std::unordered_map<std::string, const Record*> caseless;
};

// An archive that failed to open, remembered so that it is neither
// re-parsed nor re-logged until the file changes.
struct BrokenStamp {
    off_t size = 0;
    timespec mtime{};
};

struct Archives {
    std::map<std::string, Archive, aLessNoCase> open;      // base path -> archive
    std::map<std::string, BrokenStamp> broken;             // real path -> stamp
};

// Never destroyed (see the closer below); guarded by the file-layer lock.
Archives& archives()
{
    static Archives* a = new Archives;
    return *a;
}

// Closes the archives when the program ends.
struct ExitCloser {
    ~ExitCloser() { closeAllArchives(); }
} g_exitCloser;

// zziplib's own texts hold printf directives ("zip-file %s too short"), so
// messages use these, with its number.
std::string zipError(int code, int savedErrno)
{
    const char* text;
    switch (code) {
    case ZZIP_NO_ERROR: text = "no error"; break;
    case ZZIP_OUTOFMEM: text = "out of memory"; break;
    case ZZIP_DIR_OPEN: text = "cannot open the file"; break;
    case ZZIP_DIR_STAT: text = "cannot query the file"; break;
    case ZZIP_DIR_SEEK: text = "cannot seek in the file"; break;
    case ZZIP_DIR_READ: text = "cannot read the file"; break;
    case ZZIP_DIR_TOO_SHORT: text = "too short for a zip archive"; break;
    case ZZIP_DIR_EDH_MISSING: text = "no end of central directory record"; break;
    case ZZIP_DIRSIZE: text = "the central directory does not fit in the file"; break;
    case ZZIP_ENOENT: text = "no such entry"; break;
    case ZZIP_UNSUPP_COMPR: text = "unsupported compression method"; break;
    case ZZIP_CORRUPTED: text = "corrupt data"; break;
    case ZZIP_DIR_LARGEFILE: text = "too large"; break;
    default: text = "unknown error"; break;
    }
    std::string out = text;
    if ((code == ZZIP_DIR_OPEN || code == ZZIP_DIR_STAT || code == ZZIP_DIR_SEEK || code == ZZIP_DIR_READ) &&
        savedErrno != 0)
        out += std::string(" (") + std::strerror(savedErrno) + ")";
    return out + ", zziplib error " + std::to_string(code);
}

std::string withSlash(std::string path)
{
    path = normalizeSeparators(std::move(path));
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

// The folders the walk must stay strictly below. Caller holds the lock.
const std::vector<std::string>& walkRoots()
{
    if (g_fileServer)
        return g_fileServer->walkRoots();
    static std::vector<std::string> fallback;
    fallback = {withSlash(getApplicationPath()), withSlash(getTempPath()), withSlash(getUserDataPath())};
    return fallback;
}

bool isBelowRoot(const std::string& prefix, const std::vector<std::string>& roots)
{
    for (const std::string& root : roots) {
        if (root.empty() || prefix.size() <= root.size() || prefix.compare(0, root.size(), root) != 0)
            continue;
        // Every step below the root must go down: "." or ".." (or an empty
        // step) could lead back to the root or above it.
        std::size_t start = root.size();
        bool down = true;
        while (start <= prefix.size()) {
            std::size_t end = prefix.find('/', start);
            if (end == std::string::npos)
                end = prefix.size();
            const std::size_t len = end - start;
            if (len == 0 || (len == 1 && prefix[start] == '.') ||
                (len == 2 && prefix[start] == '.' && prefix[start + 1] == '.')) {
                down = false;
                break;
            }
            start = end + 1;
        }
        if (down)
            return true;
    }
    return false;
}

// The archive standing for a base path, opened on first use; null when
// there is none. Caller holds the lock.
Archive* archiveFor(const std::string& base)
{
    Archives& a = archives();
    const auto it = a.open.find(base);
    if (it != a.open.end())
        return &it->second;

    for (const char* ext : kArchiveExtensions) {
        std::string real;
        struct stat st;
        if (!resolve(base + ext, real, &st) || !S_ISREG(st.st_mode))
            continue;
        const auto bad = a.broken.find(real);
        if (bad != a.broken.end() && bad->second.size == st.st_size &&
            bad->second.mtime.tv_sec == st.st_mtim.tv_sec && bad->second.mtime.tv_nsec == st.st_mtim.tv_nsec)
            continue;

        int fd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0 && fd < 3) {
            // zziplib takes descriptor 0 for "not open".
            const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
            ::close(fd);
            fd = moved;
        }
        if (fd < 0)
            continue;
        zzip_error_t err = ZZIP_NO_ERROR;
        errno = 0;
        ZZIP_DIR* dir = zzip_dir_fdopen(fd, &err);  // closes fd on failure
        if (!dir) {
            const int savedErrno = errno;
            if (bad == a.broken.end())
                a_log("Archive %s cannot be opened: %s", real.c_str(), zipError(err, savedErrno).c_str());
            a.broken[real] = BrokenStamp{st.st_size, st.st_mtim};
            continue;
        }
        a.broken.erase(real);
        Archive& added = a.open[base];
        added.dir = dir;
        added.file = real;
        added.fileSize = st.st_size;
        for (const Record* r = dir->hdr0; r;
             r = r->d_reclen ? reinterpret_cast<const Record*>(reinterpret_cast<const char*>(r) + r->d_reclen)
                             : nullptr) {
            added.exact.emplace(r->d_name, r);
            added.caseless.emplace(foldCase(r->d_name), r);
        }
        return &added;
    }
    return nullptr;
}

// An entry's record: an exact match first, then ignoring case.
const Record* findEntry(const Archive& a, const std::string& name)
{
    const auto hit = a.exact.find(name);
    if (hit != a.exact.end())
        return hit->second;
    const auto folded = a.caseless.find(foldCase(name));
    return folded == a.caseless.end() ? nullptr : folded->second;
}

bool usableMethod(const Record& r) { return r.d_compr == 0 || r.d_compr == 8; }

// Why a record cannot be read as it stands; null when it looks sound.
const char* recordFault(const Archive& a, const Record& r)
{
    if (!usableMethod(r))
        return "unsupported compression method";
    if (std::int64_t(r.d_off) + kLocalHeaderSize + std::int64_t(r.d_csize) > a.fileSize)
        return "data runs past the end of the archive";
    if (r.d_compr == 0 && r.d_csize != r.d_usize)
        return "stored sizes disagree";
    if (r.d_compr == 8 && std::int64_t(r.d_usize) > std::int64_t(r.d_csize) * kMaxDeflateRatio + 64)
        return "size exceeds what its data can hold";
    return nullptr;
}

// Calls visit(archive, entry name) for each archive of the walk, nearest
// first, until it returns true. Caller holds the lock.
template <class Visit>
bool walk(const std::string& path, Visit&& visit)
{
    if (path.empty() || path.size() >= PATH_MAX)
        return false;
    const std::vector<std::string>& roots = walkRoots();
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        if (slash + 1 >= path.size())
            continue;  // nothing after this '/'
        const std::string base = path.substr(0, slash);
        if (!isBelowRoot(base, roots))
            continue;
        Archive* archive = archiveFor(base);
        if (archive && visit(*archive, path.substr(slash + 1)))
            return true;
    }
    return false;
}

} // namespace

bool packedStat(const std::string& path, std::uint32_t* size)
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    return walk(path, [&](Archive& a, const std::string& name) {
        const Record* r = findEntry(a, name);
        if (!r || !usableMethod(*r))
            return false;
        if (size)
            *size = r->d_usize;
        return true;
    });
}

Packed packedRead(const std::string& path, std::uint8_t** data, std::uint32_t* size)
{
    *data = nullptr;
    *size = 0;
    Packed result = Packed::Missing;
    std::lock_guard<std::recursive_mutex> guard(lock());
    walk(path, [&](Archive& a, const std::string& name) {
        const Record* r = findEntry(a, name);
        if (!r)
            return false;
        result = Packed::Broken;
        if (const char* fault = recordFault(a, *r)) {
            a_log("Archive %s: entry %s is damaged (%s)", a.file.c_str(), r->d_name, fault);
            return true;
        }
        const std::uint32_t want = r->d_usize;
        if (want == 0) {
            result = Packed::Found;
            return true;
        }
        errno = 0;
        ZZIP_FILE* f = zzip_file_open(a.dir, r->d_name, 0);
        if (!f) {
            a_log("Archive %s: entry %s cannot be opened: %s", a.file.c_str(), r->d_name,
                  zipError(zzip_error(a.dir), errno).c_str());
            return true;
        }
        auto* buffer = static_cast<std::uint8_t*>(std::malloc(want));
        if (!buffer) {
            a_log("Archive %s: entry %s of %u bytes cannot be allocated", a.file.c_str(), r->d_name, want);
            zzip_file_close(f);
            return true;
        }
        std::uint32_t got = 0;
        while (got < want) {
            const zzip_ssize_t n = zzip_file_read(f, buffer + got, want - got);
            if (n <= 0)
                break;
            got += std::uint32_t(n);
        }
        zzip_file_close(f);
        const char* fault = nullptr;
        if (got != want)
            fault = "shorter than its record";
        else if (crc32(0, buffer, want) != r->d_crc32)
            fault = "checksum mismatch";
        if (fault) {
            std::free(buffer);
            a_log("Archive %s: entry %s is damaged (%s)", a.file.c_str(), r->d_name, fault);
            return true;
        }
        *data = buffer;
        *size = want;
        result = Packed::Found;
        return true;
    });
    return result;
}

bool packedFolderArchive(const std::string& folder)
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (folder.empty() || folder.size() >= PATH_MAX || !isBelowRoot(folder, walkRoots()))
        return false;
    return archiveFor(folder) != nullptr;
}

void closeAllArchives()
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    Archives& a = archives();
    for (auto& entry : a.open)
        zzip_dir_close(entry.second.dir);
    a.open.clear();
    a.broken.clear();
}

std::size_t openArchiveCount()
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    return archives().open.size();
}

} // namespace file_layer
