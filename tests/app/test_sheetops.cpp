// The detail sheet operations on the running window with a real store: load, save and
// print from the toolbar "明細", drops on the spreadsheet control, and "明細から転記"
// followed by a post, read back from the store file with SQL.

#include "app/application.h"
#include "app/databound.h"
#include "app/page_basic.h"
#include "app/page_sheet.h"
#include "app/sheet_ops.h"
#include "platform/errors.h"
#include "sheet/xlswriter.h"
#include "sheetops_support.h"
#include "support.h"
#include "widgets/controls.h"
#include "widgets/f5book_support.h"
#include "widgets/filedrop.h"
#include "widgets/navigator.h"
#include "widgets/qtdialogs.h"
#include "widgets/shelllist.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QUuid>

using namespace tovera;
using namespace tovera::testing;

class TestSheetOps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void loadShowsTheSheetWithTheViewSettings();
    void loadThatDoesNotHappen_data();
    void loadThatDoesNotHappen();
    void damagedWorkbookChangesNothing_data();
    void damagedWorkbookChangesNothing();
    void transferThenPostStoresTheSheet_data();
    void transferThenPostStoresTheSheet();
    void annexMarkChoosesTheAreas_data();
    void annexMarkChoosesTheAreas();
    void transferInBrowseModeLeavesItToTheRecord();
    void moveKeepsTheSheetShown();
    void saveNames_data();
    void saveNames();
    void saveOffersTheOwnerNameOrNothing();
    void saveAfterADrawingExportWithTheSharedDialog();
    void printToPdfAndCancel();
    void dropsFinishWithTheFileName();
    void dropsThatAreRefused();
    void listDragShowsTheSheet();

private:
    Tovmain& startWithRecord();
    WindowRun& run() { return *run_; }
    TF5Book& book() { return *w_->sheetPage().F5Book1; }
    QString boxText(const char* column) const {
        return w_->basicPage().field(QString::fromUtf8(column))->shownText();
    }
    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void clickNavigator(RecordNavigator::Button which) { click(w_->navigator->button(which)); }

    std::unique_ptr<WindowRun> run_;
    Tovmain* w_ = nullptr;
};

void TestSheetOps::init() {
    run_ = std::make_unique<WindowRun>();
    QVERIFY(run_->folder.isValid());
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    w_ = nullptr;
}

void TestSheetOps::cleanup() {
    static_cast<TovApplication*>(qApp)->setErrorDialogs(nullptr);
    run_.reset();
}

Tovmain& TestSheetOps::startWithRecord() {
    run_->createStore();
    run_->addRecord(1, {}, {});
    run_->addRecord(2, {}, {});
    execute(run_->databasePath(), QStringLiteral("update 基本データ set １Ｆ = 1, ２Ｆ = 2, "
                                                 "床面積 = 3, 評点数 = 4"));
    w_ = &run_->start();
    w_->show();
    w_->activateWindow();
    if (!QTest::qWaitForWindowActive(w_)) qWarning("the window did not become active");
    run_->dialogs.clear();
    return *w_;
}

void TestSheetOps::loadShowsTheSheetWithTheViewSettings() {
    REQUIRE_SAMPLES();
    startWithRecord();
    const QString path = sampleSheet("hyoten_mokuzou_2f.xls");
    book().setTopRow(30);
    run_->dialogs.openAnswers.push_back(path);
    click(w_->MMenu);
    QCOMPARE(run_->dialogs.lastRequest.filter, QStringLiteral("家屋明細書(*.xls)"));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(book().CellText(1, 4, 4), QStringLiteral("山路　千代子"));
    QCOMPARE(book().TopRow(), 1);
    QCOMPARE(book().LeftCol(), 1);
    QVERIFY(book().ShowEditBar());
    QVERIFY(!book().ShowColHeading() && !book().ShowRowHeading());
    QCOMPARE(book().ViewScale(), 95);
    QCOMPARE(w_->exfile->text(), path);
    QCOMPARE(w_->statusMessage(), path + QStringLiteral("(明細)を読込みました。"));
}

void TestSheetOps::loadThatDoesNotHappen_data() {
    QTest::addColumn<QString>("answer"); // relative to the run's folder; "-" cancels
    QTest::addColumn<QString>("message");
    QTest::newRow("cancelled") << "-" << QString();
    QTest::newRow("no such file") << "gone.xls" << QStringLiteral("そのシートはありません!");
    QTest::newRow("a folder") << "." << QStringLiteral("そのシートはありません!");
}

void TestSheetOps::loadThatDoesNotHappen() {
    QFETCH(QString, answer);
    QFETCH(QString, message);
    startWithRecord();
    w_->exfile->setText(QStringLiteral("before"));
    w_->showStatus(QStringLiteral("status before"));
    book().setViewScale(120);
    run_->dialogs.openAnswers.push_back(answer == "-" ? QString() : run_->path(answer));
    w_->sheetOps().MMenuClick();
    QCOMPARE(run_->dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(w_->exfile->text(), QStringLiteral("before"));
    QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));
    QCOMPARE(book().ViewScale(), 120);
}

void TestSheetOps::damagedWorkbookChangesNothing_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("toolbar load") << "load";
    QTest::newRow("desktop drop") << "drop";
    QTest::newRow("folder named xls, dropped") << "folder";
}

void TestSheetOps::damagedWorkbookChangesNothing() {
    QFETCH(QString, how);
    startWithRecord();
    // The first bytes of a real workbook, cut short.
    const QString damaged = run_->path(QStringLiteral("damaged.xls"));
    writeBook(run_->path(QStringLiteral("whole.xls")), {{1, 1, QStringLiteral("whole")}});
    QFile whole(run_->path(QStringLiteral("whole.xls")));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QFile cut(damaged);
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));
    cut.close();
    QDir().mkpath(run_->path(QStringLiteral("xlsfolder")));

    load(book(), run_->path(QStringLiteral("whole.xls")));
    w_->exfile->setText(QStringLiteral("before"));
    w_->zmfile->setText(QStringLiteral("drawing before"));
    w_->showStatus(QStringLiteral("status before"));
    if (how == "load") {
        run_->dialogs.openAnswers.push_back(damaged);
        click(w_->MMenu);
    } else {
        const QString path = how == "drop" ? damaged : run_->path(QStringLiteral("xlsfolder"));
        QVERIFY(dropFiles(book().grid()->viewport(), {path}));
    }
    QCOMPARE(run_->count(ScriptedDialogs::Shown::Error), 1);
    QCOMPARE(run_->count(ScriptedDialogs::Shown::Message), 0);
    QCOMPARE(book().CellText(1, 1, 1), QStringLiteral("whole"));
    QCOMPARE(w_->exfile->text(), QStringLiteral("before"));
    QCOMPARE(w_->zmfile->text(), QStringLiteral("drawing before"));
    QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));
    QCOMPARE(book().ViewScale(), 100); // a failed load makes no view settings
}

void TestSheetOps::transferThenPostStoresTheSheet_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QVariantList>("numbers"); // 1F, 2F, 床面積, 評点数; null for empty
    QTest::addColumn<QStringList>("shown");    // the texts the boxes get
    const QVariant none;
    QTest::newRow("wooden, no annex") << "hyoten_mokuzou_2f.xls" << QStringLiteral("山路　千代子")
                                      << QVariantList{62.1, 48.44, 110.54, 86806.0}
                                      << QStringList{"62.10", "48.44", "110.54", "86,806"};
    QTest::newRow("with annex") << "hyoten_fuzokuka_ari.xls" << QStringLiteral("宮﨑　健太郎")
                                << QVariantList{71.21, 54.65, 125.86, 77842.0}
                                << QStringList{"71.21", "54.65", "125.86", "77,842"};
    QTest::newRow("only the name")
        << "hyoten_shimei_nomi.xls" << QStringLiteral("髙橋　ミツ")
        << QVariantList{none, none, none, none} << QStringList{"", "", "", ""};
    QTest::newRow("Excel 95") << "hyoten_heisei10_biff5.xls" << QStringLiteral("髙﨑　房江")
                              << QVariantList{52.17, 38.88, 91.05, 62905.0}
                              << QStringList{"52.17", "38.88", "91.05", "62,905"};
}

void TestSheetOps::transferThenPostStoresTheSheet() {
    REQUIRE_SAMPLES();
    QFETCH(QString, file);
    QFETCH(QString, owner);
    QFETCH(QVariantList, numbers);
    QFETCH(QStringList, shown);
    startWithRecord();
    run_->dialogs.openAnswers.push_back(sampleSheet(qPrintable(file)));
    click(w_->MMenu);
    QVERIFY(run_->dialogs.messages().isEmpty());
    w_->showPage(0);
    clickNavigator(RecordNavigator::Edit);
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Editing);
    click(w_->FlatButton1);
    QCOMPARE(boxText("所有者氏名"), owner);
    QCOMPARE(QStringList({boxText("１Ｆ"), boxText("２Ｆ"), boxText("床面積"), boxText("評点数")}),
             shown);
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Editing); // not posted
    QCOMPARE(storedRow(run_->databasePath(), 1).value(QStringLiteral("評点数")), QVariant(4.0));
    clickNavigator(RecordNavigator::Post);
    QVERIFY2(run_->dialogs.messages().isEmpty(), qPrintable(run_->dialogs.messages().join('|')));
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    const QVariantMap row = storedRow(run_->databasePath(), 1);
    QCOMPARE(row.value(QStringLiteral("所有者氏名")).toString(), owner);
    const char* const numeric[] = {"１Ｆ", "２Ｆ", "床面積", "評点数"};
    for (int i = 0; i < 4; ++i) {
        const QVariant stored = row.value(QString::fromUtf8(numeric[i]));
        QVERIFY2(stored.isNull() == numbers[i].isNull(), numeric[i]);
        if (!stored.isNull()) QCOMPARE(stored.toDouble(), numbers[i].toDouble());
    }
    // The other record was not touched.
    QCOMPARE(storedRow(run_->databasePath(), 2).value(QStringLiteral("所有者氏名")).toString(),
             QStringLiteral("山田太郎"));
}

void TestSheetOps::annexMarkChoosesTheAreas_data() {
    QTest::addColumn<QString>("g6");
    QTest::addColumn<QStringList>("areas"); // 1F, 2F, 床面積 as the boxes get them
    QTest::newRow("G6 empty") << QString() << QStringList{"j", "k", "l"};
    QTest::newRow("G6 a single space") << " " << QStringList{"i", "j", "k"};
    QTest::newRow("G6 有") << "有" << QStringList{"i", "j", "k"};
}

void TestSheetOps::annexMarkChoosesTheAreas() {
    QFETCH(QString, g6);
    QFETCH(QStringList, areas);
    startWithRecord();
    QList<std::tuple<int, int, QString>> cells{{6, 9, "i"},  {6, 10, "j"}, {6, 11, "k"},
                                               {6, 12, "l"}, {6, 5, "e"},  {4, 4, "𠮷野　太郎 "}};
    if (!g6.isEmpty()) cells.append({6, 7, g6});
    load(book(), writeBook(run_->path(QStringLiteral("g6.xls")), cells));
    w_->sheetOps().transferFromSheet();
    QCOMPARE(QStringList({boxText("１Ｆ"), boxText("２Ｆ"), boxText("床面積")}), areas);
    QCOMPARE(boxText("評点数"), QStringLiteral("e"));
    // Unicode beyond code page 932 and the trailing blank come through untouched.
    QCOMPARE(boxText("所有者氏名"), QStringLiteral("𠮷野　太郎 "));
    w_->ADOQuery1().edit();
    // Texts that are no numbers keep the record's clear refusal at the post.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, w_->ADOQuery1().post());
    w_->basicPage().field(QStringLiteral("１Ｆ"))->setModifiedText(QStringLiteral("1"));
    w_->basicPage().field(QStringLiteral("２Ｆ"))->setModifiedText(QStringLiteral("2"));
    w_->basicPage().field(QStringLiteral("床面積"))->setModifiedText(QStringLiteral("3"));
    w_->basicPage().field(QStringLiteral("評点数"))->setModifiedText(QStringLiteral("4"));
    w_->ADOQuery1().post();
    QCOMPARE(storedRow(run_->databasePath(), 1).value(QStringLiteral("所有者氏名")).toString(),
             QStringLiteral("𠮷野　太郎 "));
}

void TestSheetOps::transferInBrowseModeLeavesItToTheRecord() {
    REQUIRE_SAMPLES();
    startWithRecord();
    load(book(), sampleSheet("hyoten_mokuzou_2f.xls"));
    w_->showPage(0);
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    click(w_->FlatButton1);
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    for (const char* column : kBoxes)
        QVERIFY2(w_->basicPage().field(QString::fromUtf8(column))->isModified(), column);
    QCOMPARE(boxText("所有者氏名"), QStringLiteral("山路　千代子"));
    QVERIFY(run_->dialogs.shown.empty());
    // Leaving a box: the record set is not editing, so the write is refused.
    QWidget* owner = w_->basicPage().field(QStringLiteral("所有者氏名"))->control();
    owner->setFocus();
    QTRY_VERIFY(owner->hasFocus());
    w_->basicPage().field(QStringLiteral("備考"))->control()->setFocus();
    QTRY_COMPARE(run_->dialogs.messages(), QStringList{errorDialogText(kNotEditing)});
    QCOMPARE(storedRow(run_->databasePath(), 1).value(QStringLiteral("所有者氏名")).toString(),
             QStringLiteral("山田太郎"));
}

void TestSheetOps::moveKeepsTheSheetShown() {
    REQUIRE_SAMPLES();
    startWithRecord();
    load(book(), sampleSheet("hyoten_fuzokuka_ari.xls"));
    clickNavigator(RecordNavigator::Next);
    QCOMPARE(w_->ADOQuery1().currentIndex(), 1);
    QCOMPARE(book().CellText(1, 4, 4), QStringLiteral("宮﨑　健太郎"));
    QCOMPARE(w_->exfile->text(), QStringLiteral("[*明細なし]"));
}

void TestSheetOps::saveNames_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "book"
                                  << "book.xls";
    QTest::newRow("with .xls") << "book.xls"
                               << "book.xls";
    QTest::newRow("with .XLS") << "book.XLS"
                               << "book.XLS";
    QTest::newRow("another extension") << "book.hbd"
                                       << "book.hbd.xls";
    QTest::newRow("name ending in xls") << "bookxls"
                                        << "bookxls.xls";
}

void TestSheetOps::saveNames() {
    REQUIRE_SAMPLES();
    QFETCH(QString, typed);
    QFETCH(QString, written);
    startWithRecord();
    const QString sample = sampleSheet("hyoten_fuzokuka_ari.xls");
    load(book(), sample);
    typeInto(book(), 45, 14, QStringLiteral("手入力"));
    const QStringList before = shownCells(book());
    w_->exfile->setText(QStringLiteral("before"));
    run_->dialogs.saveAnswers.push_back(run_->path(typed));
    click(w_->ToolbarButton973);
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(run_->dialogs.lastRequest.filter, QStringLiteral("明細ｼｰﾄ(*.XLS)"));
    QVERIFY(QFile::exists(run_->path(written)));
    QCOMPARE(QDir(run_->folder.path()).entryList({"*.xls", "*.XLS"}, QDir::Files).size(), 1);
    QCOMPARE(w_->statusMessage(), QStringLiteral("明細を保存しました！"));
    QCOMPARE(w_->exfile->text(), QStringLiteral("before"));
    // Reloaded, the sheet shows the same cells, the edit included.
    book().ClearWorkbook();
    load(book(), run_->path(written));
    QCOMPARE(shownCells(book()), before);
    QCOMPARE(book().CellText(1, 46, 15), QStringLiteral("手入力"));
}

void TestSheetOps::saveOffersTheOwnerNameOrNothing() {
    REQUIRE_SAMPLES();
    startWithRecord();
    load(book(), sampleSheet("hyoten_shimei_nomi.xls"));
    w_->sheetOps().ToolbarButton973Click(); // cancelled
    QCOMPARE(run_->dialogs.lastRequest.fileName,
             std::optional<QString>(QStringLiteral("髙橋　ミツ")));
    QCOMPARE(run_->dialogs.lastRequest.defaultExtension, QStringLiteral("xls"));
    book().ClearWorkbook();
    w_->showStatus(QStringLiteral("status before"));
    w_->sheetOps().ToolbarButton973Click();
    QVERIFY(run_->dialogs.lastRequest.fileName.has_value());
    QCOMPARE(*run_->dialogs.lastRequest.fileName, QString());
    QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));
    QVERIFY(QDir(run_->folder.path()).entryList({"*.xls"}, QDir::Files).isEmpty());
}

void TestSheetOps::saveAfterADrawingExportWithTheSharedDialog() {
    REQUIRE_SAMPLES();
    // The program's own dialogs: the save dialog is shared with the drawing export, which
    // sets the default extension "hbd".
    run_->createStore();
    WidgetDialogs dialogs;
    HelpViewer help(dialogs);
    Tovmain window(dialogs, help, run_->folder.path(), {});
    load(*window.sheetPage().F5Book1, sampleSheet("hyoten_mokuzou_2f.xls"));
    const QString dir = run_->folder.path() + QLatin1Char('/');
    answerFileDialog(dir + QStringLiteral("plan"), nullptr);
    FileDialogRequest drawing;
    drawing.filter = QStringLiteral("家屋図面 (*.hbd)");
    drawing.defaultExtension = QStringLiteral("hbd");
    QCOMPARE(dialogs.saveFile(drawing), dir + QStringLiteral("plan.hbd"));

    QString offered;
    answerFileDialog(dir + QStringLiteral("book"), &offered);
    window.sheetOps().ToolbarButton973Click();
    QCOMPARE(offered, QStringLiteral("山路　千代子"));
    QVERIFY(QFile::exists(dir + QStringLiteral("book.xls")));
    QVERIFY(!QFile::exists(dir + QStringLiteral("book.hbd.xls")));
    QCOMPARE(window.statusMessage(), QStringLiteral("明細を保存しました！"));

    // Typed with its extension: written once, not twice.
    answerFileDialog(dir + QStringLiteral("again.xls"), nullptr);
    window.sheetOps().ToolbarButton973Click();
    QVERIFY(QFile::exists(dir + QStringLiteral("again.xls")));
    QVERIFY(!QFile::exists(dir + QStringLiteral("again.xls.xls")));
}

void TestSheetOps::printToPdfAndCancel() {
    REQUIRE_SAMPLES();
    startWithRecord();
    load(book(), sampleSheet("hyoten_heisei10_biff5.xls"));
    const QString pdf = run_->path(QStringLiteral("printed.pdf"));
    bool cancel = true;
    book().setPrintTargetChooser([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return !cancel;
    });
    w_->showStatus(QStringLiteral("status before"));
    click(w_->ToolbarButton971);
    QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));
    QVERIFY(!QFile::exists(pdf));

    cancel = false;
    click(w_->ToolbarButton971);
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(w_->statusMessage(), QStringLiteral("印刷完了！"));
    int pages = 0;
    const QString text = pdfText(pdf, &pages);
    QCOMPARE(pages, 2); // 評点明細 and 補正, each fitted to one page wide
    QVERIFY2(text.contains(QStringLiteral("髙﨑")) && text.contains(QStringLiteral("62,905")),
             qPrintable(text.left(300)));

    // A printer that fails: the error, and no message of success.
    book().setPrintTargetChooser([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(run_->path(QStringLiteral("no/such/folder/x.pdf")));
        return true;
    });
    w_->showStatus(QStringLiteral("status before"));
    click(w_->ToolbarButton971);
    QCOMPARE(run_->count(ScriptedDialogs::Shown::Error), 1);
    QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));
}

void TestSheetOps::dropsFinishWithTheFileName() {
    REQUIRE_SAMPLES();
    startWithRecord();
    const QString first = sampleSheet("hyoten_fuzokuka_ari.xls");
    const QString second = sampleSheet("hyoten_mokuzou_2f.xls");
    QVERIFY(dropFiles(book().grid()->viewport(), {first, second}));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(book().CellText(1, 4, 4), QStringLiteral("宮﨑　健太郎")); // only the first
    QCOMPARE(w_->exfile->text(), first);
    QCOMPARE(w_->statusMessage(), first + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
    QCOMPARE(book().ViewScale(), 100); // no view settings
    QVERIFY(book().ShowColHeading());
}

void TestSheetOps::dropsThatAreRefused() {
    startWithRecord();
    const QString upper = writeBook(run_->path(QStringLiteral("BOOK.XLS")), {{1, 1, "upper"}});
    w_->exfile->setText(QStringLiteral("before"));
    w_->showStatus(QStringLiteral("status before"));
    QVERIFY(dropFiles(&book(), {upper}));
    QCOMPARE(run_->dialogs.messages(), QStringList{QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});
    QCOMPARE(book().CellText(1, 1, 1), QString());
    QCOMPARE(w_->exfile->text(), QStringLiteral("before"));
    QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));

    // A workbook in a folder whose name holds the letters: handed on and shown.
    QDir().mkpath(run_->path(QStringLiteral("xlsdata")));
    const QString inside =
        writeBook(run_->path(QStringLiteral("xlsdata/SHEET.BIN")), {{1, 1, "in folder"}});
    run_->dialogs.clear();
    QVERIFY(dropFiles(&book(), {inside}));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(book().CellText(1, 1, 1), QStringLiteral("in folder"));
    QCOMPARE(w_->exfile->text(), inside);
}

void TestSheetOps::listDragShowsTheSheet() {
    startWithRecord();
    const QString path = writeBook(run_->path(QStringLiteral("listed.xls")), {{4, 4, "一覧"}});
    ShellList* list = w_->sheetPage().ShellListView1;
    list->showFolder(run_->folder.path());
    QTRY_VERIFY(list->selectPath(path));
    std::unique_ptr<QMimeData> data(list->dragData());
    QVERIFY(dropOn(book().grid()->viewport(), *data));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(book().CellText(1, 4, 4), QStringLiteral("一覧"));
    QCOMPARE(w_->exfile->text(), path);
    QCOMPARE(w_->statusMessage(), path + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
}

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    TestSheetOps tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_sheetops.moc"
