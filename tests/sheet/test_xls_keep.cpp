// What the engine does not interpret survives a save: the drawing group and each sheet's
// drawings, objects, notes and embedded charts, validation, conditional formats and
// hyperlinks, the panes and the protection of sheets and workbook. Every workbook of the
// shared corpus and the sample sheets keeps them through a write and a read, also after an
// edit of an unrelated cell; kept formulas whose references the write renumbers are left out
// and reported.

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"
#include "sheet/xlswriter.h"

#include "corpus_support.h"

#include <QDir>
#include <QTest>

using namespace tovera;
using tovera::testing::workbookFiles;

namespace {

bool holdsKeptParts(const Workbook& b) {
    if (!b.keptDrawingGroup.empty() || !b.keptGlobals.empty() || b.protection.on) return true;
    for (const Sheet& s : b.sheets)
        if (!s.kept.empty() || s.panes.any() || s.protection.on) return true;
    return false;
}

void compareKept(const Workbook& a, const Workbook& b) {
    QCOMPARE(b.keptDrawingGroup, a.keptDrawingGroup);
    QCOMPARE(b.keptGlobals, a.keptGlobals);
    QCOMPARE(b.protection, a.protection);
    QCOMPARE(b.sheets.size(), a.sheets.size());
    for (size_t i = 0; i < a.sheets.size(); ++i) {
        QCOMPARE(b.sheets[i].kept.beforeCells, a.sheets[i].kept.beforeCells);
        QCOMPARE(b.sheets[i].kept.afterCells, a.sheets[i].kept.afterCells);
        QCOMPARE(b.sheets[i].kept.afterWindow, a.sheets[i].kept.afterWindow);
        QCOMPARE(b.sheets[i].panes, a.sheets[i].panes);
        QCOMPARE(b.sheets[i].protection, a.sheets[i].protection);
    }
}

Workbook roundTrip(const Workbook& book) {
    return loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("round.xls"));
}

KeptRecord kept(uint16_t id, const char* hex) {
    return {id, QByteArray::fromHex(hex)};
}

// A workbook with a frozen pane, a protected sheet and validation, a conditional format and
// a hyperlink kept as records.
Workbook featureBook() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    Cell c;
    c.column = 1;
    c.type = CellType::Number;
    c.number = 5;
    s.setCell(2, c);
    s.panes.frozen = true;
    s.panes.splitRows = 2;
    s.panes.splitColumns = 1;
    s.panes.topRow = 2;
    s.panes.leftColumn = 1;
    s.panes.activePane = 0;
    s.protection.on = true;
    s.protection.objects = true;
    s.protection.passwordHash = 0xCC3D;
    b.protection.on = true;
    b.protection.passwordHash = 0x83AF;
    // CONDFMT + CF: cell value between 1 and 10 on B3, pattern fill.
    s.kept.afterWindow.push_back(kept(0x01B0, "0100010002000200010001000200020001000100"));
    s.kept.afterWindow.push_back(kept(0x01B1, "01010300030000000000000000000000381e0100001e0a00"));
    // DVAL + DV: whole number between 1 and 9 on B3.
    s.kept.afterWindow.push_back(kept(0x01B2, "040000000000000000000000ffffffff01000000"));
    s.kept.afterWindow.push_back(kept(0x01BE, "01010c0001000000000001000000010000000100000003000000"
                                              "00001e01000300000000001e090001000200020001000100"));
    return b;
}

} // namespace

class TestXlsKeep : public QObject {
    Q_OBJECT
private slots:
    void corpusKeepsItsParts_data();
    void corpusKeepsItsParts();
    void featuresSurviveWriting();
    void renumberedReferencesDropKeptFormulas();
};

void TestXlsKeep::corpusKeepsItsParts_data() {
    QTest::addColumn<QString>("path");
    const QStringList files = workbookFiles();
    if (files.isEmpty()) QSKIP("the shared corpus is not available");
    int withParts = 0;
    for (const QString& path : files) {
        try {
            if (!holdsKeptParts(loadWorkbookFile(path))) continue;
        } catch (const EOleException&) {
            continue;
        }
        ++withParts;
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
    }
    QVERIFY(withParts >= 10);
}

void TestXlsKeep::corpusKeepsItsParts() {
    QFETCH(QString, path);
    const Workbook original = loadWorkbookFile(path);
    const Workbook written = roundTrip(original);
    compareKept(original, written);
    QCOMPARE(cellLines(written), cellLines(original));
    QVERIFY(keptPartsDropped(original).isEmpty());

    // An edit of a cell the kept parts do not refer to changes nothing else.
    Workbook edited = original;
    Cell c;
    c.column = 200;
    c.type = CellType::Text;
    c.text = QStringLiteral("追記");
    edited.sheets[0].setCell(60000, c);
    const Workbook again = roundTrip(edited);
    compareKept(original, again);
    QCOMPARE(again.sheets[0].cell(60000, 200)->text, QStringLiteral("追記"));
}

void TestXlsKeep::featuresSurviveWriting() {
    const Workbook b = featureBook();
    const Workbook once = roundTrip(b);
    compareKept(b, once);
    compareKept(b, roundTrip(once));
    QVERIFY(keptPartsDropped(b).isEmpty());
    // A frozen pane is written frozen: a pane alone is a split.
    Workbook split = b;
    split.sheets[0].panes.frozen = false;
    QVERIFY(!roundTrip(split).sheets[0].panes.frozen);
    // No protection and no panes are written as none.
    Workbook plain = Workbook::createDefault();
    const Workbook plainBack = roundTrip(plain);
    QVERIFY(!plainBack.sheets[0].protection.on);
    QVERIFY(!plainBack.protection.on);
    QVERIFY(!plainBack.sheets[0].panes.any());
}

void TestXlsKeep::renumberedReferencesDropKeptFormulas() {
    Workbook b = featureBook();
    // A name of a sheet not kept holds number 1; the name after it is written as number 1,
    // so a validation formula calling name 2 would point elsewhere.
    DefinedName gone;
    gone.name = QStringLiteral("gone");
    gone.sheet = kNameNotKept;
    gone.tokens = QByteArray::fromHex("1e0100");
    DefinedName list;
    list.name = QStringLiteral("list");
    list.tokens = QByteArray::fromHex("1e0200");
    b.definedNames = {gone, list};
    const QStringList notes = keptPartsDropped(b);
    if (notes.isEmpty()) QSKIP("the writer keeps the numbers of names here");
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].contains(QStringLiteral("Sheet1")), qPrintable(notes[0]));
    const Workbook back = roundTrip(b);
    for (const KeptRecord& k : back.sheets[0].kept.afterWindow)
        QVERIFY(k.id != 0x01BE && k.id != 0x01B2 && k.id != 0x01B0 && k.id != 0x01B1);
    QCOMPARE(back.sheets[0].panes, b.sheets[0].panes); // the rest stays
}

QTEST_GUILESS_MAIN(TestXlsKeep)
#include "test_xls_keep.moc"
