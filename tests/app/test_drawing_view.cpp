// The drawing view on page 家屋図面 of the running window: zoom by mouse presses, the floor
// tabs, the toolbar button 図面読込 with its open dialog, clearing, the frame buffer kept
// from frame to frame, and a very large background picture at start-up. Real drawing files,
// real mouse events, frames compared with the renderer's own.

#include "app/application.h"
#include "app/hinttracker.h"
#include "app/page_drawing.h"
#include "drawing/bmp_writer.h"
#include "drawing/comma_locale.h"
#include "platform/errors.h"
#include "records/recordset.h"
#include "support.h"
#include "widgets/controls.h"
#include "widgets/qtdialogs.h"
#include "widgets/statusbar.h"

#include <QFileDialog>
#include <QListView>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

using namespace tovera;
using namespace tovera::testing;

namespace {

QString sample(const char* name) {
    return QStringLiteral(TOVERA_TEST_DATA "/drawings/") + QLatin1String(name);
}

// The frame the renderer makes of `model` over the white background.
QImage referenceFrame(const DrawingModel& model) {
    DrawingCanvas canvas;
    DrawingModel empty;
    canvas.prepareCanvas(empty, QString());
    canvas.renderDrawing(model);
    return canvas.drawBuffer.copy();
}

// What the drawing area shows on the screen now.
QImage shown(PaintBox* box) {
    return box->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestDrawingView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void zoomPresses_data();
    void zoomPresses();
    void zoomHasNoUpperLimit();
    void numbersUnderCommaLocale();
    void zoomKeepsTheTopLeftCorner();
    void floorTabs();
    void openDialogReads();
    void openDialogCancelled();
    void openDialogFilter();
    void openRefusedHeader();
    void openReaderError();
    void clearing();
    void frameBufferIsReused();
    void paintAfterAChangeComposesAgain();
    void veryLargeBackgroundAtStartup();

private:
    void pressDrawingArea(Qt::MouseButton button, QPoint at = QPoint(100, 100));
    void clickTab(int index);
    void openWithDialog(const QString& path);
    std::unique_ptr<WindowRun> run_;
    Tovmain* w_ = nullptr;
    DrawingPage* page_ = nullptr;
};

void TestDrawingView::init() {
    run_ = std::make_unique<WindowRun>();
    QVERIFY(run_->folder.isValid());
    w_ = &run_->startQuietly();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    page_ = &w_->drawingPage();
    w_->show();
    w_->showPage(2);
    QVERIFY(QTest::qWaitForWindowExposed(w_));
}

void TestDrawingView::cleanup() {
    static_cast<TovApplication*>(qApp)->setErrorDialogs(nullptr);
    run_.reset();
}

void TestDrawingView::pressDrawingArea(Qt::MouseButton button, QPoint at) {
    QTest::mousePress(page_->PaintBox1, button, Qt::NoModifier, at);
    QTest::mouseRelease(page_->PaintBox1, button, Qt::NoModifier, at);
}

void TestDrawingView::clickTab(int index) {
    QTabBar* tabs = page_->FlatTabControl1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(index).center());
}

void TestDrawingView::openWithDialog(const QString& path) {
    run_->dialogs.openAnswers.push_back(path);
    QTest::mouseClick(w_->ZmRead, Qt::LeftButton);
}

void TestDrawingView::zoomPresses_data() {
    QTest::addColumn<QString>("buttons"); // L left, R right, M middle, B back
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("messages");
    const QString out = QStringLiteral("縮小！");
    const QString limit = QStringLiteral("縮小限度！");
    const QString in = QStringLiteral("拡大！");
    QTest::newRow("four right presses") << "RRRR" << QStringList{" 0.40", " 0.30", " 0.50", " 0.40"}
                                        << QStringList{out, out, limit, out};
    QTest::newRow("five left presses")
        << "LLLLL" << QStringList{" 0.60", " 0.70", " 0.80", " 0.90", " 1.00"}
        << QStringList{in, in, in, in, in};
    QTest::newRow("middle and other buttons zoom in")
        << "MB" << QStringList{" 0.60", " 0.70"} << QStringList{in, in};
    QTest::newRow("in, then out past the limit")
        << "LRRRR" << QStringList{" 0.60", " 0.50", " 0.40", " 0.30", " 0.50"}
        << QStringList{in, out, out, out, limit};
}

void TestDrawingView::zoomPresses() {
    QFETCH(QString, buttons);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, messages);
    QCOMPARE(page_->ZoomDisp->text(), QStringLiteral("0.5")); // until the first press
    for (qsizetype k = 0; k < buttons.size(); ++k) {
        const Qt::MouseButton button = buttons[k] == 'L'   ? Qt::LeftButton
                                       : buttons[k] == 'R' ? Qt::RightButton
                                       : buttons[k] == 'M' ? Qt::MiddleButton
                                                           : Qt::BackButton;
        pressDrawingArea(button);
        QCOMPARE(page_->ZoomDisp->text(), shown[k]);
        QCOMPARE(w_->statusMessage(), messages[k]);
        // The new frame is in the drawing area.
        QCOMPARE(page_->PaintBox1->frame(), referenceFrame(page_->model()));
    }
    QVERIFY(run_->dialogs.shown.empty());
}

void TestDrawingView::zoomHasNoUpperLimit() {
    for (int k = 0; k < 120; ++k) pressDrawingArea(Qt::LeftButton);
    QCOMPARE(page_->ZoomDisp->text(), QStringLiteral(" 12.50"));
    double zoom = 0.5;
    for (int k = 0; k < 120; ++k) zoom += 0.1; // double arithmetic, press by press
    QCOMPARE(page_->model().zoom, zoom);
    QCOMPARE(w_->statusMessage(), QStringLiteral("拡大！"));
    // Two right presses from the start value: 0.30000000000000004 is not below the limit.
    run_.reset();
    init();
    pressDrawingArea(Qt::RightButton);
    pressDrawingArea(Qt::RightButton);
    QCOMPARE(page_->model().zoom, 0.5 - 0.1 - 0.1);
    QVERIFY(page_->model().zoom > 0.3);
}

void TestDrawingView::numbersUnderCommaLocale() {
    // A user whose locale writes a decimal comma sees the zoom and the areas with ".".
    QTemporaryDir scratch;
    const QString why = prepareCommaLocale(scratch.path());
    QVERIFY2(why.isEmpty(), qPrintable(why));
    ScopedCLocale locale(CommaLocaleName);
    QVERIFY(locale.ok());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    pressDrawingArea(Qt::LeftButton);
    openWithDialog(sample("three_floors.hbd"));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(page_->ZoomDisp->text(), QStringLiteral(" 0.60"));
    QCOMPARE(page_->FlatEdit1->text(), QStringLiteral("   66.25"));
    QCOMPARE(page_->FlatEdit4->text(), QStringLiteral("    1.82"));
    QCOMPARE(page_->FlatEdit5->text(), QStringLiteral("  127.75"));
}

void TestDrawingView::zoomKeepsTheTopLeftCorner() {
    openWithDialog(sample("three_floors.hbd"));
    // Wherever the press lands, the frame is the one scaled about the top-left corner.
    const QList<QPoint> places{{1, 1}, {580, 400}, {300, 20}};
    QImage previous = shown(page_->PaintBox1);
    for (const QPoint& at : places) {
        pressDrawingArea(Qt::LeftButton, at);
        const QImage now = shown(page_->PaintBox1);
        QCOMPARE(now, referenceFrame(page_->model()));
        QVERIFY(now != previous);
        previous = now;
    }
    // Three presses give 0.7999999999999999: the outer wall from (20, 20) lies on pixel 15
    // (rows 14 and 15 with the two-pixel pen), the grid's first line on pixel 7; left of
    // and above them, white.
    QCOMPARE(page_->model().zoom, 0.5 + 0.1 + 0.1 + 0.1);
    QVERIFY(page_->model().zoom < 0.8);
    QCOMPARE(previous.pixel(100, 15), qRgb(0, 0, 0));
    QCOMPARE(previous.pixel(100, 14), qRgb(0, 0, 0));
    QCOMPARE(previous.pixel(100, 16), qRgb(255, 255, 255));
    QCOMPARE(previous.pixel(7, 200), qRgb(0, 255, 0));
    QCOMPARE(previous.pixel(3, 3), qRgb(255, 255, 255));
}

void TestDrawingView::floorTabs() {
    openWithDialog(sample("three_floors.hbd"));
    DrawingModel& model = page_->model();
    QImage frames[3];
    for (int floor = 1; floor <= 3; ++floor) {
        DrawingModel m = model;
        m.currentFloor = floor;
        frames[floor - 1] = referenceFrame(m);
    }
    QVERIFY(frames[0] != frames[1] && frames[1] != frames[2] && frames[0] != frames[2]);
    QTRY_COMPARE(shown(page_->PaintBox1), frames[0]);
    for (int index : {1, 2, 0, 2}) {
        clickTab(index);
        QCOMPARE(model.currentFloor, index + 1);
        QCOMPARE(page_->FlatTabControl1->currentIndex(), index);
        // The tab control's repaint, after the handler, draws the floor chosen.
        QTRY_COMPARE(page_->PaintBox1->frame(), frames[index]);
        QCOMPARE(shown(page_->PaintBox1), frames[index]);
    }
    // Floor 2 has its blue middle wall at x = 300, pixel 150; floor 3 does not.
    QCOMPARE(frames[1].pixel(150, 100), qRgb(0, 0, 255));
    QVERIFY(frames[2].pixel(150, 100) != qRgb(0, 0, 255));
    // A press on the active tab and a press with the right button change nothing.
    clickTab(2);
    QTabBar* tabs = page_->FlatTabControl1->tabBar();
    QTest::mouseClick(tabs, Qt::RightButton, Qt::NoModifier, tabs->tabRect(0).center());
    QCOMPARE(model.currentFloor, 3);
    QCOMPARE(page_->FlatTabControl1->currentIndex(), 2);
}

void TestDrawingView::openDialogReads() {
    // The floor and zoom chosen before, and the dropped bytes, stay.
    clickTab(1);
    pressDrawingArea(Qt::LeftButton);
    w_->droppedDrawing() = "kept";
    const QString path = sample("three_floors.hbd");
    openWithDialog(path);
    QCOMPARE(run_->count(ScriptedDialogs::Shown::Open), 1);
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(w_->zmfile->text(), path);
    QCOMPARE(w_->statusMessage(), path + QStringLiteral("を読込みました。"));
    QCOMPARE(page_->model().currentFloor, 2);
    QCOMPARE(page_->FlatTabControl1->currentIndex(), 1);
    QCOMPARE(page_->model().zoom, 0.6);
    QCOMPARE(w_->droppedDrawing(), QByteArray("kept"));
    QCOMPARE(page_->FlatEdit1->text(), QStringLiteral("   66.25"));
    QCOMPARE(page_->FlatEdit5->text(), QStringLiteral("  127.75"));
    QCOMPARE(page_->model().lines2F.size(), size_t(5));
    QCOMPARE(page_->PaintBox1->frame(), referenceFrame(page_->model()));

    // A second drawing replaces the first.
    openWithDialog(sample("basic_lf.hbd"));
    QCOMPARE(w_->zmfile->text(), sample("basic_lf.hbd"));
    QCOMPARE(page_->model().lines2F.size(), size_t(0));
    QCOMPARE(page_->model().gridOriginX, 100);
}

void TestDrawingView::openDialogCancelled() {
    openWithDialog(sample("three_floors.hbd"));
    w_->showStatus(QStringLiteral("before"));
    const QImage before = page_->PaintBox1->frame().copy();
    const size_t lines = page_->model().lines1F.size();
    QTest::mouseClick(w_->ZmRead, Qt::LeftButton); // no answer: cancelled
    QCOMPARE(run_->count(ScriptedDialogs::Shown::Open), 2);
    QCOMPARE(w_->zmfile->text(), sample("three_floors.hbd"));
    QCOMPARE(w_->statusMessage(), QStringLiteral("before"));
    QCOMPARE(page_->model().lines1F.size(), lines);
    QCOMPARE(page_->PaintBox1->frame(), before);
}

void TestDrawingView::openDialogFilter() {
    // Set on every click, whatever another operation set on the shared dialog.
    QTest::mouseClick(w_->ZmRead, Qt::LeftButton);
    run_->dialogs.lastRequest.filter = QStringLiteral("something else");
    QTest::mouseClick(w_->ZmRead, Qt::LeftButton);
    const QString filter = QStringLiteral("家屋図面 (*.hbd);;家屋旧図面 (*.had)");
    QCOMPARE(run_->dialogs.lastRequest.filter, filter);
    QCOMPARE(DrawingPage::drawingOpenFilter(), filter);

    // The real dialog shows two choices; the second lists old drawings in either case.
    QTemporaryDir dir;
    for (const char* name : {"a.hbd", "b.had", "C.HAD", "d.txt", "e.hbdx"}) {
        QFile f(dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    WidgetDialogs dialogs;
    QFileDialog* dialog = dialogs.openDialog();
    dialog->setNameFilter(filter);
    QCOMPARE(dialog->nameFilters(), (QStringList{QStringLiteral("家屋図面 (*.hbd)"),
                                                 QStringLiteral("家屋旧図面 (*.had)")}));
    dialog->setDirectory(dir.path());
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(view);
    auto listed = [&] {
        QStringList names;
        const QAbstractItemModel* m = view->model();
        for (int r = 0; r < m->rowCount(view->rootIndex()); ++r)
            names << m->index(r, 0, view->rootIndex()).data().toString();
        names.sort();
        return names;
    };
    dialog->selectNameFilter(dialog->nameFilters()[0]);
    QTRY_COMPARE(listed(), QStringList{QStringLiteral("a.hbd")});
    dialog->selectNameFilter(dialog->nameFilters()[1]);
    QTRY_COMPARE(listed(), (QStringList{QStringLiteral("C.HAD"), QStringLiteral("b.had")}));
}

void TestDrawingView::openRefusedHeader() {
    openWithDialog(sample("three_floors.hbd"));
    w_->showStatus(QStringLiteral("before"));
    openWithDialog(sample("refused_caps.hbd"));
    QCOMPARE(run_->dialogs.messages(),
             QStringList{QStringLiteral("家屋図面(木造)ではありません!")});
    // Not announced as read: the file-name box and the message panel keep their texts.
    QCOMPARE(w_->zmfile->text(), sample("three_floors.hbd"));
    QCOMPARE(w_->statusMessage(), QStringLiteral("before"));
    // The view is redrawn with the emptied lists; the area boxes keep the earlier areas.
    for (int floor = 1; floor <= 3; ++floor)
        QCOMPARE(page_->model().floorElementCount(floor), size_t(0));
    QCOMPARE(page_->PaintBox1->frame(), referenceFrame(page_->model()));
    QCOMPARE(page_->FlatEdit1->text(), QStringLiteral("   66.25"));
}

void TestDrawingView::openReaderError() {
    openWithDialog(sample("three_floors.hbd"));
    w_->showStatus(QStringLiteral("before"));
    const QString bad = run_->path(QStringLiteral("bad.hbd"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("$headerpas\r\n1\r\n2\r\n0\r\n0\r\n0\r\n0\r\n45\r\n45\r\nx\r\n12.5\r\nten\r\n");
    f.close();
    openWithDialog(bad);
    QCOMPARE(run_->dialogs.messages(), QStringList{QStringLiteral("入力値が数値ではありません.")});
    QCOMPARE(run_->count(ScriptedDialogs::Shown::Error), 1);
    // The handler ended at the reader: the model keeps what was read, nothing else changed.
    QCOMPARE(page_->model().areaF1, 12.5);
    QCOMPARE(page_->FlatEdit1->text(), QStringLiteral("   12.50"));
    QCOMPARE(page_->model().homeOriginX, 1);
    QCOMPARE(page_->model().lines1F.size(), size_t(0));
    QCOMPARE(w_->zmfile->text(), sample("three_floors.hbd"));
    QCOMPARE(w_->statusMessage(), QStringLiteral("before"));
}

void TestDrawingView::clearing() {
    openWithDialog(sample("three_floors.hbd"));
    clickTab(1);
    pressDrawingArea(Qt::LeftButton);
    const DrawingModel before = page_->model();
    page_->zclear();
    const DrawingModel& m = page_->model();
    for (int floor = 1; floor <= 3; ++floor) QCOMPARE(m.floorElementCount(floor), size_t(0));
    QVERIFY(m.lines1F.empty() && m.lines2F.empty() && m.lines3F.empty() && m.extraLines1F.empty() &&
            m.boxes1F.empty() && m.boxes2F.empty() && m.boxes3F.empty());
    for (FlatEdit* box :
         {page_->FlatEdit1, page_->FlatEdit2, page_->FlatEdit3, page_->FlatEdit4, page_->FlatEdit5})
        QCOMPARE(box->text(), QString());
    QCOMPARE(w_->zmfile->text(), QString());
    // Floor 1 and its tab; everything else as it was.
    QCOMPARE(m.currentFloor, 1);
    QCOMPARE(page_->FlatTabControl1->currentIndex(), 0);
    QCOMPARE(m.zoom, before.zoom);
    QCOMPARE(page_->ZoomDisp->text(), QStringLiteral(" 0.60"));
    QCOMPARE(m.areaF1, before.areaF1);
    QCOMPARE(m.kenLength, before.kenLength);
    QCOMPARE(m.gridPitchX, before.gridPitchX);
    QCOMPARE(m.gridOriginX, before.gridOriginX);
    // Background and grid only.
    DrawingModel gridOnly;
    gridOnly.zoom = m.zoom;
    gridOnly.gridPitchX = gridOnly.gridPitchY = 45.5;
    QCOMPARE(shown(page_->PaintBox1), referenceFrame(gridOnly));
    // A drawing opened next is drawn on floor 1, as the tab says.
    openWithDialog(sample("three_floors.hbd"));
    DrawingModel floor1 = page_->model();
    QCOMPARE(floor1.currentFloor, 1);
    QCOMPARE(page_->PaintBox1->frame(), referenceFrame(floor1));
}

void TestDrawingView::frameBufferIsReused() {
    openWithDialog(sample("three_floors.hbd"));
    const DrawingCanvas& canvas = page_->canvas();
    const uchar* bits = canvas.drawBuffer.constBits();
    // Presses, a floor, a repaint of the area, a new drawing: one buffer throughout, and
    // the drawing area shows that buffer itself rather than a copy of it.
    for (int step = 0; step < 6; ++step) {
        switch (step % 3) {
        case 0:
            pressDrawingArea(Qt::LeftButton);
            break;
        case 1:
            clickTab(step % 2 + 1);
            page_->PaintBox1->repaint();
            break;
        default:
            openWithDialog(sample("basic_crlf.hbd"));
            break;
        }
        QCOMPARE(canvas.drawBuffer.constBits(), bits);
        QCOMPARE(page_->PaintBox1->frame().constBits(), bits);
        QCOMPARE(page_->PaintBox1->frame(), referenceFrame(page_->model()));
    }
}

void TestDrawingView::paintAfterAChangeComposesAgain() {
    openWithDialog(sample("three_floors.hbd"));
    // A press hands its frame over; the model changes before the area is painted (as a
    // reader that fails half-way leaves it): the paint shows the model as it is.
    pressDrawingArea(Qt::LeftButton);
    DrawingModel& model = page_->model();
    model.lines1F.resize(2);
    model.zoom = 1.5;
    page_->PaintBox1->repaint();
    QCOMPARE(shown(page_->PaintBox1), referenceFrame(model));
    // And with the same storage and length but another floor.
    pressDrawingArea(Qt::RightButton);
    model.currentFloor = 3;
    QCOMPARE(shown(page_->PaintBox1), referenceFrame(model));
}

void TestDrawingView::veryLargeBackgroundAtStartup() {
    WindowRun run;
    run.createStore();
    run.addRecord(1, QByteArray(), QByteArray());
    // 12 000 x 9 000 pixels at 24 bits, written as a painting program would.
    const QString picture = run.path(QStringLiteral("航空写真.bmp"));
    auto colour = [](int x, int y) {
        return x < 600 && y < 420 ? qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF) : qRgb(9, 9, 9);
    };
    QVERIFY(writeBmp(picture, {12000, 9000, 24, false, false}, colour));
    Tovmain& w = run.start({picture});
    // No error: start-up went on to the store and the hint handler.
    QVERIFY2(run.dialogs.shown.empty(), qPrintable(run.dialogs.messages().join('|')));
    QCOMPARE(w.windowTitle(), QStringLiteral("Tovera : ") + picture);
    QVERIFY(w.ADOQuery1().isOpen());
    QVERIFY(w.hints().hasHandler());
    const QImage background = w.drawingPage().canvas().backgroundBitmap;
    QCOMPARE(background.size(), QSize(590, 410));
    for (int y = 0; y < 410; y += 7)
        for (int x = 0; x < 590; x += 3) QCOMPARE(background.pixel(x, y), colour(x, y));
}

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    TestDrawingView tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_drawing_view.moc"
