// Region bitmaps, mouse cursors and the GUI server's tables, focus and cursor.
#include <gtest/gtest.h>

#include "gui_test_bench.h"
#include "support/bitmap1_writer.h"

using namespace GUI;

namespace {

class ResourceTest : public guitest::RecordingBench {
protected:
    MouseCursor* cursor(const std::string& name, std::initializer_list<std::pair<const char*, const char*>> lines)
    {
        auto c = std::make_unique<MouseCursor>(name);
        c->BeginFillProperties();
        for (const auto& l : lines)
            c->Set(l.first, l.second);
        c->EndFillProperties();
        MouseCursor* out = c.get();
        gui->cursors[name] = std::move(c);
        return out;
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
    for (int w : {1, 31, 32, 33}) {
        for (std::uint32_t palette0 : {0x00000000u, 0x00FFFFFFu}) {
            const int h = 3;
            std::vector<std::uint8_t> bits(std::size_t(w * h));
            for (int i = 0; i < w * h; ++i)
                bits[std::size_t(i)] = std::uint8_t((i * 7 + i / w) % 3 == 0);
            bitmap1_writer::Options o;
            o.palette0 = palette0;
            Region r;
            ASSERT_TRUE(load(r, bitmap1_writer::build(w, h, bits, o))) << w;
            ASSERT_EQ(r.width, std::uint32_t(w));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    EXPECT_EQ(r.IsInside(x, y), bool(bits[std::size_t(y * w + x)]) == (palette0 == 0))
                        << w << " " << x << "," << y;
            EXPECT_FALSE(r.IsInside(w, 0));
            EXPECT_FALSE(r.IsInside(0, h));
        }
    }

    // Bad files are refused and the old mask stays.
    const std::vector<std::uint8_t> one{1, 0, 0, 0};
    const std::string good = bitmap1_writer::build(2, 2, one);
    Region r;
    ASSERT_TRUE(r.LoadFromBitmap(putFile("good.bmp", good)));
    bitmap1_writer::Options topDown;
    topDown.topDown = true;
    std::string headerSmall = good, oversized = good, bitsPastEnd = good, paletteFar = good, fourBit = good;
    bitmap1_writer::poke32(headerSmall, 14, 12);
    bitmap1_writer::poke32(oversized, 18, 16385);
    bitmap1_writer::poke32(bitsPastEnd, 22, 0x7FFFFFFF);
    bitmap1_writer::poke32(paletteFar, 14, 0xFFFFFFF0);
    fourBit[28] = 4;
    const std::string bad[] = {
        jng_writer::buildBmp(2, 2, imgtest::solid(2, 2, 0xFFFFFFFF)),
        good.substr(0, good.size() - 1),
        good.substr(0, 20),
        bitmap1_writer::build(2, 2, one, topDown),
        headerSmall, oversized, bitsPastEnd, paletteFar, fourBit, "BM",
    };
    for (const std::string& file : bad) {
        EXPECT_FALSE(load(r, file));
        EXPECT_TRUE(r.IsInside(0, 0));
        EXPECT_EQ(r.width, 2u);
    }
    EXPECT_FALSE(r.LoadFromBitmap(test_env::home() + "/missing.bmp"));
    const std::string log = newLog();
    EXPECT_NE(log.find("Region::LoadFromBitmap - invalid bitmap file '" + test_env::home() + "/missing.bmp'"),
              std::string::npos);
    Region empty;
    EXPECT_FALSE(load(empty, bad[0]));
    EXPECT_FALSE(empty.IsInside(0, 0));
}

TEST_F(ResourceTest, CursorFramesAndBadValues)
{
    addImage("strip", 64, 64, imgtest::solid(64, 64, 0xFFFFFFFF));
    MouseCursor* plain = cursor("plain", {{"Image", "strip"}});
    ASSERT_EQ(plain->anim.getFrameCount(), 1);
    EXPECT_EQ(plain->anim.getFrameWidth(), 1);
    EXPECT_FLOAT_EQ(plain->anim.getFrameTime(), 0.025f);

    MouseCursor* four = cursor("four", {{"Image", "strip"}, {"NumFrames", "4"}, {"FrameSize", "32 32"},
                                        {"FPS", "10"}, {"HotSpot", "3.9 4"}});
    ASSERT_EQ(four->anim.getFrameCount(), 4);
    EXPECT_EQ(four->anim.getFrameList()->frames[3].rect, aRect(32, 32, 32, 32));
    EXPECT_EQ(four->hotSpotX, 3);
    four->SetActive(true);
    ASSERT_NE(imageCursor(), nullptr);
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        seen.push_back(imageCursor()->getFrame());
        imageCursor()->update(0.1f);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(newLog().find("MouseCursor"), std::string::npos);

    struct Bad {
        std::initializer_list<std::pair<const char*, const char*>> lines;
        int frames;
        const char* logged;
    };
    const Bad bads[] = {
        {{{"Image", "strip"}, {"FrameSize", "0.5 8"}}, 0, "MouseCursor 'bad': frame size 0.5x8 does not fit"},
        {{{"Image", "strip"}, {"FrameSize", "65 8"}}, 0, "does not fit the image rectangle 64x64"},
        {{{"Image", "strip"}, {"FrameSize", "8 8"}, {"ImageRect", "0 0 4 64"}}, 0, "rectangle 4x64"},
        {{{"Image", "strip"}, {"FrameSize", "1e30 1"}}, 0, "does not fit"},
        {{{"Image", "strip"}, {"FrameSize", "32 32"}, {"NumFrames", "9"}}, 4, "the image holds 4 frames, not 9"},
        {{{"Image", "strip"}, {"NumFrames", "-2"}}, 1, "NumFrames \"-2\" is below 1"},
        {{{"Image", "strip"}, {"FPS", "-1"}}, 1, "FPS \"-1\" is not above 0, 40 used"},
        {{{"Image", "none"}}, 0, "GUI::Server::GetImage - image \"none\" not found!"},
    };
    for (const Bad& b : bads) {
        MouseCursor* c = cursor("bad", b.lines);
        EXPECT_EQ(c->anim.getFrameCount(), b.frames) << b.logged;
        EXPECT_FLOAT_EQ(c->anim.getFrameTime(), 0.025f) << b.logged;
        EXPECT_NE(newLog().find(b.logged), std::string::npos) << b.logged;
    }
    // No frames: the system arrow.
    gui->cursors["bad"]->SetActive(true);
    EXPECT_EQ(imageCursor(), nullptr);
    EXPECT_EQ(app.m_systemCursor, 32512u);
}

TEST_F(ResourceTest, ServerCursorSwitchingAndHotSpots)
{
    addImage("img", 8, 8, imgtest::solid(8, 8, 0xFFFFFFFF));
    MouseCursor* a = cursor("a", {{"Image", "img"}});
    MouseCursor* b = cursor("b", {{"Image", "img"}, {"HotSpot", "2 2"}});
    EXPECT_EQ(gui->GetRoot()->name, "__root__");
    EXPECT_EQ(gui->GetRoot()->area, aRect(0, 0, 64, 48));

    // A hot spot set while inactive waits; while active it keeps the image cursor.
    a->SetHotSpot(5, 6);
    EXPECT_EQ(input->m_cursorHotX, 0);
    gui->SetCursor("a");
    EXPECT_TRUE(a->active);
    EXPECT_EQ(input->m_cursorHotX, 5);
    aAnim* shown = imageCursor();
    a->SetHotSpot(1, 1);
    EXPECT_EQ(imageCursor(), shown);
    EXPECT_EQ(input->m_cursorHotY, 1);

    gui->SetCursor("b");
    EXPECT_FALSE(a->active);
    EXPECT_TRUE(b->active);
    EXPECT_EQ(input->m_cursorHotX, 2);
    gui->SetCursor("nothere");
    gui->SetCursor("");
    EXPECT_EQ(gui->cursor, b);
    EXPECT_NE(newLog().find("Server::GetMouseCursor - mouse cursor 'nothere' not found!"), std::string::npos);

    gui->ShowMouseCursor(false);
    EXPECT_EQ(imageCursor(), nullptr);
    EXPECT_EQ(app.m_systemCursor, 32512u);
    b->SetHotSpot(4, 4);  // hidden cursors stay hidden
    EXPECT_EQ(imageCursor(), nullptr);
    gui->SetCursor("a");
    EXPECT_EQ(imageCursor(), nullptr);
    gui->ShowMouseCursor(true);
    EXPECT_NE(imageCursor(), nullptr);
    EXPECT_TRUE(a->active);

    // A cursor deleted while active leaves no image cursor behind.
    gui->cursor = nullptr;
    gui->cursors.erase("a");
    EXPECT_EQ(imageCursor(), nullptr);

    // Lookups without managers log and give null.
    EXPECT_EQ(gui->NewSound("click"), nullptr);
    gui->imageManager = nullptr;
    EXPECT_EQ(gui->GetImage("img"), nullptr);
    EXPECT_EQ(gui->GetFont("f"), nullptr);
    const std::string log = newLog();
    EXPECT_NE(log.find("Server::NewSound - sound 'click' not found!"), std::string::npos);
    EXPECT_NE(log.find("GUI::Server::GetImage - image \"img\" not found!"), std::string::npos);
    EXPECT_NE(log.find("Server::GetFont - font 'f' not found!"), std::string::npos);
}
