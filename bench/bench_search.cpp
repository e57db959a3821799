#include "bench.h"

namespace tovera::bench {

// The search benchmarks are added with their subsystem.
void benchSearch() {}

} // namespace tovera::bench
