#include "game/SpyGame/SpyEventsManager.h"

#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "game/SpyGame/SpyEventsOwner.h"
#include "game/shell/save_load_system.h"

CSpyEventsManager::~CSpyEventsManager()
{
    Clear();
}

void CSpyEventsManager::Clear()
{
    m_names.clear();
    m_current = nullptr;
    m_events.clear();
}

void CSpyEventsManager::AddEvents(const std::string& file)
{
    if (!m_owner)
        return;
    aOptionsFile ini(file);
    for (ini.firstSection(); !ini.isSectionsEnd(); ini.nextSection()) {
        const std::string kind = ini.getSectionName();
        std::unique_ptr<CSpyEventBase> created = IsRegistered(kind) ? Create(kind) : nullptr;
        if (!created) {
            a_log("CSpyEventsManager::AddEvents(). Investigation '%s', not find class for event '%s'",
                  m_owner->GetName().c_str(), kind.c_str());
            continue;
        }
        std::shared_ptr<CSpyEventBase> event(std::move(created));
        event->SetOwner(m_owner, this);
        event->ReadFromIniFile(ini);
        const std::string name = event->GetEventName();
        if (!name.empty() && !m_names.emplace(name, event.get()).second)
            a_log("CSpyEventsManager::AddEvents(). Warning, event with name '%s' already exist!", name.c_str());
        m_events.push_back(event);
        if (event->GetClassName() != kind)
            a_log("Warning, class '%s' return difference names in methods GetClassStaticName() and GetClassName().",
                  kind.c_str());
    }
}

CSpyEventBase* CSpyEventsManager::GetEvent(const std::string& name) const
{
    const auto it = m_names.find(name);
    return it == m_names.end() ? nullptr : it->second;
}

CSpyEventBase* CSpyEventsManager::GetReadyEvent()
{
    for (const auto& event : m_events)
        if (!event->IsDone() && event->IsReady()) {
            m_current = event.get();
            return m_current;
        }
    return nullptr;
}

void CSpyEventsManager::ResetEvents(const std::string& name)
{
    SetKey(kKeyPrefix + name);
    for (const auto& event : m_events)
        event->ResetDone();
    m_current = nullptr;
}

// ------------------------------------------------------------------ record

std::uint32_t CSpyEventsManager::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteU32(pos, std::uint32_t(m_events.size()));
    std::uint32_t current = kNoEvent;
    for (std::size_t i = 0; i < m_events.size(); ++i) {
        pos = m_events[i]->SaveSelf(system, pos);
        if (m_events[i].get() == m_current)
            current = std::uint32_t(i);
    }
    return system.WriteU32(pos, current);
}

bool CSpyEventsManager::CheckRecord(SaveLoadSystem& system, std::uint32_t pos)
{
    const std::uint32_t left = system.BytesLeft(pos);
    if (left < 8)
        return false;
    std::uint32_t count = 0, current = 0;
    system.ReadU32(pos, count);
    if (count != left - 8)
        return false;
    system.ReadU32(pos + 4 + count, current);
    return current == kNoEvent || current < count;
}

std::uint32_t CSpyEventsManager::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    if (!CheckRecord(system, pos)) {
        a_log("CSpyEventsManager::LoadSelf(). '%s': the record is damaged; the flags stay", GetKey().c_str());
        system.RefuseRecord();
        return pos + system.BytesLeft(pos);
    }
    std::uint32_t count = 0;
    pos = system.ReadU32(pos, count);
    if (count != m_events.size()) {
        a_log("CSpyEventsManager::LoadSelf(). Saved events difference!");
        system.RefuseRecord();
        return pos + system.BytesLeft(pos);
    }
    for (const auto& event : m_events)
        pos = event->LoadSelf(system, pos);
    std::uint32_t current = kNoEvent;
    pos = system.ReadU32(pos, current);
    m_current = current < m_events.size() ? m_events[current].get() : nullptr;
    return pos;
}
