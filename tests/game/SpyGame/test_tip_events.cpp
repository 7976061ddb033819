// The tip triggers on the bench, in the case "1chapter" whose hunt card
// lies in the fixture's Study.
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/shell/current_profile.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"
#include "investigation_bench.h"
#include "test_env.h"

using namespace invtest;

namespace {

class TipTriggers : public InvestigationTest {
protected:
    void SetUp() override
    {
        InvestigationTest::SetUp();
        if (HasFatalFailure())
            return;
        addBoards();
        writeCase(kCaseIni, "1chapter");
        playCase("1chapter");
        ASSERT_EQ(inv->GetState(), CInvestigation::StatePlay);
        ASSERT_EQ(hunt->GetCurrentCardRoom(), "Study");
        dialogs->take();
    }
    CTipEvents& tips() { return inv->GetTipEvents(); }
    void enter(const std::string& name)
    {
        inv->currentRoom = room(name);
        inv->currentRoom->Entry(0);
    }
    std::vector<std::string> shown() { return std::exchange(dialogs->shownTips, {}); }
};

// A record of the block "<TipEvents>" loaded into the triggers.
bool loadRecord(CTipEvents& tips, const std::vector<std::uint8_t>& record)
{
    return save_blocks::loadRecord(tips, CTipEvents::kKey, record.data(), record.size(), "tips");
}

} // namespace

TEST_F(TipTriggers, GuardsBeforeInitAndWithoutRoomOrHunt)
{
    CTipEvents loose;
    loose.Queue("skip", 0.0f);
    EXPECT_TRUE(loose.GetQueue().empty());
    EXPECT_FALSE(loose.Check(1.0f));

    inv->currentRoom = nullptr;
    EXPECT_FALSE(tips().Check(1.0f));
    inv->murderHunt = nullptr;
    enter("Study");
    tips().SetShown(CTipEvents::Notepad, true);
    EXPECT_FALSE(tips().Check(1.0f));  // the hunt's steps need the hunt
    EXPECT_TRUE(shown().empty());
}

TEST_F(TipTriggers, MapAndHuntStepsPointAtItemsOfAMovedRoom)
{
    tips().SetShown(CTipEvents::Notepad, true);
    inv->GoToMap();
    container->tutorial.Show();
    EXPECT_FALSE(tips().Check(0.1f));
    container->tutorial.Hide();
    EXPECT_TRUE(tips().Check(0.1f));
    EXPECT_TRUE(tips().IsShown(CTipEvents::FirstGlobalMap));
    shown();

    enter("Study");
    hunt->Decipher(std::size_t(hunt->GetCurrentCard()), false);
    ASSERT_EQ(hunt->GetCurrentState(), 2);
    room("Study")->SetPos(300.0f, 10.0f);
    rooms->GetItem("Study", "ENVELOPE")->ShowMagicStars(true);
    EXPECT_TRUE(tips().Check(0.1f));
    // ENVELOPE lies at (200, 300) in the room, 20 x 20.
    EXPECT_EQ(shown(), (std::vector<std::string>{"mh_first_photo@510,320"}));

    // The instruction waits 20 s with MH_CONTAINER visible, then points at it.
    ASSERT_TRUE(rooms->GetItem("Study", "MH_CONTAINER")->IsVisible());
    tips().SetShown(CTipEvents::MHFirstSticker, true);
    EXPECT_FALSE(tips().Check(10.0f));
    EXPECT_FALSE(tips().Check(9.0f));
    EXPECT_TRUE(tips().Check(1.0f));
    EXPECT_EQ(shown(), (std::vector<std::string>{"mh_instruction@710,520"}));
    EXPECT_TRUE(tips().IsShown(CTipEvents::MHInstruction));

    // A hidden container gives the instruction up at once.
    tips().Reset();
    tips().SetShown(CTipEvents::Notepad, true);
    tips().SetShown(CTipEvents::MHFirstPhoto, true);
    tips().SetShown(CTipEvents::FirstGlobalMap, true);
    tips().SetShown(CTipEvents::MHFirstSticker, true);
    rooms->GetItem("Study", "MH_CONTAINER")->SetVisible(false);
    tips().Check(0.0f);
    EXPECT_TRUE(tips().IsShown(CTipEvents::MHInstruction));
    EXPECT_TRUE(shown().empty());
}

TEST_F(TipTriggers, QueueDelaysRefusalsAndTheTipsOption)
{
    tips().SetShown(CTipEvents::Notepad, true);
    tips().Queue("skip", 2.0f);
    tips().Queue("gone", 5.0f);  // the manager can no longer show it
    EXPECT_FALSE(tips().Check(1.0f));
    ASSERT_EQ(tips().GetQueue().size(), 1u);
    EXPECT_TRUE(tips().Check(1.0f));
    EXPECT_EQ(shown(), (std::vector<std::string>{"skip@-1,-1"}));
    EXPECT_TRUE(tips().GetQueue().empty());

    // Tips off: nothing queued, steps 5 to 9 silent; the hunt steps still ask.
    tips().SetShown(CTipEvents::Notepad, false);
    CurrentProfile::Get().showTips = 0;
    tips().Queue("skip", 0.0f);
    EXPECT_TRUE(tips().GetQueue().empty());
    EXPECT_FALSE(tips().Check(1.0f));
    CurrentProfile::Get().showTips = 1;
    EXPECT_TRUE(tips().Check(1.0f));
    EXPECT_EQ(shown(), (std::vector<std::string>{"notepad@-1,-1"}));
}

TEST_F(TipTriggers, MapTabAfterTheNotebookAndTwoMinutes)
{
    for (CTipEvents::Flag flag : {CTipEvents::Notepad, CTipEvents::MHFirstSticker, CTipEvents::MHFirstDecrypted})
        tips().SetShown(flag, true);
    ASSERT_TRUE(inv->HasRoomTasks());
    EXPECT_FALSE(tips().Check(200.0f));  // not before the notebook's clue tip
    EXPECT_EQ(tips().GetMapTabTimer(), 0.0f);
    tips().SetShown(CTipEvents::NotepadFirstISpyFound, true);
    EXPECT_FALSE(tips().Check(60.0f));
    EXPECT_FALSE(tips().Check(60.0f));
    EXPECT_TRUE(tips().Check(0.0f));
    EXPECT_EQ(tips().GetMapTabTimer(), 0.0f);
    EXPECT_TRUE(tips().IsShown(CTipEvents::MapTab));
}

TEST_F(TipTriggers, RecordsOfNineShortAndLongCounts)
{
    CTipEvents loaded;
    ASSERT_TRUE(loadRecord(loaded, {9, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 1}));
    for (std::size_t i = 0; i < CTipEvents::kFlagCount; ++i)
        EXPECT_EQ(loaded.IsShown(CTipEvents::Flag(i)), i == 0 || i == 2 || i == 5 || i == 8) << i;
    // Fewer or more flags than these (another build's, or a count the block
    // cannot hold): refused, nothing changed.
    for (const std::vector<std::uint8_t>& other :
         {std::vector<std::uint8_t>{3, 0, 0, 0, 0, 1, 1}, {12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1},
          {200, 0, 0, 0, 0, 0}}) {
        EXPECT_FALSE(loadRecord(loaded, other));
        for (std::size_t i = 0; i < CTipEvents::kFlagCount; ++i)
            EXPECT_EQ(loaded.IsShown(CTipEvents::Flag(i)), i == 0 || i == 2 || i == 5 || i == 8) << i;
    }

    // What is saved is read back exactly.
    SaveLoadSystem save;
    ASSERT_TRUE(save.BeginSave(test_env::home() + "/tips.save", 4374));
    save.SaveEntity(&loaded);
    ASSERT_TRUE(save.Finish());
    CTipEvents again;
    SaveLoadSystem load;
    ASSERT_TRUE(load.BeginLoad(test_env::home() + "/tips.save", 4374));
    ASSERT_TRUE(load.LoadEntity(&again));
    load.Finish();
    for (std::size_t i = 0; i < CTipEvents::kFlagCount; ++i)
        EXPECT_EQ(again.IsShown(CTipEvents::Flag(i)), loaded.IsShown(CTipEvents::Flag(i))) << i;
}

TEST_F(TipTriggers, HuntHintAndPhotoTexts)
{
    for (std::size_t i = 0; i < CTipEvents::kFlagCount; ++i)
        tips().SetShown(CTipEvents::Flag(i), true);
    moveTo(600, 400);
    onFrame = [this](float dt) { hint->Update(dt); };  // the mouse rests
    tick(40);
    ASSERT_EQ(hunt->GetCurrentState(), 1);
    inv->UseMHHint(true);
    EXPECT_TRUE(hint->IsVisible());
    inv->UseMHHint(false);  // a second press takes it down
    EXPECT_FALSE(hint->IsVisible());
    // A tip the triggers show first stops the hint.
    tips().SetShown(CTipEvents::MHFirstSticker, false);
    enter("Study");
    inv->UseMHHint(true);
    EXPECT_EQ(shown(), (std::vector<std::string>{"mh_first_sticker@-1,-1"}));
    EXPECT_FALSE(hint->IsVisible());

    // The photo's text follows the card room's hunt state.
    hunt->Decipher(std::size_t(hunt->GetCurrentCard()), false);
    inv->ShowInvCard("Study", true);
    EXPECT_EQ(dialogs->photoText,
              L"The clue is deciphered. A hint will show where the clue is hidden in the study.");
    EXPECT_EQ(inv->GetState(), CInvestigation::StateMHPhoto);
}
