#include "game/SpyGame/SpyEventBase.h"

#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/SpyEventsManager.h"
#include "game/SpyGame/SpyEventsOwner.h"
#include "game/shell/save_load_system.h"

namespace {

CSpyEventBase::WinItem parseWinItem(const std::string& entry)
{
    CSpyEventBase::WinItem out;
    std::size_t pos = 0;
    if (pos < entry.size() && entry[pos] == '!') {
        out.negated = true;
        ++pos;
    }
    if (pos < entry.size() && entry[pos] == '@') {
        out.hasPersonage = true;
        const std::size_t colon = entry.find(':', pos + 1);
        // Without a ':' the whole rest is the name and nothing is left to test.
        out.personage = entry.substr(pos + 1, colon == std::string::npos ? std::string::npos : colon - pos - 1);
        if (colon == std::string::npos)
            return out;
        pos = colon + 1;
    }
    out.item = CSpyItemRef::Parse(entry.substr(pos));
    return out;
}

CSpyEventBase::VisibilityItem parseVisibilityItem(const std::string& entry)
{
    CSpyEventBase::VisibilityItem out;
    out.negated = !entry.empty() && entry[0] == '!';
    out.text = entry.substr(out.negated ? 1 : 0);
    out.item = CSpyItemRef::Parse(out.text);
    return out;
}

} // namespace

CSpyEventBase::CSpyEventBase() { m_usage.fill(UsageOptional); }

CSpyEventBase::~CSpyEventBase() = default;

std::uint32_t CSpyEventBase::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    std::uint8_t done = 0;
    pos = system.ReadU8(pos, done);
    m_done = done != 0;
    return pos;
}

std::uint32_t CSpyEventBase::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    return system.WriteU8(pos, m_done ? 1 : 0);
}

void CSpyEventBase::SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager)
{
    m_owner = owner;
    m_manager = manager;
}

// ------------------------------------------------------------------ reading

bool CSpyEventBase::CheckKey(aOptionsFile& ini, const char* key, std::uint32_t mode) const
{
    if (!ini.hasKey(key)) {
        if (mode == UsageRequired)
            a_log("Event system: not found required key '%s' in event '%s'!", key, GetClassName().c_str());
        return false;
    }
    if (mode == UsageUnused)
        a_log("Event system: warning, key '%s' in event '%s' not used.", key, GetClassName().c_str());
    return true;
}

void CSpyEventBase::ReadText(aOptionsFile& ini, const char* key, std::uint32_t mode, std::string& out,
                             const std::string& def) const
{
    out = CheckKey(ini, key, mode) ? ini.getString(key) : def;
}

void CSpyEventBase::ReadInt(aOptionsFile& ini, const char* key, std::uint32_t mode, std::int32_t& out,
                            std::int32_t def) const
{
    out = CheckKey(ini, key, mode) ? std::int32_t(ini.getInt(key)) : def;
}

void CSpyEventBase::ReadFlag(aOptionsFile& ini, const char* key, std::uint32_t mode, bool& out, bool def) const
{
    out = CheckKey(ini, key, mode) ? ini.getInt(key) != 0 : def;
}

void CSpyEventBase::ReadList(aOptionsFile& ini, const char* key, std::uint32_t mode,
                             std::list<std::string>& out) const
{
    out.clear();
    if (CheckKey(ini, key, mode))
        ini.getTokens(key, out);
}

void CSpyEventBase::ReadFromIniFile(aOptionsFile& ini)
{
    if (!m_owner)
        return;
    m_eventName = ini.hasKey("EventName") ? ini.getString("EventName") : std::string();
    ReadText(ini, "Location", m_usage[KeyLocation], m_location);
    ReadFlag(ini, "NotInCloseUp", m_usage[KeyNotInCloseUp], m_notInCloseUp, false);
    ReadList(ini, "AfterEvents", m_usage[KeyAfterEvents], m_afterEvents);
    ReadList(ini, "BeforeEvents", m_usage[KeyBeforeEvents], m_beforeEvents);
    ReadList(ini, "WinItemsList", m_usage[KeyWinItemsList], m_winItemsList);
    ReadFlag(ini, "WaitCloseMessage", m_usage[KeyWaitCloseMessage], m_waitCloseMessage, false);
    ReadText(ini, "ItemInInventory", m_usage[KeyItemInInventory], m_itemInInventory);
    ReadList(ini, "VisibilityItems", m_usage[KeyVisibilityItems], m_visibilityItemsList);
    ReadText(ini, "Personage", m_usage[KeyPersonage], m_personage);

    m_winItems.clear();
    for (const std::string& entry : m_winItemsList)
        m_winItems.push_back(parseWinItem(entry));
    m_visibilityItems.clear();
    for (const std::string& entry : m_visibilityItemsList)
        m_visibilityItems.push_back(parseVisibilityItem(entry));
}

// ------------------------------------------------------------------ readiness

bool CSpyEventBase::IsReady()
{
    if (!m_owner)
        return false;
    if (m_usage[KeyWaitCloseMessage] != UsageUnused && m_waitCloseMessage && m_owner->IsMessageVisible())
        return false;
    if (m_usage[KeyPersonage] != UsageUnused && !m_personage.empty()) {
        const CPersonagesManager* personages = m_owner->GetPersonagesManager();
        const CPersonage* current = personages ? personages->GetCurrentPersonage() : nullptr;
        if (!current || current->GetName() != m_personage)
            return false;
    }
    if (m_usage[KeyLocation] != UsageUnused && !m_location.empty()) {
        const CRoomBase* room = m_owner->GetCurrentRoom();
        if (!room || room->GetName() != m_location)
            return false;
    }
    if (m_usage[KeyNotInCloseUp] != UsageUnused && m_notInCloseUp && !m_owner->IsHistoryEmpty())
        return false;
    if (m_usage[KeyAfterEvents] != UsageUnused && m_manager)
        for (const std::string& name : m_afterEvents) {
            const CSpyEventBase* event = m_manager->GetEvent(name);
            if (event && !event->IsDone())
                return false;
        }
    if (m_usage[KeyBeforeEvents] != UsageUnused && m_manager)
        for (const std::string& name : m_beforeEvents) {
            const CSpyEventBase* event = m_manager->GetEvent(name);
            if (event && event->IsDone())
                return false;
        }
    if (m_usage[KeyWinItemsList] != UsageUnused && !m_winItems.empty() && !CheckWinItems())
        return false;
    if (m_usage[KeyVisibilityItems] != UsageUnused && !m_visibilityItems.empty() && !CheckVisibilityItems())
        return false;
    return true;
}

bool CSpyEventBase::IsRoomPending(const CSpyItemRef& item) const
{
    if (!m_owner->IsFindAll() || item.room.empty())
        return false;
    const CRoomsManager* rooms = m_owner->GetRoomsManager();
    return !rooms || !rooms->HasRoom(item.room);
}

bool CSpyEventBase::TestPersonage(const CPersonage& personage, const CSpyItemRef& item) const
{
    if (item.name == "TASK")
        return personage.IsRoomTaskCompleted(item.room);
    if (item.name == "ISPY")
        return personage.IsISpyTaskDone(item.room);
    if (item.name == "ISPYFA") {
        // A find-all room whose lines were never drawn has no pool and no
        // lines yet, and is not finished.
        const CPersonage::CRoomInfo* info = personage.GetRoomInfoConst(item.room);
        if (personage.investigationInfo.findAllMode && info && info->ispyPending)
            return false;
        return personage.IsISpyExhausted(item.room);
    }
    if (personage.IsItemUseToOneself(item))
        return personage.GetItemUseCount(item) != 0;
    return personage.GetItemInteractionCount(item) != 0;
}

bool CSpyEventBase::CheckWinItems()
{
    if (!m_owner)
        return false;
    const CRoomsManager* rooms = m_owner->GetRoomsManager();
    const CPersonagesManager* personages = m_owner->GetPersonagesManager();
    for (const WinItem& entry : m_winItems) {
        if (IsRoomPending(entry.item))
            return false;
        const CPersonage* personage =
            entry.hasPersonage && personages ? personages->GetPersonage(entry.personage) : nullptr;
        if (entry.hasPersonage && !personage && !m_unknownPersonageLogged) {
            a_log("CSpyEventBase::CheckWinItems(). Event '%s' (%s): no personage '%s'; '%s' is tested as an item",
                  m_eventName.c_str(), GetClassName().c_str(), entry.personage.c_str(),
                  entry.item.ToString().c_str());
            m_unknownPersonageLogged = true;
        }
        bool result = false;
        if (personage) {
            result = TestPersonage(*personage, entry.item);
        } else {
            const CSpyItem* item = rooms ? rooms->GetItem(entry.item.room, entry.item.name) : nullptr;
            if (!item)
                continue;
            result = item->IsFulfilled();
        }
        if (result == entry.negated)
            return false;
    }
    return true;
}

bool CSpyEventBase::CheckVisibilityItems()
{
    if (!m_owner)
        return false;
    const CRoomsManager* rooms = m_owner->GetRoomsManager();
    for (const VisibilityItem& entry : m_visibilityItems) {
        if (IsRoomPending(entry.item))
            return false;
        const CSpyItem* item = rooms ? rooms->GetItem(entry.item.room, entry.item.name) : nullptr;
        if (!item) {
            a_log("CSpyEventBase::CheckVisibilityItems(). Item '%s' not exist!", entry.text.c_str());
            SetDone();
            return false;
        }
        if (item->IsVisible() == entry.negated)
            return false;
    }
    return true;
}
