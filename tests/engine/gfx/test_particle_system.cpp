// Particle systems on the recording device: ".psys" reading, the seeded
// simulation, replay and the recorded draw.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "engine/gfx/a_image_manager.h"
#include "engine/gfx/a_particle_system.h"
#include "engine/util/a_random.h"
#include "test_image_fixture.h"

#include "support/jng_writer.h"

namespace {

constexpr float kHalfPi = 1.57079637f;
constexpr float kPi = 3.14159274f;

class Particles : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "ParticleTest"; }

    std::unique_ptr<aParticleSystem> make(const std::string& text, const std::string& name = "p.psys")
    {
        return std::make_unique<aParticleSystem>(putFile(name, text), nullptr, nullptr);
    }

    // A white A8R8G8B8 image of w x h.
    std::unique_ptr<aImage> image(int w, int h, std::uint32_t argb = 0xFFFFFFFF)
    {
        auto img = std::make_unique<aImage>(std::uint32_t(w), std::uint32_t(h));
        aImage::LockInfo info;
        if (img->lock(info, nullptr, false)) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    info.SetColorAt(std::uint32_t(x), std::uint32_t(y), argb);
            img->unlock();
        }
        return img;
    }

    // Renders inside a scene; the vertices of the recorded indexed draw.
    std::vector<TLVertex> rendered(aParticleSystem& sys)
    {
        rec->clear();
        EXPECT_TRUE(graph->beginScene());
        sys.render();
        graph->endScene();
        const auto draws = rec->named("DrawIndexedPrimitive");
        return draws.empty() ? std::vector<TLVertex>() : draws.back()->vertices;
    }

    static std::vector<const aParticle*> live(const aParticleSystem& sys)
    {
        std::vector<const aParticle*> out;
        for (const aParticle* p = sys.firstParticle(); p; p = p->next)
            out.push_back(p);
        return out;
    }

    static void steps(aParticleSystem& sys, int n, float dt)
    {
        for (int i = 0; i < n; ++i)
            sys.update(dt);
    }
};

// A still particle: born at the emitter, no speed, long life.
const char* const kStill = "fps 100\nmax_particles 50\nemitter_life 0\nemit_per_sec 1\nvelocity 0 0\n"
                           "particle_life 100 100\nspread 0 0\nsize 1 1 0\ncolor FFFFFFFF FFFFFFFF 0 0\n";

bool sameBytes(const std::vector<TLVertex>& a, const std::vector<TLVertex>& b)
{
    return a.size() == b.size() && !a.empty() && std::memcmp(a.data(), b.data(), a.size() * sizeof(TLVertex)) == 0;
}

// ---------------------------------------------------------------------------
// ".psys"

TEST_F(Particles, DefaultsAndEveryKey)
{
    auto d = make("");
    EXPECT_EQ(d->max_particles, 100u);
    EXPECT_EQ(d->fps, 0u);
    EXPECT_EQ(d->emitter_type, 0u);
    EXPECT_EQ(d->emitter_life, -1.0f);
    EXPECT_EQ(d->emit_per_sec, 30u);
    EXPECT_EQ(d->blend_mode, 0u);
    EXPECT_EQ(d->spread.max, 6.2831855f);
    EXPECT_EQ(d->particle_life.min, 2.0f);
    EXPECT_EQ(d->particle_life.max, 3.0f);
    EXPECT_EQ(d->velocity.min, 30.0f);
    EXPECT_EQ(d->velocity.max, 50.0f);
    EXPECT_EQ(d->size.start, 1.0f);
    EXPECT_EQ(d->size.end, 0.0f);
    const float white[4] = {1, 1, 1, 1}, clear[4] = {1, 1, 1, 0};
    EXPECT_EQ(std::memcmp(d->color_start, white, sizeof white), 0);
    EXPECT_EQ(std::memcmp(d->color_end, clear, sizeof clear), 0);
    EXPECT_TRUE(d->getTextureName().empty());
    EXPECT_FALSE(d->spread_relative || d->spin_by_dir);

    auto s = make("max_particles 7\nfps 25\nemitter_type 2\nemitter_life 1.5\nemitter_size 3 4\n"
                  "emitter_angle 0.25\nemit_per_sec 12\nblend_mode 257\nspread 0.5 1.5\nspread_relative 1\n"
                  "spin_by_dir 3\nparticle_life 4 5\ngravity 6 7\nwind -1 1\nradial_acc 8 9\n"
                  "tangential_acc 10 11\nvelocity 12 13\nspin 1 2 0.5\nsize 2 3 0.25\n"
                  "color 0x80FF0000 00000000 0.5 0.75\ntexture spark\n");
    EXPECT_EQ(s->max_particles, 7u);
    EXPECT_EQ(s->fps, 25u);
    EXPECT_EQ(s->emitter_type, 2u);
    EXPECT_EQ(s->emitter_life, 1.5f);
    EXPECT_EQ(s->emitter_size[0], 3.0f);
    EXPECT_EQ(s->emitter_size[1], 4.0f);
    EXPECT_EQ(s->emitter_angle, 0.25f);
    EXPECT_EQ(s->emit_per_sec, 12u);
    EXPECT_EQ(s->blend_mode, 257u);
    EXPECT_EQ(s->spread.min, 0.5f);
    EXPECT_TRUE(s->spread_relative && s->spin_by_dir);
    EXPECT_EQ(s->particle_life.max, 5.0f);
    EXPECT_EQ(s->gravity.min, 6.0f);
    EXPECT_EQ(s->wind.min, -1.0f);
    EXPECT_EQ(s->radial_acc.max, 9.0f);
    EXPECT_EQ(s->tangential_acc.min, 10.0f);
    EXPECT_EQ(s->velocity.max, 13.0f);
    EXPECT_EQ(s->spin.variance, 0.5f);
    EXPECT_EQ(s->size.end, 3.0f);
    EXPECT_EQ(s->color_start[0], 1.0f);
    EXPECT_EQ(s->color_start[3], 128 * 0.003921568859368563f);
    EXPECT_EQ(s->color_end[0], 0.0f);
    EXPECT_EQ(s->color_variance, 0.5f);
    EXPECT_EQ(s->alpha_variance, 0.75f);
    EXPECT_EQ(s->getTextureName(), "spark");

    // The texture comes from the image manager under the group.
    const std::string dir = test_env::home() + "/img/";
    test_env::writeFile(dir + "spark.png", jng_writer::buildPng(4, 4, imgtest::solid(4, 4, 0xFFFFFFFF)));
    aImageManager images;
    images.LoadFile(dir, "spark.png 8888 8888", "fx");
    const std::string group = "fx";
    aParticleSystem textured(putFile("t.psys", "texture spark\n"), &images, &group);
    ASSERT_NE(textured.getTexture(), nullptr);
    EXPECT_EQ(textured.getTexture()->getData(), images.GetImage("spark", "fx")->getData());
    aParticleSystem missing(putFile("t.psys", "texture spark\n"), &images, nullptr);
    EXPECT_EQ(missing.getTexture(), nullptr);
}

TEST_F(Particles, KeysAreExactAndLinesMayBePartialRepeatedOrLong)
{
    const std::string name99(99, 'n'), name300(300, 'm');
    auto s = make("FPS 50\nfps 10\n\n  fps 20\nunknown 1 2 3\nparticle_life 5\ncolor FF0000FF\n"
                  "spin 1 2\nvelocity\nfps_extra 9\ntexture " + name99 + "\n");
    EXPECT_EQ(s->fps, 20u);  // a repeated key overwrites; "FPS" is no key
    EXPECT_EQ(s->particle_life.min, 5.0f);
    EXPECT_EQ(s->particle_life.max, 3.0f);  // not on the line: unchanged
    EXPECT_EQ(s->color_start[2], 1.0f);
    EXPECT_EQ(s->color_start[3], 1.0f);
    EXPECT_EQ(s->color_start[0], 0.0f);
    EXPECT_EQ(s->color_end[3], 0.0f);
    EXPECT_EQ(s->spin.start, 1.0f);
    EXPECT_EQ(s->spin.end, 2.0f);
    EXPECT_EQ(s->spin.variance, 0.0f);
    EXPECT_EQ(s->velocity.min, 30.0f);
    EXPECT_EQ(s->getTextureName(), name99);

    auto l = make("texture " + name300 + " trailing\n" + std::string(300, 'k') + " 5\n");
    EXPECT_EQ(l->getTextureName(), name300);

    // A missing file leaves the defaults (the file layer logs it).
    auto m = make("");
    aParticleSystem gone(test_env::home() + "/no/such.psys", nullptr, nullptr);
    EXPECT_EQ(gone.fps, 0u);
    EXPECT_EQ(gone.emit_per_sec, 30u);
}

TEST_F(Particles, NegativeHugeAndNanValues)
{
    auto s = make("fps -5\nmax_particles -1\nemitter_type -1\nemit_per_sec -1\nparticle_life nan nan\n"
                  "velocity inf inf\ncolor FFFFFFFFF 0 nan\n", "bad.psys");
    EXPECT_EQ(s->fps, 0u);
    EXPECT_EQ(s->max_particles, 0xFFFFFFFFu);
    EXPECT_EQ(s->emitter_type, 0xFFFFFFFFu);
    EXPECT_TRUE(std::isnan(s->particle_life.min));
    EXPECT_TRUE(std::isinf(s->velocity.max));
    EXPECT_TRUE(std::isnan(s->color_variance));
    std::string log = newLog();
    EXPECT_NE(log.find("bad.psys: fps -5 is not positive"), std::string::npos) << log;

    auto f = make("fps 5000\n", "fast.psys");
    EXPECT_EQ(f->fps, 1000u);
    log = newLog();
    EXPECT_NE(log.find("fast.psys: fps 5000 is above 1000"), std::string::npos) << log;

    // The broken description still runs: the cap holds, NaN lifetimes die
    // at the next step, an unknown emitter type places particles as type 0.
    s->fps = 10;
    s->emitter_size[0] = s->emitter_size[1] = 2.0f;
    s->velocity = {0.0f, 0.0f};
    s->start();
    s->update(0.1f);
    EXPECT_EQ(s->getLiveCount(), 1000u);
    const aParticle* p = s->firstParticle();
    EXPECT_FLOAT_EQ(std::hypot(p->x - p->originX, p->y - p->originY), 2.0f);
    s->update(0.1f);
    EXPECT_EQ(s->getLiveCount(), 1000u);  // the old ones died, new ones came
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
    EXPECT_EQ(burst->getLiveCount(), 4u);
    steps(*burst, 20, 0.1f);
    EXPECT_EQ(burst->getLiveCount(), 4u);  // one burst, no more
    burst->start();
    burst->start();
    EXPECT_EQ(burst->getLiveCount(), 10u);  // only up to the cap

    auto frozen = make("emit_per_sec 100\n");
    frozen->start();
    frozen->update(5.0f);
    EXPECT_EQ(frozen->getTime(), 0.0f);
    EXPECT_EQ(frozen->getLiveCount(), 0u);

    auto endless = make("fps 10\nemitter_life -1\nemit_per_sec 10\nparticle_life 0.5 0.5\n");
    endless->start();
    steps(*endless, 1000, 0.1f);
    EXPECT_TRUE(endless->isRunning());
    EXPECT_GT(endless->getLiveCount(), 0u);

    // Death at the first step where age >= lifetime (steps of 1/4 s).
    auto dies = make("fps 4\nemitter_life 0\nemit_per_sec 1\nparticle_life 0.5 0.5\n");
    dies->start();
    dies->update(0.25f);
    EXPECT_EQ(dies->getLiveCount(), 1u);
    dies->update(0.25f);
    EXPECT_EQ(dies->getLiveCount(), 0u);

    // Lifetimes of 0 or less die at the next step; their rates divide nothing.
    for (const char* life : {"0 0", "-1 -1"}) {
        auto z = make(std::string("fps 10\nemitter_life 0\nemit_per_sec 3\nparticle_life ") + life + "\n");
        z->start();
        ASSERT_EQ(z->getLiveCount(), 3u);
        EXPECT_EQ(z->firstParticle()->sizeRate, 0.0f);
        z->update(0.1f);
        EXPECT_EQ(z->getLiveCount(), 0u) << life;
    }

    // A positive emitter life stops once, through the stop callback.
    int stops = 0;
    auto timed = make("fps 10\nemitter_life 0.5\nemit_per_sec 10\n");
    timed->setStopCallback([](aParticleSystem*, void* user) { ++*static_cast<int*>(user); }, &stops);
    timed->start();
    steps(*timed, 20, 0.1f);
    EXPECT_FALSE(timed->isRunning());
    EXPECT_EQ(stops, 1);

    // Spread over the full turn reaches every quadrant; relative spread 0 0
    // of an emitter moving right points left.
    auto all = make("fps 10\nemitter_life 0\nemit_per_sec 200\nmax_particles 200\n");
    all->start();
    int quadrants[4] = {};
    for (const aParticle* p : live(*all))
        ++quadrants[(p->dirX < 0) * 2 + (p->dirY < 0)];
    for (int q : quadrants)
        EXPECT_GT(q, 20);
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
    EXPECT_EQ(p->color[2], 1.0f);
    EXPECT_EQ(p->color[3], 1.0f);
    EXPECT_EQ(p->color[0], 0.0f);
    EXPECT_EQ(p->colorRate[3], -0.5f);
    EXPECT_EQ(p->colorRate[2], 0.0f);
    steps(*blue, 10, 0.1f);
    EXPECT_NEAR(p->color[3], 0.5f, 1e-5f);
}

TEST_F(Particles, LongRunRateCarriesTheFraction)
{
    for (const auto& [rate, want] : {std::pair{30, 300}, std::pair{3, 30}}) {
        a_srand(11);
        auto s = make("fps 100\nmax_particles 1000\nparticle_life 100 100\nemit_per_sec " + std::to_string(rate) + "\n");
        s->start();
        steps(*s, 1000, 0.01f);
        EXPECT_NEAR(double(s->getLiveCount()), want, 1.0) << rate;
    }
}

TEST_F(Particles, StepsArePerUpdateCappedAndHugeRatesClamped)
{
    // 10000 steps at most, the rest of the time is dropped.
    auto s = make("fps 1000\nemit_per_sec 0\n");
    s->start();
    s->update(1.0e6f);
    EXPECT_NEAR(s->getTime(), 10.0f, 0.05f);
    s->update(0.0f);
    EXPECT_NEAR(s->getTime(), 10.0f, 0.05f);
    s->update(std::nanf(""));
    s->update(0.001f);
    EXPECT_GT(s->getTime(), 10.0f);

    // A rate beyond every integer type fills the room without an overflowing conversion.
    auto flood = make("fps 1\nmax_particles 20\nemit_per_sec -1\nparticle_life 100 100\n");
    flood->start();
    flood->update(1.0f);
    EXPECT_EQ(flood->getLiveCount(), 20u);

    // The bounding box holds 16 bits.
    auto far = make("fps 1\nemitter_life 0\nemit_per_sec 1\nvelocity 0 0\nparticle_life 100 100\n");
    far->setBoundingBoxEnabled(true);
    far->startAt(1.0e10f, -1.0e10f);
    far->update(1.0f);
    EXPECT_EQ(far->getBoundingBox().x, 32767);
    EXPECT_EQ(far->getBoundingBox().y, -32768);
    EXPECT_EQ(far->getBoundingBox().width, 0);
    auto box = make("fps 10\nemitter_life 0\nemit_per_sec 2\nvelocity 0 0\nparticle_life 100 100\n"
                    "emitter_type 2\nemitter_size 10 10\nemitter_angle 0\n");
    box->setBoundingBoxEnabled(true);
    box->startAt(50.0f, 20.0f);
    box->update(0.1f);
    const auto ps = live(*box);
    ASSERT_EQ(ps.size(), 2u);
    const float lo = std::fmin(ps[0]->x, ps[1]->x), hi = std::fmax(ps[0]->x, ps[1]->x);
    EXPECT_EQ(box->getBoundingBox().x, std::int16_t(lo));
    EXPECT_EQ(box->getBoundingBox().width, std::uint16_t(hi - lo));
    box->reset();
    EXPECT_EQ(box->getBoundingBox(), aRect());
}

TEST_F(Particles, CollidersWindZonesAndTheirOrderInCopies)
{
    // One particle going down at 100 px/s from (0, 0); floor plane at y = 5.
    const std::string down = "fps 100\nemitter_life 0\nemit_per_sec 1\nspread 1.5707964 1.5707964\n"
                             "velocity 100 100\nparticle_life 100 100\n";
    aParticleCollider floor;
    floor.y = 5.0f;
    floor.ny = -1.0f;
    auto run = [&](std::int32_t type, float restitution) {
        floor.type = type;
        floor.restitution = restitution;
        auto s = make(down);
        s->addCollider(&floor);
        s->startAt(0, 0);
        steps(*s, 6, 0.01f);
        return s;
    };
    auto bounce = run(PARTICLE_COLLIDER_BOUNCE, 0.5f);
    ASSERT_EQ(bounce->getLiveCount(), 1u);
    EXPECT_NEAR(bounce->firstParticle()->velY, -50.0f, 1e-3f);
    EXPECT_EQ(bounce->firstParticle()->y, 5.0f);  // back where it was before the step
    auto kill = run(PARTICLE_COLLIDER_KILL, 0.0f);
    EXPECT_EQ(kill->getLiveCount(), 1u);
    kill->update(0.01f);
    EXPECT_EQ(kill->getLiveCount(), 0u);
    auto stop = run(PARTICLE_COLLIDER_STOP, 0.0f);
    EXPECT_EQ(stop->firstParticle()->velY, 0.0f);
    const float stoppedAt = stop->firstParticle()->y;
    steps(*stop, 10, 0.01f);
    EXPECT_EQ(stop->firstParticle()->y, stoppedAt);
    auto none = run(7, 0.0f);
    EXPECT_GT(none->firstParticle()->y, 5.0f);

    // A wind zone pushes only inside its rectangle.
    aParticleWindZone zone{-1.0f, -1.0f, 1.0f, 1.5f, 200.0f, 0.0f};
    auto windy = make(down);
    windy->addWindZone(&zone);
    windy->startAt(0, 0);
    steps(*windy, 5, 0.01f);
    const float vx = windy->firstParticle()->velX;
    EXPECT_NEAR(vx, 4.0f, 1e-3f);  // two steps inside (y = 0, 1), then out
    windy->clearWindZones();
    steps(*windy, 5, 0.01f);
    EXPECT_EQ(windy->firstParticle()->velX, vx);

    // Overlapping stop then bounce stops; the reverse order would bounce.
    aParticleCollider halt = floor, spring = floor;
    halt.type = PARTICLE_COLLIDER_STOP;
    spring.type = PARTICLE_COLLIDER_BOUNCE;
    spring.restitution = 1.0f;
    auto original = make(down);
    original->addCollider(&halt);
    original->addCollider(&spring);
    aParticleSystem copy(*original);
    copy.startAt(0, 0);
    steps(copy, 6, 0.01f);
    ASSERT_EQ(copy.getLiveCount(), 1u);
    EXPECT_EQ(copy.firstParticle()->velY, 0.0f);
    copy.clearColliders();
    EXPECT_EQ(halt.type, PARTICLE_COLLIDER_STOP);  // records stay their owner's
}

TEST_F(Particles, MotionModesAndMoves)
{
    const std::string cfg = "fps 10\nemitter_life 0\nemit_per_sec 1\nvelocity 0 0\nparticle_life 100 100\n";
    const std::string running = "fps 10\nemitter_life -1\nemit_per_sec 0\nvelocity 0 0\nparticle_life 100 100\n";
    int stops = 0;
    auto counter = [](aParticleSystem*, void* user) { ++*static_cast<int*>(user); };

    // Mode 1 drags the particles, mode 3 leaves them; both end on the path's end.
    for (std::uint32_t mode : {PARTICLE_MOTION_DRAG, PARTICLE_MOTION_MOVE}) {
        auto s = make(running);
        s->setStopCallback(counter, &stops);
        s->startAt(10, 10);
        // One still particle from a burst, then the emitter runs without emitting.
        s->emitter_life = 0.0f;
        s->emit_per_sec = 1;
        s->start();
        s->emitter_life = -1.0f;
        s->emit_per_sec = 0;
        s->setMotion(mode, 1.0f, 100.0f, 0.0f, 0.0f, 40.0f, true);
        stops = 0;
        steps(*s, 5, 0.1f);
        EXPECT_TRUE(s->isRunning());
        EXPECT_EQ(s->getMotionMode(), mode);
        steps(*s, 6, 0.1f);
        EXPECT_NEAR(s->getEmitterX(), 110.0f, 1e-3f);
        EXPECT_NEAR(s->getEmitterY(), 30.0f, 1e-3f);
        EXPECT_EQ(s->getMotionMode(), 0u);
        EXPECT_FALSE(s->isRunning());
        EXPECT_EQ(stops, 1);
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

    // moveTo leaves particles, moveWithParticles carries them and their origins.
    auto s = make(cfg);
    s->startAt(0, 0);
    s->setMotion(PARTICLE_MOTION_MOVE, 5.0f, 1, 1, 0, 0, false);
    s->moveTo(20, 0);
    EXPECT_EQ(s->getMotionMode(), 0u);
    EXPECT_EQ(s->firstParticle()->x, 0.0f);
    s->moveWithParticles(25, 5);
    EXPECT_EQ(s->firstParticle()->x, 5.0f);
    EXPECT_EQ(s->firstParticle()->originY, 5.0f);
    EXPECT_EQ(s->getEmitterX(), 25.0f);
}

struct Event {
    char kind;
    const void* particle;
    const void* user;
    std::uint32_t liveCount;
    float x;
};

struct Journal {
    std::vector<Event> events;
    aParticleSystem* system = nullptr;
};

TEST_F(Particles, CallbackOrderAndPointerUserValues)
{
    Journal journal;
    auto s = make("fps 10\nemitter_life 0.25\nemit_per_sec 10\nparticle_life 0.15 0.15\nvelocity 0 0\n");
    journal.system = s.get();
    s->setEmitCallback(
        [](aParticleSystem* sys, aParticle* p, void* user) {
            auto* j = static_cast<Journal*>(user);
            EXPECT_EQ(sys, j->system);
            j->events.push_back({'e', p, user, sys->getLiveCount(), p->x});
        },
        &journal);
    s->setDeathCallback(
        [](aParticleSystem* sys, aParticle* p, void* user) {
            auto* j = static_cast<Journal*>(user);
            bool linked = false;
            for (const aParticle* q = sys->firstParticle(); q; q = q->next)
                linked = linked || q == p;
            EXPECT_TRUE(linked);
            j->events.push_back({'d', p, user, sys->getLiveCount(), p->x});
        },
        &journal);
    s->setStopCallback(
        [](aParticleSystem* sys, void* user) {
            auto* j = static_cast<Journal*>(user);
            j->events.push_back({'s', nullptr, user, sys->getLiveCount(), 0});
            EXPECT_TRUE(sys->isRunning());
            sys->stop();  // re-entrant: nothing happens
        },
        &journal);
    s->startAt(7, 3);
    steps(*s, 5, 0.1f);

    std::string kinds;
    for (const Event& e : journal.events) {
        kinds += e.kind;
        EXPECT_EQ(e.user, &journal);
    }
    // Steps at 0.1: emit; 0.2: emit; 0.3: the first dies, emit, stop; then deaths.
    EXPECT_EQ(kinds, "eedesdd");
    EXPECT_EQ(journal.events[0].x, 7.0f);  // placed before the callback
    EXPECT_EQ(journal.events[1].liveCount, 1u);  // counted after it
    EXPECT_EQ(journal.events[2].particle, journal.events[0].particle);
    EXPECT_EQ(journal.events[3].particle, journal.events[0].particle);  // pooled record reused
    EXPECT_FALSE(s->isRunning());
}

TEST_F(Particles, SteadyStateAllocatesNoRecord)
{
    a_srand(2);
    // Demand (400/s for 1-1.5 s) beyond the cap keeps the system full.
    auto s = make("fps 60\nemit_per_sec 400\nmax_particles 300\nparticle_life 1 1.5\n");
    s->start();
    steps(*s, 240, 1.0f / 60.0f);
    const std::uint32_t records = s->getRecordCount();
    EXPECT_EQ(records, 300u);
    EXPECT_EQ(s->getLiveCount(), 300u);
    steps(*s, 600, 1.0f / 60.0f);
    EXPECT_EQ(s->getRecordCount(), records);
    s->reset();
    EXPECT_EQ(s->getLiveCount(), 0u);
    EXPECT_EQ(s->getTime(), 0.0f);
    s->start();
    steps(*s, 60, 1.0f / 60.0f);
    EXPECT_EQ(s->getRecordCount(), records);
}

// ---------------------------------------------------------------------------
// Determinism

TEST_F(Particles, DrawsFollowTheEngineGenerator)
{
    a_srand(1);
    EXPECT_EQ(a_rand(), 41);
    EXPECT_EQ(a_rand(), 18467);
    EXPECT_EQ(a_rand(), 6334);

    a_srand(1);
    auto s = make("fps 10\nemitter_life 0\nemit_per_sec 1\nparticle_life 2 3\n");
    s->start();
    const float want = 2.0f + 41.0f * 1.0f / 32767.0f;
    EXPECT_EQ(s->firstParticle()->lifetime, want);

    // Draws per particle: 10, one for spin without spin by direction, one
    // or two for the position.
    struct Case {
        const char* extra;
        int draws;
    };
    for (const Case& c : {Case{"", 12}, Case{"spin_by_dir 1\n", 11}, Case{"emitter_type 1\n", 13},
                          Case{"spin_by_dir 1\nemitter_type 2\n", 11}, Case{"emitter_type 9\n", 12}}) {
        auto sys = make(std::string("fps 10\nemitter_life 0\nemit_per_sec 2\n") + c.extra);
        a_srand(77);
        sys->start();
        const int after = a_rand();
        a_srand(77);
        for (int i = 0; i < 2 * c.draws; ++i)
            a_rand();
        EXPECT_EQ(after, a_rand()) << c.extra;
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
    const auto second = run(*original);
    const auto copied = run(copy);
    EXPECT_GT(first.size(), 600u);
    EXPECT_TRUE(sameBytes(first, second));
    EXPECT_TRUE(sameBytes(first, copied));

    // fps 64: one update of 1/32 equals two of 1/64.
    auto a = make(cfg + "fps 64\n");
    auto b = make(cfg + "fps 64\n");
    a->setTexture(tex.get(), nullptr);
    b->setTexture(tex.get(), nullptr);
    a_srand(9);
    a->start();
    for (int i = 0; i < 20; ++i)
        a->update(1.0f / 32.0f);
    a_srand(9);
    b->start();
    for (int i = 0; i < 40; ++i)
        b->update(1.0f / 64.0f);
    EXPECT_EQ(a->getTime(), b->getTime());
    EXPECT_TRUE(sameBytes(rendered(*a), rendered(*b)));
}

// ---------------------------------------------------------------------------
// Drawing on the recording device

TEST_F(Particles, QuadCornersUvsAndColours)
{
    auto tex = image(16, 8);
    auto s = make(kStill);
    s->setTexture(tex.get(), nullptr);
    s->startAt(20, 30);
    auto v = rendered(*s);
    ASSERT_EQ(v.size(), 6u);  // TL, TR, BL, TR, BL, BR
    const float at0[4][2] = {{12, 26}, {28, 26}, {12, 34}, {28, 34}};
    const int corner[4] = {0, 1, 2, 5};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[std::size_t(corner[i])].x, at0[i][0]);
        EXPECT_EQ(v[std::size_t(corner[i])].y, at0[i][1]);
    }
    EXPECT_EQ(v[0].u, 0.0f);
    EXPECT_EQ(v[5].u, 1.0f);
    EXPECT_EQ(v[5].v, 1.0f);
    EXPECT_EQ(v[0].z, 0.0f);
    EXPECT_EQ(v[0].rhw, 1.0f);
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);

    // A quarter turn at size 2: y-down pixels turn clockwise.
    auto t = make(std::string(kStill) + "spin 1.5707964 1.5707964 0\nsize 2 2 0\n");
    t->setTexture(tex.get(), nullptr);
    t->startAt(20, 30);
    v = rendered(*t);
    ASSERT_EQ(v.size(), 6u);
    const float at90[4][2] = {{28, 14}, {28, 46}, {12, 14}, {12, 46}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(v[std::size_t(corner[i])].x, at90[i][0], 1e-4f);
        EXPECT_NEAR(v[std::size_t(corner[i])].y, at90[i][1], 1e-4f);
    }

    // Texture larger than the image (rounded up to powers of two) and a source rectangle.
    graph->m_device->setPowerOfTwoTextures(true);
    auto odd = image(12, 6);
    t->setTexture(odd.get(), nullptr);
    v = rendered(*t);
    EXPECT_EQ(v[5].u, 0.75f);
    EXPECT_EQ(v[5].v, 0.75f);
    const aRect part(4, 2, 4, 2);
    t->setTexture(odd.get(), &part);
    v = rendered(*t);
    EXPECT_EQ(v[0].u, 0.25f);
    EXPECT_EQ(v[0].v, 0.25f);
    EXPECT_EQ(v[5].u, 0.5f);
    EXPECT_EQ(v[5].v, 0.5f);
    EXPECT_NEAR(v[1].y - v[0].y, 2 * 2 * 2.0f, 1e-4f);  // source width 4 at size 2, turned

    // Colour channels: above 1 is 255, at or below 0 and NaN are 0, the
    // alpha multiplier scales alpha only.
    auto c = make(kStill);
    c->setTexture(tex.get(), nullptr);
    c->setEmitCallback(
        [](aParticleSystem*, aParticle* p, void*) {
            p->color[0] = 1.5f;
            p->color[1] = std::nanf("");
            p->color[2] = 0.5f;
            p->color[3] = 1.0f;
        },
        nullptr);
    c->startAt(5, 5);
    c->setAlpha(0.5f);
    v = rendered(*c);
    ASSERT_FALSE(v.empty());
    EXPECT_EQ(v[0].diffuse, 0x80FF0080u);
}

TEST_F(Particles, OneLockAndOneIndexedDrawThroughSharedBuffers)
{
    auto tex = image(8, 8);
    rec->clear();
    auto a = make(std::string(kStill) + "blend_mode 1\nemit_per_sec 3\n");
    auto b = make(kStill);
    EXPECT_EQ(rec->count("CreateVertexBuffer"), 1u);
    EXPECT_EQ(rec->count("CreateIndexBuffer"), 1u);
    const auto vb = rec->named("CreateVertexBuffer")[0]->args;
    EXPECT_EQ(vb, (std::vector<std::int64_t>{112000, D3DUSAGE_WRITEONLY, 0x144, D3DPOOL_MANAGED}));
    const auto ib = rec->named("CreateIndexBuffer")[0]->args;
    EXPECT_EQ(ib, (std::vector<std::int64_t>{12000, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED}));

    // No texture: nothing locked or drawn.
    a->startAt(10, 10);
    EXPECT_TRUE(rendered(*a).empty());
    EXPECT_EQ(rec->count("VertexBuffer.Lock"), 0u);

    a->setTexture(tex.get(), nullptr);
    graph->setBlendMode(0);
    const auto v = rendered(*a);
    EXPECT_EQ(v.size(), 18u);
    EXPECT_EQ(rec->count("VertexBuffer.Lock"), 1u);
    EXPECT_EQ(rec->named("VertexBuffer.Lock")[0]->args[1], 3 * 112);
    ASSERT_EQ(rec->count("DrawIndexedPrimitive"), 1u);
    EXPECT_EQ(rec->named("DrawIndexedPrimitive")[0]->args,
              (std::vector<std::int64_t>{D3DPT_TRIANGLELIST, 0, 12, 0, 6}));
    EXPECT_EQ(rec->named("SetStreamSource").back()->args, (std::vector<std::int64_t>{0, 28}));
    EXPECT_EQ(rec->named("DrawIndexedPrimitive")[0]->object, tex->getTexture());
    // Additive while drawing, the previous mode afterwards.
    EXPECT_EQ(graph->m_blendMode, 0);
    const auto states = rec->strings();
    const auto additive = std::find(states.begin(), states.end(), "SetRenderState(20, 2)");
    const auto draw = std::find_if(states.begin(), states.end(),
                                   [](const std::string& s) { return s.rfind("DrawIndexedPrimitive", 0) == 0; });
    ASSERT_NE(additive, states.end());
    EXPECT_LT(additive, draw);
    EXPECT_NE(std::find(draw, states.end(), "SetRenderState(20, 6)"), states.end());

    // A failed lock logs and skips the frame.
    rec->fail("VertexBuffer.Lock", E_FAIL);
    EXPECT_TRUE(rendered(*a).empty());
    EXPECT_NE(newLog().find("aParticleSystem. Vertex buffer lock failed on render ("), std::string::npos);

    // The last system releases the buffers; the next one makes them again.
    a.reset();
    b.reset();
    rec->clear();
    auto c = make(kStill);
    EXPECT_EQ(rec->count("CreateVertexBuffer"), 1u);

    // Creation failures are logged and drawing is skipped.
    c.reset();
    rec->fail("CreateVertexBuffer", E_OUTOFMEMORY);
    auto d = make(kStill);
    d->setTexture(tex.get(), nullptr);
    d->startAt(5, 5);
    EXPECT_NE(newLog().find("aParticleSystem. Vertex buffer creation failed (E_OUTOFMEMORY)"), std::string::npos);
    EXPECT_EQ(rendered(*d).size(), 6u);  // made at the first render instead
}

} // namespace
