#include "game/SpyGame/Rooms/RoomsManager.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string_list.h"
#include "game/SpyGame/SpyEventsOwner.h"
#include "game/shell/save_load_system.h"

namespace {

// Room and location names become parts of paths: [A-Za-z0-9_] only.
bool isName(const std::string& name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    return true;
}

std::string withSlash(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\')
        return folder;
    return folder + "/";
}

// Applies a parked room record inside a load of its own.
class ParkedRecord : public SaveLoadEntity {
public:
    static constexpr const char* kKey = "<ParkedRoom>";
    explicit ParkedRecord(CRoomBase& room) : SaveLoadEntity(kKey), m_room(room) {}
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        const std::uint32_t end = pos + system.BytesLeft(pos);
        if (!CRoomBase::CheckRecord(system, pos, end)) {
            a_log("CRoomsManager. The parked record of room '%s' is damaged; the room stays as it was reset",
                  m_room.GetName().c_str());
            return end;
        }
        return m_room.LoadRecord(system, pos, end);
    }
    std::uint32_t SaveSelf(SaveLoadSystem&, std::uint32_t pos) override { return pos; }

private:
    CRoomBase& m_room;
};

// A block carried as it is: an events manager's block of a room not loaded.
class RawBlock : public SaveLoadEntity {
public:
    using SaveLoadEntity::SaveLoadEntity;
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        // Read when its room loads; its frame is checked now, so a damaged
        // one fails the save's load rather than that room's.
        if (!CSpyEventsManager::CheckRecord(system, pos)) {
            a_log("CRoomsManager. The events record '%s' is damaged", GetKey().c_str());
            system.RefuseRecord();
        }
        return system.ReadBytes(pos, system.BytesLeft(pos), bytes);
    }
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        for (std::uint8_t byte : bytes)
            pos = system.WriteU8(pos, byte);
        return pos;
    }
    std::vector<std::uint8_t> bytes;
};

void appendBlock(std::vector<std::uint8_t>& payload, const std::string& key, const std::vector<std::uint8_t>& record)
{
    payload.insert(payload.end(), key.begin(), key.end());
    payload.push_back(0);
    const std::uint32_t length = std::uint32_t(record.size());
    for (int i = 0; i < 4; ++i)
        payload.push_back(std::uint8_t(length >> (8 * i)));
    payload.insert(payload.end(), record.begin(), record.end());
}

} // namespace

// ------------------------------------------------------------------ Find All order

void CFindAllOrder::Assign(const std::vector<std::string>& names)
{
    m_names.assign(names.begin(), names.end());
    m_cursor = m_names.begin();
}

void CFindAllOrder::Clear()
{
    m_names.clear();
    m_cursor = m_names.end();
}

const std::string& CFindAllOrder::GetCurrent() const
{
    static const std::string none;
    return IsEnd() ? none : *m_cursor;
}

void CFindAllOrder::Next()
{
    if (!IsEnd())
        ++m_cursor;
}

bool CFindAllOrder::Erase(const std::string& name)
{
    const auto it = std::find(m_names.begin(), m_names.end(), name);
    if (it == m_names.end())
        return false;
    if (it == m_cursor)
        m_cursor = m_names.erase(it);
    else
        m_names.erase(it);
    return true;
}

// ------------------------------------------------------------------ set-up

CRoomsManager::CRoomsManager() : SaveLoadEntity(kKey) {}

CRoomsManager::~CRoomsManager() { ReleaseAll(); }

void CRoomsManager::SetServices(const CRoomServices& services)
{
    m_services = services;
    m_servicesSet = true;
}

void CRoomsManager::Init(CPersonagesManager* personages, CGameDialogs* dialogs, CRoomContext* context)
{
    m_personages = personages;
    m_dialogs = dialogs;
    if (!m_servicesSet)
        SetServices(CRoomServices::FromGame());
    m_settings = CRoomsSettings();
    m_settings.Load(CRoomsSettings::kFile);
    SetContext(context);
}

void CRoomsManager::SetContext(CRoomContext* context) { m_context = context ? context : &m_nullContext; }

std::vector<std::string> CRoomsManager::ReadRoomList(const std::string& folder) const
{
    const std::string path = withSlash(folder) + kRoomsList;
    if (!file_isExistOrPacked(path)) {
        a_log("CRoomsManager. No room list '%s'", path.c_str());
        return {};
    }
    aStringList list(path);
    return std::vector<std::string>(list.lines().begin(), list.lines().end());
}

// ------------------------------------------------------------------ rooms

CRoomBase* CRoomsManager::AddRoom(const std::string& name, const std::string& folder, CSpyEventsOwner* investigation)
{
    if (!isName(name)) {
        a_log("CRoomsManager::AddRoom(). Bad room name '%s'; not added", name.c_str());
        return nullptr;
    }
    if (HasRoom(name)) {
        a_log("CRoomsManager::AddRoom(). Room '%s' exists already; it is kept", name.c_str());
        return nullptr;
    }
    const std::string caseFolder = withSlash(folder);
    std::string locationFolder, location;
    if (file_isExistOrPacked(caseFolder + kLocationFile)) {
        locationFolder = caseFolder;
        location = name;
    } else {
        CRoomData caseData;
        caseData.Open(name, caseFolder + kRoomFile, std::string());
        location = caseData.GetString("Location", name);
        locationFolder = std::string(kLocationsFolder) + location + "/";
        if (!isName(location) || !file_isDirExistOrPacked(locationFolder)) {
            a_log("CRoomsManager::AddRoom(). Room '%s' has no location", name.c_str());
            return nullptr;
        }
    }
    if (m_context->IsFindAll() && location != name)
        a_log("CRoomsManager::AddRoom(). Warning: Find All room '%s' lies on location '%s'", name.c_str(),
              location.c_str());
    if (investigation && investigation->GetName() == name)
        a_log("CRoomsManager::AddRoom(). Warning: room '%s' bears its case's name; their events share one save block",
              name.c_str());

    CRoomData data;
    data.Open(name, locationFolder == caseFolder ? std::string() : caseFolder + kRoomFile,
              locationFolder + kLocationFile);
    std::string className = data.GetString("Class", CRoomBase::kClassName);
    if (!CRoomFactory::IsRegistered(className)) {
        a_log("CRoomsManager::AddRoom(). Room '%s': unknown Class '%s', made as %s", name.c_str(), className.c_str(),
              CRoomBase::kClassName);
        className = CRoomBase::kClassName;
    }
    std::unique_ptr<CRoomBase> room = CRoomFactory::Create(className);
    if (!room)
        return nullptr;
    room->GetEventsManager().SetOwner(investigation);
    if (!room->Load(*this, name, caseFolder, locationFolder, location, data, investigation))
        return nullptr;
    // Keyed now, not at the first Reset: a room loaded once for all cases
    // may never be reset, and an empty key would not be saved.
    room->GetEventsManager().ResetEvents(name);
    QueueLocation(locationFolder, location);
    CRoomBase* raw = room.get();
    m_rooms[name] = std::move(room);
    return raw;
}

void CRoomsManager::QueueLocation(const std::string& folder, const std::string& group)
{
    Location& location = m_locations[folder];
    if (location.rooms++ > 0)
        return;
    location.group = group;
    const CSpyResources& res = m_services.res;
    if (res.images && file_isExistOrPacked(folder + "_images.list"))
        res.images->AddListToTask(folder + "_images.list", group, "");
    if (res.anims && file_isExistOrPacked(folder + "_anims.list"))
        res.anims->AddListToTask(folder + "_anims.list", group, "");
}

void CRoomsManager::UnqueueLocation(const std::string& folder)
{
    const auto it = m_locations.find(folder);
    if (it == m_locations.end() || --it->second.rooms > 0)
        return;
    const CSpyResources& res = m_services.res;
    if (res.images && file_isExistOrPacked(folder + "_images.list"))
        res.images->UnloadList(folder + "_images.list", it->second.group);
    if (res.anims && file_isExistOrPacked(folder + "_anims.list"))
        res.anims->UnloadList(folder + "_anims.list", it->second.group);
    m_locations.erase(it);
}

std::uint32_t CRoomsManager::GetLocationUseCount(const std::string& locationFolder) const
{
    const auto it = m_locations.find(locationFolder);
    return it == m_locations.end() ? 0 : it->second.rooms;
}

void CRoomsManager::LoadRooms(const std::string& caseFolder, CSpyEventsOwner* investigation)
{
    m_caseRooms = ReadRoomList(caseFolder);
    for (const std::string& name : m_caseRooms)
        AddRoom(name, withSlash(caseFolder) + name + "/", investigation);
}

void CRoomsManager::AfterLoadInitRoom(const std::string& name, CRoomBase* murderHunt, CRoomBase* invCards)
{
    if (CRoomBase* room = GetRoom(name))
        room->AfterLoadInit(murderHunt, invCards);
}

void CRoomsManager::AfterLoadInitRooms(const std::string& folder, CRoomBase* murderHunt, CRoomBase* invCards)
{
    for (const std::string& name : ReadRoomList(folder))
        if (HasRoom(name))
            m_rooms[name]->AfterLoadInit(murderHunt, invCards);
}

void CRoomsManager::ResetRooms(const std::string& folder)
{
    m_caseRooms = ReadRoomList(folder);
    for (const std::string& name : m_caseRooms)
        if (HasRoom(name))
            m_rooms[name]->Reset();
    m_findAll.Assign(m_caseRooms);
}

bool CRoomsManager::RemoveRoom(const std::string& name)
{
    const auto it = m_rooms.find(name);
    if (it == m_rooms.end())
        return false;
    RemoveRoomFromInventory(name);
    it->second->Unload();
    const std::string locationFolder = it->second->GetLocationFolder();
    m_rooms.erase(it);
    UnqueueLocation(locationFolder);
    return true;
}

void CRoomsManager::RemoveRooms()
{
    for (const std::string& name : m_caseRooms)
        RemoveRoom(name);
    m_parked.clear();
    m_parkedEvents.clear();
}

void CRoomsManager::ReleaseAll()
{
    while (!m_rooms.empty())
        RemoveRoom(m_rooms.begin()->first);
    m_inventory.clear();
    m_parked.clear();
    m_parkedEvents.clear();
    m_findAll.Clear();
    m_caseRooms.clear();
}

CRoomBase* CRoomsManager::GetRoom(const std::string& name) const
{
    const auto it = m_rooms.find(name);
    if (it == m_rooms.end()) {
        a_log("CRoomManager::GetRoom(). Cannot find room: %s", name.c_str());
        return nullptr;
    }
    return it->second.get();
}

CSpyItem* CRoomsManager::GetItem(const std::string& room, const std::string& item) const
{
    const auto it = m_rooms.find(room);
    return it == m_rooms.end() ? nullptr : it->second->GetItemManager()->FindItem(item);
}

CSpyItem* CRoomsManager::GetItemByFullName(const std::string& text) const
{
    const CSpyItemRef ref = CSpyItemRef::Parse(text);
    return GetItem(ref.room, ref.name);
}

// ------------------------------------------------------------------ inventory

void CRoomsManager::AddToInventory(CSpyItem* item)
{
    if (!item || std::find(m_inventory.begin(), m_inventory.end(), item) != m_inventory.end())
        return;
    m_inventory.push_back(item);
    item->SetInInventory(true);
}

void CRoomsManager::RemoveFromInventory(CSpyItem* item)
{
    m_inventory.erase(std::remove(m_inventory.begin(), m_inventory.end(), item), m_inventory.end());
    for (auto& room : m_rooms)
        if (room.second->GetCursorItem() == item)
            room.second->DropCursorItem();
}

void CRoomsManager::RemoveRoomFromInventory(const std::string& room)
{
    std::vector<CSpyItem*> gone;
    for (CSpyItem* item : m_inventory)
        if (item->GetRoomName() == room)
            gone.push_back(item);
    for (CSpyItem* item : gone)
        RemoveFromInventory(item);
}

void CRoomsManager::NotifyItemPicked(CSpyItem* item)
{
    for (auto& room : m_rooms)
        room.second->OnItemPicked(item);
}

// ------------------------------------------------------------------ record

void CRoomsManager::ApplyParkedRecord(CRoomBase& room)
{
    std::vector<std::uint8_t> payload;
    std::uint32_t blocks = 0;
    const auto record = m_parked.find(room.GetName());
    const bool hasRecord = record != m_parked.end();
    if (hasRecord) {
        appendBlock(payload, ParkedRecord::kKey, record->second);
        m_parked.erase(record);
        ++blocks;
    }
    CSpyEventsManager& events = room.GetEventsManager();
    const auto eventsRecord = m_parkedEvents.find(room.GetName());
    const bool hasEvents = eventsRecord != m_parkedEvents.end() && !events.GetKey().empty();
    if (hasEvents) {
        appendBlock(payload, events.GetKey(), eventsRecord->second);
        ++blocks;
    }
    if (eventsRecord != m_parkedEvents.end())
        m_parkedEvents.erase(eventsRecord);
    if (blocks == 0)
        return;
    SaveLoadSystem system;
    if (!system.BeginLoadPayload(std::move(payload), blocks, "parked records of room '" + room.GetName() + "'"))
        return;
    if (hasEvents)
        system.LoadEntity(&events);
    if (hasRecord) {
        ParkedRecord entity(room);
        system.LoadEntity(&entity);
    }
    system.Finish();
}

void CRoomsManager::SaveChildren(SaveLoadSystem& system)
{
    std::set<std::string> names;
    for (const auto& room : m_rooms)
        names.insert(room.first);
    for (const auto& parked : m_parkedEvents)
        names.insert(parked.first);
    for (const std::string& name : names) {
        const auto room = m_rooms.find(name);
        if (room != m_rooms.end()) {
            system.SaveEntity(&room->second->GetEventsManager());
            continue;
        }
        RawBlock block(CSpyEventsManager::kKeyPrefix + name);
        block.bytes = m_parkedEvents[name];
        system.SaveEntity(&block);
    }
}

std::vector<const SaveLoadEntity*> CRoomsManager::GetRequiredEvents() const
{
    std::vector<const SaveLoadEntity*> required;
    for (const auto& room : m_rooms)
        required.push_back(&room.second->GetEventsManager());
    return required;
}

void CRoomsManager::LoadChildren(SaveLoadSystem& system)
{
    m_parked.clear();
    m_parkedEvents.clear();
    for (auto& room : m_rooms)
        system.LoadRequiredEntity(&room.second->GetEventsManager());
    for (const std::string& name : m_caseRooms) {
        if (HasRoom(name) || m_parkedEvents.count(name))
            continue;
        RawBlock block(CSpyEventsManager::kKeyPrefix + name);
        if (system.LoadEntity(&block))
            m_parkedEvents[name] = std::move(block.bytes);
    }
}

std::uint32_t CRoomsManager::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    for (auto& room : m_rooms)
        room.second->DropCursorItem();
    pos = system.WriteU16(pos, kFormat);
    pos = system.WriteU32(pos, std::uint32_t(m_inventory.size()));
    for (const CSpyItem* item : m_inventory)
        pos = item->GetItemRef().Save(system, pos);
    pos = system.WriteU32(pos, std::uint32_t(m_findAll.GetNames().size()));
    for (const std::string& name : m_findAll.GetNames())
        pos = system.WriteString(pos, name);

    // Loaded rooms and parked records, by name: a save keeps the progress
    // of rooms not loaded since the last load.
    std::set<std::string> names;
    for (const auto& room : m_rooms)
        names.insert(room.first);
    for (const auto& parked : m_parked)
        names.insert(parked.first);
    pos = system.WriteU32(pos, std::uint32_t(names.size()));
    for (const std::string& name : names) {
        pos = system.WriteString(pos, name);
        const std::uint32_t lengthAt = pos;
        pos = system.WriteU32(pos, 0);
        const std::uint32_t begin = pos;
        const auto room = m_rooms.find(name);
        if (room != m_rooms.end()) {
            pos = room->second->SaveRecord(system, pos);
        } else {
            for (std::uint8_t byte : m_parked[name])
                pos = system.WriteU8(pos, byte);
        }
        system.WriteU32(lengthAt, pos - begin);
    }
    return pos;
}

std::uint32_t CRoomsManager::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    std::uint16_t format = 0;
    pos = system.ReadU16(pos, format);
    if (system.HasOverrun())
        return pos;
    if (format != kFormat) {
        a_log("CRoomsManager::LoadSelf(). Unknown record format %u; the rooms stay as they are", unsigned(format));
        system.RefuseRecord();
        return pos + system.BytesLeft(pos);
    }

    // The whole record is read before anything of it is applied.
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, 2);
    std::vector<CSpyItemRef> inventory(count);
    for (CSpyItemRef& ref : inventory)
        pos = ref.Load(system, pos);
    pos = system.ReadCount(pos, count, 1);
    std::vector<std::string> order(count);
    for (std::string& name : order)
        pos = system.ReadString(pos, name);
    struct Entry {
        std::string name;
        std::uint32_t begin = 0;
        std::vector<std::uint8_t> bytes;
    };
    pos = system.ReadCount(pos, count, 1 + 4);
    std::vector<Entry> rooms(count);
    for (Entry& entry : rooms) {
        pos = system.ReadString(pos, entry.name);
        std::uint32_t length = 0;
        pos = system.ReadU32(pos, length);
        entry.begin = pos;
        pos = system.ReadBytes(pos, length, entry.bytes);
    }
    if (system.HasOverrun()) {
        a_log("CRoomsManager::LoadSelf(). The record is cut short; the rooms stay as they are");
        return pos;
    }

    // Every part is checked before anything is applied: a record that
    // cannot be restored whole changes nothing.
    const auto known = [this](const std::string& name) {
        return m_rooms.count(name) != 0 || std::find(m_caseRooms.begin(), m_caseRooms.end(), name) != m_caseRooms.end();
    };
    std::set<std::string> seen;
    for (const Entry& entry : rooms) {
        const std::uint32_t end = entry.begin + std::uint32_t(entry.bytes.size());
        const char* problem = !seen.insert(entry.name).second ? "appears twice"
                              : !known(entry.name)            ? "is not one of this game's"
                              : !CRoomBase::CheckRecord(system, entry.begin, end) ? "has a damaged record"
                                                                                  : nullptr;
        if (problem) {
            a_log("CRoomsManager::LoadSelf(). Room '%s' %s; the rooms stay as they are", entry.name.c_str(), problem);
            system.RefuseRecord();
            return pos;
        }
    }
    // An item of a room not loaded now (Find All loads its rooms one by
    // one) is not carried; one that its loaded room lacks is damage.
    std::vector<CSpyItem*> items;
    for (const CSpyItemRef& ref : inventory) {
        CSpyItem* item = GetItem(ref.room, ref.name);
        if (item) {
            items.push_back(item);
        } else if (m_rooms.count(ref.room) || !known(ref.room)) {
            a_log("CRoomsManager::LoadSelf(). Inventory item '%s' does not exist; the rooms stay as they are",
                  ref.ToString().c_str());
            system.RefuseRecord();
            return pos;
        } else {
            a_log("CRoomsManager::LoadSelf(). Inventory item '%s': its room is not loaded; skipped",
                  ref.ToString().c_str());
        }
    }

    for (Entry& entry : rooms) {
        const auto room = m_rooms.find(entry.name);
        if (room != m_rooms.end())
            room->second->LoadRecord(system, entry.begin, entry.begin + std::uint32_t(entry.bytes.size()));
        else
            m_parked[entry.name] = std::move(entry.bytes);
    }
    m_findAll.Assign(order);
    for (CSpyItem* item : m_inventory)
        item->SetInInventory(false);
    m_inventory.clear();
    for (CSpyItem* item : items)
        AddToInventory(item);
    return pos;
}
