#pragma once
// Shared set-up for fuzz targets: a private temporary folder that HOME,
// XDG_DATA_HOME and TMPDIR point into, and the process log sent to /dev/null
// so that its formatting runs too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace GUI {
class Server;
}
namespace platform {
class Recorder;
}

namespace fuzz {

// Made on first use, removed at exit; ends in '/'.
const std::string& tempDir();
// Writes the bytes to tempDir() + name (folders made as needed) and returns the path.
std::string writeTemp(const std::string& name, const std::uint8_t* data, std::size_t size);
std::string writeTemp(const std::string& name, const std::string& bytes);
// Splits an input at every occurrence of the separator (for targets that need
// several files: the first part is the main file, the rest are named after it).
// Inline, so that tests which load the seeds split them as the targets do.
inline std::vector<std::string> splitParts(const std::uint8_t* data, std::size_t size, const std::string& separator)
{
    const std::string all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = separator.empty() ? std::string::npos : all.find(separator, start);
        if (at == std::string::npos) {
            parts.push_back(all.substr(start));
            return parts;
        }
        parts.push_back(all.substr(start, at - start));
        start = at + separator.size();
    }
}

// An application object (not initialised: no log file, no window) with a
// graphics server on the recording device double, so images load without
// GL. Made on first use and kept; the device's largest texture is 1024.
// Each call empties the recorder, so call it once per input.
platform::Recorder& recordingGraphics();

// A GUI server over the one script, written to tempDir() + name and loaded
// on the first call; later calls return the same server.
GUI::Server& scriptedGui(const std::string& name, const std::string& script);

} // namespace fuzz
