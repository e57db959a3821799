#pragma once
// Building formula cells for the writer's tests.

#include "sheet/workbook.h"

#include <QByteArray>
#include <memory>

namespace tovera::testing {

// A formula of the BIFF8 token array `tokens`.
inline std::shared_ptr<const Formula> formula(const QByteArray& tokens) {
    auto f = std::make_shared<Formula>();
    f->tokens = tokens;
    return f;
}

// Puts the number `v` at (row, col) of `s` in the default cell format, as the last result
// of the formula `tokens` when they are given.
inline void setNumber(Sheet& s, int row, int col, double v, const QByteArray& tokens = {}) {
    Cell c;
    c.column = uint16_t(col);
    c.type = CellType::Number;
    c.number = v;
    c.xf = 15;
    if (!tokens.isEmpty()) c.formula = formula(tokens);
    s.setCell(row, c);
}

} // namespace tovera::testing
