// A window object: a C++ object attached to a window handle, which
// receives the window's messages through its message map.
#pragma once

#include "platform/framework/cstring.h"
#include "platform/framework/message_map.h"

class CDataExchange;

// Copies the whole text of the window hWnd into rString.
void AfxGetWindowText(HWND hWnd, CString& rString);

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    // Detaches the handle; the window itself belongs to whoever made it.
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Attaches the object to hWnd, so that FromHandlePermanent finds it.
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // The object attached to hWnd on the calling thread, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL EnableWindow(BOOL bEnable = TRUE);
    void SetWindowText(LPCWSTR lpszString);
    void GetWindowText(CString& rString) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    // Centres the window on the screen.
    void CenterWindow();

    // Runs DoDataExchange: from the controls into the members when
    // bSaveAndValidate, else the other way. FALSE when the exchange failed.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Handles message through the message map. FALSE when no entry takes it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void DoDataExchange(CDataExchange* pDX);

    afx_msg void OnPaint();
};
