#pragma once
// Puzzle rooms. A click in play goes to the puzzle's own play; the room's
// ClickAtFocusedItem is the solve the player may ask for (the skip), which
// does nothing once the puzzle is solved. Solving hides the skip buttons,
// so that a later skip cannot count against the player. Puzzles default
// HintsDisabled, ContinueButton and SkipBonusRound to 1; their data may
// say otherwise. They draw no inventory strip. Main thread only.
#include "game/SpyGame/Rooms/RoomBase.h"

class CPuzzleRoom : public CRoomBase {
public:
    int Update(float dt, bool passive) override;
    void ClickAtFocusedItem() override;
    bool ShowsInventory() const override { return false; }
    virtual bool IsSolved() const { return m_puzzleComplete != 0; }

protected:
    void LoadSettings(CRoomData& data) override;
    // A click in play; the plain room's item click by default.
    virtual void PlayClick() { CRoomBase::ClickAtFocusedItem(); }
    // The skip: the puzzle complete, the skip buttons hidden, the continue
    // button's stars started.
    virtual void Solve();

private:
    bool m_inUpdate = false;
};

// The jigsaw, the chopped message and the clue-tile matching are shells:
// plain rooms that can only be skipped; their play is not built.
class CPicture : public CPuzzleRoom {
public:
    static constexpr const char* kClassName = "Picture";
    std::string GetClassName() const override { return kClassName; }
};

class CChoppedMessage : public CPuzzleRoom {
public:
    static constexpr const char* kClassName = "ChoppedMessage";
    std::string GetClassName() const override { return kClassName; }
};

class CClueMatching : public CPuzzleRoom {
public:
    static constexpr const char* kClassName = "ClueMatching";
    std::string GetClassName() const override { return kClassName; }
};
