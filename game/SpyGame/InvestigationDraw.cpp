#include <vector>

#include "engine/gfx/a_flash_player.h"
#include "engine/gfx/a_font.h"
#include "engine/gfx/a_gdi.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/shell/c_res_manager.h"

namespace {

enum class Layers { RoomsDialogsCursor, RoomsDialogsPicked, RoomsDialogsIdentified, RoomsDialogsEye, RoomsDialogs,
                    Dialogs, Flash, FlashDialogs, Error };

Layers layersOf(std::uint32_t state)
{
    switch (state) {
    case 5: case 6: case 7: case 12: case 13: case 20: case 26: case 28:
        return Layers::RoomsDialogsCursor;
    case 8:
        return Layers::RoomsDialogsPicked;
    case 14:
        return Layers::RoomsDialogsIdentified;
    case 31:
        return Layers::RoomsDialogsEye;
    case 9: case 10: case 11: case 15: case 16: case 21: case 22: case 23: case 24: case 25: case 29: case 32:
    case 33: case 36: case 37: case 38: case 39: case 40: case 41: case 42:
        return Layers::RoomsDialogs;
    case 17: case 30:
        return Layers::Dialogs;
    case 18:
        return Layers::Flash;
    case 19:
        return Layers::FlashDialogs;
    default:
        return Layers::Error;
    }
}

aGraphServer* graphServer()
{
    return g_application ? g_application->m_graphServer : nullptr;
}

} // namespace

void CInvestigation::Draw()
{
    const Layers layers = layersOf(state);
    switch (layers) {
    case Layers::Error:
        DrawErrorLine();
        return;
    case Layers::Flash:
    case Layers::FlashDialogs:
        DrawFlash();
        if (layers == Layers::FlashDialogs && dialogs)
            dialogs->Render();
        return;
    case Layers::Dialogs:
        if (dialogs)
            dialogs->Render();
        return;
    default:
        break;
    }
    DrawRooms();
    if (dialogs)
        dialogs->Render();
    switch (layers) {
    case Layers::RoomsDialogsCursor:
        if (currentRoom)
            currentRoom->DrawCursorItem();
        break;
    case Layers::RoomsDialogsPicked:
        if (pickedItem)
            pickedItem->DrawIcon();
        break;
    case Layers::RoomsDialogsIdentified:
        DrawIdentifiedItem();
        break;
    case Layers::RoomsDialogsEye:
        DrawEye();
        break;
    default:
        break;
    }
}

void CInvestigation::DrawErrorLine() const
{
    GUI::Server* gui = GUI::Server::getSingletonPtr();
    aFont* font = gui ? gui->GetFont("sys_s") : nullptr;
    if (!font)
        return;
    const std::uint32_t color = font->color;
    font->color = 0xFFFF0000;
    font->drawString(0.0f, 0.0f, "Error - unknown state!", 0);
    font->color = color;
}

void CInvestigation::DrawIdentifiedItem() const
{
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    if (!identifiedItem || !dialogs || !dialogs->GetIdentItemArea(x, y, w, h))
        return;
    float oldX = 0.0f, oldY = 0.0f;
    identifiedItem->GetPos(oldX, oldY);
    const float oldZoom = identifiedItem->GetZoom();
    const bool oldVisible = identifiedItem->IsVisible();
    identifiedItem->SetZoom(1.0f, false);
    const std::int32_t left = x + (w - identifiedItem->GetWidthRounded()) / 2;
    const std::int32_t top = y + (h - identifiedItem->GetHeightRounded()) / 2;
    identifiedItem->SetPos(float(left), float(top), false);
    identifiedItem->SetVisible(true);
    identifiedItem->Draw();
    identifiedItem->SetZoom(oldZoom, false);
    identifiedItem->SetPos(oldX, oldY, false);
    identifiedItem->SetVisible(oldVisible);
}

void CInvestigation::DrawEye() const
{
    aImage* eye = resManager ? resManager->GetImageManager()->GetImage("eye", "GamePanel") : nullptr;
    aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
    if (!eye || !input)
        return;
    std::int32_t mx = 0, my = 0;
    input->getMousePos(mx, my);
    const float left = float(mx - eye->getWidth() / 2);
    const float top = float(my) - float(eye->getHeight()) / 3.5f;
    eye->draw(left, top);
}

void CInvestigation::DrawFlash()
{
    aGraphServer* graph = graphServer();
    if (!flash || !graph)
        return;
    const D3DXVECTOR2 scale{float(graph->m_backBufferWidth) / float(kFlashWidth),
                            float(graph->m_backBufferHeight) / float(kFlashHeight)};
    const aRect source(0, 0, std::int16_t(kFlashWidth), std::int16_t(kFlashHeight));
    flash->draw(0.0f, 0.0f, source, 0xFFFFFFFF, &scale, 0.0f, nullptr);
}

void CInvestigation::DrawRooms()
{
    if (!currentRoom)
        return;
    std::vector<CRoomBase*> stack{currentRoom};
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        const CRoomBase* top = stack.back();
        if (top->GetAlpha() >= 1.0f && top->GetScaledWidth() >= std::uint16_t(area.width)
            && top->GetScaledHeight() >= std::uint16_t(area.height))
            break;
        if (*it)
            stack.push_back(*it);
    }
    aGDI gdi;
    gdi.m_graphServer = graphServer();
    for (std::size_t i = stack.size(); i-- > 0;) {
        stack[i]->Draw();
        if (i == 0)
            break;
        const std::uint8_t alpha = i == 1 ? std::uint8_t(fadeAlpha * float(kVeilAlpha)) : kVeilAlpha;
        gdi.m_color = std::uint32_t(alpha) << 24;
        gdi.drawRectangle(area, true);
    }
}

// ------------------------------------------------------------------ boards

bool CInvestigation::OpenMurderHunt()
{
    if (!murderHunt)
        return false;
    switch (state) {
    case StateReady:
    case StateInvCards:
        break;
    case StatePlay:
    case StateMap:
        if (currentRoom)
            history.push_back(currentRoom);
        break;
    case StateGoBack:
        break;
    default:
        return false;
    }
    if (state != StateGoBack) {
        if (currentRoom)
            currentRoom->Exit();
        currentRoom = murderHunt;
    }
    if (currentRoom)
        currentRoom->Entry(0);
    UpdatePanelButtons();
    SetPanelButtonEnabled(CDialogSpyGamePanel::BtnCardRoom, true);
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetRoomPause(true);
    state = StateMurderHunt;
    return true;
}

bool CInvestigation::OpenInvCards()
{
    if (!invCards)
        return false;
    switch (state) {
    case StateReady:
    case StateMurderHunt:
        break;
    case StatePlay:
    case StateMap:
        if (currentRoom)
            history.push_back(currentRoom);
        break;
    default:
        return false;
    }
    if (currentRoom)
        currentRoom->Exit();
    currentRoom = invCards;
    currentRoom->Entry(0);
    UpdatePanelButtons();
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetRoomPause(true);
    state = StateInvCards;
    return true;
}

// ------------------------------------------------------------------ clearing

void CInvestigation::Clear()
{
    if (state <= StateInitialised)
        return;
    Exit();
    if (rooms)
        rooms->RemoveRooms();
    if (personages)
        personages->Clear();
    if (CDialogSpyGamePanel* panel = Panel())
        panel->Clear();
    if (aLocaleServer* locale = resManager ? resManager->GetLocaleServer() : nullptr) {
        locale->unloadFile(kCommonText, name);
        if (!textFile.empty())
            locale->unloadFile(textFile, name);
    }
    events.Clear();
    // Everything below pointed into the rooms and events just removed.
    currentRoom = nullptr;
    history.clear();
    highlightedItems.clear();
    pickedItem = nullptr;
    identifiedItem = nullptr;
    currentEvent = nullptr;
    name.clear();
    music.clear();
    state = StateInitialised;
}
