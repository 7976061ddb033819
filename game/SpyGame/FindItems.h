#pragma once
// The lines of every task, I-spy and clue list. A group is one line: a single
// item, or a named set of items that all have to be found. An entry is found
// by the action its kind names. Their records are written inside the record
// of the object that owns the list; they are not save blocks of their own.
#include <cstdint>
#include <string>
#include <vector>

class SaveLoadSystem;

class CFindItem {
public:
    // One bit each; any other kind makes an entry that is never found.
    enum Kind : std::uint32_t { Pick = 1, Click = 2, Use = 4, Apply = 8 };
    // Smallest record: an empty name's NUL, the kind and the four flags.
    static constexpr std::uint32_t kMinRecordSize = 1 + 4 + 4;

    CFindItem() = default;
    CFindItem(const std::string& itemName, std::uint32_t itemKind) : name(itemName), kind(itemKind) {}
    virtual std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) const;
    virtual std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos);
    virtual ~CFindItem() = default;
    CFindItem(const CFindItem&) = default;
    CFindItem& operator=(const CFindItem&) = default;

    // The flag of the entry's kind.
    bool IsFound() const;
    // Clears the four flags.
    void Reset();

    std::string name;  // the scene item, compared byte for byte
    std::uint32_t kind = Pick;
    std::uint8_t picked = 0;
    std::uint8_t clicked = 0;
    std::uint8_t used = 0;
    std::uint8_t applied = 0;
};

class CFindItemsGroup {
public:
    // Smallest record: an empty name's NUL, toFind, visible and the count.
    static constexpr std::uint32_t kMinRecordSize = 1 + 2 + 1 + 4;

    CFindItemsGroup() = default;
    // An unnamed line of one entry.
    CFindItemsGroup(const std::string& itemName, std::uint32_t itemKind, bool initiallyVisible);
    virtual std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) const;
    // Replaces the entries with the stored ones; kind becomes 0 and
    // initialVisible 1, so a later reset shows the line.
    virtual std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos);
    virtual ~CFindItemsGroup() = default;
    CFindItemsGroup(const CFindItemsGroup&) = default;
    CFindItemsGroup& operator=(const CFindItemsGroup&) = default;

    void AddItem(const std::string& itemName, std::uint32_t itemKind);
    // Every entry reset, toFind = the entry count, visible = initialVisible.
    void Reset();
    std::string GetName() const { return name; }
    // The name, else the first entry's name, else "".
    std::string GetTaskName() const;
    // Groups are equal when their task names are.
    bool operator==(const CFindItemsGroup& other) const { return GetTaskName() == other.GetTaskName(); }
    bool operator!=(const CFindItemsGroup& other) const { return !(*this == other); }
    // The last entry of that name; null when none.
    CFindItem* GetItem(const std::string& itemName);
    const CFindItem* GetItem(const std::string& itemName) const;

    // Set the action's flag on an entry of that name that is not found yet;
    // true when that completed the entry (toFind then drops by one).
    bool MarkPicked(const std::string& itemName);
    bool MarkClicked(const std::string& itemName);
    bool MarkUsed(const std::string& itemName);
    bool MarkApplied(const std::string& itemName);

    std::string name;            // "" for a one-item line
    std::uint32_t kind = 0;      // kind the line is filled with while lists are generated; not saved
    std::vector<CFindItem> items;
    std::uint16_t toFind = 0;    // entries not found yet, at most items.size()
    std::uint8_t initialVisible = 1;
    std::uint8_t visible = 1;

private:
    bool Mark(const std::string& itemName, std::uint32_t action);
};

// A list of groups: a u32 count, then the groups' records.
std::uint32_t SaveFindItemsGroups(SaveLoadSystem& system, std::uint32_t pos,
                                  const std::vector<CFindItemsGroup>& groups);
// Replaces the list with the stored groups.
std::uint32_t LoadFindItemsGroups(SaveLoadSystem& system, std::uint32_t pos, std::vector<CFindItemsGroup>& groups);
