#pragma once
// What the investigation and its tip triggers use of the in-game dialog
// container: the game panel, the whole-set operations, the message, the tip
// balloons, the tutorial text, the card and photo dialogs, the hint balloon
// and the banner's run. The game reaches the real container through this
// (CGameDialogsLink); tests may note the calls on the way. Main thread only.
#include <cstdint>
#include <memory>
#include <string>

class aImage;
class CDialogSpyGamePanel;
class SaveLoadEntity;

class CInvestigationDialogs {
public:
    virtual ~CInvestigationDialogs() = default;

    // ---- The container
    // Null when the game has no panel.
    virtual CDialogSpyGamePanel* GetPanel() = 0;
    virtual void Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) = 0;
    virtual void Render() = 0;
    virtual void HideDialogs() = 0;
    virtual void HideAll() = 0;
    virtual void ShowMessage(const std::string& id, const std::string& prefix, bool timed) = 0;
    virtual void ShowPause(bool show) = 0;
    // The investigation-complete banner is growing, holding or fading.
    virtual bool IsBannerRunning() = 0;

    // ---- The message dialog
    virtual bool IsMessageVisible() = 0;
    virtual void HideMessage() = 0;
    virtual void SetMessagePersIcon(const std::string& personage) = 0;

    // ---- Tutorial tips
    // (x, y) -1 takes the tip's own point; true when the balloon opened.
    virtual bool ShowTip(const std::string& name, std::int32_t x, std::int32_t y) = 0;
    virtual bool CanShowTip(const std::string& name) = 0;
    virtual void ResetTipCounters(bool full) = 0;
    virtual bool IsTipShown() = 0;

    // ---- Modal dialogs
    virtual bool IsTutorialVisible() = 0;
    virtual void ShowTutorial(const std::string& textId) = 0;
    // The case card's image in the card dialog, shown.
    virtual void ShowInvCard(const std::shared_ptr<aImage>& card) = 0;
    virtual void ShowMHPhoto(const std::shared_ptr<aImage>& photo, const std::wstring& text) = 0;
    // Where the identified item is centred: false when there is no area.
    virtual bool GetIdentItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h) = 0;

    // ---- The hint balloon
    virtual bool IsHintVisible() = 0;
    virtual void HideHint() = 0;
    virtual bool CanShowHint(std::int32_t x, std::int32_t y) = 0;
    virtual void ShowHint(std::int32_t x, std::int32_t y, std::int32_t width, const std::string& key,
                          const std::string& prefix) = 0;

    // ---- Saved children of the investigation; null when absent
    virtual SaveLoadEntity* GetTipManagerEntity() = 0;
    virtual SaveLoadEntity* GetMessageEntity() = 0;

    // ---- Play: the modal dialogs, the comics and the tip balloon. A dialog
    // the container lacks reads 1 (hidden) and ignores its calls.
    enum class Modal {
        ItemIdent,
        EventForItem,
        PickItem,
        PickEvidence,
        MHPhoto,
        InvCard,
        SearchFinish,
        LocFinish,
        SolveConfirm,
        YesNo,
        OutOfTime,
        RandomClicking,
        Tutorial,
        TutorialBig,
        MarivelComment,
        MHInstruction,
        IntroText,
    };
    virtual void ShowModal(Modal which);
    virtual void HideModal(Modal which);
    // The dialog's state word (2 shown, 3 and up the button pressed).
    virtual std::int32_t GetModalState(Modal which);
    // The text of a string id under the prefix; an empty id clears it.
    virtual void SetModalText(Modal which, const std::string& id, const std::string& prefix);
    virtual void SetModalWideText(Modal which, const std::wstring& text);
    // The NPC picture or the photo, by image name (no group).
    virtual void SetModalImage(Modal which, const std::string& image);
    // Centred on the screen.
    virtual void CenterModal(Modal which);
    // Where the picked item is shown; false when there is no area.
    virtual bool GetPickItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h);
    virtual void PlayScene(const std::string& folder, const std::string& scene, bool skippable,
                           const std::string& music, const std::string& musicKey);
    virtual bool IsSceneOpen();
    virtual void HideTip();
    virtual bool IsPointerTip();
    virtual std::string GetTipPointName();
    // The name of the tip on screen; empty when none.
    virtual std::string GetShownTipName();
    // The investigation-complete banner; endGame shows the end-of-story picture.
    virtual void StartBanner(bool endGame);
};
