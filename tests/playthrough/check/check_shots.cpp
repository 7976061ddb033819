// Test program: checks a replay's screenshots at probe points. The probe
// file holds one point a line, "<shot> <x> <y> <RRGGBB>", with "#" comments;
// shots count from 1 in the order they were taken, x and y are screen pixels
// from the top left. Every probe off by more than 8 in a channel is listed
// before the program fails. Given a count, only the probes of the shots up
// to it are checked (a replay of the start of a road).
//
// Usage: check_shots <probe file> <screenshot folder> [<shots>]
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kTolerance = 8;

struct Shot {
    std::vector<std::uint8_t> bytes;
    bool ok = false;
};

// A bottom-up 24-bit bitmap of the screen's size, as the game saves them.
Shot readShot(const std::string& path)
{
    Shot shot;
    std::ifstream in(path, std::ios::binary);
    shot.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto& b = shot.bytes;
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
               std::uint32_t(b[at + 3]) << 24;
    };
    shot.ok = b.size() == 54 + std::size_t(kWidth) * kHeight * 3 && b[0] == 'B' && b[1] == 'M' && u32(10) == 54 &&
              u32(18) == std::uint32_t(kWidth) && u32(22) == std::uint32_t(kHeight) && b[28] == 24;
    return shot;
}

int channelOff(int a, int b) { return a > b ? a - b : b - a; }

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: check_shots <probe file> <screenshot folder> [<shots>]\n");
        return 2;
    }
    const int lastShot = argc == 4 ? std::atoi(argv[3]) : INT_MAX;
    std::ifstream probes(argv[1]);
    if (!probes) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    const std::string folder = argv[2];
    std::map<int, Shot> shots;
    int failed = 0, checked = 0, lineNo = 0;
    std::string line;
    while (std::getline(probes, line)) {
        ++lineNo;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        int index = 0, x = 0, y = 0;
        std::string hex, extra;
        if (!(words >> index) || index > lastShot)
            continue;
        unsigned rgb = 0;
        if (!(words >> x >> y >> hex) || (words >> extra) || hex.size() != 6 ||
            std::sscanf(hex.c_str(), "%6x", &rgb) != 1 || index < 1 || x < 0 || y < 0 || x >= kWidth ||
            y >= kHeight) {
            std::printf("%s:%d: not a probe\n", argv[1], lineNo);
            ++failed;
            continue;
        }
        auto found = shots.find(index);
        if (found == shots.end()) {
            char name[32];
            std::snprintf(name, sizeof name, "/ScreenShot%03d.bmp", index - 1);
            found = shots.emplace(index, readShot(folder + name)).first;
            if (!found->second.ok)
                std::printf("screenshot %d (%s) is missing or not a 24-bit %dx%d bitmap\n", index,
                            (folder + name).c_str(), kWidth, kHeight);
        }
        if (!found->second.ok) {
            ++failed;
            continue;
        }
        const std::uint8_t* p = found->second.bytes.data() + 54 + (std::size_t(kHeight - 1 - y) * kWidth + x) * 3;
        const int r = p[2], g = p[1], b = p[0];
        const int er = int(rgb >> 16), eg = int((rgb >> 8) & 0xFF), eb = int(rgb & 0xFF);
        ++checked;
        if (channelOff(r, er) > kTolerance || channelOff(g, eg) > kTolerance || channelOff(b, eb) > kTolerance) {
            std::printf("%s:%d: shot %d at (%d, %d) is %02X%02X%02X, not %s\n", argv[1], lineNo, index, x, y, r, g,
                        b, hex.c_str());
            ++failed;
        }
    }
    std::printf("%d probes checked, %d failed\n", checked, failed);
    return failed == 0 && checked > 0 ? 0 : 1;
}
