// Start-up of the main window: the drawing view with and without a background picture, a
// picture that is not a bitmap, a missing or unusable database, an empty table, and the
// attachment marks of the first record.

#include "app/hinttracker.h"
#include "app/page_drawing.h"
#include "support.h"
#include "widgets/controls.h"
#include "widgets/navigator.h"
#include "widgets/selectedtests.h"

#include <QImage>
#include <QLineEdit>
#include <QTest>

using namespace tovera;
using namespace tovera::testing;
using Kind = ScriptedDialogs::Shown::Kind;

namespace {
const QString kConnectFailed = QStringLiteral("ＤＢ接続に失敗しました。");
const QString kOpenFailed = QStringLiteral("ＤＢをオープン出来ませんでした。");
const QColor kWhite(255, 255, 255), kGreen(0, 255, 0), kYellow(255, 255, 0);

QColor at(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void withoutPicture_data();
    void withoutPicture();
    void bitmapBackground();
    void pictureNotABitmap();
    void databaseUnusable_data();
    void databaseUnusable();
    void emptyTable();
    void attachmentMarksOfFirstRecord_data();
    void attachmentMarksOfFirstRecord();
};

void TestStartup::withoutPicture_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no argument") << QStringList();
    QTest::newRow("missing file") << QStringList{QStringLiteral("/nonexistent/背景.bmp")};
    QTest::newRow("empty argument") << QStringList{QString()};
}

void TestStartup::withoutPicture() {
    QFETCH(QStringList, arguments);
    WindowRun run;
    Tovmain& w = run.start(arguments);
    QCOMPARE(w.windowTitle(), QStringLiteral("Tovera : "));
    DrawingPage& page = w.drawingPage();
    QCOMPARE(page.canvas().backgroundFile, QString());
    QCOMPARE(page.model().currentFloor, 1);
    QCOMPARE(page.ZoomDisp->text(), QStringLiteral("0.5"));
    for (FlatEdit* box :
         {page.FlatEdit1, page.FlatEdit2, page.FlatEdit3, page.FlatEdit4, page.FlatEdit5})
        QCOMPARE(box->text(), QString());

    // The drawing area shows a white frame with the grid from (10, 10) at pitch 45, zoom 0.5.
    const QImage frame = page.PaintBox1->grab().toImage();
    QCOMPARE(frame.size(), QSize(590, 410));
    QCOMPARE(at(frame, 2, 2), kWhite);
    QCOMPARE(at(frame, 300, 2), kWhite);   // above the grid's first line
    QCOMPARE(at(frame, 5, 200), kGreen);   // vertical line k = 0
    QCOMPARE(at(frame, 27, 200), kGreen);  // k = 1
    QCOMPARE(at(frame, 16, 200), kYellow); // its half line
    QCOMPARE(at(frame, 200, 50), kGreen);  // horizontal line k = 2
    QCOMPARE(at(frame, 20, 200), kWhite);
}

void TestStartup::bitmapBackground() {
    WindowRun run;
    const QString picture = run.path(QStringLiteral("背景.bmp"));
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    QVERIFY(image.save(picture, "BMP"));
    Tovmain& w = run.start({picture});
    QCOMPARE(w.windowTitle(), QStringLiteral("Tovera : ") + picture);
    const QImage frame = w.drawingPage().PaintBox1->grab().toImage();
    QCOMPARE(at(frame, 2, 2), QColor(0, 0, 255)); // the picture, unscaled, at the top left
    QCOMPARE(at(frame, 400, 300), kWhite);        // white beyond it
}

void TestStartup::pictureNotABitmap() {
    WindowRun run;
    // A usable store lies beside the program: the later steps must still be skipped.
    run.createStore();
    run.addRecord(1, QByteArray("x"), QByteArray());
    const QString picture = run.path(QStringLiteral("plan.bmp"));
    QFile file(picture);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is not a picture\r\n");
    file.close();

    Tovmain& w = run.start({picture});
    QCOMPARE(run.dialogs.messages(),
             QStringList{QStringLiteral("ビットマップイメージが不正です.")});
    QCOMPARE(run.count(Kind::Error), 1);
    QVERIFY(!w.connection().isOpen());
    QVERIFY(!w.ADOQuery1().isOpen());
    QVERIFY(!w.hints().hasHandler());
    QCOMPARE(w.windowTitle(), QStringLiteral("Tovera"));
    QCOMPARE(w.zmfile->text(), QStringLiteral("図面"));
    QCOMPARE(w.exfile->text(), QStringLiteral("明細"));
    // The window still comes up.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

void TestStartup::databaseUnusable_data() {
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not a database") << QByteArray("Standard Jet DB\0\0\0garbage", 24);
}

void TestStartup::databaseUnusable() {
    QFETCH(QByteArray, content);
    WindowRun run;
    if (!content.isNull()) {
        QFile file(run.databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    Tovmain& w = run.start();
    QCOMPARE(run.dialogs.messages(), (QStringList{kConnectFailed, kOpenFailed}));
    QCOMPARE(run.count(Kind::Message), 2);
    QVERIFY(!w.connection().isOpen());
    QVERIFY(!w.ADOQuery1().isOpen());
    QVERIFY(!w.districts().isOpen());
    QCOMPARE(w.exfile->text(), QStringLiteral("明細"));
    QCOMPARE(w.zmfile->text(), QStringLiteral("図面"));
    QVERIFY(!w.drawingMark->isChecked());
    QVERIFY(!w.sheetMark->isChecked());
    // Start-up went on to the hint handler.
    QVERIFY(w.hints().hasHandler());
    QCOMPARE(w.windowTitle(), QStringLiteral("Tovera : "));
}

void TestStartup::emptyTable() {
    WindowRun run;
    run.createStore();
    Tovmain& w = run.start();
    QCOMPARE(run.dialogs.shown.size(), size_t(0));
    QVERIFY(w.connection().isOpen());
    QVERIFY(w.ADOQuery1().isOpen());
    QVERIFY(w.ADOQuery1().isEmpty());
    QVERIFY(w.districts().isOpen());
    // No record: the marks are not updated.
    QCOMPARE(w.exfile->text(), QStringLiteral("明細"));
    QCOMPARE(w.zmfile->text(), QStringLiteral("図面"));
}

void TestStartup::attachmentMarksOfFirstRecord_data() {
    QTest::addColumn<QByteArray>("zumen");
    QTest::addColumn<QByteArray>("excel");
    QTest::addColumn<QString>("zmText");
    QTest::addColumn<QString>("exText");
    const QString yesZ = QStringLiteral("[*図面あり]"), noZ = QStringLiteral("[*図面なし]");
    const QString yesE = QStringLiteral("[*明細あり]"), noE = QStringLiteral("[*明細なし]");
    QTest::newRow("neither") << QByteArray() << QByteArray() << noZ << noE;
    QTest::newRow("one-byte drawing") << QByteArray("h") << QByteArray() << yesZ << noE;
    QTest::newRow("sheet only") << QByteArray() << QByteArray(600, 'x') << noZ << yesE;
    QTest::newRow("empty columns") << QByteArray("") << QByteArray("") << noZ << noE;
    QTest::newRow("both") << QByteArray("h") << QByteArray("x") << yesZ << yesE;
}

void TestStartup::attachmentMarksOfFirstRecord() {
    QFETCH(QByteArray, zumen);
    QFETCH(QByteArray, excel);
    QFETCH(QString, zmText);
    QFETCH(QString, exText);
    WindowRun run;
    run.createStore();
    run.addRecord(1, zumen, excel);
    Tovmain& w = run.start();
    QCOMPARE(run.dialogs.messages(), QStringList());
    QCOMPARE(w.ADOQuery1().recordCount(), 1);
    QCOMPARE(w.zmfile->text(), zmText);
    QCOMPARE(w.exfile->text(), exText);
    // The navigator below the pages shows the record.
    QCOMPARE(w.navigator->rowEdit(1)->text(), QStringLiteral("山田太郎"));
    QCOMPARE(w.drawingMark->isChecked(), zmText == QStringLiteral("[*図面あり]"));
    QCOMPARE(w.sheetMark->isChecked(), exText == QStringLiteral("[*明細あり]"));
}

bool wantsStartupTests(int argc, char** argv) {
    TestStartup tests;
    return tovera::testing::namesFunctionOf(tests, argc, argv);
}

int runStartupTests(int argc, char** argv) {
    TestStartup tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_startup.moc"
