#include "game/SpyGame/Rooms/InvCards.h"

#include <set>

#include "engine/gfx/a_image.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "game/SpyGame/Rooms/RecordReader.h"
#include "game/shell/save_load_system.h"

namespace {

const std::string* findValue(const aOptionsFile::Section& section, const char* key)
{
    for (const aOptionsFile::Pair& pair : section.second)
        if (pair.first == key)
            return &pair.second;
    return nullptr;
}

} // namespace

void CInvCards::LoadSettings(CRoomData& data)
{
    CRoomBase::LoadSettings(data);
    ReadCards(m_locationFolder + kFile);
}

void CInvCards::ReadCards(const std::string& path)
{
    m_cards.clear();
    if (!file_isExistOrPacked(path)) {
        a_log("CInvCards. No file '%s': the board has no cards", path.c_str());
        return;
    }
    aOptionsFile ini(path);
    std::set<std::string> names;
    for (const aOptionsFile::Section& section : ini.sections()) {
        if (section.first.empty())
            continue;
        if (!names.insert(section.first).second) {
            a_log("CInvCards. File '%s': card [%s] appears again; the first is kept", path.c_str(),
                  section.first.c_str());
            continue;
        }
        const std::string* caseName = findValue(section, "Case");
        const std::string* foundAs = findValue(section, "FoundAs");
        if (!caseName || caseName->empty() || !foundAs || CSpyItemRef::Parse(*foundAs).name.empty()) {
            a_log("CInvCards. File '%s': card [%s] lacks Case or FoundAs; skipped", path.c_str(),
                  section.first.c_str());
            continue;
        }
        Card card;
        card.name = section.first;
        card.caseName = *caseName;
        card.foundAs = CSpyItemRef::Parse(*foundAs);
        if (const std::string* image = findValue(section, "Image"))
            card.image = *image;
        m_cards.push_back(std::move(card));
    }
}

void CInvCards::AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards)
{
    CRoomBase::AfterLoadInit(murderHunt, invCards);
    for (const Card& card : m_cards) {
        if (!m_items->HasItem(card.name) && !m_items->HasItem(card.name + kSeen))
            a_log("CInvCards. Card [%s]: the board has no item '%s' or '%s%s'", card.name.c_str(), card.name.c_str(),
                  card.name.c_str(), kSeen);
        if (!card.image.empty() && !m_items->GetResources().FindImage(card.image, m_location))
            a_log("CInvCards. Card [%s]: no image '%s'", card.name.c_str(), card.image.c_str());
    }
}

const CInvCards::Card* CInvCards::FindCard(const std::string& name) const
{
    for (const Card& card : m_cards)
        if (card.name == name)
            return &card;
    const std::size_t tail = std::char_traits<char>::length(kSeen);
    if (name.size() > tail && name.compare(name.size() - tail, tail, kSeen) == 0)
        return FindCard(name.substr(0, name.size() - tail));
    return nullptr;
}

std::shared_ptr<aImage> CInvCards::LoadCardIcons(const std::string& name) const
{
    const Card* card = FindCard(name);
    if (!card || card->image.empty() || !m_items)
        return nullptr;
    aImage* image = m_items->GetResources().FindImage(card->image, m_location);
    return image ? std::make_shared<aImage>(*image) : nullptr;
}

void CInvCards::NewInvestigation(const std::string& caseName, bool keep)
{
    (void)caseName;
    if (!keep)
        for (Card& card : m_cards) {
            card.collected = false;
            for (const std::string& name : {card.name, card.name + kSeen})
                if (CSpyItem* item = m_items->FindItem(name))
                    item->SetTaken(false);
        }
    RefreshItemState();
}

void CInvCards::OnItemPicked(CSpyItem* item)
{
    if (!item)
        return;
    bool changed = false;
    for (Card& card : m_cards)
        if (!card.collected && card.foundAs.name == item->GetName() &&
            (card.foundAs.room.empty() || card.foundAs.room == item->GetRoomName())) {
            card.collected = true;
            changed = true;
        }
    if (changed)
        RefreshItemState();
}

void CInvCards::Entry(std::uint32_t value)
{
    RefreshItemState();
    CRoomBase::Entry(value);
}

void CInvCards::RefreshItemState()
{
    CRoomBase::RefreshItemState();
    if (!m_items)
        return;
    for (const Card& card : m_cards) {
        CSpyItem* fresh = m_items->FindItem(card.name);
        CSpyItem* seen = m_items->FindItem(card.name + kSeen);
        const bool taken = fresh && fresh->IsTaken();
        if (fresh)
            fresh->SetVisible(card.collected && !taken);
        if (seen)
            seen->SetVisible(card.collected && (taken || !fresh));
    }
}

std::uint32_t CInvCards::SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const
{
    pos = system.WriteU32(pos, std::uint32_t(m_cards.size()));
    for (const Card& card : m_cards) {
        pos = system.WriteString(pos, card.name);
        pos = system.WriteU8(pos, card.collected ? 1 : 0);
    }
    return pos;
}

void CInvCards::LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length)
{
    std::vector<std::uint8_t> bytes;
    system.ReadBytes(pos, length, bytes);
    CRecordReader in(std::move(bytes));
    std::vector<std::pair<std::string, bool>> saved(in.Count(1 + 1));
    for (auto& entry : saved) {
        entry.first = in.String();
        entry.second = in.U8() != 0;
    }
    if (!in.Ok()) {
        a_log("CInvCards::LoadExtra(). The cards' record is damaged; the board stays as it was");
        system.RefuseRecord();
        return;
    }
    std::set<std::string> seen;
    for (const auto& entry : saved) {
        Card* card = nullptr;
        for (Card& c : m_cards)
            if (c.name == entry.first)
                card = &c;
        if (!card || !seen.insert(entry.first).second) {
            a_log("CInvCards::LoadExtra(). Unknown or repeated card '%s'", entry.first.c_str());
            system.RefuseRecord();
            continue;
        }
        card->collected = entry.second;
    }
}
