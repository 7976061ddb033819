// The investigation's frame: the layers of each state on the recording
// device, the room stack and the overlays in pixels on offscreen GL.
#include <cmath>
#include <set>

#include "engine/gfx/a_flash_player.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "game/shell/c_res_manager.h"
#include "investigation_bench.h"
#include "scripted_flash.h"
#include "test_env.h"

using namespace invtest;

namespace {

using Shot = std::vector<std::uint32_t>;

template <class Bench>
class DrawBench : public Bench {
protected:
    void SetUp() override
    {
        Bench::SetUp();
        if (this->HasFatalFailure())
            return;
        this->addBoards();
        this->writeCase(kCaseIni);
        this->playCase();
        ASSERT_EQ(this->inv->GetState(), CInvestigation::StatePlay);
    }
    void drawFrame()
    {
        aGraphServer* graph = this->app.m_graphServer;
        ASSERT_TRUE(graph->beginScene());
        this->inv->Draw();
        graph->endScene();
    }
};

using DrawTable = DrawBench<InvestigationTest>;

class DrawPixels : public DrawBench<InvestigationGlTest> {
protected:
    void SetUp() override
    {
        DrawBench<InvestigationGlTest>::SetUp();
        if (HasFatalFailure())
            return;
        panel->Hide();
        inv->currentRoom = room("Hall");
        inv->history.clear();
    }
    Shot shot()
    {
        drawFrame();
        return backBuffer();
    }
    static std::uint32_t at(const Shot& px, int x, int y) { return px[std::size_t(y) * 1024 + std::size_t(x)] & 0xFFFFFF; }
    static int red(std::uint32_t rgb) { return int(rgb >> 16 & 0xFF); }
    static int green(std::uint32_t rgb) { return int(rgb >> 8 & 0xFF); }
    // Bounding box (x0, y0, x1, y1) of the pixels that differ; x0 = -1 when none.
    static std::array<int, 4> changed(const Shot& a, const Shot& b)
    {
        std::array<int, 4> box{{-1, 0, 0, 0}};
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                if (at(a, x, y) != at(b, x, y))
                    box = box[0] < 0 ? std::array<int, 4>{{x, y, x, y}}
                                     : std::array<int, 4>{{std::min(box[0], x), std::min(box[1], y),
                                                           std::max(box[2], x), std::max(box[3], y)}};
        return box;
    }
};

} // namespace

TEST_F(DrawTable, LayersByState)
{
    const std::vector<std::string> roomsDialogs{"rooms", "dialogs"};
    const std::vector<std::string> none;
    std::map<std::uint32_t, std::vector<std::string>> expected;
    for (std::uint32_t s : {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 20, 21, 22, 23, 24, 25, 26, 28, 29, 31, 32, 33,
                            36, 37, 38, 39, 40, 41, 42})
        expected[s] = roomsDialogs;
    expected[17] = expected[30] = {"dialogs"};
    expected[18] = {"flash"};
    expected[19] = {"flash", "dialogs"};
    for (std::uint32_t s = 0; s <= 43; ++s) {
        inv->state = s;
        inv->layers.clear();
        drawFrame();
        const auto it = expected.find(s);
        EXPECT_EQ(inv->layers, it == expected.end() ? none : it->second) << s;  // else the error line
    }

    // The identified item is drawn at zoom 1, visible, then put back.
    CSpyItem* coin = rooms->GetItem("Hall", "coin");
    coin->SetZoom(2.0f, false);
    coin->SetVisible(false);
    float x = 0, y = 0;
    coin->GetPos(x, y);
    ASSERT_GT(container->itemIdent.GetIdentItemRect().width, 0);
    inv->identifiedItem = coin;
    inv->state = 14;
    drawFrame();
    float x2 = 0, y2 = 0;
    coin->GetPos(x2, y2);
    EXPECT_EQ(std::make_pair(x2, y2), std::make_pair(x, y));
    EXPECT_EQ(coin->GetZoom(), 2.0f);
    EXPECT_FALSE(coin->IsVisible());
    inv->identifiedItem = nullptr;

    // No room: the other layers still draw.
    inv->currentRoom = nullptr;
    inv->state = 5;
    inv->layers.clear();
    drawFrame();
    EXPECT_EQ(inv->layers, roomsDialogs);
}

TEST_F(DrawPixels, RoomStackAndVeils)
{
    // A close-up covering the area at full alpha hides the room under it.
    inv->history = {room("Wide")};
    Shot px = shot();
    EXPECT_EQ(at(px, 500, 300), 0xFFFFFFu);
    EXPECT_EQ(at(px, 120, 300), 0u);  // the wide room would show left of the area

    // The white hall under two veils (fadeAlpha 1): 255 x (79/255)^2.
    inv->history = {room("Hall"), room("Close")};
    inv->currentRoom = room("Close");
    inv->fadeAlpha = 1.0f;
    px = shot();
    const double twoVeils = 255.0 * std::pow(79.0 / 255.0, 2);
    EXPECT_NEAR(green(at(px, 200, 50)), twoVeils, 2.0);
    EXPECT_EQ(red(at(px, 500, 300)), 255);  // the current close-up on top, unveiled
    // With fadeAlpha 0 the last veil is clear.
    inv->fadeAlpha = 0.0f;
    px = shot();
    EXPECT_NEAR(green(at(px, 200, 50)), 79.0, 2.0);
    // Veils cover the area only.
    EXPECT_EQ(at(px, 100, 50), 0u);
}

TEST_F(DrawPixels, ErrorLineEyeAndFlash)
{
    // The red error text alone, at the top left.
    loadGuiText("fontlist\n{\n    sys_s fonts:DejaVuSans16.ini\n}\n");
    inv->state = 27;
    const Shot error = shot();
    int lit = 0, x1 = 0, y1 = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            if (const std::uint32_t c = at(error, x, y)) {
                ++lit;
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
                EXPECT_EQ(c & 0x00FFFF, 0u) << x << "," << y;  // red only
            }
    EXPECT_GT(lit, 50);
    EXPECT_LT(x1, 250);
    EXPECT_LT(y1, 30);

    // The eye of state 31 at the mouse: x - width / 2, y - height / 3.5.
    moveTo(600, 400);
    tick();
    inv->state = 5;
    const Shot plain = shot();
    inv->state = 31;
    const std::array<int, 4> box = changed(plain, shot());
    const aImage* eye = res->GetImageManager()->GetImage("eye", "GamePanel");
    ASSERT_NE(eye, nullptr);
    // Where the picture's visible pixels start, drawn alone at (100, 100).
    const Shot blank(1024 * 768, 0);
    ASSERT_TRUE(app.m_graphServer->beginScene());
    eye->draw(100.0f, 100.0f);
    app.m_graphServer->endScene();
    const std::array<int, 4> alone = changed(blank, backBuffer());
    EXPECT_EQ(box[0], 600 - eye->getWidth() / 2 + alone[0] - 100);
    EXPECT_NEAR(box[1], 400 - eye->getHeight() / 3.5 + alone[1] - 100, 1.0);

    // A scripted movie frame fills the back buffer in state 18.
    auto script = std::make_shared<scripted_flash::Script>();
    script->totalFrames = 300;
    script->currentFrame = 200;
    scripted_flash::install(script);
    test_env::writeFile(test_env::home() + "/movie.swf", "movie");
    inv->flash = std::make_shared<aFlashPlayer>();
    ASSERT_TRUE(inv->flash->loadMovie(test_env::home() + "/movie.swf", 800, 600));
    inv->state = 18;
    const Shot movie = shot();
    for (auto [x, y] : {std::pair{0, 0}, {1023, 0}, {0, 767}, {1023, 767}, {512, 384}})
        EXPECT_NEAR(red(at(movie, x, y)), 200, 2) << x << "," << y;
    inv->flash.reset();
    scripted_flash::uninstall();
}
