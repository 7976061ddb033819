// The graphics server's image steps: the background, the image cursor and
// the reload of every file image after a colour-depth change.
#include "engine/gfx/a_sprite.h"
#include "engine/util/a_input_server.h"
#include "platform/system/clock.h"
#include "support/jng_writer.h"
#include "test_image_fixture.h"

using imgtest::solid;

namespace {

// Every tick-count read moves time on, so a walk over many images passes
// a second however fast it is.
class SteppingClock : public platform::ManualClock {
public:
    std::uint32_t tickCount() override
    {
        advanceMs(300);
        return ManualClock::tickCount();
    }
};

class ServerSteps : public imgtest::RecordingTest {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        RecordingTest::SetUp();
        input = new aInputServer();
        sheet = std::make_unique<aImage>(png("sheet.png", 40, 10), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    }
    void TearDown() override
    {
        delete app.m_inputServer;
        sheet.reset();
        RecordingTest::TearDown();
        platform::setClock(nullptr);
    }

    std::string png(const std::string& name, int w, int h, std::uint32_t argb = 0xFFFFFFFF)
    {
        return putFile(name, jng_writer::buildPng(w, h, solid(w, h, argb)));
    }
    void frame(double ms)
    {
        clock.advanceMs(ms);
        ASSERT_TRUE(graph->beginScene());
        graph->endScene();
    }
    std::size_t loadingFrames() const
    {
        std::size_t n = 0;
        for (const auto* c : rec->named("Font.DrawTextA"))
            n += c->text == "LOADING";
        return n;
    }

    platform::ManualClock clock;
    aInputServer* input = nullptr;
    std::unique_ptr<aImage> sheet;
};

TEST_F(ServerSteps, TheBackgroundIsDrawnFirstInEveryFrame)
{
    graph->m_backgroundImage = new aImage(png("bg.png", 64, 48, 0xFF102030), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    for (int i = 0; i < 2; ++i) {
        rec->clear();
        ASSERT_TRUE(graph->beginScene());
        graph->setColor(0.5f, 0.5f, 0.5f, 0.5f);
        sheet->draw(5.0f, 5.0f);
        graph->endScene();
        const auto draws = spriteDraws();
        ASSERT_EQ(draws.size(), 2u) << i;
        EXPECT_EQ(draws[0].texture, graph->m_backgroundImage->getTexture());
        EXPECT_EQ(draws[0].color, 0xFFFFFFFFu);
        EXPECT_EQ(draws[0].tx, 0.0f);
        EXPECT_EQ(draws[0].ty, 0.0f);
        EXPECT_EQ(draws[0].right, 64);
        EXPECT_EQ(draws[1].texture, sheet->getTexture());
        const auto names = rec->strings();
        std::size_t begin = names.size(), first = names.size();
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (begin == names.size() && names[k].rfind("Sprite.Begin", 0) == 0)
                begin = k;
            if (first == names.size() && names[k].rfind("Sprite.Draw", 0) == 0)
                first = k;
        }
        EXPECT_LT(begin, first);
    }
}

TEST_F(ServerSteps, TheCursorIsDrawnAtTheMouseLessTheHotSpotAndAdvancedByTheFrameTime)
{
    aAnim cursor;
    cursor.setFramesFromImage(sheet.get(), nullptr, 10, 10, 4);
    cursor.setFrameTime(0.1f);
    cursor.play();
    input->setCursorAnim(&cursor, 3, 4);
    input->m_cursorX = 30;
    input->m_cursorY = 20;

    frame(0);    // the first frame counts no time
    frame(100);  // drawn on frame 0, then one tick
    input->m_cursorX = 2;
    input->m_cursorY = 1;
    frame(250);  // drawn on frame 1, then two ticks
    frame(10);   // drawn on frame 3
    const auto d = spriteDraws();
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].tx, 27.0f);
    EXPECT_EQ(d[0].ty, 16.0f);
    EXPECT_EQ(d[0].color, 0xFFFFFFFFu);
    EXPECT_EQ(d[0].angle, 0.0f);
    EXPECT_EQ((std::vector<std::int64_t>{d[0].left, d[1].left, d[2].left, d[3].left}),
              (std::vector<std::int64_t>{0, 0, 10, 30}));
    EXPECT_EQ(d[2].tx, -1.0f);
    EXPECT_EQ(d[2].ty, -3.0f);

    input->setSystemCursor(IDC_ARROW);
    rec->clear();
    frame(100);
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);
}

TEST_F(ServerSteps, SetCursorAnimCopiesAndStartsTheAnimation)
{
    aAnim first, second;
    first.setFramesFromImage(sheet.get(), nullptr, 10, 10, 2);
    second.setFramesFromImage(sheet.get(), nullptr, 20, 10, 2);
    input->setCursorAnim(&first, 1, 2);
    aAnim* shown = app.m_cursorAnim;
    ASSERT_NE(shown, nullptr);
    EXPECT_NE(shown, &first);
    EXPECT_EQ(shown->getFrameList(), first.getFrameList());
    EXPECT_FALSE(shown->isStopped());
    EXPECT_TRUE(first.isStopped());

    input->setCursorAnim(&second, 5, 6);
    EXPECT_EQ(app.m_cursorAnim, shown);
    EXPECT_EQ(shown->getFrameList(), second.getFrameList());
    EXPECT_FALSE(shown->isStopped());
    EXPECT_EQ(input->m_cursorHotX, 5);
}

TEST_F(ServerSteps, ADepthChangeReloadsFileImagesInTheOtherColumnAndKeepsEmptyOnes)
{
    aImage file(png("f.png", 8, 8, 0xFF0F0F0F), D3DFMT_R5G6B5, D3DFMT_A8R8G8B8);
    aImage empty(4, 4);
    aImage::LockInfo info;
    ASSERT_TRUE(empty.lock(info, nullptr, false));
    info.SetColorAt(1, 1, 0xFFABCDEF);
    empty.unlock();
    platform::GfxTexture* emptyTexture = empty.getTexture();
    ASSERT_EQ(storedFormat(file.getTexture()), D3DFMT_A8R8G8B8);

    graph->setVideoMode(graph->m_fullscreen, true, !graph->m_vsync);  // vsync only: nothing reloads
    EXPECT_EQ(storedFormat(file.getTexture()), D3DFMT_A8R8G8B8);

    graph->setVideoMode(graph->m_fullscreen, false, graph->m_vsync);
    EXPECT_EQ(storedFormat(file.getTexture()), D3DFMT_R5G6B5);
    EXPECT_EQ(file.getPixel(0, 0), 0xFF080C08u);
    EXPECT_EQ(empty.getTexture(), emptyTexture);
    EXPECT_EQ(empty.getPixel(1, 1), 0xFFABCDEFu);
    EXPECT_EQ(loadingFrames(), 0u);

    graph->setVideoMode(graph->m_fullscreen, true, graph->m_vsync);
    EXPECT_EQ(storedFormat(file.getTexture()), D3DFMT_A8R8G8B8);
}

TEST_F(ServerSteps, LoadingIsShownOnceWhenTheReloadPassesASecond)
{
    std::vector<std::unique_ptr<aImage>> images;
    for (int i = 0; i < 6; ++i)
        images.push_back(std::make_unique<aImage>(png("i" + std::to_string(i) + ".png", 4, 4), D3DFMT_R5G6B5,
                                                  D3DFMT_A8R8G8B8));
    SteppingClock stepping;
    platform::setClock(&stepping);
    graph->setVideoMode(graph->m_fullscreen, false, graph->m_vsync);
    platform::setClock(&clock);
    EXPECT_EQ(loadingFrames(), 1u);
    // Shown part-way through the walk, between whole frames of its own.
    std::vector<std::string> order;
    for (const auto& c : rec->calls)
        if ((c.name == "Font.DrawTextA" && c.text == "LOADING") || c.name == "D3DXCreateTextureFromFileInMemoryEx" ||
            c.name == "Present")
            order.push_back(c.name == "Font.DrawTextA" ? "LOADING" : c.name == "Present" ? "Present" : "load");
    const auto shown = std::find(order.begin(), order.end(), "LOADING");
    ASSERT_NE(shown, order.end());
    EXPECT_GT(std::count(order.begin(), shown, "load"), 0);
    EXPECT_EQ(*(shown + 1), "Present");
    EXPECT_GT(std::count(shown, order.end(), "load"), 0);
    for (const auto& img : images)
        EXPECT_EQ(storedFormat(img->getTexture()), D3DFMT_R5G6B5);
}

// Where the device shows images as the pointer, the image cursor goes
// there instead of into the frame.
class DeviceCursor : public ServerSteps {
protected:
    void configureRecorder(platform::Recorder& r) override { r.halCaps.CursorCaps = D3DCURSORCAPS_COLOR; }

    static std::uint32_t colourOf(int frame) { return 0xFF000000u | std::uint32_t(0x30 * (frame + 1)) << 8; }
    // Frame `frame` of a 40 x 10 sheet of four 10 x 10 frames, each its own
    // colour with its top-left pixel clear.
    static std::vector<std::uint32_t> frameImage(int frame)
    {
        std::vector<std::uint32_t> px(100, colourOf(frame));
        px[0] = 0;
        return px;
    }
    std::unique_ptr<aImage> frames()
    {
        std::vector<std::uint32_t> px(400);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x)
                px[std::size_t(y) * 40 + std::size_t(x)] = frameImage(x / 10)[std::size_t(y) * 10 + std::size_t(x % 10)];
        return std::make_unique<aImage>(putFile("frames.png", jng_writer::buildPng(40, 10, px)), D3DFMT_A8R8G8B8,
                                        D3DFMT_A8R8G8B8);
    }
    std::size_t handedOver() const { return rec->count("SetCursorProperties"); }
};

TEST_F(DeviceCursor, TheDeviceShowsTheCursorsFrameAndAMovingPointerAloneDrawsNothing)
{
    const auto sheet4 = frames();
    aAnim cursor;
    cursor.setFramesFromImage(sheet4.get(), nullptr, 10, 10, 4);
    cursor.setFrameTime(0.1f);
    cursor.play();
    input->setCursorAnim(&cursor, 3, 4);
    input->m_cursorX = 30;
    input->m_cursorY = 20;

    frame(0);
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);
    EXPECT_TRUE(rec->cursorShown);
    ASSERT_EQ(handedOver(), 1u);
    EXPECT_EQ(rec->named("SetCursorProperties")[0]->args, (std::vector<std::int64_t>{3, 4}));
    EXPECT_EQ(rec->cursorWidth, 10);
    EXPECT_EQ(rec->cursorImage, frameImage(0));

    // Moves of the pointer hand nothing new over; the animation's next frame does.
    input->m_cursorX = 2;
    input->m_cursorY = 1;
    frame(100);
    EXPECT_EQ(handedOver(), 1u);
    frame(10);
    EXPECT_EQ(handedOver(), 2u);
    EXPECT_EQ(rec->cursorImage, frameImage(1));
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);
    EXPECT_EQ(rec->count("ShowCursor"), 1u);

    // The system cursor takes over: the image is hidden, and nothing is drawn.
    input->setSystemCursor(IDC_ARROW);
    frame(10);
    EXPECT_FALSE(rec->cursorShown);
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);

    // A new image cursor shows again (its frame handed over anew only if it differs).
    input->setCursorAnim(&cursor, 3, 4);
    frame(10);
    EXPECT_TRUE(rec->cursorShown);
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);
}

TEST_F(DeviceCursor, ACursorTheDeviceCannotShowIsDrawnIntoTheFrameAsBefore)
{
    const auto sheet4 = frames();
    aAnim cursor;
    cursor.setFramesFromImage(sheet4.get(), nullptr, 10, 10, 4);
    input->m_cursorX = 30;
    input->m_cursorY = 20;

    // A hot spot outside the frame.
    input->setCursorAnim(&cursor, 12, 4);
    frame(0);
    EXPECT_EQ(rec->count("Sprite.Draw"), 1u);
    EXPECT_EQ(handedOver(), 0u);
    EXPECT_FALSE(rec->cursorShown);

    // The device refuses the image: drawn that frame, handed over again the next.
    input->setCursorAnim(&cursor, 3, 4);
    rec->fail("SetCursorProperties", D3DERR_INVALIDCALL);
    rec->clear();
    frame(10);
    EXPECT_EQ(rec->count("Sprite.Draw"), 1u);
    EXPECT_FALSE(rec->cursorShown);
    rec->clear();
    frame(10);
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);
    EXPECT_EQ(handedOver(), 1u);
    EXPECT_TRUE(rec->cursorShown);

    // A frame that ends in another blend mode draws the cursor in it.
    rec->clear();
    ASSERT_TRUE(graph->beginScene());
    graph->setBlendMode(1);
    graph->endScene();
    EXPECT_EQ(rec->count("Sprite.Draw"), 1u);
    EXPECT_FALSE(rec->cursorShown);
}

} // namespace
