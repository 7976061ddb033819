#pragma once
// Players that read their file through a library need a real file on disk.
#include <string>

// The path of the file on disk (assigns applied, '\' and letter case
// resolved), or a temporary copy of it out of its archive; "" when there is
// neither. Only regular files count as on disk.
std::string media_diskPath(const std::string& path);
