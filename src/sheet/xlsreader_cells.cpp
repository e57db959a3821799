#include "sheet/xlsreader_cells.h"

#include <charconv>
#include <cmath>
#include <string>

namespace tovera {

QString shortestDouble(double value) {
    if (std::isnan(value)) return QStringLiteral("nan");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string sci(buf, res.ptr);
    // sci: [-]d[.ddd]e(+|-)XX
    bool negative = false;
    size_t i = 0;
    if (sci[0] == '-') {
        negative = true;
        i = 1;
    }
    const size_t e = sci.find('e');
    std::string digits;
    for (size_t k = i; k < e; ++k)
        if (sci[k] != '.') digits += sci[k];
    const int exponent = std::stoi(sci.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int decpt = exponent + 1; // position of the decimal point after the first digit
    std::string out = negative ? "-" : "";
    if (decpt > -4 && decpt <= 16) {
        if (decpt <= 0) {
            out.append("0.");
            out.append(size_t(-decpt), '0');
            out.append(digits);
        } else if (size_t(decpt) >= digits.size()) {
            out.append(digits);
            out.append(size_t(decpt) - digits.size(), '0');
            out.append(".0");
        } else {
            out.append(digits, 0, size_t(decpt));
            out.push_back('.');
            out.append(digits, size_t(decpt), std::string::npos);
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) {
            out.push_back('.');
            out.append(digits, 1, std::string::npos);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += exp;
    }
    return QString::fromLatin1(out.c_str());
}

QString escapeCellText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

QStringList cellLines(const Workbook& book) {
    QStringList lines;
    for (size_t s = 0; s < book.sheets.size(); ++s) {
        for (const Row& row : book.sheets[s].rows) {
            for (const Cell& cell : row.cells) {
                QString type, value;
                switch (cell.type) {
                case CellType::Empty:
                    continue;
                case CellType::Text:
                    type = QStringLiteral("text");
                    value = escapeCellText(cell.text);
                    break;
                case CellType::Number:
                    type =
                        isDateCell(book, cell) ? QStringLiteral("date") : QStringLiteral("number");
                    value = shortestDouble(cell.number);
                    break;
                case CellType::Bool:
                    type = QStringLiteral("bool");
                    value = cell.boolValue ? QStringLiteral("1") : QStringLiteral("0");
                    break;
                case CellType::Error:
                    type = QStringLiteral("error");
                    value = errorText(cell.errorCode);
                    break;
                }
                lines.append(QStringLiteral("%1\t%2\t%3\t%4\t%5")
                                 .arg(s)
                                 .arg(row.index + 1)
                                 .arg(cell.column + 1)
                                 .arg(type, value));
            }
        }
    }
    return lines;
}

} // namespace tovera
