// The main window over a real store of five records: deleting or inserting in the middle
// of the result makes a definite record current, and the boxes, the navigator and the
// attachment marks follow it.

#include "app/application.h"
#include "app/databound.h"
#include "app/page_basic.h"
#include "app/support.h"
#include "records/recordset.h"
#include "store_fixture.h"
#include "widgets/controls.h"
#include "widgets/navigator.h"

#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

using namespace tovera;

namespace {

// Attachments of records No 1 to 5: 1 both, 2 none, 3 a drawing, 4 a sheet, 5 both.
QByteArray drawingOf(int no) {
    return no == 1 || no == 3 || no == 5 ? QByteArray("$plan") : QByteArray();
}
QByteArray sheetOf(int no) {
    return no == 1 || no == 4 || no == 5 ? QByteArray("book") : QByteArray();
}

} // namespace

class TestMiddleRecords : public QObject {
    Q_OBJECT
    std::unique_ptr<testing::WindowRun> run;
    Tovmain* w = nullptr;

    QLineEdit* box(const QString& column) {
        return qobject_cast<QLineEdit*>(w->basicPage().field(column)->control());
    }
    void click(RecordNavigator::Button b) {
        QToolButton* button = w->navigator->button(b);
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void goTo(int no) {
        if (w->navigator->button(RecordNavigator::First)->isEnabled())
            click(RecordNavigator::First);
        for (int i = 1; i < no; ++i) click(RecordNavigator::Next);
        QCOMPARE(box(QStringLiteral("No"))->text(), QString::number(no));
    }
    // What the window shows: "No|name|drawing mark|zmfile|sheet mark|exfile".
    QString shown() {
        return QStringList{box(QStringLiteral("No"))->text(),
                           box(QStringLiteral("所有者氏名"))->text(),
                           w->drawingMark->isChecked() ? QStringLiteral("図") : QStringLiteral("-"),
                           w->zmfile->text(),
                           w->sheetMark->isChecked() ? QStringLiteral("明") : QStringLiteral("-"),
                           w->exfile->text()}
            .join(QLatin1Char('|'));
    }
    static QString expected(int no) {
        if (no == 0) return QStringLiteral("||-|[*図面なし]|-|[*明細なし]");
        return QStringLiteral("%1|山田太郎|%2|%3|%4|%5")
            .arg(no)
            .arg(drawingOf(no).isEmpty() ? QStringLiteral("-") : QStringLiteral("図"),
                 drawingOf(no).isEmpty() ? QStringLiteral("[*図面なし]")
                                         : QStringLiteral("[*図面あり]"),
                 sheetOf(no).isEmpty() ? QStringLiteral("-") : QStringLiteral("明"),
                 sheetOf(no).isEmpty() ? QStringLiteral("[*明細なし]")
                                       : QStringLiteral("[*明細あり]"));
    }
    QString storedNumbers() {
        return test::fileValue(run->databasePath(),
                               QStringLiteral("SELECT group_concat(No) FROM "
                                              "(SELECT No FROM 基本データ ORDER BY rowid)"))
            .toString();
    }

private Q_SLOTS:
    void init() {
        run = std::make_unique<testing::WindowRun>();
        run->createStore();
        for (int no = 1; no <= 5; ++no) run->addRecord(no, drawingOf(no), sheetOf(no));
        w = &run->start();
        QVERIFY(run->dialogs.messages().isEmpty());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->ADOQuery1().recordCount(), 5);
    }
    void cleanup() { run.reset(); }

    // Delete record: the next record becomes current, or the one before when the last
    // went; the marks are those of the record now shown.
    void deleteInTheMiddle_data() {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("then");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("left");
        QTest::newRow("second") << 2 << 3 << 1 << QStringLiteral("1,3,4,5");
        QTest::newRow("third") << 3 << 4 << 2 << QStringLiteral("1,2,4,5");
        QTest::newRow("fourth") << 4 << 5 << 3 << QStringLiteral("1,2,3,5");
        QTest::newRow("last") << 5 << 4 << 3 << QStringLiteral("1,2,3,4");
        QTest::newRow("first") << 1 << 2 << 0 << QStringLiteral("2,3,4,5");
    }
    void deleteInTheMiddle() {
        QFETCH(int, at);
        QFETCH(int, then);
        QFETCH(int, index);
        QFETCH(QString, left);
        goTo(at);
        QCOMPARE(shown(), expected(at));
        click(RecordNavigator::Delete);
        QVERIFY(run->dialogs.messages().isEmpty());
        QCOMPARE(storedNumbers(), left);
        QCOMPARE(w->ADOQuery1().currentIndex(), index);
        QCOMPARE(shown(), expected(then));
        QCOMPARE(w->navigator->button(RecordNavigator::Next)->isEnabled(), index < 3);
        QCOMPARE(w->navigator->button(RecordNavigator::Prior)->isEnabled(), index > 0);
        // The neighbours are the records around it in the file's order.
        const QStringList rest = left.split(QLatin1Char(','));
        if (index > 0) {
            click(RecordNavigator::Prior);
            QCOMPARE(shown(), expected(rest[index - 1].toInt()));
            click(RecordNavigator::Next);
        }
        if (index < 3) {
            click(RecordNavigator::Next);
            QCOMPARE(shown(), expected(rest[index + 1].toInt()));
        }
    }

    // Insert record in the middle: an empty record before the current one, with no marks;
    // posted, it stays current at that place with the old record after it; cancelled, the
    // old record is current again with its marks.
    void insertInTheMiddle_data() {
        QTest::addColumn<bool>("post");
        QTest::newRow("posted") << true;
        QTest::newRow("cancelled") << false;
    }
    void insertInTheMiddle() {
        QFETCH(bool, post);
        goTo(3);
        click(RecordNavigator::Insert);
        QCOMPARE(w->ADOQuery1().state(), RecordSet::State::Inserting);
        QCOMPARE(w->ADOQuery1().currentIndex(), 2);
        QCOMPARE(shown(), expected(0));
        if (!post) {
            click(RecordNavigator::Cancel);
            QCOMPARE(w->ADOQuery1().currentIndex(), 2);
            QCOMPARE(shown(), expected(3));
            QCOMPARE(storedNumbers(), QStringLiteral("1,2,3,4,5"));
            return;
        }
        QLineEdit* no = box(QStringLiteral("No"));
        no->setFocus();
        QTest::keyClicks(no, QStringLiteral("9"));
        click(RecordNavigator::Post);
        QVERIFY(run->dialogs.messages().isEmpty());
        QCOMPARE(storedNumbers(), QStringLiteral("1,2,3,4,5,9"));
        QCOMPARE(w->ADOQuery1().state(), RecordSet::State::Browsing);
        QCOMPARE(w->ADOQuery1().currentIndex(), 2);
        QCOMPARE(w->ADOQuery1().recordCount(), 6);
        QCOMPARE(box(QStringLiteral("No"))->text(), QStringLiteral("9"));
        QVERIFY(!w->drawingMark->isChecked());
        QVERIFY(!w->sheetMark->isChecked());
        click(RecordNavigator::Next);
        QCOMPARE(shown(), expected(3));
        click(RecordNavigator::Prior);
        click(RecordNavigator::Prior);
        QCOMPARE(shown(), expected(2));
        // Deleting the new record shows the one after it, No 3, again.
        click(RecordNavigator::Next);
        click(RecordNavigator::Delete);
        QCOMPARE(w->ADOQuery1().currentIndex(), 2);
        QCOMPARE(shown(), expected(3));
        QCOMPARE(storedNumbers(), QStringLiteral("1,2,3,4,5"));
    }
};

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    TestMiddleRecords t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_middle_records.moc"
