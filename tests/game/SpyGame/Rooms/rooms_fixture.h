#pragma once
// Rooms on the test game (TestGame/ beside this file, copied into the test's
// home with its pictures drawn here) through a recording context, on the
// recording device with scripted input.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gui/gui_test_bench.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_locale_server.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/c_particle_manager.h"

namespace roomtest {

constexpr const char* kCase = "gamedata:_Investigations/case1/";
constexpr std::uint32_t kSquare = 0xFF20C040;  // every item: 20 x 20

// Records what rooms ask and do as "Name(args)" and answers from its
// tables. Pure lookups are answered without a record (the panel and tip
// queries leave the point asked and a count).
class RecordingContext : public CRoomContext {
public:
    // The calls since the last take.
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }

    std::vector<std::string> calls;
    std::map<std::string, std::string> about, clickUse, badUse, successApply;  // by item name
    std::set<std::string> oneself, hideCursor;
    std::set<std::pair<std::string, std::string>> canUse;  // held, target
    std::map<std::string, CSpyItemRef> bigItem;
    std::string enterText, roomTask, lastPoint;
    bool findAll = false, pending = false, pointInside = false, overBox = false, overTip = false;
    bool tipFindable = false;  // what the last tip query was told
    std::uint32_t ispyCount = 0;
    int tipQueries = 0;
    std::vector<CFindItemsGroup> taskList, ispyList, clueList;

    void SetCurrentRoom(const std::string& room) override { add("SetCurrentRoom", room); }
    bool HasItemInfo(const std::string& item) override { return add("HasItemInfo", item), true; }
    std::string GetEnterRoomText() override { return enterText; }
    std::string GetCurrentRoomTask() override { return roomTask; }
    bool HasRoomTasks(const std::string&) override { return !ispyList.empty(); }
    const std::vector<CFindItemsGroup>* GetTaskList(const std::string&) override { return &taskList; }
    const std::vector<CFindItemsGroup>* GetISpyList(const std::string&) override { return &ispyList; }
    const std::vector<CFindItemsGroup>* GetClueList(const std::string&) override { return &clueList; }
    bool IsFindAll() override { return findAll; }
    bool IsISpyPending(const std::string&) override { return pending; }
    std::uint32_t GetISpyItemsCount(const std::string&) override { return ispyCount; }
    void GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool refill, bool force) override
    {
        add("GenISpyTaskInRoom", room, count, refill, force);
        pending = false;
    }

    std::string GetItemAbout(const CSpyItemRef& i) override { return add("GetItemAbout", i), find(about, i.name); }
    void OnClickAtFocusedItem(const CSpyItemRef& i) override { add("OnClickAtFocusedItem", i); }
    void OnApplyItemToFocusedItem(const CSpyItemRef& held) override { add("OnApplyItemToFocusedItem", held); }
    void MarkFocusedItemAndApplyScripts() override { add("MarkFocusedItemAndApplyScripts"); }
    std::string ClickItemAndGetBadUse(const CSpyItemRef& i) override
    {
        return add("ClickItemAndGetBadUse", i), find(badUse, i.name);
    }
    bool CanUseItemTo(const std::string& held, const CSpyItemRef& target) override
    {
        return add("CanUseItemTo", held, target), canUse.count({held, target.name}) != 0;
    }
    std::string GetItemClickUse(const CSpyItemRef& i) override { return add("GetItemClickUse", i), find(clickUse, i.name); }
    std::string GetItemSuccessApply(const std::string& held) override
    {
        return add("GetItemSuccessApply", held), find(successApply, CSpyItemRef::Parse(held).name);
    }
    bool IsItemUseToOneself(const CSpyItemRef& i) override { return add("IsItemUseToOneself", i), oneself.count(i.name); }
    CSpyItemRef GetItemCursorBigItem(const CSpyItemRef& i) override
    {
        return bigItem.count(i.name) ? bigItem[i.name] : CSpyItemRef();
    }
    bool IsItemHideCursorInRoom(const CSpyItemRef& i) override { return hideCursor.count(i.name) != 0; }

    void SetupRoom(const std::string& title, const std::vector<CFindItemsGroup>* tasks,
                   const std::vector<CFindItemsGroup>* clues, const std::string& room, bool hunt, bool ispy) override
    {
        add("SetupRoom", title, tasks == &taskList ? "task" : "other", clues == &clueList ? "clue" : "other", room, hunt,
            ispy);
    }
    void SetMode(std::int32_t mode) override { add("SetMode", mode); }
    void AddFoundItem(const std::string& name) override { add("AddFoundItem", name); }
    void MarkItemTask(const std::string& key) override { add("MarkItemTask", key); }
    void AddExtraHint() override { add("AddExtraHint"); }
    void StartContinueMagicStars() override { add("StartContinueMagicStars"); }
    void ShowSkipBonusRound(bool show) override { add("ShowSkipBonusRound", show); }
    bool IsPointInside(std::int32_t x, std::int32_t y) override
    {
        lastPoint = std::to_string(x) + "," + std::to_string(y);
        return pointInside;
    }
    void ShowMessage(const std::string& id, const std::string& prefix, bool timed) override
    {
        add("ShowMessage", id, prefix, timed);
    }
    bool IsPointOverBox(std::int32_t, std::int32_t) override { return overBox; }
    bool TipTakesPress(bool findableUnder) override
    {
        ++tipQueries;
        tipFindable = findableUnder;
        return overTip;
    }

private:
    static std::string text(const std::string& v) { return v; }
    static std::string text(const char* v) { return v; }
    static std::string text(const CSpyItemRef& v) { return v.ToString(); }
    template <class T>
    static std::string text(T v)
    {
        return std::to_string(v);
    }
    template <class... A>
    void add(const char* name, const A&... args)
    {
        std::string call = std::string(name) + "(";
        ((call += text(args) + ","), ...);
        if (call.back() == ',')
            call.pop_back();
        calls.push_back(call + ")");
    }
    static std::string find(const std::map<std::string, std::string>& table, const std::string& key)
    {
        const auto it = table.find(key);
        return it == table.end() ? std::string() : it->second;
    }
};

// The screen centre of an item.
int cx(const CSpyItem& item);
int cy(const CSpyItem& item);
// A find-item line of one-entry groups.
std::vector<CFindItemsGroup> lines(const std::vector<std::string>& names);
// The line "coins" of the hall's coin_1 and coin_2, nothing found.
CFindItemsGroup coinsLine();
// The rooms manager saved alone into the file; the file's bytes.
std::string save(CRoomsManager& rooms, const std::string& path);
// Whether its block loaded.
bool restore(CRoomsManager& rooms, const std::string& path);

// The rooms manager on a game's data folder through the recording context,
// with scripted input, on Base's graphics server of 1024 x 768.
template <class Base>
class RoomsBench : public guitest::GuiBench<Base> {
protected:
    // The data folder, ending in '/'.
    virtual std::string data() = 0;

    void SetUp() override
    {
        guitest::GuiBench<Base>::SetUp();
        if (this->HasFatalFailure())
            return;
        this->mouse.clientWidth = 1024;
        this->mouse.clientHeight = 768;
        RegisterItemKinds();
        RegisterObjectKinds();
        RegisterRoomKinds();
        const std::string folder = data();
        this->app.m_fileServer.setAssign("gamedata", folder);
        this->app.m_fileServer.setAssign("language", "gamedata:Language/English/");
        anims = std::make_unique<aAdvAnimManager>();
        anims->m_imageManager = this->images.get();
        particles = std::make_unique<CParticleManager>(this->images.get());
        this->images->LoadList(folder + "Particles/_images.list", "");
        particles->LoadList(folder + "Particles/_particles.list", "");
        CRoomServices services;
        services.res = {this->images.get(), anims.get(), particles.get(), &locale, this->gui.get()};
        services.sounds = &sounds;
        services.input = this->input;
        rooms.SetServices(services);
        rooms.Init(nullptr, nullptr, &ctx);
    }
    void TearDown() override
    {
        rooms.ReleaseAll();
        particles.reset();
        anims.reset();
        guitest::GuiBench<Base>::TearDown();
    }

    // A case loaded as the investigation loads it.
    void load(const std::string& caseFolder)
    {
        rooms.LoadRooms(caseFolder, nullptr);
        this->images->LoadAll();
        anims->LoadAll();
        rooms.AfterLoadInitRooms(caseFolder, nullptr, nullptr);
        rooms.ResetRooms(caseFolder);
    }
    CRoomBase& room(const std::string& name) { return *rooms.GetRoom(name); }
    CSpyItem& item(const std::string& roomName, const std::string& name) { return *rooms.GetItem(roomName, name); }
    // One frame with the left button pressed at (x, y), the room updated in
    // it, then a frame with the button up. The room's result.
    int click(CRoomBase& target, int x, int y)
    {
        this->mouse.push(1, x, y);
        this->frame();
        const int result = target.Update(0.02f, false);
        moveTo(x, y);
        return result;
    }
    int click(CRoomBase& target, const CSpyItem& on) { return click(target, cx(on), cy(on)); }
    int click(CRoomBase& target, const std::string& name) { return click(target, item(target.GetName(), name)); }
    // The mouse moved, no button.
    void moveTo(int x, int y)
    {
        this->mouse.push(0, x, y);
        this->frame();
    }

    std::unique_ptr<aAdvAnimManager> anims;
    std::unique_ptr<CParticleManager> particles;
    aLocaleServer locale;
    aSoundManager sounds;
    RecordingContext ctx;
    CRoomsManager rooms;
};

// The test game on the recording device; Hall and Desk at (100, 0).
class RoomsTest : public RoomsBench<imgtest::RecordingTest> {
protected:
    const char* appName() const override { return "RoomsTest"; }
    std::uint16_t screenWidth() const override { return 1024; }
    std::uint16_t screenHeight() const override { return 768; }
    // Copies TestGame/ into the home and draws its pictures.
    std::string data() override;

    void load();
    // How often the log got the text since the last call.
    std::size_t logged(const std::string& text);
};

} // namespace roomtest
