#include "engine/util/a_file_lookup.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <unordered_map>
#include <vector>

namespace file_layer {

namespace {

struct Listing {
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    // Read so soon after the folder changed that a later change could carry
    // the same timestamp; such a listing is read again on its next use.
    bool racy = false;
    std::unordered_map<std::string, std::string> names;  // folded -> real
};

// A bound on the cache; past it every listing is dropped at once.
constexpr std::size_t kMaxListings = 4096;

// A folder reached by ignoring case, so that the next name in it costs one
// stat instead of one per level. Valid while the real folder is the same
// inode.
struct ResolvedFolder {
    std::string real;
    dev_t dev = 0;
    ino_t ino = 0;
};

struct State {
    std::recursive_mutex mutex;
    std::unordered_map<std::string, Listing> listings;
    std::unordered_map<std::string, ResolvedFolder> folders;  // as written -> real
};

// Never destroyed: file reads from other static destructors stay valid.
State& state()
{
    static State* s = new State;
    return *s;
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// A timestamp that is too close to now to tell a later change apart. File
// systems without sub-second stamps need a wider margin.
bool isRacy(const timespec& mtime)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long marginNs = mtime.tv_nsec == 0 ? 2000000000LL : 50000000LL;
    const long long age = (now.tv_sec - mtime.tv_sec) * 1000000000LL + (now.tv_nsec - mtime.tv_nsec);
    return age < marginNs;
}

std::string folderKey(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string join(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + '/' + name;
}

// The listing of a folder whose stat the caller has just taken; null when
// it cannot be read. Caller holds the lock.
const Listing* listingOf(const std::string& folder, const struct stat& st)
{
    State& s = state();
    auto it = s.listings.find(folder);
    if (it != s.listings.end()) {
        const Listing& l = it->second;
        if (!l.racy && l.dev == st.st_dev && l.ino == st.st_ino && sameTime(l.mtime, st.st_mtim))
            return &l;
        s.listings.erase(it);
    }
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return nullptr;
    Listing l;
    l.dev = st.st_dev;
    l.ino = st.st_ino;
    l.mtime = st.st_mtim;
    l.racy = isRacy(st.st_mtim);
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        // Two names that differ only in case: the smaller one wins, so the
        // choice does not depend on the order readdir gives.
        auto res = l.names.emplace(foldCase(name), name);
        if (!res.second && name < res.first->second)
            res.first->second = name;
    }
    ::closedir(dir);
    if (s.listings.size() >= kMaxListings)
        s.listings.clear();
    return &s.listings.emplace(folder, std::move(l)).first->second;
}

// The name as it is spelt in the real folder dir (whose stat is ds). A
// folder that cannot be listed holds no other spelling (ENOENT).
bool realNameIn(const std::string& dir, const struct stat& ds, const std::string& name, std::string& realName)
{
    if (name == "." || name == "..") {
        realName = name;
        return true;
    }
    if (const Listing* l = listingOf(dir, ds)) {
        const auto hit = l->names.find(foldCase(name));
        if (hit != l->names.end()) {
            realName = hit->second;
            return true;
        }
    }
    errno = ENOENT;
    return false;
}

// The last step of a lookup: name in the real folder dir.
bool finishIn(const std::string& dir, struct stat& ds, const std::string& name, bool statTarget, bool wantDir,
              std::string& real, struct stat* st)
{
    std::string realName;
    if (!realNameIn(dir, ds, name, realName))
        return false;
    const std::string target = join(dir, realName);
    if (statTarget || wantDir) {
        if (::stat(target.c_str(), &ds) != 0)
            return false;
        if (wantDir && !S_ISDIR(ds.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
    }
    real = wantDir ? target + '/' : target;
    if (st && statTarget)
        *st = ds;
    return true;
}

// The caseless part of resolve: p has no '\', no repeated '/'.
bool resolveSlow(std::string p, std::string& real, struct stat* st, bool statTarget)
{
    const bool wantDir = p.size() > 1 && p.back() == '/';
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();

    const std::size_t lastSlash = p.rfind('/');
    const std::string writtenFolder =
        lastSlash == std::string::npos || lastSlash == 0 ? std::string() : p.substr(0, lastSlash);
    if (!writtenFolder.empty()) {
        std::lock_guard<std::recursive_mutex> guard(lock());
        auto& folders = state().folders;
        const auto known = folders.find(writtenFolder);
        if (known != folders.end()) {
            struct stat ds;
            if (::stat(known->second.real.c_str(), &ds) == 0 && S_ISDIR(ds.st_mode) &&
                ds.st_dev == known->second.dev && ds.st_ino == known->second.ino) {
                const std::string folder = known->second.real;
                return finishIn(folder, ds, p.substr(lastSlash + 1), statTarget, wantDir, real, st);
            }
            folders.erase(known);
        }
    }

    // Climb to the nearest folder that exists as written.
    std::vector<std::string> names;
    std::string dir = p;
    struct stat ds;
    for (;;) {
        const std::size_t slash = dir.rfind('/');
        if (slash == std::string::npos) {
            names.push_back(dir);
            dir.clear();
        } else {
            names.push_back(dir.substr(slash + 1));
            dir = slash == 0 ? std::string("/") : dir.substr(0, slash);
        }
        if (::stat(dir.empty() ? "." : dir.c_str(), &ds) == 0) {
            if (!S_ISDIR(ds.st_mode)) {
                errno = ENOTDIR;
                return false;
            }
            break;
        }
        if ((errno != ENOENT && errno != ENOTDIR) || dir.empty() || dir == "/")
            return false;
    }

    std::lock_guard<std::recursive_mutex> guard(lock());
    for (std::size_t i = names.size(); i-- > 1;) {
        std::string realName;
        if (!realNameIn(dir, ds, names[i], realName))
            return false;
        dir = join(dir, realName);
        if (::stat(dir.c_str(), &ds) != 0)
            return false;
        if (!S_ISDIR(ds.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
    }
    if (!writtenFolder.empty() && writtenFolder != dir) {
        auto& folders = state().folders;
        if (folders.size() >= kMaxListings)
            folders.clear();
        folders[writtenFolder] = ResolvedFolder{dir, ds.st_dev, ds.st_ino};
    }
    return finishIn(dir, ds, names[0], statTarget, wantDir, real, st);
}

std::string collapseSlashes(std::string p)
{
    std::size_t out = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '/' && out > 0 && p[out - 1] == '/')
            continue;
        p[out++] = p[i];
    }
    p.resize(out);
    return p;
}

} // namespace

std::recursive_mutex& lock() { return state().mutex; }

std::string normalizeSeparators(std::string path)
{
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

std::string foldCase(const std::string& name)
{
    std::string out = name;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = char(c + 32);
            continue;
        }
        if (i + 1 >= out.size())
            break;
        const unsigned char n = static_cast<unsigned char>(out[i + 1]);
        if (c == 0xC3 && n >= 0x80 && n <= 0x9E && n != 0x97) {  // À..Þ but ×
            out[i + 1] = char(n + 0x20);
            ++i;
        } else if (c == 0xD0 && n >= 0x90 && n <= 0x9F) {  // А..П
            out[i + 1] = char(n + 0x20);
            ++i;
        } else if (c == 0xD0 && n >= 0xA0 && n <= 0xAF) {  // Р..Я
            out[i] = char(0xD1);
            out[i + 1] = char(n - 0x20);
            ++i;
        } else if (c == 0xD0 && n >= 0x80 && n <= 0x8F) {  // Ѐ..Џ
            out[i] = char(0xD1);
            out[i + 1] = char(n + 0x10);
            ++i;
        }
    }
    return out;
}

bool resolve(const std::string& path, std::string& real, struct stat* st)
{
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    const std::string p = collapseSlashes(normalizeSeparators(path));
    struct stat own;
    if (::stat(p.c_str(), &own) == 0) {
        real = p;
        if (st)
            *st = own;
        return true;
    }
    if (errno != ENOENT && errno != ENOTDIR)
        return false;
    return resolveSlow(p, real, st, true);
}

bool resolveCaseless(const std::string& path, std::string& real)
{
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    return resolveSlow(collapseSlashes(normalizeSeparators(path)), real, nullptr, false);
}

bool resolveForWrite(const std::string& path, std::string& real)
{
    if (resolve(path, real))
        return true;
    const std::string p = collapseSlashes(normalizeSeparators(path));
    const std::size_t slash = p.rfind('/');
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return false;
    if (slash == std::string::npos) {
        real = name;
        return true;
    }
    if (slash == 0) {
        real = "/" + name;
        return true;
    }
    std::string folder;
    if (!resolve(p.substr(0, slash + 1), folder))
        return false;
    real = folder + name;
    return true;
}

void forgetFolder(const std::string& folder)
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    state().listings.erase(folderKey(folder));
    // A write may have made a folder that matches a name as written, which
    // then takes precedence over the one found ignoring case.
    state().folders.clear();
}

void forgetParentOf(const std::string& path)
{
    std::string parent = parentOf(folderKey(path));
    forgetFolder(parent);
}

void forgetAllFolders()
{
    std::lock_guard<std::recursive_mutex> guard(lock());
    state().listings.clear();
    state().folders.clear();
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace file_layer
