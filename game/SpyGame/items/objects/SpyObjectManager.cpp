#include "game/SpyGame/items/objects/SpyObjectManager.h"

#include <algorithm>

#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

CSpyObjectManager::CSpyObjectManager() = default;
CSpyObjectManager::~CSpyObjectManager() = default;

std::vector<std::string> CSpyObjectManager::SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    str_split(line, words, " \t");
    return words;
}

CSpyObject* CSpyObjectManager::CreateObject(const std::string& line, const std::string& defaultName,
                                            const std::string& file, const std::string& section)
{
    std::vector<std::string> words = SplitWords(line);
    if (words.empty()) {
        a_log("CSpyObjectManager. File '%s' [%s]: empty Object line", file.c_str(), section.c_str());
        return nullptr;
    }
    // Checked first so that the line names the file and section.
    std::unique_ptr<CSpyObject> object =
        CSpyObjectFactory::IsRegistered(words[0]) ? CSpyObjectFactory::Create(words[0]) : nullptr;
    if (!object) {
        a_log("CSpyObjectManager. File '%s' [%s]: unknown object class '%s', object skipped", file.c_str(),
              section.c_str(), words[0].c_str());
        return nullptr;
    }
    const std::string className = words[0];
    words.erase(words.begin());
    if (!object->Parse(className, words, defaultName, file, section))
        return nullptr;
    m_objects.push_back(std::move(object));
    return m_objects.back().get();
}

CSpyObject* CSpyObjectManager::AddRoomObject(List list, const std::string& line, const std::string& file)
{
    const char* section = list == ListScene ? "Scene" : "Overlay";
    std::vector<CSpyObject*>& objects = m_lists[list];
    CSpyObject* object =
        CreateObject(line, std::string(section) + "#" + std::to_string(objects.size() + 1), file, section);
    if (!object)
        return nullptr;
    // Sorted by layer, ties in line order.
    const auto at = std::upper_bound(objects.begin(), objects.end(), object,
                                     [](const CSpyObject* a, const CSpyObject* b) { return a->GetLayer() < b->GetLayer(); });
    objects.insert(at, object);
    return object;
}

void CSpyObjectManager::AfterLoad(const CSpyLoadContext& context)
{
    for (const auto& object : m_objects)
        object->AfterLoad(context);
}

void CSpyObjectManager::Reset()
{
    for (const auto& object : m_objects)
        object->Reset();
}

void CSpyObjectManager::StartObjects()
{
    for (const auto& object : m_objects)
        if (object->StartsItself())
            object->Start();
}

void CSpyObjectManager::UpdateRoomObjects(float dt, const CSpyPlace& place)
{
    for (const auto& list : m_lists)
        for (CSpyObject* object : list)
            object->Update(dt, place);
}

void CSpyObjectManager::DrawList(List list, const CSpyPlace& place) const
{
    for (const CSpyObject* object : m_lists[list])
        if (object->IsShownIn(std::string(), false))
            object->Draw(place);
}

CSpyObject* CSpyObjectManager::HitTestList(List list, const CSpyPlace& place, float x, float y) const
{
    const std::vector<CSpyObject*>& objects = m_lists[list];
    for (auto it = objects.rbegin(); it != objects.rend(); ++it)
        if ((*it)->IsShownIn(std::string(), false) && (*it)->HitTest(place, x, y))
            return *it;
    return nullptr;
}

void CSpyObjectManager::Clear()
{
    for (auto& list : m_lists)
        list.clear();
    m_objects.clear();
}
