// The game panel's save record: counters, clock, hint recharge, the widgets
// the game switches during play and the found names not yet consumed.
#include <cmath>

#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/shell/save_load_system.h"

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

CDialogSpyGamePanel::Record CDialogSpyGamePanel::CurrentRecord() const
{
    Record r;
    r.pulse = m_pulsePhase;
    r.hints = m_hintsLeft;
    r.hintAllowed = m_hintAllowed;
    r.flagOne = m_flagOne;
    r.flagTwo = m_flagTwo;
    const GUI::Widget* window = GetWindow();
    r.window = window && window->IsVisible();
    r.blockHidden = !PartVisible(BlockWidget);
    r.back = PartVisible(Back);
    r.skipWithBack = PartVisible(SkipWithBack);
    r.skipCenter = PartVisible(SkipCenter);
    r.map = PartEnabled(BtnMap);
    r.cardRoom = PartEnabled(BtnCardRoom);
    r.infoMap = PartVisible(InfoMap);
    r.infoSpyRoom = PartVisible(InfoSpyRoom);
    r.murderHunt = PartVisible(BtnMurderHunt);
    r.value = m_panelValue;
    r.showsPaused = m_showsPaused;
    r.roomPause = m_roomPause;
    r.lastFrameTime = m_lastFrameTime;
    r.lowTime = m_lowTime;
    r.seconds = m_secondsLeft;
    r.mode = m_mode;
    r.foundNames = m_foundNames;
    r.foundChanged = m_foundChanged;
    r.continueVisible = PartVisible(Continue);
    r.recharge = m_rechargeRunning;
    r.rechargeTimer = m_rechargeTimer;
    return r;
}

std::uint32_t CDialogSpyGamePanel::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    const Record r = CurrentRecord();
    pos = system.WriteF32(pos, r.pulse);
    pos = system.WriteU32(pos, r.hints);
    for (std::uint8_t b : {r.hintAllowed, r.flagOne, r.flagTwo, r.window, r.blockHidden, r.back, r.skipWithBack,
                           r.skipCenter, r.map, r.cardRoom, r.infoMap, r.infoSpyRoom, r.murderHunt})
        pos = system.WriteU8(pos, b);
    pos = system.WriteF32(pos, r.value);
    pos = system.WriteU8(pos, r.showsPaused);
    pos = system.WriteU8(pos, r.roomPause);
    pos = system.WriteF32(pos, r.lastFrameTime);
    pos = system.WriteU8(pos, r.lowTime);
    pos = system.WriteF32(pos, r.seconds);
    pos = system.WriteI32(pos, r.mode);
    pos = system.WriteStringList(pos, r.foundNames);
    for (std::uint8_t b : {r.foundChanged, r.continueVisible, r.recharge})
        pos = system.WriteU8(pos, b);
    return system.WriteF32(pos, r.rechargeTimer);
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

void CDialogSpyGamePanel::ResetForNewGame()
{
    if (m_initial)
        ApplyRecord(*m_initial);
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
