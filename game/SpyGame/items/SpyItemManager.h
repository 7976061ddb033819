#pragma once
// One room's items, read from its location's "items.ini" (one section per
// item), kept by name and in load order, with their I-spy groups; it owns
// the room's scene objects. It holds where the room stands (origin, scale,
// alpha), so moving the room moves its items. Items draw in Layer order
// (ties in load order) and are hit-tested in the reverse order.
// Main thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/items/SpyItem.h"
#include "game/SpyGame/items/SpyResources.h"
#include "game/SpyGame/items/objects/SpyObjectManager.h"

class SaveLoadSystem;
class aOptionsFile;

class CSpyItemManager {
public:
    static constexpr const char* kItemsFile = "items.ini";
    static constexpr const char* kDefaultMagicStars = "magic_stars";
    // Holders nest at most this deep when they show their contents.
    static constexpr int kMaxNesting = 64;

    // roomName: the items' home room and the strings' group.
    CSpyItemManager(const std::string& roomName, const CSpyResources& resources);
    ~CSpyItemManager();
    CSpyItemManager(const CSpyItemManager&) = delete;
    CSpyItemManager& operator=(const CSpyItemManager&) = delete;

    // Reads folder + "items.ini" (folder ends in '/'); group is the
    // location's image and animation group. False, with one log line, when
    // the file is missing.
    bool Load(const std::string& folder, const std::string& group);
    // How many items of such a file a Find All pool takes (I-spy items that
    // do not go to the inventory), read as Load reads them but silently; 0
    // for a missing file. Find All counts a room's objects with it before
    // the room is loaded.
    static std::uint32_t CountPooledItems(const std::string& file);
    // Once the room's lists are loaded: objects look up their resources,
    // items take their sizes and icons; then Reset.
    void AfterLoad();
    // Every item and room object back to the file's values.
    void Reset();
    // The room starts its "start=1" objects.
    void StartObjects();
    // Items and room objects advance by dt seconds.
    void Update(float dt);
    // The items; the room draws its [Scene] list before and its [Overlay]
    // list after them.
    void Draw() const;
    void DrawScene() const;
    void DrawOverlay() const;
    // The topmost visible clickable item under the point, or null.
    CSpyItem* GetItemAt(float x, float y) const;
    // The item under the mouse shows its "hover" objects; the others not.
    void UpdateHover(float x, float y);

    bool HasItem(const std::string& name) const;
    // Null after "CSpyItemManager::GetItem(). Cannot find item: %s".
    CSpyItem* GetItem(const std::string& name) const;
    // Null without a log line.
    CSpyItem* FindItem(const std::string& name) const;
    const std::vector<CSpyItem*>& GetItems() const { return m_loadOrder; }
    const std::vector<CSpyItem*>& GetDrawOrder() const { return m_drawOrder; }
    // "ISpyGroup" name to its items in load order, groups in name order.
    const std::map<std::string, std::vector<CSpyItem*>>& GetISpyGroups() const { return m_groups; }
    // Null when the room has no such group.
    const std::vector<CSpyItem*>* GetISpyGroup(const std::string& name) const;

    // Where the room stands: its top-left on screen, its scale (finite, > 0)
    // and the alpha it is drawn with.
    void SetOrigin(float x, float y);
    void SetScale(float scale);
    void SetAlpha(float alpha);
    float GetOriginX() const { return m_originX; }
    float GetOriginY() const { return m_originY; }
    float GetScale() const { return m_scale; }
    float GetAlpha() const { return m_alpha; }
    // The room's place for its own objects.
    CSpyPlace GetRoomPlace() const;

    // The particle effect items copy for their magic stars.
    void SetMagicStarsEffect(const std::string& name) { m_magicStars = name; }
    const std::string& GetMagicStarsEffect() const { return m_magicStars; }

    CSpyObjectManager& GetObjectManager() { return m_objects; }
    const CSpyResources& GetResources() const { return m_resources; }
    const std::string& GetRoomName() const { return m_room; }
    const std::string& GetGroup() const { return m_context.group; }
    const std::string& GetFileName() const { return m_file; }

    // The items' part of the room record: u32 count, then each item's
    // record in load order.
    std::uint32_t SaveItems(SaveLoadSystem& system, std::uint32_t pos) const;
    // Items absent from the record keep their state; unknown ones are
    // skipped with a log line.
    std::uint32_t LoadItems(SaveLoadSystem& system, std::uint32_t pos);

private:
    // The sections of an items file that make items, in file order: each
    // whose Class is registered, unless an earlier section of its name made
    // an item. Load and CountPooledItems both take them from here. visit
    // gets the name and the Class, the file standing on the section; with
    // log, each section skipped is logged.
    static void ForEachItemSection(aOptionsFile& ini, const std::string& file, bool log,
                                   const std::function<void(const std::string&, const std::string&)>& visit);
    void ResolveCompanions();
    void ResolveContents();

    std::string m_room;
    CSpyResources m_resources;
    CSpyLoadContext m_context;
    std::string m_file;
    std::string m_magicStars = kDefaultMagicStars;

    CSpyObjectManager m_objects;
    std::vector<std::unique_ptr<CSpyItem>> m_items;
    std::vector<CSpyItem*> m_loadOrder;
    std::vector<CSpyItem*> m_drawOrder;
    std::map<std::string, CSpyItem*> m_byName;
    std::map<std::string, std::vector<CSpyItem*>> m_groups;

    float m_originX = 0.0f;
    float m_originY = 0.0f;
    float m_scale = 1.0f;
    float m_alpha = 1.0f;
};
