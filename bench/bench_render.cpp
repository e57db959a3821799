#include "bench.h"

namespace tovera::bench {

// The render benchmarks are added with their subsystem.
void benchRender() {}

} // namespace tovera::bench
