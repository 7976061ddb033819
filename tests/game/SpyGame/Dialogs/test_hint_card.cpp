#include <cmath>

#include "engine/gui/gui_static_image.h"
#include "game/SpyGame/Dialogs/DialogHint.h"
#include "game/SpyGame/Dialogs/DialogInvCard.h"
#include "overlay_fixture.h"

using namespace dialogtest;

namespace {

constexpr float kPi = 3.14159265358979f;

class HintTest : public OverlayBench<RecordingDialogBench> {
protected:
    void SetUp() override
    {
        OverlayBench::SetUp();
        hint = std::make_unique<CDialogHint>();
        hint->Init();
        onFrame = [this](float dt) { hint->Update(dt); };
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

    std::unique_ptr<CDialogHint> hint;
};

class CardTest : public OverlayBench<RecordingDialogBench> {
protected:
    void SetUp() override
    {
        OverlayBench::SetUp();
        card.Init();
        onFrame = [this](float dt) { card.Update(dt); };
        drawFrames = false;
    }
    // The sprite draws of one drawn frame with the texture of image.
    std::vector<const platform::RecordedCall*> drawsOf(const aImage* image)
    {
        rec->clear();
        draw();
        std::vector<const platform::RecordedCall*> out;
        for (const platform::RecordedCall* c : rec->named("Sprite.Draw"))
            if (image && c->object == image->getTexture())
                out.push_back(c);
        return out;
    }
    // The colour of the screen-wide darkening drawn this frame, -1 when none.
    std::int64_t darkening() const
    {
        for (const platform::RecordedCall* c : rec->named("Sprite.Draw"))
            if (c->floats[0] == 1024.0f && c->floats[1] == 768.0f)
                return c->args[4];
        return -1;
    }
    GUI::Widget* child(const char* name) const { return card.GetWindow()->FindChild(name); }

    CDialogInvCard card;
};

} // namespace

TEST_F(HintTest, RestShowFadeAndHide)
{
    ASSERT_EQ(hint->GetState(), CDialogBase::kStateHidden);
    EXPECT_TRUE(hint->GetDesignedWidth() == 160 && hint->GetDesignedHeight() == 40);
    rest(500, 400, 0.25f);
    EXPECT_FALSE(hint->CanShowHint(500, 400));
    tick(16);
    ASSERT_TRUE(hint->CanShowHint(500, 400));

    aSound* pop = res->GetSoundManager()->GetSound("show_hint", "");
    hint->ShowHint(500, 400, 100, "no_such_key", "");
    EXPECT_TRUE(hint->IsVisible() && pop->IsPlaying());
    EXPECT_EQ(text()->GetText(), L"String 'no_such_key' not found!");
    EXPECT_EQ(hint->GetWindow()->alpha, 0.0f);
    // A width under the designed one gives the designed one; the balloon
    // stands centred 2 pixels above the point.
    const aRect a = area();
    EXPECT_EQ(a.width, 160);
    EXPECT_TRUE(a.x == 420 && a.y + a.height == 398) << a.x << " " << a.y << " " << a.height;
    EXPECT_EQ(a.height, text()->GetAreaRect().height + 20);
    EXPECT_FALSE(hint->CanShowHint(600, 400));  // while visible

    tick(6);  // 5/s: 6 frames of 1/64 s
    EXPECT_FLOAT_EQ(hint->GetFade(), 6.0f * 5.0f / 64.0f);
    tick(10);
    EXPECT_EQ(hint->GetWindow()->alpha, 1.0f);

    // One pixel of movement hides it; a new rest allows a new point only.
    rest(501, 400, 1.0f / 64.0f);
    EXPECT_FALSE(hint->IsVisible());
    rest(500, 400, 0.5f);
    EXPECT_FALSE(hint->CanShowHint(500, 400));
    EXPECT_TRUE(hint->CanShowHint(510, 400));

    // Left alone, the balloon goes after 20 s.
    hint->ShowHint(510, 400, 100, "no_such_key", "");
    tick(20 * 64 - 1);
    EXPECT_TRUE(hint->IsVisible());
    tick();
    EXPECT_FALSE(hint->IsVisible());
    EXPECT_EQ(hint->GetRestTime(), 0.0f);
}

TEST_F(HintTest, PlacementInsideTheScreenAndTheTextsWidth)
{
    // Wider than designed: the text gets the width less both margins and a
    // localised text when the key exists.
    hint->ShowHint(5, 10, 400, "window_title", "");
    EXPECT_EQ(text()->GetText(), res->GetLocalizedString("window_title"));
    EXPECT_EQ(text()->GetAreaRect().width, 380);
    aRect a = area();
    EXPECT_TRUE(a.width == 400 && a.x == 0 && a.y == 10 + 24) << a.x << " " << a.y;  // below the pointer at the top

    hint->ShowHint(1010, 300, 300, "no_such_key", "");
    a = area();
    EXPECT_TRUE(a.width == 300 && a.x == 1024 - 300) << a.x;
    // Too tall for above the pointer, and below it over the bottom edge:
    // pulled up to end at the edge.
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
    EXPECT_EQ(menuHint->GetDesignedWidth(), 160);
    menuHint->ShowHint(300, 300, 600, "no_such_key", "");
    EXPECT_TRUE(hint->IsVisible() && area().width == 600);
    menuHint.reset();
    EXPECT_TRUE(area().width == 160 && area().height == 40);
    hint->ShowHint(300, 300, 100, "no_such_key", "");
    EXPECT_TRUE(hint->IsVisible());

    // Without the window nothing shows and nothing breaks.
    loadGuiText("window Other\n{\n}\n");
    CDialogHint lost;
    lost.Init();
    EXPECT_NE(takeLog().find("Window 'Hint' not found"), std::string::npos);
    lost.ShowHint(10, 10, 100, "no_such_key", "");
    lost.Update(1.0f);
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
        EXPECT_EQ(d.back, c.back);
        EXPECT_EQ(d.centreX, 512.0f);
        EXPECT_NEAR(d.centreY, c.y, 1e-3f);
        EXPECT_NEAR(d.scaleX, c.sx, 1e-5f);
        EXPECT_NEAR(d.scaleY, c.sy, 1e-6f);
        EXPECT_NEAR(d.angle, c.angle, 1e-6f);
        EXPECT_EQ(CDialogInvCard::CalcDarkening(c.p), std::uint8_t(c.p * 0.8f * 255.0f + 0.5f));
    }
    EXPECT_EQ(CDialogInvCard::CalcDarkening(-1.0f), 0);
    EXPECT_EQ(CDialogInvCard::CalcDarkening(2.0f), 255);

    // Drawn: the back at p = 0.25 (its top-left so that the centre stays),
    // the face at p = 1, over the darkening.
    const aImage* back = res->GetImageManager()->GetImage("back_card", "");
    ASSERT_NE(back, nullptr);
    std::shared_ptr<aImage> face = solidCard(0xFFC03020);
    card.SetCard(face);
    card.Show();
    card.Update(0.25f);
    auto draws = drawsOf(back);
    ASSERT_EQ(draws.size(), 1u);
    const std::vector<float>& f = draws[0]->floats;  // scale x, y, centre x, y, angle, translation x, y
    EXPECT_NEAR(f[0], 0.125f, 1e-5f);
    EXPECT_NEAR(f[4], -0.75f * kPi / 2.0f, 1e-5f);
    EXPECT_NEAR(f[5], 512.0f - float(back->getWidth()) * 0.5f * 0.125f, 1e-3f);
    EXPECT_NEAR(f[6], 768.0f - 384.0f * s8 - float(back->getHeight()) * 0.5f * 0.25f, 1e-3f);
    EXPECT_EQ(darkening(), std::int64_t(std::uint8_t(0.2f * 255.0f + 0.5f)) << 24);
    EXPECT_TRUE(drawsOf(face.get()).empty());
    card.Update(0.75f);
    draws = drawsOf(face.get());
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_TRUE(std::fabs(draws[0]->floats[5] - 302.0f) < 1e-3f && draws[0]->floats[6] == 244.0f);
    EXPECT_EQ(darkening(), 0xCC000000);
}

TEST_F(CardTest, FlightContinueHideAndMissingImages)
{
    card.SetCard(solidCard(0xFF2040C0));
    card.Show();
    EXPECT_FALSE(child("Continue")->IsVisible(true));
    tick(63);
    EXPECT_FALSE(child("Continue")->IsVisible(true));
    tick();
    EXPECT_EQ(card.GetProgress(), 1.0f);
    EXPECT_TRUE(child("Continue")->IsVisible(true));
    draw();
    EXPECT_EQ(card.GetState(), CDialogBase::kStateShown);
    const aRect r = child("Continue")->GetAbsoluteRect();
    click(r.x + r.width / 2, r.y + r.height / 2);
    EXPECT_EQ(card.GetState(), CDialogInvCard::ResultContinue);
    draw();
    EXPECT_EQ(card.GetState(), CDialogBase::kStateShown);

    // Hide empties the card area; a hidden card does not fly on.
    auto* area = dynamic_cast<GUI::StaticImage*>(child("InvCardArea"));
    ASSERT_NE(area, nullptr);
    area->SetImage(card.GetCard().get(), nullptr);
    card.Hide();
    EXPECT_TRUE(card.GetState() == CDialogBase::kStateHidden && !area->normalImage);
    card.Show();
    card.Update(0.5f);
    card.Hide();
    card.Update(0.5f);
    EXPECT_EQ(card.GetProgress(), 0.5f);

    // No card set: the face is left out, the darkening stays.
    card.Show();
    card.Update(1.0f);
    rec->clear();
    draw();
    const std::size_t withCard = rec->named("Sprite.Draw").size();
    card.SetCard(nullptr);
    rec->clear();
    draw();
    EXPECT_EQ(rec->named("Sprite.Draw").size(), withCard - 1);
    EXPECT_EQ(darkening(), 0xCC000000);
}
