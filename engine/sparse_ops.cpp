#include "engine/sparse_ops.h"

#include <new>

namespace {

// Asks for the first allocated range inside window. Returns the error of
// the query: NO_ERROR when it was the last range (or there was none, in
// which case range is left as it was), ERROR_MORE_DATA when more follow.
DWORD QueryFirstRange(HANDLE hFile, FILE_ALLOCATED_RANGE_BUFFER& window,
                      FILE_ALLOCATED_RANGE_BUFFER& range)
{
    DWORD cbReturned = 0;
    BOOL bOk = DeviceIoControl(hFile, FSCTL_QUERY_ALLOCATED_RANGES, &window, sizeof(window),
                               &range, sizeof(range), &cbReturned, NULL);
    DWORD dwError = GetLastError();
    return bOk ? NO_ERROR : dwError;
}

BOOL AppendAllocatedRanges(HANDLE hFile, LONGLONG llSize, AllocatedRangeList& ranges)
{
    FILE_ALLOCATED_RANGE_BUFFER window;
    window.FileOffset.QuadPart = 0;
    window.Length.QuadPart = llSize;

    FILE_ALLOCATED_RANGE_BUFFER range;
    range.FileOffset.QuadPart = 0;
    range.Length.QuadPart = 0;

    for (;;) {
        DWORD dwError = QueryFirstRange(hFile, window, range);
        if (dwError != NO_ERROR && dwError != ERROR_MORE_DATA)
            return llSize == 0;
        ranges.push_back(range);
        if (dwError == NO_ERROR)
            return TRUE;
        LONGLONG llNext = range.FileOffset.QuadPart + range.Length.QuadPart;
        if (llNext <= window.FileOffset.QuadPart)
            return FALSE;  // a file system that does not move on would loop for ever
        window.FileOffset.QuadPart = llNext;
        window.Length.QuadPart = llSize - llNext;
    }
}

void Position(HANDLE hFile, LARGE_INTEGER liOffset)
{
    LONG lHigh = liOffset.HighPart;
    DWORD dwLow = SetFilePointer(hFile, (LONG)liOffset.LowPart, &lHigh, FILE_BEGIN);
    if (dwLow == INVALID_SET_FILE_POINTER) {
        DWORD dwError = GetLastError();
        if (dwError != NO_ERROR)
            throw dwError;
    }
}

}  // namespace

BOOL QueryAllocatedRanges(LPCWSTR szPath, AllocatedRangeList& ranges)
{
    HANDLE hFile = CreateFileW(szPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;

    size_t nKept = ranges.size();
    BOOL bOk = FALSE;
    LARGE_INTEGER liSize;
    if (GetFileSizeEx(hFile, &liSize)) {
        try {
            bOk = AppendAllocatedRanges(hFile, liSize.QuadPart, ranges);
        } catch (const std::bad_alloc&) {
            bOk = FALSE;
        }
    }
    if (!bOk)
        ranges.resize(nKept);
    CloseHandle(hFile);
    return bOk;
}

HANDLE CreateSparseTarget(LPCWSTR szPath, LARGE_INTEGER liSize)
{
    HANDLE hFile = CreateFileW(szPath, GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;

    DWORD cbReturned = 0;
    DeviceIoControl(hFile, FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &cbReturned, NULL);
    SetFilePointerEx(hFile, liSize, NULL, FILE_BEGIN);
    SetEndOfFile(hFile);
    return hFile;
}

void CopyFileRange(HANDLE hSource, HANDLE hTarget, LARGE_INTEGER liOffset, LARGE_INTEGER liLength)
{
    Position(hSource, liOffset);
    Position(hTarget, liOffset);
    if (liLength.QuadPart <= 0)
        return;

    BYTE buffer[COPY_CHUNK_SIZE];
    LONGLONG llRemaining = liLength.QuadPart;
    while (llRemaining > 0) {
        DWORD cbChunk = llRemaining > COPY_CHUNK_SIZE ? COPY_CHUNK_SIZE : (DWORD)llRemaining;
        DWORD cbRead = 0;
        if (!ReadFile(hSource, buffer, cbChunk, &cbRead, NULL))
            throw GetLastError();
        if (cbRead == 0)
            throw (DWORD)ERROR_HANDLE_EOF;
        DWORD cbWritten = 0;
        if (!WriteFile(hTarget, buffer, cbRead, &cbWritten, NULL))
            throw GetLastError();
        if (cbWritten < cbRead)
            throw (DWORD)ERROR_HANDLE_DISK_FULL;
        llRemaining -= cbRead;
    }
}
