// Handles and the image list, drawing (colour, rectangles, mirror, pivot,
// glow) and the post-effects.
#include <cmath>

#include "test_image_fixture.h"

#include "support/jng_writer.h"

using imgtest::solid;
using imgtest::SpriteDraw;

namespace {

class ImageDraw : public imgtest::RecordingTest {
protected:
    void configureRecorder(platform::Recorder& r) override
    {
        r.halCaps.MaxTextureWidth = r.halCaps.MaxTextureHeight = 64;
    }
    std::string png(const std::string& name, int w, int h, std::uint32_t argb = 0xFFFFFFFF)
    {
        return putFile(name, jng_writer::buildPng(w, h, solid(w, h, argb)));
    }
};

TEST_F(ImageDraw, HandlesShareCountedDataAndTheListKeepsCreationOrder)
{
    auto& list = aImageData::imageList();
    const std::size_t before = list.size();
    auto a = std::make_unique<aImage>(png("a.png", 4, 4), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    auto b = std::make_unique<aImage>(8, 8);
    ASSERT_EQ(list.size(), before + 2);
    EXPECT_EQ(*std::next(list.begin(), long(before)), a->getData());
    EXPECT_EQ(list.back(), b->getData());

    aImage copy(*a);
    copy = copy;
    EXPECT_EQ(copy.getData(), a->getData());
    EXPECT_EQ(a->getData()->m_refCount, 2);
    // load detaches from shared data that has a texture; the others keep it.
    copy.load(png("b.png", 6, 2), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    EXPECT_NE(copy.getData(), a->getData());
    EXPECT_EQ(a->getData()->m_refCount, 1);
    EXPECT_EQ(a->getWidth(), 4);
    EXPECT_EQ(copy.getWidth(), 6);
    copy.setDrawMode(IMAGE_DRAW_GLOW);
    copy.create(3, 5);
    EXPECT_EQ(copy.getDrawMode(), IMAGE_DRAW_NORMAL);
    EXPECT_TRUE(copy.getFileName().empty());

    aImageData* second = b->getData();
    copy = *b;
    b.reset();
    EXPECT_EQ(std::count(list.begin(), list.end(), second), 1);
    copy = *a;
    EXPECT_EQ(std::count(list.begin(), list.end(), second), 0);

    // Leaving an emptied list is harmless.
    aImageData::clearImageList();
    a.reset();
    EXPECT_TRUE(list.empty());
}

TEST_F(ImageDraw, ReleaseWithoutFullKeepsEmptyImagesAndReloadRestoresFiles)
{
    aImage file(png("f.png", 4, 4, 0xFF336699), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    aImage empty(4, 4);
    platform::GfxTexture* emptyTexture = empty.getTexture();
    aImageData::releaseAll(false);
    EXPECT_EQ(file.getTexture(), nullptr);
    EXPECT_EQ(empty.getTexture(), emptyTexture);
    rec->clear();
    aImageData::reloadAll();
    EXPECT_NE(file.getTexture(), nullptr);
    EXPECT_EQ(file.getPixel(1, 1), 0xFF336699u);
    EXPECT_EQ(empty.getTexture(), emptyTexture);
    EXPECT_EQ(rec->count("CreateTexture"), 1u);

    file.getData()->setBlurParams(2, 1.0f);
    file.getData()->releaseTextures(true);
    EXPECT_EQ(file.getData()->blurParams(), nullptr);
    EXPECT_EQ(file.getWidth(), 0);
}

TEST_F(ImageDraw, ColourSourceRectangleAndDefaults)
{
    aImage img(png("a.png", 8, 4), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    graph->setColor(0.5f, 0.5f, 0.5f, 1.0f);
    img.draw(3.0f, 4.0f, 0xFFFFFFFF);
    graph->setColor(1.0f, 1.0f, 1.0f, 0.5f);
    const aRect part(2, 1, 3, 2), none(1, 1, 0, 2);
    img.draw(std::int16_t(5), std::int16_t(6), &part, 0x80FF4020);
    img.draw(0, 0, &none);
    aImage zero(0, 0);
    zero.draw(0.0f, 0.0f);
    const auto d = spriteDraws();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].color, 0xFF7F7F7Fu);
    EXPECT_EQ(d[1].color, 0x3FFF4020u);
    EXPECT_EQ((std::vector<std::int64_t>{d[0].left, d[0].top, d[0].right, d[0].bottom, d[1].left, d[1].top,
                                         d[1].right, d[1].bottom}),
              (std::vector<std::int64_t>{0, 0, 8, 4, 2, 1, 5, 3}));
    EXPECT_EQ(d[1].tx, 5.0f);
    // No scale: 1:1, turning about the middle of the drawn rectangle.
    EXPECT_EQ((std::vector<float>{d[0].sx, d[0].sy, d[0].cx, d[0].cy}), (std::vector<float>{1, 1, 4, 2}));
}

TEST_F(ImageDraw, MirroredAndRotatedImagesTurnAboutTheDrawnMiddleAtAnyScale)
{
    aImage img(png("a.png", 20, 10), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    const float x = 100.0f, y = 50.0f;
    for (float s : {1.0f, 2.0f}) {
        for (std::uint32_t flags : {0u, 1u, 2u, 3u}) {
            rec->clear();
            const D3DXVECTOR2 scale{s, s};
            img.draw(x, y, 0xFFFFFFFF, &scale, 0.7f, nullptr, flags);
            const SpriteDraw d = spriteDraws().at(0);
            EXPECT_FLOAT_EQ(d.pivotX(), x + s * 10.0f) << "scale " << s << " flags " << flags;
            EXPECT_FLOAT_EQ(d.pivotY(), y + s * 5.0f) << "scale " << s << " flags " << flags;
            EXPECT_FLOAT_EQ(d.sx, (flags & 2) ? -s : s);
            EXPECT_FLOAT_EQ(d.sy, (flags & 1) ? -s : s);
            // The unrotated picture covers the same area, flipped or not.
            EXPECT_FLOAT_EQ(std::min(d.tx, d.tx + d.sx * 20.0f), x);
            EXPECT_FLOAT_EQ(std::min(d.ty, d.ty + d.sy * 10.0f), y);
            EXPECT_FLOAT_EQ(d.angle, 0.7f);
        }
        // A given centre is in unscaled pixels from the drawn rectangle's corner.
        rec->clear();
        const D3DXVECTOR2 scale{s, s};
        const D3DXVECTOR2 centre{3.0f, 4.0f};
        img.draw(x, y, 0xFFFFFFFF, &scale, 0.0f, &centre, 0);
        img.draw(x, y, 0xFFFFFFFF, &scale, 0.0f, &centre, 2);
        const auto d = spriteDraws();
        EXPECT_FLOAT_EQ(d[0].pivotX(), x + s * 3.0f);
        EXPECT_FLOAT_EQ(d[0].pivotY(), y + s * 4.0f);
        EXPECT_FLOAT_EQ(d[1].pivotX(), x + s * 3.0f);
        EXPECT_FLOAT_EQ(d[1].pivotY(), y + s * 4.0f);
    }
}

TEST_F(ImageDraw, GlowDrawsBlurImageBlurAdditivelyAndRestoresTheBlendMode)
{
    aImage img(png("g.png", 10, 6), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    img.getData()->setBlurParams(2, 0.5f);
    img.getData()->addEffect(IMAGE_EFFECT_BLUR);
    img.getData()->applyEffects();
    platform::GfxTexture* blurred = img.getData()->m_blurred.texture;
    ASSERT_NE(blurred, nullptr);
    img.setDrawMode(IMAGE_DRAW_GLOW);
    graph->setBlendMode(0x100);
    rec->clear();

    img.draw(10.0f, 20.0f, 0xFF102030);
    std::vector<std::string> sequence;
    for (const auto& c : rec->calls)
        if (c.name == "Sprite.Draw")
            sequence.push_back(c.object == blurred ? "blur" : c.object == img.getTexture() ? "image" : "?");
        else if (c.name == "SetRenderState" && c.args[0] == D3DRS_DESTBLEND)
            sequence.push_back(c.args[1] == D3DBLEND_ONE ? "additive" : "alpha");
    EXPECT_EQ(sequence, (std::vector<std::string>{"blur", "image", "additive", "blur", "alpha"}));
    EXPECT_EQ(graph->m_blendMode, 0x100);

    const auto d = spriteDraws();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].color, 0x7F102030u);
    EXPECT_EQ(d[1].color, 0xFF102030u);
    EXPECT_EQ((std::vector<std::int64_t>{d[0].left, d[0].top, d[0].right, d[0].bottom}),
              (std::vector<std::int64_t>{0, 0, 14, 10}));
    EXPECT_EQ(d[0].tx, 8.0f);
    EXPECT_EQ(d[0].ty, 18.0f);

    // With a source rectangle the blurred part is the same part, moved by the radius.
    rec->clear();
    const aRect part(1, 2, 3, 4);
    img.draw(std::int16_t(10), std::int16_t(20), &part, 0xFFFFFFFF);
    const auto p = spriteDraws();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ((std::vector<std::int64_t>{p[0].left, p[0].top, p[0].right, p[0].bottom}),
              (std::vector<std::int64_t>{3, 4, 6, 8}));
    EXPECT_EQ(p[0].tx, 10.0f);
}

TEST_F(ImageDraw, GlowWithoutBlurIsOneNormalDraw)
{
    aImage img(png("g.png", 10, 6), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    img.setDrawMode(IMAGE_DRAW_GLOW);
    img.draw(0.0f, 0.0f);
    img.getData()->setBlurParams(3, 1.0f);  // parameters, but no blurred texture yet
    img.draw(0.0f, 0.0f);
    EXPECT_EQ(rec->count("Sprite.Draw"), 2u);
    EXPECT_EQ(rec->count("SetRenderState"), 0u);
}

TEST_F(ImageDraw, BlurEnlargesByTheRadiusWithAGreyTransparentBorder)
{
    struct Case {
        D3DFORMAT format;
        std::uint32_t border;  // raw stored value
    };
    for (Case c : {Case{D3DFMT_A8R8G8B8, 0x00808080u}, Case{D3DFMT_A4R4G4B4, 0x0888u}}) {
        aImage img(png("w.png", 10, 10), c.format, c.format);
        img.getData()->setBlurParams(3, 1.0f);
        img.getData()->addEffect(IMAGE_EFFECT_BLUR);
        rec->clear();
        img.getData()->applyEffects();
        const aTextureHolder& b = img.getData()->m_blurred;
        ASSERT_NE(b.texture, nullptr);
        EXPECT_EQ(b.width, 16);
        EXPECT_EQ(b.height, 16);
        EXPECT_EQ(storedFormat(b.texture), c.format);
        EXPECT_EQ(rawTexel(b.texture, 0, 0), c.border);
        EXPECT_EQ(rawTexel(b.texture, 15, 15), c.border);
        // Far enough inside, the white image stays white.
        const std::uint32_t white = c.format == D3DFMT_A8R8G8B8 ? 0xFFFFFFFFu : 0xFFFFu;
        for (int y = 6; y < 10; ++y)
            for (int x = 6; x < 10; ++x)
                EXPECT_EQ(rawTexel(b.texture, x, y), white) << x << "," << y;
        // An edge pixel is in between.
        const std::uint32_t edge = image_decodePixel(c.format, rawTexel(b.texture, 3, 8));
        EXPECT_GT(edge >> 24, 0u);
        EXPECT_LT(edge >> 24, 0xF0u);

        // The same radius again leaves the blurred texture alone.
        rec->clear();
        img.getData()->applyEffects();
        EXPECT_EQ(img.getData()->m_blurred.texture, b.texture);
        EXPECT_EQ(rec->count("CreateTexture"), 0u);
    }
}

TEST_F(ImageDraw, BlurRadiusIsClampedToZeroAndToTheTextureSize)
{
    aImage img(png("u.png", 10, 10, 0x00808080), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    img.getData()->addEffect(IMAGE_EFFECT_BLUR2);
    img.getData()->setBlurParams(-4, 1.0f);
    img.getData()->applyEffects();
    EXPECT_EQ(img.getData()->m_blurred.texture, nullptr);
    img.getData()->setBlurParams(40, 1.0f);
    img.getData()->applyEffects();
    EXPECT_EQ(img.getData()->m_blurred.width, 64);
    EXPECT_EQ(img.getData()->m_blurRadius, 27);
    EXPECT_NE(newLog().find("capped to 27"), std::string::npos);
    // A picture of the border's own colour blurs to itself.
    for (std::uint32_t p : texels(img.getData()->m_blurred.texture, 64, 64))
        ASSERT_EQ(p, 0x00808080u);
}

TEST_F(ImageDraw, GrayscaleIntoItsOwnTextureOrInPlace)
{
    const std::vector<std::uint32_t> px = {0xFF102030, 0x80FF0000};
    const std::string path = putFile("two.png", jng_writer::buildPng(2, 1, px));
    for (bool inPlace : {false, true}) {
        aImage img(path, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
        img.getData()->setGrayscaleParams(inPlace);
        img.getData()->addEffect(IMAGE_EFFECT_GRAYSCALE);
        img.getData()->applyEffects();
        const auto gray = texels(inPlace ? img.getTexture() : img.getData()->m_gray.texture, 2, 1);
        EXPECT_EQ(gray, (std::vector<std::uint32_t>{0xFF202020, 0x80555555})) << inPlace;
        if (!inPlace) {
            EXPECT_EQ(img.getPixel(0, 0), 0xFF102030u);
            EXPECT_EQ(img.getData()->m_gray.width, 2);
        } else {
            EXPECT_EQ(img.getData()->m_gray.texture, nullptr);
        }
    }
}

TEST_F(ImageDraw, EffectsWithoutParametersAreSkipped)
{
    aImage img(png("n.png", 4, 4, 0xFF102030), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    img.getData()->setEffects({0, 1, 2, 3, 7, -1});
    rec->clear();
    img.getData()->applyEffects();
    EXPECT_EQ(rec->count("CreateTexture"), 0u);
    EXPECT_EQ(img.getPixel(0, 0), 0xFF102030u);
    // The effects run again after every load.
    img.getData()->setBlurParams(1, 1.0f);
    aImageData::releaseAll(false);
    aImageData::reloadAll();
    EXPECT_NE(img.getData()->m_blurred.texture, nullptr);
}

} // namespace
