// Particle systems on the GL device of a headless window: what reaches the pixels.
#include <cstdlib>
#include <memory>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_particle_system.h"
#include "test_graph_server_fixture.h"

namespace {

class ParticlePixels : public gstest::GlServerTest {
protected:
    void SetUp() override
    {
        GlServerTest::SetUp();
        white = image(16, 16, 0xFFFFFFFF, 0xFFFFFFFF);
    }
    void TearDown() override
    {
        white.reset();
        GlServerTest::TearDown();
    }

    // A w x h image, left half `left`, right half `right`.
    std::unique_ptr<aImage> image(int w, int h, std::uint32_t left, std::uint32_t right)
    {
        auto img = std::make_unique<aImage>(std::uint32_t(w), std::uint32_t(h));
        aImage::LockInfo info;
        if (img->lock(info, nullptr, false)) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    info.SetColorAt(std::uint32_t(x), std::uint32_t(y), x < w / 2 ? left : right);
            img->unlock();
        }
        return img;
    }

    // One still particle of the colour at (x, y), drawn from a 16 x 16 image.
    std::unique_ptr<aParticleSystem> still(const char* color, float x, float y, int blend = 0)
    {
        const std::string path = test_env::home() + "/still.psys";
        test_env::writeFile(path, std::string("fps 50\nemitter_life 0\nemit_per_sec 1\nvelocity 0 0\n"
                                              "particle_life 100 100\nspread 0 0\nsize 1 1 0\nblend_mode ") +
                                      std::to_string(blend) + "\ncolor " + color + " " + color + " 0 0\n");
        auto s = std::make_unique<aParticleSystem>(path, nullptr, nullptr);
        s->setTexture(white.get(), nullptr);
        s->startAt(x, y);
        return s;
    }

    static bool near(std::uint32_t rgb, int r, int g, int b)
    {
        return std::abs(int(rgb >> 16 & 0xFF) - r) <= 2 && std::abs(int(rgb >> 8 & 0xFF) - g) <= 2 &&
               std::abs(int(rgb & 0xFF) - b) <= 2;
    }

    std::unique_ptr<aImage> white;
};

TEST_F(ParticlePixels, ColoursBlendingAndSeveralSystemsInOneFrame)
{
    auto green = still("FF00FF00", 20, 20);
    ASSERT_TRUE(server->beginScene());
    green->render();
    server->endScene();
    EXPECT_EQ(pixel(20, 20), 0x00FF00u);
    EXPECT_EQ(pixel(40, 20), 0u);

    // Opaque red under half-transparent blue (alpha blend), and under
    // half-strength green added.
    auto red = still("FFFF0000", 15, 15);
    auto red2 = still("FFFF0000", 45, 30);
    auto blue = still("800000FF", 15, 15);
    auto added = still("8000FF00", 45, 30, 1);
    // Two colours far apart in one frame: the second lock of the shared
    // buffer must not spoil the first draw.
    auto a = still("FFFFFF00", 5, 40);
    auto b = still("FF00FFFF", 58, 5);
    ASSERT_TRUE(server->beginScene());
    for (aParticleSystem* s : {red.get(), red2.get(), blue.get(), added.get(), a.get(), b.get()})
        s->render();
    EXPECT_EQ(server->m_blendMode, 0);
    server->endScene();
    EXPECT_TRUE(near(pixel(15, 15), 127, 0, 128)) << std::hex << pixel(15, 15);
    EXPECT_TRUE(near(pixel(45, 30), 255, 128, 0)) << std::hex << pixel(45, 30);
    EXPECT_EQ(pixel(5, 40), 0xFFFF00u);
    EXPECT_EQ(pixel(58, 5), 0x00FFFFu);
}

TEST_F(ParticlePixels, SpinByDirectionAndTheAlphaMultiplier)
{
    // Red on the left of the texture, blue on the right; moving down, the
    // quad faces its velocity, so the left (red) half is above.
    auto split = image(16, 16, 0xFFFF0000, 0xFF0000FF);
    const std::string path = test_env::home() + "/fall.psys";
    test_env::writeFile(path, "fps 50\nemitter_life 0\nemit_per_sec 1\nvelocity 20 20\nparticle_life 100 100\n"
                              "spread 1.5707964 1.5707964\nspin_by_dir 1\nsize 1 1 0\n"
                              "color FFFFFFFF FFFFFFFF 0 0\n");
    aParticleSystem fall(path, nullptr, nullptr);
    fall.setTexture(split.get(), nullptr);
    fall.startAt(32, 16);
    fall.update(0.5f);
    ASSERT_EQ(fall.getLiveCount(), 1u);
    ASSERT_TRUE(server->beginScene());
    fall.render();
    server->endScene();
    EXPECT_EQ(pixel(32, 26 - 4), 0xFF0000u);
    EXPECT_EQ(pixel(32, 26 + 4), 0x0000FFu);

    auto half = still("FFFFFFFF", 32, 24);
    half->setAlpha(0.5f);
    ASSERT_TRUE(server->beginScene());
    half->render();
    server->endScene();
    EXPECT_TRUE(near(pixel(32, 24), 128, 128, 128)) << std::hex << pixel(32, 24);
}

} // namespace
