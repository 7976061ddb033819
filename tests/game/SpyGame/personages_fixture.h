#pragma once
// Personages on the test case PersonGame/ beside this file, whose items have
// no objects (no pictures needed): its rooms in a rooms manager with empty
// services and the personages' room context, which notes the messages; a
// fake investigation owns the scripted events.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/text_test_log.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/PersonagesRoomContext.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/fake_events_owner.h"

namespace persontest {

using Names = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;
using Blocks = std::map<std::string, Bytes>;
constexpr const char* kCase = "gamedata:_Investigations/caseP/";
constexpr std::uint32_t kVersion = 4374;

class MessageContext : public CPersonagesRoomContext {
public:
    using CPersonagesRoomContext::CPersonagesRoomContext;
    void ShowMessage(const std::string& id, const std::string&, bool) override { messages.push_back(id); }
    Names messages;
};

// The task names of the lines, in order.
Names names(const std::vector<CFindItemsGroup>& lines);
// A file of the test's home.
std::string path(const std::string& name);
// Saves the entity (children first) into the file; its blocks by key.
Blocks save(SaveLoadEntity& entity, const std::string& file = path("record.save"));
// Loads the entity from the blocks; whether its own block loaded.
bool restore(SaveLoadEntity& entity, const Blocks& blocks);

class PersonagesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The case set up as the investigation does it (rooms, personages, their
    // ".ai" data with the global map's, item counts), then ResetPersonages
    // (false, findAll) with the generator seeded.
    void load(const std::string& caseName = "caseP", bool findAll = false, std::uint32_t seed = 1,
              const std::string& folder = kCase);
    CPersonage& quennick() { return *personages.GetPersonage("Quennick"); }
    // A new events manager owned by the fake investigation, read from the text.
    CSpyEventsManager& events(const std::string& text);
    CPersonage::CRoomInfo& hall() { return quennick().GetRoomInfo("Hall"); }

    aFileServer files;
    std::unique_ptr<TestLog> log;
    CRoomsManager rooms;
    CPersonagesManager personages;
    MessageContext context{personages};
    FakeEventsOwner owner;
    std::vector<std::unique_ptr<CSpyEventsManager>> managers;
};

} // namespace persontest
