// Dialogs: made from a template in the program's resources, run modally,
// with the dialog keys (Tab, Enter, Escape) and the default handling of
// the dialog class.
#include <algorithm>
#include <vector>

#include "platform/api/kernel.h"
#include "platform/api/resource.h"
#include "platform/linux/dialog_template.h"
#include "platform/linux/errors.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

int MulDivRounded(int value, int numerator, int denominator)
{
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

RECT DialogUnitsToPixels(SIZE units, RECT rect)
{
    return RECT{MulDivRounded(rect.left, units.cx, 4), MulDivRounded(rect.top, units.cy, 8),
                MulDivRounded(rect.right, units.cx, 4), MulDivRounded(rect.bottom, units.cy, 8)};
}

RECT TemplateRect(short x, short y, short cx, short cy)
{
    return RECT{x, y, x + cx, y + cy};
}

bool LoadDialogTemplate(HINSTANCE instance, LPCWSTR name, DialogTemplate* parsed)
{
    HRSRC found = FindResourceW(instance, name, RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    if (!ParseDialogTemplate(data, SizeofResource(instance, found), parsed))
        return Fail(ERROR_INVALID_DATA);
    return true;
}

SIZE BaseUnitsOf(const DialogTemplate& dialog)
{
    const int systemFontPoints = 9;
    DialogFontMetrics font = CurrentWindowView().MeasureDialogFont(
        dialog.hasFont ? dialog.typeface : u"System", dialog.hasFont ? dialog.pointSize : systemFontPoints);
    return SIZE{font.averageCharWidth, font.height};
}

void SetDialogUnits(HWND dialog, SIZE units)
{
    std::lock_guard<std::mutex> guard(UserLock());
    if (Window* window = FindWindowLocked(dialog))
        window->dialogUnits = units;
}

// Creates the dialog window, hidden, at the template's place and size.
HWND CreateDialogWindow(const DialogTemplate& dialog, SIZE units, HWND owner, HINSTANCE instance)
{
    DWORD style = dialog.style & ~DWORD(WS_VISIBLE);
    RECT client = DialogUnitsToPixels(units, TemplateRect(dialog.x, dialog.y, dialog.cx, dialog.cy));
    RECT frame = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    AdjustWindowRectEx(&frame, style, FALSE, dialog.exStyle);
    LPCWSTR className = dialog.className.empty() ? kDialogClass : dialog.className.c_str();
    HWND hwnd = CreateWindowExW(dialog.exStyle, className, dialog.title.c_str(), style, client.left,
                                client.top, frame.right - frame.left, frame.bottom - frame.top,
                                owner, nullptr, instance, nullptr);
    if (hwnd)
        SetDialogUnits(hwnd, units);
    return hwnd;
}

bool CreateControls(HWND hwnd, const DialogTemplate& dialog, SIZE units, HINSTANCE instance)
{
    for (const DialogItemTemplate& item : dialog.items) {
        RECT place = DialogUnitsToPixels(units, TemplateRect(item.x, item.y, item.cx, item.cy));
        HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id));
        HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.title.c_str(),
                                       item.style, place.left, place.top, place.right - place.left,
                                       place.bottom - place.top, hwnd, id, instance, nullptr);
        if (!control)
            return false;
    }
    return true;
}

// Sends WM_INITDIALOG and gives the focus to the first tab stop when the
// dialog procedure asks for it.
void InitializeDialog(HWND hwnd, LPARAM param)
{
    HWND firstTabStop = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    LRESULT wantsFocus = SendMessageW(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), param);
    if (wantsFocus && firstTabStop && IsWindow(firstTabStop))
        SetFocus(firstTabStop);
}

HWND CreateDialogFromTemplate(const DialogTemplate& dialog, HWND owner, DLGPROC proc,
                              LPARAM param, HINSTANCE instance)
{
    SIZE units = BaseUnitsOf(dialog);
    HWND hwnd = CreateDialogWindow(dialog, units, owner, instance);
    if (!hwnd)
        return nullptr;
    SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (!CreateControls(hwnd, dialog, units, instance)) {
        DWORD error = GetLastError();
        DestroyWindow(hwnd);
        SetLastError(error);
        return nullptr;
    }
    InitializeDialog(hwnd, param);
    if (IsWindow(hwnd) && (dialog.style & WS_VISIBLE))
        ShowWindow(hwnd, SW_SHOWNORMAL);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

std::vector<WindowSnapshot> ChildrenOf(HWND hwnd)
{
    std::vector<WindowSnapshot> children;
    for (WindowSnapshot& window : SnapshotAllWindows()) {
        if (window.parent == hwnd)
            children.push_back(window);
    }
    return children;
}

bool IsTabStop(const WindowSnapshot& control)
{
    return (control.style & WS_TABSTOP) && control.visible() && control.enabled();
}

bool IsInDialog(HWND dialog, HWND hwnd)
{
    if (hwnd == dialog)
        return true;
    std::lock_guard<std::mutex> guard(UserLock());
    return IsDescendantLocked(hwnd, dialog);
}

// The id Enter stands for: that of the default push button, else IDOK.
int DefaultCommandId(HWND dialog)
{
    for (const WindowSnapshot& control : ChildrenOf(dialog)) {
        if (SameClassName(control.className, u"Button") && (control.style & 0xF) == BS_DEFPUSHBUTTON)
            return control.id;
    }
    return IDOK;
}

// As if the button id had been clicked; a disabled button does nothing.
void SendDialogCommand(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button))
        return;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Handles a key the dialog takes for itself; false for any other key.
bool HandleDialogKey(HWND dialog, const MSG& msg)
{
    LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (code & DLGC_WANTALLKEYS)
        return false;
    switch (msg.wParam) {
    case VK_TAB:
        if (code & DLGC_WANTTAB)
            return false;
        if (HWND next = GetNextDlgTabItem(dialog, GetFocus(), FALSE))
            SetFocus(next);
        return true;
    case VK_RETURN: SendDialogCommand(dialog, DefaultCommandId(dialog)); return true;
    case VK_ESCAPE: SendDialogCommand(dialog, IDCANCEL); return true;
    default: return false;
    }
}

// Results of these messages are the dialog procedure's own return value.
bool ReturnsResultDirectly(UINT message)
{
    return message == WM_INITDIALOG || message == WM_QUERYDRAGICON;
}

LRESULT DefaultDialogHandling(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        // As the dialog's Cancel button would: posted, and not at all when
        // that button is disabled.
        if (HWND cancel = GetDlgItem(hwnd, IDCANCEL); !cancel || IsWindowEnabled(cancel))
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    case WM_INITDIALOG: return TRUE;
    case WM_GETDLGCODE: return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace
}  // namespace platform

using namespace platform;

INT_PTR WINAPI DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    DialogTemplate dialog;
    if (!LoadDialogTemplate(hInstance, lpTemplateName, &dialog))
        return -1;
    DisabledOwner disabled(hWndParent);
    HWND hwnd = CreateDialogFromTemplate(dialog, hWndParent, lpDialogFunc, dwInitParam, hInstance);
    return hwnd ? RunModalWindow(hwnd, true, disabled) : -1;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    if (!IsWindow(hDlg))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    return EndModalLoop(hDlg, nResult);
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    for (const WindowSnapshot& control : ChildrenOf(hDlg)) {
        if (control.id == nIDDlgItem)
            return control.hwnd;
    }
    SetLastError(IsWindow(hDlg) ? ERROR_CONTROL_ID_NOT_FOUND : ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd)
{
    WindowSnapshot window;
    if (!SnapshotWindow(hWnd, &window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return window.parent ? window.id : 0;
}

HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    std::vector<WindowSnapshot> order = ChildrenOf(hDlg);
    if (bPrevious)
        std::reverse(order.begin(), order.end());
    auto current = std::find_if(order.begin(), order.end(),
                                [hCtl](const WindowSnapshot& c) { return c.hwnd == hCtl; });
    size_t start = current == order.end() ? 0 : size_t(current - order.begin()) + 1;
    for (size_t step = 0; step < order.size(); ++step) {
        const WindowSnapshot& candidate = order[(start + step) % order.size()];
        if (IsTabStop(candidate))
            return candidate.hwnd;
    }
    return hCtl;
}

BOOL WINAPI IsDialogMessageW(HWND hDlg, LPMSG lpMsg)
{
    if (!lpMsg || !lpMsg->hwnd || !IsInDialog(hDlg, lpMsg->hwnd))
        return FALSE;
    if (lpMsg->message == WM_KEYDOWN && AcceptsInput(lpMsg->hwnd) && HandleDialogKey(hDlg, *lpMsg))
        return TRUE;
    TranslateMessage(lpMsg);
    DispatchMessageW(lpMsg);
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect)
{
    if (!lpRect)
        return Fail(ERROR_INVALID_PARAMETER);
    SIZE units;
    {
        std::lock_guard<std::mutex> guard(UserLock());
        Window* window = WindowOrFailLocked(hDlg);
        if (!window)
            return FALSE;
        units = window->dialogUnits;
    }
    *lpRect = DialogUnitsToPixels(units, *lpRect);
    return TRUE;
}

LRESULT WINAPI DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hDlg, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
        INT_PTR handled = proc(hDlg, Msg, wParam, lParam);
        if (ReturnsResultDirectly(Msg) && (handled || Msg == WM_INITDIALOG))
            return handled;
        if (handled)
            return IsWindow(hDlg) ? GetWindowLongPtrW(hDlg, DWLP_MSGRESULT) : 0;
    }
    return DefaultDialogHandling(hDlg, Msg, wParam, lParam);
}
