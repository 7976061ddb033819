#pragma once
// The modal boxes that interrupt play: confirmations, notices at the end of
// a search or location, the in-game menu, texts that go with a found or
// applied item. Each wraps one window of the GUI scripts; the owner shows
// it, polls GetState every frame for the button pressed (3 and up) and
// hides it itself. Every window reads 2 while it is drawn. A window or child
// missing from the scripts is logged once at Init; what needs it then does
// nothing. Main thread only.
//
// The boxes that grow with their text are in DialogTextBox.h, the
// murder-hunt photo in DialogMHPhoto.h.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/Dialogs/DialogBase.h"
#include "game/SpyGame/Dialogs/DialogHelpers.h"

class aImage;
class aSound;

// A screen point.
struct CDialogPoint {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

// A dialog on one window whose buttons give results.
class CInGameDialog : public CDialogBase {
public:
    struct Button {
        const char* name;
        std::int32_t result;
    };

    // Finds the window and its buttons and starts hidden; once.
    void Init() override;

protected:
    CInGameDialog(const char* windowName, std::initializer_list<Button> buttons);
    // Finds the children the dialog needs and keeps designed areas; Init
    // calls it once the window was looked up.
    virtual void InitParts() {}
    bool Initialised() const { return m_state != kStateNew; }
    // The text on the widget, laid out at once.
    static void SetLaidOutText(GUI::Widget* widget, const std::wstring& text);

private:
    const char* m_windowName;
    std::vector<Button> m_buttons;
};

class CDialogConfirmSaveExit : public CInGameDialog {
public:
    CDialogConfirmSaveExit() : CInGameDialog("ConfirmSaveExit", {{"btn_yes", 3}, {"btn_no", 4}}) {}
};

class CDialogHelpPers : public CInGameDialog {
public:
    CDialogHelpPers() : CInGameDialog("PersonagesHelp", {{"Continue", 3}}) {}
};

class CDialogInGameMenu : public CInGameDialog {
public:
    CDialogInGameMenu() : CInGameDialog("InGameMenu", {{"resume", 3}, {"options", 4}, {"exit", 5}, {"help", 6}}) {}
};

class CDialogMHFinish : public CInGameDialog {
public:
    CDialogMHFinish() : CInGameDialog("MHFinish", {{"Ok", 3}}) {}
};

// 3 on a click on the instruction's picture.
class CDialogMHInstraction : public CInGameDialog {
public:
    CDialogMHInstraction() : CInGameDialog("MHInstruction", {{"image", 3}}) {}
};

class CDialogPickEvidence : public CInGameDialog {
public:
    CDialogPickEvidence() : CInGameDialog("PickEvidence", {{"Continue", 3}}) {}
};

class CDialogSolveConfirm : public CInGameDialog {
public:
    CDialogSolveConfirm() : CInGameDialog("SolveConfirm", {{"Yes", 3}, {"No", 4}}) {}
};

// Texts through CDialogBase::SetText.
class CDialogSearchFinish : public CInGameDialog {
public:
    CDialogSearchFinish() : CInGameDialog("SearchFinish", {{"Ok", 3}}) {}
};

class CDialogLocFinish : public CInGameDialog {
public:
    CDialogLocFinish() : CInGameDialog("LocFinish", {{"Ok", 3}}) {}
    void SetTextById(const std::string& key, const std::string& prefix) { SetText(DialogText(key, prefix)); }
};

// The item the player picked is drawn over "ItemArea" by the investigation.
class CDialogPickItem : public CInGameDialog {
public:
    CDialogPickItem() : CInGameDialog("PickItem", {{"Continue", 3}}) {}
    // "ItemArea" on screen; empty without it.
    aRect GetItemArea() const;

protected:
    void InitParts() override { m_itemArea = GUI::WidgetRef(FindWidget("ItemArea")); }

private:
    GUI::WidgetRef m_itemArea;
};

// A text and an NPC's picture that go with an item.
class CDialogEventForItem : public CInGameDialog {
public:
    CDialogEventForItem() : CInGameDialog("EventForItem", {{"Continue", 3}}) {}
    void SetTextById(const std::string& key, const std::string& prefix);
    // The whole image on "NPC"; null clears it.
    void SetNpcImage(const std::shared_ptr<aImage>& image);

protected:
    void InitParts() override;

private:
    GUI::WidgetRef m_text, m_npc;
};

// An item shown large with a text in "DialogWindow" and an NPC's picture.
class CDialogItemIdent : public CInGameDialog {
public:
    CDialogItemIdent() : CInGameDialog("ItemIdent", {{"Continue", 3}}) {}
    void SetTextById(const std::string& key, const std::string& prefix);
    void SetNpcImage(const std::shared_ptr<aImage>& image);
    // Where the item is drawn: "IdentItem"'s position plus the window's.
    CDialogPoint GetIdentItemPos() const;
    // "IdentItem" on screen; empty without it.
    aRect GetIdentItemRect() const;

protected:
    void InitParts() override;

private:
    GUI::WidgetRef m_text, m_npc, m_identItem;
};

class CDialogOutOfTime : public CInGameDialog {
public:
    CDialogOutOfTime() : CInGameDialog("MessageOutOfTime", {{"Ok", 3}}) {}
    // Plays "level_failed" when it was found at Init.
    void Show() override;

protected:
    void InitParts() override;

private:
    aSound* m_sound = nullptr;  // the sound manager's
};

class CDialogRandomClicking : public CInGameDialog {
public:
    CDialogRandomClicking() : CInGameDialog("MessageRandomClicking", {{"Ok", 3}}) {}
    // The image of that name (no group) on "photo_box"; none when missing.
    void SetPhoto(const std::string& name);

protected:
    void InitParts() override { m_photo = GUI::WidgetRef(FindWidget("photo_box")); }

private:
    GUI::WidgetRef m_photo;
};

// A question with a text.
class CDialogYesNo : public CInGameDialog {
public:
    CDialogYesNo() : CInGameDialog("DialogYesNo", {{"Yes", 3}, {"No", 4}}) {}
    ~CDialogYesNo() override;
    // Sets the text of "text"; no layout here.
    void SetTextById(const std::string& key, const std::string& prefix);
    void ShowText(const std::string& key, const std::string& prefix);
    // The designed size centred in the rectangle (null: the screen),
    // half a pixel toward the top left.
    void CenterInRect(const aRect* rect = nullptr);

protected:
    void InitParts() override;

private:
    GUI::WidgetRef m_text;
    CDesignedArea m_designed;
};
