#pragma once
// The workbook model: sheets of sparse cells with values, formulas and formats, the
// workbook's fonts, cell formats (XF), number formats and palette, and the geometry and
// page setup of each sheet. Plain data; the readers and writers fill and walk it.
//
// Units used throughout:
// - rows and columns are 0-based (row 0..65535, column 0..255);
// - column widths are in 1/256 of the width of the digit "0" of font 0, padding included
//   (the unit of the file's COLINFO records; 2340 is about 64 pixels with Arial 10);
// - row heights and font heights are in twips (1/20 point);
// - page margins are in inches;
// - colour indices are the file's: 0-7 fixed colours, 8-63 the palette, 64 system
//   foreground ("automatic"), 65 system background, 0x7FFF automatic font colour.

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace tovera {

// One inclusive rectangle of cells, 0-based.
struct CellRange {
    int firstRow = 0;
    int lastRow = 0;
    int firstColumn = 0;
    int lastColumn = 0;
    bool contains(int row, int column) const {
        return row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
    }
    bool operator==(const CellRange&) const = default;
};

// A rich-text run: from character `start` (UTF-16 code unit index) to the next run's
// start the text uses `font` (an index into Workbook::fonts).
struct TextRun {
    uint16_t start = 0;
    uint16_t font = 0;
    bool operator==(const TextRun&) const = default;
};

// The stored form of a formula, kept to be written back unchanged. `tokens` is the token
// array (rgce) in the layout of the workbook's BIFF version (Workbook::biffVersion; 8 for
// every file the writer produces); a cell of a shared formula holds the shared formula
// already turned into ordinary tokens for that cell. A cell of an array formula holds the
// one-token reference (ptgExp) to the array's top-left cell; the array's own tokens are in
// Sheet::arrayFormulas. `extra` holds the bytes that follow the tokens (array constants,
// cached ranges). 3-D tokens index Workbook::externSheets and name tokens
// Workbook::definedNames. In Excel 5/95 tokens the sheet fields of a 3-D reference hold
// indices into Workbook::sheets; its EXTERNSHEET field is 0 when it refers elsewhere.
struct Formula {
    QByteArray tokens;
    QByteArray extra;
    uint16_t flags = 0; // the FORMULA record's flags; bit 0 = recalculate always
    bool operator==(const Formula&) const = default;
};

enum class CellType : uint8_t {
    Empty,  // no value: a cell that only carries a format (BLANK)
    Number, // `number` (dates are numbers whose format is a date format)
    Text,   // `text` with optional `runs`
    Bool,   // `boolValue`
    Error,  // `errorCode` (0x07 #DIV/0!, ...; see errorText)
};

// One cell. For a formula cell (`formula` set) the value fields hold its last result; a
// formula whose result is the empty string is a Text cell with empty text.
struct Cell {
    uint16_t column = 0; // 0..255
    CellType type = CellType::Empty;
    bool boolValue = false;
    uint8_t errorCode = 0;
    uint16_t xf = 0; // index into Workbook::xfs
    double number = 0;
    QString text;
    QList<TextRun> runs;                    // sorted by start; empty for plain text
    std::shared_ptr<const Formula> formula; // null for a constant

    bool hasValue() const { return type != CellType::Empty; }
};

// One row: its cells (sorted by column, at most one per column) and its own geometry.
struct Row {
    int index = 0;             // 0..65535
    uint16_t height = 0;       // twips; 0 = the sheet's default height
    bool hidden = false;       // hidden row (height keeps the height it had)
    bool customHeight = false; // height set by the user rather than from the fonts
    int xf = -1;               // default format of the row's empty cells, -1 = none
    std::vector<Cell> cells;

    const Cell* find(int column) const;
};

// Width and default format of a run of columns (a COLINFO record).
struct ColumnInfo {
    int firstColumn = 0;
    int lastColumn = 0;    // inclusive
    uint16_t width = 2340; // 1/256 of a character, padding included
    uint16_t xf = 15;      // format of the empty cells of these columns
    bool hidden = false;
    uint16_t flags = 0; // the record's flag word as read (bit 1 custom width, outline bits)
    bool operator==(const ColumnInfo&) const = default;
};

// Print settings of a sheet.
struct PageSetup {
    bool valid = false;     // false when the file said the printer fields are unset
    uint16_t paperSize = 9; // 9 A4, 12 B4 (JIS), 13 B5 (JIS), 1 Letter ...
    bool landscape = false;
    uint16_t scale = 100; // percent, used when !fitToPage
    bool fitToPage = false;
    uint16_t fitWidth = 1;    // pages wide, 0 = as many as needed
    uint16_t fitHeight = 1;   // pages tall, 0 = as many as needed
    double leftMargin = 0.75; // inches
    double rightMargin = 0.75;
    double topMargin = 1.0;
    double bottomMargin = 1.0;
    double headerMargin = 0.5;
    double footerMargin = 0.5;
    bool centerHorizontally = false;
    bool centerVertically = false;
    bool printGridlines = false;
    bool printHeadings = false;
    QString header; // header/footer codes (&L &C &R &P ...) as stored
    QString footer;
    std::vector<CellRange> printArea; // empty = the used range
    // Page breaks set by hand: a new page starts at each of these rows and columns
    // (0-based, ascending, no repeats). Fitting to pages ignores them.
    std::vector<int> rowBreaks;
    std::vector<int> columnBreaks;
};

struct ArrayFormula {
    CellRange range;
    Formula formula;
};

// A record the engine does not interpret (drawings, notes, validation, conditional formats,
// hyperlinks, embedded charts ...), kept as read to be written back: its id and data, a
// continued record as the record and its CONTINUE records one after another.
struct KeptRecord {
    uint16_t id = 0;
    QByteArray data;
    bool operator==(const KeptRecord&) const = default;
};

// The kept records of an Excel 97 sheet, by the place they had in the sheet: before the
// cells (after the column widths), between the cells and the window settings (drawings,
// objects, notes, embedded charts), and after the window settings and merges (conditional
// formats, hyperlinks, validation ...). Empty for sheets read from older versions.
struct KeptSheetRecords {
    std::vector<KeptRecord> beforeCells;
    std::vector<KeptRecord> afterCells;
    std::vector<KeptRecord> afterWindow;
    bool empty() const { return beforeCells.empty() && afterCells.empty() && afterWindow.empty(); }
};

// The panes of a sheet window (PANE). Frozen panes keep the first `splitRows` rows and
// `splitColumns` columns in view; split panes (not frozen) keep the split position in
// twips in the same fields. `topRow` and `leftColumn` are the first row and column of the
// scrolling pane. No panes when both split fields are 0.
struct Panes {
    bool frozen = false;
    int splitColumns = 0; // columns, or twips across for a split
    int splitRows = 0;    // rows, or twips down for a split
    int topRow = 0;
    int leftColumn = 0;
    int activePane = 3; // 0 lower right, 1 upper right, 2 lower left, 3 upper left
    bool any() const { return splitColumns > 0 || splitRows > 0; }
    bool operator==(const Panes&) const = default;
};

// Protection of a sheet or of the workbook's structure. `passwordHash` is the file's 16-bit
// hash of the password, 0 for none.
struct Protection {
    bool on = false;
    bool objects = false;   // sheet: drawings and comments protected too
    bool scenarios = false; // sheet: scenarios protected too
    bool windows = false;   // workbook: window sizes and positions protected
    uint16_t passwordHash = 0;
    bool operator==(const Protection&) const = default;
};

// The note (comment) of a cell, shown by the control and not edited. An Excel 97 sheet keeps
// its notes as kept records, which are what the writer writes; this is their text as read.
struct CellNote {
    int row = 0;    // 0..65535
    int column = 0; // 0..255
    QString author; // empty when the file names none
    QString text;
    bool shown = false; // shown at all times rather than on hover
    bool operator==(const CellNote&) const = default;
};

// Where a drawing object lies on its sheet: the cells of its top-left and bottom-right
// corners, each with an offset inside the cell in 1/1024 of the column's width and 1/256 of
// the row's height (the file's units).
struct DrawingAnchor {
    int firstColumn = 0;
    int firstColumnOffset = 0; // 0..1023
    int firstRow = 0;
    int firstRowOffset = 0; // 0..255
    int lastColumn = 0;
    int lastColumnOffset = 0;
    int lastRow = 0;
    int lastRowOffset = 0;
    bool operator==(const DrawingAnchor&) const = default;
};

// A bitmap picture of a sheet, decoded from the workbook's drawing group. Shown and printed;
// an Excel 97 sheet writes it back through its kept records.
struct SheetPicture {
    DrawingAnchor anchor;
    QImage image;
};

class Sheet {
public:
    QString name;
    int visibility = 0; // 0 visible, 1 hidden, 2 very hidden

    uint16_t defaultColumnWidth = 8; // characters of font 0, padding excluded (DEFCOLWIDTH)
    uint16_t standardWidth = 0;      // 1/256 character, padding included; 0 = not given
    uint16_t defaultRowHeight = 255; // twips
    bool rowsHiddenByDefault = false;

    std::vector<Row> rows;           // sorted by index, at most one per index
    std::vector<ColumnInfo> columns; // sorted by firstColumn, not overlapping
    std::vector<CellRange> merges;   // in file order
    std::vector<ArrayFormula> arrayFormulas;
    PageSetup pageSetup;

    bool showGridlines = true;
    int zoomPercent = 100;
    Panes panes;
    Protection protection;
    KeptSheetRecords kept;
    std::vector<CellNote> notes;        // sorted by row, then column; one per cell at most
    std::vector<SheetPicture> pictures; // in drawing order (later ones on top)

    // The note of (row, column), or null.
    const CellNote* noteAt(int row, int column) const;
    // Sorts `notes` by cell and keeps the first of each cell.
    void sortNotes();

    // The cell at (row, column), or null when the sheet holds none there.
    const Cell* cell(int row, int column) const;
    // The row with `index`, or null.
    const Row* row(int index) const;
    // The row with `index`, created (empty, default height) when missing.
    Row& rowAt(int index);
    // Puts `cell` at (row, cell.column), replacing any cell there.
    void setCell(int row, const Cell& cell);
    // Width of `column` in 1/256 character: its COLINFO width, else the standard width,
    // else the default width converted (characters × 256 + padding of 5 pixels at font 0).
    uint16_t columnWidth(int column) const;
    bool columnHidden(int column) const;
    // Height of row `index` in twips (its own height, else the default).
    uint16_t rowHeight(int index) const;
    // The number of cells with a value (type not Empty).
    size_t valueCount() const;
};

struct Font {
    QString name = QStringLiteral("Arial");
    uint16_t height = 200; // twips (200 = 10 pt)
    uint16_t weight = 400; // 400 normal, 700 bold
    bool italic = false;
    bool strikeout = false;
    uint8_t underline = 0; // 0 none, 1 single, 2 double, 0x21/0x22 accounting
    uint8_t script = 0;    // 0 normal, 1 superscript, 2 subscript
    uint16_t colorIndex = 0x7FFF;
    uint8_t family = 0;
    uint8_t charset = 0; // 128 = Shift-JIS
    bool bold() const { return weight >= 700; }
    bool operator==(const Font&) const = default;
};

enum class HAlign : uint8_t {
    General,
    Left,
    Center,
    Right,
    Fill,
    Justify,
    CenterAcross,
    Distributed
};
enum class VAlign : uint8_t { Top, Center, Bottom, Justify, Distributed };

struct Border {
    uint8_t style = 0; // 0 none, 1 thin, 2 medium, 3 dashed, 4 dotted, 5 thick, 6 double, 7 hair,
                       // 8-13 dash variants
    uint16_t colorIndex = 64;
    bool operator==(const Border&) const = default;
};

// A cell format (XF record), with the effective values of every group.
struct CellFormat {
    uint16_t font = 0;         // index into Workbook::fonts
    uint16_t numberFormat = 0; // number format id (Workbook::numberFormatCode)
    bool locked = true;
    bool formulaHidden = false;
    bool isStyle = false; // a style XF rather than a cell XF
    uint16_t parent = 0;  // parent style XF of a cell XF (0xFFF for style XFs)
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool wrap = false;
    uint8_t rotation = 0; // 0-90 counter-clockwise degrees, 91-180 clockwise - 90, 255 stacked
    uint8_t indent = 0;
    bool shrinkToFit = false;
    Border left, right, top, bottom;
    Border diagonal;
    uint8_t diagonalLines = 0;    // 1 down, 2 up, 3 both
    uint8_t fillPattern = 0;      // 0 none, 1 solid, 2-18 patterns
    uint16_t fillForeground = 64; // colour of a solid fill
    uint16_t fillBackground = 65;
    uint8_t usedGroups = 0; // the XF's attribute-group flags byte as read (bits 2-7)
    bool operator==(const CellFormat&) const = default;
};

// One entry of the workbook's external-sheet table: the sheets a 3-D reference (or a
// reference to a sheet's local name) spans. Formula tokens hold the index of the entry in
// Workbook::externSheets.
struct ExternSheet {
    // Indices into Workbook::sheets, lastSheet inclusive and not below firstSheet. Both -1:
    // a deleted sheet (#REF!); both kWholeWorkbook: the workbook itself (its global names
    // reached through ptgNameX).
    int firstSheet = -1;
    int lastSheet = -1;
    // Another workbook or a sheet that is not kept (chart, macro sheet): formulas that
    // refer to such an entry are written as their last result.
    bool external = false;
    // The add-in functions: ptgNameX tokens through this entry name
    // Workbook::addInFunctions (from 1); the sheet fields are unused.
    bool addIn = false;
    bool operator==(const ExternSheet&) const = default;
};

constexpr int kWholeWorkbook = -2;

// A defined name (NAME record), kept to be written back. The position in
// Workbook::definedNames is the name's number minus 1 in ptgName tokens.
struct DefinedName {
    // The name's text; a built-in name is its one-character code (0x06 print area,
    // 0x07 print titles, ...; `flags` bit 5 set).
    QString name;
    // -1 for a name of the whole workbook, else the index into Workbook::sheets of the sheet
    // it is local to. Below -1 (kNameNotKept): the name belongs to a sheet that is not kept
    // or its record was damaged; it holds its place in the numbering but is not written.
    int sheet = -1;
    uint16_t flags = 0;   // the record's flags: bit 0 hidden, 1 function, 5 built-in, ...
    uint8_t shortcut = 0; // keyboard shortcut character, 0 = none
    QByteArray tokens;    // BIFF8 tokens; 3-D tokens index Workbook::externSheets
    QByteArray extra;     // bytes after the tokens (array constants)
    bool builtin() const { return flags & 0x0020; }
    bool operator==(const DefinedName&) const = default;
};

constexpr int kNameNotKept = -2;

class Workbook {
public:
    std::vector<Sheet> sheets;
    int activeSheet = 0;
    bool dateSystem1904 = false;

    std::vector<Font> fonts;                   // index = file font index with the gap at 4 closed
    std::vector<CellFormat> xfs;               // in file order
    std::map<uint16_t, QString> numberFormats; // FORMAT records: id -> code as stored
    std::array<QRgb, 56> palette = defaultPalette(); // colour indices 8..63

    int biffVersion = 8;  // of the file read: 2, 3, 4, 5 (also Excel 95) or 8
    int codepage = 1200;  // CODEPAGE of the file read (1200 = UTF-16)
    bool japanese = true; // built-in ids 27-36 and 50-58 are the Japanese date formats

    // Defined names and the external-sheet table of an Excel 97 workbook (empty for older
    // versions, whose formulas are written as their results). Print areas are also in
    // Sheet::pageSetup.printArea, which is what the writer follows.
    std::vector<DefinedName> definedNames;
    std::vector<ExternSheet> externSheets;
    // Names of the add-in functions formulas call (EOMONTH, EDATE, ...), in file order.
    std::vector<QString> addInFunctions;
    // Protection of the workbook's structure and windows.
    Protection protection;
    // Kept records of an Excel 97 workbook: the drawing group shared by the sheets'
    // drawings (written before the shared strings) and others of the workbook globals
    // (written before their end).
    std::vector<KeptRecord> keptDrawingGroup;
    std::vector<KeptRecord> keptGlobals;

    // The workbook ClearWorkbook leaves and start-up shows: one empty sheet "Sheet1", the
    // Japanese default font (ＭＳ Ｐゴシック 11 pt, four copies as fonts 0-3) and the 21
    // standard XFs (0-14 and 16-20 style XFs, 15 the default cell format).
    static Workbook createDefault();

    // The number format code of id `id`: the FORMAT record's text when the file had one,
    // else the built-in code ("General", "0.00", ... and for Japanese workbooks the
    // 年月日 date formats of ids 14, 22, 27-36, 50-58); empty for an unknown id.
    QString numberFormatCode(int id) const;
    // The number format code of the cell format `xf` ("General" for an unknown xf).
    QString formatCodeOfXf(int xf) const;
    // The font of cell format `xf` (font 0, or a default font, when out of range).
    const Font& fontOfXf(int xf) const;
    // The colour of colour index `index`; automatic indices give `automatic`.
    QColor color(int index, const QColor& automatic = Qt::black) const;

    static std::array<QRgb, 56> defaultPalette();
    // The built-in code of format id `id` for the given locale, empty when none.
    static QString builtinFormatCode(int id, bool japanese);
};

// "#DIV/0!" etc. for an error code; "#N/A" for an unknown one.
QString errorText(uint8_t code);

// True when a number format code shows dates or times: it contains y, m, d, h or s
// outside quoted text, bracketed parts and escaped characters, and no digit placeholders
// (0 # ?) or fewer of them.
bool isDateFormatCode(const QString& code);

// True when the cell is a number shown as a date or time by its format.
bool isDateCell(const Workbook& book, const Cell& cell);

} // namespace tovera
