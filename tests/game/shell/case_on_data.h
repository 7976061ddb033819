#pragma once
// The demo's game in process, offscreen, played by clicks at the screen
// points a player uses (those of the road), in frames of 20 ms of game time.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_test_bench.h"
#include "engine/util/a_input_server.h"
#include "game/SpyGame/SpyMain.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "game/shell/save_load_system.h"
#include "on_demand_game.h"
#include "platform/system/events.h"
#include "support/save_blocks.h"
#include "support/scripted_input.h"

using OnDemandRoot = ondemand::Root;
using CaseMain = ondemand::Main;

// The "<SpyMain>" record of a story save that stands at its end.
class StoryOver : public SaveLoadEntity {
public:
    StoryOver() : SaveLoadEntity(CSpyMain::kEntityKey) {}
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        pos = system.WriteString(pos, CSpyMain::kEndGame);
        pos = system.WriteU32(pos, 0);
        pos = system.WriteU32(pos, 0);
        pos = system.WriteU8(pos, 1);
        return system.WriteU8(pos, 0);
    }
    std::uint32_t LoadSelf(SaveLoadSystem&, std::uint32_t pos) override { return pos; }
};

struct Box {
    int x, y, w, h;
};

class CaseOnData : public testing::Test {
protected:
    void SetUp() override
    {
        test_env::installScriptedInput(clock, keys, mouse);
    }
    void TearDown() override
    {
        if (game)
            game->shutdown();
        game.reset();
        test_env::removeScriptedInput();
    }
    // A program start, up to the main menu; before the menu shows, the
    // story save is written when asked for.
    void start(bool storyOver = false)
    {
        if (game)
            game->shutdown();
        game = std::make_unique<CaseMain>();
        platform::messageQueue().reset();
        ASSERT_EQ(game->init("VRK", nullptr, "", "Tallowmere"), 0);
        game->GetResManager()->SetProgressFunction([this](const std::string&) { clock.advanceMs(30); });
        if (storyOver) {
            StoryOver record;
            SaveLoadSystem save;
            ASSERT_TRUE(save.BeginSave(ProfilesManager::getSingletonPtr()->GetSaveFileName(), CGameFlow::kSaveVersion));
            save.SaveEntity(&record);
            ASSERT_TRUE(save.Finish());
        }
        CGameFlow& flow = *game->GetFlow();
        // Clicks end the splash pictures; the shared resources then load.
        for (int i = 0; i < 800 && flow.GetScreen() != CGameFlow::kMenu; ++i)
            frames(1, unsigned(i % 2));
        ASSERT_EQ(flow.GetScreen(), CGameFlow::kMenu);
        wait(0.6f);
    }
    // Frames of 20 ms. Only the frames whose pixels a test reads are drawn
    // to the last pixel; the others run whole (the game does not depend on
    // drawing) at a fraction of the cost.
    void frames(int n = 1, unsigned buttons = 0, bool draw = false)
    {
        for (int i = 0; i < n; ++i) {
            keys.pushKeys({});
            mouse.push(buttons, x, y);
            clock.advanceMs(20);
            game->m_inputServer->update();
            game->m_graphServer->m_device->setDrawingSkipped(!draw);
            if (game->update() == 0)
                game->render();
        }
    }
    void wait(float seconds) { frames(int(seconds * 50.0f + 0.5f)); }
    void click(int cx, int cy, float after = 1.0f)
    {
        x = cx;
        y = cy;
        frames();
        frames(1, 1);
        frames();
        wait(after);
    }
    // The cursor parked away from everything the tests look at.
    void park()
    {
        x = 1010;
        y = 750;
        frames(3);
    }
    // Play from the main menu through the comics to the case's map.
    void playToTheMap()
    {
        click(280, 270, 6.0f);
        ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
        click(906, 734, 2.0f);
        click(906, 734, 3.0f);
        click(601, 398, 2.0f);
        ASSERT_EQ(root().inv.GetState(), std::uint32_t(CInvestigation::StateMap));
    }
    // The in-game menu's "Main menu", then "Yes".
    void saveAndLeave()
    {
        click(88, 733);
        click(601, 510);
        click(521, 436, 4.0f);
        ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
    }
    OnDemandRoot& root() { return *game->root; }
    // The player's story save, or Find All's.
    std::string savePath(bool findAll = false) const
    {
        return game->m_fileServer.manglePath(ProfilesManager::getSingletonPtr()->GetSaveFileName()) +
               (findAll ? "FA" : "");
    }
    std::wstring panelText(const char* name)
    {
        GUI::Widget* panel = game->GetGui()->GetRoot()->FindChild("SpyGameInterface", true);
        GUI::Widget* w = panel ? panel->FindChild(name, true) : nullptr;
        return w ? w->GetText() : L"<none>";
    }
    // Pixels in the box, drawn to the last pixel, of the colours the test
    // names (r, g, b); by default darker than the notebook's paper and rules.
    int inkIn(const Box& box, const std::function<bool(int, int, int)>& ink = [](int r, int g, int b) {
        return (r * 3 + g * 6 + b) / 10 < 120;
    })
    {
        frames(1, 0, true);
        const std::vector<std::uint32_t> screen = gstest::readBackBuffer(*game->m_graphServer);
        int n = 0;
        for (int py = box.y; py < box.y + box.h; ++py)
            for (int px = box.x; px < box.x + box.w; ++px) {
                const std::uint32_t c = screen[std::size_t(py) * 1024 + std::size_t(px)];
                n += ink(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF));
            }
        return n;
    }

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    std::unique_ptr<CaseMain> game;
    int x = 1010, y = 750;
};

// Two first saves, block by block.
inline void expectSameRecords(const std::vector<save_blocks::Block>& after,
                              const std::vector<save_blocks::Block>& clean)
{
    ASSERT_FALSE(clean.empty());
    ASSERT_EQ(after.size(), clean.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].key, clean[i].key);
        EXPECT_TRUE(after[i].record == clean[i].record) << after[i].key << " is not as a clean start's";
    }
}

// The notebook's lower part, where the detective's word on the case stands.
constexpr Box kNotebookComment{40, 326, 128, 110};
