// The guarded XML cursor of the .xlsx reader and the small text helpers of its parts:
// cell references, error texts, escapes, relationships and shared formula shifting.

#include "sheet/xlsreader_messages.h"
#include "sheet/xlsxreader_internal.h"

namespace tovera::xlsx {

Xml::Xml(const QByteArray& data, const QString& file, const QString& part)
    : r_(data), file_(file), part_(part) {
    r_.setNamespaceProcessing(true);
}

void Xml::fail(const QString& cause) const {
    xlsmsg::damaged(file_, QStringLiteral("%1: %2").arg(part_, cause));
}

bool Xml::next() {
    for (;;) {
        switch (r_.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth_ > kMaxDepth) fail(QStringLiteral("入れ子が深すぎます"));
            start_ = true;
            return true;
        case QXmlStreamReader::EndElement:
            --depth_;
            start_ = false;
            return true;
        case QXmlStreamReader::DTD:
            fail(QStringLiteral("DTD や実体の宣言は受け付けません"));
        case QXmlStreamReader::EntityReference:
            fail(QStringLiteral("未定義の実体参照があります"));
        case QXmlStreamReader::EndDocument:
            return false;
        case QXmlStreamReader::Invalid:
            fail(r_.error() == QXmlStreamReader::PrematureEndOfDocumentError
                     ? QStringLiteral("XML が途中で切れています")
                     : QStringLiteral("XML が正しくありません（%1 行目）").arg(r_.lineNumber()));
        default:
            break;
        }
    }
}

QString Xml::attr(const char* local) const {
    for (const QXmlStreamAttribute& a : r_.attributes())
        if (a.name() == QLatin1String(local)) return a.value().toString();
    return {};
}

bool Xml::hasAttr(const char* local) const {
    for (const QXmlStreamAttribute& a : r_.attributes())
        if (a.name() == QLatin1String(local)) return true;
    return false;
}

int Xml::intAttr(const char* local, int fallback) const {
    bool ok = false;
    const int v = attr(local).toInt(&ok);
    return ok ? v : fallback;
}

double Xml::doubleAttr(const char* local, double fallback) const {
    bool ok = false;
    const double v = attr(local).toDouble(&ok);
    return ok ? v : fallback;
}

bool Xml::boolAttr(const char* local, bool fallback) const {
    const QString v = attr(local);
    if (v == QLatin1String("1") || v == QLatin1String("true")) return true;
    if (v == QLatin1String("0") || v == QLatin1String("false")) return false;
    return fallback;
}

QString Xml::text() {
    QString out;
    const int level = depth_;
    for (;;) {
        const auto t = r_.readNext();
        if (t == QXmlStreamReader::Characters) {
            out += r_.text();
        } else if (t == QXmlStreamReader::StartElement) {
            if (++depth_ > kMaxDepth) fail(QStringLiteral("入れ子が深すぎます"));
        } else if (t == QXmlStreamReader::EndElement) {
            if (--depth_ < level) {
                start_ = false;
                return out;
            }
        } else if (t == QXmlStreamReader::EntityReference) {
            fail(QStringLiteral("未定義の実体参照があります"));
        } else if (t == QXmlStreamReader::Invalid) {
            fail(QStringLiteral("XML が途中で切れているか正しくありません"));
        } else if (t == QXmlStreamReader::EndDocument) {
            fail(QStringLiteral("XML が途中で切れています"));
        }
    }
}

void Xml::skip() {
    const int level = depth_;
    while (next())
        if (!start_ && depth_ < level) return;
    fail(QStringLiteral("XML が途中で切れています"));
}

std::optional<uint8_t> errorCodeOf(QStringView text) {
    static const std::pair<const char*, uint8_t> table[] = {
        {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
        {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},    {"#GETTING_DATA", 0x2B}};
    for (const auto& [t, code] : table)
        if (text == QLatin1String(t)) return code;
    return std::nullopt;
}

bool parseCellRef(QStringView ref, int& row, int& column) {
    qsizetype i = 0;
    if (i < ref.size() && ref[i] == u'$') ++i;
    int col = 0, letters = 0;
    while (i < ref.size() && ref[i] >= u'A' && ref[i] <= u'Z' && letters < 3) {
        col = col * 26 + (ref[i].unicode() - 'A' + 1);
        ++i;
        ++letters;
    }
    if (letters == 0) return false;
    if (i < ref.size() && ref[i] == u'$') ++i;
    int r = 0, digits = 0;
    while (i < ref.size() && ref[i].isDigit() && digits < 8) {
        r = r * 10 + (ref[i].unicode() - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || r == 0 || i != ref.size()) return false;
    row = r - 1;
    column = col - 1;
    return true;
}

bool parseRangeRef(QStringView ref, CellRange& range) {
    const qsizetype colon = ref.indexOf(u':');
    if (colon < 0) {
        if (!parseCellRef(ref, range.firstRow, range.firstColumn)) return false;
        range.lastRow = range.firstRow;
        range.lastColumn = range.firstColumn;
        return true;
    }
    if (!parseCellRef(ref.left(colon), range.firstRow, range.firstColumn) ||
        !parseCellRef(ref.mid(colon + 1), range.lastRow, range.lastColumn))
        return false;
    if (range.lastRow < range.firstRow) std::swap(range.firstRow, range.lastRow);
    if (range.lastColumn < range.firstColumn) std::swap(range.firstColumn, range.lastColumn);
    return true;
}

QString decodeEscapes(const QString& s) {
    if (!s.contains(QLatin1String("_x"))) return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'_' && i + 6 < s.size() && s[i + 1] == u'x' && s[i + 6] == u'_') {
            bool ok = false;
            const uint code = QStringView(s).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

namespace {

QString columnName(int column) {
    QString s;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) s.prepend(QChar(u'A' + (c - 1) % 26));
    return s;
}

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'\\' || c == u'$';
}

} // namespace

QString shiftFormula(const QString& f, int rows, int columns) {
    QString out;
    out.reserve(f.size() + 8);
    qsizetype i = 0;
    while (i < f.size()) {
        const QChar c = f[i];
        if (c == u'"' || c == u'\'') { // strings and quoted sheet names stay as they are
            qsizetype j = i + 1;
            while (j < f.size()) {
                if (f[j] == c) {
                    if (j + 1 < f.size() && f[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += QStringView(f).mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (!isNameChar(c) || c == u'.') {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < f.size() && isNameChar(f[j])) ++j;
        const QStringView word = QStringView(f).mid(i, j - i);
        const bool call = j < f.size() && f[j] == u'(';
        const bool sheetName = j < f.size() && f[j] == u'!';
        // A cell reference: [$]letters[$]digits, not a function or sheet name.
        qsizetype k = 0;
        const bool colAbs = k < word.size() && word[k] == u'$';
        if (colAbs) ++k;
        const qsizetype letters0 = k;
        while (k < word.size() && word[k] >= u'A' && word[k] <= u'Z') ++k;
        const qsizetype letters = k - letters0;
        const bool rowAbs = k < word.size() && word[k] == u'$';
        if (rowAbs) ++k;
        const qsizetype digits0 = k;
        while (k < word.size() && word[k].isDigit()) ++k;
        int r = 0, col = 0;
        if (!call && !sheetName && letters >= 1 && letters <= 3 && k > digits0 &&
            k == word.size() &&
            parseCellRef(word.mid(letters0 - (colAbs ? 1 : 0)).toString().remove(u'$'), r, col)) {
            if (!rowAbs) r += rows;
            if (!colAbs) col += columns;
            if (r < 0 || col < 0) {
                out += QStringLiteral("#REF!");
            } else {
                out += (colAbs ? QStringLiteral("$") : QString()) + columnName(col) +
                       (rowAbs ? QStringLiteral("$") : QString()) + QString::number(r + 1);
            }
        } else {
            out += word;
        }
        i = j;
    }
    return out;
}

QString resolvePart(const QString& part, const QString& target) {
    QString path;
    if (target.startsWith(u'/')) {
        path = target.mid(1);
    } else {
        const qsizetype slash = part.lastIndexOf(u'/');
        path = (slash >= 0 ? part.left(slash + 1) : QString()) + target;
    }
    QStringList out;
    for (const QString& seg : path.split(u'/')) {
        if (seg == QLatin1String("..")) {
            if (!out.isEmpty()) out.removeLast();
        } else if (!seg.isEmpty() && seg != QLatin1String(".")) {
            out.append(seg);
        }
    }
    return out.join(u'/');
}

QHash<QString, std::pair<QString, QString>> readRelationships(Archive& zip, Context& ctx,
                                                              const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString relsPart = (slash >= 0 ? part.left(slash + 1) : QString()) +
                             QStringLiteral("_rels/") + part.mid(slash + 1) +
                             QStringLiteral(".rels");
    QHash<QString, std::pair<QString, QString>> rels;
    const QByteArray data = zip.read(relsPart, false);
    if (data.isEmpty()) return rels;
    Xml x(data, ctx.name, relsPart);
    while (x.next()) {
        if (!x.is("Relationship")) continue;
        if (x.attr("TargetMode") == QLatin1String("External")) continue;
        const QString type = x.attr("Type");
        const QString kind = type.mid(type.lastIndexOf(u'/') + 1);
        rels.insert(x.attr("Id"), {kind, resolvePart(part, x.attr("Target"))});
    }
    return rels;
}

} // namespace tovera::xlsx
