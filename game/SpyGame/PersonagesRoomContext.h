#pragma once
// The personage part of what rooms ask of the game (its data, tasks and
// item scripts), answered by the personages manager's current personage;
// with none current, the null context's answers. The other parts (panel,
// dialogs, tips) keep the null answers here; the game's context derives
// from this one. Main thread only.
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

    std::string GetItemAbout(const CSpyItemRef& item) override;
    void OnClickAtFocusedItem(const CSpyItemRef& item) override;
    void OnApplyItemToFocusedItem(const CSpyItemRef& held) override;
    void MarkFocusedItemAndApplyScripts() override;
    std::string ClickItemAndGetBadUse(const CSpyItemRef& item) override;
    bool CanUseItemTo(const std::string& heldName, const CSpyItemRef& target) override;
    std::string GetItemClickUse(const CSpyItemRef& item) override;
    std::string GetItemSuccessApply(const std::string& held) override;
    bool IsItemUseToOneself(const CSpyItemRef& item) override;
    CSpyItemRef GetItemCursorBigItem(const CSpyItemRef& item) override;
    bool IsItemHideCursorInRoom(const CSpyItemRef& item) override;

    CPersonagesManager& GetPersonages() const { return m_personages; }

protected:
    // Null when no personage is current.
    CPersonage* Current() const;

private:
    CPersonagesManager& m_personages;
};
