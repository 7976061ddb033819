#pragma once
// An application and a graphics server on the recording device, with
// helpers for image files, the log and recorded sprite draws.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"
#include "platform/gfx/d3d8_recording.h"
#include "support/test_env.h"

namespace imgtest {

// One recorded sprite draw.
struct SpriteDraw {
    const void* texture = nullptr;
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    std::uint32_t color = 0;
    float sx = 0, sy = 0, cx = 0, cy = 0, angle = 0, tx = 0, ty = 0;

    // Where the sprite puts the rotation centre on screen.
    float pivotX() const { return tx + cx; }
    float pivotY() const { return ty + cy; }
};

inline std::vector<std::uint32_t> solid(int w, int h, std::uint32_t argb)
{
    return std::vector<std::uint32_t>(std::size_t(w) * std::size_t(h), argb);
}

class RecordingTest : public testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    void SetUp() override
    {
        rec = std::make_shared<platform::Recorder>();
        configureRecorder(*rec);
        auto r = rec;
        aGraphServer::setDirect3DFactory([r] { return platform::createRecordingDirect3D(r); });
        aGraphServer::setDirectDrawFactory([r](platform::GfxDirectDraw** out) {
            *out = platform::createRecordingDirectDraw(r);
            return D3D_OK;
        });
        ASSERT_EQ(app.init(appName(), nullptr, "", ""), 0);
        graph = new aGraphServer(kWidth, kHeight, false, use32Bit(), nullptr, 0, false, false);
        rec->clear();
        logMark = logText().size();
    }

    void TearDown() override
    {
        delete graph;
        app.shutdown();
        aGraphServer::setDirect3DFactory(nullptr);
        aGraphServer::setDirectDrawFactory(nullptr);
    }

    virtual const char* appName() const { return "ImageTest"; }
    // Adapter answers before the device is made.
    virtual void configureRecorder(platform::Recorder&) {}
    virtual bool use32Bit() const { return true; }

    std::string logText() const
    {
        if (g_logFile)
            std::fflush(g_logFile);
        return test_env::readFile(test_env::dataHome() + appName() + "/a2d.log");
    }
    // What was logged since SetUp (or the last call).
    std::string newLog()
    {
        const std::string all = logText();
        const std::string out = all.size() > logMark ? all.substr(logMark) : std::string();
        logMark = all.size();
        return out;
    }

    // Writes a file under the test's home; returns its path.
    std::string putFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = test_env::home() + "/" + name;
        test_env::writeFile(path, bytes);
        return path;
    }

    std::vector<SpriteDraw> spriteDraws() const
    {
        std::vector<SpriteDraw> out;
        for (const platform::RecordedCall* c : rec->named("Sprite.Draw")) {
            SpriteDraw d;
            d.texture = c->object;
            d.left = c->args[0];
            d.top = c->args[1];
            d.right = c->args[2];
            d.bottom = c->args[3];
            d.color = std::uint32_t(c->args[4]);
            d.sx = c->floats[0];
            d.sy = c->floats[1];
            d.cx = c->floats[2];
            d.cy = c->floats[3];
            d.angle = c->floats[4];
            d.tx = c->floats[5];
            d.ty = c->floats[6];
            out.push_back(d);
        }
        return out;
    }

    // Pixels of level 0 of a texture, decoded by its stored format.
    static std::vector<std::uint32_t> texels(platform::GfxTexture* t, int w, int h)
    {
        std::vector<std::uint32_t> out;
        D3DSURFACE_DESC d;
        D3DLOCKED_RECT l;
        if (!t || FAILED(t->GetLevelDesc(0, &d)) || FAILED(t->LockRect(0, &l, nullptr, D3DLOCK_READONLY)))
            return out;
        const int bpp = platform::bytesPerPixel(d.Format);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.push_back(platform::decodePixel(
                    d.Format, static_cast<const std::uint8_t*>(l.pBits) + y * l.Pitch + x * bpp));
        t->UnlockRect(0);
        return out;
    }

    // A texture's raw stored pixel (2 or 4 bytes).
    static std::uint32_t rawTexel(platform::GfxTexture* t, int x, int y)
    {
        D3DSURFACE_DESC d;
        D3DLOCKED_RECT l;
        if (!t || FAILED(t->GetLevelDesc(0, &d)) || FAILED(t->LockRect(0, &l, nullptr, D3DLOCK_READONLY)))
            return 0xDEADBEEF;
        const int bpp = platform::bytesPerPixel(d.Format);
        const auto* p = static_cast<const std::uint8_t*>(l.pBits) + y * l.Pitch + x * bpp;
        std::uint32_t v = 0;
        for (int i = 0; i < bpp; ++i)
            v |= std::uint32_t(p[i]) << (8 * i);
        t->UnlockRect(0);
        return v;
    }

    static D3DFORMAT storedFormat(platform::GfxTexture* t)
    {
        D3DSURFACE_DESC d;
        return t && SUCCEEDED(t->GetLevelDesc(0, &d)) ? d.Format : D3DFMT_UNKNOWN;
    }

    std::shared_ptr<platform::Recorder> rec;
    aApplication app;
    aGraphServer* graph = nullptr;
    std::size_t logMark = 0;
};

} // namespace imgtest
