#include "engine/gfx/a_media_path.h"

#include <sys/stat.h>

#include "engine/util/a_file_lookup.h"
#include "engine/util/a_file_server.h"

std::string media_diskPath(const std::string& path)
{
    std::string real;
    struct stat st;
    if (!path.empty() && file_layer::resolve(file_manglePath(path), real, &st) && S_ISREG(st.st_mode))
        return real;
    if (!g_fileServer || !file_isExistOrPacked(path))
        return std::string();
    return g_fileServer->extractToTemp(path);
}
