// The least a program does to show its first frame: SDL's video, a window
// with an OpenGL 3.3 core context, one clear and one present. bench_startup
// measures the game's start against this program's.
//
// With --paced it goes on as the least a game does each frame: it reads its
// events, clears and presents with a swap interval of 1, 60 times a second
// (sleeping to the next tick where the swap did not wait), until its window
// is closed or it is stopped; then prints "frames N seconds S".
// bench_menu_pointer measures the game in a real window against it.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

void runPaced(SDL_Window* window)
{
    using Clock = std::chrono::steady_clock;
    constexpr std::chrono::nanoseconds kFrame{16666667};
    if (SDL_GL_SetSwapInterval(1) != 0)
        std::fprintf(stderr, "bare window: no swap interval 1: %s\n", SDL_GetError());
    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    long frames = 1;  // the first, presented before
    for (bool open = true; open;) {
        for (SDL_Event event; SDL_PollEvent(&event);)
            open = open && event.type != SDL_QUIT;
        glClear(GL_COLOR_BUFFER_BIT);
        SDL_GL_SwapWindow(window);
        ++frames;
        // A frame that came late starts the ticks again instead of catching up.
        next = std::max(next + kFrame, Clock::now());
        std::this_thread::sleep_until(next);
    }
    std::printf("frames %ld seconds %.3f\n", frames, std::chrono::duration<double>(Clock::now() - start).count());
}

} // namespace

int main(int argc, char** argv)
{
    const bool paced = argc > 1 && std::strcmp(argv[1], "--paced") == 0;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bare window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1024, 768,
                                          SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "bare window: %s\n", SDL_GetError());
        return 1;
    }
    // Paced, a colour a pixel probe can tell from an empty window.
    if (paced)
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    else
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    std::puts("presented");
    std::fflush(stdout);
    if (paced)
        runPaced(window);

    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
