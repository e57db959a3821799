#pragma once
// Shared by the tests of the Access reader and of the import: the sample Access files and
// their expected-values lists.

#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <QStringList>

namespace tovera::test {

inline QString samplesDir() {
    return QStringLiteral(TOVERA_SHARED "/mdb-samples");
}

inline QString sample(const char* name) {
    return samplesDir() + QLatin1Char('/') + QString::fromUtf8(name);
}

inline QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// One line of an expected-values file: "\N" is NULL, "\t" "\r" "\n" "\\" are escapes.
struct Expected {
    QStringList header;
    QList<QStringList> rows;
    QString field(int row, const QString& column) const {
        return rows[row].value(int(header.indexOf(column)));
    }
};

inline Expected readExpected(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    Expected e;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (e.header.isEmpty())
            e.header = fields;
        else
            e.rows << fields;
    }
    return e;
}

inline QString unescape(const QString& s) {
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('\\') && i + 1 < s.size()) {
            const QChar c = s[++i];
            out += c == QLatin1Char('t')   ? QChar(u'\t')
                   : c == QLatin1Char('r') ? QChar(u'\r')
                   : c == QLatin1Char('n') ? QChar(u'\n')
                                           : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

inline bool isNullText(const QString& s) {
    return s == QLatin1String("\\N") || s == QLatin1String("NULL");
}

} // namespace tovera::test
