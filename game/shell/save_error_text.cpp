#include "game/shell/save_error_text.h"

#include <cerrno>

const char* SaveErrorTextId(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "save_error_full";
    case EROFS:
    case EACCES:
    case EPERM:
        return "save_error_read_only";
    case ENOENT:
    case ENOTDIR:
        return "save_error_no_folder";
    case EFBIG:
        return kSaveErrorTooLargeText;
    default:
        return "save_error_other";
    }
}
