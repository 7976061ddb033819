#include <functional>

#include "dialog_fixture.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "engine/gui/gui_static_text.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "game/SpyGame/Dialogs/DialogMHPhoto.h"
#include "game/SpyGame/Dialogs/DialogTextBox.h"
#include "game/SpyGame/Dialogs/InGameDialogs.h"

using namespace dialogtest;

namespace {

using Setter = std::function<void(CDialogBase&, const std::string&)>;

template <class D>
Setter byId()
{
    return [](CDialogBase& d, const std::string& key) { static_cast<D&>(d).SetTextById(key, "grp"); };
}

struct Row {
    std::function<std::unique_ptr<CDialogBase>()> make;
    const char* window;
    std::vector<std::pair<const char*, int>> buttons;
    Setter setText;          // null: none
    const char* textParent;  // where "text" lies, when not in the window itself
};

template <class D>
std::function<std::unique_ptr<CDialogBase>()> make()
{
    return [] { return std::make_unique<D>(); };
}

const Setter kBaseText = [](CDialogBase& d, const std::string& key) { d.SetText(DialogText(key, "grp")); };

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = {
        {make<CDialogConfirmSaveExit>(), "ConfirmSaveExit", {{"btn_yes", 3}, {"btn_no", 4}}, nullptr, nullptr},
        {make<CDialogEventForItem>(), "EventForItem", {{"Continue", 3}}, byId<CDialogEventForItem>(), nullptr},
        {make<CDialogHelpPers>(), "PersonagesHelp", {{"Continue", 3}}, nullptr, nullptr},
        {make<CDialogInGameMenu>(), "InGameMenu", {{"resume", 3}, {"options", 4}, {"exit", 5}, {"help", 6}}, nullptr,
         nullptr},
        {make<CDialogItemIdent>(), "ItemIdent", {{"Continue", 3}}, byId<CDialogItemIdent>(), "DialogWindow"},
        {make<CDialogLocFinish>(), "LocFinish", {{"Ok", 3}}, byId<CDialogLocFinish>(), nullptr},
        {make<CDialogMHFinish>(), "MHFinish", {{"Ok", 3}}, nullptr, nullptr},
        {make<CDialogMHInstraction>(), "MHInstruction", {{"image", 3}}, nullptr, nullptr},
        {make<CDialogMHPhoto>(), "PickMHPhoto", {{"Continue", 3}}, nullptr, nullptr},
        {make<CDialogMsgIntroText>(), "MesIntroText", {{"ok", 3}}, byId<CDialogMsgIntroText>(), nullptr},
        {make<CDialogMarivelComment>(), "MarivelComment", {{"Continue", 3}}, byId<CDialogMarivelComment>(), nullptr},
        {make<CDialogOutOfTime>(), "MessageOutOfTime", {{"Ok", 3}}, nullptr, nullptr},
        {make<CDialogPickEvidence>(), "PickEvidence", {{"Continue", 3}}, nullptr, nullptr},
        {make<CDialogPickItem>(), "PickItem", {{"Continue", 3}}, kBaseText, nullptr},
        {make<CDialogRandomClicking>(), "MessageRandomClicking", {{"Ok", 3}}, kBaseText, nullptr},
        {make<CDialogSearchFinish>(), "SearchFinish", {{"Ok", 3}}, kBaseText, nullptr},
        {make<CDialogSolveConfirm>(), "SolveConfirm", {{"Yes", 3}, {"No", 4}}, nullptr, nullptr},
        {make<CDialogTutorialModal>(), "TutorialModal", {{"Ok", 3}}, byId<CDialogTutorialModal>(), nullptr},
        {make<CDialogTutorialModalBig>(), "TutorialModalBig", {{"Ok", 3}}, byId<CDialogTutorialModalBig>(), nullptr},
        {make<CDialogYesNo>(), "DialogYesNo", {{"Yes", 3}, {"No", 4}}, byId<CDialogYesNo>(), nullptr},
    };
    return table;
}

class InGameDialogsTest : public RecordingDialogBench {
protected:
    void SetUp() override
    {
        RecordingDialogBench::SetUp();
        loadDemoResources();
        loadGui();
        drawFrames = false;
        takeLog();
    }
    GUI::Widget* find(const char* name) { return gui->GetRoot()->FindChild(name, true); }
    void clickWidget(GUI::Widget* w)
    {
        const aRect r = w->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2);
    }
    aImage* image(const char* name) { return res->GetImageManager()->GetImage(name); }
    // A long text: many lines at the demo font.
    static std::wstring longText(int words)
    {
        std::wstring t;
        for (int i = 0; i < words; ++i)
            t += L"magnifying ";
        return t;
    }
};

} // namespace

TEST_F(InGameDialogsTest, TwentyWindowsResultsAndFallbackTexts)
{
    ASSERT_EQ(rows().size(), 20u);
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.window);
        std::unique_ptr<CDialogBase> d = row.make();
        d->Show();
        EXPECT_EQ(d->GetState(), 0);
        takeLog();
        d->Init();
        EXPECT_EQ(takeLog(), "");
        GUI::Widget* window = d->GetWindow();
        ASSERT_TRUE(window && window->GetName() == row.window);
        EXPECT_TRUE(d->GetState() == 1 && !window->IsVisible(true) && window->notifyRender);
        for (const auto& [button, result] : row.buttons) {
            d->Show();
            draw();
            EXPECT_EQ(d->GetState(), 2);
            clickWidget(window->FindChild(button, true));
            EXPECT_EQ(d->GetState(), result) << button;
            draw();
            EXPECT_EQ(d->GetState(), 2);
            d->Hide();
        }
        if (row.setText) {
            row.setText(*d, "missing_key");
            GUI::Widget* parent = row.textParent ? window->FindChild(row.textParent, true) : window;
            EXPECT_EQ(parent->FindChild("text", true)->GetText(), L"String 'missing_key' not found!");
            EXPECT_FALSE(window->IsVisible(true));
        }
    }
}

TEST_F(InGameDialogsTest, TextBoxesGrowDownwardAndGoBack)
{
    GUI::Widget* window = find("TutorialModal");
    auto* picture = dynamic_cast<GUI::StaticImage*>(window);
    const aRect win = window->GetAreaRect(), ok = find("TutorialModal")->FindChild("Ok")->GetAreaRect();
    const aRect bottom = window->FindChild("bottom")->GetAreaRect(), text = window->FindChild("text")->GetAreaRect();
    {
        CDialogTutorialModal d;
        d.Init();
        d.ResizeToText(L"Short.");
        EXPECT_TRUE(window->GetAreaRect() == win && window->FindChild("Ok")->GetAreaRect() == ok);
        EXPECT_EQ(picture->normalRect, aRect(0, 0, 480, 200));

        d.ResizeToText(longText(60));
        auto* label = dynamic_cast<GUI::StaticText*>(window->FindChild("text"));
        const int h = window->FindChild("text")->GetAreaRect().height;
        const int grow = h - text.height;
        EXPECT_GT(grow, 40);
        EXPECT_EQ(h, int(label->GetTextHeight() + 0.5f));
        EXPECT_EQ(window->GetAreaRect(), aRect(win.x, win.y, win.width, std::uint16_t(win.height + grow)));
        EXPECT_EQ(window->FindChild("Ok")->GetAreaRect().y, ok.y + grow);
        EXPECT_EQ(window->FindChild("bottom")->GetAreaRect().y, bottom.y + grow);
        EXPECT_EQ(picture->normalRect, aRect(0, 0, 480, std::uint16_t(200 + grow)));

        d.SetTextById("missing", "");
        EXPECT_TRUE(window->GetAreaRect() == win && window->FindChild("bottom")->GetAreaRect() == bottom);
        EXPECT_TRUE(picture->normalRect == aRect(0, 0, 480, 200) && window->FindChild("text")->GetAreaRect() == text);
        d.ResizeToText(longText(60));
    }
    // The designed layout comes back with the dialog's end.
    EXPECT_TRUE(window->GetAreaRect() == win && picture->normalRect == aRect(0, 0, 480, 200));

    // The three boxes with text ids grow the same way.
    CDialogMsgIntroText intro;
    CDialogMarivelComment comment;
    CDialogTutorialModalBig big;
    for (CDialogTextBox* box : std::initializer_list<CDialogTextBox*>{&intro, &comment, &big}) {
        box->Init();
        const aRect designed = box->GetArea();
        box->ResizeToText(longText(120));
        EXPECT_TRUE(box->GetArea().height > designed.height && box->GetArea().y == designed.y);
    }
    EXPECT_EQ(takeLog().find("widget"), std::string::npos);
}

TEST_F(InGameDialogsTest, MurderHuntPhotoLayout)
{
    CDialogMHPhoto d;
    d.Init();
    GUI::Widget* window = d.GetWindow();
    GUI::Widget* box = window->FindChild("item_box");
    GUI::Widget* textWindow = window->FindChild("text_window");
    const aRect win = window->GetAreaRect(), dbox = box->GetAreaRect(), tw = textWindow->GetAreaRect();
    const int gap = tw.y - dbox.y - dbox.height;  // 16

    // A small photo and no text: the designed box, no text window, the gap
    // left out, still centred.
    auto face = std::make_shared<aImage>(*image("Quennick_icon"));
    d.SetPhoto(face, L"");
    EXPECT_TRUE(box->GetAreaRect() == dbox && !textWindow->IsVisible(true));
    EXPECT_EQ(window->GetAreaRect(), aRect(win.x, std::int16_t(win.y + gap / 2), win.width, std::uint16_t(win.height - gap)));
    EXPECT_NE(dynamic_cast<GUI::StaticImage*>(box)->normalImage, nullptr);

    // A wide photo with a text: the box, the window and the text widen alike.
    auto strip = std::make_shared<aImage>(*image("dlg_message"));  // 740 x 112
    d.SetPhoto(strip, L"A photo of the study.");
    const int wider = 740 - dbox.width;
    EXPECT_EQ(box->GetAreaRect(), aRect(dbox.x, dbox.y, 740, dbox.height));
    EXPECT_EQ(window->GetAreaRect().width, win.width + wider);
    EXPECT_EQ(window->GetAreaRect().x, win.x - wider / 2);
    EXPECT_TRUE(textWindow->IsVisible(true) && textWindow->GetAreaRect().width == tw.width + wider);
    EXPECT_EQ(textWindow->GetAreaRect().y, tw.y);

    // No image lays out for 0 x 0: the designed box.
    d.SetPhoto(nullptr, L"");
    EXPECT_EQ(box->GetAreaRect(), dbox);
    d.Show();
    d.Hide();
    EXPECT_EQ(dynamic_cast<GUI::StaticImage*>(box)->normalImage, nullptr);
}

TEST_F(InGameDialogsTest, PicturesPointsCentringAndSound)
{
    CDialogItemIdent ident;
    CDialogEventForItem event;
    CDialogPickItem pick;
    CDialogRandomClicking random;
    CDialogYesNo yesNo;
    CDialogOutOfTime outOfTime;
    for (CDialogBase* d : std::initializer_list<CDialogBase*>{&ident, &event, &pick, &random, &yesNo, &outOfTime})
        d->Init();
    auto face = std::make_shared<aImage>(*image("Marivel_icon"));
    ident.SetNpcImage(face);
    event.SetNpcImage(face);
    EXPECT_NE(dynamic_cast<GUI::StaticImage*>(find("ItemIdent")->FindChild("NPC"))->normalImage, nullptr);
    EXPECT_NE(dynamic_cast<GUI::StaticImage*>(find("EventForItem")->FindChild("NPC"))->normalImage, nullptr);
    event.SetNpcImage(nullptr);
    EXPECT_EQ(dynamic_cast<GUI::StaticImage*>(find("EventForItem")->FindChild("NPC"))->normalImage, nullptr);

    // ItemIdent at (301, 134), IdentItem at (220, 28); PickItem at (401, 194), ItemArea at (100, 24).
    EXPECT_TRUE(ident.GetIdentItemPos().x == 521 && ident.GetIdentItemPos().y == 162);
    EXPECT_EQ(ident.GetIdentItemRect(), aRect(521, 162, 200, 180));
    EXPECT_EQ(pick.GetItemArea(), aRect(501, 218, 200, 160));

    random.SetPhoto("Quennick_icon");
    EXPECT_NE(dynamic_cast<GUI::StaticImage*>(find("MessageRandomClicking")->FindChild("photo_box"))->normalImage,
              nullptr);

    // DialogYesNo is 400 x 200: centred on the screen, or in a rectangle,
    // half a pixel toward the top left.
    yesNo.CenterInRect();
    EXPECT_TRUE(yesNo.GetArea().x == 312 && yesNo.GetArea().y == 284);
    const aRect odd(10, 20, 401, 205);
    yesNo.CenterInRect(&odd);
    EXPECT_TRUE(yesNo.GetArea().x == 10 && yesNo.GetArea().y == 22);
    yesNo.ShowText("missing", "");
    EXPECT_TRUE(yesNo.IsVisible() && yesNo.GetState() == 2);

    aSound* failed = res->GetSoundManager()->GetSound("level_failed", "");
    ASSERT_NE(failed, nullptr);
    EXPECT_FALSE(failed->IsPlaying());
    outOfTime.Show();
    EXPECT_TRUE(failed->IsPlaying() && outOfTime.GetState() == 2);
}

TEST_F(InGameDialogsTest, MissingWindowsAndChildrenDoNothing)
{
    loadGuiText("window TutorialModal\n{\nAreaRect 0 0 100 100\n}\nwindow PickMHPhoto\n{\nAreaRect 0 0 100 100\n}\n");
    CDialogTutorialModal tutorial;
    CDialogMHPhoto photo;
    CDialogYesNo yesNo;
    CDialogItemIdent ident;
    for (CDialogBase* d : std::initializer_list<CDialogBase*>{&tutorial, &photo, &yesNo, &ident})
        d->Init();
    tutorial.SetTextById("k", "");
    photo.SetPhoto(nullptr, L"text");
    photo.Hide();
    yesNo.ShowText("k", "");
    yesNo.CenterInRect();
    ident.SetNpcImage(nullptr);
    EXPECT_TRUE(ident.GetIdentItemPos().x == 0 && ident.GetIdentItemRect() == aRect());
    EXPECT_EQ(tutorial.GetArea(), aRect(0, 0, 100, 100));
    const std::string log = takeLog();
    for (const char* line : {"'TutorialModal': widget 'Ok' not found", "'PickMHPhoto': widget 'item_box' not found",
                             "Window 'DialogYesNo' not found"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}
