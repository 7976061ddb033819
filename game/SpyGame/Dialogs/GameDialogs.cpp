#include "game/SpyGame/Dialogs/GameDialogs.h"

#include "engine/gui/gui_server.h"

std::array<CDialogBase*, 9> CGameDialogs::FirstModals()
{
    return {{&itemIdent, &pickItem, &pickEvidence, &mhPhoto, &invCard, &hint, &eventForItem, &inGameMenu,
             &confirmSaveExit}};
}

std::array<CDialogBase*, 4> CGameDialogs::SecondModals()
{
    return {{&searchFinish, &locFinish, &mhFinish, &solveConfirm}};
}

std::array<CDialogBase*, 9> CGameDialogs::LastModals()
{
    return {{&helpPers,       &yesNo,         &outOfTime,   &randomClicking, &tutorial,
            &marivelComment, &mhInstruction, &tutorialBig, &introText}};
}

void CGameDialogs::Init()
{
    panel.Init();
    message.Init();
    banner.Load();
    for (CDialogBase* dialog : FirstModals())
        dialog->Init();
    scenePlayer.Init();
    for (CDialogBase* dialog : SecondModals())
        dialog->Init();
    tipManager.LoadTips(kTipsFile);
    for (CDialogBase* dialog : LastModals())
        dialog->Init();
    GUI::Server* gui = GUI::Server::getSingleton();
    GUI::Widget* root = gui ? gui->GetRoot() : nullptr;
    pauseWindow = GUI::WidgetRef(root ? root->FindChild(kPauseWindow, true) : nullptr);
}

void CGameDialogs::Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    if (GUI::Server* gui = GUI::Server::getSingleton())
        gui->Update(dt);
    panel.Update(dt, a, b, c, d);
    message.Update(dt);
    hint.Update(dt);
    banner.Update(dt);
    scenePlayer.Update(dt);
    tipManager.Update(dt);
    invCard.Update(dt);
}

void CGameDialogs::Render()
{
    if (GUI::Server* gui = GUI::Server::getSingleton())
        gui->Render();
    banner.Render();
}

void CGameDialogs::HideDialogs()
{
    message.Hide();
    banner.Hide();
    for (CDialogBase* dialog : FirstModals())
        dialog->Hide();
    scenePlayer.Close();
    for (CDialogBase* dialog : SecondModals())
        dialog->Hide();
    tipManager.HideTip();
    for (CDialogBase* dialog : LastModals())
        dialog->Hide();
}

void CGameDialogs::HideAll()
{
    panel.Hide();
    HideDialogs();
}

void CGameDialogs::ShowMessage(const std::string& id, const std::string& prefix, bool timed)
{
    if (timed)
        message.ShowMessageTimed(id, prefix, kMessageSeconds);
    else
        message.ShowMessage(id, prefix);
}

void CGameDialogs::ShowPause(bool show)
{
    GUI::Widget* window = pauseWindow.get();
    if (!window || banner.IsRunning())
        return;
    window->SetVisible(show);
    if (show)
        window->BringToFront();
}

void CDialogsRoomContext::ShowMessage(const std::string& id, const std::string& prefix, bool timed)
{
    m_dialogs.ShowMessage(id, prefix, timed);
}

bool CDialogsRoomContext::IsPointOverBox(std::int32_t x, std::int32_t y)
{
    // The message is the one box shown over a room in play; the modal
    // dialogs leave the room no input at all.
    const GUI::Widget* window = m_dialogs.message.GetWindow();
    if (!window || !window->IsVisible())
        return false;
    const aRect r = window->GetAbsoluteRect();
    return x >= r.x && x < r.right() && y >= r.y && y < r.bottom();
}

bool CDialogsRoomContext::TipTakesPress(bool findableUnder) { return m_dialogs.tipManager.TakesPress(findableUnder); }
