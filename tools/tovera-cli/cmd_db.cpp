#include "commands.h"

#include "platform/errors.h"
#include "records/demo.h"
#include "records/schema.h"

#include <QFileInfo>
#include <cstdio>

namespace tovera::cli {

namespace {

int usage() {
    return fail(2, QStringLiteral("usage: tovera-cli db init PATH | db demo PATH [--records N]"));
}

} // namespace

int runDb(const QStringList& args) {
    if (args.isEmpty()) return usage();
    const QString sub = args.first();
    try {
        if (sub == QLatin1String("init")) {
            if (args.size() != 2) return usage();
            createSchema(args[1]);
            return 0;
        }
        if (sub == QLatin1String("demo")) {
            DemoOptions options;
            QString path;
            for (int i = 1; i < args.size(); ++i) {
                if (args[i] == QLatin1String("--records")) {
                    if (++i >= args.size()) return usage();
                    bool ok = false;
                    options.records = args[i].toInt(&ok);
                    if (!ok || options.records < 0 || options.records > 10000000) return usage();
                } else if (path.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
                    path = args[i];
                } else {
                    return usage();
                }
            }
            if (path.isEmpty()) return usage();
            // Large registers: one record in ten holds a 20 KB drawing and a 50 KB sheet.
            if (options.records >= 10000) {
                options.drawingEvery = 10;
                options.sheetEvery = 10;
                options.drawingMinBytes = 20 * 1024;
                options.sheetMinBytes = 50 * 1024;
            }
            createDemo(path, options);
            std::printf("%s: %d records\n", QFileInfo(path).absoluteFilePath().toUtf8().constData(),
                        options.records);
            return 0;
        }
    } catch (const Exception& e) {
        return fail(1, QStringLiteral("tovera-cli db: ") + e.message());
    }
    return usage();
}

} // namespace tovera::cli
