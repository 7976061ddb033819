#pragma once
// The page of the maker's other games: up to three download buttons laid
// out by "home:MoreGames.ini" ([SETUP] state DEFAULT, TWOLINKS or
// THREELINKS, links url1 to url3). Results: "back" 3, "download1" to
// "download3" 4 to 6; the owner opens the matching link through OpenLink.
// A result stays until Show, Hide or OpenLink (the window raises none).
// Main thread only.
#include <string>

#include "game/SpyGame/Dialogs/DialogBase.h"

class CDialogMoreGames : public CDialogBase {
public:
    static constexpr std::int32_t kBack = 3;
    static constexpr std::int32_t kDownload1 = 4;
    // TWOLINKS moves the two remaining logos and buttons this far apart.
    static constexpr std::int16_t kTwoLinksShift = 100;

    // The window among the GUI root's own children: the main menu has a
    // button of the same name deeper in the tree.
    void Init() override;
    virtual void SetControlsVisible(bool on);
    // A missing file or one without [SETUP] changes nothing.
    virtual void Setup(const std::string& path);
    // Web links only (http, https); anything else is logged and skipped.
    // The state becomes 2 in every case.
    void OpenLink(const std::string& link);

private:
    struct Kept {
        GUI::WidgetRef widget;
        std::int16_t x = 0, y = 0;
    };
    // Puts the widget where it stood at Init, moved by dx.
    static void PlaceFrom(const Kept& kept, std::int16_t dx);

    GUI::WidgetRef m_back;
    GUI::WidgetRef m_downloads[3];
    GUI::WidgetRef m_logoTamber;
    Kept m_logoQuill, m_logoBrask, m_place1, m_place2;
};
