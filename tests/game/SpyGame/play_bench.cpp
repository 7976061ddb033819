#include "play_bench.h"

#include "engine/gui/gui_server.h"

namespace invtest {

void PlayDialogs::ShowModal(Modal which)
{
    add("Show:" + std::to_string(int(which)));
    states[which] = 2;
}

void PlayDialogs::HideModal(Modal which)
{
    add("Hide:" + std::to_string(int(which)));
    if (which == Modal::InvCard)
        RecordingDialogs::HideModal(which);
    states[which] = 1;
}

std::int32_t PlayDialogs::GetModalState(Modal which)
{
    if (which == Modal::InvCard)
        return RecordingDialogs::GetModalState(which);
    const auto it = states.find(which);
    return it == states.end() ? 1 : it->second;
}

void PlayDialogs::SetModalText(Modal which, const std::string& id, const std::string& prefix)
{
    texts[which] = prefix.empty() || id.empty() ? id : prefix + ":" + id;
}

void PlayDialogs::SetModalWideText(Modal which, const std::wstring& text)
{
    wideTexts[which] = text;
}

void PlayDialogs::CenterModal(Modal which)
{
    add("Center:" + std::to_string(int(which)));
}

bool PlayDialogs::GetPickItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h)
{
    x = pickArea.x;
    y = pickArea.y;
    w = pickArea.width;
    h = pickArea.height;
    return pickArea.width > 0;
}

void PlayDialogs::PlayScene(const std::string& folder, const std::string& scene, bool skippable,
                            const std::string& music, const std::string& musicKey)
{
    add("PlayScene(" + folder + "," + scene + "," + (skippable ? "1" : "0") + "," + music + "," + musicKey + ")");
    sceneOpen = true;
}

void PlayDialogs::StartBanner(bool endGame)
{
    add(endGame ? "StartBanner(1)" : "StartBanner(0)");
    RecordingDialogs::StartBanner(endGame);
}

bool PlayProbe::OnEvent(CSpyEventBase* event, const std::string& prefix)
{
    if (!act)
        return Probe::OnEvent(event, prefix);
    seen.push_back(prefix + ":" + event->GetEventName());
    return CInvestigation::OnEvent(event, prefix);
}

template <class Base>
void PlayBench<Base>::SetUp()
{
    InvestigationBench<Base>::SetUp();
    if (this->HasFatalFailure())
        return;
    this->inv.reset();
    this->dialogs = std::make_unique<PlayDialogs>(*this->container);
    this->inv = std::make_unique<PlayProbe>();
    this->dialogs->layers = &this->inv->layers;
}

template <class Base>
void PlayBench<Base>::startCase()
{
    this->addBoards();
    this->writeCase(kCaseIni);
    this->playCase();
    play().introTextPending = 0;
}

template <class Base>
void PlayBench<Base>::enterRoom(const std::string& name, std::uint32_t state)
{
    PlayProbe& inv = play();
    if (inv.currentRoom)
        inv.currentRoom->Exit();
    inv.currentRoom = this->room(name);
    inv.currentRoom->Entry(0);
    inv.state = state;
    inv.previousState = InvState::Play;
    inv.history.clear();
    inv.UpdatePanelButtons();
}

template <class Base>
void PlayBench<Base>::huntCard(const std::string& room, std::uint8_t state)
{
    ASSERT_GT(this->hunt->GetCardCount(), 0u);
    CMurderHunt::Card& card = *this->hunt->GetCard(0);
    card.cardRoom = room;
    card.state = CMurderHunt::NotBegun;
    this->hunt->EntryNewInvestigation(room);
    ASSERT_EQ(this->hunt->GetCurrentCardRoom(), room);
    card.state = state;
}

template <class Base>
void PlayBench<Base>::mouse(std::int32_t x, std::int32_t y, std::uint32_t button)
{
    aInputServer* input = g_application->m_inputServer;
    input->setMousePos(x, y);
    input->m_mouseButtons[0] = button;
}

template <class Base>
void PlayBench<Base>::releaseMouse()
{
    g_application->m_inputServer->m_mouseButtons[0] = KEY_UP;
}

template class PlayBench<dialogtest::RecordingDialogBench>;
template class PlayBench<dialogtest::GlDialogBench>;

} // namespace invtest
