// Advanced animations: loading, time-exact stepping, play lists, jumps,
// copies, drawing and hit tests on the recording double.
#include <limits>

#include "engine/gfx/a_adv_anim.h"
#include "engine/gfx/a_image_manager.h"
#include "support/jng_writer.h"
#include "test_image_fixture.h"

namespace {

// Counts the hooks.
class CountingAnim : public aAdvAnim {
public:
    int frames = 0, blocks = 0, ends = 0;

protected:
    void onFrameChanged() override { ++frames; }
    void onBlockStarted() override { ++blocks; }
    void onSequenceEnd() override { ++ends; }
};

// n frames told apart by their rectangle's x (first + i).
std::string frames(int n, int first = 0)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += "Frame = (Rect=" + std::to_string(first + i) + " 0 1 1)\n";
    return out;
}

class AdvAnimTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "AdvAnimTest"; }

    std::string write(const std::string& text, const std::string& name = "anim.ini")
    {
        return putFile(name, text);
    }
    bool load(aAdvAnim& a, const std::string& text) { return a.Load(write(text), &images, ""); }
    void image(const std::string& name, int w, int h, const std::vector<std::uint32_t>& px)
    {
        putFile(name + ".png", jng_writer::buildPng(w, h, px));
        images.LoadFile(test_env::home() + "/", name + ".png 8888 8888", "");
    }
    static int shownX(const aAdvAnim& a)
    {
        const advAnim::aAdvAnimFrame* f = a.GetCurrentFrame();
        return f ? f->rect.x : -1;
    }

    aImageManager images;
};

const char kGeneral[] = "[_General_]\nWidth = 4\nHeight = 4\nAutoStart = 1\n";

TEST_F(AdvAnimTest, LoadReadsSectionsInAnyOrderAndTheFrameRules)
{
    aAdvAnim a;
    EXPECT_TRUE(load(a, "[B]\nFrame = (Rect=1 2 3 4)(Disp=5 -6)\nFrame = plain\nFrame = \nFrame = (Rect=7)(Odd=1)\n"
                        "Frame = (Disp=-2147483648 9)\n"
                        "[_Play_]\nB = (Fps=12)(NLoops=3)(Reverse=1)(PingPong=1)(Other=5)\nMissing = x\n"
                        "[_General_]\nWidth = 8\nHeight = 6\nSpeed = 0.5\nNLoops = 2\nShowStoped = 1\n"));
    EXPECT_EQ(a.GetName(), "anim");
    EXPECT_EQ(a.GetWidth(), 8);
    EXPECT_FALSE(a.IsActive());  // no AutoStart
    const auto& f = a.GetBlocks().at("B").m_frames;
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].rect, aRect(1, 2, 3, 4));
    EXPECT_EQ(f[0].dx, 5);
    EXPECT_EQ(f[0].dy, -6);
    EXPECT_EQ(f[1].rect, aRect());
    EXPECT_EQ(f[2].rect, aRect(7, 0, 0, 0));
    EXPECT_EQ(f[3].dx, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(f[0].texture, nullptr);
    EXPECT_TRUE(a.GetBlocks().at("Missing").m_frames.empty());
    const auto& play = a.GetPlayList();
    ASSERT_EQ(play.size(), 2u);
    EXPECT_EQ(play[0].frameRate, 12u);
    EXPECT_EQ(play[0].loops, 3u);
    EXPECT_TRUE(play[0].reverse && play[0].pingPong);
    EXPECT_EQ(play[1].frameRate, 30u);
    EXPECT_EQ(play[1].loops, 1u);
    EXPECT_EQ(a.GetTotalFrames(), 12u);
    EXPECT_EQ(newLog(), "");

    // No Width: the options file logs it; a missing file is refused.
    aAdvAnim b;
    EXPECT_TRUE(load(b, "[_General_]\nHeight = 2\n"));
    EXPECT_EQ(b.GetWidth(), 0);
    EXPECT_NE(newLog().find("Cannot find key \"Width\""), std::string::npos);
    EXPECT_FALSE(b.Load(test_env::home() + "/none.ini", &images, ""));
    EXPECT_NE(newLog().find("aAdvAnim::Load(). File '" + test_env::home() + "/none.ini' not exist!"),
              std::string::npos);
}

TEST_F(AdvAnimTest, TimeCarriesAcrossFramesBlocksAndPasses)
{
    // An undefined block is passed within the same Update, counted once.
    CountingAnim a;
    ASSERT_TRUE(load(a, std::string(kGeneral) + "[_Play_]\nA = (Fps=10)\nE = (Fps=10)\nB = (Fps=10)\n[A]\n" +
                            frames(2) + "[B]\n" + frames(2, 10)));
    a.Update(0.25f);
    EXPECT_EQ(a.GetFrameNumber(), 3u);
    EXPECT_EQ(a.GetPlayIndex(), 2u);
    EXPECT_EQ(shownX(a), 10);
    EXPECT_EQ(a.frames, 3);
    EXPECT_EQ(a.blocks, 2);
    EXPECT_NEAR(a.GetCurrentBlock()->GetTimer(), 0.05f, 1e-5);

    // Fps 10 at speed 2: 0.26 s is five frames and 0.02 s on the timer.
    aAdvAnim b;
    ASSERT_TRUE(load(b, "[_General_]\nSpeed = 2\nAutoStart = 1\n[_Play_]\nL = (Fps=10)\n[L]\n" + frames(10)));
    b.Update(0.26f);
    EXPECT_EQ(b.GetFrameNumber(), 5u);
    EXPECT_EQ(b.GetCurrentBlock()->GetIndex(), 5u);
    EXPECT_NEAR(b.GetCurrentBlock()->GetTimer(), 0.02f, 1e-5);
    b.SetPaused(true);
    b.Update(1.0f);
    EXPECT_EQ(b.GetFrameNumber(), 5u);

    // Ping-pong twice: forwards, backwards, stopped on the first frame.
    CountingAnim c;
    ASSERT_TRUE(load(c, "[_General_]\nPingPong = 1\nNLoops = 2\nAutoStart = 1\n[_Play_]\nP = (Fps=10)\n[P]\n" +
                            frames(3)));
    c.Update(10.0f);
    EXPECT_FALSE(c.IsActive());
    EXPECT_EQ(c.GetFrameNumber(), 0u);
    EXPECT_EQ(shownX(c), 0);
    EXPECT_EQ(c.ends, 2);
    EXPECT_EQ(c.frames, 4);
    c.Rewind();
    EXPECT_TRUE(c.IsActive());
}

TEST_F(AdvAnimTest, SetFrameAgreesWithPlayingForEveryFrame)
{
    const std::string play = "[_Play_]\nA = (Fps=10)(NLoops=2)(PingPong=1)\nB = (Fps=10)(NLoops=2)(Reverse=1)\n"
                             "C = (Fps=10)\n[A]\n" + frames(3) + "[B]\n" + frames(2, 10) + "[C]\n" + frames(1, 20);
    for (const char* reverse : {"0", "1"}) {
        aAdvAnim a;
        ASSERT_TRUE(load(a, std::string(kGeneral) + "Reverse = " + reverse + "\n" + play));
        ASSERT_EQ(a.GetTotalFrames(), 11u);
        // What playing shows at each frame number, one frame per Update.
        std::map<std::uint32_t, std::pair<std::uint32_t, int>> shown;
        for (int step = 0; step < 11; ++step) {
            shown[a.GetFrameNumber()] = {a.GetPlayIndex(), shownX(a)};
            a.Update(0.1f);
        }
        ASSERT_EQ(shown.size(), 11u) << reverse;
        for (std::uint32_t n = 0; n < 11; ++n) {
            aAdvAnim b(a);
            b.Rewind();
            ASSERT_TRUE(b.SetFrame(n));
            EXPECT_EQ(b.GetFrameNumber(), n);
            EXPECT_EQ(std::make_pair(b.GetPlayIndex(), shownX(b)), shown[n]) << "reverse " << reverse << ", " << n;
            // And it plays on from there as from the start.
            const std::uint32_t next = *reverse == '1' ? n - 1 : n + 1;
            b.Update(0.1f);
            if (next < 11) {
                EXPECT_EQ(std::make_pair(b.GetPlayIndex(), shownX(b)), shown[next]) << reverse << ", " << n;
            }
        }
        EXPECT_FALSE(a.SetFrame(11));
    }

    aAdvAnim endless;
    ASSERT_TRUE(load(endless, std::string(kGeneral) + "[_Play_]\nA = (NLoops=0)\nB = \n[A]\n" + frames(3)));
    EXPECT_EQ(endless.GetTotalFrames(), std::numeric_limits<std::uint32_t>::max());
    EXPECT_FALSE(endless.SetFrame(5));
    aAdvAnim idle;
    ASSERT_TRUE(load(idle, "[_Play_]\nA = \n[A]\n" + frames(3)));
    EXPECT_FALSE(idle.SetFrame(1));
}

TEST_F(AdvAnimTest, CopiesAreDeepAndOwnTheirBlocks)
{
    aAdvAnim a;
    ASSERT_TRUE(load(a, std::string(kGeneral) + "[_Play_]\nA = (Fps=10)\n[A]\n" + frames(3)));
    aAdvAnim copy(a);
    EXPECT_EQ(copy.GetBlocks().at("A").GetOwner(), &copy);
    EXPECT_EQ(a.GetBlocks().at("A").GetOwner(), &a);
    copy.Update(0.15f);
    EXPECT_EQ(copy.GetFrameNumber(), 1u);
    EXPECT_EQ(a.GetFrameNumber(), 0u);
    EXPECT_EQ(a.GetCurrentBlock()->GetIndex(), 0u);
    aAdvAnim assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_EQ(assigned.GetBlocks().at("A").GetOwner(), &assigned);
    EXPECT_EQ(assigned.GetFrameNumber(), 1u);
    EXPECT_NEAR(assigned.GetCurrentBlock()->GetTimer(), 0.05f, 1e-5);

    // Reversing mid-play turns the block round.
    assigned.SetReverse(true);
    EXPECT_TRUE(assigned.IsBackwards());
    EXPECT_TRUE(assigned.GetCurrentBlock()->IsBackwards());
}

TEST_F(AdvAnimTest, AutoFramesCutOnlyWhatFits)
{
    image("big", 128, 128, imgtest::solid(128, 128, 0xFFFFFFFF));
    image("odd", 150, 100, imgtest::solid(150, 100, 0xFFFFFFFF));
    image("gap", 130, 130, imgtest::solid(130, 130, 0xFFFFFFFF));
    auto rects = [](const aAdvAnim& a) {
        std::vector<aRect> out;
        for (const auto& f : a.GetBlocks().at("S").m_frames)
            out.push_back(f.rect);
        return out;
    };
    const std::string general = "[_General_]\nWidth = 64\nHeight = 64\n";
    aAdvAnim a;
    ASSERT_TRUE(load(a, general + "[S]\nTexture = big\nAutoFrames = 8\n"));
    EXPECT_EQ(rects(a), (std::vector<aRect>{{0, 0, 64, 64}, {64, 0, 64, 64}, {0, 64, 64, 64}, {64, 64, 64, 64}}));
    advAnim::aAdvAnimBlock* s = a.GetBlock("S");
    EXPECT_FALSE(s->AutoFrames(s->m_frames[0].texture, 8, false));
    EXPECT_TRUE(s->AutoFrames(s->m_frames[0].texture, 4, false));
    EXPECT_EQ(s->m_frames.size(), 12u);

    // A row's last frame and a last row must fit whole.
    ASSERT_TRUE(load(a, general + "[S]\nTexture = odd\nAutoFrames = 8\n"));
    EXPECT_EQ(rects(a), (std::vector<aRect>{{0, 0, 64, 64}, {64, 0, 64, 64}}));
    ASSERT_TRUE(load(a, general + "PixelIndent = 1\n[S]\nTexture = gap\nAutoFrames = 4\n"));
    EXPECT_EQ(rects(a), (std::vector<aRect>{{0, 0, 64, 64}, {65, 0, 64, 64}, {0, 65, 64, 64}, {65, 65, 64, 64}}));
    newLog();

    ASSERT_TRUE(load(a, general + "[S]\nTexture = big\nAutoFrames = 0\nAutoFrames = 1000000000\n"));
    EXPECT_EQ(rects(a).size(), 4u);
    ASSERT_TRUE(load(a, "[_General_]\nWidth = 0\nHeight = 64\n[S]\nTexture = big\nAutoFrames = 2\n"));
    EXPECT_TRUE(rects(a).empty());
    ASSERT_TRUE(load(a, "[_General_]\nWidth = 200\nHeight = 64\n[S]\nTexture = big\nAutoFrames = 2\n"));
    EXPECT_TRUE(rects(a).empty());
    const std::string log = newLog();
    EXPECT_NE(log.find("AutoFrames 0 of 64 x 64 refused in '" + test_env::home() + "/anim.ini'"), std::string::npos);
    EXPECT_NE(log.find("AutoFrames 2 of 0 x 64 refused"), std::string::npos);
}

TEST_F(AdvAnimTest, RatesSpeedsAndLoopCountsThatCouldNotEnd)
{
    // Fps of 0 or below holds the frame; above 1000 reads 1000.
    aAdvAnim held;
    ASSERT_TRUE(load(held, std::string(kGeneral) + "[_Play_]\nA = (Fps=-5)\nB = (Fps=0)(Reverse=1)\n"
                                                   "C = (Fps=5000)\n[A]\n" + frames(2) + "[B]\n" + frames(2)));
    held.Update(100.0f);
    EXPECT_EQ(held.GetFrameNumber(), 0u);
    EXPECT_TRUE(held.IsActive());
    EXPECT_EQ(held.GetPlayList()[2].frameRate, 1000u);
    EXPECT_NE(newLog().find("Fps 5000 read as 1000 in '" + test_env::home() + "/anim.ini'"), std::string::npos);
    ASSERT_TRUE(held.SetFrame(2));
    held.Update(100.0f);
    EXPECT_EQ(shownX(held), 1);

    // A huge speed: one Update steps at most kMaxFramesPerUpdate frames.
    aAdvAnim fast;
    ASSERT_TRUE(load(fast, "[_General_]\nSpeed = 1e30\nAutoStart = 1\n[_Play_]\nA = (NLoops=0)\n[A]\n" + frames(3)));
    fast.Update(0.5f);
    EXPECT_EQ(fast.GetFrameNumber(), aAdvAnim::kMaxFramesPerUpdate);
    ASSERT_TRUE(load(fast, "[_General_]\nSpeed = 1e300\nAutoStart = 1\n[_Play_]\nA = \n[A]\n" + frames(3)));
    fast.Update(0.5f);
    EXPECT_NE(newLog().find("Speed '1e300' read as 1"), std::string::npos);

    // Endless entries saturate the total instead of wrapping it.
    aAdvAnim sum;
    ASSERT_TRUE(load(sum, std::string(kGeneral) + "[_Play_]\nA = (NLoops=0)\nB = (NLoops=0)\nC = \n[A]\n" +
                              frames(1) + "[C]\n" + frames(2)));
    EXPECT_EQ(sum.GetTotalFrames(), std::numeric_limits<std::uint32_t>::max());

    // A frameless list played for ever returns after a pass that took no time.
    CountingAnim empty;
    ASSERT_TRUE(load(empty, "[_General_]\nNLoops = 0\nAutoStart = 1\n[_Play_]\nX = \nY = \n"));
    empty.Update(1.0f);
    EXPECT_TRUE(empty.IsActive());
    EXPECT_LE(empty.ends, 3);
    empty.Update(std::numeric_limits<float>::infinity());
    empty.Update(-1.0f);
}

TEST_F(AdvAnimTest, DrawPlacesMirrorsScalesAndTurnsTheFrame)
{
    image("pic", 8, 8, imgtest::solid(8, 8, 0xFFFFFFFF));
    aAdvAnim a;
    ASSERT_TRUE(load(a, "[_General_]\nWidth = 10\nHeight = 8\nAutoStart = 1\n[_Play_]\nA = \n"
                        "[A]\nTexture = pic\nFrame = (Rect=0 0 4 2)(Disp=2 3)\n"));
    auto draw = [&](const D3DXVECTOR2* scale, float angle, const D3DXVECTOR2* pivot, int flags) {
        rec->clear();
        a.Draw(100.0f, 50.0f, 0xFF808080, scale, angle, pivot, flags);
        const auto d = spriteDraws();
        EXPECT_EQ(d.size(), 1u);
        return d.empty() ? imgtest::SpriteDraw() : d[0];
    };
    auto d = draw(nullptr, 0.0f, nullptr, 0);
    EXPECT_EQ(d.tx, 102.0f);
    EXPECT_EQ(d.ty, 53.0f);
    EXPECT_EQ(d.right, 4);
    EXPECT_EQ(d.color, 0xFF808080u);
    d = draw(nullptr, 0.0f, nullptr, 0x2);  // lands at 10 - 4 - 2, drawn mirrored
    EXPECT_EQ(d.tx, 104.0f + 4.0f);
    EXPECT_EQ(d.sx, -1.0f);
    d = draw(nullptr, 0.0f, nullptr, 0x1);
    EXPECT_EQ(d.ty, 50.0f + 3.0f + 2.0f);
    EXPECT_EQ(d.sy, -1.0f);
    const D3DXVECTOR2 scale{2.0f, 3.0f};
    d = draw(&scale, 0.0f, nullptr, 0);
    EXPECT_EQ(d.tx, 104.0f);
    EXPECT_EQ(d.ty, 59.0f);
    // Turning: about the middle of the animation, or the given pivot.
    d = draw(nullptr, 0.5f, nullptr, 0);
    EXPECT_EQ(d.cx, 3.0f);
    EXPECT_EQ(d.cy, 1.0f);
    const D3DXVECTOR2 pivot{1.0f, 1.0f};
    d = draw(&scale, 0.5f, &pivot, 0);
    EXPECT_EQ(d.cx, -2.0f);
    EXPECT_EQ(d.cy, -6.0f);

    // Stopped: drawn only with ShowStoped.
    ASSERT_TRUE(load(a, "[_General_]\nWidth = 4\nHeight = 2\n[_Play_]\nA = \n[A]\nTexture = pic\nFrame = \n"));
    rec->clear();
    a.Draw(0.0f, 0.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 0);
    EXPECT_TRUE(spriteDraws().empty());
}

TEST_F(AdvAnimTest, MirroredHitTestsSampleTheFrameItself)
{
    image("hit", 4, 2,
          {0xFF110000, 0xFF220000, 0xFF330000, 0xFF440000, 0xFF000011, 0xFF000022, 0xFF000033, 0xFF000044});
    aAdvAnim a;
    ASSERT_TRUE(load(a, "[_General_]\nWidth = 4\nHeight = 2\n[_Play_]\nA = \n"
                        "[A]\nTexture = hit\nFrame = (Rect=0 0 4 2)\n"));
    EXPECT_EQ(a.HitTest(0, 0, 0), 0xFF110000u);
    EXPECT_EQ(a.HitTest(0, 0, 0x2), 0xFF440000u);
    EXPECT_EQ(a.HitTest(3, 0, 0x2), 0xFF110000u);
    EXPECT_EQ(a.HitTest(0, 0, 0x1), 0xFF000011u);
    EXPECT_EQ(a.HitTest(3, 1, 0x3), 0xFF110000u);
    EXPECT_EQ(a.HitTest(4, 0, 0x2), 0u);
    EXPECT_EQ(a.HitTest(-1, 0, 0), 0u);
    EXPECT_EQ(a.HitTest(0, 2, 0x1), 0u);
}

} // namespace
