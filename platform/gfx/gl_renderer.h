#pragma once
// The GL side of the device: a shader program per stage-0 colour operation
// and number of bound texture arrays, one vertex stream for every draw,
// sampler objects for the filters, texture arrays filled from the CPU
// copies, and the GL error log. Needs the window's GL context current for
// every call.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
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

// Textures of one size and alpha kind share a GL array texture, a layer
// each, so that a batch of such textures samples one unit with no choice
// per pixel. The storage has a layer for each entry of `layers`, made when a
// texture is placed; a layer's pixels come from its texture's CPU copy.
class GlTextureArray {
public:
    GlTextureArray(std::shared_ptr<GlContextToken> token, int width, int height, bool opaque)
        : token(std::move(token)), width(width), height(height), opaque(opaque)
    {
    }
    ~GlTextureArray();
    GlTextureArray(const GlTextureArray&) = delete;
    GlTextureArray& operator=(const GlTextureArray&) = delete;

    // Bytes of storage one layer takes (RGBA8).
    std::uint64_t layerBytes() const { return std::uint64_t(width) * std::uint64_t(height) * 4; }

    std::shared_ptr<GlContextToken> token;
    int width, height;
    bool opaque;
    std::uint32_t name = 0;
    std::vector<TextureImpl*> layers;  // the texture in each layer (null: free)
    std::size_t live = 0;              // layers taken
};

// The array and layer a TextureImpl has on the GL side.
class GlTextureData final : public TextureBackendData {
public:
    GlTextureData(std::shared_ptr<GlTextureArray> array, int layer) : array(std::move(array)), layer(layer) {}
    ~GlTextureData() override
    {
        array->layers[std::size_t(layer)] = nullptr;
        --array->live;
    }
    std::shared_ptr<GlTextureArray> array;
    int layer;
};

// A vertex as GL draws it: the device's vertex, its texture coordinates
// already moved to where the pixel centre samples, the layer of its texture,
// the level of detail its triangle samples at (it only picks the filter) and
// the unit its texture's array is bound to.
struct GlVertex {
    BatchVertex v;
    float layer;
    float lod;
    std::uint32_t unit;
};

// An off-screen colour target (RGBA8) that a frame can be drawn into to
// check it against the window's own targets.
class GlScratchTarget {
public:
    explicit GlScratchTarget(std::shared_ptr<GlContextToken> token) : m_token(std::move(token)) {}
    ~GlScratchTarget();
    GlScratchTarget(const GlScratchTarget&) = delete;
    GlScratchTarget& operator=(const GlScratchTarget&) = delete;

    // Makes (or remakes) it width x height; false when GL refuses.
    bool ensure(int width, int height);
    bool holds(int width, int height) const { return m_fbo && m_width == width && m_height == height; }
    bool made() const { return m_fbo != 0; }
    // Gives its storage back.
    void release();
    std::uint32_t framebuffer() const { return m_fbo; }
    // Its pixels, top row first, 4 bytes each B, G, R, A.
    bool read(std::vector<std::uint8_t>& bgra) const;

private:
    std::shared_ptr<GlContextToken> m_token;
    std::uint32_t m_fbo = 0;
    std::uint32_t m_rb = 0;
    int m_width = 0;
    int m_height = 0;
};

class GlRenderer {
public:
    // Textures one draw binds at most.
    static constexpr int kMaxUnits = 8;

    explicit GlRenderer(std::shared_ptr<GlContextToken> token) : m_token(std::move(token)) {}
    ~GlRenderer();
    GlRenderer(const GlRenderer&) = delete;
    GlRenderer& operator=(const GlRenderer&) = delete;

    bool init(std::string* error);
    // Forget what GL state is believed to be set (someone else touched it).
    void invalidate() { m_applied = Applied{}; }

    // Textures one draw can bind here (1 .. kMaxUnits).
    int maxUnits() const { return m_maxUnits; }

    // Gives the texture a layer in an array of its size and alpha kind (once),
    // making or growing that array's storage now. Null when GL cannot make
    // the storage (logged): the texture then has none, and every texture
    // placed before keeps its storage and pixels.
    GlTextureArray* place(TextureImpl& texture);
    // The array the texture has a layer in here, or null.
    GlTextureArray* arrayOf(const TextureImpl& texture) const;
    // The texture goes: its layer is freed; an array left empty gives its
    // storage back, one left more than half empty moves its textures into
    // smaller storage. Layers may change: no pending draw may name the array.
    void release(TextureImpl& texture);
    // Whether release(texture) would move the layers of its array.
    bool releaseMoves(const TextureImpl& texture) const;
    // Bytes of texture storage held, and the bytes the placed textures need.
    std::uint64_t storageBytes() const;
    std::uint64_t neededBytes() const;
    // For tests: the next `count` storage allocations fail as GL failing
    // them would.
    void failAllocations(int count) { m_failAllocations = count; }

    // Appends one draw's triangles from indices[0, indexCount) to a batch:
    // the texture coordinates moved by what the geometry's tie-breaking
    // shift moves the pixel centres, and each triangle's level of detail
    // from its texels per pixel. Only vertices the triangles use are
    // appended; a vertex that triangles would give different values is
    // copied. Stops before a triangle whose vertices would take an index
    // past 16 bits; returns how many indices it took (all of them, a
    // trailing part of a triangle included, when everything fitted).
    static std::size_t appendDraw(const DrawState& state, const TextureImpl* texture, std::uint32_t unit,
                                  const BatchVertex* vertices, std::size_t vertexCount,
                                  const std::uint16_t* indices, std::size_t indexCount,
                                  std::vector<GlVertex>& outVertices, std::vector<std::uint16_t>& outIndices);

    // Draws triangles into the framebuffer `fbo` of width x height with the
    // state given, inside clip when given; arrays[i] goes to unit i, which
    // the vertices name (null samples opaque white). Uploads what the
    // textures' copies have dirty.
    void draw(const DrawState& state, GlTextureArray* const* arrays, int arrayCount, TextureImpl* const* textures,
              int textureCount, std::uint32_t fbo, int width, int height, const GlVertex* vertices,
              std::size_t vertexCount, const std::uint16_t* indices, std::size_t indexCount, GfxDeviceStats& stats,
              const RECT* clip = nullptr);
    void clear(std::uint32_t fbo, int width, int height, const std::vector<RECT>& rects, D3DCOLOR color);

    // Logs each kind of GL error once per place.
    void checkErrors(const char* where);

private:
    struct Applied {
        bool valid = false;
        int width = 0, height = 0;
        RECT scissor{-1, -1, -1, -1};
        std::uint32_t blend = 2, src = 0, dst = 0;
        std::uint32_t program = 0;
        std::uint32_t sampler[kMaxUnits] = {};
    };

    // A linked program, the target size its scale uniform was set for and,
    // with one texture, the unit its sampler reads.
    struct Program {
        std::uint32_t name = 0;
        int units = 0;
        int scaleLocation = -1;
        int samplerLocation = -1;
        int width = 0, height = 0;
        int samplerUnit = 0;
    };

    // Part of a batch drawn with one GL draw: the triangles of indices
    // [first, first + count), of one unit, or of several (-1).
    struct Piece {
        std::size_t first;
        std::size_t count;
        int unit;
        bool small;  // runs too small for a draw of their own
    };
    // Cuts a batch of several units into pieces: runs of one texture that
    // read enough pixels inside the scissor for a draw of their own, and
    // what lies between them merged.
    static void splitRuns(const GlVertex* vertices, const std::uint16_t* indices, std::size_t indexCount, int units,
                          const RECT& scissor, std::vector<Piece>& out);

    // Gives the array new storage of `layers` layers, the old storage kept
    // until the new exists; false (with the GL error) when GL fails it.
    bool allocate(GlTextureArray& array, std::size_t layers, std::uint32_t& error);
    // A mostly empty array's textures moved into the smallest storage of
    // a power of two layers that holds them.
    void shrink(GlTextureArray& array);
    // Uploads what the texture's copy has dirty into its layer.
    void upload(TextureImpl& texture, GfxDeviceStats& stats);
    void applyTarget(std::uint32_t fbo, int width, int height);
    void applyScissor(const RECT& r, int height);
    // The program for the state's colour operation with `units` textures
    // (0: none); made on first use, null when it does not build (why in
    // buildError, else logged).
    Program* program(const DrawState& state, int units, std::string* buildError = nullptr);
    void use(Program& program, int width, int height, int samplerUnit);

    std::shared_ptr<GlContextToken> m_token;
    std::map<std::uint32_t, Program> m_programs;
    int m_maxUnits = 1;
    std::uint32_t m_vao = 0;
    std::uint32_t m_vbo = 0;
    std::uint32_t m_ebo = 0;
    std::uint32_t m_white = 0;  // 1 x 1 opaque white array: the unit of a draw without texture
    int m_maxLayers = 1;
    int m_failAllocations = 0;
    // Arrays by width, height and opacity.
    std::map<std::tuple<int, int, bool>, std::vector<std::shared_ptr<GlTextureArray>>> m_arrays;
    std::uint32_t m_samplers[2][2] = {};  // [min linear][mag linear]
    Applied m_applied;
    std::vector<Piece> m_pieces;
    std::set<std::pair<std::string, unsigned>> m_reported;
};

} // namespace platform
