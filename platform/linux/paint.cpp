// Painting: windows that wait for WM_PAINT, the device context a window
// paints into, and drawing an icon, which the view shows.
#include <map>
#include <mutex>

#include "platform/linux/errors.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

// The device contexts between BeginPaint and EndPaint, each the window it
// paints. A device context is never reused while it is open.
struct PaintContexts {
    std::mutex lock;
    std::map<HDC, HWND> open;
    uintptr_t next = 1;
};

PaintContexts& Contexts()
{
    static auto* contexts = new PaintContexts;
    return *contexts;
}

HDC OpenContext(HWND hwnd)
{
    PaintContexts& contexts = Contexts();
    std::lock_guard<std::mutex> guard(contexts.lock);
    HDC hdc = reinterpret_cast<HDC>(contexts.next++);
    contexts.open[hdc] = hwnd;
    return hdc;
}

void CloseContext(HDC hdc)
{
    PaintContexts& contexts = Contexts();
    std::lock_guard<std::mutex> guard(contexts.lock);
    contexts.open.erase(hdc);
}

HWND WindowOfContext(HDC hdc)
{
    PaintContexts& contexts = Contexts();
    std::lock_guard<std::mutex> guard(contexts.lock);
    auto found = contexts.open.find(hdc);
    return found == contexts.open.end() ? nullptr : found->second;
}

}  // namespace
}  // namespace platform

using namespace platform;

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(hWnd);
    if (!window)
        return FALSE;
    window->needsPaint = true;
    ++window->queue->arrivals;  // wakes the thread to paint
    WakeQueueLocked(*window->queue);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    if (!lpPaint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    RECT client;
    {
        std::lock_guard<std::mutex> guard(UserLock());
        Window* window = WindowOrFailLocked(hWnd);
        if (!window)
            return nullptr;
        window->needsPaint = false;
        SIZE size = ClientSizeLocked(*window);
        client = RECT{0, 0, size.cx, size.cy};
    }
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = OpenContext(hWnd);
    lpPaint->rcPaint = client;
    return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* lpPaint)
{
    if (lpPaint)
        CloseContext(lpPaint->hdc);
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon)
{
    HWND hwnd = WindowOfContext(hDC);
    if (!hwnd || !hIcon)
        return Fail(ERROR_INVALID_HANDLE);
    CurrentWindowView().IconDrawn(hwnd, X, Y, hIcon);
    return TRUE;
}
