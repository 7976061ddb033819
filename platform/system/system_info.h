#pragma once
// Facts about the machine for the start-up report.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The running program's full path (from /proc/self/exe); empty if unknown.
std::string executablePath();

// "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-13-amd64 x86_64"-style text.
std::string operatingSystemText();
std::string computerName();
std::string userName();

struct MemoryStatus {
    std::uint32_t loadPercent = 0;
    std::uint64_t availPhys = 0, totalPhys = 0;
    std::uint64_t availVirtual = 0, totalVirtual = 0;  // commit limit
    std::uint64_t availPage = 0, totalPage = 0;        // swap
};
MemoryStatus memoryStatus();

// One real (block-device or network) mounted file system.
struct MountInfo {
    std::string mountPoint;
    std::string device;
    std::string fsType;
    std::string kind;  // "removable", "fixed", "remote", "cdrom", "ramdisk", "unknown"
    std::uint64_t freeBytes = 0;
    std::uint64_t totalBytes = 0;
};
std::vector<MountInfo> mounts();

} // namespace platform
