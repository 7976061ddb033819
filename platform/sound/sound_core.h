#pragma once
// Inside of the sound layer: the state behind a System and its handles.
// Everything below marked "under m_mutex" is read and written only with the
// core's mutex held; decoding happens outside it (see StreamState).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/decoder.h"
#include "platform/sound/sound_layer.h"

namespace platform::snd::detail {

// Positions are 32.32 fixed point in frames of the source.
using Fixed = std::uint64_t;
constexpr int kFracBits = 32;
constexpr Fixed kFixedOne = Fixed(1) << kFracBits;

// Mix requests are cut into blocks of at most this many frames.
constexpr std::uint32_t kMixBlock = 4096;
// Stream decoding: chunk size, and how far ahead of its voice a stream keeps
// decoded frames (at least; more when its voice consumes faster).
constexpr std::uint32_t kStreamChunkFrames = 4096;
constexpr std::uint64_t kStreamAheadFrames = 32768;

constexpr const char* kMasterGroupName = "<master>";

// kMaxSampleBytes, or the test override.
std::uint64_t sampleByteLimit();

struct StreamState;
// Decoded frames a stream keeps ahead of its voice (enough for two mix
// blocks at the voice's speed, never less than kStreamAheadFrames). Under
// the core mutex.
std::uint64_t streamAhead(const StreamState& s);

struct SampleData {
    int channels = 0;
    int rate = 0;              // of pcm: the output rate once converted
    std::uint64_t frames = 0;  // of pcm
    std::vector<float> pcm;
    // Converted at load from the sound's own rate: that rate, its length
    // in frames and the step (32.32 frames of it per frame of pcm) it was
    // read with. sourceStep 0: not converted.
    int sourceRate = 0;
    std::uint64_t sourceFrames = 0;
    Fixed sourceStep = 0;
    // Frames of pcm near its ends were read with taps beyond the sound,
    // which are silence for a sound that plays once (as pcm holds them) and
    // the other end for a loop: those of a loop are held here, the first
    // loopHead frames of pcm, then its last loopTail.
    std::uint64_t loopHead = 0;
    std::uint64_t loopTail = 0;
    std::vector<float> loopEdges;
};

// Converts a decoded sample to the output rate with the mixer's
// interpolation, as a voice at pitch 1 would read it, so that mixing it is a
// copy. Left as it is at that rate already, when empty, or when the result
// would pass byteLimit bytes (it is then resampled while mixing). Outside
// the core mutex.
void convertSampleRate(SampleData& sample, int outputRate, std::uint64_t byteLimit);

struct StreamChunk {
    std::uint64_t fileStart = 0;  // frame index in the sound of pcm's first frame
    std::uint32_t frames = 0;
    std::vector<float> pcm;
};

// A stream's decoder and its queue of decoded chunks in play order (after
// the end of a looping stream comes its start again). One producer at a
// time fills the queue (decodeMutex); the mixer consumes it under the core
// mutex. A producer decodes outside the core mutex and appends only when
// the epoch it started with is still current, so a seek discards work that
// was under way.
struct StreamState {
    int channels = 0;
    int rate = 0;
    std::uint64_t length = 0;

    std::mutex decodeMutex;  // taken before the core mutex, never after
    std::unique_ptr<Decoder> decoder;  // under decodeMutex
    std::uint64_t decodePos = 0;       // under decodeMutex
    bool decoderFailed = false;        // under decodeMutex

    // Under the core mutex:
    std::deque<StreamChunk> chunks;
    std::uint64_t buffered = 0;
    std::uint64_t epoch = 0;
    bool seekPending = true;
    std::uint64_t seekTarget = 0;
    bool loop = false;
    bool exhausted = false;  // decoded to the end of a sound that does not loop
    Fixed step = kFixedOne;
    int voice = -1;
    bool released = false;
    std::vector<std::vector<float>> spare;
};

struct SoundSlot {
    std::uint64_t gen = 0;  // 0: free
    std::shared_ptr<const SampleData> sample;
    std::shared_ptr<StreamState> stream;
    int channels = 0;
    int rate = 0;
    std::uint64_t length = 0;
    Mode mode = 0;
};

struct GroupSlot {
    std::uint64_t gen = 0;  // 0: free
    std::string name;
    int parent = -1;
    float volume = 1.0f;
    float pitch = 1.0f;
    bool paused = false;
    bool muted = false;
    // Derived from the chain up to the master group by recomputeParams.
    float effVolume = 1.0f;
    float effPitch = 1.0f;
    bool effPaused = false;
    bool effMuted = false;
};

// Gains of a voice: what is heard now moves to the target in a straight
// line over a ramp, so that no change of volume, pan or mute steps the wave.
struct Gain {
    float l = 0.0f;
    float r = 0.0f;
    float targetL = 0.0f;
    float targetR = 0.0f;
    float stepL = 0.0f;  // per frame while rampLeft > 0
    float stepR = 0.0f;
    std::uint32_t rampLeft = 0;
};

struct Voice {
    std::uint64_t gen = 0;
    std::uint64_t stolenGen = 0;  // the generation last taken from this slot
    bool active = false;
    std::uint32_t sound = 0;
    std::uint64_t soundGen = 0;
    std::shared_ptr<const SampleData> sample;
    std::shared_ptr<StreamState> stream;
    int channels = 0;
    int rate = 0;
    std::uint64_t length = 0;
    Fixed pos = 0;
    float volume = 1.0f;
    float pan = 0.0f;
    int priority = kPriorityDefault;
    bool loop = false;
    bool paused = false;
    bool muted = false;
    int group = 0;
    std::uint64_t startSeq = 0;
    // Nothing of it mixed yet: gains take their values at once.
    bool fresh = true;
    // Derived by recomputeParams (the targets) and the mixer.
    Gain gain;
    Fixed step = kFixedOne;
    bool effPaused = false;
    bool effMuted = false;
};

class SdlOutput;

class Core : public std::enable_shared_from_this<Core> {
public:
    Core();
    ~Core();

    // System operations.
    Result setOutput(int output);
    Result getOutput(int* output);
    Result init(int maxChannels);
    Result update();
    Result close();
    Result getMasterSoundGroup(SoundGroup* group);
    Result getMasterChannelGroup(ChannelGroup* group);
    Result createChannelGroup(const char* name, ChannelGroup* group);
    Result createSound(const char* data, Mode mode, const CreateSoundExInfo* exinfo, Sound* sound);
    Result playSound(int channelIndex, const Sound& sound, bool paused, Channel* channel);
    Result mixManual(float* out, std::uint32_t frames);
    Result getOutputRate(int* rate);
    Result getStats(Stats* stats);

    // Sound operations.
    Result soundRelease(const Sound& sound);
    Result soundGetLength(const Sound& sound, std::uint32_t* length, TimeUnit unit);
    Result soundGetFormat(const Sound& sound, int* channels, int* rate);

    // Channel operations.
    Result channelStop(const Channel& h);
    Result channelSetPaused(const Channel& h, bool paused);
    Result channelGetPaused(const Channel& h, bool* paused);
    Result channelSetMute(const Channel& h, bool mute);
    Result channelGetMute(const Channel& h, bool* mute);
    Result channelSetVolume(const Channel& h, float volume);
    Result channelGetVolume(const Channel& h, float* volume);
    Result channelSetPan(const Channel& h, float pan);
    Result channelGetPan(const Channel& h, float* pan);
    Result channelSetPriority(const Channel& h, int priority);
    Result channelGetPriority(const Channel& h, int* priority);
    Result channelSetMode(const Channel& h, Mode mode);
    Result channelGetMode(const Channel& h, Mode* mode);
    Result channelSetPosition(const Channel& h, std::uint32_t position, TimeUnit unit);
    Result channelGetPosition(const Channel& h, std::uint32_t* position, TimeUnit unit);
    Result channelIsPlaying(const Channel& h, bool* playing);
    Result channelGetGroup(const Channel& h, ChannelGroup* group);
    Result channelSetGroup(const Channel& h, const ChannelGroup& group);
    Result channelGetSound(const Channel& h, Sound* sound);

    // Channel-group operations.
    Result groupStop(const ChannelGroup& h);
    Result groupSetPaused(const ChannelGroup& h, bool paused);
    Result groupGetPaused(const ChannelGroup& h, bool* paused);
    Result groupSetMute(const ChannelGroup& h, bool mute);
    Result groupGetMute(const ChannelGroup& h, bool* mute);
    Result groupSetVolume(const ChannelGroup& h, float volume);
    Result groupGetVolume(const ChannelGroup& h, float* volume);
    Result groupSetPitch(const ChannelGroup& h, float pitch);
    Result groupGetPitch(const ChannelGroup& h, float* pitch);
    Result groupAddGroup(const ChannelGroup& h, const ChannelGroup& child);
    Result groupGetParent(const ChannelGroup& h, ChannelGroup* parent);
    Result groupGetName(const ChannelGroup& h, char* name, int size);
    Result groupGetNumChannels(const ChannelGroup& h, int* count);
    Result groupRelease(const ChannelGroup& h);

    // Master sound group.
    Result soundGroupSetVolume(const SoundGroup& h, float volume);
    Result soundGroupGetVolume(const SoundGroup& h, float* volume);

    // The device callback: mixes frames of stereo float.
    void mixFromDevice(float* out, std::uint32_t frames);

private:
    // All under m_mutex.
    Result findVoice(const Channel& h, Voice** voice);
    Result findGroup(const ChannelGroup& h, GroupSlot** group);
    Result findSound(const Sound& h, SoundSlot** sound);
    Channel channelHandle(int slot);
    ChannelGroup groupHandle(int slot);
    Sound soundHandle(std::uint32_t slot);
    void endVoice(Voice& v);
    // Ends a voice that is cut while it sounds: its last milliseconds fade
    // out in the tail ring, which no voice slot holds.
    void cutVoice(Voice& v);
    void spawnTail(const Voice& v);
    void setTargetGains(Voice& v, float left, float right);
    int pickVoice(int newPriority);
    bool inSubtree(int group, int root) const;
    void requestSeek(StreamState& s, std::uint64_t frame);
    void recomputeParams();
    // Marks the mix's parameters stale only when the value changes: callers
    // set the same volume every frame.
    template <class T>
    void setParam(T& field, T value)
    {
        if (field != value) {
            field = value;
            m_paramsDirty = true;
        }
    }
    void mixLocked(float* out, std::uint32_t frames);
    void renderVoice(Voice& v, double* acc, std::uint32_t frames);
    std::uint32_t mixSource(const Voice& v, Fixed& pos, double* acc, std::uint32_t frames, Gain& gain, bool consume,
                            bool* ended, bool* dry);
    void mixEdgeFrame(const Voice& v, Fixed pos, double* acc, Gain& gain);
    void sourceFrame(const Voice& v, std::int64_t index, float* frame);
    void advanceVoice(Voice& v, std::uint64_t frames);
    void dropPassedChunks(StreamState& s, std::uint64_t index, bool loop);
    std::vector<std::shared_ptr<StreamState>> playingStreams();

    // Outside m_mutex: decodes ahead for one stream.
    void fillStream(const std::shared_ptr<StreamState>& s);
    void feederLoop();
    // Wakes the feeder; never under m_mutex.
    void requestFeed();
    // Under m_mutex: notes a stream whose buffer fell below half its mark.
    void checkStreamLevel(const StreamState& s);
    void stopOutput();
    // Under m_mutex: output frames of the clock's time since the last call.
    std::uint64_t framesSinceUpdate();
    // Stepped output, outside m_mutex on the updating thread: mixes frames
    // and queues them for the device.
    void mixStepped(std::uint32_t frames);
    // The most frames the stepped output keeps queued.
    std::uint32_t steppedQueueFrames() const
    {
        return std::uint32_t(std::uint64_t(m_outputRate) * kSteppedQueueMs / 1000);
    }

    mutable std::mutex m_mutex;
    bool m_initialized = false;
    int m_output = kOutputAutoDetect;
    int m_outputRate = 48000;
    std::vector<Voice> m_voices;
    std::vector<SoundSlot> m_sounds;
    std::vector<std::uint32_t> m_freeSounds;
    std::vector<GroupSlot> m_groups;
    std::vector<int> m_freeGroups;
    float m_masterVolume = 1.0f;
    std::uint64_t m_masterSoundGen = 0;
    std::uint64_t m_nextGen = 1;
    std::uint64_t m_playSeq = 0;
    bool m_paramsDirty = true;
    Stats m_stats;
    std::vector<double> m_acc;
    // Tails of cut voices, summed: stereo frames from the next one mixed
    // onwards (m_tailAt is where that frame sits in the ring).
    std::uint32_t m_rampFrames = 240;
    std::vector<float> m_tailRing;
    std::vector<double> m_tailScratch;
    std::uint32_t m_tailAt = 0;
    std::uint32_t m_tailLive = 0;  // frames of the ring that may hold sound
    std::int64_t m_lastUpdateCounter = 0;
    std::int64_t m_updateRemainder = 0;
    std::vector<float> m_steppedMix;  // the updating thread's own

    // The device and the stream feeder (real-time output only). Started and
    // stopped by init and close outside m_mutex.
    std::unique_ptr<SdlOutput> m_device;
    std::thread m_feeder;
    // The feeder sleeps until a stream needs data: the device callback wakes
    // it when a buffer runs low (opening and seeking decode on the caller's
    // thread). No timer: an idle layer never wakes it.
    std::mutex m_feederMutex;
    std::condition_variable m_feederWake;
    bool m_feederStop = false;       // under m_feederMutex
    bool m_feedRequested = false;    // under m_feederMutex
    bool m_streamsNeedData = false;  // under m_mutex
    std::atomic<std::uint64_t> m_feederWakeups{0};
};

// The SDL2 audio device: asks for 48 kHz stereo float and mixes at the rate
// it obtains. Without a core its callback does nothing (what any SDL output
// costs at least, for benchmarks).
class SdlOutput {
public:
    // queued: the core queues what it mixes (stepped output) instead of
    // mixing in the device's callback.
    SdlOutput(Core* core, bool queued) : m_core(core), m_queued(queued) {}
    ~SdlOutput() { close(); }
    // kOk, or kErrOutputInit when SDL's audio or the device fails.
    Result open(int* rate);
    void start();
    void close();
    // Queued devices: appends frames of stereo float. When the queue would
    // pass limit frames, what the device has not taken yet is dropped
    // first; answers the frames dropped.
    std::uint64_t queue(const float* frames, std::uint32_t count, std::uint32_t limit);

private:
    Core* m_core;
    bool m_queued;
    std::uint32_t m_device = 0;
    bool m_subsystem = false;
};

} // namespace platform::snd::detail
