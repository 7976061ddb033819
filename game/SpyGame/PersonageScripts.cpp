// CPersonage: item actions, the marking of task lines, item scripts and
// the item queries.
#include <algorithm>

#include "engine/util/a_log.h"
#include "game/SpyGame/Personage.h"

namespace {

constexpr const char* kOneself = "ONESELF";
constexpr const char* kNone = "NONE";
constexpr const char* kRoomTarget = "ROOM";
constexpr const char* kEveryone = "ALL";

using Mark = bool (CFindItemsGroup::*)(const std::string&);

// The line that the action completed, walking from the last line; null
// when none did.
const CFindItemsGroup* markLast(std::vector<CFindItemsGroup>& lines, const std::string& item, Mark mark)
{
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (((*it).*mark)(item))
            return &*it;
    return nullptr;
}

// Same length, equal wherever the pattern has no '?'.
bool matchesPattern(const std::string& name, const std::string& pattern)
{
    if (name.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (pattern[i] != '?' && pattern[i] != name[i])
            return false;
    return true;
}

bool firstTargetIs(const std::vector<CSpyItemRef>& targets, const char* name)
{
    return !targets.empty() && targets.front().name == name;
}

} // namespace

// ------------------------------------------------------------------ actions

void CPersonage::OnClickAtFocusedItem(const CSpyItemRef& item)
{
    const auto it = itemInfos.find(item);
    if (it == itemInfos.end() || !firstTargetIs(it->second.curUseTo, kOneself)) {
        a_log("CPersonage::OnClickAtFocusedItem(). [%s] Unscripted use of item '%s'", name.c_str(),
              item.ToString().c_str());
        return;
    }
    CItemInfo& info = it->second;
    ++info.useCount;
    ++info.interactionCount;
    CompleteUseTask(item);
    CompleteClickTask(item);
    ApplyItemScripts(info.ChangeItemInfoAtUse);
}

void CPersonage::OnApplyItemToFocusedItem(const CSpyItemRef& held)
{
    const auto found = std::find_if(itemInfos.begin(), itemInfos.end(),
                                    [&held](const auto& entry) { return entry.first.name == held.name; });
    if (found == itemInfos.end()) {
        a_log("CPersonage::OnApplyItemToFocusedItem(). [%s] Unscripted use of item '%s' to '%s'", name.c_str(),
              held.name.c_str(), currentItem.name.c_str());
        return;
    }
    const CSpyItemRef target = currentItem;
    const CSpyItemRef heldRef = found->first;
    CompleteUseTask(target);
    CompleteApplyTask(heldRef);
    CompleteClickTask(target);
    ApplyItemScripts(found->second.ChangeItemInfoAtUse);
    CItemInfo& targetInfo = itemInfos[target];
    ++targetInfo.interactionCount;
    ++targetInfo.useCount;
    ++found->second.interactionCount;
}

void CPersonage::MarkFocusedItemAndApplyScripts()
{
    const CSpyItemRef item = currentItem;
    CompletePickTask(item);
    ApplyItemScripts(itemInfos[item].ChangeItemInfoAtPick);
}

std::string CPersonage::GetItemAbout(const CSpyItemRef& item) { return ClickedText(item, &CItemInfo::curAbout); }

std::string CPersonage::ClickItemAndGetBadUse(const CSpyItemRef& item)
{
    return ClickedText(item, &CItemInfo::curBadUse);
}

std::string CPersonage::ClickedText(const CSpyItemRef& item, std::string CItemInfo::*text)
{
    const auto it = itemInfos.find(item);
    if (it == itemInfos.end())
        return std::string();
    CompleteClickTask(item);
    ++it->second.interactionCount;
    return it->second.*text;
}

// ------------------------------------------------------------------ scripts

void CPersonage::ApplyItemScripts(const std::vector<CInfoChange>& records)
{
    for (const CInfoChange& record : records) {
        const CSpyItemRef target(record.item.empty() ? currentItem.name : record.item,
                                 record.room.empty() ? currentItem.room : record.room);
        if (record.personage.empty()) {
            ChangeInfoByScript(target, record.type, record.value);
            continue;
        }
        bool matched = false;
        // A copy: the list is the live one.
        const std::vector<CPersonage*> everyone = GetAllPersonages();
        for (CPersonage* personage : everyone) {
            if (record.personage != kEveryone && personage->name != record.personage)
                continue;
            personage->ChangeInfoByScript(target, record.type, record.value);
            matched = true;
        }
        if (!matched)
            a_log("CPersonage::ApplyItemScripts(). [%s] Not found dest item '%s' for personage '%s'", name.c_str(),
                  record.item.c_str(), record.personage.c_str());
    }
}

void CPersonage::ChangeInfoByScript(const CSpyItemRef& item, const std::string& type, const std::string& value)
{
    if (item.name == kRoomTarget) {
        ChangeRoomInfo(item.room, type, value);
        return;
    }
    if (item.name.find('?') == std::string::npos) {
        ChangeItemInfo(item, type, value);
        return;
    }
    std::vector<CSpyItemRef> matches;
    for (const auto& entry : itemInfos)
        if (entry.first.room == item.room && matchesPattern(entry.first.name, item.name))
            matches.push_back(entry.first);
    for (const CSpyItemRef& match : matches)
        ChangeItemInfo(match, type, value);
}

void CPersonage::ChangeItemInfo(const CSpyItemRef& item, const std::string& type, const std::string& value)
{
    std::string CItemInfo::*text = nullptr;
    if (type == "About")
        text = &CItemInfo::curAbout;
    else if (type == "ClickUse")
        text = &CItemInfo::curClickUse;
    else if (type == "BadUse")
        text = &CItemInfo::curBadUse;
    else if (type == "SuccessApply")
        text = &CItemInfo::curSuccessApply;
    else if (type != "UseTo")
        return;
    CItemInfo& info = itemInfos[item];
    if (text) {
        info.*text = value;
        return;
    }
    info.curUseTo.clear();
    if (!value.empty())
        info.curUseTo.push_back(CSpyItemRef::Parse(value));
}

void CPersonage::ChangeRoomInfo(const std::string& room, const std::string& type, const std::string& value)
{
    CRoomInfo& info = GetRoomInfo(room);
    if (type == "FirstEnter")
        info.curFirstEnter = value;
    else if (type == "EnterToRoom")
        info.curEnterToRoom = value;
    else if (type == "RoomTask")
        info.curRoomTask = value;
}

// ------------------------------------------------------------------ marking

void CPersonage::CompletePickTask(const CSpyItemRef& item)
{
    CRoomInfo& info = GetRoomInfo(item.room);
    markLast(investigationInfo.invTasks, item.name, &CFindItemsGroup::MarkPicked);
    const CFindItemsGroup* ispy = markLast(info.ispyList, item.name, &CFindItemsGroup::MarkPicked);
    const bool lineFound = ispy && ispy->toFind == 0;
    markLast(info.taskList, item.name, &CFindItemsGroup::MarkPicked);
    markLast(info.clueList, item.name, &CFindItemsGroup::MarkPicked);
    // The found line is replaced only now: the new line joins ispyList and
    // taskList, which must not grow while they are walked.
    if (lineFound && investigationInfo.findAllMode)
        GenISpyTaskInRoom(item.room, 1, false, true);
}

void CPersonage::CompleteClickTask(const CSpyItemRef& item)
{
    CRoomInfo& info = GetRoomInfo(item.room);
    markLast(investigationInfo.invTasks, item.name, &CFindItemsGroup::MarkClicked);
    for (auto* lines : {&info.ispyList, &info.taskList, &info.clueList})
        markLast(*lines, item.name, &CFindItemsGroup::MarkClicked);
}

void CPersonage::CompleteUseTask(const CSpyItemRef& item)
{
    CRoomInfo& info = GetRoomInfo(item.room);
    markLast(investigationInfo.invTasks, item.name, &CFindItemsGroup::MarkUsed);
    markLast(info.taskList, item.name, &CFindItemsGroup::MarkUsed);
}

void CPersonage::CompleteApplyTask(const CSpyItemRef& item)
{
    markLast(investigationInfo.invTasks, item.name, &CFindItemsGroup::MarkApplied);
    const auto it = item.room.empty() ? roomInfos.end() : roomInfos.find(item.room);
    if (it != roomInfos.end())
        markLast(it->second.taskList, item.name, &CFindItemsGroup::MarkApplied);
}

// ------------------------------------------------------------------ queries

std::string CPersonage::GetItemClickUse(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info ? info->curClickUse : std::string();
}

std::string CPersonage::GetItemSuccessApply(const std::string& item) const
{
    const CItemInfo* info = GetItemInfoConst(CSpyItemRef::Parse(item));
    return info ? info->curSuccessApply : std::string();
}

std::string CPersonage::GetItemBadUse(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info ? info->curBadUse : std::string();
}

CSpyItemRef CPersonage::GetItemCursorBigItem(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info ? info->CursorBigItem : CSpyItemRef();
}

bool CPersonage::IsItemHideCursorInRoom(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info && info->HideCursorInRoom != 0;
}

std::uint32_t CPersonage::GetItemUseCount(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info ? info->useCount : 0;
}

std::uint32_t CPersonage::GetItemInteractionCount(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info ? info->interactionCount : 0;
}

bool CPersonage::IsItemUseToOneself(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info && firstTargetIs(info->curUseTo, kOneself);
}

bool CPersonage::IsItemUseToNone(const CSpyItemRef& item) const
{
    const CItemInfo* info = GetItemInfoConst(item);
    return info && firstTargetIs(info->curUseTo, kNone);
}

bool CPersonage::IsItemInTask(const CSpyItemRef& item) const
{
    if (IsItemUseToOneself(item))
        return false;
    const CItemInfo* info = GetItemInfoConst(item);
    if (info && !info->curUseTo.empty())
        return true;
    const CRoomInfo* room = GetRoomInfoConst(item.room);
    if (!room)
        return false;
    return std::any_of(room->ispyList.begin(), room->ispyList.end(),
                       [&item](const CFindItemsGroup& line) { return line.GetItem(item.name) != nullptr; });
}

bool CPersonage::CanUseItemTo(const std::string& heldName, const CSpyItemRef& target) const
{
    for (const auto& [ref, info] : itemInfos)
        if (ref.name == heldName)
            return std::find(info.curUseTo.begin(), info.curUseTo.end(), target) != info.curUseTo.end();
    return false;
}
