// Save records of the personages and their manager: sizes, order, what a
// load overwrites, damaged blocks, and a case saved and loaded again.
#include <cstring>

#include "game/shell/save_load_system.h"
#include "personages_fixture.h"
#include "support/test_env.h"

using namespace persontest;

namespace {

std::size_t find(const Bytes& record, const std::string& text)
{
    return std::size_t(std::search(record.begin(), record.end(), text.begin(), text.end()) - record.begin());
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
    p.itemInfos.at(CSpyItemRef("door", "R")).curAbout = "changed";
    p.GetRoomInfo("R").visits = 4;
    p.GetRoomInfo("R").ispyList = {CFindItemsGroup("cup", CFindItem::Pick, true)};
    p.currentItem = CSpyItemRef("lamp", "Hall");
    p.currentNotes["k"] = "v";
    const Bytes record = save(p)["<Personage:Tester"];
    // Item infos room by room, whatever their names.
    EXPECT_LT(find(record, std::string("z\0A\0", 4)), find(record, std::string("a\0B\0", 4)));
    EXPECT_LT(find(record, std::string("a\0B\0", 4)), find(record, std::string("door\0R\0", 7)));

    CPersonage q("Tester");
    ASSERT_TRUE(q.LoadRoomAiData("gamedata:Grammar/", "R"));
    q.ResetTasks(false, false);
    ASSERT_TRUE(restore(q, {{"<Personage:Tester", record}}));
    EXPECT_EQ(q.itemInfos.at(CSpyItemRef("z", "A")).useCount, 3u);  // in no ".ai" file
    const CPersonage::CItemInfo& door = q.itemInfos.at(CSpyItemRef("door", "R"));
    EXPECT_EQ(door.curAbout, "changed");
    EXPECT_EQ(door.About, "second");
    EXPECT_EQ(door.ChangeItemInfoAtUse.size(), 5u);
    EXPECT_EQ(q.GetRoomInfo("R").ISpyDiffLevel, 5u);
    EXPECT_EQ(q.GetRoomInfo("R").ispyList[0].kind, 0u);
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
    ASSERT_TRUE(restore(none, blocks));

    load();
    personages.ActivatePersonage("Marivel");
    personages.SetCurrentPersonage("Marivel");
    const Blocks saved = save(personages);
    const std::map<std::string, CISpyLevels> pools = personages.GetISpyPools();
    ASSERT_EQ(pools.size(), 2u);  // Hall and Library, several levels
    personages.ResetISpyPool(true);
    personages.SetCurrentPersonage("Quennick");
    const Blocks before = save(personages);

    // A cut manager record; a personage's item count beyond its block.
    Blocks cut = saved;
    cut[CPersonagesManager::kKey].pop_back();
    std::memset(&cut["<Personage:Quennick"][2 + 4], 0xFF, 4);  // after the focused item and the notes count
    EXPECT_FALSE(restore(personages, cut));
    EXPECT_EQ(save(personages), before);
    EXPECT_EQ(log->count("Block '<Personage:Quennick' overran"), 1u);
    EXPECT_EQ(log->count("'<PersonagesManager>' lacks a part it needs"), 1u);
    cut = saved;
    cut[CPersonagesManager::kKey].pop_back();
    EXPECT_FALSE(restore(personages, cut));
    EXPECT_EQ(save(personages), before);
    EXPECT_EQ(log->count("Block '<PersonagesManager>' overran"), 1u);

    ASSERT_TRUE(restore(personages, saved));
    EXPECT_EQ(personages.GetCurrentPersonage()->GetName(), "Marivel");
    for (const auto& [room, levels] : pools)
        for (const auto& [level, lines] : levels)
            EXPECT_EQ(names(personages.GetISpyPool(room)->at(level)), names(lines)) << room << level;

    // An unknown current or active name: refused. A pool entry of a room
    // without I-spy items, which the refill removes while lines are drawn.
    const std::string pool("\1\0\0\0Cellar\0\1\0\0\0\1\0\0\0\1\0\0\0"
                           "\0\1\0\1\1\0\0\0barrel\0\1\0\0\0\0\0\0\0", 46);
    for (const std::string& head : {std::string("Ghost\0\0\0\0\0", 10), std::string("\0\1\0\0\0Ghost\0", 11)}) {
        const std::string record = head + pool;
        EXPECT_FALSE(restore(personages, {{CPersonagesManager::kKey, Bytes(record.begin(), record.end())}}));
        EXPECT_EQ(personages.GetCurrentPersonage()->GetName(), "Marivel");
    }
    EXPECT_EQ(log->count("The saved personage 'Ghost' does not exist; the record is refused"), 2u);
    const std::string record = std::string("\0\0\0\0\0", 5) + pool;
    ASSERT_TRUE(restore(personages, {{CPersonagesManager::kKey, Bytes(record.begin(), record.end())}}));
    EXPECT_EQ(personages.GetCurrentPersonage(), nullptr);
    quennick().GenISpyTaskInRoom("Cellar", 3, true, false);
    EXPECT_EQ(names(quennick().GetRoomInfo("Cellar").ispyList), Names{"barrel"});
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
    SaveLoadSystem system;
    ASSERT_TRUE(system.BeginLoad(path("first.save"), kVersion));
    ASSERT_TRUE(system.LoadEntity(&personages));
    system.Finish();
    EXPECT_EQ(save(personages, path("second.save")), first);
    EXPECT_EQ(test_env::readFile(path("second.save")), test_env::readFile(path("first.save")));
}
