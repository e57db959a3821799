#include "commands.h"

namespace tovera::cli {

int runSheet(const QStringList&) { return fail(2, QStringLiteral("tovera-cli sheet: not available yet")); }

} // namespace tovera::cli
