#include "game/shell/game_entry.h"

#include <string>

#include "engine/util/a_cmdline.h"
#include "engine/util/a_random.h"
#include "game/shell/c_main.h"
#include "platform/system/clock.h"

int RunGame(int argc, char** argv, const GameHooks& hooks)
{
    // Not static: when a library ends the process with exit() in the middle
    // of the game (Xlib does on an X protocol error), the game must not be
    // torn down under its own running frames.
    cMain game;

    a_srand(platform::getTickCount());
    const std::string commandLine = a_joinCommandLine(argc - 1, argv + 1);
    const std::string name = "VRK";
    const std::string company = "Tallowmere";

    int exitCode = 1;
    game.m_windowedOnly = hooks.windowedOnly;
    const int started = game.init(name, nullptr, commandLine.c_str(), company);
    if (started >= 0) {
        // Another running copy (1) still goes through run, which ends at once.
        const int refused = started == 0 && hooks.afterInit ? hooks.afterInit() : 0;
        if (refused != 0) {
            exitCode = refused;
        } else {
            exitCode = game.run();
            if (started == 0 && hooks.afterRun)
                exitCode = hooks.afterRun(exitCode);
        }
    }
    game.shutdown();
    return exitCode;
}
