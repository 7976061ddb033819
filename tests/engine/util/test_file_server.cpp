#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "support/test_env.h"

namespace fs = std::filesystem;

namespace {

// One file server per test (it is process-wide) and a private log.
class AFileServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(g_fileServer, nullptr);
        m_logPath = test_env::home() + "/fileserver.log";
        a_closeLog();
        g_logFile = std::fopen(m_logPath.c_str(), "w");
        ASSERT_NE(g_logFile, nullptr);
        m_server = std::make_unique<aFileServer>();
        ASSERT_EQ(g_fileServer, m_server.get());
    }
    void TearDown() override
    {
        m_server.reset();
        EXPECT_EQ(g_fileServer, nullptr);
        a_closeLog();
    }

    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const std::string& line : test_env::readLines(m_logPath)) {
            const std::size_t tab = line.find('\t');
            out.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
        }
        return out;
    }
    std::string lastMessage() const
    {
        const std::vector<std::string> all = messages();
        return all.empty() ? "<no line>" : all.back();
    }

    static bool isDir(const std::string& path) { return fs::is_directory(path); }

    std::unique_ptr<aFileServer> m_server;
    std::string m_logPath;
};

} // namespace

TEST_F(AFileServer, BuiltInAssigns)
{
    const std::string exeFolder = fs::read_symlink("/proc/self/exe").parent_path().string() + "/";
    EXPECT_EQ(m_server->getAssign("home"), exeFolder);
    EXPECT_EQ(getApplicationPath(), exeFolder);
    EXPECT_EQ(m_server->manglePath("home:GameData/a.png"), exeFolder + "GameData/a.png");

    const std::string tmp = std::string(std::getenv("TMPDIR")) + "/";
    EXPECT_EQ(m_server->getAssign("temp"), tmp);
    EXPECT_EQ(m_server->manglePath("temp:x.bin"), tmp + "x.bin");

    const std::string data = test_env::dataHome();
    for (const char* name : aFileServer::kSpecialFolders) {
        SCOPED_TRACE(name);
        EXPECT_EQ(m_server->getAssign(name), data);
        EXPECT_EQ(m_server->manglePath(std::string(name) + ":x"), data + "x");
    }
    EXPECT_EQ(m_server->manglePath("UserAppData:Co/Game/"), data + "Co/Game/");
    EXPECT_TRUE(messages().empty());
}

TEST_F(AFileServer, ManglePathLeavesNonAssignsAlone)
{
    for (const char* path : {"C:\\x", "c:x", ":x", "plain/path.txt", "", "/abs/file"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(m_server->manglePath(path), path);
    }
    EXPECT_TRUE(messages().empty());

    EXPECT_EQ(m_server->manglePath("bogus:x"), "bogus:x");
    EXPECT_EQ(lastMessage(), "aFileServer::manglePath(bogus:x) not valid!");

    // Only the leading assign is replaced.
    EXPECT_EQ(m_server->manglePath("temp:a:b"), m_server->getAssign("temp") + "a:b");
    EXPECT_EQ(m_server->manglePath("temp:home:b"), m_server->getAssign("temp") + "home:b");
    EXPECT_EQ(file_manglePath("temp:y"), m_server->getAssign("temp") + "y");
    EXPECT_EQ(messages().size(), 1u);
}

TEST_F(AFileServer, SetAssignRules)
{
    const std::string home = m_server->getAssign("home");

    m_server->setAssign("a", "/somewhere/");
    EXPECT_EQ(lastMessage(), "aFileServer::setAssign(a) less than 2 chars, ignored");
    EXPECT_EQ(m_server->getAssign("a"), "");

    m_server->setAssign("HOME", "/elsewhere/");
    EXPECT_EQ(lastMessage(), "aFileServer::setAssign(HOME) override failed!");
    EXPECT_EQ(m_server->getAssign("home"), home);

    m_server->setAssign("Images", "/first/");
    EXPECT_EQ(m_server->manglePath("IMAGES:y.png"), "/first/y.png");
    m_server->setAssign("images", "/second/");
    EXPECT_EQ(m_server->getAssign("iMaGeS"), "/second/");

    // Defined through another assign: stored already mangled, so a later
    // change of "gamedata" does not move "images".
    m_server->setAssign("gamedata", "home:GameData/");
    m_server->setAssign("images", "gamedata:Images/");
    EXPECT_EQ(m_server->getAssign("images"), home + "GameData/Images/");
    EXPECT_EQ(m_server->manglePath("images:a.png"), home + "GameData/Images/a.png");
    m_server->setAssign("gamedata", "/other/");
    EXPECT_EQ(m_server->getAssign("images"), home + "GameData/Images/");

    // "temp" is not protected like "home".
    m_server->setAssign("temp", "/t/");
    EXPECT_EQ(m_server->getAssign("temp"), "/t/");
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(AFileServer, MakeDirCreatesNestedFolders)
{
    const std::string base = test_env::home() + "/mk";
    EXPECT_TRUE(m_server->makeDir(base + "/a/b/c"));
    EXPECT_TRUE(isDir(base + "/a/b/c"));
    EXPECT_TRUE(m_server->makeDir(base + "/d/e/"));
    EXPECT_TRUE(isDir(base + "/d/e"));
    EXPECT_TRUE(m_server->makeDir(base + "/p//q"));
    EXPECT_TRUE(isDir(base + "/p/q"));

    // Existing folders are fine.
    EXPECT_TRUE(m_server->makeDir(base + "/a/b/c"));
    EXPECT_TRUE(m_server->makeDir(base + "/a/b/c/"));
    EXPECT_TRUE(m_server->makeDir(base + "/d/e/"));

    EXPECT_TRUE(m_server->makeDir("userappdata:Co/Game/ScreenShots/"));
    EXPECT_TRUE(isDir(test_env::dataHome() + "Co/Game/ScreenShots"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(AFileServer, MakeDirFailsOnRegularFiles)
{
    const std::string base = test_env::home() + "/mk";
    test_env::writeFile(base + "/f", "not a folder");
    const std::string expected = "aFileServer::makeDir(" + base + "/f...) failed!";

    EXPECT_FALSE(m_server->makeDir(base + "/f/g/h"));
    EXPECT_EQ(lastMessage(), expected);
    EXPECT_FALSE(m_server->makeDir(base + "/f"));
    EXPECT_EQ(lastMessage(), expected);
    EXPECT_FALSE(m_server->makeDir(base + "/f/"));
    EXPECT_EQ(lastMessage(), expected);
    EXPECT_EQ(messages().size(), 3u);
    EXPECT_FALSE(fs::exists(base + "/f/g"));
    EXPECT_EQ(test_env::readFile(base + "/f"), "not a folder");
}

TEST_F(AFileServer, ExistenceChecks)
{
    const std::string dir = test_env::home() + "/there";
    const std::string file = dir + "/file.txt";
    test_env::writeFile(file, "x");

    EXPECT_TRUE(file_isDirExistOnDisk(dir));
    EXPECT_TRUE(file_isDirExistOnDisk(dir + "/"));
    EXPECT_TRUE(file_isDirExistOnDisk(dir + "\\"));
    EXPECT_TRUE(file_isDirExistOnDisk("/"));
    EXPECT_TRUE(file_isDirExistOnDisk("temp:"));
    EXPECT_FALSE(file_isDirExistOnDisk(file));
    EXPECT_FALSE(file_isDirExistOnDisk(file + "/"));
    EXPECT_FALSE(file_isDirExistOnDisk(dir + "/missing/"));
    EXPECT_FALSE(file_isDirExistOnDisk(""));

    EXPECT_TRUE(file_isExistOnDisk(file));
    EXPECT_TRUE(file_isExistOnDisk(dir));
    EXPECT_FALSE(file_isExistOnDisk(dir + "/nope.txt"));

    test_env::writeFile(test_env::dataHome() + "saved.dat", "1");
    EXPECT_TRUE(file_isExistOnDisk("userappdata:saved.dat"));
    EXPECT_TRUE(file_isDirExist("userappdata:", false));
    EXPECT_FALSE(file_isExistOnDisk("userappdata:other.dat"));
    EXPECT_TRUE(messages().empty());
}
