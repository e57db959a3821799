// Workbooks through global memory: the read-only handle stream, SaveWorkbookToHandle,
// LoadWorkbookFromHandle with a block longer than the workbook, and ClearWorkbook.

#include "platform/errors.h"
#include "sheet/handlestream.h"
#include "sheet/workbookops.h"
#include "sheet/xlsreader_cells.h"

#include <QTest>
#include <cstring>

using namespace tovera;

namespace {

HGLOBAL blockWith(const QByteArray& bytes) {
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::size_t(bytes.size()));
    void* p = GlobalLock(h);
    std::memcpy(p, bytes.constData(), std::size_t(bytes.size()));
    GlobalUnlock(h);
    return h;
}

Workbook sampleBook() {
    Workbook book = Workbook::createDefault();
    Cell c;
    c.type = CellType::Text;
    c.text = QStringLiteral("宮﨑　健太郎");
    book.sheets.front().setCell(3, c);
    Cell n;
    n.column = 4;
    n.type = CellType::Number;
    n.number = 77842;
    book.sheets.front().setCell(5, n);
    return book;
}

} // namespace

class TestXlsWriteHandles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void streamReadsAndOwnsTheBlock() {
        const std::size_t before = globalBlockCount();
        const HGLOBAL h = blockWith(QByteArray("0123456789"));
        {
            THandleMemoryStream s(h);
            QCOMPARE(s.Handle(), h);
            QCOMPARE(s.Size(), std::int64_t(10));
            QCOMPARE(GlobalFlags(h) & GMEM_LOCKCOUNT, 1u); // locked while the stream lives
            char buf[8] = {};
            QCOMPARE(s.Read(buf, 4), std::int64_t(4));
            QCOMPARE(QByteArray(buf, 4), QByteArray("0123"));
            QCOMPARE(s.Position(), std::int64_t(4));
            QCOMPARE(s.Seek(-2, SeekOrigin::End), std::int64_t(8));
            QCOMPARE(s.Read(buf, 8), std::int64_t(2));
            QCOMPARE(QByteArray(buf, 2), QByteArray("89"));
            QCOMPARE(s.Read(buf, 8), std::int64_t(0));
            s.SetPosition(20); // past the end: reads give nothing
            QCOMPARE(s.Read(buf, 1), std::int64_t(0));
            QVERIFY_THROWS_EXCEPTION(EInOutError, s.Seek(-1, SeekOrigin::Beginning));
            QVERIFY_THROWS_EXCEPTION(EInOutError, s.Write("x", 1));
            QCOMPARE(s.bytes(), QByteArray("0123456789"));
        }
        QCOMPARE(GlobalSize(h), std::size_t(0)); // freed with the stream
        QCOMPARE(globalBlockCount(), before);
    }

    void invalidHandle_data() {
        QTest::addColumn<bool>("discarded");
        QTest::newRow("never allocated") << false;
        QTest::newRow("empty movable block") << true;
    }
    void invalidHandle() {
        QFETCH(bool, discarded);
        const HGLOBAL h = discarded ? GlobalAlloc(GMEM_MOVEABLE, 0) : HGLOBAL(0x7FFFFFF0);
        try {
            THandleMemoryStream s(h);
            QFAIL("no error");
        } catch (const EHandleMemoryStream& e) {
            QCOMPARE(e.message(), QStringLiteral("Invalid Memory Handle"));
        }
        if (discarded) QCOMPARE(GlobalFree(h), HGLOBAL(0)); // not taken over on failure
    }

    void saveThenLoadThroughHandles() {
        const Workbook book = sampleBook();
        HGLOBAL h = 0;
        SaveWorkbookToHandle(book, h);
        QVERIFY(h != 0);
        QVERIFY(GlobalSize(h) > 512);
        QCOMPARE(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);

        // What the attachment code does: copy the whole block, the stream frees it.
        QByteArray stored;
        {
            THandleMemoryStream s(h);
            stored = s.bytes();
        }
        QCOMPARE(qsizetype(GlobalSize(h)), qsizetype(0));

        // The bytes handed back sit in a longer block.
        const HGLOBAL longer = blockWith(stored + QByteArray(3000, '\xAB'));
        Workbook shown = Workbook::createDefault();
        LoadWorkbookFromHandle(shown, longer);
        QCOMPARE(cellLines(shown), cellLines(book));
        QCOMPARE(GlobalFlags(longer) & GMEM_LOCKCOUNT, 0u); // the caller's block, unlocked
        QCOMPARE(GlobalFree(longer), HGLOBAL(0));
    }

    void failedLoadKeepsTheWorkbook_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no workbook") << QByteArray("this is not a workbook at all");
        QTest::newRow("truncated container")
            << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(100, '\0');
        QTest::newRow("empty block") << QByteArray();
    }
    void failedLoadKeepsTheWorkbook() {
        QFETCH(QByteArray, bytes);
        Workbook shown = sampleBook();
        const QStringList before = cellLines(shown);
        const HGLOBAL h = blockWith(bytes);
        QVERIFY_THROWS_EXCEPTION(EOleException, LoadWorkbookFromHandle(shown, h));
        QCOMPARE(cellLines(shown), before);
        GlobalFree(h);
        QVERIFY_THROWS_EXCEPTION(EOleException, LoadWorkbookFromHandle(shown, h)); // freed
    }

    void clearLeavesOneEmptySheet() {
        Workbook book = sampleBook();
        book.sheets.push_back(book.sheets.front());
        ClearWorkbook(book);
        QCOMPARE(book.sheets.size(), size_t(1));
        QCOMPARE(book.sheets.front().valueCount(), size_t(0));
        QCOMPARE(book.fonts.front().name, QStringLiteral("ＭＳ Ｐゴシック"));
    }
};

QTEST_GUILESS_MAIN(TestXlsWriteHandles)
#include "test_xls_write_handles.moc"
