#include "platform/gfx/gl_renderer.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstddef>

#include "platform/system/window.h"

namespace platform {

namespace {

// Geometry is moved by kDelta pixels so that edges on pixel centres never tie
// (integer edges then cover x .. x + w - 1 whatever the rasteriser's rule);
// the fragment shader moves texture coordinates back by the same amount.
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

// Operation and argument numbers are the device's (D3DTOP_*, D3DTA_*).
const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vUV;
out vec4 fragColor;
uniform sampler2D uTex;
uniform int uHasTex;
uniform int uOp;
uniform int uArg1;
uniform int uArg2;
const float kDelta = 1.0 / 64.0;
void main()
{
    vec2 uv = vUV - kDelta * dFdx(vUV) + kDelta * dFdy(vUV);
    vec4 t = vec4(1.0);
    if (uHasTex != 0)
        t = texture(uTex, uv);
    vec4 d = vColor;
    vec3 a1 = uArg1 == 2 ? t.rgb : d.rgb;
    vec3 a2 = uArg2 == 2 ? t.rgb : d.rgb;
    vec3 c;
    float a = t.a * d.a;
    if (uOp == 2)
        c = a1;
    else if (uOp == 3)
        c = a2;
    else if (uOp == 4)
        c = a1 * a2;
    else if (uOp == 7)
        c = a1 + a2;
    else if (uOp == 10)
        c = a1 - a2;
    else {
        c = d.rgb;
        a = d.a;
    }
    fragColor = vec4(clamp(c, 0.0, 1.0), a);
}
)";

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

} // namespace

bool GlContextToken::alive() const
{
    for (Window* w : windows())
        if (w == window && w->sdlId() == sdlId)
            return true;
    return false;
}

void GlContextToken::makeCurrent() const { window->makeCurrent(); }

GlTextureData::~GlTextureData()
{
    if (name && token->alive()) {
        token->makeCurrent();
        glDeleteTextures(1, &name);
    }
}

GlRenderer::~GlRenderer()
{
    if (!m_token->alive())
        return;
    m_token->makeCurrent();
    if (m_program)
        glDeleteProgram(m_program);
    if (m_vao)
        glDeleteVertexArrays(1, &m_vao);
    if (m_vbo)
        glDeleteBuffers(1, &m_vbo);
    if (m_ebo)
        glDeleteBuffers(1, &m_ebo);
    if (m_samplers[0][0])
        glDeleteSamplers(4, &m_samplers[0][0]);
}

bool GlRenderer::init(std::string* error)
{
    m_token->makeCurrent();
    GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader, error);
    GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, kFragmentShader, error) : 0;
    if (!vs || !fs) {
        if (vs)
            glDeleteShader(vs);
        return false;
    }
    m_program = glCreateProgram();
    glAttachShader(m_program, vs);
    glAttachShader(m_program, fs);
    glLinkProgram(m_program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(m_program, GL_LINK_STATUS, &ok);
    if (!ok) {
        if (error)
            *error = "shader program does not link";
        return false;
    }
    m_uScale = glGetUniformLocation(m_program, "uScale");
    m_uHasTex = glGetUniformLocation(m_program, "uHasTex");
    m_uOp = glGetUniformLocation(m_program, "uOp");
    m_uArg1 = glGetUniformLocation(m_program, "uArg1");
    m_uArg2 = glGetUniformLocation(m_program, "uArg2");
    glUseProgram(m_program);
    glUniform1i(glGetUniformLocation(m_program, "uTex"), 0);
    glUseProgram(0);

    glGenVertexArrays(1, &m_vao);
    glGenBuffers(1, &m_vbo);
    glGenBuffers(1, &m_ebo);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ebo);
    const GLsizei stride = sizeof(BatchVertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(BatchVertex, x)));
    glEnableVertexAttribArray(1);
    // ARGB words are B, G, R, A in memory.
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(BatchVertex, color)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(BatchVertex, u)));
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

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
        glUseProgram(m_program);
        glUniform2f(m_uScale, 2.0f / float(width), -2.0f / float(height));
        m_applied.width = width;
        m_applied.height = height;
    }
    m_applied.fbo = fbo;
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

std::uint32_t GlRenderer::textureName(TextureImpl& texture, GfxDeviceStats& stats)
{
    auto* data = dynamic_cast<GlTextureData*>(texture.backend.get());
    PixelBuffer& px = texture.pixels();
    const UploadFormat f = uploadFormat(px.format());
    if (!data || data->token->window != m_token->window || data->token->sdlId != m_token->sdlId) {
        GLuint name = 0;
        glGenTextures(1, &name);
        texture.backend = std::make_unique<GlTextureData>(m_token, name);
        data = static_cast<GlTextureData*>(texture.backend.get());
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, f.opaque ? GL_ONE : GL_ALPHA);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, px.width(), px.height(), 0, f.format, f.type, nullptr);
        px.markAllDirty();
    } else {
        glBindTexture(GL_TEXTURE_2D, data->name);
    }
    if (px.isDirty()) {
        const RECT& r = px.dirtyRect();
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, px.width());
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glTexSubImage2D(GL_TEXTURE_2D, 0, r.left, r.top, r.right - r.left, r.bottom - r.top, f.format, f.type,
                        px.pixel(r.left, r.top));
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        px.clearDirty();
        ++stats.uploads;
    }
    return data->name;
}

void GlRenderer::draw(const DrawState& st, TextureImpl* texture, std::uint32_t fbo, int width, int height,
                      const BatchVertex* vertices, std::size_t vertexCount, const std::uint16_t* indices,
                      std::size_t indexCount, GfxDeviceStats& stats)
{
    applyTarget(fbo, width, height);
    Applied& a = m_applied;
    glUseProgram(m_program);

    // The viewport is a scissor, clipped to the back buffer.
    const RECT vp = clippedViewport(st.viewport, width, height);
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
    const std::uint32_t arg1 = st.colorArg1 == D3DTA_TEXTURE ? 2u : 0u;
    const std::uint32_t arg2 = st.colorArg2 == D3DTA_TEXTURE ? 2u : 0u;
    if (!a.valid || a.op != st.colorOp || a.arg1 != arg1 || a.arg2 != arg2) {
        glUniform1i(m_uOp, GLint(st.colorOp));
        glUniform1i(m_uArg1, GLint(arg1));
        glUniform1i(m_uArg2, GLint(arg2));
        a.op = st.colorOp;
        a.arg1 = arg1;
        a.arg2 = arg2;
    }
    const int hasTexture = texture ? 1 : 0;
    if (!a.valid || a.hasTexture != hasTexture) {
        glUniform1i(m_uHasTex, hasTexture);
        a.hasTexture = hasTexture;
    }
    if (texture) {
        glActiveTexture(GL_TEXTURE0);
        a.texture = textureName(*texture, stats);
        const GLuint sampler = m_samplers[st.minFilter == D3DTEXF_LINEAR][st.magFilter == D3DTEXF_LINEAR];
        if (!a.valid || a.sampler != sampler) {
            glBindSampler(0, sampler);
            a.sampler = sampler;
        }
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    a.valid = true;

    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertexCount * sizeof(BatchVertex)), vertices, GL_STREAM_DRAW);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indexCount * sizeof(std::uint16_t)), indices, GL_STREAM_DRAW);
    glDrawElements(GL_TRIANGLES, GLsizei(indexCount), GL_UNSIGNED_SHORT, nullptr);
    glBindVertexArray(0);
    ++stats.drawCalls;
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
