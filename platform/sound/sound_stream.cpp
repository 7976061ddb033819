// Stream decoding ahead of the mixer, and the SDL2 device output.
#include <SDL.h>

#include <algorithm>

#include "platform/sound/sound_core.h"

namespace platform::snd::detail {

std::uint64_t streamAhead(const StreamState& s)
{
    const std::uint64_t perBlock = ((std::uint64_t(kMixBlock) * s.step) >> kFracBits) + 2;
    return std::max(kStreamAheadFrames, 2 * perBlock + kStreamChunkFrames);
}

void Core::fillStream(const std::shared_ptr<StreamState>& s)
{
    std::lock_guard<std::mutex> decodeLock(s->decodeMutex);
    if (!s->decoder)
        return;
    std::uint64_t epoch;
    std::uint64_t want;
    std::uint64_t target;
    bool seek;
    bool loop;
    std::vector<std::vector<float>> spare;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (s->released)
            return;
        const std::uint64_t ahead = streamAhead(*s);
        if (!s->seekPending && s->buffered >= ahead)
            return;
        epoch = s->epoch;
        seek = s->seekPending;
        target = s->seekTarget;
        loop = s->loop;
        want = seek ? ahead : ahead - s->buffered;
        s->seekPending = false;
        spare.swap(s->spare);
    }

    Decoder& decoder = *s->decoder;
    const std::size_t ch = std::size_t(s->channels);
    if (seek) {
        s->decodePos = target;
        s->decoderFailed = !decoder.seek(target);
    }
    std::vector<StreamChunk> made;
    std::uint64_t produced = 0;
    while (produced < want) {
        if (s->decodePos >= s->length) {
            if (!loop)
                break;
            s->decodePos = 0;
            s->decoderFailed = !decoder.seek(0);
        }
        StreamChunk c;
        c.fileStart = s->decodePos;
        c.frames = std::uint32_t(std::min<std::uint64_t>(kStreamChunkFrames, s->length - s->decodePos));
        if (!spare.empty()) {
            c.pcm = std::move(spare.back());
            spare.pop_back();
        }
        c.pcm.resize(c.frames * ch);
        const std::size_t got = s->decoderFailed ? 0 : decoder.read(c.pcm.data(), c.frames);
        // Data that ends early or does not decode plays as silence, so the
        // stream keeps its exact length and positions.
        std::fill(c.pcm.begin() + std::ptrdiff_t(got * ch), c.pcm.end(), 0.0f);
        s->decodePos += c.frames;
        produced += c.frames;
        made.push_back(std::move(c));
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!s->released && s->epoch == epoch) {
        for (StreamChunk& c : made) {
            s->buffered += c.frames;
            s->chunks.push_back(std::move(c));
        }
        made.clear();
        s->exhausted = !s->loop && s->decodePos >= s->length;
    }
    for (auto& v : spare) {
        if (s->spare.size() < 8)
            s->spare.push_back(std::move(v));
    }
}

void Core::feederLoop()
{
    std::unique_lock<std::mutex> lock(m_feederMutex);
    for (;;) {
        m_feederWake.wait(lock, [this] { return m_feederStop || m_feedRequested; });
        if (m_feederStop)
            return;
        m_feedRequested = false;
        ++m_feederWakeups;
        lock.unlock();
        for (const auto& s : playingStreams())
            fillStream(s);
        lock.lock();
    }
}

void Core::requestFeed()
{
    {
        std::lock_guard<std::mutex> lock(m_feederMutex);
        if (m_feedRequested)
            return;
        m_feedRequested = true;
    }
    m_feederWake.notify_one();
}

void Core::checkStreamLevel(const StreamState& s)
{
    if (!s.exhausted && !s.released && s.buffered < streamAhead(s) / 2)
        m_streamsNeedData = true;
}

// ---------------------------------------------------------------- SDL2

namespace {

void SDLCALL audioCallback(void* userdata, Uint8* stream, int len)
{
    if (userdata)
        static_cast<Core*>(userdata)->mixFromDevice(reinterpret_cast<float*>(stream),
                                                    std::uint32_t(len) / (2 * sizeof(float)));
}

} // namespace

Result SdlOutput::open(int* rate)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return kErrOutputInit;
    m_subsystem = true;
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = 48000;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = m_queued ? nullptr : audioCallback;
    want.userdata = m_queued ? nullptr : m_core;
    // Format and channels stay as asked (SDL converts if the device differs);
    // the rate and buffer size are the device's.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                   SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (m_device == 0 || have.freq < kMinRate || have.freq > kMaxRate) {
        close();
        return kErrOutputInit;
    }
    *rate = have.freq;
    return kOk;
}

void SdlOutput::start()
{
    if (m_device)
        SDL_PauseAudioDevice(m_device, 0);
}

std::uint64_t SdlOutput::queue(const float* frames, std::uint32_t count, std::uint32_t limit)
{
    if (!m_device || !m_queued || count == 0)
        return 0;
    constexpr Uint32 kFrameBytes = 2 * sizeof(float);
    std::uint64_t dropped = 0;
    const Uint32 waiting = SDL_GetQueuedAudioSize(m_device) / kFrameBytes;
    if (std::uint64_t(waiting) + count > limit) {
        // The device fell behind: it skips to the newest sound.
        SDL_ClearQueuedAudio(m_device);
        dropped += waiting;
    }
    if (SDL_QueueAudio(m_device, frames, count * kFrameBytes) != 0)
        dropped += count;
    return dropped;
}

void SdlOutput::close()
{
    if (m_device) {
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
    if (m_subsystem) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_subsystem = false;
    }
}

} // namespace platform::snd::detail
