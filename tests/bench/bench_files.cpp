// Whole-file reads of 500 small files three ways: by exact name from disk
// (the baseline), by names in the wrong letter case (the caseless fallback),
// and from a zip through the archive map. Prints both ratios to the
// baseline; exits 1 when the caseless reads take more than 3 times as long
// or the archive reads more than 5 times. "--smoke": 20 files, one round,
// no limit judged.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/util/a_file_server.h"
#include "support/test_env.h"
#include "support/zip_writer.h"
#include "bench_report.h"

namespace {

int g_files = 500;
int g_rounds = 15;
constexpr double kCaselessLimit = 3.0;
constexpr double kArchiveLimit = 5.0;

std::string content(int i)
{
    std::string s(200 + (i * 37) % 1800, '\0');
    unsigned x = unsigned(i) * 2654435761u;
    for (std::size_t k = 0; k < s.size(); ++k) {
        x = x * 1103515245u + 12345u;
        s[k] = char('a' + (x >> 16) % 20);
    }
    return s;
}

std::string number(int i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", i);
    return buf;
}

// Seconds for one pass over every name; false when any read is wrong.
bool pass(const std::vector<std::string>& names, const std::vector<std::string>& expected, double& seconds)
{
    bool ok = true;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::uint32_t size = 0;
        std::uint8_t* data = file_readFullAndMalloc(names[i], &size);
        ok = ok && data && size == expected[i].size() && expected[i].compare(0, size, (const char*)data, size) == 0;
        std::free(data);
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke) {
        g_files = 20;
        g_rounds = 1;
    }
    namespace fs = std::filesystem;
    aFileServer server;
    // A private folder below "temp:", where archive lookups are allowed.
    std::string pattern = server.manglePath("temp:") + "a2d-bench-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string root = buffer.data();

    std::vector<std::string> expected, exact, wrongCase, packed;
    std::vector<zip_writer::Entry> entries;
    for (int i = 0; i < g_files; ++i) {
        const std::string name = "Item" + number(i) + ".dat";
        expected.push_back(content(i));
        test_env::writeFile(root + "/Data/Set/" + name, expected.back());
        entries.push_back({name, expected.back(), true});
        exact.push_back(root + "/Data/Set/" + name);
        wrongCase.push_back(root + "/DATA/set/ITEM" + number(i) + ".DAT");
        packed.push_back(root + "/Packed/" + name);
    }
    if (!zip_writer::writeZip(root + "/Packed.zip", entries)) {
        std::fprintf(stderr, "cannot write the archive\n");
        return 2;
    }
    // Let the folder stamps age, so that listings are cached as they would
    // be in a game run.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    // Rounds alternate the three ways; each way keeps its best round.
    double best[3] = {1e9, 1e9, 1e9};
    bool ok = true;
    const std::vector<std::string>* sets[3] = {&exact, &wrongCase, &packed};
    for (int round = 0; round <= g_rounds; ++round) {
        for (int way = 0; way < 3; ++way) {
            double seconds = 0;
            ok = pass(*sets[way], expected, seconds) && ok;
            if (round > 0)  // the first round warms caches
                best[way] = std::min(best[way], seconds);
        }
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    if (!ok) {
        std::fprintf(stderr, "bench_files: a read gave wrong data\n");
        return 1;
    }

    const double caseless = best[1] / best[0];
    const double archive = best[2] / best[0];
    std::printf("bench_files: %d files; exact %.1f us/file, caseless %.1f us/file, archive %.1f us/file\n", g_files,
                best[0] * 1e6 / g_files, best[1] * 1e6 / g_files, best[2] * 1e6 / g_files);
    std::printf("caseless/exact ratio: %.2f (limit %.1f)\n", caseless, kCaselessLimit);
    std::printf("archive/exact ratio:  %.2f (limit %.1f)\n", archive, kArchiveLimit);
    if (smoke)
        return 0;
    const bool met = benchFigure("caseless / exact lookup", caseless, kCaselessLimit);
    if (!benchFigure("archive / exact lookup", archive, kArchiveLimit) || !met) {
        std::printf("bench_files: FAILED\n");
        return 1;
    }
    std::printf("bench_files: passed\n");
    return 0;
}
