// Compiles an input script into an ".input" recording, or prints a
// recording as text a frame a line (for finding where a replay went apart).
//
// Usage: compile_recording <script> <output.input>
//        compile_recording --until <line start> <script> <output.input>
//        compile_recording --dump <recording.input>
// --until compiles the lines before the first one that begins with the given
// text, and fails when none does.
// The script's commands are described in tools/recording/input_recording.h.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/recording/input_recording.h"

namespace {

bool readAll(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Through a temporary file, so a failed write leaves no half recording.
bool writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out.flush())
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

int usage()
{
    std::fprintf(stderr, "usage: compile_recording <script> <output.input>\n"
                         "       compile_recording --until <line start> <script> <output.input>\n"
                         "       compile_recording --dump <recording.input>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string marker;
    if (argc == 5 && std::string(argv[1]) == "--until") {
        marker = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc != 3)
        return usage();
    const std::string first = argv[1];
    const std::string second = argv[2];
    std::string text;
    std::string error;
    recording::Frames frames;
    if (first == "--dump") {
        if (!readAll(second, text)) {
            std::fprintf(stderr, "%s: cannot read\n", second.c_str());
            return 1;
        }
        const bool whole = recording::decode(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                             frames, error);
        std::fputs(recording::dump(frames).c_str(), stdout);
        if (!whole) {
            std::fprintf(stderr, "%s: %s\n", second.c_str(), error.c_str());
            return 1;
        }
        return 0;
    }
    if (!readAll(first, text)) {
        std::fprintf(stderr, "%s: cannot read\n", first.c_str());
        return 1;
    }
    if (!marker.empty() && !recording::cutBefore(text, marker)) {
        std::fprintf(stderr, "%s: no line begins with '%s'\n", first.c_str(), marker.c_str());
        return 1;
    }
    if (!recording::compile(text, first, frames, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!writeAll(second, recording::encode(frames))) {
        std::fprintf(stderr, "%s: cannot write\n", second.c_str());
        return 1;
    }
    return 0;
}
