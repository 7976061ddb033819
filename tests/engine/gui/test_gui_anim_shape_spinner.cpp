// Static animations, shapes and spinners on the recording device.
#include "engine/gui/gui_shape.h"
#include "engine/gui/gui_spinner.h"
#include "engine/gui/gui_static_anim.h"
#include "engine/util/a_random.h"
#include "widgets2_fixture.h"

using namespace GUI;
using namespace platform;

namespace {

class SmallWidgetsTest : public guitest::Widgets2Bench {
protected:
    // Eight 10 x 10 frames in a row.
    void SetUp() override
    {
        Widgets2Bench::SetUp();
        addImage("strip", 80, 10, imgtest::solid(80, 10, 0xFFFFFFFF));
        addImage("other", 20, 10, imgtest::solid(20, 10, 0xFFFFFFFF));
    }
    StaticAnim* anim(const std::string& name, const std::string& props)
    {
        return make<StaticAnim>("staticanim " + name + "\n{\n AreaRect 0 0 20 20\n NormalImage strip\n"
                                " FrameSize 10 10\n NumFrames 4\n FPS 16\n" + props + "\n}\n", name);
    }
    template <class T>
    T* make(const std::string& text, const std::string& name)
    {
        script(text);
        return find<T>(name);
    }
    // Frames shown over n steps of a quarter frame time each.
    std::string frames(StaticAnim* a, int n)
    {
        std::string out;
        for (int i = 0; i < n; ++i) {
            step(4);
            out += char('0' + a->normalAnim.getFrame());
        }
        return out;
    }
    // Each recorded primitive as "x,y,w,h" of its first and fourth vertex.
    std::vector<std::string> rects()
    {
        std::vector<std::string> out;
        for (const platform::RecordedCall* c : rec->named("DrawPrimitiveUP")) {
            const TLVertex &a = c->vertices[0], &b = c->vertices[3];
            char s[80];
            std::snprintf(s, sizeof s, "%g,%g,%g,%g", a.x, a.y, b.x - a.x, b.y - a.y);
            out.push_back(s);
        }
        return out;
    }
};

} // namespace

TEST_F(SmallWidgetsTest, AnimationRatesModesAndStartFrames)
{
    EXPECT_EQ(anim("Plain", "FPS 40")->normalAnim.getFrameTime(), 0.025f);
    EXPECT_EQ(anim("Slow", "FPS 10")->normalAnim.getFrameTime(), 0.1f);

    // Random start frames differ; StartFrame puts copies in step.
    a_srand(7);
    const int f1 = anim("R1", "NumFrames 8")->normalAnim.getFrame();
    const int f2 = anim("R2", "NumFrames 8")->normalAnim.getFrame();
    EXPECT_NE(f1, f2);
    EXPECT_EQ(anim("S1", "StartFrame 0")->normalAnim.getFrame(), 0);

    EXPECT_EQ(frames(anim("Loop", "StartFrame 0\nAnimType"), 6), "123012");
    EXPECT_EQ(frames(anim("Once", "StartFrame 0\nAnimType NOLOOP"), 6), "123333");
    EXPECT_EQ(frames(anim("Back", "StartFrame 3\nAnimType noloop back"), 5), "21000");
    EXPECT_EQ(frames(anim("Bounce", "StartFrame 0\nAnimType pingpong"), 8), "12332100");
    // Paused it stays; hidden it plays on.
    StaticAnim* a = anim("Pause", "StartFrame 0");
    a->paused = true;
    EXPECT_EQ(frames(a, 2), "00");
    a->paused = false;
    a->SetVisible(false);
    EXPECT_EQ(frames(a, 2), "12");
}

TEST_F(SmallWidgetsTest, AnimationDrawingSizeTintAlphaAndDisabledFrames)
{
    StaticAnim* a = anim("Tint", "AreaRect 4 6 0 0\nColor 00102030\nAlpha 0.5\nStartFrame 1\n"
                                 "DisabledImage other\nDisabledRect 10 0 0 0\nRotAngle 90\nRotCenter 5 5");
    EXPECT_EQ(a->area, aRect(4, 6, 10, 10));
    // Draws, the first one's source x and colour.
    const auto drawn = [&] {
        rec->clear();
        a->Render();
        const auto d = spriteDraws();
        char text[48];
        std::snprintf(text, sizeof text, "%zu %lld %08X", d.size(), d.empty() ? -1LL : (long long)d[0].left,
                      d.empty() ? 0u : d[0].color);
        return std::string(text);
    };
    EXPECT_EQ(drawn(), "1 10 80102030");
    EXPECT_NEAR(spriteDraws()[0].angle, 3.1415927f / 2, 1e-6);
    EXPECT_EQ(spriteDraws()[0].pivotX(), 9.0f);
    // Disabled: the disabled frames in white; without them the normal ones.
    a->SetEnabled(false);
    EXPECT_EQ(drawn(), "1 10 80FFFFFF");
    a->disabledAnim.clearFrames();
    EXPECT_EQ(drawn(), "1 10 80102030");

    // Rates, counts and sizes that make no animation: logged, defaults kept.
    newLog();
    EXPECT_EQ(anim("Bad1", "FPS 0\nNumFrames 0")->normalAnim.getFrameTime(), 0.025f);
    EXPECT_EQ(anim("Bad2", "FrameSize 0 10")->normalAnim.getFrameCount(), 0);
    EXPECT_EQ(anim("Bad3", "NormalRect 75 0 0 0")->normalAnim.getFrameCount(), 0);
    EXPECT_EQ(anim("Fit", "NormalRect 70 0 0 0")->normalAnim.getFrameCount(), 4);
    EXPECT_EQ(anim("Lost", "NormalImage nothing")->normalAnim.getFrameCount(), 0);
    const std::string log = newLog();
    for (const char* text : {"FPS \"0\" is not above 0", "NumFrames 0 is below 1", "FrameSize \"0 10\"",
                             "is narrower than a frame", "image \"nothing\" not found"})
        EXPECT_NE(log.find(text), std::string::npos) << text;
}

TEST_F(SmallWidgetsTest, ShapeFillInsideBorderInsideWidget)
{
    Shape* s = make<Shape>("shape Box\n{\n AreaRect 10 20 100 50\n PenWidth 2\n FillColor FF00FF00\n"
                           " PenColor FFFF0000\n Alpha 0.3\n}\n",
                           "Box");
    rec->clear();
    s->Render();
    EXPECT_EQ(rects(), (std::vector<std::string>{"12,22,96,46", "10,20,2,50", "10,20,100,2", "108,20,2,50",
                                                 "10,68,100,2"}));
    const auto draws = rec->named("DrawPrimitiveUP");
    EXPECT_EQ(draws[0]->vertices[0].diffuse, 0xFF00FF00u);  // no widget alpha
    EXPECT_EQ(draws[1]->vertices[0].diffuse, 0xFFFF0000u);

    // An invisible fill is not drawn; an invisible pen still is.
    s->SetFillColor(0x0000FF00);
    s->SetPenColor(0x00FF0000);
    s->penWidth = 60;
    rec->clear();
    s->Render();
    EXPECT_EQ(rects().size(), 4u);
    EXPECT_EQ(rects()[0], "10,20,60,50");

    s = make<Shape>("shape Oval\n{\n AreaRect 0 0 40 20\n ShapeStyle ElLiPsE\n PenWidth 3\n}\n", "Oval");
    rec->clear();
    s->Render();
    const auto ellipse = rec->named("DrawPrimitiveUP");
    ASSERT_EQ(ellipse.size(), 2u);
    EXPECT_FLOAT_EQ(ellipse[0]->vertices[1].x, 20 + 17);  // fill radius w/2 - p
    EXPECT_FLOAT_EQ(ellipse[1]->vertices[0].x, 20 + 20);  // ring: outer, then inner radius
    EXPECT_FLOAT_EQ(ellipse[1]->vertices[1].x, 20 + 17);
    EXPECT_EQ(make<Shape>("shape Sq\n{\n ShapeStyle circle\n}\n", "Sq")->shapeStyle, Shape::RECTANGLE);
}

TEST_F(SmallWidgetsTest, SpinnerStepsClampsAndWritesItsValue)
{
    Spinner* s = make<Spinner>("spinner Spin\n{\n AreaRect 0 0 60 20\n Value 99\n Maximum 100\n"
                               " editbox _auto_editbox\n {\n  AreaRect 0 0 40 20\n  Font f\n }\n"
                               " widget _auto_incbtn\n {\n  AreaRect 40 0 20 10\n }\n"
                               " widget _auto_decbtn\n {\n  AreaRect 40 10 20 10\n }\n}\n",
                               "Spin");
    Editbox* box = s->editbox;
    guitest::Counter changed;
    s->SubscribeEvent(Spinner::EventValueChanged, &changed);
    EXPECT_EQ(box->GetText(), L"99");
    const auto press = [this](int y, int frames) {
        moveTo(45, y);
        step();
        buttons(1);
        step(frames);
        buttons(0);
        step();
    };
    press(5, 1);
    EXPECT_EQ(box->GetText(), L"100");
    press(5, 1);
    EXPECT_EQ(box->GetText(), L"100");
    EXPECT_EQ(changed.take(), 2);

    // A typed number counts; stepping back onto the stored value shows it.
    box->SetText(L"4");
    s->value = 5;
    press(5, 1);
    EXPECT_EQ(box->GetText(), L"5");
    box->SetText(L"abc");
    press(15, 1);
    EXPECT_EQ(box->GetText(), L"0");
    // Held for a second: the first press, then one step per 0.05 s after 0.3 s.
    press(5, 64);
    EXPECT_NEAR(s->value, 15.0f, 1.0f);

    s->SetValue(2.7f);
    EXPECT_EQ(box->GetText(), L"2");
    s->SetMaximum(1e30f);
    s->SetInputMode(Spinner::MODE_HEX);
    s->SetValue(255);
    EXPECT_EQ(box->GetText(), L"FF");
    s->SetMinimum(-1e20f);
    s->SetValue(-1);
    EXPECT_EQ(box->GetText(), L"FFFFFFFF");
    s->SetInputMode(Spinner::MODE_REAL);
    s->SetValue(2.5f);
    EXPECT_EQ(box->GetText(), L"2.5");
    s->SetInputMode(Spinner::MODE_DECIMAL);
    s->SetValue(1e20f);
    EXPECT_EQ(box->GetText(), L"2147483647");

    // Script properties: swapped limits, a bad mode, missing children.
    newLog();
    s = make<Spinner>("spinner Bare\n{\n Minimum 10\n Maximum 5\n InputMode 7\n Step 2.5\n}\n", "Bare");
    EXPECT_EQ(s->minimum, 5.0f);
    EXPECT_EQ(s->maximum, 10.0f);
    EXPECT_EQ(s->inputMode, 0);
    EXPECT_EQ(s->step, 2.5f);
    const std::string log = newLog();
    for (const char* text : {"Minimum 10 is above Maximum 5; swapped", "InputMode 7 is not 0, 1 or 2",
                             "Editbox for spinner 'Bare' not found", "Increment button for spinner 'Bare' not found",
                             "Decrement button for spinner 'Bare' not found"})
        EXPECT_NE(log.find(text), std::string::npos) << text;
    s->SetValue(3);
    EXPECT_EQ(s->value, 0.0f);
}
