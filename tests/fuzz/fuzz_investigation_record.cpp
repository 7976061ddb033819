// The investigation's save record: the input is the record of its block.
// A bare investigation (no rooms, dialogs or personages) loads it, takes a
// step in whatever state it restored, and is saved again.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Investigation.h"
#include "game/shell/save_load_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CInvestigation investigation;
    investigation.SetKey(std::string(CInvestigation::kKeyPrefix) + "fuzz");

    std::vector<std::uint8_t> payload(investigation.GetKey().begin(), investigation.GetKey().end());
    payload.push_back(0);
    for (int i = 0; i < 4; ++i)
        payload.push_back(std::uint8_t(size >> (8 * i)));
    payload.insert(payload.end(), data, data + size);
    {
        SaveLoadSystem system;
        if (system.BeginLoadPayload(std::move(payload), 1, "fuzz")) {
            system.LoadEntity(&investigation);
            system.Finish();
        }
    }
    investigation.Update(0.02f);
    investigation.Draw();
    SaveLoadSystem out;
    out.BeginSave(fuzz::tempDir() + "investigation.save", 4374);
    out.SaveEntity(&investigation);
    out.Finish();
    return 0;
}
