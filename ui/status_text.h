// The status line's words for each report of a copy job, shared by the
// window and the command line so both say exactly the same.
#pragma once

#include "engine/copy_job.h"

// Room for the longest status text: a full path and the longest template.
const size_t COPY_STATUS_CCH = COPY_PATH_CCH + 64;

// Writes the status text for pProgress into szText (cchText units, at least
// COPY_STATUS_CCH). Returns FALSE, writing nothing, for a state outside 0 to 3.
BOOL FormatCopyStatus(const CopyProgress* pProgress, LPWSTR szText, size_t cchText);
