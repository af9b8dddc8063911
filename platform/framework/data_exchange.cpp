#include "platform/framework/data_exchange.h"

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND control = m_bFailed ? nullptr : ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC);
    if (!control)
        Fail();
    return control;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.GetSafeHwnd())
        return;
    if (HWND control = pDX->PrepareCtrl(nIDC))
        rControl.Attach(control);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate)
        AfxGetWindowText(control, value);
    else
        ::SetWindowTextW(control, value);
}
