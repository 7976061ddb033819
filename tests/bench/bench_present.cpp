// An empty frame through the graphics server against a bare clear-and-swap,
// in the same run, window and context. Engine frame: beginScene (the clear),
// endScene with flush each frame (a one-pixel read of the back buffer) and
// present. Baseline: the window's own framebuffer cleared, one pixel read,
// the window swapped.
//
// Full run: 50 warm-up frames per path, then blocks of 100 frames taking
// turns until each path has 1,000; prints each median frame time and the
// ratio. "--frames N" runs N frames per path only (a smoke check). Either
// way the engine's presented frame and the baseline's pixel must be the
// clear colour; exits 1 when they are not or a call fails, never because of
// time.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "platform/system/window.h"
#include "bench_report.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr std::uint32_t kClear = 0xFF306090;
constexpr int kWarmUp = 50;
constexpr int kBlock = 100;
constexpr int kFramesPerPath = 1000;

bool g_failed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "bench_present: %s\n", what);
    g_failed = true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
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

    {
        EnginePath engine{*gs};
        BaselinePath baseline(*gs->m_window);
        using Clock = std::chrono::steady_clock;
        std::vector<double> engineMs, baselineMs;
        auto timed = [&](auto& path, std::vector<double>& out, int frames) {
            for (int i = 0; i < frames && !g_failed; ++i) {
                const auto t0 = Clock::now();
                path.frame();
                out.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            }
        };
        if (smokeFrames > 0) {
            timed(engine, engineMs, smokeFrames);
            timed(baseline, baselineMs, smokeFrames);
        } else {
            std::vector<double> ignored;
            timed(engine, ignored, kWarmUp);
            timed(baseline, ignored, kWarmUp);
            while (!g_failed && int(engineMs.size()) < kFramesPerPath) {
                timed(engine, engineMs, kBlock);
                timed(baseline, baselineMs, kBlock);
            }
        }

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

        const double em = median(engineMs), bm = median(baselineMs);
        std::printf("frames per path: %zu\n", engineMs.size());
        std::printf("%-8s median %.3f ms\n", "baseline", bm);
        std::printf("%-8s median %.3f ms\n", "engine", em);
        std::printf("%-8s ratio %.3f (target at most 1.5)\n", "engine", bm > 0 ? em / bm : 0.0);
        if (smokeFrames == 0)
            benchFigure("present / baseline", bm > 0 ? em / bm : 0.0, 1.5);
    }

    platform::setGfxLogSink(nullptr);
    delete gs;
    aGraphServer::releaseDirectDraw();
    return g_failed ? 1 : 0;
}
