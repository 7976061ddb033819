#include "game/SpyGame/items/SpyItemKinds.h"

#include <algorithm>
#include <list>

#include "engine/util/a_options_file.h"

// ------------------------------------------------------------------ Door

void CSpyDoor::LoadKind(aOptionsFile& ini)
{
    m_target = ini.getStringDef("Target", "");
    m_closeUp = ini.getStringDef("CloseUp", "");
    if (!m_target.empty() && !m_closeUp.empty()) {
        Log("both Target and CloseUp; Target is used");
        m_closeUp.clear();
    }
    if (m_target.empty() && m_closeUp.empty())
        Log("a Door with neither Target nor CloseUp acts as a plain item");
    m_key = ini.getStringDef("Key", "");
    m_fileLocked = ReadFlag(ini, "Locked", false);
    m_locked = m_fileLocked;
}

void CSpyDoor::Reset()
{
    CSpyItem::Reset();
    m_locked = m_fileLocked;
}

int CSpyDoor::ClickKind()
{
    if (m_locked)
        return ResultLocked;
    if (!m_target.empty())
        return ResultGoTo;
    if (!m_closeUp.empty())
        return ResultCloseUp;
    return CSpyItem::ClickKind();
}

bool CSpyDoor::ApplyItem(const CSpyItemRef& used)
{
    if (!m_locked || !KeyMatches(m_key, used))
        return false;
    m_locked = false;
    MarkAction(ActionApply);
    return true;
}

std::uint8_t CSpyDoor::GetKindState() const { return m_fileLocked && !m_locked ? 1 : 0; }

void CSpyDoor::SetKindState(std::uint8_t state) { m_locked = m_fileLocked && !(state & 1); }

// ------------------------------------------------------------------ holders

void CSpyHolder::LoadHolder(aOptionsFile& ini, const char* listKey, bool withKey)
{
    std::list<std::string> names;
    ini.getTokens(listKey, names);
    m_contentNames.assign(names.begin(), names.end());
    if (withKey)
        m_key = ini.getStringDef("Key", "");
}

// ------------------------------------------------------------------ Container

void CSpyContainer::LoadKind(aOptionsFile& ini) { LoadHolder(ini, "Contents", true); }

void CSpyContainer::Reset()
{
    CSpyItem::Reset();
    m_open = false;
    m_opening = false;
    m_time = 0.0f;
}

void CSpyContainer::BeginOpen()
{
    m_opening = true;
    m_time = 0.0f;
}

int CSpyContainer::ClickKind()
{
    if (m_open)
        return CSpyItem::ClickKind();
    if (!m_key.empty())
        return ResultLocked;
    BeginOpen();
    return ResultBusy;
}

bool CSpyContainer::ApplyItem(const CSpyItemRef& used)
{
    if (m_open || m_opening || !KeyMatches(m_key, used))
        return false;
    MarkAction(ActionApply);
    BeginOpen();
    return true;
}

void CSpyContainer::UpdateKind(float dt)
{
    if (!m_opening)
        return;
    m_time += dt;
    if (m_time < kOpenTime)
        return;
    m_opening = false;
    m_open = true;
    SetVisualState("open");
    MarkAction(ActionOpen);
    RefreshContents();
}

void CSpyContainer::SetKindState(std::uint8_t state)
{
    m_open = (state & 1) != 0;
    m_opening = false;
    SetVisualState(m_open ? "open" : "closed");
}

// ------------------------------------------------------------------ Box

void CSpyBox::LoadKind(aOptionsFile& ini) { LoadHolder(ini, "Contents", true); }

void CSpyBox::Reset()
{
    CSpyItem::Reset();
    m_open = false;
    m_unlocked = false;
}

void CSpyBox::SetOpen(bool open)
{
    m_open = open;
    SetVisualState(open ? "open" : "closed");
    if (open)
        MarkAction(ActionOpen);
    RefreshContents();
}

int CSpyBox::ClickKind()
{
    if (!m_key.empty() && !m_unlocked)
        return ResultLocked;
    SetOpen(!m_open);
    return ResultNone;
}

bool CSpyBox::ApplyItem(const CSpyItemRef& used)
{
    if (m_key.empty() || m_unlocked || !KeyMatches(m_key, used))
        return false;
    m_unlocked = true;
    MarkAction(ActionApply);
    SetOpen(true);
    return true;
}

std::uint8_t CSpyBox::GetKindState() const { return std::uint8_t((m_open ? 1 : 0) | (m_unlocked ? 2 : 0)); }

void CSpyBox::SetKindState(std::uint8_t state)
{
    m_open = (state & 1) != 0;
    m_unlocked = (state & 2) != 0;
    SetVisualState(m_open ? "open" : "closed");
}

// ------------------------------------------------------------------ Heap

void CSpyHeap::LoadKind(aOptionsFile& ini)
{
    LoadHolder(ini, "Reveals", false);
    for (const CSpyObject* object : GetObjects())
        if (std::find(m_layers.begin(), m_layers.end(), object->GetLayer()) == m_layers.end())
            m_layers.push_back(object->GetLayer());
    std::sort(m_layers.rbegin(), m_layers.rend());
}

void CSpyHeap::Reset()
{
    CSpyItem::Reset();
    m_removed = 0;
    m_fading = false;
    m_time = 0.0f;
    m_cleared = false;
}

void CSpyHeap::FadeLayer(std::size_t index, float fade)
{
    if (index >= m_layers.size())
        return;
    for (CSpyObject* object : GetObjects())
        if (object->GetLayer() == m_layers[index])
            object->SetFade(fade);
}

void CSpyHeap::Clear()
{
    m_cleared = true;
    SetVisible(false);
    MarkAction(ActionOpen);
    RefreshContents();
}

int CSpyHeap::ClickKind()
{
    if (m_cleared)
        return ResultNone;
    if (m_removed >= m_layers.size()) {
        Clear();
        return ResultNone;
    }
    m_fading = true;
    m_time = 0.0f;
    return ResultBusy;
}

void CSpyHeap::UpdateKind(float dt)
{
    if (!m_fading)
        return;
    m_time += dt;
    if (m_time < kFadeTime) {
        FadeLayer(m_removed, 1.0f - m_time / kFadeTime);
        return;
    }
    FadeLayer(m_removed, 0.0f);
    m_fading = false;
    ++m_removed;
    if (m_removed >= m_layers.size())
        Clear();
}

std::uint8_t CSpyHeap::GetKindState() const
{
    return std::uint8_t(std::min<std::size_t>(m_removed + (m_fading ? 1 : 0), 255));
}

void CSpyHeap::SetKindState(std::uint8_t state)
{
    m_fading = false;
    m_time = 0.0f;
    m_removed = std::min<std::size_t>(state, m_layers.size());
    for (std::size_t i = 0; i < m_layers.size(); ++i)
        FadeLayer(i, i < m_removed ? 0.0f : 1.0f);
    m_cleared = !m_layers.empty() && m_removed == m_layers.size();
}

// ------------------------------------------------------------------ registry

void RegisterItemKinds()
{
    CSpyItemFactory::Register<CSpyItem>("Item");
    CSpyItemFactory::Register<CSpyBox>("Box");
    CSpyItemFactory::Register<CSpyContainer>("Container");
    CSpyItemFactory::Register<CSpyDoor>("Door");
    CSpyItemFactory::Register<CSpyHeap>("Heap");
}
