// Dialog data exchange: copying between a dialog's controls and its
// members, in one direction or the other.
#pragma once

#include "platform/framework/wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    BOOL m_bSaveAndValidate;  // TRUE: from the controls into the members
    CWnd* m_pDlgWnd;
    BOOL m_bFailed = FALSE;

    // The control nIDC of the dialog; null, failing the exchange, when
    // there is none.
    HWND PrepareCtrl(int nIDC);
    void Fail() { m_bFailed = TRUE; }
};

// Attaches rControl to the control nIDC, the first time only.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Copies the whole text of control nIDC to or from value.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
