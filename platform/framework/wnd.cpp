#include "platform/framework/wnd.h"

#include <map>

#include "platform/framework/data_exchange.h"
#include "platform/framework/paint_dc.h"

namespace {

// Window objects belong to the thread that attached them, like the
// windows they stand for.
std::map<HWND, CWnd*>& AttachedWindows()
{
    thread_local std::map<HWND, CWnd*> attached;
    return attached;
}

LONG Width(const RECT& rect)
{
    return rect.right - rect.left;
}

LONG Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

}  // namespace

CWnd::~CWnd()
{
    Detach();
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (!hWndNew || m_hWnd)
        return FALSE;
    m_hWnd = hWndNew;
    AttachedWindows()[hWndNew] = this;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd) {
        auto& attached = AttachedWindows();
        auto found = attached.find(hWnd);
        if (found != attached.end() && found->second == this)
            attached.erase(found);
    }
    m_hWnd = nullptr;
    return hWnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    auto& attached = AttachedWindows();
    auto found = attached.find(hWnd);
    return found == attached.end() ? nullptr : found->second;
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    return ::EnableWindow(m_hWnd, bEnable);
}

void CWnd::SetWindowText(LPCWSTR lpszString)
{
    ::SetWindowTextW(m_hWnd, lpszString);
}

void AfxGetWindowText(HWND hWnd, CString& rString)
{
    int length = ::GetWindowTextLengthW(hWnd);
    ::GetWindowTextW(hWnd, rString.GetBuffer(length), length + 1);
    rString.ReleaseBuffer();
}

void CWnd::GetWindowText(CString& rString) const
{
    AfxGetWindowText(m_hWnd, rString);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                               reinterpret_cast<LPARAM>(hIcon)));
}

void CWnd::CenterWindow()
{
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    int x = (::GetSystemMetrics(SM_CXSCREEN) - Width(window)) / 2;
    int y = (::GetSystemMetrics(SM_CYSCREEN) - Height(window)) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0, 0);
    if (!entry)
        return FALSE;
    *pResult = entry->pfnHandler(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

void CWnd::OnPaint()
{
    CPaintDC dc(this);  // painting nothing still ends the need to paint
}
