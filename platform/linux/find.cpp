// Folder listing: FindFirstFileW, FindNextFileW, FindClose.
#include <cerrno>
#include <string>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/file_time.h"
#include "platform/linux/handles.h"
#include "platform/linux/paths.h"
#include "platform/linux/syscalls.h"

namespace platform {
namespace {

struct FindObject : KernelObject {
    static const HandleKind kKind = HandleKind::Find;

    FindObject(DIR* d, std::string folderPath, std::u16string nameMask)
        : KernelObject(kKind), dir(d), folder(std::move(folderPath)), mask(std::move(nameMask))
    {
    }
    ~FindObject() override { sys::closedir(dir); }

    DIR* const dir;
    const std::string folder;
    const std::u16string mask;
};

char16_t FoldCase(char16_t unit)
{
    return unit >= u'a' && unit <= u'z' ? unit - u'a' + u'A' : unit;
}

// Windows name matching: '*' any run, '?' any one unit, letters of either case.
bool MatchesMask(const char16_t* mask, const char16_t* name)
{
    if (*mask == 0)
        return *name == 0;
    if (*mask == u'*')
        return MatchesMask(mask + 1, name) || (*name != 0 && MatchesMask(mask, name + 1));
    if (*name == 0)
        return false;
    if (*mask != u'?' && FoldCase(*mask) != FoldCase(*name))
        return false;
    return MatchesMask(mask + 1, name + 1);
}

// Splits "folder\mask" at its last separator; "*.*" means every name.
void SplitPattern(const std::u16string& pattern, std::u16string* folder, std::u16string* mask)
{
    size_t separator = pattern.find_last_of(u"\\/");
    *folder = separator == std::u16string::npos ? u"." : pattern.substr(0, separator + 1);
    *mask = separator == std::u16string::npos ? pattern : pattern.substr(separator + 1);
    if (*mask == u"*.*")
        mask->erase(1);
}

// Fills data for one entry. Returns false when the entry cannot be described
// (it vanished, or its name has no room), so it is passed over.
bool DescribeEntry(const FindObject& find, const char* rawName, const std::u16string& name,
                   WIN32_FIND_DATAW* data)
{
    if (name.size() >= MAX_PATH)
        return false;
    std::string path = find.folder + "/" + rawName;
    struct stat st;
    if (sys::lstat(path.c_str(), &st) != 0)
        return false;

    ZeroMemory(data, sizeof(*data));
    if (S_ISLNK(st.st_mode)) {
        data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        struct stat target;
        if (sys::stat(path.c_str(), &target) == 0)
            st = target;
    }
    data->dwFileAttributes |= S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    data->ftCreationTime = FileTimeFrom(st.st_ctim);
    data->ftLastAccessTime = FileTimeFrom(st.st_atim);
    data->ftLastWriteTime = FileTimeFrom(st.st_mtim);
    data->nFileSizeHigh = (DWORD)((ULONGLONG)st.st_size >> 32);
    data->nFileSizeLow = (DWORD)st.st_size;
    name.copy(data->cFileName, name.size());
    data->cFileName[name.size()] = 0;
    return true;
}

// Reads entries up to the next one that matches. Returns false with the
// last error set at the end (ERROR_NO_MORE_FILES) or on failure.
bool NextMatch(FindObject& find, WIN32_FIND_DATAW* data)
{
    for (;;) {
        struct dirent* entry = sys::readdir(find.dir);
        if (entry == nullptr)
            return Fail(errno == 0 ? ERROR_NO_MORE_FILES : ErrorFromErrno(errno));
        std::u16string name = NameFromNative(entry->d_name);
        if (MatchesMask(find.mask.c_str(), name.c_str()) && DescribeEntry(find, entry->d_name, name, data))
            return true;
    }
}

}  // namespace
}  // namespace platform

using namespace platform;

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    std::u16string folderText, mask;
    SplitPattern(lpFileName, &folderText, &mask);
    std::string folder;
    if (mask.empty() || !PathToNative(folderText.c_str(), folder)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    DIR* dir = sys::opendir(folder.c_str());
    if (dir == nullptr) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto find = std::make_shared<FindObject>(dir, folder, mask);
    if (!NextMatch(*find, lpFindFileData)) {
        if (GetLastError() == ERROR_NO_MORE_FILES)
            SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = NewHandle(find);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    auto find = Lookup<FindObject>(hFindFile);
    if (!find)
        return FALSE;
    return NextMatch(*find, lpFindFileData);
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    if (!Lookup<FindObject>(hFindFile))
        return FALSE;
    return CloseHandle(hFindFile);
}
