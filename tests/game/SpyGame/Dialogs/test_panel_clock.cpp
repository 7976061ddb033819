#include <limits>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "game/shell/c_particle_manager.h"
#include "panel_fixture.h"

using namespace dialogtest;

namespace {

class PanelClockTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        study(&list);
    }
    // Panel updates alone: the clock and the recharge count on them.
    void run(float dt, int n = 1)
    {
        for (int i = 0; i < n; ++i)
            panel->Update(dt, -1, 0, 0, 0);
    }
    // The recorded draws of a GamePanel image in a drawn frame.
    std::vector<imgtest::SpriteDraw> drawsOf(const char* name)
    {
        rec->clear();
        draw();
        const aImage* image = res->GetImageManager()->GetImage(name, "GamePanel");
        std::vector<imgtest::SpriteDraw> out;
        for (const auto& d : spriteDraws())
            if (d.texture == image->getTexture())
                out.push_back(d);
        return out;
    }
    std::vector<CFindItemsGroup> list = lines({"key"});
};

} // namespace

TEST_F(PanelClockTest, ClockCountsDownPausesAndTurnsLow)
{
    panel->SetClockTime(0.4f);
    run(1.0f);
    EXPECT_TRUE(text(Panel::ClockText) == L"00:00" && panel->GetClockTime() == 0.0f);
    panel->SetClockTime(125.5f);
    run(0.0f);
    EXPECT_EQ(text(Panel::ClockText), L"02:05");
    run(1.0f, 4);
    EXPECT_TRUE(text(Panel::ClockText) == L"02:01" && !panel->IsLowTime());
    run(1.0f);
    EXPECT_TRUE(text(Panel::ClockText) == L"02:00" && panel->IsLowTime());
    panel->SetFindAllMode(true);
    panel->SetClockTime(5.0f);
    EXPECT_FALSE(panel->IsLowTime());
    EXPECT_TRUE(part(Panel::ClockTextPause)->GetText() == L"Find all" &&
                part(Panel::ClockTextPause)->GetAreaRect() == aRect(17, 12, 42, 46));
    panel->SetFindAllMode(false);
    panel->SetClockTime(std::numeric_limits<float>::infinity());
    EXPECT_EQ(panel->GetClockTime(), 0.0f);

    // A pause reaches the display on the first or second update; with the shared
    // toggle set, a pause of one update never shows.
    panel->SetClockTime(600.0f);
    std::wstring shown;
    for (bool pause : {true, false, false, true, false}) {
        panel->SetBlockPause(pause);
        run(0.5f);
        shown += text(Panel::ClockText) + L" ";
    }
    EXPECT_EQ(shown, L"Paused Paused 09:59 09:59 09:58 ");
}

TEST_F(PanelClockTest, LowTimeSoundEveryFiveSeconds)
{
    aSound* sound = res->GetSoundManager()->GetSound("low_time", "");
    platform::snd::System* system = aSound::globalEngine().GetSystem();
    int rate = 0;
    system->getOutputRate(&rate);
    std::vector<float> buffer(std::size_t(rate) / 32 * 2);
    panel->SetClockTime(100.0f);
    int plays = 0;
    for (int i = 0, playing = 0; i < 16 * 64; ++i) {  // 16 s
        run(1.0f / 64.0f);
        plays += sound->IsPlaying() && !playing;
        playing = sound->IsPlaying();
        system->mix(buffer.data(), std::uint32_t(rate / 64));
    }
    EXPECT_EQ(plays, 4);
}

TEST_F(PanelClockTest, HintsRechargeAndExtraHints)
{
    panel->SetHintsCount(3);
    panel->SetHintsCount(1);
    run(1.0f, 3);
    panel->SetHintsCount(2);  // a running recharge keeps its time
    EXPECT_EQ(panel->GetRechargeTimer(), 3.0f);
    panel->SetHintsCount(3);
    EXPECT_FALSE(panel->IsRechargeRunning());
    panel->SetHintsCount(0);
    run(1.0f);
    panel->UseHint();
    EXPECT_TRUE(panel->GetHintsCount() == 0 && panel->GetRechargeTimer() == 0.0f && text(Panel::HintsCount) == L"0");

    panel->SetHintsCount(99);
    panel->AddExtraHint();
    EXPECT_TRUE(panel->GetHintsCount() == 99 && !panel->GetExtraHintParticles()->isRunning());
    panel->SetHintsCount(2);
    panel->AddExtraHint();
    const aParticleSystem* stars = panel->GetExtraHintParticles();
    EXPECT_TRUE(panel->GetHintsCount() == 3 && stars->isRunning());
    EXPECT_TRUE(stars->getEmitterX() == 138.0f && stars->getEmitterY() == 58.0f);  // the counter's centre
    EXPECT_TRUE(res->GetSoundManager()->GetSound("extra_hint", "")->IsPlaying());

    // One hint per restore time of i-spy play, up to three; none outside i-spy rooms.
    setRestoreTime(2.0f);
    remake();
    study(&list);
    panel->SetHintsCount(0);
    std::vector<std::uint32_t> counts;
    for (int i = 0; i < 4; ++i, run(1.0f, 2))
        counts.push_back(panel->GetHintsCount());
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{0, 1, 2, 3}));
    EXPECT_FALSE(panel->IsRechargeRunning());
    study(&list, false);
    panel->SetHintsCount(0);
    run(1.0f, 5);
    EXPECT_EQ(panel->GetHintsCount(), 0u);
}

TEST_F(PanelClockTest, WarningCircleAndTrails)
{
    // The warning's alpha at 0 s and 60 s left, the phase at 0; none above two minutes.
    Panel::ResetSharedClockState();
    panel->SetClockTime(0.0f);
    run(0.0f);
    auto warning = drawsOf("clock_warning");
    ASSERT_EQ(warning.size(), 1u);
    EXPECT_TRUE(warning[0].color == 0x4DFFFFFFu && warning[0].tx == 18.0f && warning[0].ty == 10.0f);
    panel->SetClockTime(60.0f);
    EXPECT_EQ(drawsOf("clock_warning").at(0).color, 0x26FFFFFFu);
    panel->SetClockTime(200.0f);
    EXPECT_TRUE(drawsOf("clock_warning").empty());

    // The circle: whole rows of the part done, from the bottom, at most all of it.
    panel->SetHintsCount(0);
    run(36.0f);
    auto circle = drawsOf("circle");
    ASSERT_EQ(circle.size(), 1u);
    EXPECT_TRUE(circle[0].top == 40 && circle[0].ty == 72.0f);  // 10 of 50 rows
    setRestoreTime(0.0f);
    remake();
    study(&list, false);
    panel->SetHintsCount(0);
    EXPECT_TRUE(drawsOf("circle").empty());

    // A trail follows its curve, stops at its end and goes once its particles die.
    aCurve curve;
    curve.addPoint(10.0f, 10.0f);
    curve.addPoint(60.0f, 10.0f);
    panel->AddTrail(curve, 50.0f, *res->GetParticleManager()->GetParticle("magic_stars"));
    run(0.1f, 5);
    EXPECT_EQ(panel->GetTrailCount(), 1u);
    run(0.1f, 40);
    EXPECT_EQ(panel->GetTrailCount(), 0u);
}
