#include <cmath>
#include <cstring>
#include <limits>

#include "dialog_fixture.h"
#include "engine/gui/gui_static_image.h"
#include "game/SpyGame/Dialogs/DialogMessage.h"

using namespace dialogtest;

namespace {

// The demo's message: designed at (232, 650), 740 x 112, alpha 1.
constexpr int kX = 232, kY = 650;

template <class Bench>
class MessageBench : public Bench {
protected:
    void SetUp() override
    {
        Bench::SetUp();
        this->loadDemoResources();
        this->res->GetLocaleServer()->loadFile("language:_Investigations/1chapter/investigation.txt", "1chapter");
        this->loadGui();
        message = std::make_unique<CDialogMessage>();
        message->Init();
        this->onFrame = [this](float dt) { message->Update(dt); };
        this->drawFrames = false;
    }
    void TearDown() override
    {
        message.reset();
        Bench::TearDown();
    }
    GUI::Widget* window() const { return message->GetWindow(); }
    int y() const { return window()->GetAreaRect().y; }
    std::wstring text() const { return message->GetTextWidget()->GetText(); }

    std::unique_ptr<CDialogMessage> message;
};

using MessageTest = MessageBench<RecordingDialogBench>;
using MessageGlTest = MessageBench<GlDialogBench>;

// Shown, 12.5 s left, fade 1 at rest, Cyrillic text of "card_found", Quennick's
// face, the text widget at (112, 12).
Bytes golden(std::uint32_t state = 2, float fade = 1.0f, std::uint32_t phase = 0)
{
    Bytes r;
    const float timeOut = 12.5f;
    const std::int32_t x = 112, y = 12;
    put(r, &state, 4);
    put(r, &timeOut, 4);
    r.push_back(1);
    put(r, &fade, 4);
    put(r, &phase, 4);
    for (char16_t c : u"Первая карточка")
        put(r, &c, 2);
    put(r, "card_found\0Quennick\0", 20);
    put(r, &x, 4);
    put(r, &y, 4);
    return r;
}

} // namespace

TEST_F(MessageTest, SlidesTimesOutAndKeepsOneMessage)
{
    EXPECT_EQ(takeLog().find("not found"), std::string::npos);
    EXPECT_TRUE(message->GetState() == 1 && !message->IsVisible());
    message->ShowMessageTimed("card_found", "1chapter", 30.0f);
    EXPECT_TRUE(text() == L"Case card one: the professor's case, written up. It is on the case-cards board now." && y() == 768);
    tick(11);  // half way: y = 768 - 118 x 33/64, alpha the fade
    EXPECT_EQ(y(), int(768.0f - 118.0f * 33.0f / 64.0f));
    EXPECT_FLOAT_EQ(window()->alpha, 33.0f / 64.0f);
    tick(11);
    EXPECT_TRUE(y() == kY && window()->alpha == 1.0f && message->GetPhase() == 0);

    // The same id restarts only the time-out.
    tick(640);  // 10 s
    message->ShowMessageTimed("card_found", "1chapter", 30.0f);
    EXPECT_TRUE(y() == kY && message->GetTimeOut() == 30.0f);
    tick(64 * 30 - 1);
    EXPECT_EQ(message->GetPhase(), 0u);
    tick();  // 30 s after the last show the slide-out begins...
    EXPECT_EQ(message->GetPhase(), 2u);
    tick(20);
    EXPECT_TRUE(message->IsVisible());
    tick();  // ...and a third of a second later the message is gone
    EXPECT_TRUE(!message->IsVisible() && message->GetState() == 1 && !message->IsTimed());

    // Another id replaces the text and slides in from the bottom again.
    message->ShowMessage("card_found", "1chapter");
    tick(30);
    message->ShowMessage("no_such_id", "1chapter");
    EXPECT_TRUE(text() == L"String 'no_such_id' not found!" && y() == 768 && message->GetFade() == 0.0f);
    message->SetTextById("\xCF\xF0\xE8", "");  // Windows-1251
    EXPECT_EQ(text(), L"String '\u041F\u0440\u0438' not found!");
    tick(30);

    // Untimed messages stay.
    tick(64 * 40);
    EXPECT_TRUE(message->IsVisible() && y() == kY);

    // A click hides it at once, mid-slide too; it counts as visible until the slide ends.
    click(kX + 300, kY + 50);
    EXPECT_FALSE(message->IsVisible());
    message->ShowMessageTimed("card_found", "1chapter", 5.0f);
    tick(3);
    click(kX + 712, 755);  // Close, on the moving window
    EXPECT_TRUE(message->IsVisible() && !window()->IsVisible(true));
    tick(12);
    EXPECT_TRUE(message->IsVisible() && message->GetTimeOut() < 5.0f - 17 * kDt + 0.001f);
    tick(5);
    EXPECT_FALSE(message->IsVisible());

    // The face, or none.
    message->SetPersIcon("Quennick");
    auto* icon = dynamic_cast<GUI::StaticImage*>(window()->FindChild("PersIcon"));
    EXPECT_TRUE(icon->normalImage != nullptr && message->GetIconPersonage() == "Quennick");
    message->SetPersIcon("Nobody");
    EXPECT_TRUE(icon->normalImage == nullptr && message->GetIconPersonage() == "Nobody");
}

TEST_F(MessageTest, SameIdWhileSlidingOutTurnsBack)
{
    message->ShowMessageTimed("card_found", "1chapter", 1.0f);
    tick(64 + 5);
    ASSERT_EQ(message->GetPhase(), 2u);
    const float fade = message->GetFade();
    message->ShowMessageTimed("card_found", "1chapter", 30.0f);
    EXPECT_TRUE(message->GetPhase() == 1 && message->GetFade() == fade);
    tick(6);
    EXPECT_TRUE(message->IsVisible() && y() == kY && message->GetPhase() == 0 && message->IsTimed());

    // The window restores its designed place and alpha when the dialog goes.
    message->ShowMessage("other", "");
    tick(3);
    GUI::Widget* w = window();
    message.reset();
    EXPECT_TRUE(w->GetAreaRect().y == kY && w->alpha == 1.0f);
}

// Clicked away during its slide-in, the message still counts as visible
// until the slide ends; asked for again, it must come back on screen.
TEST_F(MessageTest, SameIdAfterAClickAwayMidSlideShowsAgain)
{
    for (const bool timed : {true, false}) {
        const auto ask = [&] {
            if (timed)
                message->ShowMessageTimed("card_found", "1chapter", 30.0f);
            else
                message->ShowMessage("card_found", "1chapter");
        };
        ask();
        tick(3);
        click(kX + 300, 760);
        ASSERT_TRUE(message->IsVisible() && !window()->IsVisible(true)) << timed;
        ask();
        EXPECT_TRUE(window()->IsVisible(true) && y() == 768 && message->GetFade() == 0.0f) << timed;
        tick(22);
        EXPECT_TRUE(message->IsVisible() && window()->IsVisible(true) && y() == kY) << timed;
        EXPECT_EQ(text(), L"Case card one: the professor's case, written up. It is on the case-cards board now.");
        click(kX + 300, kY + 50);
        tick(30);
        EXPECT_FALSE(message->IsVisible());
    }
}

TEST_F(MessageTest, RecordRoundTripAndDamage)
{
    // Left at the bottom, transparent, by an earlier slide-out.
    message->ShowMessageTimed("x", "", 0.5f);
    tick(60);
    ASSERT_TRUE(window()->alpha == 0.0f && y() == 768);

    const Bytes g = golden();
    ASSERT_TRUE(loadRecord(*message, g, g.size()));
    EXPECT_TRUE(text() == L"Первая карточка" && message->GetStringId() == "card_found");
    EXPECT_TRUE(message->IsVisible() && message->GetTimeOut() == 12.5f && message->IsTimed());
    EXPECT_TRUE(y() == kY && window()->alpha == 1.0f);  // seen where it stands
    EXPECT_TRUE(dynamic_cast<GUI::StaticImage*>(window()->FindChild("PersIcon"))->normalImage != nullptr);
    // The tables change; the stored text stays, byte for byte.
    res->GetLocaleServer()->unloadFile("language:_Investigations/1chapter/investigation.txt", "1chapter");
    EXPECT_EQ(savedRecord(*message), g);

    // Half way out: placed by the fade.
    const Bytes half = golden(2, 0.5f, 2);
    ASSERT_TRUE(loadRecord(*message, half, half.size()));
    EXPECT_TRUE(y() == 768 - 59 && window()->alpha == 0.5f);
    tick(11);
    EXPECT_FALSE(message->IsVisible());

    // Every truncation and a longer body change nothing.
    const std::string before = std::to_string(message->GetFade()) + std::to_string(message->GetPhase());
    for (std::size_t n = 0; n < g.size(); ++n) {
        EXPECT_FALSE(loadRecord(*message, g, n)) << n;
        ASSERT_TRUE(!message->IsVisible() && text() == L"Первая карточка") << n;
    }
    Bytes longer = g;
    longer.push_back(0);
    loadRecord(*message, longer, longer.size());
    EXPECT_EQ(std::to_string(message->GetFade()) + std::to_string(message->GetPhase()), before);

    // A phase, a fade or an icon the dialog never saves: refused, nothing
    // changed.
    Bytes noIcon = golden(2, 0.5f, 1);
    std::replace(noIcon.begin(), noIcon.end(), std::uint8_t('Q'), std::uint8_t('X'));
    for (const Bytes& bad : {golden(1, 0.5f, 7), golden(2, std::nanf(""), 1), golden(2, 4.0f, 1), noIcon}) {
        EXPECT_FALSE(loadRecord(*message, bad, bad.size()));
        EXPECT_EQ(std::to_string(message->GetFade()) + std::to_string(message->GetPhase()), before);
    }
    const std::string log = takeLog();
    for (const char* line : {"bytes after the record", "The fade phase is out of range", "The fade is out of range",
                             "The icon is out of range"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

TEST_F(MessageGlTest, DrawnAtItsDesignedPlace)
{
    draw();
    const auto plain = backBuffer();
    message->ShowMessage("card_found", "1chapter");
    message->SetPersIcon("Quennick");
    tick(30);
    draw();
    const auto shown = backBuffer();
    // The strip's paper at its middle, its frame on the designed edges, nothing above.
    const auto paper = [&](int x, int y) {
        const std::uint32_t p = shown[std::size_t(y) * 1024 + std::size_t(x)];
        return (p >> 16 & 0xFF) > 190 && (p >> 8 & 0xFF) > 170 && (p & 0xFF) > 130;
    };
    EXPECT_TRUE(paper(kX + 700, kY + 90) && paper(kX + 400, kY + 100));
    for (int x : {kX - 2, kX + 370, kX + 742})
        EXPECT_EQ(shown[std::size_t(kY - 3) * 1024 + std::size_t(x)], plain[std::size_t(kY - 3) * 1024 + std::size_t(x)]);
    EXPECT_NE(shown[std::size_t(kY + 3) * 1024 + std::size_t(kX + 370)],
              plain[std::size_t(kY + 3) * 1024 + std::size_t(kX + 370)]);
    // The face: the hat's dark band.
    const std::uint32_t hat = shown[std::size_t(kY + 16 + 22) * 1024 + std::size_t(kX + 16 + 40)];
    EXPECT_LT(hat >> 16 & 0xFF, 80u);
}
