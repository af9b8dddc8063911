// The one mapping from errno values to Windows error codes, and the small
// helpers that set the last error on the way out of a failing call.
#pragma once

#include "platform/api/types.h"

namespace platform {

DWORD ErrorFromErrno(int err);

// Set the last error and return FALSE, so a failing call ends in one line.
BOOL Fail(DWORD dwError);
BOOL FailWithErrno(int err);

}  // namespace platform
