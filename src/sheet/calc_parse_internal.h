#pragma once
// Pieces shared by the formula parser and the token writer: the parsed expression, the
// error a typed formula is refused with, and the writer of tokens. Internal to the engine.

#include "sheet/calc_internal.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace tovera::calc {

// A parsed expression before it becomes tokens.
struct Expr {
    enum Kind {
        Number,
        Text,
        Bool,
        Error,
        Ref,
        Name,
        Unary,
        Binary,
        Percent,
        Paren,
        Call,
        Missing
    };
    Kind kind = Number;
    double number = 0;
    QString text;
    uint8_t code = 0; // operator token, error code
    int function = -1;
    // References: sheets (-1 = the formula's own) and the fields.
    int firstSheet = -1, lastSheet = -1;
    calc::RefField a, b;
    bool area = false;
    int name = -1;
    std::vector<Expr> children;
};

struct ParseError {
    QString message;
};

// Writes the tokens of an expression in the layout of the workbook's BIFF version.
class Writer {
public:
    Writer(Workbook& book, int sheet) : book_(book), sheet_(sheet), b8_(book.biffVersion == 8) {}

    void write(const Expr& e, int cls); // cls: 0x20 reference, 0x40 value, 0x60 array
    QByteArray tokens;
    bool isVolatile = false;

private:
    void u8(unsigned v) { tokens.append(char(v & 0xFF)); }
    void u16(unsigned v) {
        u8(v);
        u8(v >> 8);
    }
    void refFields(const calc::RefField& f);
    void areaFields(const calc::RefField& a, const calc::RefField& b);
    void string(const QString& s);
    int externSheet(int first, int last);

    Workbook& book_;
    int sheet_;
    bool b8_;
};

} // namespace tovera::calc
