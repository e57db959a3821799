#include "records/engine.h"

#include "platform/errors.h"
#include "records/dberror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace tovera {

namespace {

// Column kind from a declared type: SQLite's affinity names and the server's type names.
ColumnKind kindFromDeclared(const QString& declared) {
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("BLOB")) || t.contains(QLatin1String("BYTEA")) || t.isEmpty())
        return ColumnKind::Blob;
    if (t.contains(QLatin1String("INT"))) return ColumnKind::Integer;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")))
        return ColumnKind::Real;
    if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIMESTAMP")))
        return ColumnKind::Date;
    return ColumnKind::Text;
}

struct Token {
    enum Kind { Space, Word, QuotedName, Literal, Other } kind;
    QString text;
};

// Splits SQL text into blanks, words, quoted names, string literals and single characters.
QList<Token> tokens(const QString& sql) {
    QList<Token> out;
    const int n = sql.size();
    int i = 0;
    auto isWordChar = [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c.unicode() >= 0x80;
    };
    while (i < n) {
        const QChar c = sql.at(i);
        int j = i + 1;
        Token::Kind kind = Token::Other;
        if (c.isSpace()) {
            while (j < n && sql.at(j).isSpace()) ++j;
            kind = Token::Space;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote stands for one inside.
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            kind = c == QLatin1Char('\'') ? Token::Literal : Token::QuotedName;
        } else if (isWordChar(c)) {
            while (j < n && isWordChar(sql.at(j))) ++j;
            kind = Token::Word;
        }
        out.push_back({kind, sql.mid(i, j - i)});
        i = j;
    }
    return out;
}

} // namespace

Engine Engine::of(const QSqlDatabase& db) {
    return Engine(db.driverName() == QLatin1String("QPSQL") ? Kind::Server : Kind::File);
}

QList<Engine::StoredColumn> Engine::recordColumns(const QSqlDatabase& db) const {
    QSqlQuery q(db);
    const QString table = QString::fromUtf8(kRecordTable);
    bool ok;
    if (isServer()) {
        // The catalogue itself: its information_schema view costs a planning of its own.
        ok = q.exec(QStringLiteral("SELECT attname, format_type(atttypid, atttypmod) FROM "
                                   "pg_attribute WHERE attrelid = to_regclass('\"%1\"') AND "
                                   "attnum > 0 AND NOT attisdropped ORDER BY attnum")
                        .arg(table));
    } else {
        ok = q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    }
    if (!ok) throwDatabaseError(q.lastError());
    const int nameAt = isServer() ? 0 : 1;
    const int typeAt = isServer() ? 1 : 2;
    QList<StoredColumn> columns;
    while (q.next()) {
        const QString name = q.value(nameAt).toString();
        if (isServer() && (name == QLatin1String("rowid") || name == QLatin1String(kVersionColumn)))
            continue;
        const ColumnDef* known = findColumn(name);
        columns.push_back(
            {name, known ? known->kind : kindFromDeclared(q.value(typeAt).toString())});
    }
    if (columns.isEmpty())
        throw EDatabaseError(QStringLiteral("テーブル '%1' が見つかりません").arg(table));
    return columns;
}

QString Engine::beginWrite() const {
    return isServer() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE");
}

QString Engine::readExpression(const QString& quotedName, ColumnKind kind) const {
    if (kind == ColumnKind::Blob)
        return (isServer() ? QStringLiteral("octet_length(%1)") : QStringLiteral("length(%1)"))
            .arg(quotedName);
    if (kind == ColumnKind::Date && isServer())
        return QStringLiteral("to_char(%1, 'YYYY-MM-DD\"T\"HH24:MI:SS.MS')").arg(quotedName);
    return quotedName;
}

QString Engine::translateLike(const QString& sql) const {
    if (!isServer()) return sql;
    const QList<Token> in = tokens(sql);
    QList<Token> out;
    for (int i = 0; i < in.size(); ++i) {
        const Token& t = in[i];
        if (t.kind != Token::Word || t.text.compare(QLatin1String("like"), Qt::CaseInsensitive)) {
            out.push_back(t);
            continue;
        }
        // The operands on both sides of LIKE.
        int before = int(out.size()) - 1;
        while (before >= 0 && out[before].kind == Token::Space) --before;
        int after = i + 1;
        while (after < in.size() && in[after].kind == Token::Space) ++after;
        const bool nameBefore =
            before >= 0 && (out[before].kind == Token::QuotedName ||
                            (out[before].kind == Token::Word &&
                             out[before].text.compare(QLatin1String("not"), Qt::CaseInsensitive)));
        const bool literalAfter = after < in.size() && in[after].kind == Token::Literal;
        if (!literalAfter) { // a parameter or an expression: compare without case
            out.push_back({Token::Word, QStringLiteral("ILIKE")});
            continue;
        }
        // The server's LIKE takes "\" as its escape character; the file's has none.
        QString pattern = in[after].text;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        if (nameBefore) {
            // lower() of the C collation folds ASCII letters only, as the file's LIKE does,
            // and the index on lower(column) serves the prefix.
            out[before].text = QStringLiteral("lower(%1)").arg(out[before].text);
            out.push_back({Token::Word, QStringLiteral("LIKE")});
        } else {
            out.push_back({Token::Word, QStringLiteral("ILIKE")});
        }
        for (int k = i + 1; k < after; ++k) out.push_back(in[k]);
        out.push_back({Token::Other, nameBefore
                                         ? QStringLiteral("lower(%1 COLLATE \"C\")").arg(pattern)
                                         : pattern + QStringLiteral(" COLLATE \"C\"")});
        i = after;
    }
    QString text;
    for (const Token& t : out) text += t.text;
    return text;
}

QString Engine::keyQuery(const QString& quotedTable, const QString& rest) const {
    return QStringLiteral("SELECT rowid FROM %1").arg(quotedTable) +
           (rest.isEmpty() ? QString() : QStringLiteral(" ") + translateLike(rest));
}

QString Engine::insertStatement(const QString& quotedTable, const QStringList& columns) const {
    QString sql =
        columns.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedTable)
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quotedTable, columns.join(QLatin1Char(',')),
                       QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    if (isServer()) sql += QStringLiteral(" RETURNING rowid");
    return sql;
}

} // namespace tovera
