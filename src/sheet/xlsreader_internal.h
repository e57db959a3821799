#pragma once
// Shared state of one workbook read: the decoded stream, the workbook being filled and the
// tables the sheets refer to (shared strings, external sheet list). Internal to the reader.

#include "sheet/biff.h"
#include "sheet/workbook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace tovera::xlsread {

struct RichString {
    QString text;
    QList<TextRun> runs;
};

struct BoundSheet {
    size_t offset = 0;
    int visibility = 0;
    int type = 0; // 0 worksheet, 1 macro sheet, 2 chart, 6 VB module
    QString name;
    int modelIndex = -1; // index in Workbook::sheets, -1 when not read as a worksheet
};

struct PrintAreaName {
    int boundSheet = -1; // BOUNDSHEET index the name is local to
    std::vector<CellRange> ranges;
};

// One XTI of EXTERNSHEET as stored.
struct ExternRef {
    uint16_t supBook = 0;
    uint16_t first = 0;
    uint16_t last = 0;
};

// A NAME record as read, before its sheet is known in the model.
struct NameEntry {
    DefinedName name;
    int boundSheet = -1; // BOUNDSHEET index the name is local to, -1 global
    bool damaged = false;
};

struct Context {
    QString name;                 // for messages
    QByteArray* stream = nullptr; // decrypted in place when encrypted
    int biff = 8;
    biff::CodepageDecoder decoder{932};
    bool sawCodepage = false;
    Workbook book;
    std::vector<RichString> sst;
    std::vector<BoundSheet> boundSheets;
    std::vector<PrintAreaName> printAreas;
    std::vector<bool> ownSupBook;     // per SUPBOOK: true for the workbook itself
    int addInSupBook = -1;            // the SUPBOOK of the add-in functions, -1 when none
    bool inAddInSupBook = false;      // EXTERNNAME records now name add-in functions
    std::vector<ExternRef> xtis;      // BIFF8 EXTERNSHEET entries
    std::vector<NameEntry> names;     // BIFF8 NAME records in file order
    std::vector<bool> biff5OwnSheets; // per BIFF5 EXTERNSHEET: a sheet of this workbook
    int formatCount = 0;              // FORMAT records seen (positional ids of BIFF2-4)
    bool countryJapan = false;
    bool otherEastAsian = false; // Chinese or Korean settings: ids 27-36 mean other formats
    size_t cellBudget = 0;       // cells that may still be created
    int biff2FontColorTarget = -1;
    std::map<uint32_t, int> biff2AttrXf; // synthesized XFs of BIFF2 cell attributes
    // When set, damage is noted here and reading goes on with what is left; when null,
    // damage raises.
    QStringList* salvageNotes = nullptr;
};

// Reports damage of the file: raises the reader's damage error, or in a salvage read adds
// the text to the notes and returns.
void reportDamage(Context& ctx, const QString& cause);

// The model font index of a file font index (the file has no font 4).
inline uint16_t fontIndex(uint32_t fileIndex) {
    return uint16_t(fileIndex >= 4 ? (fileIndex > 4 ? fileIndex - 1 : 0) : fileIndex);
}

// Byte strings of BIFF2-7 (8- and 16-bit counts) decoded in the workbook code page.
QString byteString8(Context& ctx, biff::Cursor& c);
QString byteString16(Context& ctx, biff::Cursor& c);

// Handles a workbook-globals record (fonts, formats, XFs, palette, date system, code
// page ...). Returns false for records that are not globals records.
bool handleGlobalsRecord(Context& ctx, const biff::Record& r);

// Handles a sheet record of geometry, view or printing; false for other records.
bool handleLayoutRecord(Context& ctx, Sheet& sheet, const biff::Record& r);

// PROTECT, PASSWORD, OBJPROTECT and SCENPROTECT of a sheet into its protection, PANE into
// its panes; false for other records.
bool sheetProtectionRecord(Sheet& sheet, const biff::Record& r);

// NAME, SUPBOOK and EXTERNSHEET records of the globals.
void readName(Context& ctx, const biff::Record& r);
void readSupBook(Context& ctx, const biff::Record& r);
void readExternName(Context& ctx, const biff::Record& r);
void readExternSheet(Context& ctx, const biff::Record& r);
// Once the sheets are read: print areas into the sheets' page setup, and (BIFF8) the defined
// names and the external-sheet table into the workbook, with sheets renumbered to the
// model's.
void finishReferences(Context& ctx);

// Reads the sheet substream whose BOF header is at `offset` into `sheet`.
void readSheet(Context& ctx, size_t offset, Sheet& sheet);

// The ordinary tokens of a BIFF8 shared formula for the cell (row, column); false when the
// token array cannot be decoded.
bool resolveSharedTokens(const QByteArray& shared, int row, int column, QByteArray& out);

// True when BIFF8 tokens have data after them (array constants, cached areas) or cannot
// be decoded.
bool tokensNeedExtra(const QByteArray& tokens);

// Gives the 3-D tokens of BIFF5 `tokens` the model's sheet numbers in their sheet fields
// (`modelSheet` maps BOUNDSHEET indices, -1 for a sheet not kept); a token that refers to
// another workbook or to a sheet not kept gets the EXTERNSHEET index 0, which the writer
// does not convert. False when nothing changed.
bool renumberBiff5Sheets(QByteArray& tokens, const std::vector<bool>& ownSheets,
                         const std::vector<int>& modelSheet);

// The BIFF8 print-area ranges of a NAME formula; empty when it is not a plain area list.
std::vector<CellRange> printAreaRanges(const QByteArray& tokens, int biff);

} // namespace tovera::xlsread
