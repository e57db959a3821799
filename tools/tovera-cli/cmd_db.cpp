#include "commands.h"

#include "platform/errors.h"
#include "records/demo.h"
#include "records/districtadmin.h"
#include "records/schema.h"

#include <QFileInfo>
#include <cstdio>

namespace tovera::cli {

namespace {

int usage() {
    return fail(2, QStringLiteral("usage: tovera-cli db init PATH | db demo PATH [--records N] |\n"
                                  "       db districts PATH [--add NAME... | --remove NAME...]"));
}

void printLine(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

// db districts PATH [--add NAME... | --remove NAME...]: lists, adds or removes the
// districts of table 行政区. Errors name the file and the cause.
int runDistricts(const QStringList& args) {
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--"))) return usage();
    const QString path = args.first();
    QString action;
    QStringList names;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (action.isEmpty() && (arg == QLatin1String("--add") || arg == QLatin1String("--remove")))
            action = arg;
        else if (!action.isEmpty())
            names << arg;
        else
            return usage();
    }
    if (!action.isEmpty() && names.isEmpty()) return usage();
    const QString shown = QFileInfo(path).absoluteFilePath();
    try {
        DistrictStore store(path);
        if (action.isEmpty()) {
            const QStringList districts = store.districts();
            for (const QString& name : districts) printLine(name);
            if (districts.isEmpty())
                fail(0, QStringLiteral("%1: 行政区はまだ登録されていません（--add で追加します）")
                            .arg(shown));
            return 0;
        }
        if (action == QLatin1String("--add")) {
            store.add(names);
            printLine(QStringLiteral("%1: 行政区 %2 件を追加しました: %3")
                          .arg(shown)
                          .arg(names.size())
                          .arg(names.join(QStringLiteral("、"))));
        } else {
            names.removeDuplicates();
            store.remove(names);
            printLine(QStringLiteral("%1: 行政区 %2 件を削除しました: %3")
                          .arg(shown)
                          .arg(names.size())
                          .arg(names.join(QStringLiteral("、"))));
        }
        return 0;
    } catch (const Exception& e) {
        return fail(1, QStringLiteral("tovera-cli db districts: %1: %2").arg(shown, e.message()));
    }
}

} // namespace

int runDb(const QStringList& args) {
    if (args.isEmpty()) return usage();
    const QString sub = args.first();
    if (sub == QLatin1String("districts")) return runDistricts(args.mid(1));
    try {
        if (sub == QLatin1String("init")) {
            if (args.size() != 2) return usage();
            createSchema(args[1]);
            return 0;
        }
        if (sub == QLatin1String("demo")) {
            QString path;
            int records = DemoOptions().records;
            for (int i = 1; i < args.size(); ++i) {
                if (args[i] == QLatin1String("--records")) {
                    if (++i >= args.size()) return usage();
                    bool ok = false;
                    records = args[i].toInt(&ok);
                    if (!ok || records < 0 || records > 10000000) return usage();
                } else if (path.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
                    path = args[i];
                } else {
                    return usage();
                }
            }
            if (path.isEmpty()) return usage();
            DemoOptions options = registerDemoOptions(records);
            // A bar of 40 cells on the error stream, redrawn in place.
            options.progress = [](qint64 done, qint64 total) {
                const int cells = total > 0 ? int(done * 40 / total) : 40;
                std::fprintf(stderr, "\r[%s%s] %3d%%", QByteArray(cells, '#').constData(),
                             QByteArray(40 - cells, '.').constData(),
                             total > 0 ? int(done * 100 / total) : 100);
                if (done >= total) std::fprintf(stderr, "\n");
                std::fflush(stderr);
            };
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
