// Item references, the class registry, and the test location on the
// recording device: loading, hit tests, the kinds over stepped time,
// companions and holders, reset, records and magic stars.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_particle_system.h"
#include "engine/util/a_string.h"
#include "engine/util/text_test_log.h"
#include "game/SpyGame/items/SpyItemRef.h"
#include "game/SpyGame/items/objects/SpyObjectKinds.h"
#include "game/shell/save_test_entity.h"
#include "items_fixture.h"
#include "test_image_fixture.h"

using itemtest::TestRoom;

namespace {

constexpr std::uint32_t kVersion = 4374;

std::string savePath() { return test_env::home() + "/items.save"; }

// The record bytes one writer makes as the block of an entity.
std::vector<std::uint8_t> saveRecord(const TestEntity::Writer& writer)
{
    TestEntity owner("<room>");
    owner.save = writer;
    SaveLoadSystem system;
    system.BeginSave(savePath(), kVersion);
    EXPECT_TRUE(system.SaveEntity(&owner));
    EXPECT_TRUE(system.Finish());
    const std::string text = test_env::readFile(savePath());
    std::vector<std::uint8_t> payload(text.begin() + SaveLoadSystem::kHeaderSize, text.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    const std::size_t header = std::string("<room>").size() + 1 + 4;
    return std::vector<std::uint8_t>(payload.begin() + std::ptrdiff_t(header), payload.end());
}

// Reads record bytes with the reader; false when the block was refused.
bool loadRecord(const std::vector<std::uint8_t>& record, const TestEntity::Writer& reader)
{
    std::vector<std::uint8_t> payload = {'<', 'r', 'o', 'o', 'm', '>', 0};
    for (int i = 0; i < 4; ++i)
        payload.push_back(std::uint8_t(record.size() >> (8 * i)));
    payload.insert(payload.end(), record.begin(), record.end());
    const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, kVersion, 1);
    test_env::writeFile(savePath(), std::string(file.begin(), file.end()));
    TestEntity owner("<room>");
    owner.load = reader;
    SaveLoadSystem system;
    EXPECT_TRUE(system.BeginLoad(savePath(), kVersion));
    const bool loaded = system.LoadEntity(&owner);
    system.Finish();
    return loaded;
}

struct Shape {
    virtual ~Shape() = default;
};
struct Circle : Shape {};
struct Colour {
    virtual ~Colour() = default;
};

class ItemsTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "ItemsTest"; }
    std::uint16_t screenWidth() const override { return 640; }
    std::uint16_t screenHeight() const override { return 480; }

    void SetUp() override
    {
        RecordingTest::SetUp();
        room = std::make_unique<TestRoom>(test_env::home() + "/TestRoom/");
        loadLog = newLog();
    }
    void TearDown() override
    {
        room.reset();
        RecordingTest::TearDown();
    }

    CSpyItem& item(const std::string& name) { return room->item(name); }
    CSpyItemManager& items() { return *room->items; }
    bool logged(const std::string& text) const { return loadLog.find(text) != std::string::npos; }
    // Advances the room in steps of 1/100 s.
    void step(float seconds)
    {
        for (int i = 0; i < int(std::lround(seconds * 100.0f)); ++i)
            items().Update(0.01f);
    }

    std::unique_ptr<TestRoom> room;
    std::string loadLog;
};

} // namespace

TEST(ItemRef, ParseTextOrderAndRecord)
{
    const CSpyItemRef abc = CSpyItemRef::Parse("a:b:c");
    EXPECT_EQ(abc.room, "a");
    EXPECT_EQ(abc.name, "b:c");
    const CSpyItemRef x = CSpyItemRef::Parse("x");
    EXPECT_EQ(x.name, "x");
    EXPECT_EQ(x.room, "");
    EXPECT_EQ(x.ToString(), ":x");
    EXPECT_EQ(abc.ToString(), "a:b:c");
    // Room first, then name, byte by byte (0xC0 sorts after 'z').
    EXPECT_TRUE(CSpyItemRef("z", "a") < CSpyItemRef("a", "b"));
    EXPECT_TRUE(CSpyItemRef("a", "r") < CSpyItemRef("b", "r"));
    EXPECT_TRUE(CSpyItemRef("z", "r") < CSpyItemRef("\xC0", "r"));
    EXPECT_FALSE(CSpyItemRef("a", "r") < CSpyItemRef("a", "r"));

    const CSpyItemRef key("key", "Garden");
    const auto bytes = saveRecord([&](SaveLoadSystem& s, std::uint32_t pos) { return key.Save(s, pos); });
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("key\0Garden\0", 11));
    CSpyItemRef back;
    EXPECT_TRUE(loadRecord(bytes, [&](SaveLoadSystem& s, std::uint32_t pos) { return back.Load(s, pos); }));
    EXPECT_EQ(back, key);
    // Cut inside the room: the block is refused.
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.end() - 3);
    CSpyItemRef partial;
    EXPECT_FALSE(loadRecord(cut, [&](SaveLoadSystem& s, std::uint32_t pos) { return partial.Load(s, pos); }));
}

TEST(ObjFactory, RegistrationLookupAndSeparateRegistries)
{
    TestLog log;
    EXPECT_TRUE(aObjFactory<Shape>::Register<Circle>("Circle"));
    EXPECT_FALSE(aObjFactory<Shape>::Register<Shape>("Circle"));  // taken: unchanged
    EXPECT_NE(dynamic_cast<Circle*>(aObjFactory<Shape>::Create("Circle").get()), nullptr);
    EXPECT_EQ(aObjFactory<Shape>::Create("circle"), nullptr);  // exact case
    EXPECT_EQ(log.count("aObjFactory<"), 1u);
    EXPECT_EQ(log.count("aObjFactory<(anonymous namespace)::Shape>::Create(). Unknown class: circle"), 1u);
    // Another instantiation has a registry of its own.
    EXPECT_FALSE(aObjFactory<Colour>::IsRegistered("Circle"));
    EXPECT_TRUE(aObjFactory<Colour>::Register<Colour>("Circle"));
    EXPECT_NE(dynamic_cast<Circle*>(aObjFactory<Shape>::Create("Circle").get()), nullptr);

    // The game's kinds; a second registration changes nothing.
    RegisterItemKinds();
    RegisterObjectKinds();
    RegisterItemKinds();
    for (const char* kind : {"Item", "Box", "Container", "Door", "Heap"})
        EXPECT_TRUE(CSpyItemFactory::IsRegistered(kind)) << kind;
    for (const char* kind : {"Image", "Anim", "AdvAnim", "Particle", "TextLine", "Text", "Video"})
        EXPECT_TRUE(CSpyObjectFactory::IsRegistered(kind)) << kind;
    EXPECT_NE(dynamic_cast<CSpyHeap*>(CSpyItemFactory::Create("Heap").get()), nullptr);
    EXPECT_NE(dynamic_cast<CSpyObjText*>(CSpyObjectFactory::Create("Text").get()), nullptr);
}

TEST_F(ItemsTest, LoadingTheTestLocation)
{
    // Kinds and their defaults.
    EXPECT_EQ(item("soft").GetClassName(), "Item");
    EXPECT_TRUE(dynamic_cast<CSpyDoor*>(&item("door_cu")));
    EXPECT_FALSE(item("soft").IsPickable());
    EXPECT_EQ(item("soft").GetWinMask(), CSpyItem::ActionClick);
    EXPECT_TRUE(item("coin_1").IsPickable());
    EXPECT_EQ(item("coin_1").GetWinMask(), CSpyItem::ActionPick);
    EXPECT_TRUE(item("key").IsPickable() && item("key").IsInventoryItem());
    EXPECT_EQ(item("chest").GetWinMask(), CSpyItem::ActionOpen);
    EXPECT_EQ(item("pearl").GetWinMask(), CSpyItem::ActionUse);
    EXPECT_EQ(item("chest").GetVisualState(), "closed");
    EXPECT_EQ(item("door_garden").GetVisualState(), "");
    EXPECT_TRUE(room->as<CSpyDoor>("door_cu").IsLocked());
    EXPECT_EQ(item("coin_1").GetDiffLevel(), 1);
    EXPECT_EQ(item("coin_2").GetDiffLevel(), 0);
    EXPECT_EQ(item("feather_2").GetDiffLevel(), 2);
    EXPECT_TRUE(logged("File '" + room->dir + "items.ini' [feather_2]: DiffLevel 7 clamped to 0-2"));
    EXPECT_EQ(item("coin_1").IsISpyItem(), 1);
    EXPECT_EQ(item("letter").GetClickAction(), CSpyItem::ActionHelp);
    EXPECT_EQ(item("letter").GetHelpText(), "help_letter");
    EXPECT_TRUE(item("letter").HasExtraHint());
    EXPECT_FALSE(item("soft").HasExtraHint());
    EXPECT_FALSE(item("hidden").IsVisible());
    EXPECT_FALSE(item("coin_1").IsTaken());
    EXPECT_EQ(item("soft").GetItemRef(), CSpyItemRef("soft", "TestRoom"));
    // Contents wait for their holder.
    EXPECT_FALSE(item("coin_3").IsVisible());
    EXPECT_FALSE(item("feather_2").IsVisible());
    EXPECT_TRUE(item("coin_1").IsVisible());
    EXPECT_TRUE(logged("[door_nowhere]: a Door with neither Target nor CloseUp acts as a plain item"));
    EXPECT_EQ(item("door_nowhere").Click(), CSpyItem::ResultNone);

    // Duplicates and unknown classes; the first section stays.
    EXPECT_TRUE(logged("[soft]: a second section of that name, skipped"));
    float x = 0.0f, y = 0.0f;
    item("soft").GetPos(x, y);
    EXPECT_EQ(x, 100.0f);
    EXPECT_FALSE(items().HasItem("ghost"));
    EXPECT_TRUE(logged("[ghost]: unknown Class 'Ghost', item skipped"));
    EXPECT_EQ(items().GetItems().size(), 35u);

    // Bad values are logged and defaulted; bad object lines skip the object.
    item("bad").GetPos(x, y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(item("bad").GetZoom(), 1.0f);
    EXPECT_EQ(item("bad").GetWinMask(), CSpyItem::ActionClick);
    for (const char* line : {"[bad]: bad Pos '1 x', 0 0 used", "[bad]: bad Zoom '-2', 1 used",
                             "[bad]: unknown IsWinItem word 'Sneeze' ignored", "bad#1: no img, object skipped",
                             "bad#2: frames, fw and fh must be above 0", "[bad]: unknown object class 'Ghost'",
                             "bad#4: cannot find image 'nothing'", "bad#5: src 10/10/100/100 clamped to the image",
                             "bad#5: hitalpha 300 clamped", "bad#5: alpha 2 clamped", "bad#5: unknown tag 'shade'",
                             "bad#6: bad number dx=nan ignored"})
        EXPECT_TRUE(logged(line)) << line << "\n" << loadLog;
    ASSERT_EQ(item("bad").GetObjects().size(), 3u);
    const auto* clamped = dynamic_cast<const CSpyObjImage*>(item("bad").GetObjects()[1]);
    ASSERT_NE(clamped, nullptr);
    EXPECT_EQ(clamped->GetSource(), aRect(10, 10, 6, 6));
    EXPECT_EQ(clamped->GetHitAlpha(), 255);
    EXPECT_FALSE(item("bad").GetObjects()[0]->HitTest(item("bad").GetPlace(), 1.0f, 1.0f));  // missing image

    // I-spy groups in name order, each in load order.
    ASSERT_EQ(items().GetISpyGroups().size(), 2u);
    EXPECT_EQ(items().GetISpyGroups().begin()->first, "coins");
    const auto* coins = items().GetISpyGroup("coins");
    ASSERT_NE(coins, nullptr);
    ASSERT_EQ(coins->size(), 3u);
    EXPECT_EQ((*coins)[0]->GetName(), "coin_1");
    EXPECT_EQ((*coins)[2]->GetName(), "coin_3");
    EXPECT_EQ(items().GetISpyGroup("feathers")->back()->GetName(), "feather_2");
    EXPECT_EQ(items().GetISpyGroup("spoons"), nullptr);

    EXPECT_EQ(items().GetItem("nobody"), nullptr);
    EXPECT_NE(newLog().find("CSpyItemManager::GetItem(). Cannot find item: nobody"), std::string::npos);
    EXPECT_EQ(items().GetItem("soft"), &item("soft"));
    EXPECT_EQ(newLog(), "");

    // Texts: the room's strings, wrapped at blanks within w.
    const auto* label = dynamic_cast<const CSpyObjTextLine*>(item("label").GetObjects()[0]);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetText(), L"Label");
    const auto* note = dynamic_cast<const CSpyObjText*>(item("note").GetObjects()[0]);
    ASSERT_NE(note, nullptr);
    EXPECT_GT(note->GetLines().size(), 2u);
    std::wstring joined;
    for (const std::wstring& line : note->GetLines()) {
        EXPECT_LE(label->GetFont()->getStringSize(line).first, 80.0f) << str_wideToUtf8(line);
        joined += (joined.empty() ? L"" : L" ") + line;
    }
    EXPECT_EQ(joined, L"A note that wraps over several lines");
    EXPECT_EQ(item("note").GetWidthRounded(), 80);

    // Missing resources and a missing file.
    CSpyItemManager none("Empty", room->res);
    EXPECT_FALSE(none.Load(test_env::home() + "/nowhere/", "Empty"));
    const std::string log = newLog();
    EXPECT_NE(log.find("CSpyItemManager::Load(). Room 'Empty': no file"), std::string::npos);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
    EXPECT_TRUE(none.GetItems().empty());
}

TEST_F(ItemsTest, HitTestsFollowAlphaZoomMirrorScaleAndOrigin)
{
    CSpyItem& soft = item("soft");  // texel alpha 8 * x, hitalpha 16
    EXPECT_FALSE(soft.HitTest(101.9f, 105.0f));
    EXPECT_TRUE(soft.HitTest(102.0f, 105.0f));
    EXPECT_TRUE(soft.HitTest(131.9f, 115.9f));
    EXPECT_FALSE(soft.HitTest(132.0f, 105.0f));
    soft.SetZoom(2.0f, false);
    EXPECT_EQ(soft.GetWidthRounded(), 64);
    EXPECT_EQ(soft.GetHeightRounded(), 32);
    EXPECT_FALSE(soft.HitTest(103.9f, 131.0f));
    EXPECT_TRUE(soft.HitTest(104.0f, 131.0f));
    EXPECT_FALSE(soft.HitTest(104.0f, 132.0f));
    soft.SetZoom(1.0f, false);

    // Mirrored, hitalpha 128: texel 31 - x must reach alpha 128.
    CSpyItem& mirrored = item("soft_mirror");
    EXPECT_TRUE(mirrored.HitTest(215.9f, 105.0f));
    EXPECT_FALSE(mirrored.HitTest(216.0f, 105.0f));

    // Room scale 0.5 and a moved origin carry the items.
    items().SetScale(0.5f);
    EXPECT_FALSE(soft.HitTest(50.9f, 52.0f));
    EXPECT_TRUE(soft.HitTest(51.0f, 52.0f));
    EXPECT_EQ(soft.GetWidth(), 16.0f);
    items().SetScale(1.0f);
    items().SetOrigin(10.0f, 20.0f);
    float x = 0.0f, y = 0.0f;
    soft.GetPos(x, y);
    EXPECT_EQ(x, 110.0f);
    EXPECT_EQ(y, 120.0f);
    EXPECT_FALSE(soft.HitTest(111.9f, 125.0f));
    EXPECT_TRUE(soft.HitTest(112.0f, 125.0f));
    soft.SetPos(120.0f, 130.0f, false);  // screen pixels: room pixels (110, 110)
    items().SetOrigin(0.0f, 0.0f);
    soft.GetPos(x, y);
    EXPECT_EQ(x, 110.0f);
    EXPECT_EQ(y, 110.0f);
    soft.SetPos(100.0f, 100.0f, false);

    // A mask that draws nothing hits; a hover object draws but never hits.
    CSpyItem& door = item("door_garden");
    EXPECT_TRUE(door.HitTest(505.0f, 110.0f));
    EXPECT_FALSE(door.HitTest(525.0f, 110.0f));
    rec->clear();
    items().Draw();
    const std::size_t drawsWithout = spriteDraws().size();
    items().UpdateHover(505.0f, 110.0f);
    EXPECT_TRUE(door.IsHover());
    EXPECT_FALSE(door.HitTest(525.0f, 110.0f));
    rec->clear();
    items().Draw();
    EXPECT_EQ(spriteDraws().size(), drawsWithout + 1);
    items().UpdateHover(0.0f, 0.0f);
    EXPECT_FALSE(door.IsHover());

    // The topmost layer wins; through the front coin's corner the soft item
    // below is hit; hidden and unclickable items are passed over.
    EXPECT_EQ(items().GetItemAt(116.0f, 112.0f), &item("front"));
    EXPECT_EQ(items().GetItemAt(108.5f, 104.5f), &soft);
    item("front").SetVisible(false);
    EXPECT_FALSE(item("front").HitTest(116.0f, 112.0f));
    EXPECT_EQ(items().GetItemAt(116.0f, 112.0f), &soft);
    EXPECT_TRUE(item("scenery").HitTest(348.0f, 408.0f));
    EXPECT_EQ(items().GetItemAt(348.0f, 408.0f), nullptr);

    // No texel is read for a point outside the item's box.
    rec->clear();
    EXPECT_FALSE(soft.HitTest(99.0f, 105.0f));
    EXPECT_FALSE(soft.HitTest(140.0f, 105.0f));
    EXPECT_FALSE(soft.HitTest(110.0f, 99.5f));
    EXPECT_EQ(rec->count("Texture.LockRect"), 0u);
    EXPECT_TRUE(soft.HitTest(110.0f, 105.0f));
    EXPECT_GE(rec->count("Texture.LockRect"), 1u);

    // Box-only kinds hit inside their box with hit=1, never by default.
    EXPECT_TRUE(item("film").HitTest(510.0f, 310.0f));
    EXPECT_FALSE(item("film").HitTest(533.0f, 310.0f));
    EXPECT_FALSE(item("label").HitTest(252.0f, 305.0f));
    // Anim frames and advanced animations read their current frame.
    EXPECT_TRUE(item("strip").HitTest(104.0f, 304.0f));
    EXPECT_TRUE(item("pendulum").HitTest(154.0f, 304.0f));
    EXPECT_FALSE(item("pendulum").HitTest(158.0f, 304.0f));
}

TEST_F(ItemsTest, KindsOverSteppedTime)
{
    // A container without a key opens on a click over 0.4 s.
    CSpyItem& crate = item("crate");
    EXPECT_EQ(crate.Click(), CSpyItem::ResultBusy);
    EXPECT_TRUE(crate.IsBusy());
    EXPECT_EQ(crate.Click(), CSpyItem::ResultBusy);
    step(0.3f);
    EXPECT_TRUE(crate.IsBusy());
    EXPECT_FALSE(item("pearl").IsVisible());
    EXPECT_EQ(crate.GetVisualState(), "closed");
    step(0.11f);
    EXPECT_FALSE(crate.IsBusy());
    EXPECT_EQ(crate.GetVisualState(), "open");
    EXPECT_TRUE(item("pearl").IsVisible());
    EXPECT_TRUE(crate.GetActions() & CSpyItem::ActionOpen);
    EXPECT_EQ(crate.Click(), CSpyItem::ResultNone);  // open: a plain item now

    // A keyed container stays locked until its key is applied.
    CSpyContainer& chest = room->as<CSpyContainer>("chest");
    EXPECT_EQ(chest.Click(), CSpyItem::ResultLocked);
    EXPECT_FALSE(chest.IsBusy());
    EXPECT_FALSE(chest.ApplyItem(CSpyItemRef("coin_1", "TestRoom")));
    EXPECT_FALSE(chest.IsFulfilled());
    EXPECT_TRUE(chest.ApplyItem(CSpyItemRef("key", "Garden")));
    EXPECT_TRUE(chest.IsBusy());
    EXPECT_FALSE(chest.IsFulfilled());  // IsWinItem = Open
    step(0.45f);
    EXPECT_TRUE(chest.IsOpen());
    EXPECT_TRUE(chest.IsFulfilled());
    EXPECT_TRUE(item("coin_3").IsVisible() && item("ring").IsVisible());

    // A box: its key the first time only, then every click toggles.
    CSpyBox& casket = room->as<CSpyBox>("casket");
    EXPECT_EQ(casket.Click(), CSpyItem::ResultLocked);
    EXPECT_FALSE(casket.ApplyItem(CSpyItemRef("key", "TestRoom")));  // the key of another room
    EXPECT_TRUE(casket.ApplyItem(CSpyItemRef("key", "Garden")));
    EXPECT_TRUE(casket.IsOpen() && casket.IsFulfilled());
    EXPECT_TRUE(item("button").IsVisible());
    EXPECT_EQ(casket.Click(), CSpyItem::ResultNone);
    EXPECT_FALSE(casket.IsOpen());
    EXPECT_FALSE(item("button").IsVisible());
    casket.Click();
    EXPECT_TRUE(item("button").IsVisible());
    item("button").Pick();
    casket.Click();
    casket.Click();
    EXPECT_FALSE(item("button").IsVisible());  // picked: stays away

    // A heap fades its layers, topmost first, then reveals.
    CSpyHeap& heap = room->as<CSpyHeap>("heap");
    ASSERT_EQ(heap.GetLayerCount(), 2u);
    const CSpyObject* top = heap.GetObjects()[1];
    EXPECT_EQ(top->GetLayer(), 1);
    EXPECT_EQ(heap.Click(), CSpyItem::ResultBusy);
    step(0.15f);
    EXPECT_NEAR(top->GetFade(), 0.5f, 0.04f);
    EXPECT_EQ(heap.GetObjects()[0]->GetFade(), 1.0f);
    step(0.16f);
    EXPECT_FALSE(heap.IsBusy());
    EXPECT_EQ(top->GetFade(), 0.0f);
    EXPECT_EQ(heap.GetRemovedLayers(), 1u);
    EXPECT_TRUE(heap.IsVisible());
    EXPECT_FALSE(item("feather_2").IsVisible());
    // The faded layer no longer hits; the one below does.
    EXPECT_FALSE(heap.HitTest(441.0f, 121.0f));
    EXPECT_TRUE(heap.HitTest(430.0f, 110.0f));
    EXPECT_EQ(heap.Click(), CSpyItem::ResultBusy);
    step(0.35f);
    EXPECT_TRUE(heap.IsCleared());
    EXPECT_FALSE(heap.IsVisible());
    EXPECT_TRUE(item("feather_2").IsVisible());
    EXPECT_TRUE(heap.GetActions() & CSpyItem::ActionOpen);

    // Doors: a target, a close-up behind a lock.
    EXPECT_EQ(item("door_garden").Click(), CSpyItem::ResultGoTo);
    EXPECT_EQ(room->as<CSpyDoor>("door_garden").GetTarget(), "Garden");
    CSpyDoor& closeUp = room->as<CSpyDoor>("door_cu");
    EXPECT_EQ(closeUp.Click(), CSpyItem::ResultLocked);
    EXPECT_TRUE(closeUp.ApplyItem(CSpyItemRef("key", "Garden")));
    EXPECT_FALSE(closeUp.ApplyItem(CSpyItemRef("key", "Garden")));
    EXPECT_EQ(closeUp.Click(), CSpyItem::ResultCloseUp);
    EXPECT_EQ(closeUp.GetCloseUp(), "Desk_CU");

    // IsWinItem: the named action fulfils, another does not.
    CSpyItem& coin = item("coin_1");
    EXPECT_EQ(coin.Click(), CSpyItem::ResultPick);
    EXPECT_FALSE(coin.IsFulfilled());
    coin.Pick();
    EXPECT_TRUE(coin.IsFulfilled());
    EXPECT_FALSE(coin.IsVisible());
    EXPECT_FALSE(coin.IsInInventory());
    item("key").Pick();
    EXPECT_TRUE(item("key").IsInInventory());
    EXPECT_EQ(item("soft").Click(), CSpyItem::ResultNone);
    EXPECT_TRUE(item("soft").IsFulfilled());
    item("pearl").MarkAction(CSpyItem::ActionApply);
    EXPECT_FALSE(item("pearl").IsFulfilled());
    item("pearl").MarkAction(CSpyItem::ActionUse);
    EXPECT_TRUE(item("pearl").IsFulfilled());
    EXPECT_EQ(item("letter").Click(), CSpyItem::ResultHelp);
    EXPECT_EQ(item("scenery").Click(), CSpyItem::ResultNone);
    EXPECT_EQ(item("scenery").GetActions(), 0);
}

TEST_F(ItemsTest, CompanionsMoveOneLevelAndHolderCyclesAreDropped)
{
    CSpyItem& a = item("comp_a");
    CSpyItem& b = item("comp_b");
    ASSERT_EQ(a.GetCompanion(), &b);
    ASSERT_EQ(b.GetCompanion(), &a);
    // Each follows the other: one level, no endless recursion.
    a.SetPos(110.0f, 405.0f, true);
    float x = 0.0f, y = 0.0f;
    b.GetPos(x, y);
    EXPECT_EQ(x, 150.0f);
    EXPECT_EQ(y, 405.0f);
    a.GetPos(x, y);
    EXPECT_EQ(x, 110.0f);
    b.SetZoom(1.5f, true);
    EXPECT_EQ(a.GetZoom(), 1.5f);
    EXPECT_EQ(b.GetZoom(), 1.5f);
    a.SetPos(120.0f, 405.0f, false);
    b.GetPos(x, y);
    EXPECT_EQ(x, 150.0f);
    a.SetZoom(-1.0f, true);
    EXPECT_EQ(a.GetZoom(), 1.5f);

    EXPECT_EQ(item("comp_self").GetCompanion(), nullptr);
    EXPECT_EQ(item("comp_missing").GetCompanion(), nullptr);
    EXPECT_TRUE(logged("[comp_self]: Companion 'comp_self' is the item itself, none used"));
    EXPECT_TRUE(logged("[comp_missing]: Companion 'nobody' does not exist, none used"));

    // Holders: each item has one, listed once, no cycles.
    CSpyItem& ca = item("cycle_a");
    CSpyItem& cb = item("cycle_b");
    ASSERT_EQ(ca.GetContents().size(), 1u);
    EXPECT_EQ(ca.GetContents()[0], &cb);
    EXPECT_TRUE(cb.GetContents().empty());
    EXPECT_EQ(item("ring").GetHolder(), &item("chest"));
    EXPECT_TRUE(logged("[cycle_a]: listed item 'cycle_a' is the holder itself, listing dropped"));
    EXPECT_TRUE(logged("[cycle_a]: listed item 'ring' is listed already, listing dropped"));
    EXPECT_TRUE(logged("[cycle_b]: listed item 'cycle_a' holds this holder, listing dropped"));
    EXPECT_TRUE(logged("[cycle_b]: listed item 'nobody' does not exist, listing dropped"));
    EXPECT_FALSE(cb.IsVisible());
    ca.Click();
    EXPECT_TRUE(cb.IsVisible());
    cb.Click();
    ca.Click();
    EXPECT_FALSE(cb.IsVisible());
    EXPECT_TRUE(ca.IsVisible());
}

TEST_F(ItemsTest, ResetRecordsClonesAndMagicStars)
{
    // Change something of every kind, save, reset, load.
    item("soft").SetPos(150.0f, 160.0f, false);
    item("soft").SetZoom(2.0f, false);
    item("soft").SetTaken(true);
    item("coin_1").Pick();
    item("key").Pick();
    item("crate").Click();
    step(0.2f);  // saved while opening: saved open, Open recorded
    room->as<CSpyBox>("casket").ApplyItem(CSpyItemRef("key", "Garden"));
    item("heap").Click();
    step(0.35f);
    room->as<CSpyDoor>("door_cu").ApplyItem(CSpyItemRef("key", "Garden"));
    item("coin_2").ShowMagicStars(true);

    const auto bytes = saveRecord([&](SaveLoadSystem& s, std::uint32_t pos) { return items().SaveItems(s, pos); });
    // u32 count, then the first item: "soft", state, actions, x, y, zoom, kind.
    ASSERT_GE(bytes.size(), 4u + 5u + CSpyItem::kRecordTail);
    EXPECT_EQ(bytes[0], 35);
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 9), std::string("soft\0", 5));
    EXPECT_EQ(bytes[9], CSpyItem::StateVisible | CSpyItem::StateTaken);
    float zoom = 0.0f;
    std::memcpy(&zoom, &bytes[19], 4);
    EXPECT_EQ(zoom, 2.0f);

    items().Reset();
    EXPECT_EQ(item("soft").GetZoom(), 1.0f);
    EXPECT_FALSE(item("soft").IsTaken());
    EXPECT_TRUE(item("coin_1").IsVisible() && !item("coin_1").IsPicked());
    EXPECT_FALSE(room->as<CSpyContainer>("crate").IsOpen());
    EXPECT_FALSE(item("pearl").IsVisible());
    EXPECT_FALSE(room->as<CSpyBox>("casket").IsUnlocked());
    EXPECT_EQ(room->as<CSpyHeap>("heap").GetRemovedLayers(), 0u);
    EXPECT_EQ(item("heap").GetObjects()[1]->GetFade(), 1.0f);
    EXPECT_TRUE(room->as<CSpyDoor>("door_cu").IsLocked());
    EXPECT_FALSE(item("coin_2").IsShowingMagicStars());

    EXPECT_TRUE(loadRecord(bytes, [&](SaveLoadSystem& s, std::uint32_t pos) { return items().LoadItems(s, pos); }));
    float x = 0.0f, y = 0.0f;
    item("soft").GetPos(x, y);
    EXPECT_EQ(x, 150.0f);
    EXPECT_EQ(y, 160.0f);
    EXPECT_EQ(item("soft").GetZoom(), 2.0f);
    EXPECT_TRUE(item("soft").IsTaken());
    EXPECT_TRUE(item("coin_1").IsPicked() && !item("coin_1").IsVisible() && item("coin_1").IsFulfilled());
    EXPECT_TRUE(item("key").IsInInventory());
    EXPECT_TRUE(room->as<CSpyContainer>("crate").IsOpen());
    EXPECT_EQ(item("crate").GetVisualState(), "open");
    EXPECT_TRUE(item("crate").GetActions() & CSpyItem::ActionOpen);
    EXPECT_TRUE(item("pearl").IsVisible());
    EXPECT_TRUE(room->as<CSpyBox>("casket").IsOpen() && room->as<CSpyBox>("casket").IsUnlocked());
    EXPECT_TRUE(item("button").IsVisible());
    EXPECT_EQ(room->as<CSpyHeap>("heap").GetRemovedLayers(), 1u);
    EXPECT_EQ(item("heap").GetObjects()[1]->GetFade(), 0.0f);
    EXPECT_FALSE(room->as<CSpyDoor>("door_cu").IsLocked());
    EXPECT_TRUE(item("coin_2").IsShowingMagicStars());
    EXPECT_NE(item("coin_2").GetMagicStars(), nullptr);

    // A record naming an item the room lacks, or a cut one, is refused.
    std::vector<std::uint8_t> renamed = bytes;
    renamed[4] = 'S';
    newLog();
    EXPECT_FALSE(loadRecord(renamed, [&](SaveLoadSystem& s, std::uint32_t pos) { return items().LoadItems(s, pos); }));
    EXPECT_NE(newLog().find("Room 'TestRoom': unknown item 'Soft' in the record"), std::string::npos);
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 12);
    EXPECT_FALSE(loadRecord(cut, [&](SaveLoadSystem& s, std::uint32_t pos) { return items().LoadItems(s, pos); }));

    // Magic stars sit on the item's centre, follow it and drop on a pick.
    items().Reset();
    CSpyItem& coin = item("coin_1");
    coin.ShowMagicStars(true);
    ASSERT_NE(coin.GetMagicStars(), nullptr);
    EXPECT_EQ(coin.GetMagicStars()->getEmitterX(), 138.0f);
    EXPECT_EQ(coin.GetMagicStars()->getEmitterY(), 208.0f);
    step(0.1f);
    EXPECT_GT(coin.GetMagicStars()->getLiveCount(), 0u);
    coin.SetPos(300.0f, 300.0f, false);
    step(0.01f);
    EXPECT_EQ(coin.GetMagicStars()->getEmitterX(), 308.0f);
    coin.ShowMagicStars(false);
    EXPECT_FALSE(coin.IsShowingMagicStars());
    EXPECT_EQ(coin.GetMagicStars(), nullptr);
    coin.ShowMagicStars(true);
    coin.Pick();
    EXPECT_FALSE(coin.IsShowingMagicStars());
    EXPECT_EQ(coin.GetMagicStars(), nullptr);

    // A clone stands where the item stands, draws its own copies and
    // belongs to nobody.
    items().SetOrigin(10.0f, 0.0f);
    item("heap").Click();
    step(0.1f);
    std::unique_ptr<CSpyItem> clone = item("heap").Clone();
    ASSERT_TRUE(clone);
    EXPECT_TRUE(clone->IsClone());
    EXPECT_TRUE(dynamic_cast<CSpyHeap*>(clone.get()));
    clone->GetPos(x, y);
    EXPECT_EQ(x, 430.0f);
    EXPECT_EQ(y, 100.0f);
    EXPECT_EQ(clone->GetWidth(), item("heap").GetWidth());
    ASSERT_EQ(clone->GetObjects().size(), 2u);
    EXPECT_NE(clone->GetObjects()[0], item("heap").GetObjects()[0]);
    EXPECT_TRUE(clone->HitTest(435.0f, 105.0f));
    clone->SetPos(0.0f, 0.0f, true);
    item("heap").GetPos(x, y);
    EXPECT_EQ(x, 430.0f);
    EXPECT_EQ(items().GetItems().size(), 35u);
    rec->clear();
    clone->Draw();
    EXPECT_EQ(spriteDraws().size(), 2u);
    clone.reset();
    EXPECT_EQ(item("heap").GetObjects()[0]->GetFade(), 1.0f);

    // Icons: the Icon image fitted into a slot, centred.
    rec->clear();
    item("key").DrawIcon(0.0f, 0.0f, 32.0f, 64.0f);
    const auto draws = spriteDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].sx, 2.0f);
    EXPECT_EQ(draws[0].right - draws[0].left, 16);
    EXPECT_EQ(draws[0].ty, 16.0f);
}
