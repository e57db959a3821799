#include "bench.h"
#include "platform/memory.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdio>
#include <cstring>

namespace tovera::bench {

void report(const char* name, double value, const char* unit) {
    std::printf("%s\t%.3f\t%s\n", name, value, unit);
    std::fflush(stdout);
}

QString scratchDir() {
    QString dir = qEnvironmentVariable("TOVERA_BENCH_DIR");
    if (dir.isEmpty()) dir = QDir::tempPath() + QStringLiteral("/tovera-bench");
    QDir().mkpath(dir);
    return dir;
}

} // namespace tovera::bench

namespace {

struct Group {
    const char* name;
    void (*run)();
};

const Group kGroups[] = {
    {"render", tovera::bench::benchRender},   {"read", tovera::bench::benchRead},
    {"records", tovera::bench::benchRecords}, {"search", tovera::bench::benchSearch},
    {"xls", tovera::bench::benchXls},         {"sheet", tovera::bench::benchSheet},
    {"view", tovera::bench::benchView},       {"import", tovera::bench::benchImport},
    {"calc", tovera::bench::benchCalc},       {"attach", tovera::bench::benchAttach},
    {"xlsx", tovera::bench::benchXlsx},       {"records-pg", tovera::bench::benchRecordsServer},
};

} // namespace

int main(int argc, char** argv) {
    // As the program and the command do.
    tovera::keepFreedMemoryForReuse();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList names = QCoreApplication::arguments().mid(1);
    for (const QString& n : names) {
        bool known = false;
        for (const Group& g : kGroups) known = known || n == QLatin1String(g.name);
        if (!known) {
            std::fprintf(stderr, "tovera-bench: unknown group %s\nusage: tovera-bench [GROUP...]\n",
                         n.toUtf8().constData());
            return 2;
        }
    }
    for (const Group& g : kGroups)
        if (names.isEmpty() || names.contains(QLatin1String(g.name))) g.run();
    return 0;
}
