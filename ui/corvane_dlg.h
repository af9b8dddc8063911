// The main dialog: the two folder fields with their browse buttons, the
// progress bar, the status line, and the Start and Stop buttons. It owns
// one copy job and one progress record for its whole life.
#pragma once

#include "engine/copy_job.h"
#include "platform/framework/afx.h"
#include "res/resource.h"

class CCorvaneDlg : public CDialog {
public:
    CCorvaneDlg();
    ~CCorvaneDlg() override;

    enum { IDD = IDD_MAIN };

    // Puts the buttons and the running flag back to idle at a job's end.
    void ResetCopyButtons();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnIgnoreCommand();
    afx_msg void OnBnClickedStart();
    afx_msg void OnBnClickedStop();
    afx_msg void OnClose();
    afx_msg void OnBnClickedBrowseSource();
    afx_msg void OnBnClickedBrowseTarget();

    DECLARE_MESSAGE_MAP()

private:
    friend void OnCopyProgress(CopyProgress* progress);

    // A job runs while its worker thread has not ended.
    BOOL IsJobRunning() const;
    // Shows a message and returns FALSE when a folder text is longer than
    // a job can take.
    BOOL FolderFitsJob(const CString& strFolder, LPCWSTR szWhich);
    void BrowseForFolder(LPCWSTR szTitle, CEdit& edit);

    HICON m_hIcon;
    CopyJob m_job;
    BOOL m_bRunning;
    CopyProgress m_progressInfo;
    CButton m_btnStart;
    CButton m_btnStop;
    CString m_strSource;
    CString m_strTarget;
    CProgressCtrl m_progress;
    CButton m_btnBrowseSource;
    CButton m_btnBrowseTarget;
    CStatic m_status;
    CEdit m_editSource;
    CEdit m_editTarget;
};

// The progress callback of the dialog's jobs; runs on the worker thread.
void OnCopyProgress(CopyProgress* progress);
