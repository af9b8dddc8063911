// The predefined controls the dialogs use: static text, single-line edit
// field, push button, and the common controls' progress bar. Each keeps
// its state in the window, so views read it from there.
#include <algorithm>
#include <mutex>

#include "platform/api/commctrl.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

void NotifyParent(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                     reinterpret_cast<LPARAM>(control));
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE)
        return DLGC_STATIC;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Edit field: typing appends at the end of the text.

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

void EraseLastCharacter(std::u16string& text)
{
    if (text.empty())
        return;
    bool pair = text.size() >= 2 && IsLowSurrogate(text.back()) &&
                IsHighSurrogate(text[text.size() - 2]);
    text.resize(text.size() - (pair ? 2 : 1));
}

void TypeCharacter(HWND hwnd, char16_t unit)
{
    if (unit != VK_BACK && unit < 0x20)
        return;  // other control characters are not text
    bool changed = ChangeWindow(hwnd, WindowChange::Text, [unit](Window& window) {
        size_t before = window.text.size();
        if (unit == VK_BACK)
            EraseLastCharacter(window.text);
        else
            window.text.push_back(unit);
        return window.text.size() != before;
    });
    if (changed)
        NotifyParent(hwnd, EN_CHANGE);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: SetFocus(hwnd); return 0;
    case WM_CHAR: TypeCharacter(hwnd, char16_t(wParam)); return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---- Push button: a press and a release on it, or BM_CLICK, click it.

void Click(HWND hwnd)
{
    if (IsWindowEnabled(hwnd))
        NotifyParent(hwnd, BN_CLICKED);
}

bool SetPressed(HWND hwnd, bool pressed)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    if (!window)
        return false;
    bool was = window->pressed;
    window->pressed = pressed;
    return was;
}

LRESULT ButtonDialogCode(HWND hwnd)
{
    bool isDefault = (GetWindowLongPtrW(hwnd, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON;
    return DLGC_BUTTON | (isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE: return ButtonDialogCode(hwnd);
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        SetPressed(hwnd, true);
        return 0;
    case WM_LBUTTONUP:
        if (SetPressed(hwnd, false))
            Click(hwnd);
        return 0;
    case BM_CLICK: Click(hwnd); return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---- Progress bar: a range and a position kept inside it.

LRESULT SetRange(HWND hwnd, int low, int high)
{
    LRESULT previous = 0;
    ChangeWindow(hwnd, WindowChange::Progress, [&](Window& window) {
        previous = MAKELONG(window.rangeLow, window.rangeHigh);
        window.rangeLow = low;
        window.rangeHigh = high;
        window.position = std::max(low, std::min(high, window.position));
        return true;
    });
    return previous;
}

LRESULT SetPosition(HWND hwnd, int position)
{
    LRESULT previous = 0;
    ChangeWindow(hwnd, WindowChange::Progress, [&](Window& window) {
        previous = window.position;
        window.position = std::max(window.rangeLow, std::min(window.rangeHigh, position));
        return window.position != previous;
    });
    return previous;
}

LRESULT GetRange(HWND hwnd, bool wantLow, PBRANGE* range)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    if (!window)
        return 0;
    if (range)
        *range = PBRANGE{window->rangeLow, window->rangeHigh};
    return wantLow ? window->rangeLow : window->rangeHigh;
}

LRESULT GetPosition(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    return window ? window->position : 0;
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case PBM_SETRANGE: return SetRange(hwnd, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32: return SetRange(hwnd, int(wParam), int(lParam));
    case PBM_SETPOS: return SetPosition(hwnd, int(wParam));
    case PBM_GETRANGE: return GetRange(hwnd, wParam != 0, reinterpret_cast<PBRANGE*>(lParam));
    case PBM_GETPOS: return GetPosition(hwnd);
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

void RegisterInternalClass(const char16_t* name, WNDPROC proc, int extraBytes)
{
    WNDCLASSW cls = {};
    cls.lpfnWndProc = proc;
    cls.cbWndExtra = extraBytes;
    cls.lpszClassName = name;
    RegisterClassW(&cls);
}

void KeepCreationParameter(HWND hwnd, LPARAM createStruct)
{
    auto* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
}

const char16_t kDialogClass[] = u"#32770";

void RegisterSystemClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterInternalClass(u"Static", StaticProc);
        RegisterInternalClass(u"Edit", EditProc);
        RegisterInternalClass(u"Button", ButtonProc);
        RegisterInternalClass(kDialogClass, DefDlgProcW, DLGWINDOWEXTRA);
    });
}

void RegisterProgressClass()
{
    static std::once_flag once;
    std::call_once(once, [] { RegisterInternalClass(PROGRESS_CLASSW, ProgressProc); });
}

}  // namespace platform

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce)
{
    if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    if (picce->dwICC & ICC_PROGRESS_CLASS)
        platform::RegisterProgressClass();
    return TRUE;
}
