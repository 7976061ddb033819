#pragma once
// Shared set-up for the sound tests: the log goes to a file of the test, the
// engine starts on the manual output (the test mixes and reads the result
// back) and audio is shut down after each test.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/sound/a_sound.h"
#include "engine/util/a_log.h"
#include "support/audio_fixtures.h"
#include "support/test_env.h"

namespace sound_test {

namespace snd = platform::snd;

constexpr int kRate = 48000;

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_logPath = test_env::home() + "/sound.log";
        a_closeLog();
        g_logFile = std::fopen(m_logPath.c_str(), "w");
        ASSERT_NE(g_logFile, nullptr);
        snd::test_hooks::reset();
        snd::test_hooks::setDefaultOutput(snd::kOutputManual);
        aSound::shutdownAudio();
    }

    void TearDown() override
    {
        aSound::shutdownAudio();
        snd::test_hooks::reset();
        a_closeLog();
    }

    std::string log() const
    {
        std::fflush(g_logFile);
        return test_env::readFile(m_logPath);
    }
    std::size_t logCount(const std::string& text) const
    {
        const std::string all = log();
        std::size_t n = 0;
        for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
            ++n;
        return n;
    }
    bool logHas(const std::string& text) const { return logCount(text) > 0; }

    snd::System* system() { return aSound::globalEngine().GetSystem(); }

    // A stereo float WAV under the test's HOME holding a constant left and
    // right value; returns its path.
    std::string writeWav(const std::string& name, float left, float right, double seconds)
    {
        std::vector<float> s(std::size_t(seconds * kRate) * 2);
        for (std::size_t i = 0; i < s.size(); i += 2) {
            s[i] = left;
            s[i + 1] = right;
        }
        const std::string path = test_env::home() + "/" + name;
        test_env::writeFile(path, audio_fixtures::makeWav(s, 2, kRate, audio_fixtures::WavFormat::F32));
        return path;
    }

    std::vector<float> mix(std::size_t frames)
    {
        std::vector<float> out(frames * 2);
        if (system()) {
            EXPECT_EQ(system()->mix(out.data(), std::uint32_t(frames)), snd::kOk);
        }
        return out;
    }
    // Left and right of the last frame of a short mix, longer than the 5 ms
    // over which the mixer ramps changes of volume.
    std::pair<float, float> level()
    {
        const std::vector<float> out = mix(256);
        return {out[out.size() - 2], out[out.size() - 1]};
    }

    std::string m_logPath;
};

// Polls (calling the engine's per-frame update) until done or the time is up.
bool waitFor(const std::function<bool()>& done, int ms);

} // namespace sound_test
