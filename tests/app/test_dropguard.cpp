// Drops and drags on the running window beyond the drop targets: text and files dragged
// from another program onto any box are refused and change nothing, and a box never
// starts a drag of its text. Real drag and mouse events sent through the application.

#include "app/application.h"
#include "app/page_drawing.h"
#include "app/page_sheet.h"
#include "records/recordset.h"
#include "sheet/view/f5book.h"
#include "support.h"
#include "widgets/controls.h"
#include "widgets/filedrop.h"
#include "widgets/shelllist.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

using namespace tovera;
using namespace tovera::testing;

namespace {

bool enterAccepted(QWidget* target, const QMimeData& data) {
    QDragEnterEvent enter(QRect(target->rect()).center(), Qt::CopyAction | Qt::MoveAction, &data,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    // Leaving ends the drag, so no later drag event goes to this target.
    QDragLeaveEvent leave;
    QApplication::sendEvent(target, &leave);
    return enter.isAccepted();
}

// A drag entering `target`, moving over it and dropped, as a platform delivers them, sent
// whatever the answers. Returns whether any of the three was accepted.
bool dragAndDrop(QWidget* target, const QMimeData& data) {
    const QPoint at = QRect(target->rect()).center();
    const auto actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    // A drop handler that raised ends the drop early; leaving closes the drag all the same.
    QDragLeaveEvent leave;
    QApplication::sendEvent(target, &leave);
    return enter.isAccepted() || move.isAccepted() || drop.isAccepted();
}

// Sends a mouse event of `type` at `at` (viewport coordinates) to `viewport`: `button` the one
// that changed, `held` those down afterwards.
void sendMouse(QWidget* viewport, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, at, viewport->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// The centre of the text cursor at `position` in `edit`.
template <typename Edit> QPoint cursorPoint(Edit* edit, int position) {
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(position);
    return edit->cursorRect(cursor).center();
}

// Presses the left button at `from` in the viewport of `edit`, moves to `to` with it held and
// lets it go there. Returns whether a drag object appeared under `edit` before the release.
bool pressMoveRelease(QAbstractScrollArea* edit, QPoint from, QPoint to) {
    QWidget* viewport = edit->viewport();
    sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    const bool dragged = !edit->findChildren<QDrag*>().isEmpty();
    sendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    return dragged;
}

QString shownText(QWidget* box) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) return line->text();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(box)) return memo->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(box)) return combo->currentText();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(box)) return spin->text();
    return {};
}

bool insideDropTarget(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (isDropTarget(w)) return true;
    return false;
}

// Every box of the window that a user could drop text on: line edits (also those inside
// combo boxes and date pickers), memos with their viewports, combo boxes and pickers.
QList<QWidget*> boxesOf(QWidget* window) {
    QList<QWidget*> boxes;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (insideDropTarget(w)) continue;
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QAbstractSpinBox*>(w))
            boxes << w;
        if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) boxes << memo << memo->viewport();
    }
    return boxes;
}

QString describe(QWidget* w) {
    QStringList chain;
    for (QWidget* p = w; p; p = p->parentWidget())
        chain << (p->objectName().isEmpty() ? QString::fromLatin1(p->metaObject()->className())
                                            : p->objectName());
    return chain.join(QStringLiteral(" < "));
}

void fillStore(WindowRun& run) {
    run.createStore();
    run.addRecord(1, QByteArray(), QByteArray());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill-remark");
        db.setDatabaseName(run.databasePath());
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("update 基本データ set 備考 = '東側に増築あり', 構造 = '木ス２'"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill-remark"));
}

} // namespace

class TestDropGuard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void boxesRefuseDrops_data();
    void boxesRefuseDrops();
    void boxesBuiltLaterRefuseDrops();
    void dropTargetsStillTakeTheirDrops();
    void partOfADropTargetHandsTheDragOn();
    void dropErrorsEndAtTheHandler_data();
    void dropErrorsEndAtTheHandler();
    void memoStartsNoDrag();
    void helpViewerStartsNoDrag();
    void pressInAScrolledSelectionStaysPut();

private:
    std::unique_ptr<WindowRun> run_;
    Tovmain* w_ = nullptr;
    QString file_;
};

void TestDropGuard::init() {
    run_ = std::make_unique<WindowRun>();
    fillStore(*run_);
    w_ = &run_->start();
    QCOMPARE(run_->dialogs.messages(), QStringList());
    static_cast<TovApplication*>(qApp)->setErrorDialogs(&run_->dialogs);
    file_ = run_->path(QStringLiteral("plan.xls"));
    QFile f(file_);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a workbook");
    w_->move(0, 0);
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_));
}

void TestDropGuard::cleanup() {
    static_cast<TovApplication*>(qApp)->setErrorDialogs(nullptr);
    run_.reset();
    w_ = nullptr;
}

void TestDropGuard::boxesRefuseDrops_data() {
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("files");
    QTest::addColumn<int>("page");
    QTest::newRow("text, page 1") << true << false << 0;
    QTest::newRow("files, page 1") << false << true << 0;
    QTest::newRow("text and files, page 1") << true << true << 0;
    QTest::newRow("text, page 3") << true << false << 2;
    QTest::newRow("files, page 2") << false << true << 1;
}

void TestDropGuard::boxesRefuseDrops() {
    QFETCH(bool, text);
    QFETCH(bool, files);
    QFETCH(int, page);
    w_->PageControl1->setCurrentIndex(page);
    QMimeData data;
    if (text) data.setText(QStringLiteral("外から来た文字"));
    if (files) data.setUrls({QUrl::fromLocalFile(file_)});
    RecordSet& records = w_->ADOQuery1();
    QCOMPARE(records.state(), RecordSet::State::Browsing);
    const QList<QWidget*> boxes = boxesOf(w_);
    QVERIFY(boxes.size() > 30); // the record, search, navigator and file-name boxes
    for (QWidget* box : boxes) {
        const QString before = shownText(box);
        QVERIFY2(!dragAndDrop(box, data), qPrintable(describe(box)));
        QCOMPARE(shownText(box), before);
        QVERIFY2(records.state() == RecordSet::State::Browsing, qPrintable(describe(box)));
    }
    QCOMPARE(w_->exfile->text(), QStringLiteral("[*明細なし]"));
    QCOMPARE(run_->dialogs.messages(), QStringList());
    QCOMPARE(records.value(QStringLiteral("備考")).toString(), QStringLiteral("東側に増築あり"));
}

void TestDropGuard::boxesBuiltLaterRefuseDrops() {
    auto* later = new QLineEdit(w_->BasicArea);
    later->show();
    QMimeData data;
    data.setText(QStringLiteral("後から"));
    QVERIFY(!dragAndDrop(later, data));
    QCOMPARE(later->text(), QString());
}

void TestDropGuard::dropTargetsStillTakeTheirDrops() {
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(file_)});
    QMimeData text;
    text.setText(QStringLiteral("文字"));
    QWidget* outsideTargets[] = {w_->sheetPage().F5Book1, w_->drawingPage().FlatTabControl1};
    for (QWidget* target : outsideTargets) {
        QVERIFY2(enterAccepted(target, files), qPrintable(describe(target)));
        QVERIFY2(!enterAccepted(target, text), qPrintable(describe(target)));
    }
    // A drag from a side-bar list is taken by the four inside targets.
    ShellList* list = w_->sheetPage().ShellListView1;
    std::unique_ptr<QMimeData> item(list->dragData());
    QWidget* insideTargets[] = {w_->sheetPage().F5Book1, w_->drawingPage().PaintBox1, w_->BitBtn3,
                                w_->BitBtn4};
    for (QWidget* target : insideTargets)
        QVERIFY2(enterAccepted(target, *item), qPrintable(describe(target)));
}

void TestDropGuard::partOfADropTargetHandsTheDragOn() {
    // The edit bar of the spreadsheet control is part of the control: files dropped on it
    // reach the control, which reads them; text does not reach the box.
    w_->PageControl1->setCurrentIndex(1);
    QLineEdit* inner = w_->sheetPage().F5Book1->contentBox();
    const QString before = inner->text();
    QMimeData text;
    text.setText(QStringLiteral("文字"));
    QVERIFY(!dragAndDrop(inner, text));
    QCOMPARE(inner->text(), before);
    QCOMPARE(run_->dialogs.shown.size(), size_t(0));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(file_)});
    QVERIFY(dragAndDrop(inner, files));
    QCOMPARE(inner->text(), before);
    // The control tried to read the file dropped (which is no workbook).
    QCOMPARE(run_->dialogs.shown.size(), size_t(1));
    QVERIFY2(run_->dialogs.messages().first().contains(QStringLiteral("plan.xls")),
             qPrintable(run_->dialogs.messages().first()));
}

void TestDropGuard::dropErrorsEndAtTheHandler_data() {
    QTest::addColumn<bool>("drawing");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shows");
    QTest::newRow("workbook the reader refuses") << false << "plan.xls"
                                                 << "plan.xls";
    QTest::newRow("drawing that cannot be opened") << true << "gone.hbd"
                                                   << "ファイルが見つかりません";
}

void TestDropGuard::dropErrorsEndAtTheHandler() {
    QFETCH(bool, drawing);
    QFETCH(QString, name);
    QFETCH(QString, shows);
    auto* app = static_cast<TovApplication*>(qApp);
    const int caught = app->caughtErrors();
    QWidget* target = drawing ? static_cast<QWidget*>(w_->drawingPage().FlatTabControl1)
                              : w_->sheetPage().F5Book1;
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(run_->path(name))});
    QVERIFY(dragAndDrop(target, files));
    // The drop's own handler showed the error: nothing unwound through the drop's delivery
    // to the application's last catch.
    QCOMPARE(app->caughtErrors(), caught);
    QCOMPARE(run_->dialogs.shown.size(), size_t(1));
    QCOMPARE(run_->dialogs.shown.front().kind, ScriptedDialogs::Shown::Error);
    QVERIFY2(run_->dialogs.shown.front().text.contains(shows),
             qPrintable(run_->dialogs.shown.front().text));
}

void TestDropGuard::memoStartsNoDrag() {
    QPlainTextEdit* memo = w_->BasicArea->findChild<QPlainTextEdit*>();
    QVERIFY(memo);
    QCOMPARE(memo->toPlainText(), QStringLiteral("東側に増築あり"));
    memo->setFocus();
    memo->selectAll();
    const QPoint from = cursorPoint(memo, 2);
    const QPoint to = from + QPoint(QApplication::startDragDistance() + 30, 0);
    // Whether a drag was started: a drag object appears under the memo.
    QVERIFY(!pressMoveRelease(memo, from, to));
    // The press placed the cursor and the move selected from there, as in a box that
    // never drags.
    QCOMPARE(memo->textCursor().anchor(), 2);
    QVERIFY(memo->textCursor().position() > 2);
    QCOMPARE(memo->toPlainText(), QStringLiteral("東側に増築あり"));
    QCOMPARE(w_->ADOQuery1().state(), RecordSet::State::Browsing);
}

void TestDropGuard::helpViewerStartsNoDrag() {
    const QString help = run_->path(QStringLiteral("ikatu.hlp"));
    QFile f(help);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<html><body><p>ABCDEFGHIJKLMNOPQRSTUVWXYZ</p></body></html>");
    f.close();
    w_->herupu1->trigger();
    QTextBrowser* browser = run_->help.browser();
    QVERIFY(browser && browser->isVisible());
    browser->selectAll();
    const QPoint from = cursorPoint(browser, 3);
    const QPoint to = from + QPoint(QApplication::startDragDistance() + 30, 0);
    QVERIFY(!pressMoveRelease(browser, from, to));
    QMimeData text;
    text.setText(QStringLiteral("外から"));
    QVERIFY(!dragAndDrop(browser->viewport(), text));
}

void TestDropGuard::pressInAScrolledSelectionStaysPut() {
    // A long memo built later, all selected, scrolled back to its top: a press on the first
    // line puts the cursor there without scrolling, and the move selects from there.
    auto* memo = new QPlainTextEdit(w_->BasicArea);
    memo->setGeometry(400, 300, 200, 80);
    QStringList lines;
    for (int i = 0; i < 40; ++i) lines << QStringLiteral("行 %1 の文字").arg(i);
    memo->setPlainText(lines.join(QLatin1Char('\n')));
    memo->show();
    memo->selectAll();
    memo->verticalScrollBar()->setValue(0);
    QWidget* viewport = memo->viewport();
    const QPoint from = cursorPoint(memo, 1);
    const QPoint to = from + QPoint(QApplication::startDragDistance() + 20, 0);
    sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(memo->verticalScrollBar()->value(), 0);
    sendMouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    QVERIFY(memo->findChildren<QDrag*>().isEmpty());
    QCOMPARE(memo->textCursor().anchor(), 1);
    QVERIFY(memo->textCursor().position() > 1);
    QVERIFY(memo->textCursor().position() < 10);
}

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    TestDropGuard tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_dropguard.moc"
