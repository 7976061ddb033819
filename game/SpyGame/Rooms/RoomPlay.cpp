// Play in a room: the per-frame update, clicks on items and on the
// inventory strip, carrying and applying items, picking, and hints.
#include <algorithm>
#include <cmath>

#include "engine/gfx/a_particle_system.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemKinds.h"

namespace {

constexpr const char* kClueUse = "CLUE";
constexpr const char* kEvidenceUse = "EVIDENCE";
constexpr const char* kEvidenceWtUse = "EVIDENCE_WT";

} // namespace

void CRoomBase::GetMouse(std::int32_t& x, std::int32_t& y) const
{
    x = y = 0;
    if (const aInputServer* input = m_manager ? m_manager->GetServices().input : nullptr)
        input->getMousePos(x, y);
}

void CRoomBase::Message(const std::string& id, const std::string& prefix) const
{
    if (!id.empty())
        Context().ShowMessage(id, prefix, true);
}

bool CRoomBase::IsItemBusy() const
{
    for (const CSpyItem* item : m_items->GetItems())
        if (item->IsBusy())
            return true;
    return false;
}

bool CRoomBase::IsBusy() const { return m_result == ResultBusy || IsItemBusy(); }

// ------------------------------------------------------------------ update

int CRoomBase::Update(float dt, bool passive)
{
    if (!std::isfinite(dt) || dt < 0.0f)
        dt = 0.0f;
    m_items->Update(dt);
    m_ambient.Update(dt);
    if (m_hintStars) {
        m_hintStars->update(dt);
        m_hintTime -= dt;
        if (m_hintTime <= 0.0f)
            m_hintStars->stop();
        if (!m_hintStars->isRunning() && m_hintStars->getLiveCount() == 0)
            m_hintStars.reset();
    }
    if (m_result == ResultBusy && !IsItemBusy()) {
        m_result = ResultNone;
        RefreshItemState();
    }
    std::int32_t x = 0, y = 0;
    GetMouse(x, y);
    UpdateHover(x, y, !passive && m_flags[FlagHover] != 0);

    // A result the investigation has not taken yet stands.
    if (m_result != ResultNone || passive || !m_flags[FlagInput])
        return m_result;
    const aInputServer* input = m_manager ? m_manager->GetServices().input : nullptr;
    if (!input || input->m_mouseButtons[0] != KEY_PRESSED)
        return m_result;
    if (IsPressCovered(x, y))
        return m_result;
    ClickAtFocusedItem();
    return m_result;
}

bool CRoomBase::IsPressCovered(std::int32_t x, std::int32_t y) const
{
    CRoomContext& context = Context();
    return context.IsPointInside(x, y) || context.IsPointOverBox(x, y) || context.TipTakesPress(IsFindableAt(x, y));
}

bool CRoomBase::IsFindableAt(std::int32_t x, std::int32_t y) const
{
    if (m_cursorItem)
        return false;  // a carried item is applied, not found
    const CSpyItem* item = m_items->GetItemAt(float(x), float(y));
    return item && item->IsClickable() && item->IsPickable() && item->GetClickAction() == CSpyItem::NoAction &&
           IsAskedFor(*item);
}

void CRoomBase::UpdateHover(std::int32_t x, std::int32_t y, bool enabled)
{
    CSpyItem* over = nullptr;
    if (enabled) {
        m_items->UpdateHover(float(x), float(y));
        over = m_items->GetItemAt(float(x), float(y));
    } else {
        for (CSpyItem* item : m_items->GetItems())
            item->SetHover(false);
    }
    GUI::Server* gui = m_manager ? m_manager->GetServices().res.gui : nullptr;
    // The room's cursors replace the one the GUI shows; without one there
    // is nothing to come back to, so the room leaves the cursor alone.
    if (!over || !gui || (!gui->cursor && !m_ownCursor)) {
        RestoreCursor();
        return;
    }
    const CRoomsSettings& s = m_manager->GetSettings();
    const std::string& name = dynamic_cast<const CSpyDoor*>(over) ? s.doorCursor : s.itemCursor;
    // A cursor the GUI lacks (no log: this runs every frame) leaves its own.
    if (!gui->cursors.count(name)) {
        RestoreCursor();
        return;
    }
    if (!m_ownCursor) {
        m_savedCursor = gui->cursor->GetName();
        m_ownCursor = true;
    }
    gui->SetCursor(name);
}

void CRoomBase::RestoreCursor() const
{
    if (!m_ownCursor)
        return;
    m_ownCursor = false;
    if (GUI::Server* gui = m_manager ? m_manager->GetServices().res.gui : nullptr)
        gui->SetCursor(m_savedCursor);
}

// ------------------------------------------------------------------ clicks

void CRoomBase::ClickAtFocusedItem()
{
    std::int32_t x = 0, y = 0;
    GetMouse(x, y);
    if (m_entered && ShowsInventory() && m_manager) {
        const aRect& strip = m_manager->GetSettings().inventoryRect;
        if (x >= strip.x && x < strip.right() && y >= strip.y && y < strip.bottom()) {
            ClickStrip(x, y);
            return;
        }
    }
    CSpyItem* item = m_items->GetItemAt(float(x), float(y));
    if (m_cursorItem) {
        if (item)
            ApplyCarriedItem(*item);
        else
            DropCursorItem();
        return;
    }
    if (item)
        ClickItem(*item);
}

void CRoomBase::ClickStrip(std::int32_t x, std::int32_t y)
{
    (void)y;
    const CRoomsSettings& s = m_manager->GetSettings();
    const std::vector<CSpyItem*>& inventory = m_manager->GetInventory();
    const std::size_t slot = std::size_t(x - s.inventoryRect.x) / std::max<std::size_t>(s.slotWidth, 1);
    CSpyItem* item = slot < inventory.size() ? inventory[slot] : nullptr;
    const bool sameSlot = item == m_cursorItem;
    DropCursorItem();
    if (!item || sameSlot)
        return;
    m_cursorItem = item;
    const CSpyItemRef big = Context().GetItemCursorBigItem(item->GetItemRef());
    if (big.name.empty())
        return;
    const CSpyItem* source = m_manager->GetItem(big.room.empty() ? item->GetRoomName() : big.room, big.name);
    if (source)
        m_bigCursor = source->Clone();
    else
        a_log("CRoomBase. Room '%s': the big cursor item '%s' of '%s' does not exist", m_name.c_str(),
              big.ToString().c_str(), item->GetName().c_str());
}

void CRoomBase::ClickItem(CSpyItem& item)
{
    CRoomContext& context = Context();
    const CSpyItemRef ref = item.GetItemRef();
    m_oneShot = true;
    context.HasItemInfo(item.GetName());
    const std::string stateBefore = item.GetVisualState();
    const bool visibleBefore = item.IsVisible();
    const int result = item.Click();
    switch (result) {
    case CSpyItem::ResultGoTo:
        m_targetRoom = static_cast<CSpyDoor&>(item).GetTarget();
        m_result = ResultGoTo;
        return;
    case CSpyItem::ResultCloseUp:
        m_closeUpRoom = static_cast<CSpyDoor&>(item).GetCloseUp();
        m_result = ResultCloseUp;
        return;
    case CSpyItem::ResultLocked:
        Message(context.ClickItemAndGetBadUse(ref), item.GetRoomName());
        return;
    case CSpyItem::ResultHelp:
    case CSpyItem::ResultBigHelp:
    case CSpyItem::ResultComment:
        m_helpTextId = item.GetHelpText().empty() ? m_helpText : item.GetHelpText();
        m_result = result;
        return;
    case CSpyItem::ResultPick:
        if (!IsAskedFor(item))
            return;
        m_clickedItem = &item;
        m_result = ResultPick;
        return;
    case CSpyItem::ResultBusy:
        m_result = ResultBusy;
        return;
    default:
        break;
    }
    // A box that toggled, or a heap that cleared, has answered the click.
    if (item.IsBusy() || item.GetVisualState() != stateBefore || item.IsVisible() != visibleBefore) {
        RefreshItemState();
        return;
    }
    const std::string clickUse = context.GetItemClickUse(ref);
    if (clickUse == kClueUse)
        m_clueFound = true;
    if (context.IsItemUseToOneself(ref)) {
        context.OnClickAtFocusedItem(ref);
        Message(clickUse, item.GetRoomName());
        return;
    }
    Message(context.GetItemAbout(ref), item.GetRoomName());
}

bool CRoomBase::IsAskedFor(const CSpyItem& item) const
{
    // Picked before its line is dealt, an object could never be struck off
    // (Find All deals lines for objects already gone).
    if (!item.IsISpyItem())
        return true;
    CRoomContext& context = Context();
    const std::string& room = item.GetRoomName();
    bool anyLine = false;
    for (const std::vector<CFindItemsGroup>* list :
         {context.GetTaskList(room), context.GetISpyList(room), context.GetClueList(room)}) {
        if (!list)
            continue;
        for (const CFindItemsGroup& group : *list) {
            anyLine = true;
            if (const CFindItem* entry = group.GetItem(item.GetName()); entry && !entry->IsFound())
                return true;
        }
    }
    return !anyLine;
}

void CRoomBase::ApplyCarriedItem(CSpyItem& target)
{
    CRoomContext& context = Context();
    CSpyItem& held = *m_cursorItem;
    const CSpyItemRef heldRef = held.GetItemRef();
    const CSpyItemRef targetRef = target.GetItemRef();
    if (!context.CanUseItemTo(held.GetName(), targetRef)) {
        const std::string text = context.ClickItemAndGetBadUse(targetRef);
        if (text.empty())
            Message(kBadUse, std::string());
        else
            Message(text, target.GetRoomName());
        return;
    }
    context.HasItemInfo(target.GetName());
    context.OnApplyItemToFocusedItem(heldRef);
    // Item texts are looked up under the item's home room.
    Message(context.GetItemSuccessApply(heldRef.ToString()), held.GetRoomName());
    target.ApplyItem(heldRef);
    target.MarkAction(CSpyItem::ActionUse);
    held.MarkAction(CSpyItem::ActionApply);
    DropCursorItem();
    if (!held.KeepAfterUse()) {
        m_manager->RemoveFromInventory(&held);
        held.SetInInventory(false);
    }
    if (target.IsBusy())
        m_result = ResultBusy;
    RefreshItemState();
}

void CRoomBase::PutPickedItemToInventory()
{
    CSpyItem* item = m_clickedItem;
    if (!item || m_result != ResultPick)
        return;
    CRoomContext& context = Context();
    context.MarkFocusedItemAndApplyScripts();
    item->Pick();
    context.AddFoundItem(item->GetName());
    const std::string clickUse = context.GetItemClickUse(item->GetItemRef());
    if (clickUse == kClueUse)
        m_clueFound = true;
    else if (clickUse == kEvidenceUse || clickUse == kEvidenceWtUse)
        context.MarkItemTask(item->GetName());
    if (item->HasExtraHint())
        context.AddExtraHint();
    if (item->IsInventoryItem() && m_manager)
        m_manager->AddToInventory(item);
    if (m_manager)
        m_manager->NotifyItemPicked(item);
    m_clickedItem = nullptr;
    RefreshItemState();
    ResetResult();
}

// ------------------------------------------------------------------ hints

CMurderHunt* CRoomBase::GetMurderHunt() const
{
    if (!m_manager)
        return nullptr;
    // The hunt given at set-up counts while it is still one of the rooms.
    for (const auto& room : m_manager->GetRooms())
        if (room.second.get() == m_murderHunt)
            if (auto* hunt = dynamic_cast<CMurderHunt*>(m_murderHunt))
                return hunt;
    if (!m_manager->HasRoom(CMurderHunt::kRoomName))
        return nullptr;
    return dynamic_cast<CMurderHunt*>(m_manager->GetRoom(CMurderHunt::kRoomName));
}

void CRoomBase::SetupGamePanel()
{
    CRoomContext& context = Context();
    const CMurderHunt* hunt = GetMurderHunt();
    context.SetupRoom(context.GetCurrentRoomTask(), context.GetTaskList(m_name), context.GetClueList(m_name), m_name,
                      hunt && hunt->IsPanelCardRoom(m_name), context.HasRoomTasks(m_name));
    if (const int mode = hunt ? hunt->GetPanelMode() : -1; mode >= 0)
        context.SetMode(mode);
    RebuildHintLists();
}

void CRoomBase::RebuildHintLists()
{
    CRoomContext& context = Context();
    const std::vector<CFindItemsGroup>* lists[3] = {context.GetTaskList(m_name), context.GetISpyList(m_name),
                                                    context.GetClueList(m_name)};
    for (std::size_t i = 0; i < 3; ++i) {
        std::vector<std::string>& names = m_hintLists[i];
        names.clear();
        if (!lists[i])
            continue;
        for (const CFindItemsGroup& group : *lists[i]) {
            if (!group.visible || group.toFind == 0)
                continue;
            for (const CFindItem& entry : group.items)
                if (!entry.IsFound() && m_items->HasItem(entry.name) &&
                    std::find(names.begin(), names.end(), entry.name) == names.end())
                    names.push_back(entry.name);
        }
    }
}

void CRoomBase::RefreshItemState()
{
    for (CSpyItem* item : m_items->GetItems())
        if (!item->GetHolder() && !item->GetContents().empty())
            item->RefreshContents();
    RebuildHintLists();
}

bool CRoomBase::CanUseHint() const
{
    if (m_hintsBlocked || m_cursorItem || m_hintsDisabled || IsBusy())
        return false;
    for (const std::vector<std::string>& list : m_hintLists)
        if (!list.empty())
            return true;
    return false;
}

CSpyItem* CRoomBase::FindHintTarget(const CRoomBase& room, const std::string& name, bool visibleOnly)
{
    // Behind a door, an item still hidden (in a closed drawer) counts: the
    // way to it is what the hint shows.
    const auto counts = [visibleOnly](const CSpyItem* item) {
        return visibleOnly ? item->IsVisible() : !item->IsPicked() && !item->IsInInventory();
    };
    CSpyItem* item = room.m_items->FindItem(name);
    if (item && counts(item))
        return item;
    if (const std::vector<CSpyItem*>* group = room.m_items->GetISpyGroup(name))
        for (CSpyItem* member : *group)
            if (counts(member))
                return member;
    return nullptr;
}

bool CRoomBase::HoldsHintTarget(const CRoomBase& room, const std::string& name, std::vector<const CRoomBase*>& seen)
{
    if (std::find(seen.begin(), seen.end(), &room) != seen.end())
        return false;
    seen.push_back(&room);
    if (FindHintTarget(room, name, false))
        return true;
    for (const CSpyItem* item : room.m_items->GetItems()) {
        const auto* door = dynamic_cast<const CSpyDoor*>(item);
        if (!door || !door->IsVisible() || door->GetCloseUp().empty() || !room.m_manager ||
            !room.m_manager->HasRoom(door->GetCloseUp()))
            continue;
        if (HoldsHintTarget(*room.m_manager->GetRoom(door->GetCloseUp()), name, seen))
            return true;
    }
    return false;
}

bool CRoomBase::ShowListHint(const std::string& name)
{
    const CSpyItem* target = FindHintTarget(*this, name, true);
    if (!target) {
        std::vector<const CRoomBase*> seen{this};
        for (const CSpyItem* item : m_items->GetItems()) {
            const auto* door = dynamic_cast<const CSpyDoor*>(item);
            if (!door || !door->IsVisible() || door->GetCloseUp().empty() || !m_manager ||
                !m_manager->HasRoom(door->GetCloseUp()))
                continue;
            if (HoldsHintTarget(*m_manager->GetRoom(door->GetCloseUp()), name, seen)) {
                target = door;
                break;
            }
        }
    }
    if (!target)
        return false;
    StartHintStars(*target);
    return true;
}

void CRoomBase::StartHintStars(const CSpyItem& item)
{
    if (!m_manager)
        return;
    const CRoomsSettings& s = m_manager->GetSettings();
    const aParticleSystem* effect = m_manager->GetServices().res.GetParticle(s.hintStars);
    if (!effect)
        return;
    float x = 0.0f, y = 0.0f;
    item.GetPos(x, y);
    m_hintStars = std::make_unique<aParticleSystem>(*effect);
    m_hintStars->reset();
    m_hintStars->startAt(x + item.GetWidth() * 0.5f, y + item.GetHeight() * 0.5f);
    m_hintTime = s.hintTime;
}

bool CRoomBase::AreaHook() const
{
    if (m_result != ResultNone || !m_hasHookRect)
        return false;
    std::int32_t mx = 0, my = 0;
    GetMouse(mx, my);
    const float x = float(mx), y = float(my);
    const float left = m_x + float(m_hookRect.x) * m_scale, top = m_y + float(m_hookRect.y) * m_scale;
    if (x < left || y < top || x >= left + float(m_hookRect.width) * m_scale ||
        y >= top + float(m_hookRect.height) * m_scale)
        return false;
    for (const CSpyItem* item : m_items->GetItems())
        if (item->IsVisible() && item->HitTest(x, y))
            return true;
    return false;
}
