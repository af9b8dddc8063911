// The progress display: the worker's reports turned into the status line,
// the progress bar and, at a job's end, the idle buttons. Runs on the
// worker thread; each change reaches the controls as a message sent to the
// dialog's thread, so it is on screen before the worker goes on.
#include "ui/corvane_dlg.h"
#include "ui/status_text.h"

void OnCopyProgress(CopyProgress* progress)
{
    CCorvaneDlg* dlg = static_cast<CCorvaneDlg*>(progress->pOwner);
    CString text;
    if (!FormatCopyStatus(progress, text))
        return;  // a report of no known state changes nothing
    switch (progress->nState) {
    case CopyStateError:
        dlg->m_status.SetWindowText(text);
        dlg->ResetCopyButtons();
        break;
    case CopyStateStarted:
        dlg->m_progress.SetRange32(0, progress->nTotalFiles);
        dlg->m_status.SetWindowText(text);
        break;
    case CopyStateCopying:
        dlg->m_status.SetWindowText(text);
        dlg->m_progress.SetPos(progress->nCopiedFiles);
        break;
    case CopyStateFinished:
        dlg->m_status.SetWindowText(text);
        dlg->ResetCopyButtons();
        break;
    }
}

void CCorvaneDlg::ResetCopyButtons()
{
    m_bRunning = 0;
    m_btnStart.EnableWindow(TRUE);
    m_btnStop.EnableWindow(m_bRunning);
}
