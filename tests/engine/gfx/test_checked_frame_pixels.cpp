// Scenes of many frames on the graph server, played as the game draws them
// (unchanged frames left as they were, changed ones drawn in part, and the
// device comparing each such frame with a whole redraw of it) and again with
// every frame drawn whole: every presented frame must be the same, byte for
// byte. The scenes change the way the game's pictures do: a looping video,
// a particle fountain, text whose glyphs enter the font's cache in the
// middle of a frame, an image that moves, turns and stops.
#include <cmath>
#include <functional>
#include <optional>
#include <set>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_particle_system.h"
#include "engine/gfx/a_theora_video.h"
#include "engine/util/a_random.h"
#include "platform/gfx/d3dx8.h"
#include "platform/system/window.h"
#include "support/theora_clip_writer.h"
#include "test_graph_server_fixture.h"

namespace {

using Picture = std::vector<std::uint8_t>;  // B, G, R, A per pixel, rows top first

class CheckedFramePixels : public gstest::ServerTestBase {
protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;
    static constexpr float kStep = 0.02f;  // game seconds per frame

    CheckedFramePixels() : ServerTestBase("Checked") {}

    void SetUp() override { ASSERT_EQ(app.init(m_name, nullptr, "", ""), 0); }

    // Draws frame i inside the scene. Made afresh for each run, after the
    // server (so each run starts from empty caches), and dropped before it.
    using Scene = std::function<void(int)>;
    using SceneMaker = std::function<Scene()>;

    struct Run {
        std::vector<Picture> frames;
        platform::GfxDeviceStats stats;
    };

    Run play(bool skip, int count, const SceneMaker& make)
    {
        // Read when the device is made; a run's own "abort" stays.
        std::optional<test_env::ScopedEnv> checks;
        if (skip && !test_env::switchedOn("A2D_CHECK_FRAMES"))
            checks.emplace("A2D_CHECK_FRAMES", "1");
        server = std::make_unique<aGraphServer>(kWidth, kHeight, false, true, nullptr, 0, false, false);
        server->m_clearColor = 0xFF203040;
        server->m_skipUnchangedFrames = skip;
        a_srand(47);
        Run run;
        {
            const Scene scene = make();
            for (int i = 0; i < count; ++i) {
                if (!server->beginScene()) {
                    ADD_FAILURE() << "frame " << i << " not begun";
                    break;
                }
                scene(i);
                server->endScene();
                run.frames.push_back(presented());
            }
        }
        run.stats = server->m_device->stats();
        server.reset();
        return run;
    }

    // Plays the scene both ways. The frames of the skipping run stay in
    // `frames`; its counts are returned.
    platform::GfxDeviceStats same(int count, const SceneMaker& make)
    {
        const Run skipped = play(true, count, make);
        const Run whole = play(false, count, make);
        EXPECT_EQ(whole.stats.framesWhole, std::uint64_t(count));
        EXPECT_EQ(skipped.frames.size(), std::size_t(count));
        EXPECT_EQ(whole.frames.size(), std::size_t(count));
        for (std::size_t i = 0; i < skipped.frames.size() && i < whole.frames.size(); ++i) {
            const std::size_t differ = differing(skipped.frames[i], whole.frames[i]);
            if (differ > 0) {
                ADD_FAILURE() << "frame " << i << ": " << differ << " pixels differ from the frame drawn whole";
                break;
            }
        }
        const platform::GfxDeviceStats& s = skipped.stats;
        EXPECT_EQ(s.framesMismatched, 0u);
        if (test_env::switchedOn("A2D_WHOLE_FRAMES")) {
            EXPECT_EQ(s.framesWhole, std::uint64_t(count));
            EXPECT_GT(s.framesForcedWhole, 0u);
        } else {
            EXPECT_EQ(s.framesChecked, s.framesPartial + s.framesSkipped);
        }
        frames = skipped.frames;
        return s;
    }

    // At least so many frames drawn in part and left as they were: the
    // scene exercised what the comparison is about (unless every frame is
    // drawn whole for a comparison run).
    static void expectMix(const platform::GfxDeviceStats& s, std::uint64_t partial, std::uint64_t skipped)
    {
        if (test_env::switchedOn("A2D_WHOLE_FRAMES"))
            return;
        EXPECT_GE(s.framesPartial, partial);
        EXPECT_GE(s.framesSkipped, skipped);
    }

    Picture presented()
    {
        Picture bgra;
        int w = 0, h = 0;
        EXPECT_TRUE(server->m_window->readPresented(bgra, w, h));
        EXPECT_EQ(bgra.size(), std::size_t(kWidth) * kHeight * 4);
        return bgra;
    }

    static std::size_t differing(const Picture& a, const Picture& b)
    {
        if (a.size() != b.size())
            return std::max(a.size(), b.size()) / 4;
        std::size_t n = 0;
        for (std::size_t i = 0; i + 3 < a.size(); i += 4)
            n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
        return n;
    }

    static std::uint32_t at(const Picture& p, int x, int y)
    {
        const std::uint8_t* px = &p[(std::size_t(y) * kWidth + std::size_t(x)) * 4];
        return std::uint32_t(px[2]) << 16 | std::uint32_t(px[1]) << 8 | px[0];
    }

    static bool near(std::uint32_t got, std::uint32_t want, int tolerance)
    {
        for (int shift : {16, 8, 0})
            if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance)
                return false;
        return true;
    }

    // A w x h image, ARGB colour(x, y) per pixel.
    static std::shared_ptr<aImage> image(int w, int h, const std::function<std::uint32_t(int, int)>& colour)
    {
        auto img = std::make_shared<aImage>(std::uint32_t(w), std::uint32_t(h));
        aImage::LockInfo info;
        if (!img->lock(info, nullptr, false)) {
            ADD_FAILURE() << "image lock";
            return img;
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                info.SetColorAt(std::uint32_t(x), std::uint32_t(y), colour(x, y));
        img->unlock();
        return img;
    }

    // Half-transparent bands over the clear colour: what lies under every
    // scene, so that a pixel drawn in part blends over the right one.
    static std::shared_ptr<aImage> backdrop()
    {
        return image(kWidth, kHeight, [](int x, int y) {
            return std::uint32_t(0x60 + (y % 32) * 3) << 24 | std::uint32_t(x * 255 / kWidth) << 16 |
                   std::uint32_t(y * 2) << 8 | 0x50;
        });
    }

    std::vector<Picture> frames;
};

TEST_F(CheckedFramePixels, ALoopingVideoDrawnPlainAndTurned)
{
    clip_writer::Clip clip;
    clip.frameWidth = 48;
    clip.frameHeight = 32;
    clip.pictureWidth = 48;
    clip.pictureHeight = 32;
    clip.frames = 5;
    const std::string path = test_env::home() + "/loop.ogv";
    test_env::writeFile(path, clip_writer::makeClip(clip));

    // 25 pictures a second against 50 frames: every other frame shows no
    // new picture; 60 frames play the five pictures some six times.
    const platform::GfxDeviceStats stats = same(60, [&] {
        auto back = backdrop();
        auto video = std::make_shared<aTheoraVideo>();
        EXPECT_TRUE(video->open(path, true));
        return [back, video](int) {
            back->draw(0.0f, 0.0f);
            video->update(kStep);
            video->draw(20.0f, 16.0f, nullptr, 0xFFFFFFFF, 0, 0.0f, 0);
            video->draw(100.0f, 70.0f, nullptr, 0xC0FFFFFF, 0, 0.4f, 0);
        };
    });
    expectMix(stats, 20, 20);

    // The plain copy's middle goes through every picture's colour, and the
    // first comes back after the last.
    std::vector<int> shown;
    for (const Picture& p : frames) {
        for (int k = 0; k < clip.frames; ++k) {
            if (near(at(p, 20 + 24, 16 + 20), clip_writer::rgb(clip_writer::frameColor(k)), 6) &&
                (shown.empty() || shown.back() != k))
                shown.push_back(k);
        }
    }
    ASSERT_GE(shown.size(), 12u);
    for (std::size_t i = 1; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], (shown[i - 1] + 1) % clip.frames) << i;
}

TEST_F(CheckedFramePixels, AParticleFountainStartsPlaysAndDiesAway)
{
    const std::string path = test_env::home() + "/fountain.psys";
    // Upwards (the y axis points down), falling back, turning, fading; added
    // to what lies under it.
    test_env::writeFile(path, "fps 50\nmax_particles 200\nemit_per_sec 40\nemitter_life 0.6\n"
                              "velocity 50 70\nspread 4.3 5.1\ngravity 90 110\nparticle_life 0.6 0.9\n"
                              "size 1 0.5 0.2\nspin 0 4 1\ncolor FFFFC040 40FF4000 0.1 0.1\nblend_mode 1\n");
    std::uint32_t mostAlive = 0;
    const platform::GfxDeviceStats stats = same(100, [&] {
        auto back = backdrop();
        auto dot = image(8, 8, [](int x, int y) {
            const int d = std::abs(2 * x - 7) + std::abs(2 * y - 7);
            return std::uint32_t(std::max(0, 255 - d * 18)) << 24 | 0xFFFFFF;
        });
        auto fountain = std::make_shared<aParticleSystem>(path, nullptr, nullptr);
        fountain->setTexture(dot.get(), nullptr);
        return [&mostAlive, back, dot, fountain](int i) {
            back->draw(0.0f, 0.0f);
            // Still before it starts and once every particle is gone.
            if (i == 15)
                fountain->startAt(80.0f, 100.0f);
            if (i >= 15)
                fountain->update(kStep);
            mostAlive = std::max(mostAlive, fountain->getLiveCount());
            fountain->render();
        };
    });
    EXPECT_GE(mostAlive, 15u);
    expectMix(stats, 30, 15);
    // It rose above the emitter and fell back by the end.
    bool above = false;
    for (const Picture& p : frames)
        for (int x = 50; x < 110 && !above; ++x)
            above = at(p, x, 85) != at(frames[0], x, 85);
    EXPECT_TRUE(above);
    EXPECT_EQ(differing(frames.back(), frames[0]), 0u);
}

TEST_F(CheckedFramePixels, TextWhoseGlyphsEnterTheCacheMidFrame)
{
    const std::string line = "Sphinx of black quartz, judge my vow";
    auto counter = [](int i) { return "Frame " + std::to_string(i / 5 * 7); };
    auto grown = [&](int i) { return line.substr(0, std::size_t(std::min<int>(i / 2, int(line.size())))); };
    // Frames where a glyph is drawn for the first time, after the title has
    // drawn from the same cache texture.
    std::set<char> cached;
    for (char c : std::string("Checked text"))
        cached.insert(c);
    int entering = 0;
    for (int i = 0; i < 80; ++i) {
        bool fresh = false;
        for (char c : counter(i) + grown(i))
            fresh = cached.insert(c).second || fresh;
        entering += fresh;
    }
    ASSERT_GE(entering, 12);

    const platform::GfxDeviceStats stats = same(80, [&] {
        auto back = backdrop();
        LOGFONTA lf;
        lf.lfHeight = -13;
        std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", "Arial");
        auto font = std::make_shared<platform::GfxFont*>(nullptr);
        server->createFont("checked", lf, font.get());
        EXPECT_NE(*font, nullptr);
        // The server owns the font and writes through the pointer: it goes
        // before the pointer does.
        auto drop = std::shared_ptr<void>(nullptr, [this, font](void*) { server->deleteFont("checked"); });
        return [&, back, font, drop](int i) {
            back->draw(0.0f, 0.0f);
            if (!*font)
                return;
            (*font)->Begin();
            RECT title{4, 4, kWidth, 24};
            (*font)->DrawTextA("Checked text", -1, &title, 0, 0xFFFFFFFF);
            RECT middle{4, 40, kWidth, 60};
            (*font)->DrawTextA(counter(i).c_str(), -1, &middle, 0, 0xC0FFFF80);
            RECT bottom{2, 80, kWidth, 100};
            (*font)->DrawTextA(grown(i).c_str(), -1, &bottom, 0, 0xE080FFFF);
            (*font)->End();
        };
    });
    expectMix(stats, 15, 15);
    // By the end the line reaches the right half.
    std::size_t right = 0;
    for (int y = 80; y < 100; ++y)
        for (int x = kWidth / 2; x < kWidth; ++x)
            right += at(frames.back(), x, y) != at(frames[0], x, y);
    EXPECT_GT(right, 80u);
}

TEST_F(CheckedFramePixels, AnImageMovesTurnsAndStops)
{
    // Still, then moving by fractions of a pixel along a wave, then turning
    // and growing in place, then still again; a bar drawn over its path.
    struct Place {
        float x, y, angle, scale;
    };
    auto place = [](int i) {
        const int moving = std::clamp(i - 10, 0, 40);
        const int turning = std::clamp(i - 50, 0, 20);
        return Place{10.0f + 2.5f * float(moving), 50.0f + 12.0f * std::sin(0.2f * float(moving)),
                     0.12f * float(turning), 1.0f + 0.02f * float(turning)};
    };
    const platform::GfxDeviceStats stats = same(80, [&] {
        auto back = backdrop();
        // Magenta with a half-transparent yellow rim.
        auto sprite = image(20, 20, [](int x, int y) {
            return x < 3 || y < 3 || x >= 17 || y >= 17 ? 0x80FFFF00u : 0xFFFF00FFu;
        });
        auto bar = image(12, kHeight, [](int, int y) { return 0x9000FF00u | std::uint32_t(y); });
        return [=](int i) {
            back->draw(0.0f, 0.0f);
            const Place p = place(i);
            const D3DXVECTOR2 scale{p.scale, p.scale};
            sprite->draw(p.x, p.y, 0xFFFFFFFF, &scale, p.angle);
            bar->draw(70.0f, 0.0f);
        };
    });
    expectMix(stats, 50, 15);
    const Place last = place(79);
    const int middle = int(10.0f * last.scale);
    EXPECT_EQ(at(frames.back(), int(last.x) + middle, int(last.y) + middle), 0xFF00FFu);
    // Where it stood at first, the backdrop alone again.
    EXPECT_NE(at(frames[0], 15, 55), at(frames.back(), 15, 55));
}

} // namespace
