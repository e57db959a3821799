// Helper of the durability test: posts records into a store for ever, printing the number
// of each post once the record set reports it done. Arguments: STORE FIRST-NUMBER.
// Even numbers insert a record No = n with 備考 "post n" and an n-dependent drawing; odd
// numbers edit the record No = n - 1, setting 所有者住所 "edit n".

#include "records/provider.h"
#include "records/recordset.h"

#include <QCoreApplication>
#include <cstdio>

using namespace tovera;

QByteArray drawingFor(qint64 n) {
    return QByteArray(int(n % 20000) + 1, char('a' + n % 26));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    Connection c;
    RecordSet rs(c);
    try {
        c.open(connectionStringFor(QString::fromLocal8Bit(argv[1])));
        rs.open(QStringLiteral("select * from 基本データ"));
        for (qint64 n = QByteArray(argv[2]).toLongLong();; ++n) {
            if (n % 2 == 0) {
                rs.insert();
                rs.setValue(QStringLiteral("No"), n);
                rs.setValue(QStringLiteral("備考"), QStringLiteral("post %1").arg(n));
                rs.setValue(QStringLiteral("zumen"), drawingFor(n));
            } else {
                rs.edit();
                rs.setValue(QStringLiteral("所有者住所"), QStringLiteral("edit %1").arg(n));
            }
            rs.post();
            std::printf("%lld\n", static_cast<long long>(n));
            std::fflush(stdout);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
