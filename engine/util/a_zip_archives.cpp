#include "engine/util/a_zip_archives.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
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
constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
// zlib's fast inflate loop runs only while this much output room is left
// (the longest match), so a buffer that ends with the entry would have the
// last stretch decoded slowly; deflated entries get this much room past
// their end.
constexpr std::uint32_t kInflateRoom = 258;
// Deflated data is read in pieces of this size.
constexpr std::uint32_t kReadPiece = 256 * 1024;
// Why an entry could not be read when its data is not to blame.
const char* const kNoMemory = "out of memory";
const char* const kCutShort = "the archive ends before its data";
const char* const kReadError = "the archive cannot be read";

using Record = zzip_dir_hdr;

// An entry: zziplib's record of it, or none for a folder known only from
// the paths of the entries in it (many archivers write no "name/" entries).
struct Entry {
    const Record* record = nullptr;
};

// An archive is read through its open descriptor (pread), never through a
// mapping: a file cut short under a mapping faults the reader, where a read
// just comes up short.
struct Archive {
    ZZIP_DIR* dir = nullptr;
    int fd = -1;           // zziplib's, closed with dir
    std::string file;      // the archive's real path, for messages
    std::int64_t fileSize = 0;
    timespec mtime{};      // as opened: a read that fails in a file changed since is not the data's fault
    bool changed = false;  // found changed on disk (logged once)
    // The entries by stored name and by folded name; with repeated names
    // the first record wins, as in zziplib's own lookups.
    std::unordered_map<std::string, Entry> exact;
    std::unordered_map<std::string, Entry> caseless;
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

// One raw-deflate stream for every entry, reset in between rather than
// built anew; guarded by the file-layer lock.
struct Inflater {
    z_stream stream{};
    bool ready = false;
    std::vector<std::uint8_t> input;  // a piece of deflated data
};

Inflater& inflater()
{
    static Inflater* i = new Inflater;
    return *i;
}

// Set once an open archive could no longer be read as it was opened.
std::atomic<bool> g_archiveLost{false};

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

void closeArchive(Archive& a) { zzip_dir_close(a.dir); }

// Calls visit for each of zziplib's records of the archive, in order.
template <class Visit>
void forEachRecord(const Archive& a, Visit&& visit)
{
    for (const Record* r = a.dir->hdr0; r;
         r = r->d_reclen ? reinterpret_cast<const Record*>(reinterpret_cast<const char*>(r) + r->d_reclen)
                         : nullptr)
        visit(*r);
}

// Indexes the records by name, then the folders their paths pass through
// that have no entry of their own.
void indexEntries(Archive& a)
{
    forEachRecord(a, [&](const Record& r) {
        a.exact.emplace(r.d_name, Entry{&r});
        a.caseless.emplace(foldCase(r.d_name), Entry{&r});
    });
    forEachRecord(a, [&](const Record& r) {
        const std::string name = r.d_name;
        for (std::size_t slash = name.find('/', 1); slash != std::string::npos; slash = name.find('/', slash + 1)) {
            const std::string folder = name.substr(0, slash + 1);
            a.exact.emplace(folder, Entry{});
            a.caseless.emplace(foldCase(folder), Entry{});
        }
    });
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
        // The size and time the descriptor shows now are what the entries
        // are checked against, and what tells a later change on disk.
        struct stat now;
        if (::fstat(zzip_dirfd(dir), &now) != 0) {
            const int savedErrno = errno;
            zzip_dir_close(dir);
            if (bad == a.broken.end())
                a_log("Archive %s cannot be opened: %s", real.c_str(), std::strerror(savedErrno));
            a.broken[real] = BrokenStamp{st.st_size, st.st_mtim};
            continue;
        }
        Archive opened;
        opened.dir = dir;
        opened.fd = zzip_dirfd(dir);
        opened.file = real;
        opened.fileSize = now.st_size;
        opened.mtime = now.st_mtim;
        a.broken.erase(real);
        Archive& added = a.open[base] = std::move(opened);
        indexEntries(added);
        return &added;
    }
    return nullptr;
}

// An entry: an exact match first, then ignoring case; null when none.
const Entry* findEntry(const Archive& a, const std::string& name)
{
    const auto hit = a.exact.find(name);
    if (hit != a.exact.end())
        return &hit->second;
    const auto folded = a.caseless.find(foldCase(name));
    return folded == a.caseless.end() ? nullptr : &folded->second;
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

// Reads exactly size bytes at offset at. Null, or why not.
const char* readAt(const Archive& a, void* out, std::size_t size, std::int64_t at)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(a.fd, static_cast<char*>(out) + got, size - got, off_t(at) + off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return kReadError;
        if (n == 0)
            return kCutShort;
        got += std::size_t(n);
    }
    return nullptr;
}

std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }

// Inflates the raw deflate stream of csize bytes at offset at, which must
// give usize bytes, into out (room for usize + kInflateRoom). Null, or why
// not.
const char* inflateInto(const Archive& a, std::int64_t at, std::uint32_t csize, std::uint8_t* out,
                        std::uint32_t usize)
{
    Inflater& z = inflater();
    if (z.ready) {
        inflateReset(&z.stream);
    } else {
        if (inflateInit2(&z.stream, -MAX_WBITS) != Z_OK)
            return kNoMemory;
        z.ready = true;
    }
    if (z.input.size() < std::min(csize, kReadPiece))
        z.input.resize(std::min(csize, kReadPiece));
    z.stream.next_in = z.input.data();
    z.stream.avail_in = 0;
    z.stream.next_out = out;
    z.stream.avail_out = usize + kInflateRoom;
    std::uint32_t left = csize;
    int result = Z_OK;
    while (result == Z_OK) {
        if (z.stream.avail_in == 0 && left > 0) {
            const std::uint32_t piece = std::min(left, kReadPiece);
            if (const char* fault = readAt(a, z.input.data(), piece, at))
                return fault;
            at += piece;
            left -= piece;
            z.stream.next_in = z.input.data();
            z.stream.avail_in = piece;
        }
        // Z_OK only while it goes on; with Z_FINISH it ends or fails.
        result = inflate(&z.stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
    }
    switch (result) {
    case Z_STREAM_END:
        if (z.stream.total_out == usize)
            return nullptr;
        return z.stream.total_out < usize ? "shorter than its record" : "longer than its record";
    case Z_BUF_ERROR:
        return z.stream.avail_out == 0 ? "longer than its record" : "shorter than its record";
    case Z_MEM_ERROR:
        return kNoMemory;
    default:
        return "corrupt data";
    }
}

// The contents of an entry whose record looks sound, into out (see
// bufferFor). Null, or why not.
const char* readContents(const Archive& a, const Record& r, std::uint8_t* out)
{
    std::uint8_t header[kLocalHeaderSize];
    if (const char* fault = readAt(a, header, sizeof header, r.d_off))
        return fault;
    if ((le16(header) | le16(header + 2) << 16) != kLocalHeaderSignature)
        return "no local header";
    // The local header's own name and extra field decide where the data
    // starts, and may push it out of the file.
    const std::int64_t at = std::int64_t(r.d_off) + kLocalHeaderSize + le16(header + 26) + le16(header + 28);
    if (at + std::int64_t(r.d_csize) > a.fileSize)
        return "data runs past the end of the archive";
    if (r.d_compr == 8)
        return inflateInto(a, at, r.d_csize, out, r.d_usize);
    return readAt(a, out, r.d_usize, at);
}

// A read that failed in an archive whose file is no longer what was opened
// (cut short, or written over in place), or that the disk refused, is no
// fault of the entry: the archive is lost. Logged once per archive.
bool lostOnDisk(Archive& a, const char* fault)
{
    if (a.changed)
        return true;
    struct stat now;
    const bool same = ::fstat(a.fd, &now) == 0 && now.st_size == a.fileSize &&
                      now.st_mtim.tv_sec == a.mtime.tv_sec && now.st_mtim.tv_nsec == a.mtime.tv_nsec;
    if (same && fault != kReadError)
        return false;
    a.changed = true;
    g_archiveLost = true;
    a_log("Archive %s %s while it was open: its entries can no longer be read", a.file.c_str(),
          same ? "failed to read" : "changed on disk");
    return true;
}

// A buffer for an entry's contents, with room for inflating.
std::uint8_t* bufferFor(const Record& r)
{
    return static_cast<std::uint8_t*>(std::malloc(std::size_t(r.d_usize) + (r.d_compr == 8 ? kInflateRoom : 0)));
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
        const Entry* e = findEntry(a, name);
        if (!e || (e->record && !usableMethod(*e->record)))
            return false;
        if (size)
            *size = e->record ? e->record->d_usize : 0;
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
        const Entry* e = findEntry(a, name);
        if (!e)
            return false;
        if (!e->record) {
            result = Packed::Found;  // a folder: empty, as its own entry would be
            return true;
        }
        result = Packed::Broken;
        const Record& r = *e->record;
        const char* fault = recordFault(a, r);
        std::uint8_t* buffer = nullptr;
        if (!fault && r.d_usize > 0) {
            buffer = bufferFor(r);
            fault = buffer ? readContents(a, r, buffer) : kNoMemory;
            if (!fault && crc32(0, buffer, r.d_usize) != r.d_crc32)
                fault = "checksum mismatch";
        }
        if (fault == kNoMemory) {
            std::free(buffer);
            a_log("Archive %s: entry %s of %u bytes cannot be read (%s)", a.file.c_str(), r.d_name, r.d_usize, fault);
            return true;
        }
        if (fault) {
            std::free(buffer);
            if (lostOnDisk(a, fault))
                a_log("Archive %s: entry %s cannot be read (%s)", a.file.c_str(), r.d_name, fault);
            else
                a_log("Archive %s: entry %s is damaged (%s)", a.file.c_str(), r.d_name, fault);
            return true;
        }
        *data = buffer;
        *size = r.d_usize;
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
        closeArchive(entry.second);
    a.open.clear();
    a.broken.clear();
    g_archiveLost = false;
    Inflater& z = inflater();
    if (z.ready)
        inflateEnd(&z.stream);
    z.ready = false;
}

bool archiveLost() { return g_archiveLost; }

std::size_t openArchiveCount()
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    return archives().open.size();
}

} // namespace file_layer
