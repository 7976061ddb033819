// Tiling, stretching an animation into a rectangle, assigning image slots.
#include "engine/gfx/a_image_parts.h"

#include "test_image_fixture.h"

#include "support/jng_writer.h"

using imgtest::solid;

namespace {

class ImageParts : public imgtest::RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        image = std::make_unique<aImage>(putFile("t.png", jng_writer::buildPng(40, 30, solid(40, 30, 0xFFFFFFFF))),
                                         D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    }
    // (x, y, width, height) of every tile drawn.
    std::vector<std::vector<std::int64_t>> tiles() const
    {
        std::vector<std::vector<std::int64_t>> out;
        for (const auto& d : spriteDraws())
            out.push_back({std::int64_t(d.tx), std::int64_t(d.ty), d.right - d.left, d.bottom - d.top});
        return out;
    }
    std::unique_ptr<aImage> image;
};

TEST_F(ImageParts, TilesCoverTheDestinationWithTheLastRowAndColumnClipped)
{
    image_drawTiled(image.get(), aRect(5, 6, 10, 10), aRect(100, 200, 25, 12), 0xFFFFFFFF);
    using T = std::vector<std::int64_t>;
    EXPECT_EQ(tiles(), (std::vector<T>{{100, 200, 10, 10}, {110, 200, 10, 10}, {120, 200, 5, 10},
                                       {100, 210, 10, 2}, {110, 210, 10, 2}, {120, 210, 5, 2}}));
    for (const auto& d : spriteDraws()) {
        EXPECT_EQ(d.left, 5);
        EXPECT_EQ(d.top, 6);
        EXPECT_EQ(d.sx, 1.0f);
        EXPECT_EQ(d.angle, 0.0f);
    }
}

TEST_F(ImageParts, ALargerSourceDrawsOneClippedTile)
{
    image_drawTiled(image.get(), aRect(0, 0, 40, 30), aRect(3, 4, 16, 9), 0x80FFFFFF);
    using T = std::vector<std::int64_t>;
    EXPECT_EQ(tiles(), (std::vector<T>{{3, 4, 16, 9}}));
    EXPECT_EQ(spriteDraws()[0].color, 0x80FFFFFFu);
}

TEST_F(ImageParts, NothingForZeroSizesNullsOrTransparentColour)
{
    image_drawTiled(image.get(), aRect(0, 0, 0, 10), aRect(0, 0, 20, 20), 0xFFFFFFFF);
    image_drawTiled(image.get(), aRect(0, 0, 10, 10), aRect(0, 0, 20, 0), 0xFFFFFFFF);
    image_drawTiled(image.get(), aRect(0, 0, 10, 10), aRect(0, 0, 20, 20), 0x00FFFFFF);
    image_drawTiled(nullptr, aRect(0, 0, 10, 10), aRect(0, 0, 20, 20), 0xFFFFFFFF);

    aAnim anim;
    anim_drawInRect(&anim, aRect(0, 0, 20, 20), 0xFFFFFFFF, 0.0f, 0);  // no frames
    anim.addFrame(1, image.get(), aRect(0, 0, 0, 10));
    anim_drawInRect(&anim, aRect(0, 0, 20, 20), 0xFFFFFFFF, 0.0f, 0);  // frame of width 0
    anim.clearFrames();
    anim.addFrame(1, image.get(), aRect(0, 0, 10, 10));
    anim_drawInRect(&anim, aRect(0, 0, 20, 20), 0x00FFFFFF, 0.0f, 0);
    anim_drawInRect(nullptr, aRect(0, 0, 20, 20), 0xFFFFFFFF, 0.0f, 0);
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);
}

TEST_F(ImageParts, AnAnimationIsStretchedIntoTheRectangle)
{
    aAnim anim;
    anim.setFramesFromImage(image.get(), nullptr, 20, 10, 2);
    anim.setFrame(1, 0);
    anim_drawInRect(&anim, aRect(7, 9, 50, 5), 0xFF00FF00, 0.25f, IMAGE_MIRROR_VERTICAL);
    const auto d = spriteDraws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].left, 20);
    EXPECT_FLOAT_EQ(d[0].sx, 2.5f);
    EXPECT_FLOAT_EQ(d[0].sy, -0.5f);  // mirrored vertically
    EXPECT_EQ(d[0].tx, 7.0f);
    EXPECT_EQ(d[0].angle, 0.25f);
    EXPECT_EQ(d[0].color, 0xFF00FF00u);
}

TEST_F(ImageParts, AssignWithRectSharesTheDataAndKeepsTheSameImage)
{
    std::unique_ptr<aImage> slot;
    aRect rect(9, 9, 9, 9);
    image_assignWithRect(image.get(), nullptr, &slot, &rect);
    ASSERT_TRUE(slot);
    EXPECT_NE(slot.get(), image.get());
    EXPECT_EQ(slot->getData(), image->getData());
    EXPECT_EQ(rect, aRect(0, 0, 40, 30));

    aImage* held = slot.get();
    const aRect part(1, 2, 3, 4);
    image_assignWithRect(image.get(), &part, &slot, &rect);
    EXPECT_EQ(slot.get(), held);
    EXPECT_EQ(rect, part);
    EXPECT_EQ(image->getData()->m_refCount, 2);

    aImage other(4, 4);
    image_assignWithRect(&other, nullptr, &slot, &rect);
    EXPECT_EQ(slot->getData(), other.getData());
    EXPECT_EQ(image->getData()->m_refCount, 1);

    rect = aRect(5, 5, 5, 5);
    image_assignWithRect(nullptr, nullptr, &slot, &rect);
    EXPECT_FALSE(slot);
    EXPECT_EQ(rect, aRect(0, 0, 5, 5));
    image_assignWithRect(image.get(), nullptr, &slot, nullptr);
    EXPECT_FALSE(slot);

    aImage* raw = nullptr;
    image_assignWithRect(image.get(), &part, &raw, &rect);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->getData(), image->getData());
    image_assignWithRect(nullptr, &part, &raw, &rect);
    EXPECT_EQ(raw, nullptr);
}

} // namespace
