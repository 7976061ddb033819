// The tip triggers' save record: the input is the record of the block
// "<TipEvents>". The triggers load it, answer Check and Queue before Init
// (nothing), and are saved again; the flags stay nine.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game/SpyGame/TipEvents.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)fuzz::tempDir();
    CTipEvents tips;
    save_blocks::loadRecord(tips, CTipEvents::kKey, data, size, "fuzz");
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
