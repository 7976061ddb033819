#include "platform/system/system_info.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

namespace platform {

namespace {

bool startsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool readFirstLine(const std::string& path, std::string& line)
{
    std::ifstream in(path);
    return in && std::getline(in, line);
}

// os-release values are shell-style: optionally quoted, with backslash escapes.
std::string unquoteShellValue(const std::string& raw)
{
    if (raw.size() < 2 || (raw.front() != '"' && raw.front() != '\''))
        return raw;
    const char quote = raw.front();
    std::string out;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == quote)
            break;
        if (c == '\\' && quote == '"' && i + 1 < raw.size())
            out += raw[++i];
        else
            out += c;
    }
    return out;
}

std::string prettyDistributionName()
{
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        if (!in)
            continue;
        std::string line;
        while (std::getline(in, line)) {
            if (startsWith(line, "PRETTY_NAME=")) {
                std::string name = unquoteShellValue(line.substr(12));
                if (!name.empty())
                    return name;
            }
        }
        break;
    }
    return "Linux";
}

// Values of /proc/meminfo in bytes, keyed by field name.
std::map<std::string, std::uint64_t> readMeminfo()
{
    std::map<std::string, std::uint64_t> values;
    std::ifstream in("/proc/meminfo");
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0)
            continue;
        const char* p = line.c_str() + colon + 1;
        char* end = nullptr;
        errno = 0;
        const unsigned long long v = std::strtoull(p, &end, 10);
        if (end == p || errno == ERANGE)
            continue;
        std::uint64_t scale = 1;
        const std::string unit = line.substr(static_cast<std::size_t>(end - line.c_str()));
        if (unit.find("kB") != std::string::npos)
            scale = 1024;
        values[line.substr(0, colon)] = static_cast<std::uint64_t>(v) * scale;
    }
    return values;
}

// Fields of /proc/self/mounts escape space, tab, newline and backslash as \ooo.
std::string unescapeMountField(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isNetworkFs(const std::string& type)
{
    static const std::set<std::string> kTypes = {"nfs",  "nfs4",        "cifs", "smb3",      "sshfs",
                                                 "fuse.sshfs", "9p", "ceph", "glusterfs"};
    return kTypes.count(type) != 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "sda1" -> "sda", "nvme0n1p2" -> "nvme0n1", "mmcblk0p1" -> "mmcblk0".
std::string stripPartition(const std::string& name)
{
    std::size_t end = name.size();
    while (end > 0 && isDigit(name[end - 1]))
        --end;
    if (end == name.size() || end == 0)
        return name;
    // A 'p' between digits separates the partition from a disk name that itself ends in a digit.
    if (name[end - 1] == 'p' && end >= 2 && isDigit(name[end - 2]))
        return name.substr(0, end - 1);
    return name.substr(0, end);
}

bool sysBlockRemovable(const std::string& blockName, bool& removable)
{
    std::string line;
    if (blockName.empty() || blockName.find('/') != std::string::npos ||
        !readFirstLine("/sys/block/" + blockName + "/removable", line))
        return false;
    removable = !line.empty() && line[0] == '1';
    return true;
}

bool isRemovableDevice(const std::string& device)
{
    std::string path = device;
    // /dev/disk/by-*/ and /dev/mapper/ names are links to the real node.
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    bool removable = false;
    if (sysBlockRemovable(name, removable))
        return removable;
    if (sysBlockRemovable(stripPartition(name), removable))
        return removable;
    return false;
}

std::string mountKind(const std::string& device, const std::string& type)
{
    if (isNetworkFs(type))
        return "remote";
    if (type == "iso9660" || type == "udf")
        return "cdrom";
    if (isRemovableDevice(device))
        return "removable";
    return "fixed";
}

std::string& mountTablePath()
{
    static std::string path;
    return path;
}

struct TableEntry {
    std::string device;
    std::string mountPoint;
    std::string fsType;
};

// device mountpoint type options dump pass
std::vector<TableEntry> readMountTable()
{
    std::vector<TableEntry> entries;
    std::ifstream in(mountTablePath().empty() ? "/proc/self/mounts" : mountTablePath());
    std::string line;
    while (std::getline(in, line)) {
        std::string fields[3];
        std::size_t pos = 0;
        bool complete = true;
        for (std::string& field : fields) {
            const std::size_t start = line.find_first_not_of(" \t", pos);
            if (start == std::string::npos) {
                complete = false;
                break;
            }
            std::size_t end = line.find_first_of(" \t", start);
            if (end == std::string::npos)
                end = line.size();
            field = line.substr(start, end - start);
            pos = end;
        }
        if (complete)
            entries.push_back({unescapeMountField(fields[0]), unescapeMountField(fields[1]),
                               unescapeMountField(fields[2])});
    }
    return entries;
}

bool deviceOf(const std::string& path, dev_t& dev)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    dev = st.st_dev;
    return true;
}

bool holdsPath(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The type of a file system the mount table does not name.
std::string fsTypeOf(const std::string& path)
{
    struct statfs st{};
    if (::statfs(path.c_str(), &st) != 0)
        return "unknown";
    switch (static_cast<unsigned long>(st.f_type)) {
    case 0xEF53: return "ext4";
    case 0x794C7630: return "overlay";
    case 0x01021994: return "tmpfs";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x6969: return "nfs";
    case 0x65735546: return "fuse";
    default: return "unknown";
    }
}

void fillSizes(MountInfo& m, const std::string& path)
{
    struct statvfs st{};
    if (::statvfs(path.c_str(), &st) == 0) {
        m.freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
        m.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
    }
}

} // namespace

std::string executablePath()
{
    std::string buf(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", &buf[0], buf.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buf.size()) {
            buf.resize(static_cast<std::size_t>(n));
            return buf;
        }
        // The link may have been cut short: try again with more room.
        if (buf.size() >= (std::size_t{1} << 20))
            return {};
        buf.resize(buf.size() * 2);
    }
}

std::string operatingSystemText()
{
    std::string text = prettyDistributionName();
    struct utsname u{};
    if (::uname(&u) == 0) {
        text += ", ";
        text += u.sysname;
        text += ' ';
        text += u.release;
        text += ' ';
        text += u.machine;
    }
    return text;
}

std::string computerName()
{
    char name[HOST_NAME_MAX + 65] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    name[sizeof name - 1] = '\0';
    return name;
}

std::string userName()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buf(size > 0 ? static_cast<std::size_t>(size) : 1024, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        struct passwd pw{};
        struct passwd* result = nullptr;
        const int rc = ::getpwuid_r(::geteuid(), &pw, &buf[0], buf.size(), &result);
        if (rc == ERANGE) {
            buf.resize(buf.size() * 2);
            continue;
        }
        if (rc == 0 && result && result->pw_name && *result->pw_name)
            return result->pw_name;
        break;
    }
    const char* env = std::getenv("USER");
    if (env && *env)
        return env;
    return "unknown";
}

MemoryStatus memoryStatus()
{
    const auto info = readMeminfo();
    auto get = [&info](const char* key) -> std::uint64_t {
        auto it = info.find(key);
        return it == info.end() ? 0 : it->second;
    };

    MemoryStatus s;
    s.totalPhys = get("MemTotal");
    s.availPhys = info.count("MemAvailable") ? get("MemAvailable") : get("MemFree");
    if (s.availPhys > s.totalPhys)
        s.availPhys = s.totalPhys;
    if (s.totalPhys > 0)
        s.loadPercent = static_cast<std::uint32_t>(100 - s.availPhys * 100 / s.totalPhys);

    s.totalVirtual = get("CommitLimit");
    const std::uint64_t committed = get("Committed_AS");
    s.availVirtual = s.totalVirtual > committed ? s.totalVirtual - committed : 0;

    s.totalPage = get("SwapTotal");
    s.availPage = get("SwapFree");
    if (s.availPage > s.totalPage)
        s.availPage = s.totalPage;
    return s;
}

std::vector<MountInfo> mounts(const std::vector<std::string>& holding)
{
    const std::vector<TableEntry> table = readMountTable();
    std::vector<MountInfo> result;
    std::set<std::string> seen;
    std::set<dev_t> devices;
    for (const TableEntry& e : table) {
        if (!startsWith(e.device, "/dev/") && !isNetworkFs(e.fsType))
            continue;
        if (!seen.insert(e.mountPoint).second)
            continue;
        MountInfo m;
        m.device = e.device;
        m.mountPoint = e.mountPoint;
        m.fsType = e.fsType;
        m.kind = mountKind(m.device, m.fsType);
        fillSizes(m, m.mountPoint);
        dev_t dev = 0;
        if (deviceOf(m.mountPoint, dev))
            devices.insert(dev);
        result.push_back(std::move(m));
    }

    for (const std::string& path : holding) {
        dev_t dev = 0;
        if (path.empty() || !deviceOf(path, dev) || !devices.insert(dev).second)
            continue;
        std::string real = path;
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            real = resolved;
            std::free(resolved);
        }
        // The deepest mount point above the folder that is the same file
        // system; later lines of the table cover earlier ones.
        const TableEntry* best = nullptr;
        for (const TableEntry& e : table) {
            dev_t mountDev = 0;
            if (holdsPath(e.mountPoint, real) && (!best || e.mountPoint.size() >= best->mountPoint.size()) &&
                deviceOf(e.mountPoint, mountDev) && mountDev == dev)
                best = &e;
        }
        MountInfo m;
        if (best) {
            m.device = best->device;
            m.mountPoint = best->mountPoint;
            m.fsType = best->fsType;
        } else {
            m.device = "unknown";
            m.mountPoint = path;
            m.fsType = fsTypeOf(path);
        }
        m.kind = mountKind(m.device, m.fsType);
        fillSizes(m, path);
        result.push_back(std::move(m));
    }
    return result;
}

void setMountTable(const std::string& path) { mountTablePath() = path; }

} // namespace platform
