#pragma once
// Decoders of the sound layer, chosen by content: WAV (through SDL), Ogg
// Vorbis (libvorbisfile) and MP3 (libmpg123), all over caller memory. Output
// is interleaved float, mono or stereo (more channels fold to stereo).
// A decoder is used by one thread at a time and never under the layer lock.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound/sound_layer.h"

namespace platform::snd::detail {

constexpr int kMinRate = 1;
constexpr int kMaxRate = 384000;

class Decoder {
public:
    virtual ~Decoder() = default;
    // 1 or 2.
    int channels() const { return m_channels; }
    int rate() const { return m_rate; }
    // Frames from start to end, exact (WAV data size, Vorbis PCM total,
    // MP3 after a full scan).
    std::uint64_t length() const { return m_length; }
    // Reads up to frames frames into out; fewer only at the end of the data
    // or when it is damaged beyond recovery, 0 when nothing more comes.
    virtual std::size_t read(float* out, std::size_t frames) = 0;
    // Moves to a frame (0 <= frame <= length); false when the data refuses.
    virtual bool seek(std::uint64_t frame) = 0;

protected:
    int m_channels = 0;
    int m_rate = 0;
    std::uint64_t m_length = 0;
};

// A line for the layer's log sink about the data called name (null: data
// in memory), e.g. `Sound "a.wav": ...`.
void logSound(const char* name, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Opens data[0, size) (which must outlive the decoder). Refuses null or
// empty memory, unknown content, cut headers, no channels, no frames and
// rates outside kMinRate..kMaxRate with kErrBadFormat. Sizes and lengths
// read from the data are checked against the bytes there before anything
// is allocated for them: a WAV whose data runs past the end plays what is
// there. Refusals and cuts are logged under name.
Result openDecoder(const std::uint8_t* data, std::size_t size, std::unique_ptr<Decoder>* out,
                   const char* name = nullptr);

// A whole decoded sound.
struct Pcm {
    int channels = 0;
    int rate = 0;
    std::uint64_t frames = 0;
    std::vector<float> samples;  // frames * channels
};

// Decodes everything; more than maxBytes of float data gives kErrMemory.
// Memory grows with what really decodes, never ahead of it on the strength
// of a length the data claims.
Result decodeAll(const std::uint8_t* data, std::size_t size, std::uint64_t maxBytes, Pcm* out,
                 const char* name = nullptr);

// How source channels fold into stereo. Layouts name the channel order of
// each container; gains are scaled so that no output exceeds full scale
// when every input does not.
enum class ChannelOrder { Wav, Vorbis };
class StereoFold {
public:
    StereoFold() = default;
    StereoFold(int sourceChannels, ChannelOrder order);
    int sourceChannels() const { return int(m_left.size()); }
    int outputChannels() const { return m_left.size() == 1 ? 1 : 2; }
    // in: frames * sourceChannels; out: frames * outputChannels.
    void apply(const float* in, float* out, std::size_t frames) const;
    float leftGain(int channel) const { return m_left[std::size_t(channel)]; }
    float rightGain(int channel) const { return m_right[std::size_t(channel)]; }

private:
    std::vector<float> m_left;
    std::vector<float> m_right;
};

} // namespace platform::snd::detail
