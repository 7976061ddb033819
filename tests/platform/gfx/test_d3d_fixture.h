#pragma once
// A GL device on a headless window, with helpers that draw and read pixels
// back through the device itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/d3d8.h"
#include "platform/gfx/d3dx8.h"
#include "platform/system/window.h"

namespace d3dtest {

using platform::GfxRef;

inline int channel(std::uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

// Each of r, g, b within `tolerance` of the expected colour (alpha ignored).
inline ::testing::AssertionResult near(std::uint32_t got, std::uint32_t want, int tolerance = 1)
{
    for (int shift : {16, 8, 0})
        if (std::abs(channel(got, shift) - channel(want, shift)) > tolerance)
            return ::testing::AssertionFailure()
                   << std::hex << "got 0x" << (got & 0xFFFFFF) << ", want 0x" << (want & 0xFFFFFF);
    return ::testing::AssertionSuccess();
}

class GlDeviceTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    void SetUp() override
    {
        platform::setGfxLogSink([this](const std::string& line) { log.push_back(line); });
        platform::WindowDesc desc;
        desc.title = "d3d test";
        desc.width = desc.backBufferWidth = kWidth;
        desc.height = desc.backBufferHeight = kHeight;
        std::string error;
        window = platform::Window::create(desc, &error);
        ASSERT_TRUE(window) << error;
        d3d.reset(platform::Direct3DCreate8(D3D_SDK_VERSION));
        ASSERT_TRUE(d3d);
        params.BackBufferWidth = kWidth;
        params.BackBufferHeight = kHeight;
        params.Windowed = 1;
        params.SwapEffect = D3DSWAPEFFECT_COPY;
        params.hDeviceWindow = window.get();
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window.get(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &params,
                                    dev.out()),
                  D3D_OK);
        ASSERT_EQ(dev->SetVertexShader(kFvfTLVertex), D3D_OK);
        ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        ASSERT_EQ(dev->BeginScene(), D3D_OK);
    }

    void TearDown() override
    {
        sprite.reset();
        dev.reset();
        d3d.reset();
        window.reset();
        platform::setGfxLogSink(nullptr);
        for (const std::string& line : log)
            EXPECT_EQ(line.find("GL error"), std::string::npos) << line;
    }

    // The back buffer's pixels in rect (null: all), 0xFFRRGGBB, rows top first.
    std::vector<std::uint32_t> read(const RECT* rect = nullptr)
    {
        GfxRef<platform::GfxSurface> bb;
        EXPECT_EQ(dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, bb.out()), D3D_OK);
        RECT r = rect ? *rect : RECT{0, 0, kWidth, kHeight};
        D3DLOCKED_RECT locked;
        std::vector<std::uint32_t> out;
        if (!bb || bb->LockRect(&locked, &r, D3DLOCK_READONLY) != D3D_OK) {
            ADD_FAILURE() << "back buffer lock";
            return out;
        }
        const int w = r.right - r.left, h = r.bottom - r.top;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.push_back(platform::decodePixel(
                    D3DFMT_X8R8G8B8, static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch + 4 * x));
        bb->UnlockRect();
        return out;
    }

    std::uint32_t pixel(int x, int y)
    {
        const RECT r{x, y, x + 1, y + 1};
        auto px = read(&r);
        return px.empty() ? 0 : px[0];
    }

    // Coordinates of every pixel that is not `background`.
    std::vector<std::pair<int, int>> lit(std::uint32_t background = 0xFF000000)
    {
        std::vector<std::pair<int, int>> out;
        auto px = read();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if ((px[std::size_t(y) * kWidth + x] & 0xFFFFFF) != (background & 0xFFFFFF))
                    out.emplace_back(x, y);
        return out;
    }

    static TLVertex vertex(float x, float y, D3DCOLOR c, float u = 0.0f, float v = 0.0f)
    {
        return TLVertex{x, y, 0.0f, 1.0f, c, u, v};
    }

    // A filled rectangle from (x, y) to (x + w, y + h) with texture coordinates 0..1.
    HRESULT quad(float x, float y, float w, float h, D3DCOLOR c)
    {
        const TLVertex v[4] = {vertex(x, y, c, 0, 0), vertex(x + w, y, c, 1, 0), vertex(x, y + h, c, 0, 1),
                               vertex(x + w, y + h, c, 1, 1)};
        return dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TLVertex));
    }

    // A texture of the given format holding the ARGB pixels, encoded.
    GfxRef<platform::GfxTexture> texture(int w, int h, D3DFORMAT format, const std::vector<std::uint32_t>& argb)
    {
        GfxRef<platform::GfxTexture> t;
        EXPECT_EQ(dev->CreateTexture(std::uint32_t(w), std::uint32_t(h), 1, 0, format, D3DPOOL_MANAGED, t.out()),
                  D3D_OK);
        D3DLOCKED_RECT locked;
        if (!t || t->LockRect(0, &locked, nullptr, 0) != D3D_OK)
            return t;
        const int bpp = platform::bytesPerPixel(format == D3DFMT_R8G8B8 ? D3DFMT_X8R8G8B8 : format);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                platform::encodePixel(format, argb[std::size_t(y) * w + x],
                                      static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch + bpp * x);
        t->UnlockRect(0);
        return t;
    }

    void setBlend(std::uint32_t src, std::uint32_t dst)
    {
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        dev->SetRenderState(D3DRS_SRCBLEND, src);
        dev->SetRenderState(D3DRS_DESTBLEND, dst);
    }

    void setColorOp(std::uint32_t arg1, std::uint32_t arg2, std::uint32_t op)
    {
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, arg1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
        dev->SetTextureStageState(0, D3DTSS_COLOROP, op);
    }

    void setFilter(std::uint32_t f)
    {
        dev->SetTextureStageState(0, D3DTSS_MINFILTER, f);
        dev->SetTextureStageState(0, D3DTSS_MAGFILTER, f);
    }

    platform::GfxSprite* makeSprite()
    {
        EXPECT_EQ(platform::D3DXCreateSprite(dev.get(), sprite.out()), D3D_OK);
        return sprite.get();
    }

    std::vector<std::string> log;
    std::unique_ptr<platform::Window> window;
    GfxRef<platform::GfxDirect3D> d3d;
    GfxRef<platform::GfxDevice> dev;
    GfxRef<platform::GfxSprite> sprite;
    D3DPRESENT_PARAMETERS params;
};

} // namespace d3dtest
