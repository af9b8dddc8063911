// The folder browser: a modal window of its own that the view shows and
// ends with the person's choice, and the item lists it returns.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/api/shell.h"
#include "platform/linux/errors.h"
#include "platform/linux/window_internal.h"

// An item list here holds the item's file-system path, empty for an item
// that has none.
struct _ITEMIDLIST {
    DWORD units;  // of path, without the terminator
    WCHAR path[1];
};

namespace platform {
namespace {

const char16_t kFolderBrowserClass[] = u"corvane.FolderBrowser";

struct OpenFolderBrowser {
    std::u16string title;
    UINT flags;
    std::optional<std::u16string> chosen;
};

LRESULT CALLBACK FolderBrowserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: KeepCreationParameter(hwnd, lParam); break;
    case WM_CLOSE: EndModalLoop(hwnd, 0); return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

OpenFolderBrowser* BrowserLocked(HWND hwnd)
{
    Window* window = FindWindowLocked(hwnd);
    if (!window || window->className != kFolderBrowserClass)
        return nullptr;
    return reinterpret_cast<OpenFolderBrowser*>(window->userData);
}

PIDLIST_ABSOLUTE NewItemList(const std::u16string& path)
{
    size_t bytes = offsetof(ITEMIDLIST, path) + (path.size() + 1) * sizeof(WCHAR);
    auto* list = static_cast<ITEMIDLIST*>(CoTaskMemAlloc(bytes));
    if (!list)
        return nullptr;
    list->units = DWORD(path.size());
    memcpy(list->path, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return list;
}

// The last component of path, as much as fits into MAX_PATH units.
void CopyDisplayName(const std::u16string& path, LPWSTR displayName)
{
    size_t slash = path.find_last_of(u"/\\");
    std::u16string name = slash == std::u16string::npos || slash + 1 == path.size()
                              ? path
                              : path.substr(slash + 1);
    name.resize(std::min<size_t>(name.size(), MAX_PATH - 1));
    memcpy(displayName, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
}

}  // namespace

bool DescribeFolderBrowser(HWND hwnd, FolderBrowserContent* content)
{
    std::lock_guard<std::mutex> guard(UserLock());
    OpenFolderBrowser* browser = BrowserLocked(hwnd);
    if (!browser || !content)
        return false;
    *content = FolderBrowserContent{browser->title, browser->flags};
    return true;
}

bool AnswerFolderBrowser(HWND hwnd, const std::u16string* path)
{
    {
        std::lock_guard<std::mutex> guard(UserLock());
        OpenFolderBrowser* browser = BrowserLocked(hwnd);
        if (!browser)
            return false;
        if (path)
            browser->chosen = *path;
    }
    return EndModalLoop(hwnd, path ? 1 : 0);
}

}  // namespace platform

using namespace platform;

PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderW(LPBROWSEINFOW lpbi)
{
    if (!lpbi) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    RegisterInternalClass(kFolderBrowserClass, FolderBrowserProc);
    OpenFolderBrowser browser{lpbi->lpszTitle ? lpbi->lpszTitle : u"", lpbi->ulFlags, std::nullopt};
    INT_PTR chosen = 0;
    {
        DisabledOwner disabled(lpbi->hwndOwner);
        HWND hwnd = CreateWindowExW(0, kFolderBrowserClass, browser.title.c_str(),
                                    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 400, 480,
                                    lpbi->hwndOwner, nullptr, nullptr, &browser);
        chosen = hwnd ? RunModalWindow(hwnd, false, disabled) : 0;
    }
    if (chosen != 1 || !browser.chosen)
        return nullptr;
    if (lpbi->pszDisplayName)
        CopyDisplayName(*browser.chosen, lpbi->pszDisplayName);
    return NewItemList(*browser.chosen);
}

BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath)
{
    if (!pszPath)
        return FALSE;
    pszPath[0] = 0;
    if (!pidl || pidl->units == 0 || pidl->units >= MAX_PATH)
        return FALSE;
    memcpy(pszPath, pidl->path, (pidl->units + 1) * sizeof(WCHAR));
    return TRUE;
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb)
{
    return malloc(cb ? cb : 1);
}

void WINAPI CoTaskMemFree(LPVOID pv)
{
    free(pv);
}
