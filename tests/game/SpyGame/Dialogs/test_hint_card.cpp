#include <cmath>

#include "engine/gui/gui_static_image.h"
#include "game/SpyGame/Dialogs/DialogHint.h"
#include "game/SpyGame/Dialogs/DialogInvCard.h"
#include "overlay_fixture.h"

using namespace dialogtest;

namespace {

constexpr float kPi = 3.14159265358979f;

// Both dialogs initialised and updated every frame.
class OverlayDialogTest : public OverlayBench<RecordingDialogBench> {
protected:
    void SetUp() override
    {
        OverlayBench::SetUp();
        hint = std::make_unique<CDialogHint>();
        hint->Init();
        card.Init();
        onFrame = [this](float dt) {
            hint->Update(dt);
            card.Update(dt);
        };
        drawFrames = false;
    }
    void TearDown() override
    {
        hint.reset();
        OverlayBench::TearDown();
    }
    // The mouse goes to (x, y) in one frame, then rests there for the seconds.
    void rest(int x, int y, float seconds)
    {
        moveTo(x, y);
        tick(1 + int(std::lround(seconds / kDt)));
    }
    aRect area() const { return hint->GetWindow()->GetAreaRect(); }
    GUI::Widget* text() const { return hint->GetWindow()->FindChild("text"); }
    GUI::Widget* child(const char* name) const { return card.GetWindow()->FindChild(name); }
    // One frame's sprite draws of image, and the darkening's colour.
    std::vector<const platform::RecordedCall*> drawsOf(const aImage* image, std::int64_t* dark = nullptr)
    {
        rec->clear();
        draw();
        std::vector<const platform::RecordedCall*> out;
        for (const platform::RecordedCall* c : rec->named("Sprite.Draw")) {
            if (c->floats[0] == 1024.0f && dark)
                *dark = c->args[4];
            if (image && c->object == image->getTexture())
                out.push_back(c);
        }
        return out;
    }

    std::unique_ptr<CDialogHint> hint;
    CDialogInvCard card;
};

using HintTest = OverlayDialogTest;
using CardTest = OverlayDialogTest;

} // namespace

TEST_F(HintTest, RestShowFadeAndHide)
{
    rest(500, 400, 0.25f);
    EXPECT_FALSE(hint->CanShowHint(500, 400));
    tick(16);
    ASSERT_TRUE(hint->CanShowHint(500, 400));
    hint->ShowHint(500, 400, 100, "no_such_key", "");
    EXPECT_TRUE(hint->IsVisible() && res->GetSoundManager()->GetSound("show_hint", "")->IsPlaying());
    EXPECT_EQ(text()->GetText(), L"String 'no_such_key' not found!");
    // The designed width for a smaller one; centred 2 pixels above the point.
    const aRect a = area();
    EXPECT_TRUE(a.width == 160 && a.x == 420 && a.y + a.height == 398 &&
                a.height == text()->GetAreaRect().height + 20);
    EXPECT_FALSE(hint->CanShowHint(600, 400));

    tick(3);
    EXPECT_EQ(hint->GetWindow()->alpha, 15.0f / 64.0f);  // 5 per second
    tick(10);
    EXPECT_EQ(hint->GetWindow()->alpha, 1.0f);

    // One pixel of movement hides it; after a new rest only a new point may show.
    rest(501, 400, 0.0f);
    EXPECT_FALSE(hint->IsVisible());
    rest(500, 400, 0.5f);
    EXPECT_TRUE(!hint->CanShowHint(500, 400) && hint->CanShowHint(510, 400));

    hint->ShowHint(510, 400, 100, "no_such_key", "");
    tick(20 * 64 - 1);
    EXPECT_TRUE(hint->IsVisible());
    tick();
    EXPECT_TRUE(!hint->IsVisible() && hint->GetRestTime() == 0.0f);
}

TEST_F(HintTest, PlacementKeepsTheBalloonOnTheScreen)
{
    // Wider than designed, with a localised text; below the point at the top,
    // from x 0 at the left.
    hint->ShowHint(5, 10, 400, "window_title", "");
    EXPECT_EQ(text()->GetText(), res->GetLocalizedString("window_title"));
    aRect a = area();
    EXPECT_TRUE(text()->GetAreaRect().width == 380 && a.width == 400 && a.x == 0 && a.y == 34) << a.x << " " << a.y;
    hint->ShowHint(1010, 300, 300, "no_such_key", "");
    EXPECT_EQ(area().x, 1024 - 300);
    // Too tall above the point and below it: it ends at the bottom edge.
    std::string words;
    for (int i = 0; i < 200; ++i)
        words += "word ";
    hint->ShowHint(512, 300, 100, words, "");
    a = area();
    EXPECT_TRUE(a.height > 400 && a.y == 768 - a.height) << a.height << " " << a.y;
}

TEST_F(HintTest, TwoHintsShareTheWindowAndGiveItsSizeBack)
{
    auto menuHint = std::make_unique<CDialogHint>();
    menuHint->Init();
    menuHint->ShowHint(300, 300, 600, "no_such_key", "");
    EXPECT_TRUE(hint->IsVisible() && area().width == 600);
    menuHint.reset();
    EXPECT_TRUE(area().width == 160 && area().height == 40);

    loadGuiText("window Other\n{\n}\n");
    CDialogHint lost;
    lost.Init();
    EXPECT_NE(takeLog().find("Window 'Hint' not found"), std::string::npos);
    lost.ShowHint(10, 10, 100, "no_such_key", "");
    EXPECT_FALSE(lost.IsVisible());
}

TEST_F(CardTest, DrawArgumentsAlongTheFlight)
{
    struct Case {
        float p;
        bool back;
        float y, sx, sy, angle;
    };
    const float s8 = std::sin(kPi / 8.0f), s4 = std::sin(kPi / 4.0f);
    for (const Case c : {Case{0.0f, true, 768.0f, 0.0f, 0.0f, -kPi / 2.0f},
                         Case{0.25f, true, 768.0f - 384.0f * s8, 0.125f, 0.25f, -0.75f * kPi / 2.0f},
                         Case{0.5f, false, 768.0f - 384.0f * s4, 0.0f, 0.5f, -kPi / 4.0f},
                         Case{1.0f, false, 384.0f, 1.0f, 1.0f, 0.0f}}) {
        SCOPED_TRACE(c.p);
        const CDialogInvCard::CardDraw d = CDialogInvCard::CalcCardDraw(c.p);
        EXPECT_TRUE(d.back == c.back && d.centreX == 512.0f);
        EXPECT_NEAR(d.centreY, c.y, 1e-3f);
        EXPECT_NEAR(d.scaleX, c.sx, 1e-5f);
        EXPECT_NEAR(d.scaleY, c.sy, 1e-6f);
        EXPECT_NEAR(d.angle, c.angle, 1e-6f);
    }

    // The back at p = 0.25, placed so that its centre stays, over the darkening.
    const aImage* back = res->GetImageManager()->GetImage("back_card", "");
    card.SetCard(solidCard(0xFFC03020));
    card.Show();
    card.Update(0.25f);
    std::int64_t dark = -1;
    const auto draws = drawsOf(back, &dark);
    ASSERT_EQ(draws.size(), 1u);
    const std::vector<float>& f = draws[0]->floats;  // scale x, y, centre x, y, angle, translation x, y
    EXPECT_TRUE(std::fabs(f[0] - 0.125f) < 1e-5f && f[1] == 0.25f) << f[0] << " " << f[1];
    EXPECT_NEAR(f[5], 512.0f - 210.0f * 0.125f, 1e-3f);
    EXPECT_NEAR(f[6], 768.0f - 384.0f * s8 - 140.0f * 0.25f, 1e-3f);
    EXPECT_EQ(dark, 0x33000000);  // 0.2 of 255, rounded
    EXPECT_TRUE(drawsOf(card.GetCard().get()).empty());
}

TEST_F(CardTest, FlightContinueHideAndMissingImages)
{
    card.SetCard(solidCard(0xFF2040C0));
    card.Show();
    tick(63);
    EXPECT_FALSE(child("Continue")->IsVisible(true));
    tick();
    EXPECT_TRUE(card.GetProgress() == 1.0f && child("Continue")->IsVisible(true));
    const aRect r = child("Continue")->GetAbsoluteRect();
    click(r.x + r.width / 2, r.y + r.height / 2);
    EXPECT_EQ(card.GetState(), CDialogInvCard::ResultContinue);
    draw();
    EXPECT_EQ(card.GetState(), CDialogBase::kStateShown);

    // Without a card the face is left out and the darkening stays.
    std::int64_t dark = -1;
    drawsOf(nullptr);
    const std::size_t withCard = rec->named("Sprite.Draw").size();
    card.SetCard(nullptr);
    drawsOf(nullptr, &dark);
    EXPECT_EQ(rec->named("Sprite.Draw").size(), withCard - 1);
    EXPECT_EQ(dark, 0xCC000000);

    // Hide empties the card area, and a hidden card does not fly on.
    auto* area = dynamic_cast<GUI::StaticImage*>(child("InvCardArea"));
    ASSERT_NE(area, nullptr);
    area->SetImage(res->GetImageManager()->GetImage("back_card", ""), nullptr);
    card.Show();
    card.Update(0.5f);
    card.Hide();
    card.Update(0.5f);
    EXPECT_TRUE(!area->normalImage && card.GetState() == CDialogBase::kStateHidden && card.GetProgress() == 0.5f);
}
