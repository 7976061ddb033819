#pragma once
// A game root, menu dialogs and tip manager that record every call the flow
// makes into one list, for tests of the game flow.
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "game/shell/c_game_flow.h"

namespace flowfakes {

using Calls = std::vector<std::string>;
using Menu = CGameFlow::Menu;

inline const char* dialogName(Menu::Dialog d)
{
    static const char* const names[] = {"MainMenu", "Options",   "MHCertificate", "FACertificate",
                                        "Help",     "RestartFA", "MoreGames",     "Notice"};
    return names[d];
}

struct FakeRoot : CGameFlow::Root {
    FakeRoot(Calls& c, const bool& menuAlive) : calls(c), menu(menuAlive) {}
    void Init() override { calls.push_back("root.Init"); }
    void LoadCommonResources() override { calls.push_back("root.LoadCommonResources"); }
    void FinishLoading() override { calls.push_back("root.FinishLoading"); }
    void ReturnToMenu() override { calls.push_back("root.ReturnToMenu"); }
    void ContinuePlay() override { calls.push_back("root.ContinuePlay"); }
    void StartFindAll() override { calls.push_back("root.StartFindAll"); }
    void ContinuePlayFindAll() override { calls.push_back("root.ContinuePlayFindAll"); }
    std::uint32_t Update(float) override
    {
        calls.push_back("root.Update");
        const std::uint32_t s = states.empty() ? 12 : states.front();
        if (!states.empty())
            states.pop_front();
        return s;
    }
    void Draw() override { calls.push_back("root.Draw"); }
    void OnActivate() override { calls.push_back("root.OnActivate"); }
    void OnDeactivate() override { calls.push_back("root.OnDeactivate"); }
    LRESULT OnWindowMessage(HWND, std::uint32_t message, WPARAM, LPARAM) override
    {
        calls.push_back("root.OnWindowMessage " + std::to_string(message));
        return 77;
    }
    void Unload() override { calls.push_back(menu ? "root.Unload, menu alive" : "root.Unload"); }
    bool SaveBeforeQuit() override
    {
        calls.push_back("root.SaveBeforeQuit");
        return saveFailure.empty();
    }
    void GetMHCertificate(std::int32_t& tier, std::int32_t& count) const override
    {
        calls.push_back("root.GetMHCertificate");
        tier = 2;
        count = 5;
    }
    void GetFACertificate(std::int32_t& tier, std::int32_t& count) const override
    {
        calls.push_back("root.GetFACertificate");
        tier = 1;
        count = 0;
    }
    std::string TakeSaveFailure() override
    {
        std::string failure;
        failure.swap(saveFailure);
        return failure;
    }
    LoadFailure TakeLoadFailure() override
    {
        LoadFailure failure;
        std::swap(failure, loadFailure);
        return failure;
    }
    Calls& calls;
    const bool& menu;
    std::deque<std::uint32_t> states;
    std::string saveFailure;
    LoadFailure loadFailure;
};

struct FakeMenu : Menu {
    FakeMenu(Calls& c, bool& alive) : calls(c), alive(alive) { alive = true; }
    ~FakeMenu() override { alive = false; }
    void log(const std::string& call) { calls.push_back("menu." + call); }
    bool Has(Dialog d) const override { return present.count(d) != 0; }
    void LoadAmbient() override { log("LoadAmbient"); }
    void Init() override { log("Init"); }
    void HideAll() override { log("HideAll"); }
    void Update(float) override {}
    void Render() override {}
    void Show(Dialog d) override
    {
        log(std::string("Show ") + dialogName(d));
        states[d] = 2;
    }
    void Hide(Dialog d) override
    {
        log(std::string("Hide ") + dialogName(d));
        states[d] = 1;
    }
    std::int32_t GetState(Dialog d) const override { return states.count(d) ? states.at(d) : 0; }
    void SetUserName(const std::string& name) override { log("SetUserName " + name); }
    void SetAwardMH(std::int32_t tier) override { log("SetAwardMH " + std::to_string(tier)); }
    void SetAwardFA(std::int32_t tier) override { log("SetAwardFA " + std::to_string(tier)); }
    void BlockFindAll(bool block) override { log("BlockFindAll " + std::to_string(block)); }
    void HideMoreGames(bool hide) override { log("HideMoreGames " + std::to_string(hide)); }
    bool IsOnFindAll(std::int32_t x, std::int32_t) const override { return x < 100; }
    void ShowCreditsButton(bool on) override { log("ShowCreditsButton " + std::to_string(on)); }
    void SetupMoreGames(const std::string& path) override { log("SetupMoreGames " + path); }
    void OpenLink(const std::string& link) override
    {
        log("OpenLink " + link);
        states[kMoreGames] = 2;
    }
    void UpdateFullscreenEnabled() override { log("UpdateFullscreenEnabled"); }
    void SetNoticeText(const std::wstring& text) override { notice = text; }
    Calls& calls;
    bool& alive;
    std::set<Dialog> present{kMainMenu};
    std::map<Dialog, std::int32_t> states;
    std::wstring notice;
};

struct FakeTips : CGameFlow::Tips {
    explicit FakeTips(Calls& c) : calls(c) {}
    bool ShowTip(const std::string& name) override
    {
        calls.push_back("tips.ShowTip " + name);
        return refusals-- <= 0;
    }
    void HideTip(const std::string& name) override { calls.push_back("tips.HideTip " + name); }
    void Update(float) override { ++updates; }
    Calls& calls;
    int refusals = 0;
    int updates = 0;
};

} // namespace flowfakes
