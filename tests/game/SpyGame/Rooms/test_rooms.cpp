// Rooms on the test game: data, clicks, carrying and picking, hints, entry
// and exit, the manager's lookups and its save record.
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/gfx/a_particle_system.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/save_load_system.h"
#include "rooms_fixture.h"

using namespace roomtest;
using Calls = std::vector<std::string>;

TEST_F(RoomsTest, DataComesFromTheCaseAndTheLocation)
{
    load();
    const std::string log = newLog();
    for (const char* line : {"Room 'Nowhere' has no location", "unknown Class 'Nonsense'", "[Room] Size: bad value",
                             "[Room] Scale: bad value", "[Room] HookRect: bad value", "[Room] AllowBack: bad value"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_FALSE(rooms.HasRoom("Nowhere"));
    // A self-contained room is its own location; room.ini sits over location.ini.
    EXPECT_EQ(room("Puzzle").GetLocationFolder(), room("Puzzle").GetCaseFolder());
    EXPECT_TRUE(room("Puzzle").AreHintsDisabled());
    EXPECT_EQ(room("Study2").GetLocationFolder(), room("Hall").GetLocationFolder());
    EXPECT_FALSE(item("Study2", "vase").IsVisible());
    EXPECT_TRUE(item("Hall", "vase").IsVisible());
    EXPECT_FALSE(item("Desk", "pen").IsVisible());
    EXPECT_EQ(item("Study2", "vase").GetRoomName(), "Study2");
    // Sizes: the first [Scene] image, or Size times Scale.
    EXPECT_EQ(room("Hall").GetScaledWidth(), 400);
    EXPECT_EQ(room("Desk").GetScaledWidth(), 400);
    EXPECT_EQ(room("Desk").GetScaledHeight(), 300);
    EXPECT_EQ(item("Desk", "pen").GetWidthRounded(), 40);
    EXPECT_EQ(room("Hall").GetSoundOnBack(), nullptr);
    EXPECT_TRUE(room("Hall").IsISpyRoom());
    EXPECT_EQ(room("Hall").GetAmbient().GetState(), aAmbientSoundSystem::kSoundsCreated);

    // Bad values are logged and take their defaults; an unknown Class makes a plain room.
    CRoomBase& bad = room("Bad");
    EXPECT_EQ(bad.GetClassName(), "Room");
    EXPECT_TRUE(bad.IsBackAllowed());
    EXPECT_FLOAT_EQ(bad.GetScale(), 1.0f);
    EXPECT_FALSE(bad.AreaHook());
    CRoomBase* hall = &room("Hall");
    EXPECT_EQ(rooms.AddRoom("Hall", kCase + std::string("Hall"), nullptr), nullptr);
    EXPECT_EQ(&room("Hall"), hall);
    EXPECT_EQ(logged("Room 'Hall' exists already; it is kept"), 1u);
    EXPECT_EQ(rooms.AddRoom("../Hall", kCase, nullptr), nullptr);
    EXPECT_EQ(logged("Bad room name '../Hall'"), 1u);

    // Texts load under the room's name; the shared location's lists stay
    // until its last room goes.
    EXPECT_NE(locale.findString("about_vase", "Hall"), nullptr);
    EXPECT_NE(locale.findString("coins_1", "Hall"), nullptr);
    const std::string hallFolder = room("Hall").GetLocationFolder();
    EXPECT_EQ(rooms.GetLocationUseCount(hallFolder), 2u);
    EXPECT_TRUE(rooms.RemoveRoom("Hall"));
    EXPECT_EQ(locale.findString("about_vase", "Hall"), nullptr);
    EXPECT_TRUE(images->HasImage("sq", "Hall"));
    EXPECT_TRUE(rooms.RemoveRoom("Study2"));
    EXPECT_EQ(rooms.GetLocationUseCount(hallFolder), 0u);
    EXPECT_FALSE(images->HasImage("sq", "Hall"));
}

TEST_F(RoomsTest, ClicksGiveTheirResultsAndContextCalls)
{
    load();
    CRoomBase& hall = room("Hall");
    ctx.about["vase"] = "about_vase";
    ctx.clickUse["vase"] = "CLUE";
    ctx.clickUse["lamp"] = "lamp_on";
    ctx.oneself.insert("lamp");
    ctx.badUse["cellar"] = "bad_cellar";
    struct Row {
        const char* item;
        int result;
        Calls calls;
        std::string help;
    };
    const Row rows[] = {
        {"to_garden", 5, {"HasItemInfo(to_garden)"}, ""},
        {"to_desk", 6, {"HasItemInfo(to_desk)"}, ""},
        {"cellar", 9, {"HasItemInfo(cellar)", "ClickItemAndGetBadUse(Hall:cellar)", "ShowMessage(bad_cellar,Hall,1)"}, ""},
        {"help", 10, {"HasItemInfo(help)"}, "help_item"},
        {"bighelp", 11, {"HasItemInfo(bighelp)"}, "help_hall"},
        {"comment", 12, {"HasItemInfo(comment)"}, "help_hall"},
        {"note", 8, {"HasItemInfo(note)"}, ""},
        {"vase", 9,
         {"HasItemInfo(vase)", "GetItemClickUse(Hall:vase)", "IsItemUseToOneself(Hall:vase)", "GetItemAbout(Hall:vase)",
          "ShowMessage(about_vase,Hall,1)"},
         ""},
        {"lamp", 9,
         {"HasItemInfo(lamp)", "GetItemClickUse(Hall:lamp)", "IsItemUseToOneself(Hall:lamp)",
          "OnClickAtFocusedItem(Hall:lamp)", "ShowMessage(lamp_on,Hall,1)"},
         ""},
    };
    for (const Row& row : rows) {
        hall.Entry(0);
        ctx.take();
        EXPECT_EQ(click(hall, row.item), row.result) << row.item;
        EXPECT_EQ(ctx.take(), row.calls) << row.item;
        EXPECT_EQ(hall.GetHelpTextId(), row.help) << row.item;
        EXPECT_TRUE(hall.TakeOneShotFlag()) << row.item;
        EXPECT_FALSE(hall.TakeOneShotFlag());
        if (row.result == 8) {
            EXPECT_EQ(hall.GetClickedItem(), &item("Hall", "note"));
        }
        // A result stands until it is taken: another click does nothing.
        if (row.result != 9) {
            EXPECT_EQ(click(hall, "vase"), row.result);
        }
        EXPECT_TRUE(ctx.take().empty()) << row.item;
        const std::string target = row.result == 5 ? hall.TakeTargetRoom() : hall.TakeCloseUpRoom();
        if (row.result == 5 || row.result == 6) {
            EXPECT_EQ(target, row.result == 5 ? "Garden" : "Desk");
            EXPECT_FALSE(hall.IsEntered());
            EXPECT_EQ(hall.GetResult(), 9);
            EXPECT_EQ(hall.TakeTargetRoom() + hall.TakeCloseUpRoom(), "");
        } else {
            EXPECT_EQ(target, "");
        }
        hall.ResetResult();
        EXPECT_EQ(hall.GetHelpTextId(), "");
    }
    EXPECT_TRUE(hall.IsClueFound());
    EXPECT_EQ(hall.GetClickedItem(), nullptr);

    // No click: passive, suspended input, over the panel, over a box, over a tip.
    const CSpyItem& vase = item("Hall", "vase");
    ctx.tipQueries = 0;
    mouse.push(1, cx(vase), cy(vase));
    frame();
    EXPECT_EQ(hall.Update(0.02f, true), 9);
    hall.SuspendFlags(false);
    EXPECT_EQ(hall.Update(0.02f, false), 9);
    hall.SuspendFlags(true);
    EXPECT_TRUE(ctx.take().empty());
    EXPECT_EQ(ctx.tipQueries, 0);
    ctx.pointInside = true;
    EXPECT_EQ(hall.Update(0.02f, false), 9);
    EXPECT_EQ(ctx.lastPoint, "230,50");
    ctx.pointInside = false;
    ctx.overBox = true;
    EXPECT_EQ(hall.Update(0.02f, false), 9);
    EXPECT_EQ(ctx.tipQueries, 0);
    ctx.overBox = false;
    ctx.overTip = true;
    EXPECT_EQ(hall.Update(0.02f, false), 9);
    EXPECT_EQ(ctx.tipQueries, 1);
    EXPECT_FALSE(ctx.tipFindable) << "the vase is not to be found";
    EXPECT_TRUE(ctx.take().empty());
    // The tip is told of an object to find under it, and lets the press through.
    const CSpyItem& note = item("Hall", "note");
    mouse.push(0, cx(note), cy(note));
    frame();
    mouse.push(1, cx(note), cy(note));
    frame();
    EXPECT_EQ(hall.Update(0.02f, false), 9);
    EXPECT_TRUE(ctx.tipFindable);
    ctx.overTip = false;
    EXPECT_EQ(hall.Update(0.02f, false), 8);
    EXPECT_EQ(hall.GetClickedItem(), &note);
    ctx.take();
    hall.ResetResult();
    // Exit twice: the second does nothing more.
    hall.Exit();
    hall.Exit();
    EXPECT_EQ(hall.GetAmbient().GetState(), aAmbientSoundSystem::kSoundsCreated);
}

TEST_F(RoomsTest, InventoryPickCarryAndApply)
{
    load();
    CRoomBase& hall = room("Hall");
    CSpyItem& key = item("Hall", "key");
    CSpyItem& note = item("Hall", "note");
    hall.Entry(0);
    ctx.clickUse["note"] = "EVIDENCE";
    hall.PutPickedItemToInventory();  // nothing picked: nothing happens
    for (const char* name : {"key", "note"}) {
        EXPECT_EQ(click(hall, name), 8);
        ctx.take();
        hall.PutPickedItemToInventory();
        hall.PutPickedItemToInventory();
        Calls want{"MarkFocusedItemAndApplyScripts()", std::string("AddFoundItem(") + name + ")",
                   std::string("GetItemClickUse(Hall:") + name + ")"};
        if (std::string(name) == "note")
            want.insert(want.end(), {"MarkItemTask(note)", "AddExtraHint()"});
        EXPECT_EQ(ctx.take(), want);
        EXPECT_EQ(hall.GetResult(), 9);
        EXPECT_FALSE(item("Hall", name).IsVisible());
    }
    ASSERT_EQ(rooms.GetInventory(), (std::vector<CSpyItem*>{&key, &note}));
    EXPECT_TRUE(key.IsInInventory());

    // Slot 1 puts the key on the cursor; a click on nothing puts it back; so does Exit.
    EXPECT_EQ(click(hall, 200, 730), 9);
    EXPECT_EQ(hall.GetCursorItem(), &key);
    EXPECT_FALSE(hall.CanUseHint());
    click(hall, 700, 500);
    EXPECT_EQ(hall.GetCursorItem(), nullptr);
    click(hall, 200, 730);
    hall.Exit();
    EXPECT_EQ(hall.GetCursorItem(), nullptr);

    // Refused: "bad_use" without a BadUse text, and the item stays carried.
    hall.Entry(0);
    click(hall, 272, 730);
    ctx.take();
    EXPECT_EQ(click(hall, "vase"), 9);
    EXPECT_EQ(ctx.take(), (Calls{"CanUseItemTo(note,Hall:vase)", "ClickItemAndGetBadUse(Hall:vase)",
                                 "ShowMessage(bad_use,,1)"}));
    EXPECT_EQ(hall.GetCursorItem(), &note);
    // Taken: a kept item goes back to its slot, a used one leaves the inventory.
    ctx.canUse = {{"note", "vase"}, {"key", "vase"}};
    click(hall, "vase");
    EXPECT_EQ(hall.GetCursorItem(), nullptr);
    EXPECT_EQ(rooms.GetInventory().size(), 2u);
    EXPECT_TRUE(item("Hall", "vase").GetActions() & CSpyItem::ActionUse);
    EXPECT_TRUE(note.GetActions() & CSpyItem::ActionApply);
    click(hall, 200, 730);
    click(hall, "vase");
    EXPECT_EQ(rooms.GetInventory(), std::vector<CSpyItem*>{&note});
    EXPECT_FALSE(key.IsInInventory());
    // A reset takes the room's items out of the inventory.
    rooms.AddToInventory(&key);
    hall.Reset();
    EXPECT_TRUE(rooms.GetInventory().empty());
    EXPECT_TRUE(key.IsVisible());
}

// An I-spy object is picked only while a line that is not yet found asks
// for it: in Find All a line is dealt later for an object left in the room.
TEST_F(RoomsTest, OnlyListedObjectsArePicked)
{
    load();
    CRoomBase& hall = room("Hall");
    CSpyItem& coin1 = item("Hall", "coin_1");
    const auto clickAndTake = [&](const char* name) {
        hall.Entry(0);
        const int result = click(hall, name);
        CSpyItem* clicked = hall.GetClickedItem();
        hall.ResetResult();
        return result == 8 && clicked == &item("Hall", name);
    };
    // No lines at all: any object can be picked.
    EXPECT_TRUE(clickAndTake("coin_1"));
    // Lines that do not name it: the click is a miss; a non-I-spy pick goes on.
    ctx.ispyList = lines({"lamp"});
    EXPECT_FALSE(clickAndTake("coin_1"));
    EXPECT_TRUE(coin1.IsVisible());
    EXPECT_TRUE(hall.TakeOneShotFlag());
    EXPECT_TRUE(clickAndTake("note"));
    // Named by the I-spy, task or clue list, or by a group's entry.
    ctx.ispyList = lines({"coin_1"});
    EXPECT_TRUE(clickAndTake("coin_1"));
    ctx.ispyList = lines({"lamp"});
    ctx.taskList = lines({"coin_1"});
    EXPECT_TRUE(clickAndTake("coin_1"));
    ctx.taskList.clear();
    ctx.clueList = lines({"coin_1"});
    EXPECT_TRUE(clickAndTake("coin_1"));
    ctx.clueList.clear();
    ctx.ispyList = {coinsLine()};
    EXPECT_TRUE(clickAndTake("coin_2"));
    // An entry already found no longer asks for it.
    ctx.ispyList[0].MarkPicked("coin_1");
    EXPECT_FALSE(clickAndTake("coin_1"));
    EXPECT_TRUE(clickAndTake("coin_2"));
}

TEST_F(RoomsTest, HintsAndSuspendedFlags)
{
    load();
    CRoomBase& hall = room("Hall");
    ctx.ispyList = {coinsLine()};
    ctx.taskList = lines({"elsewhere"});
    ctx.roomTask = "task_hall";
    hall.Entry(0);
    EXPECT_EQ(ctx.take(), (Calls{"SetCurrentRoom(Hall)", "SetupRoom(task_hall,task,clue,Hall,0,1)"}));
    EXPECT_EQ(hall.GetHintList(1), (std::vector<std::string>{"coin_1", "coin_2"}));
    EXPECT_TRUE(hall.GetHintList(0).empty());
    EXPECT_TRUE(hall.CanUseHint());
    room("Puzzle").SetupGamePanel();
    EXPECT_FALSE(room("Puzzle").CanUseHint());
    ctx.ispyList[0].MarkPicked("coin_1");
    ctx.ispyList[0].MarkPicked("coin_2");
    hall.RefreshItemState();
    EXPECT_FALSE(hall.CanUseHint());

    // On the first visible item of the group; through a close-up door;
    // nothing where no room holds it (the close-up leads back: the walk ends).
    EXPECT_TRUE(hall.ShowListHint("coins"));
    ASSERT_NE(hall.GetHintStars(), nullptr);
    EXPECT_FLOAT_EQ(hall.GetHintStars()->getEmitterX(), 150.0f);
    EXPECT_TRUE(hall.ShowListHint("card"));  // still in the desk's closed drawer
    EXPECT_FLOAT_EQ(hall.GetHintStars()->getEmitterX(), 230.0f);
    EXPECT_FALSE(hall.ShowListHint("nothing"));
    for (int i = 0; i < 300 && hall.IsShowingHint(); ++i)
        hall.Update(0.02f, true);
    EXPECT_FALSE(hall.IsShowingHint());

    // A second false keeps the first pair; true with nothing put aside does nothing.
    hall.SuspendFlags(false);
    hall.SuspendFlags(false);
    EXPECT_EQ(hall.GetFlag(CRoomBase::FlagInput), 0);
    EXPECT_EQ(click(hall, "note"), 9);
    hall.SuspendFlags(true);
    EXPECT_EQ(hall.GetFlag(CRoomBase::FlagInput), 1);
    EXPECT_EQ(hall.GetFlag(CRoomBase::FlagHover), 1);
    hall.SuspendFlags(true);
    EXPECT_EQ(hall.GetFlag(CRoomBase::FlagInput), 1);
    EXPECT_EQ(click(hall, "note"), 8);

    // The hook: result 9, the mouse in HookRect (room pixels) over an item.
    hall.ResetResult();
    moveTo(cx(item("Hall", "key")), cy(item("Hall", "key")));
    EXPECT_TRUE(hall.AreaHook());
    moveTo(cx(item("Hall", "vase")), cy(item("Hall", "vase")));
    EXPECT_FALSE(hall.AreaHook());

    // The rooms.ini cursors over items and doors; the GUI's own elsewhere.
    for (const char* name : {"arrow", "hand", "door"})
        gui->cursors[name] = std::make_unique<GUI::MouseCursor>(name);
    gui->SetCursor("arrow");
    const std::pair<const char*, const char*> over[] = {{"vase", "hand"}, {"to_desk", "door"}, {nullptr, "arrow"}};
    for (auto [name, cursor] : over) {
        if (name)
            moveTo(cx(item("Hall", name)), cy(item("Hall", name)));
        else
            moveTo(700, 500);
        hall.Update(0.0f, false);
        EXPECT_EQ(gui->cursor->GetName(), cursor);
        EXPECT_EQ(item("Hall", "vase").IsHover(), name && std::string(name) == "vase");
    }
}

TEST_F(RoomsTest, EntryExitAndFindAllGeneration)
{
    load();
    CRoomBase& hall = room("Hall");
    ctx.enterText = "enter_hall";
    ctx.findAll = ctx.pending = true;
    ctx.ispyCount = 3;
    ctx.take();
    hall.Entry(0);
    EXPECT_EQ(ctx.take(), (Calls{"SetCurrentRoom(Hall)", "GenISpyTaskInRoom(Hall,3,1,0)",
                                 "SetupRoom(,task,clue,Hall,0,0)", "ShowMessage(enter_hall,Hall,1)"}));
    EXPECT_EQ(hall.GetAmbient().GetState(), aAmbientSoundSystem::kPlaying);
    EXPECT_TRUE(hall.IsVisited());
    hall.Exit();
    EXPECT_EQ(hall.GetAmbient().GetState(), aAmbientSoundSystem::kSoundsCreated);
    hall.Entry(0);
    EXPECT_EQ(ctx.take().size(), 3u);  // generated once
    // A Find All room on another location is warned about.
    rooms.AddRoom("Other", kCase + std::string("Study2"), nullptr);
    EXPECT_EQ(logged("Warning: Find All room 'Other' lies on location 'Hall'"), 1u);
}

TEST_F(RoomsTest, ManagerLookupsAndTheFindAllOrder)
{
    load();
    newLog();
    EXPECT_EQ(rooms.GetRoom("Cellar"), nullptr);
    EXPECT_EQ(logged("CRoomManager::GetRoom(). Cannot find room: Cellar"), 1u);
    EXPECT_EQ(rooms.GetItem("Hall", "nothing"), nullptr);
    EXPECT_EQ(rooms.GetItem("Cellar", "vase"), nullptr);
    EXPECT_EQ(rooms.GetItemByFullName("Desk:drawer"), &item("Desk", "drawer"));
    EXPECT_EQ(rooms.GetItemByFullName("drawer"), nullptr);
    EXPECT_EQ(logged("Cannot find"), 0u);
    EXPECT_EQ(room("Hall").GetItem("nothing"), nullptr);
    EXPECT_EQ(logged("CRoomBase::GetItem(). Cannot find item 'nothing' in room 'Hall'"), 1u);

    CFindAllOrder& order = rooms.FindAllOrder();
    order.First();
    EXPECT_EQ(order.GetCurrent(), "Hall");
    order.Next();
    EXPECT_TRUE(order.Erase("Desk"));  // at the cursor: the cursor moves on
    EXPECT_EQ(order.GetCurrent(), "Study2");
    EXPECT_TRUE(order.Erase("Hall"));
    EXPECT_FALSE(order.Erase("Hall"));
    EXPECT_EQ(order.GetCurrent(), "Study2");
    std::vector<std::string> rest;
    for (; !order.IsEnd(); order.Next())
        rest.push_back(order.GetCurrent());
    EXPECT_EQ(rest, (std::vector<std::string>{"Study2", "Puzzle", "Bad", "Nowhere"}));
    EXPECT_EQ(order.GetCurrent(), "");

    rooms.AddToInventory(&item("Hall", "key"));
    // The rooms held go, with the list gone from the data meanwhile.
    std::filesystem::remove(file_manglePath(kCase + std::string(CRoomsManager::kRoomsList)));
    rooms.RemoveRooms();
    EXPECT_TRUE(rooms.GetRooms().empty());
    EXPECT_TRUE(rooms.GetInventory().empty());
}

TEST_F(RoomsTest, RecordRoundTripAndEnteredRoom)
{
    load();
    const std::string path = test_env::home() + "/game.save";
    CRoomBase& hall = room("Hall");
    hall.Entry(0);
    click(hall, item("Hall", "key"));
    hall.PutPickedItemToInventory();
    click(hall, "vase");
    ctx.clickUse["coin_1"] = "CLUE";
    click(hall, item("Hall", "coin_1"));
    hall.PutPickedItemToInventory();
    room("Desk").SetPuzzleComplete(1);
    rooms.FindAllOrder().Erase("Puzzle");
    const std::string first = save(rooms, path);

    rooms.ResetRooms(kCase);
    EXPECT_FALSE(hall.IsEntered());
    EXPECT_EQ(hall.GetAmbient().GetState(), aAmbientSoundSystem::kSoundsCreated);
    ctx.take();
    ASSERT_TRUE(restore(rooms, path));
    EXPECT_TRUE(ctx.take().empty());  // no story steps
    EXPECT_TRUE(hall.IsEntered());
    EXPECT_EQ(hall.GetAmbient().GetState(), aAmbientSoundSystem::kPlaying);
    EXPECT_TRUE(hall.IsClueFound());
    EXPECT_TRUE(hall.IsVisited());
    EXPECT_EQ(room("Desk").GetPuzzleComplete(), 1);
    EXPECT_EQ(rooms.GetInventory(), std::vector<CSpyItem*>{&item("Hall", "key")});
    EXPECT_FALSE(item("Hall", "coin_1").IsVisible());
    EXPECT_EQ(rooms.FindAllOrder().GetNames().size(), 5u);
    EXPECT_EQ(save(rooms, path), first);
}

TEST_F(RoomsTest, RecordParksUnknownRoomsAndSurvivesDamage)
{
    load();
    const std::string path = test_env::home() + "/game.save";
    room("Desk").SetPuzzleComplete(1);
    item("Desk", "pen").SetVisible(true);
    rooms.AddToInventory(&item("Desk", "card"));
    rooms.AddRoom("Extra", kCase + std::string("Puzzle"), nullptr);
    const std::string extra = save(rooms, path);
    rooms.RemoveRoom("Extra");
    const std::string first = save(rooms, path);
    rooms.RemoveRoom("Desk");

    // A room the game does not have: nothing of the record is applied.
    test_env::writeFile(path, extra);
    newLog();
    EXPECT_FALSE(restore(rooms, path));
    EXPECT_EQ(logged("Room 'Extra' is not one of this game's"), 1u);
    EXPECT_FALSE(rooms.HasParkedRecord("Desk"));

    // Desk is listed but not loaded: its record is parked, and saved again;
    // the card it had put in the inventory is not carried.
    test_env::writeFile(path, first);
    ASSERT_TRUE(restore(rooms, path));
    EXPECT_EQ(logged("Inventory item 'Desk:card': its room is not loaded; skipped"), 1u);
    EXPECT_TRUE(rooms.HasParkedRecord("Desk"));
    EXPECT_TRUE(rooms.GetInventory().empty());
    save(rooms, path);
    ASSERT_TRUE(restore(rooms, path));
    // Loaded on demand, the room gets its progress at its reset.
    CRoomBase* desk = rooms.AddRoom("Desk", kCase + std::string("Desk"), nullptr);
    images->LoadAll();
    ASSERT_NE(desk, nullptr);
    desk->Reset();
    EXPECT_FALSE(rooms.HasParkedRecord("Desk"));
    EXPECT_EQ(desk->GetPuzzleComplete(), 1);
    EXPECT_TRUE(item("Desk", "pen").IsVisible());
    EXPECT_EQ(item("Desk", "pen").GetWidthRounded(), 40);

    // A cut record: the load fails and the rooms stay as Reset left them.
    // The manager's block comes last, after its children's.
    std::vector<std::uint8_t> file(first.begin(), first.end());
    std::vector<std::uint8_t> payload(file.begin() + SaveLoadSystem::kHeaderSize, file.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    const std::size_t keyEnd =
        std::string(payload.begin(), payload.end()).find(CRoomsManager::kKey) + std::strlen(CRoomsManager::kKey) + 1;
    const std::uint32_t cut = std::uint32_t(payload.size() - keyEnd - 4) / 2;
    payload.resize(keyEnd + 4 + cut);
    for (int i = 0; i < 4; ++i)
        payload[keyEnd + std::size_t(i)] = std::uint8_t(cut >> (8 * i));
    std::uint32_t blocks = 0;
    std::memcpy(&blocks, &file[12], 4);
    const std::vector<std::uint8_t> broken = SaveLoadSystem::BuildFile(payload, 4374, blocks);
    test_env::writeFile(path, std::string(broken.begin(), broken.end()));
    rooms.ResetRooms(kCase);
    EXPECT_FALSE(restore(rooms, path));
    EXPECT_EQ(logged("The record is cut short"), 1u);
    EXPECT_EQ(desk->GetPuzzleComplete(), 0);
    EXPECT_FALSE(item("Desk", "pen").IsVisible());
}
