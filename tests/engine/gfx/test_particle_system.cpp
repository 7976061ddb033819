// Particle systems on the recording device: ".psys" reading, the seeded
// simulation, replay and the recorded draw.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "engine/gfx/a_image_manager.h"
#include "engine/gfx/a_particle_system.h"
#include "engine/util/a_random.h"
#include "support/jng_writer.h"
#include "test_image_fixture.h"

namespace {

using Floats = std::vector<float>;

class Particles : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "ParticleTest"; }

    std::unique_ptr<aParticleSystem> make(const std::string& text, const std::string& name = "p.psys")
    {
        return std::make_unique<aParticleSystem>(putFile(name, text), nullptr, nullptr);
    }

    std::unique_ptr<aImage> image(int w, int h)
    {
        auto img = std::make_unique<aImage>(std::uint32_t(w), std::uint32_t(h));
        aImage::LockInfo info;
        if (img->lock(info, nullptr, false)) {
            for (int i = 0; i < w * h; ++i)
                info.SetColorAt(std::uint32_t(i % w), std::uint32_t(i / w), 0xFFFFFFFF);
            img->unlock();
        }
        return img;
    }

    // The vertices of the indexed draw of one render inside a scene.
    std::vector<TLVertex> rendered(aParticleSystem& sys)
    {
        rec->clear();
        EXPECT_TRUE(graph->beginScene());
        sys.render();
        graph->endScene();
        const auto draws = rec->named("DrawIndexedPrimitive");
        return draws.empty() ? std::vector<TLVertex>() : draws.back()->vertices;
    }

    static void steps(aParticleSystem& sys, int n, float dt)
    {
        for (int i = 0; i < n; ++i)
            sys.update(dt);
    }
};

// A still particle: born at the emitter, no speed, long life.
const char* const kStill = "fps 100\nemitter_life 0\nemit_per_sec 1\nvelocity 0 0\nparticle_life 100 100\n"
                           "spread 0 0\nsize 1 1 0\ncolor FFFFFFFF FFFFFFFF 0 0\n";

bool sameBytes(const std::vector<TLVertex>& a, const std::vector<TLVertex>& b)
{
    return a.size() == b.size() && !a.empty() && std::memcmp(a.data(), b.data(), a.size() * sizeof(TLVertex)) == 0;
}

// ---------------------------------------------------------------------------
// ".psys"

TEST_F(Particles, DefaultsKeysAndTheImageManager)
{
    auto d = make("");
    EXPECT_EQ((std::vector<std::uint32_t>{d->max_particles, d->fps, d->emit_per_sec}),
              (std::vector<std::uint32_t>{100, 0, 30}));
    EXPECT_EQ((Floats{d->emitter_life, d->spread.max, d->particle_life.min, d->particle_life.max, d->velocity.min,
                      d->velocity.max, d->size.start, d->color_end[0], d->color_end[3]}),
              (Floats{-1, 6.2831855f, 2, 3, 30, 50, 1, 1, 0}));

    auto s = make("max_particles 7\nfps 25\nemitter_type 2\nemitter_life 1.5\nemitter_size 3 4\n"
                  "emitter_angle 0.25\nemit_per_sec 12\nblend_mode 257\nspread 0.5 1.5\nspread_relative 1\n"
                  "spin_by_dir 3\nparticle_life 4 5\ngravity 6 7\nwind -1 1\nradial_acc 8 9\n"
                  "tangential_acc 10 11\nvelocity 12 13\nspin 1 2 0.5\nsize 2 3 0.25\n"
                  "color 0x80FF0000 00000000 0.5 0.75\ntexture spark\n");
    EXPECT_EQ((std::vector<std::uint32_t>{s->max_particles, s->fps, s->emitter_type, s->emit_per_sec, s->blend_mode}),
              (std::vector<std::uint32_t>{7, 25, 2, 12, 257}));
    EXPECT_EQ((Floats{s->emitter_life, s->emitter_size[0], s->emitter_size[1], s->emitter_angle, s->spread.min,
                      s->particle_life.max, s->gravity.min, s->wind.min, s->radial_acc.max, s->tangential_acc.min,
                      s->velocity.max, s->spin.variance, s->size.end, s->color_variance, s->alpha_variance}),
              (Floats{1.5f, 3, 4, 0.25f, 0.5f, 5, 6, -1, 9, 10, 13, 0.5f, 3, 0.5f, 0.75f}));
    EXPECT_EQ((Floats{s->color_start[0], s->color_start[1], s->color_start[3], s->color_end[0]}),
              (Floats{1, 0, 128 * 0.003921568859368563f, 0}));
    EXPECT_TRUE(s->spread_relative && s->spin_by_dir);
    EXPECT_EQ(s->getTextureName(), "spark");

    const std::string dir = test_env::home() + "/img/";
    test_env::writeFile(dir + "spark.png", jng_writer::buildPng(4, 4, imgtest::solid(4, 4, 0xFFFFFFFF)));
    aImageManager images;
    images.LoadFile(dir, "spark.png 8888 8888", "fx");
    const std::string group = "fx";
    aParticleSystem textured(putFile("t.psys", "texture spark\n"), &images, &group);
    ASSERT_NE(textured.getTexture(), nullptr);
    EXPECT_EQ(textured.getTexture()->getData(), images.GetImage("spark", "fx")->getData());
    EXPECT_EQ(aParticleSystem(putFile("t.psys", "texture spark\n"), &images, nullptr).getTexture(), nullptr);
}

TEST_F(Particles, ExactKeysPartialLinesRepeatsAndLongNames)
{
    const std::string name99(99, 'n'), name300(300, 'm');
    auto s = make("FPS 50\nfps 10\n\n  fps 20\nunknown 1 2\nparticle_life 5\ncolor FF0000FF\nspin 1 2\n"
                  "velocity\ntexture " + name99 + "\n");
    EXPECT_EQ(s->fps, 20u);
    // Values a line does not supply stay as they were.
    EXPECT_EQ((Floats{s->particle_life.min, s->particle_life.max, s->color_start[0], s->color_start[2],
                      s->color_end[3], s->spin.start, s->spin.end, s->spin.variance, s->velocity.min}),
              (Floats{5, 3, 0, 1, 0, 1, 2, 0, 30}));
    EXPECT_EQ(s->getTextureName(), name99);
    EXPECT_EQ(make("texture " + name300 + " x\n" + std::string(300, 'k') + " 5\n")->getTextureName(), name300);
    aParticleSystem gone(test_env::home() + "/no/such.psys", nullptr, nullptr);
    EXPECT_EQ(gone.emit_per_sec, 30u);
}

TEST_F(Particles, NegativeHugeAndNanValues)
{
    auto s = make("fps -5\nmax_particles -1\nemitter_type -1\nemit_per_sec -1\nparticle_life nan nan\n"
                  "velocity inf inf\ncolor FFFFFFFFF 0 nan\n", "bad.psys");
    EXPECT_EQ((std::vector<std::uint32_t>{s->fps, s->max_particles, s->emitter_type, s->emit_per_sec}),
              (std::vector<std::uint32_t>{0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_TRUE(std::isnan(s->particle_life.min) && std::isinf(s->velocity.max) && std::isnan(s->color_variance));
    EXPECT_NE(newLog().find("bad.psys: fps -5 is not positive"), std::string::npos);
    EXPECT_EQ(make("fps 5000\n", "fast.psys")->fps, 1000u);
    EXPECT_NE(newLog().find("fast.psys: fps 5000 is above 1000"), std::string::npos);

    // It still runs: the cap holds, NaN lifetimes die at the next step and
    // an unknown emitter type places as type 0 (on the ring of radius 2).
    s->fps = 10;
    s->emitter_size[0] = s->emitter_size[1] = 2.0f;
    s->start();
    s->update(0.1f);
    EXPECT_EQ(s->getLiveCount(), 1000u);
    const aParticle* p = s->firstParticle();
    EXPECT_FLOAT_EQ(std::hypot(p->x - p->originX, p->y - p->originY), 2.0f);
    s->update(0.1f);
    EXPECT_EQ(s->getLiveCount(), 1000u);
}

// ---------------------------------------------------------------------------
// Simulation

TEST_F(Particles, EmissionEdgeCases)
{
    a_srand(3);
    auto big = make("fps 10\nmax_particles 5000\nemitter_life 0\nemit_per_sec 3000\n");
    big->start();
    EXPECT_EQ(big->getLiveCount(), 1000u);
    EXPECT_FALSE(big->isRunning());

    auto burst = make("fps 10\nmax_particles 10\nemitter_life 0\nemit_per_sec 4\nparticle_life 9 9\n");
    burst->start();
    steps(*burst, 20, 0.1f);
    EXPECT_EQ(burst->getLiveCount(), 4u);  // one burst, no more
    burst->start();
    burst->start();
    EXPECT_EQ(burst->getLiveCount(), 10u);  // only up to the cap

    auto frozen = make("emit_per_sec 100\n");  // no fps
    frozen->start();
    frozen->update(5.0f);
    EXPECT_EQ(frozen->getTime() + float(frozen->getLiveCount()), 0.0f);

    auto endless = make("fps 10\nemit_per_sec 10\nparticle_life 0.5 0.5\n");
    endless->start();
    steps(*endless, 1000, 0.1f);
    EXPECT_TRUE(endless->isRunning() && endless->getLiveCount() > 0);

    // Death at the first step where age >= lifetime (steps of 1/4 s); a
    // lifetime of 0 or less dies at the next step without dividing by it.
    auto dies = make("fps 4\nemitter_life 0\nemit_per_sec 1\nparticle_life 0.5 0.5\n");
    dies->start();
    dies->update(0.25f);
    EXPECT_EQ(dies->getLiveCount(), 1u);
    dies->update(0.25f);
    EXPECT_EQ(dies->getLiveCount(), 0u);
    for (const char* life : {"0 0", "-1 -1"}) {
        auto z = make(std::string("fps 10\nemitter_life 0\nemit_per_sec 3\nparticle_life ") + life + "\n");
        z->start();
        EXPECT_EQ(z->firstParticle()->sizeRate, 0.0f);
        z->update(0.1f);
        EXPECT_EQ(z->getLiveCount(), 0u) << life;
    }

    // A positive emitter life stops once.
    int stops = 0;
    auto timed = make("fps 10\nemitter_life 0.5\nemit_per_sec 10\n");
    timed->setStopCallback([](aParticleSystem*, void* user) { ++*static_cast<int*>(user); }, &stops);
    timed->start();
    steps(*timed, 20, 0.1f);
    EXPECT_FALSE(timed->isRunning());
    EXPECT_EQ(stops, 1);

    // Relative spread 0 0 of an emitter moving right points left.
    auto rel = make("fps 10\nemit_per_sec 10\nspread 0 0\nspread_relative 1\nvelocity 10 10\n");
    rel->startAt(0, 0);
    rel->moveTo(5, 0);
    rel->update(0.1f);
    ASSERT_EQ(rel->getLiveCount(), 1u);
    EXPECT_FLOAT_EQ(rel->firstParticle()->velX, -10.0f);
    EXPECT_NEAR(rel->firstParticle()->velY, 0.0f, 1e-5f);

    // Opaque blue fading to transparent blue.
    auto blue = make("fps 10\nemitter_life 0\nemit_per_sec 1\nparticle_life 2 2\ncolor FF0000FF 000000FF 0 0\n");
    blue->start();
    const aParticle* p = blue->firstParticle();
    EXPECT_EQ((Floats{p->color[0], p->color[2], p->color[3], p->colorRate[2], p->colorRate[3]}),
              (Floats{0, 1, 1, 0, -0.5f}));
}

TEST_F(Particles, RatesStepsAndConversionsStayInRange)
{
    // The fraction carries: 30/s and 3/s at 100 steps/s over 10 s.
    for (const auto& [rate, want] : {std::pair{30, 300}, std::pair{3, 30}}) {
        auto s = make("fps 100\nmax_particles 1000\nparticle_life 100 100\nemit_per_sec " + std::to_string(rate));
        s->start();
        steps(*s, 1000, 0.01f);
        EXPECT_NEAR(double(s->getLiveCount()), want, 1.0) << rate;
    }

    // 10000 steps per update at most, the rest dropped; a NaN frame time is dropped too.
    auto s = make("fps 1000\nemit_per_sec 0\n");
    s->update(1.0e6f);
    EXPECT_NEAR(s->getTime(), 10.0f, 0.05f);
    s->update(0.0f);
    s->update(std::nanf(""));
    EXPECT_NEAR(s->getTime(), 10.0f, 0.05f);
    s->update(0.001f);
    EXPECT_GT(s->getTime(), 10.0f);

    // A rate past every integer type fills the room.
    auto flood = make("fps 1\nmax_particles 20\nemit_per_sec -1\nparticle_life 100 100\n");
    flood->start();
    flood->update(1.0f);
    EXPECT_EQ(flood->getLiveCount(), 20u);

    // The bounding box: truncated, and held to 16 bits.
    auto box = make("fps 10\nemitter_life 0\nemit_per_sec 2\nvelocity 0 0\nparticle_life 100 100\n"
                    "emitter_type 2\nemitter_size 10 10\n");
    box->setBoundingBoxEnabled(true);
    box->startAt(50.0f, 20.0f);
    box->update(0.1f);
    const aParticle* a = box->firstParticle();
    const float lo = std::fmin(a->x, a->next->x), hi = std::fmax(a->x, a->next->x);
    EXPECT_EQ(box->getBoundingBox(), aRect(std::int16_t(lo), 20, std::uint16_t(hi - lo), 0));
    box->reset();
    EXPECT_EQ(box->getBoundingBox(), aRect());
    box->startAt(1.0e10f, -1.0e10f);
    box->update(0.1f);
    EXPECT_EQ(box->getBoundingBox(), aRect(32767, -32768, 0, 0));
}

TEST_F(Particles, CollidersWindZonesAndTheirOrderInCopies)
{
    // One particle going down at 100 px/s from (0, 0); a floor at y = 5.
    const std::string down = "fps 100\nemitter_life 0\nemit_per_sec 1\nspread 1.5707964 1.5707964\n"
                             "velocity 100 100\nparticle_life 100 100\n";
    aParticleCollider floor{0.0f, 5.0f, 0.0f, -1.0f, PARTICLE_COLLIDER_BOUNCE, 0.5f};
    auto run = [&](std::int32_t type, int n = 6) {
        floor.type = type;
        auto s = make(down);
        s->addCollider(&floor);
        s->startAt(0, 0);
        steps(*s, n, 0.01f);
        return s;
    };
    auto bounce = run(PARTICLE_COLLIDER_BOUNCE);
    EXPECT_NEAR(bounce->firstParticle()->velY, -50.0f, 1e-3f);
    EXPECT_EQ(bounce->firstParticle()->y, 5.0f);  // back where it was before the step
    EXPECT_EQ(run(PARTICLE_COLLIDER_KILL, 6)->getLiveCount(), 1u);
    EXPECT_EQ(run(PARTICLE_COLLIDER_KILL, 7)->getLiveCount(), 0u);
    auto stop = run(PARTICLE_COLLIDER_STOP, 20);
    EXPECT_EQ(stop->firstParticle()->velY, 0.0f);
    EXPECT_EQ(stop->firstParticle()->y, 5.0f);
    EXPECT_GT(run(7)->firstParticle()->y, 5.0f);  // no such type: no effect

    // A wind zone pushes only inside its rectangle (the first two steps).
    aParticleWindZone zone{-1.0f, -1.0f, 1.0f, 1.5f, 200.0f, 0.0f};
    auto windy = make(down);
    windy->addWindZone(&zone);
    windy->startAt(0, 0);
    steps(*windy, 5, 0.01f);
    EXPECT_NEAR(windy->firstParticle()->velX, 4.0f, 1e-3f);

    // Overlapping colliders: stop then bounce stops; the reverse would bounce.
    aParticleCollider halt = floor, spring = floor;
    halt.type = PARTICLE_COLLIDER_STOP;
    spring.restitution = 1.0f;
    spring.type = PARTICLE_COLLIDER_BOUNCE;
    auto original = make(down);
    original->addCollider(&halt);
    original->addCollider(&spring);
    aParticleSystem copy(*original);
    copy.startAt(0, 0);
    steps(copy, 6, 0.01f);
    EXPECT_EQ(copy.firstParticle()->velY, 0.0f);
}

TEST_F(Particles, MotionModesAndMoves)
{
    int stops = 0;
    auto counter = [](aParticleSystem*, void* user) { ++*static_cast<int*>(user); };
    // Modes 1 and 3 follow start + v t + a t^2 / 2 to the end; 1 carries the particles.
    for (std::uint32_t mode : {PARTICLE_MOTION_DRAG, PARTICLE_MOTION_MOVE}) {
        auto s = make("fps 10\nemit_per_sec 0\nvelocity 0 0\nparticle_life 100 100\n");
        s->setStopCallback(counter, &stops);
        s->startAt(10, 10);
        s->emitter_life = 0.0f;  // one still particle from a burst, then no emission
        s->emit_per_sec = 1;
        s->start();
        s->emitter_life = -1.0f;
        s->emit_per_sec = 0;
        s->setMotion(mode, 1.0f, 100.0f, 0.0f, 0.0f, 40.0f, true);
        stops = 0;
        steps(*s, 5, 0.1f);
        EXPECT_TRUE(s->isRunning() && s->getMotionMode() == mode);
        steps(*s, 6, 0.1f);
        EXPECT_EQ((Floats{s->getEmitterX(), s->getEmitterY()}), (Floats{110, 30}));
        EXPECT_FALSE(s->isRunning() || s->getMotionMode() != 0 || stops != 1);
        EXPECT_NEAR(s->firstParticle()->x, mode == PARTICLE_MOTION_DRAG ? 110.0f : 10.0f, 1e-3f);
    }
    // Modes 2 and 4 only time out; without stop-at-end the emitter runs on.
    for (bool stopAtEnd : {true, false}) {
        auto s = make("fps 10\nemit_per_sec 0\n");
        s->startAt(5, 5);
        s->setMotion(stopAtEnd ? PARTICLE_MOTION_TIMER : PARTICLE_MOTION_TIMER2, 0.5f, 9, 9, 9, 9, stopAtEnd);
        steps(*s, 4, 0.1f);
        EXPECT_NE(s->getMotionMode(), 0u);
        steps(*s, 2, 0.1f);
        EXPECT_EQ(s->getMotionMode(), 0u);
        EXPECT_EQ(s->isRunning(), !stopAtEnd);
        EXPECT_EQ(s->getEmitterX(), 5.0f);
    }
    // moveTo leaves the particles, moveWithParticles carries them and their origins.
    auto s = make(kStill);
    s->startAt(0, 0);
    s->setMotion(PARTICLE_MOTION_MOVE, 5.0f, 1, 1, 0, 0, false);
    s->moveTo(20, 0);
    EXPECT_EQ(s->getMotionMode(), 0u);
    EXPECT_EQ(s->firstParticle()->x, 0.0f);
    s->moveWithParticles(25, 5);
    EXPECT_EQ((Floats{s->firstParticle()->x, s->firstParticle()->originY, s->getEmitterX()}), (Floats{5, 5, 25}));
}

struct Journal {
    std::string kinds;
    std::vector<const void*> particles;
    std::vector<float> xs;
    std::vector<std::uint32_t> counts;

    static void note(char kind, aParticleSystem* sys, aParticle* p, void* user)
    {
        auto* j = static_cast<Journal*>(user);
        j->kinds += kind;
        j->particles.push_back(p);
        j->xs.push_back(p ? p->x : 0.0f);
        j->counts.push_back(sys->getLiveCount());
    }
};

TEST_F(Particles, CallbacksOrderPointerUserValuesAndPooling)
{
    Journal j;
    auto s = make("fps 10\nemitter_life 0.25\nemit_per_sec 10\nparticle_life 0.15 0.15\nvelocity 0 0\n");
    s->setEmitCallback([](aParticleSystem* sys, aParticle* p, void* u) { Journal::note('e', sys, p, u); }, &j);
    s->setDeathCallback([](aParticleSystem* sys, aParticle* p, void* u) { Journal::note('d', sys, p, u); }, &j);
    s->setStopCallback(
        [](aParticleSystem* sys, void* u) {
            Journal::note(sys->isRunning() ? 's' : '?', sys, nullptr, u);
            sys->stop();  // re-entrant: nothing happens
        },
        &j);
    s->startAt(7, 3);
    steps(*s, 5, 0.1f);
    // 0.1 emit; 0.2 emit; 0.3 the first dies, emit, life over; 0.4, 0.5 deaths.
    EXPECT_EQ(j.kinds, "eedesdd");
    EXPECT_EQ(j.xs[0], 7.0f);  // placed before the callback
    EXPECT_EQ(j.counts[1], 1u);  // counted after it
    EXPECT_EQ(j.counts[2], 2u);  // the dying one still counts
    EXPECT_EQ(j.particles[2], j.particles[0]);
    EXPECT_EQ(j.particles[3], j.particles[0]);  // its record is reused

    // Full and steady: no record is allocated any more.
    a_srand(2);
    auto full = make("fps 60\nemit_per_sec 400\nmax_particles 300\nparticle_life 1 1.5\n");
    full->start();
    steps(*full, 240, 1.0f / 60.0f);
    EXPECT_EQ(full->getRecordCount(), 300u);
    steps(*full, 600, 1.0f / 60.0f);
    full->reset();
    full->start();
    steps(*full, 60, 1.0f / 60.0f);
    EXPECT_EQ(full->getRecordCount(), 300u);
}

// ---------------------------------------------------------------------------
// Determinism

TEST_F(Particles, DrawsFollowTheEngineGenerator)
{
    a_srand(1);
    EXPECT_EQ((std::vector<int>{a_rand(), a_rand(), a_rand()}), (std::vector<int>{41, 18467, 6334}));
    a_srand(1);
    auto s = make("fps 10\nemitter_life 0\nemit_per_sec 1\nparticle_life 2 3\n");
    s->start();
    EXPECT_EQ(s->firstParticle()->lifetime, 2.0f + 41.0f * 1.0f / 32767.0f);

    // Ten draws, one for spin unless it follows the direction, one or two for the place.
    for (const auto& [extra, draws] : {std::pair{"", 12}, std::pair{"spin_by_dir 1\n", 11},
                                       std::pair{"emitter_type 1\n", 13}, std::pair{"emitter_type 9\n", 12}}) {
        auto sys = make(std::string("fps 10\nemitter_life 0\nemit_per_sec 2\n") + extra);
        a_srand(77);
        sys->start();
        const int after = a_rand();
        a_srand(77);
        for (int i = 0; i < 2 * draws; ++i)
            a_rand();
        EXPECT_EQ(after, a_rand()) << extra;
    }
}

TEST_F(Particles, SeededRunsAndCopiesReplayBitForBit)
{
    auto tex = image(8, 8);
    const std::string cfg = "fps 60\nemit_per_sec 150\nmax_particles 400\nparticle_life 0.5 2\ngravity 20 60\n"
                            "wind -10 10\nradial_acc -5 5\ntangential_acc -3 3\nspin 0 3 1\nsize 1 0.2 0.5\n"
                            "color FFFF8000 00FF0000 0.5 0.5\nemitter_type 1\nemitter_size 10 4\n"
                            "emitter_angle 0.3\nspread_relative 1\n";
    auto original = make(cfg);
    original->setTexture(tex.get(), nullptr);
    aParticleSystem copy(*original);
    auto run = [&](aParticleSystem& s) {
        a_srand(12345);
        s.startAt(30, 20);
        for (int i = 0; i < 90; ++i) {
            s.update(1.0f / 60.0f);
            if (i % 10 == 0)
                s.moveTo(30.0f + float(i) * 0.2f, 20.0f);
        }
        return rendered(s);
    };
    const auto first = run(*original);
    original->reset();
    EXPECT_GT(first.size(), 600u);
    EXPECT_TRUE(sameBytes(first, run(*original)));
    EXPECT_TRUE(sameBytes(first, run(copy)));

    // fps 64: one update of 1/32 equals two of 1/64.
    auto a = make(cfg + "fps 64\n"), b = make(cfg + "fps 64\n");
    a->setTexture(tex.get(), nullptr);
    b->setTexture(tex.get(), nullptr);
    a_srand(9);
    a->start();
    steps(*a, 20, 1.0f / 32.0f);
    a_srand(9);
    b->start();
    steps(*b, 40, 1.0f / 64.0f);
    EXPECT_TRUE(sameBytes(rendered(*a), rendered(*b)));
}

// ---------------------------------------------------------------------------
// Drawing on the recording device

TEST_F(Particles, QuadCornersUvsAndColours)
{
    // TL, TR, BL of the first triangle, BR last; 16 x 8 at (20, 30).
    auto corners = [](const std::vector<TLVertex>& v) {
        Floats out;
        for (std::size_t i : {0, 1, 2, 5})
            out.insert(out.end(), {std::round(v[i].x * 1e3f) / 1e3f, std::round(v[i].y * 1e3f) / 1e3f});
        return out;
    };
    auto tex = image(16, 8);
    auto s = make(kStill);
    s->setTexture(tex.get(), nullptr);
    s->startAt(20, 30);
    auto v = rendered(*s);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(corners(v), (Floats{12, 26, 28, 26, 12, 34, 28, 34}));
    EXPECT_EQ((Floats{v[0].u, v[0].v, v[5].u, v[5].v, v[0].z, v[0].rhw}), (Floats{0, 0, 1, 1, 0, 1}));
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);
    // A quarter turn at size 2 turns clockwise in y-down pixels.
    auto t = make(std::string(kStill) + "spin 1.5707964 1.5707964 0\nsize 2 2 0\n");
    t->setTexture(tex.get(), nullptr);
    t->startAt(20, 30);
    EXPECT_EQ(corners(rendered(*t)), (Floats{28, 14, 28, 46, 12, 14, 12, 46}));

    // A texture larger than its image (powers of two), and a source rectangle.
    graph->m_device->setPowerOfTwoTextures(true);
    auto odd = image(12, 6);
    t->setTexture(odd.get(), nullptr);
    v = rendered(*t);
    EXPECT_EQ((Floats{v[5].u, v[5].v}), (Floats{0.75f, 0.75f}));
    const aRect part(4, 2, 4, 2);
    t->setTexture(odd.get(), &part);
    v = rendered(*t);
    EXPECT_EQ((Floats{v[0].u, v[0].v, v[5].u, v[5].v}), (Floats{0.25f, 0.25f, 0.5f, 0.5f}));

    // Channels above 1 are 255, at or below 0 and NaN 0; the alpha multiplier scales alpha only.
    auto c = make(kStill);
    c->setTexture(tex.get(), nullptr);
    c->setEmitCallback(
        [](aParticleSystem*, aParticle* p, void*) {
            const float color[4] = {1.5f, std::nanf(""), 0.5f, 1.0f};
            std::memcpy(p->color, color, sizeof color);
        },
        nullptr);
    c->startAt(5, 5);
    c->setAlpha(0.5f);
    EXPECT_EQ(rendered(*c).at(0).diffuse, 0x80FF0080u);
}

TEST_F(Particles, OneLockAndOneIndexedDrawThroughSharedBuffers)
{
    auto tex = image(8, 8);
    rec->clear();
    auto a = make(std::string(kStill) + "blend_mode 1\nemit_per_sec 3\n");
    auto b = make(kStill);
    ASSERT_EQ(rec->count("CreateVertexBuffer") + rec->count("CreateIndexBuffer"), 2u);
    EXPECT_EQ(rec->named("CreateVertexBuffer")[0]->args,
              (std::vector<std::int64_t>{112000, D3DUSAGE_WRITEONLY, 0x144, D3DPOOL_MANAGED}));
    EXPECT_EQ(rec->named("CreateIndexBuffer")[0]->args,
              (std::vector<std::int64_t>{12000, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED}));

    a->startAt(10, 10);
    EXPECT_TRUE(rendered(*a).empty());  // no texture: nothing locked or drawn
    EXPECT_EQ(rec->count("VertexBuffer.Lock"), 0u);

    a->setTexture(tex.get(), nullptr);
    EXPECT_EQ(rendered(*a).size(), 18u);
    ASSERT_EQ(rec->count("VertexBuffer.Lock") + rec->count("DrawIndexedPrimitive"), 2u);
    EXPECT_EQ(rec->named("VertexBuffer.Lock")[0]->args[1], 3 * 112);
    const platform::RecordedCall* draw = rec->named("DrawIndexedPrimitive")[0];
    EXPECT_EQ(draw->args, (std::vector<std::int64_t>{D3DPT_TRIANGLELIST, 0, 12, 0, 6}));
    EXPECT_EQ(draw->object, tex->getTexture());
    EXPECT_EQ(rec->named("SetStreamSource").back()->args, (std::vector<std::int64_t>{0, 28}));
    // Additive while drawing, the previous mode afterwards.
    EXPECT_EQ(graph->m_blendMode, 0);
    const auto calls = rec->strings();
    const auto at = std::find_if(calls.begin(), calls.end(),
                                 [](const std::string& c) { return c.rfind("DrawIndexedPrimitive", 0) == 0; });
    EXPECT_NE(std::find(calls.begin(), at, "SetRenderState(20, 2)"), at);
    EXPECT_NE(std::find(at, calls.end(), "SetRenderState(20, 6)"), calls.end());

    rec->fail("VertexBuffer.Lock", E_FAIL);
    EXPECT_TRUE(rendered(*a).empty());
    EXPECT_NE(newLog().find("aParticleSystem. Vertex buffer lock failed on render (E_FAIL)"), std::string::npos);

    // The last system releases the buffers; a failed creation is logged and
    // retried at the first render.
    a.reset();
    b.reset();
    rec->clear();
    rec->fail("CreateVertexBuffer", E_OUTOFMEMORY);
    auto d = make(kStill);
    EXPECT_EQ(rec->count("CreateVertexBuffer"), 1u);
    EXPECT_NE(newLog().find("aParticleSystem. Vertex buffer creation failed (E_OUTOFMEMORY)"), std::string::npos);
    d->setTexture(tex.get(), nullptr);
    d->startAt(5, 5);
    EXPECT_EQ(rendered(*d).size(), 6u);
}

} // namespace
