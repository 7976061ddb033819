// The investigation's save record: the input is the record of its block.
// A bare investigation (no rooms, dialogs or personages) loads it, takes a
// step in whatever state it restored, and is saved again.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Investigation.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CInvestigation investigation;
    investigation.SetKey(std::string(CInvestigation::kKeyPrefix) + "fuzz");

    save_blocks::loadRecord(investigation, investigation.GetKey(), data, size, "fuzz");
    investigation.Update(0.02f);
    investigation.Draw();
    SaveLoadSystem out;
    out.BeginSave(fuzz::tempDir() + "investigation.save", 4374);
    out.SaveEntity(&investigation);
    out.Finish();
    return 0;
}
