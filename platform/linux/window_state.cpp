// The state of a window that the calls below read and change: text,
// enabled and visible state, position and size, focus. Every change is
// made on the window's own thread, so views hear of it there.
#include <algorithm>
#include <cstring>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

struct Frame {
    int side = 0;     // each of left, right and bottom
    int caption = 0;  // the title bar, above the top side
};

Frame FrameOf(DWORD style, DWORD exStyle)
{
    DisplayMetrics metrics = CurrentWindowView().Metrics();
    Frame frame;
    if ((style & WS_CAPTION) == WS_CAPTION)
        frame.caption = metrics.captionHeight;
    if ((style & (WS_DLGFRAME | WS_THICKFRAME)) || (exStyle & WS_EX_DLGMODALFRAME))
        frame.side = metrics.frameWidth;
    else if (style & WS_BORDER)
        frame.side = 1;
    if (exStyle & WS_EX_CLIENTEDGE)
        frame.side += 2;
    return frame;
}

LONG Width(const RECT& rect)
{
    return rect.right - rect.left;
}

LONG Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

// A window with a disabled parent, or whose owner is disabled (a dialog
// under an open message box), takes no input either.
bool AcceptsInputLocked(HWND hwnd)
{
    Window* window = FindWindowLocked(hwnd);
    while (window) {
        if (!window->IsEnabled() || !(window->style & WS_VISIBLE))
            return false;
        window = FindWindowLocked(window->parent ? window->parent : nullptr);
    }
    return FindWindowLocked(hwnd) != nullptr;
}

LRESULT EnableHere(HWND hwnd, bool enable)
{
    bool wasDisabled = false;
    bool changed = ChangeWindow(hwnd, WindowChange::Enabled, [&](Window& window) {
        wasDisabled = !window.IsEnabled();
        if (window.IsEnabled() == enable)
            return false;
        window.SetEnabled(enable);
        return true;
    });
    if (changed)
        SendMessageW(hwnd, WM_ENABLE, WPARAM(enable), 0);
    return wasDisabled;
}

void ApplyShowCommand(Window& window, int command)
{
    switch (command) {
    case SW_HIDE: window.style &= ~DWORD(WS_VISIBLE); return;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED: window.style |= DWORD(WS_VISIBLE | WS_MINIMIZE); break;
    case SW_SHOW: window.style |= DWORD(WS_VISIBLE); break;
    default:  // SW_SHOWNORMAL, SW_RESTORE
        window.style = (window.style | DWORD(WS_VISIBLE)) & ~DWORD(WS_MINIMIZE);
        break;
    }
    window.needsPaint = true;
    ++window.queue->arrivals;  // so that a waiting thread looks for the WM_PAINT
    WakeQueueLocked(*window.queue);
}

bool IsKnownShowCommand(int command)
{
    switch (command) {
    case SW_HIDE:
    case SW_SHOWNORMAL:
    case SW_SHOWMINIMIZED:
    case SW_SHOW:
    case SW_MINIMIZE:
    case SW_RESTORE: return true;
    default: return false;
    }
}

HWND FocusHere(HWND hwnd)
{
    std::shared_ptr<MessageQueue> me = CurrentThreadQueue();
    HWND previous;
    {
        std::lock_guard<std::mutex> guard(UserLock());
        previous = FindWindowLocked(me->focus) ? me->focus : nullptr;
        if (hwnd) {
            Window* window = WindowOrFailLocked(hwnd);
            if (!window)
                return nullptr;
            if (window->queue != me) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
        }
        me->focus = hwnd;
    }
    if (previous == hwnd)
        return previous;
    if (previous)
        SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd) {
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
        NotifyView(hwnd, WindowChange::Focus);
    }
    return previous;
}

// Stores in *rect what read gives for hWnd, under the lock.
template <typename Read>
BOOL ReadRect(HWND hwnd, LPRECT rect, Read read)
{
    if (!rect)
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hwnd);
    if (!window)
        return FALSE;
    *rect = read(*window);
    return TRUE;
}

}  // namespace

bool AcceptsInput(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    if (!window)
        return false;
    HWND top = hwnd;
    for (Window* w = window; w; w = FindWindowLocked(w->parent)) {
        top = w->hwnd;
        if (!w->parent)
            break;
    }
    Window* topWindow = FindWindowLocked(top);
    if (topWindow->owner && !AcceptsInputLocked(topWindow->owner))
        return false;
    return AcceptsInputLocked(hwnd);
}

SIZE ClientSizeLocked(const Window& window)
{
    Frame frame = FrameOf(window.style, window.exStyle);
    LONG cx = std::max<LONG>(0, Width(window.rect) - 2 * frame.side);
    LONG cy = std::max<LONG>(0, Height(window.rect) - 2 * frame.side - frame.caption);
    return SIZE{cx, cy};
}

bool ChangeWindow(HWND hwnd, WindowChange what, const std::function<bool(Window&)>& change)
{
    LRESULT done = RunOnWindowThread(hwnd, [&]() -> LRESULT {
        bool changed;
        {
            std::lock_guard<std::mutex> guard(UserLock());
            Window* window = WindowOrFailLocked(hwnd);
            if (!window)
                return FALSE;
            changed = change(*window);
        }
        if (changed)
            NotifyView(hwnd, what);
        return changed;
    });
    return done != 0;
}

}  // namespace platform

using namespace platform;

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
    if (!IsWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    return BOOL(SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
    if (!lpString || nMaxCount <= 0)
        return 0;
    lpString[0] = 0;
    return int(SendMessageW(hWnd, WM_GETTEXT, WPARAM(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthW(HWND hWnd)
{
    return int(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    bool enable = bEnable != FALSE;
    return BOOL(RunOnWindowThread(hWnd, [hWnd, enable] { return EnableHere(hWnd, enable); }));
}

BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hWnd);
    return window && window->IsEnabled();
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    for (Window* window = FindWindowLocked(hWnd); window; window = FindWindowLocked(window->parent)) {
        if (!(window->style & WS_VISIBLE))
            return FALSE;
        if (!window->parent)
            return TRUE;
    }
    return FALSE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    if (!IsKnownShowCommand(nCmdShow))
        return Fail(ERROR_INVALID_PARAMETER);
    bool wasVisible = false;
    ChangeWindow(hWnd, WindowChange::Shown, [&](Window& window) {
        DWORD before = window.style;
        wasVisible = (before & WS_VISIBLE) != 0;
        ApplyShowCommand(window, nCmdShow);
        return window.style != before;
    });
    return wasVisible;
}

BOOL WINAPI IsIconic(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hWnd);
    return window && (window->style & WS_MINIMIZE);
}

HWND WINAPI GetParent(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hWnd);
    if (!window)
        return nullptr;
    return window->parent ? window->parent : window->owner;
}

HWND WINAPI SetFocus(HWND hWnd)
{
    return FocusHere(hWnd);
}

HWND WINAPI GetFocus(void)
{
    std::shared_ptr<MessageQueue> me = CurrentThreadQueue();
    std::lock_guard<std::mutex> guard(UserLock());
    return FindWindowLocked(me->focus) ? me->focus : nullptr;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    return ReadRect(hWnd, lpRect, [](const Window& window) {
        SIZE size = ClientSizeLocked(window);
        return RECT{0, 0, size.cx, size.cy};
    });
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    return ReadRect(hWnd, lpRect, [](const Window& window) {
        RECT rect = window.rect;
        for (Window* parent = FindWindowLocked(window.parent); parent;
             parent = FindWindowLocked(parent->parent)) {
            Frame frame = FrameOf(parent->style, parent->exStyle);
            LONG dx = parent->rect.left + frame.side;
            LONG dy = parent->rect.top + frame.side + frame.caption;
            rect = RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
        }
        return rect;
    });
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags)
{
    if (!IsWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    ChangeWindow(hWnd, WindowChange::Moved, [=](Window& window) {
        RECT before = window.rect;
        LONG width = (uFlags & SWP_NOSIZE) ? Width(before) : cx;
        LONG height = (uFlags & SWP_NOSIZE) ? Height(before) : cy;
        LONG left = (uFlags & SWP_NOMOVE) ? before.left : X;
        LONG top = (uFlags & SWP_NOMOVE) ? before.top : Y;
        window.rect = RECT{left, top, left + width, top + height};
        return memcmp(&before, &window.rect, sizeof before) != 0;
    });
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL, DWORD dwExStyle)
{
    if (!lpRect)
        return Fail(ERROR_INVALID_PARAMETER);
    Frame frame = FrameOf(dwStyle, dwExStyle);
    lpRect->left -= frame.side;
    lpRect->right += frame.side;
    lpRect->top -= frame.side + frame.caption;
    lpRect->bottom += frame.side;
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    DisplayMetrics metrics = CurrentWindowView().Metrics();
    switch (nIndex) {
    case SM_CXSCREEN: return metrics.screenWidth;
    case SM_CYSCREEN: return metrics.screenHeight;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CYCAPTION: return metrics.captionHeight;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return metrics.frameWidth;
    case SM_CXICON:
    case SM_CYICON: return metrics.iconSize;
    default: return 0;
    }
}
