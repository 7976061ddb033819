// The game panel's save record: counters, clock, hint recharge, the widgets
// the game switches during play and the found names not yet consumed.
#include <cmath>

#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/shell/save_load_system.h"

struct CDialogSpyGamePanel::Record {
    float pulse = 0.0f;
    std::uint32_t hints = 0;
    std::uint8_t hintAllowed = 0, flagOne = 0, flagTwo = 0, window = 0, blockHidden = 0, back = 0, skipWithBack = 0,
                 skipCenter = 0, map = 0, cardRoom = 0, infoMap = 0, infoSpyRoom = 0, murderHunt = 0;
    float value = 0.0f;
    std::uint8_t showsPaused = 0, roomPause = 0;
    float lastFrameTime = 0.0f;
    std::uint8_t lowTime = 0;
    float seconds = 0.0f;
    std::int32_t mode = 0;
    std::vector<std::string> foundNames;
    std::uint8_t foundChanged = 0, continueVisible = 0, recharge = 0;
    float rechargeTimer = 0.0f;
};

namespace {

// A stored float the panel can use: finite, within [low, high]; one that is
// not is logged.
bool checked(const char* field, float value, float low, float high)
{
    if (std::isfinite(value) && value >= low && value <= high)
        return true;
    a_log("CDialogSpyGamePanel::LoadSelf(). %s %g is out of range", field, double(value));
    return false;
}

} // namespace

std::uint32_t CDialogSpyGamePanel::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    const auto byte = [&](bool on) { pos = system.WriteU8(pos, on ? 1 : 0); };
    pos = system.WriteF32(pos, m_pulsePhase);
    pos = system.WriteU32(pos, m_hintsLeft);
    byte(m_hintAllowed);
    byte(m_flagOne);
    byte(m_flagTwo);
    const GUI::Widget* window = GetWindow();
    byte(window && window->IsVisible());
    byte(!PartVisible(BlockWidget));
    for (Part p : {Back, SkipWithBack, SkipCenter})
        byte(PartVisible(p));
    byte(PartEnabled(BtnMap));
    byte(PartEnabled(BtnCardRoom));
    for (Part p : {InfoMap, InfoSpyRoom, BtnMurderHunt})
        byte(PartVisible(p));
    pos = system.WriteF32(pos, m_panelValue);
    byte(m_showsPaused);
    byte(m_roomPause);
    pos = system.WriteF32(pos, m_lastFrameTime);
    byte(m_lowTime);
    pos = system.WriteF32(pos, m_secondsLeft);
    pos = system.WriteI32(pos, m_mode);
    pos = system.WriteStringList(pos, m_foundNames);
    byte(m_foundChanged);
    byte(PartVisible(Continue));
    byte(m_rechargeRunning);
    return system.WriteF32(pos, m_rechargeTimer);
}

std::uint32_t CDialogSpyGamePanel::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    Record r;
    pos = system.ReadF32(pos, r.pulse);
    pos = system.ReadU32(pos, r.hints);
    for (std::uint8_t* b : {&r.hintAllowed, &r.flagOne, &r.flagTwo, &r.window, &r.blockHidden, &r.back,
                            &r.skipWithBack, &r.skipCenter, &r.map, &r.cardRoom, &r.infoMap, &r.infoSpyRoom,
                            &r.murderHunt})
        pos = system.ReadU8(pos, *b);
    pos = system.ReadF32(pos, r.value);
    pos = system.ReadU8(pos, r.showsPaused);
    pos = system.ReadU8(pos, r.roomPause);
    pos = system.ReadF32(pos, r.lastFrameTime);
    pos = system.ReadU8(pos, r.lowTime);
    pos = system.ReadF32(pos, r.seconds);
    pos = system.ReadI32(pos, r.mode);
    pos = system.ReadStringList(pos, r.foundNames);
    for (std::uint8_t* b : {&r.foundChanged, &r.continueVisible, &r.recharge})
        pos = system.ReadU8(pos, *b);
    pos = system.ReadF32(pos, r.rechargeTimer);
    // A damaged record is reported by the save system and changes nothing here.
    if (system.HasOverrun())
        return pos;
    const bool usable = checked("Pulse phase", r.pulse, 0.0f, 2.0f) &
                        checked("Panel value", r.value, -kMaxSeconds, kMaxSeconds) &
                        checked("Frame time", r.lastFrameTime, 0.0f, 1.0f) &
                        checked("Clock", r.seconds, 0.0f, kMaxSeconds) &
                        checked("Hint recharge timer", r.rechargeTimer, 0.0f, kMaxSeconds);
    if (!usable) {
        system.RefuseRecord();
        return pos;
    }
    ApplyRecord(r);
    return pos;
}

void CDialogSpyGamePanel::ApplyRecord(const Record& r)
{
    Clear();
    m_pulsePhase = r.pulse;
    SetHintsCount(r.hints);
    EnableHint(r.hintAllowed != 0);
    m_flagOne = r.flagOne != 0;
    m_flagTwo = r.flagTwo != 0;
    if (r.window)
        Show();
    else
        Hide();
    SetPartVisible(BlockWidget, r.blockHidden == 0);
    // Clear dropped the i-spy flag, so the clock stays paused until the owner unblocks it.
    m_blockPause = !(r.blockHidden != 0 && m_ispyRoom);
    SetPartVisible(Back, r.back != 0);
    SetPartVisible(SkipWithBack, r.skipWithBack != 0);
    SetPartVisible(SkipCenter, r.skipCenter != 0);
    SetPartEnabled(BtnMap, r.map != 0);
    SetPartEnabled(BtnCardRoom, r.cardRoom != 0);
    SetPartVisible(InfoMap, r.infoMap != 0);
    SetPartVisible(NotebookISpy, r.infoSpyRoom != 0);
    SetPartVisible(NotebookNoISpy, r.infoSpyRoom == 0);
    SetPartVisible(BtnMurderHunt, r.murderHunt != 0);
    m_panelValue = r.value;
    m_showsPaused = r.showsPaused != 0;
    m_roomPause = r.roomPause != 0;
    m_lastFrameTime = r.lastFrameTime;
    m_lowTime = r.lowTime != 0;
    m_secondsLeft = r.seconds;
    m_mode = r.mode;
    m_foundNames = r.foundNames;
    m_foundChanged = r.foundChanged != 0;
    SetPartVisible(ContinueBtnPanel, r.continueVisible != 0);
    m_rechargeRunning = r.recharge != 0;
    m_rechargeTimer = r.rechargeTimer;
}
