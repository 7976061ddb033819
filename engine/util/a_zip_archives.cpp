#include "engine/util/a_zip_archives.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <fcntl.h>
#include <map>
#include <sys/mman.h>
#include <unordered_map>
#include <unistd.h>
#include <vector>
#include <zlib.h>
#include <zzip/lib.h>  // the entry records (CRC, data offset) that zzip.h keeps to itself
#include <zzip/mmapped.h>

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
// zlib's fast inflate loop runs only while this much output room is left
// (the longest match), so a buffer that ends with the entry would have the
// last stretch decoded slowly; deflated entries get this much room past
// their end.
constexpr std::uint32_t kInflateRoom = 258;
// Why an entry could not be read when its data is not to blame.
const char* const kNoMemory = "out of memory";

using Record = zzip_dir_hdr;

// An entry: zziplib's record of it, and the same record in the mapped
// central directory, through which its data is found (null when the walk
// over the mapping did not pair them).
struct Entry {
    const Record* record = nullptr;
    ZZIP_DISK_ENTRY* mapped = nullptr;
};

struct Archive {
    ZZIP_DIR* dir = nullptr;
    // The whole file mapped read-only, then zero bytes up to a page past
    // its end; disk spans the file's part.
    void* mapping = nullptr;
    std::size_t mappedBytes = 0;
    ZZIP_DISK* disk = nullptr;
    std::string file;      // the archive's real path, for messages
    std::int64_t fileSize = 0;
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
};

Inflater& inflater()
{
    static Inflater* i = new Inflater;
    return *i;
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

// Maps the file read-only with a page of zeros after it: zziplib's walk
// over the mapped directory reads a record's fixed fields before it checks
// that they lie within the file, so a mangled archive makes it look up to
// a record's length past the end. False with errno set.
bool mapWithGuard(int fd, Archive& a)
{
    const std::size_t size = std::size_t(a.fileSize);
    const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    const std::size_t bytes = (size + page - 1) / page * page + page;
    void* area = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return false;
    if (::mmap(area, size, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED ||
        !(a.disk = zzip_disk_buffer(area, size))) {
        const int savedErrno = errno ? errno : ENOMEM;
        ::munmap(area, bytes);
        errno = savedErrno;
        return false;
    }
    a.mapping = area;
    a.mappedBytes = bytes;
    return true;
}

void closeArchive(Archive& a)
{
    zzip_dir_close(a.dir);
    zzip_disk_close(a.disk);  // leaves the mapping to us
    ::munmap(a.mapping, a.mappedBytes);
}

bool sameName(ZZIP_DISK* disk, ZZIP_DISK_ENTRY* mapped, const char* name)
{
    char* copy = zzip_disk_entry_strdup_name(disk, mapped);
    const bool same = copy && std::strcmp(copy, name) == 0;
    std::free(copy);
    return same;
}

// Indexes the records by name. zziplib has read the directory from the
// file and the mapped walk finds the same records in the same order; from
// the first that disagrees on, records have no mapped twin.
void indexEntries(Archive& a)
{
    ZZIP_DISK_ENTRY* mapped = zzip_disk_findfirst(a.disk);
    for (const Record* r = a.dir->hdr0; r;
         r = r->d_reclen ? reinterpret_cast<const Record*>(reinterpret_cast<const char*>(r) + r->d_reclen)
                         : nullptr) {
        if (mapped && !sameName(a.disk, mapped, r->d_name))
            mapped = nullptr;
        const Entry entry{r, mapped};
        a.exact.emplace(r->d_name, entry);
        a.caseless.emplace(foldCase(r->d_name), entry);
        if (mapped)
            mapped = zzip_disk_findnext(a.disk, mapped);
    }
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
        // Entries are read from a mapping of the file, sized by what the
        // open descriptor holds now.
        Archive opened;
        opened.dir = dir;
        opened.file = real;
        struct stat now;
        const bool sized = ::fstat(zzip_dirfd(dir), &now) == 0;
        opened.fileSize = sized ? now.st_size : 0;
        if (!sized || !mapWithGuard(zzip_dirfd(dir), opened)) {
            const int savedErrno = errno;
            zzip_dir_close(dir);
            if (bad == a.broken.end())
                a_log("Archive %s cannot be mapped: %s", real.c_str(), std::strerror(savedErrno));
            a.broken[real] = BrokenStamp{st.st_size, st.st_mtim};
            continue;
        }
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

// Inflates a raw deflate stream that must give usize bytes into out (room
// for usize + kInflateRoom). Null, or why not.
const char* inflateInto(zzip_byte_t* in, std::uint32_t csize, std::uint8_t* out, std::uint32_t usize)
{
    Inflater& z = inflater();
    if (z.ready) {
        inflateReset(&z.stream);
    } else {
        if (inflateInit2(&z.stream, -MAX_WBITS) != Z_OK)
            return kNoMemory;
        z.ready = true;
    }
    z.stream.next_in = in;
    z.stream.avail_in = csize;
    z.stream.next_out = out;
    z.stream.avail_out = usize + kInflateRoom;
    switch (inflate(&z.stream, Z_FINISH)) {
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

// An entry with no mapped twin, read through zziplib's file calls, which
// find it by name (the first record of that name, as the index does).
const char* readUnpaired(const Archive& a, const Record& r, std::uint8_t* out)
{
    ZZIP_FILE* f = zzip_file_open(a.dir, r.d_name, 0);
    if (!f)
        return "zziplib cannot open it";
    std::uint32_t got = 0;
    while (got < r.d_usize) {
        const zzip_ssize_t n = zzip_file_read(f, out + got, r.d_usize - got);
        if (n <= 0)
            break;
        got += std::uint32_t(n);
    }
    zzip_file_close(f);
    return got == r.d_usize ? nullptr : "shorter than its record";
}

// The contents of an entry whose record looks sound, into out (see
// bufferFor). Null, or why not.
const char* readContents(const Archive& a, const Entry& e, std::uint8_t* out)
{
    const Record& r = *e.record;
    if (!e.mapped)
        return readUnpaired(a, r, out);
    const void* header = zzip_disk_entry_to_file_header(a.disk, e.mapped);
    if (!header)
        return "no local header";
    if (header != a.disk->buffer + r.d_off)
        return readUnpaired(a, r, out);  // a twin by name only
    // The local header's own name and extra field decide where the data
    // starts, and may push it out of the file.
    zzip_byte_t* data = zzip_disk_entry_to_data(a.disk, e.mapped);
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(data) - reinterpret_cast<std::uintptr_t>(a.disk->buffer);
    if (at > std::uintptr_t(a.fileSize) || r.d_csize > std::uintptr_t(a.fileSize) - at)
        return "data runs past the end of the archive";
    if (r.d_compr == 8)
        return inflateInto(data, r.d_csize, out, r.d_usize);
    std::memcpy(out, data, r.d_usize);
    return nullptr;
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
        if (!e || !usableMethod(*e->record))
            return false;
        if (size)
            *size = e->record->d_usize;
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
        result = Packed::Broken;
        const Record& r = *e->record;
        const char* fault = recordFault(a, r);
        std::uint8_t* buffer = nullptr;
        if (!fault && r.d_usize > 0) {
            buffer = bufferFor(r);
            fault = buffer ? readContents(a, *e, buffer) : kNoMemory;
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
    Inflater& z = inflater();
    if (z.ready)
        inflateEnd(&z.stream);
    z.ready = false;
}

std::size_t openArchiveCount()
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    return archives().open.size();
}

} // namespace file_layer
