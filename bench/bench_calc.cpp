// Formula recalculation: one edit of a detail sheet (dependents only), a full calculation
// of a 65 536-row sheet, and the recalculation check of the whole shared corpus.

#include "bench.h"

#include "platform/errors.h"
#include "sheet/calc.h"
#include "sheet/xlsreader.h"

#include <QDir>
#include <algorithm>
#include <cstring>
#include <vector>

namespace tovera::bench {

namespace {

QByteArray u16(int v) {
    QByteArray b;
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    return b;
}

QByteArray ref(int row, int col) {
    return QByteArray(1, char(0x44)) + u16(row) + u16(col | 0xC000);
}

QByteArray area(int row, int c1, int c2) {
    return QByteArray(1, char(0x25)) + u16(row) + u16(row) + u16(c1 | 0xC000) + u16(c2 | 0xC000);
}

QByteArray number(double v) {
    char raw[8];
    std::memcpy(raw, &v, 8);
    return QByteArray(1, char(0x1F)) + QByteArray(raw, 8);
}

// Row r: A, B, C inputs; D = ROUND(SUM(Ar:Cr)*1.1,2) + D(r-1).
Workbook bigSheet() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    s.rows.reserve(65536);
    for (int r = 0; r < 65536; ++r) {
        Row& row = s.rowAt(r);
        for (int c = 0; c < 3; ++c) {
            Cell x;
            x.column = uint16_t(c);
            x.type = CellType::Number;
            x.number = r * 0.5 + c;
            row.cells.push_back(x);
        }
        QByteArray t = area(r, 0, 2) + QByteArray("\x19\x10\x00\x00", 4) + number(1.1) +
                       QByteArray(1, char(0x05)) + QByteArray("\x1E\x02\x00", 3) +
                       QByteArray("\x41\x1B\x00", 3);
        if (r > 0) t += ref(r - 1, 3) + QByteArray(1, char(0x03));
        Cell f;
        f.column = 3;
        f.type = CellType::Number;
        auto formula = std::make_shared<Formula>();
        formula->tokens = t;
        f.formula = formula;
        row.cells.push_back(f);
    }
    return b;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

void benchCalc() {
    const QString sample = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
    if (QFile::exists(sample)) {
        Workbook book = loadWorkbookFile(sample);
        FormulaEngine engine(book);
        engine.cellsChanged(0, {{12, 12, 7, 7}}); // reads the dependencies once
        std::vector<double> times;
        for (int i = 0; i < 2000; ++i) {
            Cell* h13 = const_cast<Cell*>(book.sheets[0].cell(12, 7));
            h13->number = 100 + i % 50;
            const auto start = std::chrono::steady_clock::now();
            engine.cellsChanged(0, {{12, 12, 7, 7}});
            times.push_back(msSince(start) * 1000);
        }
        report("calc_edit_sample_us", median(times), "us");
    }

    // F9 on the big sheet: the dependencies were read by an earlier calculation; the first
    // calculation also reads them.
    const Workbook big = bigSheet();
    std::vector<double> full, first;
    for (int i = 0; i < 5; ++i) {
        Workbook copy = big;
        FormulaEngine engine(copy);
        auto start = std::chrono::steady_clock::now();
        engine.recalculateAll();
        first.push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        engine.recalculateAll();
        full.push_back(msSince(start));
    }
    report("calc_full_65536rows_ms", median(full), "ms");
    report("calc_full_65536rows_first_ms", median(first), "ms");

    std::vector<Workbook> corpus;
    for (const QString& dir : {QStringLiteral("/xls-corpus"), QStringLiteral("/sample-sheets")}) {
        QDir d(QStringLiteral(TOVERA_SHARED) + dir);
        for (const QString& f : d.entryList({QStringLiteral("*.xls")}, QDir::Files)) {
            try {
                corpus.push_back(loadWorkbookFile(d.filePath(f)));
            } catch (const Exception&) {
            }
        }
    }
    if (!corpus.empty()) {
        const auto start = std::chrono::steady_clock::now();
        for (const Workbook& b : corpus) checkRecalculation(b);
        report("calc_check_corpus_ms", msSince(start), "ms");
    }
}

} // namespace tovera::bench
