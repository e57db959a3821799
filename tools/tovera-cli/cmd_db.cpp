#include "commands.h"

namespace tovera::cli {

int runDb(const QStringList&) { return fail(2, QStringLiteral("tovera-cli db: not available yet")); }

} // namespace tovera::cli
