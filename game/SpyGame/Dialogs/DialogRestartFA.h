#pragma once
// The question whether to start Find All afresh over a saved Find All game:
// "Yes" 3, "No" 4. Main thread only.
#include "game/SpyGame/Dialogs/DialogBase.h"

class CDialogRestartFA : public CDialogBase {
public:
    static constexpr std::int32_t kYes = 3;
    static constexpr std::int32_t kNo = 4;

    void Init() override;
};
