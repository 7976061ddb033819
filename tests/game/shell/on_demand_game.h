#pragma once
// The real game on the demo data with the case's results handed out on
// demand: a test queues a result (the murder hunt finished, the in-game
// menu) and the case's next update returns it instead of playing.
#include <cstdint>
#include <deque>
#include <memory>

#include "game/SpyGame/Dialogs/MenuDialogs.h"
#include "game/SpyGame/SpyMain.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_main.h"

namespace ondemand {

class Case : public CInvestigation {
public:
    std::uint32_t Update(float dt) override
    {
        if (results.empty())
            return CInvestigation::Update(dt);
        const std::uint32_t r = results.front();
        results.pop_front();
        // The in-game menu comes back to the state it was opened over.
        if (r == StateInGameMenu)
            EnterKeepingPrevious(r);
        return r;
    }
    std::deque<std::uint32_t> results;
};

class Root : public CSpyMain {
public:
    Root() { UseInvestigation(&inv); }
    ~Root() override
    {
        Unload();
        UseInvestigation(nullptr);
    }
    Case inv;
};

// cMain with the real menu and tips around a Root.
class Main : public cMain {
public:
    Root* root = nullptr;

protected:
    std::unique_ptr<CGameFlow> MakeGameFlow() override
    {
        auto menu = std::make_unique<CMenuDialogs>();
        auto made = std::make_unique<Root>();
        made->SetMenuDialogs(&menu->GetOptions(), &menu->GetFACertificate(), &menu->GetHelp(),
                             &menu->GetMHCertificate());
        root = made.get();
        CGameFlow::Tips* tips = &made->GetFlowTips();
        return std::make_unique<CGameFlow>(std::move(made), std::move(menu), tips);
    }
};

} // namespace ondemand
