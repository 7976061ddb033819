#include "game/shell/save_error_text.h"

#include <cerrno>

#include "game/shell/save_load_system.h"

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
    case SaveLoadSystem::kLeftUnread:
        return kSaveErrorLeftUnreadText;
    case SaveLoadSystem::kNotSetAside:
        return kSaveErrorNotSetAsideText;
    default:
        return "save_error_other";
    }
}

const char* LoadErrorTextId(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return "load_error_denied";
    case EISDIR:
    case EINVAL:
        return "load_error_not_a_file";
    default:
        return "save_error_other";
    }
}
