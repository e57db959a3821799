#include "commands.h"

#include "platform/errors.h"
#include "records/demo.h"
#include "records/districtadmin.h"
#include "records/provider.h"
#include "records/register_copy.h"
#include "records/schema.h"
#include "records/schema_server.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

namespace tovera::cli {

namespace {

int usage() {
    return fail(
        2, QStringLiteral(
               "usage: tovera-cli db init PATH|URI | db demo PATH|URI [--records N] |\n"
               "       db copy FROM TO | db districts PATH [--add NAME... | --remove NAME...]\n"
               "       (URI: postgresql://user@host:port/dbname)"));
}

// A bar of 40 cells on the error stream, redrawn in place at most every 100 ms and at the
// end, for `done` of `total`; nothing when the error stream is not a terminal, so a log
// does not get every step.
void drawBar(qint64 done, qint64 total) {
    static const bool tty = ::isatty(2);
    static QElapsedTimer clock;
    static qint64 last = -1000;
    if (!tty) return;
    if (!clock.isValid()) clock.start();
    if (done < total && clock.elapsed() - last < 100) return;
    last = clock.elapsed();
    const int cells = total > 0 ? int(done * 40 / total) : 40;
    std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld", QByteArray(cells, '#').constData(),
                 QByteArray(40 - cells, '.').constData(), total > 0 ? int(done * 100 / total) : 100,
                 static_cast<long long>(done), static_cast<long long>(total));
    if (done >= total) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

// How the summary names a register.
QString shown(const QString& where) {
    return isServerUri(where) ? parseServerUri(where).shown() : QFileInfo(where).absoluteFilePath();
}

// db copy FROM TO: every record, district and attachment of one register into an empty one.
int copy(const QString& from, const QString& to) {
    const CopySummary s = copyRegister(from, to, drawBar);
    std::printf("%s\n",
                QStringLiteral("%1 → %2: レコード %3 件（図面 %4 件、明細 %5 件、添付 %6 バイト）、"
                               "行政区 %7 件をコピーしました")
                    .arg(shown(from), shown(to))
                    .arg(s.records)
                    .arg(s.drawings)
                    .arg(s.sheets)
                    .arg(s.blobBytes)
                    .arg(s.districts)
                    .toUtf8()
                    .constData());
    return 0;
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
            if (isServerUri(args[1]))
                initServerRegister(args[1]);
            else
                createSchema(args[1]);
            return 0;
        }
        if (sub == QLatin1String("copy")) {
            if (args.size() != 3) return usage();
            return copy(args[1], args[2]);
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
            options.progress = [](qint64 done, qint64 total) { drawBar(done, total); };
            if (isServerUri(path)) {
                // Built as a file first, then copied onto the server.
                requireEmptyDestination(path);
                QTemporaryDir work;
                const QString file = work.filePath(QStringLiteral("demo.mdb"));
                createDemo(file, options);
                copyRegister(file, path, drawBar);
                std::printf("%s: %d records\n", shown(path).toUtf8().constData(), options.records);
                return 0;
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
