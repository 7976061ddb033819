#pragma once
// A notice over the main menu: a text the owner sets and "Ok" (3). It tells
// the player what they need to know and could not see otherwise, such as a
// save that could not be written. Wraps the window "Notice" with the
// children "text" and "Ok". Main thread only.
#include "game/SpyGame/Dialogs/DialogBase.h"

class CDialogNotice : public CDialogBase {
public:
    static constexpr const char* kWindowName = "Notice";
    static constexpr std::int32_t kOk = 3;

    void Init() override;
};
