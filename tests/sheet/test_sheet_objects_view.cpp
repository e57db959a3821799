// What the control shows of notes and pictures, and what it tells when a save leaves parts
// out: the note mark and the note's text on hover on a real workbook, a picture drawn at its
// anchor in the grid and on the printed page, and the message of parts left out.

#include "platform/globalmem.h"
#include "sheet/picture_support.h"
#include "sheet/sheetgeometry.h"
#include "sheet/sheetprint.h"
#include "sheet/view/f5book.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/view/sheetmodel.h"
#include "sheet/xlswriter.h"

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

using namespace tovera;
using namespace tovera::testing;

namespace {

const QRgb kBlue = qRgb(0x10, 0x30, 0xE0);

bool isBlue(QRgb c) {
    return qBlue(c) > 0xC0 && qRed(c) < 0x40 && qGreen(c) < 0x60;
}

// The smallest rectangle holding every blue pixel of `img`.
QRect blueBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (isBlue(img.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestSheetObjectsView : public QObject {
    Q_OBJECT
private slots:
    void noteMarkAndTextOnHover();
    void pictureDrawnAtItsAnchor();
    void droppedPartsAreTold_data();
    void droppedPartsAreTold();
};

void TestSheetObjectsView::noteMarkAndTextOnHover() {
    const QString path = QStringLiteral(TOVERA_SHARED "/xls-corpus/poi-50833.xls");
    if (!QFile::exists(path)) QSKIP("the shared corpus is not available");
    TF5Book book;
    int16_t type = 0;
    book.LoadWorkbookFile(path, type);
    book.resize(640, 400);
    book.show();
    QVERIFY(QTest::qWaitForWindowExposed(&book));
    SheetGrid* grid = book.grid();
    grid->setCurrentIndex(book.model()->index(5, 5)); // the frame stays off the cells looked at
    const QImage shot = grid->viewport()->grab().toImage();
    const QRect a1 = grid->visualRect(book.model()->index(0, 0));
    const QRect a2 = grid->visualRect(book.model()->index(1, 0));
    QCOMPARE(QColor(shot.pixel(a1.topRight() + QPoint(-1, 1))), QColor(Qt::red));
    QVERIFY(QColor(shot.pixel(a2.topRight() + QPoint(-1, 1))) != QColor(Qt::red));

    QHelpEvent over(QEvent::ToolTip, a1.center(), grid->viewport()->mapToGlobal(a1.center()));
    QApplication::sendEvent(grid->viewport(), &over);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("Robert Lawrence:\ntest comment"));
    QHelpEvent elsewhere(QEvent::ToolTip, a2.center(), grid->viewport()->mapToGlobal(a2.center()));
    QApplication::sendEvent(grid->viewport(), &elsewhere);
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestSheetObjectsView::pictureDrawnAtItsAnchor() {
    QImage image(60, 30, QImage::Format_RGB32);
    image.fill(kBlue);
    const DrawingAnchor anchor{1, 512, 2, 128, 3, 256, 6, 0};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.xls"));
    writeFile(path, saveWorkbookBytes(pictureBook(image, BlipKind::Png, anchor)));

    TF5Book book;
    int16_t type = 0;
    book.LoadWorkbookFile(path, type);
    QCOMPARE(book.workbook().sheets[0].pictures.size(), size_t(1));
    book.resize(640, 400);
    book.show();
    QVERIFY(QTest::qWaitForWindowExposed(&book));
    SheetGrid* grid = book.grid();
    grid->setCurrentIndex(book.model()->index(0, 8));
    const QRectF expected = grid->pictureRect(book.workbook().sheets[0].pictures[0]);
    // From the middle of column B and of row 3 to a quarter into column D and the top of
    // row 7.
    const int bLeft = grid->columnViewportPosition(1), bWidth = grid->columnWidth(1);
    QCOMPARE(expected.left(), bLeft + bWidth / 2.0);
    QCOMPARE(expected.top(), grid->rowViewportPosition(2) + grid->rowHeight(2) / 2.0);
    QCOMPARE(expected.bottom(), double(grid->rowViewportPosition(6)));
    const QRect onScreen = blueBox(grid->viewport()->grab().toImage());
    QVERIFY(!onScreen.isEmpty());
    QVERIFY2(std::abs(onScreen.left() - expected.left()) <= 1 &&
                 std::abs(onScreen.top() - expected.top()) <= 1 &&
                 std::abs(onScreen.right() + 1 - expected.right()) <= 1 &&
                 std::abs(onScreen.bottom() + 1 - expected.bottom()) <= 1,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(onScreen.x())
                            .arg(onScreen.y())
                            .arg(onScreen.width())
                            .arg(onScreen.height())));

    // On paper at 100 % the picture covers the same cells, at the same size (at 96 dots per
    // inch a sheet pixel is a dot).
    const Workbook& wb = book.workbook();
    const std::vector<PrintPage> pages = paginate(wb, 0);
    QCOMPARE(pages.size(), size_t(1));
    QVERIFY(pages[0].cells.lastRow >= 5 && pages[0].cells.lastColumn >= 3);
    QImage paper((pages[0].paperSize * 96 / 72).toSize(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter painter(&paper);
    paintPage(painter, 96, wb, pages[0]);
    painter.end();
    const QRect printed = blueBox(paper);
    QVERIFY(!printed.isEmpty());
    const double zoom = book.ViewScale() / 100.0;
    QVERIFY2(std::abs(printed.width() - expected.width() / zoom) <= 2 &&
                 std::abs(printed.height() - expected.height() / zoom) <= 2,
             qPrintable(QStringLiteral("%1x%2").arg(printed.width()).arg(printed.height())));
    const SheetGeometry geo(wb, wb.sheets[0]);
    const QPointF cells = pages[0].cellArea.topLeft() * 96 / 72;
    QVERIFY(std::abs(printed.left() - (cells.x() + geo.columnX(1) + geo.columnWidth(1) / 2.0)) <=
            1);
    QVERIFY(std::abs(printed.top() - (cells.y() + geo.rowY(2) + geo.rowHeight(2) / 2.0)) <= 1);
}

void TestSheetObjectsView::droppedPartsAreTold_data() {
    QTest::addColumn<bool>("throughHandle");
    QTest::newRow("saved to a file") << false;
    QTest::newRow("saved for a record") << true;
}

void TestSheetObjectsView::droppedPartsAreTold() {
    QFETCH(bool, throughHandle);
    // Validation on the first sheet, a name local to the second and a name after it. The
    // second sheet is then marked a chart sheet in the file, so that reading leaves it and
    // its name out and the next name changes its number when written.
    Workbook source = Workbook::createDefault();
    source.sheets[0].name = QStringLiteral("Data");
    Sheet second = source.sheets[0];
    second.name = QStringLiteral("Chart1");
    source.sheets.push_back(second);
    source.sheets[0].kept.afterWindow.push_back(
        {0x01B2, QByteArray::fromHex("040000000000000000000000ffffffff01000000")});
    source.sheets[0].kept.afterWindow.push_back(
        {0x01BE, QByteArray::fromHex("01010c0001000000000001000000010000000100000003000000"
                                     "00001e01000300000000001e090001000200020001000100")});
    DefinedName local;
    local.name = QStringLiteral("gone");
    local.sheet = 1;
    local.tokens = QByteArray::fromHex("1e0100");
    DefinedName global;
    global.name = QStringLiteral("list");
    global.tokens = QByteArray::fromHex("1e0200");
    source.definedNames = {local, global};
    QByteArray bytes = saveWorkbookBytes(source);
    const qsizetype at = bytes.indexOf(QByteArray::fromHex("00000600") + "Chart1");
    QVERIFY(at > 0);
    bytes[at + 1] = char(2);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("named.xls"));
    writeFile(path, bytes);

    TF5Book book;
    QStringList told;
    book.setMessageHandler([&told](const QString& m) { told.append(m); });
    int16_t type = 0;
    book.LoadWorkbookFile(path, type);
    QCOMPARE(book.workbook().sheets.size(), size_t(1));
    const QString saved = dir.filePath(QStringLiteral("saved.xls"));
    if (throughHandle) {
        HGLOBAL handle = 0;
        book.SaveWorkbookToHandle(handle, 0);
        QVERIFY(handle != 0);
        GlobalFree(handle);
    } else {
        book.SaveWorkbookFile(saved, kFileTypeExcel97);
    }
    QTRY_COMPARE(told.size(), 1);
    QVERIFY2(told[0].contains(QStringLiteral("シート「Data」の入力規則と条件付き書式")),
             qPrintable(told[0]));
    QVERIFY(told[0].endsWith(QStringLiteral("。")));
    QCOMPARE(told[0].startsWith(saved), !throughHandle);

    // A workbook that keeps everything tells nothing.
    told.clear();
    book.ClearWorkbook();
    book.SaveWorkbookFile(saved, kFileTypeExcel97);
    QTest::qWait(10);
    QVERIFY(told.isEmpty());
}

QTEST_MAIN(TestSheetObjectsView)
#include "test_sheet_objects_view.moc"
