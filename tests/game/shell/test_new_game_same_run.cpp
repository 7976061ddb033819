// New games started in the run that played, continued or refused another:
// each is the game a fresh program start makes, down to its first save,
// record by record. The random generator is seeded alike just before each
// new game, so that its set-up draws the same.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "case_on_data.h"
#include "engine/util/a_random.h"
#include "support/test_env.h"

namespace {

using save_blocks::Block;

constexpr std::uint32_t kSeed = 61;

struct Step {
    int x, y;
    float after;
};

// The story won without its murder hunt, from the case's map: the study's
// entry message, three finds, the garden's key and footprint, the desk's
// drawer opened with the key and its card and letter; back in the study
// every hidden object (only listed ones are taken) to its finish, the map,
// the garden's objects likewise, the banner and the ending page.
const std::vector<Step> kStoryWon = {
    {414, 180, 3.0f}, {352, 668, 1.5f}, {270, 345, 1.2f}, {376, 333, 1.2f}, {350, 661, 2.0f},
    {880, 300, 3.0f}, {944, 676, 1.0f}, {458, 652, 2.0f}, {601, 490, 2.0f}, {681, 466, 2.0f}, {619, 628, 2.0f},
    {601, 490, 1.5f}, {300, 400, 3.0f}, {944, 676, 1.0f}, {667, 489, 3.0f}, {215, 733, 0.5f}, {599, 462, 3.0f},
    {944, 676, 1.0f}, {598, 445, 2.5f}, {601, 490, 1.5f}, {478, 437, 2.5f}, {601, 490, 2.5f}, {944, 676, 1.0f},
    {858, 567, 2.5f}, {944, 676, 1.0f},
    {353, 365, 1.2f}, {270, 345, 1.2f}, {376, 333, 1.2f}, {573, 422, 1.2f}, {601, 423, 1.2f}, {699, 424, 1.2f},
    {417, 524, 1.2f}, {397, 586, 1.2f}, {659, 590, 1.2f}, {461, 613, 1.2f}, {252, 620, 1.2f}, {350, 661, 1.2f},
    {502, 662, 1.2f}, {612, 665, 1.2f}, {783, 672, 1.2f}, {973, 662, 1.2f},
    {601, 436, 3.0f}, {785, 470, 3.0f}, {944, 676, 1.0f},
    {654, 360, 1.2f}, {409, 327, 1.2f}, {654, 360, 1.2f}, {550, 475, 1.2f}, {520, 573, 1.2f}, {754, 482, 1.2f},
    {840, 500, 1.2f}, {924, 476, 1.2f}, {324, 614, 1.2f}, {689, 665, 1.2f}, {895, 662, 1.2f}, {962, 611, 1.2f},
    {601, 436, 3.0f}, {601, 436, 3.0f}, {906, 734, 3.0f}};

class NewGameInTheSameRun : public CaseOnData {
protected:
    std::vector<Block> saved(bool findAll) { return save_blocks::unseal(test_env::readFile(savePath(findAll))); }
    // The menu's Find All; with a save, its question's "Yes" (start again)
    // or "No" (go on with the save). The game starts seeded, and is played
    // from the same game time on.
    void findAll(bool again = true)
    {
        const bool asked = test_env::exists(savePath(true));
        if (asked)
            click(280, 342);
        a_srand(kSeed);
        click(asked ? (again ? 422 : 602) : 280, asked ? 430 : 342, 2.0f);
    }
    // A new Find All game from its map: into the study (its tutorial's
    // "Ok"), two finds, saved and left; its save.
    std::vector<Block> findAllStudy()
    {
        EXPECT_EQ(root().GetCurrentName(), "FindAll");
        click(414, 180, 3.0f);
        EXPECT_TRUE(root().GetDialogs().tutorial.IsVisible()) << "no tutorial at the first room";
        click(601, 401);
        park();
        EXPECT_EQ(panelText("items_remain"), L"27 items to find");
        click(353, 365, 0.6f);
        click(270, 345, 0.6f);
        saveAndLeave();
        return saved(true);
    }
    // A program start's first Find All game; its save.
    std::vector<Block> freshFindAll()
    {
        start(true);
        std::remove(savePath(true).c_str());
        findAll();
        return findAllStudy();
    }
    // Find All's save gone on with into the garden: a find there, saved
    // and left; its save.
    std::vector<Block> intoTheGarden()
    {
        findAll(false);
        EXPECT_EQ(root().GetState(), CSpyMain::StatePlay);
        click(881, 352, 3.0f);
        click(654, 360, 0.6f);
        saveAndLeave();
        return saved(true);
    }
    void clickOn(const char* name)
    {
        const aRect r = game->GetGui()->GetRoot()->FindChild(name, true)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2, 0.5f);
    }
    // Small letters, each key down and up in a frame of its own.
    void type(const std::string& letters)
    {
        using K = platform::ScriptedKeyboard;
        for (char c : letters) {
            std::uint8_t key = 0;
            for (std::uint32_t k = 1; k < 256 && !key; ++k)
                if (GUI::Server::KeyToChar(k, 0) == c)
                    key = std::uint8_t(k);
            keys.pushEvents({K::press(key), K::type(char32_t(c)), K::lift(key)});
            frames();
        }
    }
    // A new story game from the menu's Play, through its comics to the
    // map, saved and left; its save.
    std::vector<Block> storyToTheMap()
    {
        a_srand(kSeed);
        playToTheMap();
        saveAndLeave();
        return saved(false);
    }
};

} // namespace

// Played twice in the run, the second time gone on with from its save.
TEST_F(NewGameInTheSameRun, FindAllAgainAfterPlayingIt)
{
    const std::vector<Block> fresh = freshFindAll();
    intoTheGarden();

    findAll();
    expectSameRecords(findAllStudy(), fresh);
}

TEST_F(NewGameInTheSameRun, FindAllContinuedAndStartedAgainAfterASaveOfAnotherRun)
{
    const std::vector<Block> fresh = freshFindAll();
    const std::string studySave = test_env::readFile(savePath(true));
    const std::vector<Block> continued = intoTheGarden();

    // The same save gone on with after a program start.
    test_env::writeFile(savePath(true), studySave);
    start(true);
    expectSameRecords(intoTheGarden(), continued);

    // Another run goes on with it in the garden: the study's records, read
    // with it, wait for the study to load.
    start(true);
    findAll(false);
    ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
    saveAndLeave();

    findAll();
    expectSameRecords(findAllStudy(), fresh);
}

TEST_F(NewGameInTheSameRun, FindAllAfterARefusedSaveOfTheSameRun)
{
    const std::vector<Block> fresh = freshFindAll();
    intoTheGarden();

    // Refused at its rooms' record, after the case had begun loading.
    std::vector<Block> blocks = saved(true);
    for (Block& b : blocks)
        if (b.key == "<RoomsManager>")
            b.record.push_back('\0');
    test_env::writeFile(savePath(true), save_blocks::seal(blocks, CGameFlow::kSaveVersion));
    findAll(false);
    ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
    GUI::Widget* notice = game->GetGui()->GetRoot()->FindChild("Notice", true);
    ASSERT_TRUE(notice && notice->IsVisible(true));
    const aRect r = notice->FindChild("Ok", true)->GetAbsoluteRect();
    click(r.x + r.width / 2, r.y + r.height / 2);

    findAll();
    expectSameRecords(findAllStudy(), fresh);
}

TEST_F(NewGameInTheSameRun, TheStorysNewGamesAfterItWasWonAndAfterAnotherPlayersGame)
{
    start();
    std::remove(savePath().c_str());
    const std::vector<Block> fresh = storyToTheMap();

    click(280, 270, 6.0f);
    ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
    for (const Step& s : kStoryWon)
        click(s.x, s.y, s.after);
    ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
    ASSERT_EQ(root().GetCurrentName(), "EndGame");

    expectSameRecords(storyToTheMap(), fresh);

    // Another player's first game, after that one was left by Main menu.
    clickOn("ChangeProfile");
    type("ann");
    clickOn("New");
    ASSERT_NE(savePath().find("/ann.save"), std::string::npos) << savePath();
    expectSameRecords(storyToTheMap(), fresh);
}

