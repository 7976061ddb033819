#include "panel_fixture.h"

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "game/shell/c_particle_manager.h"

using namespace dialogtest;

namespace {

class PanelClockTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        panel->SetupRoom("", &list, nullptr, "Study", true, true);
        panel->SetRoomPause(false);
    }
    // Updates of dt seconds without the GUI (the clock counts on the panel's update alone).
    void run(float dt, int n = 1)
    {
        for (int i = 0; i < n; ++i)
            panel->Update(dt, -1, 0, 0, 0);
    }
    // A panel made after the restore time was set.
    void remake(float restoreTime)
    {
        setRestoreTime(restoreTime);
        panel = std::make_unique<Panel>();
        panel->Init();
        panel->Show();
        panel->SetupRoom("", &list, nullptr, "Study", true, true);
    }
    // The recorded draws of a GamePanel image since the last call.
    std::vector<imgtest::SpriteDraw> drawsOf(const char* name)
    {
        const aImage* image = res->GetImageManager()->GetImage(name, "GamePanel");
        std::vector<imgtest::SpriteDraw> out;
        for (const auto& d : spriteDraws())
            if (image && d.texture == image->getTexture())
                out.push_back(d);
        rec->clear();
        return out;
    }
    std::vector<CFindItemsGroup> list = lines({"key"});
};

} // namespace

TEST_F(PanelClockTest, ClockCountsDownPausesAndTurnsLow)
{
    panel->SetClockTime(0.4f);
    run(1.0f);
    EXPECT_EQ(text(Panel::ClockText), L"00:00");
    EXPECT_EQ(panel->GetClockTime(), 0.0f);
    panel->SetClockTime(125.5f);
    EXPECT_FALSE(panel->IsLowTime());
    run(0.0f);
    EXPECT_EQ(text(Panel::ClockText), L"02:05");
    run(1.0f, 4);
    EXPECT_EQ(text(Panel::ClockText), L"02:01");
    EXPECT_FALSE(panel->IsLowTime());
    run(1.0f);
    EXPECT_EQ(text(Panel::ClockText), L"02:00");
    EXPECT_TRUE(panel->IsLowTime());
    panel->AddClockTime(100.0f);
    EXPECT_FALSE(panel->IsLowTime());
    panel->SetFindAllMode(true);
    panel->SetClockTime(5.0f);
    EXPECT_FALSE(panel->IsLowTime());
    EXPECT_EQ(part(Panel::ClockTextPause)->GetText(), L"Find all");
    EXPECT_TRUE(part(Panel::ClockTextPause)->GetAreaRect() == aRect(17, 12, 42, 46));
    panel->SetFindAllMode(false);
    panel->SetClockTime(std::numeric_limits<float>::infinity());
    EXPECT_EQ(panel->GetClockTime(), 0.0f);

    // The display follows a pause on the first or the second update that sees it.
    panel->SetClockTime(600.0f);
    panel->SetRoomPause(true);
    run(0.1f);
    EXPECT_EQ(text(Panel::ClockText), L"Paused");
    EXPECT_FALSE(part(Panel::ClockTextPause)->IsVisible(true));
    panel->SetRoomPause(false);
    run(0.1f);
    EXPECT_TRUE(panel->IsShowingPaused());
    run(0.1f);
    EXPECT_FALSE(panel->IsShowingPaused());
    // The shared toggle now stands set: a pause of one update never shows.
    panel->SetBlockPause(true);
    run(0.1f);
    panel->SetBlockPause(false);
    run(0.1f);
    EXPECT_FALSE(panel->IsShowingPaused());
    EXPECT_EQ(text(Panel::ClockText), L"09:59");
}

TEST_F(PanelClockTest, LowTimeSoundEveryFiveSeconds)
{
    aSound* sound = res->GetSoundManager()->GetSound("low_time", "");
    ASSERT_NE(sound, nullptr);
    platform::snd::System* system = aSound::globalEngine().GetSystem();
    ASSERT_NE(system, nullptr);
    int rate = 0;
    system->getOutputRate(&rate);
    ASSERT_GT(rate, 0);
    std::vector<float> buffer(std::size_t(rate) / 32 * 2);
    panel->SetClockTime(100.0f);
    int plays = 0;
    bool playing = false;
    for (int i = 0; i < 16 * 64; ++i) {  // 16 s
        run(1.0f / 64.0f);
        plays += sound->IsPlaying() && !playing;
        playing = sound->IsPlaying();
        system->mix(buffer.data(), std::uint32_t(rate / 64));
    }
    EXPECT_EQ(plays, 4);
}

TEST_F(PanelClockTest, HintCountRechargeAndExtraHints)
{
    panel->SetHintsCount(1);
    EXPECT_TRUE(panel->IsRechargeRunning());
    run(1.0f, 3);
    panel->SetHintsCount(2);
    EXPECT_EQ(panel->GetRechargeTimer(), 3.0f);
    panel->SetHintsCount(3);
    EXPECT_FALSE(panel->IsRechargeRunning());
    panel->SetHintsCount(0);
    panel->UseHint();
    EXPECT_EQ(panel->GetHintsCount(), 0u);
    EXPECT_EQ(panel->GetRechargeTimer(), 0.0f);
    EXPECT_EQ(text(Panel::HintsCount), L"0");

    panel->SetHintsCount(99);
    panel->AddExtraHint();
    EXPECT_EQ(panel->GetHintsCount(), 99u);
    EXPECT_FALSE(panel->GetExtraHintParticles()->isRunning());
    panel->SetHintsCount(2);
    panel->AddExtraHint();
    EXPECT_EQ(panel->GetHintsCount(), 3u);
    EXPECT_TRUE(panel->GetExtraHintParticles()->isRunning());
    EXPECT_EQ(panel->GetExtraHintParticles()->getEmitterX(), 138.0f);
    EXPECT_EQ(panel->GetExtraHintParticles()->getEmitterY(), 58.0f);
    EXPECT_TRUE(res->GetSoundManager()->GetSound("extra_hint", "")->IsPlaying());

    // One hint per restore time of i-spy play, up to three.
    remake(2.0f);
    panel->SetHintsCount(0);
    std::vector<std::uint32_t> counts;
    for (int i = 0; i < 5; ++i) {
        run(1.0f, 2);
        counts.push_back(panel->GetHintsCount());
    }
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{1, 2, 3, 3, 3}));
    EXPECT_FALSE(panel->IsRechargeRunning());
    panel->SetupRoom("", &list, nullptr, "Study", true, false);
    panel->SetHintsCount(0);
    run(1.0f, 5);
    EXPECT_EQ(panel->GetHintsCount(), 0u);
}

TEST_F(PanelClockTest, OverlaysWarningCircleAndTrails)
{
    // The warning at 0 s and at 60 s left, with the phase at 0.
    panel->SetClockTime(0.0f);
    run(0.0f);
    rec->clear();
    draw();
    auto warning = drawsOf("clock_warning");
    ASSERT_EQ(warning.size(), 1u);
    EXPECT_EQ(warning[0].color, 0x4DFFFFFFu);
    EXPECT_EQ(warning[0].tx, 18.0f);
    EXPECT_EQ(warning[0].ty, 10.0f);
    panel->SetClockTime(60.0f);
    draw();
    EXPECT_EQ(drawsOf("clock_warning").at(0).color, 0x26FFFFFFu);
    panel->SetClockTime(200.0f);
    draw();
    EXPECT_TRUE(drawsOf("clock_warning").empty());

    // The circle shows the part of the recharge done, whole rows from the bottom.
    panel->SetHintsCount(0);
    run(36.0f);
    draw();
    auto circle = drawsOf("circle");
    ASSERT_EQ(circle.size(), 1u);
    EXPECT_EQ(circle[0].top, 40);  // 10 of 50 rows
    EXPECT_EQ(circle[0].ty, 72.0f);
    remake(0.0f);
    panel->SetHintsCount(0);
    draw();
    EXPECT_TRUE(drawsOf("circle").empty());
    remake(10.0f);
    panel->SetHintsCount(1);
    panel->SetupRoom("", &list, nullptr, "Study", true, false);
    run(60.0f);  // not an i-spy room: the timer holds
    ASSERT_EQ(panel->GetRechargeTimer(), 0.0f);

    // A trail runs its curve, stops emitting at the end and goes once its particles die.
    aCurve curve;
    curve.addPoint(10.0f, 10.0f);
    curve.addPoint(60.0f, 10.0f);
    panel->SetupRoom("", &list, nullptr, "Study", true, true);
    panel->AddTrail(curve, 50.0f, *res->GetParticleManager()->GetParticle("magic_stars"));
    run(0.1f, 5);
    EXPECT_EQ(panel->GetTrailCount(), 1u);
    run(0.1f, 40);
    EXPECT_EQ(panel->GetTrailCount(), 0u);
}
