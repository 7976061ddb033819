// The Flash host on the recording device: the site's answers, the scripted
// control (pausing, painting once per frame, buffers and textures, drawing)
// and the null control that is all there is here.
#include <algorithm>

#include "engine/gfx/a_flash_player.h"
#include "support/scripted_flash.h"
#include "test_image_fixture.h"

using platform::InterfaceId;
using scripted_flash::pattern16;
using scripted_flash::pattern32;

namespace {

TEST(ControlSite, AnswersAndReferenceCount)
{
    auto* site = new aControlSite;
    platform::InPlaceSiteWindowless* inPlace = site;
    platform::ClientSite* client = site;

    RECT r;
    HWND window = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL);
    EXPECT_EQ(inPlace->CanWindowlessActivate(), S_OK);
    EXPECT_EQ(inPlace->RequestUIActivate(), S_FALSE);
    EXPECT_EQ(inPlace->GetDC(nullptr, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(inPlace->AdjustRect(&r), S_OK);
    EXPECT_EQ(inPlace->AdjustRect(nullptr), E_INVALIDARG);
    void* moniker = &r;
    EXPECT_EQ(client->GetMoniker(0, 0, &moniker), E_NOTIMPL);
    EXPECT_EQ(moniker, nullptr);
    EXPECT_EQ(client->GetContainer(nullptr), E_NOINTERFACE);
    EXPECT_EQ(client->ShowObject(), E_NOTIMPL);

    // The site interfaces and the event interface give the first table,
    // the client site the second; each success adds a reference.
    for (InterfaceId id : {InterfaceId::Unknown, InterfaceId::OleWindow, InterfaceId::OleInPlaceSite,
                           InterfaceId::OleInPlaceSiteEx, InterfaceId::OleInPlaceSiteWindowless,
                           InterfaceId::FlashEvents}) {
        void* out = nullptr;
        EXPECT_EQ(client->QueryInterface(id, &out), S_OK);
        EXPECT_EQ(out, static_cast<void*>(inPlace));
    }
    void* out = nullptr;
    EXPECT_EQ(inPlace->QueryInterface(InterfaceId::OleClientSite, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(client));
    EXPECT_EQ(site->refCount(), 8u);
    out = &r;
    EXPECT_EQ(site->QueryInterface(InterfaceId::ViewObject, &out), E_NOTIMPL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(site->refCount(), 8u);

    // Releases through either table count on one number; the last deletes.
    for (std::uint32_t left = 7; left >= 1; --left)
        EXPECT_EQ(left % 2 ? client->Release() : inPlace->Release(), left);
    EXPECT_EQ(site->Release(), 0u);
}

class FlashTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "FlashTest"; }

    void SetUp() override
    {
        imgtest::RecordingTest::SetUp();
        script = std::make_shared<scripted_flash::Script>();
        scripted_flash::install(script);
        movie = putFile("movie.swf", "FWS movie");
    }
    void TearDown() override
    {
        if (graph->m_inScene)
            graph->endScene();
        scripted_flash::uninstall();
        imgtest::RecordingTest::TearDown();
    }

    // The sprite draws of the player's texture.
    std::vector<imgtest::SpriteDraw> drawsOf(const aFlashPlayer& p) const
    {
        std::vector<imgtest::SpriteDraw> out;
        for (const auto& d : spriteDraws())
            if (d.texture == p.getTexture())
                out.push_back(d);
        return out;
    }

    std::shared_ptr<scripted_flash::Script> script;
    std::string movie;
    const aRect whole{0, 0, 20, 10};
};

TEST_F(FlashTest, ActivatesInPlaceAndLeavesCleanly)
{
    {
        aFlashPlayer player;
        EXPECT_EQ(script->wmode, "Transparent");
        EXPECT_EQ(script->count("SetClientSite"), 1);
        EXPECT_EQ(script->count("Activated"), 1);
        EXPECT_EQ(aFlashPlayer::players().count(&player), 1u);
        ASSERT_TRUE(player.loadMovie(movie, 20, 10));
        EXPECT_EQ(script->movies.back(), movie);
        EXPECT_EQ(script->gotoFrames, std::vector<std::int32_t>{0});
        player.setLoop(true);
        EXPECT_TRUE(script->loop);
    }
    EXPECT_EQ(script->count("Close"), 1);
    EXPECT_EQ(script->controlsAlive, 0);
    EXPECT_TRUE(aFlashPlayer::players().empty());

    // A movie without frames, or no movie at all.
    aFlashPlayer player;
    EXPECT_FALSE(player.loadMovie(test_env::home() + "/none.swf", 20, 10));
    EXPECT_EQ(script->movies.size(), 1u);
    script->totalFrames = 0;
    EXPECT_FALSE(player.loadMovie(movie, 20, 10));
    EXPECT_EQ(player.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr), E_FAIL);
}

TEST_F(FlashTest, PausesNestAndPlayForgetsThem)
{
    aFlashPlayer player;
    player.play();
    EXPECT_TRUE(player.isPlaying());
    player.pause(true);
    player.pause(true);
    player.pause(false);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(script->count("StopPlay"), 1);
    player.pause(false);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(script->count("Play"), 2);
    player.pause(false);  // nothing paused: nothing happens
    EXPECT_EQ(script->count("Play"), 2);
    EXPECT_EQ(player.getPauseCount(), 0);

    player.pause(true);
    player.pause(true);
    player.play();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.getPauseCount(), 0);
    player.pause(true);
    EXPECT_EQ(script->count("StopPlay"), 3);
    // An application pause nests with the game's own.
    app.setPause(true);
    app.setPause(false);
    EXPECT_EQ(player.getPauseCount(), 1);
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(FlashTest, PaintsEachNewFrameOncePerPlayerTopRowFirst)
{
    ASSERT_TRUE(graph->beginScene());
    aFlashPlayer a, b;
    ASSERT_TRUE(a.loadMovie(movie, 20, 10));
    ASSERT_TRUE(b.loadMovie(movie, 20, 10));
    EXPECT_EQ(storedFormat(a.getTexture()), D3DFMT_A8R8G8B8);

    ASSERT_EQ(a.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr), S_OK);
    a.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr);
    EXPECT_EQ(script->count("Paint"), 1);
    // The other player, at the same control frame, paints its own texture.
    b.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr);
    EXPECT_EQ(script->count("Paint"), 2);
    ASSERT_EQ(script->paints.back().bytesPerPixel, 4);
    EXPECT_EQ(script->paints.back().stride, 80);

    script->currentFrame = 3;
    a.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr);
    EXPECT_EQ(script->count("Paint"), 3);
    const auto px = texels(a.getTexture(), 20, 10);
    for (int y : {0, 1, 9})
        for (int x : {0, 7, 19})
            EXPECT_EQ(px[std::size_t(y * 20 + x)], pattern32(3, x, y)) << x << "," << y;

    // A reload paints again at the same frame.
    ASSERT_TRUE(a.loadMovie(movie, 20, 10));
    a.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr);
    EXPECT_EQ(script->count("Paint"), 4);

    // A control that cannot paint leaves the texture as it was.
    script->canPaint = false;
    script->currentFrame = 4;
    a.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr);
    EXPECT_EQ(texels(a.getTexture(), 20, 10)[20 * 5 + 5], pattern32(3, 5, 5));
    EXPECT_EQ(spriteDraws().size(), 6u);
}

TEST_F(FlashTest, TexturesAreKeptOnlyWhenStrictlyLargerAndOfTheSameFormat)
{
    aFlashPlayer player;
    const auto made = [&] { return rec->count("CreateTexture"); };
    ASSERT_TRUE(player.loadMovie(movie, 20, 10));
    EXPECT_EQ(made(), 1u);
    ASSERT_TRUE(player.loadMovie(movie, 19, 9));
    EXPECT_EQ(made(), 1u);
    ASSERT_TRUE(player.loadMovie(movie, 20, 9));  // as wide: not kept
    EXPECT_EQ(made(), 2u);
    ASSERT_TRUE(player.loadMovie(movie, 20, 9));  // the same size: not kept
    EXPECT_EQ(made(), 3u);

    // The 32-bit choice changed: a larger kept texture of the other format
    // would get rows twice too long.
    graph->m_use32Bit = false;
    ASSERT_TRUE(player.loadMovie(movie, 8, 4));
    EXPECT_EQ(made(), 4u);
    EXPECT_EQ(storedFormat(player.getTexture()), D3DFMT_X1R5G5B5);
    graph->m_use32Bit = true;
    ASSERT_TRUE(player.loadMovie(movie, 6, 3));
    EXPECT_EQ(made(), 5u);
    EXPECT_EQ(storedFormat(player.getTexture()), D3DFMT_A8R8G8B8);
}

TEST_F(FlashTest, DrawScalesTurnsAndTintsThroughTheSprite)
{
    ASSERT_TRUE(graph->beginScene());
    aFlashPlayer player;
    ASSERT_TRUE(player.loadMovie(movie, 20, 10));
    const aRect part{2, 3, 8, 6};
    EXPECT_EQ(player.draw(5.5f, 7.0f, part, 0x80FF8040, nullptr, 0.5f, nullptr), S_OK);
    graph->setColor(1.0f, 0.5f, 1.0f, 0.5f);
    const D3DXVECTOR2 scale{2.0f, -3.0f}, centre{1.0f, 4.0f};
    player.draw(0, 0, part, 0x80FF8040, &scale, 0, &centre);
    const auto draws = drawsOf(player);
    ASSERT_EQ(draws.size(), 2u);
    const imgtest::SpriteDraw& d = draws[0];
    EXPECT_EQ(d.left, 2);
    EXPECT_EQ(d.top, 3);
    EXPECT_EQ(d.right, 10);
    EXPECT_EQ(d.bottom, 9);
    EXPECT_FLOAT_EQ(d.sx, 1.0f);
    EXPECT_FLOAT_EQ(d.sy, 1.0f);
    EXPECT_FLOAT_EQ(d.cx, 4.0f);
    EXPECT_FLOAT_EQ(d.cy, 3.0f);
    EXPECT_FLOAT_EQ(d.angle, 0.5f);
    EXPECT_FLOAT_EQ(d.tx, 5.5f);
    EXPECT_FLOAT_EQ(d.ty, 7.0f);
    EXPECT_EQ(d.color, 0x80FF8040u);
    const imgtest::SpriteDraw& e = draws[1];
    EXPECT_FLOAT_EQ(e.cx, 2.0f);
    EXPECT_FLOAT_EQ(e.cy, -12.0f);
    EXPECT_FLOAT_EQ(e.sy, -3.0f);
    // Each channel times the draw colour / 255, in integers.
    const std::int32_t* dc = graph->m_drawColor;
    ASSERT_LT(dc[0], 255);
    EXPECT_EQ(e.color, std::uint32_t(0x80 * dc[0] / 255) << 24 | 0xFF0000u | std::uint32_t(0x80 * dc[2] / 255) << 8 |
                           0x40u);
}

TEST_F(FlashTest, MissingPiecesAreHarmless)
{
    // No control at all.
    scripted_flash::install(nullptr);
    {
        aFlashPlayer player;
        EXPECT_NE(newLog().find("aFlashPlayer. Error, Flash control not created!"), std::string::npos);
        EXPECT_FALSE(player.loadMovie(movie, 20, 10));
        player.play();
        player.pause(true);
        player.pause(false);
        player.setLoop(true);
        EXPECT_FALSE(player.isPlaying());
        EXPECT_EQ(player.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr), E_FAIL);
    }
    scripted_flash::install(script);

    // No graphics server: the movie loads, nothing is drawn.
    app.m_graphServer = nullptr;
    {
        aFlashPlayer player;
        EXPECT_NE(newLog().find("aFlashPlayer. Error, aGraphServer object not created!"), std::string::npos);
        EXPECT_TRUE(player.loadMovie(movie, 20, 10));
        EXPECT_NE(newLog().find("Flashplayer:Failed create empty texture 20x10"), std::string::npos);
        EXPECT_EQ(player.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr), E_FAIL);
    }
    // No application: both lines, and no graphics server is taken.
    app.m_graphServer = graph;
    aApplication* const saved = g_application;
    g_application = nullptr;
    {
        aFlashPlayer player;
        const std::string log = newLog();
        EXPECT_NE(log.find("aFlashPlayer. Error, aApplication object not created!"), std::string::npos);
        EXPECT_NE(log.find("aFlashPlayer. Error, aGraphServer object not created!"), std::string::npos);
        EXPECT_TRUE(player.loadMovie(movie, 20, 10));
        EXPECT_EQ(player.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr), E_FAIL);
    }
    g_application = saved;

    // The texture or the buffer cannot be made: loaded, nothing drawn.
    aFlashPlayer player;
    rec->fail("CreateTexture", E_OUTOFMEMORY);
    EXPECT_TRUE(player.loadMovie(movie, 20, 10));
    EXPECT_NE(newLog().find("Flashplayer:Failed create empty texture 20x10"), std::string::npos);
    EXPECT_EQ(player.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr), E_FAIL);
    ASSERT_TRUE(player.loadMovie(movie, 20, 10));
    EXPECT_TRUE(player.loadMovie(movie, 0, 10));
    EXPECT_NE(newLog().find("Flashplayer:Failed create bitmap buffer 0x10"), std::string::npos);
    EXPECT_EQ(player.draw(0, 0, whole, 0xFFFFFFFF, nullptr, 0, nullptr), E_FAIL);
    EXPECT_TRUE(spriteDraws().empty());
    EXPECT_EQ(script->count("Paint"), 0);
}

class SixteenBitDesktopFlashTest : public FlashTest {
protected:
    void configureRecorder(platform::Recorder& r) override { r.desktopMode.Format = D3DFMT_R5G6B5; }
};

TEST_F(SixteenBitDesktopFlashTest, PaintsTwoByteRows)
{
    ASSERT_TRUE(graph->beginScene());
    aFlashPlayer player;
    ASSERT_TRUE(player.loadMovie(movie, 7, 5));
    EXPECT_EQ(storedFormat(player.getTexture()), D3DFMT_X1R5G5B5);
    script->currentFrame = 2;
    ASSERT_EQ(player.draw(0, 0, aRect(0, 0, 7, 5), 0xFFFFFFFF, nullptr, 0, nullptr), S_OK);
    ASSERT_EQ(script->paints.size(), 1u);
    EXPECT_EQ(script->paints[0].bytesPerPixel, 2);
    EXPECT_EQ(script->paints[0].stride, 16);  // 14 bytes, rounded up to 4
    for (int y : {0, 4})
        for (int x : {0, 6})
            EXPECT_EQ(rawTexel(player.getTexture(), x, y), pattern16(2, x, y)) << x << "," << y;
}

class NullFlashTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "NullFlash"; }
};

TEST_F(NullFlashTest, MoviesDoNotLoadAndEverythingElseIsHarmless)
{
    putFile("flash/intro.swf", "FWS");
    app.m_fileServer.setAssign("flash", test_env::home() + "/flash/");
    aFlashPlayer players[3];
    newLog();
    EXPECT_FALSE(players[0].loadMovie("flash:intro.swf", 64, 48));
    const std::string log = newLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
    EXPECT_NE(log.find("intro.swf\" not loaded: Flash movies are not supported here"), std::string::npos);

    players[0].play();
    players[0].setLoop(true);
    EXPECT_FALSE(players[0].isPlaying());
    EXPECT_EQ(players[0].draw(0, 0, aRect(0, 0, 64, 48), 0xFFFFFFFF, nullptr, 0, nullptr), E_FAIL);
    app.setPause(true);
    for (const aFlashPlayer& p : players)
        EXPECT_EQ(p.getPauseCount(), 1);
    app.setPause(false);
    for (const aFlashPlayer& p : players)
        EXPECT_EQ(p.getPauseCount(), 0);
}

} // namespace
