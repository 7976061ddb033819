#pragma once
// A room: a case part (the story: "room.ini" and the room's texts) on a
// location part (the scene: "location.ini", "items.ini", the image and
// animation lists, the ambient). The rooms manager makes rooms by their
// Class and owns them; the investigation enters, updates, draws and leaves
// the current one. The room turns clicks into item actions and reports what
// the investigation must do as a result code. Everything outside rooms
// (personages, panel, dialogs, tips) is reached through CRoomContext.
//
// Positions are screen pixels: the room's placement is its top-left, and its
// items follow it (their file positions are room pixels times the scale).
// Main thread only.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/sound/a_ambient_sound_system.h"
#include "engine/util/a_rect.h"
#include "game/SpyGame/SpyEventsManager.h"
#include "game/SpyGame/items/ObjFactory.h"
#include "game/SpyGame/items/SpyItemManager.h"

class aInputServer;
class aParticleSystem;
class aSound;
class aSoundManager;
class CMurderHunt;
class CRoomContext;
class CRoomData;
class CRoomsManager;
class SaveLoadSystem;

// What rooms draw on beyond the item resources.
struct CRoomServices {
    CSpyResources res;
    aSoundManager* sounds = nullptr;
    aInputServer* input = nullptr;

    // The resource manager's, the GUI server's and the application's.
    static CRoomServices FromGame();
};

class CRoomBase {
public:
    static constexpr const char* kClassName = "Room";
    static constexpr const char* kBack = "_BACK";
    static constexpr const char* kBadUse = "bad_use";

    enum Result : int {
        ResultGoTo = 5,
        ResultCloseUp = 6,
        ResultBusy = 7,
        ResultPick = 8,
        ResultNone = 9,
        ResultHelp = 10,
        ResultBigHelp = 11,
        ResultComment = 12,
    };

    // Bits of the saved flags byte.
    enum RecordFlags : std::uint8_t {
        RecordPuzzleComplete = 1,
        RecordClueFound = 2,
        RecordVisited = 4,
        RecordHintsBlocked = 8,
        RecordEntered = 16,
    };

    // The two flag bytes SuspendFlags puts aside.
    enum FlagByte { FlagInput = 0, FlagHover = 1 };

    CRoomBase();
    virtual ~CRoomBase();
    CRoomBase(const CRoomBase&) = delete;
    CRoomBase& operator=(const CRoomBase&) = delete;

    // Reads the room's data, items and events (the events manager has its
    // owner by now) and queues nothing (the manager queues the shared
    // lists): name, case folder F, location folder L and the location's name
    // (the image group). False when the room cannot be used.
    bool Load(CRoomsManager& manager, const std::string& name, const std::string& caseFolder,
              const std::string& locationFolder, const std::string& location, CRoomData& data,
              CSpyEventsOwner* investigation);
    // Removal: the ambient's sounds and the room's texts go.
    void Unload();

    // ---- Operations the game calls, in slot order
    virtual std::string GetClassName() const { return kClassName; }
    // Items back to their defaults (then ShowItems and HideItems), flags
    // and events cleared, this room's items out of the inventory, alpha 1; a
    // record parked for the room is applied last. A room that was entered is
    // left.
    virtual void Reset();
    virtual void Entry(std::uint32_t value);
    // Stops the ambient, puts the carried item back, result 9. Nothing more
    // until the room is entered again.
    virtual void Exit();
    // Objects, effects and the ambient advance; a click counts unless
    // passive, the input flag is suspended, or the panel or a tip covers it.
    virtual int Update(float dt, bool passive);
    // The GUI's own cursor again in place of the room's item or door
    // cursor; the next active update takes it back when still over one.
    void RestoreCursor() const;
    virtual std::uint32_t GetLeaveArg() const { return 0; }
    virtual std::string GetName() const { return m_name; }
    virtual void GetPos(float& x, float& y) const;
    // round(size x Scale), 0-65535.
    virtual std::uint16_t GetScaledWidth() const;
    virtual std::uint16_t GetScaledHeight() const;
    virtual void SetAlpha(float alpha);
    virtual CSpyItemManager* GetItemManager() const { return m_items.get(); }
    // Null after a log line.
    virtual CSpyItem* GetItem(const std::string& name) const;
    virtual CSpyItem* GetCursorItem() const { return m_cursorItem; }
    // The carried item goes back into the inventory.
    void DropCursorItem();
    // The carried item's icon (or its big picture) centred on the mouse.
    virtual void DrawCursorItem() const;
    // The picked item into the inventory; nothing without one.
    virtual void PutPickedItemToInventory();
    // A click at the mouse; puzzle rooms solve themselves here.
    virtual void ClickAtFocusedItem();
    // Hint stars on the first visible item of that name or I-spy group, or
    // on the close-up door that leads to a room holding one (not yet
    // picked); false when none was found.
    virtual bool ShowListHint(const std::string& name);
    virtual void Draw() const;
    // While the result is 9: the mouse lies in HookRect over a visible item.
    virtual bool AreaHook() const;

    // ---- Ours
    // The room's top-left on screen (negative when it is wider than the area).
    virtual void SetPos(float x, float y);
    virtual float GetAlpha() const { return m_alpha; }
    // Holders show or hide what they hold; the hint lists are made again.
    virtual void RefreshItemState();
    // Once the room's lists are loaded. The boards use the two rooms.
    virtual void AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards);
    // The hunt given to AfterLoadInit, else the rooms manager's
    // "MurderHunt"; null when neither is a murder-hunt board.
    CMurderHunt* GetMurderHunt() const;
    // An item of some room was picked; the boards react.
    virtual void OnItemPicked(CSpyItem* item) { (void)item; }
    // Whether the room draws and serves the inventory strip.
    virtual bool ShowsInventory() const { return true; }

    // The rounded placement.
    std::int16_t GetPointX() const { return m_pointX; }
    std::int16_t GetPointY() const { return m_pointY; }

    // ---- Results
    int GetResult() const { return m_result; }
    // After result 5 (6): leaves the room and gives the target (close-up);
    // empty otherwise.
    std::string TakeTargetRoom();
    std::string TakeCloseUpRoom();
    // After result 8 the clicked item, else null.
    CSpyItem* GetClickedItem() const { return m_result == ResultPick ? m_clickedItem : nullptr; }
    void ResetResult();
    const std::string& GetHelpTextId() const { return m_helpTextId; }
    bool TakeOneShotFlag();

    // ---- Panel and hints
    void SetupGamePanel();
    // false puts the two flag bytes aside and clears them; true brings them
    // back. A second false keeps the first pair; true with nothing put aside
    // does nothing.
    void SuspendFlags(bool restore);
    std::uint8_t GetFlag(FlagByte flag) const { return m_flags[flag]; }
    bool CanUseHint() const;
    bool AreHintsDisabled() const { return m_hintsDisabled; }
    bool IsClueFound() const { return m_clueFound; }
    bool AreHintsBlocked() const { return m_hintsBlocked; }
    void SetHintsBlocked(bool blocked) { m_hintsBlocked = blocked; }
    // The names hints may point at: unfound entries of the personage's
    // task, I-spy and clue lists that are items of this room.
    const std::vector<std::string>& GetHintList(int list) const { return m_hintLists[std::size_t(list)]; }
    bool IsShowingHint() const { return m_hintStars != nullptr; }
    const aParticleSystem* GetHintStars() const { return m_hintStars.get(); }

    // ---- Data read directly
    // Null when the room has none.
    aSound* GetSoundOnBack() const { return m_soundOnBack; }
    bool HasContinueButton() const { return m_continueButton; }
    bool IsBackAllowed() const { return m_allowBack; }
    bool CanSkipBonusRound() const { return m_skipBonusRound; }
    bool IsISpyRoom() const { return m_iSpyRoom; }
    bool IsEveryFullReset() const { return m_everyFullReset; }
    std::uint8_t GetPuzzleComplete() const { return m_puzzleComplete; }
    void SetPuzzleComplete(std::uint8_t complete) { m_puzzleComplete = complete; }
    bool IsVisited() const { return m_visited; }
    bool IsEntered() const { return m_entered; }
    const std::string& GetLocation() const { return m_location; }
    const std::string& GetCaseFolder() const { return m_caseFolder; }
    const std::string& GetLocationFolder() const { return m_locationFolder; }
    CSpyEventsOwner* GetInvestigation() const { return m_investigation; }
    // The room's scripted events, read at load from its case folder.
    CSpyEventsManager& GetEventsManager() { return m_events; }
    const CSpyEventsManager& GetEventsManager() const { return m_events; }
    const aAmbientSoundSystem& GetAmbient() const { return m_ambient; }
    std::uint16_t GetWidth() const { return m_width; }
    std::uint16_t GetHeight() const { return m_height; }
    float GetScale() const { return m_scale; }

    // ---- The room's part of the rooms manager's record
    std::uint32_t SaveRecord(SaveLoadSystem& system, std::uint32_t pos) const;
    // Whether a record from pos to end is whole: every count and length
    // inside it and nothing after it, so that applying it cannot stop half
    // way.
    static bool CheckRecord(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t end);
    // Applies a checked record. A room saved as entered plays its ambient
    // and starts its objects (without Entry's story steps).
    std::uint32_t LoadRecord(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t end);

protected:
    // The [Room] keys; classes with keys of their own read them after these.
    virtual void LoadSettings(CRoomData& data);
    // The class's part of the record (none here).
    virtual std::uint32_t SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const;
    virtual void LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length);

    // The parts of a click.
    void ClickItem(CSpyItem& item);
    // Whether the personage's lists let the item be picked: an I-spy object
    // that no line names stays in the room while the lists hold any line.
    bool IsAskedFor(const CSpyItem& item) const;
    // The panel, a box or a tip over the room takes a press at the point.
    bool IsPressCovered(std::int32_t x, std::int32_t y) const;
    // A click at the point would find an object: picked, and asked for.
    bool IsFindableAt(std::int32_t x, std::int32_t y) const;
    void ApplyCarriedItem(CSpyItem& target);
    // A click inside the inventory strip.
    void ClickStrip(std::int32_t x, std::int32_t y);
    void Message(const std::string& id, const std::string& prefix) const;

    CRoomContext& Context() const;
    void GetMouse(std::int32_t& x, std::int32_t& y) const;

    std::string m_name;
    std::string m_location;
    std::string m_caseFolder;
    std::string m_locationFolder;
    CRoomsManager* m_manager = nullptr;
    CSpyEventsOwner* m_investigation = nullptr;
    CSpyEventsManager m_events;
    CRoomBase* m_murderHunt = nullptr;
    std::unique_ptr<CSpyItemManager> m_items;
    aAmbientSoundSystem m_ambient;
    std::vector<std::string> m_texts;  // string tables loaded under the room's name

    // Data.
    std::uint16_t m_width = 0;
    std::uint16_t m_height = 0;
    bool m_sizeGiven = false;
    bool m_afterLoadDone = false;
    float m_scale = 1.0f;
    std::string m_soundOnBackName;
    aSound* m_soundOnBack = nullptr;
    bool m_everyFullReset = false;
    bool m_continueButton = false;
    bool m_allowBack = true;
    bool m_skipBonusRound = false;
    bool m_iSpyRoom = false;
    bool m_hintsDisabled = false;
    std::string m_helpText;
    bool m_hasHookRect = false;
    aRect m_hookRect;
    std::vector<std::string> m_showItems;
    std::vector<std::string> m_hideItems;

    // Placement.
    float m_x = 0.0f;
    float m_y = 0.0f;
    std::int16_t m_pointX = 0;
    std::int16_t m_pointY = 0;
    float m_alpha = 1.0f;

    // Play.
    int m_result = ResultNone;
    std::string m_helpTextId;
    std::string m_targetRoom;
    std::string m_closeUpRoom;
    CSpyItem* m_clickedItem = nullptr;
    CSpyItem* m_cursorItem = nullptr;
    std::unique_ptr<CSpyItem> m_bigCursor;
    bool m_oneShot = false;
    std::array<std::uint8_t, 2> m_flags{{1, 1}};
    std::array<std::uint8_t, 2> m_savedFlags{{1, 1}};
    bool m_flagsSuspended = false;
    bool m_clueFound = false;
    bool m_visited = false;
    bool m_entered = false;
    bool m_hintsBlocked = false;
    std::uint8_t m_puzzleComplete = 0;
    std::array<std::vector<std::string>, 3> m_hintLists;
    std::unique_ptr<aParticleSystem> m_hintStars;
    float m_hintTime = 0.0f;
    // The GUI cursor shown before the room showed its own; "" when none.
    mutable std::string m_savedCursor;
    mutable bool m_ownCursor = false;

private:
    void ApplyItemLists();
    void RebuildHintLists();
    void UpdateHover(std::int32_t x, std::int32_t y, bool enabled);
    void StartHintStars(const CSpyItem& item);
    // Depth-first over close-up doors, each room once.
    static bool HoldsHintTarget(const CRoomBase& room, const std::string& name, std::vector<const CRoomBase*>& seen);
    static CSpyItem* FindHintTarget(const CRoomBase& room, const std::string& name, bool visibleOnly);
    bool IsBusy() const;
    bool IsItemBusy() const;
    void SetPlacement(float x, float y);
};

using CRoomFactory = aObjFactory<CRoomBase>;

// Registers "Room" and the special and puzzle rooms; a second call changes
// nothing.
void RegisterRoomKinds();
