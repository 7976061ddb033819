#pragma once
// The help pages: three tabs (the story, the murder hunt, Find All), each
// showing its picture in "image_box". Results: "Close" 3, "Credits_help" 5.
// Main thread only.
#include "game/SpyGame/Dialogs/DialogBase.h"

class CDialogHelp : public CDialogBase {
public:
    static constexpr std::int32_t kClose = 3;
    static constexpr std::int32_t kCredits = 5;
    enum Page { kStory, kMurderHunt, kFindAll };

    void Init() override;
    // Opens on the story page.
    void Show() override;
    void ShowCreditsButton(bool on);
    // The page's picture (no group) in "image_box"; its tab disabled, the others enabled.
    void ShowPage(Page page);

private:
    bool OnStory(const GUI::EventArgs&);
    bool OnMurderHunt(const GUI::EventArgs&);
    bool OnFindAll(const GUI::EventArgs&);

    GUI::WidgetRef m_imageBox;
    GUI::WidgetRef m_tabs[3];
    GUI::WidgetRef m_credits;
};
