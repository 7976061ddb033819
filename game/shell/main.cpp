// Entry point of the game.
#include "game/shell/game_entry.h"

int main(int argc, char** argv) { return RunGame(argc, argv); }
