// A copy job: one worker thread that lists the sparse files directly inside
// a source folder and copies each into a destination folder, holes kept,
// reporting every step through a callback and obeying a stop event.
#pragma once

#include <string>
#include <vector>

#include "platform/winapi.h"

// Capacity of every folder and path buffer, terminator included.
const int COPY_PATH_CCH = 1024;

enum CopyState {
    CopyStateError = 0,
    CopyStateStarted = 1,
    CopyStateCopying = 2,
    CopyStateFinished = 3,
};

enum CopyError {
    CopyErrorStopped = 0,
    CopyErrorOpenSource = 1,
    CopyErrorCreateTarget = 2,
    CopyErrorCopyRange = 3,
};

struct CopyProgress {
    void* pOwner;
    int nState;
    int nError;
    WCHAR szCurrentFile[COPY_PATH_CCH];
    int nTotalFiles;
    int nCopiedFiles;
    int nRangeCount;
    int nRangeIndex;
};

typedef void (*CopyProgressCallback)(CopyProgress* pProgress);

struct CopyJob {
    HANDLE hStopEvent;
    HANDLE hThread;
    WCHAR szSourceDir[COPY_PATH_CCH];
    WCHAR szTargetDir[COPY_PATH_CCH];
    CopyProgressCallback pfnProgress;
    CopyProgress* pProgress;
};

typedef std::vector<std::basic_string<WCHAR> > SparseFileList;

// Starts a worker on pJob that copies the sparse files of szSourceDir into
// szTargetDir. Returns TRUE when the worker runs. Returns FALSE and starts
// nothing when the callback or the progress record is null, a folder does
// not fit its buffer, or the stop event or the thread cannot be created.
BOOL StartCopyJob(LPCWSTR szSourceDir, CopyJob* pJob, CopyProgressCallback pfnProgress,
                  CopyProgress* pProgress, LPCWSTR szTargetDir);

// Signals the job to stop, waits for its worker and releases the job's
// handles, leaving the record empty. With hWnd, a window of the calling
// thread, the wait keeps that window's messages moving, so a worker that
// sends messages to it cannot block the wait. Does nothing on an empty job.
void StopCopyJob(CopyJob* pJob, HWND hWnd);

// Appends the bare names of the sparse files directly inside szFolder.
void ListSparseFiles(LPCWSTR szFolder, SparseFileList& files);

// The worker thread: pArg is the CopyJob. Always returns 0.
unsigned __stdcall CopyWorkerProc(void* pArg);
