#include "rooms_fixture.h"

#include <filesystem>

#include "game/SpyGame/items/SpyItemKinds.h"
#include "support/jng_writer.h"

namespace roomtest {

// ------------------------------------------------------------------ context

std::vector<std::string> RecordingContext::take()
{
    std::vector<std::string> out;
    out.swap(calls);
    return out;
}

bool RecordingContext::HasItemInfo(const std::string& item)
{
    add("HasItemInfo(" + item + ")");
    return true;
}

void RecordingContext::GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool refill, bool force)
{
    add("GenISpyTaskInRoom(" + room + "," + std::to_string(count) + "," + std::to_string(refill) + "," +
        std::to_string(force) + ")");
    pending = false;
}

namespace {
std::string lookup(const std::map<std::string, std::string>& table, const std::string& key)
{
    const auto it = table.find(key);
    return it == table.end() ? std::string() : it->second;
}
} // namespace

std::string RecordingContext::GetItemAbout(const CSpyItemRef& item)
{
    add("GetItemAbout(" + item.ToString() + ")");
    return lookup(about, item.name);
}

void RecordingContext::OnApplyItemToFocusedItem(const CSpyItemRef& held)
{
    add("OnApplyItemToFocusedItem(" + held.ToString() + ")");
}

std::string RecordingContext::ClickItemAndGetBadUse(const CSpyItemRef& item)
{
    add("ClickItemAndGetBadUse(" + item.ToString() + ")");
    return lookup(badUse, item.name);
}

bool RecordingContext::CanUseItemTo(const std::string& held, const CSpyItemRef& target)
{
    add("CanUseItemTo(" + held + "," + target.ToString() + ")");
    return canUse.count({held, target.name}) != 0;
}

std::string RecordingContext::GetItemClickUse(const CSpyItemRef& item)
{
    add("GetItemClickUse(" + item.ToString() + ")");
    return lookup(clickUse, item.name);
}

std::string RecordingContext::GetItemSuccessApply(const std::string& held)
{
    add("GetItemSuccessApply(" + held + ")");
    return lookup(successApply, CSpyItemRef::Parse(held).name);
}

bool RecordingContext::IsItemUseToOneself(const CSpyItemRef& item)
{
    add("IsItemUseToOneself(" + item.ToString() + ")");
    return oneself.count(item.name) != 0;
}

CSpyItemRef RecordingContext::GetItemCursorBigItem(const CSpyItemRef& item)
{
    const auto it = bigItem.find(item.name);
    return it == bigItem.end() ? CSpyItemRef() : it->second;
}

void RecordingContext::SetupRoom(const std::string& titleKey, const std::vector<CFindItemsGroup>* tasks,
                                 const std::vector<CFindItemsGroup>* clues, const std::string& roomKey,
                                 bool murderHunt, bool ispy)
{
    const auto name = [&](const std::vector<CFindItemsGroup>* list) {
        return list == &taskList ? "task" : list == &clueList ? "clue" : list == &ispyList ? "ispy" : "other";
    };
    add("SetupRoom(" + titleKey + "," + name(tasks) + "," + name(clues) + "," + roomKey + "," +
        std::to_string(murderHunt) + "," + std::to_string(ispy) + ")");
}

bool RecordingContext::IsPointInside(std::int32_t x, std::int32_t y)
{
    lastPoint = std::to_string(x) + "," + std::to_string(y);
    return pointInside;
}

void RecordingContext::ShowMessage(const std::string& id, const std::string& prefix, bool timed)
{
    add("ShowMessage(" + id + "," + prefix + "," + std::to_string(timed) + ")");
}

bool RecordingContext::IsMouseOverTip()
{
    ++tipQueries;
    return overTip;
}

std::vector<CFindItemsGroup> lines(const std::vector<std::string>& names)
{
    std::vector<CFindItemsGroup> out;
    for (const std::string& n : names) {
        out.emplace_back(n, CFindItem::Pick, true);
        out.back().Reset();
    }
    return out;
}

// ------------------------------------------------------------------ game

void writeTestGame(const std::string& dir)
{
    namespace fs = std::filesystem;
    fs::copy(test_env::sourceDir() + "/tests/game/SpyGame/Rooms/TestGame", dir,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const auto picture = [](const std::string& path, int w, int h, std::uint32_t argb) {
        test_env::writeFile(path, jng_writer::buildPng(w, h, imgtest::solid(w, h, argb)));
    };
    picture(dir + "_Locations/Rooms/Hall/sq.png", 20, 20, kSquare);
    picture(dir + "_Locations/Rooms/Desk/sq.png", 20, 20, kSquare);
    picture(dir + "_Locations/Rooms/Hall/bg.png", 400, 300, 0xFF404040);
    picture(dir + "Particles/star.png", 4, 4, 0xFFFFFFFF);
}

void RoomsTest::SetUp()
{
    GuiBench::SetUp();
    if (HasFatalFailure())
        return;
    mouse.clientWidth = 1024;
    mouse.clientHeight = 768;
    RegisterItemKinds();
    RegisterObjectKinds();
    RegisterRoomKinds();
    const std::string data = test_env::home() + "/GameData/";
    writeTestGame(data);
    app.m_fileServer.setAssign("gamedata", data);
    app.m_fileServer.setAssign("language", "gamedata:Language/English/");
    anims = std::make_unique<aAdvAnimManager>();
    anims->m_imageManager = images.get();
    particles = std::make_unique<CParticleManager>(images.get());
    images->LoadList(data + "Particles/_images.list", "");
    particles->LoadList(data + "Particles/_particles.list", "");
    CRoomServices services;
    services.res.images = images.get();
    services.res.anims = anims.get();
    services.res.particles = particles.get();
    services.res.locale = &locale;
    services.res.gui = gui.get();
    services.sounds = &sounds;
    services.input = input;
    rooms.SetServices(services);
    rooms.Init(nullptr, nullptr, &ctx);
}

void RoomsTest::TearDown()
{
    rooms.ReleaseAll();
    particles.reset();
    anims.reset();
    GuiBench::TearDown();
}

void RoomsTest::load()
{
    rooms.LoadRooms(kCase, nullptr);
    images->LoadAll();
    anims->LoadAll();
    rooms.AfterLoadInitRooms(kCase, nullptr, nullptr);
    rooms.ResetRooms(kCase);
    room("Hall").SetPos(100.0f, 0.0f);
    room("Desk").SetPos(100.0f, 0.0f);
}

int cx(const CSpyItem& item)
{
    float x = 0.0f, y = 0.0f;
    item.GetPos(x, y);
    return int(x + item.GetWidth() / 2);
}

int cy(const CSpyItem& item)
{
    float x = 0.0f, y = 0.0f;
    item.GetPos(x, y);
    return int(y + item.GetHeight() / 2);
}

int RoomsTest::click(CRoomBase& target, int x, int y)
{
    mouse.push(1, x, y);
    frame();
    const int result = target.Update(0.02f, false);
    mouse.push(0, x, y);
    frame();
    return result;
}

void RoomsTest::moveTo(int x, int y)
{
    mouse.push(0, x, y);
    frame();
}

std::size_t RoomsTest::logged(const std::string& text)
{
    const std::string log = newLog();
    std::size_t n = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

} // namespace roomtest
