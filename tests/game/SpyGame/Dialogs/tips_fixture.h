#pragma once
// The tip manager and the comics player on the demo data: the GUI scripts,
// the sounds, the playlist in a music manager stepped by hand, the tips of
// "gamedata:tips.ini" and the profile's defaults. Both are updated every
// frame after the GUI, as their container updates them.
#include <memory>
#include <string>

#include "dialog_fixture.h"
#include "engine/sound/a_music_manager.h"
#include "game/SpyGame/Dialogs/ScenePlayer.h"
#include "game/SpyGame/Dialogs/TipManager.h"
#include "game/shell/current_profile.h"

namespace dialogtest {

template <class Bench>
class TipBench : public Bench {
protected:
    void SetUp() override
    {
        Bench::SetUp();
        CurrentProfile::Get() = CurrentProfile();
        this->loadDemoResources();
        this->app.m_fileServer.setAssign("music", "gamedata:Music/");
        this->res->GetMusicManager()->LoadList("music:playlist.txt", "");
        this->loadGui();
        remake("gamedata:tips.ini");
        comics = std::make_unique<ScenePlayer>();
        comics->Init();
        this->onFrame = [this](float dt) {
            if (tips)
                tips->Update(dt);
            if (comics)
                comics->Update(dt);
        };
    }
    void TearDown() override
    {
        comics.reset();
        tips.reset();
        CurrentProfile::Get() = CurrentProfile();
        Bench::TearDown();
    }
    // A new manager on the file; the old one goes first (one instance at a time).
    void remake(const std::string& path)
    {
        tips.reset();
        tips = std::make_unique<CTipManager>();
        tips->LoadTips(path);
    }
    // A new manager on a tips file of the test.
    void tipsText(const std::string& text)
    {
        const std::string path = test_env::home() + "/tips.ini";
        test_env::writeFile(path, text);
        remake(path);
    }
    // A frame in which the mouse moved by (dx, dy).
    void nudge(int dx, int dy)
    {
        this->keys.push(platform::KeyFrame{});
        this->mouse.push(this->m_buttons, this->m_mouseX, this->m_mouseY, dx, dy, 0);
        this->frame(double(this->kDt) * 1000.0);
        this->gui->Update(this->kDt);
        this->onFrame(this->kDt);
    }
    GUI::Widget* balloon() { return tips->GetBalloon(); }
    aRect balloonRect() { return balloon()->GetAbsoluteRect(); }
    void clickIn(GUI::Widget* w)
    {
        const aRect r = w->GetAbsoluteRect();
        this->click(r.x + r.width / 2, r.y + r.height / 2);
    }
    aMusicManager& music() { return *this->res->GetMusicManager(); }
    std::string currentTrack()
    {
        std::string group;
        return music().GetCurrentTrack(group);
    }

    std::unique_ptr<CTipManager> tips;
    std::unique_ptr<ScenePlayer> comics;
};

using TipTest = TipBench<RecordingDialogBench>;
using TipGlTest = TipBench<GlDialogBench>;

} // namespace dialogtest
