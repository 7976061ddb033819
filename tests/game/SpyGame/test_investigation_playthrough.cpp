// The fixture case played through Update and Draw on offscreen GL with
// scripted input, then saved and continued on a fresh bench.
#include "engine/gfx/a_graph_server.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/items/SpyItem.h"
#include "game/shell/save_load_system.h"
#include "play_bench.h"
#include "test_env.h"

using namespace invtest;

namespace {

class Playthrough : public PlayGlTest {
protected:
    void start()
    {
        play().act = true;
        startCase();
        panel->Hide();
    }
    // One frame: the step, then the picture.
    std::uint32_t frame(float dt = 0.02f)
    {
        const std::uint32_t state = inv->Update(dt);
        aGraphServer* graph = app.m_graphServer;
        EXPECT_TRUE(graph->beginScene());
        inv->Draw();
        graph->endScene();
        return state;
    }
    int blue(int x, int y) { return int(pixelAt(x, y) & 0xFF); }
    bool save(const std::string& path)
    {
        SaveLoadSystem system;
        return system.BeginSave(path, 4374) && system.SaveEntity(inv.get()) && system.Finish();
    }
};

} // namespace

TEST_F(Playthrough, MapRoomCloseUpBackPickSaveAndContinue)
{
    start();
    // The hall's own event speaks first.
    frame();
    frame();
    EXPECT_NE(std::find(dialogs->calls.begin(), dialogs->calls.end(), "ShowMessage(hall_text,Hall,1)"),
              dialogs->calls.end());

    // The map through the panel's button, then a location door pressed.
    panel->SetState(CDialogSpyGamePanel::ResultMap);
    EXPECT_EQ(frame(), InvState::Map);
    panel->SetState(CDialogSpyGamePanel::kStateShown);
    CSpyItem* door = map->GetItem("loc_study");
    ASSERT_NE(door, nullptr);
    float x = 0, y = 0;
    door->GetPos(x, y);
    mouse(std::int32_t(x + door->GetWidth() / 2), std::int32_t(y + door->GetHeight() / 2));
    for (int i = 0; i < 3 && inv->GetState() == InvState::Map; ++i)
        frame();
    releaseMouse();
    EXPECT_EQ(inv->GetState(), InvState::Play);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Study"));

    // A close-up fades in: the veil over the blue study deepens.
    scripted("Study").script.push_back({CRoomBase::ResultCloseUp, "Close"});
    frame();
    ASSERT_EQ(inv->GetState(), InvState::FadeIn);
    std::vector<int> veiled;
    while (inv->GetState() == InvState::FadeIn) {
        frame(0.05f);
        veiled.push_back(blue(300, 40));
    }
    ASSERT_GE(veiled.size(), 3u);
    for (std::size_t i = 1; i < veiled.size(); ++i)
        EXPECT_LE(veiled[i], veiled[i - 1]);
    EXPECT_LT(veiled.back(), veiled.front());
    EXPECT_NEAR(veiled.back(), 79, 3);  // 255 under a full veil of 176

    // Back: the close-up fades out and the study is current again.
    panel->SetState(CDialogSpyGamePanel::ResultBack);
    EXPECT_EQ(frame(), InvState::GoBack);
    panel->SetState(CDialogSpyGamePanel::kStateShown);
    while (inv->GetState() == InvState::GoBack)
        frame(0.05f);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Study"));
    EXPECT_EQ(blue(300, 40), 255);

    // The envelope picked with its text, then into the inventory.
    personages->GetPersonage("Quennick")->itemInfos[CSpyItemRef("ENVELOPE", "Study")].curAbout = "envelope_about";
    scripted("Study").script.push_back({CRoomBase::ResultPick, "ENVELOPE"});
    EXPECT_EQ(frame(), InvState::PickItem);
    EXPECT_EQ(frame(), InvState::PickItem);
    modals().states[Modal::PickItem] = 3;
    EXPECT_EQ(frame(), InvState::Play);
    EXPECT_TRUE(room("Study")->GetItem("ENVELOPE")->IsPicked());

    // Saved from the in-game menu, continued on a fresh bench.
    scripted("Study").script.push_back({CRoomBase::ResultCloseUp, "Close"});
    frame();
    while (inv->GetState() == InvState::FadeIn)
        frame(0.1f);
    panel->SetState(CDialogSpyGamePanel::ResultMenu);
    EXPECT_EQ(frame(), InvState::InGameMenu);
    const std::uint32_t counters[4] = {play().taskCounters[0], play().taskCounters[1], play().taskCounters[2],
                                       play().taskCounters[3]};
    const std::string path = test_env::home() + "/continue.save";
    ASSERT_TRUE(save(path));

    TearDown();
    SetUp();
    start();
    inv->ResetForStart(false);
    {
        SaveLoadSystem system;
        ASSERT_TRUE(system.BeginLoad(path, 4374));
        EXPECT_TRUE(system.LoadEntity(inv.get()));
        system.Finish();
    }
    EXPECT_EQ(inv->GetState(), InvState::InGameMenu);
    EXPECT_EQ(inv->GetPreviousState(), InvState::Play);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Close"));
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Study")});
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(play().taskCounters[i], counters[i]);
    EXPECT_EQ(play().mapLocation, "Study");
}
