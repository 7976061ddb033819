#include "engine/gfx/a_theora_video.h"

#include <theora/theora.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_media_path.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"

namespace {

constexpr std::size_t kReadSize = 8192;
// The largest picture when there is no device to ask.
constexpr std::uint32_t kMaxPictureWithoutDevice = 4096;
// An encoded frame is the picture rounded up to 16 plus an offset below 256;
// anything larger only makes the decoder allocate.
constexpr std::uint32_t kMaxFramePadding = 256 + 16;
constexpr int OC_BADPACKET_RESULT = -24;

aGraphServer* graphServer() { return g_application ? g_application->m_graphServer : nullptr; }

std::uint32_t maxPictureSize()
{
    aGraphServer* gs = graphServer();
    D3DCAPS8 caps;
    if (!gs || !gs->m_device || FAILED(gs->m_device->GetDeviceCaps(&caps)))
        return kMaxPictureWithoutDevice;
    return std::min(caps.MaxTextureWidth, caps.MaxTextureHeight);
}

std::int32_t tableEntry(int i, std::int32_t k)
{
    // An arithmetic shift: negative entries round down.
    return ((i - 128) * k + 32768) >> 16;
}

// Saturation for every sum the tables can give (Y 0..255 plus or minus at
// most 222 from one table and 132 from two).
struct ClampTable {
    static constexpr int kLow = 512;
    std::uint8_t values[1536];
    ClampTable()
    {
        for (int i = 0; i < 1536; ++i)
            values[i] = std::uint8_t(std::clamp(i - kLow, 0, 255));
    }
    std::uint32_t operator()(int v) const { return values[v + kLow]; }
};

const ClampTable& clampTable()
{
    static const ClampTable table;
    return table;
}

} // namespace

struct aTheoraVideo::State {
    ogg_stream_state stream;
    ogg_sync_state sync;
    ogg_page page;
    ogg_packet packet;
    theora_comment comment;
    theora_info info;
    theora_state decoder;
    yuv_buffer frame;
};

aTheoraVideo::aTheoraVideo() : m_state(std::make_unique<State>()), m_image(std::make_unique<aImage>())
{
    std::memset(m_state.get(), 0, sizeof(State));
}

aTheoraVideo::~aTheoraVideo()
{
    closeStream();
    closeFile();
}

const aTheoraVideo::YuvTables& aTheoraVideo::yuvTables()
{
    static const YuvTables tables = [] {
        YuvTables t;
        for (int i = 0; i < 256; ++i) {
            t.redFromV[i] = tableEntry(i, 113443);
            t.greenFromV[i] = tableEntry(i, 45744);
            t.greenFromU[i] = tableEntry(i, 22020);
            t.blueFromU[i] = tableEntry(i, 113508);
        }
        return t;
    }();
    return tables;
}

void aTheoraVideo::convert(const aYuvPlanes& planes, std::uint32_t* out)
{
    const YuvTables& t = yuvTables();
    const ClampTable& clamp = clampTable();
    const std::uint32_t w = planes.width;
    for (std::uint32_t row = 0; row < planes.height; ++row) {
        const std::uint32_t ly = planes.pictureY + row;
        const std::uint8_t* yRow = planes.y + std::ptrdiff_t(ly) * planes.yStride;
        const std::uint8_t* uRow = planes.u + std::ptrdiff_t(ly / 2) * planes.uvStride;
        const std::uint8_t* vRow = planes.v + std::ptrdiff_t(ly / 2) * planes.uvStride;
        std::uint32_t* o = out + std::size_t(row) * w;
        const auto pixel = [&](std::uint32_t col, int blue, int green, int red) {
            const int luma = yRow[planes.pictureX + col];
            o[col] = 0xFF000000u | clamp(luma + red) << 16 | clamp(luma + green) << 8 | clamp(luma + blue);
        };
        std::uint32_t col = 0;
        // An odd picture position shares its first chroma sample with the pixel before it.
        if (planes.pictureX % 2 && w > 0) {
            const int u = uRow[planes.pictureX / 2], v = vRow[planes.pictureX / 2];
            pixel(0, t.blueFromU[u], -t.greenFromU[u] - t.greenFromV[v], t.redFromV[v]);
            col = 1;
        }
        // Two pixels per chroma sample.
        for (; col < w; col += 2) {
            const std::uint32_t c = (planes.pictureX + col) / 2;
            const int u = uRow[c], v = vRow[c];
            const int blue = t.blueFromU[u], green = -t.greenFromU[u] - t.greenFromV[v], red = t.redFromV[v];
            pixel(col, blue, green, red);
            if (col + 1 < w)
                pixel(col + 1, blue, green, red);
        }
    }
}

bool aTheoraVideo::copyToImage(aImage& image, const std::uint32_t* pixels, std::uint32_t width, std::uint32_t height)
{
    if (width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF)
        return false;
    aImage::LockInfo info;
    const aRect area(0, 0, std::uint16_t(width), std::uint16_t(height));
    if (!image.lock(info, &area, false))
        return false;
    for (std::uint32_t row = 0; row < height; ++row)
        std::memcpy(info.data + std::size_t(row) * info.pitch, pixels + std::size_t(row) * width, width * 4u);
    image.unlock();
    return true;
}

bool aTheoraVideo::open(const std::string& path, bool loop)
{
    if (m_file) {
        closeStream();
        closeFile();
    }
    m_buffer = std::vector<std::uint32_t>();
    m_width = m_height = 0;

    const std::string real = media_diskPath(path);
    // A file inside an archive whose copy failed ends here without a word.
    if (real.empty() && file_isExistOrPacked(path))
        return false;
    m_file = real.empty() ? nullptr : std::fopen(real.c_str(), "rb");
    if (!m_file) {
        a_log("File open error!");
        return false;
    }
    m_path = path;
    if (!readHeaders()) {
        closeFile();
        return false;
    }

    const theora_info& info = m_state->info;
    m_width = info.frame_width;
    m_height = info.frame_height;
    m_pictureX = info.offset_x;
    m_pictureY = info.offset_y;
    m_image->create(m_width, m_height);
    m_frameTime = float(info.fps_denominator) / float(info.fps_numerator);
    m_elapsed = m_frameTime;
    m_loop = loop;
    m_planeWidth = m_planeHeight = m_chromaWidth = m_chromaHeight = 0;
    m_sizeWarned = false;
    return true;
}

bool aTheoraVideo::readData()
{
    char* buffer = ogg_sync_buffer(&m_state->sync, long(kReadSize));
    if (!buffer)
        return false;
    const std::size_t n = std::fread(buffer, 1, kReadSize, m_file);
    if (n == 0)
        return false;
    ogg_sync_wrote(&m_state->sync, long(n));
    return true;
}

bool aTheoraVideo::readHeaders()
{
    State& s = *m_state;
    std::memset(&s, 0, sizeof(State));
    ogg_sync_init(&s.sync);
    theora_comment_init(&s.comment);
    theora_info_init(&s.info);

    const auto fail = [&](const char* what) {
        a_log("aTheoraVideo. %s: %s", m_path.c_str(), what);
        closeStream();
        return false;
    };
    const auto nextPage = [&] {
        int r;
        while ((r = ogg_sync_pageout(&s.sync, &s.page)) < 0) {
        }
        return r > 0;
    };

    // Beginning-of-stream pages come first; the first Theora one is ours.
    int headers = 0;
    for (bool beginnings = true; beginnings;) {
        if (!readData())
            return fail(headers ? "the file ends in its headers" : "no Theora stream");
        while (nextPage()) {
            if (!ogg_page_bos(&s.page)) {
                if (headers)
                    ogg_stream_pagein(&s.stream, &s.page);
                beginnings = false;
                break;
            }
            if (headers)
                continue;
            ogg_stream_state trial;
            ogg_stream_init(&trial, ogg_page_serialno(&s.page));
            ogg_stream_pagein(&trial, &s.page);
            const int got = ogg_stream_packetout(&trial, &s.packet);
            if (got < 0) {
                ogg_stream_clear(&trial);
                return fail("broken first page");
            }
            if (got > 0 && theora_decode_header(&s.info, &s.comment, &s.packet) >= 0) {
                s.stream = trial;
                headers = 1;
            } else {
                ogg_stream_clear(&trial);
            }
        }
    }
    if (!headers)
        return fail("no Theora stream");

    while (headers < 3) {
        const int got = ogg_stream_packetout(&s.stream, &s.packet);
        if (got < 0)
            return fail("broken headers");
        if (got > 0) {
            if (theora_decode_header(&s.info, &s.comment, &s.packet) < 0)
                return fail("bad header packet");
            ++headers;
        } else if (nextPage()) {
            ogg_stream_pagein(&s.stream, &s.page);
        } else if (!readData()) {
            return fail("the file ends in its headers");
        }
    }
    if (!checkStream()) {
        closeStream();
        return false;
    }
    if (theora_decode_init(&s.decoder, &s.info) != 0)
        return fail("the decoder cannot start");
    return true;
}

bool aTheoraVideo::checkStream()
{
    const theora_info& info = m_state->info;
    const char* name = m_path.c_str();
    if (info.fps_numerator == 0 || info.fps_denominator == 0) {
        a_log("aTheoraVideo. %s: frame rate %u/%u", name, info.fps_numerator, info.fps_denominator);
        return false;
    }
    if (info.pixelformat != OC_PF_420) {
        a_log("aTheoraVideo. %s: chroma is not 4:2:0", name);
        return false;
    }
    const std::uint32_t limit = maxPictureSize();
    if (info.frame_width == 0 || info.frame_height == 0 || info.frame_width > limit || info.frame_height > limit) {
        a_log("aTheoraVideo. %s: picture %ux%u (at most %u each way)", name, info.frame_width, info.frame_height,
              limit);
        return false;
    }
    if (info.width > info.frame_width + kMaxFramePadding || info.height > info.frame_height + kMaxFramePadding ||
        info.offset_x + info.frame_width > info.width || info.offset_y + info.frame_height > info.height) {
        a_log("aTheoraVideo. %s: frame %ux%u does not fit picture %ux%u at %u,%u", name, info.width, info.height,
              info.frame_width, info.frame_height, info.offset_x, info.offset_y);
        return false;
    }
    return true;
}

void aTheoraVideo::closeStream()
{
    State& s = *m_state;
    theora_clear(&s.decoder);
    theora_comment_clear(&s.comment);
    theora_info_clear(&s.info);
    ogg_stream_clear(&s.stream);
    ogg_sync_clear(&s.sync);
    std::memset(&s, 0, sizeof(State));
    m_decoded = false;
}

void aTheoraVideo::closeFile()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

bool aTheoraVideo::restart()
{
    closeStream();
    if (!m_loop) {
        closeFile();
        return false;
    }
    if (std::fseek(m_file, 0, SEEK_SET) != 0 || !readHeaders()) {
        a_log("aTheoraVideo. %s: cannot start again, the video stops", m_path.c_str());
        closeFile();
        return false;
    }
    return true;
}

bool aTheoraVideo::nextPacket()
{
    State& s = *m_state;
    bool restarted = false;
    for (;;) {
        const int got = ogg_stream_packetout(&s.stream, &s.packet);
        if (got > 0)
            return true;
        if (got < 0)
            continue;  // a gap in the data; the next call has the packet after it
        int page;
        while ((page = ogg_sync_pageout(&s.sync, &s.page)) < 0) {
        }
        if (page > 0) {
            ogg_stream_pagein(&s.stream, &s.page);
            continue;
        }
        if (readData())
            continue;
        if (restarted) {
            // A looped file without frames would start again for ever.
            a_log("aTheoraVideo. %s: no frame in the file, the video stops", m_path.c_str());
            closeStream();
            closeFile();
            return false;
        }
        if (!restart())
            return false;
        restarted = true;
    }
}

void aTheoraVideo::update(float dt)
{
    if (!m_file)
        return;
    m_elapsed += dt;
    if (!(m_elapsed >= m_frameTime))
        return;
    m_elapsed = std::fmod(m_elapsed, m_frameTime);
    if (!std::isfinite(m_elapsed))
        m_elapsed = 0.0f;
    if (!nextPacket())
        return;

    State& s = *m_state;
    const int decoded = theora_decode_packetin(&s.decoder, &s.packet);
    if (decoded == OC_BADPACKET_RESULT)
        a_log("ERROR theora_decode_packetin");
    else if (decoded == 0)
        m_decoded = true;
    if (theora_decode_YUVout(&s.decoder, &s.frame) != 0)
        a_log("ERROR theora_decode_YUVout");
    if (m_decoded)
        showFrame();
}

void aTheoraVideo::showFrame()
{
    const yuv_buffer& f = m_state->frame;
    if (!f.y || !f.u || !f.v)
        return;
    // Frames must hold the picture and keep the plane sizes of the first.
    const bool holdsPicture =
        f.y_width >= 0 && f.y_height >= 0 && f.uv_width >= 0 && f.uv_height >= 0 &&
        std::int64_t(m_pictureX) + m_width <= f.y_width && std::int64_t(m_pictureY) + m_height <= f.y_height &&
        (std::int64_t(m_pictureX) + m_width + 1) / 2 <= f.uv_width &&
        (std::int64_t(m_pictureY) + m_height + 1) / 2 <= f.uv_height && std::abs(f.y_stride) >= f.y_width &&
        std::abs(f.uv_stride) >= f.uv_width;
    const bool first = m_planeWidth == 0;
    const bool sameSize = first || (f.y_width == m_planeWidth && f.y_height == m_planeHeight &&
                                    f.uv_width == m_chromaWidth && f.uv_height == m_chromaHeight);
    if (!holdsPicture || !sameSize) {
        if (!m_sizeWarned)
            a_log("aTheoraVideo. %s: frame of %ix%i/%ix%i does not match the video, frames skipped", m_path.c_str(),
                  f.y_width, f.y_height, f.uv_width, f.uv_height);
        m_sizeWarned = true;
        return;
    }
    if (first) {
        m_planeWidth = f.y_width;
        m_planeHeight = f.y_height;
        m_chromaWidth = f.uv_width;
        m_chromaHeight = f.uv_height;
    }

    aYuvPlanes planes;
    planes.y = f.y;
    planes.u = f.u;
    planes.v = f.v;
    planes.yStride = f.y_stride;
    planes.uvStride = f.uv_stride;
    planes.pictureX = m_pictureX;
    planes.pictureY = m_pictureY;
    planes.width = m_width;
    planes.height = m_height;
    if (m_buffer.empty())
        m_buffer.resize(std::size_t(m_width) * m_height);
    convert(planes, m_buffer.data());
    copyToImage(*m_image, m_buffer.data(), m_width, m_height);
}

void aTheoraVideo::draw(float x, float y, const aRect* source, std::uint32_t color, std::uint32_t flags, float angle,
                        int blend)
{
    aGraphServer* gs = graphServer();
    if (!gs)
        return;
    const int previous = gs->m_blendMode;
    gs->setBlendMode(blend);
    m_image->draw(x, y, source, color, nullptr, angle, nullptr, flags);
    gs->setBlendMode(previous);
}
