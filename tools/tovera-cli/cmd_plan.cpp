#include "commands.h"

namespace tovera::cli {

int runPlan(const QStringList&) { return fail(2, QStringLiteral("tovera-cli plan: not available yet")); }

} // namespace tovera::cli
