#pragma once
// The investigation bench for the play: modal dialogs that note what they
// were given and answer with the state word a test sets, an investigation
// whose timers and flags tests read, and direct mouse and key states.
#include <map>

#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "game/SpyGame/InvestigationStateIds.h"
#include "investigation_bench.h"

namespace invtest {

using Modal = CInvestigationDialogs::Modal;

class PlayDialogs : public RecordingDialogs {
public:
    using RecordingDialogs::RecordingDialogs;

    void ShowModal(Modal which) override;
    void HideModal(Modal which) override;
    std::int32_t GetModalState(Modal which) override;
    void SetModalText(Modal which, const std::string& id, const std::string& prefix) override;
    void SetModalWideText(Modal which, const std::wstring& text) override;
    void SetModalImage(Modal which, const std::string& image) override { images[which] = image; }
    void CenterModal(Modal which) override;
    bool GetPickItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h) override;
    void PlayScene(const std::string& folder, const std::string& scene, bool skippable, const std::string& music,
                   const std::string& musicKey) override;
    bool IsSceneOpen() override { return sceneOpen; }
    void StartBanner(bool endGame) override;

    // The card dialogs answer through the link, every other through states.
    std::map<Modal, std::int32_t> states;
    std::map<Modal, std::string> texts;
    std::map<Modal, std::wstring> wideTexts;
    std::map<Modal, std::string> images;
    bool sceneOpen = false;
    aRect pickArea{0, 0, 0, 0};
};

class PlayProbe : public Probe {
public:
    using CInvestigation::clicksLimit;
    using CInvestigation::highlightedItems;
    using CInvestigation::highlightPhase;
    using CInvestigation::idleTimer;
    using CInvestigation::idleTipIndex;
    using CInvestigation::introTextPending;
    using CInvestigation::mapLocation;
    using CInvestigation::marivelCommentShown;
    using CInvestigation::randomClickingShown;
    using CInvestigation::skipTimer;
    using CInvestigation::taskCounters;
    using CInvestigation::timeBetweenClicks;
    using CInvestigation::useHintsTipShown;
    using CInvestigation::findAll;
    using CInvestigation::name;
    using CInvestigation::multiClickSound;
    using CInvestigation::PlayCaseMusic;

    // With act set, ready events are carried out as the game does.
    bool OnEvent(CSpyEventBase* event, const std::string& prefix) override;
    bool act = false;
};

template <class Base>
class PlayBench : public InvestigationBench<Base> {
protected:
    void SetUp() override;

    // The fixture case with the boards, played from its start, no introduction.
    void startCase();
    // The room current and entered in that state (5 to return to), no history.
    void enterRoom(const std::string& name, std::uint32_t state = InvState::Play);
    // The hunt's first card made current in the room, in that state.
    void huntCard(const std::string& room, std::uint8_t state);
    PlayProbe& play() { return static_cast<PlayProbe&>(*this->inv); }
    PlayDialogs& modals() { return static_cast<PlayDialogs&>(*this->dialogs); }
    // The left button's state for the next step (2 pressed), at (x, y).
    void mouse(std::int32_t x, std::int32_t y, std::uint32_t button = KEY_PRESSED);
    void releaseMouse();
    std::string modalText(Modal which) { return modals().texts[which]; }
    std::uint32_t step(float dt = 0.02f) { return this->inv->Update(dt); }
};

using PlayTest = PlayBench<dialogtest::RecordingDialogBench>;
using PlayGlTest = PlayBench<dialogtest::GlDialogBench>;

} // namespace invtest
