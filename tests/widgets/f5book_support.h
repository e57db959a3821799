#pragma once
// Shared by the control tests: the sample detail sheets, a saved workbook of our own, and
// typing into the grid as a user does.

#include "sheet/view/f5book.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/xlswriter.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace tovera::testing {

inline QString sampleSheet(const char* name) {
    return QStringLiteral(TOVERA_SHARED "/sample-sheets/") + QLatin1String(name);
}

#define REQUIRE_SAMPLES()                                                                          \
    if (!QFile::exists(tovera::testing::sampleSheet("hyoten_mokuzou_2f.xls")))                     \
        QSKIP("the sample detail sheets (shared folder) are not here");

// A saved workbook of our own: B2 1234.5 as #,##0.00, B3 text, C2 a long text that runs
// over empty neighbours, D4:H4 merged, column B 3000 units wide, row 3 600 twips.
inline QString writeOwnBook(const QTemporaryDir& dir) {
    Workbook b = Workbook::createDefault();
    CellFormat money = b.xfs[15];
    money.numberFormat = 4;
    b.xfs.push_back(money);
    Sheet& s = b.sheets[0];
    Cell c;
    c.column = 1;
    c.type = CellType::Number;
    c.number = 1234.5;
    c.xf = uint16_t(b.xfs.size() - 1);
    s.setCell(1, c);
    Cell t;
    t.column = 1;
    t.type = CellType::Text;
    t.text = QStringLiteral("木造");
    t.xf = 15;
    s.setCell(2, t);
    t.column = 2;
    t.text = QStringLiteral("とても長い説明の文字がとなりの空いたセルまで続きます");
    s.setCell(1, t);
    t.column = 3;
    t.text = QStringLiteral("山路　千代子");
    s.setCell(3, t);
    s.merges.push_back({3, 3, 3, 7});
    s.columns.push_back({1, 1, 3000, 15, false, 2});
    s.rowAt(2).height = 600;
    s.rowAt(2).customHeight = true;
    const QString path = dir.filePath(QStringLiteral("own.xls"));
    saveWorkbookFile(b, path, kFileTypeExcel97);
    return path;
}

inline void load(TF5Book& book, const QString& path) {
    int16_t type = 0;
    book.LoadWorkbookFile(path, type);
}

// Sends the characters of `text` (any script) as key presses to the widget that has the
// focus, starting with `first`: the first key opens an entry, the rest go into it.
inline void typeText(QWidget* first, const QString& text) {
    QWidget* target = first;
    for (QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        target = QApplication::focusWidget();
    }
}

// Types `keys` into the grid as a user would, with Enter at the end.
inline void typeInto(TF5Book& book, int row, int column, const QString& keys) {
    SheetGrid* grid = book.grid();
    grid->setCurrentIndex(grid->model()->index(row, column));
    grid->setFocus();
    typeText(grid, keys);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != grid);
    QTest::keyClick(editor, Qt::Key_Return);
}

} // namespace tovera::testing
