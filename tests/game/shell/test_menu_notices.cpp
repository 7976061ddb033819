// The main menu's tips and notices on the demo data, played by clicks: the
// player choice's tip leaves with the choice, and the notices of saves that
// could not be read say what Play or Find All does next.
#include <gtest/gtest.h>

#include <string>

#include "case_on_data.h"
#include "game/SpyGame/Dialogs/TipManager.h"
#include "support/test_env.h"

namespace {

class MenuNotices : public CaseOnData {
protected:
    GUI::Widget* widget(const char* name) const { return game->GetGui()->GetRoot()->FindChild(name, true); }
    void clickOn(const char* name, float after = 0.5f)
    {
        const aRect r = widget(name)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2, after);
    }
    std::wstring noticeText() { return widget("Notice")->FindChild("text", true)->GetText(); }
    // The notice's letters, in their light ink, over its text's width: in
    // the board above its "Ok" (at least some), and in the eight rows right
    // above it (none).
    void expectTextClearOfOk()
    {
        const aRect board = widget("Notice")->GetAbsoluteRect();
        const aRect ok = widget("Notice")->FindChild("Ok", true)->GetAbsoluteRect();
        const auto light = [](int r, int g, int b) { return r > 200 && g > 180 && b > 120; };
        EXPECT_GT(inkIn({board.x + 24, board.y, board.width - 48, ok.y - board.y}, light), 500);
        EXPECT_EQ(inkIn({board.x + 24, ok.y - 8, board.width - 48, 8}, light), 0)
            << "the text's last line runs into Ok";
    }
    std::string tipShown()
    {
        const CTipManager::CTipInfo* tip = root().GetDialogs().tipManager.GetCurrentTip();
        return tip ? tip->name : std::string();
    }
};

} // namespace

TEST_F(MenuNotices, ThePlayerChoicesTipGoesWithTheChoice)
{
    for (const char* way : {"Escape", "Cancel", "OK"}) {
        SCOPED_TRACE(way);
        start();
        clickOn("ChangeProfile");
        ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kProfiles);
        ASSERT_EQ(tipShown(), "profile_change");
        ASSERT_TRUE(widget(CTipManager::kWindowName)->IsVisible(true));
        if (std::string(way) == "Escape") {
            keys.pushKeys({platform::DIK_ESCAPE});
            frames();
        } else {
            clickOn(way);
        }
        wait(1.0f);
        EXPECT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
        EXPECT_EQ(tipShown(), "");
        EXPECT_FALSE(widget(CTipManager::kWindowName)->IsVisible(true));
    }
}

TEST_F(MenuNotices, ADamagedSavesNoticeSaysWhatStartsAnewAndStandsClearOfItsButton)
{
    start(true);
    const std::string story = game->m_fileServer.manglePath(ProfilesManager::getSingletonPtr()->GetSaveFileName());
    test_env::writeFile(story, "VRKS damaged");
    test_env::writeFile(story + "FA", "VRKS damaged");
    park();

    click(280, 270, 2.0f);
    ASSERT_TRUE(widget("Notice")->IsVisible(true));
    EXPECT_EQ(noticeText(), L"The saved game could not be read. It is kept as \"Player.save.bad\" in the saved-games "
                            L"folder, and Play now starts a new game.");
    expectTextClearOfOk();
    const aRect ok = widget("Notice")->FindChild("Ok", true)->GetAbsoluteRect();
    click(ok.x + ok.width / 2, ok.y + ok.height / 2);
    ASSERT_FALSE(widget("Notice")->IsVisible(true));

    // Find All, "No" to starting it again: its notice speaks of Find All.
    click(280, 342);
    click(602, 430, 2.0f);
    ASSERT_TRUE(widget("Notice")->IsVisible(true));
    EXPECT_EQ(noticeText(), L"The saved game could not be read. It is kept as \"Player.saveFA.bad\" in the "
                            L"saved-games folder, and Find All now starts from the beginning.");
    expectTextClearOfOk();
}
