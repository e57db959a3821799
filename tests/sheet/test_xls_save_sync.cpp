// Saving a workbook survives a power cut: the new file is synced before it replaces the
// old one, and the folder is synced after the rename (counted syncs and renames).

#include "records/sync_recorder.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;

class TestXlsSaveSync : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void saveSyncsFileThenFolder_data() {
        QTest::addColumn<bool>("replacing");
        QTest::newRow("new file") << false;
        QTest::newRow("over an old file") << true;
    }
    void saveSyncsFileThenFolder() {
        QFETCH(bool, replacing);
        QTemporaryDir dir;
        const QString folder = QFileInfo(dir.path()).canonicalFilePath();
        const QString path = QDir(folder).filePath(QStringLiteral("評点明細.xls"));
        Workbook book = Workbook::createDefault();
        if (replacing) saveWorkbookFile(book, path, kFileTypeExcel97);
        Cell cell;
        cell.type = CellType::Text;
        cell.text = QStringLiteral("保存");
        book.sheets.front().setCell(0, cell);

        test::startRecordingFileEvents();
        saveWorkbookFile(book, path, kFileTypeExcel97);
        const QList<test::FileEvent> events = test::stopRecordingFileEvents();

        int renamed = -1;
        for (int i = 0; i < events.size(); ++i)
            if (events[i].kind == QLatin1String("rename") && events[i].path == path) renamed = i;
        QVERIFY2(renamed >= 0, "the file is written under another name, then renamed");
        const QString temp = events[renamed].from;
        QCOMPARE(QFileInfo(temp).absolutePath(), folder);
        bool fileSynced = false, folderSynced = false;
        for (int i = 0; i < events.size(); ++i) {
            if (events[i].kind != QLatin1String("sync")) continue;
            if (i < renamed && events[i].path == temp) fileSynced = true;
            if (i > renamed && events[i].path == folder) folderSynced = true;
        }
        QVERIFY2(fileSynced, "the new file is synced before the rename");
        QVERIFY2(folderSynced, "the folder is synced after the rename");
        QCOMPARE(loadWorkbookFile(path).sheets.front().cell(0, 0)->text, QStringLiteral("保存"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("評点明細.xls")});
    }
};

QTEST_GUILESS_MAIN(TestXlsSaveSync)
#include "test_xls_save_sync.moc"
