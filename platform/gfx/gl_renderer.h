#pragma once
// The GL side of the device: one shader for the stage-0 colour operations,
// one vertex stream for every draw, sampler objects for the filters, texture
// uploads from the CPU copies, and the GL error log. Needs the window's GL
// context current for every call.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/d3d8_device_base.h"

namespace platform {

class Window;

// Names GL objects belong to: the window whose context made them. They are
// deleted only while that window lives (its context takes them otherwise).
struct GlContextToken {
    Window* window = nullptr;
    std::uint32_t sdlId = 0;
    bool alive() const;
    void makeCurrent() const;
};

// The texture name and layout a TextureImpl has on the GL side.
class GlTextureData final : public TextureBackendData {
public:
    GlTextureData(std::shared_ptr<GlContextToken> token, std::uint32_t name) : token(std::move(token)), name(name) {}
    ~GlTextureData() override;
    std::shared_ptr<GlContextToken> token;
    std::uint32_t name;
};

class GlRenderer {
public:
    explicit GlRenderer(std::shared_ptr<GlContextToken> token) : m_token(std::move(token)) {}
    ~GlRenderer();
    GlRenderer(const GlRenderer&) = delete;
    GlRenderer& operator=(const GlRenderer&) = delete;

    bool init(std::string* error);
    // Forget what GL state is believed to be set (someone else touched it).
    void invalidate() { m_applied = Applied{}; }

    // Draws triangles into the framebuffer `fbo` of width x height with the
    // state and texture given; uploads what the texture's copy has dirty.
    void draw(const DrawState& state, TextureImpl* texture, std::uint32_t fbo, int width, int height,
              const BatchVertex* vertices, std::size_t vertexCount, const std::uint16_t* indices,
              std::size_t indexCount, GfxDeviceStats& stats);
    void clear(std::uint32_t fbo, int width, int height, const std::vector<RECT>& rects, D3DCOLOR color);

    // Logs each kind of GL error once per place.
    void checkErrors(const char* where);

private:
    struct Applied {
        bool valid = false;
        std::uint32_t fbo = 0;
        int width = 0, height = 0;
        RECT scissor{-1, -1, -1, -1};
        std::uint32_t blend = 2, src = 0, dst = 0;
        std::uint32_t op = 0, arg1 = 0, arg2 = 0;
        int hasTexture = -1;
        std::uint32_t texture = 0;
        std::uint32_t sampler = ~0u;
    };

    std::uint32_t textureName(TextureImpl& texture, GfxDeviceStats& stats);
    void applyTarget(std::uint32_t fbo, int width, int height);
    void applyScissor(const RECT& r, int height);

    std::shared_ptr<GlContextToken> m_token;
    std::uint32_t m_program = 0;
    std::uint32_t m_vao = 0;
    std::uint32_t m_vbo = 0;
    std::uint32_t m_ebo = 0;
    std::uint32_t m_samplers[2][2] = {};  // [min linear][mag linear]
    int m_uScale = -1, m_uHasTex = -1, m_uOp = -1, m_uArg1 = -1, m_uArg2 = -1;
    Applied m_applied;
    std::set<std::pair<std::string, unsigned>> m_reported;
};

} // namespace platform
