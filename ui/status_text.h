// The status line's words for each report of a copy job, shared by the
// window and the command line so both say exactly the same.
#pragma once

#include "engine/copy_job.h"
#include "platform/framework/cstring.h"

// Makes strText the status text for pProgress. Returns FALSE, leaving
// strText as it was, for a state outside 0 to 3.
BOOL FormatCopyStatus(const CopyProgress* pProgress, CString& strText);
