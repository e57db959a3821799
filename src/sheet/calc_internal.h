#pragma once
// Pieces shared by the formula evaluator's source files: the values a formula computes
// with, the evaluation context and the worksheet function table. Internal to the engine.

#include "sheet/workbook.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tovera::calc {

enum Error : uint8_t {
    kNull = 0x00,
    kDiv0 = 0x07,
    kValue = 0x0F,
    kRef = 0x17,
    kName = 0x1D,
    kNum = 0x24,
    kNA = 0x2A,
};

// A rectangle of cells on one sheet or on a run of sheets (a 3-D reference).
struct Area {
    int firstSheet = 0;
    int lastSheet = 0;
    CellRange range;
    bool single() const {
        return range.firstRow == range.lastRow && range.firstColumn == range.lastColumn &&
               firstSheet == lastSheet;
    }
    int rows() const { return range.lastRow - range.firstRow + 1; }
    int columns() const { return range.lastColumn - range.firstColumn + 1; }
};

struct Matrix;

// One value of the evaluation stack.
struct Value {
    // FuncName: the name of a function called through id 255 (`text`).
    enum Kind : uint8_t { Empty, Number, Text, Bool, Err, Ref, Array, Missing, FuncName };
    Kind kind = Empty;
    bool boolean = false;
    bool arrayForm = false; // a reference of array class: operators take it whole
    uint8_t error = 0;
    double number = 0;
    QString text;
    Area area;                                // Ref: the (first) area
    std::shared_ptr<std::vector<Area>> areas; // Ref of several areas (a union): all of them
    std::shared_ptr<const Matrix> matrix;     // Array

    static Value num(double v) {
        Value r;
        r.kind = Number;
        r.number = v;
        return r;
    }
    static Value str(QString s) {
        Value r;
        r.kind = Text;
        r.text = std::move(s);
        return r;
    }
    static Value boolean_(bool b) {
        Value r;
        r.kind = Bool;
        r.boolean = b;
        return r;
    }
    static Value err(uint8_t code) {
        Value r;
        r.kind = Err;
        r.error = code;
        return r;
    }
    static Value ref(const Area& a) {
        Value r;
        r.kind = Ref;
        r.area = a;
        return r;
    }
    bool isError() const { return kind == Err; }
    // The areas of a reference (one or several).
    std::vector<Area> allAreas() const { return areas ? *areas : std::vector<Area>{area}; }
};

struct Matrix {
    int rows = 0;
    int columns = 0;
    std::vector<Value> values; // row by row, never references or arrays
    const Value& at(int r, int c) const { return values[size_t(r) * size_t(columns) + size_t(c)]; }
};

Value makeArray(int rows, int columns, std::vector<Value> values);

using Args = std::vector<Value>;

// What a formula being evaluated needs from outside.
struct Context {
    const Workbook& book;
    int sheet = 0; // the formula's own cell
    int row = 0;
    int column = 0;
    bool arrayMode = false;       // an array formula: ranges stay arrays under operators
    CellRange arrayRange;         // the cells of that array formula
    bool localeDependent = false; // the result depends on the computer's language settings
    bool unsupported = false;     // set when something cannot be evaluated: keep the stored value
    bool volatileUsed = false;
    QString reason;   // what could not be evaluated, for reports
    int depth = 0;    // names inside names
    double today = 0; // serial of today's date, and now with the time of day
    double now = 0;
    // Buffers reused from one formula to the next: the stack and the arguments of each
    // level of names.
    std::array<std::vector<Value>, 18> stacks;
    std::array<Args, 18> argBuffers;
    explicit Context(const Workbook& b) : book(b) {}
};

// The value a cell holds.
Value valueOfCell(const Cell& cell);
// The value of a cell (Empty for none).
Value cellValue(const Workbook& book, int sheet, int row, int column);

// The payload size of the token at `p` in the layout of BIFF version `biff`; -1 when the
// token is unknown or runs past `end`.
long tokenPayloadSize(const uint8_t* p, const uint8_t* end, int biff);

// A row and column field pair of a reference token: BIFF8 `u16 row, u16 column` with the
// relative flags in the column word, older versions `u16 row, u8 column` with the flags
// in the row word.
struct RefField {
    int row = 0;
    int column = 0;
    bool rowRelative = false;
    bool columnRelative = false;
};
RefField readRef(const uint8_t* p, int biff);
// The offsets of a relative-offset token (ptgRefN, ptgAreaN) turned into the address for
// the cell (row, column).
void resolveRelative(RefField& f, int biff, int row, int column);

// The area a reference token of base id `base` (0x04 ref, 0x05 area, 0x0A-0x0D, 0x1A-0x1D)
// with payload `q` names for a formula in cell (ownSheet, ownRow, ownColumn).
enum class RefKind { Area, Error, Unsupported };
RefKind decodeReference(const Workbook& book, int base, const uint8_t* q, int ownSheet, int ownRow,
                        int ownColumn, Area& out);

// The values of the array constant a ptgArray token keeps in a formula's extra data at
// `pos` (BIFF version `biff`; text of BIFF5 and older in `codepage`), row by row, and its
// size; `pos` steps past it. False for data cut short or a value of unknown type.
bool readArrayConstant(const QByteArray& extra, qsizetype& pos, int biff, int codepage, int& rows,
                       int& columns, std::vector<Value>& values);

// The evaluation of `tokens` (in the workbook's BIFF layout, `extra` following) for the
// cell of `ctx`; nothing when it cannot be evaluated (unknown token, unsupported function,
// name or external reference).
std::optional<Value> evaluateTokens(Context& ctx, const QByteArray& tokens,
                                    const QByteArray& extra);

// --- coercions -------------------------------------------------------------------------

// The single value a reference or array stands for in a value position (implicit
// intersection with the formula's row or column; the first element of an array).
Value toScalar(Context& ctx, const Value& v);
// Number of a scalar: Err on failure (text that is no number, an error).
Value toNumber(const Value& v);
// Text of a scalar (numbers with up to 15 significant digits).
Value toText(const Value& v);
// Boolean of a scalar.
Value toBool(const Value& v);
QString numberText(double v);
std::optional<double> parseNumberText(const QString& s, bool date1904);
// Excel's ordering of two scalars: -1, 0, 1 (text case-insensitive; numbers < text < bool).
int compareValues(const Value& a, const Value& b);
// A number rounded to 15 significant digits.
double round15(double v);

// --- functions --------------------------------------------------------------------------

using FunctionImpl = Value (*)(Context& ctx, Args& args);

struct FunctionInfo {
    const char* name = nullptr;
    int fixedArgs = -1; // argument count of ptgFunc tokens, -1 when only ptgFuncVar
    FunctionImpl impl = nullptr;
    bool isVolatile = false;
    // Arguments that stay references (the rest become values before the call): a bit per
    // argument position, bit 31 for every later one.
    uint32_t refArgs = 0;
};

// The function of built-in id `id`, null when unknown.
const FunctionInfo* functionById(int id);
// The id of the built-in function `name` (case-insensitive), -1 when unknown.
int functionIdByName(const QString& name);
// Implementations of the functions called by name (the newer functions Excel 97 stores
// under "_xlfn." names, add-in functions): null when not supported.
FunctionImpl functionByName(const QString& name);

// Argument helpers: false (with `failure` set to the error to return) when argument `i`
// is an error or does not convert; a missing argument gives `fallback`.
bool argNumber(const Args& args, size_t i, double& out, Value& failure, double fallback = 0);
bool argText(const Args& args, size_t i, QString& out, Value& failure);
bool argBool(const Args& args, size_t i, bool& out, Value& failure, bool fallback = false);
inline bool hasArg(const Args& args, size_t i) {
    return i < args.size() && args[i].kind != Value::Missing;
}

// Steps `pos` over the list of areas that a ptgMemArea token keeps in a formula's extra data
// (a count, then 8 bytes an area in BIFF8, 6 before). False when the data ends first.
inline bool skipAreaList(const QByteArray& extra, qsizetype& pos, bool biff8) {
    if (pos + 2 > extra.size()) return false;
    const auto* e = reinterpret_cast<const uint8_t*>(extra.constData()) + pos;
    pos += 2 + qsizetype(e[0] | (e[1] << 8)) * (biff8 ? 8 : 6);
    return true;
}

// --- helpers shared by the function files ------------------------------------------------

// Wildcard match of text: * any run, ? one character, ~ escapes (case-insensitive).
bool wildcardMatch(const QString& pattern, const QString& text);

// Dates: serial numbers of the workbook's date system.
double dateSerial(int year, int month, int day, bool date1904);
bool serialToDate(double serial, bool date1904, int& year, int& month, int& day);

// The rows x columns of values an argument holds, read on demand: a one-sheet reference
// read from the sheet, an array, or one scalar as 1x1.
struct Table {
    const Workbook* book = nullptr;
    Area area;
    std::shared_ptr<const Matrix> matrix;
    Value scalar;
    int rows = 1;
    int columns = 1;
    Value at(int r, int c) const;
};
// Nothing for a reference of several areas or sheets.
std::optional<Table> toTable(Context& ctx, const Value& v);

// Calls `visit(row, cell)` for every cell `sheet` stores inside `range`, row by row.
template <typename Visit>
void forEachCell(const Sheet& sheet, const CellRange& range, Visit&& visit) {
    auto row = std::lower_bound(sheet.rows.begin(), sheet.rows.end(), range.firstRow,
                                [](const Row& r, int index) { return r.index < index; });
    for (; row != sheet.rows.end() && row->index <= range.lastRow; ++row) {
        auto c = std::lower_bound(row->cells.begin(), row->cells.end(), range.firstColumn,
                                  [](const Cell& x, int col) { return x.column < col; });
        for (; c != row->cells.end() && c->column <= range.lastColumn; ++c) visit(row->index, *c);
    }
}

// Calls `visit(value, inRange)` for every value a reference (cells that hold a value),
// an array or a scalar holds; `inRange` is true for values read from cells or arrays.
template <typename Visit> void forEachValue(Context& ctx, const Value& v, Visit&& visit) {
    if (v.kind == Value::Ref) {
        const Area* first = v.areas ? v.areas->data() : &v.area;
        const Area* last = v.areas ? first + v.areas->size() : first + 1;
        for (const Area* ap = first; ap != last; ++ap) {
            const Area& a = *ap;
            for (int s = a.firstSheet; s <= a.lastSheet; ++s) {
                if (s < 0 || size_t(s) >= ctx.book.sheets.size()) {
                    visit(Value::err(kRef), true);
                    continue;
                }
                forEachCell(ctx.book.sheets[size_t(s)], a.range, [&](int, const Cell& c) {
                    if (c.hasValue()) visit(valueOfCell(c), true);
                });
            }
        }
    } else if (v.kind == Value::Array) {
        for (const Value& x : v.matrix->values) visit(x, true);
    } else {
        visit(v, false);
    }
}

// Calls `visit(value, inRange, failure)` for every value of the arguments (missing ones
// skipped, `inRange` as for forEachValue) until an error value, which goes into `failure`, or
// until `visit` returns false after setting `failure`. False then.
template <typename Visit>
bool eachValue(Context& ctx, const Args& args, Value& failure, Visit&& visit) {
    bool ok = true;
    for (const Value& a : args) {
        if (a.kind == Value::Missing) continue;
        forEachValue(ctx, a, [&](const Value& v, bool inRange) {
            if (!ok) return;
            if (v.kind == Value::Err) {
                failure = v;
                ok = false;
            } else {
                ok = visit(v, inRange, failure);
            }
        });
        if (!ok) return false;
    }
    return true;
}

// The numbers of the arguments as SUM sees them: numbers in references and arrays (text,
// booleans and empty cells there skipped), single arguments converted. False with
// `failure` at the first error.
template <typename Visit>
bool eachNumber(Context& ctx, const Args& args, Value& failure, Visit&& visit) {
    return eachValue(ctx, args, failure, [&](const Value& v, bool inRange, Value& error) {
        if (v.kind == Value::Number) {
            visit(v.number);
        } else if (!inRange) {
            const Value n = toNumber(v);
            if (n.isError()) {
                error = n;
                return false;
            }
            visit(n.number);
        }
        return true;
    });
}

} // namespace tovera::calc
