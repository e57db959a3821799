#include "commands.h"

namespace tovera::cli {

int runSheetText(const QStringList&) {
    return fail(2, QStringLiteral("tovera-cli sheet text: not available yet"));
}

int runSheetConvert(const QStringList&) {
    return fail(2, QStringLiteral("tovera-cli sheet convert: not available yet"));
}

} // namespace tovera::cli
