#pragma once
// The sound layer: a system that owns a software mixer and one output,
// sounds (samples decoded whole at creation, or streams decoded while they
// play), voices reached through channel handles, a tree of channel groups
// under a master group, and a master sound group.
//
// Every call returns a result code; out-parameters are written only on
// success. Sounds, channels and channel groups are handles (slot and
// generation, plus a weak reference to the system): a handle whose object is
// gone answers kErrInvalidHandle, a channel whose voice was taken for another
// sound answers kErrChannelStolen, and a handle outliving its system answers
// kErrInvalidHandle as well. Handles are small values and may be copied and
// used from any thread; one mutex inside the system serialises all state.
// The lifecycle calls (setOutput, init, close, release) come from one thread
// and not while other threads still use that system. The layer never calls
// out, so callers may hold their own locks while they call it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform::snd {

namespace detail {
class Core;
}

using Result = int;

enum : Result {
    kOk = 0,
    kErrChannelStolen = 11,
    kErrInvalidHandle = 36,
    kErrOutputInit = 62,
    kErrBadFormat = 100,
    kErrInvalidParam = 101,
    kErrNotInitialized = 102,
    kErrMemory = 103,
    kErrNoFreeVoice = 104,
    kErrBadPosition = 105,
    kErrInitialized = 106,
};

// A text for every result; "Unknown error" for numbers the layer never gives.
const char* errorString(Result result);

// Output types for System::setOutput.
enum : int {
    kOutputAutoDetect = 0,  // the SDL2 audio device
    kOutputNoSoundNrt = 4,  // no device; update() advances voices by wall time
    kOutputManual = 100,    // no device; the owner calls System::mix
    // The SDL2 audio device, fed in game time: each update() mixes the
    // frames of the time passed on platform::clock() since the last one and
    // queues them for the device. Voices end when game time says, whatever
    // pace the device keeps; what a slow device has not taken after
    // kSteppedQueueMs is dropped, and a fast one plays silence between.
    kOutputStepped = 101,
};
// Most sound the stepped output keeps queued for its device.
constexpr std::uint32_t kSteppedQueueMs = 500;

using Mode = std::uint32_t;
enum : Mode {
    kModeLoopOff = 0x1,
    kModeLoopNormal = 0x2,
    kModeCreateStream = 0x80,
    kModeCreateSample = 0x100,
    kModeOpenMemory = 0x800,
    kModeAccurateTime = 0x4000,
};

using TimeUnit = std::uint32_t;
enum : TimeUnit {
    kTimeUnitMs = 1,
    kTimeUnitPcm = 2,  // frames at the sound's own rate
};

// Channel indices for System::playSound.
enum : int {
    kChannelFree = -1,
    kChannelReuse = -2,
};

// Extra data for createSound/createStream; cbsize must be 112 and, with
// kModeOpenMemory, length holds the size of the memory in bytes. name (may
// be null) names the data in log lines, usually the file it came from.
struct CreateSoundExInfo {
    int cbsize = 0;
    std::uint32_t length = 0;
    const char* name = nullptr;
    std::uint8_t reserved[96] = {};
};
static_assert(sizeof(CreateSoundExInfo) == 112, "the extended info is 112 bytes");

// Priority range of a voice: 0 is the most important.
constexpr int kPriorityMin = 0;
constexpr int kPriorityMax = 256;
constexpr int kPriorityDefault = 128;
// Pitch multipliers are clamped into this range.
constexpr float kPitchMin = 0.01f;
constexpr float kPitchMax = 16.0f;
// A sample whose decoded float data would exceed this many bytes is refused
// with kErrMemory (streams have no such limit).
constexpr std::uint64_t kMaxSampleBytes = 256ull << 20;
// Highest number of voices System::init accepts.
constexpr int kMaxVoices = 4096;

class Sound;
class Channel;
class ChannelGroup;
class SoundGroup;

// Counters for tests and diagnostics.
struct Stats {
    std::uint64_t mixCalls = 0;
    std::uint64_t mixedFrames = 0;
    std::uint64_t streamUnderruns = 0;
    std::uint64_t setChannelGroupCalls = 0;
    std::uint64_t gainUpdates = 0;    // times the mix worked out gains and steps anew
    std::uint64_t feederWakeups = 0;  // times the stream feeder woke to decode
    std::uint64_t droppedFrames = 0;  // stepped output: mixed, never queued
    int voicesPlaying = 0;      // active voices now (paused ones included)
    int maxVoicesPlaying = 0;   // highest number ever active at once
    int maxVoices = 0;          // the limit given to init
    int sounds = 0;
    int channelGroups = 0;      // master included
    int outputRate = 0;
    int output = 0;
    bool initialized = false;
};

class Sound {
public:
    Sound() = default;
    explicit operator bool() const { return m_gen != 0; }
    bool operator==(const Sound& o) const { return m_slot == o.m_slot && m_gen == o.m_gen; }
    bool operator!=(const Sound& o) const { return !(*this == o); }

    // Stops the sound's voices (their handles go stale), then frees it; a
    // stream no longer reads its memory once this returns.
    Result release() const;
    Result getLength(std::uint32_t* length, TimeUnit unit) const;
    // Channels per frame after folding (1 or 2) and frames per second.
    Result getFormat(int* channels, int* rate) const;

private:
    friend class detail::Core;
    std::weak_ptr<detail::Core> m_core;
    std::uint32_t m_slot = 0;
    std::uint64_t m_gen = 0;
};

class Channel {
public:
    Channel() = default;
    explicit operator bool() const { return m_gen != 0; }
    bool operator==(const Channel& o) const { return m_slot == o.m_slot && m_gen == o.m_gen; }
    bool operator!=(const Channel& o) const { return !(*this == o); }

    Result stop() const;
    Result setPaused(bool paused) const;
    Result getPaused(bool* paused) const;  // the channel's own flag
    Result setMute(bool mute) const;
    Result getMute(bool* mute) const;      // the channel's own flag
    Result setVolume(float volume) const;  // clamped to 0..1
    Result getVolume(float* volume) const;
    Result setPan(float pan) const;        // clamped to -1..1
    Result getPan(float* pan) const;
    Result setPriority(int priority) const;  // clamped to 0..256
    Result getPriority(int* priority) const;
    Result setMode(Mode mode) const;       // kModeLoopOff or kModeLoopNormal
    Result getMode(Mode* mode) const;
    Result setPosition(std::uint32_t position, TimeUnit unit) const;
    Result getPosition(std::uint32_t* position, TimeUnit unit) const;
    // True while the voice plays or is paused.
    Result isPlaying(bool* playing) const;
    Result getChannelGroup(ChannelGroup* group) const;
    Result setChannelGroup(const ChannelGroup& group) const;
    Result getCurrentSound(Sound* sound) const;

private:
    friend class detail::Core;
    std::weak_ptr<detail::Core> m_core;
    std::uint32_t m_slot = 0;
    std::uint64_t m_gen = 0;
};

class ChannelGroup {
public:
    ChannelGroup() = default;
    explicit operator bool() const { return m_gen != 0; }
    bool operator==(const ChannelGroup& o) const { return m_slot == o.m_slot && m_gen == o.m_gen; }
    bool operator!=(const ChannelGroup& o) const { return !(*this == o); }

    // Stops every voice in this group and in its sub-groups.
    Result stop() const;
    Result setPaused(bool paused) const;
    Result getPaused(bool* paused) const;
    Result setMute(bool mute) const;
    Result getMute(bool* mute) const;
    Result setVolume(float volume) const;  // clamped to 0..1
    Result getVolume(float* volume) const;
    Result setPitch(float pitch) const;    // clamped to kPitchMin..kPitchMax
    Result getPitch(float* pitch) const;
    // Moves child (with its voices and sub-groups) under this group. Moving
    // the master group or making a cycle is an invalid parameter.
    Result addGroup(const ChannelGroup& child) const;
    Result getParentGroup(ChannelGroup* parent) const;
    // Copies the name, cut to size - 1 bytes, always terminated.
    Result getName(char* name, int size) const;
    // Voices (playing or paused) directly in this group.
    Result getNumChannels(int* count) const;
    // Hands the group's voices and sub-groups to the master group and frees
    // it; the master group cannot be released.
    Result release() const;

private:
    friend class detail::Core;
    std::weak_ptr<detail::Core> m_core;
    std::uint32_t m_slot = 0;
    std::uint64_t m_gen = 0;
};

class SoundGroup {
public:
    SoundGroup() = default;
    explicit operator bool() const { return m_gen != 0; }

    Result setVolume(float volume) const;  // clamped to 0..1
    Result getVolume(float* volume) const;

private:
    friend class detail::Core;
    std::weak_ptr<detail::Core> m_core;
    std::uint64_t m_gen = 0;
};

class System {
public:
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    // Before init, or after an init that failed.
    Result setOutput(int output);
    Result getOutput(int* output) const;
    // Opens the output and makes the master groups. A failing device gives
    // kErrOutputInit and leaves the system uninitialised.
    Result init(int maxChannels, std::uint32_t flags, void* extraDriverData);
    // Once per frame; with kOutputNoSoundNrt advances every voice by the time
    // passed on platform::clock() since the last update (or init), with
    // kOutputStepped mixes that time (streams decode on this thread).
    Result update();
    // Stops the output and frees every sound, voice and group; init may be
    // called again afterwards.
    Result close();
    // close, then frees the system; this object is gone when it returns.
    Result release();

    Result getMasterSoundGroup(SoundGroup* group);
    Result getMasterChannelGroup(ChannelGroup* group);
    // New groups sit under the master group; empty names are allowed, the
    // master group's own name is reserved.
    Result createChannelGroup(const char* name, ChannelGroup* group);
    // Only kModeOpenMemory is supported: data points at exinfo->length bytes.
    // A sample copies what it needs; a stream reads the memory while it
    // exists, so the memory must stay valid until Sound::release.
    Result createSound(const char* data, Mode mode, CreateSoundExInfo* exinfo, Sound* sound);
    Result createStream(const char* data, Mode mode, CreateSoundExInfo* exinfo, Sound* sound);
    // kChannelFree takes a free voice; with none free it takes the voice with
    // the highest priority number, the oldest among equals, unless that voice
    // is more important than priority 128 (then kErrNoFreeVoice).
    // kChannelReuse restarts the voice of *channel when that handle is live
    // (same handle) and otherwise acts as kChannelFree. A voice starts with
    // volume 1, pan 0, priority 128, unmuted, in the master group, looping as
    // the sound's mode says (off by default). A stream has one voice: playing
    // it again ends the previous one.
    Result playSound(int channelIndex, const Sound& sound, bool paused, Channel* channel);

    // Manual output: mixes frames of interleaved stereo float at the output
    // rate into out. Streams are decoded for each block first, on this thread.
    Result mix(float* out, std::uint32_t frames);
    Result getOutputRate(int* rate) const;
    Result getStats(Stats* stats) const;

private:
    friend Result createSystem(System** system);
    System();
    ~System();
    std::shared_ptr<detail::Core> m_core;
};

// Makes a system (uninitialised, auto-detected output).
Result createSystem(System** system);

// Where the layer's log lines go (damaged or cut sound data, what was done
// about it); one line per call, without a newline. Lines come from the
// thread that called into the layer. Null (the default) drops them.
using LogSink = std::function<void(const std::string&)>;
void setLogSink(LogSink sink);

// Test doubles: process-wide switches read by createSystem and init.
namespace test_hooks {
// The output a new system starts with (kOutputAutoDetect normally).
void setDefaultOutput(int output);
// While set, createSystem fails with kErrMemory.
void setCreateFails(bool fails);
// While non-zero, init answers this result for every output except
// kOutputNoSoundNrt (62 imitates a device that cannot be opened).
void setInitResult(Result result);
// Overrides kMaxSampleBytes (0 restores it).
void setMaxSampleBytes(std::uint64_t bytes);
// Back to the defaults above.
void reset();
} // namespace test_hooks

} // namespace platform::snd
