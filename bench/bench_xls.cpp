#include "bench.h"

namespace tovera::bench {

// The xls benchmarks are added with their subsystem.
void benchXls() {}

} // namespace tovera::bench
