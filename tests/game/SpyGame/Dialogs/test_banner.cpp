#include "engine/gfx/a_particle_system.h"
#include "engine/sound/a_music_manager.h"
#include "game/SpyGame/Dialogs/InvestigationBanner.h"
#include "overlay_fixture.h"

using namespace dialogtest;
using Banner = CInvestigationBanner;

namespace {

class BannerTest : public OverlayBench<RecordingDialogBench> {
protected:
    // The colours of the screen-wide overlay and of the banner drawn in one
    // frame; -1 for a layer not drawn.
    std::pair<std::int64_t, std::int64_t> render()
    {
        rec->clear();
        EXPECT_TRUE(app.m_graphServer->beginScene());
        banner.Render();
        app.m_graphServer->endScene();
        std::pair<std::int64_t, std::int64_t> out{-1, -1};
        for (const platform::RecordedCall* c : rec->named("Sprite.Draw"))
            (c->floats[0] == 1024.0f ? out.first : out.second) = c->args[4];
        return out;
    }

    Banner banner;
};

} // namespace

TEST_F(BannerTest, PhasesFollowTheJingleOrSevenSeconds)
{
    banner.Start(false);  // before Load: nothing
    banner.Update(1.0f);
    EXPECT_TRUE(banner.GetState() == Banner::NotLoaded && render().first == -1);

    // No jingle and an 800 ms one (0 whole seconds) both run 7 s; each
    // phase ends strictly after its time.
    for (auto [ms, duration] : {std::pair{0u, 7.0f}, {800u, 7.0f}, {5000u, 5.0f}}) {
        SCOPED_TRACE(ms);
        Banner b;
        setJingle(ms);
        b.Load();
        EXPECT_TRUE(b.GetState() == Banner::Idle && b.GetDuration() == duration);
        b.Start(false);
        const auto at = [&](float t) {
            while (b.GetTimer() < t)
                b.Update(0.25f);
            return b.GetState();
        };
        EXPECT_EQ(at(duration * 0.5f), Banner::Growing);
        EXPECT_EQ(at(duration * 0.5f + 0.25f), Banner::Holding);
        EXPECT_EQ(at(duration), Banner::Holding);
        EXPECT_EQ(at(duration + 0.25f), Banner::FadingOut);
        EXPECT_EQ(at(duration + 1.0f), Banner::FadingOut);
        EXPECT_EQ(at(duration + 1.25f), Banner::Idle);
    }
}

TEST_F(BannerTest, StartDrawAndLongFrames)
{
    setJingle(0);
    aMusicManager* music = res->GetMusicManager();
    ASSERT_TRUE(music->AddTrack("gamedata:Music/main_theme.ogg", "") && music->Play("main_theme", "", false, true));
    aSound* click = res->GetSoundManager()->GetSound("multiclick", "");
    click->Play(false, false);
    banner.Load();
    banner.Start(true);
    EXPECT_TRUE(music->GetTrackState(0) == aMusicManager::kStopped && !click->IsPlaying());
    EXPECT_EQ(banner.GetImage(), res->GetImageManager()->GetImage("story_complete", ""));
    const aParticleSystem* burst = banner.GetParticles();
    ASSERT_NE(burst, nullptr);
    EXPECT_TRUE(burst->isRunning() && burst->getEmitterX() == 512.0f && burst->getEmitterY() == 384.0f);
    EXPECT_NEAR(burst->getTime(), 0.4f, 1.0f / 60.0f);  // whole steps of the effect

    // Half-way through growing: overlay 0.5, banner alpha 0.8 at 1.15 times.
    banner.Update(1.75f);
    EXPECT_EQ(render(), std::make_pair(std::int64_t(0x7F000000), std::int64_t(0xCCFFFFFF)));
    EXPECT_FLOAT_EQ(banner.GetLayers().scale, 1.15f);

    // One transition a frame: 3 s frames reach 9 s in the fade-out, which
    // draws at alpha 0 instead of wrapping round to a flash.
    banner.Start(false);
    EXPECT_EQ(banner.GetImage(), res->GetImageManager()->GetImage("Investigation_complete", ""));
    for (std::uint32_t state : {Banner::Growing, Banner::Holding, Banner::FadingOut}) {
        banner.Update(3.0f);
        EXPECT_EQ(banner.GetState(), state);
    }
    EXPECT_EQ(render(), std::make_pair(std::int64_t(0xFF000000), std::int64_t(0x00FFFFFF)));

    // Hidden while running: idle at once, nothing drawn.
    banner.Start(false);
    banner.Update(5.0f);
    banner.Hide();
    EXPECT_TRUE(banner.GetState() == Banner::Idle && render().first == -1);
}
