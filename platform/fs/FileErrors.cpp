#include "platform/fs/FileErrors.h"

#include <cerrno>

namespace files {

long errorNumberOf(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return kPermissionDenied;
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

std::string fileErrorText(long number, const std::string& permissionText) {
    switch (number) {
    case kPermissionDenied: return permissionText;
    case kBadSyntax: return "The filename, directory name, or volume label syntax is not supported.";
    case kBadFileName: return "Please give a valid file name and try again.";
    default: return {};
    }
}

}  // namespace files
