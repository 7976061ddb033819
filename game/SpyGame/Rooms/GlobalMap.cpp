#include "game/SpyGame/Rooms/GlobalMap.h"

#include <algorithm>

#include "engine/util/a_log.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RecordReader.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/save_load_system.h"

std::vector<CSpyDoor*> CGlobalMap::GetLocationDoors() const
{
    std::vector<CSpyDoor*> doors;
    if (m_items)
        for (CSpyItem* item : m_items->GetItems())
            if (auto* door = dynamic_cast<CSpyDoor*>(item))
                if (!door->GetTarget().empty() && door->GetTarget() != kBack)
                    doors.push_back(door);
    return doors;
}

bool CGlobalMap::HasLocation(const std::string& room) const
{
    if (room.empty())
        return false;
    for (const CSpyDoor* door : GetLocationDoors())
        if (door->GetTarget() == room)
            return true;
    return false;
}

bool CGlobalMap::IsBoard(const std::string& room) const
{
    if (!m_manager || !m_manager->HasRoom(room))
        return false;
    const std::string kind = m_manager->GetRoom(room)->GetClassName();
    return kind == CMurderHunt::kClassName || kind == CInvCards::kClassName;
}

void CGlobalMap::RefreshItemState()
{
    CRoomBase::RefreshItemState();
    static const std::vector<std::string> none;
    const std::vector<std::string>& listed = m_manager ? m_manager->GetCaseRooms() : none;
    for (CSpyDoor* door : GetLocationDoors()) {
        const bool ownClickable = m_clickable.emplace(door, door->IsClickable()).first->second;
        const std::string& target = door->GetTarget();
        const std::uint8_t bits = GetLocationState(target);
        const bool onList = std::find(listed.begin(), listed.end(), target) != listed.end();
        door->SetVisible((onList || (!m_firstMode && IsBoard(target))) && !(bits & LocationHidden));
        const bool disabled = (bits & LocationDisabled) != 0;
        door->SetVisualState(disabled ? kOffState : "");
        door->SetClickable(ownClickable && !disabled);
    }
}

void CGlobalMap::Reset()
{
    m_states.clear();
    CRoomBase::Reset();
}

void CGlobalMap::Entry(std::uint32_t value)
{
    RefreshItemState();
    CRoomBase::Entry(value);
}

void CGlobalMap::SetModeFlags(bool first, bool second)
{
    m_firstMode = first ? 1 : 0;
    m_secondMode = second ? 1 : 0;
    RefreshItemState();
}

std::uint8_t CGlobalMap::GetLocationState(const std::string& location) const
{
    const auto it = m_states.find(location);
    return it == m_states.end() ? 0 : it->second;
}

void CGlobalMap::SetLocationState(const std::string& location, bool hide)
{
    if (!HasLocation(location)) {
        a_log("CGlobalMap::SetLocationState(). '%s' is no location of the map", location.c_str());
        return;
    }
    m_states[location] |= hide ? LocationHidden : LocationDisabled;
    RefreshItemState();
}

void CGlobalMap::SetEventsManager(CSpyEventsManager* events)
{
    m_events = events;
    m_states.clear();
    RefreshItemState();
}

std::uint32_t CGlobalMap::SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const
{
    pos = system.WriteU8(pos, m_firstMode);
    pos = system.WriteU8(pos, m_secondMode);
    std::uint32_t count = 0;
    for (const auto& state : m_states)
        count += state.second != 0;
    pos = system.WriteU32(pos, count);
    for (const auto& state : m_states)
        if (state.second) {
            pos = system.WriteString(pos, state.first);
            pos = system.WriteU8(pos, state.second);
        }
    return pos;
}

void CGlobalMap::LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length)
{
    std::vector<std::uint8_t> bytes;
    system.ReadBytes(pos, length, bytes);
    CRecordReader in(std::move(bytes));
    const std::uint8_t first = in.U8();
    const std::uint8_t second = in.U8();
    std::vector<std::pair<std::string, std::uint8_t>> saved(in.Count(1 + 1));
    for (auto& entry : saved) {
        entry.first = in.String();
        entry.second = in.U8();
    }
    if (!in.Ok()) {
        a_log("CGlobalMap::LoadExtra(). The map's record is damaged; the map stays as it was");
        system.RefuseRecord();
        return;
    }
    m_firstMode = first ? 1 : 0;
    m_secondMode = second ? 1 : 0;
    m_states.clear();
    for (const auto& entry : saved) {
        if (!HasLocation(entry.first)) {
            a_log("CGlobalMap::LoadExtra(). Unknown location '%s'", entry.first.c_str());
            system.RefuseRecord();
            continue;
        }
        const std::uint8_t bits = entry.second & (LocationDisabled | LocationHidden);
        if (bits != entry.second) {
            a_log("CGlobalMap::LoadExtra(). Location '%s': unknown state bits", entry.first.c_str());
            system.RefuseRecord();
        }
        if (bits)
            m_states[entry.first] = bits;
    }
}
