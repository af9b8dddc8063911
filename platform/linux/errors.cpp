#include "platform/linux/errors.h"

#include <cerrno>

#include "platform/api/kernel.h"

namespace {
thread_local DWORD t_lastError = NO_ERROR;
}

DWORD WINAPI GetLastError(void)
{
    return t_lastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    t_lastError = dwErrCode;
}

namespace platform {

DWORD ErrorFromErrno(int err)
{
    switch (err) {
    case 0: return NO_ERROR;
    case ENOENT:
    case ENXIO: return ERROR_FILE_NOT_FOUND;  // ENXIO: a pipe with nobody at the other end
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBUSY: return ERROR_BUSY;
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EIO: return ERROR_IO_DEVICE;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    case EAGAIN: return ERROR_NOT_ENOUGH_MEMORY;  // thread creation: out of resources
    default: return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD dwError)
{
    SetLastError(dwError);
    return FALSE;
}

BOOL FailWithErrno(int err)
{
    return Fail(ErrorFromErrno(err));
}

}  // namespace platform
