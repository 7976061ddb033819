#pragma once
// Boxes of tutorial and story text that grow downward to fit their text:
// the text pushes the button and the box's bottom edge down, and the window
// and its background picture lengthen by as much; a text that fits puts the
// designed layout back. The window is a picture (a StaticImage) whose source
// rectangle lengthens with it, so a tall picture shows more of itself.
// Children: "text", the button, "bottom". Main thread only.
#include <string>

#include "game/SpyGame/Dialogs/InGameDialogs.h"

class CDialogTextBox : public CInGameDialog {
public:
    // Puts every area and the picture's source rectangle back.
    ~CDialogTextBox() override;

    // The text of the key under the prefix, laid out; does not show the box.
    void SetTextById(const std::string& key, const std::string& prefix);
    void ResizeToText(const std::wstring& text);

protected:
    CDialogTextBox(const char* windowName, const char* buttonName);
    void InitParts() override;

private:
    void RestoreDesigned();

    const char* m_buttonName;
    CDesignedArea m_window, m_text, m_button, m_bottom;
    aRect m_imageRect;
};

class CDialogTutorialModal : public CDialogTextBox {
public:
    CDialogTutorialModal() : CDialogTextBox("TutorialModal", "Ok") {}
};

class CDialogTutorialModalBig : public CDialogTextBox {
public:
    CDialogTutorialModalBig() : CDialogTextBox("TutorialModalBig", "Ok") {}
};

// The novelist's comment.
class CDialogMarivelComment : public CDialogTextBox {
public:
    CDialogMarivelComment() : CDialogTextBox("MarivelComment", "Continue") {}
};

// The case's introduction.
class CDialogMsgIntroText : public CDialogTextBox {
public:
    CDialogMsgIntroText() : CDialogTextBox("MesIntroText", "ok") {}
};
