// The mixer core shared by every output. It runs with the core mutex held:
// once per buffer it refreshes the derived voice parameters if anything
// changed, sums every audible voice and the tails of cut ones into a double
// accumulator and saturates once into the float output.
//
// Sources are read through four-point, third-order Lagrange interpolation:
// it passes through every source frame (same-rate sounds come out exact) and
// keeps the images of a resampled tone over 60 dB down where straight lines
// leave them near 40.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/sound/sound_core.h"

namespace platform::snd::detail {

namespace {

constexpr float kFracScale = 1.0f / 4294967296.0f;
constexpr double kQuarterPi = 0.78539816339744830962;

inline void endRampIfDone(Gain& g)
{
    if (g.rampLeft == 0) {
        g.l = g.targetL;
        g.r = g.targetR;
    }
}

using F4 = float __attribute__((vector_size(16)));
using F2 = float __attribute__((vector_size(8)));
using D2 = double __attribute__((vector_size(16)));

inline F4 load4(const float* p)
{
    F4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Weights of the source frames at -1, 0, +1 and +2 around a fraction t in
// [0, 1); at t = 0 they are exactly 0, 1, 0, 0.
inline F4 lagrange(float t)
{
    const F4 tv = {t, t, t, t};
    const F4 b = tv + F4{-2.0f, -1.0f, 0.0f, 1.0f};
    const float p = t * (t - 1.0f);
    const float q = (t + 1.0f) * (t - 2.0f);
    const F4 a = F4{p, q, q, p} * F4{-1.0f / 6.0f, 0.5f, -0.5f, 1.0f / 6.0f};
    return a * b;
}

inline void addToAcc(double* acc, F2 lr)
{
    D2 sum;
    std::memcpy(&sum, acc, sizeof sum);
    sum += __builtin_convertvector(lr, D2);
    std::memcpy(acc, &sum, sizeof sum);
}

// count frames from src (CH interleaved channels) at the 32.32 position
// pos, relative to src. Every tap the run reads, from the frame before the
// first position to two frames after the last, lies in src.
// WHOLE: every position falls on a source frame (same rate, no pitch), which
// the interpolation passes through.
template <int CH, bool RAMP, bool WHOLE>
void mixRun(const float* src, Fixed& pos, Fixed step, double* acc, std::uint32_t count, Gain& g)
{
    Fixed p = pos;
    float gl = g.l;
    float gr = g.r;
    std::uint32_t left = g.rampLeft;
    for (std::uint32_t k = 0; k < count; ++k) {
        const float* s = src + (std::size_t(p >> kFracBits) - 1) * CH;
        if constexpr (RAMP) {
            // Counted back from the target, so the ramp lands on it exactly.
            --left;
            gl = g.targetL - g.stepL * float(left);
            gr = g.targetR - g.stepR * float(left);
        }
        F2 lr;
        if constexpr (WHOLE) {
            lr = CH == 1 ? F2{s[1], s[1]} : F2{s[2], s[3]};
        } else if constexpr (CH == 1) {
            const F4 m = lagrange(float(std::uint32_t(p)) * kFracScale) * load4(s);
            const float v = (m[0] + m[1]) + (m[2] + m[3]);
            lr = F2{v, v};
        } else {
            const F4 w = lagrange(float(std::uint32_t(p)) * kFracScale);
            const F4 m = load4(s) * __builtin_shufflevector(w, w, 0, 0, 1, 1) +
                         load4(s + 4) * __builtin_shufflevector(w, w, 2, 2, 3, 3);
            lr = __builtin_shufflevector(m, m, 0, 1) + __builtin_shufflevector(m, m, 2, 3);
        }
        addToAcc(acc + 2 * std::size_t(k), lr * F2{gl, gr});
        p += step;
    }
    pos = p;
    g.l = gl;
    g.r = gr;
}

template <int CH, bool WHOLE>
void mixRunWithRamp(const float* src, Fixed& pos, Fixed step, double* acc, std::uint32_t count, Gain& g)
{
    if (g.rampLeft > 0) {
        const std::uint32_t n = std::min(count, g.rampLeft);
        mixRun<CH, true, WHOLE>(src, pos, step, acc, n, g);
        g.rampLeft -= n;
        endRampIfDone(g);
        acc += 2 * std::size_t(n);
        count -= n;
    }
    if (count > 0)
        mixRun<CH, false, WHOLE>(src, pos, step, acc, count, g);
}

template <int CH>
void mixRunAny(const float* src, Fixed& pos, Fixed step, double* acc, std::uint32_t count, Gain& g)
{
    if (step == kFixedOne && std::uint32_t(pos) == 0)
        mixRunWithRamp<CH, true>(src, pos, step, acc, count, g);
    else
        mixRunWithRamp<CH, false>(src, pos, step, acc, count, g);
}

// Frames index - 1 .. index + 2 of a sound (frames x channels at src) into
// taps, what lies beyond the sound being silence, or its other end for a loop.
template <int CH>
void gatherTaps(const float* src, std::int64_t frames, std::int64_t index, bool loop, float* taps)
{
    for (int j = 0; j < 4; ++j) {
        std::int64_t at = index - 1 + j;
        if (at < 0 || at >= frames) {
            if (!loop) {
                for (int c = 0; c < CH; ++c)
                    taps[j * CH + c] = 0.0f;
                continue;
            }
            at = ((at % frames) + frames) % frames;
        }
        for (int c = 0; c < CH; ++c)
            taps[j * CH + c] = src[std::size_t(at) * CH + std::size_t(c)];
    }
}

// Frame `out` of a sound read at pos, the arithmetic of mixRun's.
template <int CH>
void readFrame(const float* taps, Fixed pos, float* out)
{
    const F4 w = lagrange(float(std::uint32_t(pos)) * kFracScale);
    if constexpr (CH == 1) {
        const F4 m = w * load4(taps);
        out[0] = (m[0] + m[1]) + (m[2] + m[3]);
    } else {
        const F4 m = load4(taps) * __builtin_shufflevector(w, w, 0, 0, 1, 1) +
                     load4(taps + 4) * __builtin_shufflevector(w, w, 2, 2, 3, 3);
        const F2 lr = __builtin_shufflevector(m, m, 0, 1) + __builtin_shufflevector(m, m, 2, 3);
        out[0] = lr[0];
        out[1] = lr[1];
    }
}

template <int CH>
void convert(SampleData& s, Fixed step, std::uint64_t frames)
{
    const float* src = s.pcm.data();
    const auto length = std::int64_t(s.frames);
    std::vector<float> out(std::size_t(frames) * CH);
    float taps[4 * CH];
    for (std::uint64_t j = 0; j < frames; ++j) {
        const Fixed pos = Fixed(j) * step;
        gatherTaps<CH>(src, length, std::int64_t(pos >> kFracBits), false, taps);
        readFrame<CH>(taps, pos, &out[std::size_t(j) * CH]);
    }
    // Frames whose taps reach past an end: before the sound's first frame
    // (index 0) or beyond its last (index >= length - 2). All of them when
    // the two ranges meet.
    std::uint64_t head = 0;
    while (head < frames && (Fixed(head) * step) >> kFracBits == 0)
        ++head;
    std::uint64_t tail = 0;
    while (tail < frames - head && std::int64_t((Fixed(frames - 1 - tail) * step) >> kFracBits) >= length - 2)
        ++tail;
    s.loopHead = head;
    s.loopTail = tail;
    s.loopEdges.assign(std::size_t(head + tail) * CH, 0.0f);
    for (std::uint64_t k = 0; k < head + tail; ++k) {
        const std::uint64_t j = k < head ? k : frames - tail + (k - head);
        const Fixed pos = Fixed(j) * step;
        gatherTaps<CH>(src, length, std::int64_t(pos >> kFracBits), true, taps);
        readFrame<CH>(taps, pos, &s.loopEdges[std::size_t(k) * CH]);
    }
    s.pcm = std::move(out);
}

const StreamChunk* findChunk(const StreamState& s, std::uint64_t index)
{
    // Chunks of one stretch of the sound hold the same frames whichever lap
    // they were decoded for, so the first that holds the index will do.
    for (const StreamChunk& c : s.chunks) {
        if (index >= c.fileStart && index < c.fileStart + c.frames)
            return &c;
    }
    return nullptr;
}

} // namespace

void convertSampleRate(SampleData& s, int outputRate, std::uint64_t byteLimit)
{
    if (s.rate == outputRate || s.rate <= 0 || outputRate <= 0 || s.frames == 0 || s.frames > 0xFFFFFFFFull ||
        s.sourceStep != 0 ||
        (s.channels != 1 && s.channels != 2))
        return;
    // The step a voice at pitch 1 takes (Core::recomputeParams), and the
    // frames it plays before the end.
    const Fixed step = std::max<Fixed>(
        1, Fixed(std::ceil(double(s.rate) / double(outputRate) * double(1.0f) * double(kFixedOne))));
    const unsigned __int128 end = (unsigned __int128)s.frames << kFracBits;
    const unsigned __int128 frames = (end + step - 1) / step;
    if (frames > 0xFFFFFFFFull || frames * std::uint64_t(s.channels) * sizeof(float) > byteLimit)
        return;
    s.sourceRate = s.rate;
    s.sourceFrames = s.frames;
    s.sourceStep = step;
    if (s.channels == 1)
        convert<1>(s, step, std::uint64_t(frames));
    else
        convert<2>(s, step, std::uint64_t(frames));
    s.rate = outputRate;
    s.frames = std::uint64_t(frames);
}

void Core::setTargetGains(Voice& v, float left, float right)
{
    Gain& g = v.gain;
    if (v.fresh) {
        g = Gain{};
        g.l = g.targetL = left;
        g.r = g.targetR = right;
        return;
    }
    if (left == g.targetL && right == g.targetR && (g.rampLeft > 0 || (g.l == left && g.r == right)))
        return;
    g.targetL = left;
    g.targetR = right;
    g.stepL = (left - g.l) / float(m_rampFrames);
    g.stepR = (right - g.r) / float(m_rampFrames);
    g.rampLeft = m_rampFrames;
}

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
        const bool paused = v.paused || g.effPaused;
        if (paused && !v.effPaused && !v.fresh) {
            // Paused at once: the tail carries the sound out, and resuming
            // ramps in from silence.
            spawnTail(v);
            v.gain.l = v.gain.r = 0.0f;
            v.gain.rampLeft = 0;
        }
        v.effPaused = paused;
        v.effMuted = v.muted || g.effMuted;
        const float gain = v.effMuted ? 0.0f : v.volume * g.effVolume * m_masterVolume;
        float left;
        float right;
        if (v.channels == 1) {
            // Mono pan law: constant power, so a sound keeps its loudness as
            // it moves; the centre gives each side 1/sqrt(2), a hard pan
            // gives one side full gain.
            const double angle = (double(v.pan) + 1.0) * kQuarterPi;
            left = float(gain * std::cos(angle));
            right = float(gain * std::sin(angle));
            if (v.pan <= -1.0f)
                right = 0.0f;
            if (v.pan >= 1.0f)
                left = 0.0f;
        } else {
            // Stereo: balance, the far side fades out and the near side
            // keeps full gain.
            left = gain * (v.pan > 0.0f ? 1.0f - v.pan : 1.0f);
            right = gain * (v.pan < 0.0f ? 1.0f + v.pan : 1.0f);
        }
        setTargetGains(v, left, right);
        // Rounded up, so that a voice never falls behind the time played
        // (positions and ends land on the frame they should, not one late).
        const double step = double(v.rate) / double(m_outputRate) * double(g.effPitch) * double(kFixedOne);
        v.step = std::max<Fixed>(1, Fixed(std::ceil(step)));
        if (v.stream)
            v.stream->step = v.step;
    }
    m_paramsDirty = false;
    ++m_stats.gainUpdates;
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
    ++m_stats.mixCalls;
    m_stats.mixedFrames += frames;
    const bool anyVoice = std::any_of(m_voices.begin(), m_voices.end(),
                                      [](const Voice& v) { return v.active && !v.effPaused; });
    if (!anyVoice && m_tailLive == 0) {
        std::fill_n(out, samples, 0.0f);
        return;
    }
    if (m_acc.size() < samples)
        m_acc.resize(samples);
    double* acc = m_acc.data();
    std::fill_n(acc, samples, 0.0);
    for (Voice& v : m_voices) {
        if (!v.active || v.effPaused)
            continue;
        v.fresh = false;
        const Gain& g = v.gain;
        if (g.l == 0.0f && g.r == 0.0f && g.rampLeft == 0)
            advanceVoice(v, frames);
        else
            renderVoice(v, acc, frames);
        if (v.active && v.stream)
            checkStreamLevel(*v.stream);
    }
    if (m_tailLive > 0) {
        const std::uint32_t ring = m_rampFrames;
        const std::uint32_t n = std::min(frames, m_tailLive);
        for (std::uint32_t k = 0; k < n; ++k) {
            float* t = &m_tailRing[2 * std::size_t((m_tailAt + k) % ring)];
            acc[2 * k] += t[0];
            acc[2 * k + 1] += t[1];
            t[0] = t[1] = 0.0f;
        }
        m_tailAt = (m_tailAt + std::min(frames, ring)) % ring;
        m_tailLive -= n;
    }
    for (std::size_t i = 0; i < samples; ++i)
        out[i] = float(std::clamp(acc[i], -1.0, 1.0));
}

void Core::spawnTail(const Voice& v)
{
    if (m_tailRing.empty() || m_output == kOutputNoSoundNrt || v.fresh || v.effPaused)
        return;
    Gain g = v.gain;
    if (g.l == 0.0f && g.r == 0.0f && g.rampLeft == 0)
        return;
    // The fade ends with the sound if the sound ends first.
    std::uint32_t n = m_rampFrames;
    if (!v.loop) {
        const Fixed end = Fixed(v.length) << kFracBits;
        if (v.pos >= end)
            return;
        n = std::uint32_t(std::min<Fixed>(n, (end - v.pos + v.step - 1) / v.step));
    }
    g.targetL = g.targetR = 0.0f;
    g.stepL = -g.l / float(n);
    g.stepR = -g.r / float(n);
    g.rampLeft = n;
    double* scratch = m_tailScratch.data();
    std::fill_n(scratch, 2 * std::size_t(n), 0.0);
    Fixed pos = v.pos;
    bool ended = false;
    bool dry = false;
    const std::uint32_t got = mixSource(v, pos, scratch, n, g, false, &ended, &dry);
    const std::uint32_t ring = m_rampFrames;
    for (std::uint32_t k = 0; k < got; ++k) {
        float* t = &m_tailRing[2 * std::size_t((m_tailAt + k) % ring)];
        t[0] += float(scratch[2 * k]);
        t[1] += float(scratch[2 * k + 1]);
    }
    m_tailLive = std::max(m_tailLive, got);
}

void Core::cutVoice(Voice& v)
{
    spawnTail(v);
    endVoice(v);
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
        dropPassedChunks(*v.stream, v.pos >> kFracBits, v.loop);
}

void Core::dropPassedChunks(StreamState& s, std::uint64_t index, bool loop)
{
    // The chunk holding the frame before index stays: interpolation reads it.
    const bool hasPrev = index > 0 || (loop && s.length > 0);
    const std::uint64_t prev = index > 0 ? index - 1 : s.length - 1;
    while (!s.chunks.empty()) {
        StreamChunk& front = s.chunks.front();
        const std::uint64_t end = front.fileStart + front.frames;
        if (index >= front.fileStart && index < end)
            return;
        if (hasPrev && prev >= front.fileStart && prev < end)
            return;
        s.buffered -= front.frames;
        if (s.spare.size() < 8)
            s.spare.push_back(std::move(front.pcm));
        s.chunks.pop_front();
    }
}

void Core::sourceFrame(const Voice& v, std::int64_t index, float* frame)
{
    frame[0] = frame[1] = 0.0f;
    const std::int64_t length = std::int64_t(v.length);
    if (index < 0 || index >= length) {
        // Silence around a sound that plays once; a loop goes round.
        if (!v.loop || length == 0)
            return;
        index = ((index % length) + length) % length;
    }
    const float* p;
    if (v.sample) {
        const SampleData& s = *v.sample;
        p = s.pcm.data() + std::size_t(index) * std::size_t(v.channels);
        if (v.loop && std::uint64_t(index) < s.loopHead)
            p = s.loopEdges.data() + std::size_t(index) * std::size_t(v.channels);
        else if (v.loop && std::uint64_t(index) >= s.frames - s.loopTail)
            p = s.loopEdges.data() +
                std::size_t(s.loopHead + std::uint64_t(index) - (s.frames - s.loopTail)) * std::size_t(v.channels);
    } else {
        const StreamChunk* c = findChunk(*v.stream, std::uint64_t(index));
        if (!c)
            return;
        p = c->pcm.data() + (std::uint64_t(index) - c->fileStart) * std::uint64_t(v.channels);
    }
    frame[0] = p[0];
    frame[1] = v.channels == 2 ? p[1] : p[0];
}

void Core::mixEdgeFrame(const Voice& v, Fixed pos, double* acc, Gain& g)
{
    const std::int64_t index = std::int64_t(pos >> kFracBits);
    float taps[4][2];
    for (int j = 0; j < 4; ++j)
        sourceFrame(v, index - 1 + j, taps[j]);
    const F4 w = lagrange(float(std::uint32_t(pos)) * kFracScale);
    if (g.rampLeft > 0) {
        --g.rampLeft;
        g.l = g.targetL - g.stepL * float(g.rampLeft);
        g.r = g.targetR - g.stepR * float(g.rampLeft);
    }
    const float l = w[0] * taps[0][0] + w[1] * taps[1][0] + w[2] * taps[2][0] + w[3] * taps[3][0];
    const float r = w[0] * taps[0][1] + w[1] * taps[1][1] + w[2] * taps[2][1] + w[3] * taps[3][1];
    acc[0] += l * g.l;
    acc[1] += r * g.r;
    endRampIfDone(g);
}

std::uint32_t Core::mixSource(const Voice& v, Fixed& pos, double* acc, std::uint32_t frames, Gain& g, bool consume,
                              bool* ended, bool* dry)
{
    const Fixed end = Fixed(v.length) << kFracBits;
    std::uint32_t done = 0;
    while (done < frames) {
        if (pos >= end) {
            if (!v.loop) {
                *ended = true;
                return done;
            }
            pos %= end;
        }
        const std::uint64_t index = pos >> kFracBits;
        const float* base;
        std::uint64_t spanStart;
        std::uint64_t spanEnd;
        if (v.sample) {
            // A loop's frames near the ends are held apart: they take the
            // edge path.
            const SampleData& s = *v.sample;
            spanStart = v.loop ? s.loopHead : 0;
            spanEnd = v.loop ? v.length - s.loopTail : v.length;
            base = s.pcm.data() + std::size_t(spanStart) * std::size_t(v.channels);
        } else {
            StreamState& s = *v.stream;
            if (consume)
                dropPassedChunks(s, index, v.loop);
            const StreamChunk* c = findChunk(s, index);
            if (!c) {
                *dry = true;
                return done;
            }
            base = c->pcm.data();
            spanStart = c->fileStart;
            spanEnd = c->fileStart + c->frames;
        }

        // Positions whose four taps all lie in the span run straight from
        // its memory; the frames around its edges take the slow path.
        Fixed rel = pos - (Fixed(spanStart) << kFracBits);
        const std::uint64_t spanFrames = spanEnd - spanStart;
        if (spanFrames >= 4 && rel >= kFixedOne && rel < (Fixed(spanFrames - 2) << kFracBits)) {
            const Fixed limit = Fixed(spanFrames - 2) << kFracBits;
            const std::uint32_t n =
                std::uint32_t(std::min<std::uint64_t>((limit - rel + v.step - 1) / v.step, frames - done));
            double* at = acc + 2 * std::size_t(done);
            if (v.channels == 1)
                mixRunAny<1>(base, rel, v.step, at, n, g);
            else
                mixRunAny<2>(base, rel, v.step, at, n, g);
            pos = (Fixed(spanStart) << kFracBits) + rel;
            done += n;
            continue;
        }
        mixEdgeFrame(v, pos, acc + 2 * std::size_t(done), g);
        pos += v.step;
        ++done;
    }
    if (pos >= end) {
        if (!v.loop)
            *ended = true;
        else
            pos %= end;
    }
    return done;
}

void Core::renderVoice(Voice& v, double* acc, std::uint32_t frames)
{
    bool ended = false;
    bool dry = false;
    const std::uint32_t done = mixSource(v, v.pos, acc, frames, v.gain, true, &ended, &dry);
    if (ended) {
        endVoice(v);
    } else if (dry) {
        // Ran dry: silence for the rest of the buffer, time goes on.
        ++m_stats.streamUnderruns;
        advanceVoice(v, frames - done);
    }
}

} // namespace platform::snd::detail
