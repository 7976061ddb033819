// Sprite drawing through the graphics server against a minimal direct GL
// program, in the same run, window and context. Two scenes of 5,000
// alpha-blended quads on a 1024 x 768 back buffer, each a 64 x 64 texture at
// scale 0.5 with its own translation, angle and colour (alpha 0x80-0xFF),
// from 4 textures with varied alpha: "runs" changes texture every 25 quads
// and filters linearly; "alternating" changes texture at every quad and
// filters nearest.
//
// Engine path: beginScene; per quad setBlendMode(0) (a cache hit, as real
// drawing code does) and the server's sprite Draw; endScene with flush each
// frame and present. Image path: the same frame, each quad drawn with
// aImage::draw from 4 empty images filled through lock and SetColorAt.
// Baseline: the same corners, colours, textures and order into a
// framebuffer of its own through one texture x colour shader, one vertex
// buffer filled per frame and one indexed draw per run of equal texture, a
// one-pixel read, then its own present: one blit to the window and a swap.
//
// Full run, per scene: about 10 warm-up frames per path, then turns of a
// quarter second per path (short, so a shared machine's load falls on every
// path alike), 60 ("runs") or 30 ("alternating"), timed by the process's
// CPU time (the rasteriser's threads included); prints each path's median
// CPU time per frame, each engine-side path's ratio to the baseline (the
// median of the turns' ratios) and each path's GL draw calls per frame.
// "--frames N" runs N frames per path and scene only (a smoke check);
// "--scene NAME" runs that scene only. Either way the final frames of both engine-side paths
// must agree with the baseline's (99.9 % of pixels within 2 per channel);
// exits 1 when they do not or a call fails, never because of time.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image.h"
#include "engine/util/a_application.h"
#include "platform/system/window.h"
#include "bench_report.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kQuads = 5000;
constexpr int kTextures = 4;
constexpr int kTextureSize = 64;
constexpr float kScale = 0.5f;
constexpr std::uint32_t kClear = 0xFF203040;
constexpr int kWarmUp = 10;  // frames, about
constexpr double kTurn = 0.25;  // seconds per path and turn

struct Scene {
    const char* name;
    int run;  // quads per texture run
    bool linear;
    double target;  // engine frame time over the baseline's, at most
    int turns;
};
const Scene kScenes[] = {{"runs", 25, true, 1.1, 60}, {"alternating", 1, false, 0.6, 30}};

bool g_failed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "bench_sprites: %s\n", what);
    g_failed = true;
}

// The scene's own generator, so both paths see the same numbers.
std::uint32_t g_seed = 12345;
std::uint32_t next()
{
    g_seed = g_seed * 1664525u + 1013904223u;
    return g_seed >> 8;
}
float unit() { return float(next() & 0xFFFF) / 65535.0f; }

struct Quad {
    float x, y, angle;
    std::uint32_t color;
    int texture;
};

// What the device draws: back-buffer pixel coordinates (centres at
// integers), ARGB, texture coordinates.
struct Vertex {
    float x, y;
    std::uint32_t color;
    float u, v;
};

// The sprite's corners: screen = T + C + R(angle)(S p - C), minus half a
// pixel so texel centres land on pixel centres.
void corners(const Quad& q, Vertex out[4])
{
    const float centre = kTextureSize * kScale / 2.0f;
    const float c = std::cos(q.angle), s = std::sin(q.angle);
    const float px[4] = {0.0f, float(kTextureSize), 0.0f, float(kTextureSize)};
    const float py[4] = {0.0f, 0.0f, float(kTextureSize), float(kTextureSize)};
    for (int i = 0; i < 4; ++i) {
        const float qx = kScale * px[i] - centre, qy = kScale * py[i] - centre;
        out[i].x = q.x + centre + c * qx + s * qy - 0.5f;
        out[i].y = q.y + centre - s * qx + c * qy - 0.5f;
        out[i].color = q.color;
        out[i].u = px[i] / float(kTextureSize);
        out[i].v = py[i] / float(kTextureSize);
    }
}

std::vector<std::uint32_t> texturePixels(int t)
{
    // A soft disc of its own hue over a faint square: alpha from 0x10 to 0xFF.
    static const std::uint32_t hues[kTextures] = {0xFF4020, 0x30E060, 0x4080FF, 0xF0D030};
    std::vector<std::uint32_t> px(kTextureSize * kTextureSize);
    for (int y = 0; y < kTextureSize; ++y) {
        for (int x = 0; x < kTextureSize; ++x) {
            const float dx = (x + 0.5f) / kTextureSize - 0.5f, dy = (y + 0.5f) / kTextureSize - 0.5f;
            const float d = std::sqrt(dx * dx + dy * dy) * 2.0f;
            const int a = d >= 1.0f ? 0x10 : 0x10 + int((1.0f - d) * 239.0f);
            const std::uint32_t shade = ((x ^ y) & 8) ? 0xFFFFFF : hues[t];
            px[std::size_t(y) * kTextureSize + std::size_t(x)] = std::uint32_t(a) << 24 | shade;
        }
    }
    return px;
}

// --- engine path -------------------------------------------------------------

struct EnginePath {
    aGraphServer& gs;
    std::vector<platform::GfxTexture*> textures;
    std::uint64_t draws = 0;

    explicit EnginePath(aGraphServer& server) : gs(server)
    {
        for (int t = 0; t < kTextures; ++t) {
            platform::GfxTexture* tex = nullptr;
            if (FAILED(platform::D3DXCreateTexture(gs.m_device, kTextureSize, kTextureSize, 1, 0, D3DFMT_A8R8G8B8,
                                                   D3DPOOL_MANAGED, &tex))) {
                fail("engine texture");
                continue;
            }
            D3DLOCKED_RECT locked;
            if (FAILED(tex->LockRect(0, &locked, nullptr, 0))) {
                fail("engine texture lock");
            } else {
                const auto px = texturePixels(t);
                for (int y = 0; y < kTextureSize; ++y)
                    std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch,
                                &px[std::size_t(y) * kTextureSize], kTextureSize * 4);
                tex->UnlockRect(0);
            }
            textures.push_back(tex);
        }
    }
    ~EnginePath()
    {
        for (auto* t : textures)
            t->Release();
    }

    void frame(const std::vector<Quad>& quads, bool linear)
    {
        const std::uint64_t before = gs.m_device->stats().drawCalls;
        if (!gs.beginScene()) {
            fail("beginScene");
            return;
        }
        gs.setTextureFilter(linear);
        const D3DXVECTOR2 scale{kScale, kScale};
        const D3DXVECTOR2 centre{kTextureSize * kScale / 2.0f, kTextureSize * kScale / 2.0f};
        for (const Quad& q : quads) {
            gs.setBlendMode(0);
            const D3DXVECTOR2 at{q.x, q.y};
            if (FAILED(gs.m_sprite->Draw(textures[std::size_t(q.texture)], nullptr, &scale, &centre, q.angle, &at,
                                         q.color))) {
                fail("sprite Draw");
                break;
            }
        }
        gs.endScene();
        draws = gs.m_device->stats().drawCalls - before;
    }
};

// --- image path --------------------------------------------------------------

struct ImagePath {
    aGraphServer& gs;
    std::vector<std::unique_ptr<aImage>> images;
    std::uint64_t draws = 0;

    explicit ImagePath(aGraphServer& server) : gs(server)
    {
        for (int t = 0; t < kTextures; ++t) {
            images.emplace_back(new aImage(kTextureSize, kTextureSize));
            aImage::LockInfo info;
            if (!images.back()->lock(info, nullptr, false)) {
                fail("image lock");
                continue;
            }
            const auto px = texturePixels(t);
            for (std::uint32_t y = 0; y < kTextureSize; ++y)
                for (std::uint32_t x = 0; x < kTextureSize; ++x)
                    info.SetColorAt(x, y, px[y * kTextureSize + x]);
            images.back()->unlock();
        }
    }

    void frame(const std::vector<Quad>& quads, bool linear)
    {
        const std::uint64_t before = gs.m_device->stats().drawCalls;
        if (!gs.beginScene()) {
            fail("beginScene");
            return;
        }
        gs.setTextureFilter(linear);
        const D3DXVECTOR2 scale{kScale, kScale};
        for (const Quad& q : quads) {
            gs.setBlendMode(0);
            images[std::size_t(q.texture)]->draw(q.x, q.y, q.color, &scale, q.angle);
        }
        gs.endScene();
        draws = gs.m_device->stats().drawCalls - before;
    }
};

// --- baseline ---------------------------------------------------------------

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUV;
uniform vec2 uScale;
out vec4 vColor;
out vec2 vUV;
const float kDelta = 1.0 / 64.0;
void main()
{
    gl_Position = vec4((aPos + (0.5 - kDelta)) * uScale + vec2(-1.0, 1.0), 0.0, 1.0);
    vColor = aColor;
    vUV = aUV;
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vUV;
out vec4 fragColor;
uniform sampler2D uTex;
const float kDelta = 1.0 / 64.0;
void main()
{
    vec4 t = texture(uTex, vUV - kDelta * dFdx(vUV) + kDelta * dFdy(vUV));
    fragColor = vec4(vColor.rgb * t.rgb, vColor.a * t.a);
}
)";

struct BaselinePath {
    platform::Window& window;
    SDL_Window* sdl = nullptr;
    GLuint program = 0, vao = 0, vbo = 0, ebo = 0, framebuffer = 0, renderbuffer = 0;
    GLuint samplers[2] = {};  // nearest, linear
    GLint uScale = -1;
    GLuint textures[kTextures] = {};
    std::vector<Vertex> vertices;
    std::uint64_t draws = 0;

    explicit BaselinePath(platform::Window& w) : window(w), sdl(SDL_GetWindowFromID(w.sdlId()))
    {
        if (!sdl)
            fail("no SDL window");
        window.makeCurrent();
        program = glCreateProgram();
        for (auto [kind, source] : {std::pair{GL_VERTEX_SHADER, kVertexShader}, std::pair{GL_FRAGMENT_SHADER, kFragmentShader}}) {
            const GLuint s = glCreateShader(kind);
            glShaderSource(s, 1, &source, nullptr);
            glCompileShader(s);
            GLint ok = 0;
            glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
            if (!ok)
                fail("baseline shader");
            glAttachShader(program, s);
            glDeleteShader(s);
        }
        glLinkProgram(program);
        GLint linked = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (!linked)
            fail("baseline program");
        uScale = glGetUniformLocation(program, "uScale");
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, "uTex"), 0);
        glUseProgram(0);

        glGenVertexArrays(1, &vao);
        glGenBuffers(1, &vbo);
        glGenBuffers(1, &ebo);
        glBindVertexArray(vao);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, x)));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                              reinterpret_cast<void*>(offsetof(Vertex, color)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, u)));
        std::vector<std::uint16_t> indices;
        for (int q = 0; q < kQuads; ++q)
            for (int i : {0, 1, 2, 2, 1, 3})
                indices.push_back(std::uint16_t(q * 4 + i));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(), GL_STATIC_DRAW);
        glBindVertexArray(0);

        glGenSamplers(2, samplers);
        for (int linear = 0; linear < 2; ++linear) {
            const GLint filter = linear ? GL_LINEAR : GL_NEAREST;
            glSamplerParameteri(samplers[linear], GL_TEXTURE_MIN_FILTER, filter);
            glSamplerParameteri(samplers[linear], GL_TEXTURE_MAG_FILTER, filter);
            glSamplerParameteri(samplers[linear], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glSamplerParameteri(samplers[linear], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
        glGenTextures(kTextures, textures);
        for (int t = 0; t < kTextures; ++t) {
            const auto px = texturePixels(t);
            glBindTexture(GL_TEXTURE_2D, textures[t]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTextureSize, kTextureSize, 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, px.data());
        }
        glBindTexture(GL_TEXTURE_2D, 0);

        glGenRenderbuffers(1, &renderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            fail("baseline framebuffer");
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (glGetError() != GL_NO_ERROR)
            fail("baseline set-up");
    }

    ~BaselinePath()
    {
        window.makeCurrent();
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(1, &renderbuffer);
        glDeleteTextures(kTextures, textures);
        glDeleteSamplers(2, samplers);
        glDeleteBuffers(1, &vbo);
        glDeleteBuffers(1, &ebo);
        glDeleteVertexArrays(1, &vao);
        glDeleteProgram(program);
    }

    void frame(const std::vector<Quad>& quads, bool linear)
    {
        window.makeCurrent();
        vertices.resize(quads.size() * 4);
        for (std::size_t i = 0; i < quads.size(); ++i)
            corners(quads[i], &vertices[i * 4]);

        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glViewport(0, 0, kWidth, kHeight);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(float((kClear >> 16) & 0xFF) / 255.0f, float((kClear >> 8) & 0xFF) / 255.0f,
                     float(kClear & 0xFF) / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);

        glUseProgram(program);
        glUniform2f(uScale, 2.0f / kWidth, -2.0f / kHeight);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glActiveTexture(GL_TEXTURE0);
        glBindSampler(0, samplers[linear ? 1 : 0]);
        glBindVertexArray(vao);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(Vertex)), vertices.data(), GL_STREAM_DRAW);
        draws = 0;
        for (std::size_t start = 0; start < quads.size();) {
            std::size_t end = start;
            while (end < quads.size() && quads[end].texture == quads[start].texture)
                ++end;
            glBindTexture(GL_TEXTURE_2D, textures[quads[start].texture]);
            glDrawElements(GL_TRIANGLES, GLsizei((end - start) * 6), GL_UNSIGNED_SHORT,
                           reinterpret_cast<void*>(start * 6 * sizeof(std::uint16_t)));
            ++draws;
            start = end;
        }
        glBindVertexArray(0);
        std::uint8_t pixel[4];
        glReadPixels(0, 0, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, pixel);

        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (glGetError() != GL_NO_ERROR)
            fail("baseline frame");
        SDL_GL_SwapWindow(sdl);
    }

    // The last frame, top row first, B, G, R, A.
    std::vector<std::uint8_t> read()
    {
        window.makeCurrent();
        std::vector<std::uint8_t> raw(std::size_t(kWidth) * kHeight * 4), px(raw.size());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, raw.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        if (glGetError() != GL_NO_ERROR)
            fail("reading the baseline's frame");
        const std::size_t row = std::size_t(kWidth) * 4;
        for (int y = 0; y < kHeight; ++y)
            std::memcpy(&px[row * std::size_t(y)], &raw[row * std::size_t(kHeight - 1 - y)], row);
        return px;
    }
};

std::vector<std::uint8_t> presented(platform::Window& window)
{
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    if (!window.readPresented(px, w, h) || w != kWidth || h != kHeight)
        fail("reading the presented frame");
    return px;
}

std::vector<Quad> makeQuads(int run)
{
    g_seed = 12345;
    std::vector<Quad> quads(kQuads);
    for (int i = 0; i < kQuads; ++i) {
        Quad& q = quads[std::size_t(i)];
        q.x = unit() * (kWidth - 32);
        q.y = unit() * (kHeight - 32);
        q.angle = unit() * 6.2831855f;
        const std::uint32_t alpha = 0x80 + (next() & 0x7F);
        q.color = alpha << 24 | (0x80 + (next() & 0x7F)) << 16 | (0x80 + (next() & 0x7F)) << 8 | (0x80 + (next() & 0x7F));
        q.texture = (i / run) % kTextures;
    }
    return quads;
}

} // namespace

int main(int argc, char** argv)
{
    int smokeFrames = 0;
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            smokeFrames = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--scene") == 0 && i + 1 < argc)
            only = argv[++i];
    }

    // No init: nothing is written to the user's folders.
    aApplication app;
    app.m_name = "bench_sprites";
    aGraphServer* gs = nullptr;
    try {
        gs = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
    } catch (const aResultError& e) {
        std::fprintf(stderr, "bench_sprites: no graphics server (0x%08X)\n", unsigned(e.code()));
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
        EnginePath engine(*gs);
        ImagePath image(*gs);
        BaselinePath baseline(*gs->m_window);
        for (const Scene& scene : kScenes) {
            if (only && std::strcmp(only, scene.name) != 0)
                continue;
            const std::vector<Quad> quads = makeQuads(scene.run);
            const auto timed = [&](int turns, double seconds) {
                return benchTurns(turns, seconds, CLOCK_PROCESS_CPUTIME_ID,
                                  {[&] { engine.frame(quads, scene.linear); },
                                   [&] { image.frame(quads, scene.linear); },
                                   [&] { baseline.frame(quads, scene.linear); }});
            };
            if (smokeFrames == 0)
                timed(1, kWarmUp * 0.05);
            const BenchTurns t = smokeFrames > 0 ? timed(smokeFrames, 0.0) : timed(scene.turns, kTurn);

            engine.frame(quads, scene.linear);
            const auto e = presented(*gs->m_window);
            image.frame(quads, scene.linear);
            const auto im = presented(*gs->m_window);
            baseline.frame(quads, scene.linear);
            const auto b = baseline.read();
            const std::size_t pixels = std::size_t(kWidth) * kHeight;
            auto agreement = [&](const std::vector<std::uint8_t>& a) {
                std::size_t close = 0;
                for (std::size_t p = 0; p < pixels && a.size() == b.size() && !a.empty(); ++p) {
                    bool same = true;
                    for (int c = 0; c < 3; ++c)
                        same = same && std::abs(int(a[p * 4 + c]) - int(b[p * 4 + c])) <= 2;
                    close += same;
                }
                return 100.0 * double(close) / double(pixels);
            };

            const double bm = t.median(2) * 1e3;
            std::printf("scene %s: %zu turns\n", scene.name, t.cost[0].size());
            std::printf("  %-8s median %.3f ms, %llu GL draw calls per frame\n", "baseline", bm,
                        static_cast<unsigned long long>(baseline.draws));
            struct Result {
                const char* name;
                double ms;
                double ratio;
                std::uint64_t draws;
                double agree;
            };
            for (const Result& r : {Result{"engine", t.median(0) * 1e3, t.ratio(0, 2), engine.draws, agreement(e)},
                                    Result{"image", t.median(1) * 1e3, t.ratio(1, 2), image.draws, agreement(im)}}) {
                std::printf("  %-8s median %.3f ms, %llu GL draw calls per frame\n", r.name, r.ms,
                            static_cast<unsigned long long>(r.draws));
                std::printf("  %-8s ratio %.3f (target at most %.1f)\n", r.name, r.ratio, scene.target);
                if (smokeFrames == 0)
                    benchFigure((std::string(scene.name) + ": " + r.name + " / baseline").c_str(), r.ratio,
                                scene.target);
                std::printf("  %-8s final frame agrees with the baseline's on %.3f %% of pixels (need 99.9 %%)\n",
                            r.name, r.agree);
                if (r.agree < 99.9)
                    fail((std::string("the final frames disagree: ") + scene.name + " " + r.name).c_str());
            }
            std::fflush(stdout);
        }
    }

    platform::setGfxLogSink(nullptr);
    delete gs;
    aGraphServer::releaseDirectDraw();
    return g_failed ? 1 : 0;
}
