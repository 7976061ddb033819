#include "game/SpyGame/Rooms/RoomBase.h"

#include <algorithm>
#include <cmath>
#include <list>

#include "engine/gfx/a_particle_system.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/Rooms/RoomData.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/objects/SpyObjectKinds.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/save_load_system.h"

namespace {

// Placements beyond this are data errors; the 16-bit point clamps anyway.
constexpr float kMaxPlacement = 1000000.0f;

std::int16_t toPoint(float v)
{
    return std::int16_t(std::clamp(std::lround(v), long(INT16_MIN), long(INT16_MAX)));
}

// The case of a case room folder ".../_Investigations/<case>/<room>/".
std::string caseOfFolder(const std::string& folder)
{
    std::vector<std::string> parts;
    str_split(folder, parts, "/\\:");
    std::vector<std::string> kept;
    for (const std::string& p : parts)
        if (!p.empty())
            kept.push_back(p);
    if (kept.size() >= 3 && kept[kept.size() - 3] == "_Investigations")
        return kept[kept.size() - 2];
    return std::string();
}

} // namespace

CRoomServices CRoomServices::FromGame()
{
    CRoomServices out;
    out.res = CSpyResources::FromGame();
    if (CResManager* res = CResManager::getSingletonPtr())
        out.sounds = res->GetSoundManager();
    if (g_application)
        out.input = g_application->m_inputServer;
    return out;
}

CRoomBase::CRoomBase() = default;

CRoomBase::~CRoomBase()
{
    RestoreCursor();
    m_bigCursor.reset();
    m_hintStars.reset();
    m_items.reset();
}

CRoomContext& CRoomBase::Context() const
{
    static CNullRoomContext none;
    return m_manager ? m_manager->GetContext() : none;
}

// ------------------------------------------------------------------ loading

bool CRoomBase::Load(CRoomsManager& manager, const std::string& name, const std::string& caseFolder,
                     const std::string& locationFolder, const std::string& location, CRoomData& data,
                     CSpyEventsOwner* investigation)
{
    m_manager = &manager;
    m_name = name;
    m_caseFolder = caseFolder;
    m_locationFolder = locationFolder;
    m_location = location;
    m_investigation = investigation;
    const CRoomServices& services = manager.GetServices();
    m_items = std::make_unique<CSpyItemManager>(name, services.res);
    m_items->SetMagicStarsEffect(manager.GetSettings().magicStars);
    LoadSettings(data);

    aOptionsFile& ini = data.GetLocationFile();
    for (ini.firstSection(); !ini.isSectionsEnd(); ini.nextSection()) {
        const std::string section = ini.getSectionName();
        CSpyObjectManager::List list;
        if (section == "Scene")
            list = CSpyObjectManager::ListScene;
        else if (section == "Overlay")
            list = CSpyObjectManager::ListOverlay;
        else
            continue;
        for (bool more = ini.firstKey(); more && !ini.isKeysEnd(); more = ini.nextKey())
            if (ini.getKeyName() == "Object")
                m_items->GetObjectManager().AddRoomObject(list, ini.getKeyValue(), data.GetLocationFileName());
    }
    m_items->Load(locationFolder, location);

    const std::string ambient = locationFolder + "ambient.ini";
    if (services.sounds && file_isExistOrPacked(ambient))
        m_ambient.CreateResLoadingLists(ambient, locationFolder + "_sounds.list", services.sounds);

    std::vector<std::string> texts;
    const std::string caseName = caseOfFolder(caseFolder);
    if (!caseName.empty())
        texts.push_back("language:_Investigations/" + caseName + "/" + name + ".txt");
    texts.push_back("language:_Locations/" + location + ".txt");
    for (const std::string& path : texts)
        if (services.res.locale && file_isExistOrPacked(path)) {
            services.res.locale->loadFile(path, name);
            m_texts.push_back(path);
        }
    const std::string events = caseFolder + CSpyEventsManager::kFile;
    if (file_isExistOrPacked(events))
        m_events.AddEvents(events);
    return true;
}

void CRoomBase::LoadSettings(CRoomData& data)
{
    m_sizeGiven = data.GetSize("Size", m_width, m_height);
    m_scale = data.GetPositiveFloat("Scale", 1.0f);
    m_soundOnBackName = data.GetString("SoundOnBack", "");
    m_everyFullReset = data.GetFlag("EveryFullReset", false);
    m_continueButton = data.GetFlag("ContinueButton", false);
    m_allowBack = data.GetFlag("AllowBack", true);
    m_skipBonusRound = data.GetFlag("SkipBonusRound", false);
    m_iSpyRoom = data.GetFlag("ISpyRoom", false);
    m_hintsDisabled = data.GetFlag("HintsDisabled", false);
    m_helpText = data.GetString("HelpText", "");
    m_hasHookRect = data.GetRect("HookRect", m_hookRect);
    std::list<std::string> names;
    data.GetTokens("ShowItems", names);
    m_showItems.assign(names.begin(), names.end());
    names.clear();
    data.GetTokens("HideItems", names);
    m_hideItems.assign(names.begin(), names.end());
}

void CRoomBase::AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards)
{
    (void)invCards;
    m_murderHunt = murderHunt;
    m_afterLoadDone = true;
    m_items->AfterLoad();
    m_ambient.CreateSounds();
    if (!m_sizeGiven) {
        for (const CSpyObject* object : m_items->GetObjectManager().GetList(CSpyObjectManager::ListScene)) {
            const auto* image = dynamic_cast<const CSpyObjImage*>(object);
            if (image && image->IsResolved()) {
                m_width = image->GetSource().width;
                m_height = image->GetSource().height;
                break;
            }
        }
        if (m_width == 0 || m_height == 0)
            a_log("CRoomBase::AfterLoadInit(). Room '%s' has no Size and no [Scene] image; its size is 0",
                  m_name.c_str());
    }
    m_soundOnBack = nullptr;
    aSoundManager* sounds = m_manager ? m_manager->GetServices().sounds : nullptr;
    if (!m_soundOnBackName.empty()) {
        if (sounds && sounds->HasSound(m_soundOnBackName, ""))
            m_soundOnBack = sounds->GetSound(m_soundOnBackName, "");
        else
            a_log("CRoomBase::AfterLoadInit(). Room '%s': SoundOnBack '%s' is not a loaded sound", m_name.c_str(),
                  m_soundOnBackName.c_str());
    }
    SetPlacement(m_x, m_y);
    ApplyItemLists();
    RefreshItemState();
}

void CRoomBase::Unload()
{
    Exit();
    m_ambient.ReleaseSounds();
    aLocaleServer* locale = m_manager ? m_manager->GetServices().res.locale : nullptr;
    if (locale)
        for (const std::string& path : m_texts)
            locale->unloadFile(path, m_name);
    m_texts.clear();
}

void CRoomBase::ApplyItemLists()
{
    for (const std::string& name : m_showItems)
        if (CSpyItem* item = GetItem(name))
            item->SetVisible(true);
    for (const std::string& name : m_hideItems)
        if (CSpyItem* item = GetItem(name))
            item->SetVisible(false);
}

// ------------------------------------------------------------------ lifecycle

void CRoomBase::Reset()
{
    // Rooms loaded on demand are reset before anyone ran their set-up.
    if (!m_afterLoadDone)
        AfterLoadInit(nullptr, nullptr);
    if (m_entered) {
        m_ambient.Stop();
        m_entered = false;
    }
    DropCursorItem();
    RestoreCursor();
    m_items->Reset();
    if (m_manager)
        m_manager->RemoveRoomFromInventory(m_name);
    ApplyItemLists();
    m_result = ResultNone;
    m_helpTextId.clear();
    m_targetRoom.clear();
    m_closeUpRoom.clear();
    m_clickedItem = nullptr;
    m_oneShot = false;
    m_flags = {{1, 1}};
    m_savedFlags = m_flags;
    m_flagsSuspended = false;
    m_clueFound = false;
    m_visited = false;
    m_hintsBlocked = false;
    m_puzzleComplete = 0;
    m_hintStars.reset();
    SetAlpha(1.0f);
    m_events.ResetEvents(m_name);
    if (m_manager)
        m_manager->ApplyParkedRecord(*this);
    RefreshItemState();
}

void CRoomBase::Entry(std::uint32_t value)
{
    (void)value;
    m_entered = true;
    m_visited = true;
    CRoomContext& context = Context();
    context.SetCurrentRoom(m_name);
    // Before the panel is set up, so that it shows the new lines.
    if (context.IsFindAll() && context.IsISpyPending(m_name))
        context.GenISpyTaskInRoom(m_name, std::int32_t(std::min<std::uint32_t>(context.GetISpyItemsCount(m_name),
                                                                                   std::uint32_t(INT32_MAX))),
                                  true, false);
    SetupGamePanel();
    m_ambient.Play();
    const std::string text = context.GetEnterRoomText();
    if (!text.empty())
        context.ShowMessage(text, m_name, true);
    m_items->StartObjects();
}

void CRoomBase::Exit()
{
    if (!m_entered)
        return;
    m_entered = false;
    m_ambient.Stop();
    DropCursorItem();
    UpdateHover(0, 0, false);
    m_result = ResultNone;
}

void CRoomBase::DropCursorItem()
{
    m_cursorItem = nullptr;
    m_bigCursor.reset();
}

std::string CRoomBase::TakeTargetRoom()
{
    if (m_result != ResultGoTo)
        return std::string();
    std::string target;
    target.swap(m_targetRoom);
    Exit();
    m_result = ResultNone;
    return target;
}

std::string CRoomBase::TakeCloseUpRoom()
{
    if (m_result != ResultCloseUp)
        return std::string();
    std::string target;
    target.swap(m_closeUpRoom);
    Exit();
    m_result = ResultNone;
    return target;
}

void CRoomBase::ResetResult()
{
    m_result = ResultNone;
    m_helpTextId.clear();
}

bool CRoomBase::TakeOneShotFlag()
{
    const bool was = m_oneShot;
    m_oneShot = false;
    return was;
}

void CRoomBase::SuspendFlags(bool restore)
{
    if (restore) {
        if (m_flagsSuspended) {
            m_flags = m_savedFlags;
            m_flagsSuspended = false;
        }
        return;
    }
    if (!m_flagsSuspended) {
        m_savedFlags = m_flags;
        m_flagsSuspended = true;
    }
    m_flags = {{0, 0}};
}

// ------------------------------------------------------------------ placement

void CRoomBase::SetPlacement(float x, float y)
{
    m_x = x;
    m_y = y;
    m_pointX = toPoint(x);
    m_pointY = toPoint(y);
    if (m_items) {
        m_items->SetScale(m_scale);
        m_items->SetOrigin(x, y);
    }
}

void CRoomBase::SetPos(float x, float y)
{
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kMaxPlacement || std::fabs(y) > kMaxPlacement) {
        a_log("CRoomBase::SetPos(). Room '%s': bad position ignored", m_name.c_str());
        return;
    }
    SetPlacement(x, y);
}

void CRoomBase::GetPos(float& x, float& y) const
{
    x = m_x;
    y = m_y;
}

std::uint16_t CRoomBase::GetScaledWidth() const
{
    return std::uint16_t(std::clamp(std::lround(double(m_width) * m_scale), 0L, 65535L));
}

std::uint16_t CRoomBase::GetScaledHeight() const
{
    return std::uint16_t(std::clamp(std::lround(double(m_height) * m_scale), 0L, 65535L));
}

void CRoomBase::SetAlpha(float alpha)
{
    m_alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0f, 1.0f) : 1.0f;
    if (m_items)
        m_items->SetAlpha(m_alpha);
}

CSpyItem* CRoomBase::GetItem(const std::string& name) const
{
    CSpyItem* item = m_items ? m_items->FindItem(name) : nullptr;
    if (!item)
        a_log("CRoomBase::GetItem(). Cannot find item '%s' in room '%s'", name.c_str(), m_name.c_str());
    return item;
}

// ------------------------------------------------------------------ drawing

void CRoomBase::Draw() const
{
    m_items->DrawScene();
    m_items->Draw();
    m_items->DrawOverlay();
    if (m_hintStars) {
        m_hintStars->setAlpha(m_alpha);
        m_hintStars->render();
    }
    if (!m_entered || !ShowsInventory() || !m_manager)
        return;
    const CRoomsSettings& s = m_manager->GetSettings();
    const std::vector<CSpyItem*>& inventory = m_manager->GetInventory();
    const float top = float(s.inventoryRect.y) + (float(s.inventoryRect.height) - float(s.slotHeight)) * 0.5f;
    for (std::size_t i = 0; i < inventory.size(); ++i) {
        const float left = float(s.inventoryRect.x) + float(i) * float(s.slotWidth);
        if (left + float(s.slotWidth) > float(s.inventoryRect.right()))
            break;
        if (inventory[i] != m_cursorItem)
            inventory[i]->DrawIcon(left, top, float(s.slotWidth), float(s.slotHeight));
    }
}

void CRoomBase::DrawCursorItem() const
{
    if (!m_cursorItem)
        return;
    std::int32_t x = 0, y = 0;
    GetMouse(x, y);
    const float fx = float(x), fy = float(y);
    if (Context().IsItemHideCursorInRoom(m_cursorItem->GetItemRef()) && fx >= m_x && fy >= m_y &&
        fx < m_x + float(GetScaledWidth()) && fy < m_y + float(GetScaledHeight()))
        return;
    if (m_bigCursor) {
        m_bigCursor->SetPos(fx - m_bigCursor->GetWidth() * 0.5f, fy - m_bigCursor->GetHeight() * 0.5f, false);
        m_bigCursor->Draw();
        return;
    }
    const CRoomsSettings* s = m_manager ? &m_manager->GetSettings() : nullptr;
    const float w = s ? float(s->slotWidth) : 72.0f, h = s ? float(s->slotHeight) : 72.0f;
    m_cursorItem->DrawIcon(fx - w * 0.5f, fy - h * 0.5f, w, h);
}

// ------------------------------------------------------------------ record

std::uint32_t CRoomBase::SaveRecord(SaveLoadSystem& system, std::uint32_t pos) const
{
    std::uint8_t flags = 0;
    if (m_puzzleComplete)
        flags |= RecordPuzzleComplete;
    if (m_clueFound)
        flags |= RecordClueFound;
    if (m_visited)
        flags |= RecordVisited;
    if (m_hintsBlocked)
        flags |= RecordHintsBlocked;
    if (m_entered)
        flags |= RecordEntered;
    pos = system.WriteU8(pos, flags);
    pos = m_items->SaveItems(system, pos);
    const std::uint32_t lengthAt = pos;
    pos = system.WriteU32(pos, 0);
    const std::uint32_t end = SaveExtra(system, pos);
    system.WriteU32(lengthAt, end - pos);
    return end;
}

bool CRoomBase::CheckRecord(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t end)
{
    std::uint8_t flags = 0;
    pos = system.ReadU8(pos, flags);
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, 1 + CSpyItem::kRecordTail);
    if (system.HasOverrun() || pos > end || std::uint64_t(count) * (1 + CSpyItem::kRecordTail) > end - pos)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string name;
        pos = system.ReadString(pos, name);
        if (system.HasOverrun() || pos > end || end - pos < CSpyItem::kRecordTail)
            return false;
        pos += CSpyItem::kRecordTail;
    }
    std::uint32_t extra = 0;
    pos = system.ReadU32(pos, extra);
    return !system.HasOverrun() && pos <= end && extra == end - pos;
}

std::uint32_t CRoomBase::LoadRecord(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t end)
{
    std::uint8_t flags = 0;
    pos = system.ReadU8(pos, flags);
    m_puzzleComplete = (flags & RecordPuzzleComplete) ? 1 : 0;
    m_clueFound = (flags & RecordClueFound) != 0;
    m_visited = (flags & RecordVisited) != 0;
    m_hintsBlocked = (flags & RecordHintsBlocked) != 0;
    pos = m_items->LoadItems(system, pos);
    std::uint32_t extra = 0;
    pos = system.ReadU32(pos, extra);
    LoadExtra(system, pos, extra);
    if (flags & RecordEntered) {
        m_entered = true;
        m_ambient.Play();
        m_items->StartObjects();
    } else if (m_entered) {
        m_entered = false;
        m_ambient.Stop();
    }
    RefreshItemState();
    return end;
}

std::uint32_t CRoomBase::SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const
{
    (void)system;
    return pos;
}

void CRoomBase::LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length)
{
    (void)system;
    (void)pos;
    (void)length;
}
