#pragma once
// The whole life of the game process: seed, names, init, the loop and
// shutdown. The game's main is a call to it; a test program may run the same
// game with hooks of its own.
#include <functional>

// What a caller adds to a run of the game. Both are optional.
struct GameHooks {
    // Runs once init has succeeded, before the loop. A non-zero result is
    // the exit code: the loop is skipped and shutdown follows.
    std::function<int()> afterInit;
    // Runs after the loop, before shutdown (the log is still open), with the
    // loop's exit code; returns the exit code to use.
    std::function<int(int exitCode)> afterRun;
    // Runs the game in a window whatever Game.ini and the player ask.
    bool windowedOnly = false;
};

int RunGame(int argc, char** argv, const GameHooks& hooks = GameHooks());
