#include "sheet/workbook.h"

#include <algorithm>

namespace tovera {

const Cell* Row::find(int column) const {
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Cell& c, int col) { return c.column < col; });
    return it != cells.end() && it->column == column ? &*it : nullptr;
}

const Row* Sheet::row(int index) const {
    auto it = std::lower_bound(rows.begin(), rows.end(), index,
                               [](const Row& r, int i) { return r.index < i; });
    return it != rows.end() && it->index == index ? &*it : nullptr;
}

Row& Sheet::rowAt(int index) {
    auto it = std::lower_bound(rows.begin(), rows.end(), index,
                               [](const Row& r, int i) { return r.index < i; });
    if (it != rows.end() && it->index == index) return *it;
    Row r;
    r.index = index;
    return *rows.insert(it, std::move(r));
}

const Cell* Sheet::cell(int rowIndex, int column) const {
    const Row* r = row(rowIndex);
    return r ? r->find(column) : nullptr;
}

const CellNote* Sheet::noteAt(int rowIndex, int column) const {
    auto it = std::lower_bound(notes.begin(), notes.end(), std::pair(rowIndex, column),
                               [](const CellNote& n, const std::pair<int, int>& at) {
                                   return std::pair(n.row, n.column) < at;
                               });
    return it != notes.end() && it->row == rowIndex && it->column == column ? &*it : nullptr;
}

void Sheet::sortNotes() {
    std::stable_sort(notes.begin(), notes.end(), [](const CellNote& a, const CellNote& b) {
        return std::pair(a.row, a.column) < std::pair(b.row, b.column);
    });
    notes.erase(std::unique(notes.begin(), notes.end(),
                            [](const CellNote& a, const CellNote& b) {
                                return a.row == b.row && a.column == b.column;
                            }),
                notes.end());
}

void Sheet::setCell(int rowIndex, const Cell& c) {
    Row& r = rowAt(rowIndex);
    auto it = std::lower_bound(r.cells.begin(), r.cells.end(), int(c.column),
                               [](const Cell& x, int col) { return x.column < col; });
    if (it != r.cells.end() && it->column == c.column)
        *it = c;
    else
        r.cells.insert(it, c);
}

static const ColumnInfo* findColumn(const std::vector<ColumnInfo>& cols, int column) {
    for (const ColumnInfo& ci : cols)
        if (column >= ci.firstColumn && column <= ci.lastColumn) return &ci;
    return nullptr;
}

uint16_t Sheet::columnWidth(int column) const {
    if (const ColumnInfo* ci = findColumn(columns, column)) return ci->width;
    if (standardWidth) return standardWidth;
    // Default width in characters plus the cell padding (about 5 pixels at a 7-pixel digit).
    int w = defaultColumnWidth * 256 + (5 * 256 + 3) / 7;
    return uint16_t(std::min(w, 0xFFFF));
}

bool Sheet::columnHidden(int column) const {
    const ColumnInfo* ci = findColumn(columns, column);
    return ci && ci->hidden;
}

uint16_t Sheet::rowHeight(int index) const {
    const Row* r = row(index);
    return r && r->height ? r->height : defaultRowHeight;
}

size_t Sheet::valueCount() const {
    size_t n = 0;
    for (const Row& r : rows)
        for (const Cell& c : r.cells)
            if (c.hasValue()) ++n;
    return n;
}

std::array<QRgb, 56> Workbook::defaultPalette() {
    static const uint32_t rgb[56] = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
        0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
        0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
        0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
        0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
        0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
        0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
    std::array<QRgb, 56> p{};
    for (int i = 0; i < 56; ++i) p[i] = 0xFF000000u | rgb[i];
    return p;
}

QColor Workbook::color(int index, const QColor& automatic) const {
    if (index >= 0 && index < 8) return QColor(defaultPalette()[index]);
    if (index >= 8 && index < 64) return QColor(palette[index - 8]);
    return automatic;
}

QString Workbook::builtinFormatCode(int id, bool japanese) {
    if (japanese) {
        switch (id) {
        case 5:
            return QStringLiteral("\"\\\"#,##0;\"\\\"\\-#,##0");
        case 6:
            return QStringLiteral("\"\\\"#,##0;[Red]\"\\\"\\-#,##0");
        case 7:
            return QStringLiteral("\"\\\"#,##0.00;\"\\\"\\-#,##0.00");
        case 8:
            return QStringLiteral("\"\\\"#,##0.00;[Red]\"\\\"\\-#,##0.00");
        case 14:
            return QStringLiteral("yyyy/m/d");
        case 22:
            return QStringLiteral("yyyy/m/d h:mm");
        case 27:
        case 36:
        case 50:
        case 57:
            return QStringLiteral("[$-411]ge.m.d");
        case 28:
        case 29:
        case 51:
        case 54:
        case 58:
            return QStringLiteral("[$-411]ggge\"年\"m\"月\"d\"日\"");
        case 30:
            return QStringLiteral("m/d/yy");
        case 31:
            return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
        case 32:
            return QStringLiteral("h\"時\"mm\"分\"");
        case 33:
            return QStringLiteral("h\"時\"mm\"分\"ss\"秒\"");
        case 34:
        case 52:
        case 55:
            return QStringLiteral("yyyy\"年\"m\"月\"");
        case 35:
        case 53:
        case 56:
            return QStringLiteral("m\"月\"d\"日\"");
        case 41:
            return QStringLiteral("_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ");
        case 42:
            return QStringLiteral("_ \"\\\"* #,##0_ ;_ \"\\\"* \\-#,##0_ ;_ \"\\\"* \"-\"_ ;_ @_ ");
        case 43:
            return QStringLiteral("_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ");
        case 44:
            return QStringLiteral(
                "_ \"\\\"* #,##0.00_ ;_ \"\\\"* \\-#,##0.00_ ;_ \"\\\"* \"-\"??_ ;_ @_ ");
        default:
            break;
        }
    }
    switch (id) {
    case 0:
        return QStringLiteral("General");
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 5:
        return QStringLiteral("\"$\"#,##0_);(\"$\"#,##0)");
    case 6:
        return QStringLiteral("\"$\"#,##0_);[Red](\"$\"#,##0)");
    case 7:
        return QStringLiteral("\"$\"#,##0.00_);(\"$\"#,##0.00)");
    case 8:
        return QStringLiteral("\"$\"#,##0.00_);[Red](\"$\"#,##0.00)");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 12:
        return QStringLiteral("# ?/?");
    case 13:
        return QStringLiteral("# ?\?/??");
    case 14:
        return QStringLiteral("m/d/yyyy");
    case 15:
        return QStringLiteral("d-mmm-yy");
    case 16:
        return QStringLiteral("d-mmm");
    case 17:
        return QStringLiteral("mmm-yy");
    case 18:
        return QStringLiteral("h:mm AM/PM");
    case 19:
        return QStringLiteral("h:mm:ss AM/PM");
    case 20:
        return QStringLiteral("h:mm");
    case 21:
        return QStringLiteral("h:mm:ss");
    case 22:
        return QStringLiteral("m/d/yyyy h:mm");
    case 37:
        return QStringLiteral("#,##0_);(#,##0)");
    case 38:
        return QStringLiteral("#,##0_);[Red](#,##0)");
    case 39:
        return QStringLiteral("#,##0.00_);(#,##0.00)");
    case 40:
        return QStringLiteral("#,##0.00_);[Red](#,##0.00)");
    case 41:
        return QStringLiteral("_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)");
    case 42:
        return QStringLiteral("_(\"$\"* #,##0_);_(\"$\"* (#,##0);_(\"$\"* \"-\"_);_(@_)");
    case 43:
        return QStringLiteral("_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)");
    case 44:
        return QStringLiteral("_(\"$\"* #,##0.00_);_(\"$\"* (#,##0.00);_(\"$\"* \"-\"??_);_(@_)");
    case 45:
        return QStringLiteral("mm:ss");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mm:ss.0");
    case 48:
        return QStringLiteral("##0.0E+0");
    case 49:
        return QStringLiteral("@");
    default:
        return {};
    }
}

QString Workbook::numberFormatCode(int id) const {
    if (id >= 0 && id <= 0xFFFF) {
        auto it = numberFormats.find(uint16_t(id));
        if (it != numberFormats.end()) return it->second;
    }
    return builtinFormatCode(id, japanese);
}

QString Workbook::formatCodeOfXf(int xf) const {
    if (xf < 0 || size_t(xf) >= xfs.size()) return QStringLiteral("General");
    QString code = numberFormatCode(xfs[size_t(xf)].numberFormat);
    return code.isEmpty() ? QStringLiteral("General") : code;
}

const Font& Workbook::fontOfXf(int xf) const {
    static const Font fallback;
    size_t f = xf >= 0 && size_t(xf) < xfs.size() ? xfs[size_t(xf)].font : 0;
    if (f < fonts.size()) return fonts[f];
    return fonts.empty() ? fallback : fonts[0];
}

Workbook Workbook::createDefault() {
    Workbook b;
    Font f;
    f.name = QStringLiteral("ＭＳ Ｐゴシック");
    f.height = 220;
    f.family = 3;
    f.charset = 128;
    b.fonts.assign(4, f);
    for (int i = 0; i < 21; ++i) {
        CellFormat x;
        x.isStyle = i != 15;
        x.parent = x.isStyle ? 0xFFF : 0;
        x.vAlign = VAlign::Center;
        if (i >= 1 && i <= 14) x.font = (i == 1 || i == 2 || i == 5 || i == 6) ? 1 : 0;
        if (i >= 1 && i <= 14) x.usedGroups = 0xF4;
        static const uint16_t styleFormats[5] = {9, 38, 40, 42, 44};
        if (i >= 16) {
            x.numberFormat = styleFormats[i - 16];
            x.usedGroups = 0xF8;
        }
        if (i == 15) x.usedGroups = 0;
        b.xfs.push_back(x);
    }
    Sheet s;
    s.name = QStringLiteral("Sheet1");
    s.defaultRowHeight = 270;
    b.sheets.push_back(std::move(s));
    return b;
}

QString errorText(uint8_t code) {
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    case 0x2B:
        return QStringLiteral("#GETTING_DATA");
    default:
        return QStringLiteral("#N/A");
    }
}

bool isDateFormatCode(const QString& code) {
    // Drop quoted text, escaped and padding characters and a few separators, then any
    // bracketed part ([Red], [$-411], [h] ...), and weigh date letters against digit
    // placeholders.
    QString reduced;
    int state = 0;
    for (QChar c : code) {
        if (state == 0) {
            if (c == u'"')
                state = 1;
            else if (c == u'\\' || c == u'_' || c == u'*')
                state = 2;
            else if (QStringLiteral("$-+/(): ").contains(c))
                continue;
            else
                reduced += c;
        } else if (state == 1) {
            if (c == u'"') state = 0;
        } else {
            state = 0;
        }
    }
    QString s;
    bool inBracket = false;
    for (int i = 0; i < reduced.size(); ++i) {
        QChar c = reduced[i];
        if (inBracket) {
            if (c == u']') inBracket = false;
            continue;
        }
        if (c == u'[' && reduced.indexOf(u']', i + 1) >= 0) {
            inBracket = true;
            continue;
        }
        s += c;
    }
    if (s == u"0.00E+00" || s == u"##0.0E+0" || s.compare(u"General", Qt::CaseInsensitive) == 0 ||
        s == u"@")
        return false;
    int dates = 0, nums = 0;
    for (QChar c : s) {
        char16_t u = c.toLower().unicode();
        if (u == u'y' || u == u'm' || u == u'd' || u == u'h' || u == u's')
            dates += 5;
        else if (u == u'0' || u == u'#' || u == u'?')
            nums += 5;
    }
    if (dates && !nums) return true;
    if (nums && !dates) return false;
    return dates > nums;
}

bool isDateCell(const Workbook& book, const Cell& cell) {
    if (cell.type != CellType::Number) return false;
    if (cell.xf >= book.xfs.size()) return false;
    int id = book.xfs[cell.xf].numberFormat;
    auto it = book.numberFormats.find(uint16_t(id));
    if (it != book.numberFormats.end() && book.biffVersion >= 5)
        return isDateFormatCode(it->second);
    if (it != book.numberFormats.end()) return isDateFormatCode(it->second);
    // Built-in ids: the date and time ones.
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58) || (id >= 71 && id <= 81);
}

} // namespace tovera
