#pragma once
// Items drawn on the GL device of a headless window (point sampling) and
// read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "game/SpyGame/items/SpyItem.h"

namespace itemtest {

class ItemPixelsTest : public testing::Test {
protected:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;

    void SetUp() override;
    void TearDown() override;

    // Clears to the colour, runs draw and reads the back buffer (0x00RRGGBB,
    // rows top first).
    std::vector<std::uint32_t> frame(const std::function<void()>& draw, std::uint32_t clear = 0xFF000000);
    static std::uint32_t at(const std::vector<std::uint32_t>& px, int x, int y)
    {
        return px[std::size_t(y) * kWidth + std::size_t(x)];
    }
    // Every channel within the tolerance.
    static bool near(std::uint32_t got, std::uint32_t want, int tolerance);

    // For 50 points spread over the item's box: HitTest against the alpha
    // the item drew there (from a frame over black and one over white).
    // Points whose drawn alpha lies within 3 of hitAlpha, or which lie on a
    // texel edge, are not judged.
    // Returns the number of points judged.
    int expectHitsMatchDrawnAlpha(const CSpyItem& item, int hitAlpha);

    aApplication app;
    aGraphServer* graph = nullptr;
};

} // namespace itemtest
