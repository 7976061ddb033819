#include "engine/gfx/a_particle_system.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"
#include "engine/util/a_random.h"
#include "engine/util/a_string_list.h"
#include "platform/gfx/d3d8.h"

namespace {

constexpr std::uint32_t kVertexCount = 4 * aParticleSystem::kMaxParticles;
constexpr std::uint32_t kIndexCount = 6 * aParticleSystem::kMaxParticles;
constexpr std::uint32_t kVertexStride = sizeof(TLVertex);
constexpr float kPi = 3.14159265358979f;
constexpr float kByteToUnit = 0.003921568859368563f;

// The buffers every system draws through, made by the first living system
// (or its first render, when no device existed yet) and released by the last.
struct SharedBuffers {
    platform::GfxVertexBuffer* vertices = nullptr;
    platform::GfxIndexBuffer* indices = nullptr;
    std::uint32_t systems = 0;
};
SharedBuffers g_shared;

aGraphServer* graphServer() { return g_application ? g_application->m_graphServer : nullptr; }

void makeSharedBuffers()
{
    aGraphServer* gs = graphServer();
    platform::GfxDevice* device = gs ? gs->m_device : nullptr;
    if (!device)
        return;
    if (!g_shared.vertices) {
        HRESULT hr = device->CreateVertexBuffer(kVertexCount * kVertexStride, D3DUSAGE_WRITEONLY, kFvfTLVertex,
                                                D3DPOOL_MANAGED, &g_shared.vertices);
        if (FAILED(hr)) {
            g_shared.vertices = nullptr;
            a_log("aParticleSystem. Vertex buffer creation failed (%s)", platform::dxErrorName(hr));
        } else {
            std::uint8_t* data = nullptr;
            hr = g_shared.vertices->Lock(0, kVertexCount * kVertexStride, &data, 0);
            if (FAILED(hr)) {
                a_log("aParticleSystem. Vertex buffer lock failed (%s)", platform::dxErrorName(hr));
            } else {
                const TLVertex blank;  // z 0, rhw 1
                for (std::uint32_t i = 0; i < kVertexCount; ++i)
                    std::memcpy(data + i * kVertexStride, &blank, kVertexStride);
                hr = g_shared.vertices->Unlock();
                if (FAILED(hr))
                    a_log("aParticleSystem. Vertex buffer unlock failed (%s)", platform::dxErrorName(hr));
            }
        }
    }
    if (!g_shared.indices) {
        HRESULT hr = device->CreateIndexBuffer(kIndexCount * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                               &g_shared.indices);
        if (FAILED(hr)) {
            g_shared.indices = nullptr;
            a_log("aParticleSystem. Index buffer creation failed (%s)", platform::dxErrorName(hr));
        } else {
            std::uint8_t* data = nullptr;
            hr = g_shared.indices->Lock(0, kIndexCount * 2, &data, 0);
            if (FAILED(hr)) {
                a_log("aParticleSystem. Index buffer lock failed (%s)", platform::dxErrorName(hr));
            } else {
                for (std::uint32_t q = 0; q < aParticleSystem::kMaxParticles; ++q) {
                    const std::uint32_t b = 4 * q;
                    const std::uint16_t quad[6] = {std::uint16_t(b),     std::uint16_t(b + 1), std::uint16_t(b + 2),
                                                   std::uint16_t(b + 1), std::uint16_t(b + 2), std::uint16_t(b + 3)};
                    for (int i = 0; i < 6; ++i) {
                        data[(6 * q + i) * 2] = std::uint8_t(quad[i] & 0xFF);
                        data[(6 * q + i) * 2 + 1] = std::uint8_t(quad[i] >> 8);
                    }
                }
                hr = g_shared.indices->Unlock();
                if (FAILED(hr))
                    a_log("aParticleSystem. Index buffer unlock failed (%s)", platform::dxErrorName(hr));
            }
        }
    }
}

void acquireSharedBuffers()
{
    ++g_shared.systems;
    makeSharedBuffers();
}

void releaseSharedBuffers()
{
    if (g_shared.systems == 0 || --g_shared.systems != 0)
        return;
    if (g_shared.indices)
        g_shared.indices->Release();
    g_shared.indices = nullptr;
    if (g_shared.vertices)
        g_shared.vertices->Release();
    g_shared.vertices = nullptr;
}

// U(lo, hi) from the engine-wide generator, in f32 as the effects were tuned.
float uniform(float lo, float hi) { return lo + float(a_rand()) * (hi - lo) / float(A_RAND_MAX); }

float rateTo(float end, float value, float lifetime) { return lifetime > 0.0f ? (end - value) / lifetime : 0.0f; }

std::uint32_t packChannel(float v)
{
    if (v >= 1.0f)
        return 255;
    if (!(v > 0.0f))  // NaN packs as 0 too
        return 0;
    return std::uint32_t(v * 255.0f + 0.5f);
}

std::int16_t boxCoordinate(float v)
{
    if (v != v)
        return 0;
    if (v <= -32768.0f)
        return -32768;
    if (v >= 32767.0f)
        return 32767;
    return std::int16_t(v);
}

std::uint16_t boxExtent(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 65535.0f)
        return 65535;
    return std::uint16_t(v);
}

// --- ".psys" line reading, with scanf's rules for %d, %x, %f and %s ----------

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

struct LineReader {
    const char* p;

    void skipBlanks()
    {
        while (isBlank(*p))
            ++p;
    }
    bool word(std::string& out)
    {
        skipBlanks();
        const char* start = p;
        while (*p && !isBlank(*p))
            ++p;
        if (p == start)
            return false;
        out.assign(start, std::size_t(p - start));
        return true;
    }
    // A 32-bit int; longer numbers keep their low bits, as a narrowing store.
    bool integer(std::int32_t& out)
    {
        skipBlanks();
        char* end = nullptr;
        errno = 0;
        long long v = std::strtoll(p, &end, 10);
        if (end == p)
            return false;
        if (errno == ERANGE)
            v = static_cast<long long>(std::strtoull(p, nullptr, 10));
        out = std::int32_t(std::uint32_t(static_cast<unsigned long long>(v)));
        p = end;
        return true;
    }
    bool hex(std::uint32_t& out)
    {
        skipBlanks();
        char* end = nullptr;
        const unsigned long long v = std::strtoull(p, &end, 16);
        if (end == p)
            return false;
        out = std::uint32_t(v);
        p = end;
        return true;
    }
    bool real(float& out)
    {
        skipBlanks();
        char* end = nullptr;
        const float v = strtof_l(p, &end, cLocale());
        if (end == p)
            return false;
        out = v;
        p = end;
        return true;
    }
    bool unsignedValue(std::uint32_t& out)
    {
        std::int32_t v = 0;
        if (!integer(v))
            return false;
        out = std::uint32_t(v);
        return true;
    }
    bool flag(bool& out)
    {
        std::int32_t v = 0;
        if (!integer(v))
            return false;
        out = v != 0;
        return true;
    }
    bool range(aParticleRange& r) { return real(r.min) && real(r.max); }
    bool span(aParticleSpan& s) { return real(s.start) && real(s.end) && real(s.variance); }
};

void splitColor(std::uint32_t argb, float out[4])
{
    out[0] = float((argb >> 16) & 0xFF) * kByteToUnit;
    out[1] = float((argb >> 8) & 0xFF) * kByteToUnit;
    out[2] = float(argb & 0xFF) * kByteToUnit;
    out[3] = float(argb >> 24) * kByteToUnit;
}

} // namespace

aParticleSystem::aParticleSystem(const std::string& path, aImageManager* images, const std::string* group)
{
    acquireSharedBuffers();
    load(path);
    if (images && !m_textureName.empty())
        setTexture(images->GetImage(m_textureName, group ? *group : std::string()), nullptr);
}

aParticleSystem::aParticleSystem(const aParticleSystem& other)
{
    acquireSharedBuffers();
    copyFrom(other);
}

aParticleSystem::~aParticleSystem()
{
    m_colliders.clear();
    m_windZones.clear();
    for (aParticle* list : {m_live, m_pool}) {
        while (list) {
            aParticle* next = list->next;
            delete list;
            list = next;
        }
    }
    m_live = m_pool = nullptr;
    m_texture.reset();
    releaseSharedBuffers();
}

void aParticleSystem::load(const std::string& path)
{
    aStringList lines(path);
    for (lines.first(); !lines.isEnd(); lines.next()) {
        LineReader in{lines.getCurrent().c_str()};
        std::string key;
        if (!in.word(key))
            continue;
        if (key == "max_particles") {
            in.unsignedValue(max_particles);
        } else if (key == "fps") {
            std::int32_t v = 0;
            if (!in.integer(v))
                continue;
            if (v <= 0) {
                a_log("aParticleSystem. %s: fps %d is not positive, the system will not move", path.c_str(), v);
                v = 0;
            } else if (v > kMaxFps) {
                a_log("aParticleSystem. %s: fps %d is above %d, %d is used", path.c_str(), v, kMaxFps, kMaxFps);
                v = kMaxFps;
            }
            fps = std::uint32_t(v);
        } else if (key == "emitter_type") {
            in.unsignedValue(emitter_type);
        } else if (key == "emitter_life") {
            in.real(emitter_life);
        } else if (key == "emitter_size") {
            in.real(emitter_size[0]) && in.real(emitter_size[1]);
        } else if (key == "emitter_angle") {
            in.real(emitter_angle);
        } else if (key == "emit_per_sec") {
            in.unsignedValue(emit_per_sec);
        } else if (key == "blend_mode") {
            in.unsignedValue(blend_mode);
        } else if (key == "spread") {
            in.range(spread);
        } else if (key == "spread_relative") {
            in.flag(spread_relative);
        } else if (key == "spin_by_dir") {
            in.flag(spin_by_dir);
        } else if (key == "particle_life") {
            in.range(particle_life);
        } else if (key == "gravity") {
            in.range(gravity);
        } else if (key == "wind") {
            in.range(wind);
        } else if (key == "radial_acc") {
            in.range(radial_acc);
        } else if (key == "tangential_acc") {
            in.range(tangential_acc);
        } else if (key == "velocity") {
            in.range(velocity);
        } else if (key == "spin") {
            in.span(spin);
        } else if (key == "size") {
            in.span(size);
        } else if (key == "color") {
            std::uint32_t start = 0, end = 0;
            if (!in.hex(start))
                continue;
            splitColor(start, color_start);
            if (!in.hex(end))
                continue;
            splitColor(end, color_end);
            in.real(color_variance) && in.real(alpha_variance);
        } else if (key == "texture") {
            in.word(m_textureName);
        }
    }
}

void aParticleSystem::copyDescription(const aParticleSystem& o)
{
    max_particles = o.max_particles;
    emit_per_sec = o.emit_per_sec;
    fps = o.fps;
    blend_mode = o.blend_mode;
    emitter_type = o.emitter_type;
    std::memcpy(emitter_size, o.emitter_size, sizeof emitter_size);
    emitter_angle = o.emitter_angle;
    emitter_life = o.emitter_life;
    spin_by_dir = o.spin_by_dir;
    std::memcpy(color_start, o.color_start, sizeof color_start);
    std::memcpy(color_end, o.color_end, sizeof color_end);
    color_variance = o.color_variance;
    alpha_variance = o.alpha_variance;
    spin = o.spin;
    size = o.size;
    particle_life = o.particle_life;
    gravity = o.gravity;
    wind = o.wind;
    radial_acc = o.radial_acc;
    tangential_acc = o.tangential_acc;
    velocity = o.velocity;
    spread = o.spread;
    spread_relative = o.spread_relative;
}

aParticleSystem& aParticleSystem::copyFrom(const aParticleSystem& other)
{
    if (&other == this)
        return *this;
    copyDescription(other);
    m_stopCallback = other.m_stopCallback;
    m_stopUser = other.m_stopUser;
    m_emitCallback = other.m_emitCallback;
    m_emitUser = other.m_emitUser;
    m_deathCallback = other.m_deathCallback;
    m_deathUser = other.m_deathUser;
    m_boundingBoxEnabled = other.m_boundingBoxEnabled;
    releaseParticles();
    setTexture(other.m_texture.get(), &other.m_sourceRect);
    // Same records in the same order, so overlapping colliders act alike.
    m_colliders = other.m_colliders;
    m_windZones = other.m_windZones;
    return *this;
}

void aParticleSystem::setTexture(const aImage* image, const aRect* rect)
{
    // Copy first: image or rect may be this system's own.
    std::unique_ptr<aImage> held = image ? std::make_unique<aImage>(*image) : nullptr;
    const aRect source = rect ? *rect : image ? aRect(0, 0, image->getWidth(), image->getHeight()) : aRect();
    m_texture = std::move(held);
    m_sourceRect = source;
    std::memset(m_uv, 0, sizeof m_uv);
    if (!m_texture)
        return;
    D3DSURFACE_DESC desc;
    platform::GfxTexture* texture = m_texture->getTexture();
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return;
    const float w = float(desc.Width), h = float(desc.Height);
    const float left = float(source.x) / w, top = float(source.y) / h;
    const float right = float(source.x + source.width) / w, bottom = float(source.y + source.height) / h;
    const float corners[4][2] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}};
    std::memcpy(m_uv, corners, sizeof m_uv);
}

void aParticleSystem::start()
{
    if (emitter_life == 0.0f) {
        emit(emit_per_sec);
        return;
    }
    if (m_running)
        return;
    m_running = true;
    m_lastEmission = m_time;
    m_emitterStart = m_time;
}

void aParticleSystem::startAt(float x, float y)
{
    m_prevEmitterX = m_emitterX = x;
    m_prevEmitterY = m_emitterY = y;
    m_motionMode = PARTICLE_MOTION_NONE;
    start();
}

void aParticleSystem::stop()
{
    if (!m_running || m_stopping)
        return;
    if (m_stopCallback) {
        m_stopping = true;
        m_stopCallback(this, m_stopUser);
        m_stopping = false;
    }
    m_running = false;
}

void aParticleSystem::releaseParticles()
{
    while (m_live) {
        aParticle* p = m_live;
        m_live = p->next;
        p->next = m_pool;
        m_pool = p;
    }
    m_liveCount = 0;
}

void aParticleSystem::reset()
{
    releaseParticles();
    m_time = 0.0f;
    m_accumulator = 0.0f;
    m_running = false;
    m_motionMode = PARTICLE_MOTION_NONE;
    m_boundingBox = aRect();
}

void aParticleSystem::moveTo(float x, float y)
{
    m_prevEmitterX = m_emitterX;
    m_prevEmitterY = m_emitterY;
    m_emitterX = x;
    m_emitterY = y;
    m_motionMode = PARTICLE_MOTION_NONE;
}

void aParticleSystem::shiftParticles(float dx, float dy)
{
    for (aParticle* p = m_live; p; p = p->next) {
        p->x += dx;
        p->y += dy;
        p->originX += dx;
        p->originY += dy;
    }
}

void aParticleSystem::moveWithParticles(float x, float y)
{
    if (m_liveCount > 0)
        shiftParticles(x - m_emitterX, y - m_emitterY);
    moveTo(x, y);
}

void aParticleSystem::addCollider(aParticleCollider* collider)
{
    if (collider)
        m_colliders.push_back(collider);
}

void aParticleSystem::addWindZone(aParticleWindZone* zone)
{
    if (zone)
        m_windZones.push_back(zone);
}

void aParticleSystem::setMotion(std::uint32_t mode, float duration, float velocityX, float velocityY, float accelX,
                                float accelY, bool stopAtEnd)
{
    m_motionMode = mode;
    m_motionDuration = duration;
    m_motionStart = m_time;
    m_motionStopAtEnd = stopAtEnd;
    m_motionStartX = m_emitterX;
    m_motionStartY = m_emitterY;
    m_motionVelX = velocityX;
    m_motionVelY = velocityY;
    m_motionAccX = accelX;
    m_motionAccY = accelY;
}

void aParticleSystem::setStopCallback(aParticleStopCallback callback, void* user)
{
    m_stopCallback = callback;
    m_stopUser = user;
}

void aParticleSystem::setEmitCallback(aParticleCallback callback, void* user)
{
    m_emitCallback = callback;
    m_emitUser = user;
}

void aParticleSystem::setDeathCallback(aParticleCallback callback, void* user)
{
    m_deathCallback = callback;
    m_deathUser = user;
}

void aParticleSystem::update(float dt)
{
    if (fps == 0) {
        m_accumulator = 0.0f;
        return;
    }
    const float step = 1.0f / float(fps);
    m_accumulator += dt;
    if (m_accumulator != m_accumulator)  // a NaN frame time would freeze the clock for good
        m_accumulator = 0.0f;
    std::uint32_t steps = 0;
    while (m_accumulator >= step) {
        if (steps == kMaxStepsPerUpdate) {
            m_accumulator = 0.0f;
            break;
        }
        m_time += step;
        simulate(step);
        m_accumulator -= step;
        ++steps;
    }
}

void aParticleSystem::simulate(float dt)
{
    const float t = m_time;
    float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;
    bool boxStarted = false;

    aParticle** link = &m_live;
    while (aParticle* p = *link) {
        // Written as "not younger" so that a NaN lifetime dies too.
        if (!(t - p->birth < p->lifetime)) {
            if (m_deathCallback)
                m_deathCallback(this, p, m_deathUser);
            *link = p->next;
            p->next = m_pool;
            m_pool = p;
            --m_liveCount;
            continue;
        }

        p->velX += p->radial * dt * p->dirX;
        p->velY += p->radial * dt * p->dirY;
        p->velX += p->tangential * dt * -p->dirY;
        p->velY += p->tangential * dt * p->dirX;
        p->velX += p->accelX * dt;
        p->velY += p->accelY * dt;

        for (int c = 0; c < 4; ++c)
            p->color[c] += p->colorRate[c] * dt;
        p->size += p->sizeRate * dt;

        if (!m_windZones.empty()) {
            float fx = 0.0f, fy = 0.0f;
            for (const aParticleWindZone* z : m_windZones) {
                if (z->left <= p->x && p->x <= z->right && z->top <= p->y && p->y <= z->bottom) {
                    fx += z->forceX;
                    fy += z->forceY;
                }
            }
            p->velX += fx * dt;
            p->velY += fy * dt;
        }

        const float oldX = p->x, oldY = p->y;
        p->x += p->velX * dt;
        p->y += p->velY * dt;

        for (const aParticleCollider* c : m_colliders) {
            const float dx = c->x - p->x, dy = c->y - p->y;
            if (!(c->nx * dx + c->ny * dy > 0.001f))
                continue;
            switch (c->type) {
            case PARTICLE_COLLIDER_BOUNCE: {
                const float dot = c->nx * p->velX + c->ny * p->velY;
                const float vnX = dot * c->nx, vnY = dot * c->ny;
                const float vtX = p->velX - vnX, vtY = p->velY - vnY;
                p->originX = p->x = oldX;
                p->originY = p->y = oldY;
                p->velX = vtX - c->restitution * vnX;
                p->velY = vtY - c->restitution * vnY;
                break;
            }
            case PARTICLE_COLLIDER_KILL:
                p->birth -= p->lifetime;
                break;
            case PARTICLE_COLLIDER_STOP:
                p->x = oldX;
                p->y = oldY;
                p->velX = p->velY = 0.0f;
                p->radial = p->tangential = 0.0f;
                break;
            default:
                break;
            }
        }

        const float ox = p->x - p->originX, oy = p->y - p->originY;
        const float length = std::sqrt(ox * ox + oy * oy);
        if (length != 0.0f) {
            p->dirX = ox / length;
            p->dirY = oy / length;
        }

        if (p->spinByDir)
            p->angle = std::atan2(p->velY, p->velX);
        else
            p->angle += p->spinRate * dt;

        if (m_boundingBoxEnabled) {
            if (!boxStarted) {
                minX = maxX = p->x;
                minY = maxY = p->y;
                boxStarted = true;
            } else {
                minX = std::fmin(minX, p->x);
                maxX = std::fmax(maxX, p->x);
                minY = std::fmin(minY, p->y);
                maxY = std::fmax(maxY, p->y);
            }
        }
        link = &p->next;
    }

    if (m_boundingBoxEnabled && m_liveCount > 0 && boxStarted)
        m_boundingBox = aRect(boxCoordinate(minX), boxCoordinate(minY), boxExtent(maxX - minX), boxExtent(maxY - minY));
    else
        m_boundingBox = aRect();

    if (m_running && emitter_life != 0.0f) {
        if (emit_per_sec == 0) {
            m_lastEmission = t;
        } else {
            // Whole particles only: the fraction carries to the next step.
            const float whole = std::floor(float(emit_per_sec) * (t - m_lastEmission));
            if (whole > 0.0f) {
                const std::uint32_t cap = max_particles < kMaxParticles ? max_particles : kMaxParticles;
                const std::uint32_t room = m_liveCount < cap ? cap - m_liveCount : 0;
                const std::uint32_t n = whole < float(room) ? std::uint32_t(whole) : room;
                m_lastEmission += whole / float(emit_per_sec);
                emit(n);
            }
        }
        if (emitter_life > 0.0f && t - m_emitterStart >= emitter_life)
            stop();
    }

    updateMotion(t);
}

void aParticleSystem::updateMotion(float t)
{
    switch (m_motionMode) {
    case PARTICLE_MOTION_DRAG:
    case PARTICLE_MOTION_MOVE: {
        float tau = t - m_motionStart;
        if (tau > m_motionDuration)
            tau = m_motionDuration;
        const float x = m_motionStartX + m_motionVelX * tau + m_motionAccX * tau * tau * 0.5f;
        const float y = m_motionStartY + m_motionVelY * tau + m_motionAccY * tau * tau * 0.5f;
        if (m_motionMode == PARTICLE_MOTION_DRAG)
            shiftParticles(x - m_emitterX, y - m_emitterY);
        m_prevEmitterX = m_emitterX;
        m_prevEmitterY = m_emitterY;
        m_emitterX = x;
        m_emitterY = y;
        if (tau < m_motionDuration)
            return;
        // The mode ends before the callback, so that it may start another.
        m_motionMode = PARTICLE_MOTION_NONE;
        if (m_motionStopAtEnd)
            stop();
        break;
    }
    case PARTICLE_MOTION_TIMER:
    case PARTICLE_MOTION_TIMER2:
        if (t - m_motionStart >= m_motionDuration) {
            m_motionMode = PARTICLE_MOTION_NONE;
            if (m_motionStopAtEnd)
                stop();
        }
        break;
    case PARTICLE_MOTION_NONE:
        m_prevEmitterX = m_emitterX;
        m_prevEmitterY = m_emitterY;
        break;
    default:
        break;
    }
}

void aParticleSystem::emit(std::uint32_t count)
{
    const std::uint32_t cap = max_particles < kMaxParticles ? max_particles : kMaxParticles;
    const float base =
        spread_relative ? std::atan2(m_emitterY - m_prevEmitterY, m_emitterX - m_prevEmitterX) + kPi : 0.0f;
    float c = 1.0f, s = 0.0f;
    if (emitter_type != 0) {
        c = std::cos(emitter_angle);
        s = std::sin(emitter_angle);
    }
    const float a = emitter_size[0], b = emitter_size[1];

    for (std::uint32_t i = 0; i < count && m_liveCount < cap; ++i) {
        aParticle* p = m_pool;
        if (p) {
            m_pool = p->next;
        } else {
            p = new aParticle;
            ++m_recordCount;
        }
        p->next = m_live;
        m_live = p;
        p->birth = m_time;

        // The order of the draws below is part of the replay contract.
        p->lifetime = uniform(particle_life.min, particle_life.max);
        p->radial = uniform(radial_acc.min, radial_acc.max);
        p->tangential = uniform(tangential_acc.min, tangential_acc.max);
        p->accelX = uniform(wind.min, wind.max);
        p->accelY = uniform(gravity.min, gravity.max);
        const float life = p->lifetime;

        const float rs = uniform(0.0f, size.variance);
        p->size = size.start + (size.end - size.start) * rs;
        p->sizeRate = rateTo(size.end, p->size, life);

        const float rc = uniform(0.0f, color_variance);
        for (int k = 0; k < 3; ++k)
            p->color[k] = color_start[k] + (color_end[k] - color_start[k]) * rc;
        const float ra = uniform(0.0f, alpha_variance);
        p->color[3] = color_start[3] + (color_end[3] - color_start[3]) * ra;
        for (int k = 0; k < 4; ++k)
            p->colorRate[k] = rateTo(color_end[k], p->color[k], life);

        const float phi = uniform(spread.min, spread.max) + base;
        p->dirX = std::cos(phi);
        p->dirY = std::sin(phi);
        const float speed = uniform(velocity.min, velocity.max);
        p->velX = speed * p->dirX;
        p->velY = speed * p->dirY;

        p->spinByDir = spin_by_dir;
        if (p->spinByDir) {
            p->angle = std::atan2(p->dirY, p->dirX);
        } else {
            const float r = uniform(0.0f, spin.variance);
            p->angle = spin.start + (spin.end - spin.start) * r;
        }
        p->spinRate = rateTo(spin.end, p->angle, life);

        switch (emitter_type) {
        case 1: {
            const float u = uniform(-a, a);
            const float v = uniform(-b, b);
            p->x = m_emitterX - u * c + v * s;
            p->y = m_emitterY - u * s - v * c;
            p->originX = p->x;
            p->originY = p->y;
            break;
        }
        case 2: {
            const float d = uniform(-a, b);
            p->x = m_emitterX + d * c;
            p->y = m_emitterY + d * s;
            p->originX = p->x;
            p->originY = p->y;
            break;
        }
        default: {
            const float d = uniform(a, b);
            p->x = m_emitterX + d * p->dirX;
            p->y = m_emitterY + d * p->dirY;
            p->originX = m_emitterX;
            p->originY = m_emitterY;
            break;
        }
        }

        if (m_emitCallback)
            m_emitCallback(this, p, m_emitUser);
        ++m_liveCount;
    }
}

void aParticleSystem::render()
{
    if (!m_texture || !m_live)
        return;
    platform::GfxTexture* texture = m_texture->getTexture();
    aGraphServer* gs = graphServer();
    platform::GfxDevice* device = gs ? gs->m_device : nullptr;
    if (!texture || !device)
        return;
    if (!g_shared.vertices || !g_shared.indices)
        makeSharedBuffers();
    if (!g_shared.vertices || !g_shared.indices)
        return;

    const std::uint32_t count = m_liveCount;
    std::uint8_t* data = nullptr;
    HRESULT hr = g_shared.vertices->Lock(0, count * 4 * kVertexStride, &data, 0);
    if (FAILED(hr)) {
        a_log("aParticleSystem. Vertex buffer lock failed on render (%s)", platform::dxErrorName(hr));
        return;
    }
    const float hw = float(m_sourceRect.width) * 0.5f;
    const float hh = float(m_sourceRect.height) * 0.5f;
    TLVertex quad[4];
    for (int i = 0; i < 4; ++i) {
        quad[i].u = m_uv[i][0];
        quad[i].v = m_uv[i][1];
    }
    std::uint32_t written = 0;
    for (const aParticle* p = m_live; p && written < count; p = p->next, ++written) {
        const float k = std::cos(p->angle) * p->size;
        const float m = std::sin(p->angle) * p->size;
        const std::uint32_t color = packChannel(p->color[3] * m_alpha) << 24 | packChannel(p->color[0]) << 16 |
                                    packChannel(p->color[1]) << 8 | packChannel(p->color[2]);
        quad[0].x = p->x - k * hw + m * hh;
        quad[0].y = p->y - m * hw - k * hh;
        quad[1].x = p->x + k * hw + m * hh;
        quad[1].y = p->y + m * hw - k * hh;
        quad[2].x = p->x - k * hw - m * hh;
        quad[2].y = p->y - m * hw + k * hh;
        quad[3].x = p->x + k * hw - m * hh;
        quad[3].y = p->y + m * hw + k * hh;
        for (TLVertex& v : quad)
            v.diffuse = color;
        std::memcpy(data + written * 4 * kVertexStride, quad, sizeof quad);
    }
    hr = g_shared.vertices->Unlock();
    if (FAILED(hr)) {
        a_log("aParticleSystem. Vertex buffer unlock failed (%s)", platform::dxErrorName(hr));
        return;
    }

    const int previousMode = gs->m_blendMode;
    gs->setBlendMode(int(blend_mode));
    device->SetVertexShader(kFvfTLVertex);
    device->SetStreamSource(0, g_shared.vertices, kVertexStride);
    device->SetIndices(g_shared.indices, 0);
    device->SetTexture(0, texture);
    hr = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, written * 4, 0, written * 2);
    if (FAILED(hr))
        a_log("aParticleSystem. Render error (%s)", platform::dxErrorName(hr));
    gs->setBlendMode(previousMode);
}
