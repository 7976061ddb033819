#include "game/SpyGame/Dialogs/DialogMoreGames.h"

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "platform/system/link_opener.h"

namespace {

const char* const kUrlKeys[3] = {"url1", "url2", "url3"};

} // namespace

void CDialogMoreGames::Init()
{
    if (m_state != kStateNew)
        return;
    FindWindow("MoreGames", false);
    m_back = GUI::WidgetRef(FindWidget("back"));
    BindResult(m_back.get(), GUI::EventClick, kBack);
    for (int i = 0; i < 3; ++i) {
        m_downloads[i] = GUI::WidgetRef(FindWidget("download" + std::to_string(i + 1)));
        BindResult(m_downloads[i].get(), GUI::EventClick, kDownload1 + i);
    }
    m_logoTamber = GUI::WidgetRef(FindWidget("logotamber"));
    auto keep = [this](Kept& kept, GUI::Widget* widget) {
        kept.widget = GUI::WidgetRef(widget);
        if (widget) {
            kept.x = widget->GetAreaRect().x;
            kept.y = widget->GetAreaRect().y;
        }
    };
    keep(m_logoQuill, FindWidget("logoquill"));
    keep(m_logoBrask, FindWidget("logobrask"));
    keep(m_place1, m_downloads[0].get());
    keep(m_place2, m_downloads[1].get());
    CDialogBase::Init();
}

void CDialogMoreGames::SetControlsVisible(bool on)
{
    if (GUI::Widget* window = GetWindow())
        window->SetVisible(on);
    for (GUI::Widget* button : {m_back.get(), m_downloads[0].get(), m_downloads[1].get(), m_downloads[2].get()})
        if (button)
            button->SetVisible(on);
}

void CDialogMoreGames::PlaceFrom(const Kept& kept, std::int16_t dx)
{
    if (GUI::Widget* widget = kept.widget.get())
        widget->SetPosition(std::int16_t(kept.x + dx), kept.y);
}

void CDialogMoreGames::Setup(const std::string& path)
{
    if (!file_isExistOrPacked(path))
        return;
    aOptionsFile ini(path);
    if (!ini.selectSection("SETUP"))
        return;
    const std::string state = ini.getStringDef("state", "");
    auto show = [this](int i, bool on) {
        if (GUI::Widget* button = m_downloads[i].get())
            button->SetVisible(on);
    };
    if (state == "DEFAULT") {
        for (int i = 0; i < 3; ++i)
            show(i, false);
    } else if (state == "THREELINKS") {
        for (int i = 0; i < 3; ++i)
            show(i, ini.hasKey(kUrlKeys[i]));
    } else if (state == "TWOLINKS") {
        show(0, ini.hasKey(kUrlKeys[0]));
        show(1, ini.hasKey(kUrlKeys[1]));
        show(2, false);
        if (GUI::Widget* logo = m_logoTamber.get())
            logo->SetVisible(false);
        PlaceFrom(m_logoQuill, kTwoLinksShift);
        PlaceFrom(m_place1, kTwoLinksShift);
        PlaceFrom(m_logoBrask, -kTwoLinksShift);
        PlaceFrom(m_place2, -kTwoLinksShift);
    } else {
        a_log("CDialogMoreGames::Setup(). '%s': unknown state '%s', downloads disabled", path.c_str(), state.c_str());
        for (const GUI::WidgetRef& download : m_downloads)
            if (GUI::Widget* button = download.get())
                button->SetEnabled(false);
    }
}

void CDialogMoreGames::OpenLink(const std::string& link)
{
    if (!link.empty()) {
        switch (platform::linkOpener().open(link)) {
        case platform::LinkResult::Opened:
            break;
        case platform::LinkResult::NoDisplay:
            a_log("Open link: %s", link.c_str());
            break;
        case platform::LinkResult::Refused:
            a_log("CDialogMoreGames::OpenLink(). Not a web link, not opened: '%s'", link.c_str());
            break;
        case platform::LinkResult::Failed:
            a_log("CDialogMoreGames::OpenLink(). Cannot open '%s'", link.c_str());
            break;
        }
    }
    m_state = kStateShown;
}
