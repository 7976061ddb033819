#include <cmath>

#include "engine/gfx/a_particle_system.h"
#include "engine/sound/a_music_manager.h"
#include "game/SpyGame/Dialogs/InvestigationBanner.h"
#include "overlay_fixture.h"

using namespace dialogtest;
using Banner = CInvestigationBanner;

namespace {

class BannerTest : public OverlayBench<RecordingDialogBench> {
protected:
    // Renders one frame; the overlay's and the banner image's draws.
    struct Drawn {
        int overlays = 0;
        std::int64_t overlayColor = -1, imageColor = -1;
        std::vector<float> imageFloats;
    };
    Drawn render()
    {
        rec->clear();
        aGraphServer* graph = app.m_graphServer;
        EXPECT_TRUE(graph->beginScene());
        banner.Render();
        graph->endScene();
        Drawn d;
        const void* image = banner.GetImage() ? banner.GetImage()->getTexture() : nullptr;
        for (const platform::RecordedCall* c : rec->named("Sprite.Draw")) {
            if (c->floats[0] == 1024.0f && c->floats[1] == 768.0f) {
                ++d.overlays;
                d.overlayColor = c->args[4];
            } else if (image && c->object == image) {
                d.imageColor = c->args[4];
                d.imageFloats = c->floats;
            }
        }
        return d;
    }
    // The state after each of `steps` updates of dt.
    std::vector<std::uint32_t> run(float dt, int steps)
    {
        std::vector<std::uint32_t> states;
        for (int i = 0; i < steps; ++i) {
            banner.Update(dt);
            states.push_back(banner.GetState());
        }
        return states;
    }

    Banner banner;
};

} // namespace

TEST_F(BannerTest, PhasesFollowTheJingleOrSevenSeconds)
{
    // Start before Load does nothing, and nothing is drawn.
    banner.Start(false);
    banner.Update(1.0f);
    EXPECT_EQ(banner.GetState(), Banner::NotLoaded);
    EXPECT_EQ(render().overlays, 0);

    // No jingle and an 800 ms one both give 7 s (the latter would be 0 s);
    // 5 s of jingle give 5 s. Each phase ends strictly after its time.
    struct Case {
        unsigned ms;
        float duration;
    };
    for (const Case c : {Case{0, 7.0f}, Case{800, 7.0f}, Case{5000, 5.0f}}) {
        SCOPED_TRACE(c.ms);
        Banner b;
        setJingle(c.ms);
        b.Load();
        ASSERT_EQ(b.GetState(), Banner::Idle);
        EXPECT_EQ(b.GetDuration(), c.duration);
        b.Start(false);
        const auto when = [&](float t) {
            while (b.GetTimer() < t - 1e-4f)
                b.Update(0.25f);
            return b.GetState();
        };
        EXPECT_EQ(when(c.duration * 0.5f), Banner::Growing);
        EXPECT_EQ(when(c.duration * 0.5f + 0.25f), Banner::Holding);
        EXPECT_EQ(when(c.duration), Banner::Holding);
        EXPECT_EQ(when(c.duration + 0.25f), Banner::FadingOut);
        EXPECT_EQ(when(c.duration + 1.0f), Banner::FadingOut);
        EXPECT_EQ(when(c.duration + 1.25f), Banner::Idle);
        b.Update(10.0f);
        EXPECT_EQ(b.GetState(), Banner::Idle);
    }
    EXPECT_NE(takeLog().find("Cannot find sound \"investigation_completed\""), std::string::npos);
}

TEST_F(BannerTest, StartSilencesTheGameAndChoosesTheImage)
{
    setJingle(5000);
    aMusicManager* music = res->GetMusicManager();
    ASSERT_TRUE(music->AddTrack("gamedata:Music/main_theme.ogg", ""));
    ASSERT_TRUE(music->Play("main_theme", "", false, true));
    aSound* click = res->GetSoundManager()->GetSound("multiclick", "");
    click->Play(false, false);
    banner.Load();
    banner.Start(true);
    EXPECT_EQ(music->GetTrackState(0), aMusicManager::kStopped);
    EXPECT_FALSE(click->IsPlaying());
    EXPECT_TRUE(res->GetSoundManager()->GetSound("investigation_completed", "")->IsPlaying());
    EXPECT_EQ(banner.GetImage(), res->GetImageManager()->GetImage("story_complete", ""));
    const aParticleSystem* burst = banner.GetParticles();
    ASSERT_NE(burst, nullptr);
    EXPECT_TRUE(burst->isRunning() && burst->getEmitterX() == 512.0f && burst->getEmitterY() == 384.0f);
    EXPECT_NEAR(burst->getTime(), 0.4f, 1.0f / 60.0f);  // whole steps of the effect

    // Half-way through growing: overlay 0.5, scale 1.15, banner alpha 0.8.
    banner.Update(1.25f);
    Drawn d = render();
    EXPECT_EQ(d.overlays, 1);
    EXPECT_EQ(d.overlayColor, 0x7F000000);
    EXPECT_EQ(d.imageColor, 0xCCFFFFFF);
    ASSERT_EQ(d.imageFloats.size(), 7u);
    const float w = float(banner.GetImage()->getWidth()) * 1.15f, h = float(banner.GetImage()->getHeight()) * 1.15f;
    EXPECT_NEAR(d.imageFloats[0], 1.15f, 1e-5f);
    EXPECT_NEAR(d.imageFloats[5], (1024.0f - w) * 0.5f, 1e-3f);
    EXPECT_NEAR(d.imageFloats[6], (768.0f - h) * 0.5f, 1e-3f);

    // A new run from any state; the case's own picture.
    banner.Start(false);
    EXPECT_EQ(banner.GetState(), Banner::Growing);
    EXPECT_EQ(banner.GetTimer(), 0.0f);
    EXPECT_EQ(banner.GetImage(), res->GetImageManager()->GetImage("Investigation_complete", ""));
}

TEST_F(BannerTest, LongFramesNeitherSkipPhasesNorWrapTheAlpha)
{
    setJingle(0);
    banner.Load();
    banner.Start(false);
    EXPECT_EQ(run(3.0f, 1), std::vector<std::uint32_t>{Banner::Growing});
    EXPECT_EQ(render().overlayColor, std::int64_t(std::uint32_t(3.0f / 3.5f * 255.0f)) << 24);
    // One transition per frame: at 9 s the fade-out is already over, drawn at alpha 0.
    EXPECT_EQ(run(3.0f, 2), (std::vector<std::uint32_t>{Banner::Holding, Banner::FadingOut}));
    Drawn d = render();
    EXPECT_EQ(d.overlayColor, 0xFF000000);
    EXPECT_EQ(d.imageColor, 0x00FFFFFF);
    EXPECT_EQ(run(3.0f, 1), std::vector<std::uint32_t>{Banner::Idle});
    EXPECT_EQ(render().overlays, 0);
}

TEST_F(BannerTest, HideCutsEveryRunningStateAtOnce)
{
    banner.Hide();
    EXPECT_EQ(banner.GetState(), Banner::NotLoaded);
    setJingle(0);
    banner.Load();
    for (float at : {1.0f, 5.0f, 7.5f}) {
        banner.Start(false);
        banner.Update(at > 3.5f ? 3.6f : at);
        if (at > 7.0f)
            banner.Update(at - 3.6f);
        ASSERT_TRUE(banner.IsRunning()) << at;
        banner.Hide();
        EXPECT_EQ(banner.GetState(), Banner::Idle);
        EXPECT_EQ(render().overlays, 0);
    }
}
