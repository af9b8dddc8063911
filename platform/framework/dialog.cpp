#include "platform/framework/dialog.h"

#include <cstring>

#include "platform/framework/win_app.h"

namespace {

// The results of these messages go back as the dialog procedure's own;
// those of all others through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    return message == WM_INITDIALOG || message == WM_QUERYDRAGICON;
}

// An extended dialog template begins with its version 1 and 0xFFFF; its
// position follows the help id, the styles and the item count.
struct ExtendedTemplateStart {
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
    WORD cDlgItems;
    short x;
    short y;
};

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEW(nIDTemplate)), m_pParentWnd(pParentWnd)
{
}

INT_PTR CDialog::DoModal()
{
    HWND parent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    return ::DialogBoxParamW(AfxGetResourceHandle(), m_lpszTemplateName, parent, AfxDlgProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode)
{
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode);
}

BOOL CDialog::HandleInitDialog(HWND hWnd)
{
    Attach(hWnd);
    BOOL focusFirstTabStop = OnInitDialog();
    if (TemplateAsksForCentring())
        CenterWindow();
    return focusFirstTabStop;
}

bool CDialog::TemplateAsksForCentring() const
{
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(instance, m_lpszTemplateName, RT_DIALOG);
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data || ::SizeofResource(instance, found) < sizeof(ExtendedTemplateStart))
        return false;
    ExtendedTemplateStart start;
    memcpy(&start, data, sizeof start);
    bool extended = start.dlgVer == 1 && start.signature == 0xFFFF;
    bool placed = (start.style & (DS_CENTER | DS_ABSALIGN)) != 0;
    return extended && !placed && start.x == 0 && start.y == 0;
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return reinterpret_cast<CDialog*>(lParam)->HandleInitDialog(hWnd);
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (!wnd)
        return FALSE;
    LRESULT result = 0;
    BOOL handled = wnd->OnWndMsg(message, wParam, lParam, &result);
    if (message == WM_NCDESTROY)
        wnd->Detach();
    if (!handled)
        return FALSE;
    if (ReturnsResultDirectly(message))
        return result;
    ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
