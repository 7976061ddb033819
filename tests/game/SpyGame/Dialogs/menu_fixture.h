#pragma once
// The menu bench: the dialog bench with the demo's music and ambient lists
// loaded, the demo GUI, the menu dialogs built as the game flow builds them
// (LoadAmbient, the loading run, Init), a recording link opener and a fresh
// profile in use.
#include <memory>

#include "dialog_fixture.h"
#include "engine/gui/gui_server.h"
#include "engine/sound/a_music_manager.h"
#include "game/SpyGame/Dialogs/MenuDialogs.h"
#include "game/shell/current_profile.h"
#include "platform/system/link_opener.h"

namespace menutest {

template <class Bench>
class MenuBench : public Bench {
protected:
    void SetUp() override
    {
        Bench::SetUp();
        CurrentProfile::Get() = CurrentProfile();
        platform::setLinkOpener(&links);
    }
    void TearDown() override
    {
        menu.reset();
        platform::setLinkOpener(nullptr);
        CurrentProfile::Get() = CurrentProfile();
        Bench::TearDown();
    }

    void startMenu()
    {
        this->loadDemoResources();
        aFileServer& files = this->app.m_fileServer;
        files.setAssign("ambients", "gamedata:Ambients/");
        files.setAssign("music", "gamedata:Music/");
        this->res->GetMusicManager()->AddListToTask("music:playlist.txt", "", "");
        menu = std::make_unique<CMenuDialogs>();
        menu->LoadAmbient();
        this->res->BeginLoading();
        while (!this->res->LoadStep()) {
        }
        this->loadGui();
        menu->Init();
    }

    GUI::Widget* widget(const std::string& name) const { return this->gui->GetRoot()->FindChild(name, true); }
    GUI::Widget* child(const char* window, const std::string& name) const
    {
        return widget(window)->FindChild(name, true);
    }
    // The centre of a widget on the screen.
    void clickOn(GUI::Widget* w)
    {
        const aRect r = w->GetAbsoluteRect();
        this->click(r.x + r.width / 2, r.y + r.height / 2);
    }

    platform::RecordingLinkOpener links;
    std::unique_ptr<CMenuDialogs> menu;
};

using RecordingMenuBench = MenuBench<dialogtest::RecordingDialogBench>;
using GlMenuBench = MenuBench<dialogtest::GlDialogBench>;

} // namespace menutest
