#include "game/shell/c_main.h"

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_listbox.h"
#include "engine/gui/gui_server.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_cmdline.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/objects/SpyObject.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "platform/system/clock.h"
#include "platform/system/window.h"

cMain::cMain() : m_updateTimer(aTimer::PerformanceCounter) {}

cMain::~cMain() = default;

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

    try {
        new aGraphServer(1024, 768, false, true, nullptr, 104, true, false);
    } catch (const aResultError& e) {
        showError(e.code());
        return -1;
    }
    new aInputServer();
    m_resManager = std::make_unique<CResManager>();
    RegisterItemKinds();
    RegisterObjectKinds();
    RegisterRoomKinds();
    RegisterEventKinds();
    m_resManager->GetLocaleServer()->loadFile("language:Text/Main.txt");
    // Without the string the window keeps the application's name.
    const std::wstring title = m_resManager->GetLocalizedString("window_title");
    if (m_window && !title.empty())
        m_window->setTitle(str_wideToUtf8(title));

    m_resManager->GetImageManager()->LoadList("images:_images.list", "");
    m_resManager->GetSoundManager()->LoadList("sounds:_sounds.list", "");
    m_gui = std::make_unique<GUI::Server>(m_resManager->GetImageManager(), m_resManager->GetSoundManager());
    m_gui->load("gui:index.agui");
    m_gui->InitWidgets();
    // List items have no script form: the demo gallery's list gets its own here.
    if (auto* fruits = dynamic_cast<GUI::Listbox*>(m_gui->GetRoot()->FindChild("Fruits", true)))
        for (const wchar_t* fruit : {L"Pear", L"Fig", L"Apple", L"Quince", L"Kiwi", L"Plum", L"Cherry", L"Lime",
                                     L"Mango", L"Date", L"Grape", L"Melon"})
            fruits->AddTextItem(fruit);
    m_gui->ShowMouseCursor(true);
    m_updateTimer.reset();
    return 0;
}

int cMain::shutdown()
{
    if (m_profiles)
        m_profiles->Save();
    m_profiles.reset();
    m_gui.reset();  // its widgets hold sounds and images of the managers
    m_resManager.reset();
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
    if (m_gui)
        m_gui->Update(frameTime);
    return 0;
}

int cMain::render()
{
    if (!m_graphServer)
        return 1;
    for (int attempt = 0; attempt < kRenderAttempts; ++attempt) {
        if (m_graphServer->beginScene()) {
            if (m_gui)
                m_gui->Render();
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

void cMain::onDeactivate() { setPause(true); }

void cMain::onActivate() { setPause(false); }
