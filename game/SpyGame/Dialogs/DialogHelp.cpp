#include "game/SpyGame/Dialogs/DialogHelp.h"

#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "game/shell/c_res_manager.h"

namespace {

const char* const kTabNames[3] = {"Story", "MurderH", "FindA"};
const char* const kPageImages[3] = {"Help_screen", "Help_screen_MH", "Help_screen_FA"};

} // namespace

void CDialogHelp::Init()
{
    if (m_state != kStateNew)
        return;
    if (GUI::Widget* window = FindWindow("HelpMenu")) {
        window->notifyRender = true;
        BindResult(window, GUI::EventBeginRender, kStateShown);
    }
    m_imageBox = GUI::WidgetRef(FindWidget("image_box"));
    for (int i = 0; i < 3; ++i)
        m_tabs[i] = GUI::WidgetRef(FindWidget(kTabNames[i]));
    m_credits = GUI::WidgetRef(FindWidget("Credits_help"));
    Subscribe(m_tabs[kStory].get(), GUI::EventClick, &CDialogHelp::OnStory);
    Subscribe(m_tabs[kMurderHunt].get(), GUI::EventClick, &CDialogHelp::OnMurderHunt);
    Subscribe(m_tabs[kFindAll].get(), GUI::EventClick, &CDialogHelp::OnFindAll);
    BindResult(FindWidget("Close"), GUI::EventClick, kClose);
    BindResult(m_credits.get(), GUI::EventClick, kCredits);
    CDialogBase::Init();
}

void CDialogHelp::Show()
{
    ShowPage(kStory);
    CDialogBase::Show();
}

void CDialogHelp::ShowCreditsButton(bool on)
{
    if (GUI::Widget* button = m_credits.get())
        button->SetVisible(on);
}

void CDialogHelp::ShowPage(Page page)
{
    CResManager* res = CResManager::getSingletonPtr();
    if (auto* box = m_imageBox.as<GUI::StaticImage>(); box && res)
        box->SetImage(res->GetImageManager()->GetImage(kPageImages[page], ""), nullptr);
    for (int i = 0; i < 3; ++i)
        if (GUI::Widget* tab = m_tabs[i].get())
            tab->SetEnabled(i != page);
}

bool CDialogHelp::OnStory(const GUI::EventArgs&)
{
    ShowPage(kStory);
    return true;
}

bool CDialogHelp::OnMurderHunt(const GUI::EventArgs&)
{
    ShowPage(kMurderHunt);
    return true;
}

bool CDialogHelp::OnFindAll(const GUI::EventArgs&)
{
    ShowPage(kFindAll);
    return true;
}
