// Frame lists, animation timing and play modes, drawing and hit tests.
#include "engine/gfx/a_sprite.h"

#include <cmath>

#include "test_image_fixture.h"

#include "support/jng_writer.h"

using imgtest::solid;

namespace {

// Three frames of 2 ticks each, no image.
aAnim threeFrames(std::int32_t mode)
{
    aAnim a;
    for (int i = 0; i < 3; ++i)
        a.addFrame(2, nullptr, aRect(std::int16_t(i * 10), 0, 10, 10));
    a.setFrameTime(0.1f);
    a.setPlayMode(mode);
    a.play();
    return a;
}

// Runs ticks of 0.1 s, one at a time, collecting the frame after each.
std::vector<int> run(aAnim& a, int ticks)
{
    std::vector<int> frames;
    for (int i = 0; i < ticks; ++i) {
        a.update(0.1f);
        frames.push_back(a.getFrame());
    }
    return frames;
}

TEST(Anim, OneUpdateRunsEveryTickItCovers)
{
    aAnim a = threeFrames(ANIM_LOOP);
    EXPECT_EQ(a.getFrame(), 0);
    EXPECT_EQ(a.getFrameTicks(), 2);
    a.update(0.45f);
    EXPECT_EQ(a.getFrame(), 2);
    EXPECT_EQ(a.getFrameTicks(), 2);
    EXPECT_NEAR(a.getElapsed(), 0.05f, 1e-5);
    EXPECT_FALSE(a.isStopped());
    // Loop wraps to frame 0.
    EXPECT_EQ(run(a, 3), (std::vector<int>{2, 0, 0}));
}

TEST(Anim, PlayModes)
{
    {
        aAnim a = threeFrames(0);
        EXPECT_EQ(run(a, 6), (std::vector<int>{0, 1, 1, 2, 2, 2}));
        EXPECT_TRUE(a.isStopped());
        EXPECT_TRUE(a.isLastFrame());
        a.update(1.0f);
        EXPECT_EQ(a.getFrame(), 2);
    }
    {
        aAnim a = threeFrames(ANIM_PINGPONG);
        const auto frames = run(a, 14);
        EXPECT_EQ(frames, (std::vector<int>{0, 1, 1, 2, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0}));
        EXPECT_TRUE(a.isStopped());
        EXPECT_EQ(a.getFrame(), 0);
    }
    {
        aAnim a = threeFrames(ANIM_PINGPONG | ANIM_LOOP);
        const auto frames = run(a, 16);
        EXPECT_EQ(frames, (std::vector<int>{0, 1, 1, 2, 2, 2, 1, 1, 0, 0, 0, 1, 1, 2, 2, 2}));
        EXPECT_FALSE(a.isStopped());
    }
    {
        aAnim a = threeFrames(ANIM_BACKWARDS | ANIM_LOOP);
        EXPECT_EQ(run(a, 4), (std::vector<int>{0, 2, 2, 1}));
    }
    {
        aAnim a = threeFrames(ANIM_BACKWARDS);
        a.setFrame(1, 1);
        EXPECT_EQ(run(a, 3), (std::vector<int>{0, 0, 0}));
        EXPECT_TRUE(a.isStopped());
    }
}

TEST(Anim, ALastFrameOfZeroTicksStillEndsTheRun)
{
    aAnim a;
    a.addFrame(1, nullptr, aRect());
    a.addFrame(0, nullptr, aRect());
    a.setPlayMode(0);
    a.play();
    a.update(a.getFrameTime() * 10.5f);
    EXPECT_TRUE(a.isStopped());
    EXPECT_EQ(a.getFrame(), 1);
}

TEST(Anim, FrameTimeMustBePositive)
{
    aAnim a = threeFrames(ANIM_LOOP);
    for (float t : {0.0f, -1.0f, std::nanf("")})
        a.setFrameTime(t);
    EXPECT_EQ(a.getFrameTime(), 0.1f);
    a.update(std::nanf(""));
    a.update(1e30f);
    EXPECT_FALSE(a.isStopped());
}

TEST(Anim, CopiesShareTheFrameListUntilOneClearsIt)
{
    aAnim first = threeFrames(ANIM_LOOP);
    first.update(0.35f);  // frame 1, 1 tick left
    aAnim copy(first);
    EXPECT_EQ(copy.getFrameList(), first.getFrameList());
    EXPECT_EQ(copy.getFrame(), 1);
    EXPECT_EQ(copy.getFrameTicks(), 1);
    EXPECT_FALSE(copy.isStopped());
    EXPECT_EQ(copy.getFrameTime(), 0.1f);

    copy.addFrame(5, nullptr, aRect());
    EXPECT_EQ(first.getFrameCount(), 4);
    copy.clearFrames();
    EXPECT_EQ(first.getFrameCount(), 4);
    EXPECT_EQ(copy.getFrameCount(), 0);
    EXPECT_EQ(copy.getFrameDuration(), 0);
    EXPECT_EQ(copy.getFrameWidth(), 0);
    EXPECT_FALSE(copy.isLastFrame());

    aAnim assigned;
    assigned = first;
    assigned = assigned;
    EXPECT_EQ(assigned.getFrameList(), first.getFrameList());
    EXPECT_EQ(first.getFrameList()->refCount, 2);
    assigned = aAnim();
    EXPECT_EQ(first.getFrameList()->refCount, 1);
}

TEST(Anim, SetFrameAndTheFrameAccessors)
{
    aAnim a = threeFrames(ANIM_LOOP);
    a.setFrame(2, 0);
    EXPECT_EQ(a.getFrame(), 2);
    EXPECT_EQ(a.getFrameTicks(), 2);
    a.setFrame(3, 1);
    EXPECT_EQ(a.getFrame(), 2);
    a.setFrame(1, 7);
    EXPECT_EQ(a.getFrameTicks(), 7);
    EXPECT_EQ(a.getFrameDuration(), 2);
    a.setLastFrame();
    EXPECT_TRUE(a.isLastFrame());
    a.setFirstFrame();
    EXPECT_TRUE(a.isFirstFrame());
    EXPECT_EQ(a.getFrameWidth(), 10);
}

class SpriteDrawing : public imgtest::RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        std::vector<std::uint32_t> px = solid(100, 40, 0xFF0000FF);
        px[std::size_t(12 * 100 + 35)] = 0x00000000;
        sheet = std::make_unique<aImage>(putFile("sheet.png", jng_writer::buildPng(100, 40, px)), D3DFMT_A8R8G8B8,
                                         D3DFMT_A8R8G8B8);
    }
    std::unique_ptr<aImage> sheet;
};

TEST_F(SpriteDrawing, FramesFromAnImageAreLaidOutRowByRow)
{
    aAnim a;
    a.setFramesFromImage(sheet.get(), nullptr, 30, 20, 5);
    ASSERT_EQ(a.getFrameCount(), 5);
    const aRect expected[] = {aRect(0, 0, 30, 20), aRect(30, 0, 30, 20), aRect(60, 0, 30, 20), aRect(0, 20, 30, 20),
                              aRect(30, 20, 30, 20)};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(a.getFrameList()->frames[std::size_t(i)].rect, expected[i]) << i;
        EXPECT_EQ(a.getFrameList()->frames[std::size_t(i)].ticks, 1);
    }
    const aRect region(10, 5, 50, 30);
    a.setFramesFromImage(sheet.get(), &region, 25, 10, 3);
    ASSERT_EQ(a.getFrameCount(), 3);
    EXPECT_EQ(a.getFrameList()->frames[2].rect, aRect(10, 15, 25, 10));

    for (auto [w, regionWidth] : {std::pair{0, 50}, std::pair{60, 50}}) {
        const aRect r(0, 0, std::uint16_t(regionWidth), 30);
        a.setFramesFromImage(sheet.get(), &r, std::uint16_t(w), 10, 4);
        EXPECT_EQ(a.getFrameCount(), 0) << w;
    }
    a.setFramesFromImage(nullptr, nullptr, 10, 10, 4);
    EXPECT_EQ(a.getFrameCount(), 0);
}

TEST_F(SpriteDrawing, DrawShowsTheCurrentFrameAndHiddenFramesTakeTimeOnly)
{
    aAnim a;
    a.setFramesFromImage(sheet.get(), nullptr, 30, 20, 3);
    a.setFrameHidden(1, true);
    a.setFrameTime(0.1f);
    a.play();
    const D3DXVECTOR2 scale{2.0f, 3.0f};
    for (int i = 0; i < 3; ++i) {
        a.draw(5.0f, 6.0f, 0xFFFFFFFF, &scale, 0.5f, nullptr, 0);
        a.update(0.1f);
    }
    a.draw(std::int16_t(7), std::int16_t(8));
    const auto d = spriteDraws();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].left, 0);
    EXPECT_EQ(d[0].right, 30);
    EXPECT_EQ(d[0].sx, 2.0f);
    EXPECT_EQ(d[0].angle, 0.5f);
    EXPECT_EQ(d[1].left, 60);  // frame 1 was hidden
    EXPECT_EQ(d[2].left, 0);
    EXPECT_EQ(d[2].tx, 7.0f);
}

TEST_F(SpriteDrawing, HitTestReadsTheFramePixel)
{
    aAnim a;
    EXPECT_EQ(a.hitTest(0, 0), 0u);
    a.setFramesFromImage(sheet.get(), nullptr, 30, 20, 3);
    a.setFrame(1, 0);
    EXPECT_EQ(a.hitTest(0, 0), 0xFF0000FFu);
    EXPECT_EQ(a.hitTest(5, 12), 0u);
    EXPECT_EQ(a.hitTest(-1000, 0), 0u);
    a.addFrame(1, nullptr, aRect(0, 0, 5, 5));
    a.setLastFrame();
    EXPECT_EQ(a.hitTest(0, 0), 0u);
}

} // namespace
