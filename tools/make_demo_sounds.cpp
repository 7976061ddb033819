// Makes the demo game's sounds: a few effects, two music tracks and two
// ambient sounds, synthesised and written as small mono Ogg Vorbis files,
// plus the sound list, playlist and ambient files that name them.
//
// Usage: make_demo_sounds [GameData folder]   (default: data/GameData)
// The output is the same on every run, so the files can be committed.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <vorbis/vorbisenc.h>

#include "engine/util/a_random.h"

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Samples = std::vector<float>;

Samples silence(double seconds) { return Samples(std::size_t(seconds * kRate), 0.0f); }

// Adds a tone with an attack/decay envelope starting at `at` seconds.
void addNote(Samples& out, double at, double seconds, double frequency, double amplitude, double decay = 4.0,
             int harmonics = 3)
{
    const std::size_t start = std::size_t(at * kRate);
    const std::size_t count = std::size_t(seconds * kRate);
    const double attack = 0.01;
    for (std::size_t i = 0; i < count && start + i < out.size(); ++i) {
        const double t = double(i) / kRate;
        double env = t < attack ? t / attack : std::exp(-(t - attack) * decay);
        // A short release so that no note ends in a click.
        const double left = seconds - t;
        if (left < 0.02)
            env *= left / 0.02;
        double v = 0.0;
        for (int h = 1; h <= harmonics; ++h)
            v += std::sin(2.0 * kPi * frequency * h * t) / (h * h);
        out[start + i] += float(amplitude * env * v);
    }
}

double midi(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Keeps the peak at `level`.
void normalise(Samples& s, double level)
{
    double peak = 0.0;
    for (float v : s)
        peak = std::max(peak, double(std::fabs(v)));
    if (peak > 0.0)
        for (float& v : s)
            v = float(v * level / peak);
}

// Fades both ends over `seconds` (for sounds that loop).
void fadeEnds(Samples& s, double seconds)
{
    const std::size_t n = std::min(s.size() / 2, std::size_t(seconds * kRate));
    for (std::size_t i = 0; i < n; ++i) {
        const float g = float(i) / float(n);
        s[i] *= g;
        s[s.size() - 1 - i] *= g;
    }
}

// ------------------------------------------------------------------ sounds

Samples click()
{
    Samples s = silence(0.08);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        const double noise = (a_rand() / double(A_RAND_MAX)) * 2.0 - 1.0;
        s[i] = float((0.6 * std::sin(2.0 * kPi * 1800.0 * t) + 0.4 * noise) * std::exp(-t * 60.0));
    }
    normalise(s, 0.8);
    return s;
}

Samples beep()
{
    Samples s = silence(0.35);
    addNote(s, 0.0, 0.35, 880.0, 0.5, 6.0, 2);
    normalise(s, 0.7);
    return s;
}

Samples chime()
{
    Samples s = silence(1.2);
    const int notes[] = {72, 76, 79, 84};
    for (int i = 0; i < 4; ++i)
        addNote(s, i * 0.12, 1.2 - i * 0.12, midi(notes[i]), 0.4, 3.0);
    normalise(s, 0.8);
    return s;
}

// A puzzle solved: a rising figure that settles on a held chord.
Samples solveFanfare()
{
    Samples s = silence(1.6);
    const int notes[] = {67, 72, 76, 79};
    for (int i = 0; i < 4; ++i)
        addNote(s, i * 0.09, 0.5, midi(notes[i]), 0.35, 5.0);
    for (int note : {72, 76, 79, 84})
        addNote(s, 0.4, 1.2, midi(note), 0.25, 2.5);
    normalise(s, 0.8);
    return s;
}

// In-game dialogs: time ran out, a falling minor figure on a low close.
Samples levelFailed()
{
    Samples s = silence(1.4);
    const int notes[] = {67, 63, 60, 55};
    for (int i = 0; i < 4; ++i)
        addNote(s, i * 0.18, 0.6, midi(notes[i]), 0.35, 4.0);
    for (int note : {43, 50, 55})
        addNote(s, 0.72, 0.68, midi(note), 0.25, 3.0);
    normalise(s, 0.8);
    return s;
}

Samples sparkle()
{
    Samples s = silence(0.45);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        const double f = 600.0 + 2400.0 * t;  // rising sweep
        s[i] = float(std::sin(2.0 * kPi * f * t) * std::sin(kPi * t / 0.45));
    }
    normalise(s, 0.6);
    return s;
}

// The clock's low-time warning: a tick and a lower tock.
Samples tickTock()
{
    Samples s = silence(0.5);
    addNote(s, 0.0, 0.12, 1320.0, 0.6, 40.0, 2);
    addNote(s, 0.25, 0.12, 990.0, 0.6, 40.0, 2);
    normalise(s, 0.7);
    return s;
}

// A few bars of chords and a melody; `bars` of four beats at `bpm`.
Samples music(const std::vector<std::vector<int>>& chords, const std::vector<int>& melody, double bpm)
{
    const double beat = 60.0 / bpm;
    const double seconds = double(chords.size()) * 4.0 * beat;
    Samples s = silence(seconds);
    for (std::size_t bar = 0; bar < chords.size(); ++bar)
        for (int note : chords[bar])
            addNote(s, bar * 4.0 * beat, 4.0 * beat, midi(note), 0.18, 0.8, 2);
    for (std::size_t i = 0; i < melody.size(); ++i)
        if (melody[i] > 0)
            addNote(s, double(i) * beat, beat, midi(melody[i]), 0.3, 3.0);
    normalise(s, 0.7);
    return s;
}

// Wind: noise through a slowly swept one-pole low-pass filter.
Samples wind()
{
    Samples s = silence(3.0);
    double lp = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        const double cutoff = 0.02 + 0.015 * std::sin(2.0 * kPi * t / 3.0);
        const double noise = (a_rand() / double(A_RAND_MAX)) * 2.0 - 1.0;
        lp += cutoff * (noise - lp);
        s[i] = float(lp);
    }
    normalise(s, 0.6);
    fadeEnds(s, 0.05);
    return s;
}

Samples birds()
{
    Samples s = silence(1.1);
    const double starts[] = {0.0, 0.18, 0.5, 0.62};
    for (double at : starts) {
        const std::size_t first = std::size_t(at * kRate);
        const std::size_t count = std::size_t(0.1 * kRate);
        for (std::size_t i = 0; i < count && first + i < s.size(); ++i) {
            const double t = double(i) / kRate;
            const double f = 3200.0 + 1500.0 * std::sin(2.0 * kPi * 25.0 * t);
            s[first + i] += float(std::sin(2.0 * kPi * f * t) * std::sin(kPi * t / 0.1));
        }
    }
    normalise(s, 0.5);
    return s;
}

// ------------------------------------------------------------------ output

bool writeVorbis(const std::string& path, const Samples& samples, float quality)
{
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 1, kRate, quality) != 0) {
        std::fprintf(stderr, "make_demo_sounds: encoder refused quality %.2f\n", double(quality));
        vorbis_info_clear(&info);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "make_demo_sounds");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x5EED);  // fixed serial: the same bytes every run

    std::string bytes;
    ogg_page page;
    ogg_packet packet;
    const auto takePage = [&] {
        bytes.append(reinterpret_cast<const char*>(page.header), std::size_t(page.header_len));
        bytes.append(reinterpret_cast<const char*>(page.body), std::size_t(page.body_len));
    };

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page) != 0)
        takePage();

    const std::size_t chunk = 1024;
    for (std::size_t at = 0;; at += chunk) {
        const std::size_t n = at < samples.size() ? std::min(chunk, samples.size() - at) : 0;
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            for (std::size_t i = 0; i < n; ++i)
                buffer[0][i] = samples[at + i];
        }
        vorbis_analysis_wrote(&dsp, int(n));
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                    takePage();
            }
        }
        if (n == 0)
            break;
    }
    while (ogg_stream_flush(&stream, &page) != 0)
        takePage();

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);

    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
        return false;
    if (!ok)
        std::fprintf(stderr, "make_demo_sounds: cannot write %s\n", path.c_str());
    else
        std::printf("%s: %zu bytes, %.2f s\n", path.c_str(), bytes.size(), double(samples.size()) / kRate);
    return ok;
}

bool writeText(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        std::fprintf(stderr, "make_demo_sounds: cannot write %s\n", path.c_str());
    return ok;
}

// ------------------------------------------------- banner and hint balloon
// The case-solved jingle (its whole seconds time the banner) and the hint
// balloon's soft pop; their list lines are appended to the sound list.

Samples caseSolvedJingle()
{
    Samples s = silence(4.0);
    const int notes[] = {60, 64, 67, 72, 67, 72, 76};
    for (int i = 0; i < 7; ++i)
        addNote(s, i * 0.16, 0.6, midi(notes[i]), 0.35, 4.0);
    for (int note : {48, 60, 64, 67, 72, 79})
        addNote(s, 1.2, 2.8, midi(note), 0.22, 1.2);
    normalise(s, 0.8);
    return s;
}

Samples hintPop()
{
    Samples s = silence(0.3);
    addNote(s, 0.0, 0.3, midi(84), 0.5, 14.0, 2);
    addNote(s, 0.05, 0.25, midi(91), 0.3, 16.0, 2);
    normalise(s, 0.5);
    return s;
}

bool appendText(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "ab");
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f)
        ok &= std::fclose(f) == 0;
    if (!ok)
        std::fprintf(stderr, "make_demo_sounds: cannot append to %s\n", path.c_str());
    return ok;
}

bool writeBannerSounds(const std::string& sounds)
{
    bool ok = writeVorbis(sounds + "investigation_completed.ogg", caseSolvedJingle(), 0.1f);
    ok &= writeVorbis(sounds + "show_hint.ogg", hintPop(), 0.1f);
    return ok && appendText(sounds + "_sounds.list", "investigation_completed.ogg \nshow_hint.ogg \n");
}

bool makeFolder(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    return ::mkdir(path.c_str(), 0755) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string root = std::string(argc > 1 ? argv[1] : "data/GameData") + "/";
    const std::string sounds = root + "Sounds/", musicDir = root + "Music/", ambients = root + "Ambients/";
    for (const std::string& folder : {root, sounds, musicDir, ambients})
        if (!makeFolder(folder)) {
            std::fprintf(stderr, "make_demo_sounds: cannot make %s\n", folder.c_str());
            return 1;
        }

    a_srand(20240607);
    bool ok = true;
    ok &= writeVorbis(sounds + "multiclick.ogg", click(), 0.1f);
    ok &= writeVorbis(sounds + "test_volume.ogg", beep(), 0.1f);
    ok &= writeVorbis(sounds + "location_completed.ogg", chime(), 0.1f);
    ok &= writeVorbis(sounds + "extra_hint.ogg", sparkle(), 0.1f);
    ok &= writeVorbis(sounds + "low_time.ogg", tickTock(), 0.1f);

    // I-vi-IV-V in C, and a slower minor progression.
    ok &= writeVorbis(musicDir + "main_theme.ogg",
                      music({{48, 55, 64}, {45, 52, 60}, {41, 48, 57}, {43, 50, 59}},
                            {72, 76, 79, 76, 72, 69, 72, 76, 77, 76, 72, 69, 71, 74, 79, 0}, 120.0),
                      -0.1f);
    ok &= writeVorbis(musicDir + "investigation.ogg",
                      music({{45, 52, 60}, {41, 48, 57}, {43, 50, 59}, {40, 47, 56}},
                            {69, 0, 72, 71, 69, 0, 65, 67, 71, 0, 74, 72, 68, 0, 71, 0}, 100.0),
                      -0.1f);

    ok &= writeVorbis(ambients + "wind.ogg", wind(), -0.1f);
    ok &= writeVorbis(ambients + "birds.ogg", birds(), 0.0f);
    ok &= writeVorbis(sounds + "solve.ogg", solveFanfare(), 0.1f);

    // The tip manager: "show_tip", a soft rising two-note bell as a balloon opens.
    {
        Samples bell = silence(0.5);
        addNote(bell, 0.0, 0.5, midi(79), 0.35, 7.0, 2);
        addNote(bell, 0.09, 0.41, midi(84), 0.35, 7.0, 2);
        normalise(bell, 0.6);
        ok &= writeVorbis(sounds + "show_tip.ogg", bell, 0.1f);
    }

    // Sound-list lines end in options or a blank: the loader needs the blank.
    ok &= writeText(sounds + "_sounds.list",
                    "multiclick.ogg \n"
                    "test_volume.ogg \n"
                    "location_completed.ogg { Volume=0.8, Priority=64, SoundGroup=jingles }\n"
                    "extra_hint.ogg \n"
                    "low_time.ogg \n"

                    "solve.ogg \n"
                    // the tip manager
                    "show_tip.ogg \n");
    ok &= writeBannerSounds(sounds);
    // In-game dialogs: the out-of-time sound.
    ok &= writeVorbis(sounds + "level_failed.ogg", levelFailed(), 0.1f);
    ok &= appendText(sounds + "_sounds.list", "level_failed.ogg \n");
    ok &= writeText(musicDir + "playlist.txt", "main_theme.ogg\ninvestigation.ogg\n");
    ok &= writeText(ambients + "_sounds.list",
                    "wind.ogg { StreamPlay=1 }\n"
                    "birds.ogg \n");
    ok &= writeText(sounds + "main_menu_ambient.ini",
                    "; The main menu's ambience: a looped wind that comes and goes, and\n"
                    "; birds now and then.\n"
                    "[wind]\n"
                    "loop = 1\n"
                    "volume = 0.6/1.0\n"
                    "pan = -0.3/0.3\n"
                    "delay = 0.0\n"
                    "playtime = 8.0/14.0\n"
                    "fade = 2.0\n"
                    "pause = 1.0/3.0\n"
                    "\n"
                    "[birds]\n"
                    "loop = 0\n"
                    "volume = 0.4/0.8\n"
                    "pan = -0.8/-0.4, 0.4/0.8\n"
                    "delay = 1.0/4.0\n"
                    "pause = 3.0/9.0\n");

    // ---- Demo investigation: the study's back sound, the comics' music and
    // the garden's ambience (its own list and ambient file in its location).
    // Its own seed keeps these bytes apart from the blocks before it; its
    // names are appended to the lists written above.
    {
        a_srand(20261207);
        const auto append = [&](const std::string& path, const char* lines) {
            std::FILE* f = std::fopen(path.c_str(), "ab");
            const bool done = f && std::fputs(lines, f) >= 0;
            if (f)
                std::fclose(f);
            if (!done)
                std::fprintf(stderr, "make_demo_sounds: cannot append to %s\n", path.c_str());
            return done;
        };
        // A latch: a low knock, then the click of the tongue.
        Samples door = silence(0.35);
        addNote(door, 0.0, 0.25, 90.0, 0.8, 18.0, 4);
        Samples latch = click();
        for (std::size_t i = 0; i < latch.size() && i + std::size_t(0.12 * kRate) < door.size(); ++i)
            door[i + std::size_t(0.12 * kRate)] += latch[i];
        normalise(door, 0.8);
        ok &= writeVorbis(sounds + "door_close.ogg", door, 0.1f);
        // A light waltz-time loop in D for the comics pages.
        ok &= writeVorbis(musicDir + "comics_theme.ogg",
                          music({{50, 57, 66}, {47, 54, 62}, {43, 50, 59}, {45, 52, 61}},
                                {74, 78, 81, 0, 79, 78, 76, 74, 71, 74, 79, 0, 76, 73, 69, 0}, 132.0),
                          -0.1f);
        ok &= append(sounds + "_sounds.list", "door_close.ogg \n");
        ok &= append(musicDir + "playlist.txt", "comics_theme.ogg\n");
        const std::string garden = root + "_Locations/Rooms/Garden/";
        for (const std::string& folder : {root + "_Locations/", root + "_Locations/Rooms/", garden})
            ok &= makeFolder(folder);
        ok &= writeVorbis(garden + "garden_breeze.ogg", wind(), -0.1f);
        ok &= writeVorbis(garden + "garden_birds.ogg", birds(), 0.0f);
        ok &= writeText(garden + "_sounds.list", "garden_breeze.ogg { StreamPlay=1 }\n"
                                                 "garden_birds.ogg \n");
        ok &= writeText(garden + "ambient.ini",
                        "; The garden's ambience: a breeze in the oak, and birds now and then.\n"
                        "[garden_breeze]\n"
                        "loop = 1\n"
                        "volume = 0.4/0.7\n"
                        "pan = -0.2/0.2\n"
                        "delay = 0.0\n"
                        "playtime = 10.0/16.0\n"
                        "fade = 2.0\n"
                        "pause = 0.5/2.0\n"
                        "\n"
                        "[garden_birds]\n"
                        "loop = 0\n"
                        "volume = 0.5/0.9\n"
                        "pan = -0.9/-0.3, 0.3/0.9\n"
                        "delay = 0.5/2.0\n"
                        "pause = 2.0/6.0\n");
    }

    // ---- Polish: "reward_appear", as a ribbon appears in the main menu: a
    // bright rising arpeggio over a held fifth. Its own seed keeps the bytes
    // above as they were.
    {
        a_srand(20261208);
        Samples reward = silence(1.2);
        const int notes[] = {72, 76, 79, 84};
        for (int i = 0; i < 4; ++i)
            addNote(reward, i * 0.08, 1.1 - i * 0.08, midi(notes[i]), 0.35, 4.5, 2);
        addNote(reward, 0.0, 1.2, midi(60), 0.2, 2.0);
        addNote(reward, 0.0, 1.2, midi(67), 0.15, 2.0);
        normalise(reward, 0.7);
        ok &= writeVorbis(sounds + "reward_appear.ogg", reward, 0.1f);
        ok &= appendText(sounds + "_sounds.list", "reward_appear.ogg \n");
    }
    return ok ? 0 : 1;
}
