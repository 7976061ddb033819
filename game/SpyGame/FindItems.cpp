#include "game/SpyGame/FindItems.h"

#include "game/shell/save_load_system.h"

namespace {

std::uint8_t& flagOf(CFindItem& item, std::uint32_t action)
{
    switch (action) {
    case CFindItem::Pick:
        return item.picked;
    case CFindItem::Click:
        return item.clicked;
    case CFindItem::Use:
        return item.used;
    default:
        return item.applied;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// CFindItem

bool CFindItem::IsFound() const
{
    switch (kind) {
    case Pick:
        return picked != 0;
    case Click:
        return clicked != 0;
    case Use:
        return used != 0;
    case Apply:
        return applied != 0;
    default:
        return false;
    }
}

void CFindItem::Reset() { picked = clicked = used = applied = 0; }

std::uint32_t CFindItem::SaveSelf(SaveLoadSystem& system, std::uint32_t pos) const
{
    pos = system.WriteString(pos, name);
    pos = system.WriteU32(pos, kind);
    for (std::uint8_t flag : {picked, clicked, used, applied})
        pos = system.WriteU8(pos, flag);
    return pos;
}

std::uint32_t CFindItem::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.ReadString(pos, name);
    pos = system.ReadU32(pos, kind);
    for (std::uint8_t* flag : {&picked, &clicked, &used, &applied}) {
        pos = system.ReadU8(pos, *flag);
        *flag = *flag ? 1 : 0;
    }
    return pos;
}

// ---------------------------------------------------------------------------
// CFindItemsGroup

CFindItemsGroup::CFindItemsGroup(const std::string& itemName, std::uint32_t itemKind, bool initiallyVisible)
    : initialVisible(initiallyVisible ? 1 : 0), visible(initiallyVisible ? 1 : 0)
{
    AddItem(itemName, itemKind);
}

void CFindItemsGroup::AddItem(const std::string& itemName, std::uint32_t itemKind)
{
    items.emplace_back(itemName, itemKind);
    if (toFind < 0xFFFF)
        ++toFind;
}

void CFindItemsGroup::Reset()
{
    for (CFindItem& item : items)
        item.Reset();
    toFind = std::uint16_t(items.size() < 0xFFFF ? items.size() : 0xFFFF);
    visible = initialVisible;
}

std::string CFindItemsGroup::GetTaskName() const
{
    if (!name.empty())
        return name;
    return items.empty() ? std::string() : items.front().name;
}

CFindItem* CFindItemsGroup::GetItem(const std::string& itemName)
{
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        if (it->name == itemName)
            return &*it;
    return nullptr;
}

const CFindItem* CFindItemsGroup::GetItem(const std::string& itemName) const
{
    return const_cast<CFindItemsGroup*>(this)->GetItem(itemName);
}

// Only entries not found yet take a marking, so duplicates of a name are
// completed one after the other, the later first. An entry this action
// completes comes before one it would only flag.
bool CFindItemsGroup::Mark(const std::string& itemName, std::uint32_t action)
{
    CFindItem* target = nullptr;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (it->name != itemName || it->IsFound())
            continue;
        if (it->kind == action) {
            target = &*it;
            break;
        }
        if (!target)
            target = &*it;
    }
    if (!target)
        return false;
    flagOf(*target, action) = 1;
    if (!target->IsFound())
        return false;
    if (toFind > 0)
        --toFind;
    return true;
}

bool CFindItemsGroup::MarkPicked(const std::string& itemName) { return Mark(itemName, CFindItem::Pick); }
bool CFindItemsGroup::MarkClicked(const std::string& itemName) { return Mark(itemName, CFindItem::Click); }
bool CFindItemsGroup::MarkUsed(const std::string& itemName) { return Mark(itemName, CFindItem::Use); }
bool CFindItemsGroup::MarkApplied(const std::string& itemName) { return Mark(itemName, CFindItem::Apply); }

std::uint32_t CFindItemsGroup::SaveSelf(SaveLoadSystem& system, std::uint32_t pos) const
{
    pos = system.WriteString(pos, name);
    pos = system.WriteU16(pos, toFind);
    pos = system.WriteU8(pos, visible);
    pos = system.WriteU32(pos, std::uint32_t(items.size()));
    for (const CFindItem& item : items)
        pos = item.SaveSelf(system, pos);
    return pos;
}

std::uint32_t CFindItemsGroup::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.ReadString(pos, name);
    pos = system.ReadU16(pos, toFind);
    pos = system.ReadU8(pos, visible);
    visible = visible ? 1 : 0;
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, CFindItem::kMinRecordSize);
    items.assign(count, CFindItem(std::string(), CFindItem::Pick));
    for (CFindItem& item : items) {
        if (system.HasOverrun())
            break;
        pos = item.LoadSelf(system, pos);
    }
    // A stored count above the entries would wrap at the next marking.
    if (toFind > items.size())
        toFind = std::uint16_t(items.size());
    kind = 0;
    initialVisible = 1;
    return pos;
}

std::uint32_t SaveFindItemsGroups(SaveLoadSystem& system, std::uint32_t pos,
                                  const std::vector<CFindItemsGroup>& groups)
{
    pos = system.WriteU32(pos, std::uint32_t(groups.size()));
    for (const CFindItemsGroup& group : groups)
        pos = group.SaveSelf(system, pos);
    return pos;
}

std::uint32_t LoadFindItemsGroups(SaveLoadSystem& system, std::uint32_t pos, std::vector<CFindItemsGroup>& groups)
{
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, CFindItemsGroup::kMinRecordSize);
    groups.assign(count, CFindItemsGroup());
    for (CFindItemsGroup& group : groups) {
        if (system.HasOverrun())
            break;
        pos = group.LoadSelf(system, pos);
    }
    return pos;
}
