#include "engine/util/a_file_server.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/util/a_application.h"
#include "engine/util/a_file_lookup.h"
#include "engine/util/a_log.h"
#include "platform/system/system_info.h"

aFileServer* g_fileServer = nullptr;

const char* const aFileServer::kSpecialFolders[14] = {
    "userprof", "userdocs", "usermusic", "uservideo", "userdesktop", "userstart", "userprogs",
    "userappdata", "alldocs", "allmusic", "allvideo", "allstart", "allprogs", "allappdata",
};

namespace {

std::string withSlash(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isWalkRoot(const std::string& name)
{
    if (str_equalNoCase(name, "home") || str_equalNoCase(name, "temp"))
        return true;
    for (const char* special : aFileServer::kSpecialFolders) {
        if (str_equalNoCase(name, special))
            return true;
    }
    return false;
}

// A name fit for a folder: no separators, nothing that is not printable.
std::string folderSafe(const std::string& name)
{
    std::string out;
    for (const char c : name)
        out += (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    return out.empty() || out == "." || out == ".." ? std::string("a2d") : out;
}

// The file name of a path, whatever separates it from its folder or assign.
std::string copyName(const std::string& path)
{
    const std::size_t cut = path.find_last_of("/\\:");
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    return name.empty() || name == "." || name == ".." ? std::string("file") : name;
}

} // namespace

const std::string& getApplicationPath()
{
    static const std::string path = [] {
        const std::string exe = platform::executablePath();
        const std::size_t slash = exe.rfind('/');
        return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    }();
    return path;
}

std::string getTempPath()
{
    const char* tmp = std::getenv("TMPDIR");
    return withSlash((tmp && *tmp) ? tmp : "/tmp");
}

std::string getUserDataPath()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/')
        return withSlash(xdg);
    std::string home;
    const char* h = std::getenv("HOME");
    if (h && *h == '/') {
        home = h;
    } else if (const passwd* pw = getpwuid(geteuid())) {
        if (pw->pw_dir && *pw->pw_dir == '/')
            home = pw->pw_dir;
    }
    if (home.empty())
        return std::string();
    return withSlash(home) + ".local/share/";
}

aFileServer::aFileServer()
{
    g_fileServer = this;
    setAssign("home", getApplicationPath());
    setAssign("temp", getTempPath());
    // Every per-user folder lives under the user's data folder: nothing is
    // written into the program folder or straight into $HOME.
    const std::string data = getUserDataPath();
    for (const char* name : kSpecialFolders)
        setAssign(name, data.empty() ? std::string("temp:") : data);
}

aFileServer::~aFileServer()
{
    for (const auto& copy : m_tempCopies)
        deleteFile(copy.second);
    if (!m_tempFolder.empty()) {
        const std::string folder = m_tempFolder.substr(0, m_tempFolder.size() - 1);
        if (::rmdir(folder.c_str()) != 0)
            a_log("aFileServer: temporary folder %s not removed: %s", folder.c_str(), std::strerror(errno));
        file_layer::forgetFolder(folder);
        file_layer::forgetParentOf(folder);
    }
    if (g_fileServer == this)
        g_fileServer = nullptr;
}

void aFileServer::setAssign(const std::string& name, const std::string& folder)
{
    if (name.size() < 2) {
        a_log("aFileServer::setAssign(%s) less than 2 chars, ignored", name.c_str());
        return;
    }
    if (str_equalNoCase(name, "home") && m_assigns.count("home")) {
        a_log("aFileServer::setAssign(%s) override failed!", name.c_str());
        return;
    }
    m_assigns[name] = manglePath(folder);
    if (isWalkRoot(name))
        updateWalkRoots();
}

void aFileServer::updateWalkRoots()
{
    std::vector<std::string> roots;
    for (const auto& assign : m_assigns) {
        if (!isWalkRoot(assign.first) || assign.second.empty())
            continue;
        std::string root = file_layer::normalizeSeparators(assign.second);
        if (root.back() != '/')
            root += '/';
        roots.push_back(root);
    }
    std::lock_guard<std::recursive_mutex> guard(file_layer::lock());
    m_walkRoots.swap(roots);
}

std::string aFileServer::getAssign(const std::string& name) const
{
    const auto it = m_assigns.find(name);
    return it == m_assigns.end() ? std::string() : it->second;
}

std::string aFileServer::manglePath(const std::string& path) const
{
    const std::size_t colon = path.find(':');
    if (colon == std::string::npos || colon < 2)
        return path;
    const auto it = m_assigns.find(path.substr(0, colon));
    if (it == m_assigns.end()) {
        a_log("aFileServer::manglePath(%s) not valid!", path.c_str());
        return path;
    }
    return it->second + path.substr(colon + 1);
}

bool aFileServer::makeDir(const std::string& path)
{
    const std::string full = file_layer::normalizeSeparators(manglePath(path));
    if (full.empty())
        return false;
    // Each folder along the way is taken as it exists on disk in any letter
    // case, and made only when it is missing.
    std::string real = full[0] == '/' ? "/" : "";
    std::size_t start = real.size();
    while (start < full.size()) {
        std::size_t end = full.find('/', start);
        if (end == std::string::npos)
            end = full.size();
        const std::string name = full.substr(start, end - start);
        start = end + 1;
        if (name.empty())
            continue;  // doubled separator or the end after one
        const std::string part = real.empty() || real.back() == '/' ? real + name : real + '/' + name;
        std::string found;
        struct stat st;
        if (file_layer::resolve(part, found, &st)) {
            if (!S_ISDIR(st.st_mode)) {
                a_log("aFileServer::makeDir(%s...) failed!", part.c_str());
                errno = ENOTDIR;
                return false;
            }
            real = found;
            continue;
        }
        if (::mkdir(part.c_str(), 0755) != 0 && !(errno == EEXIST && isDirectory(part))) {
            const int error = errno;
            a_log("aFileServer::makeDir(%s...) failed!", part.c_str());
            errno = error;
            return false;
        }
        file_layer::forgetParentOf(part);
        real = part;
    }
    return true;
}

bool aFileServer::deleteFile(const std::string& path)
{
    std::string real;
    if (!file_layer::resolve(file_layer::normalizeSeparators(manglePath(path)), real) ||
        std::remove(real.c_str()) != 0) {
        a_log("aFileServer::deleteFile(%s) failed!", path.c_str());
        return false;
    }
    file_layer::forgetFolder(real);
    file_layer::forgetParentOf(real);
    return true;
}

std::string aFileServer::extractToTemp(const std::string& path)
{
    const auto known = m_tempCopies.find(path);
    if (known != m_tempCopies.end())
        return known->second;

    aFile file(path);
    if (!file.isLoaded())
        return std::string();

    // A private folder for this run: nobody else can plant files in it, and
    // nothing from an earlier run is taken for this run's data.
    if (m_tempFolder.empty()) {
        const std::string base = file_layer::normalizeSeparators(manglePath("temp:"));
        if (!file_isDirExistOnDisk(base))
            makeDir(base);
        const std::string appName = g_application ? g_application->m_name : std::string("a2d");
        const std::string pattern = withSlash(base) + folderSafe(appName) + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!::mkdtemp(buffer.data())) {
            a_log("aFileServer::extractToTemp(%s) no temporary folder in %s: %s", path.c_str(), base.c_str(),
                  std::strerror(errno));
            return std::string();
        }
        m_tempFolder = std::string(buffer.data()) + "/";
        file_layer::forgetFolder(base);
    }

    // Two sources with one file name ("video:a/x.ogv", "flash:x.ogv") get
    // two copies: a name already taken gets a number before its extension.
    const std::string name = copyName(path);
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
    std::string copy = m_tempFolder + name;
    for (int n = 2;; ++n) {
        bool taken = false;
        for (const auto& other : m_tempCopies)
            taken = taken || str_equalNoCase(other.second, copy);
        if (!taken)
            break;
        copy = m_tempFolder + stem + "-" + std::to_string(n) + ext;
    }
    if (!file_writeFull(copy, file.data(), file.size()))
        return std::string();
    m_tempCopies[path] = copy;
    return copy;
}

std::string file_manglePath(const std::string& path)
{
    return g_fileServer ? g_fileServer->manglePath(path) : path;
}

bool file_isExistOnDisk(const std::string& path) { return file_lookOnDisk(path) == 0; }

int file_lookOnDisk(const std::string& path)
{
    std::string real;
    if (file_layer::resolve(file_manglePath(path), real))
        return 0;
    return errno == ENOTDIR ? ENOENT : errno;
}

bool file_isDirExistOnDisk(const std::string& path)
{
    std::string full = file_layer::normalizeSeparators(file_manglePath(path));
    if (full.size() > 1 && full.back() == '/')
        full.pop_back();
    std::string real;
    struct stat st;
    return !full.empty() && file_layer::resolve(full, real, &st) && S_ISDIR(st.st_mode);
}

bool file_isDirExist(const std::string& path, bool alsoInArchives)
{
    return alsoInArchives ? file_isDirExistOrPacked(path) : file_isDirExistOnDisk(path);
}
