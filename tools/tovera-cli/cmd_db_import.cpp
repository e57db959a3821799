#include "commands.h"

#include "platform/errors.h"
#include "records/access_file.h"
#include "records/access_import.h"
#include "records/store_export.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace tovera::cli {

namespace {

std::atomic<bool> interrupted{false};

void onInterrupt(int) {
    interrupted = true;
}

int usage() {
    return fail(2, QStringLiteral("usage: tovera-cli db import ACCESS.mdb STORE | db export STORE "
                                  "OUT.csv | db tables ACCESS.mdb\n"
                                  "  export: a text field beginning with = + - @ tab or CR gets a "
                                  "leading ' so that spreadsheets show it as text; numbers and "
                                  "dates are written as they are"));
}

// Lists the user tables of an Access file with their columns, reading every row, so that
// a file can be checked before it is imported.
int runTables(const QString& accessPath) {
    AccessFile file(accessPath);
    std::printf("%s: %s\n", QFileInfo(accessPath).fileName().toUtf8().constData(),
                file.versionText().toUtf8().constData());
    for (const QString& name : file.tables()) {
        auto table = file.openTable(name);
        QList<QVariant> row;
        while (table->next(row)) {
        }
        QStringList columns;
        for (const AccessColumn& c : table->columns()) columns << c.name;
        std::printf("%s\t%lld\t%s\n", name.toUtf8().constData(),
                    static_cast<long long>(table->rowsRead()),
                    columns.join(QStringLiteral(", ")).toUtf8().constData());
    }
    return 0;
}

QString grouped(qint64 n) {
    return QLocale::c().toString(n);
}

// A bar on the terminal, redrawn at most every 100 ms and at the end; nothing when
// standard error is not a terminal.
class ProgressBar {
public:
    ProgressBar() : tty_(::isatty(2)) { clock_.start(); }
    bool update(qint64 done, qint64 total) {
        if (!tty_) return !interrupted;
        if (done < total && clock_.elapsed() - last_ < 100) return !interrupted;
        last_ = clock_.elapsed();
        const int width = 30;
        const int percent = total > 0 ? int(done * 100 / total) : 100;
        const int filled = total > 0 ? int(done * width / total) : width;
        std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, '.').constData(), percent,
                     static_cast<long long>(done), static_cast<long long>(total));
        std::fflush(stderr);
        shown_ = true;
        return !interrupted;
    }
    void finish() {
        if (shown_) std::fputs("\n", stderr);
        shown_ = false;
    }

private:
    bool tty_;
    bool shown_ = false;
    QElapsedTimer clock_;
    qint64 last_ = -1000;
};

int runImport(const QString& accessPath, const QString& storePath) {
    ProgressBar bar;
    // Ctrl+C stops between rows, so the half-made store is removed.
    struct sigaction action = {}, previous = {};
    action.sa_handler = onInterrupt;
    sigaction(SIGINT, &action, &previous);
    ImportSummary summary;
    try {
        summary = importAccessRegister(accessPath, storePath, [&](qint64 done, qint64 total) {
            return bar.update(done, total);
        });
    } catch (...) {
        bar.finish();
        sigaction(SIGINT, &previous, nullptr);
        throw;
    }
    bar.finish();
    sigaction(SIGINT, &previous, nullptr);
    for (const QString& w : summary.warnings)
        std::printf("%s\n", (QStringLiteral("警告: ") + w).toUtf8().constData());
    std::printf(
        "%s\n",
        QStringLiteral("%1 → %2: 記録 %3 件、行政区 %4 件、添付 %5 件 (%6 バイト)、警告 %7 件")
            .arg(QFileInfo(accessPath).fileName(), QFileInfo(storePath).absoluteFilePath(),
                 grouped(summary.records), grouped(summary.districts), grouped(summary.attachments),
                 grouped(summary.attachmentBytes), grouped(summary.warnings.size()))
            .toUtf8()
            .constData());
    return 0;
}

} // namespace

int runDbImport(const QStringList& args) {
    try {
        if (args.size() == 2 && args[0] == QLatin1String("tables")) return runTables(args[1]);
        if (args.size() != 3) return usage();
        if (args[0] == QLatin1String("import")) return runImport(args[1], args[2]);
        if (args[0] == QLatin1String("export")) {
            const qint64 n = exportStoreCsv(args[1], args[2]);
            std::printf("%s: %lld records\n",
                        QFileInfo(args[2]).absoluteFilePath().toUtf8().constData(),
                        static_cast<long long>(n));
            return 0;
        }
    } catch (const Exception& e) {
        return fail(1, QStringLiteral("tovera-cli db %1: ").arg(args[0]) + e.message());
    }
    return usage();
}

} // namespace tovera::cli
