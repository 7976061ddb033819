#pragma once
#include <memory>
#include <string>

#include "engine/util/a_application.h"
#include "engine/util/a_timer.h"

class aCmdLine;
class CGameFlow;
class CGameIni;
class CResManager;
class ProfilesManager;
namespace GUI {
class Server;
}

// The game's application.
class cMain : public aApplication {
public:
    cMain();
    ~cMain() override;

    int init(const std::string& name, void* instance, const char* commandLine, const std::string& company) override;
    int shutdown() override;
    int update() override;
    int render() override;
    void onDeactivate() override;
    void onActivate() override;
    LRESULT windowProc(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) override;
    // Not while Game.ini forces a window, nor in a windowed-only run.
    bool canSwitchFullscreen() override;
    void onDisplayModeChanged() override;

    // Scene starts render() tries before it gives up for this pass.
    static constexpr int kRenderAttempts = 10;
    // Longest frame time update() passes on.
    static constexpr float kMaxFrameTime = 0.04f;
    // The window message the flow forwards to the game root.
    static constexpr std::uint32_t kGameMessage = 1024;

    // Frame time of the last update, after the limit.
    float lastFrameTime() const { return m_lastFrameTime; }

    CGameIni* GetGameIni() const { return m_gameIni.get(); }
    ProfilesManager* GetProfiles() const { return m_profiles.get(); }
    CResManager* GetResManager() const { return m_resManager.get(); }
    GUI::Server* GetGui() const { return m_gui.get(); }
    CGameFlow* GetFlow() const { return m_flow.get(); }

    // Set before init: the game runs in a window whatever Game.ini and the
    // player ask (a replay, whose clock steps with the window's frame pacing).
    bool m_windowedOnly = false;

protected:
    // The flow with its collaborators; the last step of init.
    virtual std::unique_ptr<CGameFlow> MakeGameFlow();

    std::unique_ptr<CGameIni> m_gameIni;
    std::unique_ptr<aCmdLine> m_cmdLine;
    std::unique_ptr<ProfilesManager> m_profiles;
    std::unique_ptr<CResManager> m_resManager;
    std::unique_ptr<GUI::Server> m_gui;
    std::unique_ptr<CGameFlow> m_flow;
    aTimer m_updateTimer;
    float m_lastFrameTime = 0.0f;
};
