#pragma once
// A scripted event: one section of an events file ("_events.ini" of a case
// or of a room). The section's name is the event's kind; the kinds
// (SpyEvents.h) add data only, and what an event does when it fires is the
// investigation's business. The base holds the conditions every kind shares
// (the room to be in, events that must or must not have fired, item and task
// states, the personage in play, a message to be closed first), answers
// whether the event is ready, and keeps the one saved state: done.
//
// Each common key has a usage mode: 0 not used by the kind (a value given
// is warned about, kept, and takes no part in readiness), 1 optional, 2
// required (a missing key is warned about and takes its default). Kinds set
// modes in their SetOwner; nothing is read before SetOwner.
//
// The record is one byte, the done flag; the events manager strings the
// records together, so the entity key stays empty. Personages and items are
// looked up at each test, never kept: personages are made again per case.
// Main thread only.
#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "game/SpyGame/items/ObjFactory.h"
#include "game/SpyGame/items/SpyItemRef.h"
#include "game/shell/save_load_entity.h"

class aOptionsFile;
class CPersonage;
class CSpyEventsManager;
class CSpyEventsOwner;

class CSpyEventBase : public SaveLoadEntity {
public:
    static constexpr const char* kClassName = "EventBase";

    enum Usage : std::uint32_t { UsageUnused = 0, UsageOptional = 1, UsageRequired = 2 };
    // The common keys with a usage mode, in reading order.
    enum Key : std::size_t {
        KeyLocation,
        KeyNotInCloseUp,
        KeyAfterEvents,
        KeyBeforeEvents,
        KeyWinItemsList,
        KeyWaitCloseMessage,
        KeyItemInInventory,
        KeyVisibilityItems,
        KeyPersonage,
        KeyCount
    };

    // One entry of WinItemsList: [!][@personage:]room:item, where the
    // personage's tests name the item TASK, ISPY or ISPYFA.
    struct WinItem {
        bool negated = false;
        bool hasPersonage = false;
        std::string personage;
        CSpyItemRef item;
    };
    // One entry of VisibilityItems: [!]room:item.
    struct VisibilityItem {
        bool negated = false;
        std::string text;  // the reference as written, without the '!'
        CSpyItemRef item;
    };

    CSpyEventBase();
    ~CSpyEventBase() override;

    // ---- SaveLoadEntity: the done byte
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;

    static std::string GetClassStaticName() { return kClassName; }
    virtual std::string GetClassName() const { return kClassName; }
    // Kinds call the base, then set their usage modes.
    virtual void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager);
    // The common keys of the options file's current section; kinds then
    // read their own. Nothing without an owner.
    virtual void ReadFromIniFile(aOptionsFile& ini);
    // Asked only while the event is not done; a visibility item that does
    // not exist marks it done here.
    virtual bool IsReady();
    virtual void SetDone() { m_done = true; }
    virtual bool IsDone() const { return m_done; }
    virtual std::string GetEventName() const { return m_eventName; }
    virtual void ResetDone() { m_done = false; }

    std::uint32_t GetUsage(Key key) const { return m_usage[key]; }
    CSpyEventsOwner* GetOwner() const { return m_owner; }
    CSpyEventsManager* GetManager() const { return m_manager; }
    const std::string& GetLocation() const { return m_location; }
    bool IsNotInCloseUp() const { return m_notInCloseUp; }
    const std::list<std::string>& GetAfterEvents() const { return m_afterEvents; }
    const std::list<std::string>& GetBeforeEvents() const { return m_beforeEvents; }
    const std::list<std::string>& GetWinItemsList() const { return m_winItemsList; }
    const std::vector<WinItem>& GetWinItems() const { return m_winItems; }
    bool IsWaitCloseMessage() const { return m_waitCloseMessage; }
    const std::string& GetItemInInventory() const { return m_itemInInventory; }
    const std::list<std::string>& GetVisibilityItemsList() const { return m_visibilityItemsList; }
    const std::vector<VisibilityItem>& GetVisibilityItems() const { return m_visibilityItems; }
    const std::string& GetPersonage() const { return m_personage; }

    // Every entry in order; the first that fails ends the test. An item
    // that does not exist passes its entry.
    bool CheckWinItems();
    // Every entry in order: each item must be visible, or hidden when
    // negated. An item that does not exist marks the event done.
    bool CheckVisibilityItems();

protected:
    void SetUsage(Key key, Usage mode) { m_usage[key] = mode; }

    // The reading rule, for the common keys and the kinds' own: a missing
    // key with mode 2 and a present key with mode 0 are logged; a missing
    // key gives the default, a present one its value in every mode.
    void ReadText(aOptionsFile& ini, const char* key, std::uint32_t mode, std::string& out,
                  const std::string& def = std::string()) const;
    void ReadInt(aOptionsFile& ini, const char* key, std::uint32_t mode, std::int32_t& out, std::int32_t def) const;
    void ReadFlag(aOptionsFile& ini, const char* key, std::uint32_t mode, bool& out, bool def) const;
    void ReadList(aOptionsFile& ini, const char* key, std::uint32_t mode, std::list<std::string>& out) const;

private:
    // Whether the key is there, after the reading rule's messages.
    bool CheckKey(aOptionsFile& ini, const char* key, std::uint32_t mode) const;
    bool TestPersonage(const CPersonage& personage, const CSpyItemRef& item) const;
    // In the find-all game rooms load on demand: an entry that names a room
    // not loaded yet cannot be judged, and holds the event back.
    bool IsRoomPending(const CSpyItemRef& item) const;

    std::string m_eventName;
    bool m_done = false;
    std::string m_location;
    bool m_notInCloseUp = false;
    std::list<std::string> m_afterEvents;
    std::list<std::string> m_beforeEvents;
    std::list<std::string> m_winItemsList;
    bool m_waitCloseMessage = false;
    std::string m_itemInInventory;
    std::list<std::string> m_visibilityItemsList;
    std::string m_personage;
    std::array<std::uint32_t, KeyCount> m_usage;
    CSpyEventsOwner* m_owner = nullptr;
    CSpyEventsManager* m_manager = nullptr;

    std::vector<WinItem> m_winItems;
    std::vector<VisibilityItem> m_visibilityItems;
    bool m_unknownPersonageLogged = false;
};

using CSpyEventFactory = aObjFactory<CSpyEventBase, CSpyEventsOwner>;
