#pragma once
// Shared pieces of the attachment tests: reading the store back with SQL, real drops and
// clicks, and drawings of any size.

#include "records/engines.h"
#include "records/provider.h"
#include "support.h"
#include "support/drawing_of_size.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>
#include <QVariant>

namespace tovera::testing {

using tovera::test::drawingOfSize;

// The value of `sql` (first column of the first row) read straight from the store file,
// or from the server register TOVERA_DATABASE names when it is set.
inline QVariant storeValue(const QString& databasePath, const QString& sql) {
    QVariant value;
    const QString server = qEnvironmentVariable(kDatabaseVariable);
    if (!server.isEmpty()) {
        Connection c;
        c.open(server);
        QSqlQuery q(c.database());
        if (q.exec(sql) && q.next()) value = q.value(0);
        return value;
    }
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-read"));
        db.setDatabaseName(databasePath);
        db.open();
        QSqlQuery q(db);
        if (q.exec(sql) && q.next()) value = q.value(0);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-read"));
    return value;
}

// In the server pass: a new register on the test server with the district 本町, which the
// window then opens through TOVERA_DATABASE (cleared by clearServerRegister).
inline void useServerRegisterInServerPass() {
    if (!test::serverPass()) return;
    test::PgServer& server = test::PgServer::instance();
    const QString uri = server.createRegister(server.freshName());
    QVERIFY(test::execOn(uri, QStringLiteral("INSERT INTO 行政区 (所在区) VALUES ('本町')")));
    qputenv(kDatabaseVariable, uri.toUtf8());
}
inline void clearServerRegister() {
    qunsetenv(kDatabaseVariable);
}

// Adds record `no` to the register the window opens: the file beside it, or in the server
// pass the register on the test server. Null `zumen`/`excel` for none.
inline void addRecordTo(WindowRun& run, int no, const QByteArray& zumen, const QByteArray& excel) {
    if (!test::serverPass()) {
        run.addRecord(no, zumen, excel);
        return;
    }
    auto blob = [](const QByteArray& b) {
        return b.isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(b);
    };
    QVERIFY(
        test::execOn(qEnvironmentVariable(kDatabaseVariable),
                     QStringLiteral("INSERT INTO 基本データ (\"No\", 所在区, 所有者氏名, zumen, "
                                    "excel) VALUES (?, '本町', '山田太郎', ?, ?)"),
                     {no, blob(zumen), blob(excel)}));
}

// Column `column` of the record No = `no`, as stored in the file.
inline QByteArray storedColumn(const QString& databasePath, const char* column, int no) {
    return storeValue(databasePath, QStringLiteral("SELECT %1 FROM 基本データ WHERE \"No\" = %2")
                                        .arg(QLatin1String(column))
                                        .arg(no))
        .toByteArray();
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

inline QString sampleDrawing(const char* name) {
    return QStringLiteral(TOVERA_TEST_DATA "/drawings/") + QLatin1String(name);
}

// Sends a drag entering `target` at its centre and, when taken, the drop. Returns whether
// the drop was taken.
inline bool dropOn(QWidget* target, const QMimeData& data) {
    const QPointF at = QRectF(target->rect()).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

inline bool dropFileOn(QWidget* target, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    return dropOn(target, data);
}

} // namespace tovera::testing
