// Whole-file reads of 500 small files three ways: by exact name from disk
// (the baseline), by names in the wrong letter case (the caseless fallback),
// and from a zip through the archive map; and, as a fourth way, zlib alone
// inflating the same entries from memory. All take turns of equal length
// (a figure is the median of the turns' ratios). Exits 1 when the caseless
// reads take more than 3 times as long as the exact ones, or the archive
// reads more than 1.5 times an exact read and zlib's inflating together:
// how long zlib takes against a read from the page cache differs several
// times between machines, and it is none of ours (archive / exact is
// printed too). "--smoke": 20 files, one pass each, no limit judged.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <zlib.h>

#include "engine/util/a_file_server.h"
#include "support/test_env.h"
#include "support/zip_writer.h"
#include "bench_report.h"

namespace {

int g_files = 500;
int g_turns = 15;
double g_turn = 0.1;  // seconds per way and turn
constexpr double kCaselessLimit = 3.0;
constexpr double kArchiveLimit = 1.5;

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

// One pass over every name; false when any read is wrong.
bool pass(const std::vector<std::string>& names, const std::vector<std::string>& expected)
{
    bool ok = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::uint32_t size = 0;
        std::uint8_t* data = file_readFullAndMalloc(names[i], &size);
        ok = ok && data && size == expected[i].size() && expected[i].compare(0, size, (const char*)data, size) == 0;
        std::free(data);
    }
    return ok;
}

// What the archive way cannot do without: inflating each entry's raw
// deflate data and checking its CRC, from memory, one stream reset between
// entries.
bool inflatePass(const std::vector<std::string>& packed, const std::vector<std::string>& expected)
{
    static z_stream zs{};
    static bool ready = inflateInit2(&zs, -MAX_WBITS) == Z_OK;
    bool ok = ready;
    for (std::size_t i = 0; ok && i < packed.size(); ++i) {
        inflateReset(&zs);
        const std::string& want = expected[i];
        auto* out = static_cast<Bytef*>(std::malloc(want.size() + 1));
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed[i].data()));
        zs.avail_in = uInt(packed[i].size());
        zs.next_out = out;
        zs.avail_out = uInt(want.size() + 1);
        ok = out && inflate(&zs, Z_FINISH) == Z_STREAM_END && zs.total_out == want.size() &&
             crc32_z(0, out, want.size()) == crc32_z(0, reinterpret_cast<const Bytef*>(want.data()), want.size()) &&
             want.compare(0, want.size(), reinterpret_cast<const char*>(out), want.size()) == 0;
        std::free(out);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke) {
        g_files = 20;
        g_turns = 1;
        g_turn = 0.0;
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

    std::vector<std::string> expected, exact, wrongCase, packed, deflated;
    std::vector<zip_writer::Entry> entries;
    for (int i = 0; i < g_files; ++i) {
        const std::string name = "Item" + number(i) + ".dat";
        expected.push_back(content(i));
        test_env::writeFile(root + "/Data/Set/" + name, expected.back());
        entries.push_back({name, expected.back(), true});
        deflated.push_back(zip_writer::deflateRaw(expected.back()));
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

    // The three ways take turns of equal length (thread CPU time: the reads
    // are of cached files); the first turn warms the caches.
    bool ok = true;
    const std::vector<std::string>* sets[3] = {&exact, &wrongCase, &packed};
    std::vector<std::function<void()>> ways;
    for (int way = 0; way < 3; ++way)
        ways.push_back([&, way] { ok = pass(*sets[way], expected) && ok; });
    ways.push_back([&] { ok = inflatePass(deflated, expected) && ok; });
    benchTurns(1, 0.0, CLOCK_THREAD_CPUTIME_ID, ways);
    const BenchTurns turns = benchTurns(g_turns, g_turn, CLOCK_THREAD_CPUTIME_ID, ways);
    const double perPass[4] = {turns.median(0), turns.median(1), turns.median(2), turns.median(3)};
    std::error_code ec;
    fs::remove_all(root, ec);
    if (!ok) {
        std::fprintf(stderr, "bench_files: a read gave wrong data\n");
        return 1;
    }

    const double caseless = turns.ratio(1, 0);
    const double archiveToExact = turns.ratio(2, 0);
    const double archive = turns.combinedRatio(2, {0, 3});
    std::printf("bench_files: %d files; exact %.1f us/file, caseless %.1f us/file, archive %.1f us/file, "
                "zlib inflating alone %.1f us/file\n",
                g_files, perPass[0] * 1e6 / g_files, perPass[1] * 1e6 / g_files, perPass[2] * 1e6 / g_files,
                perPass[3] * 1e6 / g_files);
    std::printf("caseless/exact ratio: %.2f (limit %.1f)\n", caseless, kCaselessLimit);
    std::printf("archive/exact ratio:  %.2f (of which zlib alone %.2f)\n", archiveToExact, turns.ratio(3, 0));
    std::printf("archive/(exact + zlib alone) ratio: %.2f (limit %.1f)\n", archive, kArchiveLimit);
    if (smoke)
        return 0;
    const bool met = benchFigure("caseless / exact lookup", caseless, kCaselessLimit);
    if (!benchFigure("archive / (exact + zlib inflate)", archive, kArchiveLimit) || !met) {
        std::printf("bench_files: FAILED\n");
        return 1;
    }
    std::printf("bench_files: passed\n");
    return 0;
}
