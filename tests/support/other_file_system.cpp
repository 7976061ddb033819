#include "support/other_file_system.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/util/a_file_server.h"

namespace {

std::string g_folder;
int (*g_link)(const char*, const char*) = nullptr;
int (*g_rename)(const char*, const char*, unsigned) = nullptr;

// Whether a path's folder is the other file system's (or one below it).
bool onOther(const char* path)
{
    const std::string p = path;
    const std::size_t slash = p.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
    char* real = ::realpath(parent.c_str(), nullptr);
    if (!real)
        return false;
    const std::string folder = std::string(real) + '/';
    std::free(real);
    return folder.compare(0, g_folder.size(), g_folder) == 0;
}

int crossLink(const char* from, const char* to)
{
    if (onOther(from) != onOther(to)) {
        errno = EXDEV;
        return -1;
    }
    return g_link(from, to);
}

int crossRename(const char* from, const char* to, unsigned flags)
{
    if (onOther(from) != onOther(to)) {
        errno = EXDEV;
        return -1;
    }
    return g_rename(from, to, flags);
}

int refuseLink(const char*, const char*)
{
    errno = EPERM;
    return -1;
}

std::string makeFolder(const std::string& base)
{
    std::string templ = base + "/a2d-other-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        return std::string();
    char* real = ::realpath(buf.data(), nullptr);
    const std::string folder = real ? std::string(real) + '/' : std::string();
    std::free(real);
    return folder;
}

} // namespace

OtherFileSystem::OtherFileSystem()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string temp = tmp && *tmp ? tmp : "/tmp";
    struct stat shm, own;
    if (::stat("/dev/shm", &shm) == 0 && ::stat(temp.c_str(), &own) == 0 && shm.st_dev != own.st_dev &&
        ::access("/dev/shm", W_OK) == 0)
        m_folder = makeFolder("/dev/shm");
    if (m_folder.empty()) {
        m_folder = makeFolder(temp);
        if (m_folder.empty())
            throw std::runtime_error("no folder for another file system");
        m_simulated = true;
        g_folder = m_folder;
        g_link = g_fileLinkFunction;
        g_rename = g_fileRenameFunction;
        g_fileLinkFunction = crossLink;
        g_fileRenameFunction = crossRename;
    }
}

OtherFileSystem::~OtherFileSystem()
{
    if (m_simulated) {
        g_fileLinkFunction = g_link;
        g_fileRenameFunction = g_rename;
        g_folder.clear();
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

RefusedLinks::RefusedLinks(bool on) : m_previous(g_fileLinkFunction)
{
    if (on)
        g_fileLinkFunction = refuseLink;
}

RefusedLinks::~RefusedLinks() { g_fileLinkFunction = m_previous; }
