#include "game/SpyGame/Dialogs/DialogRestartFA.h"

void CDialogRestartFA::Init()
{
    if (m_state != kStateNew)
        return;
    if (GUI::Widget* window = FindWindow("DialogRestartFA")) {
        window->notifyRender = true;
        BindResult(window, GUI::EventBeginRender, kStateShown);
    }
    BindResult(FindWidget("Yes"), GUI::EventClick, kYes);
    BindResult(FindWidget("No"), GUI::EventClick, kNo);
    CDialogBase::Init();
}
