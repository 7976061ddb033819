#pragma once
// A clickable scene item: one section of a location's "items.ini", made by
// its Class through aObjFactory<CSpyItem>, drawn from scene objects that the
// room's object manager owns. Positions: the file's Pos is in unscaled room
// pixels from the room's origin; every position and size the item answers
// or takes (GetPos, SetPos, GetWidth, HitTest) is in screen pixels, through
// the origin and scale its manager holds. Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_image.h"
#include "game/SpyGame/items/ObjFactory.h"
#include "game/SpyGame/items/SpyItemRef.h"
#include "game/SpyGame/items/objects/SpyObject.h"

class aOptionsFile;
class aParticleSystem;
class CSpyItemManager;
class SaveLoadSystem;

class CSpyItem {
public:
    // Actions an item records (the "IsWinItem" words).
    enum Action : std::uint8_t { ActionPick = 1, ActionClick = 2, ActionUse = 4, ActionApply = 8, ActionOpen = 16 };
    static constexpr std::uint8_t kAllActions = 31;

    // What a click asks of the room: the room's result codes, plus one the
    // room turns into the item's BadUse text.
    enum Result : int {
        ResultGoTo = 5,
        ResultCloseUp = 6,
        ResultBusy = 7,
        ResultPick = 8,
        ResultNone = 9,
        ResultHelp = 10,
        ResultBigHelp = 11,
        ResultComment = 12,
        ResultLocked = 13,
    };

    enum ClickAction : std::uint8_t { NoAction, ActionHelp, ActionBigHelp, ActionComment };

    // Bits of the saved state byte.
    enum StateBits : std::uint8_t {
        StateVisible = 1,
        StateTaken = 2,
        StateInInventory = 4,
        StateFound = 8,
        StateStars = 16,
    };

    static constexpr std::uint8_t kMaxDiffLevel = 2;
    // Saved bytes after the name: state, actions, x, y, zoom, kind state.
    static constexpr std::uint32_t kRecordTail = 1 + 1 + 4 + 4 + 4 + 1;

    CSpyItem();
    virtual ~CSpyItem();
    CSpyItem& operator=(const CSpyItem&) = delete;

    // Reads the item's section (the file's current one) and makes its
    // objects in the manager's object manager. Bad values are logged and
    // take their defaults.
    void Load(aOptionsFile& ini, const std::string& name, CSpyItemManager& manager, const std::string& file);
    // After the room's resources are loaded: the size and the icon.
    void AfterLoad();
    // Back to the file's values; the kind's state too.
    virtual void Reset();

    // ---- Part of every item
    CSpyItemRef GetItemRef() const;
    const std::string& GetName() const { return m_name; }
    const std::string& GetRoomName() const { return m_room; }
    const std::string& GetISpyGroup() const { return m_iSpyGroup; }
    std::uint8_t IsISpyItem() const { return m_iSpyItem; }
    // Whether the item of the file's current section goes to a Find All
    // pool (an I-spy item that does not go to the inventory), read as Load
    // reads it, silently.
    static bool IsPooled(const aOptionsFile& ini);
    std::uint8_t GetDiffLevel() const { return m_diffLevel; }

    virtual bool IsVisible() const { return m_visible; }
    virtual void SetVisible(bool visible) { m_visible = visible; }

    void GetPos(float& x, float& y) const;
    // The companion, when asked, moves by the same delta (never further).
    void SetPos(float x, float y, bool companionFollows);
    float GetZoom() const { return m_zoom; }
    // Zoom must be finite and > 0 (else logged and ignored).
    void SetZoom(float zoom, bool companionFollows);
    float GetWidth() const;
    float GetHeight() const;
    int GetWidthRounded() const;
    int GetHeightRounded() const;

    // The objects of the current visual state, then the magic stars.
    void Draw() const;
    // The icon at the item's place and size, or fitted into a rectangle
    // (centred, aspect kept).
    void DrawIcon() const;
    void DrawIcon(float x, float y, float width, float height) const;
    void UpdateObject(float dt);
    // Hidden items never hit; a point outside the item's box reads no texel.
    bool HitTest(float x, float y) const;

    bool IsInventoryItem() const { return m_inventory; }
    virtual bool IsFulfilled() const { return (m_actions & m_winMask) != 0; }
    void MarkAction(std::uint8_t action) { m_actions |= action & kAllActions; }
    std::uint8_t GetActions() const { return m_actions; }
    std::uint8_t GetWinMask() const { return m_winMask; }

    void ShowMagicStars(bool show);
    bool IsShowingMagicStars() const { return m_stars; }
    const aParticleSystem* GetMagicStars() const { return m_own.stars.get(); }

    virtual void SetTaken(bool taken) { m_taken = taken; }
    virtual bool IsTaken() const { return m_taken; }

    // ---- What rooms use
    bool IsPickable() const { return m_pickable; }
    bool IsClickable() const { return m_clickable; }
    // Rooms that switch an item off (a disabled map location) take it out of hit tests.
    void SetClickable(bool clickable) { m_clickable = clickable; }
    bool KeepAfterUse() const { return m_keepAfterUse; }
    int GetLayer() const { return m_layer; }
    CSpyItem* GetCompanion() const { return m_companion; }
    ClickAction GetClickAction() const { return m_action; }
    const std::string& GetHelpText() const { return m_helpText; }
    bool HasExtraHint() const { return m_extraHint; }
    const std::string& GetIconName() const { return m_iconName; }

    // The item was picked up (found): hidden, into the inventory when it is
    // an inventory item, stars dropped, the pick recorded.
    void Pick();
    bool IsPicked() const { return m_picked; }
    bool IsInInventory() const { return m_inInventory; }
    void SetInInventory(bool in) { m_inInventory = in; }

    // Objects with a state draw only in it.
    const std::string& GetVisualState() const { return m_visualState; }
    void SetVisualState(const std::string& state) { m_visualState = state; }
    // The mouse is over the item: "hover" objects draw.
    void SetHover(bool hover) { m_hover = hover; }
    bool IsHover() const { return m_hover; }

    // A timed change runs (the room reports result 7 meanwhile).
    virtual bool IsBusy() const { return false; }
    // A click on the item: what the room should do (Result). Records the
    // click on clickable items that are not busy.
    int Click();
    // Another item applied to this one; true when the kind took it as its
    // key (the apply is then recorded).
    virtual bool ApplyItem(const CSpyItemRef& used);

    // A display copy (the big cursor item): owns copies of the objects,
    // stands where the item stands on screen, belongs to no manager, never
    // saved.
    virtual std::unique_ptr<CSpyItem> Clone() const;
    bool IsClone() const { return m_manager == nullptr; }

    // The item's part of the room record, from its name on.
    std::uint32_t SaveRecord(SaveLoadSystem& system, std::uint32_t pos) const;
    // Reads the record's bytes after the name.
    std::uint32_t LoadRecord(SaveLoadSystem& system, std::uint32_t pos);

    // The objects in draw order (their layer, ties in line order).
    const std::vector<CSpyObject*>& GetObjects() const { return m_objects; }
    // Where the objects stand: the screen position and the total scale.
    CSpyPlace GetPlace() const;
    const std::string& GetClassName() const { return m_class; }

    // The items of a Contents or Reveals list after the manager's checks.
    virtual const std::vector<std::string>* GetContentNames() const { return nullptr; }
    void AddContent(CSpyItem* item) { m_contents.push_back(item); }
    const std::vector<CSpyItem*>& GetContents() const { return m_contents; }
    CSpyItem* GetHolder() const { return m_holder; }
    void SetHolder(CSpyItem* holder) { m_holder = holder; }
    void SetCompanion(CSpyItem* companion) { m_companion = companion; }
    const std::string& GetCompanionName() const { return m_companionName; }
    // Every item held below this one shows when each holder above it is
    // open and it was not picked, else hides.
    void RefreshContents();

protected:
    CSpyItem(const CSpyItem& other);

    template <class K>
    static std::unique_ptr<CSpyItem> CloneOf(const K& item)
    {
        std::unique_ptr<K> copy(new K(item));
        copy->DetachAsClone(item);
        return copy;
    }

    // The kind's keys of the section.
    virtual void LoadKind(aOptionsFile& ini) { (void)ini; }
    // The kind's answer to a recorded click: the action's or the pick's
    // result, else none.
    virtual int ClickKind();
    // A running change ends with the item open (saved as if it had ended:
    // open, the Open action recorded, what it shows shown).
    virtual bool FinishesOpening() const { return false; }
    // Opening hides the item itself (a heap).
    virtual bool HidesWhenOpened() const { return false; }
    // Whether the item shows what it holds now.
    virtual bool HoldsOpen() const { return true; }
    // The kind's timers.
    virtual void UpdateKind(float dt) { (void)dt; }
    virtual std::uint8_t GetKindState() const { return 0; }
    virtual void SetKindState(std::uint8_t state) { (void)state; }
    // The file's visual state for the kind.
    virtual std::string DefaultVisualState() const { return std::string(); }

    bool KeyMatches(const std::string& key, const CSpyItemRef& used) const;
    // Values of the item's section; a bad one is logged and gives def.
    bool ReadFlag(aOptionsFile& ini, const char* key, bool def) const;
    int ReadInt(aOptionsFile& ini, const char* key, int def) const;
    // The same, silently.
    static int FileInt(const aOptionsFile& ini, const char* key, int def);
    // Log line naming the file and the item's section.
    void Log(const std::string& message) const;

    std::string m_name;
    std::string m_class;
    std::string m_file;
    CSpyItemManager* m_manager = nullptr;  // null for a clone

    // From the file.
    float m_fileX = 0.0f, m_fileY = 0.0f;
    float m_fileZoom = 1.0f;
    bool m_fileVisible = true;
    int m_layer = 0;
    bool m_clickable = true;
    bool m_pickable = false;
    bool m_inventory = false;
    bool m_keepAfterUse = false;
    std::string m_iconName;
    std::uint8_t m_iSpyItem = 0;
    std::string m_iSpyGroup;
    std::uint8_t m_diffLevel = 1;
    std::uint8_t m_winMask = ActionClick;
    std::string m_companionName;
    ClickAction m_action = NoAction;
    std::string m_helpText;
    bool m_extraHint = false;

    // State.
    float m_x = 0.0f, m_y = 0.0f;  // room pixels from the origin
    float m_zoom = 1.0f;
    bool m_visible = true;
    bool m_taken = false;
    bool m_picked = false;
    bool m_inInventory = false;
    bool m_hover = false;
    bool m_stars = false;
    std::uint8_t m_actions = 0;
    std::string m_visualState;

    // What the item owns itself; a copy starts empty.
    struct Owned {
        Owned();
        Owned(const Owned&);
        ~Owned();
        Owned& operator=(const Owned&) = delete;
        std::vector<std::unique_ptr<CSpyObject>> objects;  // a clone's objects
        std::unique_ptr<aParticleSystem> stars;
    };

    std::vector<CSpyObject*> m_objects;  // owned by the room's object manager, or by m_own in a clone
    Owned m_own;
    float m_starsX = 0.0f, m_starsY = 0.0f;

    // The item's box in unscaled item pixels, the origin included.
    float m_boxLeft = 0.0f, m_boxTop = 0.0f, m_boxRight = 0.0f, m_boxBottom = 0.0f;
    aImage m_icon;
    aRect m_iconSource;

    CSpyItem* m_companion = nullptr;
    CSpyItem* m_holder = nullptr;
    std::vector<CSpyItem*> m_contents;
    std::string m_room;

private:
    void ParseIsWinItem(const std::string& value);
    void ComputeBox();
    void ResolveIcon();
    void DetachAsClone(const CSpyItem& original);
    void PlaceStars();
};

using CSpyItemFactory = aObjFactory<CSpyItem>;
