#pragma once
// A second thread for reading a large drawing. Internal to src/drawing.

#include <functional>

namespace tovera::readerdetail {

// Runs `here` on the calling thread and `there` on a helper thread kept for a while
// between calls, and returns once both have ended. On a machine of one processor both run
// here, `here` first. When the helper is still busy with another call, `there` waits for it.
// Neither may throw.
void inParallel(const std::function<void()>& here, const std::function<void()>& there);

} // namespace tovera::readerdetail
