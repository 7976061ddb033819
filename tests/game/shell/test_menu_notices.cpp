// The main menu's tips and notices on the demo data, played by clicks: the
// player choice's tip leaves with the choice, the notices of saves that
// could not be read say what Play or Find All does next, and a kept file's
// long path is laid out between its names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <string>

#include "case_on_data.h"
#include "engine/gui/gui_static_text.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
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

// A damaged linked save kept in a folder whose name is wider than the
// notice's text, then in one wider than the screen: the notice breaks the
// path only at spaces and after a '/', widens for the first (within the
// screen), shortens the second in the middle, and the log has each whole.
TEST_F(MenuNotices, AKeptFilesPathBreaksBetweenItsNames)
{
    start(true);
    const std::string save = savePath();
    const std::string wide = "Synced-Saved-Games-Of-The-Whole-Family";
    const std::string tooWide = "Begin" + std::string(120, 'm') + "End";
    GUI::Widget* notice = widget("Notice");
    auto* text = dynamic_cast<GUI::StaticText*>(notice->FindChild("text", true));
    ASSERT_NE(text, nullptr);
    const aRect script = notice->GetAbsoluteRect();
    for (const std::string& folder : {wide, tooWide}) {
        SCOPED_TRACE(folder);
        const std::string target = test_env::home() + "/sync.d/" + folder + "/Player.save";
        test_env::writeFile(target, "VRKS damaged");
        std::filesystem::remove(save);
        ASSERT_EQ(::symlink(target.c_str(), save.c_str()), 0);
        click(280, 270, 2.0f);
        ASSERT_TRUE(notice->IsVisible(true));
        const std::wstring said = noticeText(), kept = str_utf8ToWide(target + ".bad");
        ASSERT_NE(said.find(L'"' + kept + L"\","), std::wstring::npos) << str_wideToUtf8(said);
        std::fflush(g_logFile);
        const std::string log = test_env::readFile(test_env::dataHome() + "Tallowmere/VRK/a2d.log");
        EXPECT_NE(log.find(target + ".bad"), std::string::npos);

        // Each line starts after a space or a '/', never at a closing mark.
        std::wstring drawn;  // the words as drawn, each after a '|'
        std::size_t at = 0, chars = 0;
        for (std::uint32_t li = 0; li < text->lineCount; ++li) {
            const GUI::StaticText::Line& line = text->lines[li];
            for (; chars < line.firstChar || said[at] == L' '; ++at)
                chars += said[at] != L' ';
            if (li > 0) {
                EXPECT_TRUE(said[at - 1] == L' ' || said[at - 1] == L'/') << str_wideToUtf8(said.substr(at));
                EXPECT_EQ(std::wcschr(L"\"',.", said[at]), nullptr) << str_wideToUtf8(said.substr(at));
            }
            auto word = line.firstWord;
            for (std::uint32_t k = 0; k < line.wordCount; ++k, ++word)
                drawn += L'|' + word->text;
        }
        EXPECT_LE(text->textWidth, float(text->GetAreaRect().width));
        const aRect board = notice->GetAbsoluteRect();
        EXPECT_GE(board.x, 0);
        EXPECT_LE(board.right(), 1024);
        if (folder == wide) {
            // Widened about the middle; the folder's name on one line.
            EXPECT_GT(board.width, script.width);
            EXPECT_EQ(board.x + board.width / 2, script.x + script.width / 2);
            EXPECT_NE(drawn.find(L'|' + str_utf8ToWide(wide) + L"/|"), std::wstring::npos);
            EXPECT_EQ(drawn.find(L'\u2026'), std::wstring::npos);
        } else {
            // As wide as the screen allows; both ends of the name shown.
            EXPECT_EQ(board.x, 24);
            EXPECT_NE(drawn.find(L"|Beginmmm"), std::wstring::npos);
            EXPECT_NE(drawn.find(L"m\u2026m"), std::wstring::npos);
            EXPECT_NE(drawn.find(L"mmmEnd/|"), std::wstring::npos);
        }
        expectTextClearOfOk();
        const aRect ok = notice->FindChild("Ok", true)->GetAbsoluteRect();
        click(ok.x + ok.width / 2, ok.y + ok.height / 2);
        ASSERT_FALSE(notice->IsVisible(true));
    }
    // A short notice after them has the script's layout again.
    test_env::writeFile(save, "VRKS damaged");
    click(280, 270, 2.0f);
    ASSERT_TRUE(notice->IsVisible(true));
    EXPECT_EQ(notice->GetAbsoluteRect().x, script.x);
    EXPECT_EQ(notice->GetAbsoluteRect().width, script.width);
}
