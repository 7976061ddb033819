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
    // The notice over the menu after a click on a damaged save: its text,
    // and the lowest row of the board, above its "Ok", where its letters'
    // light ink shows.
    std::wstring noticeText() { return widget("Notice")->FindChild("text", true)->GetText(); }
    int lowestInkAboveOk()
    {
        frames(1, 0, true);
        const std::vector<std::uint32_t> screen = gstest::readBackBuffer(*game->m_graphServer);
        const aRect board = widget("Notice")->GetAbsoluteRect();
        const aRect ok = widget("Notice")->FindChild("Ok", true)->GetAbsoluteRect();
        int lowest = -1;
        for (int py = board.y; py < ok.y; ++py)
            for (int px = board.x + 24; px < board.right() - 24; ++px) {
                const std::uint32_t c = screen[std::size_t(py) * 1024 + std::size_t(px)];
                if (((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 180 && (c & 0xFF) > 120)
                    lowest = py;
            }
        return lowest;
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
    const aRect ok = widget("Notice")->FindChild("Ok", true)->GetAbsoluteRect();
    const int ink = lowestInkAboveOk();
    EXPECT_GT(ink, widget("Notice")->GetAbsoluteRect().y) << "no text drawn";
    EXPECT_LT(ink, ok.y - 8) << "the text's last line runs into Ok";
    click(ok.x + ok.width / 2, ok.y + ok.height / 2);
    ASSERT_FALSE(widget("Notice")->IsVisible(true));

    // Find All, "No" to starting it again: its notice speaks of Find All.
    click(280, 342);
    click(602, 430, 2.0f);
    ASSERT_TRUE(widget("Notice")->IsVisible(true));
    EXPECT_EQ(noticeText(), L"The saved game could not be read. It is kept as \"Player.saveFA.bad\" in the "
                            L"saved-games folder, and Find All now starts from the beginning.");
    EXPECT_LT(lowestInkAboveOk(), widget("Notice")->FindChild("Ok", true)->GetAbsoluteRect().y - 8);
}
