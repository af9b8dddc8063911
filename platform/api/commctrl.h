// The common controls on Linux: of them, the program uses the progress bar.
#pragma once

#include "platform/api/user.h"

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_WIN95_CLASSES 0x000000FF

#define PROGRESS_CLASSW u"msctls_progress32"

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

typedef struct {
    int iLow;
    int iHigh;
} PBRANGE, *PPBRANGE;

// Registers the classes named in dwICC; the progress bar is the one there is.
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);
