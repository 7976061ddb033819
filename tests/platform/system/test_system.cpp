#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/utsname.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "platform/system/instance_lock.h"
#include "platform/system/loading_thread.h"
#include "platform/system/message_box.h"
#include "platform/system/system_info.h"
#include "support/test_env.h"

using namespace platform;

TEST(InstanceLock, SecondHolderFailsUntilReleased)
{
    const std::string path = test_env::home() + "/instance.lock";
    InstanceLock first;
    InstanceLock second;
    ASSERT_TRUE(first.acquire(path));
    EXPECT_TRUE(first.held());

    EXPECT_FALSE(second.acquire(path));
    EXPECT_FALSE(second.held());
    EXPECT_EQ(second.error(), EWOULDBLOCK);

    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(test_env::exists(path));
    EXPECT_TRUE(second.acquire(path));

    // The other object now holds it; releasing one that holds nothing must not unlock it.
    first.release();
    InstanceLock third;
    EXPECT_FALSE(third.acquire(path));

    second.release();
    second.release();
    EXPECT_TRUE(test_env::exists(path));
}

TEST(InstanceLock, DestructorReleasesAndMissingFolderFails)
{
    const std::string path = test_env::home() + "/instance.lock";
    {
        InstanceLock scoped;
        ASSERT_TRUE(scoped.acquire(path));
    }
    InstanceLock again;
    EXPECT_TRUE(again.acquire(path));

    InstanceLock nowhere;
    EXPECT_FALSE(nowhere.acquire(test_env::home() + "/no/such/folder/instance.lock"));
    EXPECT_FALSE(nowhere.held());
    EXPECT_EQ(nowhere.error(), ENOENT);  // not "held by another"
}

TEST(MessageBox, HeadlessWritesToStderrWithoutBlocking)
{
    bool shown = true;
    ::testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    const int result = showMessageBox(nullptr, "Disk is full", "Save failed", true, &shown);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(shown);
    EXPECT_LT(elapsed, std::chrono::seconds(1));
    EXPECT_NE(err.find("Save failed: Disk is full\n"), std::string::npos) << err;

    // The out-parameter is optional.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(showMessageBox(nullptr, "text", "Warning", false), IDOK);
    ::testing::internal::GetCapturedStderr();
}

namespace {

std::uint32_t returnArgument(void* argument)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(argument));
}

bool waitFinished(const LoadingThread& t)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!t.finished()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::uint32_t slowRoutine(void* argument)
{
    auto* flag = static_cast<std::atomic<int>*>(argument);
    while (flag->load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    flag->store(2);
    return 7;
}

} // namespace

TEST(LoadingThread, ReportsExitCodeOnceFinished)
{
    for (std::uintptr_t code : {0u, 1u, 259u}) {
        LoadingThread t(returnArgument, reinterpret_cast<void*>(code));
        ASSERT_TRUE(waitFinished(t)) << code;
        EXPECT_EQ(t.exitCode(), code);
    }
}

TEST(LoadingThread, FinishedOnlyAfterRoutineReturnsAndDestructorJoins)
{
    std::atomic<int> flag{0};
    {
        LoadingThread t(slowRoutine, &flag);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(t.finished());
        flag.store(1);
        ASSERT_TRUE(waitFinished(t));
        EXPECT_EQ(t.exitCode(), 7u);
    }
    flag.store(0);
    {
        LoadingThread t(slowRoutine, &flag);
        flag.store(1);
    }
    EXPECT_EQ(flag.load(), 2);
}

TEST(SystemInfo, ProgramAndMachineNames)
{
    const std::string exe = executablePath();
    const std::string suffix = "/test_platform";
    ASSERT_GE(exe.size(), suffix.size());
    EXPECT_EQ(exe.substr(exe.size() - suffix.size()), suffix);

    struct utsname u{};
    ASSERT_EQ(uname(&u), 0);
    const std::string os = operatingSystemText();
    EXPECT_NE(os.find(", "), std::string::npos) << os;
    EXPECT_NE(os.find(std::string(u.sysname) + " " + u.release + " " + u.machine), std::string::npos) << os;

    EXPECT_FALSE(computerName().empty());
    EXPECT_FALSE(userName().empty());
}

TEST(SystemInfo, MemoryFiguresAreConsistent)
{
    const MemoryStatus m = memoryStatus();
    EXPECT_GT(m.totalPhys, 0u);
    EXPECT_GT(m.availPhys, 0u);
    EXPECT_LE(m.availPhys, m.totalPhys);
    EXPECT_LE(m.loadPercent, 100u);
    EXPECT_LE(m.availVirtual, m.totalVirtual);
    EXPECT_LE(m.availPage, m.totalPage);
    // Bytes, not kilobytes: no machine running this has under 16 MiB.
    EXPECT_GT(m.totalPhys, 16ull << 20);
}

TEST(SystemInfo, FoldersOutsideTheMountTableAreListedOncePerFileSystem)
{
    const std::string exe = executablePath();
    const std::string folder = exe.substr(0, exe.rfind('/') + 1);
    const std::string table = test_env::home() + "/mounts";

    // No table at all (a chroot without /proc): the folder names its file system.
    setMountTable(test_env::home() + "/missing");
    std::vector<MountInfo> list = mounts({folder, folder});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].mountPoint, folder);
    EXPECT_EQ(list[0].kind, "fixed");
    EXPECT_GT(list[0].totalBytes, 0u);
    EXPECT_NE(list[0].fsType, "");

    // An overlay root, which is no /dev/ mount: its mount point names it
    // when it is the folder's file system.
    test_env::writeFile(table, "overlay / overlay rw 0 0\ntmpfs /dev/shm tmpfs rw 0 0\n");
    setMountTable(table);
    list = mounts({folder, "/missing/folder", ""});
    setMountTable("");
    ASSERT_EQ(list.size(), 1u);
    struct stat root{}, ours{};
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_EQ(::stat(folder.c_str(), &ours), 0);
    if (root.st_dev == ours.st_dev) {
        EXPECT_EQ(list[0].mountPoint, "/");
        EXPECT_EQ(list[0].fsType, "overlay");
        EXPECT_EQ(list[0].device, "overlay");
    } else {
        EXPECT_EQ(list[0].mountPoint, folder);
    }
    EXPECT_GT(list[0].totalBytes, 0u);
}

TEST(SystemInfo, MountsListRealFileSystemsOnce)
{
    // Independent reading of the table: block-device mount points.
    std::set<std::string> expected;
    std::ifstream table("/proc/self/mounts");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string device, point;
        fields >> device >> point;
        if (device.rfind("/dev/", 0) == 0 && point.find('\\') == std::string::npos)
            expected.insert(point);
    }

    const std::string exe = executablePath();
    const std::string folder = exe.substr(0, exe.rfind('/') + 1);
    const std::vector<MountInfo> list = mounts({folder, folder + "..", "/"});
    const std::set<std::string> kinds = {"removable", "fixed", "remote", "cdrom", "ramdisk", "unknown"};
    std::set<std::string> seen;
    for (const MountInfo& m : list) {
        EXPECT_TRUE(seen.insert(m.mountPoint).second) << "duplicate " << m.mountPoint;
        EXPECT_EQ(kinds.count(m.kind), 1u) << m.kind;
        EXPECT_LE(m.freeBytes, m.totalBytes) << m.mountPoint;
        EXPECT_NE(m.fsType, "proc");
        EXPECT_FALSE(m.mountPoint.empty());
    }
    for (const std::string& point : expected)
        EXPECT_EQ(seen.count(point), 1u) << "missing " << point;

    // Some listed file system holds the program's folder, with a size, even
    // where no /dev/ mount exists (a container root on an overlay).
    bool holdsUs = false;
    for (const MountInfo& m : list) {
        if (m.mountPoint == "/" || exe.rfind(m.mountPoint + "/", 0) == 0 || m.mountPoint == folder) {
            holdsUs = true;
            EXPECT_GT(m.totalBytes, 0u) << m.mountPoint;
        }
    }
    EXPECT_TRUE(holdsUs);
}
