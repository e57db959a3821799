#include "bench.h"

namespace tovera::bench {

// The read benchmarks are added with their subsystem.
void benchRead() {}

} // namespace tovera::bench
