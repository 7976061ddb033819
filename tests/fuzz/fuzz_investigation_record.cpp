// The investigation's save record with the blocks it is loaded beside. The
// input is split at "\n@@\n": the investigation's record, then one block
// per part, its key up to the first NUL and its record after it. A save
// lacking a block the investigation needs (its events, key
// "CSpyEventsManager : fuzz") is refused before the record is read, so the
// seeds carry that block. A bare investigation (no rooms, dialogs or
// personages) loads the save, takes a step in whatever state it restored,
// and is saved again.
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
    investigation.GetEvents().ResetEvents("fuzz");
    save_blocks::loadParts(investigation, fuzz::splitParts(data, size, "\n@@\n"), "fuzz");

    investigation.Update(0.02f);
    investigation.Draw();
    SaveLoadSystem out;
    out.BeginSave(fuzz::tempDir() + "investigation.save", 4374);
    out.SaveEntity(&investigation);
    out.Finish();
    return 0;
}
