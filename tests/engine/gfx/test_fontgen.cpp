// The font generator on DejaVu Sans, and the committed demo fonts made again.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "engine/gfx/a_font.h"
#include "test_image_fixture.h"

extern char** environ;

namespace {

const char kFace[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// In name order.
const char* const kDemoFiles[] = {
    "DejaVu-LICENSE.txt", "DejaVuSans11.ini",      "DejaVuSans11.png",      "DejaVuSans16.ini",
    "DejaVuSans16.png",   "DejaVuSans18.ini",      "DejaVuSans18.png",      "DejaVuSans28.ini",
    "DejaVuSans28.png",   "DejaVuSansBold20.ini",  "DejaVuSansBold20.png",  "DejaVuSerif13.ini",
    "DejaVuSerif13.png",  "DejaVuSerif15.ini",     "DejaVuSerif15.png",     "DejaVuSerifBold18.ini",
    "DejaVuSerifBold18.png"};

// ASCII, Latin-1, the basic Cyrillic block and the typographic punctuation
// of the Windows-1251 upper half (dashes, quotes, ellipsis, bullets).
std::vector<wchar_t> characterSet()
{
    std::vector<wchar_t> set;
    for (wchar_t c = 0x20; c < 0x7F; ++c)
        set.push_back(c);
    for (wchar_t c = 0xA0; c <= 0xFF; ++c)
        set.push_back(c);
    for (wchar_t c = 0x400; c < 0x460; ++c)
        set.push_back(c);
    for (int b = 0x80; b <= 0xFF; ++b)
        set.push_back(str_cp1251CharToWide(static_cast<unsigned char>(b)));
    return set;
}

class FontGen : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "FontGen"; }

    // Runs a program with its output in the test's home; the exit code, or
    // -1 when it did not exit.
    int run(std::vector<std::string> args)
    {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string output = test_env::home() + "/run.out";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (spawned != 0 || waitpid(pid, &status, 0) != pid)
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int fontgen(std::vector<std::string> args)
    {
        args.insert(args.begin(), A2D_FONTGEN_BINARY);
        return run(args);
    }
    static std::vector<std::string> files(const std::string& folder)
    {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(FontGen, MakesACompleteFontAndTheSameBytesAgain)
{
    const std::string folder = test_env::home() + "/gen/";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(fontgen({kFace, "16", folder + "f"}), 0) << test_env::readFile(test_env::home() + "/run.out");
    const std::string ini = test_env::readFile(folder + "f.ini"), png = test_env::readFile(folder + "f.png");

    aFont font(folder + "f.ini");
    EXPECT_EQ(newLog(), "");
    const aFontDataLoader* d = font.getLoader();
    ASSERT_TRUE(d && d->texture);
    for (wchar_t c : characterSet())
        EXPECT_NE(d->getChar(c), nullptr) << std::hex << int(c);

    // Rectangles inside the atlas, one line tall, none overlapping another.
    const int w = d->texture->getWidth(), h = d->texture->getHeight();
    std::vector<aRect> inked;
    for (const auto& [c, g] : d->glyphs()) {
        EXPECT_EQ(g.rect.height, d->fontHeight);
        EXPECT_TRUE(g.rect.x >= 0 && g.rect.y >= 0 && g.rect.right() <= w && g.rect.bottom() <= h) << int(c);
        if (g.rect.width)
            inked.push_back(g.rect);
    }
    for (std::size_t i = 0; i < inked.size(); ++i)
        for (std::size_t j = i + 1; j < inked.size(); ++j)
            EXPECT_FALSE(inked[i].x < inked[j].right() && inked[j].x < inked[i].right() &&
                         inked[i].y < inked[j].bottom() && inked[j].y < inked[i].bottom());
    EXPECT_LT(d->getChar(L'V')->getKerning(L'A'), 0.0f);
    EXPECT_EQ(d->underlineDY, 0.0f);

    ASSERT_EQ(fontgen({kFace, "16", folder + "f"}), 0);
    EXPECT_TRUE(test_env::readFile(folder + "f.ini") == ini);
    EXPECT_TRUE(test_env::readFile(folder + "f.png") == png);

    ASSERT_EQ(fontgen({kFace, "28", folder + "u", "--underline"}), 0);
    aFont under(folder + "u.ini");
    EXPECT_GT(under.getLoader()->underlineDY, 20.0f);
    EXPECT_LT(under.getLoader()->underlineDY, under.getLoader()->fontHeight);
    EXPECT_GE(under.getLoader()->underlineThickness, 1.0f);
    EXPECT_EQ(newLog(), "");
}

TEST_F(FontGen, BadArgumentsWriteNothing)
{
    const std::string folder = test_env::home() + "/bad/";
    std::filesystem::create_directories(folder);
    EXPECT_EQ(fontgen({}), 2);
    EXPECT_EQ(fontgen({kFace, "12"}), 2);
    EXPECT_EQ(fontgen({kFace, "12x", folder + "a"}), 2);
    EXPECT_EQ(fontgen({kFace, "12", folder + "a", "--bold"}), 2);
    EXPECT_EQ(fontgen({kFace, "0", folder + "a"}), 1);
    EXPECT_EQ(fontgen({kFace, "-3", folder + "a"}), 1);
    EXPECT_EQ(fontgen({kFace, "5000", folder + "a"}), 1);
    EXPECT_EQ(fontgen({folder + "none.ttf", "12", folder + "a"}), 1);
    EXPECT_EQ(fontgen({kFace, "12", folder + "missing/a"}), 1);
    EXPECT_TRUE(files(folder).empty());
    EXPECT_NE(test_env::readFile(test_env::home() + "/run.out").find("usage: fontgen"), std::string::npos);
}

TEST_F(FontGen, DemoFontsRegenerateByteForByte)
{
    const std::string folder = test_env::home() + "/demo";
    setenv("FONTGEN", A2D_FONTGEN_BINARY, 1);
    const int status = run({"/bin/bash", test_env::sourceDir() + "/tools/make_demo_fonts.sh", folder});
    unsetenv("FONTGEN");
    ASSERT_EQ(status, 0) << test_env::readFile(test_env::home() + "/run.out");
    EXPECT_EQ(files(folder), std::vector<std::string>(std::begin(kDemoFiles), std::end(kDemoFiles)));
    for (const char* name : kDemoFiles) {
        const std::string made = test_env::readFile(folder + "/" + name);
        EXPECT_FALSE(made.empty()) << name;
        EXPECT_TRUE(made == test_env::readFile(test_env::sourceDir() + "/data/GameData/Fonts/" + name)) << name;
    }
    // Every committed face loads and covers the whole set.
    for (const char* name : kDemoFiles) {
        const std::string file = name;
        if (file.size() < 4 || file.compare(file.size() - 4, 4, ".ini") != 0)
            continue;
        aFont font(test_env::sourceDir() + "/data/GameData/Fonts/" + file);
        const aFontDataLoader* d = font.getLoader();
        ASSERT_TRUE(d && d->texture) << name;
        for (wchar_t c : characterSet())
            EXPECT_NE(d->getChar(c), nullptr) << name << " " << std::hex << int(c);
    }
    EXPECT_EQ(newLog(), "");
}

} // namespace
