#include "platform/fs/FileErrors.h"

#include <cerrno>

namespace files {

long errorNumberOf(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case ELOOP:  // a link refused at a report's name
        return kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return kDiskFull;
    case EFBIG:
    case EIO:
    case EROFS:  // not a missing permission: the reason says read-only
    case EMLINK:
        return kNotWritten;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return kBadSyntax;
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case EEXIST:
        return kBadFileName;
    default:
        return -1;
    }
}

std::string fileErrorText(long number, const std::string& permissionText, const std::string& reason) {
    std::string text;
    switch (number) {
    case kPermissionDenied: text = permissionText; break;
    case kBadSyntax: text = "The filename, directory name, or volume label syntax is not supported."; break;
    case kBadFileName: text = "Please give a valid file name and try again."; break;
    case kDiskFull: text = "There is not enough space on the disk."; break;
    case kNotWritten: text = "The file could not be written."; break;
    default: return {};
    }
    if (!reason.empty()) text += "\n\n" + reason;
    return text;
}

}  // namespace files
