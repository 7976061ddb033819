#pragma once
// What scripted events ask of the investigation that owns them: the narrow
// part their readiness tests and the events files' log lines need. The
// investigation implements it; tests use a fake. Main thread only.
#include <string>

class CPersonagesManager;
class CRoomBase;
class CRoomsManager;

class CSpyEventsOwner {
public:
    virtual ~CSpyEventsOwner() = default;

    // The case's name.
    virtual std::string GetName() const = 0;
    // The timed find-all game, whose rooms load on demand.
    virtual bool IsFindAll() const = 0;
    // Null while the player is in no room.
    virtual CRoomBase* GetCurrentRoom() const = 0;
    // No room to go back to: the player is not in a close-up.
    virtual bool IsHistoryEmpty() const = 0;
    virtual CPersonagesManager* GetPersonagesManager() const = 0;
    virtual CRoomsManager* GetRoomsManager() const = 0;
    // The in-game message dialog is shown.
    virtual bool IsMessageVisible() const = 0;
};
