// Message boxes: a top-level window of its own, owned by the window that
// asks, which stays disabled until the person answers. The view shows the
// box and ends its modal loop with the button pressed; meanwhile the loop
// handles the thread's messages, sent ones included.
#include <mutex>

#include "platform/linux/errors.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

const char16_t kMessageBoxClass[] = u"corvane.MessageBox";

struct OpenMessageBox {
    std::u16string text;
    UINT type;
};

bool HasKnownButtons(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_YESNO: return true;
    default: return false;
    }
}

// The title bar's close button answers like the box's Cancel button, or
// like OK for a box that has only OK; a Yes/No box cannot be closed.
INT_PTR CloseAnswer(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL: return IDCANCEL;
    default: return 0;
    }
}

LRESULT CALLBACK MessageBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: KeepCreationParameter(hwnd, lParam); break;
    case WM_CLOSE: {
        auto* box = reinterpret_cast<const OpenMessageBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (INT_PTR answer = box ? CloseAnswer(box->type) : 0)
            EndModalLoop(hwnd, answer);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateMessageBoxWindow(HWND owner, LPCWSTR caption, OpenMessageBox* box)
{
    const int width = 360;
    const int height = 160;
    DisplayMetrics metrics = CurrentWindowView().Metrics();
    return CreateWindowExW(0, kMessageBoxClass, caption ? caption : u"错误",
                           WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                           (metrics.screenWidth - width) / 2, (metrics.screenHeight - height) / 2,
                           width, height, owner, nullptr, nullptr, box);
}

}  // namespace

bool DescribeMessageBox(HWND hwnd, MessageBoxContent* content)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    if (!window || window->className != kMessageBoxClass || !window->userData || !content)
        return false;
    auto* box = reinterpret_cast<const OpenMessageBox*>(window->userData);
    *content = MessageBoxContent{window->text, box->text, box->type};
    return true;
}

}  // namespace platform

using namespace platform;

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    if (!HasKnownButtons(uType) || (hWnd && !IsWindow(hWnd)))
        return Fail(hWnd && !IsWindow(hWnd) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    RegisterInternalClass(kMessageBoxClass, MessageBoxProc);
    OpenMessageBox box{lpText ? lpText : u"", uType};
    DisabledOwner disabled(hWnd);
    HWND hwnd = CreateMessageBoxWindow(hWnd, lpCaption, &box);
    return hwnd ? int(RunModalWindow(hwnd, false, disabled)) : 0;
}
