// Scripted events on the personages' test case with a fake investigation:
// readiness step by step, win and visibility conditions, the Find All rule
// for rooms not loaded, every kind's keys, the manager, and the rooms'
// events saved with the rooms manager.
#include <functional>
#include <tuple>

#include "game/SpyGame/SpyEvents.h"
#include "personages_fixture.h"
#include "support/test_env.h"

using namespace persontest;

namespace {

CSpyEventBase& event(const CSpyEventsManager& manager, const std::string& name)
{
    CSpyEventBase* found = manager.GetEvent(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
}

bool ready(const CSpyEventsManager& manager, const std::string& name) { return event(manager, name).IsReady(); }

std::string key(const std::string& name) { return CSpyEventsManager::kKeyPrefix + name; }

} // namespace

TEST_F(PersonagesTest, EventReadinessStepByStep)
{
    load();
    CSpyEventsManager& m = events("[EventBase]\n"
                                  "[ShowMessage]\nEventName = first\nTextId = t\n"
                                  "[InvestigationClose]\nEventName = closing\nLocation = Cellar\n"
                                  "[EventBase]\nEventName = ordered\nAfterEvents = first nobody\nBeforeEvents = closing\n"
                                  "[EventBase]\nEventName = steps\nWaitCloseMessage = 1\nPersonage = Quennick\n"
                                  "Location = Hall\nNotInCloseUp = 1\n");
    // No keys: ready at once; without an owner nothing is read and nothing is ready.
    EXPECT_TRUE(m.GetEvents().at(0)->IsReady());
    CSpyEventBase loose;
    aOptionsFile ini(path("events0.ini"));
    ini.selectSection("ShowMessage");
    loose.ReadFromIniFile(ini);
    EXPECT_FALSE(loose.IsReady() || loose.GetEventName() == "first");
    // A key the kind does not use: warned about, kept, no restriction.
    EXPECT_EQ(log->count("Event system: warning, key 'Location' in event 'InvestigationClose' not used."), 1u);
    EXPECT_EQ(event(m, "closing").GetLocation(), "Cellar");
    EXPECT_TRUE(ready(m, "closing"));
    // After: unknown names pass; Before: blocks while that event is done.
    EXPECT_FALSE(ready(m, "ordered"));
    event(m, "first").SetDone();
    EXPECT_TRUE(ready(m, "ordered"));
    event(m, "closing").SetDone();
    EXPECT_FALSE(ready(m, "ordered"));

    // Each step holds the event back until it is met; a message shown again holds it back.
    owner.message = true;
    owner.historyEmpty = false;
    owner.room = rooms.GetRoom("Cellar");
    personages.ActivatePersonage("Marivel");
    personages.SetCurrentPersonage("Marivel");
    const std::vector<std::function<void()>> steps{[&] { owner.message = false; },
                                                   [&] { personages.SetCurrentPersonage("Quennick"); },
                                                   [&] { owner.room = rooms.GetRoom("Hall"); },
                                                   [&] { owner.historyEmpty = true; }};
    for (const auto& meet : steps) {
        EXPECT_FALSE(ready(m, "steps"));
        meet();
    }
    EXPECT_TRUE(ready(m, "steps"));
    owner.message = true;
    EXPECT_FALSE(ready(m, "steps"));
}

TEST_F(PersonagesTest, EventWinItems)
{
    load();
    CSpyEventsManager& m = events("[EventBase]\nEventName = task\nWinItemsList = !@Quennick:Hall:TASK\n"
                                  "[EventBase]\nEventName = ispy\nWinItemsList = @Quennick:Hall:ISPY\n"
                                  "[EventBase]\nEventName = counts\nWinItemsList = @Quennick:Hall:key @Quennick:Hall:vase\n"
                                  "[EventBase]\nEventName = items\nWinItemsList = Hall:vase, Hall:nothing\n"
                                  "[EventBase]\nEventName = stranger\nWinItemsList = @Nobody:Hall:vase\n"
                                  "[EventBase]\nEventName = bare\nWinItemsList = !@Quennick\n");
    EXPECT_TRUE(ready(m, "task") && !ready(m, "ispy"));
    for (CFindItemsGroup& line : hall().ispyList)
        line.toFind = 0;
    EXPECT_TRUE(ready(m, "ispy"));
    for (CFindItemsGroup& line : hall().taskList)
        line.toFind = 0;
    EXPECT_FALSE(ready(m, "task"));

    // Interactions for an item, uses for an item used on itself.
    CPersonage& q = quennick();
    q.itemInfos.at(CSpyItemRef("vase", "Hall")).curUseTo = {CSpyItemRef("ONESELF", "")};
    q.GetItemAbout(CSpyItemRef("key", "Hall"));
    q.GetItemAbout(CSpyItemRef("vase", "Hall"));
    EXPECT_FALSE(ready(m, "counts"));
    q.OnClickAtFocusedItem(CSpyItemRef("vase", "Hall"));
    EXPECT_TRUE(ready(m, "counts"));

    // Items: fulfilled, or passed over when missing; an unknown personage
    // makes an item test, logged once.
    EXPECT_FALSE(ready(m, "items") || ready(m, "stranger"));
    rooms.GetItem("Hall", "vase")->MarkAction(CSpyItem::ActionClick);
    EXPECT_TRUE(ready(m, "items") && ready(m, "stranger"));
    EXPECT_EQ(log->count("no personage 'Nobody'; 'Hall:vase' is tested as an item"), 1u);

    // '@' without ':': the name runs to the end and nothing is left to test.
    const CSpyEventBase::WinItem& bare = event(m, "bare").GetWinItems().at(0);
    EXPECT_EQ(bare.personage, "Quennick");
    EXPECT_EQ(bare.item, CSpyItemRef());
    EXPECT_TRUE(ready(m, "bare"));
}

TEST_F(PersonagesTest, EventVisibilityAndFindAllRooms)
{
    load(CPersonagesManager::kFindAllCase, true);
    const std::string text = "[EventBase]\nEventName = win\nWinItemsList = Attic:chest\n"
                             "[EventBase]\nEventName = task\nWinItemsList = @Quennick:Attic:TASK\n"
                             "[EventBase]\nEventName = seen\nVisibilityItems = Attic:chest\n"
                             "[EventBase]\nEventName = bare\nVisibilityItems = chest\n"
                             "[EventBase]\nEventName = shown\nVisibilityItems = Hall:vase !Hall:lamp\n"
                             "[EventBase]\nEventName = fa\nWinItemsList = @Quennick:Hall:ISPYFA\n";
    // Find All: a room not loaded yet holds the entry back, unmarked and unlogged.
    owner.findAll = true;
    CSpyEventsManager& fa = events(text);
    EXPECT_FALSE(ready(fa, "win") || ready(fa, "task") || ready(fa, "seen") || event(fa, "seen").IsDone());
    EXPECT_EQ(log->count("not exist"), 0u);
    // An entry with no room keeps the rule: a missing item marks the event done.
    EXPECT_FALSE(ready(fa, "bare"));
    EXPECT_TRUE(event(fa, "bare").IsDone());
    EXPECT_EQ(log->count("CSpyEventBase::CheckVisibilityItems(). Item 'chest' not exist!"), 1u);
    EXPECT_FALSE(ready(fa, "shown"));
    rooms.GetItem("Hall", "lamp")->SetVisible(false);
    EXPECT_TRUE(ready(fa, "shown"));

    // ISPYFA: never drawn, drawn with pool lines left, exhausted.
    EXPECT_FALSE(ready(fa, "fa"));
    quennick().GenISpyTaskInRoom("Hall", 3, true, false);
    for (CFindItemsGroup& line : hall().ispyList)
        line.toFind = 0;
    EXPECT_FALSE(ready(fa, "fa"));
    personages.GetISpyPool("Hall")->clear();
    EXPECT_TRUE(ready(fa, "fa"));

    // A story game: the missing item passes, the personage has no info for
    // the room, the missing visibility item is marked done, also across a save.
    owner.findAll = false;
    CSpyEventsManager& story = events(text);
    EXPECT_TRUE(ready(story, "win") && ready(story, "task") && !ready(story, "seen"));
    const Blocks saved = save(story);
    story.ResetEvents("caseP");
    ASSERT_TRUE(restore(story, saved));
    EXPECT_TRUE(event(story, "seen").IsDone());
}

TEST_F(PersonagesTest, EventKindsFromTheirKeys)
{
    load();
    CSpyEventsManager& m = events(test_env::readFile(test_env::sourceDir() +
                                                     "/tests/game/SpyGame/PersonGame/Events/kinds.ini"));
    const Names kinds{"AddISpyToTask",   "AddScore",           "ChangePersonageInfo", "ChangePersonages",
                      "ChangeVisibleTasks", "DelFromInventory", "EventForComics",      "EventForItem",
                      "FAFinish",        "InvestigationClose", "InvestigationWin",    "JumpToRoom",
                      "LocationFinish",  "MagicStarsChanger",  "MHFinish",            "NpcItemIdent",
                      "PersonagesDialog", "PlayFlash",         "PuzzleComplete",      "SearchFinish",
                      "SetTaskCompleted", "ShowMessage",       "EventBase"};
    const auto& all = m.GetEvents();
    ASSERT_EQ(all.size(), kinds.size() + 3);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(all[i]->GetClassName(), kinds[i]);
        EXPECT_FALSE(CSpyEventFactory::Register<CSpyEventBase>(kinds[i])) << kinds[i];
    }
    // Members: lists, the SendItemsList records, the item copy, defaults
    // (DisableOnMap and ChangePersonages' IsGoToMap true, other flags false).
    using namespace SpyEvents;
    const auto at = [&all](std::size_t i) { return all[i].get(); };
    const auto& change = *dynamic_cast<EChangePersonages*>(at(3));
    EXPECT_EQ(change.QuitPersonages.front() + change.NewPersonages.front() + change.SendFinishedTasks.front() +
                  change.TextIdPrefix + change.Ringtone,
              "QuennickMarivelvasecallring");
    ASSERT_EQ(change.SendItems.size(), 1u);
    EXPECT_EQ(change.SendItems[0].source + change.SendItems[0].target + change.SendItems[0].task, "QuennickMarivelkey");
    for (const char* bad : {"broken", "A:B", "Marivel>Quennick:lamp"})
        EXPECT_EQ(log->count(std::string("EChangePersonages::ReadFromIniFile(). Error in expression: ") + bad), 1u);
    const auto& item = *dynamic_cast<EEventForItem*>(at(7));
    EXPECT_EQ(item.NPC_Image + item.TextId + item.HideItem + item.ShowItem + std::to_string(item.AddScore),
              "npct8Hall:vaseHall:lamp7");
    const auto& npc = *dynamic_cast<ENpcItemIdent*>(at(15));
    EXPECT_EQ(npc.Item + npc.ShowItem + npc.OpenItem, "Hall:keyHall:lampHall:vase");
    EXPECT_EQ(dynamic_cast<EPersonagesDialog*>(at(16))->DialogWithPersonages, (Names{"Quennick", "Marivel", "Quennick"}));
    EXPECT_EQ(dynamic_cast<EAddISpyToTask*>(at(0))->ISpyCount + dynamic_cast<EAddScore*>(at(1))->AddScore, 3 - 5);
    const auto& fa = *dynamic_cast<EFAFinish*>(at(8));
    const auto& win = *dynamic_cast<EInvestigationWin*>(at(10));
    const auto& jump = *dynamic_cast<EJumpToRoom*>(at(11));
    const auto& location = *dynamic_cast<ELocationFinish*>(at(12));
    const auto& stars = *dynamic_cast<EMagicStarsChanger*>(at(13));
    EXPECT_TRUE(change.IsGoToMap && fa.IsGoToMap && fa.IsNotInCloseUp() && win.IsEndGame && !win.IsGoToMap &&
                jump.BackDisable && !jump.MapDisable && location.DisableOnMap && !location.HideOnMap &&
                stars.ShowStars && stars.AddScore == 0 && !dynamic_cast<EMHFinish*>(at(14))->IsGoToMap &&
                npc.IsDelItem && dynamic_cast<EPuzzleComplete*>(at(18))->Visible);
    // The usage modes the kinds set.
    using Base = CSpyEventBase;
    const std::vector<std::tuple<std::size_t, Base::Key, std::uint32_t>> modes{
        {2, Base::KeyWaitCloseMessage, 0}, {8, Base::KeyLocation, 2},     {8, Base::KeyNotInCloseUp, 0},
        {9, Base::KeyPersonage, 0},        {9, Base::KeyLocation, 0},     {10, Base::KeyNotInCloseUp, 0},
        {13, Base::KeyWaitCloseMessage, 0}, {15, Base::KeyItemInInventory, 2}, {18, Base::KeyItemInInventory, 0}};
    for (const auto& [index, which, mode] : modes)
        EXPECT_EQ(at(index)->GetUsage(which), mode) << kinds[index] << " " << which;

    // Bad variants: the missing key named with the kind, defaults kept; wrong sections skipped.
    EXPECT_EQ(dynamic_cast<EShowMessage*>(at(23))->TextId, "");
    EXPECT_EQ(dynamic_cast<EFAFinish*>(at(24))->GetLocation(), "");
    EXPECT_EQ(dynamic_cast<ENpcItemIdent*>(at(25))->Item, "");
    for (const char* line : {"not found required key 'TextId' in event 'ShowMessage'!",
                             "not found required key 'Location' in event 'FAFinish'!",
                             "not found required key 'ItemInInventory' in event 'NpcItemIdent'!",
                             "warning, key 'NotInCloseUp' in event 'FAFinish' not used.",
                             "warning, key 'WaitCloseMessage' in event 'ChangePersonageInfo' not used.",
                             "not find class for event 'showmessage'", "not find class for event 'Nonsense'",
                             "event with name 'message' already exist!"})
        EXPECT_EQ(log->count(line), 1u) << line;
    EXPECT_EQ(log->count("Event system:"), 5u);
}

TEST_F(PersonagesTest, EventsManagerOrderRecordAndReset)
{
    load();
    CSpyEventsManager& m = events("[ShowMessage]\nEventName = a\nTextId = x\n[Unknown]\n"
                                  "[ShowMessage]\nEventName = a\nTextId = y\n[EventBase]\nVisibilityItems = Hall:ghost\n");
    ASSERT_EQ(m.GetEvents().size(), 3u);
    CSpyEventsManager none;  // no owner: nothing is read
    none.AddEvents(path("events0.ini"));
    EXPECT_TRUE(none.GetEvents().empty());
    EXPECT_EQ(log->count("Investigation 'caseP', not find class for event 'Unknown'"), 1u);
    // Both events named a fire in turn; the first is the one found by name.
    EXPECT_EQ(dynamic_cast<SpyEvents::EShowMessage&>(event(m, "a")).TextId, "x");
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(m.GetReadyEvent(), m.GetEvents()[i].get());
        m.GetEvents()[i]->SetDone();
    }
    // None ready: the current event stays; done events are not asked again.
    EXPECT_TRUE(!m.GetReadyEvent() && !m.GetReadyEvent());
    EXPECT_EQ(log->count("Item 'Hall:ghost' not exist!"), 1u);
    EXPECT_EQ(m.GetCurrentEvent(), m.GetEvents()[1].get());
    EXPECT_EQ(save(m)[key("caseP")], (Bytes{3, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0}));

    // Five events saved, three here: which is which is not known; refused.
    CSpyEventsManager& five = events("[EventBase]\n[EventBase]\n[EventBase]\n[EventBase]\n[EventBase]\n");
    for (std::size_t i = 0; i < 4; ++i)
        five.GetEvents()[i]->SetDone();
    five.GetReadyEvent();
    const Blocks fiveSaved = save(five);
    m.ResetEvents("caseP");
    EXPECT_EQ(save(m)[key("caseP")], (Bytes{3, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(restore(m, fiveSaved));
    EXPECT_EQ(log->count("CSpyEventsManager::LoadSelf(). Saved events difference!"), 1u);
    EXPECT_FALSE(m.GetEvents()[2]->IsDone());
    // A count the block does not hold, or a current event past the count:
    // refused, nothing read.
    for (const Bytes& bytes : {Bytes{0xF0, 0xFF, 0xFF, 0xFF, 1, 1, 1, 0, 0, 0, 0}, Bytes{2, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0},
                               Bytes{3, 0, 0, 0, 1, 1, 1, 3, 0, 0, 0}}) {
        m.ResetEvents("caseP");
        EXPECT_FALSE(restore(m, {{key("caseP"), bytes}}));
        EXPECT_FALSE(m.GetEvents()[0]->IsDone());
    }
    EXPECT_EQ(log->count("'CSpyEventsManager : caseP': the record is damaged; the flags stay"), 3u);
    ASSERT_TRUE(restore(m, {{key("caseP"), Bytes{3, 0, 0, 0, 1, 1, 1, 2, 0, 0, 0}}}));
    EXPECT_EQ(m.GetCurrentEvent(), m.GetEvents()[2].get());
}

TEST_F(PersonagesTest, RoomEventsSavedWithTheRoomsManager)
{
    load();
    EXPECT_EQ(rooms.GetRoom("Hall")->GetEventsManager().GetEvents().size(), 2u);
    // A room loaded once for all cases is never reset: keyed at its load all the same.
    const std::string global = "gamedata:_Locations/Global/Board";
    rooms.AddRoom("Board", global, &owner)->GetEventsManager().GetEvents().at(0)->SetDone();
    event(rooms.GetRoom("Hall")->GetEventsManager(), "later").SetDone();
    const Blocks saved = save(rooms);
    rooms.RemoveRoom("Board");
    CRoomBase* board = rooms.AddRoom("Board", global, &owner);
    ASSERT_TRUE(restore(rooms, saved));
    EXPECT_TRUE(board->GetEventsManager().GetEvents().at(0)->IsDone());

    // A listed room not loaded: its events' block is parked, saved again as
    // it is, and applied at the room's reset once it is loaded.
    rooms.RemoveRoom("Hall");
    ASSERT_TRUE(restore(rooms, saved));
    EXPECT_TRUE(rooms.HasParkedEvents("Hall"));
    ASSERT_TRUE(restore(rooms, save(rooms)));
    CRoomBase* hall = rooms.AddRoom("Hall", std::string(kCase) + "Hall", &owner);
    const CSpyEventsManager& events = hall->GetEventsManager();
    EXPECT_FALSE(event(events, "later").IsDone());
    hall->Reset();
    EXPECT_TRUE(event(events, "later").IsDone() && !event(events, "entered").IsDone());
    EXPECT_FALSE(rooms.HasParkedEvents("Hall"));

    // A room named as its case: its block and the case's would share a key.
    owner.name = "Library";
    rooms.RemoveRoom("Library");
    rooms.AddRoom("Library", std::string(kCase) + "Library", &owner);
    EXPECT_EQ(log->count("room 'Library' bears its case's name"), 1u);
}
