// The drawing stored in the current house record, on the running window over a real store:
// registered from an outside drop, a chosen file or a drag onto 図面直接登録, shown, exported
// byte for byte, cleared from the view, and erased (with the sheet) by a right click on the
// check labels. The store is read back with SQL. Every test runs on the SQLite file and on
// a register of the test PostgreSQL server.

#include "app/application.h"
#include "app/attachments.h"
#include "app/page_drawing.h"
#include "app/page_search.h"
#include "attachment_support.h"
#include "drawing/host.h"
#include "drawing/readers.h"
#include "records/engines.h"
#include "records/recordset.h"
#include "widgets/controls.h"
#include "widgets/hints.h"
#include "widgets/navigator.h"
#include "widgets/shelllist.h"
#include "widgets/sidebar.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace tovera;
using namespace tovera::testing;

namespace {
using Kind = ScriptedDialogs::Shown::Kind;
const QString Registered = QStringLiteral("（図面）を登録ました。");
} // namespace

class TestAttachments : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controlsAndHints();
    void dropThenRegisterThenExport();
    void registerWithoutAnOutsideDrop();
    void droppedDrawingIsStoredNotTheOpenedOne();
    void releaseOverTheDrawingMarkEmptiesTheBuffer_data();
    void releaseOverTheDrawingMarkEmptiesTheBuffer();
    void eraseThenLeave_data();
    void eraseThenLeave();
    void eraseStoredSheet();
    void showStoredDrawing_data();
    void showStoredDrawing();
    void clearTheView();
    void exportWithNothingStoredOrCancelled();
    void exportToAFileThatCannotBeCreated();
    void registerDrawingFile();
    void registerDrawingFileThatCannotBeRead();
    void dragOntoTheDropButton_data();
    void dragOntoTheDropButton();
    void registrationOnAnEmptyStore_data();
    void registrationOnAnEmptyStore();
    void largeDrawing();

private:
    void startWith(const QByteArray& zumen, const QByteArray& excel);
    void addRecord(int no, const QByteArray& zumen, const QByteArray& excel);
    void clickItem(int item);
    QByteArray stored(const char* column = "zumen", int no = 1) const {
        return storedColumn(run_->databasePath(), column, no);
    }

    std::unique_ptr<WindowRun> run_;
    Tovmain* w_ = nullptr;
    QString dir_;
};

void TestAttachments::init() {
    run_ = std::make_unique<WindowRun>();
    QVERIFY(run_->folder.isValid());
    TOVERA_REQUIRE_ENGINE();
    run_->createStore();
    useServerRegisterInServerPass();
    dir_ = run_->path(QStringLiteral("files"));
    QDir().mkpath(dir_);
    QVERIFY(QFile::copy(sampleDrawing("basic_crlf.hbd"), dir_ + "/p.hbd"));
    QVERIFY(QFile::copy(sampleDrawing("three_floors.hbd"), dir_ + "/q.hbd"));
}

void TestAttachments::addRecord(int no, const QByteArray& zumen, const QByteArray& excel) {
    addRecordTo(*run_, no, zumen, excel);
}

void TestAttachments::cleanup() {
    clearServerRegister();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(nullptr);
    w_ = nullptr;
    run_.reset();
}

void TestAttachments::startWith(const QByteArray& zumen, const QByteArray& excel) {
    addRecord(1, zumen, excel);
    addRecord(2, QByteArray(), QByteArray());
    w_ = &run_->startQuietly();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    w_->show();
    w_->showPage(2);
    QVERIFY(QTest::qWaitForWindowExposed(w_));
}

void TestAttachments::clickItem(int item) {
    QTest::mouseClick(w_->drawingPage().InspectorBar3->itemButton(0, item), Qt::LeftButton);
}

void TestAttachments::controlsAndHints() {
    startWith(QByteArray(), QByteArray());
    SideBar* bar = w_->drawingPage().InspectorBar3;
    QCOMPARE(bar->panelCaption(0), QStringLiteral("図面メニュー"));
    QStringList items;
    for (int i = 0; i < bar->itemCount(0); ++i) items << bar->itemButton(0, i)->text();
    QCOMPARE(items, (QStringList{"図面表示", "図面消去", "図面登録", "図面書出"}));
    QCOMPARE(hintOf(w_->ToolbarButton975),
             QStringLiteral("ファイル指定読込みで図面を登録します。"));
    QCOMPARE(hintOf(w_->drawingMark), QStringLiteral("右クリックで登録を消去します。（確認あり）"));
    QCOMPARE(hintOf(w_->sheetMark), QStringLiteral("右クリックで登録を消去します。（確認あり）"));
    QCOMPARE(hintOf(w_->BitBtn4), QStringLiteral("図面をドロップで登録します!"));
    QCOMPARE(hintOf(w_->BitBtn3), QStringLiteral("明細をドロップで登録します!"));
    QCOMPARE(Attachments::exportFilter(), QStringLiteral("家屋図面 (*.hbd)"));
    QCOMPARE(Attachments::registerFilter(), QStringLiteral("図面ファイル (*.hbd)"));
}

void TestAttachments::dropThenRegisterThenExport() {
    startWith(QByteArray(), QByteArray());
    const QString p = dir_ + "/p.hbd";
    QVERIFY(dropFileOn(w_->drawingPage().FlatTabControl1, p));
    QCOMPARE(w_->droppedDrawing(), fileBytes(p));
    clickItem(2); // 図面登録
    QCOMPARE(run_->dialogs.shown.size(), size_t(1));
    QCOMPARE(run_->dialogs.shown[0].kind, Kind::Confirm);
    QCOMPARE(run_->dialogs.shown[0].caption, QStringLiteral("図面登録"));
    QCOMPARE(run_->dialogs.shown[0].text, QStringLiteral("登録しますか？"));
    QCOMPARE(stored(), fileBytes(p));
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    QVERIFY(w_->drawingMark->isChecked());
    QCOMPARE(w_->zmfile->text(), QStringLiteral("□"));
    QCOMPARE(w_->statusMessage(), QStringLiteral("□") + Registered);

    // Exported byte for byte, with the drawing's own filter and default extension.
    const QString out = dir_ + "/out.hbd";
    writeFile(out, "an older and much longer file that is replaced whole");
    run_->dialogs.clear();
    run_->dialogs.saveAnswers = {out};
    clickItem(3); // 図面書出
    QCOMPARE(run_->count(Kind::Save), 1);
    QCOMPARE(run_->dialogs.lastRequest.filter, QStringLiteral("家屋図面 (*.hbd)"));
    QCOMPARE(run_->dialogs.lastRequest.defaultExtension, QStringLiteral("hbd"));
    QCOMPARE(fileBytes(out), fileBytes(p));
    QCOMPARE(w_->zmfile->text(), QStringLiteral("->"));
    QVERIFY(run_->dialogs.messages().isEmpty());

    // Cancelling the question stores nothing.
    QVERIFY(dropFileOn(w_->drawingPage().FlatTabControl1, dir_ + "/q.hbd"));
    run_->dialogs.confirmAnswers = {false};
    w_->zmfile->setText(QStringLiteral("kept"));
    clickItem(2);
    QCOMPARE(stored(), fileBytes(p));
    QCOMPARE(w_->zmfile->text(), QStringLiteral("kept"));
}

void TestAttachments::registerWithoutAnOutsideDrop() {
    startWith(QByteArray(), QByteArray());
    run_->dialogs.openAnswers = {dir_ + "/p.hbd"};
    QTest::mouseClick(w_->ZmRead, Qt::LeftButton);
    QVERIFY(!w_->drawingPage().model().lines1F.empty());
    run_->dialogs.clear();
    clickItem(2);
    QCOMPARE(w_->statusMessage(), QStringLiteral(" >>>図面が読み込まれていません。"));
    QCOMPARE(run_->dialogs.shown.size(), size_t(1));
    QCOMPARE(run_->dialogs.shown[0].kind, Kind::Beep);
    QVERIFY(stored().isNull());
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
}

void TestAttachments::droppedDrawingIsStoredNotTheOpenedOne() {
    startWith(QByteArray(), QByteArray());
    QVERIFY(dropFileOn(w_->drawingPage().PaintBox1, dir_ + "/p.hbd"));
    run_->dialogs.openAnswers = {dir_ + "/q.hbd"};
    QTest::mouseClick(w_->ZmRead, Qt::LeftButton);
    QCOMPARE(w_->zmfile->text(), dir_ + "/q.hbd");
    clickItem(2);
    QCOMPARE(stored(), fileBytes(dir_ + "/p.hbd"));
}

void TestAttachments::releaseOverTheDrawingMarkEmptiesTheBuffer_data() {
    QTest::addColumn<int>("button");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
    QTest::newRow("right, cancelled") << int(Qt::RightButton);
}

void TestAttachments::releaseOverTheDrawingMarkEmptiesTheBuffer() {
    QFETCH(int, button);
    startWith(fileBytes(dir_ + "/q.hbd"), QByteArray());
    QVERIFY(dropFileOn(w_->drawingPage().FlatTabControl1, dir_ + "/p.hbd"));
    run_->dialogs.clear();
    run_->dialogs.confirmAnswers = {false};
    QTest::mouseClick(w_->drawingMark, Qt::MouseButton(button));
    QVERIFY(w_->droppedDrawing().isEmpty());
    // Only the right button asks; a cancel changes nothing.
    QCOMPARE(run_->count(Kind::Confirm), button == Qt::RightButton ? 1 : 0);
    QVERIFY(w_->drawingMark->isChecked());
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    clickItem(2);
    QCOMPARE(w_->statusMessage(), QStringLiteral(" >>>図面が読み込まれていません。"));
    QCOMPARE(stored(), fileBytes(dir_ + "/q.hbd"));
}

void TestAttachments::eraseThenLeave_data() {
    QTest::addColumn<QString>("then");
    QTest::addColumn<bool>("kept");
    QTest::newRow("next record and back") << "next" << false;
    QTest::newRow("post edit") << "post" << false;
    // A search ends the edit as a move does: the erase is posted with it.
    QTest::newRow("search") << "search" << false;
    QTest::newRow("cancel edit") << "cancel" << true;
}

void TestAttachments::eraseThenLeave() {
    QFETCH(QString, then);
    QFETCH(bool, kept);
    const QByteArray drawing = fileBytes(dir_ + "/p.hbd");
    startWith(drawing, QByteArray());
    QVERIFY(w_->drawingMark->isChecked());
    QCOMPARE(w_->zmfile->text(), QStringLiteral("[*図面あり]"));
    QTest::mouseClick(w_->drawingMark, Qt::RightButton);
    QCOMPARE(run_->dialogs.shown.back().caption, QStringLiteral("図面削除"));
    QCOMPARE(run_->dialogs.shown.back().text, QStringLiteral("消去しますか？"));
    QVERIFY(!w_->drawingMark->isChecked());
    QCOMPARE(w_->zmfile->text(), QString());
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Editing);
    QCOMPARE(stored(), drawing); // not posted yet

    RecordNavigator* nav = w_->navigator;
    if (then == "next") {
        QTest::mouseClick(nav->button(RecordNavigator::Next), Qt::LeftButton);
        QTest::mouseClick(nav->button(RecordNavigator::Prior), Qt::LeftButton);
        QVERIFY(!w_->drawingMark->isChecked());
        QCOMPARE(w_->zmfile->text(), QStringLiteral("[*図面なし]"));
    } else if (then == "post") {
        QTest::mouseClick(nav->button(RecordNavigator::Post), Qt::LeftButton);
    } else if (then == "search") {
        QLineEdit* name = w_->searchPage().Edit1;
        name->setText(QStringLiteral("山田"));
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(w_->ADOQuery1().recordCount(), 2);
    } else {
        QTest::mouseClick(nav->button(RecordNavigator::Cancel), Qt::LeftButton);
        // The marks are not read again until the next change of record.
        QVERIFY(!w_->drawingMark->isChecked());
        QCOMPARE(w_->zmfile->text(), QString());
    }
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(stored(), kept ? drawing : QByteArray());
    QCOMPARE(w_->ADOQuery1().blobLength(QStringLiteral("zumen")), kept ? drawing.size() : 0);
}

void TestAttachments::eraseStoredSheet() {
    startWith(QByteArray("drawing"), QByteArray("sheet bytes"));
    QVERIFY(w_->sheetMark->isChecked());
    w_->droppedDrawing() = "kept";
    // Other buttons do nothing, not even to the dropped drawing.
    QTest::mouseClick(w_->sheetMark, Qt::LeftButton);
    QVERIFY(run_->dialogs.shown.empty());
    run_->dialogs.confirmAnswers = {false, true};
    QTest::mouseClick(w_->sheetMark, Qt::RightButton);
    QVERIFY(w_->sheetMark->isChecked());
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    QTest::mouseClick(w_->sheetMark, Qt::RightButton);
    QCOMPARE(run_->dialogs.shown.back().caption, QStringLiteral("明細削除"));
    QCOMPARE(run_->dialogs.shown.back().text, QStringLiteral("消去しますか？"));
    QVERIFY(!w_->sheetMark->isChecked());
    QCOMPARE(w_->exfile->text(), QString());
    QCOMPARE(w_->droppedDrawing(), QByteArray("kept"));
    QCOMPARE(stored("excel"), QByteArray("sheet bytes"));
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Next), Qt::LeftButton);
    QVERIFY(stored("excel").isEmpty());
    QCOMPARE(stored("zumen"), QByteArray("drawing"));
}

void TestAttachments::showStoredDrawing_data() {
    QTest::addColumn<QString>("file"); // empty: nothing stored
    QTest::addColumn<QString>("zmfile");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("nothing stored") << QString() << "なし!"
                                    << "　>>>図面がありません。" << QStringList();
    QTest::newRow("a drawing") << "three_floors.hbd"
                               << "□"
                               << "切替え" << QStringList();
    QTest::newRow("LF line ends") << "basic_lf.hbd"
                                  << "□"
                                  << "切替え" << QStringList();
    // The old kind is refused by the reader and is not marked as shown.
    QTest::newRow("old kind") << "kind3.had"
                              << "before"
                              << "切替え" << QStringList{"旧家屋図面です。"};
    QTest::newRow("unknown header") << "refused_caps.hbd"
                                    << "before"
                                    << "切替え" << QStringList();
}

void TestAttachments::showStoredDrawing() {
    QFETCH(QString, file);
    QFETCH(QString, zmfile);
    QFETCH(QString, status);
    QFETCH(QStringList, messages);
    startWith(file.isEmpty() ? QByteArray() : fileBytes(sampleDrawing(qPrintable(file))),
              QByteArray());
    DrawingPage& page = w_->drawingPage();
    // Something shown before, on floor 2.
    QVERIFY(dropFileOn(page.FlatTabControl1, dir_ + "/p.hbd"));
    page.chooseFloor(2);
    const size_t before = page.model().lines1F.size();
    w_->zmfile->setText(QStringLiteral("before"));
    run_->dialogs.clear();
    clickItem(0);
    QCOMPARE(w_->zmfile->text(), zmfile);
    QCOMPARE(w_->statusMessage(), status);
    QCOMPARE(run_->dialogs.messages(), messages);
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Editing);
    QCOMPARE(w_->ADOQuery1().isModified(), false);
    if (file.isEmpty()) {
        QVERIFY(page.model().lines1F.empty());
        QCOMPARE(page.FlatEdit5->text(), QString());
    } else if (zmfile == "□") {
        QCOMPARE(page.model().currentFloor, 1);
        QCOMPARE(page.FlatTabControl1->currentIndex(), 0);
        DrawingModel fromFile;
        struct Quiet : DrawingHost {
            void setAreaBox(AreaBox, const QString&) override {}
            void setGauge(int) override {}
            void setMessagePanel(const QString&) override {}
            void showMessage(const QString&) override {}
            void renderDrawing() override {}
        } quiet;
        QCOMPARE(readDrawingFile(fromFile, quiet, sampleDrawing(qPrintable(file))), ReadResult::Ok);
        QCOMPARE(page.model().lines1F.size(), fromFile.lines1F.size());
        QCOMPARE(page.model().boxes3F.size(), fromFile.boxes3F.size());
        QCOMPARE(page.model().areaF1, fromFile.areaF1);
    } else {
        QCOMPARE(page.model().lines1F.size(), before); // the previous drawing stays
    }
    // Moving on leaves the untouched record as it was.
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Next), Qt::LeftButton);
    QCOMPARE(stored().size(),
             file.isEmpty() ? 0 : fileBytes(sampleDrawing(qPrintable(file))).size());
}

void TestAttachments::clearTheView() {
    startWith(fileBytes(dir_ + "/p.hbd"), QByteArray());
    DrawingPage& page = w_->drawingPage();
    QVERIFY(dropFileOn(page.FlatTabControl1, dir_ + "/q.hbd"));
    clickItem(1); // 図面消去
    QVERIFY(w_->droppedDrawing().isEmpty());
    QCOMPARE(w_->zmfile->text(), QStringLiteral("-"));
    QVERIFY(page.model().lines1F.empty() && page.model().lines2F.empty());
    QCOMPARE(page.FlatEdit1->text(), QString());
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
    QCOMPARE(stored(), fileBytes(dir_ + "/p.hbd"));
    QVERIFY(run_->dialogs.shown.empty());
}

void TestAttachments::exportWithNothingStoredOrCancelled() {
    startWith(QByteArray(), QByteArray());
    clickItem(3);
    QCOMPARE(w_->zmfile->text(), QStringLiteral("なし"));
    QCOMPARE(run_->count(Kind::Save), 0);

    QTest::mouseClick(w_->navigator->button(RecordNavigator::First), Qt::LeftButton);
    addRecord(3, fileBytes(dir_ + "/p.hbd"), QByteArray());
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Refresh), Qt::LeftButton);
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Last), Qt::LeftButton);
    QVERIFY(w_->drawingMark->isChecked());
    clickItem(3); // the dialog is cancelled
    QCOMPARE(run_->count(Kind::Save), 1);
    QCOMPARE(w_->zmfile->text(), QStringLiteral("->"));
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(QDir(dir_).entryList(QDir::Files).size(), 2);
}

void TestAttachments::exportToAFileThatCannotBeCreated() {
    startWith(fileBytes(dir_ + "/p.hbd"), QByteArray());
    w_->zmfile->setText(QStringLiteral("before"));
    run_->dialogs.saveAnswers = {dir_ + "/missing/folder/out.hbd"};
    clickItem(3);
    QCOMPARE(run_->count(Kind::Error), 1);
    QCOMPARE(w_->zmfile->text(), QStringLiteral("before"));
    QVERIFY(!QFile::exists(dir_ + "/missing/folder/out.hbd"));
}

void TestAttachments::registerDrawingFile() {
    startWith(fileBytes(dir_ + "/p.hbd"), QByteArray());
    w_->droppedDrawing() = "kept";
    const QString q = dir_ + "/q.hbd";
    run_->dialogs.openAnswers = {q};
    QTest::mouseClick(w_->ToolbarButton975, Qt::LeftButton);
    QCOMPARE(run_->dialogs.lastRequest.filter, QStringLiteral("図面ファイル (*.hbd)"));
    QCOMPARE(run_->count(Kind::Confirm), 0); // no question
    QCOMPARE(stored(), fileBytes(q));
    QVERIFY(w_->drawingMark->isChecked());
    QCOMPARE(w_->zmfile->text(), QStringLiteral("□"));
    QCOMPARE(w_->statusMessage(), q + Registered);
    // The drawing shown is the one read back from the record.
    QVERIFY(!w_->drawingPage().model().lines3F.empty());
    QCOMPARE(w_->droppedDrawing(), QByteArray("kept"));
    // Shown puts the record into edit mode; nothing is changed.
    QVERIFY(!w_->ADOQuery1().isModified());

    // Cancelled: nothing happens.
    run_->dialogs.clear();
    QTest::mouseClick(w_->ToolbarButton975, Qt::LeftButton);
    QCOMPARE(run_->dialogs.shown.size(), size_t(1));
    QCOMPARE(stored(), fileBytes(q));
}

void TestAttachments::registerDrawingFileThatCannotBeRead() {
    startWith(fileBytes(dir_ + "/p.hbd"), QByteArray());
    w_->zmfile->setText(QStringLiteral("before"));
    for (const QString& path : {dir_ + "/absent.hbd", dir_}) {
        run_->dialogs.clear();
        run_->dialogs.openAnswers = {path};
        QTest::mouseClick(w_->ToolbarButton975, Qt::LeftButton);
        QCOMPARE(run_->count(Kind::Error), 1);
        QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Editing);
        QCOMPARE(w_->ADOQuery1().blobLength(QStringLiteral("zumen")),
                 fileBytes(dir_ + "/p.hbd").size());
        QCOMPARE(w_->zmfile->text(), QStringLiteral("before"));
    }
    QTest::mouseClick(w_->navigator->button(RecordNavigator::Next), Qt::LeftButton);
    QCOMPARE(stored(), fileBytes(dir_ + "/p.hbd"));
}

void TestAttachments::dragOntoTheDropButton_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("storedAfter");
    QTest::newRow("drawing, OK") << "q.hbd" << true << true;
    QTest::newRow("drawing, cancelled") << "q.hbd" << false << false;
    QTest::newRow("no hbd in the path") << "q.had" << true << false;
}

void TestAttachments::dragOntoTheDropButton() {
    QFETCH(QString, name);
    QFETCH(bool, answer);
    QFETCH(bool, storedAfter);
    QVERIFY(QFile::copy(sampleDrawing("three_floors.hbd"), dir_ + "/q.had"));
    startWith(fileBytes(dir_ + "/p.hbd"), QByteArray());
    const QString path = dir_ + "/" + name;
    ShellList* list = w_->drawingPage().ShellListView2;
    list->showFolder(dir_);
    QTRY_VERIFY(list->selectPath(path));
    std::unique_ptr<QMimeData> data(list->dragData());
    run_->dialogs.confirmAnswers = {answer};
    w_->showStatus(QStringLiteral("before"));
    QVERIFY(dropOn(w_->BitBtn4, *data));
    if (storedAfter) {
        QCOMPARE(stored(), fileBytes(path));
        QCOMPARE(w_->statusMessage(), path + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
        QCOMPARE(w_->zmfile->text(), QStringLiteral("□"));
        QVERIFY(w_->drawingMark->isChecked());
        QVERIFY(!w_->drawingPage().model().lines3F.empty());
        QVERIFY(run_->dialogs.messages().isEmpty());
    } else {
        QCOMPARE(stored(), fileBytes(dir_ + "/p.hbd"));
        QCOMPARE(w_->statusMessage(), QStringLiteral("before"));
        QCOMPARE(run_->dialogs.messages(),
                 name.endsWith("hbd") ? QStringList()
                                      : QStringList{QStringLiteral("図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});
        QCOMPARE(run_->count(Kind::Confirm), name.endsWith("hbd") ? 1 : 0);
    }
}

void TestAttachments::registrationOnAnEmptyStore_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("from the outside drop") << "dropped";
    QTest::newRow("from a chosen file") << "file";
    QTest::newRow("from the drop button") << "button";
}

void TestAttachments::registrationOnAnEmptyStore() {
    QFETCH(QString, how);
    w_ = &run_->startQuietly();
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    QVERIFY(w_->ADOQuery1().isOpen());
    QCOMPARE(w_->ADOQuery1().recordCount(), 0);
    const QString p = dir_ + "/p.hbd";
    if (how == "dropped") {
        QVERIFY(dropFileOn(w_->drawingPage().FlatTabControl1, p));
        w_->attachments().InspectorBar3ItemClick(0, 2);
    } else if (how == "file") {
        run_->dialogs.openAnswers = {p};
        w_->attachments().ToolbarButton975Click();
    } else {
        w_->acceptDrawingAttachmentDrop(p);
    }
    QVERIFY(run_->dialogs.messages().isEmpty());
    const QString db = run_->databasePath();
    QCOMPARE(storeValue(db, "SELECT count(*) FROM 基本データ").toInt(), 1);
    QCOMPARE(storeValue(db, "SELECT zumen FROM 基本データ").toByteArray(), fileBytes(p));
    QCOMPARE(storeValue(db, "SELECT count(*) FROM 基本データ WHERE \"No\" IS NOT NULL OR "
                            "所有者氏名 IS NOT NULL OR 所在区 IS NOT NULL OR excel IS NOT NULL")
                 .toInt(),
             0);
    QCOMPARE(w_->ADOQuery1().recordCount(), 1);
}

void TestAttachments::largeDrawing() {
    // A 20 MB drawing is registered from a file, shown from the record and exported whole.
    startWith(QByteArray(), QByteArray());
    const QByteArray big = drawingOfSize(20 << 20);
    const QString path = dir_ + "/big.hbd";
    writeFile(path, big);
    run_->dialogs.openAnswers = {path};
    QTest::mouseClick(w_->ToolbarButton975, Qt::LeftButton);
    QVERIFY(run_->dialogs.messages().isEmpty());
    QCOMPARE(
        storeValue(run_->databasePath(), "SELECT length(zumen) FROM 基本データ WHERE \"No\" = 1")
            .toLongLong(),
        big.size());
    QVERIFY(stored() == big);
    QCOMPARE(w_->zmfile->text(), QStringLiteral("□"));
    QVERIFY(w_->drawingPage().model().lines1F.size() > 500000);
    const QString out = dir_ + "/big-out.hbd";
    run_->dialogs.saveAnswers = {out};
    clickItem(3);
    QVERIFY(fileBytes(out) == big);
}

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    return test::runOnBothEngines<TestAttachments>(argc, argv);
}

#include "test_attachments.moc"
