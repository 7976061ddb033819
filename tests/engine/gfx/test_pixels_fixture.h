#pragma once
// A graphics server on the GL device of a headless window, sized for text,
// with point sampling and back-buffer reads.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "platform/gfx/pixel_format.h"
#include "support/test_env.h"

namespace pxtest {

class GlPixelsTest : public testing::Test {
protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 128;

    void SetUp() override
    {
        aGraphServer::setDirect3DFactory(nullptr);
        ASSERT_EQ(app.init("GlPixels", nullptr, "", ""), 0);
        graph = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
        ASSERT_NE(graph->m_device, nullptr);
        graph->m_clearColor = 0xFF000000;
        graph->setTextureFilter(false);
        ASSERT_TRUE(graph->beginScene());
    }
    void TearDown() override
    {
        if (graph->m_inScene)
            graph->endScene();
        delete graph;
        app.shutdown();
    }

    // The back buffer, 0x00RRGGBB per pixel, rows top first.
    std::vector<std::uint32_t> backBuffer()
    {
        std::vector<std::uint32_t> out;
        platform::GfxSurface* s = nullptr;
        if (FAILED(graph->m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s)) || !s) {
            ADD_FAILURE() << "back buffer";
            return out;
        }
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(s->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    out.push_back(platform::decodePixel(D3DFMT_X8R8G8B8, static_cast<const std::uint8_t*>(
                                                                             locked.pBits) +
                                                                             y * locked.Pitch + 4 * x) &
                                  0xFFFFFF);
            s->UnlockRect();
        }
        s->Release();
        return out;
    }

    std::string putFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = test_env::home() + "/" + name;
        test_env::writeFile(path, bytes);
        return path;
    }

    aApplication app;
    aGraphServer* graph = nullptr;
};

} // namespace pxtest
