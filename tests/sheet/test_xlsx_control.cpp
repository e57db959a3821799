// The spreadsheet control shows an .xlsx detail sheet loaded from a file (whatever its
// name) and from the bytes stored in a record, with the texts of its .xls original.

#include "platform/errors.h"
#include "platform/globalmem.h"
#include "sheet/view/f5book.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

using namespace tovera;

class TestXlsxControl : public QObject {
    Q_OBJECT

private slots:
    void showsTheSameTexts_data();
    void showsTheSameTexts();
};

void TestXlsxControl::showsTheSameTexts_data() {
    QTest::addColumn<bool>("throughHandle");
    QTest::addColumn<QString>("name");
    QTest::newRow("file") << false << QStringLiteral("book.xlsx");
    QTest::newRow("file named .xls") << false << QStringLiteral("book.xls");
    QTest::newRow("stored bytes") << true << QString();
}

void TestXlsxControl::showsTheSameTexts() {
    QFETCH(bool, throughHandle);
    QFETCH(QString, name);
    const QString xlsx = QStringLiteral(TOVERA_SHARED "/xlsx-corpus/hyoten_mokuzou_2f.xlsx");
    const QString xls = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
    if (!QFile::exists(xlsx) || !QFile::exists(xls)) QSKIP("the detail sheets are absent");
    TF5Book original, shown;
    int16_t type = 0;
    original.LoadWorkbookFile(xls, type);
    QFile f(xlsx);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QTemporaryDir dir;
    if (throughHandle) {
        const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::size_t(bytes.size()) + 512);
        std::memcpy(GlobalLock(h), bytes.constData(), std::size_t(bytes.size()));
        GlobalUnlock(h);
        shown.LoadWorkbookFromHandle(h, 0);
        GlobalFree(h);
    } else {
        const QString path = dir.filePath(name);
        QFile copy(path);
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(bytes);
        copy.close();
        shown.LoadWorkbookFile(path, type);
    }
    for (const auto& [row, column] :
         {std::pair{4, 4}, {6, 5}, {6, 7}, {6, 9}, {6, 10}, {6, 11}, {6, 12}})
        QCOMPARE(shown.CellText(1, row, column), original.CellText(1, row, column));
    QVERIFY(!shown.CellText(1, 4, 4).isEmpty());
}

QTEST_MAIN(TestXlsxControl)
#include "test_xlsx_control.moc"
