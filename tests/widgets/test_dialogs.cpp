// The dialogs over Qt Widgets and the help viewer, driven as a user would: the modal box is
// found while it is shown and answered.

#include "platform/dialogs.h"
#include "widgets/helpviewer.h"
#include "widgets/qtdialogs.h"

#include "widgets/selectedtests.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <functional>

using namespace tovera;

namespace {

// Runs `answer` on the modal dialog as soon as it is shown.
void whenShown(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

void readAndPress(SeenBox& seen, QWidget* modal, QMessageBox::StandardButton press) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
    box->button(press)->click();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void messageAndError();
    void confirmAnswers_data();
    void confirmAnswers();
    void openDialogKeepsNameAcrossUses();
    void saveDialogKeepsDefaultExtension();
    void returnClosesTheNameCompletion();
    void helpOpensFileAtContents();
    void helpMissingFileIsReported();
};

void TestDialogs::messageAndError() {
    WidgetDialogs dialogs;
    SeenBox message, error;
    whenShown([&](QWidget* w) { readAndPress(message, w, QMessageBox::Ok); });
    dialogs.message(QStringLiteral("ＤＢ接続に失敗しました。"));
    QCOMPARE(message.title, QStringLiteral("Tovera"));
    QCOMPARE(message.text, QStringLiteral("ＤＢ接続に失敗しました。"));
    QCOMPARE(message.icon, QMessageBox::NoIcon);
    QCOMPARE(message.buttons.size(), 1);

    whenShown([&](QWidget* w) { readAndPress(error, w, QMessageBox::Ok); });
    dialogs.error(QStringLiteral("<b>ファイルが見つかりません.</b>"));
    QCOMPARE(error.title, QStringLiteral("Tovera"));
    QCOMPARE(error.icon, QMessageBox::Critical);
    // Texts are shown as they are, never as markup.
    QCOMPARE(error.text, QStringLiteral("<b>ファイルが見つかりません.</b>"));
    QCOMPARE(error.buttons.size(), 1);
}

void TestDialogs::confirmAnswers_data() {
    QTest::addColumn<int>("press");
    QTest::addColumn<bool>("answer");
    QTest::newRow("ok") << int(QMessageBox::Ok) << true;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
}

void TestDialogs::confirmAnswers() {
    QFETCH(int, press);
    QFETCH(bool, answer);
    WidgetDialogs dialogs;
    SeenBox seen;
    whenShown([&](QWidget* w) {
        readAndPress(seen, w, static_cast<QMessageBox::StandardButton>(press));
    });
    QCOMPARE(dialogs.confirm(QStringLiteral("図面登録"), QStringLiteral("登録しますか？")), answer);
    QCOMPARE(seen.title, QStringLiteral("図面登録"));
    QCOMPARE(seen.text, QStringLiteral("登録しますか？"));
    QCOMPARE(seen.buttons.size(), 2);
}

void TestDialogs::openDialogKeepsNameAcrossUses() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString plan = dir.filePath(QStringLiteral("plan.hbd"));
    writeFile(plan, "x");
    WidgetDialogs dialogs;
    QStringList filtersSeen;
    whenShown([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d);
        filtersSeen << d->nameFilters().join(QLatin1Char(';'));
        d->selectFile(plan);
        static_cast<QDialog*>(d)->accept();
    });
    const QString first = dialogs.openFile(
        {QStringLiteral("家屋図面 (*.hbd);;家屋旧図面 (*.HAD)"), QString(), QString()});
    QCOMPARE(first, plan);

    // Next use: another filter, the same dialog, the name chosen last already selected;
    // cancelling gives an empty path.
    QStringList selected;
    QFileDialog* seenDialog = nullptr;
    whenShown([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d);
        seenDialog = d;
        filtersSeen << d->nameFilters().join(QLatin1Char(';'));
        selected = d->selectedFiles();
        d->reject();
    });
    QCOMPARE(dialogs.openFile({QStringLiteral("Excel (*.xls)"), QString(), QString()}), QString());
    QCOMPARE(seenDialog, dialogs.openDialog());
    QCOMPARE(selected.value(0), plan);
    QCOMPARE(filtersSeen, (QStringList{QStringLiteral("家屋図面 (*.hbd);家屋旧図面 (*.HAD)"),
                                       QStringLiteral("Excel (*.xls)")}));
}

void TestDialogs::saveDialogKeepsDefaultExtension() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WidgetDialogs dialogs;
    QVERIFY(dialogs.saveDialog() != dialogs.openDialog());
    QStringList suffixes;
    QString title;
    auto typeName = [&](const QString& name) {
        whenShown([&, name](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            QVERIFY(d);
            suffixes << d->defaultSuffix();
            title = d->windowTitle();
            d->setDirectory(dir.path());
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            static_cast<QDialog*>(d)->accept();
        });
    };
    typeName(QStringLiteral("out"));
    const QString first = dialogs.saveFile(
        {QStringLiteral("図面 (*.hbd)"), QStringLiteral("hbd"), QStringLiteral("図面書出")});
    QCOMPARE(first, dir.filePath(QStringLiteral("out.hbd")));
    QCOMPARE(title, QStringLiteral("図面書出"));
    // No default extension given: the one set before stays; the platform title returns.
    typeName(QStringLiteral("again"));
    const QString second = dialogs.saveFile({QStringLiteral("全て (*)"), QString(), QString()});
    QCOMPARE(second, dir.filePath(QStringLiteral("again.hbd")));
    QCOMPARE(suffixes, (QStringList{QStringLiteral("hbd"), QStringLiteral("hbd")}));
    QVERIFY(title != QStringLiteral("図面書出"));
}

void TestDialogs::returnClosesTheNameCompletion() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sheet = dir.filePath(QStringLiteral("hyoten.xls"));
    writeFile(sheet, "x");
    WidgetDialogs dialogs;
    dialogs.openDialog()->setDirectory(dir.path());
    QWidget* popup = nullptr;
    whenShown([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d);
        // Whatever fails below, the dialog does not stay up.
        struct Close {
            QFileDialog* dialog;
            ~Close() {
                if (dialog->isVisible()) dialog->reject();
            }
        } close{d};
        auto* model = d->findChild<QFileSystemModel*>();
        QVERIFY(model);
        // The folder is read in the background; the completion knows its names after that.
        QVERIFY(QTest::qWaitFor([&] { return model->rowCount(model->index(dir.path())) == 1; }));
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name && name->completer());
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("hyo"));
        popup = name->completer()->popup();
        QVERIFY(QTest::qWaitFor([&] { return popup->isVisible(); }));
        // The list has the keyboard while it is up, as on screen.
        QTest::keyClicks(popup, QStringLiteral("ten.xls"));
        QTest::keyClick(popup, Qt::Key_Return);
    });
    QCOMPARE(dialogs.openFile({QStringLiteral("Excel (*.xls)"), QString(), QString()}), sheet);
    QVERIFY(popup);
    QVERIFY(!popup->isVisible());
}

void TestDialogs::helpOpensFileAtContents() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("ikatu.hlp"));
    QByteArray html = "<html><head><title>Tovera ヘルプ</title></head><body>"
                      "<h1 id=\"top\">目次</h1><p><a href=\"#end\">終わり</a></p>";
    for (int i = 0; i < 200; ++i) html += "<p>行</p>";
    html += "<h2 id=\"end\">終わり</h2></body></html>";
    writeFile(file, html);
    ScriptedDialogs dialogs;
    HelpViewer help(dialogs);
    help.showContents(file);
    QVERIFY(dialogs.shown.empty());
    QVERIFY(help.window());
    QVERIFY(help.window()->isVisible());
    QCOMPARE(help.window()->windowTitle(), QStringLiteral("Tovera ヘルプ"));
    QTextBrowser* browser = help.browser();
    QCOMPARE(browser->source(), QUrl::fromLocalFile(file));
    // Read as HTML although the name is not .html.
    QVERIFY(browser->toPlainText().startsWith(QStringLiteral("目次")));
    QVERIFY(!browser->toPlainText().contains(QStringLiteral("<h1")));

    // Following a link and opening again starts from the contents once more.
    browser->setSource(QUrl::fromLocalFile(file).resolved(QUrl(QStringLiteral("#end"))));
    QWidget* window = help.window();
    help.showContents(file);
    QCOMPARE(help.window(), window);
    QCOMPARE(browser->source(), QUrl::fromLocalFile(file));
    QVERIFY(!browser->isBackwardAvailable());
}

void TestDialogs::helpMissingFileIsReported() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("ikatu.hlp"));
    ScriptedDialogs dialogs;
    HelpViewer help(dialogs);
    help.showContents(file);
    QCOMPARE(dialogs.messages(), QStringList{HelpViewer::missingFileMessage(file)});
    QVERIFY(dialogs.messages().value(0).contains(file));
    QVERIFY(!help.window());
    // A folder of that name is no help file either.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ikatu.hlp")));
    dialogs.clear();
    help.showContents(file);
    QCOMPARE(dialogs.messages().size(), 1);
}

bool wantsDialogTests(int argc, char** argv) {
    TestDialogs tests;
    return tovera::testing::namesFunctionOf(tests, argc, argv);
}

int runDialogTests(int argc, char** argv) {
    TestDialogs tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_dialogs.moc"
