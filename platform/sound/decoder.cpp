#include "platform/sound/decoder.h"

#include <SDL.h>
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace platform::snd::detail {

// ---------------------------------------------------------------- folding

namespace {

enum Role { L, R, C, LFE };

const Role kWavRoles[9][8] = {
    {}, {C}, {L, R}, {L, R, C}, {L, R, L, R}, {L, R, C, L, R},
    {L, R, C, LFE, L, R}, {L, R, C, LFE, C, L, R}, {L, R, C, LFE, L, R, L, R},
};
const Role kVorbisRoles[9][8] = {
    {}, {C}, {L, R}, {L, C, R}, {L, R, L, R}, {L, C, R, L, R},
    {L, C, R, L, R, LFE}, {L, C, R, L, R, C, LFE}, {L, C, R, L, R, L, R, LFE},
};

} // namespace

StereoFold::StereoFold(int sourceChannels, ChannelOrder order)
{
    const std::size_t n = std::size_t(std::max(sourceChannels, 1));
    m_left.assign(n, 0.0f);
    m_right.assign(n, 0.0f);
    if (n <= 2) {
        m_left[0] = 1.0f;
        if (n == 2)
            m_right[1] = 1.0f;
        return;
    }
    const float centre = 0.70710678f;
    float sumL = 0.0f;
    float sumR = 0.0f;
    for (std::size_t c = 0; c < n; ++c) {
        Role role;
        if (n <= 8)
            role = order == ChannelOrder::Wav ? kWavRoles[n][c] : kVorbisRoles[n][c];
        else
            role = (c % 2) ? R : L;
        switch (role) {
        case L: m_left[c] = 1.0f; break;
        case R: m_right[c] = 1.0f; break;
        case C: m_left[c] = m_right[c] = centre; break;
        case LFE: break;
        }
        sumL += m_left[c];
        sumR += m_right[c];
    }
    const float scale = 1.0f / std::max({sumL, sumR, 1.0f});
    for (std::size_t c = 0; c < n; ++c) {
        m_left[c] *= scale;
        m_right[c] *= scale;
    }
}

void StereoFold::apply(const float* in, float* out, std::size_t frames) const
{
    const std::size_t n = m_left.size();
    if (n <= 2) {
        std::memcpy(out, in, frames * n * sizeof(float));
        return;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const float* s = in + f * n;
        float l = 0.0f;
        float r = 0.0f;
        for (std::size_t c = 0; c < n; ++c) {
            l += s[c] * m_left[c];
            r += s[c] * m_right[c];
        }
        out[2 * f] = l;
        out[2 * f + 1] = r;
    }
}

namespace {

bool validRate(long rate) { return rate >= kMinRate && rate <= kMaxRate; }

// A read cursor over caller memory, shared by the Vorbis and MP3 readers.
struct MemoryReader {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;

    std::size_t read(void* out, std::size_t bytes)
    {
        const std::size_t n = std::min(bytes, size - pos);
        if (n)
            std::memcpy(out, data + pos, n);
        pos += n;
        return n;
    }
    // whence: SEEK_SET, SEEK_CUR, SEEK_END; -1 when the target is outside.
    std::int64_t seek(std::int64_t offset, int whence)
    {
        std::int64_t base = 0;
        if (whence == SEEK_CUR)
            base = std::int64_t(pos);
        else if (whence == SEEK_END)
            base = std::int64_t(size);
        else if (whence != SEEK_SET)
            return -1;
        const std::int64_t target = base + offset;
        if (target < 0 || target > std::int64_t(size))
            return -1;
        pos = std::size_t(target);
        return target;
    }
};

// ---------------------------------------------------------------- WAV

// SDL decodes the whole file (PCM of every width, float, ADPCM, law
// encodings); this keeps the converted, folded frames.
class WavDecoder : public Decoder {
public:
    Result open(const std::uint8_t* data, std::size_t size)
    {
        SDL_RWops* rw = SDL_RWFromConstMem(data, int(std::min<std::size_t>(size, 0x7FFFFFFF)));
        if (!rw)
            return kErrMemory;
        SDL_AudioSpec spec;
        Uint8* buffer = nullptr;
        Uint32 bytes = 0;
        if (!SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &bytes))
            return kErrBadFormat;
        const Result result = convert(spec, buffer, bytes);
        SDL_FreeWAV(buffer);
        return result;
    }

    std::size_t read(float* out, std::size_t frames) override
    {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(frames, m_length - m_pos));
        if (n)
            std::memcpy(out, m_frames.data() + m_pos * std::size_t(m_channels), n * std::size_t(m_channels) * sizeof(float));
        m_pos += n;
        return n;
    }

    bool seek(std::uint64_t frame) override
    {
        if (frame > m_length)
            return false;
        m_pos = frame;
        return true;
    }

private:
    Result convert(const SDL_AudioSpec& spec, const Uint8* buffer, Uint32 bytes)
    {
        const int sourceChannels = spec.channels;
        const int width = SDL_AUDIO_BITSIZE(spec.format) / 8;
        if (sourceChannels <= 0 || width <= 0 || !validRate(spec.freq))
            return kErrBadFormat;
        const std::size_t frameBytes = std::size_t(width) * std::size_t(sourceChannels);
        const std::size_t frames = bytes / frameBytes;
        if (frames == 0)
            return kErrBadFormat;
        std::vector<float> raw(frames * std::size_t(sourceChannels));
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = sampleAt(spec.format, buffer + i * std::size_t(width));
        const StereoFold fold(sourceChannels, ChannelOrder::Wav);
        m_channels = fold.outputChannels();
        m_rate = spec.freq;
        m_length = frames;
        if (sourceChannels <= 2) {
            m_frames = std::move(raw);
        } else {
            m_frames.resize(frames * 2);
            fold.apply(raw.data(), m_frames.data(), frames);
        }
        return kOk;
    }

    static float sampleAt(SDL_AudioFormat format, const Uint8* p)
    {
        const bool big = SDL_AUDIO_ISBIGENDIAN(format);
        const int bytes = SDL_AUDIO_BITSIZE(format) / 8;
        std::uint32_t u = 0;
        for (int i = 0; i < bytes; ++i)
            u |= std::uint32_t(p[big ? bytes - 1 - i : i]) << (8 * i);
        if (SDL_AUDIO_ISFLOAT(format)) {
            float f;
            std::memcpy(&f, &u, sizeof f);
            return f == f ? std::clamp(f, -1.0f, 1.0f) : 0.0f;
        }
        const bool isSigned = SDL_AUDIO_ISSIGNED(format);
        if (bytes == 1)
            return isSigned ? float(std::int8_t(u)) / 128.0f : (float(u) - 128.0f) / 128.0f;
        if (bytes == 2)
            return isSigned ? float(std::int16_t(u)) / 32768.0f : (float(u) - 32768.0f) / 32768.0f;
        return float(double(std::int32_t(u)) / 2147483648.0);
    }

    std::vector<float> m_frames;
    std::uint64_t m_pos = 0;
};

// ---------------------------------------------------------------- Vorbis

class VorbisDecoder : public Decoder {
public:
    ~VorbisDecoder() override
    {
        if (m_open)
            ov_clear(&m_file);
    }

    Result open(const std::uint8_t* data, std::size_t size)
    {
        m_reader = MemoryReader{data, size, 0};
        ov_callbacks callbacks{};
        callbacks.read_func = [](void* out, size_t size, size_t count, void* source) -> size_t {
            if (size == 0)
                return 0;
            return static_cast<MemoryReader*>(source)->read(out, size * count) / size;
        };
        callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) -> int {
            return static_cast<MemoryReader*>(source)->seek(offset, whence) < 0 ? -1 : 0;
        };
        callbacks.close_func = nullptr;
        callbacks.tell_func = [](void* source) -> long { return long(static_cast<MemoryReader*>(source)->pos); };
        if (ov_open_callbacks(&m_reader, &m_file, nullptr, 0, callbacks) != 0)
            return kErrBadFormat;
        m_open = true;
        const vorbis_info* info = ov_info(&m_file, 0);
        const ogg_int64_t total = ov_pcm_total(&m_file, -1);
        if (!info || info->channels <= 0 || !validRate(info->rate) || total <= 0)
            return kErrBadFormat;
        m_rate = int(info->rate);
        m_fold = StereoFold(info->channels, ChannelOrder::Vorbis);
        m_channels = m_fold.outputChannels();
        m_length = std::uint64_t(total);
        return kOk;
    }

    std::size_t read(float* out, std::size_t frames) override
    {
        std::size_t done = 0;
        int errors = 0;
        while (done < frames && m_pos < m_length) {
            float** planes = nullptr;
            int section = 0;
            const std::size_t want = std::size_t(std::min<std::uint64_t>(frames - done, m_length - m_pos));
            const long got = ov_read_float(&m_file, &planes, int(std::min<std::size_t>(want, 4096)), &section);
            if (got == 0)
                break;
            if (got < 0) {
                // A hole in the data: carry on with what follows, but give
                // up on data that never yields a frame again.
                if (got != OV_HOLE || ++errors > 64)
                    break;
                continue;
            }
            errors = 0;
            const vorbis_info* info = ov_info(&m_file, section);
            const int channels = info ? info->channels : m_fold.sourceChannels();
            if (channels != m_fold.sourceChannels())
                m_fold = StereoFold(channels, ChannelOrder::Vorbis);
            float* dst = out + done * std::size_t(m_channels);
            for (long f = 0; f < got; ++f) {
                float l = 0.0f;
                float r = 0.0f;
                for (int c = 0; c < channels; ++c) {
                    l += planes[c][f] * m_fold.leftGain(c);
                    r += planes[c][f] * m_fold.rightGain(c);
                }
                if (m_channels == 1) {
                    dst[f] = l;
                } else if (channels == 1) {
                    dst[2 * f] = dst[2 * f + 1] = l;
                } else {
                    dst[2 * f] = l;
                    dst[2 * f + 1] = r;
                }
            }
            done += std::size_t(got);
            m_pos += std::uint64_t(got);
        }
        return done;
    }

    bool seek(std::uint64_t frame) override
    {
        if (frame > m_length || ov_pcm_seek(&m_file, ogg_int64_t(frame)) != 0)
            return false;
        m_pos = frame;
        return true;
    }

private:
    MemoryReader m_reader;
    OggVorbis_File m_file{};
    bool m_open = false;
    StereoFold m_fold;
    std::uint64_t m_pos = 0;
};

// ---------------------------------------------------------------- MP3

void initMpg123()
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

class Mp3Decoder : public Decoder {
public:
    ~Mp3Decoder() override
    {
        if (m_handle) {
            mpg123_close(m_handle);
            mpg123_delete(m_handle);
        }
    }

    Result open(const std::uint8_t* data, std::size_t size)
    {
        initMpg123();
        m_reader = MemoryReader{data, size, 0};
        int error = MPG123_OK;
        m_handle = mpg123_new(nullptr, &error);
        if (!m_handle)
            return kErrMemory;
        mpg123_param(m_handle, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
        mpg123_format_none(m_handle);
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i)
            mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        auto readFn = [](void* source, void* out, size_t bytes) -> mpg123_ssize_t {
            return mpg123_ssize_t(static_cast<MemoryReader*>(source)->read(out, bytes));
        };
        auto seekFn = [](void* source, off_t offset, int whence) -> off_t {
            return off_t(static_cast<MemoryReader*>(source)->seek(offset, whence));
        };
        if (mpg123_replace_reader_handle(m_handle, readFn, seekFn, nullptr) != MPG123_OK ||
            mpg123_open_handle(m_handle, &m_reader) != MPG123_OK)
            return kErrBadFormat;
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK)
            return kErrBadFormat;
        if (encoding != MPG123_ENC_FLOAT_32 || channels < 1 || channels > 2 || !validRate(rate))
            return kErrBadFormat;
        // Fix the format so that no later frame can change it.
        mpg123_format_none(m_handle);
        mpg123_format(m_handle, rate, channels, MPG123_ENC_FLOAT_32);
        if (mpg123_scan(m_handle) != MPG123_OK)
            return kErrBadFormat;
        const off_t total = mpg123_length(m_handle);
        if (total <= 0)
            return kErrBadFormat;
        m_rate = int(rate);
        m_channels = channels;
        m_length = std::uint64_t(total);
        return kOk;
    }

    std::size_t read(float* out, std::size_t frames) override
    {
        std::size_t done = 0;
        int stalls = 0;
        const std::size_t frameBytes = std::size_t(m_channels) * sizeof(float);
        while (done < frames) {
            std::size_t bytes = 0;
            const int r = mpg123_read(m_handle, reinterpret_cast<unsigned char*>(out + done * std::size_t(m_channels)),
                                      (frames - done) * frameBytes, &bytes);
            done += bytes / frameBytes;
            if (r == MPG123_DONE)
                break;
            if (bytes == 0) {
                // mpg123 resynchronises on damaged frames by itself; stop on
                // hard errors or when no progress comes.
                if ((r != MPG123_OK && r != MPG123_NEW_FORMAT) || ++stalls > 64)
                    break;
            } else {
                stalls = 0;
            }
        }
        return done;
    }

    bool seek(std::uint64_t frame) override
    {
        if (frame > m_length)
            return false;
        return mpg123_seek(m_handle, off_t(frame), SEEK_SET) >= 0;
    }

private:
    MemoryReader m_reader;
    mpg123_handle* m_handle = nullptr;
};

bool isMpegHeader(const std::uint8_t* p)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int version = (p[1] >> 3) & 3;
    const int layer = (p[1] >> 1) & 3;
    const int bitrate = p[2] >> 4;
    const int rate = (p[2] >> 2) & 3;
    return version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

} // namespace

Result openDecoder(const std::uint8_t* data, std::size_t size, std::unique_ptr<Decoder>* out)
{
    if (!data || size == 0 || !out)
        return kErrInvalidParam;
    if (size < 12)
        return kErrBadFormat;
    Result result = kErrBadFormat;
    std::unique_ptr<Decoder> decoder;
    if (std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0) {
        auto wav = std::make_unique<WavDecoder>();
        result = wav->open(data, size);
        decoder = std::move(wav);
    } else if (std::memcmp(data, "OggS", 4) == 0) {
        auto vorbis = std::make_unique<VorbisDecoder>();
        result = vorbis->open(data, size);
        decoder = std::move(vorbis);
    } else if (std::memcmp(data, "ID3", 3) == 0 || isMpegHeader(data)) {
        auto mp3 = std::make_unique<Mp3Decoder>();
        result = mp3->open(data, size);
        decoder = std::move(mp3);
    }
    if (result != kOk)
        return result;
    if (decoder->length() == 0)
        return kErrBadFormat;
    *out = std::move(decoder);
    return kOk;
}

Result decodeAll(const std::uint8_t* data, std::size_t size, std::uint64_t maxBytes, Pcm* out)
{
    std::unique_ptr<Decoder> decoder;
    const Result result = openDecoder(data, size, &decoder);
    if (result != kOk)
        return result;
    const std::size_t ch = std::size_t(decoder->channels());
    const std::uint64_t maxFrames = maxBytes / (ch * sizeof(float));
    if (decoder->length() > maxFrames)
        return kErrMemory;
    Pcm pcm;
    pcm.channels = decoder->channels();
    pcm.rate = decoder->rate();
    try {
        pcm.samples.resize(std::size_t(decoder->length()) * ch);
        // The length is exact for sound data; damaged data may give more or
        // fewer frames, and what decodes is what the sample holds.
        std::uint64_t frames = decoder->read(pcm.samples.data(), pcm.samples.size() / ch);
        std::vector<float> extra(4096 * ch);
        while (frames == pcm.samples.size() / ch) {
            const std::size_t got = decoder->read(extra.data(), 4096);
            if (got == 0)
                break;
            if (frames + got > maxFrames)
                return kErrMemory;
            pcm.samples.insert(pcm.samples.end(), extra.begin(), extra.begin() + std::ptrdiff_t(got * ch));
            frames += got;
        }
        if (frames == 0)
            return kErrBadFormat;
        pcm.samples.resize(std::size_t(frames) * ch);
        pcm.samples.shrink_to_fit();
        pcm.frames = frames;
    } catch (const std::bad_alloc&) {
        return kErrMemory;
    }
    *out = std::move(pcm);
    return kOk;
}

} // namespace platform::snd::detail
