#include "game/SpyGame/Rooms/MurderHunt.h"

#include <climits>
#include <set>

#include "engine/gfx/a_image.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "game/SpyGame/Rooms/Cipher.h"
#include "game/SpyGame/Rooms/RecordReader.h"
#include "game/SpyGame/Rooms/RoomData.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/shell/save_load_system.h"

namespace {

// The first value of the key in the section, or "".
const std::string* findValue(const aOptionsFile::Section& section, const char* key)
{
    for (const aOptionsFile::Pair& pair : section.second)
        if (pair.first == key)
            return &pair.second;
    return nullptr;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

// ------------------------------------------------------------------ loading

void CMurderHunt::LoadSettings(CRoomData& data)
{
    CRoomBase::LoadSettings(data);
    ReadCards(m_locationFolder + kFile);
}

void CMurderHunt::ReadCards(const std::string& path)
{
    m_cards.clear();
    m_current = -1;
    if (!file_isExistOrPacked(path)) {
        a_log("CMurderHunt. No file '%s': the hunt has no cards", path.c_str());
        return;
    }
    aOptionsFile ini(path);
    std::set<std::string> names;
    for (const aOptionsFile::Section& section : ini.sections()) {
        if (section.first.empty())
            continue;
        if (!names.insert(section.first).second) {
            a_log("CMurderHunt. File '%s': card [%s] appears again; the first is kept", path.c_str(),
                  section.first.c_str());
            continue;
        }
        Card card;
        card.name = section.first;
        const std::string* caseName = findValue(section, "Case");
        const std::string* room = findValue(section, "CardRoom");
        const std::string* cipher = findValue(section, "Cipher");
        if (!caseName || caseName->empty() || !room || room->empty() || !cipher || cipher->empty()) {
            a_log("CMurderHunt. File '%s': card [%s] lacks Case, CardRoom or Cipher; skipped", path.c_str(),
                  card.name.c_str());
            continue;
        }
        card.caseName = *caseName;
        card.cardRoom = *room;
        card.cipher = *cipher;
        if (const std::string* photo = findValue(section, "Photo"))
            card.photo = *photo;
        std::int32_t n = 0;
        if (const std::string* seed = findValue(section, "Seed")) {
            if (room_parseInt(*seed, n))
                card.seed = std::uint32_t(n);
            else
                a_log("CMurderHunt. File '%s': card [%s] Seed '%s' is no number; 0 used", path.c_str(),
                      card.name.c_str(), seed->c_str());
        }
        if (const std::string* given = findValue(section, "Given")) {
            if (room_parseInt(*given, n) && n >= 0)
                card.given = n;
            else
                a_log("CMurderHunt. File '%s': card [%s] Given '%s' is no count; 0 used", path.c_str(),
                      card.name.c_str(), given->c_str());
        }
        m_cards.push_back(std::move(card));
    }
}

void CMurderHunt::AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards)
{
    CRoomBase::AfterLoadInit(murderHunt, invCards);
    const CSpyResources& res = m_items->GetResources();
    for (const Card& card : m_cards) {
        if (!m_items->HasItem(card.cardRoom) && !m_items->HasItem(card.cardRoom + kSeen))
            a_log("CMurderHunt. Card [%s]: the board has no item '%s' or '%s%s'", card.name.c_str(),
                  card.cardRoom.c_str(), card.cardRoom.c_str(), kSeen);
        if (!card.photo.empty() && !res.FindImage(card.photo, m_location))
            a_log("CMurderHunt. Card [%s]: no photo image '%s'", card.name.c_str(), card.photo.c_str());
    }
}

// ------------------------------------------------------------------ the hunt

void CMurderHunt::SetState(std::size_t index, std::uint8_t state)
{
    Card& card = m_cards[index];
    card.state = state;
    if (state != NotBegun)
        return;
    card.guesses.clear();
    for (const std::string& name : {card.cardRoom, card.cardRoom + kSeen})
        if (CSpyItem* item = m_items->FindItem(name))
            item->SetTaken(false);
}

void CMurderHunt::NewInvestigation(const std::string& caseName, bool keep)
{
    m_case = caseName;
    if (!keep) {
        for (std::size_t i = 0; i < m_cards.size(); ++i)
            SetState(i, NotBegun);
        m_counter = 0;
        m_current = -1;
    } else {
        for (std::size_t i = 0; i < m_cards.size(); ++i) {
            if (m_cards[i].state == Opened)
                SetState(i, OpenedBefore);
            else if (m_cards[i].caseName == caseName && m_cards[i].state < Opened)
                SetState(i, NotBegun);
        }
        if (m_current >= 0 && m_cards[std::size_t(m_current)].state == NotBegun)
            m_current = -1;
    }
    RefreshItemState();
}

void CMurderHunt::EntryNewInvestigation(const std::string& room)
{
    m_current = -1;
    bool named = false;
    for (std::size_t i = 0; i < m_cards.size(); ++i) {
        Card& card = m_cards[i];
        if (card.cardRoom != room)
            continue;
        named = true;
        if (card.state >= Opened)
            continue;
        if (!m_case.empty() && card.caseName != m_case)
            a_log("CMurderHunt::EntryNewInvestigation(). Card [%s] of room '%s' belongs to case '%s', not '%s'",
                  card.name.c_str(), room.c_str(), card.caseName.c_str(), m_case.c_str());
        m_current = std::int32_t(i);
        if (card.state == NotBegun)
            SetState(i, Enciphered);
        break;
    }
    if (!named && !room.empty())
        a_log("CMurderHunt::EntryNewInvestigation(). No card has the room '%s'", room.c_str());
    RefreshItemState();
}

int CMurderHunt::GetCurrentState() const
{
    if (m_findAll)
        return NotBegun;
    if (const Card* card = m_current >= 0 ? GetCard(std::size_t(m_current)) : nullptr)
        return card->state;
    if (m_cards.empty())
        return NotBegun;
    for (const Card& card : m_cards)
        if (card.state < Opened)
            return NotBegun;
    return kStateOver;
}

std::string CMurderHunt::GetCurrentCardRoom() const
{
    const Card* card = m_current >= 0 ? GetCard(std::size_t(m_current)) : nullptr;
    return card ? card->cardRoom : std::string();
}

std::uint32_t CMurderHunt::GetCurrentIndex() const
{
    if (m_current >= 0)
        return std::uint32_t(m_current);
    std::uint32_t opened = 0;
    for (const Card& card : m_cards)
        opened += card.state >= Opened;
    return opened;
}

std::string CMurderHunt::RoomOfName(const std::string& name) const
{
    for (const Card& card : m_cards)
        if (card.cardRoom == name)
            return name;
    if (endsWith(name, kSeen)) {
        const std::string room = name.substr(0, name.size() - std::char_traits<char>::length(kSeen));
        for (const Card& card : m_cards)
            if (card.cardRoom == room)
                return room;
    }
    return std::string();
}

int CMurderHunt::GetStateByRoom(const std::string& name) const
{
    const std::string room = RoomOfName(name);
    if (room.empty())
        return NotBegun;
    if (m_current >= 0 && m_cards[std::size_t(m_current)].cardRoom == room)
        return m_cards[std::size_t(m_current)].state;
    for (auto it = m_cards.rbegin(); it != m_cards.rend(); ++it)
        if (it->cardRoom == room && it->state != NotBegun)
            return it->state;
    return NotBegun;
}

std::string CMurderHunt::GetCardRoomByName(const std::string& name) const
{
    for (const Card& card : m_cards)
        if (card.name == name)
            return card.cardRoom;
    return std::string();
}

std::shared_ptr<aImage> CMurderHunt::LoadPhotoIcons(const std::string& name) const
{
    const std::string room = RoomOfName(name);
    const Card* found = nullptr;
    for (const Card& card : m_cards)
        if ((!room.empty() && card.cardRoom == room) || (room.empty() && card.name == name)) {
            found = &card;
            break;
        }
    if (!found || found->photo.empty() || !m_items)
        return nullptr;
    aImage* image = m_items->GetResources().FindImage(found->photo, m_location);
    return image ? std::make_shared<aImage>(*image) : nullptr;
}

std::int32_t CMurderHunt::GetCounter()
{
    const std::int32_t value = m_counter;
    if (m_counter < 0)
        ++m_counter;
    return value;
}

CSpyItem* CMurderHunt::Container(const Card& card) const
{
    return m_manager ? m_manager->GetItem(card.cardRoom, kContainer) : nullptr;
}

void CMurderHunt::Decipher(std::size_t index, bool skipped)
{
    if (index >= m_cards.size() || m_cards[index].state != Enciphered)
        return;
    Card& card = m_cards[index];
    SetState(index, Deciphered);
    if (skipped && m_counter < INT32_MAX)
        ++m_counter;
    if (CSpyItem* container = Container(card)) {
        container->SetVisible(true);
        container->ShowMagicStars(true);
    } else {
        a_log("CMurderHunt::Decipher(). Card [%s]: room '%s' has no item %s", card.name.c_str(),
              card.cardRoom.c_str(), kContainer);
    }
    RefreshItemState();
}

void CMurderHunt::OnItemPicked(CSpyItem* item)
{
    if (!item || m_current < 0 || item->GetName() != kContainer)
        return;
    Card& card = m_cards[std::size_t(m_current)];
    if (item->GetRoomName() != card.cardRoom || (card.state != Enciphered && card.state != Deciphered))
        return;
    SetState(std::size_t(m_current), Opened);
    RefreshItemState();
    // The panel's clue folder follows at once: its clue is found, so it no
    // longer points at where the clue hides.
    Context().SetMode(GetPanelMode());
}

bool CMurderHunt::IsPanelCardRoom(const std::string& room) const
{
    return !room.empty() && GetCurrentCardRoom() == room && GetCurrentState() != NotBegun;
}

int CMurderHunt::GetPanelMode() const
{
    switch (GetCurrentState()) {
    case Enciphered:
        return 0;
    case Deciphered: {
        // A card room without the container counts as hidden.
        const CSpyItem* container = Container(m_cards[std::size_t(m_current)]);
        return container && container->IsVisible() ? 1 : 2;
    }
    case Opened:
        return 3;
    case NotBegun:
        return 4;
    default:
        return -1;
    }
}

// ------------------------------------------------------------------ the board

void CMurderHunt::Entry(std::uint32_t value)
{
    m_lastPhoto = -1;
    RefreshItemState();
    CRoomBase::Entry(value);
}

int CMurderHunt::Update(float dt, bool passive)
{
    const int result = CRoomBase::Update(dt, passive);
    if (const CSpyItem* item = GetClickedItem()) {
        const std::string room = RoomOfName(item->GetName());
        for (std::size_t i = 0; i < m_cards.size() && !room.empty(); ++i)
            if (m_cards[i].cardRoom == room) {
                m_lastPhoto = std::int32_t(i);
                break;
            }
    }
    return result;
}

std::uint32_t CMurderHunt::GetLeaveArg() const { return m_lastPhoto >= 0 ? std::uint32_t(m_lastPhoto) + 1 : 0; }

void CMurderHunt::RefreshItemState()
{
    CRoomBase::RefreshItemState();
    if (!m_items)
        return;
    for (const Card& card : m_cards) {
        CSpyItem* photo = m_items->FindItem(card.cardRoom);
        CSpyItem* seen = m_items->FindItem(card.cardRoom + kSeen);
        const bool begun = card.state != NotBegun;
        const bool taken = photo && photo->IsTaken();
        if (photo)
            photo->SetVisible(begun && !taken);
        if (seen) {
            seen->SetVisible(begun && (taken || !photo));
            seen->SetVisualState(begun ? "s" + std::to_string(card.state) : std::string());
        }
    }
}

// ------------------------------------------------------------------ record

std::uint32_t CMurderHunt::SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const
{
    pos = system.WriteI32(pos, m_counter);
    pos = system.WriteI32(pos, m_current);
    pos = system.WriteU32(pos, std::uint32_t(m_cards.size()));
    for (const Card& card : m_cards) {
        pos = system.WriteString(pos, card.name);
        pos = system.WriteU8(pos, card.state);
        pos = system.WriteU32(pos, std::uint32_t(card.guesses.size()));
        for (const auto& guess : card.guesses) {
            pos = system.WriteU16(pos, guess.first);
            pos = system.WriteU16(pos, guess.second);
        }
    }
    return pos;
}

void CMurderHunt::LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length)
{
    std::vector<std::uint8_t> bytes;
    system.ReadBytes(pos, length, bytes);
    CRecordReader in(std::move(bytes));
    struct Saved {
        std::string name;
        std::uint8_t state = 0;
        std::vector<std::pair<std::uint16_t, std::uint16_t>> guesses;
    };
    const std::int32_t counter = in.I32();
    std::int32_t current = in.I32();
    std::vector<Saved> saved(in.Count(1 + 1 + 4));
    for (Saved& card : saved) {
        card.name = in.String();
        card.state = in.U8();
        card.guesses.resize(in.Count(4));
        for (auto& guess : card.guesses) {
            guess.first = in.U16();
            guess.second = in.U16();
        }
    }
    if (!in.Ok()) {
        a_log("CMurderHunt::LoadExtra(). The hunt's record is damaged; the hunt stays as it was");
        system.RefuseRecord();
        return;
    }

    const CCipherAlphabet alphabet = LoadCipherAlphabet(m_items->GetResources(), false);
    m_counter = counter;
    std::set<std::string> seen;
    for (const Saved& entry : saved) {
        std::size_t index = 0;
        while (index < m_cards.size() && m_cards[index].name != entry.name)
            ++index;
        if (index == m_cards.size() || !seen.insert(entry.name).second) {
            a_log("CMurderHunt::LoadExtra(). Unknown or repeated card '%s'", entry.name.c_str());
            system.RefuseRecord();
            continue;
        }
        Card& card = m_cards[index];
        card.state = entry.state;
        if (entry.state > OpenedBefore) {
            a_log("CMurderHunt::LoadExtra(). Card '%s': bad state %u read as 0", entry.name.c_str(),
                  unsigned(entry.state));
            card.state = NotBegun;
            system.RefuseRecord();
        }
        card.guesses.clear();
        std::size_t dropped = 0;
        for (const auto& guess : entry.guesses) {
            const wchar_t symbol = alphabet.Letter(wchar_t(guess.first));
            const wchar_t plain = alphabet.Letter(wchar_t(guess.second));
            if (symbol && plain)
                card.guesses.emplace(std::uint16_t(symbol), std::uint16_t(plain));
            else
                ++dropped;
        }
        if (dropped) {
            a_log("CMurderHunt::LoadExtra(). Card '%s': %u guesses outside the alphabet dropped", entry.name.c_str(),
                  unsigned(dropped));
            system.RefuseRecord();
        }
    }
    if (current < -1 || current >= std::int32_t(m_cards.size())) {
        a_log("CMurderHunt::LoadExtra(). Current card %d out of range; none", int(current));
        current = -1;
        system.RefuseRecord();
    }
    m_current = current;
}
