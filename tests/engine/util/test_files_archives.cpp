// Reads through ".zip"/".pak" archives that stand for folders.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <cstring>
#include <thread>

#include <zzip/zzip.h>

#include "engine/util/a_zip_archives.h"
#include "test_files_common.h"

namespace {

using zip_writer::Entry;

std::string pattern(std::size_t size, unsigned seed)
{
    std::string s(size, '\0');
    unsigned x = seed;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        // Runs of repeated bytes so that deflate has something to do.
        s[i] = char('a' + ((x >> 16) % 7) + (i / 64) % 3);
    }
    return s;
}

void put32(std::string& bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((v >> (8 * i)) & 0xFF);
}

constexpr std::uint32_t kKeep = 0xFFFFFFFFu;

// Rewrites the sizes in an entry's central-directory record.
void patchSizes(std::string& zip, const std::string& name, std::uint32_t csize, std::uint32_t usize)
{
    const std::string sig("PK\x01\x02", 4);
    for (std::size_t at = zip.find(sig); at != std::string::npos; at = zip.find(sig, at + 1)) {
        if (zip.compare(at + 46, name.size(), name) == 0) {
            if (csize != kKeep)
                put32(zip, at + 20, csize);
            put32(zip, at + 24, usize);
            return;
        }
    }
    FAIL() << "no record for " << name;
}

class FileArchives : public FileLayerTest {
protected:
    // GameData/ on disk with Images/ in it; Images.zip beside Images/,
    // Sounds.pak standing for a folder that is not on disk, GameData.zip
    // beside GameData/.
    void makeTree()
    {
        put("GameData/Images/disk.png", "from disk");
        putZip("GameData/Images.zip", {{"disk.png", "inner copy", false},
                                       {"a.png", "inner a", true},
                                       {"Big.bin", m_big, true}});
        putZip("GameData/Sounds.pak", {{"Hit.wav", "pak data", false}});
        putZip("GameData/Music.zip", {{"x.ogg", "zip music", false}});
        putZip("GameData/Music.pak", {{"x.ogg", "pak music", false}});
        putZip("GameData.zip", {{"Images/", "", false},
                                {"Images/a.png", "outer a", true},
                                {"Images/b.png", "outer b", false},
                                {"Levels/", "", false},
                                {"Levels/One.lvl", "level one", true},
                                {"Empty.txt", "", false}});
    }

    const std::string m_big = pattern(100000, 7);
};

} // namespace

TEST_F(FileArchives, LookupOrder)
{
    makeTree();
    std::uint32_t size = 0;
    // Disk first, then the nearest archive, then the next one out.
    EXPECT_EQ(read("temp:GameData/Images/disk.png"), "from disk");
    EXPECT_EQ(read("temp:GameData/Images/a.png", &size), "inner a");
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(read("temp:GameData/Images/b.png"), "outer b");   // Images.zip lacks it
    EXPECT_EQ(read("temp:GameData/Levels/One.lvl"), "level one");
    EXPECT_EQ(read("temp:GameData/Sounds/Hit.wav"), "pak data");
    EXPECT_EQ(read("temp:GameData/Music/x.ogg"), "zip music");  // ".zip" before ".pak"
    EXPECT_TRUE(file_isExistOrPacked("temp:GameData/Images/b.png"));
    EXPECT_TRUE(file_isExist("temp:GameData/Sounds/Hit.wav", true));
    EXPECT_FALSE(file_isExist("temp:GameData/Sounds/Hit.wav", false));
    EXPECT_TRUE(messages().empty());

    // A file no archive holds: the read's own message, then nothing.
    EXPECT_EQ(read("temp:GameData/Images/none.png", &size), "<null>");
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(file_isExistOrPacked("temp:GameData/Images/none.png"));
    EXPECT_EQ(file_getSize("temp:GameData/Images/none.png"), 0u);
    EXPECT_EQ(messages(), (std::vector<std::string>{
                              "file_readFullAndMalloc. Error open file: temp:GameData/Images/none.png",
                              "file_getSize. Error open file: temp:GameData/Images/none.png"}));

    // An empty entry reads like an empty file: null, size 0, no message.
    EXPECT_EQ(read("temp:GameData/Empty.txt", &size), "<null>");
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(file_isExistOrPacked("temp:GameData/Empty.txt"));
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(FileArchives, CaselessNamesAndRecordSizes)
{
    makeTree();
    std::uint32_t size = 0;
    EXPECT_EQ(read("temp:GameData/IMAGES/A.PNG"), "inner a");
    EXPECT_EQ(read("temp:gamedata/images/B.Png"), "outer b");
    EXPECT_EQ(read("temp:GameData\\Sounds\\hit.WAV"), "pak data");
    EXPECT_EQ(read("temp:GAMEDATA\\LEVELS\\one.lvl"), "level one");

    // Sizes come from the entry record, in any case, also for deflated data.
    EXPECT_EQ(file_getSize("temp:GameData/Images/big.BIN"), m_big.size());
    EXPECT_EQ(file_getSize("temp:gamedata/levels/ONE.LVL"), 9u);
    EXPECT_EQ(file_getSize("temp:GameData/Images/disk.png"), 9u);
    EXPECT_EQ(read("temp:GameData/Images/BIG.bin", &size), m_big);
    EXPECT_EQ(size, m_big.size());

    aFile file("temp:GameData/images/a.PNG");
    ASSERT_TRUE(file.isLoaded());
    EXPECT_TRUE(file.m_owns);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file.data()), file.size()), "inner a");
    EXPECT_TRUE(messages().empty());
}

TEST_F(FileArchives, ArchivedFolders)
{
    makeTree();
    for (const char* folder : {"temp:GameData/Levels", "temp:GameData/Levels/", "temp:gamedata\\LEVELS\\",
                               "temp:GameData/Images", "temp:GameData/Sounds"}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(file_isDirExistOrPacked(folder));
        EXPECT_TRUE(file_isDirExist(folder, true));
    }
    EXPECT_FALSE(file_isDirExist("temp:GameData/Levels", false));
    EXPECT_TRUE(file_isExistOrPacked("temp:GameData/Levels/"));
    EXPECT_FALSE(file_isDirExistOrPacked("temp:GameData/Nowhere"));
    EXPECT_FALSE(file_isDirExistOrPacked("temp:GameData/Levels/One.lvl"));
    EXPECT_FALSE(file_isDirExistOrPacked(""));
    EXPECT_TRUE(messages().empty());
}

TEST_F(FileArchives, FoldersAreKnownWithOrWithoutTheirEntries)
{
    // The same tree zipped with "name/" entries and without them (as many
    // archivers write it) answers every lookup alike.
    const std::vector<Entry> files = {{"Rooms/Hall/items.ini", "[key]\n", true},
                                      {"Rooms/Hall/Pictures/back.png", "png", false},
                                      {"Text/Main.txt", "k = \"v\"\n", false},
                                      {"Top.txt", "top", false}};
    std::vector<Entry> withFolders = {{"Rooms/", "", false}, {"Rooms/Hall/", "", false},
                                      {"Rooms/Hall/Pictures/", "", false}, {"Text/", "", false}};
    withFolders.insert(withFolders.end(), files.begin(), files.end());
    putZip("With.zip", withFolders);
    putZip("Without.zip", files);

    const std::vector<std::string> folders = {"Rooms", "Rooms/", "rooms/HALL", "Rooms/Hall/Pictures/", "TEXT"};
    const std::vector<std::string> others = {"Room", "Rooms/Hal", "Rooms/Hall/items.ini", "Top.txt", "Rooms/Attic",
                                             "Rooms/Hall/Pictures/back.png/"};
    for (const char* base : {"temp:With/", "temp:Without/"}) {
        SCOPED_TRACE(base);
        for (const std::string& f : folders) {
            EXPECT_TRUE(file_isDirExistOrPacked(base + f)) << f;
            EXPECT_TRUE(file_isExistOrPacked(base + f + (f.back() == '/' ? "" : "/"))) << f;
        }
        for (const std::string& f : others)
            EXPECT_FALSE(file_isDirExistOrPacked(base + f)) << f;
        std::uint32_t size = 1;
        EXPECT_EQ(read(base + std::string("Rooms/Hall/"), &size), "<null>");  // as an empty entry
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(file_getSize(base + std::string("Rooms/")), 0u);
        EXPECT_EQ(read(base + std::string("rooms/hall/ITEMS.INI")), "[key]\n");
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(FileArchives, ArchivesStayOpen)
{
    makeTree();
    const std::size_t before = file_layer::openArchiveCount();
    EXPECT_EQ(read("temp:GameData/Images/a.png"), "inner a");
    EXPECT_EQ(file_layer::openArchiveCount(), before + 1);
    // Same archive however the base is spelled.
    EXPECT_EQ(read("temp:GAMEDATA/images/A.png"), "inner a");
    EXPECT_EQ(read("temp:GameData\\Images\\a.png"), "inner a");
    EXPECT_EQ(file_layer::openArchiveCount(), before + 1);
    EXPECT_EQ(read("temp:GameData/Images/b.png"), "outer b");
    EXPECT_EQ(file_layer::openArchiveCount(), before + 2);

    // Closing them all (as at exit) and reading again reopens.
    file_layer::closeAllArchives();
    EXPECT_EQ(file_layer::openArchiveCount(), 0u);
    EXPECT_EQ(read("temp:GameData/Images/b.png"), "outer b");
    EXPECT_EQ(file_layer::openArchiveCount(), 2u);
}

TEST_F(FileArchives, WalkStaysBelowItsRoots)
{
    // temp: is $HOME/tmp and every special folder is $HOME/.local/share.
    // Archives standing for those folders, or for anything above them, are
    // never opened.
    ASSERT_TRUE(zip_writer::writeZip(test_env::home() + "/tmp.zip", {{"x.txt", "above temp", false}}));
    ASSERT_TRUE(zip_writer::writeZip(test_env::home() + "/.local/share.zip", {{"y.txt", "at share", false}}));
    ASSERT_TRUE(zip_writer::writeZip(test_env::home() + "/.local.zip", {{"share/y.txt", "above share", false}}));
    ASSERT_TRUE(zip_writer::writeZip(test_env::home() + "/other.zip", {{"z.txt", "no root", false}}));
    put("Sub/keep", "");
    putZip("Sub.zip", {{"x.txt", "below temp", false}});

    EXPECT_EQ(read("temp:Sub/x.txt"), "below temp");
    EXPECT_FALSE(file_isExistOrPacked("temp:x.txt"));
    EXPECT_EQ(read("temp:x.txt"), "<null>");
    EXPECT_FALSE(file_isExistOrPacked("userappdata:y.txt"));
    EXPECT_FALSE(file_isExistOrPacked("userdocs:y.txt"));
    EXPECT_FALSE(file_isExistOrPacked(test_env::home() + "/other/z.txt"));
    EXPECT_FALSE(file_isDirExistOrPacked(test_env::home() + "/other"));
    // Steps back up do not reach the archives above either.
    EXPECT_FALSE(file_isExistOrPacked("temp:Sub/../x.txt"));
    EXPECT_FALSE(file_isExistOrPacked("temp:../tmp/x.txt"));
    EXPECT_FALSE(file_isExistOrPacked("temp:./x.txt"));
    EXPECT_FALSE(file_isExistOrPacked("userappdata:../share/y.txt"));

    // Moving "temp" moves the boundary with it.
    m_server->setAssign("temp", test_env::home() + "/");
    EXPECT_EQ(read("temp:tmp/x.txt"), "above temp");
    EXPECT_EQ(read("temp:other/z.txt"), "no root");
}

TEST_F(FileArchives, CorruptArchivesAreLoggedOnceAndSkipped)
{
    // A broken archive nearer the file than a good one, and a broken ".zip"
    // beside a good ".pak".
    put("Outer/Inner/keep", "");
    put("Outer/Inner.zip", std::string(300, 'G'));
    putZip("Outer.zip", {{"Inner/x.txt", "from outer", true}});
    put("Twin.zip", "PK\x05\x06 not really");
    putZip("Twin.pak", {{"y.txt", "from pak", false}});
    std::string whole = zip_writer::buildZip({{"z.txt", pattern(400, 3), true}});
    put("Cut.zip", whole.substr(0, whole.size() / 2));

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(read("temp:Outer/Inner/x.txt"), "from outer");
        EXPECT_EQ(read("temp:Twin/y.txt"), "from pak");
        EXPECT_EQ(read("temp:Cut/z.txt"), "<null>");
        EXPECT_EQ(file_getSize("temp:Outer/Inner/x.txt"), 10u);
    }
    EXPECT_EQ(countMessages("Inner.zip cannot be opened"), 1u);
    EXPECT_EQ(countMessages("Twin.zip cannot be opened"), 1u);
    EXPECT_EQ(countMessages("Cut.zip cannot be opened"), 1u);
    EXPECT_EQ(countMessages("Error open file: temp:Cut/z.txt"), 3u);
    EXPECT_EQ(messages().size(), 6u);
    // Our own words, the archive's path and zziplib's number; never its
    // printf directives.
    EXPECT_EQ(messages()[1], "Archive " + m_temp + "Twin.zip cannot be opened: too short for a zip archive, "
                             "zziplib error " + std::to_string(ZZIP_DIR_TOO_SHORT));
    EXPECT_EQ(messages()[0], "Archive " + m_temp + "Outer/Inner.zip cannot be opened: no end of central "
                             "directory record, zziplib error " + std::to_string(ZZIP_DIR_EDH_MISSING));
    for (const std::string& m : messages())
        EXPECT_EQ(m.find('%'), std::string::npos) << m;
}

TEST_F(FileArchives, DamagedEntriesGiveNull)
{
    std::vector<Entry> entries = {{"ok.txt", "fine", false},
                                  {"bigger.txt", "stored", false},
                                  {"huge.bin", pattern(2000, 1), true},
                                  {"longer.bin", pattern(2000, 2), true},
                                  {"shorter.bin", pattern(2000, 3), true},
                                  {"garbled.bin", pattern(2000, 5), true},
                                  {"headless.txt", "no header", false},
                                  {"pushed.txt", "pushed out", false},
                                  {"beyond.txt", pattern(600, 4), false}};
    std::string zip = zip_writer::buildZip(entries);
    const std::uint32_t total = std::uint32_t(zip.size());
    patchSizes(zip, "bigger.txt", 6, 60);             // stored sizes disagree
    patchSizes(zip, "huge.bin", 40, 0x7FFFFFF0);      // far past any deflate ratio
    patchSizes(zip, "longer.bin", kKeep, 2100);       // deflate stream ends first
    patchSizes(zip, "shorter.bin", kKeep, 1999);      // the stream holds more
    zip[zip.find("garbled.bin") + 11] = '\xFF';       // a reserved block type
    zip[zip.find("headless.txt") - 30] = 'X';         // its local header's signature
    zip[zip.find("pushed.txt") - 2] = '\xFF';         // a local extra field past the end
    zip[zip.find("pushed.txt") - 1] = '\xFF';
    patchSizes(zip, "beyond.txt", total - 1, total - 1);  // data runs past the end
    put("Bad.zip", zip);

    EXPECT_EQ(read("temp:Bad/ok.txt"), "fine");
    const std::vector<std::string> damaged = {"bigger.txt", "huge.bin",     "longer.bin", "shorter.bin",
                                              "garbled.bin", "headless.txt", "pushed.txt", "beyond.txt"};
    for (const std::string& name : damaged) {
        SCOPED_TRACE(name);
        std::uint32_t size = 1;
        EXPECT_EQ(read("temp:Bad/" + name, &size), "<null>");
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(countMessages("entry " + name + " is damaged"), 1u);
    }
    ASSERT_EQ(messages().size(), damaged.size());
    EXPECT_EQ(countMessages(m_temp + "Bad.zip: entry"), damaged.size());
    // Where the data itself is at fault, the message says how.
    EXPECT_EQ(messages()[2], "Archive " + m_temp + "Bad.zip: entry longer.bin is damaged (shorter than its record)");
    EXPECT_EQ(messages()[3], "Archive " + m_temp + "Bad.zip: entry shorter.bin is damaged (longer than its record)");
    EXPECT_EQ(messages()[4], "Archive " + m_temp + "Bad.zip: entry garbled.bin is damaged (corrupt data)");
    EXPECT_EQ(messages()[5], "Archive " + m_temp + "Bad.zip: entry headless.txt is damaged (no local header)");
    EXPECT_EQ(messages()[6],
              "Archive " + m_temp + "Bad.zip: entry pushed.txt is damaged (data runs past the end of the archive)");
    // Damaged from the start: the archive itself is not lost.
    EXPECT_FALSE(file_isArchiveLost());
}

TEST_F(FileArchives, LongLocalHeadersAndLargeEntries)
{
    // Local extra fields longer than the central records say, and entries
    // over a megabyte, stored and deflated, read between small ones from the
    // same archive.
    // Bytes deflate cannot shrink, so the deflated copy is as large too.
    std::string large(1200000, '\0');
    unsigned x = 5;
    for (char& c : large) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 23);
    }
    const std::vector<Entry> entries = {{"small.txt", "small", true},
                                        {"stamped.bin", pattern(3000, 22), true, 300},
                                        {"stamped.txt", "stored, stamped", false, 70},
                                        {"large.bin", large, true},
                                        {"large.raw", large, false, 100}};
    putZip("Mixed.zip", entries);
    for (int round = 0; round < 2; ++round)
        for (const Entry& e : entries) {
            SCOPED_TRACE(e.name);
            std::uint32_t size = 0;
            EXPECT_TRUE(read("temp:Mixed/" + e.name, &size) == e.data);
            EXPECT_EQ(size, e.data.size());
        }
    EXPECT_TRUE(messages().empty());
}

TEST_F(FileArchives, RecordsWithHugeExtraFieldsStillRead)
{
    // A record whose name and extra field come to 64 KiB, and those after
    // it, are read all the same, and still checked.
    const std::vector<Entry> entries = {{"first.txt", "first", false},
                                        {"wide.bin", pattern(5000, 31), true, 0, 65535},
                                        {"after.txt", "after", false},
                                        {"Last.bin", pattern(4000, 32), true},
                                        {"torn.bin", pattern(4000, 33), true}};
    std::string zip = zip_writer::buildZip(entries);
    patchSizes(zip, "torn.bin", kKeep, 4001);
    put("Wide.zip", zip);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(read("temp:Wide/first.txt"), "first");
        EXPECT_EQ(read("temp:Wide/wide.bin"), entries[1].data);
        EXPECT_EQ(read("temp:Wide/after.txt"), "after");
        EXPECT_EQ(read("temp:Wide/last.BIN"), entries[3].data);
        EXPECT_EQ(read("temp:Wide/torn.bin"), "<null>");
    }
    EXPECT_EQ(file_getSize("temp:Wide/wide.bin"), 5000u);
    EXPECT_EQ(messages().size(), 2u);
    EXPECT_EQ(countMessages("entry torn.bin is damaged"), 2u);
}

TEST_F(FileArchives, MangledArchivesNeverCrash)
{
    // Every truncation and a sweep of byte changes: each read gives the
    // right content or null, and nothing reads out of bounds (ASan).
    const std::vector<Entry> entries = {{"d/", "", false}, {"d/a.txt", pattern(300, 5), true},
                                        {"b.txt", "stored text", false}};
    const std::string good = zip_writer::buildZip(entries);
    int variant = 0;
    auto check = [&](const std::string& bytes) {
        const std::string base = "Fz" + std::to_string(variant++);
        put(base + ".zip", bytes);
        const std::string a = read("temp:" + base + "/d/a.txt");
        EXPECT_TRUE(a == "<null>" || a == entries[1].data);
        const std::string b = read("temp:" + base + "/b.txt");
        EXPECT_TRUE(b == "<null>" || b == entries[2].data);
        file_getSize("temp:" + base + "/d/a.txt");
        file_isDirExistOrPacked("temp:" + base + "/d");
    };
    for (std::size_t cut = 0; cut < good.size(); cut += 7)
        check(good.substr(0, cut));
    for (std::size_t at = 0; at < good.size(); at += 5) {
        std::string bytes = good;
        bytes[at] = char(bytes[at] ^ 0xA5);
        check(bytes);
    }
    file_layer::closeAllArchives();
}

TEST_F(FileArchives, ArchivesChangedOnDiskWhileOpen)
{
    const std::string path = m_temp + "Live.zip";
    const std::vector<Entry> entries = {{"first.txt", "first", false},
                                        {"big.bin", pattern(50000, 41), true},
                                        {"last.txt", "last", false}};
    putZip("Live.zip", entries);
    for (const Entry& e : entries)
        EXPECT_EQ(read("temp:Live/" + e.name), e.data);
    EXPECT_FALSE(file_isArchiveLost());

    // Cut short in place: what lies past the cut cannot be read, and the
    // archive is lost; what lies before still reads.
    std::filesystem::resize_file(path, 200);
    EXPECT_EQ(read("temp:Live/big.bin"), "<null>");
    EXPECT_TRUE(file_isArchiveLost());
    EXPECT_EQ(read("temp:Live/last.txt"), "<null>");
    EXPECT_EQ(read("temp:Live/first.txt"), "first");
    EXPECT_EQ(messages(), (std::vector<std::string>{
                              "Archive " + path + " changed on disk while it was open: its entries can no longer be read",
                              "Archive " + path + ": entry big.bin cannot be read (the archive ends before its data)",
                              "Archive " + path + ": entry last.txt cannot be read (the archive ends before its data)"}));
    file_layer::closeAllArchives();
    EXPECT_FALSE(file_isArchiveLost());

    // Written over in place with other bytes of the same size.
    putZip("Live.zip", entries);
    EXPECT_EQ(read("temp:Live/first.txt"), "first");
    std::vector<Entry> other = entries;
    other[2].data = "LAST";
    putZip("Live.zip", other);
    // As a later copy stamps it; a rewrite within the clock's tick keeps the
    // time, and then the entry reads as damaged.
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    EXPECT_EQ(read("temp:Live/last.txt"), "<null>");
    EXPECT_TRUE(file_isArchiveLost());
    EXPECT_EQ(countMessages("entry last.txt cannot be read (checksum mismatch)"), 1u);
    file_layer::closeAllArchives();

    // Replaced by another file (as a package update does): the open one
    // still reads whole.
    putZip("Live.zip", entries);
    EXPECT_EQ(read("temp:Live/first.txt"), "first");
    putZip("New.zip", other);
    std::filesystem::rename(m_temp + "New.zip", path);
    EXPECT_EQ(read("temp:Live/last.txt"), "last");
    EXPECT_EQ(read("temp:Live/big.bin"), entries[1].data);
    EXPECT_FALSE(file_isArchiveLost());
    file_layer::closeAllArchives();
    EXPECT_EQ(read("temp:Live/last.txt"), "LAST");
}

TEST_F(FileArchives, TwoThreadsReadOneArchive)
{
    const std::string one = pattern(20000, 11);
    const std::string two = pattern(30000, 12);
    putZip("Shared.zip", {{"one.bin", one, true}, {"Two.bin", two, true}});
    std::atomic<int> bad{0};
    auto reader = [&](const std::string& path, const std::string& expected) {
        for (int i = 0; i < 1000; ++i) {
            std::uint32_t size = 0;
            std::uint8_t* data = file_readFullAndMalloc(path, &size);
            if (!data || size != expected.size() || std::memcmp(data, expected.data(), size) != 0)
                ++bad;
            std::free(data);
        }
    };
    std::thread a(reader, "temp:Shared/one.bin", one);
    std::thread b(reader, "temp:shared/TWO.bin", two);
    a.join();
    b.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_TRUE(messages().empty());
}
