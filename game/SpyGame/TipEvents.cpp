#include "game/SpyGame/TipEvents.h"

#include <algorithm>

#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/shell/current_profile.h"
#include "game/shell/save_load_system.h"

namespace {

const char* const kTipNames[CTipEvents::kFlagCount] = {
    "first_global_map", "notepad",        "notepad_first_ispy_found", "mh_first_sticker", "mh_encrypted",
    "mh_first_decrypted", "mh_first_photo", "map_tab",                  "mh_instruction",
};

bool tipsOn()
{
    return CurrentProfile::Get().showTips != 0;
}

} // namespace

CTipEvents::CTipEvents() : SaveLoadEntity(kKey) {}

void CTipEvents::Init(CInvestigationDialogs* dialogs, CInvestigation* investigation)
{
    m_dialogs = dialogs;
    m_investigation = investigation;
    m_shown.fill(false);
    m_active = dialogs && investigation;
}

void CTipEvents::Reset()
{
    m_shown.fill(false);
    m_queue.clear();
    m_mapTabTimer = 0.0f;
    m_instructionTimer = 0.0f;
}

void CTipEvents::Queue(const std::string& name, float delay)
{
    if (!m_active || !tipsOn() || m_investigation->IsFindAll())
        return;
    m_queue.push_back({name, delay});
}

bool CTipEvents::Show(const std::string& name, std::int32_t x, std::int32_t y)
{
    return m_dialogs->ShowTip(name, x, y);
}

bool CTipEvents::Mark(Flag flag)
{
    m_shown[flag] = true;
    return true;
}

bool CTipEvents::ItemCentre(CRoomBase* room, const char* item, bool needVisible, std::int32_t& x, std::int32_t& y,
                            bool* present)
{
    if (present)
        *present = false;
    if (!room || !room->GetItemManager() || !room->GetItemManager()->HasItem(item))
        return false;
    CSpyItem* found = room->GetItemManager()->GetItem(item);
    if (!found)
        return false;
    if (present)
        *present = true;
    if (needVisible && !found->IsVisible())
        return false;
    float ix = 0.0f, iy = 0.0f;
    found->GetPos(ix, iy);
    x = std::int32_t(ix + found->GetWidth() * 0.5f);
    y = std::int32_t(iy + found->GetHeight() * 0.5f);
    return true;
}

bool CTipEvents::CheckHunt(float dt, CRoomBase* room)
{
    CMurderHunt* hunt = m_investigation->GetMurderHuntRoom();
    if (!hunt || !room || m_investigation->IsFindAll() || hunt->GetCurrentCardRoom() != room->GetName())
        return false;
    const int state = hunt->GetCurrentState();
    if (state == 0)
        return false;
    const std::string& name = m_investigation->GetName();
    if (!m_shown[MHEncrypted] && name == "2chapter" && state == 1 && Show(kTipNames[MHEncrypted]))
        return Mark(MHEncrypted);
    std::int32_t x = 0, y = 0;
    if (!m_shown[MHFirstPhoto] && name == "1chapter" && state == 2 && ItemCentre(room, "ENVELOPE", false, x, y)
        && room->GetItemManager()->GetItem("ENVELOPE")->IsShowingMagicStars() && Show(kTipNames[MHFirstPhoto], x, y))
        return Mark(MHFirstPhoto);
    if (!m_shown[MHInstruction] && name == "1chapter" && state == 2) {
        if (!ItemCentre(room, CMurderHunt::kContainer, true, x, y)) {
            // The container is gone or hidden: the tip is given up.
            m_shown[MHInstruction] = true;
            return false;
        }
        m_instructionTimer += dt;
        if (m_instructionTimer >= kInstructionDelay) {
            m_shown[MHInstruction] = true;
            return Show(kTipNames[MHInstruction], x, y);
        }
    }
    return false;
}

bool CTipEvents::CheckQueue(float dt)
{
    for (std::size_t i = 0; i < m_queue.size();) {
        Queued& entry = m_queue[i];
        entry.delay -= dt;
        if (entry.delay <= 0.0f && Show(entry.name)) {
            m_queue.erase(m_queue.begin() + std::ptrdiff_t(i));
            return true;
        }
        if (!m_dialogs->CanShowTip(m_queue[i].name))
            m_queue.erase(m_queue.begin() + std::ptrdiff_t(i));
        else
            ++i;
    }
    return false;
}

bool CTipEvents::CheckStickers(CRoomBase* room)
{
    CMurderHunt* hunt = m_investigation->GetMurderHuntRoom();
    if (!hunt || !room || hunt->GetCurrentCardRoom() != room->GetName() || m_investigation->GetName() != "1chapter")
        return false;
    const int state = hunt->GetCurrentState();
    if (state != 1 && state != 2)
        return false;
    if (!m_shown[MHFirstSticker] && Show(kTipNames[MHFirstSticker]))
        return Mark(MHFirstSticker);
    if (!m_shown[MHFirstDecrypted] && state == 2 && hunt->GetCurrentIndex() != 0 && Show(kTipNames[MHFirstDecrypted]))
        return Mark(MHFirstDecrypted);
    return false;
}

bool CTipEvents::CheckHintClicks(CRoomBase* room)
{
    CDialogSpyGamePanel* panel = m_dialogs->GetPanel();
    if (!room || !panel || panel->GetState() != CDialogSpyGamePanel::ResultHintDisabled)
        return false;
    if (room->AreHintsDisabled() && Show("click_disabled_hints"))
        return true;
    const std::string kind = room->GetClassName();
    return (kind == CMurderHunt::kClassName || kind == CInvCards::kClassName || kind == CGlobalMap::kClassName)
           && Show("click_hints_on_map");
}

bool CTipEvents::Check(float dt)
{
    if (!m_active)
        return false;
    CRoomBase* room = m_investigation->GetCurrentRoom();
    const bool findAll = m_investigation->IsFindAll();
    CRoomBase* map = m_investigation->GetGlobalMap();

    if (!m_shown[FirstGlobalMap] && room && room == map && !findAll && m_investigation->GetName() == "1chapter"
        && !m_dialogs->IsTutorialVisible() && Show(kTipNames[FirstGlobalMap]))
        return Mark(FirstGlobalMap);
    if (CheckHunt(dt, room))
        return true;
    if (!tipsOn())
        return false;
    if (CheckQueue(dt))
        return true;
    if (!m_shown[Notepad] && room && !findAll && room->CanUseHint() && Show(kTipNames[Notepad]))
        return Mark(Notepad);
    if (!m_shown[NotepadFirstISpyFound] && room && !findAll && room->IsClueFound()
        && Show(kTipNames[NotepadFirstISpyFound]))
        return Mark(NotepadFirstISpyFound);
    if (CheckStickers(room))
        return true;
    if (!m_shown[MapTab] && m_shown[NotepadFirstISpyFound] && room && room != map && !findAll
        && m_investigation->HasRoomTasks()) {
        if (m_mapTabTimer < kMapTabDelay)
            m_mapTabTimer += dt;
        else if (Show(kTipNames[MapTab])) {
            m_mapTabTimer = 0.0f;
            return Mark(MapTab);
        }
    }
    return CheckHintClicks(room);
}

std::uint32_t CTipEvents::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteU32(pos, std::uint32_t(kFlagCount));
    for (bool shown : m_shown)
        pos = system.WriteU8(pos, shown ? 1 : 0);
    return pos;
}

std::uint32_t CTipEvents::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, 1);
    if (system.HasOverrun())
        return pos;
    if (count != kFlagCount) {
        // Another build's flags: which is which is not known.
        a_log("CTipEvents::LoadSelf(). %u flags saved, %u used; not loaded", count, unsigned(kFlagCount));
        system.RefuseRecord();
        return pos + system.BytesLeft(pos);
    }
    std::array<bool, kFlagCount> shown{};
    for (bool& flag : shown) {
        std::uint8_t byte = 0;
        pos = system.ReadU8(pos, byte);
        flag = byte != 0;
    }
    if (!system.HasOverrun())
        m_shown = shown;
    return pos;
}
