#include "game/SpyGame/Dialogs/DialogNotice.h"

void CDialogNotice::Init()
{
    if (m_state != kStateNew)
        return;
    if (GUI::Widget* window = FindWindow(kWindowName)) {
        window->notifyRender = true;
        BindResult(window, GUI::EventBeginRender, kStateShown);
    }
    BindResult(FindWidget("Ok"), GUI::EventClick, kOk);
    CDialogBase::Init();
}
