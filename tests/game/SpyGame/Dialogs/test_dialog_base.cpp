#include "dialog_fixture.h"
#include "game/SpyGame/Dialogs/DialogBase.h"

using namespace dialogtest;

namespace {

const char* kScript = R"(
fontlist
{
    Small   fonts:DejaVuSans16.ini
}
window DialogYesNo
{
    AreaRect    100 100 200 100
    statictext text
    {
        AreaRect    0 0 200 40
        Font        Small
    }
    widget Yes
    {
        AreaRect    0 50 90 40
    }
    widget No
    {
        AreaRect    100 50 90 40
    }
}
)";

// A yes/no question: Yes gives 3 and No 4; a second binding of No is refused.
class YesNo : public CDialogBase {
public:
    explicit YesNo(const char* window = "DialogYesNo") : m_name(window) {}
    void Init() override
    {
        if (m_state != 0)
            return;
        if (GUI::Widget* w = FindWindow(m_name)) {
            w->notifyRender = true;
            BindResult(w, GUI::EventBeginRender, 2);
            BindResult(FindWidget("Yes"), GUI::EventClick, 3);
            BindResult(FindWidget("No"), GUI::EventClick, 4);
            secondBinding = BindResult(FindWidget("No"), GUI::EventClick, 5);
        }
        CDialogBase::Init();
    }
    bool secondBinding = true;

private:
    const char* m_name;
};

} // namespace

TEST_F(RecordingDialogBench, DialogBaseStatesResultsAndMissingWindows)
{
    useDemoData();
    loadGuiText(kScript);
    GUI::Widget* window = gui->GetRoot()->FindChild("DialogYesNo", true);
    {
        YesNo dialog;
        // Before Init nothing moves.
        dialog.Show();
        dialog.Hide();
        EXPECT_EQ(dialog.GetState(), 0);
        EXPECT_TRUE(window->IsVisible(true));
        // Init hides the window the script made visible.
        dialog.Init();
        EXPECT_EQ(dialog.GetState(), 1);
        EXPECT_FALSE(dialog.IsVisible());
        EXPECT_FALSE(dialog.secondBinding);
        dialog.Show();
        EXPECT_EQ(dialog.GetState(), 2);
        EXPECT_TRUE(dialog.GetArea() == aRect(100, 100, 200, 100));
        // No (4) holds until the next drawn frame; the first binding stays.
        drawFrames = false;
        click(250, 170);
        EXPECT_EQ(dialog.GetState(), 4);
        tick();
        EXPECT_EQ(dialog.GetState(), 4);
        draw();
        EXPECT_EQ(dialog.GetState(), 2);
        click(150, 170);
        EXPECT_EQ(dialog.GetState(), 3);
        dialog.Hide();
        EXPECT_EQ(dialog.GetState(), 1);
        dialog.SetText(L"Sure?");
        EXPECT_EQ(window->FindChild("text")->GetText(), L"Sure?");
        dialog.Show();
    }
    // The destroyed dialog's window stays and its clicks reach nothing.
    click(250, 170);
    click(150, 170);
    draw();

    // Without a window: one log line, state 1, and nothing needs it.
    takeLog();
    YesNo lost("NoSuchWindow");
    lost.Init();
    EXPECT_EQ(lost.GetState(), 1);
    lost.Show();
    EXPECT_EQ(lost.GetState(), 1);
    EXPECT_FALSE(lost.IsVisible());
    EXPECT_TRUE(lost.GetArea() == aRect());
    lost.SetText(L"x");
    const std::string log = takeLog();
    EXPECT_NE(log.find("Window 'NoSuchWindow' not found"), std::string::npos) << log;
    EXPECT_EQ(log.find("widget"), std::string::npos) << log;

    // A second GUI server: the old dialog's window is gone, a new one finds the new tree.
    YesNo old;
    old.Init();
    old.Show();
    loadGuiText(kScript);
    EXPECT_FALSE(old.IsVisible());
    old.Hide();
    old.Show();
    YesNo fresh;
    fresh.Init();
    fresh.Show();
    EXPECT_TRUE(fresh.IsVisible());
    EXPECT_EQ(fresh.GetWindow(), gui->GetRoot()->FindChild("DialogYesNo", true));
    click(150, 170);
    EXPECT_EQ(fresh.GetState(), 3);
    EXPECT_EQ(old.GetState(), 1);
}
