#pragma once
// Pieces shared by the workbook writer's source files.

#include "sheet/biff.h"
#include "sheet/workbook.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace tovera::xlswrite {

constexpr int kMaxRecordData = 8224;

// The data of one record, built little-endian.
class Body {
public:
    Body& u8(unsigned v) {
        b_.append(char(v & 0xFF));
        return *this;
    }
    Body& u16(unsigned v) { return u8(v).u8(v >> 8); }
    Body& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Body& f64(double v);
    Body& raw(const QByteArray& bytes) {
        b_.append(bytes);
        return *this;
    }
    // A string with a 16-bit (str16) or 8-bit (str8) character count and the flag byte;
    // 8-bit characters when every code unit is below 0x100.
    Body& str16(const QString& s);
    Body& str8(const QString& s);
    const QByteArray& bytes() const { return b_; }
    int size() const { return static_cast<int>(b_.size()); }

private:
    QByteArray b_;
};

// A record stream being written.
class Stream {
public:
    void record(uint16_t id, const QByteArray& data);
    void record(uint16_t id, const Body& body) { record(id, body.bytes()); }
    // A record holding one string (STRING, or similar) continued over CONTINUE records
    // with the repeated flag byte when it does not fit.
    void stringRecord(uint16_t id, const QString& s);
    qsizetype pos() const { return data_.size(); }
    QByteArray& data() { return data_; }

private:
    QByteArray data_;
};

bool isCompressible(const QString& s);

// The unique strings of the workbook, in order of first use.
class StringTable {
public:
    int add(const QString& text, const QList<TextRun>& runs);
    struct Entry {
        QString text;
        QList<TextRun> runs;
    };
    const std::vector<Entry>& entries() const { return entries_; }
    uint32_t total() const { return total_; }

private:
    QHash<QString, int> index_;
    std::vector<Entry> entries_;
    uint32_t total_ = 0;
};

enum : uint8_t { kSheetsXti, kWorkbookXti, kAddInXti };

// How the model's indices become the file's.
struct Mapping {
    std::vector<uint16_t> xf; // model XF -> file XF
    uint16_t defaultXf = 15;  // for an out-of-range XF
    uint16_t fontFileIndex(int modelFont, int fontCount) const {
        if (modelFont < 0 || modelFont >= fontCount) return 0;
        return uint16_t(modelFont < 4 ? modelFont : modelFont + 1);
    }
    int fontCount = 0;
    uint16_t mapXf(int modelXf) const {
        return modelXf >= 0 && size_t(modelXf) < xf.size() ? xf[size_t(modelXf)] : defaultXf;
    }
    std::vector<int> xti;         // model external-sheet entry -> file XTI, -1 when not written
    std::vector<uint8_t> xtiKind; // per model entry: kSheetsXti, kWorkbookXti or kAddInXti
    size_t addIns = 0;            // add-in function names written
    std::map<std::pair<int, int>, int> sheetXti; // (first, last) sheet -> file XTI
    std::vector<int> names; // model defined name -> file name (both 0-based), -1 when not written
};

// One XTI as written: SUPBOOK 0 is the workbook itself, 1 the add-in functions.
struct Xti {
    uint16_t supBook = 0;
    uint16_t first = 0xFFFF; // 0xFFFF deleted sheet, 0xFFFE the whole workbook
    uint16_t last = 0xFFFF;
};

// The external-sheet table, the add-in functions and the NAME records to write.
struct References {
    std::vector<Xti> xti;
    std::vector<QString> addIns;   // EXTERNNAME records after the add-in SUPBOOK
    std::vector<QByteArray> names; // NAME record bodies in file order
};

// Plans the references of `book` (its sheets as they will be written): keeps the model's
// external-sheet entries at their numbers, adds one for each print area's sheet, and keeps
// each defined name the file can hold, with the print areas of Sheet::pageSetup in place of
// the model's print-area names (one per sheet). Fills map.xti and map.names. Never fails.
References planReferences(const Workbook& book, Mapping& map);

// Writes the SUPBOOKs with the add-in EXTERNNAMEs and EXTERNSHEET (when there are XTIs)
// and the NAME records.
void writeReferences(Stream& out, int sheetCount, const References& refs);

// The BIFF8 `tokens` of a cell formula renumbered to the file's XTIs and names in `out`;
// false when they cannot be written: unknown or shared-formula tokens, references to
// other workbooks, to entries, names or add-in functions not written. `allowExp` admits a
// lone array reference (ptgExp).
bool remapTokens(const QByteArray& tokens, const Mapping& map, bool allowExp, QByteArray& out);

// Notes the workbook holds that no kept record carries (read from an .xlsx or an Excel 2-95
// file): written when the workbook keeps no drawings of its own, at most 1023 per sheet.
constexpr size_t kMaxNotesPerSheet = 1023; // the shapes of one drawing's identifier cluster
struct NotesPlan {
    std::vector<int> drawingOf; // per sheet: the drawing its notes go in (from 1), 0 none
    QByteArray drawingGroup;    // the MSODRAWINGGROUP data naming those drawings; empty: none
};
NotesPlan planNotes(const Workbook& book);

// Writes the drawing, objects, text boxes and NOTE records of the notes of `sheet` as
// drawing `drawing` of the plan; nothing for drawing 0.
void writeNotes(Stream& out, const Sheet& sheet, int drawing);

// Writes the substream of sheet `index` (BOF to EOF); its notes go in drawing
// `noteDrawing` (0: none written).
QByteArray sheetStream(const Workbook& book, int index, const Mapping& map, StringTable& sst,
                       int noteDrawing = 0);

// True when the file's external-sheet entries and defined names keep the model's numbers,
// so formulas inside kept records (validation, conditional formats) still point where
// they did.
bool referencesKeepNumbers(const Mapping& map);

// Kept records whose formulas need the model's numbers: conditional formats and data
// validation.
bool keptRecordHasFormulas(uint16_t id);

// Appends `records` to `out`, leaving out those with formulas (and their CONTINUE records)
// unless `withFormulas`.
void writeKept(Stream& out, const std::vector<KeptRecord>& records, bool withFormulas);

// The BIFF8 form in `out` of the tokens of an Excel 5/95 formula (strings decoded with
// `decoder`); false when they cannot be converted: names, array constants
// and cached areas (any `extra` data), array and table references, unknown tokens, or jumps
// that do not land on a token.
// 3-D references take the XTI `sheetXti(first, last)` gives for their model sheets (-1:
// not convertible; an empty function converts none).
bool convertBiff5Tokens(const QByteArray& tokens, const QByteArray& extra,
                        const biff::CodepageDecoder& decoder,
                        const std::function<int(int, int)>& sheetXti, QByteArray& out);

// True when the BIFF8 tokens (with their extra data) can be written as they are without any
// name or external-sheet table: no references to defined names, other sheets or workbooks,
// no shared-formula tokens and no unknown tokens. `allowExp` admits a lone array
// reference (ptgExp).
bool tokensSelfContained(const QByteArray& tokens, bool allowExp);

} // namespace tovera::xlswrite
