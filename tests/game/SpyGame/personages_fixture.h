#pragma once
// Personages on the test case PersonGame/ beside this file: its rooms
// (items without objects, so no pictures are needed) in a rooms manager
// with empty services, the personages created and loaded as the
// investigation does it, and the personages' room context, which notes the
// messages rooms show.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/text_test_log.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/PersonagesRoomContext.h"
#include "game/SpyGame/Rooms/RoomsManager.h"

namespace persontest {

constexpr const char* kCase = "gamedata:_Investigations/caseP/";

class MessageContext : public CPersonagesRoomContext {
public:
    using CPersonagesRoomContext::CPersonagesRoomContext;
    void ShowMessage(const std::string& id, const std::string&, bool) override { messages.push_back(id); }
    std::vector<std::string> messages;
};

// The task names of a list, in order.
std::vector<std::string> names(const std::vector<CFindItemsGroup>& lines);

class PersonagesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The case's rooms loaded and reset; the personages created from its
    // ini, their ".ai" data read (the global map's too) and the item counts
    // set. Then ResetPersonages(false, findAll) with the generator seeded.
    void load(const std::string& caseName = "caseP", bool findAll = false, std::uint32_t seed = 1);
    CPersonage& quennick() { return *personages.GetPersonage("Quennick"); }
    CPersonage::CRoomInfo& hall() { return quennick().GetRoomInfo("Hall"); }

    aFileServer files;
    std::unique_ptr<TestLog> log;
    CRoomsManager rooms;
    CPersonagesManager personages;
    MessageContext context{personages};
};

} // namespace persontest
