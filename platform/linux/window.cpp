// Window classes, the window table, creation and destruction, window
// longs and the default window procedure.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

const ATOM kFirstClassAtom = 0xC000;
// Handles start above the special values (HWND_BROADCAST is 0xFFFF) and are
// never reused, so a stale handle can never reach a newer window.
const uintptr_t kFirstWindowHandle = 0x10000;

struct WindowClass {
    ATOM atom;
    std::u16string name;
    WNDPROC wndProc;
    int cbWndExtra;
};

struct UserState {
    std::mutex lock;
    std::vector<WindowClass> classes;
    std::map<uintptr_t, std::unique_ptr<Window>> windows;  // in creation order
    uintptr_t nextHandle = kFirstWindowHandle;
};

// Never destroyed: threads may still exit and clean up while the process ends.
UserState& State()
{
    static UserState* state = new UserState;
    return *state;
}

uintptr_t HandleValue(HWND hwnd)
{
    return reinterpret_cast<uintptr_t>(hwnd);
}

char16_t AsciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool IsAtomName(LPCWSTR name)
{
    return reinterpret_cast<uintptr_t>(name) <= 0xFFFF;
}

const WindowClass* FindClassLocked(LPCWSTR name)
{
    auto& classes = State().classes;
    auto found = std::find_if(classes.begin(), classes.end(), [name](const WindowClass& c) {
        if (IsAtomName(name))
            return c.atom == ATOM(reinterpret_cast<uintptr_t>(name));
        return SameClassName(c.name, name);
    });
    return found == classes.end() ? nullptr : &*found;
}

template <typename Pick>
std::vector<HWND> WindowsWhere(Pick pick)
{
    std::lock_guard<std::mutex> guard(UserLock());
    std::vector<HWND> picked;
    for (auto& entry : State().windows) {
        if (pick(*entry.second))
            picked.push_back(entry.second->hwnd);
    }
    return picked;
}

std::vector<HWND> ChildrenOf(HWND hwnd)
{
    return WindowsWhere([hwnd](const Window& w) { return w.parent == hwnd; });
}

std::vector<HWND> OwnedWindowsOf(HWND hwnd)
{
    return WindowsWhere([hwnd](const Window& w) { return w.owner == hwnd; });
}

// ---- Creation.

struct NewWindow {
    const CREATESTRUCTW& cs;
    const WindowClass& cls;
    HWND parent;
    HWND owner;
};

HWND AddWindowLocked(const NewWindow& made)
{
    auto window = std::make_unique<Window>();
    HWND hwnd = reinterpret_cast<HWND>(State().nextHandle++);
    window->hwnd = hwnd;
    window->queue = CurrentThreadQueue();
    window->threadId = GetCurrentThreadId();
    window->className = made.cls.name;
    window->wndProc = made.cls.wndProc;
    window->style = DWORD(made.cs.style);
    window->exStyle = made.cs.dwExStyle;
    window->id = made.parent ? reinterpret_cast<LONG_PTR>(made.cs.hMenu) : 0;
    window->parent = made.parent;
    window->owner = made.owner;
    window->rect = {made.cs.x, made.cs.y, made.cs.x + made.cs.cx, made.cs.y + made.cs.cy};
    window->extraBytes.assign(size_t(made.cls.cbWndExtra), 0);
    window->needsPaint = (window->style & WS_VISIBLE) != 0;
    State().windows[HandleValue(hwnd)] = std::move(window);
    return hwnd;
}

// Adds the window to the table, not yet told about its creation. Returns
// null and sets the last error when the class or the parent is wrong.
HWND AddWindow(const CREATESTRUCTW& cs, HWND hWndParent)
{
    std::lock_guard<std::mutex> guard(UserLock());
    const WindowClass* cls = FindClassLocked(cs.lpszClass);
    if (!cls) {
        Fail(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    bool child = (DWORD(cs.style) & WS_CHILD) != 0;
    if (hWndParent == HWND_MESSAGE)
        hWndParent = nullptr;
    if (hWndParent && !FindWindowLocked(hWndParent)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (child && !hWndParent) {
        Fail(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    return AddWindowLocked({cs, *cls, child ? hWndParent : nullptr, child ? nullptr : hWndParent});
}

void RemoveWindow(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    auto& windows = State().windows;
    auto found = windows.find(HandleValue(hwnd));
    if (found == windows.end())
        return;
    ForgetWindowMessagesLocked(*found->second->queue, hwnd);
    windows.erase(found);
    for (auto& entry : windows) {
        if (entry.second->owner == hwnd)
            entry.second->owner = nullptr;
    }
}

// A window whose WM_NCCREATE or WM_CREATE refused creation gets only
// WM_NCDESTROY: it never saw a successful WM_CREATE to pair WM_DESTROY with.
void AbandonCreation(HWND hwnd)
{
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    RemoveWindow(hwnd);
}

// ---- Destruction.

// Returns FALSE with the last error set when the calling thread may not
// destroy hwnd; sets *alreadyGoing when its destruction has begun.
BOOL BeginDestruction(HWND hwnd, bool* alreadyGoing)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hwnd);
    if (!window)
        return FALSE;
    if (window->queue != CurrentThreadQueue())
        return Fail(ERROR_ACCESS_DENIED);
    *alreadyGoing = window->destroying;
    window->destroying = true;
    return TRUE;
}

void MarkDestroying(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    if (Window* window = FindWindowLocked(hwnd))
        window->destroying = true;
}

// WM_DESTROY goes to the window first, then down to its children, which
// still exist while it is handled.
void SendDestroyMessages(HWND hwnd)
{
    MarkDestroying(hwnd);
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : ChildrenOf(hwnd))
        SendDestroyMessages(child);
}

// WM_NCDESTROY comes after the children are gone.
void FreeWindowTree(HWND hwnd)
{
    for (HWND child : ChildrenOf(hwnd))
        FreeWindowTree(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    NotifyView(hwnd, WindowChange::Destroyed);
    RemoveWindow(hwnd);
}

void DestroyOwnedWindows(HWND owner)
{
    for (HWND owned : OwnedWindowsOf(owner))
        DestroyWindow(owned);
}

// ---- Window longs.

bool ExtraBytesIndexFits(const Window& window, int index)
{
    return index >= 0 && size_t(index) + sizeof(LONG_PTR) <= window.extraBytes.size();
}

// The value at index; *known turns false for an index the window lacks.
LONG_PTR ReadLongLocked(const Window& window, int index, bool* known)
{
    *known = true;
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window.wndProc);
    case GWLP_ID: return window.id;
    case GWLP_USERDATA: return window.userData;
    case GWL_STYLE: return LONG(window.style);  // a 32-bit LONG, sign-extended
    case GWL_EXSTYLE: return LONG(window.exStyle);
    }
    if (!ExtraBytesIndexFits(window, index)) {
        *known = false;
        return 0;
    }
    LONG_PTR value;
    memcpy(&value, window.extraBytes.data() + index, sizeof value);
    return value;
}

void WriteLongLocked(Window& window, int index, LONG_PTR value)
{
    switch (index) {
    case GWLP_WNDPROC: window.wndProc = reinterpret_cast<WNDPROC>(value); return;
    case GWLP_ID: window.id = value; return;
    case GWLP_USERDATA: window.userData = value; return;
    case GWL_STYLE: window.style = DWORD(value); return;
    case GWL_EXSTYLE: window.exStyle = DWORD(value); return;
    }
    memcpy(window.extraBytes.data() + index, &value, sizeof value);
}

// ---- Text.

size_t TextLength(LPCWSTR text)
{
    return text ? std::char_traits<char16_t>::length(text) : 0;
}

void SetText(HWND hwnd, LPCWSTR text)
{
    ChangeWindow(hwnd, WindowChange::Text, [text](Window& window) {
        window.text.assign(text ? text : u"", TextLength(text));
        return true;
    });
}

HICON SetIcon(HWND hwnd, WPARAM which, HICON icon)
{
    HICON previous = nullptr;
    ChangeWindow(hwnd, WindowChange::Icon, [&](Window& window) {
        HICON& slot = which == ICON_BIG ? window.bigIcon : window.smallIcon;
        previous = slot;
        slot = icon;
        return previous != icon;
    });
    return previous;
}

HICON GetIcon(HWND hwnd, WPARAM which)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    if (!window)
        return nullptr;
    return which == ICON_BIG ? window->bigIcon : window->smallIcon;
}

LRESULT SystemCommand(HWND hwnd, WPARAM command)
{
    switch (command & 0xFFF0) {
    case SC_CLOSE: SendMessageW(hwnd, WM_CLOSE, 0, 0); break;
    case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
    case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
    }
    return 0;
}

LRESULT DefaultPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    if (BeginPaint(hwnd, &ps))
        EndPaint(hwnd, &ps);
    return 0;
}

// Copies as much of the text as fits into buffer (capacity units with the
// terminator) and returns the number of units copied without it.
LRESULT CopyTextOut(HWND hwnd, WCHAR* buffer, size_t capacity)
{
    if (!buffer || capacity == 0)
        return 0;
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    size_t count = window ? std::min(window->text.size(), capacity - 1) : 0;
    if (count)
        memcpy(buffer, window->text.data(), count * sizeof(WCHAR));
    buffer[count] = 0;
    return LRESULT(count);
}

LRESULT TextLengthOf(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    return window ? LRESULT(window->text.size()) : 0;
}

}  // namespace

bool SameClassName(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

std::mutex& UserLock()
{
    return State().lock;
}

Window* FindWindowLocked(HWND hwnd)
{
    auto& windows = State().windows;
    auto found = windows.find(HandleValue(hwnd));
    return found == windows.end() ? nullptr : found->second.get();
}

Window* WindowOrFailLocked(HWND hwnd)
{
    Window* window = FindWindowLocked(hwnd);
    if (!window)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

bool IsDescendantLocked(HWND window, HWND ancestor)
{
    for (Window* w = FindWindowLocked(window); w && w->parent; w = FindWindowLocked(w->parent)) {
        if (w->parent == ancestor)
            return true;
    }
    return false;
}

HWND WindowToPaintLocked(const MessageQueue& queue, const std::function<bool(HWND)>& matches)
{
    for (auto& entry : State().windows) {
        const Window& window = *entry.second;
        if (window.queue.get() == &queue && window.needsPaint && !window.destroying &&
            (window.style & WS_VISIBLE) && matches(window.hwnd))
            return window.hwnd;
    }
    return nullptr;
}

std::vector<Window*> AllWindowsLocked()
{
    std::vector<Window*> all;
    for (auto& entry : State().windows)
        all.push_back(entry.second.get());
    return all;
}

void RemoveWindowsOfQueueLocked(const MessageQueue& queue)
{
    auto& windows = State().windows;
    for (auto it = windows.begin(); it != windows.end();) {
        if (it->second->queue.get() == &queue)
            it = windows.erase(it);
        else
            ++it;
    }
}

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> guard(UserLock());
        Window* window = WindowOrFailLocked(hwnd);
        if (!window)
            return 0;
        proc = window->wndProc ? window->wndProc : DefWindowProcW;
    }
    return proc(hwnd, message, wParam, lParam);
}

}  // namespace platform

using namespace platform;

ATOM WINAPI RegisterClassW(const WNDCLASSW* lpWndClass)
{
    if (!lpWndClass || IsAtomName(lpWndClass->lpszClassName) || !lpWndClass->lpfnWndProc ||
        lpWndClass->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> guard(UserLock());
    if (FindClassLocked(lpWndClass->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto& classes = State().classes;
    ATOM atom = ATOM(kFirstClassAtom + classes.size());
    classes.push_back({atom, lpWndClass->lpszClassName, lpWndClass->lpfnWndProc,
                       lpWndClass->cbWndExtra});
    return atom;
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                            DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                            HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    RegisterSystemClasses();
    CREATESTRUCTW cs = {lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X,
                        LONG(dwStyle), lpWindowName, lpClassName, dwExStyle};
    HWND hwnd = AddWindow(cs, hWndParent);
    if (!hwnd)
        return nullptr;
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        AbandonCreation(hwnd);
        return nullptr;
    }
    // WM_CREATE may have destroyed the window itself.
    if (!IsWindow(hwnd))
        return nullptr;
    NotifyView(hwnd, WindowChange::Created);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    bool alreadyGoing = false;
    if (!BeginDestruction(hWnd, &alreadyGoing))
        return FALSE;
    if (alreadyGoing)
        return TRUE;
    DestroyOwnedWindows(hWnd);
    SendDestroyMessages(hWnd);
    FreeWindowTree(hWnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    return FindWindowLocked(hWnd) != nullptr;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hWnd);
    if (!window)
        return 0;
    if (lpdwProcessId)
        *lpdwProcessId = DWORD(getpid());
    return window->threadId;
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hWnd);
    if (!window)
        return 0;
    bool known = false;
    LONG_PTR value = ReadLongLocked(*window, nIndex, &known);
    if (!known)
        SetLastError(ERROR_INVALID_INDEX);
    return value;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hWnd);
    if (!window)
        return 0;
    bool known = false;
    LONG_PTR previous = ReadLongLocked(*window, nIndex, &known);
    if (!known) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    WriteLongLocked(*window, nIndex, dwNewLong);
    return previous;
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    switch (Msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName)
            SetText(hWnd, cs->lpszName);
        return TRUE;
    }
    case WM_SETTEXT: SetText(hWnd, reinterpret_cast<LPCWSTR>(lParam)); return TRUE;
    case WM_GETTEXT: return CopyTextOut(hWnd, reinterpret_cast<WCHAR*>(lParam), size_t(wParam));
    case WM_GETTEXTLENGTH: return TextLengthOf(hWnd);
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_SYSCOMMAND: return SystemCommand(hWnd, wParam);
    case WM_PAINT: return DefaultPaint(hWnd);
    case WM_SETICON: return reinterpret_cast<LRESULT>(SetIcon(hWnd, wParam, reinterpret_cast<HICON>(lParam)));
    case WM_GETICON: return reinterpret_cast<LRESULT>(GetIcon(hWnd, wParam));
    case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(GetIcon(hWnd, ICON_BIG));
    default: return 0;
    }
}
