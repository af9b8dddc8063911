#include "engine/copy_job.h"

#include <new>

#include "engine/sparse_ops.h"

namespace {

void Report(CopyJob* pJob)
{
    pJob->pfnProgress(pJob->pProgress);
}

void ReportError(CopyJob* pJob, CopyError nError)
{
    pJob->pProgress->nState = CopyStateError;
    pJob->pProgress->nError = nError;
    Report(pJob);
}

// Only a signalled event counts as a stop; a failed wait lets the work go on.
bool StopRequested(CopyJob* pJob)
{
    return WaitForSingleObject(pJob->hStopEvent, 0) == WAIT_OBJECT_0;
}

bool ComposePath(LPWSTR szPath, LPCWSTR szFolder, LPCWSTR szName)
{
    return SUCCEEDED(StringCchPrintfW(szPath, COPY_PATH_CCH, _T("%s\\%s"), szFolder, szName));
}

bool IsSparseFile(LPCWSTR szPath)
{
    HANDLE hFile = CreateFileW(szPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL bKnown = GetFileInformationByHandle(hFile, &info);
    CloseHandle(hFile);
    return bKnown && (info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0;
}

enum FileOutcome { FileCopied, FileSkipped, JobEnded };

// Copies every range of one listed file, reporting after each. Returns
// JobEnded after the terminal report of a failure or a stop.
FileOutcome CopyRanges(CopyJob* pJob, HANDLE hSource, HANDLE hTarget,
                       const AllocatedRangeList& ranges)
{
    CopyProgress* pProgress = pJob->pProgress;
    for (size_t i = 0; i < ranges.size(); i++) {
        try {
            CopyFileRange(hSource, hTarget, ranges[i].FileOffset, ranges[i].Length);
            pProgress->nRangeIndex = (int)(i + 1);
            Report(pJob);
        } catch (...) {
            ReportError(pJob, CopyErrorCopyRange);
            return JobEnded;
        }
        if (StopRequested(pJob)) {
            ReportError(pJob, CopyErrorStopped);
            return JobEnded;
        }
    }
    return FileCopied;
}

FileOutcome CopyOneFile(CopyJob* pJob, LPCWSTR szName)
{
    CopyProgress* pProgress = pJob->pProgress;

    SHCreateDirectory(NULL, pJob->szTargetDir);

    WCHAR szSourcePath[COPY_PATH_CCH];
    WCHAR szTargetPath[COPY_PATH_CCH];
    if (!ComposePath(szSourcePath, pJob->szSourceDir, szName))
        return FileSkipped;
    // A destination path that does not fit cannot be created; it is reported
    // as such when the copy reaches the destination.
    bool bTargetFits = ComposePath(szTargetPath, pJob->szTargetDir, szName);

    AllocatedRangeList ranges;
    if (!QueryAllocatedRanges(szSourcePath, ranges))
        return FileSkipped;

    StringCchCopyW(pProgress->szCurrentFile, COPY_PATH_CCH, szSourcePath);
    pProgress->nState = CopyStateCopying;
    pProgress->nRangeCount = (int)ranges.size();
    pProgress->nRangeIndex = 0;
    Report(pJob);

    HANDLE hSource = CreateFileW(szSourcePath, GENERIC_READ, FILE_SHARE_READ, NULL,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hSource == INVALID_HANDLE_VALUE) {
        ReportError(pJob, CopyErrorOpenSource);
        return JobEnded;
    }

    LARGE_INTEGER liSize;
    liSize.QuadPart = 0;
    GetFileSizeEx(hSource, &liSize);

    HANDLE hTarget =
        bTargetFits ? CreateSparseTarget(szTargetPath, liSize) : INVALID_HANDLE_VALUE;
    if (hTarget == INVALID_HANDLE_VALUE) {
        CloseHandle(hSource);
        ReportError(pJob, CopyErrorCreateTarget);
        return JobEnded;
    }

    FileOutcome outcome = CopyRanges(pJob, hSource, hTarget, ranges);
    CloseHandle(hSource);
    CloseHandle(hTarget);
    return outcome;
}

}  // namespace

BOOL StartCopyJob(LPCWSTR szSourceDir, CopyJob* pJob, CopyProgressCallback pfnProgress,
                  CopyProgress* pProgress, LPCWSTR szTargetDir)
{
    if (pfnProgress == NULL || pProgress == NULL)
        return FALSE;
    size_t cch;
    if (FAILED(StringCchLengthW(szSourceDir, COPY_PATH_CCH, &cch)) ||
        FAILED(StringCchLengthW(szTargetDir, COPY_PATH_CCH, &cch)))
        return FALSE;

    StringCchCopyW(pJob->szSourceDir, COPY_PATH_CCH, szSourceDir);
    StringCchCopyW(pJob->szTargetDir, COPY_PATH_CCH, szTargetDir);
    pJob->pfnProgress = pfnProgress;
    pJob->pProgress = pProgress;

    pJob->hStopEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (pJob->hStopEvent == NULL)
        return FALSE;

    pJob->hThread = (HANDLE)_beginthreadex(NULL, 0, CopyWorkerProc, pJob, 0, NULL);
    if (pJob->hThread == NULL) {
        CloseHandle(pJob->hStopEvent);
        pJob->hStopEvent = NULL;
        return FALSE;
    }
    return TRUE;
}

void StopCopyJob(CopyJob* pJob, HWND hWnd)
{
    if (pJob->hThread == NULL)
        return;

    SetEvent(pJob->hStopEvent);
    if (hWnd != NULL) {
        while (WaitForSingleObject(pJob->hThread, 10) == WAIT_TIMEOUT) {
            MSG msg;
            if (PeekMessageW(&msg, hWnd, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    } else {
        WaitForSingleObject(pJob->hThread, INFINITE);
    }

    CloseHandle(pJob->hThread);
    CloseHandle(pJob->hStopEvent);
    pJob->hThread = NULL;
    pJob->hStopEvent = NULL;
}

void ListSparseFiles(LPCWSTR szFolder, SparseFileList& files)
{
    WCHAR szPath[COPY_PATH_CCH];
    if (FAILED(StringCchPrintfW(szPath, COPY_PATH_CCH, _T("%s\\*.*"), szFolder)))
        return;

    WIN32_FIND_DATAW entry;
    HANDLE hFind = FindFirstFileW(szPath, &entry);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    try {
        do {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            if (ComposePath(szPath, szFolder, entry.cFileName) && IsSparseFile(szPath))
                files.push_back(entry.cFileName);
        } while (FindNextFileW(hFind, &entry));
    } catch (const std::bad_alloc&) {
        // Keep the names listed so far; the rest of the folder is not copied.
    }
    FindClose(hFind);
}

unsigned __stdcall CopyWorkerProc(void* pArg)
{
    CopyJob* pJob = static_cast<CopyJob*>(pArg);
    CopyProgress* pProgress = pJob->pProgress;

    SparseFileList files;
    ListSparseFiles(pJob->szSourceDir, files);

    ZeroMemory(pProgress->szCurrentFile, sizeof(pProgress->szCurrentFile));
    pProgress->nState = CopyStateStarted;
    pProgress->nTotalFiles = (int)files.size();
    pProgress->nCopiedFiles = 0;
    pProgress->nRangeCount = 0;
    pProgress->nRangeIndex = 0;
    Report(pJob);

    for (size_t i = 0; i < files.size(); i++) {
        if (StopRequested(pJob)) {
            ReportError(pJob, CopyErrorStopped);
            return 0;
        }
        FileOutcome outcome = CopyOneFile(pJob, files[i].c_str());
        if (outcome == JobEnded)
            return 0;
        if (outcome == FileCopied) {
            pProgress->nCopiedFiles++;
            Report(pJob);
        }
    }

    pProgress->nState = CopyStateFinished;
    Report(pJob);
    return 0;
}
