#pragma once
// The scripted events of a case or of a room: made by kind from the folder's
// "_events.ini" (after SetOwner), kept in file order, found by name, asked
// for the next ready one, reset, and their done flags saved.
//
// Saved under "CSpyEventsManager : " + the case's or the room's name, set
// by ResetEvents: u32 count, one done byte per event in order, u32 index of
// the current event (0xFFFFFFFF for none). A record whose count the block
// cannot hold changes nothing. Main thread only.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "game/SpyGame/SpyEventBase.h"
#include "game/shell/save_load_entity.h"

class CSpyEventsManager : public SaveLoadEntity, public CSpyEventFactory {
public:
    static constexpr const char* kKeyPrefix = "CSpyEventsManager : ";
    static constexpr const char* kFile = "_events.ini";
    static constexpr std::uint32_t kNoEvent = 0xFFFFFFFF;

    CSpyEventsManager() = default;
    ~CSpyEventsManager() override;
    // Events point at their manager.
    CSpyEventsManager(const CSpyEventsManager&) = delete;
    CSpyEventsManager& operator=(const CSpyEventsManager&) = delete;

    // Appends the events of the file's sections in order; nothing without
    // an owner. Callers check that the file exists.
    void AddEvents(const std::string& file);
    // The first event of that name; null when none.
    CSpyEventBase* GetEvent(const std::string& name) const;
    // The first event not done and ready, which becomes the current one;
    // null (the current one kept) when none.
    CSpyEventBase* GetReadyEvent();
    // The key from the name, every done flag cleared, no current event.
    void ResetEvents(const std::string& name);
    // Every event and name dropped; the key and the owner stay.
    void Clear();

    const std::deque<std::shared_ptr<CSpyEventBase>>& GetEvents() const { return m_events; }
    CSpyEventBase* GetCurrentEvent() const { return m_current; }

    // ---- SaveLoadEntity
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    // The record from pos to the block's end is framed as SaveSelf writes
    // it: a count, a byte per event, the current event's index (or none).
    static bool CheckRecord(SaveLoadSystem& system, std::uint32_t pos);
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;

private:
    std::deque<std::shared_ptr<CSpyEventBase>> m_events;
    CSpyEventBase* m_current = nullptr;
    std::map<std::string, CSpyEventBase*> m_names;
};
