// CPersonage: task lists, I-spy draws, progress and visibility.
#include <algorithm>
#include <climits>

#include "engine/util/a_log.h"
#include "engine/util/a_random.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/RandomShuffle.h"
#include "game/SpyGame/Rooms/RoomsManager.h"

namespace {

// Difficulty level of each roll from 0 to ISpyDiffLevel.
constexpr std::uint32_t kLevelOfRoll[CPersonage::kMaxISpyDiffLevel + 1] = {0, 1, 1, 2, 2, 2};
constexpr std::uint32_t kTopLevel = 2;

bool hasLines(const CISpyLevels& pool, std::uint32_t level)
{
    const auto it = pool.find(level);
    return it != pool.end() && !it->second.empty();
}

// The level to draw from when the rolled one is empty: down to 0, then up to
// the top; false when every level is empty.
bool pickLevel(const CISpyLevels& pool, std::uint32_t& level)
{
    for (std::int64_t l = level; l >= 0; --l)
        if (hasLines(pool, std::uint32_t(l))) {
            level = std::uint32_t(l);
            return true;
        }
    for (std::uint32_t l = 1; l <= kTopLevel; ++l)
        if (hasLines(pool, l)) {
            level = l;
            return true;
        }
    return false;
}

std::int32_t toCount(std::uint32_t count) { return std::int32_t(std::min<std::uint32_t>(count, INT32_MAX)); }

} // namespace

// ------------------------------------------------------------------ generation

void CPersonage::ResetTasks(bool generate, bool keepRooms)
{
    for (CFindItemsGroup& line : investigationInfo.invTasks)
        line.Reset();
    if (generate && !keepRooms)
        for (auto& [room, info] : roomInfos)
            GenItemsListToFind(room, info);
    for (auto& entry : itemInfos)
        entry.second.Reset();
    if (!keepRooms) {
        for (auto& entry : roomInfos) {
            CRoomInfo& info = entry.second;
            info.visits = 0;
            info.curFirstEnter = info.FirstEnter;
            info.curEnterToRoom = info.EnterToRoom;
            info.curRoomTask = info.RoomTask;
            for (CFindItemsGroup& line : info.taskList)
                line.Reset();
            for (CFindItemsGroup& line : info.ispyList)
                line.Reset();
        }
    }
    currentNotes = initialNotes;
}

void CPersonage::GenItemsListToFind(const std::string& room, CRoomInfo& info)
{
    info.taskList = info.loadedTasks;
    info.clueList.clear();
    CRoomsManager* rooms = owner ? owner->GetRooms() : nullptr;
    if (rooms && rooms->HasRoom(room)) {
        const CSpyItemManager* items = rooms->GetRoom(room)->GetItemManager();
        for (CFindItemsGroup& line : info.taskList) {
            if (line.name.empty() || !line.items.empty())
                continue;
            if (items->HasItem(line.name)) {
                line.AddItem(line.name, line.kind);
                line.name.clear();
            } else if (const std::vector<CSpyItem*>* group = items->GetISpyGroup(line.name)) {
                for (const CSpyItem* item : *group)
                    line.AddItem(item->GetName(), line.kind);
            } else {
                a_log("CPersonage::GenItemsListToFind(). Room '%s', task '%s' - not found required item or ISpy group!",
                      room.c_str(), line.name.c_str());
                a_log("CPersonage::GenItemsListToFind(). Not found ISpy group '%s' in room '%s'!", line.name.c_str(),
                      room.c_str());
            }
        }
    }
    info.ispyList.clear();
    if (investigationInfo.findAllMode)
        a_log("GenItemsListToFind in FIND ALL mode!!!");
    GenISpyTaskInRoom(room, toCount(info.ISpyItemsCount), true, false);
    for (const CFindItemsGroup& line : info.taskList) {
        if (!line.name.empty() || line.items.size() != 1)
            continue;
        const CItemInfo* item = GetItemInfoConst(CSpyItemRef(line.items.front().name, room));
        if (item && item->ClickUse == "CLUE")
            info.clueList.push_back(line);
    }
    if (info.ShuffleTasks)
        SpyRandomShuffle(info.taskList);
}

void CPersonage::RemoveFromPool(CISpyLevels& pool, const CFindItemsGroup& line)
{
    for (std::uint32_t level = 0; level <= kTopLevel; ++level) {
        const auto it = pool.find(level);
        if (it == pool.end())
            continue;
        std::vector<CFindItemsGroup>& lines = it->second;
        const auto found = std::find(lines.begin(), lines.end(), line);
        if (found != lines.end()) {
            lines.erase(found);
            return;
        }
    }
}

void CPersonage::GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool allowRefill, bool force)
{
    CRoomInfo& info = GetRoomInfo(room);
    std::vector<CFindItemsGroup> taken;
    bool refilled = false;
    const bool findAll = investigationInfo.findAllMode != 0;
    if (findAll && !force) {
        if (!info.ispyPending)
            return;
        info.ispyPending = 0;
    }

    CISpyLevels* pool = owner ? owner->GetISpyPool(room) : nullptr;
    if (!pool && findAll && owner) {
        owner->BuildISpyPool(room);
        pool = owner->GetISpyPool(room);
    }
    const std::uint32_t diffLevel = std::min(info.ISpyDiffLevel, kMaxISpyDiffLevel);
    while (pool && std::int64_t(taken.size()) < count) {
        std::uint32_t level = kLevelOfRoll[std::uint32_t(a_rand()) % (diffLevel + 1)];
        if (pickLevel(*pool, level)) {
            std::vector<CFindItemsGroup>& lines = (*pool)[level];
            const std::size_t k = std::size_t(a_rand()) % lines.size();
            taken.push_back(lines[k]);
            taken.back().Reset();
            lines.erase(lines.begin() + std::ptrdiff_t(k));
            continue;
        }
        if (!allowRefill)
            break;
        if (refilled) {
            a_log("%s(). Room: %s. Warning, scarce ISpy items!", "CPersonage::GenISpyTaskInRoom", room.c_str());
            break;
        }
        // The rebuild may drop the room's entry, so the pool is asked for again.
        owner->BuildISpyPool(room);
        refilled = true;
        pool = owner->GetISpyPool(room);
        if (!pool) {
            a_log("%s(). Room: %s. Warning, scarce ISpy items!", "CPersonage::GenISpyTaskInRoom", room.c_str());
            break;
        }
        for (const CFindItemsGroup& line : info.ispyList)
            RemoveFromPool(*pool, line);
        for (const CFindItemsGroup& line : taken)
            RemoveFromPool(*pool, line);
    }

    if (!taken.empty())
        SpyRandomShuffle(taken);
    for (const CFindItemsGroup& task : info.taskList) {
        for (auto it = taken.begin(); it != taken.end();) {
            if (*it == task) {
                a_log("CPersonage::GenISpyTaskInRoom roomInfo.taskList[i]==ispyTask[j] !!!");
                it = taken.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const CFindItemsGroup& line : taken) {
        info.ispyList.push_back(line);
        info.taskList.push_back(line);
    }
    if (!findAll)
        SpyRandomShuffle(info.taskList);
}

// ------------------------------------------------------------------ progress and visibility

bool CPersonage::IsRoomTaskCompleted(const std::string& room) const
{
    const CRoomInfo* info = GetRoomInfoConst(room);
    if (!info)
        return true;
    for (const CFindItemsGroup& line : info->taskList)
        if (line.toFind != 0)
            return false;
    return investigationInfo.findAllMode ? info->ispyPending == 0 : true;
}

bool CPersonage::HasRoomTasks(const std::string& room) const
{
    const CRoomInfo* info = GetRoomInfoConst(room);
    if (!info)
        return false;
    std::size_t count = 0;
    for (const CFindItemsGroup& line : info->ispyList)
        count += line.name.empty() ? 1 : line.items.size();
    return count != 0;
}

bool CPersonage::IsISpyTaskDone(const std::string& room) const
{
    const CRoomInfo* info = GetRoomInfoConst(room);
    if (!info)
        return true;
    return std::all_of(info->ispyList.begin(), info->ispyList.end(),
                       [](const CFindItemsGroup& line) { return line.toFind == 0; });
}

bool CPersonage::IsISpyExhausted(const std::string& room) const
{
    if (!GetRoomInfoConst(room))
        return true;
    if (const CISpyLevels* pool = owner ? owner->GetISpyPool(room) : nullptr)
        for (const auto& level : *pool)
            if (!level.second.empty())
                return false;
    return IsISpyTaskDone(room);
}

bool CPersonage::IsTaskItemFound(const CSpyItemRef& item) const
{
    if (!investigationInfo.findAllMode)
        return false;
    const CRoomInfo* info = GetRoomInfoConst(item.room);
    if (!info)
        return false;
    for (const CFindItemsGroup& line : info->ispyList)
        if (const CFindItem* entry = line.GetItem(item.name))
            return entry->IsFound();
    return false;
}

void CPersonage::GetRoomTaskProgress(const std::string& room, std::uint32_t& total, std::uint32_t& done,
                                     bool useItemsCount) const
{
    total = done = 0;
    const CRoomInfo* info = GetRoomInfoConst(room);
    if (!info)
        return;
    for (const auto* list : {&info->ispyList, &info->clueList})
        for (const CFindItemsGroup& line : *list) {
            ++total;
            done += line.toFind == 0;
        }
    if (useItemsCount)
        total = info->roomItemsCount;
}

void CPersonage::CountISpyProgress(std::uint32_t& total, std::uint32_t& done, bool useItemsCount) const
{
    total = done = 0;
    for (const auto& [room, info] : roomInfos) {
        if (!useItemsCount) {
            for (const CFindItemsGroup& line : info.ispyList) {
                ++total;
                done += line.toFind == 0;
            }
            continue;
        }
        // Find All counts objects: a room not entered yet by what its pool
        // will hold, an entered one by its lines and what its pool still holds.
        if (info.ispyPending) {
            total += info.roomItemsCount;
            continue;
        }
        for (const CFindItemsGroup& line : info.ispyList) {
            total += std::uint32_t(line.items.size());
            done += std::uint32_t(line.items.size() - std::min<std::size_t>(line.toFind, line.items.size()));
        }
        if (const CISpyLevels* pool = owner ? owner->GetISpyPool(room) : nullptr)
            for (const auto& level : *pool)
                for (const CFindItemsGroup& line : level.second)
                    total += std::uint32_t(line.items.size());
    }
}

void CPersonage::CountTaskProgress(std::uint32_t& total, std::uint32_t& done) const
{
    total = done = 0;
    for (const auto& entry : roomInfos)
        for (const CFindItemsGroup& line : entry.second.taskList)
            for (const CFindItemsGroup& loaded : entry.second.loadedTasks)
                if (line == loaded) {
                    ++total;
                    done += line.toFind == 0;
                }
}

void CPersonage::GetTaskCounts(std::uint32_t& ispyTotal, std::uint32_t& ispyDone, std::uint32_t& taskTotal,
                               std::uint32_t& taskDone, bool useItemsCount) const
{
    CountISpyProgress(ispyTotal, ispyDone, useItemsCount);
    CountTaskProgress(taskTotal, taskDone);
}

void CPersonage::SetRoomTaskVisible(const std::string& room, const std::string& task, bool visible)
{
    if (room.empty()) {
        a_log("CPersonage::SetRoomTaskVisible(). Room name is empty!");
        return;
    }
    const auto it = roomInfos.find(room);
    if (it == roomInfos.end())
        return;
    for (CFindItemsGroup& line : it->second.taskList)
        if (line.GetTaskName() == task)
            line.visible = visible ? 1 : 0;
}

void CPersonage::SetInvTaskVisible(const std::string& task, bool visible)
{
    for (CFindItemsGroup& line : investigationInfo.invTasks)
        if (line.GetTaskName() == task)
            line.visible = visible ? 1 : 0;
}

bool CPersonage::CompleteInvTask(const std::string& task)
{
    auto& lines = investigationInfo.invTasks;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (it->GetTaskName() == task) {
            it->toFind = 0;
            return true;
        }
    return false;
}
