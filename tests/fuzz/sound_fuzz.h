#pragma once
// The body shared by the sound fuzz targets: an input carrying the target's
// format is created as a sample and as a stream on a manual-output system,
// then played, paused, sought and mixed, so that the decoders, the folding
// of channels and the resampler all see it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/sound/sound_layer.h"

namespace fuzz {

inline platform::snd::System* soundSystem()
{
    namespace snd = platform::snd;
    static snd::System* system = [] {
        tempDir();
        // Decoded samples stay small, so that one input never takes long.
        snd::test_hooks::setMaxSampleBytes(32u << 20);
        snd::System* s = nullptr;
        if (snd::createSystem(&s) != snd::kOk || s->setOutput(snd::kOutputManual) != snd::kOk ||
            s->init(8, 0, nullptr) != snd::kOk)
            std::abort();
        return s;
    }();
    return system;
}

inline int fuzzSound(const std::uint8_t* data, std::size_t size, bool (*isFormat)(const std::uint8_t*, std::size_t))
{
    namespace snd = platform::snd;
    if (!isFormat(data, size) || size > 0xFFFFFFFFu)
        return 0;
    snd::System* system = soundSystem();
    // The layer reads the caller's memory; a copy of exactly the input lets
    // the sanitizer see any read past it.
    const std::vector<char> bytes(data, data + size);
    snd::CreateSoundExInfo info;
    info.cbsize = int(sizeof info);
    info.length = std::uint32_t(size);
    info.name = "fuzz";
    std::vector<float> out(2 * 2048);
    snd::Sound sample;
    if (system->createSound(bytes.data(), 0x4900, &info, &sample) == snd::kOk) {
        snd::Channel c;
        system->playSound(snd::kChannelFree, sample, false, &c);
        c.setPan(0.25f);
        system->mix(out.data(), 1024);
        c.setPaused(true);
        system->mix(out.data(), 512);
        sample.release();
    }
    snd::Sound stream;
    if (system->createStream(bytes.data(), 0x4880, &info, &stream) == snd::kOk) {
        std::uint32_t length = 0;
        stream.getLength(&length, snd::kTimeUnitPcm);
        snd::Channel c;
        system->playSound(snd::kChannelFree, stream, false, &c);
        c.setMode(snd::kModeLoopNormal);
        system->mix(out.data(), 2048);
        c.setPosition(length / 2, snd::kTimeUnitPcm);
        system->mix(out.data(), 2048);
        c.setPosition(length ? length - 1 : 0, snd::kTimeUnitPcm);
        system->mix(out.data(), 2048);
        stream.release();
    }
    system->mix(out.data(), 512);
    return 0;
}

} // namespace fuzz
