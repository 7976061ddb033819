#include "game/SpyGame/items/SpyItemManager.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"
#include "game/shell/save_load_system.h"

CSpyItemManager::CSpyItemManager(const std::string& roomName, const CSpyResources& resources)
    : m_room(roomName), m_resources(resources)
{
    m_context.res = &m_resources;
    m_context.textGroup = roomName;
}

CSpyItemManager::~CSpyItemManager()
{
    // Items point into the object manager: they go first.
    m_byName.clear();
    m_groups.clear();
    m_loadOrder.clear();
    m_drawOrder.clear();
    m_items.clear();
}

bool CSpyItemManager::Load(const std::string& folder, const std::string& group)
{
    m_context.group = group;
    m_file = folder + kItemsFile;
    if (!file_isExistOrPacked(m_file)) {
        a_log("CSpyItemManager::Load(). Room '%s': no file '%s', no items", m_room.c_str(), m_file.c_str());
        return false;
    }
    aOptionsFile ini(m_file);
    ForEachItemSection(ini, m_file, true, [&](const std::string& name, const std::string& className) {
        std::unique_ptr<CSpyItem> item = CSpyItemFactory::Create(className);
        item->Load(ini, name, *this, m_file);
        CSpyItem* raw = item.get();
        m_items.push_back(std::move(item));
        m_loadOrder.push_back(raw);
        m_byName[name] = raw;
        if (!raw->GetISpyGroup().empty())
            m_groups[raw->GetISpyGroup()].push_back(raw);
    });
    m_drawOrder = m_loadOrder;
    std::stable_sort(m_drawOrder.begin(), m_drawOrder.end(),
                     [](const CSpyItem* a, const CSpyItem* b) { return a->GetLayer() < b->GetLayer(); });
    ResolveCompanions();
    ResolveContents();
    return true;
}

void CSpyItemManager::ForEachItemSection(aOptionsFile& ini, const std::string& file, bool log,
                                         const std::function<void(const std::string&, const std::string&)>& visit)
{
    std::set<std::string> made;
    for (ini.firstSection(); !ini.isSectionsEnd(); ini.nextSection()) {
        const std::string name = ini.getSectionName();
        if (made.count(name)) {
            if (log)
                a_log("CSpyItemManager. File '%s' [%s]: a second section of that name, skipped", file.c_str(),
                      name.c_str());
            continue;
        }
        const std::string className = ini.getStringDef("Class", "Item");
        if (!CSpyItemFactory::IsRegistered(className)) {
            if (log)
                a_log("CSpyItemManager. File '%s' [%s]: unknown Class '%s', item skipped", file.c_str(), name.c_str(),
                      className.c_str());
            continue;
        }
        made.insert(name);
        visit(name, className);
    }
}

std::uint32_t CSpyItemManager::CountPooledItems(const std::string& file)
{
    if (!file_isExistOrPacked(file))
        return 0;
    aOptionsFile ini(file);
    std::uint32_t count = 0;
    ForEachItemSection(ini, file, false, [&](const std::string&, const std::string&) {
        count += CSpyItem::IsPooled(ini);
    });
    return count;
}

void CSpyItemManager::ResolveCompanions()
{
    for (CSpyItem* item : m_loadOrder) {
        const std::string& name = item->GetCompanionName();
        if (name.empty())
            continue;
        CSpyItem* companion = FindItem(name);
        if (name == item->GetName() || !companion) {
            a_log("CSpyItemManager. File '%s' [%s]: Companion '%s' %s, none used", m_file.c_str(),
                  item->GetName().c_str(), name.c_str(), companion ? "is the item itself" : "does not exist");
            continue;
        }
        item->SetCompanion(companion);
    }
}

void CSpyItemManager::ResolveContents()
{
    for (CSpyItem* holder : m_loadOrder) {
        const std::vector<std::string>* names = holder->GetContentNames();
        if (!names)
            continue;
        for (const std::string& name : *names) {
            CSpyItem* item = FindItem(name);
            const char* why = nullptr;
            if (!item) {
                why = "does not exist";
            } else if (item == holder) {
                why = "is the holder itself";
            } else if (item->GetHolder()) {
                why = "is listed already";
            } else {
                // A holder above this one that is the item would close a cycle.
                for (const CSpyItem* h = holder->GetHolder(); h; h = h->GetHolder())
                    if (h == item) {
                        why = "holds this holder";
                        break;
                    }
            }
            if (why) {
                a_log("CSpyItemManager. File '%s' [%s]: listed item '%s' %s, listing dropped", m_file.c_str(),
                      holder->GetName().c_str(), name.c_str(), why);
                continue;
            }
            item->SetHolder(holder);
            holder->AddContent(item);
        }
    }
}

void CSpyItemManager::AfterLoad()
{
    m_objects.AfterLoad(m_context);
    for (CSpyItem* item : m_loadOrder)
        item->AfterLoad();
    Reset();
}

void CSpyItemManager::Reset()
{
    for (CSpyObject* object : m_objects.GetList(CSpyObjectManager::ListScene))
        object->Reset();
    for (CSpyObject* object : m_objects.GetList(CSpyObjectManager::ListOverlay))
        object->Reset();
    for (CSpyItem* item : m_loadOrder)
        item->Reset();
    // After every item took its file values: holders hide what they hold.
    for (CSpyItem* item : m_loadOrder)
        if (!item->GetHolder() && !item->GetContents().empty())
            item->RefreshContents();
}

void CSpyItemManager::StartObjects() { m_objects.StartObjects(); }

void CSpyItemManager::Update(float dt)
{
    if (!std::isfinite(dt) || dt < 0.0f)
        dt = 0.0f;
    m_objects.UpdateRoomObjects(dt, GetRoomPlace());
    for (CSpyItem* item : m_loadOrder)
        item->UpdateObject(dt);
}

void CSpyItemManager::Draw() const
{
    for (const CSpyItem* item : m_drawOrder)
        item->Draw();
}

void CSpyItemManager::DrawScene() const { m_objects.DrawList(CSpyObjectManager::ListScene, GetRoomPlace()); }
void CSpyItemManager::DrawOverlay() const { m_objects.DrawList(CSpyObjectManager::ListOverlay, GetRoomPlace()); }

CSpyItem* CSpyItemManager::GetItemAt(float x, float y) const
{
    for (auto it = m_drawOrder.rbegin(); it != m_drawOrder.rend(); ++it)
        if ((*it)->IsClickable() && (*it)->HitTest(x, y))
            return *it;
    return nullptr;
}

void CSpyItemManager::UpdateHover(float x, float y)
{
    CSpyItem* over = GetItemAt(x, y);
    for (CSpyItem* item : m_loadOrder)
        item->SetHover(item == over);
}

bool CSpyItemManager::HasItem(const std::string& name) const { return m_byName.count(name) != 0; }

CSpyItem* CSpyItemManager::FindItem(const std::string& name) const
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : it->second;
}

CSpyItem* CSpyItemManager::GetItem(const std::string& name) const
{
    CSpyItem* item = FindItem(name);
    if (!item)
        a_log("CSpyItemManager::GetItem(). Cannot find item: %s", name.c_str());
    return item;
}

const std::vector<CSpyItem*>* CSpyItemManager::GetISpyGroup(const std::string& name) const
{
    const auto it = m_groups.find(name);
    return it == m_groups.end() ? nullptr : &it->second;
}

void CSpyItemManager::SetOrigin(float x, float y)
{
    if (!std::isfinite(x) || !std::isfinite(y)) {
        a_log("CSpyItemManager::SetOrigin(). Room '%s': bad origin ignored", m_room.c_str());
        return;
    }
    m_originX = x;
    m_originY = y;
}

void CSpyItemManager::SetScale(float scale)
{
    if (!std::isfinite(scale) || scale <= 0.0f) {
        a_log("CSpyItemManager::SetScale(). Room '%s': bad scale ignored", m_room.c_str());
        return;
    }
    m_scale = scale;
}

void CSpyItemManager::SetAlpha(float alpha) { m_alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0f, 1.0f) : 1.0f; }

CSpyPlace CSpyItemManager::GetRoomPlace() const
{
    CSpyPlace place;
    place.x = m_originX;
    place.y = m_originY;
    place.scale = m_scale;
    place.alpha = m_alpha;
    return place;
}

std::uint32_t CSpyItemManager::SaveItems(SaveLoadSystem& system, std::uint32_t pos) const
{
    pos = system.WriteU32(pos, std::uint32_t(m_loadOrder.size()));
    for (const CSpyItem* item : m_loadOrder)
        pos = item->SaveRecord(system, pos);
    return pos;
}

std::uint32_t CSpyItemManager::LoadItems(SaveLoadSystem& system, std::uint32_t pos)
{
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, 1 + CSpyItem::kRecordTail);
    std::set<std::string> seen;
    for (std::uint32_t i = 0; i < count && !system.HasOverrun(); ++i) {
        std::string name;
        pos = system.ReadString(pos, name);
        CSpyItem* item = FindItem(name);
        if (!item || !seen.insert(name).second) {
            a_log("CSpyItemManager::LoadItems(). Room '%s': %s item '%s' in the record", m_room.c_str(),
                  item ? "repeated" : "unknown", name.c_str());
            system.RefuseRecord();
            std::uint8_t skip = 0;
            for (std::uint32_t b = 0; b < CSpyItem::kRecordTail; ++b)
                pos = system.ReadU8(pos, skip);
            continue;
        }
        pos = item->LoadRecord(system, pos);
    }
    return pos;
}
