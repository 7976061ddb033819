// Input recordings (".input" files) played back through the input server,
// frame by frame until the recording ends, on a stepped clock.
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "fuzz/fuzz_support.h"
#include "platform/input/typing.h"
#include "platform/system/clock.h"

namespace {

int g_ends = 0;
void onEnd() { ++g_ends; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static platform::ManualClock clock;
    platform::setClock(&clock);
    fuzz::recordingGraphics();
    aInputServer input;
    input.startPlayback(fuzz::writeTemp("play.input", data, size), onEnd);
    // Every frame reads at least 24 bytes, so this ends; the bound is a
    // guard against a playback that stops advancing.
    for (std::size_t frame = 0; frame <= size / 4 + 1 && input.m_logMode == INPUT_LOG_PLAYING; ++frame) {
        clock.advanceMs(double(frame % 7) * 90.0);
        input.update();
        if (input.m_keyPresses.size() > aInputServer::kMaxKeyPresses)
            __builtin_trap();
        for (const aInputServer::KeyPress& p : input.m_keyPresses)
            if (p.key == 0 && !platform::isTypedCharacter(p.character))
                __builtin_trap();
    }
    if (input.m_logMode == INPUT_LOG_PLAYING)
        __builtin_trap();
    input.update();  // runs the end callback
    return 0;
}
