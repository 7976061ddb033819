// Particle systems against prepared quads, in the same run, window and
// device. Scene: a 1024 x 768 back buffer, 20 systems of 500 live particles
// each (16 x 16 texture, alpha blending, gravity and spin; the rate exceeds
// what the cap lets live, so every system stays full).
//
// Particle path: beginScene; for each system update(1/60) and render (one
// lock and one indexed draw each); endScene with its one-pixel read-back,
// which makes the frame finish, and present.
// Baseline: a snapshot of the same 10000 quads, taken after the warm-up,
// drawn every frame from prepared vertex data with one lock and one indexed
// draw per 500 quads through a buffer of its own, with the same state calls,
// read-back and present.
//
// Full run: 120 warm-up frames, then 20 turns of a quarter second per path,
// timed by the process's CPU time; prints both median frame times and the
// median of the turns' ratios (target: particles at most 1.5 x the
// baseline; a miss exits 1). "--frames N" runs N warm-up frames and N turns
// of a frame per path only (a smoke check that never judges time). Either way the snapshot frame drawn by both
// paths must agree (99.9 % of pixels within 2 per channel), every system
// must hold 500 particles and every call must succeed, or it exits 1.
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
#include "engine/gfx/a_particle_system.h"
#include "engine/util/a_application.h"
#include "engine/util/a_random.h"
#include "platform/system/window.h"
#include "bench_report.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kSystems = 20;
constexpr std::uint32_t kPerSystem = 500;
constexpr int kTextureSize = 16;
constexpr std::uint32_t kClear = 0xFF203040;
constexpr int kWarmUp = 120;
constexpr int kTurns = 20;
constexpr double kTurn = 0.25;  // seconds per path and turn
constexpr double kTarget = 1.5;
constexpr float kFrameTime = 1.0f / 60.0f;

bool g_failed = false;

void fail(const char* what)
{
    std::fprintf(stderr, "bench_particles: %s\n", what);
    g_failed = true;
}

std::uint32_t channel(float v)
{
    if (v >= 1.0f)
        return 255;
    if (!(v > 0.0f))
        return 0;
    return std::uint32_t(v * 255.0f + 0.5f);
}

// --- particle path -------------------------------------------------------------

struct ParticlePath {
    aGraphServer& gs;
    std::unique_ptr<aImage> texture;
    std::vector<std::unique_ptr<aParticleSystem>> systems;

    explicit ParticlePath(aGraphServer& server) : gs(server)
    {
        // A soft white disc.
        texture = std::make_unique<aImage>(kTextureSize, kTextureSize);
        aImage::LockInfo info;
        if (!texture->lock(info, nullptr, false)) {
            fail("texture lock");
        } else {
            for (int y = 0; y < kTextureSize; ++y) {
                for (int x = 0; x < kTextureSize; ++x) {
                    const float dx = (x + 0.5f) / kTextureSize - 0.5f, dy = (y + 0.5f) / kTextureSize - 0.5f;
                    const float d = std::sqrt(dx * dx + dy * dy) * 2.0f;
                    const std::uint32_t a = d >= 1.0f ? 0 : std::uint32_t((1.0f - d) * 255.0f);
                    info.SetColorAt(std::uint32_t(x), std::uint32_t(y), a << 24 | 0xFFFFFF);
                }
            }
            texture->unlock();
        }

        // No file: the description is set field by field.
        for (int i = 0; i < kSystems; ++i) {
            auto s = std::make_unique<aParticleSystem>(std::string(), nullptr, nullptr);
            s->fps = 60;
            s->max_particles = kPerSystem;
            s->emit_per_sec = 30000;  // full from the first frame on
            s->particle_life = {1.0f, 2.0f};
            s->velocity = {30.0f, 120.0f};
            s->gravity = {40.0f, 90.0f};
            s->spin = {0.0f, 6.0f, 1.0f};
            s->size = {1.5f, 0.5f, 0.5f};
            const float start[4] = {1.0f, 0.9f - 0.03f * float(i), 0.3f + 0.03f * float(i), 1.0f};
            const float end[4] = {1.0f, 0.2f, 0.1f, 0.0f};
            std::memcpy(s->color_start, start, sizeof start);
            std::memcpy(s->color_end, end, sizeof end);
            s->color_variance = 0.3f;
            s->setTexture(texture.get(), nullptr);
            s->startAt((float(i % 5) + 0.5f) * kWidth / 5.0f, (float(i / 5) + 0.3f) * kHeight / 4.0f);
            systems.push_back(std::move(s));
        }
    }

    void frame(bool advance)
    {
        if (!gs.beginScene()) {
            fail("beginScene");
            return;
        }
        for (auto& s : systems) {
            if (advance)
                s->update(kFrameTime);
            s->render();
        }
        gs.endScene();
    }

    // The quads the systems draw now, in draw order, as the device gets them.
    std::vector<TLVertex> snapshot() const
    {
        std::vector<TLVertex> out;
        const float hw = kTextureSize * 0.5f, hh = kTextureSize * 0.5f;
        for (const auto& s : systems) {
            for (const aParticle* p = s->firstParticle(); p; p = p->next) {
                const float k = std::cos(p->angle) * p->size, m = std::sin(p->angle) * p->size;
                const std::uint32_t color = channel(p->color[3] * s->getAlpha()) << 24 | channel(p->color[0]) << 16 |
                                            channel(p->color[1]) << 8 | channel(p->color[2]);
                const float corners[4][4] = {{p->x - k * hw + m * hh, p->y - m * hw - k * hh, 0, 0},
                                             {p->x + k * hw + m * hh, p->y + m * hw - k * hh, 1, 0},
                                             {p->x - k * hw - m * hh, p->y - m * hw + k * hh, 0, 1},
                                             {p->x + k * hw - m * hh, p->y + m * hw + k * hh, 1, 1}};
                for (const auto& c : corners) {
                    TLVertex v;
                    v.x = c[0];
                    v.y = c[1];
                    v.diffuse = color;
                    v.u = c[2];
                    v.v = c[3];
                    out.push_back(v);
                }
            }
        }
        return out;
    }
};

// --- baseline ---------------------------------------------------------------

struct BaselinePath {
    aGraphServer& gs;
    platform::GfxTexture* texture;
    platform::GfxVertexBuffer* vertices = nullptr;
    platform::GfxIndexBuffer* indices = nullptr;
    std::vector<TLVertex> quads;

    BaselinePath(aGraphServer& server, platform::GfxTexture* tex) : gs(server), texture(tex)
    {
        platform::GfxDevice* d = gs.m_device;
        if (FAILED(d->CreateVertexBuffer(4 * kPerSystem * sizeof(TLVertex), D3DUSAGE_WRITEONLY, kFvfTLVertex,
                                         D3DPOOL_MANAGED, &vertices)) ||
            FAILED(d->CreateIndexBuffer(6 * kPerSystem * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                        &indices))) {
            fail("baseline buffers");
            return;
        }
        std::uint8_t* data = nullptr;
        if (FAILED(indices->Lock(0, 0, &data, 0))) {
            fail("baseline index lock");
            return;
        }
        std::vector<std::uint16_t> idx;
        for (std::uint32_t q = 0; q < kPerSystem; ++q)
            for (std::uint32_t i : {0u, 1u, 2u, 1u, 2u, 3u})
                idx.push_back(std::uint16_t(4 * q + i));
        std::memcpy(data, idx.data(), idx.size() * 2);
        indices->Unlock();
    }

    ~BaselinePath()
    {
        if (vertices)
            vertices->Release();
        if (indices)
            indices->Release();
    }

    void frame()
    {
        if (!vertices || !indices || quads.size() != std::size_t(kSystems) * kPerSystem * 4) {
            fail("baseline without its quads");
            return;
        }
        if (!gs.beginScene()) {
            fail("beginScene");
            return;
        }
        platform::GfxDevice* d = gs.m_device;
        const std::uint32_t bytes = 4 * kPerSystem * sizeof(TLVertex);
        for (int g = 0; g < kSystems; ++g) {
            std::uint8_t* data = nullptr;
            if (FAILED(vertices->Lock(0, bytes, &data, 0))) {
                fail("baseline lock");
                break;
            }
            std::memcpy(data, &quads[std::size_t(g) * kPerSystem * 4], bytes);
            vertices->Unlock();
            const int previous = gs.m_blendMode;
            gs.setBlendMode(0);
            d->SetVertexShader(kFvfTLVertex);
            d->SetStreamSource(0, vertices, sizeof(TLVertex));
            d->SetIndices(indices, 0);
            d->SetTexture(0, texture);
            if (FAILED(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4 * kPerSystem, 0, 2 * kPerSystem))) {
                fail("baseline draw");
                break;
            }
            gs.setBlendMode(previous);
        }
        gs.endScene();
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
    app.m_name = "bench_particles";
    aGraphServer* gs = nullptr;
    try {
        gs = new aGraphServer(kWidth, kHeight, false, true, nullptr, 0, false, false);
    } catch (const aResultError& e) {
        std::fprintf(stderr, "bench_particles: no graphics server (0x%08X)\n", unsigned(e.code()));
        return 1;
    }
    platform::setGfxLogSink([](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        if (line.find("GL error") != std::string::npos)
            g_failed = true;
    });
    gs->m_clearColor = kClear;
    gs->m_flushEachFrame = true;
    a_srand(20240601);

    double ratio = 0.0;
    {
        ParticlePath particles(*gs);
        BaselinePath baseline(*gs, particles.texture->getTexture());
        const int warmUp = smokeFrames > 0 ? smokeFrames : kWarmUp;
        for (int i = 0; i < warmUp && !g_failed; ++i)
            particles.frame(true);
        // The cap must be full: 500 per system, so 10000 quads.
        for (const auto& s : particles.systems)
            if (s->getLiveCount() != kPerSystem)
                fail("a system is not full after the warm-up");
        baseline.quads = particles.snapshot();

        // Both paths draw the snapshot frame; the pictures must agree.
        particles.frame(false);
        const auto p = presented(*gs->m_window);
        baseline.frame();
        const auto b = presented(*gs->m_window);
        std::size_t close = 0;
        const std::size_t pixels = std::size_t(kWidth) * kHeight;
        for (std::size_t i = 0; i < pixels && p.size() == b.size() && !p.empty(); ++i) {
            bool same = true;
            for (int c = 0; c < 3; ++c)
                same = same && std::abs(int(p[i * 4 + c]) - int(b[i * 4 + c])) <= 2;
            close += same;
        }
        const double agree = 100.0 * double(close) / double(pixels);

        // Turns of equal length, timed by the process's CPU time (the
        // rasteriser's threads included).
        const BenchTurns turns =
            benchTurns(smokeFrames > 0 ? smokeFrames : kTurns, smokeFrames > 0 ? 0.0 : kTurn,
                       CLOCK_PROCESS_CPUTIME_ID, {[&] { particles.frame(true); }, [&] { baseline.frame(); }});
        std::uint64_t before = gs->m_device->stats().drawCalls;
        particles.frame(true);
        const std::uint64_t particleDraws = gs->m_device->stats().drawCalls - before;
        before = gs->m_device->stats().drawCalls;
        baseline.frame();
        const std::uint64_t baselineDraws = gs->m_device->stats().drawCalls - before;

        const double pm = turns.median(0) * 1e3, bm = turns.median(1) * 1e3;
        ratio = turns.ratio(0, 1);
        std::printf("turns: %zu\n", turns.cost[0].size());
        std::printf("%-9s median %.3f ms, %llu GL draw calls per frame\n", "baseline", bm,
                    static_cast<unsigned long long>(baselineDraws));
        std::printf("%-9s median %.3f ms, %llu GL draw calls per frame\n", "particles", pm,
                    static_cast<unsigned long long>(particleDraws));
        std::printf("particles ratio %.3f (target at most %.2f)\n", ratio, kTarget);
        if (smokeFrames == 0)
            benchFigure("particles / baseline", ratio, kTarget);
        std::printf("snapshot frame agrees with the baseline's on %.3f %% of pixels (need 99.9 %%)\n", agree);
        if (agree < 99.9)
            fail("the snapshot frames disagree");
    }

    platform::setGfxLogSink(nullptr);
    delete gs;
    aGraphServer::releaseDirectDraw();
    if (g_failed)
        return 1;
    if (smokeFrames == 0 && ratio > kTarget) {
        std::fprintf(stderr, "bench_particles: ratio %.3f misses the target %.2f\n", ratio, kTarget);
        return 1;
    }
    return 0;
}
