// Helper of the durability test: registers attachments into the record No = 1 of a store
// for ever, printing the number of each registration once it is reported done. Arguments:
// STORE FIRST-NUMBER. Even numbers store a drawing file in zumen, odd numbers a workbook's
// bytes in excel; the bytes of number n are attachmentFor(n).

#include "attach_content.h"
#include "records/provider.h"
#include "records/recordset.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

using namespace tovera;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    Connection c;
    RecordSet rs(c);
    try {
        c.open(connectionStringFor(QString::fromLocal8Bit(argv[1])));
        rs.open(QStringLiteral("select * from 基本データ where No = 1"));
        AttachmentStore store(rs);
        const QString file = QString::fromLocal8Bit(argv[1]) + QStringLiteral(".drawing");
        for (qint64 n = QByteArray(argv[2]).toLongLong();; ++n) {
            const QByteArray bytes = test::attachmentFor(n);
            if (n % 2 == 0) {
                QFile f(file);
                if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return 3;
                f.close();
                store.storeFile(QStringLiteral("zumen"), file);
            } else {
                store.store(QStringLiteral("excel"), bytes);
            }
            std::printf("%lld\n", static_cast<long long>(n));
            std::fflush(stdout);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
