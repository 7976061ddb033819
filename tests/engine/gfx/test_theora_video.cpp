// Theora video on the recording device: the conversion, clips encoded at test
// time (pace, colours, picture offset, looping, other streams, archives), the
// mends for looping and frame sizes, and broken files.
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "engine/gfx/a_theora_video.h"
#include "support/theora_clip_writer.h"
#include "support/zip_writer.h"
#include "test_image_fixture.h"

using clip_writer::Clip;

namespace {

// Every channel within the tolerance.
::testing::AssertionResult near(std::uint32_t got, std::uint32_t want, int tolerance = 4)
{
    for (int shift : {16, 8, 0}) {
        const int g = int((got >> shift) & 0xFF), w = int((want >> shift) & 0xFF);
        if (std::abs(g - w) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "got " << got << ", want " << want;
    }
    return ::testing::AssertionSuccess();
}

TEST(TheoraConversion, TablesSamplesAndByteOrder)
{
    const aTheoraVideo::YuvTables& t = aTheoraVideo::yuvTables();
    EXPECT_EQ(t.greenFromU[0], -43);
    EXPECT_EQ(t.redFromV[0], -222);
    EXPECT_EQ(t.redFromV[255], 220);
    EXPECT_EQ(t.blueFromU[128], 0);
    EXPECT_EQ(t.greenFromV[128], 0);

    // Grey, and red clamped at 255; bytes B, G, R, A.
    const std::uint8_t grey = 128, full = 255;
    aYuvPlanes p;
    p.y = &grey;
    p.u = &grey;
    p.v = &grey;
    p.width = p.height = 1;
    std::uint32_t out = 0;
    aTheoraVideo::convert(p, &out);
    EXPECT_EQ(out, 0xFF808080u);
    p.y = &full;
    p.v = &full;
    aTheoraVideo::convert(p, &out);
    EXPECT_EQ(out >> 16, 0xFFFFu);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&out);
    EXPECT_EQ(bytes[2], 255);
    EXPECT_EQ(bytes[3], 255);
    EXPECT_EQ(bytes[0], std::uint8_t(std::clamp(255 + t.blueFromU[128], 0, 255)));

    // Strides wider than the planes, a picture offset, and (second pass) the
    // rows stored bottom-up with negative strides and an odd offset.
    constexpr int yStride = 13, uvStride = 9, rows = 8;
    std::uint8_t y[yStride * rows], u[uvStride * rows / 2], v[uvStride * rows / 2];
    for (int i = 0; i < yStride * rows; ++i)
        y[i] = std::uint8_t(i * 7 + 3);
    for (int i = 0; i < uvStride * rows / 2; ++i) {
        u[i] = std::uint8_t(i * 11 + 40);
        v[i] = std::uint8_t(255 - i * 5);
    }
    for (bool flipped : {false, true}) {
        aYuvPlanes q;
        q.yStride = flipped ? -yStride : yStride;
        q.uvStride = flipped ? -uvStride : uvStride;
        q.y = flipped ? y + yStride * (rows - 1) : y;
        q.u = flipped ? u + uvStride * (rows / 2 - 1) : u;
        q.v = flipped ? v + uvStride * (rows / 2 - 1) : v;
        q.pictureX = flipped ? 3 : 2;
        q.pictureY = 2;
        q.width = 7;
        q.height = 5;
        std::vector<std::uint32_t> px(35);
        aTheoraVideo::convert(q, px.data());
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 7; ++col) {
                const int ly = 2 + row, lx = int(q.pictureX) + col;
                const int yRow = flipped ? rows - 1 - ly : ly, cRow = flipped ? rows / 2 - 1 - ly / 2 : ly / 2;
                const int Y = y[yRow * yStride + lx], U = u[cRow * uvStride + lx / 2], V = v[cRow * uvStride + lx / 2];
                const auto c = [](int x) { return std::uint32_t(std::clamp(x, 0, 255)); };
                const std::uint32_t want = 0xFF000000u | c(Y + t.redFromV[V]) << 16 |
                                           c(Y - t.greenFromU[U] - t.greenFromV[V]) << 8 | c(Y + t.blueFromU[U]);
                EXPECT_EQ(px[std::size_t(row * 7 + col)], want) << row << "," << col << " flipped " << flipped;
            }
        }
    }

    // No texture: the copy is refused.
    aImage none;
    EXPECT_FALSE(aTheoraVideo::copyToImage(none, &out, 1, 1));
}

class VideoTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "VideoTest"; }

    std::string clipFile(const std::string& name, const Clip& clip) { return putFile(name, clip_writer::makeClip(clip)); }

    static Clip offsetClip()
    {
        Clip c;
        c.frameWidth = 64;
        c.frameHeight = 32;
        c.pictureWidth = 50;
        c.pictureHeight = 30;
        c.pictureX = 6;
        c.pictureY = 2;
        return c;
    }

    static std::uint32_t colour(int frame) { return clip_writer::rgb(clip_writer::frameColor(frame)); }

    // The picture shows the frame: its colour away from the marker, the
    // marker at the top-left, the colour again at the bottom-right corner.
    static ::testing::AssertionResult shows(const aTheoraVideo& video, int frame)
    {
        const aImage& im = video.getImage();
        const int w = im.getWidth(), h = im.getHeight();
        const std::pair<int, int> flat[] = {{w / 2, h / 2}, {w - 1, h - 1}, {w - 1, 0}, {0, h - 1}};
        for (const auto& [x, y] : flat)
            if (auto r = near(im.getPixel(x, y), colour(frame)); !r)
                return r << " at " << x << "," << y << " for frame " << frame;
        // The marker's edges are not on coding-block edges: looser there.
        if (auto r = near(im.getPixel(2, 2), clip_writer::rgb(clip_writer::markerColor()), 12); !r)
            return r << " at the marker";
        return ::testing::AssertionSuccess();
    }

    std::size_t locks() const { return rec->count("Texture.LockRect"); }
};

TEST_F(VideoTest, PlaysOneFramePerFrameTimeAndKeepsTheLastAtTheEnd)
{
    aTheoraVideo video;
    EXPECT_FALSE(video.isOpen());
    ASSERT_TRUE(video.open(clipFile("v.ogv", Clip{}), false));
    EXPECT_TRUE(video.isOpen());
    EXPECT_EQ(video.getWidth(), 64u);
    EXPECT_EQ(video.getHeight(), 48u);
    EXPECT_FLOAT_EQ(video.getFrameTime(), 0.04f);
    EXPECT_EQ(video.getImage().getWidth(), 64);

    video.update(0.0f);
    EXPECT_TRUE(shows(video, 0));
    const std::size_t afterFirst = locks();
    video.update(0.01f);
    EXPECT_EQ(locks(), afterFirst);  // no frame time passed
    // 0.1 s steps: one frame each, slower than real time.
    video.update(0.1f);
    EXPECT_TRUE(shows(video, 1));
    video.update(0.1f);
    EXPECT_TRUE(shows(video, 2));
    EXPECT_TRUE(video.isOpen());
    video.update(0.1f);
    EXPECT_FALSE(video.isOpen());
    EXPECT_TRUE(shows(video, 2));
    video.update(0.1f);
    EXPECT_TRUE(shows(video, 2));
}

TEST_F(VideoTest, APictureInsideALargerFrameShowsNoPaddingAndLoops)
{
    aTheoraVideo video;
    ASSERT_TRUE(video.open(clipFile("offset.ogv", offsetClip()), true));
    EXPECT_EQ(video.getWidth(), 50u);
    EXPECT_EQ(video.getHeight(), 30u);
    EXPECT_EQ(video.getImage().getWidth(), 50);
    EXPECT_EQ(video.getImage().getHeight(), 30);
    for (int frame = 0; frame < 3; ++frame) {
        video.update(0.1f);
        EXPECT_TRUE(shows(video, frame));
    }
    // The end starts the clip again.
    video.update(0.1f);
    EXPECT_TRUE(video.isOpen());
    EXPECT_TRUE(shows(video, 0));
    video.update(0.1f);
    EXPECT_TRUE(shows(video, 1));
    EXPECT_EQ(newLog().find("ERROR"), std::string::npos);
}

TEST_F(VideoTest, OtherStreamsAndArchivedClipsPlay)
{
    Clip withSound;
    withSound.vorbisFirst = true;
    aTheoraVideo video;
    ASSERT_TRUE(video.open(clipFile("sound.ogv", withSound), false));
    video.update(0.0f);
    EXPECT_TRUE(shows(video, 0));

    ASSERT_TRUE(zip_writer::writeZip(test_env::home() + "/tmp/GameData/Videos.zip",
                                     {{"intro.ogv", clip_writer::makeClip(offsetClip()), true}}));
    aTheoraVideo packed;
    ASSERT_TRUE(packed.open(test_env::home() + "/tmp/GameData/Videos/Intro.OGV", false));
    packed.update(0.0f);
    packed.update(0.1f);
    EXPECT_TRUE(shows(packed, 1));
    // Opening again closes the first stream.
    ASSERT_TRUE(packed.open(test_env::home() + "/tmp/GameData/Videos/intro.ogv", false));
    packed.update(0.0f);
    EXPECT_TRUE(shows(packed, 0));
}

TEST_F(VideoTest, BrokenFilesAreRefusedWithALine)
{
    aTheoraVideo video;
    EXPECT_FALSE(video.open(test_env::home() + "/missing.ogv", false));
    EXPECT_NE(newLog().find("File open error!"), std::string::npos);

    EXPECT_FALSE(video.open(putFile("garbage.ogv", std::string(20000, 'x')), false));
    EXPECT_NE(newLog().find("garbage.ogv: no Theora stream"), std::string::npos);

    Clip zeroRate;
    zeroRate.zeroFrameRate = true;
    EXPECT_FALSE(video.open(clipFile("zero.ogv", zeroRate), false));
    EXPECT_NE(newLog().find("zero.ogv"), std::string::npos);

    Clip fullChroma;
    fullChroma.fullChroma = true;
    EXPECT_FALSE(video.open(clipFile("444.ogv", fullChroma), false));
    EXPECT_NE(newLog().find("444.ogv: chroma is not 4:2:0"), std::string::npos);

    const std::string whole = clip_writer::makeClip(Clip{});
    EXPECT_FALSE(video.open(putFile("cut.ogv", whole.substr(0, 200)), false));
    EXPECT_NE(newLog().find("cut.ogv"), std::string::npos);
    EXPECT_FALSE(video.isOpen());

    // Cut among the frames: what is there plays, then the end comes early.
    Clip longer;
    longer.frames = 8;
    const std::string all = clip_writer::makeClip(longer);
    longer.frames = 0;
    const std::size_t headers = clip_writer::makeClip(longer).size();
    ASSERT_TRUE(video.open(putFile("short.ogv", all.substr(0, (headers + all.size()) / 2)), false));
    for (int i = 0; i < 10 && video.isOpen(); ++i)
        video.update(0.1f);
    EXPECT_FALSE(video.isOpen());

    // A first packet that does not decode shows nothing; decoding goes on.
    Clip badStart;
    badStart.badFirstFrame = true;
    ASSERT_TRUE(video.open(clipFile("bad.ogv", badStart), false));
    const std::size_t before = locks();
    video.update(0.1f);
    EXPECT_EQ(locks(), before);
    EXPECT_NE(newLog().find("ERROR theora_decode_packetin"), std::string::npos);
    while (video.isOpen())
        video.update(0.1f);

    // Headers and no frame, looped: closed, not restarted for ever.
    Clip empty;
    empty.frames = 0;
    ASSERT_TRUE(video.open(clipFile("empty.ogv", empty), true));
    video.update(0.1f);
    EXPECT_FALSE(video.isOpen());
    EXPECT_NE(newLog().find("empty.ogv: no frame in the file"), std::string::npos);
}

class SmallTextureVideoTest : public VideoTest {
protected:
    void configureRecorder(platform::Recorder& r) override
    {
        r.halCaps.MaxTextureWidth = r.halCaps.MaxTextureHeight = 64;
    }
};

TEST_F(SmallTextureVideoTest, APictureLargerThanTheDeviceHoldsIsRefused)
{
    Clip wide;
    wide.frameWidth = wide.pictureWidth = 80;
    aTheoraVideo video;
    EXPECT_FALSE(video.open(clipFile("wide.ogv", wide), false));
    EXPECT_NE(newLog().find("wide.ogv: picture 80x48 (at most 64"), std::string::npos);
    EXPECT_TRUE(video.open(clipFile("fits.ogv", Clip{}), false));
}

TEST_F(VideoTest, ALoopThatCannotStartAgainOrChangesSizeStopsCleanly)
{
    const std::string path = clipFile("changing.ogv", Clip{});
    aTheoraVideo video;
    ASSERT_TRUE(video.open(path, true));
    for (int i = 0; i < 3; ++i)
        video.update(0.1f);
    EXPECT_TRUE(shows(video, 2));

    // The file is rewritten in place while it plays: the restart finds a
    // clip of other plane sizes, whose frames are skipped.
    Clip smaller;
    smaller.frameWidth = smaller.pictureWidth = 32;
    smaller.frameHeight = smaller.pictureHeight = 32;
    smaller.frames = 2;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << clip_writer::makeClip(smaller);
    newLog();
    video.update(0.1f);
    video.update(0.1f);
    EXPECT_TRUE(video.isOpen());
    EXPECT_TRUE(shows(video, 2));
    const std::string skipped = newLog();
    EXPECT_NE(skipped.find("frames skipped"), std::string::npos);

    // Now it cannot start again at all: closed, the last frame kept.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(100, 'z');
    for (int i = 0; i < 3; ++i)
        video.update(0.1f);
    EXPECT_FALSE(video.isOpen());
    EXPECT_TRUE(shows(video, 2));
    EXPECT_NE(newLog().find("cannot start again"), std::string::npos);
}

TEST_F(VideoTest, DrawSetsTheBlendModeAroundTheImage)
{
    aTheoraVideo video;
    ASSERT_TRUE(video.open(clipFile("v.ogv", Clip{}), false));
    video.update(0.0f);
    ASSERT_TRUE(graph->beginScene());
    rec->clear();
    video.draw(5.0f, 6.0f, nullptr, 0xFFFFFFFF, 0, 0.0f, 1);
    EXPECT_EQ(graph->m_blendMode, 0);
    const auto calls = rec->strings();
    const auto at = [&](const std::string& s) {
        return std::find(calls.begin(), calls.end(), s) - calls.begin();
    };
    const auto additive = at("SetRenderState(20, 2)"), draw = at("Sprite.Draw(0, 0, 64, 48, 4294967295)"),
               back = at("SetRenderState(20, 6)");
    EXPECT_LT(additive, draw);
    EXPECT_LT(draw, back);
    EXPECT_LT(back, std::ptrdiff_t(calls.size()));
    graph->endScene();
}

} // namespace
