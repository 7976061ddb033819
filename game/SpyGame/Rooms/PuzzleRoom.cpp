#include "game/SpyGame/Rooms/PuzzleRoom.h"

#include "game/SpyGame/Rooms/RoomContext.h"
#include "game/SpyGame/Rooms/RoomData.h"

void CPuzzleRoom::LoadSettings(CRoomData& data)
{
    CRoomBase::LoadSettings(data);
    m_hintsDisabled = data.GetFlag("HintsDisabled", true);
    m_continueButton = data.GetFlag("ContinueButton", true);
    m_skipBonusRound = data.GetFlag("SkipBonusRound", true);
}

int CPuzzleRoom::Update(float dt, bool passive)
{
    // The base update turns a left click into ClickAtFocusedItem; during it
    // that means play, not the skip.
    m_inUpdate = true;
    const int result = CRoomBase::Update(dt, passive);
    m_inUpdate = false;
    return result;
}

void CPuzzleRoom::ClickAtFocusedItem()
{
    if (m_inUpdate) {
        PlayClick();
        return;
    }
    if (!IsSolved())
        Solve();
}

void CPuzzleRoom::Solve()
{
    m_puzzleComplete = 1;
    CRoomContext& context = Context();
    context.ShowSkipBonusRound(false);
    context.StartContinueMagicStars();
}
