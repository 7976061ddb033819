// The main menu's tips and notices on the demo data, played by clicks: the
// player choice's tip leaves with the choice, and the notices of saves that
// could not be read say what Play or Find All does next.
#include <gtest/gtest.h>

#include <string>

#include "case_on_data.h"
#include "game/SpyGame/Dialogs/TipManager.h"

namespace {

class MenuNotices : public CaseOnData {
protected:
    GUI::Widget* widget(const char* name) const { return game->GetGui()->GetRoot()->FindChild(name, true); }
    void clickOn(const char* name, float after = 0.5f)
    {
        const aRect r = widget(name)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2, after);
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
