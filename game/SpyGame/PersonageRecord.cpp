// CPersonage and its infos: the save records. Only what play changes is
// written; the ".ai" values are read again when the case is set up.
#include "game/SpyGame/Personage.h"
#include "game/shell/save_load_system.h"

namespace {

// Smallest note (key and value) and item reference (name and room): two NULs.
constexpr std::uint32_t kMinNoteSize = 1 + 1;
constexpr std::uint32_t kMinRefSize = 1 + 1;

} // namespace

// ------------------------------------------------------------------ infos

std::uint32_t CPersonage::CInvestigationInfo::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteU8(pos, findAllMode);
    return SaveFindItemsGroups(system, pos, invTasks);
}

std::uint32_t CPersonage::CInvestigationInfo::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.ReadU8(pos, findAllMode);
    findAllMode = findAllMode ? 1 : 0;
    return LoadFindItemsGroups(system, pos, invTasks);
}

std::uint32_t CPersonage::CRoomInfo::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteU32(pos, visits);
    pos = system.WriteString(pos, curFirstEnter);
    pos = system.WriteString(pos, curEnterToRoom);
    pos = system.WriteString(pos, curRoomTask);
    pos = system.WriteU8(pos, ispyPending);
    pos = SaveFindItemsGroups(system, pos, ispyList);
    pos = SaveFindItemsGroups(system, pos, taskList);
    return SaveFindItemsGroups(system, pos, clueList);
}

std::uint32_t CPersonage::CRoomInfo::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.ReadU32(pos, visits);
    pos = system.ReadString(pos, curFirstEnter);
    pos = system.ReadString(pos, curEnterToRoom);
    pos = system.ReadString(pos, curRoomTask);
    pos = system.ReadU8(pos, ispyPending);
    ispyPending = ispyPending ? 1 : 0;
    pos = LoadFindItemsGroups(system, pos, ispyList);
    pos = LoadFindItemsGroups(system, pos, taskList);
    return LoadFindItemsGroups(system, pos, clueList);
}

void CPersonage::CItemInfo::Reset()
{
    useCount = interactionCount = 0;
    curAbout = About;
    curClickUse = ClickUse;
    curUseTo = UseTo;
    curSuccessApply = SuccessApply;
    curBadUse = BadUse;
}

std::uint32_t CPersonage::CItemInfo::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteU32(pos, useCount);
    pos = system.WriteU32(pos, interactionCount);
    pos = system.WriteString(pos, curAbout);
    pos = system.WriteString(pos, curClickUse);
    pos = system.WriteU32(pos, std::uint32_t(curUseTo.size()));
    for (const CSpyItemRef& target : curUseTo)
        pos = target.Save(system, pos);
    pos = system.WriteString(pos, curSuccessApply);
    return system.WriteString(pos, curBadUse);
}

std::uint32_t CPersonage::CItemInfo::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.ReadU32(pos, useCount);
    pos = system.ReadU32(pos, interactionCount);
    pos = system.ReadString(pos, curAbout);
    pos = system.ReadString(pos, curClickUse);
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, kMinRefSize);
    curUseTo.assign(count, CSpyItemRef());
    for (CSpyItemRef& target : curUseTo) {
        if (system.HasOverrun())
            break;
        pos = target.Load(system, pos);
    }
    pos = system.ReadString(pos, curSuccessApply);
    return system.ReadString(pos, curBadUse);
}

// ------------------------------------------------------------------ personage

std::uint32_t CPersonage::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = currentItem.Save(system, pos);
    pos = system.WriteU32(pos, std::uint32_t(currentNotes.size()));
    for (const auto& [key, value] : currentNotes) {
        pos = system.WriteString(pos, key);
        pos = system.WriteString(pos, value);
    }
    pos = system.WriteU32(pos, std::uint32_t(itemInfos.size()));
    for (auto& [item, info] : itemInfos) {
        pos = item.Save(system, pos);
        pos = info.SaveSelf(system, pos);
    }
    pos = system.WriteU32(pos, std::uint32_t(roomInfos.size()));
    for (auto& [room, info] : roomInfos) {
        pos = system.WriteString(pos, room);
        pos = info.SaveSelf(system, pos);
    }
    return investigationInfo.SaveSelf(system, pos);
}

// Everything is read into copies first, so that a record which overruns
// its block leaves the personage as it was.
std::uint32_t CPersonage::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    CSpyItemRef item;
    pos = item.Load(system, pos);

    std::map<std::string, std::string> notes;
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, kMinNoteSize);
    for (std::uint32_t i = 0; i < count && !system.HasOverrun(); ++i) {
        std::string key, value;
        pos = system.ReadString(pos, key);
        pos = system.ReadString(pos, value);
        notes[key] = value;
    }

    std::vector<std::pair<CSpyItemRef, CItemInfo>> items;
    pos = system.ReadCount(pos, count, kMinRefSize + CItemInfo::kMinRecordSize);
    for (std::uint32_t i = 0; i < count && !system.HasOverrun(); ++i) {
        CSpyItemRef ref;
        pos = ref.Load(system, pos);
        const auto it = itemInfos.find(ref);
        items.emplace_back(ref, it == itemInfos.end() ? CItemInfo() : it->second);
        pos = items.back().second.LoadSelf(system, pos);
    }

    std::vector<std::pair<std::string, CRoomInfo>> rooms;
    pos = system.ReadCount(pos, count, 1 + CRoomInfo::kMinRecordSize);
    for (std::uint32_t i = 0; i < count && !system.HasOverrun(); ++i) {
        std::string room;
        pos = system.ReadString(pos, room);
        const auto it = roomInfos.find(room);
        rooms.emplace_back(room, it == roomInfos.end() ? CRoomInfo() : it->second);
        pos = rooms.back().second.LoadSelf(system, pos);
    }

    CInvestigationInfo investigation = investigationInfo;
    pos = investigation.LoadSelf(system, pos);
    if (system.HasOverrun())
        return pos;

    currentItem = item;
    currentNotes = std::move(notes);
    for (auto& [ref, info] : items)
        itemInfos[ref] = std::move(info);
    for (auto& [room, info] : rooms)
        roomInfos[room] = std::move(info);
    investigationInfo = std::move(investigation);
    return pos;
}
