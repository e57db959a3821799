#include "commands.h"

#include "platform/errors.h"
#include "sheet/calc.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsxreader.h"

#include <cstdio>
#include <map>

namespace tovera::cli {

namespace {

QString columnName(int column) {
    QString name;
    if (column >= 26) name += QChar(u'A' + column / 26 - 1);
    name += QChar(u'A' + column % 26);
    return name;
}

void print(FILE* to, const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

} // namespace

// sheet recalc --check [--reasons] FILE...: recalculates every formula of each workbook
// from scratch and compares the results with the stored ones. One line per difference,
// FILE<TAB>SHEET!CELL<TAB>stored<TAB>computed, then the totals; with --reasons also why
// formulas were not compared. Exit 1 when any result differs.
int runSheetRecalc(const QStringList& args) {
    QStringList files;
    bool check = false, reasons = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--check"))
            check = true;
        else if (a == QLatin1String("--reasons"))
            reasons = true;
        else
            files << a;
    }
    if (!check || files.isEmpty())
        return fail(2,
                    QStringLiteral("usage: tovera-cli sheet recalc --check [--reasons] FILE..."));
    RecalcCheck total;
    int unreadable = 0;
    for (const QString& file : files) {
        Workbook book;
        try {
            book = loadAnyWorkbookFile(file);
        } catch (const Exception& e) {
            print(stderr, QStringLiteral("%1: not checked: %2").arg(file, e.message()));
            ++unreadable;
            continue;
        }
        const RecalcCheck one = checkRecalculation(book);
        for (const RecalcDifference& d : one.differences) {
            const QString sheet = book.sheets[size_t(d.cell.sheet)].name;
            print(stdout, QStringLiteral("%1\t%2!%3%4\tstored %5\tcomputed %6\t%7")
                              .arg(file, sheet, columnName(d.cell.column))
                              .arg(d.cell.row + 1)
                              .arg(d.stored, d.computed,
                                   formulaText(book, d.cell.sheet, d.cell.row, d.cell.column)));
        }
        if (reasons)
            for (const auto& [why, count] : one.reasons)
                print(stdout,
                      QStringLiteral("%1\tnot compared: %2 (%3)").arg(file, why).arg(count));
        total.checked += one.checked;
        total.equal += one.equal;
        total.differ += one.differ;
        total.unsupported += one.unsupported;
        for (const auto& [why, count] : one.reasons) total.reasons[why] += count;
    }
    if (reasons)
        for (const auto& [why, count] : total.reasons)
            print(stdout, QStringLiteral("not compared: %1 (%2)").arg(why).arg(count));
    print(stdout, QStringLiteral("checked %1, equal %2, differ %3, unsupported %4")
                      .arg(total.checked)
                      .arg(total.equal)
                      .arg(total.differ)
                      .arg(total.unsupported));
    Q_UNUSED(unreadable);
    return total.differ > 0 ? 1 : 0;
}

} // namespace tovera::cli
