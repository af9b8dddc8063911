// Linux time stamps as Windows FILETIMEs (100 ns ticks since 1601).
#pragma once

#include <ctime>

#include "platform/api/types.h"

namespace platform {

inline FILETIME FileTimeFrom(const struct timespec& ts)
{
    const ULONGLONG kUnixEpochIn100ns = 116444736000000000ull;
    ULONGLONG ticks = kUnixEpochIn100ns + (ULONGLONG)ts.tv_sec * 10000000ull + ts.tv_nsec / 100;
    FILETIME time;
    time.dwLowDateTime = (DWORD)ticks;
    time.dwHighDateTime = (DWORD)(ticks >> 32);
    return time;
}

}  // namespace platform
