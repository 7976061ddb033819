// Game.ini: defaults, every key, refused values and the language guard.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/util/text_test_log.h"
#include "game/shell/c_game_ini.h"
#include "support/test_env.h"

namespace {

std::string iniPath() { return test_env::home() + "/Game.ini"; }
std::string languages() { return test_env::home() + "/Language/"; }

} // namespace

TEST(CGameIni, MissingFileGivesTheDefaults)
{
    TestLog log;
    CGameIni ini(iniPath(), languages());
    EXPECT_EQ(CGameIni::getSingletonPtr(), &ini);
    EXPECT_EQ(ini.GetWidth(), 1024);
    EXPECT_EQ(ini.GetHeight(), 768);
    EXPECT_TRUE(ini.IsUse32Bit());
    EXPECT_TRUE(ini.IsVSync());
    EXPECT_FALSE(ini.IsWindowed());
    EXPECT_EQ(ini.GetLanguage(), "English");
    EXPECT_TRUE(ini.IsSoundEnabled());
    EXPECT_TRUE(ini.IsAmbientEnabled());
    EXPECT_FALSE(ini.IsSavesDisabled());
    EXPECT_FALSE(ini.AreCheatKeysEnabled());
    EXPECT_FLOAT_EQ(ini.GetTimeForRestoreHint(), 180.0f);
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.count("CGameIni. No '" + iniPath() + "', the defaults are used"), 1u);
}

TEST(CGameIni, EveryKeyIsRead)
{
    std::filesystem::create_directories(languages() + "Deutsch");
    test_env::writeFile(iniPath(), "[Graphics]\nWidth = 1280\nHeight = 720 ; wide\nUse32Bit = 0\nVSync = 0\n"
                                   "Windowed = 1\n[Language]\nName = Deutsch\n[Sound]\nEnabled = 0\nAmbient = 0\n"
                                   "[Other]\nDisableSaves = 1\nEnableCheatKeys = 1\nTimeForRestoreHint = 42.5\n");
    TestLog log;
    CGameIni ini(iniPath(), languages());
    EXPECT_EQ(ini.GetWidth(), 1280);
    EXPECT_EQ(ini.GetHeight(), 720);
    EXPECT_FALSE(ini.IsUse32Bit());
    EXPECT_FALSE(ini.IsVSync());
    EXPECT_TRUE(ini.IsWindowed());
    EXPECT_EQ(ini.GetLanguage(), "Deutsch");
    EXPECT_FALSE(ini.IsSoundEnabled());
    EXPECT_FALSE(ini.IsAmbientEnabled());
    EXPECT_TRUE(ini.IsSavesDisabled());
    EXPECT_TRUE(ini.AreCheatKeysEnabled());
    EXPECT_FLOAT_EQ(ini.GetTimeForRestoreHint(), 42.5f);
    EXPECT_EQ(log.count("Back buffer 1280x720"), 1u);
}

TEST(CGameIni, BadValuesAndLanguagesFallBack)
{
    test_env::writeFile(iniPath(), "[Graphics]\nWidth = wide\nHeight = 99999\nVSync = yes\n[Sound]\nAmbient = 2\n"
                                   "[Other]\nTimeForRestoreHint = -1\nDisableSaves = 1x\n");
    {
        TestLog log;
        CGameIni ini(iniPath(), languages());
        EXPECT_EQ(ini.GetWidth(), 1024);
        EXPECT_EQ(ini.GetHeight(), 768);
        EXPECT_TRUE(ini.IsVSync());
        EXPECT_TRUE(ini.IsAmbientEnabled());
        EXPECT_FALSE(ini.IsSavesDisabled());
        EXPECT_FLOAT_EQ(ini.GetTimeForRestoreHint(), 180.0f);
        EXPECT_EQ(log.count("[Graphics] Width = 'wide' is not valid; 1024 used"), 1u);
        EXPECT_EQ(log.count("[Graphics] Height = '99999' is not valid"), 1u);
        EXPECT_EQ(log.count("[Graphics] VSync = 'yes' is not valid; 1 used"), 1u);
        EXPECT_EQ(log.count("[Sound] Ambient = '2'"), 1u);
        EXPECT_EQ(log.count("[Other] TimeForRestoreHint = '-1' is not valid; 180 used"), 1u);
        EXPECT_EQ(log.count("[Other] DisableSaves = '1x'"), 1u);
    }
    std::filesystem::create_directories(languages() + "Deutsch");
    for (const char* name : {"../Deutsch", "a/b", "a\\\\b", "c:x", "..", "Klingon"}) {
        test_env::writeFile(iniPath(), std::string("[Language]\nName = ") + name + "\n");
        TestLog log;
        CGameIni ini(iniPath(), languages());
        EXPECT_EQ(ini.GetLanguage(), "English") << name;
        EXPECT_EQ(log.count("[Language] Name"), 1u) << name;
    }
}

TEST(CGameIni, FilesThatAreNotTextGiveEveryDefaultWithOneLine)
{
    const std::string defaults =
        "the defaults stand: [Graphics] Width=1024 Height=768 Use32Bit=1 VSync=1 Windowed=0 [Language] Name=English "
        "[Sound] Enabled=1 Ambient=1 [Other] DisableSaves=0 EnableCheatKeys=0 TimeForRestoreHint=180";
    std::string noise;
    unsigned x = 17;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1103515245u + 12345u;
        noise += char(x >> 23);
    }
    // A settings file with a NUL in it, as a binary file written over it.
    const std::string nul = std::string("[Graphics]\nWidth = 1280\n") + '\0' + "\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"folder", "is a folder"}, {"", "is empty"}, {noise, "is not text"}, {nul, "is not text"},
        {"huge", "is over 65536 bytes"}};
    for (const auto& [contents, why] : cases) {
        SCOPED_TRACE(why);
        std::filesystem::remove_all(iniPath());
        if (contents == "folder") {
            std::filesystem::create_directories(iniPath());
        } else {
            test_env::writeFile(iniPath(), contents == "huge" ? "[Graphics]\nWidth = 1280\n" : contents);
            if (contents == "huge")
                std::filesystem::resize_file(iniPath(), 50u << 20);  // sparse: cheap to make, never read
        }
        TestLog log;
        CGameIni ini(iniPath(), languages());
        EXPECT_EQ(ini.GetWidth(), 1024);
        EXPECT_FALSE(ini.IsWindowed());
        EXPECT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.count("CGameIni. '" + iniPath() + "' " + why + ": " + defaults), 1u);
    }
    std::filesystem::remove_all(iniPath());
}
