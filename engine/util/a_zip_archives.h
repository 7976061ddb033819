#pragma once
// The archive side of the file layer: a folder of the data tree may be an
// archive of the same name with the extension ".zip" or ".pak". Every
// archive opened stays open in one process-wide map (keyed by its path
// without the extension, ignoring case) until exit, and is read through its
// open descriptor: replacing the file leaves the open one readable, and an
// archive cut short or written over in place while open only fails reads.
// A folder inside an archive is known from its "name/" entry or from the
// paths of the entries in it.
//
// Paths given here are mangled and use '/' separators. The walk takes, for
// each '/' from the end, the prefix as an archive and the rest as the entry
// name (ignoring case); only prefixes strictly below the program folder, a
// special folder or the temporary folder are tried. Thread-safe: all archive
// work runs under the file-layer lock.
#include <cstddef>
#include <cstdint>
#include <string>

namespace file_layer {

enum class Packed {
    Missing,  // no archive holds the entry
    Found,
    Broken,   // an archive holds it but it cannot be read (logged)
};

// Looks the entry up without reading it; *size (when given) gets the size
// recorded in the archive.
bool packedStat(const std::string& path, std::uint32_t* size);

// Reads a whole entry into a malloc'ed buffer owned by the caller; an empty
// entry gives null and size 0.
Packed packedRead(const std::string& path, std::uint8_t** data, std::uint32_t* size);

// True when an archive stands for this folder (given without a trailing '/').
bool packedFolderArchive(const std::string& folder);

// True once a read found an open archive changed on disk since it was
// opened, or unreadable: what the game holds may no longer be read.
// Cleared by closeAllArchives. Any thread.
bool archiveLost();

// Closes every open archive; later lookups open them again. Runs at exit.
void closeAllArchives();
std::size_t openArchiveCount();

} // namespace file_layer
