#pragma once
// The personages of the case being played: which may be played now, which
// one is played, their ".ai" data for every room, and the shared I-spy pool
// (per room and difficulty level, the hidden-object lines not given yet, so
// that no line is given twice until the pool is rebuilt). The game root owns
// one manager for the whole game; the pool outlives Clear.
//
// Saved as "<PersonagesManager>", its personages as children: the current
// personage's name (a single NUL for none), the active names, then per pool
// room in name order its levels in ascending order with their lines. A
// record that overruns its block changes nothing. Main thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/Personage.h"
#include "game/shell/save_load_entity.h"

class aOptionsFile;
class CGameDialogs;
class CRoomsManager;

class CPersonagesManager : public SaveLoadEntity {
public:
    static constexpr const char* kKey = "<PersonagesManager>";
    static constexpr const char* kSection = "PersonagesList";
    static constexpr const char* kFindAllCase = "FindAll";

    CPersonagesManager();
    ~CPersonagesManager() override;
    CPersonagesManager(const CPersonagesManager&) = delete;
    CPersonagesManager& operator=(const CPersonagesManager&) = delete;

    // Keeps the rooms manager and makes one personage per name of
    // [PersonagesList] Personages (a repeated name is logged and skipped).
    // An empty Personages or StartPersonages key is a broken invariant:
    // logged, and an aException is thrown; Clear still works after it.
    void CreatePersonages(const aOptionsFile& ini, CGameDialogs* dialogs, CRoomsManager* rooms);
    // Every personage reads its ".ai" files of each room of folder +
    // "_rooms.list", then of the case folder itself; Find All for "FindAll".
    void LoadAllRoomAiData(const std::string& folder, const std::string& caseName);
    // Every personage reads folder + its name + ".ai" for the room.
    void LoadRoomAiDataForAll(const std::string& folder, const std::string& room);
    void SetRoomItemsCount(const std::string& room, std::uint32_t count);

    // Exact name; null when none.
    CPersonage* GetPersonage(const std::string& name) const;
    // Only a name of the active list becomes current.
    void SetCurrentPersonage(const std::string& name);
    // False for a name outside the case's personages; an active name stays once.
    bool ActivatePersonage(const std::string& name);
    bool DeactivatePersonage(const std::string& name);
    // A new start of the case: the pool rebuilt (whole unless keepProgress),
    // every personage's tasks reset, the start names active, the first
    // current (returned).
    CPersonage* ResetPersonages(bool keepProgress, bool findAll);
    // all: the whole pool made again; otherwise only "EveryFullReset" rooms
    // and rooms without lines left.
    void ResetISpyPool(bool all);
    // The room's lines from its I-spy items: groups in name order, then the
    // ungrouped items in load order; inventory items are left out. A room
    // without lines has no entry.
    void BuildISpyPool(const std::string& room);
    // Null when the room has no pool entry.
    CISpyLevels* GetISpyPool(const std::string& room);
    const CISpyLevels* GetISpyPool(const std::string& room) const;
    // The personages and the name lists go; the pool and the rooms stay.
    void Clear();

    CRoomsManager* GetRooms() const { return m_rooms; }
    CPersonage* GetCurrentPersonage() const { return m_current; }
    const std::vector<std::shared_ptr<CPersonage>>& GetPersonages() const { return m_personages; }
    const std::vector<std::string>& GetAllNames() const { return m_allNames; }
    const std::vector<std::string>& GetStartNames() const { return m_startNames; }
    const std::vector<std::string>& GetActiveNames() const { return m_activeNames; }
    const std::map<std::string, CISpyLevels>& GetISpyPools() const { return m_ispyPool; }

    // ---- SaveLoadEntity
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    void SaveChildren(SaveLoadSystem& system) override;
    void LoadChildren(SaveLoadSystem& system) override;

private:
    CRoomsManager* m_rooms = nullptr;
    std::map<std::string, CISpyLevels> m_ispyPool;
    std::vector<std::shared_ptr<CPersonage>> m_personages;
    std::vector<std::string> m_allNames;
    std::vector<std::string> m_startNames;
    std::vector<std::string> m_activeNames;
    CPersonage* m_current = nullptr;
};
