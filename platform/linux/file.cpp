// Files: opening and creating, reading and writing at the handle's file
// pointer, sizes, attributes and the two sparse-file control codes.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/file_time.h"
#include "platform/linux/file_object.h"
#include "platform/linux/paths.h"
#include "platform/linux/syscalls.h"

namespace platform {

FileObject::~FileObject()
{
    share.Release();
    sys::close(fd);
}

namespace {

const DWORD kAcceptedAttributes = FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_ARCHIVE;

HANDLE FailHandle(DWORD dwError)
{
    SetLastError(dwError);
    return INVALID_HANDLE_VALUE;
}

HANDLE FailHandleWithErrno(int err)
{
    return FailHandle(ErrorFromErrno(err));
}

std::string ParentOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Windows tells a missing file from a missing folder on its way.
DWORD MissingEntryError(const std::string& path)
{
    struct stat st;
    if (sys::stat(ParentOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

HANDLE FailOpen(int err, const std::string& path)
{
    return FailHandle(err == ENOENT ? MissingEntryError(path) : ErrorFromErrno(err));
}

int OpenFlags(DWORD access)
{
    int flags = O_CLOEXEC | O_NOCTTY;
    if ((access & GENERIC_WRITE) && (access & GENERIC_READ))
        return flags | O_RDWR;
    if (access & GENERIC_WRITE)
        return flags | O_WRONLY;
    return flags | O_RDONLY;
}

FileIdentity IdentityOf(const struct stat& st)
{
    return FileIdentity{st.st_dev, st.st_ino};
}

// Wraps a descriptor of a regular file in a handle, after the sharing check.
HANDLE AdoptDescriptor(int fd, DWORD access, DWORD share)
{
    struct stat st;
    if (sys::fstat(fd, &st) != 0) {
        int err = errno;
        sys::close(fd);
        return FailHandleWithErrno(err);
    }
    if (!S_ISREG(st.st_mode)) {
        sys::close(fd);  // folders, devices and pipes are no files here
        return FailHandle(ERROR_ACCESS_DENIED);
    }
    auto file = std::make_shared<FileObject>(fd, access);
    if (!file->share.Acquire(IdentityOf(st), access, share))
        return FailHandle(ERROR_SHARING_VIOLATION);
    HANDLE handle = NewHandle(file);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

HANDLE OpenExisting(const std::string& path, DWORD access, DWORD share)
{
    // O_NONBLOCK keeps a named pipe from blocking the open; it changes
    // nothing for the regular files that are kept.
    int fd = sys::open(path.c_str(), OpenFlags(access) | O_NONBLOCK);
    if (fd < 0)
        return FailOpen(errno, path);
    return AdoptDescriptor(fd, access, share);
}

std::string TemporarySibling(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    return ParentOf(path) + "/.corvane-" + std::to_string(getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

// Puts a new, empty file in place of the entry at path. The file that was
// there is neither truncated nor written: other names of it (hard links) and
// whatever a symbolic link pointed to keep their data.
HANDLE ReplaceEntry(const std::string& path, DWORD access, DWORD share)
{
    struct stat st;
    if (sys::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return FailHandle(ERROR_ACCESS_DENIED);
        if (!SharingAllows(IdentityOf(st), access, share))
            return FailHandle(ERROR_SHARING_VIOLATION);
    }

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; attempt++) {
        temporary = TemporarySibling(path);
        fd = sys::open(temporary.c_str(), OpenFlags(access) | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return FailOpen(errno, path);
    if (sys::rename(temporary.c_str(), path.c_str()) != 0) {
        int err = errno;
        sys::close(fd);
        sys::unlink(temporary.c_str());
        return FailHandleWithErrno(err == EISDIR ? EACCES : err);
    }
    HANDLE handle = AdoptDescriptor(fd, access, share);
    if (handle != INVALID_HANDLE_VALUE)
        SetLastError(ERROR_ALREADY_EXISTS);
    return handle;
}

HANDLE CreateAlways(const std::string& path, DWORD access, DWORD share)
{
    int fd = sys::open(path.c_str(), OpenFlags(access) | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
        HANDLE handle = AdoptDescriptor(fd, access, share);
        if (handle == INVALID_HANDLE_VALUE)
            sys::unlink(path.c_str());  // a file nobody can use is not left behind
        else
            SetLastError(NO_ERROR);
        return handle;
    }
    if (errno != EEXIST)
        return FailOpen(errno, path);
    return ReplaceEntry(path, access, share);
}

std::shared_ptr<FileObject> LookupFile(HANDLE hFile, DWORD neededAccess)
{
    auto file = Lookup<FileObject>(hFile);
    if (file && (file->access & neededAccess) != neededAccess) {
        Fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return file;
}

BOOL FailOverlapped()
{
    return Fail(ERROR_INVALID_PARAMETER);  // all input and output here is synchronous
}

// Computes where a move of the file pointer would land. Returns false with
// the last error set when the target would be negative or cannot be computed.
bool TargetPosition(FileObject& file, LONGLONG distance, DWORD method, LONGLONG* target)
{
    LONGLONG base;
    switch (method) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = file.position.load();
        break;
    case FILE_END: {
        struct stat st;
        if (sys::fstat(file.fd, &st) != 0)
            return FailWithErrno(errno);
        base = st.st_size;
        break;
    }
    default:
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (__builtin_add_overflow(base, distance, target))
        return Fail(ERROR_INVALID_PARAMETER);
    if (*target < 0)
        return Fail(ERROR_NEGATIVE_SEEK);
    return true;
}

// A regular file is sparse here when it has a hole before its end.
bool HasHole(int fd, off_t size)
{
    if (size <= 0)
        return false;
    off_t hole = sys::lseek(fd, 0, SEEK_HOLE);
    return hole >= 0 && hole < size;
}

// Fills out with the data ranges inside window, clipped to it. Returns
// false with the last error set on failure, or with ERROR_MORE_DATA when out
// was filled and more ranges follow.
BOOL QueryAllocatedRanges(FileObject& file, const FILE_ALLOCATED_RANGE_BUFFER& window, BYTE* out,
                          DWORD outSize, DWORD* returned)
{
    LONGLONG start = window.FileOffset.QuadPart;
    LONGLONG length = window.Length.QuadPart;
    if (start < 0 || length < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    LONGLONG end;
    if (__builtin_add_overflow(start, length, &end))
        end = LLONG_MAX;

    const DWORD capacity = outSize / sizeof(FILE_ALLOCATED_RANGE_BUFFER);
    DWORD count = 0;
    for (LONGLONG next = start; next < end;) {
        off_t data = sys::lseek(file.fd, next, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;  // no data from next on
        if (data < 0)
            return FailWithErrno(errno);
        if (data >= end)
            break;
        if (count == capacity)
            return Fail(ERROR_MORE_DATA);
        off_t hole = sys::lseek(file.fd, data, SEEK_HOLE);
        if (hole < 0 && errno == ENXIO)
            break;  // the file shrank under the query
        if (hole < 0)
            return FailWithErrno(errno);

        FILE_ALLOCATED_RANGE_BUFFER range;
        range.FileOffset.QuadPart = data;
        range.Length.QuadPart = (hole < end ? hole : end) - data;
        memcpy(out + count * sizeof(range), &range, sizeof(range));
        *returned = ++count * sizeof(range);
        next = range.FileOffset.QuadPart + range.Length.QuadPart;
    }
    return TRUE;
}

}  // namespace
}  // namespace platform

using namespace platform;

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    if (lpFileName == NULL || hTemplateFile != NULL || (dwDesiredAccess & ~kDataAccess) ||
        (dwFlagsAndAttributes & ~kAcceptedAttributes))
        return FailHandle(ERROR_INVALID_PARAMETER);
    std::string path;
    if (!PathToNative(lpFileName, path))
        return FailHandle(ERROR_INVALID_NAME);
    if (path.empty())
        return FailHandle(ERROR_PATH_NOT_FOUND);

    switch (dwCreationDisposition) {
    case OPEN_EXISTING:
        return OpenExisting(path, dwDesiredAccess, dwShareMode);
    case CREATE_ALWAYS:
        return CreateAlways(path, dwDesiredAccess, dwShareMode);
    default:
        return FailHandle(ERROR_INVALID_PARAMETER);
    }
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    if (lpOverlapped)
        return FailOverlapped();
    auto file = LookupFile(hFile, GENERIC_READ);
    if (!file)
        return FALSE;
    int64_t at = file->position.load();
    ssize_t count = sys::pread(file->fd, lpBuffer, nNumberOfBytesToRead, at);
    if (count < 0)
        return FailWithErrno(errno);
    file->position.store(at + count);
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = (DWORD)count;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    if (lpOverlapped)
        return FailOverlapped();
    auto file = LookupFile(hFile, GENERIC_WRITE);
    if (!file)
        return FALSE;
    // A write either completes or says how far it got: the rest is retried
    // until the system refuses, and a refusal after some bytes is a short write.
    int64_t at = file->position.load();
    const BYTE* bytes = static_cast<const BYTE*>(lpBuffer);
    DWORD written = 0;
    while (written < nNumberOfBytesToWrite) {
        ssize_t count = sys::pwrite(file->fd, bytes + written, nNumberOfBytesToWrite - written,
                                    at + written);
        if (count < 0 && written == 0)
            return FailWithErrno(errno);
        if (count <= 0)
            break;
        written += (DWORD)count;
    }
    file->position.store(at + written);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = written;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod)
{
    auto file = LookupFile(hFile, 0);
    if (!file)
        return INVALID_SET_FILE_POINTER;
    LONGLONG distance = lpDistanceToMoveHigh
                            ? (LONGLONG)(((ULONGLONG)(DWORD)*lpDistanceToMoveHigh << 32) |
                                         (DWORD)lDistanceToMove)
                            : (LONGLONG)lDistanceToMove;
    LONGLONG position = 0;
    if (!TargetPosition(*file, distance, dwMoveMethod, &position))
        return INVALID_SET_FILE_POINTER;
    if (!lpDistanceToMoveHigh && position > (LONGLONG)0xFFFFFFFE) {
        Fail(ERROR_INVALID_PARAMETER);  // the new position has no room in the result
        return INVALID_SET_FILE_POINTER;
    }
    file->position.store(position);
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = (LONG)(position >> 32);
    SetLastError(NO_ERROR);
    return (DWORD)position;
}

BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove,
                             PLARGE_INTEGER lpNewFilePointer, DWORD dwMoveMethod)
{
    auto file = LookupFile(hFile, 0);
    if (!file)
        return FALSE;
    LONGLONG position = 0;
    if (!TargetPosition(*file, liDistanceToMove.QuadPart, dwMoveMethod, &position))
        return FALSE;
    file->position.store(position);
    if (lpNewFilePointer)
        lpNewFilePointer->QuadPart = position;
    return TRUE;
}

BOOL WINAPI SetEndOfFile(HANDLE hFile)
{
    auto file = LookupFile(hFile, GENERIC_WRITE);
    if (!file)
        return FALSE;
    // Growing the file this way adds a hole: no block is written.
    if (sys::ftruncate(file->fd, file->position.load()) != 0)
        return FailWithErrno(errno);
    return TRUE;
}

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    auto file = LookupFile(hFile, 0);
    if (!file)
        return FALSE;
    struct stat st;
    if (sys::fstat(file->fd, &st) != 0)
        return FailWithErrno(errno);
    lpFileSize->QuadPart = st.st_size;
    return TRUE;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpInfo)
{
    auto file = LookupFile(hFile, 0);
    if (!file)
        return FALSE;
    struct stat st;
    if (sys::fstat(file->fd, &st) != 0)
        return FailWithErrno(errno);

    ZeroMemory(lpInfo, sizeof(*lpInfo));
    lpInfo->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        lpInfo->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (HasHole(file->fd, st.st_size))
        lpInfo->dwFileAttributes |= FILE_ATTRIBUTE_SPARSE_FILE;
    lpInfo->ftCreationTime = FileTimeFrom(st.st_ctim);
    lpInfo->ftLastAccessTime = FileTimeFrom(st.st_atim);
    lpInfo->ftLastWriteTime = FileTimeFrom(st.st_mtim);
    lpInfo->dwVolumeSerialNumber = (DWORD)st.st_dev;
    lpInfo->nFileSizeHigh = (DWORD)((ULONGLONG)st.st_size >> 32);
    lpInfo->nFileSizeLow = (DWORD)st.st_size;
    lpInfo->nNumberOfLinks = (DWORD)st.st_nlink;
    lpInfo->nFileIndexHigh = (DWORD)((ULONGLONG)st.st_ino >> 32);
    lpInfo->nFileIndexLow = (DWORD)st.st_ino;
    return TRUE;
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped)
{
    if (lpBytesReturned)
        *lpBytesReturned = 0;
    if (lpOverlapped)
        return FailOverlapped();
    DWORD returned = 0;
    BOOL ok;
    switch (dwIoControlCode) {
    case FSCTL_SET_SPARSE:
        // Every Linux file may hold holes; extending it makes one.
        ok = LookupFile(hDevice, GENERIC_WRITE) != nullptr;
        break;
    case FSCTL_QUERY_ALLOCATED_RANGES: {
        auto file = LookupFile(hDevice, GENERIC_READ);
        if (!file)
            return FALSE;
        FILE_ALLOCATED_RANGE_BUFFER window;
        if (lpInBuffer == NULL || nInBufferSize < sizeof(window))
            return Fail(ERROR_INVALID_PARAMETER);
        if (lpOutBuffer == NULL || nOutBufferSize < sizeof(window))
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        memcpy(&window, lpInBuffer, sizeof(window));
        ok = QueryAllocatedRanges(*file, window, static_cast<BYTE*>(lpOutBuffer), nOutBufferSize,
                                  &returned);
        break;
    }
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
    if (lpBytesReturned)
        *lpBytesReturned = returned;
    return ok;
}
