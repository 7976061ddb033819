#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/util/a_file_server.h"
#include "engine/util/a_locale_server.h"
#include "support/zip_writer.h"
#include "text_test_log.h"

namespace {

class LocaleServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_log = std::make_unique<TestLog>();
        m_dir = test_env::home() + "/Text/";
    }
    void TearDown() override { m_log.reset(); }

    std::string write(const std::string& name, const std::string& text)
    {
        test_env::writeFile(m_dir + name, text);
        return m_dir + name;
    }

    std::unique_ptr<TestLog> m_log;
    std::string m_dir;
    aLocaleServer m_server;
};

} // namespace

TEST_F(LocaleServer, LineForms)
{
    EXPECT_EQ(g_localeServer, &m_server);
    write("body.txt", "\xEF\xBB\xBFline1\r\nline2 \\n \"q\"");
    const std::string table = write("Main.txt",
                                    "\xEF\xBB\xBF"
                                    "plain = \"Hello\"\n"
                                    "\n"
                                    "   ; a comment\n"
                                    "direct \"Direct\"\n"
                                    "\ttabbed\t=\t\"Tab\"\n"
                                    "quote=\"say \"hi\" now\"\n"
                                    "semi = \"a;b\"\n"
                                    "nl = \"one\\ntwo\"\n"
                                    "utf = \"\xD0\x96\xC3\xA9\"\n"
                                    "body = file, \"body.txt\"\n"
                                    "plain = \"Replaced\"\n");
    m_server.loadFile(table, "");
    EXPECT_EQ(m_server.getString("plain"), L"Replaced");
    EXPECT_EQ(m_server.getString("direct"), L"Direct");
    EXPECT_EQ(m_server.getString("tabbed"), L"Tab");
    EXPECT_EQ(m_server.getString("quote"), L"say \"hi\" now");
    EXPECT_EQ(m_server.getString("semi"), L"a;b");
    EXPECT_EQ(m_server.getString("nl"), L"one\ntwo");
    EXPECT_EQ(m_server.getString("utf"), std::wstring(L"\x0416\x00E9"));
    // A file's text keeps "\n" as two characters; its mark and CR bytes go.
    EXPECT_EQ(m_server.getString("body"), L"line1\nline2 \\n \"q\"");
    EXPECT_EQ(m_server.getSize(), 8u);
    EXPECT_TRUE(m_log->lines().empty());
}

TEST_F(LocaleServer, ErrorsAndMissingKeys)
{
    const std::string table = write("Bad.txt",
                                    "good = \"ok\"\n"
                                    "nokeyend\n"
                                    "\n"
                                    "one = \"quote\n"
                                    "noquotes = text\n"
                                    "gone = file,\"nothere.txt\"\n"
                                    "last = \"fine\"\n");
    m_server.loadFile(table, "grp");
    EXPECT_EQ(m_server.getString("good", "grp"), L"ok");
    EXPECT_EQ(m_server.getString("last", "grp"), L"fine");
    ASSERT_NE(m_server.findString("gone", "grp"), nullptr);
    EXPECT_EQ(*m_server.findString("gone", "grp"), L"");
    EXPECT_EQ(m_server.findString("good"), nullptr);
    EXPECT_EQ(m_server.getString("absent", "grp"), L"");

    // Line numbers count the lines the list keeps (the blank one is not).
    EXPECT_EQ(m_log->count("aLocaleServer. Error in file " + table + ", line 2"), 1u);
    EXPECT_EQ(m_log->count("aLocaleServer. Error in file " + table + ", line 3"), 1u);
    EXPECT_EQ(m_log->count("aLocaleServer. Error in file " + table + ", line 4"), 1u);
    EXPECT_EQ(m_log->count("aLocaleServer. Cannot read file " + m_dir + "nothere.txt for key gone in file " + table), 1u);
    EXPECT_EQ(m_log->count("aLocaleServer. String [grp:absent] not found"), 1u);

    // A missing table keeps its record: it is not read again.
    m_server.loadFile(m_dir + "none.txt", "");
    const std::size_t lines = m_log->lines().size();
    m_server.loadFile(m_dir + "none.txt", "");
    EXPECT_EQ(m_log->lines().size(), lines);
}

TEST_F(LocaleServer, LoadOncePerPathAndGroup)
{
    const std::string table = write("Once.txt", "k = \"first\"\n");
    m_server.loadFile(table, "");
    write("Once.txt", "k = \"second\"\n");
    m_server.loadFile(table, "");
    EXPECT_EQ(m_server.getString("k"), L"first");
    m_server.loadFile(table, "g");
    EXPECT_EQ(m_server.getString("k", "g"), L"second");
    EXPECT_EQ(m_server.getString("k"), L"first");
}

TEST_F(LocaleServer, UnloadErasesKeysOfTheFileEvenIfOverridden)
{
    const std::string base = write("Base.txt", "shared = \"base\"\nonly = \"base only\"\n");
    const std::string over = write("Over.txt", "shared = \"over\"\nmine = \"over only\"\n");
    m_server.loadFile(base, "");
    m_server.loadFile(over, "");
    EXPECT_EQ(m_server.getString("shared"), L"over");
    EXPECT_FALSE(m_server.unloadFile(over, "other"));
    // The keys it gave are erased, whatever the file holds by now.
    write("Over.txt", "only = \"rewritten\"\n");
    EXPECT_TRUE(m_server.unloadFile(over, ""));
    EXPECT_EQ(m_server.findString("shared"), nullptr);
    EXPECT_EQ(m_server.findString("mine"), nullptr);
    EXPECT_EQ(m_server.getString("only"), L"base only");
    EXPECT_FALSE(m_server.unloadFile(over, ""));
    // Unloaded, it can be loaded again, as it is now.
    m_server.loadFile(over, "");
    EXPECT_EQ(m_server.getString("only"), L"rewritten");
}

TEST_F(LocaleServer, FileEntriesWithAssignsAndFolders)
{
    aFileServer files;
    files.setAssign("language", m_dir);
    write("Sub/deep.txt", "deep text");
    write("flat.txt", "flat text");
    write("other.txt", "assigned text");
    write("Refs.txt",
                                    "flat = file, \"flat.txt\"\n"
                                    "deep = file, \"" + m_dir + "Sub/deep.txt\"\n"
                                    "assigned = file, \"language:other.txt\"\n");
    m_server.loadFile("language:Refs.txt", "");
    EXPECT_EQ(m_server.getString("flat"), L"flat text");
    EXPECT_EQ(m_server.getString("deep"), L"deep text");
    EXPECT_EQ(m_server.getString("assigned"), L"assigned text");
    EXPECT_TRUE(m_log->lines().empty());
}

TEST_F(LocaleServer, TableInsideAnArchive)
{
    aFileServer files;
    const std::string temp = files.getAssign("temp");
    ASSERT_TRUE(zip_writer::writeZip(temp + "Lang.zip",
                                     {{"Text/", "", false},
                                      {"Text/Main.txt", "\xEF\xBB\xBFtitle = \"Zip \xD0\x96\"\nbody = file, \"Body.txt\"\n", true},
                                      {"Text/body.txt", "zipped\r\nbody", false}}));
    files.setAssign("language", "temp:Lang/");
    m_server.loadFile("language:Text/Main.txt", "");
    EXPECT_EQ(m_server.getString("title"), std::wstring(L"Zip \x0416"));
    // Names inside archives ignore case, as on disk.
    EXPECT_EQ(m_server.getString("body"), L"zipped\nbody");
    EXPECT_TRUE(m_log->lines().empty());
    EXPECT_TRUE(m_server.unloadFile("language:Text/Main.txt", ""));
    EXPECT_EQ(m_server.getSize(), 0u);
}

TEST(LocaleServerPointer, SetAndCleared)
{
    EXPECT_EQ(g_localeServer, nullptr);
    {
        aLocaleServer server;
        EXPECT_EQ(g_localeServer, &server);
    }
    EXPECT_EQ(g_localeServer, nullptr);
}
