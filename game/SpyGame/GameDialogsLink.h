#pragma once
// The investigation's view of the in-game dialog container: the panel, the
// whole-set operations, the message, the tip manager, the banner, the hint
// balloon, the case card, the murder-hunt photo, the tutorial text and the
// identification dialog's item area, each the container's own. Main thread
// only.
#include "game/SpyGame/InvestigationDialogs.h"

class CDialogBase;
class CGameDialogs;

class CGameDialogsLink : public CInvestigationDialogs {
public:
    explicit CGameDialogsLink(CGameDialogs& container);

    CDialogSpyGamePanel* GetPanel() override;
    void Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) override;
    void Render() override;
    void HideDialogs() override;
    void HideAll() override;
    void ShowMessage(const std::string& id, const std::string& prefix, bool timed) override;
    void ShowPause(bool show) override;
    bool IsBannerRunning() override;

    bool IsMessageVisible() override;
    void HideMessage() override;
    void SetMessagePersIcon(const std::string& personage) override;

    bool ShowTip(const std::string& name, std::int32_t x, std::int32_t y) override;
    bool CanShowTip(const std::string& name) override;
    void ResetTipCounters(bool full) override;
    bool IsTipShown() override;

    bool IsTutorialVisible() override;
    void ShowTutorial(const std::string& textId) override;
    void ShowInvCard(const std::shared_ptr<aImage>& card) override;
    void ShowMHPhoto(const std::shared_ptr<aImage>& photo, const std::wstring& text) override;
    bool GetIdentItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h) override;

    bool IsHintVisible() override;
    void HideHint() override;
    bool CanShowHint(std::int32_t x, std::int32_t y) override;
    void ShowHint(std::int32_t x, std::int32_t y, std::int32_t width, const std::string& key,
                  const std::string& prefix) override;

    SaveLoadEntity* GetTipManagerEntity() override;
    SaveLoadEntity* GetMessageEntity() override;

    // The play step's dialogs, comics, tips and banner.
    void ShowModal(Modal which) override;
    void HideModal(Modal which) override;
    std::int32_t GetModalState(Modal which) override;
    void SetModalText(Modal which, const std::string& id, const std::string& prefix) override;
    void SetModalWideText(Modal which, const std::wstring& text) override;
    void SetModalImage(Modal which, const std::string& image) override;
    void CenterModal(Modal which) override;
    bool GetPickItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h) override;
    void PlayScene(const std::string& folder, const std::string& scene, bool skippable, const std::string& music,
                   const std::string& musicKey) override;
    bool IsSceneOpen() override;
    void HideTip() override;
    bool IsPointerTip() override;
    std::string GetTipPointName() override;
    std::string GetShownTipName() override;
    void StartBanner(bool endGame) override;
    CDialogBase* GetModal(Modal which) const;

    CGameDialogs& GetContainer() const { return m_container; }

private:
    CGameDialogs& m_container;
};
