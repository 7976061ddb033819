#include <cstring>

#include "engine/gui/gui_static_text.h"
#include "engine/gui/gui_window.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_string.h"
#include "game/shell/save_load_system.h"
#include "tips_fixture.h"

using namespace dialogtest;
using Bytes = std::vector<std::uint8_t>;

namespace {

const char* const kTipsFile = "[General]\n"
                              "FadeTime = 0.5\n"
                              "CloseAnywhereTime = 1.0\n"
                              "[once]\n"
                              "TimesPerLevel = 1\n"
                              "LevelsCount = 2\n"
                              "X = 900\n"
                              "Y = 700\n"
                              "[arrow]\n"
                              "Pointer = 1\n"
                              "PointName = ENVELOPE\n"
                              "Quarter = 1\n";

} // namespace

TEST_F(TipTest, ParsingDefaultsDuplicatesAndTheUserTip)
{
    EXPECT_EQ(takeLog().find("not found"), std::string::npos) << "the demo scripts hold every widget and style";
    const CTipManager::Metrics& m = tips->GetMetrics();
    EXPECT_EQ((std::vector<int>{m.defaultWidth, m.arrowHeight, m.minHeight, m.arrowOffset, m.textMargin, m.boxGap}),
              (std::vector<int>{300, 24, 96, 40, 14, 6}));

    tipsText("[General]\nFadeTime = 0.25\n"
             "[a]\nQuarter = 2\nTimesPerLevel = 3\nX = 5\nY = 6\n"
             "[b]\nPointer = 1\nPointName = thing\nWidth = 200\n"
             "[a]\nLevelsCount = 4\nX = 7\n"
             "[c]\nPointer = 2\nQuarter = 7\nWidth = 10\n");
    EXPECT_FLOAT_EQ(tips->GetFadeTime(), 0.25f);
    EXPECT_EQ(tips->GetCloseAnywhereTime(), 0.0f);
    const std::string log = takeLog();
    EXPECT_NE(log.find("Cannot find key"), std::string::npos) << log;
    EXPECT_NE(log.find("Tip 'c': Quarter 7 is out of range, -1 is taken"), std::string::npos) << log;

    // Quarter, times, levels, X, Y, width, shows left, levels left, pointer, point name.
    const auto fields = [&](const std::string& name) {
        const CTipManager::CTipInfo& t = tips->GetTips().at(name);
        return str_format("%d %d %d %d %d %d %d %d %d %s", t.quarter, t.timesPerLevel, t.levelsCount, t.x, t.y,
                          t.width, t.showsLeft, t.levelsLeft, int(t.pointer), t.pointName.c_str());
    };
    ASSERT_EQ(tips->GetTips().size(), 4u);  // never "General"
    // The second [a] keeps what it does not name; X, Y and Width come from every section.
    EXPECT_EQ(fields("a"), "2 3 4 7 0 300 3 4 0 ");
    EXPECT_EQ(fields("b"), "-1 -1 -1 0 0 200 -1 -1 1 thing");
    EXPECT_EQ(fields("c"), "-1 -1 -1 0 0 10 -1 -1 0 ") << "only 1 makes a pointer";
    EXPECT_EQ(fields(CTipManager::kUserTip), "-1 -1 -1 0 0 300 -1 -1 0 ");

    EXPECT_EQ(tips->FindTip("nope"), nullptr);
    EXPECT_NE(takeLog().find("CTipManager::FindTip - tip 'nope' not defined"), std::string::npos);
    EXPECT_FALSE(tips->ShowTip("nope"));
    EXPECT_FALSE(tips->CanShowTip("nope"));

    // A width at or below twice the margin lays out at the default width.
    ASSERT_TRUE(tips->ShowTip("c", 100, 100));
    EXPECT_EQ(balloonRect().width, 300);

    // Without the file: a log line, and only the user tip.
    remake("gamedata:no_tips.ini");
    EXPECT_NE(takeLog().find("file 'gamedata:no_tips.ini' not found"), std::string::npos);
    EXPECT_EQ(tips->GetTips().size(), 1u);
}

TEST_F(TipTest, CountsPerInvestigationAndTheShowTipsOption)
{
    tipsText(kTipsFile);
    EXPECT_TRUE(tips->CanShowTip("once"));
    EXPECT_TRUE(tips->ShowTip("once"));
    EXPECT_FALSE(tips->CanShowTip("once"));
    EXPECT_FALSE(tips->ShowTip("once"));
    tips->EndLevel();
    EXPECT_FALSE(tips->IsTipShown());
    EXPECT_EQ(tips->GetTips().at("once").levelsLeft, 1);
    EXPECT_EQ(tips->GetTips().at("arrow").levelsLeft, -1) << "a tip not asked for keeps its levels";
    EXPECT_TRUE(tips->ShowTip("once"));
    tips->EndLevel();
    EXPECT_FALSE(tips->CanShowTip("once"));
    EXPECT_FALSE(tips->ShowTip("once"));

    // A continued game starts afresh; the save then restores the counters.
    tips->ResetCounters(true);
    CurrentProfile::Get().showTips = 0;
    EXPECT_FALSE(tips->ShowTip("once")) << "refused, but counted";
    EXPECT_EQ(tips->GetTips().at("once").showsLeft, 0);
    EXPECT_FALSE(tips->ShowTip("once"));
    EXPECT_TRUE(tips->ShowTip("arrow")) << "pointer tips show whatever the option";
    EXPECT_TRUE(tips->IsPointerTip());
    EXPECT_EQ(tips->GetPointName(), "ENVELOPE");
    tips->ResetCounters(false);
    EXPECT_FALSE(tips->IsPointerTip());
    EXPECT_EQ(tips->GetTips().at("once").showsLeft, 1);
    EXPECT_EQ(tips->GetTips().at("once").levelsLeft, 2);

    // The user tip counts nothing and offers no box.
    CurrentProfile::Get().showTips = 1;
    tips->ShowUserTip(L"Hello", 300, 200);
    EXPECT_TRUE(tips->IsTipShown());
    EXPECT_FALSE(tips->GetPart("dont_show")->IsVisible(true));
    EXPECT_EQ(tips->GetPointName(), "");
    EXPECT_EQ(tips->GetPart("text")->GetText(), L"Hello");
    EXPECT_EQ(tips->GetTips().at(CTipManager::kUserTip).showsLeft, -1);
}

TEST_F(TipTest, QuarterPlacementAndHeight)
{
    tipsText(kTipsFile);
    // Quarter by the point: 512 and below 385 are the right and the lower half.
    ASSERT_TRUE(tips->ShowTip("once", 512, 385, L"One line"));
    EXPECT_EQ(tips->GetQuarter(), 3);
    const aRect r3 = balloonRect();
    EXPECT_EQ(r3.x, 512 + 40 - 300);
    EXPECT_EQ(r3.bottom(), 385);
    EXPECT_EQ(tips->GetPart("text")->GetAreaRect().y, 14) << "no arrow above the text";
    tips->ResetCounters(false);
    ASSERT_TRUE(tips->ShowTip("once", 511, 384, L"One line"));
    EXPECT_EQ(tips->GetQuarter(), 0);
    const aRect r0 = balloonRect();
    EXPECT_EQ(r0.x, 511 - 40);
    EXPECT_EQ(r0.y, 384);
    EXPECT_EQ(tips->GetPart("text")->GetAreaRect().y, 14 + 24);
    // Its default point (900, 700) lies low right, yet -1, -1 gives quarter 0.
    tips->ResetCounters(false);
    ASSERT_TRUE(tips->ShowTip("once"));
    EXPECT_EQ(tips->GetQuarter(), 0);
    EXPECT_EQ(balloonRect().x, 900 - 40);
    EXPECT_EQ(balloonRect().y, 700);

    // Height: text, margins, arrow and the box with its gap, or half a gap.
    std::wstring text(400, L'w');
    for (std::size_t i = 5; i < text.size(); i += 6)
        text[i] = L' ';
    tips->ResetCounters(false);
    ASSERT_TRUE(tips->ShowTip("once", 100, 100, text));
    GUI::Widget* label = tips->GetPart("text");
    const int h = label->GetAreaRect().height;
    EXPECT_GT(h, 60);
    EXPECT_EQ(balloonRect().height, h + 2 * 14 + 24 + 24 + 6);
    GUI::Widget* box = tips->GetPart("dont_show");
    EXPECT_TRUE(box->IsVisible(true));
    EXPECT_EQ(box->GetAreaRect().y, 14 + 24 + 6 + h);
    EXPECT_FALSE(tips->GetPart("close")->IsVisible(true));
    EXPECT_FALSE(tips->GetPart("BlockWidget")->IsVisible(true));
    EXPECT_EQ(static_cast<GUI::Window*>(balloon())->normalStyle, gui->GetStyle("tip_style0"));
    ASSERT_TRUE(tips->ShowTip("arrow", 100, 100, text));
    EXPECT_EQ(tips->GetQuarter(), 1) << "the file's quarter";
    EXPECT_EQ(balloonRect().height, h + 2 * 14 + 24 + 6 / 2);
    EXPECT_EQ(balloonRect().x, 100 + 40 - 300);
    EXPECT_EQ(static_cast<GUI::Window*>(balloon())->normalStyle, gui->GetStyle("tip_style1_point"));
    EXPECT_TRUE(tips->GetPart("BlockWidget")->IsVisible(true));
    // A short text keeps the least height.
    tips->ShowUserTip(L"Hi", 100, 100, 250, 2, 0);
    EXPECT_EQ(balloonRect().height, 96);
    EXPECT_EQ(balloonRect().width, 250);
    EXPECT_EQ(balloonRect().y, 100 - 96);
    EXPECT_EQ(static_cast<GUI::StaticText*>(tips->GetPart("text"))->horzFormatting, 0);
    // A quarter out of range is logged and taken as -1.
    takeLog();
    tips->ShowUserTip(L"Hi", 600, 600, CTipManager::kDefaultWidth, 9, 1);
    EXPECT_EQ(tips->GetQuarter(), 3);
    EXPECT_NE(takeLog().find("Quarter 9 is out of range"), std::string::npos);
}

TEST_F(TipTest, FadesClicksAndTheTurnOffBox)
{
    tipsText(kTipsFile);
    aSound* bell = res->GetSoundManager()->GetSound("show_tip", "");
    ASSERT_NE(bell, nullptr);
    ASSERT_TRUE(tips->ShowTip("once", 300, 200, L"Read me"));
    EXPECT_TRUE(bell->IsPlaying());
    EXPECT_EQ(balloon()->alpha, 0.0f);
    // The box at the very frame of opening changes nothing.
    tips->OnDontShowClick(GUI::EventArgs());
    EXPECT_EQ(CurrentProfile::Get().showTips, 1);
    tick(16);  // 0.25 s: half faded in
    EXPECT_NEAR(balloon()->alpha, 0.5f, 0.04f);
    clickIn(balloon());
    EXPECT_TRUE(tips->IsTipShown()) << "not faded in yet";
    tick(16);
    EXPECT_EQ(balloon()->alpha, 1.0f);

    // A click on the balloon fades it out; the box then does nothing.
    clickIn(balloon());
    EXPECT_LT(tips->GetFadeTimer(), 0.0f);
    tips->OnDontShowClick(GUI::EventArgs());
    EXPECT_EQ(CurrentProfile::Get().showTips, 1);
    EXPECT_FALSE(tips->GetPart("dont_show_auto_check")->IsVisible(true));
    tick(40);
    EXPECT_FALSE(tips->IsTipShown());
    EXPECT_FALSE(tips->GetWindow()->IsVisible(true));

    // A click anywhere closes a plain tip only after CloseAnywhereTime.
    tips->ResetCounters(false);
    ASSERT_TRUE(tips->ShowTip("once", 300, 200));
    EXPECT_EQ(tips->GetPart("text")->GetText(), L"") << "no tip.once string";
    click(900, 700);
    tick(40);
    EXPECT_TRUE(tips->IsTipShown());
    EXPECT_FALSE(tips->IsMouseOverTip());
    tick(30);  // past 1 s
    click(900, 700);
    tick(40);
    EXPECT_FALSE(tips->IsTipShown());

    // Nothing the player clicks closes a pointer tip; its caller does.
    ASSERT_TRUE(tips->ShowTip("arrow", 300, 200, L"Look"));
    tick(100);
    clickIn(balloon());
    click(900, 700);
    tick(40);
    EXPECT_TRUE(tips->IsTipShown());
    moveTo(balloonRect().x + 5, balloonRect().y + balloonRect().height / 2);
    tick();
    EXPECT_TRUE(tips->IsMouseOverTip());
    tips->HideTip();
    EXPECT_FALSE(tips->IsTipShown());
    EXPECT_FALSE(tips->IsMouseOverTip()) << "a hidden balloon takes no clicks";
    EXPECT_EQ(tips->GetPointName(), "");
}

TEST_F(TipTest, NoFadeTimeShowsAtOnceAndCloses)
{
    tipsText("[General]\n[plain]\n");
    EXPECT_EQ(tips->GetFadeTime(), 0.0f);
    ASSERT_TRUE(tips->ShowTip("plain", 300, 200, L"Quick"));
    tick();
    EXPECT_EQ(balloon()->alpha, 1.0f);
    clickIn(balloon());
    EXPECT_FALSE(tips->IsTipShown()) << "a fade-out from -0 would never end";
    ASSERT_TRUE(tips->ShowTip("plain", 300, 200, L"Quick"));
    tick();
    click(800, 600);
    EXPECT_FALSE(tips->IsTipShown());
}

TEST_F(TipTest, RecordMatchedByPositionAndRefusedWhenDamaged)
{
    tipsText(kTipsFile);  // map order: _UserTip_, arrow, once
    ASSERT_TRUE(tips->ShowTip("once"));
    tips->EndLevel();
    const std::string path = test_env::home() + "/tips.save";
    SaveLoadSystem out;
    ASSERT_TRUE(out.BeginSave(path, 4374));
    ASSERT_TRUE(out.SaveEntity(tips.get()));
    ASSERT_TRUE(out.Finish());
    const std::string file = test_env::readFile(path);
    Bytes payload(file.begin() + SaveLoadSystem::kHeaderSize, file.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    const std::size_t head = std::strlen(CTipManager::kEntityKey) + 5;
    const Bytes record(payload.begin() + std::ptrdiff_t(head), payload.end());
    const Bytes golden = {3, 0, 0, 0,                                   //
                          1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // _UserTip_
                          1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // arrow
                          1, 1, 0, 0, 0, 1, 0, 0, 0};                         // once: a show and a level left
    EXPECT_EQ(record, golden);

    const auto load = [&](const Bytes& body) {
        Bytes block(CTipManager::kEntityKey, CTipManager::kEntityKey + head - 4);
        for (int i = 0; i < 4; ++i)
            block.push_back(std::uint8_t(body.size() >> (8 * i)));
        block.insert(block.end(), body.begin(), body.end());
        SaveLoadSystem in;
        EXPECT_TRUE(in.BeginLoadPayload(std::move(block), 1, "test"));
        const bool ok = in.LoadEntity(tips.get());
        in.Finish();
        return ok;
    };
    // Every cut of the record is refused and changes nothing.
    tips->ResetCounters(true);
    for (std::size_t n = 1; n < golden.size(); ++n) {
        EXPECT_FALSE(load(Bytes(golden.begin(), golden.begin() + std::ptrdiff_t(n)))) << n;
        EXPECT_EQ(tips->GetTips().at("once").showsLeft, 1) << n;
        EXPECT_EQ(tips->GetTips().at("once").levelsLeft, 2) << n;
    }
    ASSERT_TRUE(load(golden));
    EXPECT_EQ(tips->GetTips().at("once").levelsLeft, 1);
    EXPECT_TRUE(tips->ShowTip("once"));
    tips->EndLevel();
    EXPECT_FALSE(tips->CanShowTip("once")) << "its last level is used up";

    // A save of another tips file: by position, and fewer records leave the rest.
    tipsText(std::string(kTipsFile) + "[zzz]\nTimesPerLevel = 5\n");
    ASSERT_TRUE(load({2, 0, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0, 1, 3, 0, 0, 0, 4, 0, 0, 0}));
    EXPECT_FALSE(tips->GetTips().at(CTipManager::kUserTip).enabled);
    EXPECT_EQ(tips->GetTips().at("arrow").showsLeft, 3);
    EXPECT_EQ(tips->GetTips().at("once").showsLeft, 1);
    EXPECT_EQ(tips->GetTips().at("zzz").showsLeft, 5);
    ASSERT_TRUE(load({0, 0, 0, 0}));
    EXPECT_FALSE(load({0xFF, 0xFF, 0xFF, 0x7F, 1})) << "a count the block cannot hold";
    EXPECT_EQ(tips->GetTips().at("arrow").showsLeft, 3);
}

TEST_F(TipTest, MissingWindowsAndHandlersLeftBehind)
{
    // Without the window nothing shows or counts.
    loadGuiText("window Other\n{\n}\n");
    tipsText(kTipsFile);
    EXPECT_NE(takeLog().find("window 'ToolTip' not found"), std::string::npos);
    EXPECT_FALSE(tips->ShowTip("once"));
    EXPECT_EQ(tips->GetTips().at("once").showsLeft, 1);
    tips->ShowUserTip(L"x", 1, 1);
    EXPECT_FALSE(tips->IsTipShown());
    tips->Update(0.1f);

    // The handlers go with the manager; the widgets' clicks then reach nobody.
    loadGui();
    tipsText(kTipsFile);
    GUI::Widget* box = tips->GetPart("dont_show");
    GUI::Event* click = box->GetEvent(GUI::EventClick);
    const std::size_t before = click->GetSubscriberCount();
    ASSERT_GE(before, 1u);
    ASSERT_TRUE(tips->ShowTip("once", 300, 200));
    tick(60);
    tips.reset();
    EXPECT_EQ(click->GetSubscriberCount(), before - 1);
    box->LaunchEvent(GUI::EventClick, GUI::WidgetEventArgs(box));
    EXPECT_EQ(CurrentProfile::Get().showTips, 1);
}

TEST_F(TipGlTest, QuarterThreeBalloonLeftOfAndAbovePoint)
{
    drawFrames = false;
    const int px = 700, py = 500;
    ASSERT_TRUE(tips->ShowTip("notepad", px, py, L"Look here"));
    EXPECT_EQ(tips->GetQuarter(), 3);
    tick(40);
    draw();
    const aRect r = balloonRect();
    ASSERT_EQ(r.right(), px + 40);
    ASSERT_EQ(r.bottom(), py);
    const auto rgb = [&](int x, int y) { return pixelAt(x, y) & 0xFFFFFF; };
    // The balloon's cream body left of and above the point, beside the text.
    const std::uint32_t body = rgb(r.right() - 60, r.y + 20);
    EXPECT_NEAR(int(body >> 16 & 0xFF), 0xF6, 3);
    EXPECT_NEAR(int(body >> 8 & 0xFF), 0xE6, 3);
    EXPECT_NEAR(int(body & 0xFF), 0xBE, 3);
    // The bubbles of the plain tail just above the point, nothing right of or below it.
    EXPECT_NE(rgb(px - 4, py - 13), 0u);
    for (auto [x, y] : {std::pair{px + 45, py - 30}, {px - 100, py + 10}, {px + 10, py + 10}, {r.x - 10, r.y + 30}})
        EXPECT_EQ(rgb(x, y), 0u) << x << "," << y;
}

// The menu's first tip on the demo data, long after a click anywhere would
// close it: pressing its box must not start the fade, so the release ticks
// the box, turns tips off and closes the tip with the tick showing.
TEST_F(TipGlTest, TurnOffBoxTicksTurnsTipsOffAndCloses)
{
    drawFrames = false;
    ASSERT_TRUE(tips->ShowTip("profile_open"));
    tick(64 * 3);  // past FadeTime + CloseAnywhereTime
    GUI::Widget* box = tips->GetPart("dont_show");
    const aRect mark = tips->GetPart("dont_show_auto_check")->GetAbsoluteRect();
    ASSERT_TRUE(box->IsVisible() && mark.width > 0);
    // The tick's green inside the check mark's rectangle.
    const auto green = [&] {
        draw();
        const std::vector<std::uint32_t> shot = backBuffer();
        int n = 0;
        for (int y = mark.y; y < mark.bottom(); ++y)
            for (int x = mark.x; x < mark.right(); ++x) {
                const std::uint32_t p = shot[std::size_t(y) * 1024 + std::size_t(x)];
                const int r = int(p >> 16 & 0xFF), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
                n += g > r + 40 && g > b + 40;
            }
        return n;
    };
    EXPECT_EQ(green(), 0);

    clickIn(box);
    EXPECT_EQ(CurrentProfile::Get().showTips, 0);
    EXPECT_TRUE(tips->IsTipShown() && tips->GetFadeTimer() < 0.0f) << "fading out";
    EXPECT_GT(green(), 20);
    tick(32);
    EXPECT_FALSE(tips->IsTipShown());

    // Tips are off as Options' "Show tips" turns them off: plain tips are
    // refused, a pointer tip still shows.
    EXPECT_FALSE(tips->ShowTip("profile_change"));
    EXPECT_TRUE(tips->ShowTip("mh_first_photo", 300, 300));
}
