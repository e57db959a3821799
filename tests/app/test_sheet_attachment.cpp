// The detail sheet stored in the current house record, on the running window over a real
// store with real workbooks: 明細登録, the file registration of the toolbar, the drop on
// 明細l直接登録, 明細表示, 明細書出 and 明細消去. The store is read back with SQL. Every test runs
// on the SQLite file and on a register of the test PostgreSQL server.

#include "app/application.h"
#include "app/page_sheet.h"
#include "app/sheet_attachment.h"
#include "attachment_support.h"
#include "platform/errors.h"
#include "platform/globalmem.h"
#include "records/recordset.h"
#include "sheet/handlestream.h"
#include "sheet/view/f5book.h"
#include "widgets/controls.h"
#include "widgets/hints.h"
#include "widgets/navigator.h"
#include "widgets/shelllist.h"
#include "widgets/sidebar.h"

#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cstring>

using namespace tovera;
using namespace tovera::testing;

namespace {
using Kind = ScriptedDialogs::Shown::Kind;

QString sampleSheet(const char* name) {
    return QStringLiteral(TOVERA_SHARED "/sample-sheets/") + QLatin1String(name);
}

// Cells that tell the sample workbooks apart (sheet 1).
QStringList someCells(TF5Book& book) {
    QStringList texts;
    for (const auto& [row, column] : {std::pair{1, 1}, {2, 3}, {4, 4}, {6, 5}, {6, 9}, {20, 2}})
        texts << book.CellText(1, row, column);
    return texts;
}
} // namespace

class TestSheetAttachment : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void controlsAndHints();
    void takeHandleBytes_data();
    void takeHandleBytes();
    void fileRegistration();
    void fileRegistrationCancelledOrMissing();
    void registerDisplayedSheet();
    void dropRegistration_data();
    void dropRegistration();
    void showStoredSheet_data();
    void showStoredSheet();
    void clearThenShow();
    void exportStoredSheet_data();
    void exportStoredSheet();
    void exportWithNothingOrGarbageStored();
    void registrationOnAnEmptyStore();

private:
    void startWith(const QByteArray& excel);
    void clickItem(int item) {
        QTest::mouseClick(w_->sheetPage().InspectorBar2->itemButton(0, item), Qt::LeftButton);
    }
    TF5Book& book() { return *w_->sheetPage().F5Book1; }
    QByteArray stored(int no = 1) const { return storedColumn(run_->databasePath(), "excel", no); }
    void loadShown(const QString& path) {
        int16_t type = 0;
        book().LoadWorkbookFile(path, type);
    }

    std::unique_ptr<WindowRun> run_;
    Tovmain* w_ = nullptr;
    QString dir_;
    QString first_, second_; // two real detail sheets
};

void TestSheetAttachment::initTestCase() {
    first_ = sampleSheet("hyoten_mokuzou_2f.xls");
    second_ = sampleSheet("hyoten_fuzokuka_ari.xls");
    if (!QFile::exists(first_) || !QFile::exists(second_))
        QSKIP("the sample detail sheets are not at hand");
}

void TestSheetAttachment::init() {
    run_ = std::make_unique<WindowRun>();
    QVERIFY(run_->folder.isValid());
    TOVERA_REQUIRE_ENGINE();
    run_->createStore();
    useServerRegisterInServerPass();
    dir_ = run_->path(QStringLiteral("files"));
    QDir().mkpath(dir_);
}

void TestSheetAttachment::cleanup() {
    clearServerRegister();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(nullptr);
    w_ = nullptr;
    run_.reset();
}

void TestSheetAttachment::startWith(const QByteArray& excel) {
    addRecordTo(*run_, 1, QByteArray(), excel);
    addRecordTo(*run_, 2, QByteArray(), QByteArray());
    w_ = &run_->startQuietly();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    w_->show();
    w_->showPage(1);
    QVERIFY(QTest::qWaitForWindowExposed(w_));
}

void TestSheetAttachment::controlsAndHints() {
    startWith(QByteArray());
    SideBar* bar = w_->sheetPage().InspectorBar2;
    QCOMPARE(bar->panelCaption(0), QStringLiteral("明細メニュー"));
    QStringList items;
    for (int i = 0; i < bar->itemCount(0); ++i) items << bar->itemButton(0, i)->text();
    QCOMPARE(items, (QStringList{"明細表示", "明細消去", "明細登録", "明細書出"}));
    QCOMPARE(hintOf(w_->ToolbarButton974),
             QStringLiteral("ファイル指定読込みで明細を登録します。"));
    QCOMPARE(w_->BitBtn3->text(), QStringLiteral("明細l直接登録"));
    QCOMPARE(SheetAttachment::registerFilter(), QStringLiteral("明細ファイル (*.xls)"));
    // The second panel's clicks do nothing here.
    w_->sheetAttachment().InspectorBar2ItemClick(1, 0);
    QVERIFY(run_->dialogs.shown.empty());
}

void TestSheetAttachment::takeHandleBytes_data() {
    QTest::addColumn<int>("kind"); // 0 no handle, 1 a block, 2 a freed handle
    QTest::addColumn<QString>("error");
    QTest::newRow("no handle") << 0 << "Assertion failure (Tovmain, 2267 行)";
    QTest::newRow("a block") << 1 << QString();
    QTest::newRow("a block already freed") << 2 << "Invalid Memory Handle";
}

void TestSheetAttachment::takeHandleBytes() {
    QFETCH(int, kind);
    QFETCH(QString, error);
    const std::size_t before = globalBlockCount();
    HGLOBAL handle = 0;
    const QByteArray content("workbook bytes");
    if (kind > 0) {
        handle = GlobalAlloc(GMEM_MOVEABLE, size_t(content.size()));
        std::memcpy(GlobalLock(handle), content.constData(), size_t(content.size()));
        GlobalUnlock(handle);
        if (kind == 2) GlobalFree(handle);
    }
    try {
        const QByteArray bytes = tovera::takeHandleBytes(handle);
        QVERIFY(error.isEmpty());
        QCOMPARE(bytes, content);
    } catch (const Exception& e) {
        QCOMPARE(e.message(), error);
        // The standard error dialog shows the assertion failure as it is.
        if (kind == 0) QCOMPARE(errorDialogText(e.message()), error);
    }
    QCOMPARE(globalBlockCount(), before); // the block is freed
}

void TestSheetAttachment::fileRegistration() {
    startWith(QByteArray());
    QVERIFY(!w_->sheetMark->isChecked());
    // The open dialog twice: the first shows a sheet, the second chooses what is stored.
    run_->dialogs.openAnswers = {first_, second_};
    QTest::mouseClick(w_->ToolbarButton974, Qt::LeftButton);
    QCOMPARE(run_->count(Kind::Open), 2);
    QCOMPARE(run_->dialogs.shown[0].text, QString()); // the filter of its last use
    QCOMPARE(run_->dialogs.lastRequest.filter, QStringLiteral("明細ファイル (*.xls)"));
    QCOMPARE(run_->count(Kind::Confirm), 0);
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(stored(), fileBytes(second_)); // byte for byte
    QVERIFY(w_->sheetMark->isChecked());    // at once
    QCOMPARE(w_->exfile->text(), QStringLiteral("<"));
    QCOMPARE(w_->statusMessage(), second_ + QStringLiteral("を登録しました。"));
    // The stored sheet is what the control shows.
    const QStringList shown = someCells(book());
    loadShown(second_);
    QCOMPARE(shown, someCells(book()));
    loadShown(first_);
    QVERIFY(shown != someCells(book()));
}

void TestSheetAttachment::fileRegistrationCancelledOrMissing() {
    startWith(QByteArray("kept"));
    // The second dialog cancelled: the first file stays shown, nothing is stored.
    run_->dialogs.openAnswers = {first_};
    w_->sheetAttachment().ToolbarButton974Click();
    QCOMPARE(run_->count(Kind::Open), 2);
    QCOMPARE(stored(), QByteArray("kept"));
    const QStringList shown = someCells(book());
    loadShown(first_);
    QCOMPARE(shown, someCells(book()));
    QCOMPARE(w_->exfile->text(), QStringLiteral("[*明細あり]"));
    // A file that does not exist.
    run_->dialogs.clear();
    run_->dialogs.openAnswers = {dir_ + "/absent.xls"};
    w_->sheetAttachment().ToolbarButton974Click();
    QCOMPARE(run_->dialogs.messages(), QStringList{QStringLiteral("そのシートはありません!")});
    QCOMPARE(run_->count(Kind::Open), 1);
    QCOMPARE(stored(), QByteArray("kept"));
}

void TestSheetAttachment::registerDisplayedSheet() {
    startWith(QByteArray());
    loadShown(first_);
    const QStringList shown = someCells(book());
    w_->exfile->setText(QStringLiteral("before"));
    clickItem(2); // 明細登録
    QCOMPARE(run_->dialogs.shown.size(), size_t(1));
    QCOMPARE(run_->dialogs.shown[0].caption, QStringLiteral("明細登録"));
    QCOMPARE(run_->dialogs.shown[0].text, QStringLiteral("登録しますか？"));
    const QByteArray bytes = stored();
    QVERIFY(bytes.startsWith("\xD0\xCF\x11\xE0")); // a workbook as the control writes it
    QCOMPARE(w_->exfile->text(), QStringLiteral("登録!"));
    QCOMPARE(w_->statusMessage(), QStringLiteral(" >>>表示明細を登録しました。"));
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    // The mark keeps its state until the next move.
    QVERIFY(!w_->sheetMark->isChecked());
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Next), Qt::LeftButton);
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Prior), Qt::LeftButton);
    QVERIFY(w_->sheetMark->isChecked());
    // It reads back to the same cells.
    book().ClearWorkbook();
    clickItem(0);
    QCOMPARE(someCells(book()), shown);

    // Cancelled: nothing stored.
    run_->dialogs.clear();
    run_->dialogs.confirmAnswers = {false};
    book().ClearWorkbook();
    clickItem(2);
    QCOMPARE(stored(), bytes);
    QCOMPARE(w_->exfile->text(), QStringLiteral("-"));
}

void TestSheetAttachment::dropRegistration_data() {
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<bool>("storedAfter");
    QTest::newRow("both answered yes") << QList<bool>{true, true} << true << true;
    QTest::newRow("second answered no") << QList<bool>{true, false} << true << false;
    QTest::newRow("first answered no") << QList<bool>{false} << false << false;
}

void TestSheetAttachment::dropRegistration() {
    QFETCH(QList<bool>, answers);
    QFETCH(bool, loaded);
    QFETCH(bool, storedAfter);
    startWith(QByteArray());
    const QString path = dir_ + "/明細.xls";
    QVERIFY(QFile::copy(first_, path));
    ShellList* list = w_->sheetPage().ShellListView1;
    list->showFolder(dir_);
    QTRY_VERIFY(list->selectPath(path));
    std::unique_ptr<QMimeData> data(list->dragData());
    for (bool a : answers) run_->dialogs.confirmAnswers.push_back(a);
    w_->exfile->setText(QStringLiteral("before"));
    w_->showStatus(QStringLiteral("status before"));
    book().setViewScale(150);
    QVERIFY(dropOn(w_->BitBtn3, *data));
    QCOMPARE(run_->count(Kind::Confirm), answers.size());
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(book().CellText(1, 1, 1).isEmpty(), !loaded);
    QCOMPARE(book().ViewScale(), loaded ? 95 : 150); // the view settings
    if (storedAfter) {
        QVERIFY(stored().startsWith("\xD0\xCF\x11\xE0"));
        QCOMPARE(w_->exfile->text(), QStringLiteral("<-"));
        QCOMPARE(w_->statusMessage(), path + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
        // What the control wrote reads back to the same cells.
        const QStringList shown = someCells(book());
        book().ClearWorkbook();
        clickItem(0);
        QCOMPARE(someCells(book()), shown);
    } else {
        QVERIFY(stored().isNull());
        QCOMPARE(w_->exfile->text(), QStringLiteral("before"));
        QCOMPARE(w_->statusMessage(), QStringLiteral("status before"));
    }
}

void TestSheetAttachment::showStoredSheet_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("exfile");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("nothing stored") << QByteArray() << "なし!" << QStringList() << false;
    QTest::newRow("garbage") << QByteArray("not a workbook at all") << "-"
                             << QStringList{"不正な明細登録です!"} << false;
    QTest::newRow("a workbook") << fileBytes(sampleSheet("hyoten_fuzokuka_ari.xls")) << "-"
                                << QStringList() << true;
}

void TestSheetAttachment::showStoredSheet() {
    QFETCH(QByteArray, content);
    QFETCH(QString, exfile);
    QFETCH(QStringList, messages);
    QFETCH(bool, replaced);
    startWith(content);
    loadShown(first_);
    const QStringList before = someCells(book());
    clickItem(0);
    QCOMPARE(w_->exfile->text(), exfile);
    QCOMPARE(run_->dialogs.messages(), messages);
    if (replaced) {
        loadShown(second_);
        const QStringList expected = someCells(book());
        loadShown(first_);
        clickItem(0);
        QCOMPARE(someCells(book()), expected);
    } else {
        QCOMPARE(someCells(book()), before);
    }
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
}

void TestSheetAttachment::clearThenShow() {
    startWith(fileBytes(second_));
    clickItem(0);
    const QStringList shown = someCells(book());
    QVERIFY(!shown.first().isEmpty());
    clickItem(1); // 明細消去
    QCOMPARE(book().CellText(1, 1, 1), QString());
    QCOMPARE(w_->exfile->text(), QString());
    QCOMPARE(stored(), fileBytes(second_));
    clickItem(0);
    QCOMPARE(someCells(book()), shown);
}

void TestSheetAttachment::exportStoredSheet_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "out"
                                  << "out.xls";
    QTest::newRow(".xls kept") << "out.xls"
                               << "out.xls";
    QTest::newRow(".XLS kept") << "OUT.XLS"
                               << "OUT.XLS";
}

void TestSheetAttachment::exportStoredSheet() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    startWith(fileBytes(second_));
    loadShown(first_);
    run_->dialogs.saveAnswers = {dir_ + "/" + chosen};
    clickItem(3); // 明細書出
    QCOMPARE(run_->count(Kind::Save), 1);
    QCOMPARE(run_->dialogs.lastRequest.filter, QStringLiteral("明細ｼｰﾄ(*.XLS)"));
    QCOMPARE(run_->dialogs.lastRequest.defaultExtension, QStringLiteral("xls"));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(QDir(dir_).entryList(QDir::Files), QStringList{written});
    QCOMPARE(w_->exfile->text(), QStringLiteral(">"));
    // The stored sheet is shown, and the file is the control's rewrite of it.
    const QStringList shown = someCells(book());
    loadShown(second_);
    QCOMPARE(shown, someCells(book()));
    loadShown(dir_ + "/" + written);
    QCOMPARE(someCells(book()), shown);
    // Cancelled: the stored sheet stays shown.
    loadShown(first_);
    clickItem(3);
    QCOMPARE(someCells(book()), shown);
    QCOMPARE(w_->exfile->text(), QStringLiteral(">"));
}

void TestSheetAttachment::exportWithNothingOrGarbageStored() {
    startWith(QByteArray());
    clickItem(3);
    QCOMPARE(w_->exfile->text(), QString());
    QCOMPARE(run_->count(Kind::Save), 0);
    addRecordTo(*run_, 3, QByteArray(), QByteArray("garbage"));
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Refresh), Qt::LeftButton);
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Last), Qt::LeftButton);
    w_->exfile->setText(QStringLiteral("before"));
    clickItem(3);
    QCOMPARE(run_->count(Kind::Error), 1);
    QCOMPARE(run_->count(Kind::Save), 0);
    QCOMPARE(w_->exfile->text(), QStringLiteral("before"));
}

void TestSheetAttachment::registrationOnAnEmptyStore() {
    w_ = &run_->startQuietly();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    QCOMPARE(w_->ADOQuery1().recordCount(), 0);
    loadShown(first_);
    w_->sheetAttachment().InspectorBar2ItemClick(0, 2);
    QVERIFY(run_->dialogs.messages().isEmpty());
    const QString db = run_->databasePath();
    QCOMPARE(storeValue(db, "SELECT count(*) FROM 基本データ").toInt(), 1);
    QVERIFY(storeValue(db, "SELECT excel FROM 基本データ").toByteArray().startsWith("\xD0\xCF"));
    QCOMPARE(storeValue(db, "SELECT count(*) FROM 基本データ WHERE \"No\" IS NOT NULL OR "
                            "所有者氏名 IS NOT NULL OR zumen IS NOT NULL")
                 .toInt(),
             0);
}

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    return test::runOnBothEngines<TestSheetAttachment>(argc, argv);
}

#include "test_sheet_attachment.moc"
