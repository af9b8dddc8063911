#include "ui/status_text.h"

BOOL FormatCopyStatus(const CopyProgress* pProgress, CString& strText)
{
    switch (pProgress->nState) {
    case CopyStateError:
        strText.Format(_T("复制%s错误,(错误号:%d)"), pProgress->szCurrentFile, pProgress->nError);
        return TRUE;
    case CopyStateStarted:
        strText.Format(_T("开始复制文件(共%d个文件)"), pProgress->nTotalFiles);
        return TRUE;
    case CopyStateCopying:
        strText.Format(_T("复制%s中..."), pProgress->szCurrentFile);
        return TRUE;
    case CopyStateFinished:
        strText.Format(_T("复制完毕(共%d个文件,复制了%d个文件)"), pProgress->nTotalFiles,
                       pProgress->nCopiedFiles);
        return TRUE;
    default:
        return FALSE;
    }
}
