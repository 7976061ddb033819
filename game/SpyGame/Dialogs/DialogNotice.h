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
    // it as the script has it; a name (a word, or a folder of a path) wider
    // than the area widens both about their middle, as far as the screen
    // leaves the board the area's margins, and is shortened in the middle
    // beyond that (the log has the text whole). A text that needs neither
    // keeps the script's layout.
    void SetNotice(const std::wstring& text);

private:
    // The script's places and sizes.
    aRect m_windowArea, m_textArea, m_okArea;
};
