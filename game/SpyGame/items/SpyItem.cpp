#include "game/SpyGame/items/SpyItem.h"

#include <algorithm>
#include <cmath>
#include <list>

#include "engine/gfx/a_particle_system.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/SpyGame/items/objects/SpyObjectKinds.h"
#include "game/shell/save_load_system.h"

namespace {

// Positions beyond this are data errors (a room is about a thousand pixels).
constexpr float kMaxPosition = 1000000.0f;
constexpr float kMaxZoom = 1000.0f;

bool validPosition(float v) { return std::isfinite(v) && std::fabs(v) <= kMaxPosition; }
bool validZoom(float v) { return std::isfinite(v) && v > 0.0f && v <= kMaxZoom; }

bool parseNumber(const std::string& text, float& out)
{
    if (!str_isDouble(text))
        return false;
    const double v = str_toDouble(text);
    if (!std::isfinite(v) || std::fabs(v) > 1e30)
        return false;
    out = float(v);
    return true;
}

} // namespace

CSpyItem::Owned::Owned() = default;
CSpyItem::Owned::Owned(const Owned&) {}
CSpyItem::Owned::~Owned() = default;

CSpyItem::CSpyItem() = default;
CSpyItem::CSpyItem(const CSpyItem& other) = default;
CSpyItem::~CSpyItem() = default;

std::unique_ptr<CSpyItem> CSpyItem::Clone() const { return CloneOf(*this); }

void CSpyItem::Log(const std::string& message) const
{
    a_log("CSpyItemManager. File '%s' [%s]: %s", m_file.c_str(), m_name.c_str(), message.c_str());
}

// ------------------------------------------------------------------ loading

void CSpyItem::Load(aOptionsFile& ini, const std::string& name, CSpyItemManager& manager, const std::string& file)
{
    m_name = name;
    m_manager = &manager;
    m_room = manager.GetRoomName();
    m_file = file;
    m_class = ini.getStringDef("Class", "Item");

    const std::string pos = ini.getStringDef("Pos", "");
    if (!pos.empty()) {
        std::vector<std::string> parts;
        str_split(pos, parts, " \t,");
        float x = 0.0f, y = 0.0f;
        if (parts.size() == 2 && parseNumber(parts[0], x) && parseNumber(parts[1], y) && validPosition(x) &&
            validPosition(y)) {
            m_fileX = x;
            m_fileY = y;
        } else {
            Log("bad Pos '" + pos + "', 0 0 used");
        }
    }
    const std::string zoom = ini.getStringDef("Zoom", "");
    if (!zoom.empty()) {
        float z = 1.0f;
        if (parseNumber(zoom, z) && validZoom(z))
            m_fileZoom = z;
        else
            Log("bad Zoom '" + zoom + "', 1 used");
    }
    m_layer = ReadInt(ini, "Layer", 0);
    m_fileVisible = ReadFlag(ini, "Visible", true);
    m_clickable = ReadFlag(ini, "Clickable", true);
    m_inventory = ReadFlag(ini, "Inventory", false);
    m_keepAfterUse = ReadFlag(ini, "KeepAfterUse", false);
    m_iconName = ini.getStringDef("Icon", "");
    m_iSpyItem = std::uint8_t(std::clamp(ReadInt(ini, "IsISpyItem", 0), 0, 255));
    m_iSpyGroup = ini.getStringDef("ISpyGroup", "");
    const int diff = ReadInt(ini, "DiffLevel", 1);
    if (diff < 0 || diff > kMaxDiffLevel)
        Log("DiffLevel " + std::to_string(diff) + " clamped to 0-2");
    m_diffLevel = std::uint8_t(std::clamp(diff, 0, int(kMaxDiffLevel)));
    m_pickable = ReadFlag(ini, "Pickable", m_iSpyItem != 0 || m_inventory);
    m_winMask = m_pickable ? ActionPick : ActionClick;
    if (ini.hasKey("IsWinItem"))
        ParseIsWinItem(ini.getStringDef("IsWinItem", ""));
    m_companionName = ini.getStringDef("Companion", "");
    const std::string action = ini.getStringDef("Action", "");
    if (action == "Help")
        m_action = ActionHelp;
    else if (action == "BigHelp")
        m_action = ActionBigHelp;
    else if (action == "Comment")
        m_action = ActionComment;
    else if (!action.empty())
        Log("unknown Action '" + action + "' ignored");
    m_helpText = ini.getStringDef("HelpText", "");
    m_extraHint = ReadFlag(ini, "ExtraHint", false);

    // Objects, sorted by their layer (ties in line order).
    int n = 0;
    for (bool more = ini.firstKey(); more && !ini.isKeysEnd(); more = ini.nextKey()) {
        if (ini.getKeyName() != "Object")
            continue;
        ++n;
        CSpyObject* object =
            manager.GetObjectManager().CreateObject(ini.getKeyValue(), name + "#" + std::to_string(n), file, name);
        if (!object)
            continue;
        const auto at = std::upper_bound(m_objects.begin(), m_objects.end(), object,
                                         [](const CSpyObject* a, const CSpyObject* b) {
                                             return a->GetLayer() < b->GetLayer();
                                         });
        m_objects.insert(at, object);
    }
    LoadKind(ini);
    m_x = m_fileX;
    m_y = m_fileY;
    m_zoom = m_fileZoom;
    m_visible = m_fileVisible;
    m_visualState = DefaultVisualState();
}

bool CSpyItem::ReadFlag(aOptionsFile& ini, const char* key, bool def) const
{
    return ReadInt(ini, key, def ? 1 : 0) != 0;
}

int CSpyItem::ReadInt(aOptionsFile& ini, const char* key, int def) const
{
    const std::string v = ini.getStringDef(key, "");
    const int value = FileInt(ini, key, def);
    if (!v.empty() && !str_isInt(v))
        Log(std::string("bad ") + key + " '" + v + "', " + std::to_string(def) + " used");
    return value;
}

int CSpyItem::FileInt(const aOptionsFile& ini, const char* key, int def)
{
    const std::string v = ini.getStringDef(key, "");
    return !v.empty() && str_isInt(v) ? int(str_toInt(v)) : def;
}

bool CSpyItem::IsPooled(const aOptionsFile& ini)
{
    return std::clamp(FileInt(ini, "IsISpyItem", 0), 0, 255) != 0 && FileInt(ini, "Inventory", 0) == 0;
}

void CSpyItem::ParseIsWinItem(const std::string& value)
{
    std::list<std::string> words;
    aOptionsFile::splitTokens(value, words);
    std::uint8_t mask = 0;
    for (const std::string& w : words) {
        if (w == "Pick")
            mask |= ActionPick;
        else if (w == "Click")
            mask |= ActionClick;
        else if (w == "Use")
            mask |= ActionUse;
        else if (w == "Apply")
            mask |= ActionApply;
        else if (w == "Open")
            mask |= ActionOpen;
        else if (str_isInt(w) && str_toInt(w) >= 1 && str_toInt(w) <= kAllActions)
            mask |= std::uint8_t(str_toInt(w));
        else
            Log("unknown IsWinItem word '" + w + "' ignored");
    }
    if (mask != 0)
        m_winMask = mask;
}

void CSpyItem::AfterLoad()
{
    ComputeBox();
    ResolveIcon();
}

void CSpyItem::ComputeBox()
{
    bool any = false;
    m_boxLeft = m_boxTop = m_boxRight = m_boxBottom = 0.0f;
    for (const CSpyObject* object : m_objects) {
        float l = 0.0f, t = 0.0f, r = 0.0f, b = 0.0f;
        if (!object->GetBox(l, t, r, b))
            continue;
        if (!any) {
            m_boxLeft = l;
            m_boxTop = t;
            m_boxRight = r;
            m_boxBottom = b;
            any = true;
            continue;
        }
        m_boxLeft = std::min(m_boxLeft, l);
        m_boxTop = std::min(m_boxTop, t);
        m_boxRight = std::max(m_boxRight, r);
        m_boxBottom = std::max(m_boxBottom, b);
    }
}

void CSpyItem::ResolveIcon()
{
    m_icon = aImage();
    m_iconSource = aRect();
    if (!m_iconName.empty() && m_manager) {
        if (const aImage* image = m_manager->GetResources().FindImage(m_iconName, m_manager->GetGroup())) {
            m_icon = *image;
            m_iconSource = aRect(0, 0, image->getWidth(), image->getHeight());
            return;
        }
        Log("cannot find Icon '" + m_iconName + "', the first image is used");
    }
    for (const CSpyObject* object : m_objects) {
        const auto* image = dynamic_cast<const CSpyObjImage*>(object);
        if (image && image->IsResolved()) {
            m_icon = image->GetImage();
            m_iconSource = image->GetSource();
            return;
        }
    }
}

void CSpyItem::Reset()
{
    m_x = m_fileX;
    m_y = m_fileY;
    m_zoom = m_fileZoom;
    m_visible = m_fileVisible;
    m_taken = false;
    m_picked = false;
    m_inInventory = false;
    m_hover = false;
    m_actions = 0;
    m_visualState = DefaultVisualState();
    ShowMagicStars(false);
    for (CSpyObject* object : m_objects) {
        object->SetFade(1.0f);
        object->Reset();
    }
}

// ------------------------------------------------------------------ placement

CSpyPlace CSpyItem::GetPlace() const
{
    CSpyPlace place;
    const float scale = m_manager ? m_manager->GetScale() : 1.0f;
    place.x = (m_manager ? m_manager->GetOriginX() : 0.0f) + m_x * scale;
    place.y = (m_manager ? m_manager->GetOriginY() : 0.0f) + m_y * scale;
    place.scale = m_zoom * scale;
    place.alpha = m_manager ? m_manager->GetAlpha() : 1.0f;
    return place;
}

CSpyItemRef CSpyItem::GetItemRef() const { return CSpyItemRef(m_name, m_room); }

void CSpyItem::GetPos(float& x, float& y) const
{
    const CSpyPlace place = GetPlace();
    x = place.x;
    y = place.y;
}

void CSpyItem::SetPos(float x, float y, bool companionFollows)
{
    if (!validPosition(x) || !validPosition(y)) {
        Log("SetPos with a bad position ignored");
        return;
    }
    float oldX = 0.0f, oldY = 0.0f;
    GetPos(oldX, oldY);
    const float scale = m_manager ? m_manager->GetScale() : 1.0f;
    m_x = (x - (m_manager ? m_manager->GetOriginX() : 0.0f)) / scale;
    m_y = (y - (m_manager ? m_manager->GetOriginY() : 0.0f)) / scale;
    // One level only: the companion's own companion stays, so two items
    // naming each other cannot recurse.
    if (companionFollows && m_companion) {
        float cx = 0.0f, cy = 0.0f;
        m_companion->GetPos(cx, cy);
        m_companion->SetPos(cx + (x - oldX), cy + (y - oldY), false);
    }
}

void CSpyItem::SetZoom(float zoom, bool companionFollows)
{
    if (!validZoom(zoom)) {
        Log("SetZoom with a bad zoom ignored");
        return;
    }
    const float delta = zoom - m_zoom;
    m_zoom = zoom;
    if (companionFollows && m_companion) {
        const float z = m_companion->m_zoom + delta;
        if (validZoom(z))
            m_companion->SetZoom(z, false);
        else
            Log("the companion's zoom would leave the range; it keeps its own");
    }
}

float CSpyItem::GetWidth() const { return (m_boxRight - m_boxLeft) * GetPlace().scale; }
float CSpyItem::GetHeight() const { return (m_boxBottom - m_boxTop) * GetPlace().scale; }
int CSpyItem::GetWidthRounded() const { return int(std::lround(GetWidth())); }
int CSpyItem::GetHeightRounded() const { return int(std::lround(GetHeight())); }

// ------------------------------------------------------------------ drawing

void CSpyItem::Draw() const
{
    if (!IsVisible())
        return;
    const CSpyPlace place = GetPlace();
    for (const CSpyObject* object : m_objects)
        if (object->IsShownIn(m_visualState, m_hover))
            object->Draw(place);
    if (m_own.stars) {
        m_own.stars->setAlpha(std::clamp(place.alpha, 0.0f, 1.0f));
        m_own.stars->render();
    }
}

void CSpyItem::DrawIcon() const
{
    if (m_iconSource.width == 0 || m_iconSource.height == 0)
        return;
    float x = 0.0f, y = 0.0f;
    GetPos(x, y);
    const D3DXVECTOR2 scale{GetWidth() / float(m_iconSource.width), GetHeight() / float(m_iconSource.height)};
    m_icon.draw(x, y, &m_iconSource, 0xFFFFFFFF, &scale, 0.0f, nullptr, 0);
}

void CSpyItem::DrawIcon(float x, float y, float width, float height) const
{
    if (m_iconSource.width == 0 || m_iconSource.height == 0 || !(width > 0.0f) || !(height > 0.0f))
        return;
    const float w = float(m_iconSource.width), h = float(m_iconSource.height);
    const float s = std::min(width / w, height / h);
    const D3DXVECTOR2 scale{s, s};
    m_icon.draw(x + (width - w * s) * 0.5f, y + (height - h * s) * 0.5f, &m_iconSource, 0xFFFFFFFF, &scale, 0.0f,
                nullptr, 0);
}

void CSpyItem::UpdateObject(float dt)
{
    if (!std::isfinite(dt) || dt < 0.0f)
        dt = 0.0f;
    UpdateKind(dt);
    const CSpyPlace place = GetPlace();
    for (CSpyObject* object : m_objects)
        object->Update(dt, place);
    if (m_own.stars) {
        PlaceStars();
        m_own.stars->update(dt);
    }
}

bool CSpyItem::HitTest(float x, float y) const
{
    if (!IsVisible())
        return false;
    const CSpyPlace place = GetPlace();
    if (!(x >= place.x + m_boxLeft * place.scale && x < place.x + m_boxRight * place.scale &&
          y >= place.y + m_boxTop * place.scale && y < place.y + m_boxBottom * place.scale))
        return false;
    // Hover objects never hit: the hover state comes from this test.
    for (auto it = m_objects.rbegin(); it != m_objects.rend(); ++it)
        if ((*it)->GetFade() > 0.0f && (*it)->IsShownIn(m_visualState, false) && (*it)->HitTest(place, x, y))
            return true;
    return false;
}

// ------------------------------------------------------------------ stars

void CSpyItem::PlaceStars()
{
    const CSpyPlace place = GetPlace();
    const float x = place.x + (m_boxLeft + m_boxRight) * 0.5f * place.scale;
    const float y = place.y + (m_boxTop + m_boxBottom) * 0.5f * place.scale;
    if (x != m_starsX || y != m_starsY) {
        m_own.stars->moveTo(x, y);
        m_starsX = x;
        m_starsY = y;
    }
}

void CSpyItem::ShowMagicStars(bool show)
{
    m_stars = show;
    if (!show) {
        m_own.stars.reset();
        return;
    }
    if (m_own.stars || !m_manager)
        return;
    const aParticleSystem* effect = m_manager->GetResources().GetParticle(m_manager->GetMagicStarsEffect());
    if (!effect)
        return;
    m_own.stars = std::make_unique<aParticleSystem>(*effect);
    m_own.stars->reset();
    const CSpyPlace place = GetPlace();
    m_starsX = place.x + (m_boxLeft + m_boxRight) * 0.5f * place.scale;
    m_starsY = place.y + (m_boxTop + m_boxBottom) * 0.5f * place.scale;
    m_own.stars->startAt(m_starsX, m_starsY);
}

// ------------------------------------------------------------------ actions

int CSpyItem::Click()
{
    if (!m_clickable)
        return ResultNone;
    if (IsBusy())
        return ResultBusy;
    MarkAction(ActionClick);
    return ClickKind();
}

int CSpyItem::ClickKind()
{
    switch (m_action) {
    case ActionHelp:
        return ResultHelp;
    case ActionBigHelp:
        return ResultBigHelp;
    case ActionComment:
        return ResultComment;
    case NoAction:
        break;
    }
    return m_pickable ? ResultPick : ResultNone;
}

bool CSpyItem::ApplyItem(const CSpyItemRef&) { return false; }

bool CSpyItem::KeyMatches(const std::string& key, const CSpyItemRef& used) const
{
    if (key.empty())
        return false;
    const CSpyItemRef want = CSpyItemRef::Parse(key);
    return want.name == used.name && (want.room.empty() || want.room == used.room);
}

void CSpyItem::Pick()
{
    m_picked = true;
    if (m_inventory)
        m_inInventory = true;
    SetVisible(false);
    ShowMagicStars(false);
    MarkAction(ActionPick);
}

void CSpyItem::RefreshContents()
{
    // The holder graph has no cycles (the manager drops listings that would
    // make one), so this walk ends; the depth cap guards the stack anyway.
    std::vector<std::pair<CSpyItem*, int>> stack;
    for (CSpyItem* item : m_contents)
        stack.emplace_back(item, 1);
    while (!stack.empty()) {
        auto [item, depth] = stack.back();
        stack.pop_back();
        bool shown = !item->m_picked && !item->m_inInventory;
        int steps = 0;
        for (const CSpyItem* h = item->m_holder; h && shown; h = h->m_holder) {
            shown = h->HoldsOpen();
            if (++steps > CSpyItemManager::kMaxNesting)
                break;
        }
        item->m_visible = shown;
        if (depth < CSpyItemManager::kMaxNesting)
            for (CSpyItem* inner : item->m_contents)
                stack.emplace_back(inner, depth + 1);
    }
}

// ------------------------------------------------------------------ clone

void CSpyItem::DetachAsClone(const CSpyItem& original)
{
    const CSpyPlace place = original.GetPlace();
    m_manager = nullptr;
    m_companion = nullptr;
    m_holder = nullptr;
    m_contents.clear();
    m_stars = false;
    m_x = place.x;
    m_y = place.y;
    m_zoom = place.scale;
    m_objects.clear();
    for (const CSpyObject* object : original.m_objects) {
        m_own.objects.push_back(object->Clone());
        m_objects.push_back(m_own.objects.back().get());
    }
}

// ------------------------------------------------------------------ record

std::uint32_t CSpyItem::SaveRecord(SaveLoadSystem& system, std::uint32_t pos) const
{
    bool visible = IsVisible() && !(FinishesOpening() && HidesWhenOpened());
    if (!visible && m_holder && m_holder->FinishesOpening() && !m_picked && !m_inInventory)
        visible = true;
    std::uint8_t state = 0;
    if (visible)
        state |= StateVisible;
    if (m_taken)
        state |= StateTaken;
    if (m_inInventory)
        state |= StateInInventory;
    if (m_picked)
        state |= StateFound;
    if (m_stars)
        state |= StateStars;
    pos = system.WriteString(pos, m_name);
    pos = system.WriteU8(pos, state);
    pos = system.WriteU8(pos, std::uint8_t(m_actions | (FinishesOpening() ? ActionOpen : 0)));
    pos = system.WriteF32(pos, m_x);
    pos = system.WriteF32(pos, m_y);
    pos = system.WriteF32(pos, m_zoom);
    return system.WriteU8(pos, GetKindState());
}

std::uint32_t CSpyItem::LoadRecord(SaveLoadSystem& system, std::uint32_t pos)
{
    std::uint8_t state = 0, actions = 0, kind = 0;
    float x = 0.0f, y = 0.0f, zoom = 0.0f;
    pos = system.ReadU8(pos, state);
    pos = system.ReadU8(pos, actions);
    pos = system.ReadF32(pos, x);
    pos = system.ReadF32(pos, y);
    pos = system.ReadF32(pos, zoom);
    pos = system.ReadU8(pos, kind);
    if (system.HasOverrun())
        return pos;
    m_taken = (state & StateTaken) != 0;
    m_inInventory = (state & StateInInventory) != 0;
    m_picked = (state & StateFound) != 0;
    m_actions = actions & kAllActions;
    if (validPosition(x) && validPosition(y)) {
        m_x = x;
        m_y = y;
    } else {
        Log("saved position is bad, the file's is kept");
        system.RefuseRecord();
    }
    if (validZoom(zoom)) {
        m_zoom = zoom;
    } else {
        Log("saved zoom is bad, the file's is kept");
        system.RefuseRecord();
    }
    SetKindState(kind);
    // After the kind, which may show or hide what it holds.
    SetVisible((state & StateVisible) != 0);
    ShowMagicStars((state & StateStars) != 0);
    return pos;
}
