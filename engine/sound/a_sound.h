#pragma once
// aSound is declared with the engine types nested in it.
#include "engine/sound/a_sound_engine.h"
