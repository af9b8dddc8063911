// SHCreateDirectory: a folder with its missing parents.
#include <cerrno>
#include <string>

#include "platform/api/kernel.h"
#include "platform/api/shell.h"
#include "platform/linux/errors.h"
#include "platform/linux/paths.h"
#include "platform/linux/syscalls.h"

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return platform::sys::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates path, which may exist already. Returns 0 or an errno value.
int MakeFolder(const std::string& path)
{
    if (platform::sys::mkdir(path.c_str(), 0777) == 0)
        return 0;
    int err = errno;
    return err == EEXIST && IsFolder(path) ? 0 : err;
}

}  // namespace

int WINAPI SHCreateDirectory(HWND, PCWSTR pszPath)
{
    std::string path;
    if (pszPath == NULL || !platform::PathToNative(pszPath, path) || path.empty()) {
        SetLastError(ERROR_BAD_PATHNAME);
        return ERROR_BAD_PATHNAME;
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (IsFolder(path)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return ERROR_ALREADY_EXISTS;
    }
    // Every prefix that ends before a separator is a parent to make first;
    // the whole path comes last.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        if (end != std::string::npos && path[end - 1] == '/')
            continue;
        if (int err = MakeFolder(path.substr(0, end))) {
            DWORD error = platform::ErrorFromErrno(err == EEXIST ? ENOTDIR : err);
            SetLastError(error);
            return (int)error;
        }
        if (end == std::string::npos)
            break;
    }
    SetLastError(ERROR_SUCCESS);
    return ERROR_SUCCESS;
}
