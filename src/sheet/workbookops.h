#pragma once
// The spreadsheet control's workbook calls that go through memory: loading from and saving
// to a global memory block, and emptying the workbook.

#include "platform/globalmem.h"
#include "sheet/workbook.h"

namespace tovera {

// Reads the workbook at the start of the global memory block `handle` (which may be longer
// than the workbook); the block stays the caller's. Raises EOleException for a handle that
// names no block, an empty block or bytes that are no workbook; `book` is replaced only on
// success.
void LoadWorkbookFromHandle(Workbook& book, HGLOBAL handle);

// Writes `book` as an .xls file into a new movable global memory block and returns its
// handle through `handle` (0 on entry); the block passes to the caller, who frees it.
// Raises EOleException when the workbook cannot be written or the memory cannot be had
// (`handle` then stays 0).
void SaveWorkbookToHandle(const Workbook& book, HGLOBAL& handle);

// Replaces `book` with the empty workbook of one sheet shown at start-up.
void ClearWorkbook(Workbook& book);

} // namespace tovera
