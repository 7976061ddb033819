#pragma once
// A small zip writer for test fixtures: stored and deflated entries and
// folder entries (a name ending in '/', no data). No zip64, no comments.
#include <string>
#include <vector>

namespace zip_writer {

struct Entry {
    std::string name;
    std::string data;
    bool deflate = false;
    // Zero bytes in the local header's extra field, as archivers that write
    // time stamps there leave, and in the central record's.
    std::size_t localExtra = 0;
    std::size_t centralExtra = 0;
};

// Raw deflate (no zlib header), as zip stores an entry's data.
std::string deflateRaw(const std::string& data);
// The archive's bytes.
std::string buildZip(const std::vector<Entry>& entries);
// Writes the archive, creating missing folders on the way. False on a
// failed write.
bool writeZip(const std::string& path, const std::vector<Entry>& entries);

} // namespace zip_writer
