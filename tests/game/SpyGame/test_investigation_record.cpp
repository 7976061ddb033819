// The investigation's save record on the bench: exact bytes, the round
// trip, what loading restores, and refused cuts.
#include <algorithm>
#include <cstring>
#include <set>

#include "game/shell/save_load_system.h"
#include "fuzz/fuzz_support.h"
#include "support/save_blocks.h"
#include "play_bench.h"
#include "test_env.h"

using namespace invtest;

namespace {

class InvestigationRecord : public PlayTest {
protected:
    void SetUp() override
    {
        PlayTest::SetUp();
        if (HasFatalFailure())
            return;
        startCase();
        path = test_env::home() + "/inv.save";
    }
    // Saves the investigation with its children; the record's bytes.
    std::vector<std::uint8_t> save()
    {
        SaveLoadSystem system;
        EXPECT_TRUE(system.BeginSave(path, 4374));
        EXPECT_TRUE(system.SaveEntity(inv.get()));
        EXPECT_TRUE(system.Finish());
        const std::string file = test_env::readFile(path);
        std::vector<std::uint8_t> payload(file.begin() + 24, file.end());
        SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
        std::vector<std::uint8_t> record;
        children.clear();
        childBlocks = 0;
        bool found = false;
        for (std::size_t at = 0; at < payload.size();) {
            const std::size_t begin = at;
            const std::string key(reinterpret_cast<const char*>(payload.data() + at));
            at += key.size() + 1;
            std::uint32_t length = 0;
            std::memcpy(&length, payload.data() + at, 4);
            at += 4;
            if (key == inv->GetKey()) {
                record.assign(payload.begin() + long(at), payload.begin() + long(at + length));
                found = true;
            } else {
                children.insert(children.end(), payload.begin() + long(begin), payload.begin() + long(at + length));
                ++childBlocks;
            }
            at += length;
        }
        if (!found)
            ADD_FAILURE() << "no block " << inv->GetKey();
        return record;
    }
    bool load()
    {
        SaveLoadSystem system;
        if (!system.BeginLoad(path, 4374))
            return false;
        const bool loaded = system.LoadEntity(inv.get());
        system.Finish();
        return loaded;
    }
    // The children's blocks of the last save and the investigation's
    // block holding the record.
    bool loadRecord(const std::vector<std::uint8_t>& record)
    {
        std::vector<std::uint8_t> payload = children;
        save_blocks::append(payload, inv->GetKey(), record);
        return save_blocks::load(*inv, std::move(payload), childBlocks + 1, "cut");
    }
    void setFields()
    {
        inv->previousState = InvState::Play;
        inv->state = InvState::InGameMenu;
        play().mapLocation = "Study";
        inv->history = {room("Wide")};
        inv->fadeAlpha = 0.5f;
        inv->mapEnabled = 1;
        const std::uint32_t counters[4] = {1, 2, 3, 4};
        std::memcpy(play().taskCounters, counters, sizeof counters);
        play().randomClickingShown = 1;
        play().useHintsTipShown = 0;
        inv->faTutorialPending = 1;
        inv->findAllHintsUsed = 7;
        play().marivelCommentShown = 1;
        play().introTextPending = 0;
    }
    std::string path;
    // Every block of the last save but the investigation's.
    std::vector<std::uint8_t> children;
    std::uint32_t childBlocks = 0;
};

void u32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

void str(std::vector<std::uint8_t>& out, const std::string& s)
{
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

} // namespace

TEST_F(InvestigationRecord, ExactBytesAndTheRoundTrip)
{
    setFields();
    std::vector<std::uint8_t> expected;
    u32(expected, 29);
    u32(expected, 5);
    str(expected, "Study");
    str(expected, "Hall");
    for (std::uint8_t b : {0x00, 0x00, 0x00, 0x3F})  // 0.5f
        expected.push_back(b);
    expected.push_back(1);
    expected.push_back(0);
    str(expected, "");
    u32(expected, 1);
    str(expected, "Wide");
    for (std::uint32_t c : {1u, 2u, 3u, 4u})
        u32(expected, c);
    for (std::uint8_t b : {1, 0, 1})
        expected.push_back(b);
    u32(expected, 7);
    expected.push_back(1);
    expected.push_back(0);
    const std::vector<std::uint8_t> bytes = save();
    EXPECT_EQ(bytes, expected);

    // Back on a new game: every field, the timers and the count zeroed.
    inv->ResetForStart(false);
    play().idleTimer = play().skipTimer = 5.0f;
    inv->clickAges = {0.5f, 0.1f};
    ASSERT_TRUE(load());
    EXPECT_EQ(inv->GetState(), InvState::InGameMenu);
    EXPECT_EQ(inv->GetPreviousState(), InvState::Play);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Wide")});
    EXPECT_EQ(play().mapLocation, "Study");
    EXPECT_EQ(inv->fadeAlpha, 0.5f);
    EXPECT_EQ(inv->findAllHintsUsed, 7u);
    EXPECT_EQ(play().randomClickingShown, 1);
    EXPECT_EQ(play().marivelCommentShown, 1);
    EXPECT_EQ(play().introTextPending, 0);
    EXPECT_EQ(play().idleTimer + play().skipTimer, 0.0f);
    EXPECT_TRUE(inv->clickAges.empty());
    EXPECT_EQ(save(), expected);
}

TEST_F(InvestigationRecord, MapNoRoomAndStatesThatCannotResume)
{
    // On the map with an empty history; no room is one NUL.
    inv->GoToMap();
    std::vector<std::uint8_t> bytes = save();
    inv->currentRoom = nullptr;
    inv->state = InvState::Ready;
    bytes = save();
    const std::size_t roomAt = 8 + play().mapLocation.size() + 1;
    EXPECT_EQ(bytes[roomAt], 0);
    ASSERT_TRUE(load());
    EXPECT_EQ(inv->GetCurrentRoom(), nullptr);
    EXPECT_TRUE(inv->history.empty());
    EXPECT_EQ(inv->GetState(), InvState::Ready);

    // States the record cannot carry on become 4, logged.
    for (std::uint32_t state : {InvState::PickItem, InvState::Flash, InvState::Paused, InvState::GoBack}) {
        inv->currentRoom = room("Hall");
        inv->state = state;
        save();
        logged("");
        ASSERT_TRUE(load());
        EXPECT_EQ(inv->GetState(), InvState::Ready) << state;
        EXPECT_EQ(logged("cannot be resumed"), 1u);
    }
    // The menu over a board resumes; over a dialog it does not.
    inv->currentRoom = room("Hall");
    inv->state = InvState::InGameMenu;
    inv->previousState = InvState::Map;
    save();
    ASSERT_TRUE(load());
    EXPECT_EQ(inv->GetState(), InvState::InGameMenu);
    inv->state = InvState::InGameMenu;
    inv->previousState = InvState::PickItem;
    save();
    ASSERT_TRUE(load());
    EXPECT_EQ(inv->GetState(), InvState::Ready);
}

TEST_F(InvestigationRecord, MissingRoomsAndFindAll)
{
    setFields();
    inv->history = {room("Hall"), room("Wide")};
    std::vector<std::uint8_t> bytes = save();
    // The history's first name spelled as a room that does not exist, or
    // the record of another mode: refused, the case as a new game set it.
    const std::string hall = "Hall";
    auto at = std::search(bytes.begin() + 8, bytes.end(), hall.begin(), hall.end());
    at = std::search(at + 1, bytes.end(), hall.begin(), hall.end());
    ASSERT_NE(at, bytes.end());
    *at = 'X';
    inv->ResetForStart(false);
    logged("");
    EXPECT_FALSE(loadRecord(bytes));
    EXPECT_TRUE(inv->history.empty());
    EXPECT_EQ(logged("does not fit the case: a room of its history"), 1u);
    *at = 'H';
    const std::size_t findAllAt = 8 + 6 + 5 + 4 + 1;
    ASSERT_EQ(bytes[findAllAt], 0);
    bytes[findAllAt] = 1;
    EXPECT_FALSE(loadRecord(bytes));
    EXPECT_EQ(logged("does not fit the case: its mode"), 1u);

    // Find All saved in a room not loaded now: pending, state 35, no log.
    setFields();
    inv->currentRoom = room("Hall");
    play().findAll = 1;
    for (const auto& personage : personages->GetPersonages())
        personage->investigationInfo.findAllMode = 1;
    inv->state = InvState::Play;
    bytes = save();
    rooms->RemoveRoom("Hall");
    logged("");
    ASSERT_TRUE(loadRecord(bytes));
    EXPECT_EQ(inv->GetCurrentRoom(), nullptr);
    EXPECT_EQ(inv->GetState(), InvState::RoomToLoad);
    EXPECT_EQ(inv->GetPreviousState(), InvState::Play);
    EXPECT_EQ(inv->pendingRoom, "Hall");
    EXPECT_EQ(logged("Cannot find room"), 0u);
}

TEST_F(InvestigationRecord, EveryCutIsRefused)
{
    setFields();
    const std::vector<std::uint8_t> bytes = save();
    inv->ResetForStart(false);
    const std::uint32_t state = inv->GetState();
    const float fade = inv->fadeAlpha;
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_FALSE(loadRecord(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + long(cut)))) << cut;
        EXPECT_EQ(inv->GetState(), state);
        EXPECT_EQ(inv->fadeAlpha, fade);
        EXPECT_TRUE(inv->history.empty());
    }
    EXPECT_TRUE(loadRecord(bytes));
}

TEST_F(InvestigationRecord, HuntModesOnLoad)
{
    huntCard("Study", CMurderHunt::NotBegun);
    CMurderHunt::Card& card = *hunt->GetCard(0);
    CSpyItem* container = room("Study")->GetItem("MH_CONTAINER");
    struct Case {
        const char* room;
        std::uint8_t cardState;
        bool visible;
        std::int32_t mode;
    };
    const Case cases[] = {
        {"Study", 1, true, 0}, {"Study", 2, true, 1}, {"Study", 2, false, 2}, {"Hall", 2, true, 1},
        {"Hall", 2, false, 2}, {"Study", 3, true, 3}, {"Study", 0, true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.room) + " " + std::to_string(c.cardState));
        card.state = c.cardState;
        container->SetVisible(c.visible);
        inv->currentRoom = room(c.room);
        inv->state = InvState::Ready;
        panel->SetMode(-7);
        save();
        ASSERT_TRUE(load());
        EXPECT_EQ(panel->GetMode(), c.mode);
    }
    // A card room without the container counts as hidden.
    card.cardRoom = "Wide";
    card.state = 2;
    inv->currentRoom = room("Wide");
    save();
    ASSERT_TRUE(load());
    EXPECT_EQ(panel->GetMode(), 2);
}

TEST_F(InvestigationRecord, ASaveWithoutAPartTheCaseNeedsIsRefusedUnread)
{
    setFields();
    const std::vector<std::uint8_t> record = save();
    // The save file again, less the blocks named.
    auto writeWithout = [&](const std::set<std::string>& left) {
        std::vector<std::uint8_t> payload;
        std::uint32_t blocks = 1;
        for (std::size_t at = 0; at < children.size();) {
            const std::string key(reinterpret_cast<const char*>(children.data() + at));
            std::uint32_t length = 0;
            std::memcpy(&length, children.data() + at + key.size() + 1, 4);
            if (!left.count(key)) {
                save_blocks::append(payload, key, children.data() + at + key.size() + 5, length);
                ++blocks;
            }
            at += key.size() + 5 + length;
        }
        save_blocks::append(payload, inv->GetKey(), record);
        const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, 4374, blocks);
        test_env::writeFile(path, std::string(file.begin(), file.end()));
    };
    inv->ResetForStart(false);
    const std::uint32_t state = inv->GetState();

    writeWithout({"<Personage:Marivel"});
    logged("");
    EXPECT_FALSE(load());
    EXPECT_EQ(logged("Save '" + path + "' has no block '<Personage:Marivel'; the case cannot be restored from it"), 1u);
    EXPECT_TRUE(SaveLoadSystem::KeepsAsideBeforeSave(path));
    EXPECT_EQ(inv->GetState(), state);
    EXPECT_EQ(inv->fadeAlpha, 1.0f);
    EXPECT_EQ(inv->findAllHintsUsed, 0u);

    writeWithout({"<SpyGameInterface>", "<PersonagesManager>", "<RoomsManager>", "CSpyEventsManager : caseA"});
    EXPECT_FALSE(load());
    EXPECT_EQ(logged("the case cannot be restored from it"), 4u);
    EXPECT_EQ(inv->GetState(), state);

    // What the case plays on without starts afresh, logged.
    writeWithout({"<DialogMessage>", "<TipEvents>", "<tip_manager>"});
    logged("");
    EXPECT_TRUE(load());
    EXPECT_EQ(logged("' has no block '<"), 3u);
    EXPECT_EQ(inv->findAllHintsUsed, 7u);
}

namespace {

// Counts the reads of its record.
class CountingInvestigation : public CInvestigation {
public:
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        ++reads;
        return CInvestigation::LoadSelf(system, pos);
    }
    int reads = 0;
};

} // namespace

// The fuzz target's seeds, loaded as the target loads them: each that holds
// the events block reaches the record's reader (a cut record too, which it
// then refuses), and one without it is refused before the reader runs. A
// required block the seeds lack would leave the reader unfuzzed.
TEST(InvestigationRecordSeeds, ReachTheReaderUnlessABlockIsMissing)
{
    const std::string folder = test_env::sourceDir() + "/tests/fuzz/seeds/investigation_record";
    int reached = 0, refused = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string seed = test_env::readFile(entry.path().string());
        const auto parts = fuzz::splitParts(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size(), "\n@@\n");
        CountingInvestigation investigation;
        investigation.SetKey(std::string(CInvestigation::kKeyPrefix) + "fuzz");
        investigation.GetEvents().ResetEvents("fuzz");
        save_blocks::loadParts(investigation, parts, "seed");
        const bool hasEvents = seed.find(std::string("\n@@\nCSpyEventsManager : fuzz") + '\0') != std::string::npos;
        EXPECT_EQ(investigation.reads, hasEvents ? 1 : 0) << entry.path();
        (hasEvents ? reached : refused) += 1;
    }
    EXPECT_GE(reached, 4);
    EXPECT_EQ(refused, 1);
}
