// Entry point of the game.
#include <string>

#include "engine/util/a_cmdline.h"
#include "engine/util/a_random.h"
#include "game/shell/c_main.h"
#include "platform/system/clock.h"

int main(int argc, char** argv)
{
    static cMain game;

    a_srand(platform::getTickCount());
    const std::string commandLine = a_joinCommandLine(argc - 1, argv + 1);
    const std::string name = "VRK";
    const std::string company = "Tallowmere";

    int exitCode = 1;
    if (game.init(name, nullptr, commandLine.c_str(), company) >= 0)
        exitCode = game.run();
    game.shutdown();
    return exitCode;
}
