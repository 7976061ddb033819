#include "items_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/gfx/a_font.h"
#include "engine/util/a_application.h"
#include "support/jng_writer.h"
#include "support/test_env.h"
#include "support/theora_clip_writer.h"

namespace itemtest {

std::uint32_t softAlpha(int x) { return std::uint32_t(x * 8); }

bool coinOpaque(int x, int y)
{
    const float dx = float(x) - 7.5f, dy = float(y) - 7.5f;
    return dx * dx + dy * dy <= 64.0f;
}

namespace {

void picture(const std::string& path, int w, int h, const std::function<std::uint32_t(int, int)>& argb)
{
    std::vector<std::uint32_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back(argb(x, y));
    test_env::writeFile(path, jng_writer::buildPng(w, h, px));
}

} // namespace

void writeTestRoom(const std::string& dir)
{
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(test_env::sourceDir() + "/tests/game/SpyGame/items/TestRoom"))
        fs::copy_file(entry.path(), dir + entry.path().filename().string(), fs::copy_options::overwrite_existing);
    picture(dir + "soft.png", kSoftW, kSoftH, [](int x, int) { return softAlpha(x) << 24 | kSoftRgb; });
    picture(dir + "coin.png", kCoinSize, kCoinSize,
            [](int x, int y) { return coinOpaque(x, y) ? kCoin : 0x00000000u; });
    picture(dir + "box_closed.png", 24, 24, [](int, int) { return kClosed; });
    picture(dir + "box_open.png", 24, 24, [](int, int) { return kOpen; });
    picture(dir + "heap_a.png", 20, 20, [](int, int) { return kHeapA; });
    picture(dir + "heap_b.png", 20, 20, [](int, int) { return kHeapB; });
    picture(dir + "door.png", 32, 48, [](int, int) { return kDoor; });
    picture(dir + "door_mask.png", 32, 48, [](int x, int) { return x < 16 ? 0xFFFFFFFFu : 0x00FFFFFFu; });
    picture(dir + "door_glow.png", 32, 48, [](int, int) { return kGlow; });
    // Four 8 x 8 frames, each one colour.
    picture(dir + "strip.png", 32, 8, [](int x, int) { return 0xFF000000u | std::uint32_t(40 + 60 * (x / 8)) << 8; });
    picture(dir + "star.png", 4, 4, [](int, int) { return 0xFFFFFFFFu; });
    clip_writer::Clip clip;
    test_env::writeFile(dir + "clip.ogv", clip_writer::makeClip(clip));
}

TestRoom::TestRoom(const std::string& folder) : dir(folder)
{
    RegisterItemKinds();
    RegisterObjectKinds();
    writeTestRoom(dir);
    if (g_application)
        g_application->m_fileServer.setAssign("video", dir);
    images.LoadList(dir + "_images.list", "TestRoom");
    images.LoadList(dir + "_images.list", "");  // the particle texture's group
    anims.m_imageManager = &images;
    anims.LoadList(dir + "_anims.list", "TestRoom");
    particles.LoadList(dir + "_particles.list", "");
    locale.loadFile(dir + "TestRoom.txt", "TestRoom");
    gui = std::make_unique<GUI::Server>(&images, nullptr);
    gui->fonts["test"] = std::make_unique<aFont>(test_env::sourceDir() + "/data/GameData/Fonts/DejaVuSans16.ini");
    res.images = &images;
    res.anims = &anims;
    res.particles = &particles;
    res.locale = &locale;
    res.gui = gui.get();
    items = std::make_unique<CSpyItemManager>("TestRoom", res);
    items->SetMagicStarsEffect("sparkle");
    EXPECT_TRUE(items->Load(dir, "TestRoom"));
    items->AfterLoad();
}

TestRoom::~TestRoom()
{
    items.reset();
    gui.reset();
}

CSpyItem& TestRoom::item(const std::string& name) const
{
    CSpyItem* found = items->FindItem(name);
    if (!found)
        throw std::runtime_error("no item " + name);
    return *found;
}

} // namespace itemtest
