// Drops on the running window: files from outside on the spreadsheet control and the
// floor tabs, drags from the side-bar file lists onto the four inside targets, and drops
// on controls that take none. Drops are real drag events sent through the application.

#include "app/application.h"
#include "app/page_drawing.h"
#include "app/page_sheet.h"
#include "attachment_support.h"
#include "sheet/xlswriter.h"
#include "support.h"
#include "widgets/controls.h"
#include "widgets/filedrop.h"
#include "widgets/shelllist.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QUrl>

using namespace tovera;
using namespace tovera::testing;

namespace {

std::unique_ptr<QMimeData> filesData(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

} // namespace

class TestDrops : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void outsideDropOnTheSheet_data();
    void outsideDropOnTheSheet();
    void outsideDropOnTheFloorTabs_data();
    void outsideDropOnTheFloorTabs();
    void refusedFloorTabsDropOnlyEmptiesDroppedDrawing();
    void dropsShowFloorOneAndItsTab_data();
    void dropsShowFloorOneAndItsTab();
    void droppedFileThatIsNoDrawing_data();
    void droppedFileThatIsNoDrawing();
    void unreadableDroppedDrawingFails();
    void noOtherControlTakesOutsideDrops();
    void listDragOntoTheDrawingArea();
    void insideTargetsTakeOnlyListDrags();
    void insideDropNeedsASelectedItem();
    void dropButtonsTestTheName_data();
    void dropButtonsTestTheName();

private:
    std::unique_ptr<WindowRun> run_;
    Tovmain* w_ = nullptr;
    QString dir_;
};

void TestDrops::init() {
    run_ = std::make_unique<WindowRun>();
    QVERIFY(run_->folder.isValid());
    w_ = &run_->startQuietly();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    dir_ = run_->path(QStringLiteral("files"));
    QDir().mkpath(dir_ + "/hbd");
    for (const char* name : {"plan.txt", "A.HBD", "old.had"}) {
        QFile f(dir_ + "/" + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("data");
    }
    // A dropped workbook is loaded, so the workbooks are real ones.
    for (const char* name : {"a.xls", "b.xlsx"}) {
        Workbook book = Workbook::createDefault();
        Cell named;
        named.type = CellType::Text;
        named.text = QLatin1String(name);
        named.xf = 15;
        book.sheets[0].setCell(0, named);
        saveWorkbookFile(book, dir_ + "/" + QLatin1String(name), 4);
    }
    QVERIFY(QFile::copy(sampleDrawing("basic_crlf.hbd"), dir_ + "/plan.hbd"));
}

void TestDrops::cleanup() {
    static_cast<TovApplication*>(qApp)->setErrorDialogs(nullptr);
    run_.reset();
}

void TestDrops::outsideDropOnTheSheet_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("one workbook") << QStringList{"a.xls"} << true;
    QTest::newRow("first of three") << QStringList{"b.xlsx", "plan.txt", "A.HBD"} << true;
    QTest::newRow("first refused, second a workbook") << QStringList{"plan.txt", "a.xls"} << false;
    QTest::newRow("drawing") << QStringList{"plan.hbd"} << false;
}

void TestDrops::outsideDropOnTheSheet() {
    QFETCH(QStringList, names);
    QFETCH(bool, accepted);
    QStringList paths;
    for (const QString& n : names) paths << dir_ + "/" + n;
    QSignalSpy shown(&w_->sheetPage(), &SheetPage::sheetDropAccepted);
    const auto data = filesData(paths);
    QVERIFY(dropOn(w_->sheetPage().F5Book1, *data));
    QCOMPARE(w_->sheetPage().FileDrop3->files(), paths);
    if (accepted) {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().first().toString(), paths.first());
        QVERIFY(run_->dialogs.messages().isEmpty());
        QCOMPARE(w_->sheetPage().F5Book1->CellText(1, 1, 1),
                 names.first()); // the workbook is shown
    } else {
        QCOMPARE(shown.size(), 0);
        QCOMPARE(w_->sheetPage().F5Book1->CellText(1, 1, 1), QString()); // still the empty one
        QCOMPARE(run_->dialogs.messages(),
                 QStringList{QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});
    }
}

void TestDrops::outsideDropOnTheFloorTabs_data() {
    QTest::addColumn<bool>("onDrawingArea");
    QTest::newRow("on the tabs") << false;
    QTest::newRow("on the drawing area inside them") << true;
}

void TestDrops::outsideDropOnTheFloorTabs() {
    QFETCH(bool, onDrawingArea);
    DrawingPage& page = w_->drawingPage();
    page.model().currentFloor = 2;
    const QString plan = dir_ + "/plan.hbd";
    const auto data = filesData({plan, dir_ + "/old.had"});
    QVERIFY(dropOn(onDrawingArea ? static_cast<QWidget*>(page.PaintBox1)
                                 : static_cast<QWidget*>(page.FlatTabControl1),
                   *data));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(w_->droppedDrawing(), fileBytes(plan));
    QCOMPARE(page.model().currentFloor, 1);
    QCOMPARE(w_->zmfile->text(), plan);
    QCOMPARE(w_->statusMessage(), plan + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
    QVERIFY(!page.FlatEdit5->text().isEmpty()); // the reader filled the area boxes
}

void TestDrops::refusedFloorTabsDropOnlyEmptiesDroppedDrawing() {
    DrawingPage& page = w_->drawingPage();
    w_->droppedDrawing() = "earlier drawing";
    page.model().currentFloor = 3;
    w_->zmfile->setText(QStringLiteral("before"));
    w_->showStatus(QStringLiteral("status before"));
    // Upper case, an old drawing, and a path whose letters are not in a row.
    for (const char* name : {"A.HBD", "old.had"}) {
        run_->dialogs.clear();
        w_->droppedDrawing() = "earlier drawing";
        const auto data = filesData({dir_ + "/" + QLatin1String(name), dir_ + "/plan.hbd"});
        QVERIFY(dropOn(page.FlatTabControl1, *data));
        QCOMPARE(run_->dialogs.messages(),
                 QStringList{QStringLiteral("hbd図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});
        QVERIFY(w_->droppedDrawing().isEmpty());
        QCOMPARE(page.model().currentFloor, 3);
        QCOMPARE(w_->zmfile->text(), QStringLiteral("before"));
        QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));
    }
}

void TestDrops::dropsShowFloorOneAndItsTab_data() {
    QTest::addColumn<bool>("fromList");
    QTest::newRow("from outside") << false;
    QTest::newRow("from a side-bar list") << true;
}

void TestDrops::dropsShowFloorOneAndItsTab() {
    QFETCH(bool, fromList);
    DrawingPage& page = w_->drawingPage();
    w_->show();
    w_->showPage(2);
    QVERIFY(QTest::qWaitForWindowExposed(w_));
    QTabBar* tabs = page.FlatTabControl1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(1).center());
    QCOMPARE(page.model().currentFloor, 2);
    const QString plan = dir_ + "/plan.hbd";
    std::unique_ptr<QMimeData> data;
    if (fromList) {
        page.ShellListView2->showFolder(dir_);
        QTRY_VERIFY(page.ShellListView2->selectPath(plan));
        data.reset(page.ShellListView2->dragData());
    } else {
        data = filesData({plan});
    }
    QVERIFY(dropOn(page.PaintBox1, *data));
    QCOMPARE(page.model().currentFloor, 1);
    QCOMPARE(page.FlatTabControl1->currentIndex(), 0);
    // Floor 1 of the drawing is what the area shows.
    DrawingCanvas reference;
    DrawingModel empty;
    reference.prepareCanvas(empty, QString());
    reference.renderDrawing(page.model());
    QVERIFY(!page.model().lines1F.empty());
    QCOMPARE(page.PaintBox1->frame(), reference.drawBuffer);
    QCOMPARE(page.PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32),
             reference.drawBuffer);
}

void TestDrops::droppedFileThatIsNoDrawing_data() {
    QTest::addColumn<bool>("fromList");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("shown"); // the box or error dialog
    const QByteArray refused("$HEADERPAS\r\n1\r\n");
    const QByteArray broken("$headerpas\r\n1\r\n2\r\nthree\r\n");
    const QString notDrawing = QStringLiteral("家屋図面(木造)ではありません!");
    const QString notNumber = QStringLiteral("入力値が数値ではありません.");
    QTest::newRow("header refused, from outside") << false << refused << notDrawing;
    QTest::newRow("header refused, from a list") << true << refused << notDrawing;
    QTest::newRow("reader error, from outside") << false << broken << notNumber;
    QTest::newRow("reader error, from a list") << true << broken << notNumber;
}

void TestDrops::droppedFileThatIsNoDrawing() {
    // The name passes but the reader refuses the file or fails on it: the file is not
    // announced as shown, and a file dropped from outside is not kept for registration.
    QFETCH(bool, fromList);
    QFETCH(QByteArray, content);
    QFETCH(QString, shown);
    DrawingPage& page = w_->drawingPage();
    const QString plan = dir_ + "/plan.hbd";
    QVERIFY(dropOn(page.FlatTabControl1, *filesData({plan})));
    const QString path = dir_ + "/other.hbd";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    w_->showStatus(QStringLiteral("before"));
    w_->droppedDrawing() = "kept";
    run_->dialogs.clear();
    std::unique_ptr<QMimeData> data;
    if (fromList) {
        page.ShellListView2->showFolder(dir_);
        QTRY_VERIFY(page.ShellListView2->selectPath(path));
        data.reset(page.ShellListView2->dragData());
    } else {
        data = filesData({path});
    }
    QVERIFY(dropOn(page.PaintBox1, *data));
    QCOMPARE(run_->dialogs.messages(), QStringList{shown});
    QCOMPARE(w_->zmfile->text(), plan);
    QCOMPARE(w_->statusMessage(), QStringLiteral("before"));
    QCOMPARE(w_->droppedDrawing(), fromList ? QByteArray("kept") : QByteArray());
    QCOMPARE(page.model().lines1F.size(), size_t(0)); // the reader emptied the lists
}

void TestDrops::unreadableDroppedDrawingFails() {
    // A folder whose name passes: loading its bytes fails, the error reaches the standard
    // error dialog, nothing is shown, and floor 1 is already chosen.
    DrawingPage& page = w_->drawingPage();
    page.model().currentFloor = 2;
    w_->zmfile->setText(QStringLiteral("before"));
    const auto data = filesData({dir_ + "/hbd"});
    dropOn(page.FlatTabControl1, *data);
    QCOMPARE(run_->count(ScriptedDialogs::Shown::Error), 1);
    QVERIFY(w_->droppedDrawing().isEmpty());
    QCOMPARE(page.model().currentFloor, 1);
    QCOMPARE(w_->zmfile->text(), QStringLiteral("before"));
}

void TestDrops::noOtherControlTakesOutsideDrops() {
    const auto data = filesData({dir_ + "/a.xls"});
    const QList<QWidget*> others{w_->BitBtn3,
                                 w_->BitBtn4,
                                 w_->zmfile,
                                 w_->PageControl1,
                                 w_->sheetPage().ShellListView1,
                                 w_->drawingPage().ShellListView2,
                                 w_->drawingPage().FlatEdit1};
    for (QWidget* other : others) QVERIFY2(!dropOn(other, *data), qPrintable(other->objectName()));
    QVERIFY(run_->dialogs.shown.empty());
}

void TestDrops::listDragOntoTheDrawingArea() {
    DrawingPage& page = w_->drawingPage();
    ShellList* list = page.ShellListView2;
    list->showFolder(dir_);
    QTRY_VERIFY(list->selectPath(dir_ + "/plan.hbd"));
    w_->droppedDrawing() = "kept";
    page.model().currentFloor = 3;
    std::unique_ptr<QMimeData> data(list->dragData());
    QVERIFY(page.PaintBox1DragOver(list));
    QVERIFY(dropOn(page.PaintBox1, *data));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(w_->zmfile->text(), dir_ + "/plan.hbd");
    QCOMPARE(w_->statusMessage(), dir_ + QStringLiteral("/plan.hbdをﾄﾞﾛｯﾌﾟ表示しました。"));
    QCOMPARE(page.model().currentFloor, 1);
    QCOMPARE(w_->droppedDrawing(), QByteArray("kept"));

    // The other list too; a refused name changes nothing.
    ShellList* other = w_->sheetPage().ShellListView1;
    other->showFolder(dir_);
    QTRY_VERIFY(other->selectPath(dir_ + "/A.HBD"));
    page.model().currentFloor = 2;
    std::unique_ptr<QMimeData> otherData(other->dragData());
    QVERIFY(dropOn(page.PaintBox1, *otherData));
    QCOMPARE(run_->dialogs.messages(),
             QStringList{QStringLiteral("hbd図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});
    QCOMPARE(page.model().currentFloor, 2);
    QCOMPARE(w_->zmfile->text(), dir_ + "/plan.hbd");
    QCOMPARE(w_->droppedDrawing(), QByteArray("kept"));
}

void TestDrops::insideTargetsTakeOnlyListDrags() {
    ShellList* list = w_->sheetPage().ShellListView1;
    std::unique_ptr<QMimeData> fromList(list->dragData());
    ShellList stranger;
    stranger.setObjectName(QStringLiteral("ShellListView3"));
    std::unique_ptr<QMimeData> fromStranger(stranger.dragData());
    QMimeData text;
    text.setText(dir_ + "/a.xls");
    const QList<QWidget*> targets{w_->drawingPage().PaintBox1, w_->sheetPage().F5Book1, w_->BitBtn3,
                                  w_->BitBtn4};
    for (QWidget* target : targets) {
        QVERIFY2(dropOn(target, *fromList), qPrintable(target->objectName()));
        QVERIFY2(!dropOn(target, *fromStranger), qPrintable(target->objectName()));
        QVERIFY2(!dropOn(target, text), qPrintable(target->objectName()));
    }
    // Nothing was selected in the list: no target did anything.
    QVERIFY(run_->dialogs.shown.empty());
    // The lists themselves, and other controls, take no list drag.
    for (QWidget* other : QList<QWidget*>{w_->zmfile, w_->drawingPage().FlatTabControl1, list,
                                          w_->drawingPage().ShellListView2})
        QVERIFY2(!dropOn(other, *fromList), qPrintable(other->objectName()));
}

void TestDrops::insideDropNeedsASelectedItem() {
    ShellList* list = w_->drawingPage().ShellListView2;
    list->showFolder(dir_);
    QTRY_COMPARE(list->shownPaths().size(), 7);
    QVERIFY(list->selectedPath().isEmpty());
    w_->zmfile->setText(QStringLiteral("before"));
    QSignalSpy sheet(&w_->sheetPage(), &SheetPage::sheetDropAccepted);
    QSignalSpy drawing(w_, &Tovmain::drawingAttachmentDropAccepted);
    std::unique_ptr<QMimeData> data(list->dragData());
    for (QWidget* target : QList<QWidget*>{w_->drawingPage().PaintBox1, w_->sheetPage().F5Book1,
                                           w_->BitBtn3, w_->BitBtn4})
        QVERIFY(dropOn(target, *data));
    QVERIFY(run_->dialogs.shown.empty());
    QCOMPARE(w_->zmfile->text(), QStringLiteral("before"));
    QCOMPARE(sheet.size() + drawing.size(), 0);
}

void TestDrops::dropButtonsTestTheName_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal"); // empty when accepted
    const QString sheet = QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!");
    const QString drawing = QStringLiteral("図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!");
    QTest::newRow("sheet button, xls") << "BitBtn3"
                                       << "a.xls" << QString();
    QTest::newRow("sheet button, xlsx") << "BitBtn3"
                                        << "b.xlsx" << QString();
    QTest::newRow("sheet button, drawing") << "BitBtn3"
                                           << "plan.hbd" << sheet;
    QTest::newRow("drawing button, hbd") << "BitBtn4"
                                         << "plan.hbd" << QString();
    QTest::newRow("drawing button, folder hbd") << "BitBtn4"
                                                << "hbd" << QString();
    QTest::newRow("drawing button, upper case") << "BitBtn4"
                                                << "A.HBD" << drawing;
    QTest::newRow("drawing button, old drawing") << "BitBtn4"
                                                 << "old.had" << drawing;
    QTest::newRow("spreadsheet control, xls") << "F5Book1"
                                              << "a.xls" << QString();
    QTest::newRow("spreadsheet control, text") << "F5Book1"
                                               << "plan.txt" << sheet;
}

void TestDrops::dropButtonsTestTheName() {
    QFETCH(QString, button);
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    QWidget* target = button == "BitBtn3"   ? static_cast<QWidget*>(w_->BitBtn3)
                      : button == "BitBtn4" ? static_cast<QWidget*>(w_->BitBtn4)
                                            : w_->sheetPage().F5Book1;
    QSignalSpy sheetButton(w_, &Tovmain::sheetAttachmentDropAccepted);
    QSignalSpy drawingButton(w_, &Tovmain::drawingAttachmentDropAccepted);
    QSignalSpy sheetControl(&w_->sheetPage(), &SheetPage::sheetDropAccepted);
    QSignalSpy& expected = button == "BitBtn3"   ? sheetButton
                           : button == "BitBtn4" ? drawingButton
                                                 : sheetControl;
    ShellList* list = w_->drawingPage().ShellListView2;
    list->showFolder(dir_);
    const QString path = dir_ + "/" + name;
    QTRY_VERIFY(list->selectPath(path));
    std::unique_ptr<QMimeData> data(list->dragData());
    run_->dialogs.confirmAnswers = {false}; // the registration itself is not tested here
    QVERIFY(dropOn(target, *data));
    if (refusal.isEmpty()) {
        QVERIFY(run_->dialogs.messages().isEmpty());
        QCOMPARE(expected.size(), 1);
        QCOMPARE(expected.first().first().toString(), path);
    } else {
        QCOMPARE(run_->dialogs.messages(), QStringList{refusal});
        QCOMPARE(expected.size(), 0);
    }
    QCOMPARE(sheetButton.size() + drawingButton.size() + sheetControl.size(), expected.size());
}

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    TestDrops tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_drops.moc"
