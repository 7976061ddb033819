// The game root's save record: the input is the block "<SpyMain>". A record
// that loads is saved again and must come back to the same fields.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game/SpyGame/SpyMain.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

namespace {

bool load(CSpyMain& main, const std::uint8_t* data, std::size_t size)
{
    return save_blocks::loadRecord(main, CSpyMain::kEntityKey, data, size, "fuzz");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::tempDir();
    // The root's dialogs hold the one tip manager, so one root serves every input.
    static CSpyMain* main = new CSpyMain();
    if (!load(*main, data, size))
        return 0;
    const std::string name = main->GetCurrentName();
    const std::uint32_t hints = main->GetCarriedHints();
    SaveLoadSystem out;
    const std::string file = fuzz::tempDir() + "root.save";
    out.BeginSave(file, CSpyMain::kSaveVersion);
    out.SaveEntity(main);
    if (!out.Finish())
        std::abort();
    SaveLoadSystem back;
    if (!back.BeginLoad(file, CSpyMain::kSaveVersion) || !back.LoadEntity(main) ||
        main->GetCurrentName() != name || main->GetCarriedHints() != hints)
        std::abort();
    back.Finish();
    return 0;
}
