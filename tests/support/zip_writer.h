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
};

// The archive's bytes.
std::string buildZip(const std::vector<Entry>& entries);
// Writes the archive, creating missing folders on the way. False on a
// failed write.
bool writeZip(const std::string& path, const std::vector<Entry>& entries);

} // namespace zip_writer
