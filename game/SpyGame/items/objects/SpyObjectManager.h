#pragma once
// Every scene object of one room: the objects of its items (which hold
// non-owning pointers to them) and the room's own [Scene] and [Overlay]
// lines, drawn below and above the items. Owned by the room's item manager.
// Main thread only.
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/items/objects/SpyObject.h"

class CSpyObjectManager {
public:
    enum List { ListScene, ListOverlay, ListCount };

    CSpyObjectManager();
    ~CSpyObjectManager();
    CSpyObjectManager(const CSpyObjectManager&) = delete;
    CSpyObjectManager& operator=(const CSpyObjectManager&) = delete;

    // Makes an object from "<Class> tag=value ..." (words split at blanks);
    // null, with a log line naming the file and section, when the class is
    // unknown or the line is bad. The manager keeps it.
    CSpyObject* CreateObject(const std::string& line, const std::string& defaultName, const std::string& file,
                             const std::string& section);
    // A room line, named "<section>#<n>" unless it names itself.
    CSpyObject* AddRoomObject(List list, const std::string& line, const std::string& file);

    // Looks up what every object names.
    void AfterLoad(const CSpyLoadContext& context);
    // Every object back to its start; "start=1" objects start.
    void Reset();
    // The room starts its "start=1" objects.
    void StartObjects();
    // Advances the room's own objects (items advance theirs).
    void UpdateRoomObjects(float dt, const CSpyPlace& place);
    // A room list in line order (by layer, ties in line order).
    void DrawList(List list, const CSpyPlace& place) const;
    // The topmost object of a room list under the point, or null.
    CSpyObject* HitTestList(List list, const CSpyPlace& place, float x, float y) const;

    const std::vector<CSpyObject*>& GetList(List list) const { return m_lists[list]; }
    std::size_t GetCount() const { return m_objects.size(); }
    void Clear();

    // "<Class> tag=value ..." split at blanks.
    static std::vector<std::string> SplitWords(const std::string& line);

private:
    std::vector<std::unique_ptr<CSpyObject>> m_objects;
    std::vector<CSpyObject*> m_lists[ListCount];
};
