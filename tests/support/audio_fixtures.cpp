#include "support/audio_fixtures.h"

#include <gtest/gtest.h>
#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio_fixtures {

namespace {

void put16(std::string& s, std::uint16_t v)
{
    s.push_back(char(v & 0xFF));
    s.push_back(char(v >> 8));
}

void put32(std::string& s, std::uint32_t v)
{
    put16(s, std::uint16_t(v & 0xFFFF));
    put16(s, std::uint16_t(v >> 16));
}

} // namespace

std::vector<float> tone(int channels, int rate, std::size_t frames, double frequency, double amplitude)
{
    std::vector<float> out(frames * std::size_t(channels));
    for (std::size_t f = 0; f < frames; ++f) {
        const float v = float(amplitude * std::sin(2.0 * M_PI * frequency * double(f) / double(rate)));
        for (int c = 0; c < channels; ++c)
            out[f * std::size_t(channels) + std::size_t(c)] = v;
    }
    return out;
}

std::vector<float> constant(int channels, std::size_t frames, float value)
{
    return std::vector<float>(frames * std::size_t(channels), value);
}

std::string makeWav(const std::vector<float>& samples, int channels, int rate, WavFormat format,
                    std::uint32_t declaredDataBytes)
{
    std::string data;
    int bits = 16;
    std::uint16_t tag = 1;
    for (float x : samples) {
        const double v = std::clamp(double(x), -1.0, 1.0);
        switch (format) {
        case WavFormat::U8:
            bits = 8;
            data.push_back(char(std::uint8_t(std::lround(std::min(v * 128.0 + 128.0, 255.0)))));
            break;
        case WavFormat::S16:
            put16(data, std::uint16_t(std::int16_t(std::lround(std::min(v * 32768.0, 32767.0)))));
            break;
        case WavFormat::S32:
            bits = 32;
            put32(data, std::uint32_t(std::int32_t(std::llround(std::min(v * 2147483648.0, 2147483647.0)))));
            break;
        case WavFormat::F32: {
            bits = 32;
            tag = 3;
            float f = float(v);
            std::uint32_t u;
            std::memcpy(&u, &f, 4);
            put32(data, u);
            break;
        }
        }
    }
    const std::uint16_t blockAlign = std::uint16_t(channels * bits / 8);
    std::string out = "RIFF";
    put32(out, std::uint32_t(36 + data.size()));
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, tag);
    put16(out, std::uint16_t(channels));
    put32(out, std::uint32_t(rate));
    put32(out, std::uint32_t(rate) * blockAlign);
    put16(out, blockAlign);
    put16(out, std::uint16_t(bits));
    out += "data";
    put32(out, declaredDataBytes ? declaredDataBytes : std::uint32_t(data.size()));
    return out + data;
}

std::string makeVorbis(const std::vector<float>& samples, int channels, int rate, float quality)
{
    std::string out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x5A17);
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    auto appendPage = [&] {
        out.append(reinterpret_cast<const char*>(page.header), std::size_t(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), std::size_t(page.body_len));
    };
    while (ogg_stream_flush(&os, &page))
        appendPage();

    auto drain = [&] {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page))
                    appendPage();
            }
        }
    };
    const std::size_t frames = samples.size() / std::size_t(channels);
    for (std::size_t at = 0; at < frames; at += 1024) {
        const std::size_t n = std::min<std::size_t>(1024, frames - at);
        float** planes = vorbis_analysis_buffer(&vd, int(n));
        for (std::size_t f = 0; f < n; ++f)
            for (int c = 0; c < channels; ++c)
                planes[c][f] = samples[(at + f) * std::size_t(channels) + std::size_t(c)];
        vorbis_analysis_wrote(&vd, int(n));
        drain();
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &page))
        appendPage();

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

std::string makeMp3(const std::vector<float>& samples, int channels, int rate, int kbps)
{
    lame_t lame = lame_init();
    lame_set_num_channels(lame, channels);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_brate(lame, kbps);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);
    std::string out;
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return out;
    }
    const std::size_t frames = samples.size() / std::size_t(channels);
    std::vector<unsigned char> buffer(frames * 5 / 4 + 7200 + 65536);
    std::vector<float> stereo;
    const float* pcm = samples.data();
    if (channels == 1) {
        // The interleaved call wants two channels even for mono output.
        stereo.resize(frames * 2);
        for (std::size_t f = 0; f < frames; ++f)
            stereo[2 * f] = stereo[2 * f + 1] = samples[f];
        pcm = stereo.data();
    }
    int n = lame_encode_buffer_interleaved_ieee_float(lame, pcm, int(frames), buffer.data(), int(buffer.size()));
    if (n > 0)
        out.append(reinterpret_cast<const char*>(buffer.data()), std::size_t(n));
    n = lame_encode_flush(lame, buffer.data(), int(buffer.size()));
    if (n > 0)
        out.append(reinterpret_cast<const char*>(buffer.data()), std::size_t(n));
    // The first frame was a placeholder for the tag that tells decoders the
    // encoder delay and padding.
    unsigned char tag[4096];
    const std::size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= out.size())
        std::memcpy(out.data(), tag, tagSize);
    lame_close(lame);
    return out;
}

double frequency(const std::vector<float>& samples, int stride, int first, int rate)
{
    const std::size_t frames = samples.size() / std::size_t(stride);
    double firstCross = -1.0;
    double lastCross = -1.0;
    int crossings = 0;
    for (std::size_t f = 1; f < frames; ++f) {
        const float a = samples[(f - 1) * std::size_t(stride) + std::size_t(first)];
        const float b = samples[f * std::size_t(stride) + std::size_t(first)];
        if (a < 0.0f && b >= 0.0f) {
            const double t = double(f - 1) + double(-a) / double(b - a);
            if (firstCross < 0.0)
                firstCross = t;
            lastCross = t;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return double(crossings - 1) * double(rate) / (lastCross - firstCross);
}

double rms(const std::vector<float>& samples, int stride, int first, std::size_t begin, std::size_t end)
{
    const std::size_t frames = samples.size() / std::size_t(stride);
    if (end == 0 || end > frames)
        end = frames;
    if (begin >= end)
        return 0.0;
    double sum = 0.0;
    for (std::size_t f = begin; f < end; ++f) {
        const double v = samples[f * std::size_t(stride) + std::size_t(first)];
        sum += v * v;
    }
    return std::sqrt(sum / double(end - begin));
}

float peak(const std::vector<float>& samples, int stride, int first, std::size_t begin, std::size_t end)
{
    const std::size_t frames = samples.size() / std::size_t(stride);
    if (end == 0 || end > frames)
        end = frames;
    float p = 0.0f;
    for (std::size_t f = begin; f < end; ++f)
        p = std::max(p, std::fabs(samples[f * std::size_t(stride) + std::size_t(first)]));
    return p;
}

namespace snd = platform::snd;

snd::CreateSoundExInfo exinfoFor(const std::string& bytes)
{
    snd::CreateSoundExInfo info;
    info.cbsize = sizeof info;
    info.length = std::uint32_t(bytes.size());
    return info;
}

TestSystem::TestSystem(int output, int voices)
{
    EXPECT_EQ(snd::createSystem(&m_system), snd::kOk);
    if (!m_system)
        return;
    EXPECT_EQ(m_system->setOutput(output), snd::kOk);
    m_initResult = m_system->init(voices, 0, nullptr);
}

TestSystem::~TestSystem()
{
    if (m_system)
        m_system->release();
}

snd::Sound TestSystem::sample(const std::string& bytes)
{
    snd::CreateSoundExInfo info = exinfoFor(bytes);
    snd::Sound sound;
    EXPECT_EQ(m_system->createSound(bytes.data(), 0x4900, &info, &sound), snd::kOk);
    return sound;
}

snd::Sound TestSystem::stream(const std::string& bytes)
{
    m_streamData.push_back(bytes);
    const std::string& kept = m_streamData.back();
    snd::CreateSoundExInfo info = exinfoFor(kept);
    snd::Sound sound;
    EXPECT_EQ(m_system->createStream(kept.data(), 0x4880, &info, &sound), snd::kOk);
    return sound;
}

snd::Channel TestSystem::play(const snd::Sound& sound, bool paused)
{
    snd::Channel channel;
    EXPECT_EQ(m_system->playSound(snd::kChannelFree, sound, paused, &channel), snd::kOk);
    return channel;
}

std::vector<float> TestSystem::mix(std::size_t frames)
{
    std::vector<float> out(frames * 2, 123.0f);
    EXPECT_EQ(m_system->mix(out.data(), std::uint32_t(frames)), snd::kOk);
    return out;
}

snd::Stats TestSystem::stats() const
{
    snd::Stats s;
    EXPECT_EQ(m_system->getStats(&s), snd::kOk);
    return s;
}

} // namespace audio_fixtures
