// The Windows API as the program uses it. On Windows this is the system's
// own headers; on Linux it is the platform layer's implementation of the
// same subset, with the same names, types and values.
#pragma once

#ifdef _WIN32

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <windows.h>
#include <winioctl.h>
#include <commctrl.h>
#include <shlobj.h>
#include <process.h>
#include <tchar.h>
#include <strsafe.h>

#else

#include "platform/api/types.h"
#include "platform/api/kernel.h"
#include "platform/api/user.h"
#include "platform/api/resource.h"
#include "platform/api/commctrl.h"
#include "platform/api/shell.h"
#include "platform/api/winsock.h"
#include "platform/api/strsafe.h"

#endif
