#pragma once
// Graphics-server fixtures: one on the recording double (call log, injected
// adapter answers and failures, a manual clock) and one on the GL device of
// a headless window with back-buffer reads.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_result.h"
#include "platform/system/clock.h"
#include "platform/gfx/d3d8_recording.h"
#include "support/test_env.h"

namespace gstest {

// The application's log without time stamps.
inline std::vector<std::string> appLog(const std::string& appName)
{
    std::vector<std::string> out;
    for (const std::string& line : test_env::readLines(test_env::dataHome() + appName + "/a2d.log")) {
        const std::size_t tab = line.find('\t');
        out.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    }
    return out;
}

class ServerTestBase : public testing::Test {
protected:
    explicit ServerTestBase(std::string name) : m_name(std::move(name)) {}

    void TearDown() override
    {
        server.reset();
        app.shutdown();
        aGraphServer::setDirect3DFactory(nullptr);
        aGraphServer::setDirectDrawFactory(nullptr);
    }

    std::vector<std::string> log() const { return appLog(m_name); }
    std::size_t logged(const std::string& text) const
    {
        std::size_t n = 0;
        for (const std::string& line : log())
            n += line.find(text) != std::string::npos;
        return n;
    }
    // Index of the first line containing text at or after `from`; -1 when none.
    int logIndex(const std::string& text, int from = 0) const
    {
        const auto lines = log();
        for (std::size_t i = std::size_t(from); i < lines.size(); ++i)
            if (lines[i].find(text) != std::string::npos)
                return int(i);
        return -1;
    }

    std::string m_name;
    aApplication app;
    std::unique_ptr<aGraphServer> server;
};

class RecordingServerTest : public ServerTestBase {
protected:
    RecordingServerTest() : ServerTestBase("GsRec") {}

    void SetUp() override
    {
        platform::setClock(&clock);
        rec = std::make_shared<platform::Recorder>();
        auto r = rec;
        aGraphServer::setDirect3DFactory([r] { return platform::createRecordingDirect3D(r); });
        aGraphServer::setDirectDrawFactory([r](platform::GfxDirectDraw** out) {
            *out = platform::createRecordingDirectDraw(r);
            return D3D_OK;
        });
        ASSERT_EQ(app.init(m_name, nullptr, "", ""), 0);
    }

    void TearDown() override
    {
        ServerTestBase::TearDown();
        platform::setClock(nullptr);
    }

    aGraphServer& make(std::uint16_t w = 1024, std::uint16_t h = 768, bool fullscreen = false, bool use32 = true,
                       bool vsync = true)
    {
        server = std::make_unique<aGraphServer>(w, h, fullscreen, use32, nullptr, 0, vsync, false);
        return *server;
    }

    // The construction's error code, 0 when it succeeded.
    std::int32_t makeFails(std::uint16_t w = 1024, std::uint16_t h = 768, bool fullscreen = false)
    {
        try {
            make(w, h, fullscreen);
        } catch (const aResultError& e) {
            return e.code();
        }
        return 0;
    }

    std::vector<std::string> calls(const std::string& name) const
    {
        std::vector<std::string> out;
        for (const platform::RecordedCall* c : rec->named(name))
            out.push_back(c->str());
        return out;
    }

    platform::ManualClock clock;
    std::shared_ptr<platform::Recorder> rec;
};

// The back buffer of a graphics server, 0x00RRGGBB per pixel, rows top first.
inline std::vector<std::uint32_t> readBackBuffer(aGraphServer& gs)
{
    std::vector<std::uint32_t> out;
    platform::GfxSurface* s = nullptr;
    if (FAILED(gs.m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s)) || !s) {
        ADD_FAILURE() << "back buffer";
        return out;
    }
    D3DSURFACE_DESC desc;
    s->GetDesc(&desc);
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(s->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        for (std::uint32_t y = 0; y < desc.Height; ++y)
            for (std::uint32_t x = 0; x < desc.Width; ++x)
                out.push_back(platform::decodePixel(desc.Format, static_cast<const std::uint8_t*>(locked.pBits) +
                                                                     y * std::uint32_t(locked.Pitch) + 4 * x) &
                              0xFFFFFF);
        s->UnlockRect();
    }
    s->Release();
    return out;
}

class GlServerTest : public ServerTestBase {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    GlServerTest() : ServerTestBase("GsGl") {}

    void SetUp() override
    {
        ASSERT_EQ(app.init(m_name, nullptr, "", ""), 0);
        server = std::make_unique<aGraphServer>(kWidth, kHeight, false, true, nullptr, 0, false, false);
        server->m_clearColor = 0xFF000000;
    }

    // The back buffer, 0x00RRGGBB per pixel, rows top first.
    std::vector<std::uint32_t> backBuffer() { return readBackBuffer(*server); }

    std::uint32_t pixel(int x, int y) { return backBuffer()[std::size_t(y) * kWidth + std::size_t(x)]; }

    using Pixels = std::set<std::pair<int, int>>;

    Pixels lit(std::uint32_t background = 0)
    {
        Pixels out;
        const auto px = backBuffer();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (px[std::size_t(y) * kWidth + std::size_t(x)] != (background & 0xFFFFFF))
                    out.emplace(x, y);
        return out;
    }

    static Pixels box(int x, int y, int w, int h)
    {
        Pixels out;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i)
                out.emplace(i, j);
        return out;
    }
};

} // namespace gstest
