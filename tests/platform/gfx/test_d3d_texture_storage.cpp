// Texture storage on the GL device: what it holds follows the textures that
// live, a failed allocation harms no other texture, and a draw never takes
// an index past 16 bits.
#include <algorithm>

#include "platform/gfx/gl_renderer.h"
#include "test_d3d_fixture.h"

using namespace platform;
using d3dtest::near;

namespace {

class TextureStorage : public d3dtest::GlDeviceTest {
protected:
    void SetUp() override
    {
        GlDeviceTest::SetUp();
        setFilter(D3DTEXF_POINT);
        makeSprite();
    }

    void drawAt(GfxTexture* t, float x, float y)
    {
        const D3DXVECTOR2 pos{x, y};
        ASSERT_EQ(sprite->Draw(t, nullptr, nullptr, nullptr, 0.0f, &pos, 0xFFFFFFFF), D3D_OK);
    }

    GfxRef<GfxTexture> solid(int w, int h, std::uint32_t argb)
    {
        return texture(w, h, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(std::size_t(w * h), argb));
    }

    // Every live texture drawn 4 x 4 at its own place; each must show its colour.
    void expectEachDrawsItsColour(const std::vector<GfxRef<GfxTexture>>& textures,
                                  const std::vector<std::uint32_t>& colours)
    {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        for (std::size_t i = 0; i < textures.size(); ++i)
            if (textures[i])
                drawAt(textures[i].get(), float(i % 12) * 5.0f, float(i / 12) * 5.0f);
        const auto px = read();
        for (std::size_t i = 0; i < textures.size(); ++i) {
            if (!textures[i])
                continue;
            EXPECT_TRUE(near(px[(i / 12) * 5 * kWidth + (i % 12) * 5 + 1], colours[i] & 0xFFFFFF, 0))
                << "texture " << i;
        }
    }

    static std::uint32_t colourOf(std::size_t i)
    {
        return 0xFF000000u | std::uint32_t(0x40 + 37 * i) % 256u << 16 | std::uint32_t(0x90 + 71 * i) % 256u << 8 |
               std::uint32_t(0x20 + 113 * i) % 256u;
    }
};

using TextureStoragePixels = TextureStorage;

// Textures of one size left few in their array move into smaller storage:
// each keeps its own pixels, through later growth too.
TEST_F(TextureStoragePixels, SurvivorsOfAShrunkArrayKeepTheirPixels)
{
    std::vector<GfxRef<GfxTexture>> textures;
    std::vector<std::uint32_t> colours;
    for (std::size_t i = 0; i < 16; ++i) {
        colours.push_back(colourOf(i));
        textures.push_back(solid(4, 4, colours.back()));
    }
    expectEachDrawsItsColour(textures, colours);
    EXPECT_EQ(dev->stats().textureBytesHeld, 16u * 64u);
    for (std::size_t i = 0; i < textures.size(); ++i)
        if (i != 2 && i != 9 && i != 15)
            textures[i].reset();
    // Three live: storage of four layers.
    EXPECT_EQ(dev->stats().textureBytesNeeded, 3u * 64u);
    EXPECT_EQ(dev->stats().textureBytesHeld, 4u * 64u);
    expectEachDrawsItsColour(textures, colours);
    for (std::size_t i = 16; i < 22; ++i) {
        colours.push_back(colourOf(i));
        textures.push_back(solid(4, 4, colours.back()));
    }
    EXPECT_EQ(dev->stats().textureBytesHeld, 16u * 64u);
    expectEachDrawsItsColour(textures, colours);
    textures.clear();
    EXPECT_EQ(dev->stats().textureBytesNeeded, 0u);
    EXPECT_EQ(dev->stats().textureBytesHeld, 0u);
}

// Freed in the middle of a frame, while a texture of the same array waits
// in the batch: the batch keeps its pixels as the array shrinks.
TEST_F(TextureStoragePixels, ShrinkingUnderAPendingBatchKeepsItsPixels)
{
    std::vector<GfxRef<GfxTexture>> textures;
    for (std::size_t i = 0; i < 8; ++i)
        textures.push_back(solid(4, 4, colourOf(i)));
    for (std::size_t i = 0; i < 3; ++i)
        textures[i].reset();
    drawAt(textures[7].get(), 0, 0);
    textures[6].reset();
    textures[5].reset();
    drawAt(textures[7].get(), 8, 0);
    EXPECT_EQ(dev->stats().textureBytesHeld, 4u * 64u);
    EXPECT_TRUE(near(pixel(1, 1), colourOf(7) & 0xFFFFFF, 0));
    EXPECT_TRUE(near(pixel(9, 1), colourOf(7) & 0xFFFFFF, 0));
}

// With the next allocation made to fail, a texture that needs its array to
// grow, or an array of its own, fails to be made (logged), the textures
// already on screen keep their pixels, and the allocation after works.
TEST_F(TextureStoragePixels, AFailedAllocationHarmsNoOtherTexture)
{
    std::vector<GfxRef<GfxTexture>> textures;
    std::vector<std::uint32_t> colours = {0xFFFF0000, 0xFF00FF00};
    textures.push_back(solid(4, 4, colours[0]));
    textures.push_back(solid(4, 4, colours[1]));
    expectEachDrawsItsColour(textures, colours);
    const std::uint64_t held = dev->stats().textureBytesHeld;

    for (int size : {4, 3}) {
        log.clear();
        dev->failTextureStorage(1);
        GfxRef<GfxTexture> failed;
        EXPECT_EQ(dev->CreateTexture(std::uint32_t(size), 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, failed.out()),
                  D3DERR_OUTOFVIDEOMEMORY);
        EXPECT_FALSE(failed);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find("no storage for a " + std::to_string(size) + " x 4 texture"), std::string::npos)
            << log[0];
        EXPECT_EQ(dev->stats().textureBytesHeld, held);
        expectEachDrawsItsColour(textures, colours);
    }

    colours.push_back(0xFF0000FF);
    textures.push_back(solid(4, 4, colours.back()));
    colours.push_back(0xFFFFFF00);
    textures.push_back(solid(3, 4, colours.back()));
    expectEachDrawsItsColour(textures, colours);
}

// A shrink that cannot get its smaller storage keeps the larger one, the
// textures in it drawing as before; the next release shrinks.
TEST_F(TextureStoragePixels, AFailedShrinkKeepsTheLargerStorage)
{
    std::vector<GfxRef<GfxTexture>> textures;
    std::vector<std::uint32_t> colours;
    for (std::size_t i = 0; i < 8; ++i) {
        colours.push_back(colourOf(i));
        textures.push_back(solid(4, 4, colours.back()));
    }
    dev->failTextureStorage(1);
    for (std::size_t i = 0; i < 5; ++i)
        textures[i].reset();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("kept at 8 layers"), std::string::npos) << log[0];
    log.clear();
    EXPECT_EQ(dev->stats().textureBytesHeld, 8u * 64u);
    expectEachDrawsItsColour(textures, colours);
    textures[5].reset();
    EXPECT_EQ(dev->stats().textureBytesHeld, 2u * 64u);
    expectEachDrawsItsColour(textures, colours);
}

// One draw of quads whose two triangles move their shared corners
// differently (every quad a trapezoid), appended the way the device does:
// after a batch nearly full of plain quads, each batch taking what it can.
// No index passes 16 bits, and every triangle comes out once, in order,
// with its own corners.
TEST(GlRendererBatches, ADrawWhoseIndicesWouldPassSixteenBitsGoesOnInTheNextBatch)
{
    std::vector<BatchVertex> plain, trapezoids;
    std::vector<std::uint16_t> plainIdx, trapezoidIdx;
    const auto addQuad = [](std::vector<BatchVertex>& v, std::vector<std::uint16_t>& idx, float x, float y,
                            float bottom) {
        const auto base = std::uint16_t(v.size());
        v.push_back(BatchVertex{x, y, 0xFFFFFFFF, 0.0f, 0.0f});
        v.push_back(BatchVertex{x + 4.0f, y, 0xFFFFFFFF, 1.0f, 0.0f});
        v.push_back(BatchVertex{x, y + 4.0f, 0xFFFFFFFF, 0.0f, 1.0f});
        v.push_back(BatchVertex{x + bottom, y + 4.0f, 0xFFFFFFFF, 1.0f, 1.0f});
        for (std::uint16_t i : {0, 1, 2, 2, 1, 3})
            idx.push_back(std::uint16_t(base + i));
    };
    for (int q = 0; q < 15000; ++q)
        addQuad(plain, plainIdx, float(q % 100), float(q / 100), 4.0f);
    for (int q = 0; q < 12000; ++q)
        addQuad(trapezoids, trapezoidIdx, float(q % 100), float(q / 100), 9.0f);

    std::vector<GlVertex> outV;
    std::vector<std::uint16_t> outI;
    std::vector<std::pair<float, float>> drawn;  // corners as drawn, every batch in turn
    int batches = 0;
    const auto flush = [&] {
        ++batches;
        EXPECT_LE(outV.size(), std::size_t(1) << 16);
        for (std::uint16_t i : outI) {
            ASSERT_LT(i, outV.size());
            drawn.emplace_back(outV[i].v.x, outV[i].v.y);
        }
        outV.clear();
        outI.clear();
    };
    const DrawState state;
    EXPECT_EQ(GlRenderer::appendDraw(state, nullptr, 0, plain.data(), plain.size(), plainIdx.data(),
                                     plainIdx.size(), outV, outI),
              plainIdx.size());
    for (std::size_t done = 0; done < trapezoidIdx.size();) {
        done += GlRenderer::appendDraw(state, nullptr, 0, trapezoids.data(), trapezoids.size(),
                                       trapezoidIdx.data() + done, trapezoidIdx.size() - done, outV, outI);
        flush();
        ASSERT_LT(batches, 5);
    }
    // The trapezoids' corners are copied: twice as many vertices as plain quads.
    EXPECT_EQ(batches, 3);
    ASSERT_EQ(drawn.size(), plainIdx.size() + trapezoidIdx.size());
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        const BatchVertex& want =
            k < plainIdx.size() ? plain[plainIdx[k]] : trapezoids[trapezoidIdx[k - plainIdx.size()]];
        ASSERT_EQ(drawn[k], std::make_pair(want.x, want.y)) << "index " << k;
    }
}

} // namespace
