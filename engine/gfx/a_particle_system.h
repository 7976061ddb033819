#pragma once
// 2D particle effects: one emitter that spawns textured, coloured, rotating
// quads described by a ".psys" text file, moved by a fixed-step simulation
// and drawn with one lock and one indexed draw through buffers all systems
// share. Every random draw goes through the engine-wide generator
// (a_random.h), so a seeded run replays bit for bit. Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_rect.h"

class aImage;
class aImageManager;
class aParticleSystem;

// One particle record. Records are pooled by their system and never freed
// while it lives; callbacks may read and change them.
struct aParticle {
    float birth = 0.0f;     // system time of emission, seconds
    float lifetime = 0.0f;  // seconds
    float originX = 0.0f, originY = 0.0f;  // the direction is measured from here
    float dirX = 0.0f, dirY = 0.0f;        // unit vector
    float accelX = 0.0f, accelY = 0.0f;    // wind, gravity
    float tangential = 0.0f, radial = 0.0f;
    bool spinByDir = false;
    float colorRate[4] = {};  // r, g, b, a per second
    float spinRate = 0.0f;    // radians per second
    float sizeRate = 0.0f;    // per second
    float velX = 0.0f, velY = 0.0f;  // pixels per second
    float x = 0.0f, y = 0.0f;        // screen pixels
    float color[4] = {};  // r, g, b, a, nominally 0..1
    float angle = 0.0f;   // radians
    float size = 0.0f;    // scale of the texture rectangle
    aParticle* next = nullptr;  // live list or free pool
};

// Collider and wind-zone records belong to whoever attaches them and must
// outlive the attachment (or be detached with clearColliders/clearWindZones).
enum aParticleColliderType : std::int32_t {
    PARTICLE_COLLIDER_BOUNCE = 0,
    PARTICLE_COLLIDER_KILL = 1,
    PARTICLE_COLLIDER_STOP = 2,  // any other value does nothing
};

struct aParticleCollider {
    float x = 0.0f, y = 0.0f;    // a point of the plane
    float nx = 0.0f, ny = 0.0f;  // its normal; particles behind it collide
    std::int32_t type = PARTICLE_COLLIDER_BOUNCE;
    float restitution = 0.0f;  // bounce only
};

struct aParticleWindZone {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;  // edges inclusive
    float forceX = 0.0f, forceY = 0.0f;
};

// Emitter motion modes (setMotion).
enum aParticleMotionMode : std::uint32_t {
    PARTICLE_MOTION_NONE = 0,
    PARTICLE_MOTION_DRAG = 1,    // the emitter moves and carries its particles
    PARTICLE_MOTION_TIMER = 2,   // nothing moves; the mode ends after the duration
    PARTICLE_MOTION_MOVE = 3,    // the emitter moves, particles stay
    PARTICLE_MOTION_TIMER2 = 4,  // as 2
};

struct aParticleRange {
    float min = 0.0f;
    float max = 0.0f;
};

// A per-particle start value start + (end - start) * U(0, variance) and an
// end value reached at the end of the particle's life.
struct aParticleSpan {
    float start = 0.0f;
    float end = 0.0f;
    float variance = 0.0f;
};

using aParticleStopCallback = void (*)(aParticleSystem* system, void* user);
// Emit: after the particle is placed. Death: before it is pooled. Callbacks
// may call stop, moveTo, moveWithParticles and setAlpha; they must not
// reset, copy into or destroy the system.
using aParticleCallback = void (*)(aParticleSystem* system, aParticle* particle, void* user);

class aParticleSystem {
public:
    // At most this many particles live in one system (the shared buffers' room).
    static constexpr std::uint32_t kMaxParticles = 1000;
    // Simulation steps per second are held to 1..kMaxFps when read.
    static constexpr std::int32_t kMaxFps = 1000;
    // One update runs at most this many steps and drops the rest.
    static constexpr std::uint32_t kMaxStepsPerUpdate = 10000;

    // Reads the ".psys" file; the texture comes from the image manager (may
    // be null: no texture) under the group (null: none).
    aParticleSystem(const std::string& path, aImageManager* images, const std::string* group);
    // A working copy: the description, texture, callbacks and shape lists.
    aParticleSystem(const aParticleSystem& other);
    ~aParticleSystem();
    aParticleSystem& operator=(const aParticleSystem&) = delete;

    // Takes the other's description, callbacks, bounding-box flag, texture
    // and shape lists (same records, same order); drops this one's
    // particles. Time, emitter position, motion, alpha multiplier and
    // texture name stay.
    aParticleSystem& copyFrom(const aParticleSystem& other);

    // Holds a copy of the image handle (null: none, nothing is drawn).
    // rect null: the whole image. UVs follow the texture's real size.
    void setTexture(const aImage* image, const aRect* rect);

    void start();
    void startAt(float x, float y);
    // Calls the stop callback and clears the running flag when running; a
    // stop from inside the stop callback does nothing.
    void stop();
    // Every particle back to the pool; clocks, running flag, motion and
    // bounding box zeroed.
    void reset();
    // Moves the emitter; live particles stay. Ends any motion.
    void moveTo(float x, float y);
    // Moves the emitter and every live particle with it. Ends any motion.
    void moveWithParticles(float x, float y);
    void setAlpha(float alpha) { m_alpha = alpha; }

    // Advances in steps of 1/fps (frame time in seconds).
    void update(float dt);
    // Draws the live particles; needs the application's graphics server
    // inside a scene.
    void render();

    // Attached records are applied in the order they were added.
    void addCollider(aParticleCollider* collider);
    void addWindZone(aParticleWindZone* zone);
    void clearColliders() { m_colliders.clear(); }
    void clearWindZones() { m_windZones.clear(); }

    // mode: aParticleMotionMode. Starts now from the current emitter
    // position: point = start + velocity * t + acceleration * t * t / 2 for
    // t up to duration. stopAtEnd stops the emitter when the motion ends.
    void setMotion(std::uint32_t mode, float duration, float velocityX, float velocityY, float accelX, float accelY,
                   bool stopAtEnd);
    std::uint32_t getMotionMode() const { return m_motionMode; }

    void setStopCallback(aParticleStopCallback callback, void* user);
    void setEmitCallback(aParticleCallback callback, void* user);
    void setDeathCallback(aParticleCallback callback, void* user);

    // The box of the live particles, kept while the flag is set; zero otherwise.
    void setBoundingBoxEnabled(bool on) { m_boundingBoxEnabled = on; }
    const aRect& getBoundingBox() const { return m_boundingBox; }

    std::uint32_t getLiveCount() const { return m_liveCount; }
    bool isRunning() const { return m_running; }
    float getTime() const { return m_time; }
    float getEmitterX() const { return m_emitterX; }
    float getEmitterY() const { return m_emitterY; }
    float getAlpha() const { return m_alpha; }
    const std::string& getTextureName() const { return m_textureName; }
    const aImage* getTexture() const { return m_texture.get(); }
    // Live records, newest first.
    const aParticle* firstParticle() const { return m_live; }
    // Records this system owns (live and pooled).
    std::uint32_t getRecordCount() const { return m_recordCount; }

    // The description (".psys" keys).
    std::uint32_t max_particles = 100;
    std::uint32_t emit_per_sec = 30;
    std::uint32_t fps = 0;
    std::uint32_t blend_mode = 0;
    std::uint32_t emitter_type = 0;
    float emitter_size[2] = {0.0f, 0.0f};
    float emitter_angle = 0.0f;
    float emitter_life = -1.0f;  // negative: endless; 0: one burst at start
    bool spin_by_dir = false;
    float color_start[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // r, g, b, a
    float color_end[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    float color_variance = 0.0f;
    float alpha_variance = 0.0f;
    aParticleSpan spin = {0.0f, 0.0f, 0.0f};
    aParticleSpan size = {1.0f, 0.0f, 0.0f};
    aParticleRange particle_life = {2.0f, 3.0f};
    aParticleRange gravity;
    aParticleRange wind;
    aParticleRange radial_acc;
    aParticleRange tangential_acc;
    aParticleRange velocity = {30.0f, 50.0f};
    aParticleRange spread = {0.0f, 6.2831855f};
    bool spread_relative = false;

private:
    void load(const std::string& path);
    void copyDescription(const aParticleSystem& other);
    void releaseParticles();
    void simulate(float dt);
    void emit(std::uint32_t count);
    void updateMotion(float t);
    void shiftParticles(float dx, float dy);

    aParticle* m_live = nullptr;
    aParticle* m_pool = nullptr;
    // Attached records, not owned.
    std::vector<aParticleCollider*> m_colliders;
    std::vector<aParticleWindZone*> m_windZones;

    float m_time = 0.0f;
    float m_lastEmission = 0.0f;
    float m_emitterStart = 0.0f;
    float m_accumulator = 0.0f;
    std::uint32_t m_liveCount = 0;
    std::uint32_t m_recordCount = 0;
    bool m_running = false;
    bool m_stopping = false;
    float m_prevEmitterX = 0.0f, m_prevEmitterY = 0.0f;
    float m_emitterX = 0.0f, m_emitterY = 0.0f;

    bool m_boundingBoxEnabled = false;
    aRect m_boundingBox;
    float m_alpha = 1.0f;

    std::uint32_t m_motionMode = PARTICLE_MOTION_NONE;
    float m_motionDuration = 0.0f;
    float m_motionStart = 0.0f;
    bool m_motionStopAtEnd = false;
    float m_motionStartX = 0.0f, m_motionStartY = 0.0f;
    float m_motionVelX = 0.0f, m_motionVelY = 0.0f;
    float m_motionAccX = 0.0f, m_motionAccY = 0.0f;

    // u, v of the corners: top-left, top-right, bottom-left, bottom-right.
    float m_uv[4][2] = {};
    std::unique_ptr<aImage> m_texture;
    aRect m_sourceRect;

    aParticleStopCallback m_stopCallback = nullptr;
    void* m_stopUser = nullptr;
    aParticleCallback m_emitCallback = nullptr;
    void* m_emitUser = nullptr;
    aParticleCallback m_deathCallback = nullptr;
    void* m_deathUser = nullptr;

    std::string m_textureName;
};
