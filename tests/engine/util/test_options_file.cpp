#include <gtest/gtest.h>

#include <climits>
#include <list>
#include <memory>
#include <random>
#include <string>

#include "engine/util/a_options_file.h"
#include "text_test_log.h"

namespace {

std::string writeIni(const std::string& name, const std::string& text)
{
    const std::string path = test_env::home() + "/" + name;
    test_env::writeFile(path, text);
    return path;
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

using Tokens = std::list<std::string>;

const char kTable[] =
    "orphan = 1\n"
    " ; comment\n"
    ";another\n"
    "[Screen]\n"
    "Width = 640 ; c\n"
    "a==b\n"
    "  Indented=5\n"
    "\tTabbed=6\n"
    "Empty=\n"
    "Dup=first\n"
    "Dup=second\n"
    "Big=99999999999\n"
    "Neg=-99999999999\n"
    "Float=2.5\n"
    "Bool=0\n"
    "List=1, 2,3\n"
    "Names=alpha, beta  gamma,,delta\n"
    "[Screen]\n"
    "Width=800\n"
    "[Open\n"
    "#define=3\n";

} // namespace

TEST(OptionsFile, LinesKeysAndValues)
{
    TestLog log;
    const std::string path = writeIni("table.ini", kTable);
    aOptionsFile ini(path);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"aOptionsFile. Incorrect file: " + path});

    ASSERT_EQ(ini.sections().size(), 3u);
    EXPECT_EQ(ini.getSectionName(), "Screen");
    EXPECT_EQ(ini.getString("Width"), "640 ");
    EXPECT_EQ(ini.getString("a"), "b");
    EXPECT_EQ(ini.getString("Indented"), "5");
    EXPECT_EQ(ini.getString("\tTabbed"), "6");
    EXPECT_TRUE(ini.hasKey("Empty"));
    EXPECT_EQ(ini.getString("Empty"), "");
    EXPECT_EQ(ini.getString("Dup"), "first");
    EXPECT_EQ(ini.getInt("Width"), 640);
    EXPECT_EQ(ini.getIntDef("Big", 0), INT_MAX);
    EXPECT_EQ(ini.getIntDef("Neg", 0), INT_MIN);
    EXPECT_EQ(ini.getIntDef("Absent", -3), -3);
    EXPECT_FLOAT_EQ(ini.getFloatDef("Float", 0.f), 2.5f);
    EXPECT_FLOAT_EQ(ini.getFloatDef("Absent", 1.25f), 1.25f);
    EXPECT_FALSE(ini.getBoolDef("Bool", true));
    EXPECT_TRUE(ini.getBoolDef("Big", false));
    EXPECT_TRUE(ini.getBoolDef("Absent", true));
    EXPECT_EQ(ini.getStringDef("Absent", "def"), "def");
    EXPECT_EQ(ini.getStringDef("a", std::string("def")), "b");

    std::list<int> ints;
    ini.getInts("List", ints);
    EXPECT_EQ(ints, (std::list<int>{1, 2, 3}));
    Tokens tokens;
    ini.getTokens(tokens, "Names");
    EXPECT_EQ(tokens, (Tokens{"alpha", "beta", "gamma", "delta"}));
    EXPECT_EQ(log.lines().size(), 1u);

    // A repeated key is its own line in iteration; the second section of
    // the same name is reached only by walking.
    std::string keys;
    for (ini.firstKey(); !ini.isKeysEnd(); ini.nextKey())
        keys += ini.getKeyName() + "=" + ini.getKeyValue() + ";";
    EXPECT_EQ(keys, "Width=640 ;a=b;Indented=5;\tTabbed=6;Empty=;Dup=first;Dup=second;Big=99999999999;"
                    "Neg=-99999999999;Float=2.5;Bool=0;List=1, 2,3;Names=alpha, beta  gamma,,delta;");
    EXPECT_FALSE(ini.nextKey());
    EXPECT_EQ(ini.getKeyName(), "");

    ini.nextSection();
    EXPECT_EQ(ini.getString("Width"), "800");
    EXPECT_TRUE(ini.selectSection("Screen"));
    EXPECT_EQ(ini.getString("Width"), "640 ");
    EXPECT_TRUE(ini.selectSection("Open"));
    EXPECT_EQ(ini.getString("#define"), "3");
    EXPECT_FALSE(ini.selectSection("Nope"));
    EXPECT_EQ(ini.getSectionName(), "Open");
    ini.nextSection();
    EXPECT_TRUE(ini.isSectionsEnd());
    EXPECT_TRUE(ini.isKeysEnd());
    EXPECT_FALSE(ini.firstKey());
}

TEST(OptionsFile, LookupMessages)
{
    TestLog log;
    aOptionsFile ini(writeIni("messages.ini", "[S]\nk=v\n[T]\nt=1, 2\n"));
    ini.selectSection("T");
    EXPECT_EQ(ini.getString("nope"), "");
    EXPECT_EQ(ini.getValue("S", "k"), "v");
    EXPECT_EQ(ini.getSectionName(), "T");
    EXPECT_EQ(ini.getValue("X", "k"), "");
    EXPECT_EQ(ini.getValue("S", "x"), "");
    EXPECT_EQ(ini.getValueDef("S", "x", "d"), "d");
    EXPECT_TRUE(ini.hasSectionKey("S", "k"));
    EXPECT_FALSE(ini.hasSectionKey("S", "t"));
    Tokens tokens;
    ini.getValueTokens("T", "t", tokens);
    EXPECT_EQ(tokens, (Tokens{"1", "2"}));

    ini.setValue("S", "k", "w");
    ini.setValue("S", "new", "n");
    ini.setString("t", "3");
    ini.setValue("X", "k", "v");
    EXPECT_EQ(ini.getValue("S", "k"), "w");
    EXPECT_EQ(ini.getValue("S", "new"), "n");
    EXPECT_EQ(ini.getString("t"), "3");

    ini.nextSection();
    EXPECT_EQ(ini.getString("k"), "");
    ini.setString("k", "v");
    EXPECT_FALSE(ini.hasKey("k"));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "aOptionsFile. Cannot find key \"nope\" in current section!",
                               "aOptionsFile. Cannot find section: [X].",
                               "aOptionsFile. Cannot find key: [S].x",
                               "aOptionsFile. Cannot find section for set: X",
                               "aOptionsFile. Error get key \"k\" from unspecified current section!",
                               "aOptionsFile. Error set key \"k\" to unspecified current section!",
                           }));
}

TEST(OptionsFile, LineEndsAndByteOrderMark)
{
    aOptionsFile lf(writeIni("lf.ini", "[A]\nx=1\n\ny=2\n"));
    aOptionsFile crlf(writeIni("crlf.ini", "\xEF\xBB\xBF[A]\r\nx=1\r\n\r\n\r\ny=2"));
    EXPECT_EQ(lf.sections(), crlf.sections());
    aOptionsFile missing(test_env::home() + "/none.ini");
    EXPECT_TRUE(missing.sections().empty());
    EXPECT_TRUE(missing.isSectionsEnd());
}

TEST(OptionsFile, IncludeContinuesTheOpenSection)
{
    TestLog log;
    const std::string part = writeIni("part.ini", "z=3\n[B]\nw=4\n");
    aOptionsFile ini(writeIni("main.ini", "[A]\nx=1\n  #include " + quoted(part) + " ; note\ny=2\n"));
    ASSERT_EQ(ini.sections().size(), 2u);
    EXPECT_EQ(ini.sections().front().second,
              (std::list<aOptionsFile::Pair>{{"x", "1"}, {"z", "3"}}));
    // The included file's last section stays open after it.
    EXPECT_EQ(ini.sections().back().second,
              (std::list<aOptionsFile::Pair>{{"w", "4"}, {"y", "2"}}));

    // Keys of an included file before any section are stray there too.
    const std::string stray = writeIni("stray.ini", "k=1\n[S]\n");
    aOptionsFile top(writeIni("top.ini", "#include" + quoted(stray) + "\nq=2\n"));
    EXPECT_EQ(top.getSectionName(), "S");
    EXPECT_EQ(top.getString("q"), "2");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"aOptionsFile. Incorrect file: " + stray});
}

TEST(OptionsFile, BadIncludesAreLoggedAndSkipped)
{
    TestLog log;
    const std::string a = test_env::home() + "/a.ini";
    const std::string b = writeIni("b.ini", "[B]\n#include " + quoted(a) + "\nb=1\n");
    writeIni("a.ini", "[A]\n#include " + quoted(b) + "\na=1\n");
    aOptionsFile cycle(a);
    EXPECT_EQ(cycle.sections().size(), 2u);
    EXPECT_EQ(cycle.getValue("B", "a"), "1");
    EXPECT_EQ(log.count("aOptionsFile. Recursive #include of " + a), 1u);

    const std::string self = test_env::home() + "/self.ini";
    writeIni("self.ini", "[S]\n#include " + quoted(self) + "\nk=v\n");
    aOptionsFile selfIni(self);
    EXPECT_EQ(selfIni.getString("k"), "v");
    EXPECT_EQ(log.count("Recursive #include of " + self), 1u);

    const std::string nameless = writeIni("nameless.ini", "[N]\n#include\n#include \"\"\n#include <x.ini>\nk=v\n");
    aOptionsFile namelessIni(nameless);
    EXPECT_EQ(namelessIni.getString("k"), "v");
    EXPECT_EQ(log.count("aOptionsFile. #include without a file name in " + nameless), 3u);

    const std::string gone = test_env::home() + "/gone.ini";
    aOptionsFile missing(writeIni("missing.ini", "[M]\n#include " + quoted(gone) + "\nk=v\n"));
    EXPECT_EQ(missing.getString("k"), "v");
    EXPECT_EQ(log.count("aOptionsFile. Cannot find included file " + gone), 1u);
}

TEST(OptionsFile, IncludeDepthIsCapped)
{
    TestLog log;
    for (int i = 0; i < 40; ++i) {
        const std::string next = test_env::home() + "/d" + std::to_string(i + 1) + ".ini";
        writeIni("d" + std::to_string(i) + ".ini", "[D" + std::to_string(i) + "]\n#include " + quoted(next) + "\n");
    }
    aOptionsFile ini(test_env::home() + "/d0.ini");
    EXPECT_EQ(ini.sections().size(), 32u);
    EXPECT_EQ(log.count("nested deeper than 32 files"), 1u);
}

TEST(OptionsFile, IncludeBombEndsQuicklyAndKeepsTheTopFilesKeys)
{
    // Ten files, each including the next ten times: 10^9 includes without a budget.
    TestLog log;
    for (int i = 0; i < 10; ++i) {
        std::string text = "[B" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
        if (i < 9)
            for (int r = 0; r < 10; ++r)
                text += "#include " + quoted(test_env::home() + "/bomb" + std::to_string(i + 1) + ".ini") + "\n";
        text += "after=" + std::to_string(i) + "\n";
        writeIni("bomb" + std::to_string(i) + ".ini", text);
    }
    const std::string top = test_env::home() + "/bomb0.ini";
    std::unique_ptr<aOptionsFile> loaded;
    EXPECT_LT(test_env::cpuSeconds([&] { loaded = std::make_unique<aOptionsFile>(top); }),
              1.0 * test_env::kSanitizerSlowdown);
    aOptionsFile& ini = *loaded;
    ASSERT_TRUE(ini.selectSection("B0"));
    EXPECT_EQ(ini.getString("k"), "0");
    EXPECT_EQ(log.count("aOptionsFile. More than 4096 files included by " + top), 1u);
    // Each file read adds its own section: the top one and the 4096 included.
    EXPECT_EQ(ini.sections().size(), 4097u);
}

TEST(OptionsFile, BinaryGarbageIsSurvived)
{
    TestLog log;
    std::mt19937 random(7);
    std::string bytes;
    for (int i = 0; i < 20000; ++i)
        bytes += char(random() & 0xFF);
    const std::string path = writeIni("garbage.ini", bytes);
    aOptionsFile ini(path);
    for (ini.firstSection(); !ini.isSectionsEnd(); ini.nextSection())
        for (ini.firstKey(); !ini.isKeysEnd(); ini.nextKey())
            EXPECT_EQ(ini.getKeyValue().find(';'), std::string::npos);
    EXPECT_GT(log.count("aOptionsFile. Incorrect file: " + path), 0u);
}
