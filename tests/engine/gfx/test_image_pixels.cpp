// Images on the GL device, headless: what reaches the back buffer; and the
// whole path from an image list in a data tree (folder or zip) to the screen.
#include <cmath>
#include <cstdlib>

#include "engine/gfx/a_image_manager.h"
#include "engine/gfx/a_sprite.h"
#include "platform/system/clock.h"
#include "support/jng_writer.h"
#include "support/test_env.h"
#include "support/zip_writer.h"
#include "test_image_fixture.h"

using imgtest::solid;

namespace {

constexpr float kPi = 3.14159265f;

class ImagePixels : public testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    void SetUp() override
    {
        aGraphServer::setDirect3DFactory(nullptr);
        ASSERT_EQ(app.init("ImagePixels", nullptr, "", ""), 0);
        graph = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
        ASSERT_NE(graph->m_device, nullptr);
        ASSERT_TRUE(graph->beginScene());
        graph->setTextureFilter(false);
    }
    void TearDown() override
    {
        if (graph->m_inScene)
            graph->endScene();
        delete graph;
        app.shutdown();
    }

    std::string putFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = test_env::home() + "/" + name;
        test_env::writeFile(path, bytes);
        return path;
    }

    // The back buffer's pixel, 0x00RRGGBB.
    std::uint32_t pixel(int x, int y)
    {
        platform::GfxRef<platform::GfxSurface> bb;
        EXPECT_EQ(graph->m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, bb.out()), D3D_OK);
        const RECT r{x, y, x + 1, y + 1};
        D3DLOCKED_RECT locked;
        if (!bb || FAILED(bb->LockRect(&locked, &r, D3DLOCK_READONLY)))
            return 0xDEADBEEF;
        const std::uint32_t v = platform::decodePixel(D3DFMT_X8R8G8B8, locked.pBits) & 0xFFFFFF;
        bb->UnlockRect();
        return v;
    }

    void clear() { graph->m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0); }

    // Every pixel of a w x h area at (x, y) against want(i, j) (0x00RRGGBB).
    template <class Want>
    void expectArea(int x, int y, int w, int h, Want want, int tolerance = 0)
    {
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                const std::uint32_t got = pixel(x + i, y + j), exp = want(i, j) & 0xFFFFFF;
                bool ok = true;
                for (int shift : {16, 8, 0})
                    ok = ok && std::abs(int((got >> shift) & 0xFF) - int((exp >> shift) & 0xFF)) <= tolerance;
                EXPECT_TRUE(ok) << "at " << i << "," << j << std::hex << ": got " << got << ", want " << exp;
            }
        }
    }

    // An 8 x 8 opaque picture with a different colour in every pixel.
    static std::vector<std::uint32_t> picture()
    {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                px.push_back(0xFF000000u | std::uint32_t(x * 32) << 16 | std::uint32_t(y * 32) << 8 |
                             std::uint32_t(0x80 + x * 8 + y));
        return px;
    }

    aApplication app;
    aGraphServer* graph = nullptr;
};

TEST_F(ImagePixels, DrawnOneToOneTheImageEqualsItsFile)
{
    const auto px = picture();
    aImage img(putFile("p.png", jng_writer::buildPng(8, 8, px)), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    img.draw(10.0f, 20.0f);
    expectArea(10, 20, 8, 8, [&](int i, int j) { return px[std::size_t(j * 8 + i)]; });
    EXPECT_EQ(pixel(9, 20), 0u);
    EXPECT_EQ(pixel(18, 27), 0u);
}

TEST_F(ImagePixels, MirrorFlagsFlipThePicture)
{
    const auto px = picture();
    aImage img(putFile("p.png", jng_writer::buildPng(8, 8, px)), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    img.draw(4.0f, 4.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, IMAGE_MIRROR_HORIZONTAL);
    img.draw(20.0f, 4.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, IMAGE_MIRROR_VERTICAL);
    img.draw(36.0f, 4.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, IMAGE_MIRROR_VERTICAL | IMAGE_MIRROR_HORIZONTAL);
    expectArea(4, 4, 8, 8, [&](int i, int j) { return px[std::size_t(j * 8 + 7 - i)]; });
    expectArea(20, 4, 8, 8, [&](int i, int j) { return px[std::size_t((7 - j) * 8 + i)]; });
    expectArea(36, 4, 8, 8, [&](int i, int j) { return px[std::size_t((7 - j) * 8 + 7 - i)]; });
}

TEST_F(ImagePixels, PositiveQuarterTurnAboutTheMiddleIsCounterClockwise)
{
    const auto px = picture();
    aImage img(putFile("p.png", jng_writer::buildPng(8, 8, px)), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    img.draw(20.0f, 10.0f, 0xFFFFFFFF, nullptr, kPi / 2);
    // The right column ends up on top.
    expectArea(20, 10, 8, 8, [&](int i, int j) { return px[std::size_t(i * 8 + 7 - j)]; });
}

TEST_F(ImagePixels, R5G6B5ImagesShowTheirTruncatedColours)
{
    aImage img(putFile("c.png", jng_writer::buildPng(4, 4, solid(4, 4, 0xFF0F0F0F))), D3DFMT_R5G6B5,
               D3DFMT_R5G6B5);
    img.draw(2.0f, 2.0f);
    expectArea(2, 2, 4, 4, [](int, int) { return 0x080C08u; }, 1);
}

TEST_F(ImagePixels, LockWriteUnlockShowsTheNewPixels)
{
    aImage img(4, 4);
    aImage::LockInfo info;
    ASSERT_TRUE(img.lock(info, nullptr, false));
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 4; ++x)
            info.SetColorAt(x, y, 0xFF0000FF);
    img.unlock();
    img.draw(0.0f, 0.0f);
    pixel(0, 0);  // the first copy is drawn before the write

    const aRect part(1, 1, 2, 2);
    ASSERT_TRUE(img.lock(info, &part, false));
    info.SetColorAt(0, 0, 0xFFFF0000);
    info.SetColorAt(1, 1, 0xFF00FF00);
    img.unlock();
    img.draw(10.0f, 0.0f);
    expectArea(0, 0, 4, 4, [](int, int) { return 0x0000FFu; });
    expectArea(10, 0, 4, 4, [](int i, int j) {
        return i == 1 && j == 1 ? 0xFF0000u : i == 2 && j == 2 ? 0x00FF00u : 0x0000FFu;
    });
}

// A picture the device has no video memory for fails to load as a broken
// one does (logged, drawn as nothing); the one loaded before still draws
// its pixels, and the same picture loads the next time.
TEST_F(ImagePixels, APictureWithoutVideoMemoryFailsAloneAndTheNextLoads)
{
    const auto px = picture();
    aImage first(putFile("p.png", jng_writer::buildPng(8, 8, px)), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    const std::string red = putFile("red.png", jng_writer::buildPng(8, 8, solid(8, 8, 0xFFFF0000)));
    graph->m_device->failTextureStorage(1);
    aImage failed(red, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    EXPECT_EQ(failed.getTexture(), nullptr);
    std::fflush(g_logFile);
    const std::string log = test_env::readFile(test_env::dataHome() + "ImagePixels/a2d.log");
    EXPECT_NE(log.find("Texture \"" + red + "\" load failed (D3DERR_OUTOFVIDEOMEMORY)"), std::string::npos) << log;

    first.draw(10.0f, 20.0f);
    failed.draw(30.0f, 20.0f);
    expectArea(10, 20, 8, 8, [&](int i, int j) { return px[std::size_t(j * 8 + i)]; });
    expectArea(30, 20, 8, 8, [](int, int) { return 0u; });
    aImage again(red, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    again.draw(30.0f, 20.0f);
    expectArea(30, 20, 8, 8, [](int, int) { return 0xFF0000u; });
}

// --- integration ------------------------------------------------------------------

class ImageListIntegration : public ImagePixels {
protected:
    // Files of the list: name -> bytes.
    std::vector<std::pair<std::string, std::string>> files()
    {
        std::vector<std::uint32_t> strip(16 * 4);
        const std::uint32_t colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x)
                strip[std::size_t(y * 16 + x)] = colours[x / 4];
        std::vector<std::uint32_t> clip = solid(8, 8, 0xFF20E040);
        for (int i = 0; i < 8; ++i)
            clip[std::size_t(i)] = 0x00000000;  // transparent top row
        return {
            {"images.list", "Red.png 8888 8888\r\nGreen.jpg 0565 8888\r\nblue.bmp 8888 8888\r\n"
                            "logo.jng 4444 8888\r\nstrip.png 8888 8888\r\nbad line\r\n"},
            {"Red.png", jng_writer::buildPng(8, 8, solid(8, 8, 0xFFFF0000))},
            {"Green.jpg", jng_writer::buildJpeg(8, 8, solid(8, 8, 0xFF00FF00))},
            {"blue.bmp", jng_writer::buildBmp(8, 8, solid(8, 8, 0xFF0000FF))},
            {"logo.jng", jng_writer::buildJng(8, 8, clip, true)},
            {"strip.png", jng_writer::buildPng(16, 4, strip)},
        };
    }

    void loadAndCheck(const std::string& listPath)
    {
        aImageManager manager;
        manager.SetLoadCost("png", 15.230181f, 1024);
        manager.SetLoadCost("jng", 126.94324f, 1024);
        manager.AddListToTask(listPath, "level", "");
        ASSERT_EQ(manager.GetTaskCount(), 6u);
        manager.RewindTasks();
        std::list<float> costs;
        manager.GetTaskCosts(costs);
        for (int step = 0; step < 20 && !manager.IsTasksDone(); ++step) {
            aBaseManager::Progress progress;
            progress.startTicks = platform::getTickCount();
            progress.budget = 100;
            manager.ProcessTasks(costs, progress);
        }
        ASSERT_TRUE(manager.IsTasksDone());
        EXPECT_EQ(manager.size(), 5u);

        const char* names[] = {"red", "GREEN", "Blue", "logo", "strip"};
        for (const char* name : names)
            ASSERT_NE(manager.GetImage(name, "Level"), nullptr) << name;
        EXPECT_EQ(manager.GetImage("red"), nullptr);

        clear();
        manager.GetImage("red", "level")->draw(0.0f, 0.0f);
        manager.GetImage("green", "level")->draw(10.0f, 0.0f);
        manager.GetImage("blue", "level")->draw(20.0f, 0.0f);
        manager.GetImage("logo", "level")->draw(30.0f, 0.0f);
        expectArea(0, 0, 8, 8, [](int, int) { return 0xFF0000u; });
        expectArea(10, 0, 8, 8, [](int, int) { return 0x00FF00u; }, 6);
        expectArea(20, 0, 8, 8, [](int, int) { return 0x0000FFu; });
        expectArea(30, 0, 8, 8, [](int, int j) { return j == 0 ? 0x000000u : 0x20E040u; }, 6);

        // An animation cut from the strip steps its frames on screen.
        aAnim anim;
        anim.setFramesFromImage(manager.GetImage("strip", "level"), nullptr, 4, 4, 4);
        anim.setFrameTime(0.05f);
        anim.play();
        const std::uint32_t want[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFF0000};
        for (int i = 0; i < 5; ++i) {
            anim.draw(std::int16_t(4 + 6 * i), std::int16_t(20));
            anim.update(0.05f);
        }
        for (int i = 0; i < 5; ++i)
            expectArea(4 + 6 * i, 20, 4, 4, [&](int, int) { return want[i]; });
    }
};

TEST_F(ImageListIntegration, ListInAFolder)
{
    const std::string dir = test_env::home() + "/tmp/GameData/Images/";
    for (const auto& [name, bytes] : files())
        test_env::writeFile(dir + name, bytes);
    loadAndCheck(dir + "images.list");
}

TEST_F(ImageListIntegration, ListInAZipStandingForTheFolder)
{
    std::vector<zip_writer::Entry> entries;
    bool deflate = false;
    for (const auto& [name, bytes] : files()) {
        entries.push_back({name, bytes, deflate});
        deflate = !deflate;
    }
    ASSERT_TRUE(zip_writer::writeZip(test_env::home() + "/tmp/GameData/Images.zip", entries));
    // Names from data may differ in case from the archive's.
    loadAndCheck(test_env::home() + "/tmp/GameData/Images/IMAGES.LIST");
}

} // namespace
