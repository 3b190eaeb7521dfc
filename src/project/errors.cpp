#include "project/errors.h"

#include <cerrno>

namespace torvana {

std::string errnoText(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return "File not found";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return "File access denied";
    case ENOSPC:
    case EFBIG:  // past the process's file size limit: the file cannot grow, as on a full disk
#ifdef EDQUOT
    case EDQUOT:
#endif
        return "Disk full";
    default:
        return "I/O error " + std::to_string(err);
    }
}

void throwErrno(int err) { throw Error(errnoText(err)); }

}  // namespace torvana
