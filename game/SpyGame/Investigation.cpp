#include "game/SpyGame/Investigation.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "engine/gfx/a_flash_player.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_window.h"
#include "engine/sound/a_ambient_sound_system.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string_list.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/GameDialogsLink.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"
#include "game/shell/save_load_system.h"

namespace {

std::uint16_t backBufferWidth()
{
    if (g_application && g_application->m_graphServer && g_application->m_graphServer->m_backBufferWidth)
        return g_application->m_graphServer->m_backBufferWidth;
    return 1024;
}

// A value of the section, or nothing when the key is absent.
bool sectionValue(const aOptionsFile& ini, const char* key, std::string& out)
{
    if (!ini.hasSectionKey("ClicksWarning", key))
        return false;
    out = ini.getValue("ClicksWarning", key);
    return true;
}

// A finite, non-negative number of seconds; otherwise def, logged.
float seconds(const aOptionsFile& ini, const char* key, float def, const std::string& path)
{
    std::string text;
    if (!sectionValue(ini, key, text))
        return def;
    errno = 0;
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (end == text.c_str() || errno == ERANGE || !std::isfinite(value) || value < 0.0f) {
        a_log("CInvestigation::Load(). '%s': [ClicksWarning] %s = '%s' is not a time; %.1f used", path.c_str(), key,
              text.c_str(), double(def));
        return def;
    }
    return value;
}

} // namespace

CInvestigation::CInvestigation() = default;

CInvestigation::~CInvestigation()
{
    Clear();
    window.reset();
    flash.reset();
    dialogs = nullptr;
    ownLink.reset();
}

// ------------------------------------------------------------------ saving

void CInvestigation::SaveChildren(SaveLoadSystem& system)
{
    system.SaveEntity(&tipEvents);
    if (SaveLoadEntity* tips = dialogs ? dialogs->GetTipManagerEntity() : nullptr)
        system.SaveEntity(tips);
    if (CDialogSpyGamePanel* panel = Panel())
        system.SaveEntity(panel);
    if (SaveLoadEntity* message = dialogs ? dialogs->GetMessageEntity() : nullptr)
        system.SaveEntity(message);
    if (personages)
        system.SaveEntity(personages);
    if (rooms)
        system.SaveEntity(rooms);
    system.SaveEntity(&events);
}

void CInvestigation::LoadChildren(SaveLoadSystem& system)
{
    // The case cannot go on without the panel, the personages, the rooms,
    // the rooms' events and its own as they were saved; only a damaged save
    // or another build's can lack one. All are looked for before anything is
    // read, so a save refused for it leaves the case as it was.
    CDialogSpyGamePanel* panel = Panel();
    std::vector<const SaveLoadEntity*> needed;
    if (panel)
        needed.push_back(panel);
    if (personages) {
        needed.push_back(personages);
        for (const auto& personage : personages->GetPersonages())
            needed.push_back(personage.get());
    }
    if (rooms) {
        needed.push_back(rooms);
        for (const SaveLoadEntity* roomEvents : rooms->GetRequiredEvents())
            needed.push_back(roomEvents);
    }
    needed.push_back(&events);
    bool complete = true;
    for (const SaveLoadEntity* entity : needed)
        // (One without a key is never saved: no case was loaded.)
        if (!entity->GetKey().empty() && !system.HasBlock(entity->GetKey())) {
            a_log("CInvestigation::LoadChildren(). Save '%s' has no block '%s'; the case cannot be restored from it",
                  system.GetFileName().c_str(), entity->GetKey().c_str());
            complete = false;
        }
    if (!complete) {
        system.FailParent();
        return;
    }

    // Without these the case plays on; what they held starts afresh.
    auto optional = [&system](SaveLoadEntity* entity) {
        if (entity && !system.LoadEntity(entity) && !system.HasBlock(entity->GetKey()))
            a_log("CInvestigation::LoadChildren(). Save '%s' has no block '%s'; it starts afresh",
                  system.GetFileName().c_str(), entity->GetKey().c_str());
    };
    optional(&tipEvents);
    optional(dialogs ? dialogs->GetTipManagerEntity() : nullptr);
    if (panel)
        system.LoadRequiredEntity(panel);
    optional(dialogs ? dialogs->GetMessageEntity() : nullptr);
    if (personages)
        system.LoadRequiredEntity(personages);
    if (rooms)
        system.LoadRequiredEntity(rooms);
    system.LoadRequiredEntity(&events);
}

// ------------------------------------------------------------------ set-up

void CInvestigation::Init(CInvestigationDialogs* dialogsIn, CRoomsManager* roomsIn, CPersonagesManager* personagesIn)
{
    if (state != StateConstructed)
        return;
    dialogs = dialogsIn;
    rooms = roomsIn;
    personages = personagesIn;
    resManager = CResManager::getSingletonPtr();
    events.SetOwner(this);
    tipEvents.Init(dialogs, this);
    area = aRect(std::int16_t(backBufferWidth() - kAreaWidth), 0, kAreaWidth, kAreaHeight);
    // Owned here alone, never part of the GUI tree.
    window = std::make_shared<GUI::Window>(std::string());
    state = StateInitialised;
}

void CInvestigation::Init(CGameDialogs* container, CRoomsManager* roomsIn, CPersonagesManager* personagesIn)
{
    if (state != StateConstructed)
        return;
    ownLink = container ? std::make_unique<CGameDialogsLink>(*container) : nullptr;
    Init(ownLink.get(), roomsIn, personagesIn);
}

void CInvestigation::Load(const std::string& folderIn, const std::string& nameIn, bool findAllIn)
{
    if (state == StateConstructed)
        return;
    Clear();
    name = nameIn;
    a_log("Load investigation: %s", name.c_str());
    SetKey(kKeyPrefix + name);
    folder = folderIn + name + "/";
    const std::string iniPath = folder + kIniFile;
    ini.clear();
    if (file_isExistOrPacked(iniPath))
        ini.load(iniPath);
    else
        a_log("CInvestigation::Load(). Cannot read '%s'; the case has no settings", iniPath.c_str());
    startRoom = ini.getValueDef("Main", "StartRoom", std::string());
    music = ini.getValueDef("Main", "Music", std::string());
    if (!findAllIn && rooms)
        rooms->LoadRooms(folder, this);
    findAll = findAllIn ? 1 : 0;
    const std::string language = ini.getValueDef("Main", "InternalLanguage", std::string());
    const CGameIni* gameIni = CGameIni::getSingletonPtr();
    internalLanguage = !language.empty() && gameIni && language == gameIni->GetLanguage() ? 1 : 0;
    LoadStringTables();
    state = StateLoaded;
    ReadClicksWarning();
    clickAges.clear();
    clockStart = kClockStart;
    idleTimer = 0.0f;
    skipTimer = 0.0f;
}

void CInvestigation::LoadStringTables()
{
    aLocaleServer* locale = resManager ? resManager->GetLocaleServer() : nullptr;
    textFile = internalLanguage ? folder + "Locale/investigation.txt"
                                : "language:_Investigations/" + name + "/investigation.txt";
    if (!locale)
        return;
    if (file_isExistOrPacked(kCommonText))
        locale->loadFile(kCommonText, name);
    if (file_isExistOrPacked(textFile))
        locale->loadFile(textFile, name);
}

void CInvestigation::ReadClicksWarning()
{
    const std::string path = folder + kIniFile;
    clicksLimit = kDefaultClicksLimit;
    timeBetweenClicks = kDefaultTimeBetweenClicks;
    clickTimeOut = kDefaultClickTimeOut;
    std::string text;
    if (sectionValue(ini, "clicks_limit", text)) {
        errno = 0;
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        // A limit below 1 would raise the warning in every frame.
        if (end == text.c_str() || errno == ERANGE || value < 1 || value > 32767)
            a_log("CInvestigation::Load(). '%s': [ClicksWarning] clicks_limit = '%s' is not a count of clicks; %d used",
                  path.c_str(), text.c_str(), int(kDefaultClicksLimit));
        else
            clicksLimit = std::int16_t(value);
    }
    timeBetweenClicks = seconds(ini, "time_between_clicks", kDefaultTimeBetweenClicks, path);
    clickTimeOut = seconds(ini, "time_out", kDefaultClickTimeOut, path);
}

void CInvestigation::Start()
{
    if (state != StateLoaded || (resManager && !resManager->IsLoaded()))
        return;
    globalMap = rooms && rooms->HasRoom(CGlobalMap::kClassName) ? rooms->GetRoom(CGlobalMap::kClassName) : nullptr;
    murderHunt = rooms && rooms->HasRoom(CMurderHunt::kRoomName)
                     ? dynamic_cast<CMurderHunt*>(rooms->GetRoom(CMurderHunt::kRoomName))
                     : nullptr;
    invCards = rooms && rooms->HasRoom(CInvCards::kClassName) ? rooms->GetRoom(CInvCards::kClassName) : nullptr;

    if (personages) {
        try {
            personages->CreatePersonages(ini, nullptr, rooms);
        } catch (const aException&) {
            a_log("CInvestigation::Start(). Investigation '%s' plays without the personages it lacks", name.c_str());
        }
        personages->LoadRoomAiDataForAll(folder + "GlobalMap.AI/", CGlobalMap::kClassName);
        personages->LoadAllRoomAiData(folder, name);
    }
    if (!findAll) {
        if (rooms)
            rooms->AfterLoadInitRooms(folder, murderHunt, invCards);
    } else {
        CountFindAllItems();
    }
    if (file_isExistOrPacked(folder + kEventsFile))
        events.AddEvents(folder + kEventsFile);
    aSoundManager* sounds = resManager ? resManager->GetSoundManager() : nullptr;
    multiClickSound = sounds && sounds->HasSound("multiclick", "") ? sounds->GetSound("multiclick", "") : nullptr;
    if (sounds)
        aAmbientSoundSystem::ReleaseUnusedResources(sounds);
    state = StateStarted;
}

void CInvestigation::CountFindAllItems()
{
    if (!personages)
        return;
    aStringList list;
    if (file_isExistOrPacked(folder + CRoomsManager::kRoomsList))
        list.load(folder + CRoomsManager::kRoomsList);
    // What the player will have to find in each room before it is loaded:
    // the items its pool will take, not every section (doors, scenery).
    for (const std::string& room : list.lines())
        personages->SetRoomItemsCount(room, CSpyItemManager::CountPooledItems(
                                                std::string(CRoomsManager::kLocationsFolder) + room + "/" +
                                                CSpyItemManager::kItemsFile));
    for (const char* room : {CGlobalMap::kClassName, CInvCards::kClassName, CMurderHunt::kRoomName})
        personages->SetRoomItemsCount(room, 0);
}

std::int16_t CInvestigation::CentreCoordinate(std::int16_t start, std::int16_t extent, std::int32_t size)
{
    const std::int32_t free = std::int32_t(extent) - size;
    // Halves go toward minus infinity: a room wider than the area by an odd
    // number of pixels sits one pixel further left.
    const std::int32_t half = free >= 0 ? free / 2 : -((-free + 1) / 2);
    return std::int16_t(std::int32_t(start) + half);
}

void CInvestigation::CentreRoom(CRoomBase& room) const
{
    room.SetPos(float(CentreCoordinate(area.x, area.width, room.GetScaledWidth())),
                float(CentreCoordinate(area.y, area.height, room.GetScaledHeight())));
}

void CInvestigation::ResetForStart(bool keepProgress)
{
    if (state <= StateLoaded)
        return;
    highlightPhase = -1.0f;
    currentRoom = nullptr;
    mapEnabled = 1;
    fadeAlpha = 1.0f;
    mapLocation.clear();
    pendingRoom.clear();
    history.clear();
    highlightedItems.clear();
    pickedItem = nullptr;
    identifiedItem = nullptr;
    if (dialogs)
        dialogs->HideAll();

    if (personages)
        personages->ResetPersonages(keepProgress, findAll != 0);
    if (rooms)
        rooms->ResetRooms(folder);
    if (CGlobalMap* map = dynamic_cast<CGlobalMap*>(globalMap))
        map->SetModeFlags(findAll != 0, name == "1chapter");
    if (murderHunt)
        murderHunt->SetFindAll(findAll != 0);
    CDialogSpyGamePanel* panel = Panel();
    if (panel)
        panel->SetFindAllMode(findAll != 0);

    if (CInvCards* cards = dynamic_cast<CInvCards*>(invCards))
        cards->NewInvestigation(name, keepProgress);
    if (murderHunt)
        murderHunt->NewInvestigation(name, keepProgress);

    if (dialogs)
        dialogs->ResetTipCounters(!keepProgress);
    if (!keepProgress) {
        tipEvents.Reset();
        randomClickingShown = 0;
    }

    if (rooms)
        for (const auto& entry : rooms->GetRooms())
            if (entry.second && entry.second->GetClassName() != CGlobalMap::GetClassStaticName())
                CentreRoom(*entry.second);

    events.ResetEvents(name);
    if (CGlobalMap* map = dynamic_cast<CGlobalMap*>(globalMap))
        map->SetEventsManager(&events);
    if (dialogs)
        dialogs->HideDialogs();
    if (panel) {
        SetPanelButtonVisible(CDialogSpyGamePanel::BlockWidget, false);
        panel->SetBlockPause(!panel->IsISpyRoom());
        panel->SetHintsCount(3);
        panel->SetClockTime(clockStart);
        panel->SetRoomPause(!panel->IsISpyRoom());
    }

    if (personages && !personages->GetActiveNames().empty())
        SelectPersonage(personages->GetActiveNames().front());
    else
        a_log("CInvestigation::ResetForStart(). Investigation '%s' has no active personage", name.c_str());

    aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
    if (input && !input->m_hasMouse)
        input->createMouse(input->m_useSystemCursor, true);

    idleTimer = 0.0f;
    previousState = kNoState;
    pauseState = kNoState;
    clickAges.clear();
    useHintsTipShown = 0;
    faTutorialPending = 1;
    introTextPending = 1;
    idleTipIndex = 1;
    findAllHintsUsed = 0;
    state = StateReady;
}

void CInvestigation::Entry()
{
    if (state != StateReady)
        return;
    history.clear();
    if (CDialogSpyGamePanel* panel = Panel())
        if (!panel->IsVisible())
            panel->Show();
    SetPanelButtonEnabled(CDialogSpyGamePanel::BtnCardRoom, true);
    SetPanelButtonEnabled(CDialogSpyGamePanel::BtnMap, mapEnabled && globalMap);

    if (!findAll && murderHunt)
        murderHunt->EntryNewInvestigation(ini.getValueDef("Main", "MHRoom", std::string()));

    if (!startRoom.empty()) {
        if (rooms && rooms->HasRoom(startRoom)) {
            currentRoom = rooms->GetRoom(startRoom);
            currentRoom->Entry(0);
            const CGlobalMap* map = dynamic_cast<const CGlobalMap*>(globalMap);
            mapLocation = map && map->HasLocation(startRoom) ? startRoom : std::string();
            UpdatePanelButtons();
            state = StatePlay;
        } else {
            a_log("CInvestigation::Entry(). Not find start room '%s'.", startRoom.c_str());
            // The case would otherwise stay stuck with nothing to play.
            if (globalMap)
                GoToMap();
        }
    } else if (globalMap) {
        GoToMap();
    } else {
        a_log("CInvestigation::Entry(). Not exist map and not define start room!");
    }

    PlayCaseMusic();
    aAmbientSoundSystem::SetVolume(CurrentProfile::Get().ambientVolume);
    if (state != StateReady)
        ProcessEvents();
    clockStart = kClockStart;
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetClockTime(clockStart);
    marivelCommentShown = 0;
    idleTipIndex = 1;
    if (findAll)
        introTextPending = 0;
}

void CInvestigation::PlayCaseMusic() const
{
    aMusicManager* musicManager = resManager ? resManager->GetMusicManager() : nullptr;
    if (musicManager && !music.empty())
        musicManager->ChangeMusic(music, CurrentProfile::Get().musicVolume, true, true, std::string());
}

// ------------------------------------------------------------------ the next steps' slots


