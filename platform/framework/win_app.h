// The application object and the framework's global services: the program
// entry that runs it, message boxes captioned with the application's
// title, and the start-up of sockets and control hosting.
#pragma once

#include "platform/framework/wnd.h"

#define ID_HELP 0xE146

class CWinApp : public CCmdTarget {
public:
    // Makes this the application; a null name is taken from the program's
    // file name when the program starts.
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    // The message loop, for an application that returns TRUE from
    // InitInstance. Returns ExitInstance's code.
    virtual int Run();
    virtual int ExitInstance();

    // Keeps the name of the registry key for profile settings; nothing is
    // read or stored under it.
    void SetRegistryKey(LPCWSTR lpszRegistryKey);

    // The default Help command: the program has no help file to show.
    afx_msg void OnHelp();

    LPCWSTR m_pszAppName = nullptr;
    LPCWSTR m_pszRegistryKey = nullptr;
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 0;

    DECLARE_MESSAGE_MAP()

private:
    friend int AfxWinMain(HINSTANCE, HINSTANCE, LPWSTR, int);
    void TakeTitleFromProgramName();

    CString m_strGivenName;
    CString m_strAppName;
    CString m_strRegistryKey;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// Runs the application object: InitInstance, then Run when it returns
// TRUE. Returns the program's exit code.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

// A message box over the main window, captioned with the application's
// title. An OK or OK/Cancel box without an icon gets the exclamation mark,
// a Yes/No one the question mark. Returns the button pressed.
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// The same with string nIDPrompt of the string table.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = UINT(-1));

// Starts Windows Sockets for the program's life. FALSE when they cannot
// be started.
BOOL AfxSocketInit(WSADATA* lpwsaData = nullptr);
// Lets dialogs host embedded controls; the framework's dialogs hold none.
void AfxEnableControlContainer();
