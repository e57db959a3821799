#include "bench.h"

namespace tovera::bench {

// The sheet benchmarks are added with their subsystem.
void benchSheet() {}

} // namespace tovera::bench
