// "_profiles.dat": the first byte chooses the input's form: odd, the rest is
// the file as it is; even, the rest gets a valid CRC appended, so mutations
// reach the header and record checks.
#include <filesystem>
#include <string>
#include <vector>
#include <zlib.h>

#include "fuzz/fuzz_support.h"
#include "game/shell/profiles_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::vector<std::uint8_t> file(data + 1, data + size);
    if (!(data[0] & 1)) {
        const std::uint32_t crc = std::uint32_t(crc32(0, file.data(), uInt(file.size())));
        for (int i = 0; i < 4; ++i)
            file.push_back(std::uint8_t(crc >> (8 * i)));
    }
    const std::string folder = fuzz::tempDir() + "saves/";
    fuzz::writeTemp("saves/_profiles.dat", file.data(), file.size());
    ProfilesManager profiles(folder);
    profiles.Load();
    // Names that came through the checks must escape and come back intact.
    for (const std::string& name : profiles.GetNames()) {
        std::string back;
        if (!ProfilesManager::UnescapeName(ProfilesManager::EscapeName(name), back) || back != name)
            __builtin_trap();
    }
    // The story mark comes out as won, not won or left to the saves.
    for (std::size_t i = 0; i < profiles.GetCount(); ++i)
        if (profiles.GetProfile(i).storyWon > CurrentProfile::kStoryNotRecorded)
            __builtin_trap();
    // A damaged list is renamed to a free ".bad" name: none may pile up.
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return 0;
}
