#pragma once
// The rooms of the game in play, by name, with what they share: the
// settings of "rooms.ini", the game-wide inventory, the Find All order, the
// locations' lists (queued at a location's first room, unloaded after its
// last) and the records of rooms a loaded save names but that are not
// loaded yet ("parked" until the room is added and reset).
//
// Saved as "<RoomsManager>": u16 format 1; the inventory (u32 count, item
// references); the Find All order (u32 count, names); the rooms in name
// order (u32 count, then name, u32 length and the room's record). A record
// is checked whole before any of it is applied. The rooms' events managers
// are its children, in name order; the block of a listed room not loaded is
// parked raw with the room's record. Main thread only.
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/SpyGame/Rooms/RoomContext.h"
#include "game/SpyGame/Rooms/RoomData.h"
#include "game/shell/save_load_entity.h"

class CGameDialogs;
class CPersonagesManager;

// The Find All walk over room names, in the room list's order.
class CFindAllOrder {
public:
    void Assign(const std::vector<std::string>& names);
    void Clear();
    void First() { m_cursor = m_names.begin(); }
    bool IsEnd() const { return m_cursor == m_names.end(); }
    // "" at the end.
    const std::string& GetCurrent() const;
    void Next();
    // Erasing the entry at the cursor moves the cursor to the next entry;
    // other erases leave it where it is. False when the name is not there.
    bool Erase(const std::string& name);
    const std::list<std::string>& GetNames() const { return m_names; }

private:
    std::list<std::string> m_names;
    std::list<std::string>::iterator m_cursor = m_names.end();
};

class CRoomsManager : public SaveLoadEntity {
public:
    static constexpr const char* kKey = "<RoomsManager>";
    static constexpr const char* kRoomsList = "_rooms.list";
    static constexpr const char* kLocationsFolder = "gamedata:_Locations/Rooms/";
    static constexpr const char* kRoomFile = "room.ini";
    static constexpr const char* kLocationFile = "location.ini";
    static constexpr std::uint16_t kFormat = 1;

    CRoomsManager();
    ~CRoomsManager() override;
    CRoomsManager(const CRoomsManager&) = delete;
    CRoomsManager& operator=(const CRoomsManager&) = delete;

    // The services rooms use; the game's unless set before Init.
    void SetServices(const CRoomServices& services);
    const CRoomServices& GetServices() const { return m_services; }
    // Keeps the two pointers, reads "rooms.ini" and hands the context (the
    // null context when none) to every room.
    void Init(CPersonagesManager* personages, CGameDialogs* dialogs, CRoomContext* context = nullptr);
    void SetContext(CRoomContext* context);
    CRoomContext& GetContext() const { return *m_context; }
    CPersonagesManager* GetPersonages() const { return m_personages; }
    CGameDialogs* GetDialogs() const { return m_dialogs; }
    CRoomsSettings& GetSettings() { return m_settings; }
    const CRoomsSettings& GetSettings() const { return m_settings; }

    // Makes the room from its case folder (the room's folder, with or
    // without its '/') and its location, queues the location's lists at its
    // first use, and registers it. The room's events get the investigation
    // as owner and, once read, the room's name as key. Null (logged) when the
    // room has no location or its name is taken (the room there is kept).
    CRoomBase* AddRoom(const std::string& name, const std::string& folder, CSpyEventsOwner* investigation);
    // Every room of caseFolder + "_rooms.list" (lines as they are).
    void LoadRooms(const std::string& caseFolder, CSpyEventsOwner* investigation);
    void AfterLoadInitRoom(const std::string& name, CRoomBase* murderHunt, CRoomBase* invCards);
    void AfterLoadInitRooms(const std::string& folder, CRoomBase* murderHunt, CRoomBase* invCards);
    // Resets the listed rooms that are loaded and refills the Find All order
    // with the list.
    void ResetRooms(const std::string& folder);
    // Removes the loaded rooms of the last list loaded or reset, and the
    // parked records; the list is not read again (the data may be gone).
    void RemoveRooms();
    bool RemoveRoom(const std::string& name);
    // Every room released; the map, the inventory and the parked records emptied.
    void ReleaseAll();

    bool HasRoom(const std::string& name) const { return m_rooms.count(name) != 0; }
    // Null after "CRoomManager::GetRoom(). Cannot find room: %s".
    CRoomBase* GetRoom(const std::string& name) const;
    // Null (no log) when the room or the item does not exist.
    CSpyItem* GetItem(const std::string& room, const std::string& item) const;
    // "room:item".
    CSpyItem* GetItemByFullName(const std::string& text) const;
    const std::map<std::string, std::unique_ptr<CRoomBase>>& GetRooms() const { return m_rooms; }
    CFindAllOrder& FindAllOrder() { return m_findAll; }
    // The names of the last room list loaded or reset.
    const std::vector<std::string>& GetCaseRooms() const { return m_caseRooms; }

    // ---- The game-wide inventory, in the order items joined it
    const std::vector<CSpyItem*>& GetInventory() const { return m_inventory; }
    void AddToInventory(CSpyItem* item);
    void RemoveFromInventory(CSpyItem* item);
    // Every item whose home room is that room.
    void RemoveRoomFromInventory(const std::string& room);
    // Every room hears of the pick.
    void NotifyItemPicked(CSpyItem* item);

    // Rooms loaded on a location's folder.
    std::uint32_t GetLocationUseCount(const std::string& locationFolder) const;

    // ---- Parked records
    bool HasParkedRecord(const std::string& room) const { return m_parked.count(room) != 0; }
    bool HasParkedEvents(const std::string& room) const { return m_parkedEvents.count(room) != 0; }
    // Applies and drops the room's parked records (its own and its events'), if any.
    void ApplyParkedRecord(CRoomBase& room);

    // ---- SaveLoadEntity
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    void SaveChildren(SaveLoadSystem& system) override;
    // A load begins: the parked records of an earlier load are dropped; the
    // loaded rooms' events are restored and the listed others' parked. A
    // loaded room's events block that is absent fails the load.
    void LoadChildren(SaveLoadSystem& system) override;
    // The events managers whose blocks every save holds: those of the loaded
    // rooms. A save is read into a case loaded afresh, so a Find All room
    // (loaded as the player walks in) is never among them: its block, like
    // its record, is parked when the save has one.
    std::vector<const SaveLoadEntity*> GetRequiredEvents() const;

private:
    struct Location {
        std::string group;
        std::uint32_t rooms = 0;
    };

    std::vector<std::string> ReadRoomList(const std::string& folder) const;
    void QueueLocation(const std::string& folder, const std::string& group);
    void UnqueueLocation(const std::string& folder);

    CRoomServices m_services;
    bool m_servicesSet = false;
    CPersonagesManager* m_personages = nullptr;
    CGameDialogs* m_dialogs = nullptr;
    CNullRoomContext m_nullContext;
    CRoomContext* m_context = &m_nullContext;
    CRoomsSettings m_settings;

    std::map<std::string, std::unique_ptr<CRoomBase>> m_rooms;
    std::vector<CSpyItem*> m_inventory;
    CFindAllOrder m_findAll;
    std::vector<std::string> m_caseRooms;
    std::map<std::string, Location> m_locations;
    std::map<std::string, std::vector<std::uint8_t>> m_parked;
    std::map<std::string, std::vector<std::uint8_t>> m_parkedEvents;
};
