#pragma once
// The global map (room "GlobalMap"): its locations are its doors that
// target a room. A door shows while its target is on the case's room list,
// or is a board that exists (outside Find All), and its location is not
// hidden; a disabled location's door stands in visual state "off" and takes
// no clicks. The tab doors to the boards are such doors.
//
// Class extra of the room record: u8 first mode flag, u8 second, u32 n x
// (location name, u8 state: bit 0 disabled, bit 1 hidden). Main thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "game/SpyGame/Rooms/RoomBase.h"

class CSpyDoor;
class CSpyEventsManager;

class CGlobalMap : public CRoomBase {
public:
    static constexpr const char* kClassName = "GlobalMap";
    static constexpr const char* kOffState = "off";

    enum LocationBits : std::uint8_t { LocationDisabled = 1, LocationHidden = 2 };

    static std::string GetClassStaticName() { return kClassName; }
    std::string GetClassName() const override { return kClassName; }
    // Location states cleared, then the room reset.
    void Reset() override;
    void Entry(std::uint32_t value) override;
    // The doors derived again from the room list and the location states.
    void RefreshItemState() override;
    bool ShowsInventory() const override { return false; }

    // first: Find All (board doors hide); second: kept and saved only.
    void SetModeFlags(bool first, bool second);
    std::uint8_t GetFirstMode() const { return m_firstMode; }
    std::uint8_t GetSecondMode() const { return m_secondMode; }
    // A door targets the room.
    bool HasLocation(const std::string& room) const;
    // false disables the location, true hides it; both may apply. An
    // unknown location is logged and ignored.
    void SetLocationState(const std::string& location, bool hide);
    std::uint8_t GetLocationState(const std::string& location) const;
    // A new case or a restart: the investigation's events, and every
    // location enabled and shown again.
    void SetEventsManager(CSpyEventsManager* events);
    CSpyEventsManager* GetEventsManager() const { return m_events; }
    // The location doors, in load order.
    std::vector<CSpyDoor*> GetLocationDoors() const;

protected:
    std::uint32_t SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const override;
    void LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length) override;

private:
    bool IsBoard(const std::string& room) const;

    std::uint8_t m_firstMode = 0;
    std::uint8_t m_secondMode = 0;
    std::map<std::string, std::uint8_t> m_states;
    CSpyEventsManager* m_events = nullptr;
    // Each door's own Clickable, before a disabled location switched it off.
    std::map<const CSpyItem*, bool> m_clickable;
};
