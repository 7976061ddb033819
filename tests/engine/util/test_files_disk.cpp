// Disk lookups ignoring case, whole-file reads and writes, temporary copies.
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/other_file_system.h"
#include "test_files_common.h"

namespace fs = std::filesystem;

namespace {

class FileDisk : public FileLayerTest {
protected:
    static ino_t inode(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    static std::vector<std::string> namesIn(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> folderNames(const std::string& rel) const { return namesIn(m_temp + rel); }
};

// Writes half of what it is given, then reports a full disk.
ssize_t failingWrite(int fd, const void* data, std::size_t size)
{
    if (size > 1) {
        const ssize_t n = ::write(fd, data, size / 2);
        if (n >= 0)
            return n;
    }
    errno = ENOSPC;
    return -1;
}

struct WriteHook {
    explicit WriteHook(ssize_t (*f)(int, const void*, std::size_t)) { g_fileWriteFunction = f; }
    ~WriteHook() { g_fileWriteFunction = ::write; }
};

} // namespace

TEST_F(FileDisk, NamesInAnyCase)
{
    put("Data/Sub Folder/File.TXT", "mixed");
    put("Data/Папка/Файл.txt", "cyrillic");
    put("Data/Été/Ça.txt", "latin");
    std::uint32_t size = 0;
    for (const char* path : {"temp:data/sub folder/file.txt", "temp:DATA/SUB FOLDER/FILE.TXT",
                             "temp:Data\\Sub Folder\\File.TXT", "temp:dAtA\\sub FOLDER/fILE.txt"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(read(path, &size), "mixed");
        EXPECT_EQ(size, 5u);
        EXPECT_TRUE(file_isExistOnDisk(path));
        EXPECT_TRUE(file_isExist(path, true));
        EXPECT_EQ(file_getSize(path), 5u);
    }
    EXPECT_EQ(read("temp:DATA/ПАПКА/файл.TXT"), "cyrillic");
    EXPECT_EQ(read("temp:data/éTÉ/çA.txt"), "latin");
    for (const char* dir : {"temp:data/SUB FOLDER", "temp:DATA\\sub folder\\", "temp:data/папка/"}) {
        SCOPED_TRACE(dir);
        EXPECT_TRUE(file_isDirExistOnDisk(dir));
        EXPECT_TRUE(file_isDirExistOrPacked(dir));
    }
    EXPECT_FALSE(file_isDirExistOnDisk("temp:data/sub folder/file.txt"));
    EXPECT_FALSE(file_isExistOnDisk("temp:data/sub folder/file.txt/more"));
    EXPECT_FALSE(file_isExistOnDisk("temp:data/nothing/file.txt"));
    EXPECT_TRUE(messages().empty());

    // The exact name wins over one that differs only in case.
    put("Twin/a.txt", "lower");
    put("Twin/A.txt", "upper");
    EXPECT_EQ(read("temp:Twin/a.txt"), "lower");
    EXPECT_EQ(read("temp:Twin/A.txt"), "upper");

    EXPECT_EQ(read("temp:data/none.txt"), "<null>");
    EXPECT_EQ(messages(), std::vector<std::string>{"file_readFullAndMalloc. Error open file: temp:data/none.txt"});
}

TEST_F(FileDisk, ListingsFollowChanges)
{
    put("Cache/old.txt", "old");
    EXPECT_EQ(read("temp:cache/OLD.txt"), "old");
    EXPECT_FALSE(file_isExistOnDisk("temp:CACHE/new.txt"));

    // Our own writes, folders and deletes are seen at once.
    ASSERT_TRUE(file_writeFull("temp:Cache/New.txt", "new", 3));
    EXPECT_EQ(read("temp:CACHE/new.TXT"), "new");
    ASSERT_TRUE(m_server->makeDir("temp:Cache/Made/"));
    EXPECT_TRUE(file_isDirExistOnDisk("temp:cache/MADE"));
    ASSERT_TRUE(m_server->deleteFile("temp:cache/OLD.TXT"));
    EXPECT_FALSE(fs::exists(m_temp + "Cache/old.txt"));
    EXPECT_FALSE(file_isExistOnDisk("temp:CACHE/old.txt"));

    // So are other writers' changes, even right after the folder was listed.
    put("Cache/Other.txt", "other");
    EXPECT_EQ(read("temp:cache/other.TXT"), "other");
    fs::remove(m_temp + "Cache/Other.txt");
    EXPECT_FALSE(file_isExistOnDisk("temp:cache/other.TXT"));

    // A name in another case writes over the file that is there.
    ASSERT_TRUE(file_writeFull("temp:CACHE/NEW.TXT", "newer", 5));
    EXPECT_EQ(folderNames("Cache"), (std::vector<std::string>{"Made", "New.txt"}));
    EXPECT_EQ(test_env::readFile(m_temp + "Cache/New.txt"), "newer");

    // makeDir goes through folders that exist in another case.
    ASSERT_TRUE(m_server->makeDir("temp:CACHE/made/Deeper/"));
    EXPECT_TRUE(fs::is_directory(m_temp + "Cache/Made/Deeper"));
    EXPECT_EQ(folderNames(""), std::vector<std::string>{"Cache"});

    // Folders found ignoring case are not trusted after they move.
    put("Ren/Deep/f.txt", "first");
    EXPECT_EQ(read("temp:ren/DEEP/F.TXT"), "first");
    fs::rename(m_temp + "Ren/Deep", m_temp + "Ren/Moved");
    EXPECT_FALSE(file_isExistOnDisk("temp:ren/DEEP/F.TXT"));
    EXPECT_EQ(read("temp:REN/moved/f.TXT"), "first");
    fs::rename(m_temp + "Ren", m_temp + "Old");
    put("Ren/Deep/f.txt", "second");
    EXPECT_EQ(read("temp:ren/DEEP/F.TXT"), "second");
    fs::remove_all(m_temp + "Ren");
    fs::remove_all(m_temp + "Old");

    EXPECT_FALSE(m_server->deleteFile("temp:Cache/gone.txt"));
    EXPECT_EQ(messages(), std::vector<std::string>{"aFileServer::deleteFile(temp:Cache/gone.txt) failed!"});
}

TEST_F(FileDisk, Reads)
{
    put("empty.bin", "");
    std::uint32_t size = 99;
    EXPECT_EQ(read("temp:empty.bin", &size), "<null>");
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(file_getSize("temp:EMPTY.bin"), 0u);
    EXPECT_TRUE(file_isExistOrPacked("temp:empty.bin"));
    {
        aFile file("temp:empty.bin");
        EXPECT_FALSE(file.isLoaded());
        EXPECT_FALSE(file.m_owns);
        EXPECT_EQ(file.size(), 0u);
    }
    EXPECT_TRUE(messages().empty());

    std::string binary(70000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 7);
    put("bin.dat", binary);
    EXPECT_EQ(read("temp:bin.dat", &size), binary);
    EXPECT_EQ(size, binary.size());

    // A folder is not a file; nor is a path too long for the system.
    put("Folder/x", "");
    EXPECT_EQ(read("temp:Folder"), "<null>");
    EXPECT_FALSE(file_isExistOrPacked("temp:Folder"));
    EXPECT_EQ(file_getSize("temp:Folder"), 0u);
    const std::string longPath = "temp:" + std::string(PATH_MAX, 'a');
    EXPECT_EQ(read(longPath), "<null>");
    EXPECT_FALSE(file_isExistOrPacked(longPath));
    const std::vector<std::string> lines = messages();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "file_readFullAndMalloc. Error open file: temp:Folder");
    EXPECT_EQ(lines[1], "file_getSize. Error open file: temp:Folder");
    EXPECT_EQ(lines[2].rfind("file_readFullAndMalloc. Error open file: temp:aaaa", 0), 0u);
}

TEST_F(FileDisk, PathSplitting)
{
    const struct {
        const char* path;
        const char* extension;
    } cases[] = {
        {"a/b.c/name", ""}, {"dir.d\\file", ""}, {"x.tar.gz", "gz"}, {"noext", ""},
        {"file.", ""},      {".hidden", "hidden"}, {"a\\b\\c.PNG", "PNG"}, {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(file_getExtension(c.path), c.extension);
    }
    EXPECT_EQ(file_getName("a/b\\c.txt"), "c.txt");
    EXPECT_EQ(file_getName("plain"), "plain");
    EXPECT_EQ(file_getName("dir/"), "");
    EXPECT_EQ(file_getDirectory("temp:x/y.txt"), m_temp + "x/");
    EXPECT_EQ(file_getDirectory("a\\b.txt"), "a\\");
    EXPECT_EQ(file_getDirectory("b.txt"), "");
}

TEST_F(FileDisk, WritesReplaceWholeFiles)
{
    EXPECT_FALSE(file_writeFull("temp:Saves/p.dat", "x", 1));  // no such folder
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"file_writeFull. Error open file: temp:Saves/p.dat (No such file or directory)"});

    put("Saves/keep", "");
    ASSERT_TRUE(file_writeFull("temp:Saves/p.dat", "first", 5));
    ::chmod((m_temp + "Saves/p.dat").c_str(), 0640);
    ASSERT_TRUE(file_writeFull("temp:saves\\P.DAT", "second!", 7));
    EXPECT_EQ(test_env::readFile(m_temp + "Saves/p.dat"), "second!");
    struct stat st;
    ASSERT_EQ(::stat((m_temp + "Saves/p.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_TRUE(file_writeFull("temp:Saves/empty.dat", nullptr, 0));
    EXPECT_EQ(fs::file_size(m_temp + "Saves/empty.dat"), 0u);
    EXPECT_EQ(folderNames("Saves"), (std::vector<std::string>{"empty.dat", "keep", "p.dat"}));
    EXPECT_EQ(messages().size(), 1u);
}

TEST_F(FileDisk, FailedWritesKeepTheOldFile)
{
    std::string old(5000, '\0');
    for (std::size_t i = 0; i < old.size(); ++i)
        old[i] = char(i * 13 + 1);
    put("Saves/profile.dat", old);
    const std::string next(8000, 'n');
    {
        WriteHook hook(failingWrite);
        EXPECT_FALSE(file_writeFull("temp:Saves/profile.dat", next.data(), std::uint32_t(next.size())));
    }
    EXPECT_EQ(test_env::readFile(m_temp + "Saves/profile.dat"), old);
    EXPECT_EQ(folderNames("Saves"), std::vector<std::string>{"profile.dat"});
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0],
              "file_writeFull. Error writing file: temp:Saves/profile.dat (write: No space left on device)");

    // A folder we may not write into (root may write anywhere).
    if (::geteuid() != 0) {
        ::chmod((m_temp + "Saves").c_str(), 0555);
        EXPECT_FALSE(file_writeFull("temp:Saves/profile.dat", next.data(), std::uint32_t(next.size())));
        ::chmod((m_temp + "Saves").c_str(), 0755);
        EXPECT_EQ(test_env::readFile(m_temp + "Saves/profile.dat"), old);
        EXPECT_EQ(folderNames("Saves"), std::vector<std::string>{"profile.dat"});
        EXPECT_EQ(messages().size(), 2u);
    }
    // A "folder" that is a file refuses the write for root as well.
    const std::size_t before = messages().size();
    put("Blocked", "not a folder");
    EXPECT_FALSE(file_writeFull("temp:Blocked/profile.dat", next.data(), std::uint32_t(next.size())));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(test_env::readFile(m_temp + "Blocked"), "not a folder");
    ASSERT_EQ(messages().size(), before + 1);
    EXPECT_NE(messages().back().find("temp:Blocked/profile.dat"), std::string::npos) << messages().back();
    ASSERT_TRUE(file_writeFull("temp:Saves/profile.dat", next.data(), std::uint32_t(next.size())));
    EXPECT_EQ(test_env::readFile(m_temp + "Saves/profile.dat"), next);
}

namespace {

// A pid no process has: a child that has ended and been waited for.
pid_t endedPid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

} // namespace

TEST_F(FileDisk, TemporariesOfWritersThatNoLongerRunGoOnTheFirstWrite)
{
    const std::string dead = std::to_string(endedPid());
    const std::string mine = std::to_string(::getpid());
    const std::vector<std::string> stale = {".p.dat." + dead + ".0.tmp", ".other.save." + dead + ".17.tmp",
                                            ".p.dat." + mine + ".4000.tmp"};
    // Pid 1 always runs; the rest do not have the form of a write temporary.
    const std::vector<std::string> kept = {".p.dat.1.0.tmp", "p.dat." + dead + ".0.tmp", ".p.dat." + dead + ".tmp",
                                           ".p.dat." + dead + ".0.tmp.keep", "." + dead + ".0.tmp",
                                           ".p.dat.x" + dead + ".0.tmp", "notes.tmp"};
    for (const std::string& name : stale)
        put("Saves/" + name, "half a save");
    for (const std::string& name : kept)
        put("Saves/" + name, "not ours to remove");
    ASSERT_TRUE(fs::create_directory(m_temp + "Saves/.dir." + dead + ".0.tmp"));

    ASSERT_TRUE(file_writeFull("temp:Saves/p.dat", "new", 3));
    std::vector<std::string> expected = kept;
    expected.push_back(".dir." + dead + ".0.tmp");
    expected.push_back("p.dat");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderNames("Saves"), expected);
    EXPECT_EQ(countMessages("left by an interrupted write"), stale.size());

    // Only the first write into a folder looks.
    put("Saves/" + stale[0], "half a save");
    ASSERT_TRUE(file_writeFull("temp:Saves/p.dat", "newer", 5));
    EXPECT_TRUE(test_env::exists(m_temp + "Saves/" + stale[0]));
    EXPECT_EQ(test_env::readFile(m_temp + "Saves/p.dat"), "newer");
}

TEST_F(FileDisk, SetAsideNeverReplacesAnEarlierCopyAndDiskReadsSayWhyTheyFail)
{
    const std::string save = m_temp + "Saves/p.save";
    put("Saves/p.save", "first");
    const ino_t first = inode(save);
    bool already = true;
    EXPECT_EQ(file_setAside("temp:Saves/p.save", ".bad", SetAside::Keep, &already), save + ".bad");
    EXPECT_FALSE(already);
    // Kept by a link: the same file under both names, no second copy.
    EXPECT_EQ(inode(save + ".bad"), first);
    EXPECT_EQ(file_setAside("temp:Saves/p.save", ".bad", SetAside::Keep, &already), save + ".bad");
    EXPECT_TRUE(already);
    // Replaced as every save is, the old file stays kept.
    ASSERT_TRUE(file_writeFull("temp:Saves/p.save", "second", 6));
    EXPECT_EQ(file_setAside("temp:saves/P.SAVE", ".bad", SetAside::Move, &already), save + ".bad.2");
    EXPECT_FALSE(already);
    EXPECT_FALSE(test_env::exists(save));
    EXPECT_EQ(test_env::readFile(save + ".bad"), "first");
    EXPECT_EQ(test_env::readFile(save + ".bad.2"), "second");
    EXPECT_EQ(file_setAside("temp:Saves/p.save", ".bad", SetAside::Keep), "");
    EXPECT_EQ(errno, ENOENT);
    ASSERT_TRUE(fs::create_directory(m_temp + "Saves/folder"));
    EXPECT_EQ(file_setAside("temp:Saves/folder", ".bad", SetAside::Keep), "");
    EXPECT_EQ(errno, EISDIR);

    std::vector<std::uint8_t> data = {1};
    EXPECT_EQ(file_readDisk("temp:Saves/none", 100, data), ENOENT);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(file_readDisk("temp:Saves/folder", 100, data), EISDIR);
    EXPECT_EQ(file_readDisk("temp:SAVES/p.save.BAD", 100, data), 0);
    EXPECT_EQ(std::string(data.begin(), data.end()), "first");
    EXPECT_EQ(file_readDisk("temp:Saves/p.save.bad", 4, data), EFBIG);
    // The size is checked first: a sparse file of 4 GiB is never read.
    const int fd = ::open((m_temp + "Saves/huge").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(UINT32_MAX)), 0);
    ::close(fd);
    EXPECT_EQ(file_readDisk("temp:Saves/huge", UINT32_MAX - 1, data), EFBIG);
    EXPECT_EQ(::mkfifo((m_temp + "Saves/fifo").c_str(), 0644), 0);
    EXPECT_EQ(file_readDisk("temp:Saves/fifo", 100, data), EINVAL);
}

TEST_F(FileDisk, WhereLinksAreRefusedSetAsideRenamesNeverOverANameTaken)
{
    RefusedLinks refused;
    put("Saves/q.save", "damaged");
    put("Saves/q.save.bad", "an older one");
    const ino_t damaged = inode(m_temp + "Saves/q.save");
    bool already = true;
    EXPECT_EQ(file_setAside("temp:Saves/q.save", ".bad", SetAside::Keep, &already), m_temp + "Saves/q.save.bad.2");
    EXPECT_FALSE(already);
    EXPECT_EQ(inode(m_temp + "Saves/q.save.bad.2"), damaged);
    EXPECT_FALSE(test_env::exists(m_temp + "Saves/q.save"));
    put("Saves/q.save", "damagex");
    EXPECT_EQ(file_setAside("temp:Saves/q.save", ".bad", SetAside::Move), m_temp + "Saves/q.save.bad.3");
    EXPECT_EQ(test_env::readFile(m_temp + "Saves/q.save.bad.3"), "damagex");
    EXPECT_EQ(test_env::readFile(m_temp + "Saves/q.save.bad"), "an older one");
    EXPECT_EQ(folderNames("Saves"), (std::vector<std::string>{"q.save.bad", "q.save.bad.2", "q.save.bad.3"}));
}

TEST_F(FileDisk, AWriteThroughSymbolicLinksReplacesTheFileTheyNameAndLeavesThemLinks)
{
    OtherFileSystem other;
    const std::string synced = other.folder() + "p.dat";
    test_env::writeFile(synced, "old");
    ASSERT_EQ(::chmod(synced.c_str(), 0600), 0);
    ASSERT_TRUE(fs::create_directory(m_temp + "Saves"));
    // A chain: a relative link to an absolute one, into the other file system.
    ASSERT_EQ(::symlink(synced.c_str(), (m_temp + "Saves/hop").c_str()), 0);
    ASSERT_EQ(::symlink("hop", (m_temp + "Saves/p.dat").c_str()), 0);
    ASSERT_TRUE(file_writeFull("temp:Saves/p.dat", "new", 3));
    ASSERT_TRUE(file_writeFull("temp:SAVES/P.DAT", "newer", 5));
    EXPECT_EQ(fs::read_symlink(m_temp + "Saves/p.dat"), "hop");
    EXPECT_EQ(fs::read_symlink(m_temp + "Saves/hop"), synced);
    EXPECT_EQ(test_env::readFile(synced), "newer");
    EXPECT_EQ(fs::status(synced).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(namesIn(other.folder()), std::vector<std::string>{"p.dat"});
    EXPECT_TRUE(messages().empty());

    // A link to a file not made yet: made there, and said so.
    ASSERT_TRUE(fs::remove(synced));
    ASSERT_TRUE(file_writeFull("temp:Saves/p.dat", "made", 4));
    EXPECT_EQ(test_env::readFile(synced), "made");
    EXPECT_EQ(messages(), std::vector<std::string>{"file_writeFull. 'temp:Saves/p.dat' is a symbolic link to '" +
                                                   synced + "', which does not exist: the data goes there"});

    // Into a folder that is not there, or round a loop: nothing is written
    // and no link is replaced.
    ASSERT_EQ(::symlink((other.folder() + "gone/q.dat").c_str(), (m_temp + "Saves/q.dat").c_str()), 0);
    EXPECT_FALSE(file_writeFull("temp:Saves/q.dat", "x", 1));
    EXPECT_EQ(errno, ENOENT);
    ASSERT_EQ(::symlink("loop2", (m_temp + "Saves/loop1").c_str()), 0);
    ASSERT_EQ(::symlink("loop1", (m_temp + "Saves/loop2").c_str()), 0);
    EXPECT_FALSE(file_writeFull("temp:Saves/loop1", "x", 1));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_EQ(countMessages("Error open file: temp:Saves/loop1 (Too many levels of symbolic links)"), 1u);
    const std::vector<std::string> links = {"hop", "loop1", "loop2", "p.dat", "q.dat"};
    EXPECT_EQ(folderNames("Saves"), links);
    for (const std::string& name : links)
        EXPECT_TRUE(fs::is_symlink(m_temp + "Saves/" + name)) << name;
    EXPECT_EQ(namesIn(other.folder()), std::vector<std::string>{"p.dat"});
}

TEST_F(FileDisk, ALinkedFileIsSetAsideBesideItselfWithOrWithoutHardLinks)
{
    for (const bool links : {true, false}) {
        SCOPED_TRACE(links ? "links" : "links refused");
        RefusedLinks refused(!links);
        OtherFileSystem other;
        const std::string target = other.folder() + "p.save";
        const std::string rel = links ? "Linked/p.save" : "Unlinked/p.save";
        const std::string save = m_temp + rel;
        test_env::writeFile(target, "damaged");
        const ino_t damaged = inode(target);
        ASSERT_TRUE(fs::create_directory(file_getDirectory(save)));
        ASSERT_EQ(::symlink(target.c_str(), save.c_str()), 0);

        // Kept before a save over it: the link stays, and is written through.
        bool already = true;
        EXPECT_EQ(file_setAside("temp:" + rel, ".bad", SetAside::Keep, &already), target + ".bad");
        EXPECT_FALSE(already);
        EXPECT_EQ(inode(target + ".bad"), damaged);
        EXPECT_EQ(test_env::exists(target), links);
        ASSERT_TRUE(file_writeFull("temp:" + rel, "second", 6));
        EXPECT_TRUE(fs::is_symlink(save));
        EXPECT_EQ(test_env::readFile(target), "second");
        EXPECT_EQ(test_env::readFile(target + ".bad"), "damaged");

        // Set aside at once: the file leaves its name for the next free one
        // beside it, and the link goes.
        EXPECT_EQ(file_setAside("temp:" + rel, ".bad", SetAside::Move, &already), target + ".bad.2");
        EXPECT_FALSE(already);
        EXPECT_EQ(test_env::readFile(target + ".bad.2"), "second");
        EXPECT_FALSE(fs::exists(fs::symlink_status(save)));
        EXPECT_EQ(namesIn(other.folder()), (std::vector<std::string>{"p.save.bad", "p.save.bad.2"}));
        EXPECT_EQ(file_nameBeside("temp:" + rel, target + ".bad.2"), target + ".bad.2");
        EXPECT_EQ(file_nameBeside("temp:" + rel, save + ".bad"), "p.save.bad");
    }

    // One kept already is not kept twice: Move takes the link and the
    // file's own name away.
    OtherFileSystem other;
    const std::string target = other.folder() + "p.save";
    test_env::writeFile(target, "damaged");
    const std::string relative = fs::relative(target, m_temp + "Linked").string();
    ASSERT_EQ(relative.compare(0, 3, "../"), 0);
    ASSERT_EQ(::symlink(relative.c_str(), (m_temp + "Linked/p.save").c_str()), 0);
    EXPECT_EQ(file_setAside("temp:linked/P.SAVE", ".bad", SetAside::Keep), target + ".bad");
    bool already = false;
    EXPECT_EQ(file_setAside("temp:Linked/p.save", ".bad", SetAside::Move, &already), target + ".bad");
    EXPECT_TRUE(already);
    EXPECT_TRUE(folderNames("Linked").empty());
    EXPECT_EQ(namesIn(other.folder()), std::vector<std::string>{"p.save.bad"});
}

TEST_F(FileDisk, AFileRenamedOverTheSaveAsItIsSetAsideStays)
{
    const std::string save = m_temp + "Saves/p.save";
    put("Saves/p.save", "damaged");
    auto* const link = g_fileLinkFunction;
    auto* const rename = g_fileRenameFunction;
    // A file system whose renames cannot refuse to replace, and a sync
    // client that renames its download over the save as it is linked aside.
    g_fileRenameFunction = [](const char* from, const char* to, unsigned flags) {
        errno = EINVAL;
        return flags ? -1 : ::rename(from, to);
    };
    g_fileLinkFunction = [](const char* from, const char* to) {
        const int done = ::link(from, to);
        test_env::writeFile(std::string(from) + ".part", "downloaded");
        ::rename((std::string(from) + ".part").c_str(), from);
        return done;
    };
    const std::string aside = file_setAside("temp:Saves/p.save", ".bad", SetAside::Move);
    g_fileLinkFunction = link;
    g_fileRenameFunction = rename;
    EXPECT_EQ(aside, save + ".bad");
    EXPECT_EQ(test_env::readFile(save + ".bad"), "damaged");
    EXPECT_EQ(test_env::readFile(save), "downloaded");
    EXPECT_EQ(countMessages("Another file took the name '" + save + "' while it was set aside; both are kept"), 1u);
}

TEST_F(FileDisk, TemporaryCopies)
{
    put("Video/a/x.ogv", "video x");
    ASSERT_TRUE(zip_writer::writeZip(m_temp + "Flash.zip", {{"X.ogv", "flash x", true}}));
    put("Flash/keep", "");
    m_server->setAssign("video", "temp:Video/");
    m_server->setAssign("flash", "temp:Flash/");

    const std::string first = m_server->extractToTemp("video:a/x.ogv");
    const std::string second = m_server->extractToTemp("flash:x.ogv");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(test_env::readFile(first), "video x");
    EXPECT_EQ(test_env::readFile(second), "flash x");
    EXPECT_EQ(file_getName(first), "x.ogv");
    EXPECT_EQ(file_getName(second), "x-2.ogv");

    // One private folder under temp:, made for this run.
    const std::string folder = file_getDirectory(first);
    EXPECT_EQ(file_getDirectory(second), folder);
    EXPECT_EQ(folder.compare(0, m_temp.size(), m_temp), 0);
    EXPECT_NE(folder, m_temp);
    struct stat st;
    ASSERT_EQ(::lstat(folder.substr(0, folder.size() - 1).c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Each path is written once per run; later requests get the same copy.
    put("Video/a/x.ogv", "changed");
    EXPECT_EQ(m_server->extractToTemp("video:a/x.ogv"), first);
    EXPECT_EQ(m_server->extractToTemp("VIDEO:a/x.ogv"), first);
    EXPECT_EQ(test_env::readFile(first), "video x");

    EXPECT_EQ(m_server->extractToTemp("video:missing.ogv"), "");
    EXPECT_EQ(messages(), std::vector<std::string>{"file_readFullAndMalloc. Error open file: video:missing.ogv"});

    m_server.reset();
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(messages().size(), 1u);
}
