// Test program: checks what the road left in the user's folders, read with
// the game's own profile list and save system. The story case is won: the
// profile holds the murder hunt's gold certificate (tier 1, count 0) and the
// story save stands at "EndGame" with the hunt's certificate shown. With
// --find-all the Find All game is done too: tier 2 with one hint, completed,
// and its ".saveFA" at "EndGame" with its certificate shown. No safe write
// may have left its temporary file anywhere under the data folder.
//
// Usage: check_saves [--find-all] <saved-games folder> <data folder>
// Every failed check is printed before the program fails.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "game/shell/c_game_flow.h"
#include "game/shell/profiles_manager.h"
#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"

namespace {

int g_failed = 0;

void check(bool ok, const char* format, ...)
{
    if (ok)
        return;
    ++g_failed;
    std::va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
}

// The game root's record, as the game root writes it.
class RootRecord : public SaveLoadEntity {
public:
    RootRecord() : SaveLoadEntity("<SpyMain>") {}
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        pos = system.ReadString(pos, name);
        pos = system.ReadU32(pos, carriedCounter);
        pos = system.ReadU32(pos, carriedHints);
        pos = system.ReadU8(pos, mhShown);
        return system.ReadU8(pos, faShown);
    }
    std::uint32_t SaveSelf(SaveLoadSystem&, std::uint32_t pos) override { return pos; }

    std::string name;
    std::uint32_t carriedCounter = 0, carriedHints = 0;
    std::uint8_t mhShown = 0, faShown = 0;
};

// A save that opens at the game's version and whose root record names the
// end of the game with the given certificate flag set.
void checkSave(const std::string& file, bool findAll)
{
    SaveLoadSystem system;
    if (!system.BeginLoad(file, CGameFlow::kSaveVersion)) {
        check(false, "%s: missing, damaged or not at version %u", file.c_str(), unsigned(CGameFlow::kSaveVersion));
        return;
    }
    RootRecord root;
    check(system.LoadEntity(&root), "%s: no readable \"%s\" record", file.c_str(), root.GetKey().c_str());
    system.Finish();
    check(root.name == "EndGame", "%s: stands at \"%s\", not \"EndGame\"", file.c_str(), root.name.c_str());
    if (findAll)
        check(root.faShown == 1, "%s: the Find All certificate is not marked shown", file.c_str());
    else
        check(root.mhShown == 1, "%s: the murder hunt's certificate is not marked shown", file.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    int first = 1;
    const bool findAll = argc > 1 && std::string(argv[1]) == "--find-all";
    if (findAll)
        ++first;
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: check_saves [--find-all] <saved-games folder> <data folder>\n");
        return 2;
    }
    std::string saves = argv[first];
    if (saves.empty() || saves.back() != '/')
        saves += '/';
    const std::string data = argv[first + 1];

    // A damaged list would be set aside and replaced by a default one.
    const std::string list = saves + ProfilesManager::kFileName;
    check(std::filesystem::is_regular_file(list), "%s: missing", list.c_str());
    ProfilesManager profiles(saves);
    profiles.Load();
    check(std::filesystem::is_regular_file(list) && !std::filesystem::exists(list + ".bad"),
          "%s: does not read back", list.c_str());
    const CurrentProfile& p = profiles.GetProfile(profiles.GetCurrentIndex());
    check(p.mhTier == 1 && p.mhCount == 0, "profile '%s': murder hunt tier %d count %d, not tier 1 count 0",
          p.name.c_str(), p.mhTier, p.mhCount);
    const std::int32_t faTier = findAll ? 2 : 0, faCount = findAll ? 1 : 0;
    const float faCompleted = findAll ? 1.0f : 0.0f;
    check(p.faTier == faTier && p.faCount == faCount && p.faCompleted == faCompleted,
          "profile '%s': Find All tier %d count %d completed %g, not tier %d count %d completed %g", p.name.c_str(),
          p.faTier, p.faCount, double(p.faCompleted), faTier, faCount, double(faCompleted));

    const std::string story = profiles.GetSaveFileName(p.name);
    checkSave(story, false);
    if (findAll)
        checkSave(story + "FA", true);
    else
        check(!std::filesystem::exists(story + "FA"), "%sFA: Find All was saved before it was played", story.c_str());

    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(data, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        check(it->path().extension() != ".tmp", "%s: a temporary file left behind", it->path().c_str());
    check(!error, "%s: cannot be searched (%s)", data.c_str(), error.message().c_str());

    std::printf("check_saves: %d checks failed\n", g_failed);
    return g_failed == 0 ? 0 : 1;
}
