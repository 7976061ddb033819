// Player profiles: "_profiles.dat", names, the save-file names and the
// certificate rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "engine/util/a_file_server.h"
#include "engine/util/text_test_log.h"
#include "game/shell/byte_order.h"
#include "game/shell/profiles_manager.h"
#include "profile_list_file.h"
#include "support/other_file_system.h"
#include "support/test_env.h"

namespace {

std::string folder() { return test_env::home() + "/saves/"; }
std::string listPath() { return folder() + "_profiles.dat"; }

class Profiles : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(folder());
        CurrentProfile::Get() = CurrentProfile();
    }
};

// Opens of "_profiles.dat" fail with EACCES while the count lasts, as when
// the file cannot be opened at that moment.
int g_failedOpens = 0;
int failListOpens(const char* path, int flags, mode_t mode)
{
    const std::string p = path;
    const std::string name = "/_profiles.dat";
    if (g_failedOpens > 0 && p.size() >= name.size() && p.compare(p.size() - name.size(), name.size(), name) == 0) {
        --g_failedOpens;
        errno = EACCES;
        return -1;
    }
    return ::open(path, flags, mode);
}

struct FailListOpens {
    explicit FailListOpens(int count) : previous(g_fileOpenFunction)
    {
        g_failedOpens = count;
        g_fileOpenFunction = failListOpens;
    }
    ~FailListOpens()
    {
        g_fileOpenFunction = previous;
        g_failedOpens = 0;
    }
    int (*previous)(const char*, int, mode_t);
};

std::vector<std::string> savedFolder()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(Profiles, NoFileGivesPlayerAndEveryFieldSurvivesARoundTrip)
{
    const std::string cyrillic = "\xC8\xE2\xE0\xED";  // "Иван" in Windows-1251
    {
        ProfilesManager profiles(folder());
        profiles.Load();
        ASSERT_EQ(profiles.GetNames(), std::vector<std::string>{"Player"});
        const CurrentProfile& p = CurrentProfile::Get();
        EXPECT_EQ(p.name, "Player");
        EXPECT_EQ(p.mhTier, 0);
        EXPECT_FLOAT_EQ(p.soundVolume, 0.37f);
        EXPECT_FLOAT_EQ(p.musicVolume, 0.27f);
        EXPECT_FLOAT_EQ(p.ambientVolume, 0.35f);
        EXPECT_EQ(p.showTips, 1);
        EXPECT_EQ(p.fullscreen, 1);
        EXPECT_EQ(p.storyWon, 0);
        EXPECT_EQ(p.tipsShown, 0);

        EXPECT_EQ(profiles.Add("  Holmes "), ProfilesManager::NameError::None);
        EXPECT_EQ(profiles.Add(cyrillic), ProfilesManager::NameError::None);
        ASSERT_TRUE(profiles.Select(2));
        CurrentProfile& c = CurrentProfile::Get();
        c.mhTier = 2;
        c.mhCount = 17;
        c.faTier = 3;
        c.faCount = 99;
        c.faCompleted = 1.0f;
        c.soundVolume = 0.5f;
        c.musicVolume = 0.25f;
        c.ambientVolume = 0.75f;
        c.showTips = 0;
        c.fullscreen = 0;
        c.storyWon = 1;
        c.tipsShown = 0x85;
        ASSERT_TRUE(profiles.Select(1));  // writes the list with the edited record
        CurrentProfile::Get().musicVolume = 0.125f;
        ASSERT_TRUE(profiles.Save());
    }
    CurrentProfile::Get() = CurrentProfile();
    ProfilesManager profiles(folder());
    profiles.Load();
    EXPECT_EQ(profiles.GetNames(), (std::vector<std::string>{"Player", "Holmes", cyrillic}));
    EXPECT_EQ(profiles.GetCurrentIndex(), 1u);
    EXPECT_EQ(CurrentProfile::Get().name, "Holmes");
    EXPECT_FLOAT_EQ(CurrentProfile::Get().musicVolume, 0.125f);
    const CurrentProfile& p = profiles.GetProfile(2);
    EXPECT_EQ(p.mhTier, 2);
    EXPECT_EQ(p.mhCount, 17);
    EXPECT_EQ(p.faTier, 3);
    EXPECT_EQ(p.faCount, 99);
    EXPECT_FLOAT_EQ(p.faCompleted, 1.0f);
    EXPECT_FLOAT_EQ(p.soundVolume, 0.5f);
    EXPECT_FLOAT_EQ(p.musicVolume, 0.25f);
    EXPECT_FLOAT_EQ(p.ambientVolume, 0.75f);
    EXPECT_EQ(p.showTips, 0);
    EXPECT_EQ(p.fullscreen, 0);
    EXPECT_EQ(p.storyWon, 1);
    EXPECT_EQ(p.tipsShown, 0x85);
    EXPECT_EQ(profiles.GetProfile(0).storyWon, 0);
}

TEST_F(Profiles, DamagedListsAndRecords)
{
    {
        ProfilesManager profiles(folder());
        profiles.Load();
        profiles.Add("Bob");
        profiles.Select(1);
    }
    std::string bytes = test_env::readFile(listPath());
    bytes[20] ^= 0x01;
    test_env::writeFile(listPath(), bytes);
    {
        TestLog log;
        ProfilesManager profiles(folder());
        profiles.Load();
        EXPECT_EQ(profiles.GetNames(), std::vector<std::string>{"Player"});
        EXPECT_EQ(CurrentProfile::Get().name, "Player");
        EXPECT_EQ(log.count("is damaged (CRC mismatch); renamed to _profiles.dat.bad"), 1u);
        EXPECT_FALSE(test_env::exists(listPath()));
        EXPECT_EQ(test_env::readFile(listPath() + ".bad"), bytes);
    }

    // A short record takes the defaults, a long one is read past, values out
    // of range are clamped, and a bad or repeated name drops its record. A
    // record from before the story mark leaves it to the saves, and counts
    // the tip of a ribbon it holds as seen.
    ListFile file(8, 1);
    file.record([](ListFile& f) {
        f.name("Short");
        f.u32(3);
    });
    file.record([](ListFile& f) {
        f.name("Long");
        for (std::uint32_t v : {7u, 1u, 0u, 2u})
            f.u32(v);
        for (float v : {0.0f, 1.5f, -0.5f, 0.5f})
            f.f32(v);
        f.bytes.insert(f.bytes.end(), {1, 0, 1, 0x86, 0xEE, 0xEE, 0xEE});
    });
    file.oldRecord("Old", 2, 0, 0.0f);
    file.record([](ListFile& f) {
        f.name("Odd");
        f.bytes.resize(f.bytes.size() + 34);
        f.bytes.push_back(7);
    });
    file.record([](ListFile& f) { f.name("short"); });
    file.record([](ListFile& f) { f.name(""); });
    file.record([](ListFile& f) { f.name(std::string(25, 'x')); });
    file.record([](ListFile& f) { f.name("Tab\tName"); });
    file.write(listPath());
    TestLog log;
    ProfilesManager profiles(folder());
    profiles.Load();
    ASSERT_EQ(profiles.GetNames(), (std::vector<std::string>{"Short", "Long", "Old", "Odd"}));
    EXPECT_EQ(profiles.GetCurrentIndex(), 1u);
    const CurrentProfile& s = profiles.GetProfile(0);
    EXPECT_EQ(s.mhTier, 3);
    EXPECT_EQ(s.mhCount, 0);
    EXPECT_FLOAT_EQ(s.soundVolume, 0.37f);
    EXPECT_EQ(s.fullscreen, 1);
    const CurrentProfile& l = CurrentProfile::Get();
    EXPECT_EQ(l.name, "Long");
    EXPECT_EQ(l.mhTier, 4);
    EXPECT_EQ(l.faCount, 2);
    EXPECT_FLOAT_EQ(l.soundVolume, 1.0f);
    EXPECT_FLOAT_EQ(l.musicVolume, 0.0f);
    EXPECT_FLOAT_EQ(l.ambientVolume, 0.5f);
    EXPECT_EQ(l.showTips, 1);
    EXPECT_EQ(l.fullscreen, 0);
    EXPECT_EQ(l.storyWon, 1);
    EXPECT_EQ(l.tipsShown, 0x86);
    EXPECT_EQ(s.storyWon, CurrentProfile::kStoryNotRecorded);
    EXPECT_EQ(s.tipsShown, CurrentProfile::kTipMHRibbon);
    const CurrentProfile& o = profiles.GetProfile(2);
    EXPECT_EQ(o.storyWon, CurrentProfile::kStoryNotRecorded);
    EXPECT_EQ(o.tipsShown, CurrentProfile::kTipMHRibbon);
    EXPECT_EQ(profiles.GetProfile(3).storyWon, CurrentProfile::kStoryNotRecorded);
    EXPECT_EQ(profiles.GetProfile(3).tipsShown, 0);
    EXPECT_EQ(log.count("Profile 'Odd': story mark 7 unknown"), 1u);
    EXPECT_EQ(log.count("MH tier 7 clamped"), 1u);
    EXPECT_EQ(log.count("sound volume 1.5 clamped"), 1u);
    EXPECT_EQ(log.count("dropped"), 4u);
    EXPECT_EQ(log.count("4 profiles from"), 1u);
}

TEST_F(Profiles, NamesAreCheckedAndRemovingDeletesOnlyThatProfilesSaves)
{
    using E = ProfilesManager::NameError;
    ProfilesManager profiles(folder());
    profiles.Load();
    EXPECT_EQ(profiles.Add(""), E::Empty);
    EXPECT_EQ(profiles.Add("   "), E::Empty);
    EXPECT_EQ(profiles.Add(std::string(25, 'a')), E::TooLong);
    EXPECT_EQ(profiles.Add(std::string(24, 'a')), E::None);
    EXPECT_EQ(profiles.Add("player"), E::Taken);
    EXPECT_EQ(profiles.Add("\xC9\xEE"), E::None);      // "Йо"
    EXPECT_EQ(profiles.Add("\xA8\xC6"), E::None);      // "ЁЖ"
    EXPECT_EQ(profiles.Add("\xB8\xE6"), E::Taken);     // "ёж"
    EXPECT_EQ(profiles.Add("a\x7F"), E::BadCharacter);
    EXPECT_STREQ(ProfilesManager::GetNameErrorTextId(E::Taken), "profile_error_taken");
    while (profiles.GetCount() < ProfilesManager::kMaxProfiles)
        ASSERT_EQ(profiles.Add("p" + std::to_string(profiles.GetCount())), E::None);
    EXPECT_EQ(profiles.Add("one more"), E::TooMany);

    for (std::size_t i = profiles.GetCount() - 1; i >= 4; --i)
        ASSERT_TRUE(profiles.Remove(i));
    ASSERT_EQ(profiles.GetNames(), (std::vector<std::string>{"Player", std::string(24, 'a'), "\xC9\xEE", "\xA8\xC6"}));
    ASSERT_TRUE(profiles.Select(2));
    const std::string mine = profiles.GetSaveFileName();
    const std::string other = profiles.GetSaveFileName("Player");
    EXPECT_EQ(mine, folder() + "%D0%99%D0%BE.save");
    for (const std::string& f : {mine, mine + "FA", other, other + "FA"})
        test_env::writeFile(f, "x");
    ASSERT_TRUE(profiles.Remove(2));
    EXPECT_FALSE(test_env::exists(mine));
    EXPECT_FALSE(test_env::exists(mine + "FA"));
    EXPECT_TRUE(test_env::exists(other));
    EXPECT_TRUE(test_env::exists(other + "FA"));
    EXPECT_EQ(CurrentProfile::Get().name, "Player");  // the first one left

    ASSERT_TRUE(profiles.Select(2));
    ASSERT_TRUE(profiles.Remove(0));
    EXPECT_EQ(profiles.GetCurrentIndex(), 1u);  // still the same profile
    EXPECT_EQ(CurrentProfile::Get().name, "\xA8\xC6");
    ASSERT_TRUE(profiles.Remove(0));
    ASSERT_TRUE(profiles.Remove(0));
    EXPECT_EQ(profiles.GetNames(), std::vector<std::string>{"Player"});
    EXPECT_FALSE(profiles.Remove(1));

    // Each change was written at once.
    ProfilesManager again(folder());
    again.Load();
    EXPECT_EQ(again.GetNames(), std::vector<std::string>{"Player"});
}

TEST_F(Profiles, EscapedNamesRoundTripAndStayInsideTheFolder)
{
    const std::vector<std::pair<std::string, std::string>> table = {
        {"Player", "Player"}, {"../x", "%2E%2E%2Fx"}, {"a/b", "a%2Fb"},       {".", "%2E"},
        {"..", "%2E%2E"},     {"\xA8\xE6", "%D0%81%D0%B6"},  {"a b", "a%20b"}, {"%41", "%2541"},
    };
    for (const auto& [name, escaped] : table) {
        const std::string e = ProfilesManager::EscapeName(name);
        EXPECT_EQ(e, escaped);
        EXPECT_EQ(e.find_first_of("/."), std::string::npos);
        std::string back;
        ASSERT_TRUE(ProfilesManager::UnescapeName(e, back)) << e;
        EXPECT_EQ(back, name);
    }
    std::string back;
    for (const char* bad : {"%4", "%zz", "a.b", "%41", "%C0%80"})
        EXPECT_FALSE(ProfilesManager::UnescapeName(bad, back)) << bad;
}

TEST_F(Profiles, UnwritableFolderKeepsTheListInMemoryAndSaysWhyOnce)
{
    TestLog log;
    ProfilesManager profiles(test_env::home() + "/missing/");
    profiles.Load();
    EXPECT_EQ(profiles.Add("Bob"), ProfilesManager::NameError::None);
    EXPECT_EQ(profiles.GetCount(), 2u);
    EXPECT_FALSE(profiles.Save());
    EXPECT_GE(log.count("ProfilesManager::Save(). Cannot write"), 2u);
    EXPECT_EQ(profiles.TakeSaveFailure(), "save_error_no_folder");
    EXPECT_EQ(profiles.TakeSaveFailure(), "");

    // The saved-games path taken by a file; then a folder that works again.
    test_env::writeFile(test_env::home() + "/missing", "a file");
    EXPECT_FALSE(profiles.Save());
    EXPECT_EQ(profiles.TakeSaveFailure(), "save_error_no_folder");
    std::filesystem::remove(test_env::home() + "/missing");
    std::filesystem::create_directory(test_env::home() + "/missing");
    EXPECT_TRUE(profiles.Save());
    EXPECT_EQ(profiles.TakeSaveFailure(), "");
}

TEST_F(Profiles, AListThatCannotBeOpenedIsNeitherRenamedNorWrittenOver)
{
    {
        ProfilesManager profiles(folder());
        profiles.Load();
        profiles.Add("Alice");
        profiles.Add("Bob");
    }
    const std::string list = test_env::readFile(listPath());
    // Two runs whose first open of the list fails, each making changes
    // and saving at the end as the game does.
    for (int run = 0; run < 2; ++run) {
        TestLog log;
        FailListOpens fail(1);
        ProfilesManager profiles(folder());
        profiles.Load();
        EXPECT_EQ(profiles.GetNames(), std::vector<std::string>{"Player"});
        EXPECT_EQ(log.count("_profiles.dat' cannot be read (Permission denied); it is left as it is"), 1u);
        EXPECT_EQ(profiles.Add("Carol"), ProfilesManager::NameError::None);
        EXPECT_TRUE(profiles.Select(1));
        // Player is in the list on disk still: its save stays.
        test_env::writeFile(folder() + "Player.save", "progress");
        EXPECT_TRUE(profiles.Remove(0));
        EXPECT_FALSE(profiles.Save());
        EXPECT_EQ(profiles.TakeSaveFailure(), "save_error_list_unread");
        EXPECT_EQ(test_env::readFile(listPath()), list);
        EXPECT_EQ(savedFolder(), (std::vector<std::string>{"Player.save", "_profiles.dat"}));
        std::filesystem::remove(folder() + "Player.save");
    }
    ProfilesManager profiles(folder());
    profiles.Load();
    EXPECT_EQ(profiles.GetNames(), (std::vector<std::string>{"Player", "Alice", "Bob"}));

    // A folder in its place is no list either, and is left alone.
    std::filesystem::remove(listPath());
    std::filesystem::create_directory(listPath());
    TestLog log;
    ProfilesManager again(folder());
    again.Load();
    EXPECT_EQ(log.count("cannot be read (Is a directory)"), 1u);
    EXPECT_FALSE(again.Save());
    EXPECT_TRUE(std::filesystem::is_directory(listPath()));
    EXPECT_EQ(savedFolder(), std::vector<std::string>{"_profiles.dat"});
}

TEST_F(Profiles, DamagedListsKeepEveryEarlierCopyAndOversizedOnesAreNotRead)
{
    TestLog log;
    std::vector<std::string> damaged;
    for (int i = 0; i < 3; ++i) {
        ListFile file(1, 0);
        file.record([i](ListFile& f) { f.name("Run" + std::to_string(i)); });
        file.write(listPath());
        std::string bytes = test_env::readFile(listPath());
        bytes.back() ^= 0x40;  // the CRC
        test_env::writeFile(listPath(), bytes);
        damaged.push_back(bytes);
        ProfilesManager profiles(folder());
        profiles.Load();
        EXPECT_EQ(profiles.GetNames(), std::vector<std::string>{"Player"});
        EXPECT_TRUE(profiles.Save());  // the default list, as at shutdown
    }
    EXPECT_EQ(test_env::readFile(listPath() + ".bad"), damaged[0]);
    EXPECT_EQ(test_env::readFile(listPath() + ".bad.2"), damaged[1]);
    EXPECT_EQ(test_env::readFile(listPath() + ".bad.3"), damaged[2]);
    EXPECT_EQ(log.count("is damaged (CRC mismatch); renamed to _profiles.dat.bad.3,"), 1u);

    // A sparse list of 4 GiB is judged by its size alone.
    std::filesystem::remove(listPath());
    const int fd = ::open(listPath().c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(0xFFFFFFFFu)), 0);
    ::close(fd);
    ProfilesManager profiles(folder());
    profiles.Load();
    EXPECT_EQ(profiles.GetNames(), std::vector<std::string>{"Player"});
    EXPECT_EQ(log.count("is damaged (over 1048576 bytes, more than a list can hold); renamed to _profiles.dat.bad.4"),
              1u);
    EXPECT_EQ(std::filesystem::file_size(listPath() + ".bad.4"), 0xFFFFFFFFu);
}

TEST_F(Profiles, AListThatIsALinkIsWrittenThroughItAndKeptBesideItsFileWhenDamaged)
{
    OtherFileSystem other;
    const std::string file = other.folder() + "_profiles.dat";
    ASSERT_EQ(::symlink(file.c_str(), listPath().c_str()), 0);
    {
        ProfilesManager profiles(folder());
        profiles.Load();
        profiles.Add("Bob");
        ASSERT_TRUE(profiles.Save());
    }
    EXPECT_TRUE(std::filesystem::is_symlink(listPath()));
    std::string bytes = test_env::readFile(file);
    ASSERT_FALSE(bytes.empty());
    bytes.back() ^= 0x40;  // the CRC
    test_env::writeFile(file, bytes);

    TestLog log;
    ProfilesManager profiles(folder());
    profiles.Load();
    EXPECT_EQ(profiles.GetNames(), std::vector<std::string>{"Player"});
    EXPECT_EQ(log.count("is damaged (CRC mismatch); renamed to " + file + ".bad,"), 1u);
    EXPECT_EQ(test_env::readFile(file + ".bad"), bytes);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(listPath())));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(Profiles, AListBehindALinkThatCannotBeFollowedIsLeftAsItIs)
{
    const std::string locked = test_env::home() + "/locked/";
    std::filesystem::create_directory(locked);
    test_env::writeFile(locked + "_profiles.dat", "no list: damaged if read");
    ASSERT_EQ(::symlink((locked + "_profiles.dat").c_str(), listPath().c_str()), 0);
    test_env::WithoutFileRights unprivileged;
    ASSERT_TRUE(unprivileged.active());
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    ProfilesManager profiles(folder());
    profiles.Load();
    EXPECT_FALSE(profiles.Save());
    EXPECT_EQ(profiles.TakeSaveFailure(), "save_error_list_unread");
    ASSERT_EQ(::chmod(locked.c_str(), 0755), 0);
    EXPECT_EQ(test_env::readFile(locked + "_profiles.dat"), "no list: damaged if read");
    EXPECT_TRUE(std::filesystem::is_symlink(listPath()));
}

TEST(CurrentProfile, CertificateRule)
{
    struct Row {
        std::int32_t tier, count, newTier, newCount;
        bool stored;
    };
    const Row rows[] = {
        {0, 0, 3, 40, true},   // none yet
        {3, 40, 2, 50, true},  // a better tier
        {3, 40, 3, 30, true},  // same tier, lower count
        {3, 40, 3, 40, false}, // same tier and count
        {2, 40, 3, 50, false}, // worse tier, higher count
    };
    for (const Row& r : rows) {
        CurrentProfile p;
        p.mhTier = p.faTier = r.tier;
        p.mhCount = p.faCount = r.count;
        EXPECT_EQ(p.StoreMHCertificate(r.newTier, r.newCount), r.stored);
        EXPECT_EQ(p.StoreFACertificate(r.newTier, r.newCount), r.stored);
        EXPECT_EQ(p.mhTier, r.stored ? r.newTier : r.tier);
        EXPECT_EQ(p.faCount, r.stored ? r.newCount : r.count);
    }
}
