// Shell services on Linux.
#pragma once

#include "platform/api/types.h"

// Creates pszPath and every missing parent folder. Returns ERROR_SUCCESS,
// ERROR_ALREADY_EXISTS when the folder was already there, or the error
// that stopped the creation.
int WINAPI SHCreateDirectory(HWND hwnd, PCWSTR pszPath);
