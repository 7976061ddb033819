// Test program: the game on a stepped clock, with an input recording played
// into it from the first frame after start-up. It shares the game's entry,
// program folder, data and Game.ini; only the clock, the input and the
// sound's pace (mixed in game time) differ.
//
// Usage: vrk_replay [--draw-every N] <recording.input>
// With --draw-every N only every Nth frame, and each frame that takes a
// screenshot, is drawn; the others run whole but reach no pixel (the game's
// state does not depend on drawing, which the determinism check proves).
// Exit: what the game returns (0) when the recording quits it; 2 when the
// recording is missing or unreadable; 3 when the game still runs 3 s of game
// time after the recording ended (the replay closes it); 4 when the game
// quits with more than 10 frames of the recording left.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "game/shell/game_entry.h"
#include "platform/input/dinput_keys.h"
#include "platform/sound/sound_layer.h"
#include "platform/system/events.h"
#include "stepped_clock.h"
#include "tools/recording/input_recording.h"

namespace {

constexpr std::uint32_t kGraceMs = 3000;
constexpr std::size_t kFramesLeftAllowed = 10;
constexpr int kExitUnreadable = 2;
constexpr int kExitRecordingEnded = 3;
constexpr int kExitGameQuitEarly = 4;

SteppedClock* g_clock = nullptr;
bool g_playbackEnded = false;
std::uint32_t g_endedAtMs = 0;
bool g_closedByReplay = false;
std::uint32_t g_drawEvery = 1;
std::uint32_t g_frames = 0;
std::uint32_t g_framesDrawn = 0;

void onPlaybackEnd()
{
    g_playbackEnded = true;
    g_endedAtMs = g_clock->elapsedMs();
}

// Runs after every frame's pacing step.
void watch()
{
    if (!g_playbackEnded || g_closedByReplay || g_clock->elapsedMs() - g_endedAtMs < kGraceMs)
        return;
    g_closedByReplay = true;
    a_log("Replay: recording ended before the game did");
    if (g_application && g_application->m_window)
        platform::sendMessage(g_application->m_window, WM_CLOSE, 0, 0);
    else if (g_application)
        g_application->windowProc(nullptr, WM_CLOSE, 0, 0);
}

// Before each frame is drawn: draw it when it is one of every Nth or when it
// takes a screenshot (the screenshot reads the frame presented).
void chooseDrawing()
{
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    if (!gs || !gs->m_device)
        return;
    const aInputServer* input = g_application->m_inputServer;
    const bool shot = input && input->keyState(platform::DIK_SYSRQ) == KEY_PRESSED;
    const bool draw = shot || g_frames % g_drawEvery == 0;
    ++g_frames;
    g_framesDrawn += draw ? 1 : 0;
    gs->m_device->setDrawingSkipped(!draw);
}

// Frames that end after the given read position.
std::size_t framesAfter(const std::vector<std::size_t>& frameEnds, std::size_t position)
{
    std::size_t n = 0;
    for (std::size_t end : frameEnds)
        n += end > position ? 1 : 0;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    int arg = 1;
    if (argc == 4 && std::strcmp(argv[1], "--draw-every") == 0) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(argv[2], &end, 10);
        g_drawEvery = *argv[2] && !*end && n >= 1 && n <= 1000000 ? std::uint32_t(n) : 0;
        arg = 3;
    }
    if (argc != arg + 1 || g_drawEvery == 0) {
        std::fprintf(stderr, "usage: %s [--draw-every N] <recording.input>\n", argc > 0 ? argv[0] : "vrk_replay");
        return kExitUnreadable;
    }
    const std::string path = argv[arg];

    SteppedClock clock;
    g_clock = &clock;
    clock.onStep = watch;
    platform::setClock(&clock);
    // Sound is mixed in game time too, each frame's in that frame: a sound
    // ends at the same frame whatever pace the sound device keeps.
    platform::snd::test_hooks::setDefaultOutput(platform::snd::kOutputStepped);
    // Log stamps in game time, which a dump of the recording also shows.
    a_logClock().reset();

    std::vector<std::size_t> frameEnds;
    std::size_t recordingSize = 0;

    GameHooks hooks;
    // The clock steps with the window's frame pacing; full screen has none.
    hooks.windowedOnly = true;
    hooks.afterInit = [&]() {
        aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
        if (!input || !input->startPlayback(path, &onPlaybackEnd)) {
            a_log("Replay: cannot read the recording '%s'", path.c_str());
            return kExitUnreadable;
        }
        // Frame boundaries, to tell how much was left when the game quit. A
        // damaged tail is left to the input server, which stops there.
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        recording::Frames frames;
        std::string error;
        if (!recording::decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), frames, error,
                               &frameEnds))
            a_log("Replay: the recording is damaged (%s); playback stops there", error.c_str());
        recordingSize = bytes.size();
        a_log("Replay: playing '%s', %u frames", path.c_str(), unsigned(frameEnds.size()));
        if (g_drawEvery > 1)
            g_application->m_beforeRender = chooseDrawing;
        return 0;
    };
    hooks.afterRun = [&](int exitCode) {
        const aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
        const std::size_t left = input ? input->playbackBytesLeft() : 0;
        const std::size_t framesLeft = left > 0 ? framesAfter(frameEnds, recordingSize - left) : 0;
        if (g_closedByReplay) {
            exitCode = kExitRecordingEnded;
        } else if (framesLeft > kFramesLeftAllowed) {
            a_log("Replay: the game quit with %u frames of the recording left", unsigned(framesLeft));
            exitCode = kExitGameQuitEarly;
        }
        if (g_drawEvery > 1)
            a_log("Replay: drew %u of %u frames", g_framesDrawn, g_frames);
        a_log("Replay: finished after %u ms of game time, exit code %d", clock.elapsedMs(), exitCode);
        return exitCode;
    };
    const int exitCode = RunGame(1, argv, hooks);
    platform::setClock(nullptr);
    return exitCode;
}
