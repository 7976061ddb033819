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
    std::vector<std::string> take();

    std::vector<std::string> calls;
    std::map<std::string, std::string> about, clickUse, badUse, successApply;  // by item name
    std::set<std::string> oneself;
    std::set<std::pair<std::string, std::string>> canUse;  // held, target
    std::map<std::string, CSpyItemRef> bigItem;
    std::string enterText, roomTask;
    bool findAll = false, pending = false, pointInside = false, overTip = false;
    std::uint32_t ispyCount = 0;
    std::vector<CFindItemsGroup> taskList, ispyList, clueList;

    void SetCurrentRoom(const std::string& room) override { add("SetCurrentRoom(" + room + ")"); }
    bool HasItemInfo(const std::string& item) override;
    std::string GetEnterRoomText() override { return enterText; }
    std::string GetCurrentRoomTask() override { return roomTask; }
    bool HasRoomTasks(const std::string&) override { return !ispyList.empty(); }
    const std::vector<CFindItemsGroup>* GetTaskList(const std::string&) override { return &taskList; }
    const std::vector<CFindItemsGroup>* GetISpyList(const std::string&) override { return &ispyList; }
    const std::vector<CFindItemsGroup>* GetClueList(const std::string&) override { return &clueList; }
    bool IsFindAll() override { return findAll; }
    bool IsISpyPending(const std::string&) override { return pending; }
    std::uint32_t GetISpyItemsCount(const std::string&) override { return ispyCount; }
    void GenISpyTaskInRoom(const std::string& room, std::int32_t count, bool refill, bool force) override;

    std::string GetItemAbout(const CSpyItemRef& item) override;
    void OnClickAtFocusedItem(const CSpyItemRef& item) override { add("OnClickAtFocusedItem(" + item.ToString() + ")"); }
    void OnApplyItemToFocusedItem(const CSpyItemRef& held) override;
    void MarkFocusedItemAndApplyScripts() override { add("MarkFocusedItemAndApplyScripts()"); }
    std::string ClickItemAndGetBadUse(const CSpyItemRef& item) override;
    bool CanUseItemTo(const std::string& held, const CSpyItemRef& target) override;
    std::string GetItemClickUse(const CSpyItemRef& item) override;
    std::string GetItemSuccessApply(const std::string& held) override;
    bool IsItemUseToOneself(const CSpyItemRef& item) override;
    CSpyItemRef GetItemCursorBigItem(const CSpyItemRef& item) override;
    bool IsItemHideCursorInRoom(const CSpyItemRef& item) override { return hideCursor.count(item.name) != 0; }

    void SetupRoom(const std::string& titleKey, const std::vector<CFindItemsGroup>* tasks,
                   const std::vector<CFindItemsGroup>* clues, const std::string& roomKey, bool murderHunt,
                   bool ispy) override;
    void SetMode(std::int32_t mode) override { add("SetMode(" + std::to_string(mode) + ")"); }
    void AddFoundItem(const std::string& name) override { add("AddFoundItem(" + name + ")"); }
    void MarkItemTask(const std::string& key) override { add("MarkItemTask(" + key + ")"); }
    void AddExtraHint() override { add("AddExtraHint()"); }
    void StartContinueMagicStars() override { add("StartContinueMagicStars()"); }
    void ShowSkipBonusRound(bool show) override { add(std::string("ShowSkipBonusRound(") + (show ? "1)" : "0)")); }
    bool IsPointInside(std::int32_t x, std::int32_t y) override;
    void ShowMessage(const std::string& id, const std::string& prefix, bool timed) override;
    bool IsMouseOverTip() override;

    std::set<std::string> hideCursor;
    std::string lastPoint;
    int tipQueries = 0;

private:
    void add(const std::string& call) { calls.push_back(call); }
};

// The screen centre of an item.
int cx(const CSpyItem& item);
int cy(const CSpyItem& item);
// A find-item line of one-entry groups.
std::vector<CFindItemsGroup> lines(const std::vector<std::string>& names);
// Copies TestGame/ into dir and draws its pictures.
void writeTestGame(const std::string& dir);

class RoomsTest : public guitest::GuiBench<imgtest::RecordingTest> {
protected:
    const char* appName() const override { return "RoomsTest"; }
    std::uint16_t screenWidth() const override { return 1024; }
    std::uint16_t screenHeight() const override { return 768; }

    void SetUp() override;
    void TearDown() override;

    // The case loaded as the investigation loads it; Hall and Desk at (100, 0).
    void load();
    CRoomBase& room(const std::string& name) { return *rooms.GetRoom(name); }
    CSpyItem& item(const std::string& roomName, const std::string& name)
    {
        return *rooms.GetItem(roomName, name);
    }
    // One frame with the left button pressed at (x, y), the room updated in
    // it, then a frame with the button up. The room's result.
    int click(CRoomBase& target, int x, int y);
    int click(CRoomBase& target, const CSpyItem& on) { return click(target, cx(on), cy(on)); }
    // The mouse moved, no button.
    void moveTo(int x, int y);
    // How often the log got the text since the last call.
    std::size_t logged(const std::string& text);

    std::unique_ptr<aAdvAnimManager> anims;
    std::unique_ptr<CParticleManager> particles;
    aLocaleServer locale;
    aSoundManager sounds;
    RecordingContext ctx;
    CRoomsManager rooms;
};

} // namespace roomtest
