#include "support/theora_clip_writer.h"

#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace clip_writer {

namespace {

const Rgb kColors[8] = {
    {200, 60, 60}, {60, 180, 60}, {60, 80, 200}, {200, 190, 60},
    {60, 180, 190}, {190, 70, 180}, {128, 128, 128}, {220, 140, 40},
};

struct Yuv {
    std::uint8_t y, u, v;
};

// The inverse of the player's conversion (R = Y + 1.731 V', G = Y - 0.336 U'
// - 0.698 V', B = Y + 1.732 U', with U' = U - 128 and V' = V - 128), so that
// decoded colours come back as written.
Yuv toYuv(const Rgb& c)
{
    constexpr double a = 1.731, b = 0.336, g = 0.698, d = 1.732;
    const double k = 1.0 + b / d;
    const double v = (c.r * k - b * c.b / d - c.g) / (a * k + g);
    const double y = c.r - a * v;
    const double u = (c.b - y) / d;
    const auto byte = [](double x) { return std::uint8_t(std::clamp(std::lround(x), 0L, 255L)); };
    return {byte(y), byte(u + 128), byte(v + 128)};
}

void appendPage(std::string& out, const ogg_page& page)
{
    out.append(reinterpret_cast<const char*>(page.header), std::size_t(page.header_len));
    out.append(reinterpret_cast<const char*>(page.body), std::size_t(page.body_len));
}

void flushPages(std::string& out, ogg_stream_state& stream)
{
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) > 0)
        appendPage(out, page);
}

// Vorbis headers of a silent mono stream: the first is its own page.
struct VorbisHeaders {
    ogg_stream_state stream;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_packet packets[3];

    VorbisHeaders()
    {
        vorbis_info_init(&info);
        vorbis_encode_init_vbr(&info, 1, 8000, 0.1f);
        vorbis_comment_init(&comment);
        vorbis_analysis_init(&dsp, &info);
        vorbis_block_init(&dsp, &block);
        vorbis_analysis_headerout(&dsp, &comment, &packets[0], &packets[1], &packets[2]);
        ogg_stream_init(&stream, 0x564F);
    }
    ~VorbisHeaders()
    {
        ogg_stream_clear(&stream);
        vorbis_block_clear(&block);
        vorbis_dsp_clear(&dsp);
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
};

} // namespace

Rgb frameColor(int index) { return kColors[((index % 8) + 8) % 8]; }

Rgb markerColor() { return {235, 235, 235}; }

std::uint32_t rgb(const Rgb& c) { return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | std::uint32_t(c.b); }

std::string makeClip(const Clip& clip)
{
    th_info info;
    th_info_init(&info);
    info.frame_width = std::uint32_t(clip.frameWidth);
    info.frame_height = std::uint32_t(clip.frameHeight);
    info.pic_width = std::uint32_t(clip.pictureWidth);
    info.pic_height = std::uint32_t(clip.pictureHeight);
    info.pic_x = std::uint32_t(clip.pictureX);
    info.pic_y = std::uint32_t(clip.pictureY);
    info.fps_numerator = clip.fpsNumerator;
    info.fps_denominator = clip.fpsDenominator;
    info.aspect_numerator = info.aspect_denominator = 1;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = clip.fullChroma ? TH_PF_444 : TH_PF_420;
    info.quality = 63;
    th_enc_ctx* encoder = th_encode_alloc(&info);
    th_info_clear(&info);
    if (!encoder)
        return std::string();

    std::string out;
    VorbisHeaders vorbis;
    if (clip.vorbisFirst) {
        ogg_stream_packetin(&vorbis.stream, &vorbis.packets[0]);
        flushPages(out, vorbis.stream);
    }

    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x7E0);
    th_comment comment;
    th_comment_init(&comment);
    ogg_packet packet;
    // The identification header alone on the first page, the others after.
    bool first = true;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
        if (first && clip.zeroFrameRate && packet.bytes >= 26)
            std::fill(packet.packet + 22, packet.packet + 26, 0);
        ogg_stream_packetin(&stream, &packet);
        if (first) {
            flushPages(out, stream);
            if (clip.vorbisFirst) {
                ogg_stream_packetin(&vorbis.stream, &vorbis.packets[1]);
                ogg_stream_packetin(&vorbis.stream, &vorbis.packets[2]);
                flushPages(out, vorbis.stream);
            }
        }
        first = false;
    }
    flushPages(out, stream);
    th_comment_clear(&comment);

    const int fw = clip.frameWidth, fh = clip.frameHeight;
    const int sub = clip.fullChroma ? 1 : 2;
    const int cw = fw / sub, ch = fh / sub;
    std::vector<std::uint8_t> planes[3] = {std::vector<std::uint8_t>(std::size_t(fw) * fh),
                                           std::vector<std::uint8_t>(std::size_t(cw) * ch),
                                           std::vector<std::uint8_t>(std::size_t(cw) * ch)};
    th_ycbcr_buffer buffer;
    for (int p = 0; p < 3; ++p) {
        buffer[p].width = p ? cw : fw;
        buffer[p].height = p ? ch : fh;
        buffer[p].stride = buffer[p].width;
        buffer[p].data = planes[p].data();
    }
    const Yuv marker = toYuv(markerColor());
    for (int i = 0; i < clip.frames; ++i) {
        const Yuv flat = toYuv(frameColor(i));
        for (int y = 0; y < fh; ++y) {
            for (int x = 0; x < fw; ++x) {
                const int px = x - clip.pictureX, py = y - clip.pictureY;
                const bool isMarker = px >= 0 && py >= 0 && px < kMarkerSize && py < kMarkerSize;
                const Yuv& c = isMarker ? marker : flat;
                planes[0][std::size_t(y) * fw + x] = c.y;
                if (x % sub == 0 && y % sub == 0) {
                    planes[1][std::size_t(y / sub) * cw + x / sub] = c.u;
                    planes[2][std::size_t(y / sub) * cw + x / sub] = c.v;
                }
            }
        }
        th_encode_ycbcr_in(encoder, buffer);
        while (th_encode_packetout(encoder, i == clip.frames - 1, &packet) > 0) {
            if (i == 0 && clip.badFirstFrame && packet.bytes > 0)
                packet.packet[0] |= 0x80;
            ogg_stream_packetin(&stream, &packet);
            ogg_page page;
            while (ogg_stream_pageout(&stream, &page) > 0)
                appendPage(out, page);
        }
    }
    flushPages(out, stream);
    ogg_stream_clear(&stream);
    th_encode_free(encoder);
    return out;
}

} // namespace clip_writer
