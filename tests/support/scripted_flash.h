#pragma once
// A scripted Flash control for tests: a movie of a set number of frames whose
// current frame the test sets, painting a pattern of frame and row numbers,
// able to refuse to paint, counting its calls. The script outlives the
// controls made from it.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/video/flash_control.h"

namespace scripted_flash {

struct Paint {
    std::int32_t width = 0, height = 0, bytesPerPixel = 0, stride = 0;
};

struct Script {
    std::int32_t totalFrames = 10;
    std::int32_t currentFrame = 0;
    bool canPaint = true;
    bool playing = false;

    std::map<std::string, int> calls;  // by method name
    std::vector<std::string> movies;
    std::vector<Paint> paints;
    std::vector<std::int32_t> gotoFrames;
    std::string wmode;
    bool loop = false;
    int controlsMade = 0;
    int controlsAlive = 0;

    int count(const std::string& name) const
    {
        const auto it = calls.find(name);
        return it == calls.end() ? 0 : it->second;
    }
};

// The pixel painted at column x of row y (0 = top) of a frame. 32-bit:
// opaque, the frame in red, the row in green, the column in blue. 16-bit
// X1R5G5B5: the same in the three 5-bit fields.
std::uint32_t pattern32(std::int32_t frame, std::int32_t x, std::int32_t y);
std::uint16_t pattern16(std::int32_t frame, std::int32_t x, std::int32_t y);

// Installs a factory whose controls follow the script (null script: the
// factory gives no control); uninstall() restores the null control.
void install(std::shared_ptr<Script> script);
void uninstall();

} // namespace scripted_flash
