// The mixer core shared by every output. It runs with the core mutex held:
// once per buffer it refreshes the derived voice parameters if anything
// changed, sums every audible voice into a double accumulator and saturates
// once into the float output.
#include <algorithm>
#include <cmath>

#include "platform/sound/sound_core.h"

namespace platform::snd::detail {

namespace {

constexpr float kFracScale = 1.0f / 4294967296.0f;
constexpr double kQuarterPi = 0.78539816339744830962;

// Linear interpolation over src (CH interleaved channels) from the 32.32
// position pos, count output frames. The caller guarantees that the frame
// after the last one read still lies in src.
template <int CH>
void mixSpan(const float* src, Fixed& pos, Fixed step, double* acc, std::uint32_t count, float gainL, float gainR)
{
    Fixed p = pos;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::size_t i = std::size_t(p >> kFracBits) * CH;
        const float f = float(std::uint32_t(p)) * kFracScale;
        if constexpr (CH == 1) {
            const float s = src[i] + (src[i + 1] - src[i]) * f;
            acc[2 * k] += s * gainL;
            acc[2 * k + 1] += s * gainR;
        } else {
            const float l = src[i] + (src[i + 2] - src[i]) * f;
            const float r = src[i + 1] + (src[i + 3] - src[i + 1]) * f;
            acc[2 * k] += l * gainL;
            acc[2 * k + 1] += r * gainR;
        }
        p += step;
    }
    pos = p;
}

} // namespace

void Core::recomputeParams()
{
    for (GroupSlot& g : m_groups) {
        if (!g.gen)
            continue;
        float volume = 1.0f;
        float pitch = 1.0f;
        bool paused = false;
        bool muted = false;
        int walk = int(&g - m_groups.data());
        for (std::size_t steps = 0; walk >= 0 && steps <= m_groups.size(); ++steps) {
            const GroupSlot& up = m_groups[std::size_t(walk)];
            volume *= up.volume;
            pitch *= up.pitch;
            paused = paused || up.paused;
            muted = muted || up.muted;
            walk = up.parent;
        }
        g.effVolume = volume;
        g.effPitch = pitch;
        g.effPaused = paused;
        g.effMuted = muted;
    }
    for (Voice& v : m_voices) {
        if (!v.active)
            continue;
        const GroupSlot& g = m_groups[std::size_t(v.group)];
        const float gain = v.volume * g.effVolume * m_masterVolume;
        if (v.channels == 1) {
            // Mono pan law: constant power, so a sound keeps its loudness as
            // it moves; the centre gives each side 1/sqrt(2), a hard pan
            // gives one side full gain.
            const double angle = (double(v.pan) + 1.0) * kQuarterPi;
            v.gainL = float(gain * std::cos(angle));
            v.gainR = float(gain * std::sin(angle));
            if (v.pan <= -1.0f)
                v.gainR = 0.0f;
            if (v.pan >= 1.0f)
                v.gainL = 0.0f;
        } else {
            // Stereo: balance, the far side fades out and the near side
            // keeps full gain.
            v.gainL = gain * (v.pan > 0.0f ? 1.0f - v.pan : 1.0f);
            v.gainR = gain * (v.pan < 0.0f ? 1.0f + v.pan : 1.0f);
        }
        // Rounded up, so that a voice never falls behind the time played
        // (positions and ends land on the frame they should, not one late).
        const double step = double(v.rate) / double(m_outputRate) * double(g.effPitch) * double(kFixedOne);
        v.step = std::max<Fixed>(1, Fixed(std::ceil(step)));
        v.effPaused = v.paused || g.effPaused;
        v.effMuted = v.muted || g.effMuted;
        if (v.stream)
            v.stream->step = v.step;
    }
    m_paramsDirty = false;
}

void Core::mixLocked(float* out, std::uint32_t frames)
{
    const std::size_t samples = std::size_t(frames) * 2;
    if (!m_initialized) {
        std::fill_n(out, samples, 0.0f);
        return;
    }
    if (m_paramsDirty)
        recomputeParams();
    if (m_acc.size() < samples)
        m_acc.resize(samples);
    double* acc = m_acc.data();
    std::fill_n(acc, samples, 0.0);
    for (Voice& v : m_voices) {
        if (!v.active || v.effPaused)
            continue;
        if (v.effMuted || (v.gainL == 0.0f && v.gainR == 0.0f))
            advanceVoice(v, frames);
        else
            renderVoice(v, acc, frames);
    }
    for (std::size_t i = 0; i < samples; ++i)
        out[i] = float(std::clamp(acc[i], -1.0, 1.0));
    ++m_stats.mixCalls;
    m_stats.mixedFrames += frames;
}

bool Core::wrapOrEnd(Voice& v)
{
    const Fixed end = Fixed(v.length) << kFracBits;
    if (v.pos < end)
        return true;
    if (!v.loop) {
        endVoice(v);
        return false;
    }
    v.pos %= end;
    return true;
}

void Core::advanceVoice(Voice& v, std::uint64_t frames)
{
    if (!v.active || v.effPaused || frames == 0)
        return;
    unsigned __int128 target = (unsigned __int128)v.pos + (unsigned __int128)v.step * frames;
    const unsigned __int128 end = (unsigned __int128)v.length << kFracBits;
    if (target >= end) {
        if (!v.loop) {
            endVoice(v);
            return;
        }
        target %= end;
    }
    v.pos = Fixed(target);
    if (v.stream)
        dropPassedChunks(*v.stream, v.pos >> kFracBits);
}

void Core::dropPassedChunks(StreamState& s, std::uint64_t index)
{
    while (!s.chunks.empty()) {
        StreamChunk& front = s.chunks.front();
        if (index >= front.fileStart && index < front.fileStart + front.frames)
            return;
        s.buffered -= front.frames;
        if (s.spare.size() < 8)
            s.spare.push_back(std::move(front.pcm));
        s.chunks.pop_front();
    }
}

bool Core::streamFrameAt(Voice& v, std::uint64_t index, float* frame)
{
    for (const StreamChunk& c : v.stream->chunks) {
        if (index >= c.fileStart && index < c.fileStart + c.frames) {
            const float* p = c.pcm.data() + (index - c.fileStart) * std::uint64_t(v.channels);
            frame[0] = p[0];
            frame[1] = v.channels == 2 ? p[1] : p[0];
            return true;
        }
    }
    return false;
}

void Core::renderVoice(Voice& v, double* acc, std::uint32_t frames)
{
    const int ch = v.channels;
    std::uint32_t done = 0;
    while (done < frames) {
        if (!wrapOrEnd(v))
            return;
        const std::uint64_t index = v.pos >> kFracBits;
        const float* base;
        std::uint64_t spanStart;
        std::uint64_t spanEnd;
        if (v.sample) {
            base = v.sample->pcm.data();
            spanStart = 0;
            spanEnd = v.length;
        } else {
            StreamState& s = *v.stream;
            dropPassedChunks(s, index);
            if (s.chunks.empty()) {
                // Ran dry: silence for the rest of the buffer, time goes on.
                ++m_stats.streamUnderruns;
                advanceVoice(v, frames - done);
                return;
            }
            const StreamChunk& c = s.chunks.front();
            base = c.pcm.data();
            spanStart = c.fileStart;
            spanEnd = c.fileStart + c.frames;
        }

        // Frames whose right-hand neighbour lies in the span.
        Fixed rel = v.pos - (Fixed(spanStart) << kFracBits);
        const Fixed fastLimit = Fixed(spanEnd - spanStart - 1) << kFracBits;
        if (rel < fastLimit) {
            const std::uint64_t n = std::min<std::uint64_t>((fastLimit - rel + v.step - 1) / v.step, frames - done);
            if (ch == 1)
                mixSpan<1>(base, rel, v.step, acc + 2 * std::size_t(done), std::uint32_t(n), v.gainL, v.gainR);
            else
                mixSpan<2>(base, rel, v.step, acc + 2 * std::size_t(done), std::uint32_t(n), v.gainL, v.gainR);
            v.pos = (Fixed(spanStart) << kFracBits) + rel;
            done += std::uint32_t(n);
            continue;
        }

        // The last frame of the span: its neighbour is the start of the
        // sound when looping, silence at the end, or the next chunk.
        const float* cur = base + (index - spanStart) * std::uint64_t(ch);
        const float curL = cur[0];
        const float curR = ch == 2 ? cur[1] : cur[0];
        float next[2] = {0.0f, 0.0f};
        if (spanEnd == v.length) {
            if (v.loop) {
                if (v.sample) {
                    next[0] = base[0];
                    next[1] = ch == 2 ? base[1] : base[0];
                } else {
                    streamFrameAt(v, 0, next);
                }
            }
        } else {
            streamFrameAt(v, spanEnd, next);
        }
        while (done < frames && (v.pos >> kFracBits) == index) {
            const float f = float(std::uint32_t(v.pos)) * kFracScale;
            const float l = curL + (next[0] - curL) * f;
            const float r = curR + (next[1] - curR) * f;
            if (ch == 1) {
                acc[2 * done] += l * v.gainL;
                acc[2 * done + 1] += l * v.gainR;
            } else {
                acc[2 * done] += l * v.gainL;
                acc[2 * done + 1] += r * v.gainR;
            }
            v.pos += v.step;
            ++done;
        }
    }
    wrapOrEnd(v);
}

} // namespace platform::snd::detail
