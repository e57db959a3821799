#pragma once
// How the process keeps memory it has freed.

namespace tovera {

// Large blocks (a big drawing's lists, a file read whole, a sheet's cells) are taken from
// and returned to the process's own heap rather than mapped afresh each time, and up to
// 128 MB of freed memory is kept for the next use: mapping fresh memory costs a page fault
// for every 4 KB first written, which for a drawing of 20 MB costs more than reading it.
// Blocks over 64 MB are still mapped on their own and returned when freed. To be called
// once, at the start of main. Does nothing where the C library offers no such setting.
void keepFreedMemoryForReuse();

} // namespace tovera
