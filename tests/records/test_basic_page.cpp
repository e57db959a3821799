// Page 基本項目 and the record navigator over a real store: typing, leaving a box,
// picking, the double-click copies and the navigator's buttons. Every test runs on the
// SQLite file and on a register of the test PostgreSQL server.

#include "app/application.h"
#include "app/databound.h"
#include "app/page_basic.h"
#include "engines.h"
#include "platform/dialogs.h"
#include "records/columns.h"
#include "records/recordset.h"
#include "store_fixture.h"
#include "widgets/hints.h"
#include "widgets/navigator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace tovera;

namespace {

QVariantMap row(int no, const QString& f1) {
    return {{QStringLiteral("No"), no},
            {QStringLiteral("所在区"), QStringLiteral("北町")},
            {QStringLiteral("１Ｆ"), f1.toDouble()},
            {QStringLiteral("床面積"), 100.5},
            {QStringLiteral("日付"), QStringLiteral("1998-10-11T16:01:00.000")}};
}

} // namespace

class TestBasicPage : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<RecordSet> records;
    std::unique_ptr<DistrictTable> districts;
    ScriptedDialogs dialogs;
    std::unique_ptr<QWidget> window;
    BasicPage* page = nullptr;
    RecordNavigator* navigator = nullptr;
    int n = 0;

    QLineEdit* box(const QString& column) {
        return qobject_cast<QLineEdit*>(page->field(column)->control());
    }
    // Writes a column of record `no` in the file, behind the record set's back, and shows
    // the records again.
    void store(int no, const QString& column, const QVariant& value) {
        {
            Connection other;
            other.open(connectionStringFor(path));
            QSqlQuery q(other.database());
            q.prepare(QStringLiteral("UPDATE 基本データ SET \"%1\" = ? WHERE \"No\" = %2")
                          .arg(column)
                          .arg(no));
            q.addBindValue(value);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        records->refresh();
    }
    QComboBox* combo(const QString& column) {
        return qobject_cast<QComboBox*>(page->field(column)->control());
    }
    QToolButton* button(RecordNavigator::Button b) { return navigator->button(b); }
    QVariant stored(const QString& column, int no) {
        // As the file stores it: dates as their text.
        const QVariant v = test::registerValue(
            path,
            QStringLiteral("SELECT \"%1\" FROM 基本データ WHERE \"No\" = %2").arg(column).arg(no));
        return v.metaType().id() == QMetaType::QDateTime ? QVariant(storedDateText(v.toDateTime()))
                                                         : v;
    }
    // Every record's No, owner, address and second-floor area, in entry order.
    QString registerRows() {
        Connection c;
        c.open(connectionStringFor(path));
        QSqlQuery q(c.database());
        q.exec(QStringLiteral(
            "SELECT \"No\", 所有者氏名, 所有者住所, ２Ｆ FROM 基本データ ORDER BY rowid"));
        QStringList rows;
        while (q.next())
            rows << QStringLiteral("%1:%2:%3:%4")
                        .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                             q.value(3).toString());
        return rows.join(QLatin1Char('|'));
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setFont(windowFont()); }
    void init() {
        TOVERA_REQUIRE_ENGINE();
        path = dir.filePath(QStringLiteral("p%1.mdb").arg(++n));
        path = test::makeRegister(path,
                                  {row(1, QStringLiteral("62.1")), row(2, QStringLiteral("70"))});
        connection = std::make_unique<Connection>();
        records = std::make_unique<RecordSet>(*connection);
        districts = std::make_unique<DistrictTable>(*connection);
        window = std::make_unique<QWidget>();
        window->resize(900, 600);
        page = new BasicPage(window.get(), *records, *districts, dialogs, window.get());
        navigator = new RecordNavigator(window.get());
        navigator->setGeometry(320, 520, 249, 64);
        page->bindNavigator(navigator);
        QVERIFY(openAtStartup(path, *connection, *records, *districts, dialogs));
        page->loadDistricts();
        dialogs.clear();
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() {
        window.reset();
        records.reset();
        districts.reset();
        connection.reset();
    }

    void layoutOfThePage() {
        QCOMPARE(page->group(0)->title(), QStringLiteral("基本項目"));
        QCOMPARE(page->group(3)->geometry(), QRect(480, 232, 333, 196));
        QCOMPARE(hintOf(page->field(QStringLiteral("登記面積"))->control()),
                 QStringLiteral("ダブルクリックで床面積を転記！"));
        auto* structure = qobject_cast<QComboBox*>(page->field(QStringLiteral("構造"))->control());
        QCOMPARE(structure->count(), 29);
        QCOMPARE(structure->itemText(6), QStringLiteral("---"));
        QVERIFY(structure->isEditable());
        QVERIFY(!qobject_cast<QComboBox*>(page->field(QStringLiteral("新増改築"))->control())
                     ->isEditable());
        auto* district = qobject_cast<QComboBox*>(page->field(QStringLiteral("所在区"))->control());
        QCOMPARE(district->count(), 12);
        QCOMPARE(district->maxVisibleItems(), 15);
        QCOMPARE(district->currentText(), QStringLiteral("北町"));
        QCOMPARE(box(QStringLiteral("１Ｆ"))->text(), QStringLiteral("62.1"));
        QCOMPARE(page->datePicker(QStringLiteral("日付"))->date(), QDate(1998, 10, 11));
        QVERIFY(!page->datePicker(QStringLiteral("登記日"))->date().isValid()); // NULL: empty face
        QVERIFY(!page->datePicker(QStringLiteral("登記日"))->checkBox()->isChecked());
    }

    void navigatorButtons() {
        navigator->setButtonSize(18);
        QCOMPARE(navigator->button(RecordNavigator::Next)->geometry().width(), 18);
        QCOMPARE(navigator->button(RecordNavigator::Next)->x() -
                     navigator->button(RecordNavigator::Prior)->x(),
                 21);
        QCOMPARE(hintOf(navigator->button(RecordNavigator::Refresh)),
                 QStringLiteral("Refresh data"));
        auto enabled = [&] {
            QString s;
            for (int b = 0; b < RecordNavigator::kButtonCount; ++b)
                s += navigator->button(RecordNavigator::Button(b))->isEnabled() ? QLatin1Char('1')
                                                                                : QLatin1Char('0');
            return s;
        };
        QCOMPARE(enabled(), QStringLiteral("0011111001")); // on the first record, browsing
        navigator->button(RecordNavigator::Last)->click();
        QCOMPARE(enabled(), QStringLiteral("1100111001"));
        navigator->button(RecordNavigator::Edit)->click();
        QCOMPARE(enabled(), QStringLiteral("1100110111"));
        QCOMPARE(navigator->rowEdit(0)->text(), QString());
        navigator->button(RecordNavigator::Cancel)->click();
        navigator->button(RecordNavigator::Delete)->click();
        navigator->button(RecordNavigator::Delete)->click();
        QCOMPARE(enabled(), QStringLiteral("0000101001")); // empty: insert and edit remain
        records->closeDiscarding();
        QCOMPARE(enabled(), QStringLiteral("0000000000"));
    }

    void typingThenNextPosts() {
        QLineEdit* name = box(QStringLiteral("所有者氏名"));
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("abc"));
        QCOMPARE(records->state(), RecordSet::State::Editing);
        navigator->button(RecordNavigator::Next)->click();
        QCOMPARE(records->currentIndex(), 1);
        QCOMPARE(stored(QStringLiteral("所有者氏名"), 1).toString(), QStringLiteral("abc"));
        QCOMPARE(navigator->rowEdit(1)->text(), QString()); // the navigator row follows the record
        navigator->button(RecordNavigator::Prior)->click();
        QCOMPARE(navigator->rowEdit(1)->text(), QStringLiteral("abc"));
    }

    void copyInEditModeIsPosted() {
        navigator->button(RecordNavigator::Edit)->click();
        page->DBEdit19DblClick();
        page->DBEdit22DblClick();
        QCOMPARE(box(QStringLiteral("登記１Ｆ"))->text(), QStringLiteral("62.1"));
        navigator->button(RecordNavigator::Post)->click();
        QVERIFY(dialogs.messages().isEmpty());
        QCOMPARE(stored(QStringLiteral("登記１Ｆ"), 1).toDouble(), 62.1);
        QCOMPARE(stored(QStringLiteral("登記面積"), 1).toDouble(), 100.5);
        QVERIFY(stored(QStringLiteral("登記２Ｆ"), 1).isNull());
    }

    void copyInBrowseModeRefusedOnLeaving() {
        QLineEdit* target = box(QStringLiteral("登記１Ｆ"));
        target->setFocus();
        QTest::mouseDClick(target, Qt::LeftButton);
        QCOMPARE(target->text(), QStringLiteral("62.1"));
        QCOMPARE(records->state(), RecordSet::State::Browsing); // the copy starts no edit
        box(QStringLiteral("家屋番号"))->setFocus();
        QTRY_COMPARE(dialogs.messages(), QStringList{QStringLiteral(
                                             "データセットが編集または挿入モードではありません.")});
        QTRY_VERIFY(target->hasFocus());
        QCOMPARE(target->selectedText(), QStringLiteral("62.1"));
        QTest::keyClick(target, Qt::Key_Escape);
        QCOMPARE(target->text(), QString());
        QVERIFY(!page->field(QStringLiteral("登記１Ｆ"))->isModified());
    }

    void pickingDates_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QTime>("time");
        QTest::newRow("survey") << QStringLiteral("日付") << QTime(16, 1, 0);
        QTest::newRow("validity") << QStringLiteral("有効開始") << QTime(16, 8, 6);
        QTest::newRow("registration") << QStringLiteral("登記日") << QTime(16, 9, 13);
    }
    void pickingDates() {
        QFETCH(QString, column);
        QFETCH(QTime, time);
        page->datePicker(column)->pick(QDate(2002, 10, 13));
        QCOMPARE(records->state(), RecordSet::State::Editing);
        QCOMPARE(records->value(column).toDateTime(), QDateTime(QDate(2002, 10, 13), time));
        QVERIFY(page->datePicker(column)->checkBox()->isChecked());
        navigator->button(RecordNavigator::Post)->click();
        QCOMPARE(stored(column, 1).toString(),
                 QDateTime(QDate(2002, 10, 13), time)
                     .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
    }

    void pickingFromLists() {
        auto* structure = qobject_cast<QComboBox*>(page->field(QStringLiteral("構造"))->control());
        structure->setCurrentIndex(6);
        Q_EMIT structure->activated(6);
        QCOMPARE(records->state(), RecordSet::State::Editing);
        auto* district = qobject_cast<QComboBox*>(page->field(QStringLiteral("所在区"))->control());
        district->setCurrentIndex(11);
        Q_EMIT district->activated(11); // the lookup list writes at once
        QCOMPARE(records->value(QStringLiteral("所在区")).toString(), QStringLiteral("緑ヶ丘"));
        navigator->button(RecordNavigator::Post)->click();
        QCOMPARE(stored(QStringLiteral("構造"), 1).toString(), QStringLiteral("---"));
        QCOMPARE(stored(QStringLiteral("所在区"), 1).toString(), QStringLiteral("緑ヶ丘"));
    }

    // Typing into a box already marked changed (by a copy, or after its leave was refused
    // in browse mode) starts an edit like any typing, and the text then reaches the record.
    void typingIntoAChangedBoxStartsAnEdit_data() {
        QTest::addColumn<bool>("refusedFirst");
        QTest::newRow("after a copy") << false;
        QTest::newRow("after a refused leave") << true;
    }
    void typingIntoAChangedBoxStartsAnEdit() {
        QFETCH(bool, refusedFirst);
        QLineEdit* target = box(QStringLiteral("登記１Ｆ"));
        target->setFocus();
        QTest::mouseDClick(target, Qt::LeftButton);
        QCOMPARE(target->text(), QStringLiteral("62.1"));
        QCOMPARE(records->state(), RecordSet::State::Browsing); // the copy starts no edit
        if (refusedFirst) {
            box(QStringLiteral("家屋番号"))->setFocus();
            QTRY_COMPARE(dialogs.messages().size(), 1);
            QTRY_VERIFY(target->hasFocus());
            dialogs.clear();
        }
        QVERIFY(!button(RecordNavigator::Post)->isEnabled());
        target->end(false);
        QTest::keyClicks(target, QStringLiteral("5"));
        QCOMPARE(records->state(), RecordSet::State::Editing);
        QVERIFY(button(RecordNavigator::Post)->isEnabled());
        QCOMPARE(target->text(), QStringLiteral("62.15"));
        box(QStringLiteral("家屋番号"))->setFocus(); // leaving writes the column
        QCOMPARE(records->value(QStringLiteral("登記１Ｆ")).toDouble(), 62.15);
        QTest::mouseClick(button(RecordNavigator::Next), Qt::LeftButton);
        QVERIFY2(dialogs.messages().isEmpty(), qPrintable(dialogs.messages().join(u'|')));
        QCOMPARE(records->currentIndex(), 1);
        QCOMPARE(stored(QStringLiteral("登記１Ｆ"), 1).toDouble(), 62.15);
    }

    // Whenever another record is shown, every box shows the beginning of its text, also
    // the box that holds the focus.
    void longTextsShowTheirBeginning_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("focused");
        QTest::newRow("address") << QStringLiteral("所有者住所") << false;
        QTest::newRow("address with focus") << QStringLiteral("所有者住所") << true;
        QTest::newRow("lot") << QStringLiteral("所在地番") << false;
        QTest::newRow("structure, free text") << QStringLiteral("構造") << false;
        QTest::newRow("remarks") << QStringLiteral("備考") << false;
    }
    void longTextsShowTheirBeginning() {
        QFETCH(QString, column);
        QFETCH(bool, focused);
        const QString text =
            column == QStringLiteral("備考")
                ? QStringLiteral("一行目\r\n") + QStringLiteral("続きの行\r\n").repeated(30)
                : QStringLiteral("北海道札幌市中央区南一条西中央二丁目1011番地26");
        store(2, column, text);
        store(2, QStringLiteral("所有者氏名"),
              QStringLiteral("株式会社札幌中央不動産管理組合北海道支店長　山田太郎"));
        QWidget* control = page->field(column)->control();
        if (focused) {
            control->setFocus();
            QTRY_VERIFY(control->hasFocus());
        }
        QTest::mouseClick(button(RecordNavigator::Next), Qt::LeftButton);
        QCOMPARE(records->currentIndex(), 1);
        QCOMPARE(control->hasFocus(), focused);
        if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) {
            QCOMPARE(memo->textCursor().position(), 0);
            QCOMPARE(memo->verticalScrollBar()->value(), 0);
            QCOMPARE(memo->toPlainText().left(3), QStringLiteral("一行目"));
        } else {
            QLineEdit* line = qobject_cast<QLineEdit*>(control);
            if (!line) line = qobject_cast<QComboBox*>(control)->lineEdit();
            QCOMPARE(line->text(), text);
            QCOMPARE(line->cursorPosition(), 0);
            line->grab(); // lays the text out as painted
            QVERIFY(line->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 6);
        }
        // The navigator's row shows the owner's name from its beginning too.
        QCOMPARE(navigator->rowEdit(1)->cursorPosition(), 0);
        QCOMPARE(box(QStringLiteral("所有者氏名"))->cursorPosition(), 0);
        QCOMPARE(records->state(), RecordSet::State::Browsing);
    }

    // Opening a list and closing it without choosing changes nothing, and the list opens on
    // the entry of the value shown.
    void openingAListChangesNothing_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("structure")
            << QStringLiteral("構造") << QStringLiteral("RCﾌﾟﾚ陸２") << false;
        QTest::newRow("structure by key")
            << QStringLiteral("構造") << QStringLiteral("LGﾌﾟﾚ瓦平") << true;
        QTest::newRow("new or extended")
            << QStringLiteral("新増改築") << QStringLiteral("改") << false;
        QTest::newRow("district") << QStringLiteral("所在区") << QStringLiteral("中央二丁目")
                                  << false;
        QTest::newRow("share") << QStringLiteral("持分１") << QStringLiteral("3/5") << false;
        QTest::newRow("kind") << QStringLiteral("種類") << QStringLiteral("店舗") << true;
    }
    void openingAListChangesNothing() {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(bool, byKey);
        store(1, column, value);
        QComboBox* list = combo(column);
        QCOMPARE(list->currentText(), value);
        QCOMPARE(records->state(), RecordSet::State::Browsing);
        for (int round = 0; round < 2; ++round) {
            if (byKey) {
                list->setFocus();
                QTest::keyClick(list, Qt::Key_F4);
            } else {
                QTest::mouseClick(list, Qt::LeftButton, {},
                                  QPoint(list->width() - 6, list->height() / 2));
            }
            QTRY_VERIFY(list->view()->isVisible());
            QCOMPARE(list->view()->currentIndex().data().toString(), value);
            QTest::keyClick(list->view(), Qt::Key_Escape);
            QTRY_VERIFY(!list->view()->isVisible());
            QCOMPARE(list->currentText(), value);
            QCOMPARE(records->state(), RecordSet::State::Browsing);
            QVERIFY(!button(RecordNavigator::Post)->isEnabled());
            QVERIFY(!button(RecordNavigator::Cancel)->isEnabled());
        }
        // Choosing the entry already shown changes nothing either; another entry does.
        QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(list->width() - 6, list->height() / 2));
        QTRY_VERIFY(list->view()->isVisible());
        QTest::keyClick(list->view(), Qt::Key_Return);
        QTRY_VERIFY(!list->view()->isVisible());
        QCOMPARE(records->state(), RecordSet::State::Browsing);
        QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(list->width() - 6, list->height() / 2));
        QTRY_VERIFY(list->view()->isVisible());
        QTest::keyClick(list->view(), Qt::Key_Up);
        QTest::keyClick(list->view(), Qt::Key_Return);
        QTRY_VERIFY(!list->view()->isVisible());
        QCOMPARE(records->state(), RecordSet::State::Editing);
        QVERIFY(list->currentText() != value);
    }

    // A text typed into a combo box: its list opens on that entry, or on none.
    void listOpensOnTypedText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("entry");
        QTest::newRow("an entry") << QStringLiteral("木瓦平") << 4;
        QTest::newRow("free text") << QStringLiteral("鉄骨") << -1;
    }
    void listOpensOnTypedText() {
        QFETCH(QString, typed);
        QFETCH(int, entry);
        store(1, QStringLiteral("構造"), QStringLiteral("RCﾌﾟﾚ陸２"));
        QComboBox* list = combo(QStringLiteral("構造"));
        list->lineEdit()->selectAll();
        list->setFocus();
        for (const QChar c : typed) // typed characters beyond ASCII
            QTest::sendKeyEvent(QTest::Click, list->lineEdit(), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
        QCOMPARE(list->currentText(), typed);
        QCOMPARE(records->state(), RecordSet::State::Editing);
        QTest::keyClick(list, Qt::Key_F4);
        QTRY_VERIFY(list->view()->isVisible());
        QCOMPARE(list->view()->currentIndex().row(), entry);
        QTest::keyClick(list->view(), Qt::Key_Escape);
        QTRY_VERIFY(!list->view()->isVisible());
        QCOMPARE(list->currentText(), typed);
        QTest::mouseClick(button(RecordNavigator::Post), Qt::LeftButton);
        QCOMPARE(stored(QStringLiteral("構造"), 1).toString(), typed);
    }

    // Each date picker shows its whole date at its place and size.
    void datesShowWhole_data() {
        QTest::addColumn<QString>("column");
        QTest::newRow("survey") << QStringLiteral("日付");
        QTest::newRow("validity") << QStringLiteral("有効開始");
        QTest::newRow("registration") << QStringLiteral("登記日");
    }
    void datesShowWhole() {
        QFETCH(QString, column);
        DatePicker* picker = page->datePicker(column);
        const QRect place = picker->geometry();
        QVERIFY(picker->parentWidget()->rect().contains(place));
        store(1, column, QStringLiteral("2028-12-28T16:08:06.000"));
        QLineEdit* face = picker->dateEdit()->findChild<QLineEdit*>();
        QVERIFY(face);
        QCOMPARE(face->text(), QStringLiteral("2028年12月28日"));
        face->grab();
        const QFontMetrics metrics(face->font());
        QVERIFY2(metrics.horizontalAdvance(face->text()) + 4 <= face->width(),
                 qPrintable(QStringLiteral("%1 px of text in %2 px")
                                .arg(metrics.horizontalAdvance(face->text()))
                                .arg(face->width())));
        QVERIFY(face->font().pixelSize() >= 9);
        QVERIFY(face->geometry().right() < picker->dateEdit()->width());
        QCOMPARE(picker->geometry(), place);
        QCOMPARE(records->state(), RecordSet::State::Browsing);
    }

    // A year typed into a picker is taken and starts an edit; typing the date it already
    // shows starts none.
    void typedYearIsTaken_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QTime>("time");
        QTest::newRow("survey") << QStringLiteral("日付") << QTime(16, 1, 0);
        QTest::newRow("validity") << QStringLiteral("有効開始") << QTime(16, 8, 6);
        QTest::newRow("registration") << QStringLiteral("登記日") << QTime(16, 9, 13);
    }
    void typedYearIsTaken() {
        QFETCH(QString, column);
        QFETCH(QTime, time);
        store(1, column, QStringLiteral("2021-01-05T10:00:00.000"));
        DatePicker* picker = page->datePicker(column);
        QLineEdit* face = picker->dateEdit()->findChild<QLineEdit*>();
        // The year as it stands: nothing changes.
        QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(6, face->height() / 2));
        QTest::keyClicks(picker->dateEdit(), QStringLiteral("2021"));
        QCOMPARE(picker->date(), QDate(2021, 1, 5));
        QCOMPARE(records->state(), RecordSet::State::Browsing);
        // Another year.
        QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(6, face->height() / 2));
        QTest::keyClicks(picker->dateEdit(), QStringLiteral("1999"));
        QCOMPARE(picker->date(), QDate(1999, 1, 5));
        QCOMPARE(records->state(), RecordSet::State::Editing);
        QCOMPARE(records->value(column).toDateTime(), QDateTime(QDate(1999, 1, 5), time));
        QTest::mouseClick(button(RecordNavigator::Post), Qt::LeftButton);
        QCOMPARE(
            stored(column, 1).toString(),
            QDateTime(QDate(1999, 1, 5), time).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
        QVERIFY(dialogs.messages().isEmpty());
    }

    // An empty face (a NULL date) shows today's date to type over once entered; a typed
    // year is taken, and leaving without typing empties the face again.
    void typingIntoAnEmptyFace() {
        DatePicker* picker = page->datePicker(QStringLiteral("登記日"));
        QDateEdit* edit = picker->dateEdit();
        QLineEdit* face = edit->findChild<QLineEdit*>();
        QVERIFY(!picker->date().isValid());
        const QDate dayBefore = QDate::currentDate();
        QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(6, face->height() / 2));
        const QDate today = picker->date();
        QVERIFY(today == dayBefore || today == QDate::currentDate()); // may cross midnight
        box(QStringLiteral("家屋番号"))->setFocus();
        QTRY_VERIFY(!picker->date().isValid());
        QCOMPARE(face->text().trimmed(), QString());
        QCOMPARE(records->state(), RecordSet::State::Browsing);

        QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(6, face->height() / 2));
        // A leap year: the day shown exists in it whatever today is (29 February too).
        const QDate shown = picker->date();
        QTest::keyClicks(edit, QStringLiteral("1996"));
        const QDate typed(1996, shown.month(), shown.day());
        QCOMPARE(picker->date(), typed);
        QCOMPARE(records->state(), RecordSet::State::Editing);
        box(QStringLiteral("家屋番号"))->setFocus();
        QTRY_VERIFY(!edit->hasFocus());
        QCOMPARE(picker->date(), typed);
        QCOMPARE(records->value(QStringLiteral("登記日")).toDateTime(),
                 QDateTime(typed, QTime(16, 9, 13)));
    }

    // A move refused by a lock leaves the record shown current, so Delete record removes
    // the record the boxes show.
    void refusedMoveKeepsTheRecordShown() {
        if (test::serverPass()) QSKIP("the file's lock: a server register has none");
        // With a rollback journal a connection holding an exclusive lock keeps all readers out.
        QVERIFY(test::useRollbackJournal(connection->database()));
        {
            test::RawConnection other(path);
            QSqlQuery q(other.database());
            QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QTest::mouseClick(button(RecordNavigator::Next), Qt::LeftButton);
            QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        }
        QCOMPARE(dialogs.messages(),
                 QStringList{QStringLiteral(
                     "データベースファイルは他のユーザーが使用中でロックされています.")});
        QCOMPARE(records->currentIndex(), 0);
        QCOMPARE(box(QStringLiteral("No"))->text(), QStringLiteral("1"));
        QCOMPARE(box(QStringLiteral("１Ｆ"))->text(), QStringLiteral("62.1"));
        QVERIFY(button(RecordNavigator::Next)->isEnabled());
        QTest::mouseClick(button(RecordNavigator::Delete), Qt::LeftButton);
        QCOMPARE(
            test::registerValue(path, QStringLiteral("SELECT count(*) FROM 基本データ")).toInt(),
            1);
        QCOMPARE(stored(QStringLiteral("No"), 2).toInt(), 2);
        QCOMPARE(box(QStringLiteral("No"))->text(), QStringLiteral("2"));
    }

    // Another program deletes or changes the record being typed into: Post edit is refused
    // with the message, the boxes keep what was typed, and the file keeps the other's row.
    void lostUpdateKeepsTheTypedValues_data() {
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("message");
        QTest::newRow("deleted") << QStringLiteral("DELETE FROM 基本データ WHERE \"No\" = 1")
                                 << QStringLiteral(
                                        "No 1のレコードは読み込んだ後に他のユーザーによって"
                                        "削除されたため、変更を保存できません.");
        QTest::newRow("changed")
            << QStringLiteral("UPDATE 基本データ SET 所有者氏名 = '他人' WHERE \"No\" = 1")
            << QStringLiteral("No 1のレコードは読み込んだ後に他のユーザーによって"
                              "変更されたため、変更を保存できません.");
    }
    void lostUpdateKeepsTheTypedValues() {
        QFETCH(QString, other);
        QFETCH(QString, message);
        QLineEdit* area = box(QStringLiteral("２Ｆ"));
        area->setFocus();
        QTest::keyClicks(area, QStringLiteral("33.5"));
        QLineEdit* address = box(QStringLiteral("所有者住所"));
        address->setFocus(); // the area is written into its column on leaving
        QTest::keyClicks(address, QStringLiteral("2-1"));
        {
            Connection theirs;
            theirs.open(connectionStringFor(path));
            QSqlQuery q(theirs.database());
            QVERIFY(q.exec(other));
        }
        const QString before = registerRows();
        QTest::mouseClick(button(RecordNavigator::Post), Qt::LeftButton);
        QCOMPARE(dialogs.messages(), QStringList{message});
        QCOMPARE(records->state(), RecordSet::State::Editing);
        QCOMPARE(area->text(), QStringLiteral("33.5"));
        QCOMPARE(address->text(), QStringLiteral("2-1"));
        QCOMPARE(box(QStringLiteral("No"))->text(), QStringLiteral("1"));
        QVERIFY(button(RecordNavigator::Post)->isEnabled());
        QCOMPARE(registerRows(), before);
        // Moving on would post: refused the same way, the record stays.
        dialogs.clear();
        QTest::mouseClick(button(RecordNavigator::Next), Qt::LeftButton);
        QCOMPARE(dialogs.messages(), QStringList{message});
        QCOMPARE(records->currentIndex(), 0);
        QCOMPARE(address->text(), QStringLiteral("2-1"));
    }

    // Refresh data when the record shown was deleted elsewhere: the next record is shown
    // and the window says why.
    void refreshAfterTheRecordWent() {
        {
            Connection theirs;
            theirs.open(connectionStringFor(path));
            QSqlQuery q(theirs.database());
            QVERIFY(q.exec(QStringLiteral("DELETE FROM 基本データ WHERE \"No\" = 1")));
        }
        QTest::mouseClick(button(RecordNavigator::Refresh), Qt::LeftButton);
        QCOMPARE(dialogs.messages(),
                 QStringList{QStringLiteral("表示していたレコードは他のユーザーによって削除された"
                                            "ため、次のレコードを表示しました.")});
        QCOMPARE(box(QStringLiteral("No"))->text(), QStringLiteral("2"));
        QCOMPARE(box(QStringLiteral("１Ｆ"))->text(), QStringLiteral("70"));
        QVERIFY(!button(RecordNavigator::Next)->isEnabled());
    }

    // The window releases its record set before its pages; the controls outlive it safely.
    void recordSetReleasedFirst() {
        QLineEdit* name = box(QStringLiteral("所有者氏名"));
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("x"));
        records.reset();
        // Leaving the box writes nowhere now, and the box keeps its text.
        box(QStringLiteral("家屋番号"))->setFocus();
        QTRY_VERIFY(!name->hasFocus());
        QCOMPARE(name->text(), QStringLiteral("x"));
        QVERIFY(dialogs.messages().isEmpty());
        window.reset();
    }

    void refusedNumberKeepsTheEdit() {
        QLineEdit* area = box(QStringLiteral("２Ｆ"));
        area->setFocus();
        QTest::keyClicks(area, QStringLiteral("wide"));
        navigator->button(RecordNavigator::Post)->click();
        QCOMPARE(dialogs.messages(),
                 QStringList{QStringLiteral("'wide' は列 ２Ｆ の数値ではありません.")});
        QCOMPARE(records->state(), RecordSet::State::Editing);
        QCOMPARE(area->text(), QStringLiteral("wide"));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    return test::runOnBothEngines<TestBasicPage>(argc, argv);
}
#include "test_basic_page.moc"
