#pragma once
// The murder-hunt photo: a picture in "item_box" with an optional text in
// "text_window" below it. The box grows to the photo, the window widens
// with it and grows to the text, and stays centred where it was designed.
// "Continue" keeps its designed place beside the box's bottom right corner,
// so a large photo never lies under it. Hiding takes the photo out. Main
// thread only.
#include <memory>
#include <string>

#include "game/SpyGame/Dialogs/InGameDialogs.h"

class CDialogMHPhoto : public CInGameDialog {
public:
    CDialogMHPhoto() : CInGameDialog("PickMHPhoto", {{"Continue", 3}}) {}
    ~CDialogMHPhoto() override;

    // Without an image the box keeps its designed size. Sums are 16-bit.
    void SetPhoto(const std::shared_ptr<aImage>& image, const std::wstring& text);
    void Hide() override;

protected:
    void InitParts() override;

private:
    CDesignedArea m_window, m_box, m_textWindow, m_text, m_continue;
};
