#pragma once
// The investigation's view of the real in-game dialogs: the panel, the tip
// manager, the investigation-complete banner, the hint balloon and the
// case-card dialog, each optional. A part left null answers as the
// panel-only container does. Main thread only.
#include "game/SpyGame/InvestigationDialogs.h"

class CDialogHint;
class CDialogInvCard;
class CInvestigationBanner;
class CTipManager;

struct CInvestigationDialogParts {
    CDialogSpyGamePanel* panel = nullptr;
    CTipManager* tips = nullptr;
    CInvestigationBanner* banner = nullptr;
    CDialogHint* hint = nullptr;
    CDialogInvCard* invCard = nullptr;
};

class CGameDialogsLink : public CPanelOnlyDialogs {
public:
    explicit CGameDialogsLink(const CInvestigationDialogParts& parts);

    // The GUI, then the panel, the hint balloon, the banner, the tips and
    // the card, each with the frame.
    void Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) override;
    // The GUI, then the banner over it.
    void Render() override;
    void HideDialogs() override;
    void HideAll() override;
    bool IsBannerRunning() override;

    bool ShowTip(const std::string& name, std::int32_t x, std::int32_t y) override;
    bool CanShowTip(const std::string& name) override;
    void ResetTipCounters(bool full) override;
    bool IsTipShown() override;

    void ShowInvCard(const std::shared_ptr<aImage>& card) override;

    bool IsHintVisible() override;
    void HideHint() override;
    bool CanShowHint(std::int32_t x, std::int32_t y) override;
    void ShowHint(std::int32_t x, std::int32_t y, std::int32_t width, const std::string& key,
                  const std::string& prefix) override;

    SaveLoadEntity* GetTipManagerEntity() override;

    // The card dialog and the tips of the play step.
    void HideModal(Modal which) override;
    std::int32_t GetModalState(Modal which) override;
    void HideTip() override;
    bool IsPointerTip() override;
    std::string GetTipPointName() override;
    std::string GetShownTipName() override;
    void StartBanner(bool endGame) override;

    const CInvestigationDialogParts& GetParts() const { return m_parts; }

private:
    CInvestigationDialogParts m_parts;
};
