// The tip triggers' save record: the input is the record of the block
// "<TipEvents>". The triggers load it, answer Check and Queue before Init
// (nothing), and are saved again; the flags stay nine.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game/SpyGame/TipEvents.h"
#include "game/shell/save_load_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)fuzz::tempDir();
    CTipEvents tips;
    std::vector<std::uint8_t> payload;
    const std::string key = CTipEvents::kKey;
    payload.insert(payload.end(), key.begin(), key.end());
    payload.push_back(0);
    for (int i = 0; i < 4; ++i)
        payload.push_back(std::uint8_t(size >> (8 * i)));
    payload.insert(payload.end(), data, data + size);
    {
        SaveLoadSystem system;
        if (system.BeginLoadPayload(std::move(payload), 1, "fuzz")) {
            system.LoadEntity(&tips);
            system.Finish();
        }
    }
    // Not initialised: nothing is shown, nothing queued.
    tips.Queue("skip", 0.0f);
    if (tips.Check(0.5f) || !tips.GetQueue().empty())
        __builtin_trap();
    SaveLoadSystem out;
    out.BeginSave(fuzz::tempDir() + "tips.save", 4374);
    out.SaveEntity(&tips);
    out.Finish();
    return 0;
}
