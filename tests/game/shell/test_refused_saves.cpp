// Saves refused at Play, made from real saves of the demo's case (the story
// played past its murder hunt and its desk drawer, Find All past its first
// finds), each changed in one place and sealed again: the game that follows
// a refusal is the one a fresh start makes, and a save without a block the
// case always writes is refused and kept like any damaged save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "case_on_data.h"
#include "engine/util/a_random.h"
#include "engine/util/text_test_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "support/test_env.h"

namespace {

using save_blocks::Block;
using Mutation = std::function<std::string(std::vector<Block>)>;

std::string sealed(const std::vector<Block>& blocks) { return save_blocks::seal(blocks, CGameFlow::kSaveVersion); }

Block& blockOf(std::vector<Block>& blocks, const std::string& key)
{
    for (Block& b : blocks)
        if (b.key == key)
            return b;
    ADD_FAILURE() << "no block " << key;
    return blocks.front();
}

// A byte after the record: all of it read, then refused.
Mutation longer(const std::string& key)
{
    return [key](std::vector<Block> blocks) {
        blockOf(blocks, key).record.push_back('\0');
        return sealed(blocks);
    };
}

// The record's last string "from" renamed (same length).
Mutation renamed(const std::string& key, const std::string& from, const std::string& to)
{
    return [=](std::vector<Block> blocks) {
        std::string& record = blockOf(blocks, key).record;
        const std::size_t at = record.rfind(from + '\0');
        EXPECT_NE(at, std::string::npos) << key << " has no " << from;
        if (at != std::string::npos)
            record.replace(at, from.size(), to);
        return sealed(blocks);
    };
}

// A record that starts with a u32 count of one-byte entries: one more.
Mutation oneMore(const std::string& key)
{
    return [key](std::vector<Block> blocks) {
        std::string& record = blockOf(blocks, key).record;
        record[0] = char(record[0] + 1);
        record.insert(4, 1, '\0');
        return sealed(blocks);
    };
}

Mutation without(const std::string& key)
{
    return [key](std::vector<Block> blocks) {
        const std::size_t before = blocks.size();
        blocks.erase(std::remove_if(blocks.begin(), blocks.end(), [&](const Block& b) { return b.key == key; }),
                     blocks.end());
        EXPECT_EQ(blocks.size() + 1, before) << "no block " << key;
        return sealed(blocks);
    };
}

// A block no entity asks for, first in the file: all the rest read, then
// refused.
std::string withUnknownBlock(std::vector<Block> blocks)
{
    blocks.insert(blocks.begin(), Block{"<Other>", "x"});
    return sealed(blocks);
}

struct Stage {
    const char* name;
    Mutation mutate;
    // What the log says where the load stops.
    const char* why;
};

// The notebook's murder-hunt folder, where the panel writes the clue.
constexpr Box kHuntClue{24, 514, 134, 62};

class RefusedSave : public CaseOnData {
protected:
    // From the map, as the road goes: the study, its rapid-click warning,
    // its murder hunt to the certificate, the garden's key, the writing
    // desk's drawer opened with it and its card and letter taken; saved from
    // the in-game menu.
    void playPastTheHuntAndTheDrawer()
    {
        click(414, 180, 3.0f);
        click(944, 676);
        for (int i = 0; i < 6; ++i)
            click(560, 300, 0.06f);
        wait(1.5f);
        ASSERT_TRUE(root().GetDialogs().randomClicking.IsVisible());
        click(601, 510);
        click(270, 345, 1.2f);
        click(376, 333, 1.2f);
        click(350, 661, 2.0f);
        park();
        // The murder hunt: L, N, G, Y and S, then the rug's case.
        click(88, 520, 3.0f);
        for (const Box& p : std::vector<Box>{{294, 141, 0, 0}, {700, 541, 0, 0}, {510, 141, 0, 0}, {780, 541, 0, 0},
                                             {906, 141, 0, 0}, {500, 541, 0, 0}, {438, 196, 0, 0}, {700, 589, 0, 0},
                                             {726, 196, 0, 0}, {460, 589, 0, 0}})
            click(p.x, p.y, 0.5f);
        wait(1.5f);
        click(600, 657, 3.0f);
        click(601, 398);
        click(944, 676);
        click(648, 577, 3.0f);
        click(600, 540, 3.0f);
        ASSERT_EQ(root().GetState(), CSpyMain::StateMHCertificate);
        click(600, 400, 3.0f);
        // The garden: the key, the footprint.
        click(880, 300, 3.0f);
        click(944, 676);
        click(458, 652, 2.0f);
        click(601, 490, 2.0f);
        click(681, 466, 2.0f);
        click(619, 628, 2.0f);
        click(601, 490, 1.5f);
        // The desk: the key onto its drawer, the card and the letter.
        click(300, 400, 3.0f);
        click(944, 676);
        click(667, 489, 3.0f);
        click(285, 733, 0.5f);
        click(599, 462, 3.0f);
        click(944, 676);
        click(598, 445, 2.5f);
        click(601, 490, 1.5f);
        click(478, 437, 2.5f);
        click(601, 490, 2.5f);
        click(944, 676);
        saveAndLeave();
    }
    // Find All from the menu; with a save, "No" to starting it again.
    void findAll(bool saved, float after)
    {
        click(280, 342, saved ? 1.0f : after);
        if (saved)
            click(602, 430, after);
    }
    // Play (or Find All) over the save: refused where the log says, the
    // menu's notice, the file kept byte for byte; its "Ok".
    void refuse(const std::string& file, const std::string& why, bool isFindAll)
    {
        const std::string path = savePath(isFindAll);
        test_env::writeFile(path, file);
        TestLog log;
        if (isFindAll)
            findAll(true, 3.0f);
        else
            click(280, 270, 6.0f);
        EXPECT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
        EXPECT_EQ(log.count(why), 1u) << "not refused where expected";
        EXPECT_TRUE(test_env::readFile(path + ".bad") == file) << "not kept byte for byte";
        EXPECT_FALSE(test_env::exists(path));
        std::remove((path + ".bad").c_str());
        // Nothing of it stays, down to the panel's murder-hunt folder.
        EXPECT_EQ(root().GetDialogs().panel.GetMode(), 0);
        GUI::Widget* notice = game->GetGui()->GetRoot()->FindChild("Notice", true);
        ASSERT_TRUE(notice && notice->IsVisible(true));
        const aRect r = notice->FindChild("Ok", true)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2);
    }
    // A program start, the save refused unless it is empty; then Play: a new
    // game through its comics to the map and into the study, saved and
    // left. Its first save. The random generator is seeded alike before each
    // new game, so that the case's set-up draws the same.
    std::vector<Block> newGameAfter(const std::string& file, const std::string& why)
    {
        start();
        std::remove(savePath().c_str());
        if (!file.empty())
            refuse(file, why, false);
        a_srand(61);
        playToTheMap();
        EXPECT_EQ(root().GetDialogs().panel.GetMode(), 0);
        click(414, 180, 3.0f);
        click(944, 676);
        park();
        // The clue in its red.
        EXPECT_GT(inkIn(kHuntClue, [](int r, int g, int b) { return r > 120 && g < 80 && b < 80; }), 300)
            << "the notebook does not show the murder hunt's clue";
        saveAndLeave();
        return save_blocks::unseal(test_env::readFile(savePath()));
    }
    // As newGameAfter for Find All, saved on its map or in its study (after
    // the tutorial's "Ok").
    std::vector<Block> newFindAllAfter(const std::string& file, const std::string& why, bool intoStudy)
    {
        start(true);
        std::remove(savePath(true).c_str());
        if (!file.empty())
            refuse(file, why, true);
        a_srand(61);
        findAll(false, 2.0f);
        EXPECT_EQ(root().GetCurrentName(), "FindAll");
        if (intoStudy) {
            click(414, 180, 3.0f);
            click(601, 401);
        }
        saveAndLeave();
        return save_blocks::unseal(test_env::readFile(savePath(true)));
    }
};

} // namespace

TEST_F(RefusedSave, TheNewGameAfterARefusalIsTheOneAFreshStartMakes)
{
    start();
    playToTheMap();
    playPastTheHuntAndTheDrawer();
    ASSERT_NE(root().GetDialogs().panel.GetMode(), 0);
    const std::vector<Block> real = save_blocks::unseal(test_env::readFile(savePath()));
    ASSERT_FALSE(real.empty());

    // In load order; each leaves what comes before it read.
    const std::vector<Stage> stages = {
        {"the file", [](std::vector<Block> b) { return sealed(b).append("x"); }, "does not match the payload"},
        {"<SpyMain>", longer("<SpyMain>"), "Block '<SpyMain>' holds"},
        {"the tip triggers", oneMore("<TipEvents>"), "10 flags saved"},
        {"the tips", longer("<tip_manager>"), "Block '<tip_manager>' holds"},
        {"the panel", longer("<SpyGameInterface>"), "Block '<SpyGameInterface>' holds"},
        {"the message", longer("<DialogMessage>"), "bytes after the record"},
        {"a personage", longer("<Personage:Marivel"), "Block '<Personage:Marivel' holds"},
        {"the current personage", renamed("<PersonagesManager>", "Quennick", "Quennicx"), "'Quennicx' does not exist"},
        {"a room's events", oneMore("CSpyEventsManager : Desk_CU"), "Saved events difference"},
        {"the rooms", renamed("<RoomsManager>", "Study", "Stuxy"), "Room 'Stuxy' is not one of"},
        {"the case's events", longer("CSpyEventsManager : 1chapter"), "'CSpyEventsManager : 1chapter': the record"},
        {"the investigation", renamed("Investigation : 1chapter", "Study", "Stuxy"), "a room of its history"},
        {"a block never asked for", withUnknownBlock, "block '<Other>' was never read"},
    };
    const std::vector<Block> clean = newGameAfter(std::string(), std::string());
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        expectSameRecords(newGameAfter(stage.mutate(real), stage.why), clean);
    }
}

TEST_F(RefusedSave, TheFindAllGameAfterARefusalIsTheOneAFreshStartMakes)
{
    start(true);
    findAll(false, 2.0f);
    click(414, 180, 3.0f);
    click(601, 401);
    for (const Box& p : std::vector<Box>{{353, 365, 0, 0}, {270, 345, 0, 0}, {376, 333, 0, 0}, {573, 422, 0, 0}})
        click(p.x, p.y, 0.6f);
    saveAndLeave();
    const std::vector<Block> real = save_blocks::unseal(test_env::readFile(savePath(true)));
    ASSERT_FALSE(real.empty());
    // The root's record as if the story's hunt certificate had been shown
    // (a Find All save carries the story's flag), then refused.
    const auto huntShown = [](Mutation then) {
        return [then](std::vector<Block> blocks) {
            std::string& record = blockOf(blocks, "<SpyMain>").record;
            record[record.size() - 2] = 1;
            return then(blocks);
        };
    };

    // Loaded in part, the case (its personages, rooms and events) goes with
    // what was read of it: the next Find All loads it anew.
    const std::vector<Stage> stages = {
        {"the root's record", huntShown(longer("<SpyMain>")), "Block '<SpyMain>' holds"},
        {"the panel", longer("<SpyGameInterface>"), "Block '<SpyGameInterface>' holds"},
        {"the rooms", longer("<RoomsManager>"), "Block '<RoomsManager>' holds"},
        {"a block never asked for", huntShown(withUnknownBlock), "block '<Other>' was never read"},
    };
    const std::vector<Block> clean = newFindAllAfter(std::string(), std::string(), true);
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        expectSameRecords(newFindAllAfter(stage.mutate(real), stage.why, true), clean);
    }
    // Read whole, its record waited for the study to load: a new game saved
    // on the map waits for none.
    SCOPED_TRACE("saved on the map");
    expectSameRecords(newFindAllAfter(withUnknownBlock(real), "block '<Other>' was never read", false),
                      newFindAllAfter(std::string(), std::string(), false));
}

TEST_F(RefusedSave, ASaveWithoutABlockTheCaseAlwaysWritesIsRefusedKeptAndTold)
{
    start();
    playToTheMap();
    playPastTheHuntAndTheDrawer();
    const std::string path = savePath();
    const std::vector<Block> real = save_blocks::unseal(test_env::readFile(path));
    std::vector<std::string> keys;
    for (const Block& b : real)
        if (b.key.rfind("CSpyEventsManager : ", 0) == 0 && b.key != "CSpyEventsManager : 1chapter")
            keys.push_back(b.key);
    // The case's four rooms and the three shared ones; then a block that was
    // always required, told the same way.
    ASSERT_EQ(keys.size(), 7u);
    keys.push_back("<PersonagesManager>");
    GUI::Widget* notice = game->GetGui()->GetRoot()->FindChild("Notice", true);
    ASSERT_NE(notice, nullptr);
    for (const std::string& key : keys) {
        SCOPED_TRACE(key);
        const std::string file = without(key)(real);
        test_env::writeFile(path, file);
        TestLog log;
        click(280, 270, 6.0f);
        ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
        EXPECT_EQ(log.count("has no block '" + key + "'; the case cannot be restored from it"), 1u);
        ASSERT_TRUE(notice->IsVisible(true));
        EXPECT_EQ(notice->FindChild("text", true)->GetText(),
                  L"The saved game could not be read. It is kept as \"Player.save.bad\" in the saved-games folder, "
                  L"and Play now starts a new game.");
        EXPECT_TRUE(test_env::readFile(path + ".bad") == file) << "not kept byte for byte";
        EXPECT_FALSE(test_env::exists(path));
        std::remove((path + ".bad").c_str());
        const aRect r = notice->FindChild("Ok", true)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2);
    }

    // The message's block is one a save may lack: the case plays on, and
    // the log says why the message starts afresh.
    test_env::writeFile(path, without("<DialogMessage>")(real));
    TestLog log;
    click(280, 270, 6.0f);
    EXPECT_EQ(root().GetState(), CSpyMain::StatePlay);
    EXPECT_EQ(log.count("has no block '<DialogMessage>'; it starts afresh"), 1u);
    EXPECT_FALSE(test_env::exists(path + ".bad"));
}
