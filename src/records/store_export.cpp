#include "records/store_export.h"

#include "platform/errors.h"
#include "records/columns.h"
#include "records/dberror.h"
#include "records/provider.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cerrno>

namespace tovera {

namespace {

QString quotedField(const QString& text) {
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Text for a field of a text column: a text that begins with "=", "+", "-", "@", a tab or a
// carriage return gets a leading apostrophe, so that a spreadsheet program opening the file
// shows it as text instead of running it as a formula.
QString textField(const QString& text) {
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        return quotedField(QLatin1Char('\'') + text);
    return quotedField(text);
}

QString field(const ColumnDef& def, const QVariant& value) {
    if (value.isNull()) return QString();
    switch (def.kind) {
    case ColumnKind::Blob:
        return QString::number(value.toLongLong());
    case ColumnKind::Integer:
    case ColumnKind::Real:
        return displayText(def, value);
    case ColumnKind::Date: {
        const QDateTime d = parseStoredDate(value.toString());
        return d.isValid() ? d.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                           : textField(value.toString());
    }
    case ColumnKind::Text:
        break;
    }
    return textField(value.toString());
}

} // namespace

qint64 exportStoreCsv(const QString& storePath, const QString& csvPath) {
    if (QFileInfo::exists(csvPath) || QFileInfo(csvPath).isSymLink())
        throw EInOutError(QStringLiteral("ファイル %1 は既にあります").arg(csvPath), EEXIST);
    Connection connection;
    connection.open(connectionStringFor(storePath));
    QStringList names, selected;
    QList<const ColumnDef*> defs;
    for (const ColumnDef& c : recordColumns()) {
        const QString name = QString::fromUtf8(c.name);
        const QString q = QLatin1Char('"') + name + QLatin1Char('"');
        names << quotedField(name);
        // Attachments are exported as their sizes; their bytes are never read.
        selected << (c.kind == ColumnKind::Blob ? QStringLiteral("length(%1)").arg(q) : q);
        defs << &c;
    }
    QSaveFile out(csvPath);
    if (!out.open(QIODevice::WriteOnly)) throwOpenError(csvPath, errno ? errno : EACCES);
    qint64 count = 0;
    {
        QSqlQuery q(connection.database());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM \"基本データ\" ORDER BY rowid")
                        .arg(selected.join(QLatin1Char(',')))))
            throwDatabaseError(q.lastError());
        out.write("\xEF\xBB\xBF");
        out.write(names.join(QLatin1Char(',')).toUtf8() + "\r\n");
        QStringList line;
        while (q.next()) {
            line.clear();
            for (int i = 0; i < defs.size(); ++i) line << field(*defs[i], q.value(i));
            out.write(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
            ++count;
        }
        if (q.lastError().isValid()) throwDatabaseError(q.lastError());
    }
    // Refuse a file that took the name meanwhile rather than replace it.
    if (QFileInfo::exists(csvPath))
        throw EInOutError(QStringLiteral("ファイル %1 は既にあります").arg(csvPath), EEXIST);
    if (!out.commit())
        throw EInOutError(QStringLiteral("%1: %2").arg(csvPath, out.errorString()), EIO);
    return count;
}

} // namespace tovera
