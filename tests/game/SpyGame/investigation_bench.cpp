#include "investigation_bench.h"

#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_music_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_random.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"
#include "jng_writer.h"
#include "test_env.h"
#include "test_image_fixture.h"

namespace invtest {

const char* const kTipsIni = "[General]\nFadeTime = 0.3\nCloseAnywhereTime = 2.0\n"
                             "[first_global_map]\nTimesPerLevel = 1\n"
                             "[mh_first_photo]\nPointer = 1\nPointName = ENVELOPE\nTimesPerLevel = 5\n"
                             "[mh_instruction]\nTimesPerLevel = 5\n"
                             "[mh_first_sticker]\nTimesPerLevel = 5\n"
                             "[notepad]\nTimesPerLevel = 5\n"
                             "[map_tab]\nTimesPerLevel = 5\n"
                             "[skip]\nTimesPerLevel = 1\n";

const char* const kCaseIni = "[Main]\n"
                             "StartRoom = Hall\n"
                             "Music = investigation\n"
                             "MHRoom = Study\n"
                             "[PersonagesList]\n"
                             "Personages = Quennick, Marivel\n"
                             "StartPersonages = Quennick\n";

// ------------------------------------------------------------------ scripted room

void ScriptedRoom::Reset()
{
    calls.push_back("Reset");
    CRoomBase::Reset();
}

void ScriptedRoom::Entry(std::uint32_t value)
{
    calls.push_back("Entry(" + std::to_string(value) + ")");
    CRoomBase::Entry(value);
}

void ScriptedRoom::Exit()
{
    calls.push_back("Exit");
    CRoomBase::Exit();
}

int ScriptedRoom::Update(float dt, bool passive)
{
    CRoomBase::Update(dt, passive);
    if (script.empty())
        return m_result;
    const Step step = script.front();
    script.pop_front();
    m_result = step.result;
    if (step.result == ResultGoTo)
        m_targetRoom = step.target;
    else if (step.result == ResultCloseUp)
        m_closeUpRoom = step.target;
    else if (step.result == ResultPick)
        m_clickedItem = GetItemManager() && GetItemManager()->HasItem(step.target) ? GetItem(step.target) : nullptr;
    return m_result;
}

// ------------------------------------------------------------------ recording dialogs

void RecordingDialogs::Render()
{
    if (layers)
        layers->push_back("dialogs");
    CGameDialogsLink::Render();
}

void RecordingDialogs::HideDialogs()
{
    add("HideDialogs");
    CGameDialogsLink::HideDialogs();
}

void RecordingDialogs::HideAll()
{
    add("HideAll");
    CGameDialogsLink::HideAll();
}

void RecordingDialogs::ShowMessage(const std::string& id, const std::string& prefix, bool timed)
{
    add("ShowMessage(" + id + "," + prefix + "," + (timed ? "1" : "0") + ")");
    CGameDialogsLink::ShowMessage(id, prefix, timed);
}

void RecordingDialogs::ShowPause(bool show)
{
    add(show ? "ShowPause(1)" : "ShowPause(0)");
    CGameDialogsLink::ShowPause(show);
}

bool RecordingDialogs::ShowTip(const std::string& name, std::int32_t x, std::int32_t y)
{
    const bool shown = CGameDialogsLink::ShowTip(name, x, y);
    if (shown)
        shownTips.push_back(name + "@" + std::to_string(x) + "," + std::to_string(y));
    return shown;
}

void RecordingDialogs::ResetTipCounters(bool full)
{
    add(full ? "ResetTipCounters(1)" : "ResetTipCounters(0)");
    CGameDialogsLink::ResetTipCounters(full);
}

void RecordingDialogs::ShowTutorial(const std::string& textId)
{
    add("ShowTutorial(" + textId + ")");
    CGameDialogsLink::ShowTutorial(textId);
}

void RecordingDialogs::ShowInvCard(const std::shared_ptr<aImage>& card)
{
    add(card ? "ShowInvCard" : "ShowInvCard(null)");
    CGameDialogsLink::ShowInvCard(card);
}

void RecordingDialogs::ShowMHPhoto(const std::shared_ptr<aImage>& photo, const std::wstring& text)
{
    add(photo ? "ShowMHPhoto" : "ShowMHPhoto(null)");
    photoText = text;
    CGameDialogsLink::ShowMHPhoto(photo, text);
}

std::vector<std::string> RecordingDialogs::take()
{
    std::vector<std::string> out;
    out.swap(calls);
    return out;
}

// ------------------------------------------------------------------ probe

bool Probe::OnEvent(CSpyEventBase* event, const std::string& prefix)
{
    seen.push_back(prefix + ":" + event->GetEventName() + (event->IsDone() ? "+done" : ""));
    return true;
}

void Probe::DrawRooms()
{
    layers.push_back("rooms");
    CInvestigation::DrawRooms();
}

void Probe::DrawFlash()
{
    layers.push_back("flash");
    CInvestigation::DrawFlash();
}

// ------------------------------------------------------------------ bench

namespace {

std::string png(int w, int h, std::uint32_t argb)
{
    return jng_writer::buildPng(w, h, imgtest::solid(w, h, argb));
}

// A self-contained room folder: location.ini, items.ini, its pictures.
void writeRoom(const std::string& dir, const std::string& cls, int w, int h, std::uint32_t argb,
               const std::string& extra = "", const std::string& items = "")
{
    const std::string bg = file_getName(dir.substr(0, dir.size() - 1)) + "_bg";
    test_env::writeFile(dir + "location.ini", "[Room]\nClass = " + cls + "\nSize = " + std::to_string(w) + " "
                                                  + std::to_string(h) + "\n" + extra + "[Scene]\nObject = Image img="
                                                  + bg + " hit=0\n");
    test_env::writeFile(dir + "items.ini", items);
    test_env::writeFile(dir + "_images.list", bg + ".png 8888 8888\nsq.png 8888 8888\n");
    test_env::writeFile(dir + bg + ".png", png(w, h, argb));
    test_env::writeFile(dir + "sq.png", png(20, 20, 0xFF20C040));
}

} // namespace

template <class Base>
void InvestigationBench<Base>::SetUp()
{
    Base::SetUp();
    if (this->HasFatalFailure())
        return;
    CDialogSpyGamePanel::ResetSharedClockState();
    CurrentProfile::Get() = CurrentProfile();
    a_srand(1);
    this->loadDemoResources();
    aFileServer& files = this->app.m_fileServer;
    files.setAssign("music", "gamedata:Music/");
    files.setAssign("cases", test_env::home() + "/Cases/");
    this->res->GetMusicManager()->AddListToTask("music:playlist.txt", "", "");
    this->loadGui();
    RegisterItemKinds();
    RegisterObjectKinds();
    RegisterRoomKinds();
    RegisterEventKinds();
    CRoomFactory::Register<ScriptedRoom>(ScriptedRoom::kClassName);
    container = std::make_unique<CGameDialogs>();
    container->Init();
    panel = &container->panel;
    tipManager = &container->tipManager;
    banner = &container->banner;
    hint = &container->hint;
    loadTips();
    dialogs = std::make_unique<RecordingDialogs>(*container);
    personages = std::make_unique<CPersonagesManager>();
    context = std::make_unique<CDialogsRoomContext>(*personages, *container);
    rooms = std::make_unique<CRoomsManager>();
    rooms->SetServices(CRoomServices::FromGame());
    rooms->Init(personages.get(), nullptr, context.get());
    inv = std::make_unique<Probe>();
    dialogs->layers = &inv->layers;
    logged("");
}

template <class Base>
void InvestigationBench<Base>::TearDown()
{
    inv.reset();
    if (rooms)
        rooms->ReleaseAll();
    rooms.reset();
    context.reset();
    personages.reset();
    dialogs.reset();
    container.reset();
    CurrentProfile::Get() = CurrentProfile();
    Base::TearDown();
}

template <class Base>
void InvestigationBench<Base>::loadTips(const std::string& text)
{
    const std::string path = test_env::home() + "/tips.ini";
    test_env::writeFile(path, text.empty() ? kTipsIni : text);
    tipManager->LoadTips(path);
}

template <class Base>
std::string InvestigationBench<Base>::writeCase(const std::string& ini, const std::string& name)
{
    const std::string dir = test_env::home() + "/Cases/" + name + "/";
    test_env::writeFile(dir + "_investigation.ini", ini);
    test_env::writeFile(dir + "_rooms.list", "Hall\nWide\nClose\nStudy\nDecrypt\n");
    writeRoom(dir + "Hall/", "Scripted", 845, 768, 0xFFFFFFFF, "SoundOnBack = solve\nISpyRoom = 1\n",
              "[coin]\nPos = 100 100\nIsISpyItem = 1\nObject = Image img=sq\n");
    writeRoom(dir + "Wide/", "Scripted", 1024, 768, 0xFF808080, "AllowBack = 0\n");
    writeRoom(dir + "Close/", "Scripted", 600, 450, 0xFFFF0000, "ContinueButton = 1\nSkipBonusRound = 1\n");
    writeRoom(dir + "Study/", "Scripted", 845, 768, 0xFF0000FF, "",
              "[ENVELOPE]\nPos = 200 300\nObject = Image img=sq\n\n[MH_CONTAINER]\nPos = 400 500\n"
              "Object = Image img=sq\n");
    test_env::writeFile(dir + "Quennick.ai", "[INVESTIGATION]\nMustPickItems = coin\n");
    test_env::writeFile(dir + "Hall/Quennick.ai", "[ROOM]\nRoomTask = task_hall\nISpyItemsCount = 1\n");
    test_env::writeFile(dir + "Hall/Marivel.ai", "[ROOM]\nRoomTask = task_hall_m\n");
    test_env::writeFile(dir + "_events.ini", "[ShowMessage]\nEventName = case_hello\nTextId = hello\n");
    test_env::writeFile(dir + "Hall/_events.ini", "[ShowMessage]\nEventName = hall_hello\nTextId = hall_text\n");
    return dir;
}

template <class Base>
void InvestigationBench<Base>::addBoards()
{
    for (const char* board : {"GlobalMap", "MurderHunt", "InvCards"})
        rooms->AddRoom(board, std::string("gamedata:_Locations/Global/") + board + "/", inv.get());
    this->res->BeginLoading();
    while (!this->res->LoadStep()) {
    }
    for (const char* board : {"GlobalMap", "InvCards", "MurderHunt"})
        rooms->AfterLoadInitRoom(board, nullptr, nullptr);
    map = dynamic_cast<CGlobalMap*>(room("GlobalMap"));
    hunt = dynamic_cast<CMurderHunt*>(room("MurderHunt"));
    cards = dynamic_cast<CInvCards*>(room("InvCards"));
}

template <class Base>
void InvestigationBench<Base>::loadCase(const std::string& name, bool findAll, const std::string& folder)
{
    if (inv->GetState() == CInvestigation::StateConstructed)
        inv->Init(dialogs.get(), rooms.get(), personages.get());
    inv->Load(folder, name, findAll);
    this->res->BeginLoading();
    while (!this->res->LoadStep()) {
    }
    inv->Start();
}

template <class Base>
void InvestigationBench<Base>::playCase(const std::string& name)
{
    loadCase(name);
    inv->ResetForStart(false);
    inv->Entry();
}

template <class Base>
void InvestigationBench<Base>::setLanguage(const std::string& language)
{
    const std::string path = test_env::home() + "/Game.ini";
    test_env::writeFile(path, "[Language]\nName = " + language + "\n");
    this->ini.reset();
    this->ini = std::make_unique<CGameIni>(path, test_env::home() + "/");
}

template <class Base>
ScriptedRoom& InvestigationBench<Base>::scripted(const std::string& name)
{
    return dynamic_cast<ScriptedRoom&>(*rooms->GetRoom(name));
}

template <class Base>
std::size_t InvestigationBench<Base>::logged(const std::string& text)
{
    m_log += this->takeLog();
    std::size_t count = 0;
    for (std::size_t at = text.empty() ? std::string::npos : m_log.find(text); at != std::string::npos;
         at = m_log.find(text, at + 1))
        ++count;
    m_log.clear();
    return count;
}

template class InvestigationBench<dialogtest::RecordingDialogBench>;
template class InvestigationBench<dialogtest::GlDialogBench>;

} // namespace invtest
