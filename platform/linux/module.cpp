// The program's own file name.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/paths.h"

DWORD WINAPI GetModuleFileNameW(HMODULE, LPWSTR lpFilename, DWORD nSize)
{
    char target[4096];
    ssize_t length = readlink("/proc/self/exe", target, sizeof target - 1);
    if (length < 0) {
        platform::FailWithErrno(errno);
        return 0;
    }
    std::u16string path = platform::NameFromNative(std::string(target, size_t(length)));
    if (!lpFilename || nSize == 0)
        return 0;
    DWORD copied = DWORD(std::min<size_t>(path.size(), nSize - 1));
    memcpy(lpFilename, path.data(), copied * sizeof(WCHAR));
    lpFilename[copied] = 0;
    if (copied < path.size())
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return copied < path.size() ? nSize : copied;
}
