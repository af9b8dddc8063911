// Operations on one sparse file: which ranges hold data, a sparse
// destination of the right size, and the copy of one range.
#pragma once

#include <vector>

#include "platform/winapi.h"

// The unit in which a range is read and written, and the transfer buffer.
const DWORD COPY_CHUNK_SIZE = 0x10000;

typedef std::vector<FILE_ALLOCATED_RANGE_BUFFER> AllocatedRangeList;

// Appends the allocated ranges of the file at szPath to ranges, in file
// order, one range per query. Returns TRUE with the ranges found (for a file
// without data, one zero-length entry; for an empty file possibly none).
// Returns FALSE, leaving ranges as it was, when the file cannot be opened,
// its size cannot be read, the list cannot grow, or a query fails part way
// through a file of non-zero size: a partial list would make a copy that
// lacks data.
BOOL QueryAllocatedRanges(LPCWSTR szPath, AllocatedRangeList& ranges);

// Creates or replaces the file at szPath, marks it sparse and extends it to
// liSize, so that it is one hole of that size. Returns a read-write handle
// whose file pointer stands at liSize, or INVALID_HANDLE_VALUE when the file
// cannot be created. Marking and sizing failures are not reported.
HANDLE CreateSparseTarget(LPCWSTR szPath, LARGE_INTEGER liSize);

// Copies liLength bytes at liOffset from hSource to the same offset of
// hTarget in COPY_CHUNK_SIZE pieces. Returns when the range is copied;
// otherwise throws a DWORD: the error of a failed positioning, read or
// write, ERROR_HANDLE_DISK_FULL after a short write, or ERROR_HANDLE_EOF when
// the source ends before the range does. Nothing is undone.
void CopyFileRange(HANDLE hSource, HANDLE hTarget, LARGE_INTEGER liOffset, LARGE_INTEGER liLength);
