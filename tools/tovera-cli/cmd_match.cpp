#include "commands.h"

namespace tovera::cli {

int runMatch(const QStringList&) { return fail(2, QStringLiteral("tovera-cli match: not available yet")); }

} // namespace tovera::cli
