#include "game/shell/c_main.h"

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/sound/a_sound_engine.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_cmdline.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/SpyGame/Dialogs/MenuDialogs.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/SpyMain.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/objects/SpyObject.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "platform/system/clock.h"
#include "platform/system/window.h"

cMain::cMain() : m_updateTimer(aTimer::PerformanceCounter) {}

cMain::~cMain() = default;

std::unique_ptr<CGameFlow> cMain::MakeGameFlow()
{
    auto menu = std::make_unique<CMenuDialogs>();
    auto root = std::make_unique<CSpyMain>();
    root->SetMenuDialogs(&menu->GetOptions(), &menu->GetFACertificate(), &menu->GetHelp(), &menu->GetMHCertificate());
    // The tips live in the root's dialogs, which the flow keeps until it goes.
    CGameFlow::Tips* tips = &root->GetFlowTips();
    return std::make_unique<CGameFlow>(std::move(root), std::move(menu), tips);
}

int cMain::init(const std::string& name, void* instance, const char* commandLine, const std::string& company)
{
    const int result = aApplication::init(name, instance, commandLine, company);
    if (result != 0)
        return result;

    m_gameIni = std::make_unique<CGameIni>();
    m_fileServer.setAssign("gamedata", "home:GameData/");
    m_fileServer.setAssign("images", "gamedata:Images/");
    m_fileServer.setAssign("sounds", "gamedata:Sounds/");
    m_fileServer.setAssign("ambients", "gamedata:Ambients/");
    m_fileServer.setAssign("music", "gamedata:Music/");
    m_fileServer.setAssign("particles", "gamedata:Particles/");
    m_fileServer.setAssign("video", "gamedata:Video/");
    m_fileServer.setAssign("language", "gamedata:Language/" + m_gameIni->GetLanguage() + "/");
    m_fileServer.setAssign("flash", "gamedata:Flash/");
    m_fileServer.setAssign("fonts", "gamedata:Fonts/");
    m_fileServer.setAssign("gui", "gamedata:Gui/");

    m_cmdLine = std::make_unique<aCmdLine>();
    m_profiles = std::make_unique<ProfilesManager>(m_savedGamesFolder);
    m_profiles->Load();

    bool windowed = m_gameIni->IsWindowed() || !CurrentProfile::Get().fullscreen;
    if (!windowed && m_windowedOnly) {
        a_log("cMain. Full screen is not available to this run: the game runs in a window");
        windowed = true;
    }
    try {
        new aGraphServer(m_gameIni->GetWidth(), m_gameIni->GetHeight(), !windowed, m_gameIni->IsUse32Bit(), nullptr,
                         104, m_gameIni->IsVSync(), false);
    } catch (const aResultError& e) {
        showError(e.code());
        return -1;
    }
    new aInputServer();
    aSound::globalEngine().SetNoSound(!m_gameIni->IsSoundEnabled());
    aSound::globalEngine().Init();
    m_resManager = std::make_unique<CResManager>();
    m_resManager->GetLocaleServer()->loadFile("language:Text/Main.txt");
    std::string title = str_wideToUtf8(m_resManager->GetLocalizedString("window_title"));
    if (title.empty()) {
        a_log("cMain. No window title in the string table: '%s' taken", m_name.c_str());
        title = m_name;
    }
    if (m_window)
        m_window->setTitle(title);

    m_gui = std::make_unique<GUI::Server>(m_resManager->GetImageManager(), m_resManager->GetSoundManager());
    RegisterItemKinds();
    RegisterObjectKinds();
    RegisterRoomKinds();
    RegisterEventKinds();
    m_flow = MakeGameFlow();
    m_flow->Start();
    m_updateTimer.reset();
    return 0;
}

int cMain::shutdown()
{
    if (m_profiles)
        m_profiles->Save();
    m_flow.reset();
    // Its widgets hold images and sounds of the managers.
    m_gui.reset();
    m_resManager.reset();
    m_profiles.reset();
    m_cmdLine.reset();
    releaseInput();
    delete m_graphServer;  // its destructor clears the pointer
    m_graphServer = nullptr;
    m_gameIni.reset();
    return aApplication::shutdown();
}

int cMain::update()
{
    float frameTime = m_updateTimer.getTime();
    m_updateTimer.reset();
    if (frameTime > kMaxFrameTime)
        frameTime = kMaxFrameTime;
    m_lastFrameTime = frameTime;
    if (m_flow && !m_flow->Update(frameTime))
        return A2D_E_ABORT;
    return 0;
}

int cMain::render()
{
    if (!m_graphServer)
        return 1;
    for (int attempt = 0; attempt < kRenderAttempts; ++attempt) {
        if (m_graphServer->beginScene()) {
            if (m_flow)
                m_flow->Render();
            m_graphServer->endScene();
            return 0;
        }
        if (attempt + 1 < kRenderAttempts) {
            platform::sleepMs(100);
            m_graphServer->setVideoMode(m_graphServer->m_fullscreen, m_graphServer->m_use32Bit,
                                        m_graphServer->m_vsync);
        }
    }
    return 1;
}

void cMain::onDeactivate()
{
    setPause(true);
    if (m_flow)
        m_flow->OnDeactivate();
}

void cMain::onActivate()
{
    setPause(false);
    if (m_flow)
        m_flow->OnActivate();
}

LRESULT cMain::windowProc(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (message == kGameMessage)
        return m_flow ? m_flow->OnWindowMessage(window, message, wParam, lParam) : 0;
    // Closing the window, SIGINT, SIGTERM and SIGHUP all come as WM_CLOSE;
    // only a close the player asked of the window may be refused. Each is
    // logged with its outcome, so a close that seems ignored names its step.
    if (message == WM_CLOSE) {
        const char* from = wParam == kCloseFromWindow   ? "from the window"
                           : wParam == kCloseFromSignal ? "from a stop signal"
                                                        : "from the game";
        if (m_flow && !m_flow->OnQuitRequest(wParam == kCloseFromWindow)) {
            a_log("cMain. Close request %s: refused", from);
            return 0;
        }
        a_log("cMain. Close request %s: closing", from);
    }
    return aApplication::windowProc(window, message, wParam, lParam);
}

bool cMain::canSwitchFullscreen() { return !m_windowedOnly && !(m_gameIni && m_gameIni->IsWindowed()); }

void cMain::onDisplayModeChanged()
{
    if (m_flow)
        m_flow->OnDisplayModeChanged();
}
