// A video frame and a Flash frame on the GL device, headless: where their
// pixels land in the back buffer.
#include <cstdlib>

#include "engine/gfx/a_flash_player.h"
#include "engine/gfx/a_theora_video.h"
#include "support/scripted_flash.h"
#include "support/theora_clip_writer.h"
#include "test_graph_server_fixture.h"

namespace {

class VideoPixels : public gstest::GlServerTest {
protected:
    void SetUp() override
    {
        gstest::GlServerTest::SetUp();
        server->setTextureFilter(false);
    }
    void TearDown() override
    {
        if (server && server->m_inScene)
            server->endScene();
        gstest::GlServerTest::TearDown();
    }

    static bool near(std::uint32_t got, std::uint32_t want, int tolerance)
    {
        for (int shift : {16, 8, 0})
            if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance)
                return false;
        return true;
    }
};

TEST_F(VideoPixels, AFrameLandsInPlace)
{
    clip_writer::Clip clip;
    clip.frameHeight = 32;
    clip.pictureWidth = 50;
    clip.pictureHeight = 30;
    clip.pictureX = 6;
    clip.pictureY = 2;
    const std::string path = test_env::home() + "/clip.ogv";
    test_env::writeFile(path, clip_writer::makeClip(clip));
    aTheoraVideo video;
    ASSERT_TRUE(video.open(path, false));
    video.update(0.0f);
    video.update(0.1f);

    ASSERT_TRUE(server->beginScene());
    video.draw(7.0f, 9.0f, nullptr, 0xFFFFFFFF, 0, 0.0f, 0);
    const auto px = backBuffer();
    const auto at = [&](int x, int y) { return px[std::size_t(y) * kWidth + std::size_t(x)]; };
    const std::uint32_t colour = clip_writer::rgb(clip_writer::frameColor(1));
    for (const auto& [x, y] : {std::pair{7 + 25, 9 + 15}, std::pair{7 + 49, 9 + 29}, std::pair{7 + 49, 9}})
        EXPECT_TRUE(near(at(x, y), colour, 4)) << x << "," << y << std::hex << " " << at(x, y);
    EXPECT_TRUE(near(at(7 + 2, 9 + 2), clip_writer::rgb(clip_writer::markerColor()), 12));
    EXPECT_EQ(at(6, 9), 0u);
    EXPECT_EQ(at(7, 8), 0u);
    EXPECT_EQ(at(7 + 50, 9 + 29), 0u);
    EXPECT_EQ(at(7 + 49, 9 + 30), 0u);
}

TEST_F(VideoPixels, AFlashFrameReadsBackUpright)
{
    auto script = std::make_shared<scripted_flash::Script>();
    script->currentFrame = 90;
    scripted_flash::install(script);
    const std::string path = test_env::home() + "/movie.swf";
    test_env::writeFile(path, "FWS");
    {
        aFlashPlayer player;
        ASSERT_TRUE(player.loadMovie(path, 20, 10));
        ASSERT_TRUE(server->beginScene());
        ASSERT_EQ(player.draw(10.0f, 20.0f, aRect(0, 0, 20, 10), 0xFFFFFFFF, nullptr, 0.0f, nullptr), S_OK);
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{19, 0}, std::pair{0, 9}, std::pair{13, 6}})
            EXPECT_EQ(pixel(10 + x, 20 + y), scripted_flash::pattern32(90, x, y) & 0xFFFFFF) << x << "," << y;
        EXPECT_EQ(pixel(9, 20), 0u);
        EXPECT_EQ(pixel(10, 30), 0u);
    }
    scripted_flash::uninstall();
}

} // namespace
