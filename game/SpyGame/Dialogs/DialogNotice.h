#pragma once
// A notice over the main menu: a text the owner sets and "Ok" (3). It tells
// the player what they need to know and could not see otherwise, such as a
// save that could not be written. Wraps the window "Notice" with the
// children "text" and "Ok". Main thread only.
#include <cstdint>
#include <string>

#include "game/SpyGame/Dialogs/DialogBase.h"

class CDialogNotice : public CDialogBase {
public:
    static constexpr const char* kWindowName = "Notice";
    static constexpr std::int32_t kOk = 3;

    void Init() override;
    // The text, laid out: one longer than the script's text area makes the
    // area, and the board under it, as much taller, with "Ok" as far below
    // it as the script has it; a shorter one keeps the script's layout.
    void SetNotice(const std::wstring& text);

private:
    // The script's heights and the button's place.
    std::int32_t m_textHeight = 0;
    std::int32_t m_windowHeight = 0;
    std::int32_t m_okY = 0;
};
