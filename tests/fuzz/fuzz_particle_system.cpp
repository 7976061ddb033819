// ".psys" particle descriptions: the input is the file; the system is then
// started, moved, copied and stepped for a fraction of a second (no device,
// so nothing is drawn).
#include "engine/gfx/a_particle_system.h"
#include "engine/util/a_random.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    a_srand(1);
    aParticleSystem sys(fuzz::writeTemp("fx.psys", data, size), nullptr, nullptr);
    aParticleCollider floor{0.0f, 40.0f, 0.0f, -1.0f, std::int32_t(size % 4), 0.5f};
    aParticleWindZone zone{-50.0f, -50.0f, 50.0f, 50.0f, 30.0f, -10.0f};
    sys.addCollider(&floor);
    sys.addWindZone(&zone);
    sys.setBoundingBoxEnabled(true);
    sys.startAt(10.0f, 20.0f);
    for (int i = 0; i < 8; ++i) {
        sys.update(0.02f);
        if (i == 3)
            sys.moveWithParticles(15.0f, 25.0f);
    }
    sys.setMotion(std::uint32_t(size % 5), 0.05f, 100.0f, 0.0f, 0.0f, 50.0f, true);
    aParticleSystem copy(sys);
    copy.start();
    copy.update(0.1f);
    sys.update(0.1f);
    sys.stop();
    sys.reset();
    return int(copy.getLiveCount() & 0);
}
