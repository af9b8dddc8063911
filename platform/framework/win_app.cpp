#include "platform/framework/win_app.h"

namespace {

CWinApp* g_app = nullptr;
bool g_socketsStarted = false;

// The file name of path without its folder and its extension.
CString BaseNameWithoutExtension(LPCWSTR path)
{
    LPCWSTR name = path;
    for (LPCWSTR p = path; *p; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    LPCWSTR end = name + std::char_traits<WCHAR>::length(name);
    for (LPCWSTR p = end - 1; p > name; --p) {
        if (*p == '.') {
            end = p;
            break;
        }
    }
    return CString(name, int(end - name));
}

void StopSockets()
{
    if (g_socketsStarted)
        ::WSACleanup();
    g_socketsStarted = false;
}

UINT WithDefaultIcon(UINT nType)
{
    if (nType & MB_ICONMASK)
        return nType;
    switch (nType & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL: return nType | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL: return nType | MB_ICONQUESTION;
    default: return nType;
    }
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCWSTR lpszAppName) : m_strGivenName(lpszAppName)
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey)
{
    m_strRegistryKey = lpszRegistryKey;
    m_pszRegistryKey = m_strRegistryKey;
}

void CWinApp::OnHelp()
{
}

void CWinApp::TakeTitleFromProgramName()
{
    if (!m_strGivenName.IsEmpty()) {
        m_strAppName = m_strGivenName;
    } else {
        WCHAR path[MAX_PATH * 4] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
        m_strAppName = BaseNameWithoutExtension(path);
    }
    m_pszAppName = m_strAppName;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app ? g_app->m_hInstance : nullptr;
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nCmdShow)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = lpCmdLine;
    app->m_nCmdShow = nCmdShow;
    app->m_pMainWnd = nullptr;
    app->TakeTitleFromProgramName();
    int exitCode = app->InitInstance() ? app->Run() : app->ExitInstance();
    app->m_pMainWnd = nullptr;
    StopSockets();
    return exitCode;
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT)
{
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    return ::MessageBoxW(owner, lpszText, app ? app->m_pszAppName : nullptr, WithDefaultIcon(nType));
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType, nIDHelp);
}

BOOL AfxSocketInit(WSADATA* lpwsaData)
{
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), lpwsaData ? lpwsaData : &data) != 0)
        return FALSE;
    StopSockets();  // one start-up at a time
    g_socketsStarted = true;
    return TRUE;
}

void AfxEnableControlContainer()
{
}
