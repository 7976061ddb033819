// The string ids that game code looks up by fixed name have English texts:
// the interface's in Main.txt, and those looked up under a case's group in
// the text table of every story case that has a murder hunt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/text_test_log.h"
#include "game/SpyGame/Rooms/Cipher.h"
#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/shell/profiles_manager.h"
#include "support/test_env.h"

namespace {

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
    for (const char* tip : {"first_global_map", "notepad", "notepad_first_ispy_found", "mh_first_sticker",
                            "mh_encrypted", "mh_first_decrypted", "mh_first_photo", "map_tab", "mh_instruction",
                            "click_disabled_hints", "click_hints_on_map", "profile_open", "profile_change",
                            "mh_first_ribbon_appear", "fa_first_ribbon_appear", "first_find_all_btn_appear",
                            "fa_btn_block"})
        keys.push_back(std::string("tip.") + tip);
    using E = ProfilesManager::NameError;
    for (E e : {E::Empty, E::TooLong, E::BadCharacter, E::Taken, E::TooMany})
        keys.push_back(ProfilesManager::GetNameErrorTextId(e));
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
