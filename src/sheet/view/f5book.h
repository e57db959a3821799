#pragma once
// The spreadsheet control of page 評点明細: an edit bar (cell reference and content), the
// grid of the sheet shown and, for workbooks of several sheets, sheet tabs at the bottom.
// It owns the one workbook it shows, starting with an empty workbook of one sheet. Its
// calls carry the names the program uses for them. Every failing call raises
// EOleException whose text names the file (where there is one) and the cause, and leaves
// the workbook shown unchanged. Rows, columns and sheets of the calls count from 1.

#include "platform/globalmem.h"
#include "sheet/workbook.h"

#include <QWidget>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPrinter;
class QTabBar;

namespace tovera {

class SheetGrid;
class SheetModel;

class TF5Book : public QWidget {
    Q_OBJECT
public:
    explicit TF5Book(QWidget* parent = nullptr);
    ~TF5Book() override;

    // The workbook in `path` replaces the one shown; `fileType` is not used.
    void LoadWorkbookFile(const QString& path, int16_t& fileType);
    // Writes the workbook shown to `path`; `fileType` must be 4 (Excel 97-2003 .xls).
    void SaveWorkbookFile(const QString& path, int16_t fileType);
    // Prints the workbook before returning, on the printer (or PDF file) the print target
    // chooser gives. True when the pages went out; false when the choice was cancelled,
    // which prints nothing and is no error.
    bool PrintWorkbook();
    // Replaces the workbook shown with the empty workbook of one sheet.
    void ClearWorkbook();
    // Writes the workbook shown into a new global memory block whose handle is returned in
    // `handle`; the block passes to the caller. The 16-bit argument is not used.
    void SaveWorkbookToHandle(HGLOBAL& handle, int16_t);
    // The workbook at the start of the block `handle` replaces the one shown; the block
    // stays the caller's. The 16-bit argument is not used.
    void LoadWorkbookFromHandle(HGLOBAL handle, int16_t);
    // The shown text of a cell, empty for an empty cell.
    QString CellText(int sheet, int row, int column);

    // The first row and column shown at the top left (1-based; clamped to the sheet).
    int TopRow() const;
    void setTopRow(int row);
    int LeftCol() const;
    void setLeftCol(int column);
    bool ShowEditBar() const { return showEditBar_; }
    void setShowEditBar(bool show);
    bool ShowColHeading() const;
    void setShowColHeading(bool show);
    bool ShowRowHeading() const;
    void setShowRowHeading(bool show);
    // Zoom in percent, clamped to 10..400.
    int ViewScale() const;
    void setViewScale(int percent);

    const Workbook& workbook() const { return book_; }
    // The sheet shown (0-based) and switching to another one.
    int currentSheet() const;
    void setCurrentSheet(int index);

    // Chooses where PrintWorkbook prints: sets up `printer` and returns true, or false when
    // the user cancelled. The default shows the print dialog, or with no printer installed
    // a save dialog for a PDF file.
    void setPrintTargetChooser(std::function<bool(QPrinter&)> chooser);
    // Shows a message to the user; by default in the message dialog titled "Tovera".
    void setMessageHandler(std::function<void(const QString&)> handler);
    // The message shown when formulas refer to themselves through others.
    static QString circularMessage();
    // What a save leaves out of the workbook shown because an edit made it invalid, one
    // sentence per part, after `where` (the file) when given; empty when nothing is left
    // out. SaveWorkbookFile and SaveWorkbookToHandle show it after writing.
    QString droppedPartsMessage(const QString& where = {}) const;

    SheetGrid* grid() const { return grid_; }
    SheetModel* model() const { return model_; }
    QWidget* editBar() const { return editBar_; }
    QLineEdit* referenceBox() const { return reference_; }
    QLineEdit* contentBox() const { return content_; }
    QTabBar* sheetTabs() const { return tabs_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void replaceWorkbook(Workbook&& book, const QString& fileName);
    void rebuildTabs();
    void refreshEditBar();
    void commitEditBar();
    // Commits what is being typed in a cell or in the edit bar before the workbook is read.
    void commitPendingInput();
    static bool choosePrintTarget(QPrinter& printer, QWidget* parent);
    void showMessage(const QString& message);
    void tellDroppedParts(const QString& where);

    Workbook book_;
    QString fileName_; // the file last loaded or saved, for printed headers
    SheetModel* model_ = nullptr;
    SheetGrid* grid_ = nullptr;
    QWidget* editBar_ = nullptr;
    QLineEdit* reference_ = nullptr;
    QLineEdit* content_ = nullptr;
    QTabBar* tabs_ = nullptr;
    bool showEditBar_ = true;
    bool rebuildingTabs_ = false;
    std::function<bool(QPrinter&)> chooser_;
    std::function<void(const QString&)> messageHandler_;
};

} // namespace tovera
