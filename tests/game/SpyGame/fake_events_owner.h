#pragma once
// A stand-in for the investigation that owns scripted events, for tests and
// fuzz targets: every answer is a field to set.
#include <string>

#include "game/SpyGame/SpyEventsOwner.h"

class FakeEventsOwner : public CSpyEventsOwner {
public:
    std::string GetName() const override { return name; }
    bool IsFindAll() const override { return findAll; }
    CRoomBase* GetCurrentRoom() const override { return room; }
    bool IsHistoryEmpty() const override { return historyEmpty; }
    CPersonagesManager* GetPersonagesManager() const override { return personages; }
    CRoomsManager* GetRoomsManager() const override { return rooms; }
    bool IsMessageVisible() const override { return message; }

    std::string name;
    bool findAll = false, historyEmpty = true, message = false;
    CRoomBase* room = nullptr;
    CPersonagesManager* personages = nullptr;
    CRoomsManager* rooms = nullptr;
};
