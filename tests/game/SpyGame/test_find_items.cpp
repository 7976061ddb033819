// Find-item entries and groups: marking, reset, equality and their records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/util/text_test_log.h"
#include "game/SpyGame/FindItems.h"
#include "game/shell/save_test_entity.h"
#include "support/test_env.h"

namespace {

constexpr std::uint32_t kVersion = 4374;

std::string savePath() { return test_env::home() + "/items.save"; }

// Saves the list as the record of one block and returns the record's bytes.
std::vector<std::uint8_t> saveList(const std::vector<CFindItemsGroup>& groups)
{
    TestEntity owner("<owner>");
    owner.save = [&](SaveLoadSystem& s, std::uint32_t pos) { return SaveFindItemsGroups(s, pos, groups); };
    SaveLoadSystem system;
    system.BeginSave(savePath(), kVersion);
    EXPECT_TRUE(system.SaveEntity(&owner));
    EXPECT_TRUE(system.Finish());
    const std::string text = test_env::readFile(savePath());
    std::vector<std::uint8_t> payload(text.begin() + SaveLoadSystem::kHeaderSize, text.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    const std::size_t header = std::string("<owner>").size() + 1 + 4;
    return std::vector<std::uint8_t>(payload.begin() + std::ptrdiff_t(header), payload.end());
}

// Loads a list from record bytes; false when the block was refused.
bool loadList(const std::vector<std::uint8_t>& record, std::vector<CFindItemsGroup>& groups)
{
    // The key with its NUL, then the record's 32-bit length, then the record.
    const std::string key = "<owner>";
    std::vector<std::uint8_t> payload(key.size() + 1 + 4 + record.size(), 0);
    std::copy(key.begin(), key.end(), payload.begin());
    payload[8] = std::uint8_t(record.size());
    payload[9] = std::uint8_t(record.size() >> 8);
    std::copy(record.begin(), record.end(), payload.begin() + 12);
    const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, kVersion, 1);
    test_env::writeFile(savePath(), std::string(file.begin(), file.end()));
    TestEntity owner("<owner>");
    owner.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return LoadFindItemsGroups(s, pos, groups); };
    SaveLoadSystem system;
    EXPECT_TRUE(system.BeginLoad(savePath(), kVersion));
    const bool loaded = system.LoadEntity(&owner);
    system.Finish();
    return loaded;
}

} // namespace

TEST(FindItems, MarkingFindsEachEntryOnce)
{
    CFindItemsGroup clickLine("lamp", CFindItem::Click, true);
    EXPECT_EQ(clickLine.toFind, 1);
    EXPECT_FALSE(clickLine.MarkPicked("lamp"));  // another action: flagged, not found
    EXPECT_EQ(clickLine.items[0].picked, 1);
    EXPECT_FALSE(clickLine.items[0].IsFound());
    EXPECT_EQ(clickLine.toFind, 1);
    EXPECT_TRUE(clickLine.MarkClicked("lamp"));
    EXPECT_FALSE(clickLine.MarkClicked("lamp"));
    EXPECT_FALSE(clickLine.MarkClicked("nothing"));
    EXPECT_EQ(clickLine.toFind, 0);

    // Two entries of one name: the later is marked first, then the earlier,
    // and the line completes.
    CFindItemsGroup pair;
    pair.name = "coins";
    pair.AddItem("coin", CFindItem::Pick);
    pair.AddItem("coin", CFindItem::Pick);
    EXPECT_EQ(pair.GetItem("coin"), &pair.items[1]);
    EXPECT_TRUE(pair.MarkPicked("coin"));
    EXPECT_TRUE(pair.items[1].picked && !pair.items[0].picked);
    EXPECT_TRUE(pair.MarkPicked("coin"));
    EXPECT_EQ(pair.toFind, 0);
    EXPECT_FALSE(pair.MarkPicked("coin"));

    // Mixed kinds under one name: the entry this action completes is taken.
    CFindItemsGroup mixed;
    mixed.AddItem("box", CFindItem::Use);
    mixed.AddItem("box", CFindItem::Apply);
    EXPECT_TRUE(mixed.MarkUsed("box"));
    EXPECT_TRUE(mixed.items[0].IsFound());
    EXPECT_FALSE(mixed.items[1].used);

    // Any other kind is never found.
    CFindItemsGroup odd("odd", 16, true);
    for (bool marked : {odd.MarkPicked("odd"), odd.MarkClicked("odd"), odd.MarkUsed("odd"), odd.MarkApplied("odd")})
        EXPECT_FALSE(marked);
    EXPECT_EQ(odd.toFind, 1);

    // Reset restores the count, the flags and the visibility.
    pair.initialVisible = 0;
    pair.Reset();
    EXPECT_EQ(pair.toFind, 2);
    EXPECT_FALSE(pair.items[0].picked || pair.items[1].picked);
    EXPECT_EQ(pair.visible, 0);
}

TEST(FindItems, TaskNamesAndEquality)
{
    CFindItemsGroup empty;
    EXPECT_EQ(empty.GetTaskName(), "");
    CFindItemsGroup lamp("lamp", CFindItem::Pick, false);
    EXPECT_EQ(lamp.GetTaskName(), "lamp");
    EXPECT_EQ(lamp.GetName(), "");
    EXPECT_EQ(lamp.visible, 0);
    CFindItemsGroup named;
    named.name = "lamp";
    named.AddItem("other", CFindItem::Click);
    EXPECT_TRUE(named == lamp);
    EXPECT_TRUE(named != empty);
    CFindItemsGroup copy = named;
    copy.MarkClicked("other");
    EXPECT_EQ(named.toFind, 1);
    EXPECT_EQ(copy.items.size(), 1u);
    EXPECT_EQ(copy.toFind, 0);
}

TEST(FindItems, RecordsMatchTheirBytesAndLoadBack)
{
    EXPECT_EQ(saveList({}), (std::vector<std::uint8_t>{0, 0, 0, 0}));

    CFindItemsGroup group;
    group.name = "ab";
    group.AddItem("x", CFindItem::Use);
    group.AddItem("y", CFindItem::Pick);
    group.MarkUsed("x");
    group.MarkClicked("y");
    group.visible = 0;
    const std::vector<std::uint8_t> bytes = {
        1, 0, 0, 0,                      // one group
        'a', 'b', 0, 1, 0, 0,            // name, toFind 1, hidden
        2, 0, 0, 0,                      // two entries
        'x', 0, 4, 0, 0, 0, 0, 0, 1, 0,  // x: use, used
        'y', 0, 1, 0, 0, 0, 0, 1, 0, 0,  // y: pick, clicked
    };
    EXPECT_EQ(saveList({group}), bytes);

    std::vector<CFindItemsGroup> groups(3);
    ASSERT_TRUE(loadList(bytes, groups));
    ASSERT_EQ(groups.size(), 1u);
    const CFindItemsGroup& g = groups[0];
    EXPECT_EQ(g.name, "ab");
    EXPECT_EQ(g.toFind, 1);
    EXPECT_EQ(g.visible, 0);
    EXPECT_EQ(g.initialVisible, 1);
    EXPECT_EQ(g.kind, 0u);
    ASSERT_EQ(g.items.size(), 2u);
    EXPECT_TRUE(g.items[0].IsFound());
    EXPECT_EQ(g.items[1].clicked, 1);
    groups[0].Reset();
    EXPECT_EQ(groups[0].visible, 1);

    // A stored toFind above the entries is clamped and never wraps.
    std::vector<std::uint8_t> high = bytes;
    high[7] = 9;
    ASSERT_TRUE(loadList(high, groups));
    EXPECT_EQ(groups[0].toFind, 2);
    EXPECT_TRUE(groups[0].MarkPicked("y"));
    EXPECT_EQ(groups[0].toFind, 1);
    groups[0].toFind = 0;
    groups[0].items[0].used = 0;
    EXPECT_TRUE(groups[0].MarkUsed("x"));
    EXPECT_EQ(groups[0].toFind, 0);

    // Cut records and counts beyond the block are refused before allocating.
    TestLog log;
    for (std::size_t cut : {std::size_t(3), std::size_t(12), bytes.size() - 1}) {
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
        EXPECT_FALSE(loadList(part, groups)) << cut;
    }
    std::vector<std::uint8_t> huge = bytes;
    huge[10] = 0xFF;
    huge[13] = 0x7F;
    EXPECT_FALSE(loadList(huge, groups));
    EXPECT_EQ(log.count("overran its length"), 4u);
}
