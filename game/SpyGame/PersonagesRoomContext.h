#pragma once
// The personage part of what rooms ask of the game, answered by the
// personages manager's current personage; with none current, the null
// context's answers. The other parts (item scripts, panel, dialogs) keep the
// null answers here; the game's context derives from this one. Main thread
// only.
#include "game/SpyGame/Rooms/RoomContext.h"

class CPersonage;
class CPersonagesManager;

class CPersonagesRoomContext : public CNullRoomContext {
public:
    explicit CPersonagesRoomContext(CPersonagesManager& personages) : m_personages(personages) {}

    void SetCurrentRoom(const std::string& room) override;
    bool HasItemInfo(const std::string& item) override;
    std::string GetEnterRoomText() override;
    std::string GetCurrentRoomTask() override;
    bool HasRoomTasks(const std::string& room) override;
    const std::vector<CFindItemsGroup>* GetTaskList(const std::string& room) override;
    const std::vector<CFindItemsGroup>* GetISpyList(const std::string& room) override;
    const std::vector<CFindItemsGroup>* GetClueList(const std::string& room) override;
    bool IsFindAll() override;
    bool IsISpyPending(const std::string& room) override;
    std::uint32_t GetISpyItemsCount(const std::string& room) override;
    void GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool allowRefill, bool force) override;

    CPersonagesManager& GetPersonages() const { return m_personages; }

protected:
    // Null when no personage is current.
    CPersonage* Current() const;

private:
    CPersonagesManager& m_personages;
};
