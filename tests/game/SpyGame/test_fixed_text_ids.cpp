// The string ids that game code looks up by fixed name have English texts:
// the interface's in Main.txt, and those looked up under a case's group in
// the text table of every story case that has a murder hunt.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_options_file.h"
#include "engine/util/text_test_log.h"
#include "game/SpyGame/Rooms/Cipher.h"
#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/shell/profiles_manager.h"
#include "game/shell/save_error_text.h"
#include "game/shell/save_load_system.h"
#include "support/test_env.h"

namespace {

// The investigation's idle tips go round this many.
constexpr int kIdleTips = 4;

std::string readSource(const std::string& path)
{
    std::ifstream in(test_env::sourceDir() + "/" + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every tip name the code raises with a literal: the tip triggers' table and
// their own calls, the investigation's queue and the menu's due tips. A name
// ending in "_" is numbered from 1 (the idle tips).
std::set<std::string> raisedTipNames()
{
    std::set<std::string> names;
    // The names in a table of tips: the triggers', the menu's first-time ones.
    const std::regex quoted("\"([a-z0-9_]+)\"");
    const std::pair<const char*, const char*> tables[] = {{"game/SpyGame/TipEvents.cpp", "kTipNames["},
                                                          {"game/shell/c_game_flow.h", "kFirstTips[]"}};
    for (const auto& [path, tableName] : tables) {
        const std::string text = readSource(path);
        const std::size_t table = text.find(tableName);
        const std::string tableText = text.substr(table, text.find("};", table) - table);
        for (std::sregex_iterator it(tableText.begin(), tableText.end(), quoted), end; it != end; ++it)
            names.insert((*it)[1]);
    }
    const std::regex call("(?:Show|Queue|m_dueTips\\.push_back)\\(\"([a-z0-9_]+)\"");
    for (const char* path : {"game/SpyGame/TipEvents.cpp", "game/SpyGame/InvestigationPlay.cpp",
                             "game/SpyGame/InvestigationStates.cpp", "game/shell/c_game_flow.cpp"}) {
        const std::string text = readSource(path);
        for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
            const std::string name = (*it)[1];
            if (name.back() != '_')
                names.insert(name);
            else
                for (int i = 1; i <= kIdleTips; ++i)
                    names.insert(name + std::to_string(i));
        }
    }
    return names;
}

std::vector<std::string> mainKeys()
{
    std::vector<std::string> keys{
        // shell: the window, the loading screen, the player list
        "window_title", "loading_level", "profile_delete_confirm",
        // panel
        "pause", "clock_text_pause", "clock_text_find_all", "investigation", "find_all", "remain_text",
        "remain_text_1", "remain_text_find_all", "remain_text_find_all_1", "fmt_n_items", "fmt_n_items_1", "mh_clue",
        "Boathouse", "HINT_MURDER_HUNT", "HINT_MURDER_HUNT2", "HINT_TOOL_TIP_PICK_ENVELOPE2",
        // the special rooms' titles
        "GlobalMap", "MurderHunt", "InvCards", "Decrypt", "Decrypt2",
        // the main menu's ribbon hints
        "murder_hunt_hint", "find_all_hint",
        // the tutorial text of the first Find All room
        "find_all_first_enter_room", CRoomBase::kBadUse, kCipherAlphabetKey};
    for (const char* award : {"mh", "fa"}) {
        for (const char* tier : {"gold", "silver", "bronze", "simple"})
            keys.push_back(std::string(award) + "_cert_" + tier + "_type");
        for (const char* text : {"_cert_gold_text", "_cert_no_gold_text_1", "_cert_no_gold_text", "_cert_line2"})
            keys.push_back(award + std::string(text));
    }
    // The tips the game raises by name; a tip's text is "tip." and its name.
    for (const std::string& tip : raisedTipNames())
        keys.push_back("tip." + tip);
    using E = ProfilesManager::NameError;
    for (E e : {E::Empty, E::TooLong, E::BadCharacter, E::Taken, E::TooMany})
        keys.push_back(ProfilesManager::GetNameErrorTextId(e));
    // What the player is told when a save or the player list is not written.
    for (const char* key :
         {kSaveFailedGameText, kSaveFailedPlayersText, kSaveErrorListUnreadText, kLoadFailedGameText,
          kLoadUnusableGameText, kLoadKeptAsText, kLoadKeptAsFindAllText})
        keys.push_back(key);
    for (int error :
         {ENOSPC, EROFS, ENOTDIR, EFBIG, EIO, ELOOP, ENAMETOOLONG, int(SaveLoadSystem::kLeftUnread),
          int(SaveLoadSystem::kNotSetAside), kErrorLinkFolderRefused, kErrorLinkFolderMissing})
        keys.push_back(SaveErrorTextId(error));
    // And when Play finds a saved game it cannot read.
    for (int error : {EACCES, EISDIR, EIO})
        keys.push_back(LoadErrorTextId(error));
    return keys;
}

// Looked up under the case's group: the hunt card, the clue's hint balloon.
const char* const kHuntCaseKeys[] = {"_GREENQUESTMARK_PHOTO", "_ENVELOPEMARK_PHOTO", "_CHECKMARK_PHOTO",
                                     "HINT_MURDER_HUNT", "HINT_TOOL_TIP_MH_QUEST", "HINT_TOOL_TIP_PICK_ENVELOPE"};

} // namespace

TEST(FixedTextIds, MainAndTheHuntCasesHoldEveryKeyTheCodeNames)
{
    aFileServer files;
    TestLog log;
    const std::string language = test_env::sourceDir() + "/data/GameData/Language/English/";
    aLocaleServer texts;
    texts.loadFile(language + "Text/Main.txt");
    ASSERT_GT(texts.getSize(), 0u);
    std::string missing;
    for (const std::string& key : mainKeys())
        if (!texts.findString(key))
            missing += " " + key;
    EXPECT_EQ(missing, "") << "Main.txt lacks these";

    // The story cases with a hunt card; Find All has none.
    const std::string huntCase = "1chapter";
    texts.loadFile(language + "_Investigations/" + huntCase + "/investigation.txt", huntCase);
    for (const char* key : kHuntCaseKeys)
        EXPECT_NE(texts.findString(key, huntCase), nullptr) << huntCase << ": " << key;
    EXPECT_TRUE(log.lines().empty());
}

TEST(FixedTextIds, TipsIniDefinesEveryTipTheCodeRaises)
{
    aFileServer files;
    TestLog log;
    const std::set<std::string> raised = raisedTipNames();
    // The triggers' nine, the hint, clock, skip and idle tips, the menu's six.
    EXPECT_GE(raised.size(), 26u);
    EXPECT_EQ(raised.count("idle_spy_room_4"), 1u);
    EXPECT_EQ(raised.count("fa_btn_block"), 1u);

    aOptionsFile tips(test_env::sourceDir() + "/data/GameData/tips.ini");
    std::set<std::string> defined;
    for (tips.firstSection(); !tips.isSectionsEnd(); tips.nextSection())
        defined.insert(tips.getSectionName());
    std::string missing;
    for (const std::string& name : raised)
        if (!defined.count(name))
            missing += " " + name;
    EXPECT_EQ(missing, "") << "tips.ini lacks these";
    // A pointer tip names what the investigation waits for a click on.
    for (const char* pointer : {"mh_first_photo", "mh_encrypted"}) {
        ASSERT_TRUE(tips.selectSection(pointer)) << pointer;
        EXPECT_EQ(tips.getInt("Pointer"), 1) << pointer;
        EXPECT_FALSE(tips.getString("PointName").empty()) << pointer;
    }
    EXPECT_TRUE(log.lines().empty());
}
