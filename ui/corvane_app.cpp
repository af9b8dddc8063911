#include "ui/corvane_app.h"

#include "ui/corvane_dlg.h"

BEGIN_MESSAGE_MAP(CCorvaneApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CCorvaneApp theApp;

CCorvaneApp::CCorvaneApp()
{
}

CCorvaneApp::~CCorvaneApp()
{
}

// Returns FALSE, so that the program ends when the dialog has closed
// instead of entering a message loop of its own.
BOOL CCorvaneApp::InitInstance()
{
    INITCOMMONCONTROLSEX InitCtrls;
    InitCtrls.dwSize = sizeof(InitCtrls);
    InitCtrls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&InitCtrls);

    CWinApp::InitInstance();

    if (!AfxSocketInit()) {
        AfxMessageBox(IDP_SOCKETS_INIT_FAILED);
        return FALSE;
    }
    AfxEnableControlContainer();
    SetRegistryKey(_T("应用程序向导生成的本地应用程序"));

    CCorvaneDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
