#pragma once
// Pieces shared by the .xlsx reader's source files: the guarded XML cursor, the state of
// one reading and the parts read one after another. Internal to the reader.

#include "sheet/workbook.h"
#include "sheet/xlsxzip.h"

#include <QHash>
#include <QXmlStreamReader>
#include <optional>
#include <vector>

namespace tovera::xlsx {

// Walks the elements of one XML part. Refuses a DTD (and with it every entity
// declaration), nesting deeper than kMaxDepth and malformed XML, naming the file.
class Xml {
public:
    static constexpr int kMaxDepth = 64;
    Xml(const QByteArray& data, const QString& file, const QString& part);
    // Moves to the next start or end element; false at the end of the document.
    bool next();
    bool isStart() const { return start_; }
    bool isEnd() const { return !start_; }
    // The local name of the current element ("c", "row", ...).
    QStringView name() const { return r_.name(); }
    bool is(const char* local) const { return start_ && r_.name() == QLatin1String(local); }
    bool endOf(const char* local) const { return !start_ && r_.name() == QLatin1String(local); }
    QString attr(const char* local) const;
    bool hasAttr(const char* local) const;
    int intAttr(const char* local, int fallback) const;
    double doubleAttr(const char* local, double fallback) const;
    // "1"/"true" true, "0"/"false" false, else `fallback`.
    bool boolAttr(const char* local, bool fallback) const;
    // The text of the current element, children included; leaves the cursor on its end.
    QString text();
    // Skips the current element and everything in it.
    void skip();
    int depth() const { return depth_; }

private:
    [[noreturn]] void fail(const QString& cause) const;
    QXmlStreamReader r_;
    QString file_;
    QString part_;
    int depth_ = 0;
    bool start_ = false;
};

// A colour as the styles give it, before it becomes a colour index of the model.
struct PendingColors {
    std::vector<QRgb> rgb;   // colours given as RGB or theme, in order of first use
    std::vector<QRgb> theme; // the theme's twelve colours, in the file's index order
    std::vector<bool> indexedUsed = std::vector<bool>(64, false);
    // A colour element's attributes as a colour index: indexed as is, RGB and theme
    // colours as 0x8000 + position in `rgb`; `automatic` for auto or nothing.
    uint16_t read(const Xml& x, uint16_t automatic);
};

// A shared or inline string with its runs.
struct RichText {
    QString text;
    QList<TextRun> runs;
};

// A formula seen in a sheet, turned into tokens once every sheet and name is known.
struct PendingFormula {
    int sheet = 0;
    int row = 0;
    int column = 0;
    QString text;         // without the leading "="
    bool array = false;   // the top-left cell of an array formula
    CellRange arrayRange; // its cells
};

struct PendingName {
    int index = 0; // into Workbook::definedNames
    QString text;
    int sheet = -1;
};

struct Context {
    QString name;
    Workbook book;
    int xfBase = 0; // model index of the file's cell format 0
    std::vector<RichText> strings;
    PendingColors colors;
    std::vector<PendingFormula> formulas;
    std::vector<PendingName> names;
    size_t cellBudget = 4u << 20;
    QHash<QString, int> fontIndex; // run fonts already added, by their key
};

// Resolves the path `target` of a relationship against the folder of `part`.
QString resolvePart(const QString& part, const QString& target);
// Relationship id -> (type, resolved target) of the relationships of `part`.
QHash<QString, std::pair<QString, QString>> readRelationships(Archive& zip, Context& ctx,
                                                              const QString& part);

// "#DIV/0!" -> 0x07 ...; nullopt for an unknown error text.
std::optional<uint8_t> errorCodeOf(QStringView text);
// "B12" -> row 11, column 1; false when `ref` is no A1 reference ("$" allowed).
bool parseCellRef(QStringView ref, int& row, int& column);
// "A1:C3" or "B2" -> the range; false when unreadable.
bool parseRangeRef(QStringView ref, CellRange& range);
// Strings of the files decode "_xHHHH_" escapes.
QString decodeEscapes(const QString& s);
// A formula of a shared group moved by (rows, columns): relative A1 references shift.
QString shiftFormula(const QString& formula, int rows, int columns);

void readTheme(Archive& zip, Context& ctx, const QString& part);
void readStyles(Archive& zip, Context& ctx, const QString& part);
void readSharedStrings(Archive& zip, Context& ctx, const QString& part);
// Reads a string item (<si> or <is>) whose start the cursor is on.
RichText readRichText(Xml& x, Context& ctx);
void readWorksheet(Archive& zip, Context& ctx, const QString& part, Sheet& sheet, int index);
// Turns pending colours into palette indices (reusing or replacing palette entries).
void resolveColors(Context& ctx);

} // namespace tovera::xlsx
