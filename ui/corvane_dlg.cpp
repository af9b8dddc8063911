#include "ui/corvane_dlg.h"

namespace {

// The folder browser's buffer: MAX_PATH units and one more.
const int BROWSE_PATH_CCH = MAX_PATH + 1;

}  // namespace

BEGIN_MESSAGE_MAP(CCorvaneDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDOK, &CCorvaneDlg::OnIgnoreCommand)
    ON_BN_CLICKED(IDCANCEL, &CCorvaneDlg::OnIgnoreCommand)
    ON_BN_CLICKED(IDC_START, &CCorvaneDlg::OnBnClickedStart)
    ON_BN_CLICKED(IDC_STOP, &CCorvaneDlg::OnBnClickedStop)
    ON_WM_CLOSE()
    ON_BN_CLICKED(IDC_BROWSE_SOURCE, &CCorvaneDlg::OnBnClickedBrowseSource)
    ON_BN_CLICKED(IDC_BROWSE_TARGET, &CCorvaneDlg::OnBnClickedBrowseTarget)
END_MESSAGE_MAP()

CCorvaneDlg::CCorvaneDlg() : CDialog(CCorvaneDlg::IDD, nullptr), m_job(), m_bRunning(0)
{
    m_hIcon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

// A job that ended by itself still holds its stop event and thread handle.
CCorvaneDlg::~CCorvaneDlg()
{
    if (m_job.hThread)
        StopCopyJob(&m_job, nullptr);
}

void CCorvaneDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_START, m_btnStart);
    DDX_Control(pDX, IDC_STOP, m_btnStop);
    DDX_Text(pDX, IDC_SOURCE_EDIT, m_strSource);
    DDX_Text(pDX, IDC_TARGET_EDIT, m_strTarget);
    DDX_Control(pDX, IDC_COPY_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_BROWSE_SOURCE, m_btnBrowseSource);
    DDX_Control(pDX, IDC_BROWSE_TARGET, m_btnBrowseTarget);
    DDX_Control(pDX, IDC_STATUS, m_status);
    DDX_Control(pDX, IDC_SOURCE_EDIT, m_editSource);
    DDX_Control(pDX, IDC_TARGET_EDIT, m_editTarget);
}

BOOL CCorvaneDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    return TRUE;
}

void CCorvaneDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CCorvaneDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

// Enter and Escape neither start a copy nor close the dialog.
void CCorvaneDlg::OnIgnoreCommand()
{
}

BOOL CCorvaneDlg::IsJobRunning() const
{
    if (!m_job.hThread)
        return FALSE;
    DWORD exitCode = 0;
    GetExitCodeThread(m_job.hThread, &exitCode);
    return exitCode == STILL_ACTIVE;
}

BOOL CCorvaneDlg::FolderFitsJob(const CString& strFolder, LPCWSTR szWhich)
{
    if (strFolder.GetLength() < COPY_PATH_CCH)
        return TRUE;
    CString message;
    message.Format(_T("%s太长(最多%d个字符)!"), szWhich, COPY_PATH_CCH - 1);
    AfxMessageBox(message, MB_OK, 0);
    return FALSE;
}

void CCorvaneDlg::OnBnClickedStart()
{
    if (!UpdateData(TRUE))
        return;
    if (m_strSource.GetLength() == 0) {
        AfxMessageBox(_T("请输入源路径!"), MB_OK, 0);
        return;
    }
    if (m_strTarget.GetLength() == 0) {
        AfxMessageBox(_T("请输入目的路径!"), MB_OK, 0);
        return;
    }
    if (!FolderFitsJob(m_strSource, _T("源路径")) || !FolderFitsJob(m_strTarget, _T("目的路径")))
        return;
    if (m_job.hThread)
        StopCopyJob(&m_job, m_hWnd);  // the last job ended by itself: release its handles
    m_progressInfo.pOwner = this;
    BOOL started = StartCopyJob(m_strSource, &m_job, OnCopyProgress, &m_progressInfo, m_strTarget);
    m_bRunning = started;
    m_btnStart.EnableWindow(started == 0);
    m_btnStop.EnableWindow(m_bRunning);
}

void CCorvaneDlg::OnBnClickedStop()
{
    if (!IsJobRunning())
        return;
    if (AfxMessageBox(_T("确定要停止复制吗?"), MB_YESNO | MB_ICONQUESTION, 0) != IDYES)
        return;
    StopCopyJob(&m_job, m_hWnd);
    m_bRunning = 0;
    m_btnStart.EnableWindow(TRUE);
    m_btnStop.EnableWindow(m_bRunning);
}

void CCorvaneDlg::OnClose()
{
    if (!IsJobRunning()) {
        CDialog::OnCancel();
        return;
    }
    if (AfxMessageBox(_T("确定要退出吗?"), MB_YESNO | MB_ICONQUESTION, 0) != IDYES)
        return;
    StopCopyJob(&m_job, m_hWnd);
    CDialog::OnCancel();
}

void CCorvaneDlg::OnBnClickedBrowseSource()
{
    BrowseForFolder(_T("请选择源路径:"), m_editSource);
}

void CCorvaneDlg::OnBnClickedBrowseTarget()
{
    BrowseForFolder(_T("请选择目的路径:"), m_editTarget);
}

void CCorvaneDlg::BrowseForFolder(LPCWSTR szTitle, CEdit& edit)
{
    WCHAR szPath[BROWSE_PATH_CCH] = {};
    BROWSEINFOW bi = {};
    bi.hwndOwner = m_hWnd;
    bi.lpszTitle = szTitle;
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    if (!pidl)
        return;
    if (SHGetPathFromIDListW(pidl, szPath))
        edit.SetWindowText(szPath);
    CoTaskMemFree(pidl);
}
