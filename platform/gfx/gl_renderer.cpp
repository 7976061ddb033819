#include "platform/gfx/gl_renderer.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/gfx/frame_record.h"
#include "platform/system/window.h"

namespace platform {

namespace {

// Geometry is moved half a pixel less kDelta (kEdgeNudge) so that edges on
// pixel centres never tie (integer edges then cover x .. x + w - 1 whatever
// the rasteriser's rule); appendDraw moves texture coordinates back by the
// same amount. Positions have no perspective (w = 1) and nothing is
// interpolated with one, which spares a software rasteriser a division per
// pixel.
const std::string& vertexShader()
{
    static const std::string source = std::string(R"(#version 330 core
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUV;
layout(location = 3) in float aLayer;
layout(location = 4) in float aLod;
layout(location = 5) in uint aUnit;
uniform vec2 uScale;
noperspective out vec4 vColor;
noperspective out vec2 vUV;
flat out float vLayer;
flat out float vLod;
flat out uint vUnit;
const float kDelta = )") + std::to_string(kEdgeNudge) + R"(;
void main()
{
    gl_Position = vec4((aPos + (0.5 - kDelta)) * uScale + vec2(-1.0, 1.0), 0.0, 1.0);
    vColor = aColor;
    vUV = aUV;
    vLayer = aLayer;
    vLod = aLod;
    vUnit = aUnit;
}
)";
    return source;
}

// The colour operation is fixed per program, so no pixel pays for choosing
// it. Operation and argument numbers are the device's (D3DTOP_*, D3DTA_*).
// Textures have one level, so the level of detail only picks the filter:
// above 0 the minifying one, else the magnifying one. It comes with the
// triangle (see appendDraw), so a pixel gets the same filter whichever
// batch or program draws it, and no pixel computes gradients.
std::string fragmentShader(std::uint32_t op, bool arg1Texture, bool arg2Texture, int units)
{
    std::string s = R"(#version 330 core
noperspective in vec4 vColor;
noperspective in vec2 vUV;
flat in float vLayer;
flat in float vLod;
flat in uint vUnit;
out vec4 fragColor;
)";
    if (units > 0)
        s += "uniform sampler2DArray uTex[" + std::to_string(units) + "];\n";
    s += "vec4 texel()\n{\n";
    if (units == 0) {
        s += "    return vec4(1.0);\n";
    } else {
        s += "    vec3 at = vec3(vUV, vLayer);\n";
        for (int i = 0; i + 1 < units; ++i)
            s += "    if (vUnit == " + std::to_string(i) + "u)\n        return textureLod(uTex[" + std::to_string(i) +
                 "], at, vLod);\n";
        s += "    return textureLod(uTex[" + std::to_string(units - 1) + "], at, vLod);\n";
    }
    s += "}\nvoid main()\n{\n    vec4 d = vColor;\n";
    const char* a1 = arg1Texture ? "t.rgb" : "d.rgb";
    const char* a2 = arg2Texture ? "t.rgb" : "d.rgb";
    std::string c;
    switch (op) {
    case D3DTOP_SELECTARG1: c = a1; break;
    case D3DTOP_SELECTARG2: c = a2; break;
    case D3DTOP_MODULATE: c = std::string(a1) + " * " + a2; break;
    case D3DTOP_ADD: c = std::string(a1) + " + " + a2; break;
    case D3DTOP_SUBTRACT: c = std::string(a1) + " - " + a2; break;
    default: break;
    }
    if (c.empty())
        s += "    fragColor = vec4(clamp(d.rgb, 0.0, 1.0), d.a);\n";
    else
        s += "    vec4 t = texel();\n    fragColor = vec4(clamp(" + c + ", 0.0, 1.0), t.a * d.a);\n";
    return s + "}\n";
}

GLenum blendFactor(std::uint32_t b)
{
    switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
    }
}

struct UploadFormat {
    GLenum format;
    GLenum type;
    bool opaque;  // alpha reads 1 whatever the bits say
};

UploadFormat uploadFormat(D3DFORMAT f)
{
    switch (f) {
    case D3DFMT_A8R8G8B8: return {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
    case D3DFMT_X8R8G8B8: return {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true};
    case D3DFMT_R5G6B5: return {GL_RGB, GL_UNSIGNED_SHORT_5_6_5, true};
    case D3DFMT_X1R5G5B5: return {GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true};
    case D3DFMT_A1R5G5B5: return {GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
    case D3DFMT_A4R4G4B4: return {GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
    default: return {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
    }
}

GLuint compile(GLenum kind, const char* source, std::string* error)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        if (error)
            *error = std::string("shader: ") + log;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// A run of one texture whose pixels, times the other units' reads each pixel
// of a merged draw pays, reach this is drawn on its own. On a software
// rasteriser that many texture reads cost about as much as a draw call.
constexpr double kOwnDrawReads = 32768.0;

} // namespace

void GlRenderer::splitRuns(const GlVertex* v, const std::uint16_t* idx, std::size_t count, int units,
                           const RECT& scissor, std::vector<Piece>& out)
{
    out.clear();
    std::size_t start = 0;
    double area = 0.0;
    auto close = [&](std::size_t end) {
        if (end == start)
            return;
        const int unit = int(v[idx[start]].unit);
        if (area * double(units - 1) >= kOwnDrawReads) {
            out.push_back(Piece{start, end - start, unit, false});
        } else if (!out.empty() && out.back().small) {
            out.back().count += end - start;
            out.back().unit = -1;
        } else {
            out.push_back(Piece{start, end - start, unit, true});
        }
    };
    for (std::size_t t = 0; t + 2 < count; t += 3) {
        if (v[idx[t]].unit != v[idx[start]].unit) {
            close(t);
            start = t;
            area = 0.0;
        }
        const BatchVertex& a = v[idx[t]].v;
        const BatchVertex& b = v[idx[t + 1]].v;
        const BatchVertex& c = v[idx[t + 2]].v;
        // Only pixels inside the scissor are read: a large triangle drawn
        // into a small area costs as little as a small one.
        const double w = std::min<double>(std::max({a.x, b.x, c.x}) + 1.0, scissor.right) -
                         std::max<double>(std::min({a.x, b.x, c.x}) - 1.0, scissor.left);
        const double h = std::min<double>(std::max({a.y, b.y, c.y}) + 1.0, scissor.bottom) -
                         std::max<double>(std::min({a.y, b.y, c.y}) - 1.0, scissor.top);
        const double inside = w > 0.0 && h > 0.0 ? w * h : 0.0;
        area += std::min(inside, 0.5 * std::fabs(double(b.x - a.x) * double(c.y - a.y) -
                                                 double(c.x - a.x) * double(b.y - a.y)));
    }
    close(count);
}

bool GlContextToken::alive() const
{
    for (Window* w : windows())
        if (w == window && w->sdlId() == sdlId)
            return true;
    return false;
}

void GlContextToken::makeCurrent() const { window->makeCurrent(); }

GlTextureArray::~GlTextureArray()
{
    if (name && token->alive()) {
        token->makeCurrent();
        glDeleteTextures(1, &name);
    }
}

GlScratchTarget::~GlScratchTarget() { release(); }

void GlScratchTarget::release()
{
    if (m_fbo && m_token->alive()) {
        m_token->makeCurrent();
        glDeleteFramebuffers(1, &m_fbo);
        glDeleteRenderbuffers(1, &m_rb);
    }
    m_fbo = m_rb = 0;
    m_width = m_height = 0;
}

bool GlScratchTarget::ensure(int width, int height)
{
    if (m_fbo && width == m_width && height == m_height)
        return true;
    m_token->makeCurrent();
    if (!m_fbo) {
        glGenFramebuffers(1, &m_fbo);
        glGenRenderbuffers(1, &m_rb);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, m_rb);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_rb);
    const bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    m_width = ok ? width : 0;
    m_height = ok ? height : 0;
    return ok;
}

bool GlScratchTarget::read(std::vector<std::uint8_t>& bgra) const
{
    if (!m_fbo || m_width <= 0)
        return false;
    m_token->makeCurrent();
    const std::size_t row = std::size_t(m_width) * 4;
    std::vector<std::uint8_t> raw(row * std::size_t(m_height));
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, m_width, m_height, GL_BGRA, GL_UNSIGNED_BYTE, raw.data());
    // GL rows run bottom-up.
    bgra.resize(raw.size());
    for (int r = 0; r < m_height; ++r)
        std::memcpy(bgra.data() + row * std::size_t(r), raw.data() + row * std::size_t(m_height - 1 - r), row);
    return glGetError() == GL_NO_ERROR;
}

GlRenderer::~GlRenderer()
{
    if (!m_token->alive())
        return;
    m_token->makeCurrent();
    for (auto& entry : m_programs)
        if (entry.second.name)
            glDeleteProgram(entry.second.name);
    if (m_vao)
        glDeleteVertexArrays(1, &m_vao);
    if (m_vbo)
        glDeleteBuffers(1, &m_vbo);
    if (m_ebo)
        glDeleteBuffers(1, &m_ebo);
    if (m_white)
        glDeleteTextures(1, &m_white);
    if (m_samplers[0][0])
        glDeleteSamplers(4, &m_samplers[0][0]);
}

bool GlRenderer::init(std::string* error)
{
    m_token->makeCurrent();
    // The usual program must build here, so a driver that cannot is refused now.
    std::string why;
    if (!program(DrawState{}, 1, &why)) {
        if (error)
            *error = why;
        return false;
    }

    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &units);
    m_maxUnits = std::clamp(int(units), 1, kMaxUnits);

    glGenVertexArrays(1, &m_vao);
    glGenBuffers(1, &m_vbo);
    glGenBuffers(1, &m_ebo);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ebo);
    const GLsizei stride = sizeof(GlVertex);
    auto at = [](std::size_t offset) { return reinterpret_cast<const void*>(offsetof(GlVertex, v) + offset); };
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, at(offsetof(BatchVertex, x)));
    glEnableVertexAttribArray(1);
    // ARGB words are B, G, R, A in memory.
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(offsetof(BatchVertex, color)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, at(offsetof(BatchVertex, u)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 1, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(GlVertex, layer)));
    glEnableVertexAttribArray(4);
    glVertexAttribPointer(4, 1, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(GlVertex, lod)));
    glEnableVertexAttribArray(5);
    glVertexAttribIPointer(5, 1, GL_UNSIGNED_INT, stride, reinterpret_cast<const void*>(offsetof(GlVertex, unit)));
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    GLint layers = 0;
    glGetIntegerv(GL_MAX_ARRAY_TEXTURE_LAYERS, &layers);
    m_maxLayers = std::max(1, int(layers));

    glGenTextures(1, &m_white);
    glBindTexture(GL_TEXTURE_2D_ARRAY, m_white);
    const std::uint32_t white = 0xFFFFFFFFu;
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA8, 1, 1, 1, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &white);

    glGenSamplers(4, &m_samplers[0][0]);
    for (int minLinear = 0; minLinear < 2; ++minLinear) {
        for (int magLinear = 0; magLinear < 2; ++magLinear) {
            const GLuint s = m_samplers[minLinear][magLinear];
            glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minLinear ? GL_LINEAR : GL_NEAREST);
            glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
            glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
    }
    checkErrors("device creation");
    return true;
}

GlRenderer::Program* GlRenderer::program(const DrawState& st, int units, std::string* buildError)
{
    std::uint32_t op = st.colorOp;
    switch (op) {
    case D3DTOP_SELECTARG1:
    case D3DTOP_SELECTARG2:
    case D3DTOP_MODULATE:
    case D3DTOP_ADD:
    case D3DTOP_SUBTRACT: break;
    default: op = D3DTOP_DISABLE; units = 0; break;
    }
    // Only the arguments the operation reads tell programs apart.
    const bool arg1 = op != D3DTOP_DISABLE && op != D3DTOP_SELECTARG2 && st.colorArg1 == D3DTA_TEXTURE;
    const bool arg2 = op != D3DTOP_DISABLE && op != D3DTOP_SELECTARG1 && st.colorArg2 == D3DTA_TEXTURE;
    const std::uint32_t key = op | std::uint32_t(arg1) << 8 | std::uint32_t(arg2) << 9 | std::uint32_t(units) << 12;
    auto found = m_programs.find(key);
    if (found != m_programs.end())
        return found->second.name ? &found->second : nullptr;

    // A program that fails is remembered as failed, logged once.
    Program& p = m_programs[key];
    std::string error;
    GLuint vs = compile(GL_VERTEX_SHADER, vertexShader().c_str(), &error);
    const std::string fsSource = fragmentShader(op, arg1, arg2, units);
    GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, fsSource.c_str(), &error) : 0;
    GLuint name = 0;
    if (vs && fs) {
        name = glCreateProgram();
        glAttachShader(name, vs);
        glAttachShader(name, fs);
        glLinkProgram(name);
        GLint ok = 0;
        glGetProgramiv(name, GL_LINK_STATUS, &ok);
        if (!ok) {
            glDeleteProgram(name);
            name = 0;
            error = "shader program does not link";
        }
    }
    if (vs)
        glDeleteShader(vs);
    if (fs)
        glDeleteShader(fs);
    if (!name) {
        if (buildError)
            *buildError = error;
        else
            gfxLog("GL program for operation %u with %d textures: %s", op, units, error.c_str());
        return nullptr;
    }
    p.name = name;
    p.units = units;
    p.scaleLocation = glGetUniformLocation(name, "uScale");
    p.samplerLocation = glGetUniformLocation(name, "uTex");
    if (units > 0) {
        GLint unitOf[kMaxUnits];
        for (int i = 0; i < units; ++i)
            unitOf[i] = i;
        glUseProgram(name);
        glUniform1iv(glGetUniformLocation(name, "uTex"), units, unitOf);
        m_applied.program = name;
    }
    return &p;
}

void GlRenderer::checkErrors(const char* where)
{
    for (int i = 0; i < 16; ++i) {
        const GLenum e = glGetError();
        if (e == GL_NO_ERROR)
            return;
        if (m_reported.insert({where, e}).second)
            gfxLog("GL error 0x%04X in %s", e, where);
    }
}

void GlRenderer::applyTarget(std::uint32_t fbo, int width, int height)
{
    // The window's own copies rebind framebuffers; binding again is cheap.
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    if (!m_applied.valid || m_applied.width != width || m_applied.height != height) {
        glViewport(0, 0, width, height);
        m_applied.width = width;
        m_applied.height = height;
    }
}

void GlRenderer::applyScissor(const RECT& r, int height)
{
    glEnable(GL_SCISSOR_TEST);
    if (m_applied.valid && r.left == m_applied.scissor.left && r.top == m_applied.scissor.top &&
        r.right == m_applied.scissor.right && r.bottom == m_applied.scissor.bottom)
        return;
    glScissor(r.left, height - r.bottom, r.right - r.left, r.bottom - r.top);
    m_applied.scissor = r;
}

GlTextureArray* GlRenderer::arrayOf(const TextureImpl& texture) const
{
    auto* data = dynamic_cast<const GlTextureData*>(texture.backend.get());
    return data && data->array->token == m_token ? data->array.get() : nullptr;
}

GlTextureArray* GlRenderer::place(TextureImpl& texture)
{
    if (GlTextureArray* placed = arrayOf(texture))
        return placed;
    const PixelBuffer& px = texture.pixels();
    const bool opaque = uploadFormat(px.format()).opaque;
    const auto key = std::make_tuple(px.width(), px.height(), opaque);
    auto& arrays = m_arrays[key];
    // An array of a few layers at most takes a quarter gigabyte, so large
    // textures do not reserve much they may never use.
    const std::size_t layerBytes = std::size_t(px.width()) * std::size_t(px.height()) * 4;
    const std::size_t most = std::size_t(
        std::min<std::size_t>(std::size_t(m_maxLayers), std::max<std::size_t>(1, (std::size_t(1) << 28) / layerBytes)));
    std::shared_ptr<GlTextureArray> array;
    for (auto& a : arrays)
        if (a->live < a->layers.size()) {
            array = a;
            break;
        }
    std::uint32_t error = 0;
    std::size_t layers = 1;
    if (!array) {
        for (auto& a : arrays)
            if (a->layers.size() < most) {
                array = a;
                break;
            }
        if (array) {
            // Room for twice as many; the textures in it upload again.
            layers = std::min(most, array->layers.size() * 2);
            if (allocate(*array, layers, error)) {
                array->layers.resize(layers, nullptr);
                for (TextureImpl* t : array->layers)
                    if (t)
                        t->pixels().markAllDirty();
            } else {
                array.reset();
            }
        } else {
            auto made = std::make_shared<GlTextureArray>(m_token, px.width(), px.height(), opaque);
            if (allocate(*made, layers, error)) {
                made->layers.assign(layers, nullptr);
                arrays.push_back(made);
                array = made;
            }
        }
    }
    if (!array) {
        if (arrays.empty())
            m_arrays.erase(key);
        gfxLog("GL device: no storage for a %d x %d texture (error 0x%04X making %zu layers)", px.width(),
               px.height(), unsigned(error), layers);
        return nullptr;
    }
    const auto free = std::find(array->layers.begin(), array->layers.end(), nullptr);
    *free = &texture;
    ++array->live;
    texture.backend = std::make_unique<GlTextureData>(array, int(free - array->layers.begin()));
    texture.pixels().markAllDirty();
    return array.get();
}

bool GlRenderer::releaseMoves(const TextureImpl& texture) const
{
    const GlTextureArray* array = arrayOf(texture);
    return array && array->live > 1 && array->layers.size() > 2 * (array->live - 1);
}

void GlRenderer::release(TextureImpl& texture)
{
    if (!arrayOf(texture)) {
        texture.backend.reset();
        return;
    }
    const std::shared_ptr<GlTextureArray> array = static_cast<GlTextureData&>(*texture.backend).array;
    texture.backend.reset();
    if (array->live == 0) {
        const auto key = std::make_tuple(array->width, array->height, array->opaque);
        auto& arrays = m_arrays[key];
        arrays.erase(std::find(arrays.begin(), arrays.end(), array));
        if (arrays.empty())
            m_arrays.erase(key);
    } else if (array->layers.size() > 2 * array->live && m_token->alive()) {
        m_token->makeCurrent();
        shrink(*array);
    }
}

void GlRenderer::shrink(GlTextureArray& array)
{
    std::size_t layers = 1;
    while (layers < array.live)
        layers *= 2;
    std::uint32_t error = 0;
    if (!allocate(array, layers, error)) {
        // The larger storage stays; the next release tries again.
        gfxLog("GL device: %d x %d texture storage kept at %zu layers (error 0x%04X making %zu)", array.width,
               array.height, array.layers.size(), unsigned(error), layers);
        return;
    }
    std::vector<TextureImpl*> kept;
    for (TextureImpl* t : array.layers)
        if (t)
            kept.push_back(t);
    kept.resize(layers, nullptr);
    array.layers = std::move(kept);
    for (std::size_t i = 0; i < array.live; ++i) {
        static_cast<GlTextureData&>(*array.layers[i]->backend).layer = int(i);
        array.layers[i]->pixels().markAllDirty();
    }
}

bool GlRenderer::allocate(GlTextureArray& array, std::size_t layers, std::uint32_t& error)
{
    // An error left by an earlier call is not this allocation's.
    checkErrors("the calls before a texture allocation");
    // What the tests ask to fail asks for more layers than GL has.
    const bool fail = m_failAllocations > 0;
    if (fail)
        --m_failAllocations;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D_ARRAY, name);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_SWIZZLE_A, array.opaque ? GL_ONE : GL_ALPHA);
    glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA8, array.width, array.height,
                 fail ? GLsizei(m_maxLayers) + 1 : GLsizei(layers), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    error = glGetError();
    if (error != GL_NO_ERROR) {
        while (glGetError() != GL_NO_ERROR) {
        }
        glDeleteTextures(1, &name);
        return false;
    }
    if (array.name)
        glDeleteTextures(1, &array.name);
    array.name = name;
    return true;
}

std::uint64_t GlRenderer::storageBytes() const
{
    std::uint64_t bytes = 0;
    for (const auto& entry : m_arrays)
        for (const auto& array : entry.second)
            bytes += array->layerBytes() * array->layers.size();
    return bytes;
}

std::uint64_t GlRenderer::neededBytes() const
{
    std::uint64_t bytes = 0;
    for (const auto& entry : m_arrays)
        for (const auto& array : entry.second)
            bytes += array->layerBytes() * array->live;
    return bytes;
}

void GlRenderer::upload(TextureImpl& texture, GfxDeviceStats& stats)
{
    auto& data = static_cast<GlTextureData&>(*texture.backend);
    PixelBuffer& px = texture.pixels();
    if (!px.isDirty())
        return;
    const UploadFormat f = uploadFormat(px.format());
    const RECT& r = px.dirtyRect();
    glBindTexture(GL_TEXTURE_2D_ARRAY, data.array->name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, px.width());
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, r.left, r.top, data.layer, r.right - r.left, r.bottom - r.top, 1,
                    f.format, f.type, px.pixel(r.left, r.top));
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    px.clearDirty();
    ++stats.uploads;
}

std::size_t GlRenderer::appendDraw(const DrawState& st, const TextureImpl* texture, std::uint32_t unit,
                                   const BatchVertex* vertices, std::size_t vertexCount, const std::uint16_t* indices,
                                   std::size_t indexCount, std::vector<GlVertex>& outVertices,
                                   std::vector<std::uint16_t>& outIndices)
{
    const float layer = texture ? float(static_cast<const GlTextureData&>(*texture->backend).layer) : 0.0f;
    const double width = texture ? double(texture->pixels().width()) : 1.0;
    const double height = texture ? double(texture->pixels().height()) : 1.0;
    const bool filtersDiffer = st.minFilter != st.magFilter;
    // Per triangle, from its texture coordinates' gradients in back-buffer
    // pixels: the move that takes them to the unshifted pixel centre, and
    // whether a pixel spans more than a texel (by at least 1/512, so that
    // rounding in a turned, unscaled draw cannot pick the filter).
    struct Fix {
        float du, dv, lod;
        bool operator==(const Fix& o) const { return du == o.du && dv == o.dv && lod == o.lod; }
    };
    constexpr double kDelta = kEdgeNudge, kMinify = 1.0 + 1.0 / 256.0;
    const auto fixOf = [&](const BatchVertex& a, const BatchVertex& b, const BatchVertex& c) {
        const double e1x = double(b.x) - a.x, e1y = double(b.y) - a.y, e2x = double(c.x) - a.x,
                     e2y = double(c.y) - a.y;
        const double det = e1x * e2y - e2x * e1y;
        if (det == 0.0)
            return Fix{0.0f, 0.0f, 0.0f};
        const double du1 = double(b.u) - a.u, du2 = double(c.u) - a.u, dv1 = double(b.v) - a.v,
                     dv2 = double(c.v) - a.v;
        const double dudx = (du1 * e2y - du2 * e1y) / det, dudy = (du2 * e1x - du1 * e2x) / det;
        const double dvdx = (dv1 * e2y - dv2 * e1y) / det, dvdy = (dv2 * e1x - dv1 * e2x) / det;
        const double exu = dudx * width, exv = dvdx * height, eyu = dudy * width, eyv = dvdy * height;
        const bool minify = std::max(exu * exu + exv * exv, eyu * eyu + eyv * eyv) > kMinify;
        return Fix{float(-kDelta * (dudx + dudy)), float(-kDelta * (dvdx + dvdy)),
                   filtersDiffer && minify ? 1.0f : 0.0f};
    };
    // Kept between calls: a frame appends thousands of draws. given[i]: 1 +
    // where the vertex's first use went, 0 before it.
    static thread_local std::vector<std::size_t> given;
    static thread_local std::vector<Fix> fixes;
    given.assign(vertexCount, 0);
    fixes.resize(vertexCount);
    constexpr std::size_t kIndexLimit = std::size_t(1) << 16;
    for (std::size_t t = 0; t + 2 < indexCount; t += 3) {
        // Each of its vertices may be new.
        if (outVertices.size() + 3 > kIndexLimit)
            return t;
        const Fix fix = fixOf(vertices[indices[t]], vertices[indices[t + 1]], vertices[indices[t + 2]]);
        for (std::size_t k = t; k < t + 3; ++k) {
            const std::uint16_t i = indices[k];
            if (given[i] && fixes[i] == fix) {
                outIndices.push_back(std::uint16_t(given[i] - 1));
                continue;
            }
            // The first use, or another triangle moved this vertex otherwise:
            // a copy of its own.
            if (!given[i]) {
                given[i] = outVertices.size() + 1;
                fixes[i] = fix;
            }
            GlVertex out{vertices[i], layer, fix.lod, unit};
            out.v.u += fix.du;
            out.v.v += fix.dv;
            outIndices.push_back(std::uint16_t(outVertices.size()));
            outVertices.push_back(out);
        }
    }
    return indexCount;
}

void GlRenderer::use(Program& p, int width, int height, int samplerUnit)
{
    if (!m_applied.valid || m_applied.program != p.name) {
        glUseProgram(p.name);
        m_applied.program = p.name;
    }
    if (p.width != width || p.height != height) {
        glUniform2f(p.scaleLocation, 2.0f / float(width), -2.0f / float(height));
        p.width = width;
        p.height = height;
    }
    if (p.units == 1 && p.samplerUnit != samplerUnit) {
        glUniform1i(p.samplerLocation, samplerUnit);
        p.samplerUnit = samplerUnit;
    }
}

void GlRenderer::draw(const DrawState& st, GlTextureArray* const* arrays, int arrayCount, TextureImpl* const* textures,
                      int textureCount, std::uint32_t fbo, int width, int height, const GlVertex* vertices,
                      std::size_t vertexCount, const std::uint16_t* indices, std::size_t indexCount,
                      GfxDeviceStats& stats, const RECT* clip)
{
    const int units = arrayCount == 1 && !arrays[0] ? 0 : std::min(arrayCount, m_maxUnits);
    Program* all = program(st, units);
    Program* one = units > 1 ? program(st, 1) : all;
    if (!all || !one)
        return;
    applyTarget(fbo, width, height);
    Applied& a = m_applied;

    // The viewport is a scissor, clipped to the back buffer (and the clip).
    const RECT vp = clippedViewport(st.viewport, width, height, clip);
    applyScissor(vp, height);

    if (!a.valid || a.blend != st.alphaBlend) {
        if (st.alphaBlend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        a.blend = st.alphaBlend;
    }
    if (!a.valid || a.src != st.srcBlend || a.dst != st.destBlend) {
        glBlendFunc(blendFactor(st.srcBlend), blendFactor(st.destBlend));
        a.src = st.srcBlend;
        a.dst = st.destBlend;
    }
    // Texture names are bound every time: a deleted texture's name may come
    // back for another one. Samplers live as long as the renderer.
    const GLuint sampler = m_samplers[st.minFilter == D3DTEXF_LINEAR][st.magFilter == D3DTEXF_LINEAR];
    if (units > 0) {
        glActiveTexture(GL_TEXTURE0);
        for (int i = 0; i < textureCount; ++i)
            if (textures[i])
                upload(*textures[i], stats);
    }
    for (int i = 0; i < units; ++i) {
        glActiveTexture(GLenum(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D_ARRAY, arrays[i] ? arrays[i]->name : m_white);
        if (!a.valid || a.sampler[i] != sampler) {
            glBindSampler(GLuint(i), sampler);
            a.sampler[i] = sampler;
        }
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    a.valid = true;

    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertexCount * sizeof(GlVertex)), vertices, GL_STREAM_DRAW);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indexCount * sizeof(std::uint16_t)), indices, GL_STREAM_DRAW);
    if (units > 1) {
        splitRuns(vertices, indices, indexCount, units, vp, m_pieces);
    } else {
        m_pieces.assign(1, Piece{0, indexCount, 0, false});
    }
    for (const Piece& piece : m_pieces) {
        use(piece.unit < 0 ? *all : *one, width, height, std::max(piece.unit, 0));
        glDrawElements(GL_TRIANGLES, GLsizei(piece.count), GL_UNSIGNED_SHORT,
                       reinterpret_cast<const void*>(piece.first * sizeof(std::uint16_t)));
        ++stats.drawCalls;
        if (piece.unit < 0 && units > 1)
            ++stats.mergedDraws;
    }
    glBindVertexArray(0);
    ++stats.flushes;
    checkErrors("draw");
}

void GlRenderer::clear(std::uint32_t fbo, int width, int height, const std::vector<RECT>& rects, D3DCOLOR color)
{
    applyTarget(fbo, width, height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
                 float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f);
    for (const RECT& r : rects) {
        applyScissor(r, height);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    checkErrors("Clear");
}

} // namespace platform
