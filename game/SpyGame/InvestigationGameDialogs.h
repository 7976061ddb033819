#pragma once
// The investigation's view of the whole in-game dialog container: every
// dialog, the message, the comics and the pause window come from it, the
// tips, banner, hint balloon and card as the link already reaches them.
// The container must outlive this view. Main thread only.
#include "game/SpyGame/GameDialogsLink.h"

class CDialogBase;
class CGameDialogs;

class CInvestigationGameDialogs : public CGameDialogsLink {
public:
    explicit CInvestigationGameDialogs(CGameDialogs& dialogs);

    void Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) override;
    void Render() override;
    void HideDialogs() override;
    void HideAll() override;
    void ShowMessage(const std::string& id, const std::string& prefix, bool timed) override;
    void ShowPause(bool show) override;
    bool IsMessageVisible() override;
    void HideMessage() override;
    void SetMessagePersIcon(const std::string& personage) override;
    bool IsTutorialVisible() override;
    void ShowTutorial(const std::string& textId) override;
    void ShowMHPhoto(const std::shared_ptr<aImage>& photo, const std::wstring& text) override;
    bool GetIdentItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h) override;
    SaveLoadEntity* GetMessageEntity() override;

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

    CDialogBase* GetModal(Modal which) const;

private:
    CGameDialogs& m_game;
};
