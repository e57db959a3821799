// tovera-cli match NAME PATTERN: the name test of the drop targets.

#include "commands.h"

#include "platform/namematch.h"

#include <cstdio>

namespace tovera::cli {

int runMatch(const QStringList& args) {
    if (args.size() != 2) return fail(2, QStringLiteral("usage: tovera-cli match NAME PATTERN"));
    // The arguments arrive as text; the test compares their code page 932 bytes.
    std::puts(matchesPattern(args[0], args[1]) ? "true" : "false");
    return 0;
}

} // namespace tovera::cli
