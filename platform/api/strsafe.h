// Bounded copy and bounded formatting into UTF-16 buffers.
//
// The formatter understands %s (a UTF-16 string), %d and %i (int), %u
// (unsigned), %x (unsigned, hex), %c (one UTF-16 unit) and %%, with an
// optional width and '-' or '0' flag. Any other conversion fails with
// STRSAFE_E_INVALID_PARAMETER instead of guessing.
#pragma once

#include <cstdarg>

#include "platform/api/types.h"

#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#define STRSAFE_E_INVALID_PARAMETER ((HRESULT)0x80070057L)

#define STRSAFE_MAX_CCH 2147483647

// Copies pszSrc into pszDest (cchDest units with the terminator). On
// truncation the result is STRSAFE_E_INSUFFICIENT_BUFFER and pszDest holds
// what fits, terminated.
HRESULT StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc);

// Formats into pszDest (cchDest units with the terminator); truncates and
// terminates like StringCchCopyW.
HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...);
HRESULT StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list argList);

// Stores in *pcchLength the length of psz without its terminator, or fails
// with STRSAFE_E_INVALID_PARAMETER when no terminator lies within cchMax.
HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t* pcchLength);
