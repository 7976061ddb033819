#include "platform/sound/sound_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/system/clock.h"

namespace platform::snd::detail {

namespace {

// Positions a caller sees are in frames of the sound itself, also of one
// converted to the output rate at load.
const SampleData* converted(const Voice& v)
{
    return v.sample && v.sample->sourceStep != 0 ? v.sample.get() : nullptr;
}

int soundRate(const Voice& v)
{
    const SampleData* s = converted(v);
    return s ? s->sourceRate : v.rate;
}

std::uint64_t soundLength(const Voice& v)
{
    const SampleData* s = converted(v);
    return s ? s->sourceFrames : v.length;
}

std::uint64_t soundFrameOf(const Voice& v)
{
    const SampleData* s = converted(v);
    if (!s)
        return v.pos >> kFracBits;
    return std::uint64_t(((unsigned __int128)v.pos * s->sourceStep) >> (2 * kFracBits));
}

// The voice position of a frame of the sound: the first frame of the
// voice's data read at or after it.
Fixed positionOf(const Voice& v, std::uint64_t frame)
{
    const SampleData* s = converted(v);
    if (!s)
        return Fixed(frame) << kFracBits;
    const unsigned __int128 at = (unsigned __int128)frame << kFracBits;
    const auto index = std::uint64_t((at + s->sourceStep - 1) / s->sourceStep);
    return Fixed(std::min(index, v.length - 1)) << kFracBits;
}

bool isFinite(float v) { return std::isfinite(v); }

} // namespace

Core::Core() = default;

Core::~Core() { close(); }

// ---------------------------------------------------------------- handles

Channel Core::channelHandle(int slot)
{
    Channel h;
    h.m_core = weak_from_this();
    h.m_slot = std::uint32_t(slot);
    h.m_gen = m_voices[std::size_t(slot)].gen;
    return h;
}

ChannelGroup Core::groupHandle(int slot)
{
    ChannelGroup h;
    h.m_core = weak_from_this();
    h.m_slot = std::uint32_t(slot);
    h.m_gen = m_groups[std::size_t(slot)].gen;
    return h;
}

Sound Core::soundHandle(std::uint32_t slot)
{
    Sound h;
    h.m_core = weak_from_this();
    h.m_slot = slot;
    h.m_gen = m_sounds[slot].gen;
    return h;
}

Result Core::findVoice(const Channel& h, Voice** voice)
{
    if (!m_initialized)
        return kErrNotInitialized;
    if (h.m_gen == 0 || h.m_slot >= m_voices.size())
        return kErrInvalidHandle;
    Voice& v = m_voices[h.m_slot];
    if (v.gen == h.m_gen) {
        if (!v.active)
            return kErrInvalidHandle;
        *voice = &v;
        return kOk;
    }
    return v.stolenGen == h.m_gen ? kErrChannelStolen : kErrInvalidHandle;
}

Result Core::findGroup(const ChannelGroup& h, GroupSlot** group)
{
    if (!m_initialized)
        return kErrNotInitialized;
    if (h.m_gen == 0 || h.m_slot >= m_groups.size() || m_groups[h.m_slot].gen != h.m_gen)
        return kErrInvalidHandle;
    *group = &m_groups[h.m_slot];
    return kOk;
}

Result Core::findSound(const Sound& h, SoundSlot** sound)
{
    if (!m_initialized)
        return kErrNotInitialized;
    if (h.m_gen == 0 || h.m_slot >= m_sounds.size() || m_sounds[h.m_slot].gen != h.m_gen)
        return kErrInvalidHandle;
    *sound = &m_sounds[h.m_slot];
    return kOk;
}

// ---------------------------------------------------------------- system

Result Core::setOutput(int output)
{
    if (output != kOutputAutoDetect && output != kOutputNoSoundNrt && output != kOutputManual &&
        output != kOutputStepped)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_initialized)
        return kErrInitialized;
    m_output = output;
    return kOk;
}

Result Core::getOutput(int* output)
{
    if (!output)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    *output = m_output;
    return kOk;
}

Result Core::init(int maxChannels)
{
    if (maxChannels < 1 || maxChannels > kMaxVoices)
        return kErrInvalidParam;
    int output;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_initialized)
            return kErrInitialized;
        output = m_output;
    }
    // The device opens outside the lock: its callback takes the lock.
    int rate = 48000;
    std::unique_ptr<SdlOutput> device;
    if (output == kOutputAutoDetect || output == kOutputStepped) {
        device = std::make_unique<SdlOutput>(this, output == kOutputStepped);
        const Result result = device->open(&rate);
        if (result != kOk)
            return result;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_voices.assign(std::size_t(maxChannels), Voice{});
        m_sounds.clear();
        m_freeSounds.clear();
        m_groups.clear();
        m_freeGroups.clear();
        GroupSlot master;
        master.gen = m_nextGen++;
        master.name = kMasterGroupName;
        m_groups.push_back(master);
        m_masterVolume = 1.0f;
        m_masterSoundGen = m_nextGen++;
        m_outputRate = rate;
        // Cuts and gain changes ramp over 5 ms.
        m_rampFrames = std::uint32_t(std::max(1, (rate + 100) / 200));
        m_tailRing.assign(2 * std::size_t(m_rampFrames), 0.0f);
        m_tailScratch.assign(2 * std::size_t(m_rampFrames), 0.0);
        m_tailAt = 0;
        m_tailLive = 0;
        m_stats = Stats{};
        m_stats.maxVoices = maxChannels;
        m_paramsDirty = true;
        m_lastUpdateCounter = clock().counter();
        m_updateRemainder = 0;
        m_initialized = true;
        m_device = std::move(device);
    }
    if (output == kOutputStepped)
        m_device->start();
    if (output == kOutputAutoDetect) {
        {
            std::lock_guard<std::mutex> lock(m_feederMutex);
            m_feederStop = false;
            m_feedRequested = false;
        }
        m_feeder = std::thread(&Core::feederLoop, this);
        m_device->start();
    }
    return kOk;
}

void Core::stopOutput()
{
    {
        std::lock_guard<std::mutex> lock(m_feederMutex);
        m_feederStop = true;
    }
    m_feederWake.notify_all();
    if (m_feeder.joinable())
        m_feeder.join();
    std::unique_ptr<SdlOutput> device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        device = std::move(m_device);
    }
    // Closing waits for a running callback, which takes m_mutex.
    if (device)
        device->close();
}

Result Core::close()
{
    std::vector<std::shared_ptr<StreamState>> streams;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized && !m_device)
            return kOk;
        m_initialized = false;
        for (SoundSlot& s : m_sounds) {
            if (s.gen && s.stream) {
                s.stream->released = true;
                streams.push_back(s.stream);
            }
        }
    }
    stopOutput();
    std::vector<SoundSlot> sounds;
    std::vector<Voice> voices;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        sounds.swap(m_sounds);
        voices.swap(m_voices);
        m_freeSounds.clear();
        m_groups.clear();
        m_freeGroups.clear();
    }
    // Waits for any decode still under way on another thread.
    for (const auto& s : streams) {
        std::lock_guard<std::mutex> lock(s->decodeMutex);
        s->decoder.reset();
    }
    return kOk;
}

std::uint64_t Core::framesSinceUpdate()
{
    Clock& c = clock();
    const std::int64_t now = c.counter();
    const std::int64_t frequency = std::max<std::int64_t>(c.frequency(), 1);
    __int128 total = __int128(now - m_lastUpdateCounter) * m_outputRate + m_updateRemainder;
    m_lastUpdateCounter = now;
    if (total < 0)
        total = 0;
    m_updateRemainder = std::int64_t(total % frequency);
    return std::uint64_t(total / frequency);
}

Result Core::update()
{
    std::uint64_t frames = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return kErrNotInitialized;
        if (m_output != kOutputNoSoundNrt && m_output != kOutputStepped)
            return kOk;
        frames = framesSinceUpdate();
        // Time the stepped queue could not hold anyway (a long stall) passes
        // unmixed, as it would with no sound: voices still end on time.
        const std::uint64_t keep = m_output == kOutputStepped ? steppedQueueFrames() : 0;
        if (frames > keep) {
            if (m_paramsDirty)
                recomputeParams();
            for (Voice& v : m_voices) {
                if (v.active)
                    advanceVoice(v, frames - keep);
            }
            if (m_output == kOutputStepped)
                m_stats.droppedFrames += frames - keep;
            frames = keep;
        }
    }
    if (frames > 0)
        mixStepped(std::uint32_t(frames));
    return kOk;
}

void Core::mixStepped(std::uint32_t frames)
{
    m_steppedMix.resize(std::size_t(frames) * 2);
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t n = std::min(kMixBlock, frames - done);
        for (const auto& s : playingStreams())
            fillStream(s);
        std::lock_guard<std::mutex> lock(m_mutex);
        mixLocked(m_steppedMix.data() + std::size_t(done) * 2, n);
        m_streamsNeedData = false;
        done += n;
    }
    // update() and close() come from one thread: the device stays while
    // this queues.
    SdlOutput* device = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        device = m_device.get();
    }
    if (!device)
        return;
    const std::uint64_t dropped =
        device->queue(m_steppedMix.data(), frames, steppedQueueFrames());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stats.droppedFrames += dropped;
}

Result Core::getMasterSoundGroup(SoundGroup* group)
{
    if (!group)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return kErrNotInitialized;
    group->m_core = weak_from_this();
    group->m_gen = m_masterSoundGen;
    return kOk;
}

Result Core::getMasterChannelGroup(ChannelGroup* group)
{
    if (!group)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return kErrNotInitialized;
    *group = groupHandle(0);
    return kOk;
}

Result Core::createChannelGroup(const char* name, ChannelGroup* group)
{
    if (!group)
        return kErrInvalidParam;
    const std::string text = name ? name : "";
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return kErrNotInitialized;
    if (text == kMasterGroupName)
        return kErrInvalidParam;
    int slot;
    if (!m_freeGroups.empty()) {
        slot = m_freeGroups.back();
        m_freeGroups.pop_back();
    } else {
        slot = int(m_groups.size());
        m_groups.emplace_back();
    }
    GroupSlot& g = m_groups[std::size_t(slot)];
    g = GroupSlot{};
    g.gen = m_nextGen++;
    g.name = text;
    g.parent = 0;
    m_paramsDirty = true;
    *group = groupHandle(slot);
    return kOk;
}

Result Core::createSound(const char* data, Mode mode, const CreateSoundExInfo* exinfo, Sound* sound)
{
    if (!data || !exinfo || !sound || exinfo->cbsize != int(sizeof(CreateSoundExInfo)) || exinfo->length == 0)
        return kErrInvalidParam;
    if (!(mode & kModeOpenMemory) || ((mode & kModeLoopOff) && (mode & kModeLoopNormal)))
        return kErrInvalidParam;
    int outputRate;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return kErrNotInitialized;
        outputRate = m_outputRate;
    }
    // Decoding happens here, before the sound is registered.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    SoundSlot slot;
    slot.mode = mode;
    if (mode & kModeCreateStream) {
        auto stream = std::make_shared<StreamState>();
        const Result result = openDecoder(bytes, exinfo->length, &stream->decoder, exinfo->name);
        if (result != kOk)
            return result;
        stream->channels = stream->decoder->channels();
        stream->rate = stream->decoder->rate();
        stream->length = stream->decoder->length();
        slot.channels = stream->channels;
        slot.rate = stream->rate;
        slot.length = stream->length;
        slot.stream = std::move(stream);
    } else {
        Pcm pcm;
        const Result result = decodeAll(bytes, exinfo->length, sampleByteLimit(), &pcm, exinfo->name);
        if (result != kOk)
            return result;
        auto sample = std::make_shared<SampleData>();
        sample->channels = pcm.channels;
        sample->rate = pcm.rate;
        sample->frames = pcm.frames;
        sample->pcm = std::move(pcm.samples);
        slot.channels = sample->channels;
        slot.rate = sample->rate;
        slot.length = sample->frames;
        // A sound at another rate is converted once here, so that mixing it
        // is a copy; the slot keeps its own rate and length.
        convertSampleRate(*sample, outputRate, sampleByteLimit());
        slot.sample = std::move(sample);
    }
    // Positions are 32.32 fixed point.
    if (slot.length > 0xFFFFFFFFull)
        return kErrMemory;

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return kErrNotInitialized;
    std::uint32_t index;
    if (!m_freeSounds.empty()) {
        index = m_freeSounds.back();
        m_freeSounds.pop_back();
    } else {
        index = std::uint32_t(m_sounds.size());
        m_sounds.emplace_back();
    }
    slot.gen = m_nextGen++;
    m_sounds[index] = std::move(slot);
    *sound = soundHandle(index);
    return kOk;
}

// When every voice is busy, a new play takes the voice with the highest
// priority number (the least important); among equals, the one started
// longest ago. A voice more important than the newcomer (whose priority is
// the default until it is set) is never taken: the play then fails with
// kErrNoFreeVoice. Paused voices count as busy.
int Core::pickVoice(int newPriority)
{
    for (std::size_t i = 0; i < m_voices.size(); ++i) {
        if (!m_voices[i].active)
            return int(i);
    }
    int best = -1;
    for (std::size_t i = 0; i < m_voices.size(); ++i) {
        const Voice& v = m_voices[i];
        if (v.priority < newPriority)
            continue;
        if (best < 0) {
            best = int(i);
            continue;
        }
        const Voice& b = m_voices[std::size_t(best)];
        if (v.priority > b.priority || (v.priority == b.priority && v.startSeq < b.startSeq))
            best = int(i);
    }
    return best;
}

void Core::endVoice(Voice& v)
{
    const int index = int(&v - m_voices.data());
    if (v.stream && v.stream->voice == index)
        v.stream->voice = -1;
    v.active = false;
    v.sample.reset();
    v.stream.reset();
}

void Core::requestSeek(StreamState& s, std::uint64_t frame)
{
    ++s.epoch;
    s.seekPending = true;
    s.exhausted = false;
    s.seekTarget = frame;
    for (StreamChunk& c : s.chunks) {
        if (s.spare.size() < 8)
            s.spare.push_back(std::move(c.pcm));
    }
    s.chunks.clear();
    s.buffered = 0;
}

Result Core::playSound(int channelIndex, const Sound& sound, bool paused, Channel* channel)
{
    if (channelIndex != kChannelFree && channelIndex != kChannelReuse)
        return kErrInvalidParam;
    std::shared_ptr<StreamState> prime;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return kErrNotInitialized;
        SoundSlot* s = nullptr;
        const Result result = findSound(sound, &s);
        if (result != kOk)
            return result;

        int slot = -1;
        std::uint64_t gen = 0;
        Voice* reused = nullptr;
        if (channelIndex == kChannelReuse && channel && findVoice(*channel, &reused) == kOk) {
            slot = int(channel->m_slot);
            gen = reused->gen;
        }
        // One voice per stream: a second play ends the first.
        if (s->stream && s->stream->voice >= 0 && s->stream->voice != slot) {
            Voice& old = m_voices[std::size_t(s->stream->voice)];
            if (old.active && old.stream == s->stream)
                cutVoice(old);
        }
        if (slot < 0) {
            slot = pickVoice(kPriorityDefault);
            if (slot < 0)
                return kErrNoFreeVoice;
            Voice& victim = m_voices[std::size_t(slot)];
            if (victim.active) {
                victim.stolenGen = victim.gen;
                cutVoice(victim);
            }
            gen = m_nextGen++;
        } else {
            cutVoice(m_voices[std::size_t(slot)]);
        }

        Voice& v = m_voices[std::size_t(slot)];
        const std::uint64_t stolen = v.stolenGen;
        v = Voice{};
        v.gen = gen;
        v.stolenGen = stolen;
        v.active = true;
        v.sound = sound.m_slot;
        v.soundGen = s->gen;
        v.sample = s->sample;
        v.stream = s->stream;
        v.channels = s->channels;
        // The voice reads what the sample holds: converted, that is the
        // output rate.
        v.rate = s->sample ? s->sample->rate : s->rate;
        v.length = s->sample ? s->sample->frames : s->length;
        v.loop = (s->mode & kModeLoopNormal) != 0;
        v.paused = paused;
        v.startSeq = ++m_playSeq;
        if (s->stream) {
            s->stream->voice = slot;
            s->stream->loop = v.loop;
            requestSeek(*s->stream, 0);
            if (m_device)
                prime = s->stream;
        }
        m_paramsDirty = true;
        int playing = 0;
        for (const Voice& other : m_voices)
            playing += other.active ? 1 : 0;
        m_stats.maxVoicesPlaying = std::max(m_stats.maxVoicesPlaying, playing);
        if (channel)
            *channel = channelHandle(slot);
    }
    // With a real-time device, decode the start now so that the first
    // callbacks find data.
    if (prime)
        fillStream(prime);
    return kOk;
}

std::vector<std::shared_ptr<StreamState>> Core::playingStreams()
{
    std::vector<std::shared_ptr<StreamState>> streams;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Voice& v : m_voices) {
        if (v.active && v.stream)
            streams.push_back(v.stream);
    }
    return streams;
}

Result Core::mixManual(float* out, std::uint32_t frames)
{
    if (!out && frames)
        return kErrInvalidParam;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return kErrNotInitialized;
        if (m_output != kOutputManual)
            return kErrInvalidParam;
    }
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t n = std::min(kMixBlock, frames - done);
        for (const auto& s : playingStreams())
            fillStream(s);
        std::lock_guard<std::mutex> lock(m_mutex);
        mixLocked(out + std::size_t(done) * 2, n);
        done += n;
    }
    return kOk;
}

void Core::mixFromDevice(float* out, std::uint32_t frames)
{
    bool feed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        mixLocked(out, frames);
        feed = m_streamsNeedData;
        m_streamsNeedData = false;
    }
    if (feed)
        requestFeed();
}

Result Core::getOutputRate(int* rate)
{
    if (!rate)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return kErrNotInitialized;
    *rate = m_outputRate;
    return kOk;
}

Result Core::getStats(Stats* stats)
{
    if (!stats)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    Stats s = m_stats;
    s.voicesPlaying = 0;
    for (const Voice& v : m_voices)
        s.voicesPlaying += v.active ? 1 : 0;
    s.sounds = 0;
    for (const SoundSlot& slot : m_sounds)
        s.sounds += slot.gen ? 1 : 0;
    s.channelGroups = 0;
    for (const GroupSlot& g : m_groups)
        s.channelGroups += g.gen ? 1 : 0;
    s.feederWakeups = m_feederWakeups;
    s.outputRate = m_outputRate;
    s.output = m_output;
    s.initialized = m_initialized;
    *stats = s;
    return kOk;
}

// ---------------------------------------------------------------- sounds

Result Core::soundRelease(const Sound& sound)
{
    std::shared_ptr<StreamState> stream;
    std::shared_ptr<const SampleData> sample;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        SoundSlot* s = nullptr;
        const Result result = findSound(sound, &s);
        if (result != kOk)
            return result;
        for (Voice& v : m_voices) {
            if (v.active && v.sound == sound.m_slot && v.soundGen == s->gen)
                cutVoice(v);
        }
        stream = std::move(s->stream);
        sample = std::move(s->sample);
        *s = SoundSlot{};
        m_freeSounds.push_back(sound.m_slot);
        if (stream) {
            stream->released = true;
            requestSeek(*stream, 0);
        }
    }
    // After this no decoder reads the caller's memory.
    if (stream) {
        std::lock_guard<std::mutex> lock(stream->decodeMutex);
        stream->decoder.reset();
    }
    return kOk;
}

Result Core::soundGetLength(const Sound& sound, std::uint32_t* length, TimeUnit unit)
{
    if (!length || (unit != kTimeUnitMs && unit != kTimeUnitPcm))
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    SoundSlot* s = nullptr;
    const Result result = findSound(sound, &s);
    if (result != kOk)
        return result;
    *length = unit == kTimeUnitMs ? std::uint32_t(s->length * 1000 / std::uint64_t(s->rate)) : std::uint32_t(s->length);
    return kOk;
}

Result Core::soundGetFormat(const Sound& sound, int* channels, int* rate)
{
    if (!channels || !rate)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    SoundSlot* s = nullptr;
    const Result result = findSound(sound, &s);
    if (result != kOk)
        return result;
    *channels = s->channels;
    *rate = s->rate;
    return kOk;
}

// ---------------------------------------------------------------- channels

#define A2D_WITH_VOICE(handle)                      \
    std::lock_guard<std::mutex> lock(m_mutex);     \
    Voice* v = nullptr;                            \
    if (const Result r_ = findVoice(handle, &v))   \
        return r_;

Result Core::channelStop(const Channel& h)
{
    A2D_WITH_VOICE(h)
    cutVoice(*v);
    return kOk;
}

Result Core::channelSetPaused(const Channel& h, bool paused)
{
    A2D_WITH_VOICE(h)
    setParam(v->paused, paused);
    return kOk;
}

Result Core::channelGetPaused(const Channel& h, bool* paused)
{
    if (!paused)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *paused = v->paused;
    return kOk;
}

Result Core::channelSetMute(const Channel& h, bool mute)
{
    A2D_WITH_VOICE(h)
    setParam(v->muted, mute);
    return kOk;
}

Result Core::channelGetMute(const Channel& h, bool* mute)
{
    if (!mute)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *mute = v->muted;
    return kOk;
}

Result Core::channelSetVolume(const Channel& h, float volume)
{
    if (!isFinite(volume))
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    setParam(v->volume, std::clamp(volume, 0.0f, 1.0f));
    return kOk;
}

Result Core::channelGetVolume(const Channel& h, float* volume)
{
    if (!volume)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *volume = v->volume;
    return kOk;
}

Result Core::channelSetPan(const Channel& h, float pan)
{
    if (!isFinite(pan))
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    setParam(v->pan, std::clamp(pan, -1.0f, 1.0f));
    return kOk;
}

Result Core::channelGetPan(const Channel& h, float* pan)
{
    if (!pan)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *pan = v->pan;
    return kOk;
}

Result Core::channelSetPriority(const Channel& h, int priority)
{
    A2D_WITH_VOICE(h)
    v->priority = std::clamp(priority, kPriorityMin, kPriorityMax);
    return kOk;
}

Result Core::channelGetPriority(const Channel& h, int* priority)
{
    if (!priority)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *priority = v->priority;
    return kOk;
}

Result Core::channelSetMode(const Channel& h, Mode mode)
{
    if ((mode & kModeLoopOff) && (mode & kModeLoopNormal))
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    if (mode & (kModeLoopOff | kModeLoopNormal)) {
        v->loop = (mode & kModeLoopNormal) != 0;
        if (v->stream) {
            v->stream->loop = v->loop;
            if (v->loop)
                v->stream->exhausted = false;
        }
    }
    return kOk;
}

Result Core::channelGetMode(const Channel& h, Mode* mode)
{
    if (!mode)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *mode = v->loop ? kModeLoopNormal : kModeLoopOff;
    return kOk;
}

Result Core::channelSetPosition(const Channel& h, std::uint32_t position, TimeUnit unit)
{
    if (unit != kTimeUnitMs && unit != kTimeUnitPcm)
        return kErrInvalidParam;
    std::shared_ptr<StreamState> prime;
    {
        A2D_WITH_VOICE(h)
        const std::uint64_t frame =
            unit == kTimeUnitMs ? std::uint64_t(position) * std::uint64_t(soundRate(*v)) / 1000 : position;
        if (frame >= soundLength(*v))
            return kErrBadPosition;
        v->pos = positionOf(*v, frame);
        if (v->stream) {
            requestSeek(*v->stream, frame);
            if (m_device)
                prime = v->stream;
        }
    }
    if (prime)
        fillStream(prime);
    return kOk;
}

Result Core::channelGetPosition(const Channel& h, std::uint32_t* position, TimeUnit unit)
{
    if (!position || (unit != kTimeUnitMs && unit != kTimeUnitPcm))
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    const std::uint64_t frame = soundFrameOf(*v);
    *position =
        unit == kTimeUnitMs ? std::uint32_t(frame * 1000 / std::uint64_t(soundRate(*v))) : std::uint32_t(frame);
    return kOk;
}

Result Core::channelIsPlaying(const Channel& h, bool* playing)
{
    if (!playing)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *playing = v->active;
    return kOk;
}

Result Core::channelGetGroup(const Channel& h, ChannelGroup* group)
{
    if (!group)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *group = groupHandle(v->group);
    return kOk;
}

Result Core::channelSetGroup(const Channel& h, const ChannelGroup& group)
{
    A2D_WITH_VOICE(h)
    GroupSlot* g = nullptr;
    if (const Result r = findGroup(group, &g))
        return r;
    v->group = int(group.m_slot);
    ++m_stats.setChannelGroupCalls;
    m_paramsDirty = true;
    return kOk;
}

Result Core::channelGetSound(const Channel& h, Sound* sound)
{
    if (!sound)
        return kErrInvalidParam;
    A2D_WITH_VOICE(h)
    *sound = soundHandle(v->sound);
    return kOk;
}

#undef A2D_WITH_VOICE

// ---------------------------------------------------------------- groups

#define A2D_WITH_GROUP(handle)                      \
    std::lock_guard<std::mutex> lock(m_mutex);     \
    GroupSlot* g = nullptr;                        \
    if (const Result r_ = findGroup(handle, &g))   \
        return r_;

bool Core::inSubtree(int group, int root) const
{
    // The tree has no cycles (addGroup refuses them); the bound is a guard.
    for (std::size_t steps = 0; group >= 0 && steps <= m_groups.size(); ++steps) {
        if (group == root)
            return true;
        group = m_groups[std::size_t(group)].parent;
    }
    return false;
}

Result Core::groupStop(const ChannelGroup& h)
{
    A2D_WITH_GROUP(h)
    (void)g;
    for (Voice& v : m_voices) {
        if (v.active && inSubtree(v.group, int(h.m_slot)))
            cutVoice(v);
    }
    return kOk;
}

Result Core::groupSetPaused(const ChannelGroup& h, bool paused)
{
    A2D_WITH_GROUP(h)
    setParam(g->paused, paused);
    return kOk;
}

Result Core::groupGetPaused(const ChannelGroup& h, bool* paused)
{
    if (!paused)
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    *paused = g->paused;
    return kOk;
}

Result Core::groupSetMute(const ChannelGroup& h, bool mute)
{
    A2D_WITH_GROUP(h)
    setParam(g->muted, mute);
    return kOk;
}

Result Core::groupGetMute(const ChannelGroup& h, bool* mute)
{
    if (!mute)
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    *mute = g->muted;
    return kOk;
}

Result Core::groupSetVolume(const ChannelGroup& h, float volume)
{
    if (!isFinite(volume))
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    setParam(g->volume, std::clamp(volume, 0.0f, 1.0f));
    return kOk;
}

Result Core::groupGetVolume(const ChannelGroup& h, float* volume)
{
    if (!volume)
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    *volume = g->volume;
    return kOk;
}

Result Core::groupSetPitch(const ChannelGroup& h, float pitch)
{
    if (!isFinite(pitch))
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    setParam(g->pitch, std::clamp(pitch, kPitchMin, kPitchMax));
    return kOk;
}

Result Core::groupGetPitch(const ChannelGroup& h, float* pitch)
{
    if (!pitch)
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    *pitch = g->pitch;
    return kOk;
}

Result Core::groupAddGroup(const ChannelGroup& h, const ChannelGroup& child)
{
    A2D_WITH_GROUP(h)
    (void)g;
    GroupSlot* c = nullptr;
    if (const Result r = findGroup(child, &c))
        return r;
    const int parent = int(h.m_slot);
    const int moved = int(child.m_slot);
    if (moved == 0 || inSubtree(parent, moved))
        return kErrInvalidParam;
    c->parent = parent;
    m_paramsDirty = true;
    return kOk;
}

Result Core::groupGetParent(const ChannelGroup& h, ChannelGroup* parent)
{
    if (!parent)
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    *parent = g->parent >= 0 ? groupHandle(g->parent) : ChannelGroup{};
    return kOk;
}

Result Core::groupGetName(const ChannelGroup& h, char* name, int size)
{
    if (!name || size <= 0)
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    const std::size_t n = std::min(g->name.size(), std::size_t(size) - 1);
    std::memcpy(name, g->name.data(), n);
    name[n] = '\0';
    return kOk;
}

Result Core::groupGetNumChannels(const ChannelGroup& h, int* count)
{
    if (!count)
        return kErrInvalidParam;
    A2D_WITH_GROUP(h)
    (void)g;
    int n = 0;
    for (const Voice& v : m_voices)
        n += (v.active && v.group == int(h.m_slot)) ? 1 : 0;
    *count = n;
    return kOk;
}

Result Core::groupRelease(const ChannelGroup& h)
{
    A2D_WITH_GROUP(h)
    const int slot = int(h.m_slot);
    if (slot == 0)
        return kErrInvalidParam;
    for (Voice& v : m_voices) {
        if (v.group == slot)
            v.group = 0;
    }
    for (GroupSlot& other : m_groups) {
        if (other.gen && other.parent == slot)
            other.parent = 0;
    }
    *g = GroupSlot{};
    m_freeGroups.push_back(slot);
    m_paramsDirty = true;
    return kOk;
}

#undef A2D_WITH_GROUP

Result Core::soundGroupSetVolume(const SoundGroup& h, float volume)
{
    if (!isFinite(volume))
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return kErrNotInitialized;
    if (h.m_gen == 0 || h.m_gen != m_masterSoundGen)
        return kErrInvalidHandle;
    setParam(m_masterVolume, std::clamp(volume, 0.0f, 1.0f));
    return kOk;
}

Result Core::soundGroupGetVolume(const SoundGroup& h, float* volume)
{
    if (!volume)
        return kErrInvalidParam;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return kErrNotInitialized;
    if (h.m_gen == 0 || h.m_gen != m_masterSoundGen)
        return kErrInvalidHandle;
    *volume = m_masterVolume;
    return kOk;
}

} // namespace platform::snd::detail
