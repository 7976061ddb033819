// The play step's dialogs, comics, tips and banner through the link to the real container.
#include "Dialogs/dialog_fixture.h"
#include "game/SpyGame/Dialogs/GameDialogs.h"
#include "game/SpyGame/GameDialogsLink.h"

using namespace dialogtest;
using Modal = CInvestigationDialogs::Modal;

namespace {

class DialogsLinkPlay : public RecordingDialogBench {
protected:
    void SetUp() override
    {
        RecordingDialogBench::SetUp();
        CDialogSpyGamePanel::ResetSharedClockState();
        loadDemoResources();
        loadGui();
        game = std::make_unique<CGameDialogs>();
        game->Init();
        view = std::make_unique<CGameDialogsLink>(*game);
        drawFrames = false;
    }
    void TearDown() override
    {
        view.reset();
        game.reset();
        RecordingDialogBench::TearDown();
    }
    std::unique_ptr<CGameDialogs> game;
    std::unique_ptr<CGameDialogsLink> view;
};

} // namespace

TEST_F(DialogsLinkPlay, EveryModalShowsAnswersAndHides)
{
    for (int i = 0; i <= int(Modal::IntroText); ++i) {
        const Modal which = Modal(i);
        CDialogBase* dialog = view->GetModal(which);
        ASSERT_NE(dialog, nullptr) << i;
        view->SetModalText(which, "many_clicks_text", std::string());
        view->SetModalText(which, std::string(), std::string());
        view->SetModalImage(which, "Marivel_Trusk");
        view->ShowModal(which);
        EXPECT_EQ(view->GetModalState(which), 2) << dialog->GetWindowName();
        EXPECT_TRUE(dialog->IsVisible()) << dialog->GetWindowName();
        dialog->SetState(3);
        EXPECT_EQ(view->GetModalState(which), 3);
        view->HideModal(which);
        EXPECT_EQ(view->GetModalState(which), 1);
        EXPECT_FALSE(dialog->IsVisible());
    }
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    EXPECT_TRUE(view->GetPickItemArea(x, y, w, h));
    EXPECT_GT(w * h, 0);

    // The tutorial, the message, the comics and the banner through the container.
    view->ShowTutorial("find_all_first_enter_room");
    EXPECT_TRUE(view->IsTutorialVisible());
    view->ShowMessage("many_clicks_text", std::string(), true);
    EXPECT_TRUE(view->IsMessageVisible());
    EXPECT_EQ(view->GetMessageEntity(), &game->message);
    view->PlayScene("language:Comics/", "intro", true, std::string(), std::string());
    EXPECT_TRUE(view->IsSceneOpen());
    view->StartBanner(false);
    EXPECT_TRUE(view->IsBannerRunning());
    view->HideDialogs();
    EXPECT_FALSE(view->IsSceneOpen());
    EXPECT_FALSE(view->IsBannerRunning());
    EXPECT_FALSE(view->IsTutorialVisible());
    EXPECT_EQ(view->GetPanel(), &game->panel);
}
