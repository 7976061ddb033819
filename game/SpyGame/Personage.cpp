#include "game/SpyGame/Personage.h"

#include <algorithm>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"

namespace {

using Keys = std::list<std::pair<std::string, std::string>>;

std::vector<CPersonage*>& livePersonages()
{
    static std::vector<CPersonage*> list;
    return list;
}

std::vector<std::string> tokens(const std::string& value)
{
    std::list<std::string> out;
    aOptionsFile::splitTokens(value, out);
    return std::vector<std::string>(out.begin(), out.end());
}

// The first value of the key; "" when absent.
std::string valueOf(const Keys& keys, const char* key)
{
    for (const auto& pair : keys)
        if (pair.first == key)
            return pair.second;
    return std::string();
}

// The kind of the lines a task-list key makes; 0 for other keys.
std::uint32_t kindOfListKey(const std::string& key)
{
    if (key == "MustPickItems")
        return CFindItem::Pick;
    if (key == "MustClickItems")
        return CFindItem::Click;
    if (key == "MustUseItems")
        return CFindItem::Use;
    if (key == "MustApplyItems")
        return CFindItem::Apply;
    return 0;
}

// A field of a script piece: from pos up to the next ':' (the ':' is
// skipped), or up to the end of the piece when it has none.
std::string takeField(const std::string& piece, std::size_t& pos)
{
    const std::size_t colon = piece.find(':', pos);
    std::string field = piece.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
    pos = colon == std::string::npos ? piece.size() : colon + 1;
    return field;
}

// A field that starts with its marker character, when the piece has one at pos.
std::string takeMarked(const std::string& piece, std::size_t& pos, char marker)
{
    if (pos >= piece.size() || piece[pos] != marker)
        return std::string();
    ++pos;
    return takeField(piece, pos);
}

// The optional "@name:" part: after the first '@' of the piece.
std::string takeAddress(const std::string& piece, std::size_t& pos)
{
    const std::size_t at = piece.find('@');
    if (at == std::string::npos)
        return std::string();
    pos = at + 1;
    return takeField(piece, pos);
}

} // namespace

CPersonage::CPersonage(const std::string& personageName)
    : SaveLoadEntity(kKeyPrefix + personageName), name(personageName)
{
    livePersonages().push_back(this);
}

CPersonage::~CPersonage()
{
    auto& list = livePersonages();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<CPersonage*>& CPersonage::GetAllPersonages() { return livePersonages(); }

// ------------------------------------------------------------------ ".ai" files

bool CPersonage::LoadRoomAiData(const std::string& folder, const std::string& room)
{
    if (name.empty())
        return false;
    const std::string file = folder + name + kFileExtension;
    if (!file_isExistOrPacked(file))
        return false;
    aOptionsFile ini(file);
    EntryBudget budget{file, kMaxFileEntries, false};
    for (const aOptionsFile::Section& section : ini.sections()) {
        if (section.first == "INVESTIGATION") {
            for (const auto& [key, value] : section.second) {
                if (key == "InvTask")
                    investigationInfo.InvTask = value;
                else if (const std::uint32_t kind = kindOfListKey(key))
                    LoadTaskList(value, kind, true, budget, investigationInfo.invTasks);
            }
        } else if (section.first == "ROOM") {
            CRoomInfo& info = GetRoomInfo(room);
            for (const auto& [key, value] : section.second) {
                info.ispyPending = 1;
                if (key == "FirstEnter")
                    info.FirstEnter = value;
                else if (key == "EnterToRoom")
                    info.EnterToRoom = value;
                else if (key == "RoomTask")
                    info.RoomTask = value;
                else if (const std::uint32_t kind = kindOfListKey(key))
                    LoadTaskList(value, kind, false, budget, info.loadedTasks);
                else if (key == "ISpyItemsCount")
                    info.ISpyItemsCount = str_toUInt(value);
                else if (key == "ISpyDiffLevel")
                    // Signed text compared unsigned: "-1" is above the limit too.
                    info.ISpyDiffLevel = std::min(std::uint32_t(str_toInt(value)), kMaxISpyDiffLevel);
                else if (key == "ShuffleTasks")
                    info.ShuffleTasks = str_toInt(value) != 0 ? 1 : 0;
            }
        } else {
            LoadItemSection(section.first, room, section.second);
        }
    }
    return true;
}

void CPersonage::LoadItemSection(const std::string& section, const std::string& room, const Keys& keys)
{
    CItemInfo info;
    info.About = valueOf(keys, "About");
    info.ClickUse = valueOf(keys, "ClickUse");
    info.SuccessApply = valueOf(keys, "SuccessApply");
    info.BadUse = valueOf(keys, "BadUse");
    const std::string useTo = valueOf(keys, "UseTo");
    const std::vector<std::string> targets = tokens(useTo);
    for (const std::string& target : targets)
        info.UseTo.push_back(CSpyItemRef::Parse(target));
    const bool special = std::any_of(targets.begin(), targets.end(),
                                     [](const std::string& t) { return t == "ONESELF" || t == "NONE"; });
    if (special && targets.size() > 1)
        a_log("CPersonage::LoadRoomAiData(). Error in expression: %s", useTo.c_str());
    ParseKey_ChangeItemInfo(valueOf(keys, "ChangeItemInfoAtUse"), info.ChangeItemInfoAtUse);
    ParseKey_ChangeItemInfo(valueOf(keys, "ChangeItemInfoAtPick"), info.ChangeItemInfoAtPick);
    ChangeState(valueOf(keys, "ChangeStateAtUse"), info.ChangeStateAtUse);
    info.CursorBigItem = CSpyItemRef::Parse(valueOf(keys, "CursorBigItem"));
    info.HideCursorInRoom = str_toInt(valueOf(keys, "HideCursorInRoom")) != 0 ? 1 : 0;
    info.AddScoreOnPick = str_toInt(valueOf(keys, "AddScoreOnPick"));
    info.AddScoreOnApplyItem = str_toInt(valueOf(keys, "AddScoreOnApplyItem"));
    itemInfos[CSpyItemRef(section, room)] = std::move(info);
}

void CPersonage::LoadTaskList(const std::string& value, std::uint32_t kind, bool investigation, EntryBudget& budget,
                              std::vector<CFindItemsGroup>& out) const
{
    const std::string& file = budget.file;
    for (std::string piece : tokens(value)) {
        const bool hidden = piece[0] == '*';
        if (hidden)
            piece.erase(0, 1);
        if (piece.empty()) {
            a_log("CPersonage::LoadRoomAiData(). File '%s': a task without a name is skipped", file.c_str());
            continue;
        }
        CFindItemsGroup line;
        line.kind = kind;
        line.initialVisible = line.visible = hidden ? 0 : 1;
        const std::size_t open = piece.rfind('[');
        std::uint32_t count = 0;
        if (piece.back() == ']' && open != std::string::npos)
            count = str_toUInt(piece.substr(open + 1, piece.size() - open - 2));
        if (count != 0 && open == 0) {
            a_log("CPersonage::LoadRoomAiData(). File '%s': group '%s' has no name; the piece is kept whole",
                  file.c_str(), piece.c_str());
            count = 0;
        }
        if (count != 0) {
            if (count > kMaxGroupEntries) {
                a_log("CPersonage::LoadRoomAiData(). File '%s': group '%s' asks for more than %u entries; it gets %u",
                      file.c_str(), piece.c_str(), unsigned(kMaxGroupEntries), unsigned(kMaxGroupEntries));
                count = kMaxGroupEntries;
            }
            if (count > budget.left) {
                if (!budget.logged)
                    a_log("CPersonage::LoadRoomAiData(). File '%s' asks for more than %u group entries; "
                          "groups from '%s' on get fewer",
                          file.c_str(), unsigned(kMaxFileEntries), piece.c_str());
                budget.logged = true;
                count = budget.left;
            }
            budget.left -= count;
            line.name = piece.substr(0, open);
            line.items.reserve(count);
            for (std::uint32_t i = 1; i <= count; ++i)
                line.AddItem(line.name + "_" + std::to_string(i), kind);
        } else if (investigation) {
            line.AddItem(piece, kind);
        } else {
            // An item or an I-spy group of the room, resolved when the lists are made.
            line.name = piece;
        }
        out.push_back(std::move(line));
    }
}

void CPersonage::ParseKey_ChangeItemInfo(const std::string& value, std::vector<CInfoChange>& out) const
{
    for (const std::string& piece : tokens(value)) {
        CInfoChange change;
        std::size_t pos = 0;
        change.personage = takeAddress(piece, pos);
        change.item = takeMarked(piece, pos, '#');
        change.room = takeMarked(piece, pos, '$');
        if (piece.find(':', pos) == std::string::npos) {
            a_log("CPersonage::ParseKey_ChangeItemInfo(). [%s] Not found type in script '%s'", name.c_str(),
                  piece.c_str());
        } else {
            change.type = takeField(piece, pos);
        }
        change.value = piece.substr(pos);
        if (change.value == "CLS")
            change.value.clear();
        out.push_back(std::move(change));
    }
}

void CPersonage::ChangeState(const std::string& value, std::vector<CStateChange>& out) const
{
    for (const std::string& piece : tokens(value)) {
        CStateChange change;
        std::size_t pos = 0;
        change.target = takeAddress(piece, pos);
        if (piece.find(':', pos) == std::string::npos)
            a_log("CPersonage::ChangeState(). [%s] Not found type in script '%s'", name.c_str(), piece.c_str());
        else
            change.type = takeField(piece, pos);
        change.value = piece.substr(pos);
        out.push_back(std::move(change));
    }
}

// ------------------------------------------------------------------ current room and item

std::string CPersonage::GetEnterRoomText() const
{
    const CRoomInfo* info = GetRoomInfoConst(currentItem.room);
    if (!info)
        return std::string();
    if (info->visits == 1 && !info->curFirstEnter.empty())
        return info->curFirstEnter;
    return info->curEnterToRoom;
}

std::string CPersonage::GetCurrentRoomTask() { return GetRoomInfo(currentItem.room).curRoomTask; }

std::vector<CFindItemsGroup>& CPersonage::GetCurrentTaskList() { return GetRoomInfo(currentItem.room).taskList; }

void CPersonage::SetCurrentRoom(const std::string& room)
{
    currentItem.room = room;
    const auto it = roomInfos.find(room);
    if (it != roomInfos.end())
        ++it->second.visits;
}

bool CPersonage::HasItemInfo(const std::string& item)
{
    currentItem.name = item;
    return itemInfos.count(currentItem) != 0;
}

const CPersonage::CRoomInfo* CPersonage::GetRoomInfoConst(const std::string& room) const
{
    const auto it = roomInfos.find(room);
    return it == roomInfos.end() ? nullptr : &it->second;
}

CPersonage::CRoomInfo& CPersonage::GetRoomInfo(const std::string& room) { return roomInfos[room]; }

const CPersonage::CItemInfo* CPersonage::GetItemInfoConst(const CSpyItemRef& item) const
{
    const auto it = itemInfos.find(item);
    return it == itemInfos.end() ? nullptr : &it->second;
}
