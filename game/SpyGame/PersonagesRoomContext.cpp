#include "game/SpyGame/PersonagesRoomContext.h"

#include "game/SpyGame/PersonagesManager.h"

namespace {

const CPersonage::CRoomInfo* roomInfo(const CPersonage* personage, const std::string& room)
{
    return personage ? personage->GetRoomInfoConst(room) : nullptr;
}

} // namespace

CPersonage* CPersonagesRoomContext::Current() const { return m_personages.GetCurrentPersonage(); }

void CPersonagesRoomContext::SetCurrentRoom(const std::string& room)
{
    if (CPersonage* personage = Current())
        personage->SetCurrentRoom(room);
}

bool CPersonagesRoomContext::HasItemInfo(const std::string& item)
{
    CPersonage* personage = Current();
    return personage && personage->HasItemInfo(item);
}

std::string CPersonagesRoomContext::GetEnterRoomText()
{
    const CPersonage* personage = Current();
    return personage ? personage->GetEnterRoomText() : std::string();
}

std::string CPersonagesRoomContext::GetCurrentRoomTask()
{
    CPersonage* personage = Current();
    return personage ? personage->GetCurrentRoomTask() : std::string();
}

bool CPersonagesRoomContext::HasRoomTasks(const std::string& room)
{
    const CPersonage* personage = Current();
    return personage && personage->HasRoomTasks(room);
}

const std::vector<CFindItemsGroup>* CPersonagesRoomContext::GetTaskList(const std::string& room)
{
    const CPersonage::CRoomInfo* info = roomInfo(Current(), room);
    return info ? &info->taskList : nullptr;
}

const std::vector<CFindItemsGroup>* CPersonagesRoomContext::GetISpyList(const std::string& room)
{
    const CPersonage::CRoomInfo* info = roomInfo(Current(), room);
    return info ? &info->ispyList : nullptr;
}

const std::vector<CFindItemsGroup>* CPersonagesRoomContext::GetClueList(const std::string& room)
{
    const CPersonage::CRoomInfo* info = roomInfo(Current(), room);
    return info ? &info->clueList : nullptr;
}

bool CPersonagesRoomContext::IsFindAll()
{
    const CPersonage* personage = Current();
    return personage && personage->investigationInfo.findAllMode != 0;
}

bool CPersonagesRoomContext::IsISpyPending(const std::string& room)
{
    const CPersonage::CRoomInfo* info = roomInfo(Current(), room);
    return info && info->ispyPending != 0;
}

std::uint32_t CPersonagesRoomContext::GetISpyItemsCount(const std::string& room)
{
    const CPersonage::CRoomInfo* info = roomInfo(Current(), room);
    return info ? info->ISpyItemsCount : 0;
}

void CPersonagesRoomContext::GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool allowRefill,
                                              bool force)
{
    if (CPersonage* personage = Current())
        personage->GenISpyTaskInRoom(room, count, allowRefill, force);
}

// ------------------------------------------------------------------ item scripts

std::string CPersonagesRoomContext::GetItemAbout(const CSpyItemRef& item)
{
    CPersonage* personage = Current();
    return personage ? personage->GetItemAbout(item) : std::string();
}

void CPersonagesRoomContext::OnClickAtFocusedItem(const CSpyItemRef& item)
{
    if (CPersonage* personage = Current())
        personage->OnClickAtFocusedItem(item);
}

void CPersonagesRoomContext::OnApplyItemToFocusedItem(const CSpyItemRef& held)
{
    if (CPersonage* personage = Current())
        personage->OnApplyItemToFocusedItem(held);
}

void CPersonagesRoomContext::MarkFocusedItemAndApplyScripts()
{
    if (CPersonage* personage = Current())
        personage->MarkFocusedItemAndApplyScripts();
}

std::string CPersonagesRoomContext::ClickItemAndGetBadUse(const CSpyItemRef& item)
{
    CPersonage* personage = Current();
    return personage ? personage->ClickItemAndGetBadUse(item) : std::string();
}

bool CPersonagesRoomContext::CanUseItemTo(const std::string& heldName, const CSpyItemRef& target)
{
    const CPersonage* personage = Current();
    return personage && personage->CanUseItemTo(heldName, target);
}

std::string CPersonagesRoomContext::GetItemClickUse(const CSpyItemRef& item)
{
    const CPersonage* personage = Current();
    return personage ? personage->GetItemClickUse(item) : std::string();
}

std::string CPersonagesRoomContext::GetItemSuccessApply(const std::string& held)
{
    const CPersonage* personage = Current();
    return personage ? personage->GetItemSuccessApply(held) : std::string();
}

bool CPersonagesRoomContext::IsItemUseToOneself(const CSpyItemRef& item)
{
    const CPersonage* personage = Current();
    return personage && personage->IsItemUseToOneself(item);
}

CSpyItemRef CPersonagesRoomContext::GetItemCursorBigItem(const CSpyItemRef& item)
{
    const CPersonage* personage = Current();
    return personage ? personage->GetItemCursorBigItem(item) : CSpyItemRef();
}

bool CPersonagesRoomContext::IsItemHideCursorInRoom(const CSpyItemRef& item)
{
    const CPersonage* personage = Current();
    return personage && personage->IsItemHideCursorInRoom(item);
}
