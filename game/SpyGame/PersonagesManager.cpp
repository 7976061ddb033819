#include "game/SpyGame/PersonagesManager.h"

#include <algorithm>
#include <list>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string_list.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/shell/save_load_system.h"

namespace {

constexpr const char* kCreate = "CPersonagesManager::CreatePersonages";
// A room name and its level count; a level and its line count.
constexpr std::uint32_t kMinPoolRoomSize = 1 + 4;
constexpr std::uint32_t kMinPoolLevelSize = 4 + 4;

[[noreturn]] void failAssertion(const char* condition, unsigned line)
{
    const char* location = a_fileLine(__FILE__, line);
    a_assertLog(kCreate, condition, location);
    throw aException(condition, kCreate, location);
}

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The key's names in order, each once; a repeated name is logged.
std::vector<std::string> uniqueNames(const aOptionsFile& ini, const char* key)
{
    std::list<std::string> tokens;
    ini.getValueTokens(CPersonagesManager::kSection, key, tokens);
    std::vector<std::string> names;
    for (const std::string& name : tokens) {
        if (contains(names, name)) {
            a_log("%s(). [%s] %s names '%s' twice; the second is skipped", kCreate, CPersonagesManager::kSection,
                  key, name.c_str());
            continue;
        }
        names.push_back(name);
    }
    return names;
}

} // namespace

CPersonagesManager::CPersonagesManager() : SaveLoadEntity(kKey) {}

CPersonagesManager::~CPersonagesManager() { Clear(); }

// ------------------------------------------------------------------ set-up

void CPersonagesManager::CreatePersonages(const aOptionsFile& ini, CGameDialogs* dialogs, CRoomsManager* rooms)
{
    (void)dialogs;
    m_rooms = rooms;
    m_allNames = uniqueNames(ini, "Personages");
    m_personages.reserve(m_personages.size() + m_allNames.size());
    for (const std::string& name : m_allNames) {
        if (GetPersonage(name)) {
            a_log("%s(). Personage '%s' exists already; it is kept", kCreate, name.c_str());
            continue;
        }
        m_personages.push_back(std::make_shared<CPersonage>(name));
        m_personages.back()->owner = this;
    }
    m_startNames = uniqueNames(ini, "StartPersonages");
    if (m_personages.empty())
        failAssertion("!personages.empty()", __LINE__);
    if (m_startNames.empty())
        failAssertion("!startPersonages.empty()", __LINE__);
}

void CPersonagesManager::LoadAllRoomAiData(const std::string& folder, const std::string& caseName)
{
    aStringList rooms;
    const std::string list = folder + CRoomsManager::kRoomsList;
    if (file_isExistOrPacked(list))
        rooms.load(list);
    for (const std::string& name : m_allNames) {
        CPersonage* personage = GetPersonage(name);
        if (!personage)
            continue;
        for (const std::string& room : rooms.lines())
            personage->LoadRoomAiData(folder + room + "/", room);
        personage->LoadRoomAiData(folder, caseName);
        personage->investigationInfo.findAllMode = caseName == kFindAllCase ? 1 : 0;
    }
}

void CPersonagesManager::LoadRoomAiDataForAll(const std::string& folder, const std::string& room)
{
    for (const std::string& name : m_allNames)
        if (CPersonage* personage = GetPersonage(name))
            personage->LoadRoomAiData(folder, room);
}

void CPersonagesManager::SetRoomItemsCount(const std::string& room, std::uint32_t count)
{
    for (const auto& personage : m_personages)
        personage->GetRoomInfo(room).roomItemsCount = count;
}

// ------------------------------------------------------------------ who plays

CPersonage* CPersonagesManager::GetPersonage(const std::string& name) const
{
    for (const auto& personage : m_personages)
        if (personage->name == name)
            return personage.get();
    return nullptr;
}

void CPersonagesManager::SetCurrentPersonage(const std::string& name)
{
    if (contains(m_activeNames, name))
        m_current = GetPersonage(name);
}

bool CPersonagesManager::ActivatePersonage(const std::string& name)
{
    if (!contains(m_allNames, name))
        return false;
    if (!contains(m_activeNames, name))
        m_activeNames.push_back(name);
    return true;
}

bool CPersonagesManager::DeactivatePersonage(const std::string& name)
{
    const auto it = std::find(m_activeNames.begin(), m_activeNames.end(), name);
    if (it == m_activeNames.end())
        return false;
    m_activeNames.erase(it);
    return true;
}

CPersonage* CPersonagesManager::ResetPersonages(bool keepProgress, bool findAll)
{
    ResetISpyPool(!keepProgress);
    for (const auto& personage : m_personages)
        personage->ResetTasks(true, findAll);
    m_activeNames = m_startNames;
    m_current = m_activeNames.empty() ? nullptr : GetPersonage(m_activeNames.front());
    return m_current;
}

void CPersonagesManager::Clear()
{
    for (const auto& personage : m_personages)
        personage->owner = nullptr;
    m_personages.clear();
    m_allNames.clear();
    m_startNames.clear();
    m_activeNames.clear();
    m_current = nullptr;
}

// ------------------------------------------------------------------ I-spy pool

void CPersonagesManager::ResetISpyPool(bool all)
{
    if (all) {
        m_ispyPool.clear();
    } else {
        for (auto it = m_ispyPool.begin(); it != m_ispyPool.end();) {
            const std::string& room = it->first;
            const bool reset = m_rooms && m_rooms->HasRoom(room) && m_rooms->GetRoom(room)->IsEveryFullReset();
            it = reset ? m_ispyPool.erase(it) : std::next(it);
        }
    }
    if (!m_rooms)
        return;
    for (const auto& entry : m_rooms->GetRooms()) {
        const std::string& room = entry.first;
        bool hasLines = false;
        if (!all)
            for (const auto& level : m_ispyPool[room])
                hasLines = hasLines || !level.second.empty();
        if (!hasLines)
            BuildISpyPool(room);
    }
}

void CPersonagesManager::BuildISpyPool(const std::string& room)
{
    if (!m_rooms || !m_rooms->HasRoom(room))
        return;
    const CSpyItemManager* items = m_rooms->GetRoom(room)->GetItemManager();
    CISpyLevels& levels = m_ispyPool[room];
    levels.clear();
    const auto pooled = [](const CSpyItem* item) { return item->IsISpyItem() && !item->IsInventoryItem(); };
    if (items) {
        for (const auto& [group, members] : items->GetISpyGroups()) {
            CFindItemsGroup line;
            line.name = group;
            std::uint32_t sum = 0;
            for (const CSpyItem* item : members)
                if (pooled(item)) {
                    line.AddItem(item->GetName(), CFindItem::Pick);
                    sum += item->GetDiffLevel();
                }
            if (line.items.empty())
                continue;
            const auto level = std::uint32_t(double(sum) / double(line.items.size()) + 0.5);
            levels[level].push_back(std::move(line));
        }
        for (const CSpyItem* item : items->GetItems())
            if (pooled(item) && item->GetISpyGroup().empty())
                levels[item->GetDiffLevel()].emplace_back(item->GetName(), CFindItem::Pick, true);
    }
    if (levels.empty())
        m_ispyPool.erase(room);
}

CISpyLevels* CPersonagesManager::GetISpyPool(const std::string& room)
{
    const auto it = m_ispyPool.find(room);
    return it == m_ispyPool.end() ? nullptr : &it->second;
}

const CISpyLevels* CPersonagesManager::GetISpyPool(const std::string& room) const
{
    return const_cast<CPersonagesManager*>(this)->GetISpyPool(room);
}

// ------------------------------------------------------------------ record

std::uint32_t CPersonagesManager::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteString(pos, m_current ? m_current->name : std::string());
    pos = system.WriteStringList(pos, m_activeNames);
    pos = system.WriteU32(pos, std::uint32_t(m_ispyPool.size()));
    for (const auto& [room, levels] : m_ispyPool) {
        pos = system.WriteString(pos, room);
        pos = system.WriteU32(pos, std::uint32_t(levels.size()));
        for (const auto& [level, lines] : levels) {
            pos = system.WriteU32(pos, level);
            pos = SaveFindItemsGroups(system, pos, lines);
        }
    }
    return pos;
}

namespace {

std::uint32_t refuse(SaveLoadSystem& system, const std::string& name, std::uint32_t pos)
{
    a_log("CPersonagesManager::LoadSelf(). The saved personage '%s' does not exist; the record is refused",
          name.c_str());
    system.RefuseRecord();
    return pos;
}

} // namespace

// Read whole into copies first: a record that overruns changes nothing.
std::uint32_t CPersonagesManager::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    std::string current;
    pos = system.ReadString(pos, current);
    std::vector<std::string> active;
    pos = system.ReadStringList(pos, active);
    std::uint32_t rooms = 0;
    pos = system.ReadCount(pos, rooms, kMinPoolRoomSize);
    std::vector<std::pair<std::string, CISpyLevels>> pools;
    for (std::uint32_t i = 0; i < rooms && !system.HasOverrun(); ++i) {
        pools.emplace_back();
        pos = system.ReadString(pos, pools.back().first);
        std::uint32_t levels = 0;
        pos = system.ReadCount(pos, levels, kMinPoolLevelSize);
        for (std::uint32_t j = 0; j < levels && !system.HasOverrun(); ++j) {
            std::uint32_t level = 0;
            pos = system.ReadU32(pos, level);
            pos = LoadFindItemsGroups(system, pos, pools.back().second[level]);
        }
    }
    if (system.HasOverrun())
        return pos;

    // Names the case does not have: a damaged record.
    for (const std::string& name : active)
        if (!contains(m_allNames, name))
            return refuse(system, name, pos);
    if (!current.empty() && !GetPersonage(current))
        return refuse(system, current, pos);
    m_current = current.empty() ? nullptr : GetPersonage(current);
    m_activeNames = std::move(active);
    for (auto& [room, levels] : pools)
        m_ispyPool[room] = std::move(levels);
    return pos;
}

void CPersonagesManager::SaveChildren(SaveLoadSystem& system)
{
    for (const auto& personage : m_personages)
        system.SaveEntity(personage.get());
}

void CPersonagesManager::LoadChildren(SaveLoadSystem& system)
{
    for (const auto& personage : m_personages)
        system.LoadEntity(personage.get());
}
