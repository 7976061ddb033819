#include "items_pixels_fixture.h"

#include <cmath>
#include <cstdlib>

#include "platform/gfx/pixel_format.h"

namespace itemtest {

void ItemPixelsTest::SetUp()
{
    aGraphServer::setDirect3DFactory(nullptr);
    ASSERT_EQ(app.init("ItemPixels", nullptr, "", ""), 0);
    graph = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
    ASSERT_NE(graph->m_device, nullptr);
    ASSERT_TRUE(graph->beginScene());
    graph->setTextureFilter(false);
}

void ItemPixelsTest::TearDown()
{
    if (graph->m_inScene)
        graph->endScene();
    delete graph;
    app.shutdown();
}

std::vector<std::uint32_t> ItemPixelsTest::frame(const std::function<void()>& draw, std::uint32_t clear)
{
    graph->m_device->Clear(0, nullptr, D3DCLEAR_TARGET, clear, 1.0f, 0);
    draw();
    std::vector<std::uint32_t> out;
    platform::GfxSurface* s = nullptr;
    if (FAILED(graph->m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s)) || !s) {
        ADD_FAILURE() << "back buffer";
        return std::vector<std::uint32_t>(std::size_t(kWidth) * kHeight, 0);
    }
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(s->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                out.push_back(platform::decodePixel(D3DFMT_X8R8G8B8, static_cast<const std::uint8_t*>(locked.pBits) +
                                                                         y * locked.Pitch + 4 * x) &
                              0xFFFFFF);
        s->UnlockRect();
    }
    s->Release();
    return out;
}

bool ItemPixelsTest::near(std::uint32_t got, std::uint32_t want, int tolerance)
{
    for (int shift : {16, 8, 0})
        if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

int ItemPixelsTest::expectHitsMatchDrawnAlpha(const CSpyItem& item, int hitAlpha)
{
    const auto black = frame([&] { item.Draw(); }, 0xFF000000);
    const auto white = frame([&] { item.Draw(); }, 0xFFFFFFFF);
    float x0 = 0.0f, y0 = 0.0f;
    item.GetPos(x0, y0);
    const int w = item.GetWidthRounded(), h = item.GetHeightRounded();
    int judged = 0;
    for (int i = 0; i < 50; ++i) {
        // A 10 x 5 grid, each point nudged so that the columns do not line up.
        const int px = int(x0) + (w * (2 * (i % 10) + 1) + (i % 3)) / 20;
        const int py = int(y0) + (h * (2 * (i / 10) + 1)) / 10;
        if (px < 0 || py < 0 || px >= kWidth || py >= kHeight)
            continue;
        const int spread = int((at(white, px, py) >> 8) & 0xFF) - int((at(black, px, py) >> 8) & 0xFF);
        const int alpha = 255 - spread;
        if (std::abs(alpha - hitAlpha) <= 3)
            continue;
        const float cx = float(px) + 0.5f, cy = float(py) + 0.5f;
        const bool hit = item.HitTest(cx, cy);
        // A pixel centre on a texel edge may sample either texel.
        const float e = 0.02f;
        if (item.HitTest(cx - e, cy - e) != hit || item.HitTest(cx + e, cy + e) != hit ||
            item.HitTest(cx - e, cy + e) != hit || item.HitTest(cx + e, cy - e) != hit)
            continue;
        EXPECT_EQ(hit, alpha >= hitAlpha) << item.GetName() << " at " << px << "," << py << ": drawn alpha "
                                          << alpha;
        ++judged;
    }
    return judged;
}

} // namespace itemtest
