// Save records of the personages and their manager: sizes, order, what a
// load overwrites, damaged blocks, and a case saved and loaded again.
#include <cstring>

#include "game/shell/save_load_system.h"
#include "personages_fixture.h"
#include "support/test_env.h"

using persontest::names;
using persontest::PersonagesTest;

namespace {

constexpr std::uint32_t kVersion = 4374;
using Bytes = std::vector<std::uint8_t>;
using Blocks = std::map<std::string, Bytes>;

std::string path(const std::string& name) { return test_env::home() + "/" + name; }

// The blocks of a save file by key.
Blocks blocksOf(const std::string& file)
{
    const std::string text = test_env::readFile(file);
    Bytes payload(text.begin() + SaveLoadSystem::kHeaderSize, text.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    Blocks out;
    for (std::size_t pos = 0; pos < payload.size();) {
        const std::string key(reinterpret_cast<const char*>(&payload[pos]));
        pos += key.size() + 1;
        std::uint32_t length = 0;
        std::memcpy(&length, &payload[pos], 4);
        pos += 4;
        out[key] = Bytes(payload.begin() + std::ptrdiff_t(pos), payload.begin() + std::ptrdiff_t(pos + length));
        pos += length;
    }
    return out;
}

Blocks save(SaveLoadEntity& entity, const std::string& file = path("record.save"))
{
    SaveLoadSystem system;
    EXPECT_TRUE(system.BeginSave(file, kVersion));
    system.SaveEntity(&entity);
    EXPECT_TRUE(system.Finish());
    return blocksOf(file);
}

bool loadFile(SaveLoadEntity& entity, const std::string& file)
{
    SaveLoadSystem system;
    EXPECT_TRUE(system.BeginLoad(file, kVersion));
    const bool loaded = system.LoadEntity(&entity);
    system.Finish();
    return loaded;
}

bool loadBlocks(SaveLoadEntity& entity, const Blocks& blocks)
{
    Bytes payload;
    for (const auto& [key, record] : blocks) {
        payload.insert(payload.end(), key.begin(), key.end());
        payload.push_back(0);
        for (int i = 0; i < 4; ++i)
            payload.push_back(std::uint8_t(record.size() >> (8 * i)));
        payload.insert(payload.end(), record.begin(), record.end());
    }
    const Bytes file = SaveLoadSystem::BuildFile(payload, kVersion, std::uint32_t(blocks.size()));
    test_env::writeFile(path("built.save"), std::string(file.begin(), file.end()));
    return loadFile(entity, path("built.save"));
}

std::size_t find(const Bytes& record, const std::string& text)
{
    const auto it = std::search(record.begin(), record.end(), text.begin(), text.end());
    return std::size_t(it - record.begin());
}

void u32(Bytes& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

void str(Bytes& out, const std::string& s)
{
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

} // namespace

TEST_F(PersonagesTest, PersonageRecordKeepsWhatTheFilesSet)
{
    CPersonage empty("Empty");
    EXPECT_EQ(save(empty)["<Personage:Empty"].size(), 19u);

    CPersonage p("Tester");
    ASSERT_TRUE(p.LoadRoomAiData("gamedata:Grammar/", "R"));
    p.ResetTasks(false, false);
    p.itemInfos[CSpyItemRef("z", "A")].useCount = 3;
    p.itemInfos[CSpyItemRef("a", "B")].curUseTo = {CSpyItemRef("lamp", "Hall")};
    CPersonage::CItemInfo& door = p.itemInfos.at(CSpyItemRef("door", "R"));
    door.curAbout = "changed";
    door.interactionCount = 2;
    p.GetRoomInfo("R").visits = 4;
    p.GetRoomInfo("R").ispyList = {CFindItemsGroup("cup", CFindItem::Pick, true)};
    p.currentItem = CSpyItemRef("lamp", "Hall");
    p.currentNotes["k"] = "v";
    const Bytes record = save(p)["<Personage:Tester"];
    // Item infos room by room, whatever their names.
    const std::string za("z\0A\0", 4), ab("a\0B\0", 4), door_("door\0R\0", 7);
    EXPECT_LT(find(record, za), find(record, ab));
    EXPECT_LT(find(record, ab), find(record, door_));
    EXPECT_LT(find(record, door_), record.size());

    CPersonage q("Tester");
    ASSERT_TRUE(q.LoadRoomAiData("gamedata:Grammar/", "R"));
    q.ResetTasks(false, false);
    ASSERT_TRUE(loadBlocks(q, {{"<Personage:Tester", record}}));
    EXPECT_EQ(q.itemInfos.at(CSpyItemRef("z", "A")).useCount, 3u);  // in no ".ai" file
    const CPersonage::CItemInfo& loaded = q.itemInfos.at(CSpyItemRef("door", "R"));
    EXPECT_EQ(loaded.curAbout, "changed");
    EXPECT_EQ(loaded.About, "second");
    EXPECT_EQ(loaded.ChangeItemInfoAtUse.size(), 5u);
    EXPECT_EQ(q.GetRoomInfo("R").visits, 4u);
    EXPECT_EQ(q.GetRoomInfo("R").ISpyDiffLevel, 5u);
    EXPECT_EQ(q.GetRoomInfo("R").ispyList[0].kind, 0u);
    EXPECT_EQ(q.currentItem, CSpyItemRef("lamp", "Hall"));
    EXPECT_EQ(q.currentNotes.at("k"), "v");
    EXPECT_EQ(save(q)["<Personage:Tester"], record);
    q.ResetTasks(false, false);
    EXPECT_EQ(q.itemInfos.at(CSpyItemRef("door", "R")).curAbout, "second");
    EXPECT_TRUE(q.currentNotes.empty());
}

TEST_F(PersonagesTest, ManagerRecordAndDamagedBlocks)
{
    CPersonagesManager none;
    Blocks blocks = save(none);
    EXPECT_EQ(blocks[CPersonagesManager::kKey], Bytes(9, 0));  // no current, no active name, no pool
    ASSERT_TRUE(loadBlocks(none, blocks));
    EXPECT_EQ(none.GetCurrentPersonage(), nullptr);

    load();
    personages.ActivatePersonage("Marivel");
    personages.SetCurrentPersonage("Marivel");
    const Blocks saved = save(personages);
    const auto pools = personages.GetISpyPools();
    ASSERT_EQ(pools.size(), 2u);  // Hall and Library, several levels
    personages.ResetISpyPool(true);
    personages.SetCurrentPersonage("Quennick");
    const Blocks before = save(personages);

    // Damaged: a cut manager record, a personage with a huge item count.
    Blocks cut = saved;
    cut[CPersonagesManager::kKey].pop_back();
    Bytes& quennickRecord = cut["<Personage:Quennick"];
    // The item count, after the empty focused item and the notes count.
    std::memset(&quennickRecord[2 + 4], 0xFF, 4);
    EXPECT_FALSE(loadBlocks(personages, cut));
    EXPECT_EQ(save(personages), before);
    EXPECT_EQ(log->count("overran"), 2u);

    ASSERT_TRUE(loadBlocks(personages, saved));
    EXPECT_EQ(personages.GetCurrentPersonage()->GetName(), "Marivel");
    for (const auto& [room, levels] : pools)
        for (const auto& [level, lines] : levels)
            EXPECT_EQ(names(personages.GetISpyPool(room)->at(level)), names(lines)) << room << level;

    // An unknown current name; a pool entry of a room without I-spy items,
    // which a refill then removes while lines are drawn.
    Bytes record;
    str(record, "Ghost");
    u32(record, 0);
    u32(record, 1);
    str(record, "Cellar");
    u32(record, 1);
    u32(record, 1);
    u32(record, 1);
    CFindItemsGroup barrel("barrel", CFindItem::Pick, true);
    str(record, "");
    record.insert(record.end(), {1, 0, 1});
    u32(record, 1);
    str(record, "barrel");
    u32(record, 1);
    record.insert(record.end(), {0, 0, 0, 0});
    ASSERT_TRUE(loadBlocks(personages, {{CPersonagesManager::kKey, record}}));
    EXPECT_EQ(personages.GetCurrentPersonage(), nullptr);
    EXPECT_EQ(log->count("The saved personage 'Ghost' does not exist"), 1u);
    quennick().GenISpyTaskInRoom("Cellar", 3, true, false);
    EXPECT_EQ(names(quennick().GetRoomInfo("Cellar").ispyList), std::vector<std::string>{"barrel"});
    EXPECT_EQ(personages.GetISpyPool("Cellar"), nullptr);
    EXPECT_EQ(log->count("Room: Cellar. Warning, scarce ISpy items!"), 1u);
}

TEST_F(PersonagesTest, CaseSavedAndLoadedWritesTheSameBlocks)
{
    load("caseP", false, 3);
    personages.ActivatePersonage("Marivel");
    rooms.GetRoom("Hall")->Entry(0);
    CFindItemsGroup& line = hall().ispyList.at(0);
    line.MarkPicked(line.items[0].name);
    const Blocks first = save(personages, path("first.save"));

    personages.Clear();
    rooms.ReleaseAll();
    load("caseP", false, 11);
    ASSERT_TRUE(loadFile(personages, path("first.save")));
    const Blocks second = save(personages, path("second.save"));
    EXPECT_EQ(second, first);
    EXPECT_EQ(test_env::readFile(path("second.save")), test_env::readFile(path("first.save")));
}
