#pragma once
// What a room asks of the game around it. Rooms come before the personages,
// the game panel, the dialogs and the tips, so they reach them only through
// this interface; each of those parts implements its own operations. Item
// references name the item and its home room. Main thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "game/SpyGame/FindItems.h"
#include "game/SpyGame/items/SpyItemRef.h"

class CRoomContext {
public:
    virtual ~CRoomContext() = default;

    // ---- The current personage: its data and tasks
    virtual void SetCurrentRoom(const std::string& room) = 0;
    // Makes the item the personage's focused item; whether it knows it.
    virtual bool HasItemInfo(const std::string& item) = 0;
    virtual std::string GetEnterRoomText() = 0;
    virtual std::string GetCurrentRoomTask() = 0;
    virtual bool HasRoomTasks(const std::string& room) = 0;
    // The personage's lists for the room; null when it has none.
    virtual const std::vector<CFindItemsGroup>* GetTaskList(const std::string& room) = 0;
    virtual const std::vector<CFindItemsGroup>* GetISpyList(const std::string& room) = 0;
    virtual const std::vector<CFindItemsGroup>* GetClueList(const std::string& room) = 0;
    virtual bool IsFindAll() = 0;
    // Find All: the room still has to get its I-spy lines.
    virtual bool IsISpyPending(const std::string& room) = 0;
    virtual std::uint32_t GetISpyItemsCount(const std::string& room) = 0;
    virtual void GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool allowRefill, bool force) = 0;

    // ---- The personage's item scripts; texts are string ids
    virtual std::string GetItemAbout(const CSpyItemRef& item) = 0;
    virtual void OnClickAtFocusedItem(const CSpyItemRef& item) = 0;
    virtual void OnApplyItemToFocusedItem(const CSpyItemRef& held) = 0;
    virtual void MarkFocusedItemAndApplyScripts() = 0;
    virtual std::string ClickItemAndGetBadUse(const CSpyItemRef& item) = 0;
    virtual bool CanUseItemTo(const std::string& heldName, const CSpyItemRef& target) = 0;
    virtual std::string GetItemClickUse(const CSpyItemRef& item) = 0;
    // The reference as text: room, ':', name.
    virtual std::string GetItemSuccessApply(const std::string& held) = 0;
    virtual bool IsItemUseToOneself(const CSpyItemRef& item) = 0;
    // Empty when the item has no big cursor picture.
    virtual CSpyItemRef GetItemCursorBigItem(const CSpyItemRef& item) = 0;
    virtual bool IsItemHideCursorInRoom(const CSpyItemRef& item) = 0;

    // ---- The game panel
    virtual void SetupRoom(const std::string& titleKey, const std::vector<CFindItemsGroup>* taskList,
                           const std::vector<CFindItemsGroup>* clueList, const std::string& roomKey, bool murderHunt,
                           bool ispy) = 0;
    virtual void SetMode(std::int32_t mode) = 0;
    virtual void AddFoundItem(const std::string& name) = 0;
    virtual void MarkItemTask(const std::string& key) = 0;
    virtual void AddExtraHint() = 0;
    virtual void StartContinueMagicStars() = 0;
    virtual void ShowSkipBonusRound(bool show) = 0;
    // The panel covers the screen point: the room takes no click there.
    virtual bool IsPointInside(std::int32_t x, std::int32_t y) = 0;

    // ---- Dialogs and tips
    // A string id under the group prefix; timed closes it after 30 s.
    virtual void ShowMessage(const std::string& id, const std::string& prefix, bool timed) = 0;
    // A box over the room (the message) covers the screen point: a press
    // there is the box's alone.
    virtual bool IsPointOverBox(std::int32_t x, std::int32_t y) = 0;
    // The tip shown takes a press at the mouse: one on its balloon, unless a
    // plain tip lies over an object to find (findableUnder), which takes it.
    virtual bool TipTakesPress(bool findableUnder) = 0;
};

// Empty answers and no actions: what rooms use while no game is around them.
class CNullRoomContext : public CRoomContext {
public:
    void SetCurrentRoom(const std::string&) override {}
    bool HasItemInfo(const std::string&) override { return false; }
    std::string GetEnterRoomText() override { return std::string(); }
    std::string GetCurrentRoomTask() override { return std::string(); }
    bool HasRoomTasks(const std::string&) override { return false; }
    const std::vector<CFindItemsGroup>* GetTaskList(const std::string&) override { return nullptr; }
    const std::vector<CFindItemsGroup>* GetISpyList(const std::string&) override { return nullptr; }
    const std::vector<CFindItemsGroup>* GetClueList(const std::string&) override { return nullptr; }
    bool IsFindAll() override { return false; }
    bool IsISpyPending(const std::string&) override { return false; }
    std::uint32_t GetISpyItemsCount(const std::string&) override { return 0; }
    void GenISpyTaskInRoom(const std::string&, std::int32_t, bool, bool) override {}

    std::string GetItemAbout(const CSpyItemRef&) override { return std::string(); }
    void OnClickAtFocusedItem(const CSpyItemRef&) override {}
    void OnApplyItemToFocusedItem(const CSpyItemRef&) override {}
    void MarkFocusedItemAndApplyScripts() override {}
    std::string ClickItemAndGetBadUse(const CSpyItemRef&) override { return std::string(); }
    bool CanUseItemTo(const std::string&, const CSpyItemRef&) override { return false; }
    std::string GetItemClickUse(const CSpyItemRef&) override { return std::string(); }
    std::string GetItemSuccessApply(const std::string&) override { return std::string(); }
    bool IsItemUseToOneself(const CSpyItemRef&) override { return false; }
    CSpyItemRef GetItemCursorBigItem(const CSpyItemRef&) override { return CSpyItemRef(); }
    bool IsItemHideCursorInRoom(const CSpyItemRef&) override { return false; }

    void SetupRoom(const std::string&, const std::vector<CFindItemsGroup>*, const std::vector<CFindItemsGroup>*,
                   const std::string&, bool, bool) override
    {
    }
    void SetMode(std::int32_t) override {}
    void AddFoundItem(const std::string&) override {}
    void MarkItemTask(const std::string&) override {}
    void AddExtraHint() override {}
    void StartContinueMagicStars() override {}
    void ShowSkipBonusRound(bool) override {}
    bool IsPointInside(std::int32_t, std::int32_t) override { return false; }

    void ShowMessage(const std::string&, const std::string&, bool) override {}
    bool IsPointOverBox(std::int32_t, std::int32_t) override { return false; }
    bool TipTakesPress(bool) override { return false; }
};
