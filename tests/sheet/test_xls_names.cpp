// Defined names and references to other sheets: formulas that use them are written as
// formulas, with the names, the sheet table and the print areas they need, renumbered when
// what the file cannot hold is left out; the sample sheets keep every formula.

#include "formula_support.h"
#include "office_support.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"
#include "sheet/xlswriter_internal.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;
using namespace tovera::testing;

namespace {

QByteArray le16(unsigned v) {
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}
// ptgRef3d / ptgArea3d with absolute rows and columns, ptgName, ptgNameX.
QByteArray ref3d(unsigned xti, unsigned row, unsigned col) {
    return char(0x3A) + le16(xti) + le16(row) + le16(col);
}
QByteArray area3d(unsigned xti, unsigned r1, unsigned r2, unsigned c1, unsigned c2) {
    return char(0x3B) + le16(xti) + le16(r1) + le16(r2) + le16(c1) + le16(c2);
}
QByteArray nameRef(unsigned ilbl) {
    return char(0x23) + le16(ilbl) + le16(0);
}
QByteArray nameX(unsigned xti, unsigned ilbl) {
    return char(0x39) + le16(xti) + le16(ilbl) + le16(0);
}
const QByteArray kSum("\x22\x01\x04\x00", 4);    // SUM with one argument
const QByteArray kTimes2("\x1E\x02\x00\x05", 4); // * 2
const QByteArray kB1("\x24\x00\x00\x01\xC0", 5); // B1, relative
const QByteArray kOne("\x1E\x01\x00", 3);        // 1
const QByteArray kAddIn2("\x22\x03\xFF\x00", 4); // a named function with 2 arguments

DefinedName name(const QString& text, int sheet, const QByteArray& tokens) {
    DefinedName n;
    n.name = text;
    n.sheet = sheet;
    n.tokens = tokens;
    return n;
}

ExternSheet sheets(int first, int last) {
    ExternSheet e;
    e.firstSheet = first;
    e.lastSheet = last;
    return e;
}

// Two sheets: Sheet1 A1:A3 = 1, 2, 3; Sheet2 A1 = 10; names, 3-D references and a
// print area, every formula with its right result.
Workbook namedBook() {
    Workbook book = Workbook::createDefault();
    book.sheets.push_back(book.sheets.front());
    book.sheets[1].name = QStringLiteral("Sheet2");
    Sheet& s1 = book.sheets[0];
    Sheet& s2 = book.sheets[1];
    for (int r = 0; r < 3; ++r) setNumber(s1, r, 0, r + 1);
    setNumber(s2, 0, 0, 10);
    ExternSheet addIns;
    addIns.addIn = true;
    book.externSheets = {sheets(0, 0), sheets(1, 1), sheets(0, 1), addIns};
    book.addInFunctions = {QStringLiteral("EOMONTH")};
    book.definedNames = {
        name(QStringLiteral("Prices"), -1, area3d(0, 0, 2, 0, 0)),
        name(QStringLiteral("Rate"), 1, ref3d(1, 0, 0)),                  // local to Sheet2
        name(QStringLiteral("Double"), -1, nameRef(1) + kSum + kTimes2)}; // SUM(Prices)*2
    setNumber(s1, 0, 1, 6, nameRef(1) + kSum);                            // B1 =SUM(Prices)
    setNumber(s2, 1, 0, 2, ref3d(0, 1, 0));                               // Sheet2!A2 =Sheet1!A2
    setNumber(s1, 1, 1, 11, area3d(2, 0, 0, 0, 0) + kSum); // B2 =SUM(Sheet1:Sheet2!A1)
    setNumber(s1, 2, 1, 10, nameX(1, 2));                  // B3 =Sheet2!Rate
    setNumber(s1, 3, 1, 12, nameRef(3));                   // B4 =Double
    setNumber(s2, 0, 1, 45000);
    setNumber(s2, 0, 2, 45046, nameX(3, 1) + kB1 + kOne + kAddIn2); // C1 =EOMONTH(B1,1)
    s1.pageSetup.printArea = {CellRange{0, 3, 0, 1}};
    return book;
}

Workbook roundTrip(const Workbook& book) {
    return loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("written"));
}

QByteArray tokensAt(const Workbook& book, int sheet, int row, int col) {
    const Cell* c = book.sheets[size_t(sheet)].cell(row, col);
    return c && c->formula ? c->formula->tokens : QByteArray();
}

uint16_t u16(const QByteArray& b, qsizetype at) {
    return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8));
}

// The globals records of a written workbook with id `id`.
QList<QByteArray> globals(const Workbook& book, uint16_t id) {
    const QByteArray stream = workbookStream(book);
    QList<QByteArray> out;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const uint16_t rid = u16(stream, at), size = u16(stream, at + 2);
        if (rid == 0x000A) break;
        if (rid == id) out.append(stream.mid(at + 4, size));
        at += 4 + size;
    }
    return out;
}

QStringList nameTexts(const Workbook& book) {
    QStringList out;
    for (const DefinedName& n : book.definedNames)
        out << QStringLiteral("%1@%2")
                   .arg(n.builtin() ? QStringLiteral("#%1").arg(n.name.front().unicode()) : n.name)
                   .arg(n.sheet);
    return out;
}

} // namespace

class TestXlsNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesAndSheetReferencesRoundTrip() {
        const Workbook book = namedBook();
        const Workbook again = roundTrip(book);
        // Every formula comes back as a formula with the same tokens and its result.
        const struct {
            int sheet, row, col;
            double value;
        } cells[] = {{0, 0, 1, 6},  {1, 1, 0, 2},  {0, 1, 1, 11},
                     {0, 2, 1, 10}, {0, 3, 1, 12}, {1, 0, 2, 45046}};
        for (const auto& c : cells) {
            QCOMPARE(tokensAt(again, c.sheet, c.row, c.col), tokensAt(book, c.sheet, c.row, c.col));
            QCOMPARE(again.sheets[size_t(c.sheet)].cell(c.row, c.col)->number, c.value);
        }
        // The names as they were, and the print area once, after them.
        QCOMPARE(again.definedNames.size(), size_t(4));
        for (size_t k = 0; k < 3; ++k) QCOMPARE(again.definedNames[k], book.definedNames[k]);
        const DefinedName& area = again.definedNames[3];
        QVERIFY(area.builtin());
        QCOMPARE(area.name, QString(QChar(0x06)));
        QCOMPARE(area.sheet, 0);
        QCOMPARE(again.sheets[0].pageSetup.printArea, book.sheets[0].pageSetup.printArea);
        QVERIFY(again.sheets[1].pageSetup.printArea.empty());
        QCOMPARE(again.externSheets, book.externSheets);
        // One SUPBOOK of the workbook itself, one EXTERNSHEET; a second round is the same.
        const QList<QByteArray> supbooks = globals(again, 0x01AE);
        QCOMPARE(supbooks.size(), 2);
        QCOMPARE(supbooks[0], le16(2) + le16(0x0401));
        QCOMPARE(supbooks[1], le16(1) + le16(0x3A01)); // the add-in functions
        QCOMPARE(globals(again, 0x0023).size(), 1);
        QCOMPARE(again.addInFunctions, book.addInFunctions);
        QCOMPARE(globals(again, 0x0017).size(), 1);
        const Workbook third = roundTrip(again);
        QCOMPARE(nameTexts(third), nameTexts(again));
        QCOMPARE(workbookStream(third), workbookStream(again));
    }

    // Print areas follow the sheets' page setup: one name per sheet, never two; a cleared
    // print area drops its name (and what uses it), a new one gets a name.
    void printAreasWithUserNames() {
        Workbook book = namedBook();
        book.definedNames.push_back(name(QString(QChar(0x06)), 0, area3d(0, 0, 0, 0, 0)));
        book.definedNames.back().flags = 0x0020;
        book.definedNames.push_back(name(QString(QChar(0x06)), 1, area3d(1, 0, 0, 0, 0)));
        book.definedNames.back().flags = 0x0020;
        book.definedNames.push_back(name(QStringLiteral("Twice"), -1, nameRef(5))); // Sheet2's area
        setNumber(book.sheets[0], 4, 1, 99, nameRef(6) + kSum); // B5 =SUM(Twice)
        book.sheets[0].pageSetup.printArea = {CellRange{0, 9, 0, 3}, CellRange{20, 29, 0, 3}};
        book.sheets[1].pageSetup.printArea.clear();

        const Workbook again = roundTrip(book);
        QCOMPARE(nameTexts(again),
                 (QStringList{QStringLiteral("Prices@-1"), QStringLiteral("Rate@1"),
                              QStringLiteral("Double@-1"), QStringLiteral("#6@0")}));
        QCOMPARE(again.sheets[0].pageSetup.printArea, book.sheets[0].pageSetup.printArea);
        QVERIFY(again.sheets[1].pageSetup.printArea.empty());
        // The name over the dropped print area is gone, so B5 keeps its value only.
        const Cell* b5 = again.sheets[0].cell(4, 1);
        QVERIFY(b5 && !b5->formula);
        QCOMPARE(b5->number, 99.0);
        QCOMPARE(tokensAt(again, 0, 3, 1), nameRef(3));

        // A print area set on the second sheet later gets its own name and sheet entry.
        Workbook more = again;
        more.sheets[1].pageSetup.printArea = {CellRange{0, 4, 0, 4}};
        const Workbook last = roundTrip(more);
        QCOMPARE(last.sheets[1].pageSetup.printArea, more.sheets[1].pageSetup.printArea);
        QCOMPARE(last.sheets[0].pageSetup.printArea, more.sheets[0].pageSetup.printArea);
        QCOMPARE(nameTexts(last).size(), 5);
        QCOMPARE(nameTexts(last).last(), QStringLiteral("#6@1"));
        QCOMPARE(globals(last, 0x0018).size(), 5);
    }

    // What the file cannot hold is left out and the rest renumbered; no written formula
    // points at an entry or a name that is not there.
    void unwritableReferencesAreRenumbered() {
        Workbook book = namedBook();
        ExternSheet other; // another workbook
        other.external = true;
        book.externSheets.insert(book.externSheets.begin(), other);
        // Shift every XTI by one in the model's tokens: rebuild them.
        book.definedNames = {
            name(QStringLiteral("Remote"), -1, ref3d(0, 0, 0)), // the other workbook
            name(QStringLiteral("Prices"), -1, area3d(1, 0, 2, 0, 0)),
            name(QStringLiteral("prices"), -1, area3d(1, 0, 0, 0, 0)), // same text: left out
            name(QStringLiteral("Chain"), -1, nameRef(1)),             // uses Remote
            name(QStringLiteral("Lost"), kNameNotKept, ref3d(1, 0, 0)),
            name(QStringLiteral("Rate"), 1, ref3d(2, 0, 0))};
        Sheet& s1 = book.sheets[0];
        setNumber(s1, 0, 1, 6, nameRef(2) + kSum);             // =SUM(Prices)
        setNumber(s1, 1, 1, 11, area3d(3, 0, 0, 0, 0) + kSum); // =SUM(Sheet1:Sheet2!A1)
        setNumber(s1, 2, 1, 10, nameX(2, 6));                  // =Sheet2!Rate
        setNumber(s1, 3, 1, 7, nameRef(4));                    // =Chain: value only
        setNumber(s1, 4, 1, 8, ref3d(0, 0, 0));                // other workbook: value only
        setNumber(s1, 5, 1, 9, nameRef(3));                    // duplicate name: value only
        setNumber(s1, 6, 1, 5, nameRef(40));                   // no such name: value only
        setNumber(s1, 7, 1, 4, ref3d(17, 0, 0));               // no such entry: value only
        setNumber(s1, 8, 1, 3, nameRef(0));
        setNumber(s1, 9, 1, 2, nameX(4, 2) + kB1 + kOne + kAddIn2); // no such function
        setNumber(s1, 10, 1, 1, nameX(4, 1) + kB1 + kOne + kAddIn2);
        setNumber(book.sheets[1], 1, 0, 2, ref3d(1, 1, 0));

        const Workbook again = roundTrip(book);
        QCOMPARE(nameTexts(again), (QStringList{QStringLiteral("Prices@-1"),
                                                QStringLiteral("Rate@1"), QStringLiteral("#6@0")}));
        // The entry of the other workbook stays as a deleted sheet no formula uses.
        QCOMPARE(again.externSheets.size(), book.externSheets.size());
        QCOMPARE(again.externSheets[0], ExternSheet());
        for (size_t k = 1; k < book.externSheets.size(); ++k)
            QCOMPARE(again.externSheets[k], book.externSheets[k]);
        QCOMPARE(tokensAt(again, 0, 0, 1), nameRef(1) + kSum);
        QCOMPARE(tokensAt(again, 0, 1, 1), area3d(3, 0, 0, 0, 0) + kSum);
        QCOMPARE(tokensAt(again, 0, 2, 1), nameX(2, 2));
        QCOMPARE(tokensAt(again, 1, 1, 0), ref3d(1, 1, 0));
        QCOMPARE(tokensAt(again, 0, 10, 1), nameX(4, 1) + kB1 + kOne + kAddIn2);
        for (int row : {3, 4, 5, 6, 7, 8, 9}) {
            const Cell* c = again.sheets[0].cell(row, 1);
            QVERIFY(c);
            QVERIFY2(!c->formula, qPrintable(QStringLiteral("row %1").arg(row)));
            QCOMPARE(c->number, book.sheets[0].cell(row, 1)->number);
        }
        QCOMPARE(again.definedNames[0].tokens, area3d(1, 0, 2, 0, 0));
    }

    // Damaged tables never crash the writer nor give formulas that point nowhere.
    void hostileModels_data() {
        QTest::addColumn<int>("variant");
        QTest::newRow("sheet entry past the sheets") << 0;
        QTest::newRow("names that use each other") << 1;
        QTest::newRow("name local to a missing sheet") << 2;
        QTest::newRow("long chain of names") << 3;
        QTest::newRow("cut-off tokens") << 4;
        QTest::newRow("reversed sheet range") << 5;
    }
    void hostileModels() {
        QFETCH(int, variant);
        Workbook book = namedBook();
        switch (variant) {
        case 0:
            book.externSheets[0] = sheets(0, 7);
            break;
        case 1:
            book.definedNames[0].tokens = nameRef(3);
            book.definedNames[2].tokens = nameRef(1);
            break;
        case 2:
            book.definedNames[0].sheet = 9;
            break;
        case 3:
            for (unsigned k = 0; k < 20000; ++k)
                book.definedNames.push_back(
                    name(QStringLiteral("n%1").arg(k), -1, nameRef(k + 5))); // last: no name
            break;
        case 4:
            book.definedNames[0].tokens.chop(3);
            break;
        case 5:
            book.externSheets[2] = sheets(1, 0);
            break;
        }
        const Workbook again = roundTrip(book);
        // Every formula read back refers only to names and entries that exist.
        xlswrite::Mapping identity;
        for (size_t k = 0; k < again.externSheets.size(); ++k) {
            const ExternSheet& e = again.externSheets[k];
            identity.xti.push_back(int(k));
            identity.xtiKind.push_back(e.addIn                          ? xlswrite::kAddInXti
                                       : e.firstSheet == kWholeWorkbook ? xlswrite::kWorkbookXti
                                                                        : xlswrite::kSheetsXti);
        }
        identity.addIns = again.addInFunctions.size();
        for (size_t k = 0; k < again.definedNames.size(); ++k) identity.names.push_back(int(k));
        for (const Sheet& s : again.sheets)
            for (const Row& r : s.rows)
                for (const Cell& c : r.cells) {
                    if (!c.formula) continue;
                    QByteArray out;
                    QVERIFY(xlswrite::remapTokens(c.formula->tokens, identity, false, out));
                }
        for (const DefinedName& n : again.definedNames) QVERIFY(n.sheet >= -1 && n.sheet < 2);
        for (const ExternSheet& e : again.externSheets)
            QVERIFY(e.firstSheet <= e.lastSheet && e.lastSheet < 2);
        if (variant == 3) QCOMPARE(again.definedNames.size(), size_t(4)); // the chain ends nowhere
        if (variant != 0) QVERIFY(tokensAt(again, 1, 1, 0) == ref3d(0, 1, 0));
    }

    // The sample sheet refers to its first sheet from its second: every formula comes back
    // with its tokens and value.
    void sampleSheetKeepsItsFormulas() {
        const QString path = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
        if (!QFile::exists(path)) QSKIP("the shared sample sheets are absent");
        const Workbook book = loadWorkbookFile(path);
        const Workbook again = roundTrip(book);
        QCOMPARE(again.sheets.size(), book.sheets.size());
        int formulas = 0, crossSheet = 0;
        for (size_t s = 0; s < book.sheets.size(); ++s)
            for (const Row& r : book.sheets[s].rows)
                for (const Cell& c : r.cells) {
                    const Cell* d = again.sheets[s].cell(r.index, c.column);
                    QVERIFY(d);
                    QCOMPARE(d->type, c.type);
                    QCOMPARE(d->number, c.number);
                    QCOMPARE(d->text, c.text);
                    if (!c.formula) continue;
                    ++formulas;
                    QVERIFY2(d->formula, qPrintable(QStringLiteral("sheet %1 row %2 col %3")
                                                        .arg(s)
                                                        .arg(r.index)
                                                        .arg(c.column)));
                    QCOMPARE(d->formula->tokens, c.formula->tokens);
                    const char id = c.formula->tokens.isEmpty() ? 0 : c.formula->tokens[0];
                    if (s == 1 && (id & 0x1F) >= 0x1A && (id & 0x1F) <= 0x1D && id >= 0x20)
                        ++crossSheet;
                }
        QVERIFY(formulas > 40);
        QVERIFY(crossSheet >= 1);
        QCOMPARE(again.externSheets, book.externSheets);
        QCOMPARE(nameTexts(again), nameTexts(book));
    }

    // A real spreadsheet program opens the written workbooks and calculates the formulas
    // with names and 3-D references itself: in our own workbook the results stored are wrong
    // on purpose; every sheet of the sample sheet shows what the original shows.
    void officeCalculatesTheFormulas() {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: the check with a real spreadsheet "
                  "program is skipped");
        Workbook book = namedBook();
        for (Sheet& s : book.sheets)
            for (Row& r : s.rows)
                for (Cell& c : r.cells)
                    if (c.formula) c.number = -1;
        QTemporaryDir dir;
        QStringList inputs{dir.filePath(QStringLiteral("names.xls"))};
        saveWorkbookFile(book, inputs[0], kFileTypeExcel97);
        addSampleAndOurCopy(
            dir, QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls"), inputs);
        QVERIFY(sheetsToCsv(soffice, dir, inputs));
        auto csv = [&](const QString& file) { return csvText(dir, file); };
        QCOMPARE(csv(QStringLiteral("names-Sheet1.csv")), QStringLiteral("1,6\n2,11\n3,10\n,12\n"));
        QCOMPARE(csv(QStringLiteral("names-Sheet2.csv")), QStringLiteral("10,45000,45046\n2,,\n"));
        if (inputs.size() == 1) QSKIP("the shared sample sheets are absent");
        const QStringList originals =
            QDir(dir.path()).entryList({QStringLiteral("original-*.csv")}, QDir::Files);
        QCOMPARE(originals.size(), 2);
        for (const QString& f : originals) {
            const QString want = csv(f);
            QVERIFY(!want.isEmpty());
            QCOMPARE(csv(QStringLiteral("ours") + f.mid(8)), want);
        }
    }
};

QTEST_GUILESS_MAIN(TestXlsNames)
#include "test_xls_names.moc"
