#pragma once
// A playable character of an investigation. Each personage has its own view
// of the case, read from ".ai" files (one per personage and place): texts for
// entering rooms and looking at items, task lists, what may be used on what,
// and the progress made. The personages manager creates, loads and owns the
// personages; rooms reach the current one through the room context.
//
// Saved as "<Personage:" + name (no closing bracket: save files rely on the
// key): the focused item, the notes, the changing part of every item and
// room info, and the investigation info. The ".ai" values are not saved;
// they are read again when the case is set up. Main thread only.
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "game/SpyGame/FindItems.h"
#include "game/SpyGame/items/SpyItemRef.h"
#include "game/shell/save_load_entity.h"

class CPersonagesManager;

// A room's I-spy pool: difficulty level to the lines not given yet.
using CISpyLevels = std::map<std::uint32_t, std::vector<CFindItemsGroup>>;

class CPersonage : public SaveLoadEntity {
public:
    static constexpr const char* kKeyPrefix = "<Personage:";
    static constexpr const char* kFileExtension = ".ai";
    // Highest "ISpyDiffLevel"; larger values (negative text too) store this.
    static constexpr std::uint32_t kMaxISpyDiffLevel = 5;
    // Most entries a "name[N]" piece makes; larger N are cut to it.
    static constexpr std::uint32_t kMaxGroupEntries = 1000;
    // Most entries such pieces make in one file together; later groups get
    // what is left, possibly none.
    static constexpr std::uint32_t kMaxFileEntries = 10000;

    // One piece of "ChangeItemInfoAtUse" / "ChangeItemInfoAtPick":
    // [@personage:][#item:][$room:]type:value, "CLS" standing for "".
    struct CInfoChange {
        std::string personage, item, room, type, value;
    };
    // One piece of "ChangeStateAtUse": [@target:]type:value.
    struct CStateChange {
        std::string target, type, value;
    };

    class CInvestigationInfo : public SaveLoadEntity {
    public:
        // findAllMode, then invTasks.
        static constexpr std::uint32_t kMinRecordSize = 1 + 4;

        std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
        // Reads over this info; callers that must stay whole on a bad record
        // read into a copy.
        std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;

        std::string InvTask;
        std::vector<CFindItemsGroup> invTasks;
        std::uint8_t findAllMode = 0;
    };

    class CRoomInfo : public SaveLoadEntity {
    public:
        // visits, three texts, ispyPending and three list counts.
        static constexpr std::uint32_t kMinRecordSize = 4 + 3 + 1 + 3 * 4;

        std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
        std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;

        // Loaded from the ROOM sections.
        std::string FirstEnter;
        std::string EnterToRoom;
        std::string RoomTask;
        std::vector<CFindItemsGroup> loadedTasks;
        std::uint32_t ISpyItemsCount = 0;
        std::uint32_t ISpyDiffLevel = 2;
        std::uint8_t ShuffleTasks = 0;

        // Play.
        std::uint32_t visits = 0;
        std::string curFirstEnter;
        std::string curEnterToRoom;
        std::string curRoomTask;
        std::vector<CFindItemsGroup> ispyList;
        std::vector<CFindItemsGroup> taskList;
        std::vector<CFindItemsGroup> clueList;
        // Set by a ROOM section; in Find All the room still has to get its
        // I-spy lines.
        std::uint8_t ispyPending = 0;
        std::uint32_t roomItemsCount = 0;
    };

    class CItemInfo : public SaveLoadEntity {
    public:
        // Two counters, two texts, the target count and two texts.
        static constexpr std::uint32_t kMinRecordSize = 4 + 4 + 1 + 1 + 4 + 1 + 1;

        std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
        std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
        // Counters 0, the current values from the loaded ones.
        void Reset();

        std::uint32_t useCount = 0;
        std::uint32_t interactionCount = 0;
        std::string curAbout, About;
        // The loaded value "CLUE" marks a clue item.
        std::string curClickUse, ClickUse;
        // A single "ONESELF": used by clicking it; a single "NONE": used on nothing.
        std::vector<CSpyItemRef> curUseTo, UseTo;
        std::string curSuccessApply, SuccessApply;
        std::string curBadUse, BadUse;
        std::vector<CStateChange> ChangeStateAtUse;
        std::vector<CInfoChange> ChangeItemInfoAtUse;
        std::vector<CInfoChange> ChangeItemInfoAtPick;
        CSpyItemRef CursorBigItem;
        std::uint8_t HideCursorInRoom = 0;
        std::int32_t AddScoreOnPick = 0;
        std::int32_t AddScoreOnApplyItem = 0;
    };

    explicit CPersonage(const std::string& personageName);
    ~CPersonage() override;
    // Entered by address in the process-wide list.
    CPersonage(const CPersonage&) = delete;
    CPersonage& operator=(const CPersonage&) = delete;
    CPersonage(CPersonage&&) = delete;
    CPersonage& operator=(CPersonage&&) = delete;

    // Every personage alive, in creation order.
    static const std::vector<CPersonage*>& GetAllPersonages();

    // ---- ".ai" data
    // Reads folder + name + ".ai" (folder ends in '/'): INVESTIGATION and
    // ROOM sections key by key (the ROOM section belongs to room), any other
    // section an item of room, replacing that item's whole info. Lists are
    // appended, texts replaced. False, silently, for a missing file or an
    // empty name.
    bool LoadRoomAiData(const std::string& folder, const std::string& room);
    // The info-change and state-change grammars; pieces are appended.
    void ParseKey_ChangeItemInfo(const std::string& value, std::vector<CInfoChange>& out) const;
    void ChangeState(const std::string& value, std::vector<CStateChange>& out) const;

    // ---- The current room and item
    // For the room of currentItem: FirstEnter on the first visit when there
    // is one, else EnterToRoom; "" without a room info (none is made).
    std::string GetEnterRoomText() const;
    // These two make the room info when it is missing.
    std::string GetCurrentRoomTask();
    std::vector<CFindItemsGroup>& GetCurrentTaskList();
    // A room that has an info counts one more visit.
    void SetCurrentRoom(const std::string& room);
    // Makes the item (in the current room) the focused one; whether the
    // personage has an info for it.
    bool HasItemInfo(const std::string& item);
    // Null when the personage has no info for the room.
    const CRoomInfo* GetRoomInfoConst(const std::string& room) const;
    // Made with defaults when missing.
    CRoomInfo& GetRoomInfo(const std::string& room);
    // Null when none.
    const CItemInfo* GetItemInfoConst(const CSpyItemRef& item) const;

    // ---- Task generation
    // Investigation lines reset; with generate and not keepRooms every
    // room's lists made again; item infos reset; unless keepRooms, room
    // infos reset; the notes from their start value.
    void ResetTasks(bool generate, bool keepRooms);
    // The room's task list from its loaded lines (names resolved to items
    // or I-spy groups of the room), its I-spy lines and its clue lines.
    void GenItemsListToFind(const std::string& room, CRoomInfo& info);
    // Draws up to count I-spy lines from the room's pool (refilled once per
    // call when allowed) into the I-spy and task lists. In Find All only
    // while the room is pending, unless forced.
    void GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool allowRefill, bool force);

    // ---- Progress and visibility; room infos are not made here
    bool IsRoomTaskCompleted(const std::string& room) const;
    bool HasRoomTasks(const std::string& room) const;
    bool IsISpyTaskDone(const std::string& room) const;
    bool IsISpyExhausted(const std::string& room) const;
    // Find All only: whether the item's entry in its room's I-spy lines is found.
    bool IsTaskItemFound(const CSpyItemRef& item) const;
    void GetRoomTaskProgress(const std::string& room, std::uint32_t& total, std::uint32_t& done,
                             bool useItemsCount) const;
    // I-spy lines and lines found; with useItemsCount (Find All) objects and
    // objects found, a room not entered yet counted by its items count.
    void CountISpyProgress(std::uint32_t& total, std::uint32_t& done, bool useItemsCount) const;
    // Only lines that come from ".ai" files count.
    void CountTaskProgress(std::uint32_t& total, std::uint32_t& done) const;
    void GetTaskCounts(std::uint32_t& ispyTotal, std::uint32_t& ispyDone, std::uint32_t& taskTotal,
                       std::uint32_t& taskDone, bool useItemsCount) const;
    void SetRoomTaskVisible(const std::string& room, const std::string& task, bool visible);
    void SetInvTaskVisible(const std::string& task, bool visible);
    // The last investigation line of that name is completed; false when none.
    bool CompleteInvTask(const std::string& task);

    // ---- Item scripts; currentItem is set by SetCurrentRoom and HasItemInfo
    // An item used on itself ("ONESELF" first in its UseTo): counters, task
    // marks and its ChangeItemInfoAtUse. Any other item is only logged.
    void OnClickAtFocusedItem(const CSpyItemRef& item);
    // The held item applied to currentItem. The held item's info is the
    // first in map order with its name, whatever its room; with none it is
    // only logged. Whether the use is allowed is CanUseItemTo's question.
    void OnApplyItemToFocusedItem(const CSpyItemRef& held);
    // The pick-up of currentItem: task marks and its ChangeItemInfoAtPick.
    void MarkFocusedItemAndApplyScripts();
    // Text ids. With an info the click is marked and counted; without one ""
    // and nothing changes.
    std::string GetItemAbout(const CSpyItemRef& item);
    std::string ClickItemAndGetBadUse(const CSpyItemRef& item);
    std::string GetFocusedItemAbout() { return GetItemAbout(currentItem); }
    std::string GetFocusedItemClickUse() const { return GetItemClickUse(currentItem); }
    // Empty parts of a record address currentItem; "ALL" addresses every
    // personage alive.
    void ApplyItemScripts(const std::vector<CInfoChange>& records);
    // "ROOM" changes the room info; a name with '?' changes the existing
    // infos of the room whose names match it, making none.
    void ChangeInfoByScript(const CSpyItemRef& item, const std::string& type, const std::string& value);
    // The info is made for the five known types; other types change nothing.
    void ChangeItemInfo(const CSpyItemRef& item, const std::string& type, const std::string& value);
    void ChangeRoomInfo(const std::string& room, const std::string& type, const std::string& value);
    // Each list is walked from its last line; the first line the action
    // completes ends that list's walk.
    void CompletePickTask(const CSpyItemRef& item);
    void CompleteClickTask(const CSpyItemRef& item);
    void CompleteUseTask(const CSpyItemRef& item);
    void CompleteApplyTask(const CSpyItemRef& item);

    // ---- Item queries: the info of exactly that reference; none is made
    std::string GetItemClickUse(const CSpyItemRef& item) const;
    // The reference as text: room, ':', name.
    std::string GetItemSuccessApply(const std::string& item) const;
    std::string GetItemBadUse(const CSpyItemRef& item) const;
    CSpyItemRef GetItemCursorBigItem(const CSpyItemRef& item) const;
    bool IsItemHideCursorInRoom(const CSpyItemRef& item) const;
    std::uint32_t GetItemUseCount(const CSpyItemRef& item) const;
    std::uint32_t GetItemInteractionCount(const CSpyItemRef& item) const;
    bool IsItemUseToOneself(const CSpyItemRef& item) const;
    bool IsItemUseToNone(const CSpyItemRef& item) const;
    bool IsItemInTask(const CSpyItemRef& item) const;
    // The first info in map order named heldName decides.
    bool CanUseItemTo(const std::string& heldName, const CSpyItemRef& target) const;

    // ---- SaveLoadEntity
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    // A record that overruns its block changes nothing.
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;

    const std::string& GetName() const { return name; }

    CPersonagesManager* owner = nullptr;  // the manager that made it (not owned); its pool and rooms
    const std::string name;
    CSpyItemRef currentItem;
    std::map<std::string, std::string> currentNotes;
    std::map<std::string, std::string> initialNotes;
    std::map<CSpyItemRef, CItemInfo> itemInfos;
    CInvestigationInfo investigationInfo;
    std::map<std::string, CRoomInfo> roomInfos;

private:
    struct EntryBudget {
        const std::string& file;
        std::uint32_t left;
        bool logged;
    };
    void LoadTaskList(const std::string& value, std::uint32_t kind, bool investigation, EntryBudget& budget,
                      std::vector<CFindItemsGroup>& out) const;
    void LoadItemSection(const std::string& section, const std::string& room,
                         const std::list<std::pair<std::string, std::string>>& keys);
    // With an info: the click marked and counted, and that text.
    std::string ClickedText(const CSpyItemRef& item, std::string CItemInfo::*text);
    // The first pool line equal to the line, searched at levels 0, 1, 2, is removed.
    static void RemoveFromPool(CISpyLevels& pool, const CFindItemsGroup& line);
};
