#include "game/shell/save_error_text.h"

#include <cerrno>

#include "engine/util/a_file_server.h"
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
    case kErrorLinkFolderRefused:
        return "save_error_link_read_only";
    case kErrorLinkFolderMissing:
        return "save_error_link_no_folder";
    case ELOOP:
    case ENAMETOOLONG:
        return LoadErrorTextId(error);
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
    case ELOOP:
        return "save_error_link_loop";
    case ENAMETOOLONG:
        return "save_error_link_too_long";
    default:
        return "save_error_other";
    }
}

int WriteErrorOf(const std::string& path, int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return file_isLinkedElsewhere(path) ? kErrorLinkFolderRefused : error;
    case ENOENT:
    case ENOTDIR:
        return file_isLinkedElsewhere(path) ? kErrorLinkFolderMissing : error;
    default:
        return error;
    }
}
