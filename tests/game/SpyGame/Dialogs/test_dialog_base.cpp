#include "dialog_fixture.h"
#include "game/SpyGame/Dialogs/DialogBase.h"

using namespace dialogtest;

namespace {

const char* kScript = "window DialogYesNo\n{\nAreaRect 100 100 200 100\nstatictext text\n{\n}\n"
                      "widget Yes\n{\nAreaRect 0 50 90 40\n}\nwidget No\n{\nAreaRect 100 50 90 40\n}\n}\n";

// Yes gives 3 and No 4; a second binding of No (5) is refused.
class YesNo : public CDialogBase {
public:
    explicit YesNo(const char* window = "DialogYesNo") : m_name(window) {}
    void Init() override
    {
        if (GUI::Widget* w = m_state == 0 ? FindWindow(m_name) : nullptr) {
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
    loadGuiText(kScript);
    drawFrames = false;
    GUI::Widget* window = gui->GetRoot()->FindChild("DialogYesNo", true);
    {
        YesNo dialog;
        dialog.Show();
        dialog.Hide();
        EXPECT_EQ(dialog.GetState(), 0);
        EXPECT_TRUE(window->IsVisible(true));
        dialog.Init();  // hides the window the script showed
        EXPECT_EQ(dialog.GetState(), 1);
        EXPECT_FALSE(dialog.IsVisible() || dialog.secondBinding);
        dialog.Show();
        EXPECT_TRUE(dialog.GetState() == 2 && dialog.GetArea() == aRect(100, 100, 200, 100));
        click(250, 170);  // No holds 4 until the window is drawn
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
    // The window stays; the destroyed dialog's subscriptions are gone.
    click(250, 170);
    draw();

    YesNo lost("NoSuchWindow");
    lost.Init();
    lost.Show();
    lost.SetText(L"x");
    EXPECT_TRUE(lost.GetState() == 1 && !lost.IsVisible() && lost.GetArea() == aRect());
    const std::string log = takeLog();
    EXPECT_NE(log.find("Window 'NoSuchWindow' not found"), std::string::npos) << log;
    EXPECT_EQ(log.find("widget"), std::string::npos) << log;

    // A second GUI server: the old dialog's window is gone; a new dialog finds the new tree.
    YesNo old, fresh;
    old.Init();
    old.Show();
    loadGuiText(kScript);
    old.Hide();
    old.Show();
    EXPECT_TRUE(old.GetState() == 1 && !old.IsVisible());
    fresh.Init();
    fresh.Show();
    click(150, 170);
    EXPECT_EQ(fresh.GetState(), 3);
}
