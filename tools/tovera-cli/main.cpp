#include "commands.h"
#include "platform/memory.h"

#include <QGuiApplication>
#include <cstdio>

namespace tovera::cli {

int fail(int status, const QString& text) {
    std::fputs(text.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    return status;
}

} // namespace tovera::cli

namespace {

const char* const kUsage =
    "usage: tovera-cli COMMAND ...\n"
    "  plan dump (--file PATH | --stored PATH)...\n"
    "  plan render (--file PATH | --stored PATH)... [--floor N] [--zoom Z]\n"
    "              [--background BMP] -o OUT.png\n"
    "  match NAME PATTERN\n"
    "  db init PATH|URI\n"
    "  db demo PATH|URI [--records N]\n"
    "  db copy FROM TO   (a file PATH or a server URI postgresql://user@host:port/dbname)\n"
    "  db districts PATH [--add NAME... | --remove NAME...]\n"
    "  db import ACCESS.mdb STORE | db export STORE OUT.csv | db tables ACCESS.mdb\n"
    "    (export: a text field beginning with = + - @ tab or CR gets a leading ' so that\n"
    "     spreadsheets show it as text; numbers and dates are written as they are)\n"
    "  sheet cells [--salvage] FILE | sheet text FILE | sheet convert IN OUT | sheet pdf IN "
    "OUT.pdf\n"
    "  sheet records FILE\n"
    "  sheet recalc --check [--reasons] FILE...\n";

} // namespace

int main(int argc, char** argv) {
    tovera::keepFreedMemoryForReuse();
    // Standard error carries the command's own messages only; Qt's warnings about its
    // environment (runtime folder, fonts, platform) are not the user's concern here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // Pictures and fonts need a GUI application, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = args.takeFirst();
    using namespace tovera::cli;
    if (command == QLatin1String("plan")) return runPlan(args);
    if (command == QLatin1String("match")) return runMatch(args);
    if (command == QLatin1String("db") && !args.isEmpty() &&
        (args.first() == QLatin1String("import") || args.first() == QLatin1String("export") ||
         args.first() == QLatin1String("tables")))
        return runDbImport(args);
    if (command == QLatin1String("db")) return runDb(args);
    if (command == QLatin1String("sheet")) return runSheet(args);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
