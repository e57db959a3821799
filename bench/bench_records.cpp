#include "bench.h"

namespace tovera::bench {

// The records benchmarks are added with their subsystem.
void benchRecords() {}

} // namespace tovera::bench
