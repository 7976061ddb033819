#pragma once
// Disk lookups for file names that come from Windows data: '\' is a
// separator, and a name that misses is looked up again ignoring letter case,
// folder by folder. Folder listings are cached; a listing is dropped when the
// file layer writes into its folder, and re-read when the folder's
// modification time says someone else did.
//
// Everything here may be called from any thread; the listing cache is
// guarded by the file-layer lock.
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace file_layer {

// The one lock of the file layer: listing cache, archive map, open archives.
std::recursive_mutex& lock();

// '\' becomes '/'.
std::string normalizeSeparators(std::string path);

// Case folding for name comparison: ASCII, and the Latin-1 and Cyrillic
// capitals written as two-byte UTF-8.
std::string foldCase(const std::string& name);

// The real path of an existing file or folder: the path itself when it
// exists as written, else the match found ignoring case folder by folder.
// A trailing '/' asks for a folder. st (when given) receives the target's
// stat. False when nothing matches (errno ENOENT, or ENOTDIR where a file
// stands for a folder), or with the error of a name that matched and cannot
// be followed: EACCES for a folder that may not be searched, ELOOP,
// ENAMETOOLONG for links. A folder that cannot be listed matches no other
// spelling.
bool resolve(const std::string& path, std::string& real, struct stat* st = nullptr);

// As resolve, for a caller whose own attempt with the exact path has just
// failed with ENOENT or ENOTDIR. The target itself is not stat'ed (the
// caller opens it next), so st is not filled.
bool resolveCaseless(const std::string& path, std::string& real);

// Where an entry of this path lives or would be created: the path resolved
// when it exists, else its folder resolved plus the last name as written.
// False when the folder does not exist.
bool resolveForWrite(const std::string& path, std::string& real);

// Forgets the cached listing of a folder (a real path, with or without a
// trailing '/'); the file layer calls this after writing into it.
void forgetFolder(const std::string& folder);
// Forgets the listing of the folder that holds this real path.
void forgetParentOf(const std::string& path);
// Forgets every listing.
void forgetAllFolders();

// The folder part of a '/' path with its trailing '/' ("" when none).
std::string parentOf(const std::string& path);

} // namespace file_layer
