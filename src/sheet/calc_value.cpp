// Values of the formula evaluator: reading cells, Excel's coercions between numbers, text
// and booleans, ordering, and the serial numbers of dates.

#include "sheet/calc_internal.h"

#include <QDate>
#include <cmath>

namespace tovera::calc {

Value makeArray(int rows, int columns, std::vector<Value> values) {
    auto m = std::make_shared<Matrix>();
    m->rows = rows;
    m->columns = columns;
    m->values = std::move(values);
    Value v;
    v.kind = Value::Array;
    v.matrix = std::move(m);
    return v;
}

Value valueOfCell(const Cell& c) {
    switch (c.type) {
    case CellType::Empty:
        return {};
    case CellType::Number:
        return Value::num(c.number);
    case CellType::Text:
        return Value::str(c.text);
    case CellType::Bool:
        return Value::boolean_(c.boolValue);
    case CellType::Error:
        return Value::err(c.errorCode);
    }
    return {};
}

Value cellValue(const Workbook& book, int sheet, int row, int column) {
    if (sheet < 0 || size_t(sheet) >= book.sheets.size()) return Value::err(kRef);
    const Cell* c = book.sheets[size_t(sheet)].cell(row, column);
    return c ? valueOfCell(*c) : Value();
}

Value toScalar(Context& ctx, const Value& v) {
    switch (v.kind) {
    case Value::Ref: {
        if (v.areas) return Value::err(kValue);
        const Area& a = v.area;
        if (a.firstSheet != a.lastSheet) return Value::err(kValue);
        const CellRange& r = a.range;
        if (r.firstRow == r.lastRow && r.firstColumn == r.lastColumn)
            return cellValue(ctx.book, a.firstSheet, r.firstRow, r.firstColumn);
        if (r.firstColumn == r.lastColumn) {
            if (ctx.row < r.firstRow || ctx.row > r.lastRow) return Value::err(kValue);
            return cellValue(ctx.book, a.firstSheet, ctx.row, r.firstColumn);
        }
        if (r.firstRow == r.lastRow) {
            if (ctx.column < r.firstColumn || ctx.column > r.lastColumn) return Value::err(kValue);
            return cellValue(ctx.book, a.firstSheet, r.firstRow, ctx.column);
        }
        return Value::err(kValue);
    }
    case Value::Array:
        return v.matrix->values.empty() ? Value::err(kValue) : v.matrix->values.front();
    case Value::Missing:
        return {};
    default:
        return v;
    }
}

double round15(double v) {
    if (v == 0 || !std::isfinite(v)) return v;
    static const double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const int e = int(std::floor(std::log10(std::fabs(v))));
    const int shift = 14 - e;
    if (shift >= 0 && shift <= 22) return std::nearbyint(v * pow10[shift]) / pow10[shift];
    if (shift < 0 && -shift <= 22) return std::nearbyint(v / pow10[-shift]) * pow10[-shift];
    const double scale = std::pow(10.0, shift);
    return std::nearbyint(v * scale) / scale;
}

QString numberText(double v) {
    if (v == 0) return QStringLiteral("0");
    QString s = QString::number(v, 'g', 15);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        // 1E+20, 1.5E-07: the mantissa as it is, the exponent with at least two digits.
        QString mantissa = s.left(e);
        QString exponent = s.mid(e + 1);
        const QChar sign = exponent.front();
        QString digits = exponent.mid(1);
        while (digits.size() > 2 && digits.front() == QLatin1Char('0')) digits.remove(0, 1);
        if (digits.size() < 2) digits.prepend(QLatin1Char('0'));
        s = mantissa + QLatin1Char('E') + sign + digits;
    }
    return s;
}

namespace {

bool readInt(const QString& s, qsizetype& i, int& out, int maxDigits) {
    const qsizetype start = i;
    long v = 0;
    while (i < s.size() && s[i].isDigit() && i - start < maxDigits)
        v = v * 10 + s[i++].digitValue();
    out = int(v);
    return i > start;
}

// "2000/1/2", "2000-1-2", "12:30", "12:30:15", a date and a time.
std::optional<double> parseDateTime(const QString& s, bool date1904) {
    qsizetype i = 0;
    double serial = 0;
    bool any = false;
    int a = 0, b = 0, c = 0;
    const qsizetype save = i;
    if (readInt(s, i, a, 4) && i < s.size() && (s[i] == u'/' || s[i] == u'-')) {
        const QChar sep = s[i++];
        if (!readInt(s, i, b, 2) || i >= s.size() || s[i] != sep) return std::nullopt;
        ++i;
        if (!readInt(s, i, c, 4)) return std::nullopt;
        if (a < 1900 || b < 1 || b > 12 || !QDate::isValid(a, b, c)) return std::nullopt;
        serial = dateSerial(a, b, c, date1904);
        any = true;
        if (i < s.size() && s[i] == u' ') ++i;
    } else {
        i = save;
    }
    if (i < s.size()) {
        int h = 0, m = 0, sec = 0;
        if (!readInt(s, i, h, 2) || i >= s.size() || s[i] != u':') return std::nullopt;
        ++i;
        if (!readInt(s, i, m, 2)) return std::nullopt;
        if (i < s.size() && s[i] == u':') {
            ++i;
            if (!readInt(s, i, sec, 2)) return std::nullopt;
        }
        if (i != s.size() || m > 59 || sec > 59) return std::nullopt;
        serial += (h * 3600.0 + m * 60.0 + sec) / 86400.0;
        any = true;
    }
    return any && i == s.size() ? std::optional<double>(serial) : std::nullopt;
}

} // namespace

std::optional<double> parseNumberText(const QString& input, bool date1904) {
    const QString s = input.trimmed();
    if (s.isEmpty()) return std::nullopt;
    QString plain;
    plain.reserve(s.size());
    qsizetype i = 0;
    if (s[i] == u'+' || s[i] == u'-') plain += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        const QChar ch = s[i];
        if (ch.isDigit() && ch.unicode() < 128) {
            plain += ch;
            digits = true;
        } else if (ch == u',' && digits && !point) {
            continue;
        } else if (ch == u'.' && !point) {
            plain += ch;
            point = true;
        } else {
            break;
        }
    }
    if (digits && i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        QString exp = QStringLiteral("e");
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) exp += s[j++];
        const qsizetype start = j;
        while (j < s.size() && s[j].isDigit() && s[j].unicode() < 128) exp += s[j++];
        if (j > start) {
            plain += exp;
            i = j;
        }
    }
    bool percent = false;
    if (digits && i < s.size() && s[i] == u'%') {
        percent = true;
        ++i;
    }
    if (digits && i == s.size()) {
        bool ok = false;
        double v = plain.toDouble(&ok);
        if (!ok || !std::isfinite(v)) return std::nullopt;
        return percent ? v / 100 : v;
    }
    return parseDateTime(s, date1904);
}

Value toNumber(const Value& v) {
    switch (v.kind) {
    case Value::Number:
        return v;
    case Value::Empty:
    case Value::Missing:
        return Value::num(0);
    case Value::Bool:
        return Value::num(v.boolean ? 1 : 0);
    case Value::Text: {
        if (const auto n = parseNumberText(v.text, false)) return Value::num(*n);
        return Value::err(kValue);
    }
    case Value::Err:
        return v;
    default:
        return Value::err(kValue);
    }
}

Value toText(const Value& v) {
    switch (v.kind) {
    case Value::Text:
        return v;
    case Value::Number:
        return Value::str(numberText(v.number));
    case Value::Bool:
        return Value::str(v.boolean ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    case Value::Err:
        return v;
    case Value::Empty:
    case Value::Missing:
        return Value::str(QString());
    default:
        return Value::err(kValue);
    }
}

Value toBool(const Value& v) {
    switch (v.kind) {
    case Value::Bool:
        return v;
    case Value::Number:
        return Value::boolean_(v.number != 0);
    case Value::Empty:
    case Value::Missing:
        return Value::boolean_(false);
    case Value::Text:
        if (v.text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
            return Value::boolean_(true);
        if (v.text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            return Value::boolean_(false);
        return Value::err(kValue);
    case Value::Err:
        return v;
    default:
        return Value::err(kValue);
    }
}

int compareValues(const Value& x, const Value& y) {
    auto rank = [](Value::Kind k) { return k == Value::Number ? 0 : k == Value::Text ? 1 : 2; };
    Value a = x, b = y;
    const bool ae = a.kind == Value::Empty || a.kind == Value::Missing;
    const bool be = b.kind == Value::Empty || b.kind == Value::Missing;
    if (ae && be) return 0;
    auto emptyLike = [](const Value& other) {
        if (other.kind == Value::Number) return Value::num(0);
        if (other.kind == Value::Text) return Value::str(QString());
        return Value::boolean_(false);
    };
    if (ae) a = emptyLike(b);
    if (be) b = emptyLike(a);
    if (a.kind != b.kind) return rank(a.kind) < rank(b.kind) ? -1 : 1;
    switch (a.kind) {
    case Value::Number: {
        const double p = round15(a.number), q = round15(b.number);
        return p < q ? -1 : p > q ? 1 : 0;
    }
    case Value::Text: {
        const int c = a.text.compare(b.text, Qt::CaseInsensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    case Value::Bool:
        return int(a.boolean) - int(b.boolean);
    default:
        return 0;
    }
}

namespace {
const qint64 kDay0 = QDate(1899, 12, 31).toJulianDay();
const qint64 kDay0Of1904 = QDate(1904, 1, 1).toJulianDay();
} // namespace

double dateSerial(int year, int month, int day, bool date1904) {
    // Months and days outside their range roll over into the next or earlier ones.
    year += (month - 1) >= 0 ? (month - 1) / 12 : -((12 - month) / 12);
    month = ((month - 1) % 12 + 12) % 12 + 1;
    const qint64 jd = QDate(year, month, 1).toJulianDay() + (day - 1);
    if (date1904) return double(jd - kDay0Of1904);
    qint64 serial = jd - kDay0;
    if (serial >= 60) ++serial; // the 29th of February 1900 the 1900 system counts
    return double(serial);
}

bool serialToDate(double serial, bool date1904, int& year, int& month, int& day) {
    if (!(serial >= 0) || serial >= 2958466) return false;
    qint64 s = qint64(std::floor(serial));
    if (date1904) {
        QDate(QDate::fromJulianDay(kDay0Of1904 + s)).getDate(&year, &month, &day);
        return true;
    }
    if (s == 0) {
        year = 1900;
        month = 1;
        day = 0;
        return true;
    }
    if (s == 60) {
        year = 1900;
        month = 2;
        day = 29;
        return true;
    }
    if (s > 60) --s;
    QDate::fromJulianDay(kDay0 + s).getDate(&year, &month, &day);
    return true;
}

Value Table::at(int r, int c) const {
    if (matrix) return matrix->at(r, c);
    if (book)
        return cellValue(*book, area.firstSheet, area.range.firstRow + r,
                         area.range.firstColumn + c);
    return scalar;
}

std::optional<Table> toTable(Context& ctx, const Value& v) {
    Table t;
    if (v.kind == Value::Ref) {
        if (v.areas || v.area.firstSheet != v.area.lastSheet) return std::nullopt;
        t.book = &ctx.book;
        t.area = v.area;
        t.rows = v.area.rows();
        t.columns = v.area.columns();
    } else if (v.kind == Value::Array) {
        t.matrix = v.matrix;
        t.rows = v.matrix->rows;
        t.columns = v.matrix->columns;
    } else {
        t.scalar = v.kind == Value::Missing ? Value() : v;
    }
    return t;
}

} // namespace tovera::calc
