#pragma once
// The platform's global memory, as used for handing workbooks to and from the spreadsheet
// engine: blocks named by 32-bit handles in a process-wide table. A block's address is
// only valid while it is locked; the table keeps a lock count per block.
//
// Failures behave as on the platform: results are 0 / null, never exceptions, and
// globalLastError() tells why (ERROR_INVALID_HANDLE, ERROR_NOT_LOCKED, ERROR_NOT_ENOUGH_MEMORY).
// All functions are safe to call from several threads.

#include <cstddef>
#include <cstdint>

namespace tovera {

using HGLOBAL = std::uint32_t;

// Allocation flags (the platform's values).
constexpr unsigned GMEM_FIXED = 0x0000;
constexpr unsigned GMEM_MOVEABLE = 0x0002;
constexpr unsigned GMEM_NOCOMPACT = 0x0010;
constexpr unsigned GMEM_NODISCARD = 0x0020;
constexpr unsigned GMEM_ZEROINIT = 0x0040;
constexpr unsigned GMEM_MODIFY = 0x0080;
constexpr unsigned GMEM_DISCARDABLE = 0x0100;
constexpr unsigned GMEM_SHARE = 0x2000;
constexpr unsigned GMEM_DDESHARE = 0x2000;
constexpr unsigned GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr unsigned GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// GlobalFlags: the lock count is in the low byte; a discarded (empty movable) block has this.
constexpr unsigned GMEM_LOCKCOUNT = 0x00FF;
constexpr unsigned GMEM_DISCARDED = 0x4000;
constexpr unsigned GMEM_INVALID_HANDLE = 0x8000;

// Values of globalLastError().
constexpr unsigned ERROR_SUCCESS = 0;
constexpr unsigned ERROR_INVALID_HANDLE = 6;
constexpr unsigned ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr unsigned ERROR_NOT_LOCKED = 158;

// Allocates `bytes` bytes (zeroed with GMEM_ZEROINIT, otherwise of unspecified content).
// Returns the new handle, or 0 when the memory cannot be had. A movable block of 0 bytes
// is created discarded: it has a handle but cannot be locked. The caller owns the block
// and releases it with GlobalFree.
HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes);

// Locks the block and returns its address, or null for an invalid handle or a discarded
// block. Each successful lock of a movable block adds one to its lock count.
void* GlobalLock(HGLOBAL handle);

// Takes one from the lock count. Returns true while the block is still locked; false when
// the count reached 0 (globalLastError() ERROR_SUCCESS), when the block was not locked
// (ERROR_NOT_LOCKED) or for an invalid handle (ERROR_INVALID_HANDLE).
bool GlobalUnlock(HGLOBAL handle);

// The block's size in bytes, 0 for an invalid handle or a discarded block.
std::size_t GlobalSize(HGLOBAL handle);

// Releases the block, also a locked one. Returns 0 on success, the handle itself when it
// is not valid.
HGLOBAL GlobalFree(HGLOBAL handle);

// The handle of the block whose locked address is `address` (the address GlobalLock
// returned), 0 when no block starts there.
HGLOBAL GlobalHandle(const void* address);

// The lock count in the low byte, plus GMEM_DISCARDED for a discarded block;
// GMEM_INVALID_HANDLE for an invalid handle.
unsigned GlobalFlags(HGLOBAL handle);

// The reason for the last failure (or ERROR_SUCCESS) of the calls above on this thread.
unsigned globalLastError();

// The number of live blocks (for tests and leak checks).
std::size_t globalBlockCount();

} // namespace tovera
