#include "platform/sound/decoder.h"

#include <SDL.h>
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace platform::snd {

namespace {

std::mutex& sinkMutex()
{
    static std::mutex m;
    return m;
}

LogSink& sink()
{
    static LogSink s;
    return s;
}

} // namespace

void setLogSink(LogSink s)
{
    std::lock_guard<std::mutex> lock(sinkMutex());
    sink() = std::move(s);
}

} // namespace platform::snd

namespace platform::snd::detail {

void logSound(const char* name, const char* format, ...)
{
    LogSink s;
    {
        std::lock_guard<std::mutex> lock(sinkMutex());
        s = sink();
    }
    if (!s)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (name)
        s("Sound \"" + std::string(name) + "\": " + text);
    else
        s(std::string("Sound data in memory: ") + text);
}

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

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

// Where the format and data chunks of a RIFF WAVE file lie; sizes are what
// the file really holds.
struct WavChunks {
    std::uint32_t riffDeclared = 0;
    std::size_t fmt = 0;
    std::size_t fmtSize = 0;
    std::size_t data = 0;
    std::size_t dataSize = 0;
    std::uint32_t dataDeclared = 0;
};

// Walks the chunks after "RIFF....WAVE" (which the caller has checked) up to
// the first format and data chunks. Null when both are usable, else why not.
// A data chunk that runs past the end is cut to the bytes there; a cut
// format chunk, or any other chunk running past the end before both are
// found, leaves no usable header.
const char* findWavChunks(const std::uint8_t* p, std::size_t size, WavChunks& c)
{
    c.riffDeclared = le32(p + 4);
    bool haveFmt = false;
    bool haveData = false;
    std::size_t pos = 12;
    while (!(haveFmt && haveData) && pos + 8 <= size) {
        const std::uint8_t* id = p + pos;
        const std::size_t declared = le32(p + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t there = size - body;
        const bool cut = declared > there;
        if (std::memcmp(id, "fmt ", 4) == 0 && !haveFmt) {
            if (haveData)
                return "the format chunk comes after the data chunk";
            if (cut)
                return "the format chunk runs past the end of the file";
            if (declared < 16)
                return "the format chunk is shorter than 16 bytes";
            c.fmt = body;
            c.fmtSize = declared;
            haveFmt = true;
        } else if (std::memcmp(id, "data", 4) == 0 && !haveData) {
            c.data = body;
            c.dataSize = cut ? there : declared;
            c.dataDeclared = std::uint32_t(declared);
            haveData = true;
        }
        if (cut)
            break;
        // Chunks are padded to an even size.
        pos = body + declared + (declared & 1);
    }
    if (!haveFmt)
        return "no format chunk before the end of the file";
    if (!haveData)
        return "no data chunk before the end of the file";
    if (c.dataSize == 0)
        return "the data chunk is empty";
    return nullptr;
}

// "RIFF", "WAVE", the format chunk and the data chunk, every size true.
std::vector<std::uint8_t> rebuildWav(const std::uint8_t* p, const WavChunks& c)
{
    const std::size_t fmtPadded = c.fmtSize + (c.fmtSize & 1);
    std::vector<std::uint8_t> out;
    out.reserve(12 + 8 + fmtPadded + 8 + c.dataSize);
    const char* riff = "RIFF";
    out.insert(out.end(), riff, riff + 4);
    put32(out, std::uint32_t(std::min<std::size_t>(4 + 8 + fmtPadded + 8 + c.dataSize, 0xFFFFFFFF)));
    const char* wave = "WAVEfmt ";
    out.insert(out.end(), wave, wave + 8);
    put32(out, std::uint32_t(c.fmtSize));
    out.insert(out.end(), p + c.fmt, p + c.fmt + c.fmtSize);
    if (c.fmtSize & 1)
        out.push_back(0);
    const char* data = "data";
    out.insert(out.end(), data, data + 4);
    put32(out, std::uint32_t(c.dataSize));
    out.insert(out.end(), p + c.data, p + c.data + c.dataSize);
    return out;
}

// SDL decodes the whole file (PCM of every width, float, ADPCM, law
// encodings); this keeps the converted, folded frames.
class WavDecoder : public Decoder {
public:
    Result open(const std::uint8_t* data, std::size_t size, const char* name)
    {
        // SDL allocates what the data chunk declares before it reads, so it
        // gets a copy of the two chunks it needs with their true sizes.
        WavChunks chunks;
        if (const char* reason = findWavChunks(data, size, chunks)) {
            logSound(name, "not a usable WAV file: %s", reason);
            return kErrBadFormat;
        }
        if (chunks.dataSize < chunks.dataDeclared)
            logSound(name, "WAV file cut short: its data chunk declares %u bytes, %zu are there; playing those",
                     chunks.dataDeclared, chunks.dataSize);
        else if (chunks.riffDeclared > size - 8)
            logSound(name, "WAV file shorter than its header says (%u bytes declared, %zu there)",
                     chunks.riffDeclared, size - 8);
        std::vector<std::uint8_t> wav;
        try {
            wav = rebuildWav(data, chunks);
        } catch (const std::bad_alloc&) {
            return kErrMemory;
        }
        if (wav.size() > 0x7FFFFFFF) {
            logSound(name, "WAV data of %zu bytes is too large", chunks.dataSize);
            return kErrMemory;
        }
        SDL_RWops* rw = SDL_RWFromConstMem(wav.data(), int(wav.size()));
        if (!rw)
            return kErrMemory;
        SDL_AudioSpec spec;
        Uint8* buffer = nullptr;
        Uint32 bytes = 0;
        if (!SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &bytes)) {
            logSound(name, "WAV file refused: %s", SDL_GetError());
            return kErrBadFormat;
        }
        wav = {};
        Result result;
        try {
            result = convert(spec, buffer, bytes);
        } catch (const std::bad_alloc&) {
            result = kErrMemory;
        }
        SDL_FreeWAV(buffer);
        if (result == kErrBadFormat)
            logSound(name, "WAV file has no frames, no channels or a rate outside %d..%d Hz", kMinRate, kMaxRate);
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

    Result open(const std::uint8_t* data, std::size_t size, const char* name)
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
        if (const int error = ov_open_callbacks(&m_reader, &m_file, nullptr, 0, callbacks)) {
            logSound(name, "not a readable Ogg Vorbis file (error %d)", error);
            return kErrBadFormat;
        }
        m_open = true;
        const vorbis_info* info = ov_info(&m_file, 0);
        // The total comes from the last page's granule position, a claim of
        // the file: it sets positions and the stream's length, never an
        // allocation (see decodeAll).
        const ogg_int64_t total = ov_pcm_total(&m_file, -1);
        if (!info || info->channels <= 0 || !validRate(info->rate) || total <= 0) {
            logSound(name, "Ogg Vorbis file has no frames, no channels or a rate outside %d..%d Hz", kMinRate,
                     kMaxRate);
            return kErrBadFormat;
        }
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
        while (!m_broken && done < frames && m_pos < m_length) {
            float** planes = nullptr;
            int section = 0;
            const std::size_t want = std::size_t(std::min<std::uint64_t>(frames - done, m_length - m_pos));
            const long got = ov_read_float(&m_file, &planes, int(std::min<std::size_t>(want, 4096)), &section);
            if (got == 0)
                break;
            if (got < 0) {
                // A hole in the data: carry on with what follows, but give
                // up on data that never yields a frame again. Any other
                // error ends decoding for good: after a link whose codebooks
                // fail to set up, libvorbis keeps half-built ones and the
                // next read divides by zero in them.
                if (got != OV_HOLE) {
                    m_broken = true;
                    break;
                }
                if (++errors > 64)
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
        if (m_broken || frame > m_length)
            return false;
        // A failed seek leaves the decoder in the same state as a failed read.
        if (ov_pcm_seek(&m_file, ogg_int64_t(frame)) != 0) {
            m_broken = true;
            return false;
        }
        m_pos = frame;
        return true;
    }

private:
    MemoryReader m_reader;
    OggVorbis_File m_file{};
    bool m_open = false;
    bool m_broken = false;
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

    Result open(const std::uint8_t* data, std::size_t size, const char* name)
    {
        const Result result = openStream(data, size);
        if (result == kErrBadFormat)
            logSound(name, "not a readable MP3 file (%s)",
                     m_handle ? mpg123_strerror(m_handle) : "no frame with a usable format");
        return result;
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
    Result openStream(const std::uint8_t* data, std::size_t size)
    {
        initMpg123();
        m_reader = MemoryReader{data, size, 0};
        int error = MPG123_OK;
        m_handle = mpg123_new(nullptr, &error);
        if (!m_handle)
            return kErrMemory;
        // ID3v2 tags are skipped unread: parsing one allocates what its
        // header declares. The length comes from a scan of the frames
        // themselves. A stream whose frames change their MPEG version or
        // layout part-way ends there: libmpg123 writes past its buffers when
        // it decodes such a stream after a seek.
        mpg123_param(m_handle, MPG123_FLAGS,
                     MPG123_QUIET | MPG123_GAPLESS | MPG123_SKIP_ID3V2 | MPG123_NO_FRANKENSTEIN, 0.0);
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

Result openDecoder(const std::uint8_t* data, std::size_t size, std::unique_ptr<Decoder>* out, const char* name)
{
    if (!data || size == 0 || !out)
        return kErrInvalidParam;
    if (size < 12) {
        logSound(name, "%zu bytes are too few for a sound", size);
        return kErrBadFormat;
    }
    Result result = kErrBadFormat;
    std::unique_ptr<Decoder> decoder;
    try {
        if (std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0) {
            auto wav = std::make_unique<WavDecoder>();
            result = wav->open(data, size, name);
            decoder = std::move(wav);
        } else if (std::memcmp(data, "OggS", 4) == 0) {
            auto vorbis = std::make_unique<VorbisDecoder>();
            result = vorbis->open(data, size, name);
            decoder = std::move(vorbis);
        } else if (std::memcmp(data, "ID3", 3) == 0 || isMpegHeader(data)) {
            auto mp3 = std::make_unique<Mp3Decoder>();
            result = mp3->open(data, size, name);
            decoder = std::move(mp3);
        } else {
            logSound(name, "not a WAV, Ogg Vorbis or MP3 file");
        }
    } catch (const std::bad_alloc&) {
        result = kErrMemory;
    }
    if (result != kOk)
        return result;
    if (decoder->length() == 0)
        return kErrBadFormat;
    *out = std::move(decoder);
    return kOk;
}

Result decodeAll(const std::uint8_t* data, std::size_t size, std::uint64_t maxBytes, Pcm* out, const char* name)
{
    std::unique_ptr<Decoder> decoder;
    const Result result = openDecoder(data, size, &decoder, name);
    if (result != kOk)
        return result;
    const std::size_t ch = std::size_t(decoder->channels());
    const std::uint64_t maxFrames = maxBytes / (ch * sizeof(float));
    if (decoder->length() > maxFrames) {
        logSound(name, "%llu frames would take more than the %llu bytes a sample may have",
                 static_cast<unsigned long long>(decoder->length()), static_cast<unsigned long long>(maxBytes));
        return kErrMemory;
    }
    // The length is exact for sound data; damaged data may give more or
    // fewer frames, and what decodes is what the sample holds. The first
    // reservation is bounded, so a length the file merely claims costs
    // nothing until frames really come.
    constexpr std::uint64_t kFirstReserve = 1u << 20;
    constexpr std::size_t kPiece = 16384;
    Pcm pcm;
    pcm.channels = decoder->channels();
    pcm.rate = decoder->rate();
    std::uint64_t frames = 0;
    try {
        pcm.samples.reserve(std::size_t(std::min(decoder->length(), kFirstReserve)) * ch);
        for (;;) {
            const std::uint64_t left = frames < decoder->length() ? decoder->length() - frames : kPiece;
            const std::size_t want = std::size_t(std::min<std::uint64_t>(left, kPiece));
            pcm.samples.resize(std::size_t(frames + want) * ch);
            const std::size_t got = decoder->read(pcm.samples.data() + frames * ch, want);
            frames += got;
            if (got == 0)
                break;
            if (frames > maxFrames) {
                logSound(name, "decodes to more than the %llu bytes a sample may have",
                         static_cast<unsigned long long>(maxBytes));
                return kErrMemory;
            }
        }
        if (frames == 0) {
            logSound(name, "no frame decodes");
            return kErrBadFormat;
        }
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
