// The running main window: layout, hints in the message panel, page navigation, exit,
// help, and errors escaping a handler.

#include "app/application.h"
#include "app/hinttracker.h"
#include "app/page_drawing.h"
#include "app/page_sheet.h"
#include "app/program.h"
#include "platform/errors.h"
#include "support.h"
#include "widgets/controls.h"
#include "widgets/navigator.h"
#include "widgets/selectedtests.h"
#include "widgets/sidebar.h"
#include "widgets/statusbar.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <stdexcept>

using namespace tovera;
using namespace tovera::testing;

namespace {

QRect inWindow(const QWidget* widget, const QWidget* window) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// Moves the mouse over `widget` at `pos` and lets the program go idle.
void hover(QWidget* widget, QPoint pos) {
    QTest::mouseMove(widget, pos);
    QTest::qWait(20);
}

} // namespace

class TestTovmain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowLayout();
    void pageLayout();
    void popupHintsOnlyOnListedControls();
    void japaneseEnvironment();
    void effectiveHints();
    void pageNavigation_data();
    void pageNavigation();
    void closing_data();
    void closing();
    void closingEndsAnEdit_data();
    void closingEndsAnEdit();
    void closingClosesTheHelp();
    void closingEndsTheProgram_data();
    void closingEndsTheProgram();
    void help();
    void helpFileMissing();
    void errorInHandler_data();
    void errorInHandler();
};

void TestTovmain::windowLayout() {
    WindowRun run;
    Tovmain& w = run.start();
    QCOMPARE(w.navigator->buttonSize(), 15);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.navigator->buttonSize(), 18); // FormShow
    QCOMPARE(w.frameGeometry().size(), QSize(890, 649));
    QCOMPARE(w.frameGeometry().topLeft(), QPoint(165, 128));
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());

    // Toolbar dock along the top, 30 high.
    for (QToolBar* bar :
         {w.sheetToolBar, w.drawingToolBar, w.registerWindow, w.commandToolBar, w.fileNameWindow}) {
        QCOMPARE(bar->y(), 0);
        QCOMPARE(bar->height(), 30);
        QVERIFY(bar->isMovable());
        QVERIFY(bar->isFloatable());
    }
    QCOMPARE(w.sheetToolBar->windowTitle(), QStringLiteral("明細"));
    QCOMPARE(w.drawingToolBar->windowTitle(), QStringLiteral("図面"));
    QVERIFY(w.sheetToolBar->x() < w.drawingToolBar->x());
    QVERIFY(w.drawingToolBar->x() < w.registerWindow->x());
    QVERIFY(w.registerWindow->x() < w.commandToolBar->x());
    QVERIFY(w.commandToolBar->x() < w.fileNameWindow->x());
    // Every button shows in its bar (none pushed into an overflow menu).
    for (QToolButton* button : {w.MMenu, w.ToolbarButton973, w.ToolbarButton971, w.ZmRead,
                                w.ToolbarButton974, w.ToolbarButton975, w.helpButton, w.Owari}) {
        QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
        QVERIFY(button->parentWidget()->rect().contains(button->geometry()));
    }
    QVERIFY(w.zmfile->isVisible());
    QCOMPARE(w.MMenu->size(), QSize(25, 25));
    QCOMPARE(w.MMenu->iconSize(), QSize(24, 24));
    QCOMPARE(w.helpButton->width(), 36);
    QCOMPARE(w.helpButton->menu()->actions().size(), 1);
    QCOMPARE(w.herupu1->text(), QStringLiteral("ヘルプ"));
    QCOMPARE(w.exfile->geometry(), QRect(8, 4, 275, 17));
    QCOMPARE(w.zmfile->geometry(), QRect(304, 4, 275, 17));
    QCOMPARE(w.exfile->parentWidget()->size(), QSize(596, 26));
    QCOMPARE(w.exfile->text(), QStringLiteral("明細"));
    QCOMPARE(w.zmfile->text(), QStringLiteral("図面"));

    // Pages and the strip below them.
    QCOMPARE(inWindow(w.PageControl1, &w), QRect(5, 34, 871, 479));
    QCOMPARE(w.PageControl1->count(), 3);
    QCOMPARE(w.PageControl1->tabText(0), QStringLiteral("基本項目"));
    QCOMPARE(w.PageControl1->tabText(1), QStringLiteral("評点明細"));
    QCOMPARE(w.PageControl1->tabText(2), QStringLiteral("家屋図面"));
    QCOMPARE(w.PageControl1->tabPosition(), QTabWidget::North);
    QCOMPARE(w.PageControl1->currentIndex(), 0);
    QCOMPARE(inWindow(w.dropPanel, &w), QRect(8, 520, 140, 65));
    QCOMPARE(w.BitBtn3->geometry(), QRect(9, 8, 120, 25));
    QCOMPARE(w.BitBtn3->text(), QStringLiteral("明細l直接登録"));
    QCOMPARE(w.BitBtn4->geometry(), QRect(9, 32, 120, 25));
    QCOMPARE(w.BitBtn4->text(), QStringLiteral("図面直接登録"));
    QCOMPARE(w.BitBtn4->iconSize(), QSize(16, 16));
    QCOMPARE(inWindow(w.markPanel, &w), QRect(176, 520, 121, 65));
    QCOMPARE(w.sheetMark->pos(), QPoint(14, 12));
    QCOMPARE(w.sheetMark->caption(), QStringLiteral("家屋明細書"));
    QCOMPARE(w.drawingMark->pos(), QPoint(14, 36));
    QCOMPARE(w.drawingMark->caption(), QStringLiteral("家屋図面"));
    QCOMPARE(inWindow(w.navigator, &w), QRect(320, 520, 249, 64));
    QCOMPARE(inWindow(w.searchTabs, &w), QRect(588, 519, 271, 65));
    QCOMPARE(w.searchTabs->tabPosition(), QTabWidget::South);
    QStringList searches;
    for (int i = 0; i < w.searchTabs->count(); ++i) searches << w.searchTabs->tabText(i);
    // All four search tabs fit side by side.
    QTabBar* searchBar = w.searchTabs->tabBar();
    QVERIFY(searchBar->tabRect(3).right() < w.searchTabs->width());
    QCOMPARE(searches, (QStringList{QStringLiteral("氏名検索"), QStringLiteral("行政区検索"),
                                    QStringLiteral("日付検索"), QStringLiteral("備考検索")}));

    // Status bar along the bottom edge.
    const QRect status = inWindow(w.StatusBar1, &w);
    QCOMPARE(status.height(), 24);
    QCOMPARE(status.bottom(), w.height() - 1);
    QCOMPARE(status.width(), w.width());
    QCOMPARE(w.StatusBar1->panelText(0), QStringLiteral(" Tovera"));
    QCOMPARE(w.StatusBar1->panelRect(2).width(), 300);
    QCOMPARE(w.StatusBar1->gauge(), 0);

    // A picture of the window for the eye, when asked for.
    const QImage shot = w.grab().toImage();
    const QPoint gridAt = w.drawingPage().PaintBox1->mapTo(&w, QPoint(5, 200));
    w.PageControl1->setCurrentIndex(2);
    const QImage drawingShot = w.grab().toImage();
    QCOMPARE(QColor(drawingShot.pixel(gridAt)), QColor(0, 255, 0));
    if (qEnvironmentVariableIsSet("TOVERA_SCREENSHOTS")) {
        const QString dir = qEnvironmentVariable("TOVERA_SCREENSHOTS");
        shot.save(dir + QStringLiteral("/tovmain-page1.png"));
        drawingShot.save(dir + QStringLiteral("/tovmain-page3.png"));
        w.PageControl1->setCurrentIndex(1);
        w.grab().save(dir + QStringLiteral("/tovmain-page2.png"));
    }
}

void TestTovmain::pageLayout() {
    WindowRun run;
    Tovmain& w = run.start();
    // Page 1.
    QCOMPARE(w.InspectorBar1->geometry().topLeft(), QPoint(0, 0));
    QCOMPARE(w.InspectorBar1->width(), 140);
    w.show(); // the pages take their size
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.InspectorBar1->height(), w.TabSheet1->height());
    QVERIFY(w.TabSheet1->height() > 400);
    QCOMPARE(w.InspectorBar1->panelCount(), 1);
    QCOMPARE(w.InspectorBar1->panelCaption(0), QStringLiteral("メニュー"));
    QStringList items;
    for (int i = 0; i < w.InspectorBar1->itemCount(0); ++i)
        items << w.InspectorBar1->itemButton(0, i)->text();
    QCOMPARE(items, (QStringList{QStringLiteral("基本項目"), QStringLiteral("評点明細"),
                                 QStringLiteral("家屋図面"), QStringLiteral("システム終了")}));
    QCOMPARE(w.FlatButton1->geometry(), QRect(205, 387, 120, 36));
    QCOMPARE(w.FlatButton1->text(), QStringLiteral("明細から転記"));
    QCOMPARE(w.BasicArea->parentWidget(), w.TabSheet1);

    // Page 2.
    SheetPage& sheet = w.sheetPage();
    QCOMPARE(sheet.InspectorBar2->geometry(), QRect(0, 0, 140, 441));
    QCOMPARE(sheet.InspectorBar2->panelCaption(0), QStringLiteral("明細メニュー"));
    QCOMPARE(sheet.InspectorBar2->itemButton(0, 3)->text(), QStringLiteral("明細書出"));
    QCOMPARE(sheet.InspectorBar2->panelCaption(1), QStringLiteral("明細ファイル"));
    QVERIFY(sheet.InspectorBar2->isPanelOpen(0));
    QVERIFY(!sheet.InspectorBar2->isPanelOpen(1));
    QCOMPARE(sheet.F5Book1->geometry(), QRect(148, 8, 710, 433));
    QCOMPARE(sheet.F5Book1->objectName(), QStringLiteral("F5Book1"));

    // Page 3.
    DrawingPage& drawing = w.drawingPage();
    QCOMPARE(drawing.InspectorBar3->geometry(), QRect(0, 0, 140, 449));
    QCOMPARE(drawing.InspectorBar3->panelCaption(0), QStringLiteral("図面メニュー"));
    QCOMPARE(drawing.InspectorBar3->itemButton(0, 0)->text(), QStringLiteral("図面表示"));
    QCOMPARE(drawing.InspectorBar3->panelCaption(1), QStringLiteral("図面ファイル"));
    QVERIFY(!drawing.InspectorBar3->isPanelOpen(1));
    QCOMPARE(drawing.areaGroup->geometry(), QRect(152, 22, 97, 227));
    QCOMPARE(drawing.areaGroup->title(), QStringLiteral("面積等"));
    QCOMPARE(drawing.zoomGroup->geometry(), QRect(152, 269, 97, 92));
    QCOMPARE(drawing.zoomGroup->title(), QStringLiteral("図面"));
    QCOMPARE(drawing.FlatTabControl1->geometry(), QRect(260, 6, 597, 435));
    QCOMPARE(drawing.FlatTabControl1->tabCount(), 3);
    QCOMPARE(drawing.FlatTabControl1->tabBar()->tabText(2), QStringLiteral("3F"));
    QCOMPARE(drawing.FlatTabControl1->tabBar()->shape(), QTabBar::RoundedSouth);
    QCOMPARE(drawing.PaintBox1->parentWidget(), drawing.FlatTabControl1);
    QCOMPARE(drawing.PaintBox1->geometry(), QRect(4, 4, 590, 410));
    QStringList labels;
    for (QLabel* label : drawing.areaGroup->findChildren<QLabel*>()) labels << label->text();
    QCOMPARE(labels, (QStringList{QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"),
                                  QStringLiteral("計"), QStringLiteral("【１間長】")}));
    // Each label sits right above its box.
    const auto boxes = drawing.areaGroup->findChildren<QLabel*>();
    QVERIFY(boxes[3]->geometry().bottom() < drawing.FlatEdit5->y());
    QVERIFY(drawing.FlatEdit5->y() < boxes[4]->y());
    QCOMPARE(drawing.zoomLabel->text(), QStringLiteral("【拡大率】"));
    QCOMPARE(drawing.ZoomDisp->palette().color(QPalette::Text), QColor(Qt::blue));
}

void TestTovmain::popupHintsOnlyOnListedControls() {
    WindowRun run;
    Tovmain& w = run.start();
    DrawingPage& d = w.drawingPage();
    const QList<QPair<QWidget*, QString>> popups{
        {w.MMenu, QStringLiteral("明細読込!")},
        {w.ToolbarButton973, QStringLiteral("明細保存!")},
        {w.ToolbarButton971, QStringLiteral("明細印刷!")},
        {w.ZmRead, QStringLiteral("図面読込!")},
        {w.FlatButton1, QStringLiteral("氏名・面積・評点数の転記!")},
        {d.FlatTabControl1, QStringLiteral("123Fをﾀﾌﾞで選択!")},
        {d.PaintBox1, QStringLiteral("拡大(左ｸﾘｯｸ)縮小(右)!")},
        {d.zoomGroup, QStringLiteral("青はデーターあり!")},
        {d.ZoomDisp, QStringLiteral("青はデーターあり!")},
        {d.zoomLabel, QStringLiteral("青はデーターあり!")}};
    for (const auto& [widget, tip] : popups) QCOMPARE(widget->toolTip(), tip);
    for (QWidget* widget :
         QList<QWidget*>{w.Owari, w.ToolbarButton974, w.ToolbarButton975, w.BitBtn3, w.BitBtn4,
                         w.sheetMark, w.drawingMark, w.PageControl1, w.sheetPage().F5Book1,
                         w.TabSheet3, w.exfile, w.zmfile, d.FlatEdit1, w.helpButton})
        QVERIFY2(widget->toolTip().isEmpty(), qPrintable(widget->objectName()));
    // ... while those show their hints in the message panel.
    QCOMPARE(w.Owari->statusTip(), QStringLiteral("終了"));
    QCOMPARE(w.ToolbarButton975->statusTip(),
             QStringLiteral("ファイル指定読込みで図面を登録します。"));
    QCOMPARE(w.BitBtn4->statusTip(), QStringLiteral("図面をドロップで登録します!"));
}

void TestTovmain::japaneseEnvironment() {
    WindowRun run;
    Tovmain& w = run.start();
    QCOMPARE(w.font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(w.font().pixelSize(), 12);
    // The family maps to the installed IPA P Gothic, which has the Japanese glyphs.
    const QFontInfo info(w.FlatButton1->font());
    QVERIFY2(info.family().contains(QStringLiteral("IPA")), qPrintable(info.family()));
    QVERIFY(QFontMetrics(w.FlatButton1->font()).inFontUcs4(U'転'));
    QCOMPARE(QLocale().language(), QLocale::Japanese);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tovera"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
}

void TestTovmain::effectiveHints() {
    WindowRun run;
    Tovmain& w = run.start();
    w.move(0, 0); // the offscreen screen is smaller than the window
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    DrawingPage& d = w.drawingPage();
    w.PageControl1->setCurrentIndex(2);

    hover(d.PaintBox1, QPoint(100, 100));
    QCOMPARE(w.statusMessage(), QStringLiteral("拡大(左ｸﾘｯｸ)縮小(右)!"));
    // A status message stays while the effective hint stays the same...
    w.showStatus(QStringLiteral("拡大！"));
    hover(d.PaintBox1, QPoint(200, 150));
    QCOMPARE(w.statusMessage(), QStringLiteral("拡大！"));
    // ... and is replaced when the pointer reaches the floor tabs.
    hover(d.FlatTabControl1->tabBar(), d.FlatTabControl1->tabBar()->tabRect(1).center());
    QCOMPARE(w.statusMessage(), QStringLiteral("123Fをﾀﾌﾞで選択!"));

    // A control without a hint shows its nearest enclosing control's.
    hover(d.zoomLabel, QPoint(5, 5));
    QCOMPARE(w.statusMessage(), QStringLiteral("青はデーターあり!"));
    const auto areaLabels = d.areaGroup->findChildren<QLabel*>();
    hover(areaLabels[0], QPoint(3, 3));
    QCOMPARE(w.statusMessage(), QStringLiteral("家屋図面ファイルのドロップが出来ます。"));
    w.showStatus(QStringLiteral("切替え"));
    hover(areaLabels[1], QPoint(3, 3));
    QCOMPARE(w.statusMessage(), QStringLiteral("切替え"));

    // Page 1 and its side bar show the page control's hint.
    w.PageControl1->setCurrentIndex(0);
    hover(w.InspectorBar1->itemButton(0, 1), QPoint(20, 20));
    QCOMPARE(w.statusMessage(),
             QStringLiteral("ページ選択・明細シート＆図面ファイルのドロップが出来ます。"));
    // Where a hint holds "|", the part after it counts.
    w.FlatButton1->setStatusTip(QStringLiteral("転記|氏名・面積・評点数の転記!"));
    hover(w.FlatButton1, QPoint(10, 10));
    QCOMPARE(w.statusMessage(), QStringLiteral("氏名・面積・評点数の転記!"));
    QCOMPARE(w.hints().currentHint(), QStringLiteral("氏名・面積・評点数の転記!"));
}

void TestTovmain::pageNavigation_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("page");
    QTest::newRow("評点明細") << 1 << 1;
    QTest::newRow("家屋図面") << 2 << 2;
    QTest::newRow("基本項目") << 0 << 0;
}

void TestTovmain::pageNavigation() {
    QFETCH(int, item);
    QFETCH(int, page);
    WindowRun run;
    Tovmain& w = run.start();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.PageControl1->setCurrentIndex(page == 0 ? 2 : 0);
    QTest::mouseClick(w.InspectorBar1->itemButton(0, item), Qt::LeftButton);
    QCOMPARE(w.PageControl1->currentIndex(), page);
    QVERIFY(w.isVisible());
    // Items of other panels are not navigation.
    w.InspectorBar1ItemClick(1, 3);
    QCOMPARE(w.PageControl1->currentIndex(), page);
    QVERIFY(w.isVisible());
}

void TestTovmain::closing_data() {
    QTest::addColumn<bool>("byItem");
    QTest::newRow("システム終了") << true;
    QTest::newRow("終了") << false;
}

void TestTovmain::closing() {
    QFETCH(bool, byItem);
    WindowRun run;
    Tovmain& w = run.startQuietly();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(byItem ? static_cast<QWidget*>(w.InspectorBar1->itemButton(0, 3))
                             : static_cast<QWidget*>(w.Owari),
                      Qt::LeftButton);
    QVERIFY(!w.isVisible());
    // No question on the way out.
    QCOMPARE(run.dialogs.shown.size(), size_t(0));
}

void TestTovmain::closingEndsAnEdit_data() {
    QTest::addColumn<QString>("district");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("stored");
    // A changed record is posted on the way out; a post the store refuses keeps the
    // window open with the error shown, and the edit is still there.
    QTest::newRow("posted") << QStringLiteral("本町") << true << QStringLiteral("佐藤花子");
    QTest::newRow("refused") << QStringLiteral("どこにもない区") << false
                             << QStringLiteral("山田太郎");
}

void TestTovmain::closingEndsAnEdit() {
    QFETCH(QString, district);
    QFETCH(bool, closes);
    QFETCH(QString, stored);
    WindowRun run;
    run.createStore();
    run.addRecord(1, QByteArray(), QByteArray());
    Tovmain& w = run.start();
    QCOMPARE(run.dialogs.shown.size(), size_t(0));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    RecordSet& records = w.ADOQuery1();
    records.edit();
    records.setValue(QStringLiteral("所有者氏名"), QStringLiteral("佐藤花子"));
    records.setValue(QStringLiteral("所在区"), district);
    QTest::mouseClick(w.Owari, Qt::LeftButton);
    QCOMPARE(w.isVisible(), !closes);
    QCOMPARE(run.count(ScriptedDialogs::Shown::Error), closes ? 0 : 1);
    if (!closes) QCOMPARE(records.state(), RecordSet::State::Editing);
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-check"));
        db.setDatabaseName(run.databasePath());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("select 所有者氏名 from 基本データ where No = 1")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), stored);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-check"));
}

void TestTovmain::closingClosesTheHelp() {
    WindowRun run;
    const QString shipped = QStringLiteral(TOVERA_BIN_DIR "/ikatu.hlp");
    if (!QFile::exists(shipped)) QSKIP("the built help file is not beside the test programs");
    QVERIFY(QFile::copy(shipped, run.path(QStringLiteral("ikatu.hlp"))));
    Tovmain& w = run.startQuietly();
    endProgramWithWindow(w, run.help);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.herupu1->trigger();
    QVERIFY(run.help.window()->isVisible());
    QTest::mouseClick(w.Owari, Qt::LeftButton);
    QVERIFY(!w.isVisible());
    QVERIFY(!run.help.window()->isVisible());
}

void TestTovmain::closingEndsTheProgram_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("終了") << QStringLiteral("owari");
    QTest::newRow("システム終了") << QStringLiteral("item");
    QTest::newRow("window frame") << QStringLiteral("frame");
}

void TestTovmain::closingEndsTheProgram() {
    // The real program's run in a process of its own, with the help viewer open when the
    // main window closes: the process ends and the store is closed properly.
    QFETCH(QString, how);
    const QString child = QStringLiteral(TOVERA_BIN_DIR "/app_exit_child");
    const QString shipped = QStringLiteral(TOVERA_BIN_DIR "/ikatu.hlp");
    if (!QFile::exists(child) || !QFile::exists(shipped))
        QSKIP("the helper program or the help file is not built");
    WindowRun run;
    run.createStore();
    run.addRecord(1, QByteArray(), QByteArray());
    QVERIFY(QFile::copy(shipped, run.path(QStringLiteral("ikatu.hlp"))));
    QProcess process;
    process.start(child, {run.folder.path(), how});
    const bool ended = process.waitForFinished(20000);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    QVERIFY2(ended,
             qPrintable(QStringLiteral("still running after the main window closed: ") + out));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(out.contains(QStringLiteral("help open: 1")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("help after close: 0")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("loop ended: 0")), qPrintable(out));
    // A connection closed properly leaves no write-ahead log behind.
    QVERIFY(QFile::exists(run.databasePath()));
    QVERIFY(!QFile::exists(run.databasePath() + QStringLiteral("-wal")));
}

void TestTovmain::help() {
    WindowRun run;
    const QString shipped = QStringLiteral(TOVERA_BIN_DIR "/ikatu.hlp");
    if (!QFile::exists(shipped)) QSKIP("the built help file is not beside the test programs");
    QVERIFY(QFile::copy(shipped, run.path(QStringLiteral("ikatu.hlp"))));
    Tovmain& w = run.startQuietly();
    w.herupu1->trigger();
    QCOMPARE(run.dialogs.messages(), QStringList());
    QVERIFY(run.help.window());
    QVERIFY(run.help.window()->isVisible());
    QCOMPARE(run.help.browser()->source(),
             QUrl::fromLocalFile(run.path(QStringLiteral("ikatu.hlp"))));
    QVERIFY(run.help.browser()->toPlainText().contains(QStringLiteral("目次")));
}

void TestTovmain::helpFileMissing() {
    WindowRun run;
    Tovmain& w = run.startQuietly();
    w.herupu1->trigger();
    const QString file = run.path(QStringLiteral("ikatu.hlp"));
    QCOMPARE(w.helpFilePath(), file);
    QCOMPARE(run.dialogs.messages(), QStringList{HelpViewer::missingFileMessage(file)});
    QVERIFY(!run.help.window());
}

void TestTovmain::errorInHandler_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("I/O error") << 0 << "ファイルが見つかりません"
                               << "ファイルが見つかりません.";
    QTest::newRow("database") << 1 << "データセットが編集または挿入モードではありません"
                              << "データセットが編集または挿入モードではありません.";
    QTest::newRow("ends in a dot") << 0 << "List index out of bounds."
                                   << "List index out of bounds.";
    QTest::newRow("ends in !") << 0 << "だめ!"
                               << "だめ!";
    QTest::newRow("standard exception") << 2 << "boom"
                                        << "boom.";
}

void TestTovmain::errorInHandler() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    auto* app = qobject_cast<TovApplication*>(qApp);
    QVERIFY(app);
    WindowRun run;
    Tovmain& w = run.startQuietly();
    app->setErrorDialogs(&run.dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    int reached = 0, after = 0;
    bool fail = true;
    connect(w.FlatButton1, &QPushButton::clicked, &w, [&] {
        ++reached;
        if (!fail) return;
        if (kind == 0) throw EInOutError(text);
        if (kind == 1) throw EDatabaseError(text);
        throw std::runtime_error(text.toStdString());
    });
    connect(w.FlatButton1, &QPushButton::clicked, &w, [&] { ++after; });
    const int caught = app->caughtErrors();
    QTest::mouseClick(w.FlatButton1, Qt::LeftButton);
    QCOMPARE(run.dialogs.messages(), QStringList{shown});
    QCOMPARE(run.dialogs.shown.at(0).kind, ScriptedDialogs::Shown::Error);
    QCOMPARE(app->caughtErrors(), caught + 1);
    QCOMPARE(after, 0); // the handler was abandoned at the error
    // The program goes on.
    fail = false;
    QTest::mouseClick(w.FlatButton1, Qt::LeftButton);
    QCOMPARE(reached, 2);
    QCOMPARE(after, 1);
    QVERIFY(w.isVisible());
    app->setErrorDialogs(nullptr);
}

bool wantsWindowTests(int argc, char** argv) {
    TestTovmain tests;
    return tovera::testing::namesFunctionOf(tests, argc, argv);
}

int runWindowTests(int argc, char** argv) {
    TestTovmain tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_tovmain.moc"
