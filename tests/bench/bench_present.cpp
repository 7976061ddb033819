// An empty frame through the graphics server against a bare clear-and-swap,
// in the same run, window and context. Engine frame: beginScene (the clear),
// endScene with flush each frame (a one-pixel read of the back buffer) and
// present. Baseline: the window's own framebuffer cleared, one pixel read,
// the window swapped.
//
// Full run: a quarter second of warm-up per path, then 20 turns of a quarter
// second per path, timed by the process's CPU time; prints each median
// frame time and the median of the turns' ratios. "--frames N" runs N turns
// of a frame per path only (a smoke check). Either
// way the engine's presented frame and the baseline's pixel must be the
// clear colour; exits 1 when they are not or a call fails, never because of
// time.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "platform/system/frame_pacer.h"
#include "platform/system/window.h"
#include "bench_report.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr std::uint32_t kClear = 0xFF306090;
constexpr int kTurns = 20;
constexpr double kTurn = 0.25;  // seconds per path and turn

bool g_failed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "bench_present: %s\n", what);
    g_failed = true;
}

struct EnginePath {
    aGraphServer& gs;
    void frame()
    {
        if (!gs.beginScene()) {
            fail("beginScene");
            return;
        }
        gs.endScene();
    }
};

struct BaselinePath {
    platform::Window& window;
    SDL_Window* sdl = nullptr;
    std::uint8_t pixel[4] = {};

    explicit BaselinePath(platform::Window& w) : window(w), sdl(SDL_GetWindowFromID(w.sdlId()))
    {
        if (!sdl)
            fail("no SDL window");
    }

    void frame()
    {
        window.makeCurrent();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, kWidth, kHeight);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(float((kClear >> 16) & 0xFF) / 255.0f, float((kClear >> 8) & 0xFF) / 255.0f,
                     float(kClear & 0xFF) / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glReadPixels(0, 0, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, pixel);
        if (glGetError() != GL_NO_ERROR)
            fail("baseline frame");
        SDL_GL_SwapWindow(sdl);
    }
};

// Frames back to back on both sides: what a frame costs, not how presents
// are held to the display's refresh.
class Unpaced final : public platform::PaceClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(TimePoint) override {}
};

} // namespace

int main(int argc, char** argv)
{
    int smokeFrames = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            smokeFrames = std::max(1, std::atoi(argv[++i]));
    }

    // No init: nothing is written to the user's folders.
    aApplication app;
    app.m_name = "bench_present";
    aGraphServer* gs = nullptr;
    try {
        gs = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
    } catch (const aResultError& e) {
        std::fprintf(stderr, "bench_present: no graphics server (0x%08X)\n", unsigned(e.code()));
        return 1;
    }
    platform::setGfxLogSink([](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        if (line.find("GL error") != std::string::npos)
            g_failed = true;
    });
    gs->m_clearColor = kClear;
    gs->m_flushEachFrame = true;
    Unpaced unpaced;
    gs->m_window->setPaceClock(&unpaced);

    {
        EnginePath engine{*gs};
        BaselinePath baseline(*gs->m_window);
        // Turns of equal length, timed by the process's CPU time (the
        // rasteriser's threads included).
        const auto timed = [&](int turns, double seconds) {
            return benchTurns(turns, seconds, CLOCK_PROCESS_CPUTIME_ID, {[&] { engine.frame(); }, [&] { baseline.frame(); }});
        };
        if (smokeFrames == 0)
            timed(1, kTurn);
        const BenchTurns turns = smokeFrames > 0 ? timed(smokeFrames, 0.0) : timed(kTurns, kTurn);

        engine.frame();
        std::vector<std::uint8_t> px;
        int w = 0, h = 0;
        if (!gs->m_window->readPresented(px, w, h) || w != kWidth || h != kHeight) {
            fail("reading the presented frame");
        } else {
            for (std::size_t i = 0; i < px.size(); i += 4)
                if (std::abs(int(px[i]) - int(kClear & 0xFF)) > 1 ||
                    std::abs(int(px[i + 1]) - int((kClear >> 8) & 0xFF)) > 1 ||
                    std::abs(int(px[i + 2]) - int((kClear >> 16) & 0xFF)) > 1) {
                    fail("the engine's frame is not the clear colour");
                    break;
                }
        }
        baseline.frame();
        const std::uint8_t* b = baseline.pixel;
        if (std::abs(int(b[0]) - int(kClear & 0xFF)) > 1 || std::abs(int(b[1]) - int((kClear >> 8) & 0xFF)) > 1 ||
            std::abs(int(b[2]) - int((kClear >> 16) & 0xFF)) > 1)
            fail("the baseline's pixel is not the clear colour");

        const double em = turns.median(0) * 1e3, bm = turns.median(1) * 1e3, ratio = turns.ratio(0, 1);
        std::printf("turns: %zu\n", turns.cost[0].size());
        std::printf("%-8s median %.3f ms\n", "baseline", bm);
        std::printf("%-8s median %.3f ms\n", "engine", em);
        std::printf("%-8s ratio %.3f (target at most 1.5)\n", "engine", ratio);
        if (smokeFrames == 0)
            benchFigure("present / baseline", ratio, 1.5);
    }

    platform::setGfxLogSink(nullptr);
    delete gs;
    aGraphServer::releaseDirectDraw();
    return g_failed ? 1 : 0;
}
