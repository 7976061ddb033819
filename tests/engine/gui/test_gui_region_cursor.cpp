// Region bitmaps, mouse cursors and the GUI server's tables and cursor.
#include <gtest/gtest.h>

#include "gui_test_bench.h"
#include "support/bitmap1_writer.h"

using namespace GUI;
using Lines = std::initializer_list<std::pair<const char*, const char*>>;

namespace {

class ResourceTest : public guitest::RecordingBench {
protected:
    MouseCursor* cursor(const std::string& name, Lines lines)
    {
        auto& c = gui->cursors[name] = std::make_unique<MouseCursor>(name);
        c->BeginFillProperties();
        for (const auto& l : lines)
            c->Set(l.first, l.second);
        c->EndFillProperties();
        return c.get();
    }
    aAnim* imageCursor() const { return app.m_cursorAnim; }
};

bool load(Region& r, const std::string& file)
{
    return r.LoadFromMemory(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), "mem");
}

} // namespace

TEST_F(ResourceTest, RegionBitmaps)
{
    // Both palettes, bottom-up rows, row padding at widths around 32.
    for (int w : {1, 31, 32, 33})
        for (std::uint32_t palette0 : {0x00000000u, 0x00FFFFFFu}) {
            std::vector<std::uint8_t> bits(std::size_t(w * 3));
            for (int i = 0; i < w * 3; ++i)
                bits[std::size_t(i)] = std::uint8_t((i * 7 + i / w) % 3 == 0);
            Region r;
            ASSERT_TRUE(load(r, bitmap1_writer::build(w, 3, bits, {palette0})));
            for (int i = 0; i < w * 3; ++i)
                EXPECT_EQ(r.IsInside(i % w, i / w), bool(bits[std::size_t(i)]) == !palette0) << w << " " << i;
            EXPECT_FALSE(r.IsInside(w, 0) || r.IsInside(0, 3));
        }

    // Refused files keep the old mask.
    const std::string good = bitmap1_writer::build(2, 2, {1, 0, 0, 0});
    Region r;
    ASSERT_TRUE(r.LoadFromBitmap(putFile("good.bmp", good)));
    bitmap1_writer::Options topDown;
    topDown.topDown = true;
    std::vector<std::string> bad = {jng_writer::buildBmp(2, 2, imgtest::solid(2, 2, 0xFFFFFFFF)),
                                    good.substr(0, good.size() - 1), good.substr(0, 20), "BM",
                                    bitmap1_writer::build(2, 2, {1, 0, 0, 0}, topDown)};
    const std::pair<std::size_t, std::uint32_t> pokes[] = {
        {14, 12}, {18, 16385}, {22, 0x7FFFFFFF}, {14, 0xFFFFFFF0}, {10, 0xFFFFFFFF}};
    for (const auto& [offset, value] : pokes) {
        bad.push_back(good);
        bitmap1_writer::poke32(bad.back(), offset, value);
    }
    for (const std::string& file : bad) {
        EXPECT_FALSE(load(r, file));
        EXPECT_TRUE(r.IsInside(0, 0) && r.width == 2);
    }
    EXPECT_FALSE(r.LoadFromBitmap(test_env::home() + "/missing.bmp"));
    EXPECT_NE(newLog().find("Region::LoadFromBitmap - invalid bitmap file '" + test_env::home() + "/missing.bmp'"),
              std::string::npos);
    Region empty;
    EXPECT_FALSE(load(empty, bad[0]) || empty.IsInside(0, 0));
}

TEST_F(ResourceTest, CursorFramesAndBadValues)
{
    addImage("strip", 64, 64, imgtest::solid(64, 64, 0xFFFFFFFF));
    const MouseCursor* plain = cursor("plain", {{"Image", "strip"}});
    EXPECT_TRUE(plain->anim.getFrameCount() == 1 && plain->anim.getFrameWidth() == 1);
    EXPECT_FLOAT_EQ(plain->anim.getFrameTime(), 0.025f);

    MouseCursor* four = cursor(
        "four", {{"Image", "strip"}, {"NumFrames", "4"}, {"FrameSize", "32 32"}, {"FPS", "10"}, {"HotSpot", "3.9 4"}});
    ASSERT_EQ(four->anim.getFrameCount(), 4);
    EXPECT_EQ(four->anim.getFrameList()->frames[3].rect, aRect(32, 32, 32, 32));
    EXPECT_EQ(four->hotSpotX, 3);
    four->SetActive(true);
    ASSERT_NE(imageCursor(), nullptr);
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i, imageCursor()->update(0.1f))
        seen.push_back(imageCursor()->getFrame());
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(newLog().find("MouseCursor"), std::string::npos);

    struct Bad {
        Lines lines;
        int frames;
        const char* logged;
    };
    for (const Bad& b : {
             Bad{{{"FrameSize", "0.5 8"}}, 0, "MouseCursor 'bad': frame size 0.5x8 does not fit"},
             Bad{{{"FrameSize", "65 8"}}, 0, "does not fit the image rectangle 64x64"},
             Bad{{{"FrameSize", "8 8"}, {"ImageRect", "0 0 4 64"}}, 0, "rectangle 4x64"},
             Bad{{{"FrameSize", "1e30 1"}}, 0, "does not fit"},
             Bad{{{"FrameSize", "32 32"}, {"NumFrames", "9"}}, 4, "the image holds 4 frames, not 9"},
             Bad{{{"NumFrames", "-2"}}, 1, "NumFrames \"-2\" is below 1"},
             Bad{{{"FPS", "-1"}}, 1, "FPS \"-1\" is not above 0, 40 used"},
             Bad{{{"Image", "none"}}, 0, "GUI::Server::GetImage - image \"none\" not found!"},
         }) {
        MouseCursor* c = cursor("bad", {{"Image", "strip"}});
        c->BeginFillProperties();
        c->Set("Image", "strip");
        for (const auto& l : b.lines)
            c->Set(l.first, l.second);
        c->EndFillProperties();
        EXPECT_EQ(c->anim.getFrameCount(), b.frames) << b.logged;
        EXPECT_FLOAT_EQ(c->anim.getFrameTime(), 0.025f) << b.logged;
        EXPECT_NE(newLog().find(b.logged), std::string::npos) << b.logged;
    }
    gui->cursors["bad"]->SetActive(true);  // no frames: the system arrow
    EXPECT_TRUE(!imageCursor() && app.m_systemCursor == 32512u);
}

TEST_F(ResourceTest, ServerCursorSwitchingAndHotSpots)
{
    addImage("img", 8, 8, imgtest::solid(8, 8, 0xFFFFFFFF));
    MouseCursor* a = cursor("a", {{"Image", "img"}});
    MouseCursor* b = cursor("b", {{"Image", "img"}, {"HotSpot", "2 2"}});
    EXPECT_TRUE(gui->GetRoot()->name == "__root__" && gui->GetRoot()->area == aRect(0, 0, 64, 48));

    // A hot spot set while inactive waits; while active it keeps the image cursor.
    a->SetHotSpot(5, 6);
    EXPECT_EQ(input->m_cursorHotX, 0);
    gui->SetCursor("a");
    EXPECT_TRUE(a->active && input->m_cursorHotX == 5);
    aAnim* shown = imageCursor();
    a->SetHotSpot(1, 1);
    EXPECT_TRUE(imageCursor() == shown && input->m_cursorHotY == 1);
    gui->SetCursor("b");
    EXPECT_TRUE(!a->active && b->active && input->m_cursorHotX == 2);
    gui->SetCursor("nothere");
    gui->SetCursor("");
    EXPECT_EQ(gui->cursor, b);
    EXPECT_NE(newLog().find("Server::GetMouseCursor - mouse cursor 'nothere' not found!"), std::string::npos);

    // Hidden: the arrow, and hidden cursors stay hidden until shown.
    gui->ShowMouseCursor(false);
    EXPECT_TRUE(!imageCursor() && app.m_systemCursor == 32512u);
    b->SetHotSpot(4, 4);
    gui->SetCursor("a");
    EXPECT_EQ(imageCursor(), nullptr);
    gui->ShowMouseCursor(true);
    EXPECT_TRUE(imageCursor() && a->active);
    // A cursor deleted while active leaves no image cursor behind.
    gui->cursor = nullptr;
    gui->cursors.erase("a");
    EXPECT_EQ(imageCursor(), nullptr);

    EXPECT_EQ(gui->NewSound("click"), nullptr);
    gui->imageManager = nullptr;
    EXPECT_EQ(gui->GetImage("img"), nullptr);
    const std::string log = newLog();
    EXPECT_NE(log.find("Server::NewSound - sound 'click' not found!"), std::string::npos);
    EXPECT_NE(log.find("GUI::Server::GetImage - image \"img\" not found!"), std::string::npos);
}
