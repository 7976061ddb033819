#include "engine/util/a_file_server.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/util/a_log.h"
#include "platform/system_info.h"

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
    const std::string full = manglePath(path);
    if (full.empty())
        return false;
    // Create each folder along the way; the root itself is skipped.
    for (std::size_t i = 1; i <= full.size(); ++i) {
        if (i < full.size() && full[i] != '/' && full[i] != '\\')
            continue;
        if (full[i - 1] == '/' || full[i - 1] == '\\')
            continue;  // doubled separator or the end after one
        const std::string part = full.substr(0, i);
        if (::mkdir(part.c_str(), 0755) == 0)
            continue;
        const int err = errno;
        if (err == EEXIST && isDirectory(part))
            continue;
        a_log("aFileServer::makeDir(%s...) failed!", part.c_str());
        return false;
    }
    return true;
}

std::string file_manglePath(const std::string& path)
{
    return g_fileServer ? g_fileServer->manglePath(path) : path;
}

bool file_isExistOnDisk(const std::string& path)
{
    struct stat st;
    return ::stat(file_manglePath(path).c_str(), &st) == 0;
}

bool file_isDirExistOnDisk(const std::string& path)
{
    std::string full = file_manglePath(path);
    if (full.size() > 1 && (full.back() == '/' || full.back() == '\\'))
        full.pop_back();
    return !full.empty() && isDirectory(full);
}

bool file_isDirExistOrPacked(const std::string& path)
{
    if (path.empty())
        return false;
    return file_isDirExistOnDisk(path);
}

bool file_isDirExist(const std::string& path, bool alsoInArchives)
{
    return alsoInArchives ? file_isDirExistOrPacked(path) : file_isDirExistOnDisk(path);
}
