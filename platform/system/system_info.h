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

// One mounted file system: a real (block-device or network) mount, or one
// that holds a folder the program uses.
struct MountInfo {
    std::string mountPoint;
    std::string device;
    std::string fsType;
    std::string kind;  // "removable", "fixed", "remote", "cdrom", "ramdisk", "unknown"
    std::uint64_t freeBytes = 0;
    std::uint64_t totalBytes = 0;
};
// The real mounts, then the file systems that hold the given folders and
// are not listed yet (each once). Such a file system is named by its mount
// point when the mount table has it, else by the folder itself; a container
// or chroot root needs this, as its "/" is no /dev/ mount.
std::vector<MountInfo> mounts(const std::vector<std::string>& holding = {});

// The mount table read by mounts(); tests point it at a file of their own,
// an empty path restores /proc/self/mounts.
void setMountTable(const std::string& path);

} // namespace platform
