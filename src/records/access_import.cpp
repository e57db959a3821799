#include "records/access_import.h"

#include "platform/errors.h"
#include "records/access_file.h"
#include "records/dberror.h"
#include "records/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace tovera {

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

QString emptyText() {
    return QString(QLatin1String(""));
}

// "2004-07-06T16:01:00.610": the store's date text, written from the wall-clock parts so
// that no time zone rule can shift a date (dates before 1900 included).
QString dateText(const QDateTime& d) {
    return d.date().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('T') +
           d.time().toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString numberText(double x) {
    return QString::number(x, 'g', 15);
}

// Access's own header of an object inserted through its user interface ("OLE object").
bool isOleWrapped(const QByteArray& bytes) {
    return bytes.size() >= 2 && quint8(bytes[0]) == 0x15 && quint8(bytes[1]) == 0x1c;
}

ConvertedValue numberFromText(const ColumnDef& def, const QString& text) {
    if (text.trimmed().isEmpty()) return {};
    try {
        return {convertForColumn(def, text), QString()};
    } catch (const EDatabaseError&) {
    }
    // Keep the number the text begins with, read as typed (full-width digits, grouping
    // commas); report the whole text.
    static const QRegularExpression leading(
        QStringLiteral("^[+-]?(?:[0-9]{1,3}(?:,[0-9]{3})+|[0-9]*)(?:\\.[0-9]+)?"));
    const QString norm = text.normalized(QString::NormalizationForm_KC).trimmed();
    QString number = leading.match(norm).captured(0);
    const bool whole = number.size() == norm.size();
    number.remove(QLatin1Char(','));
    bool ok = false;
    double x = QLocale::c().toDouble(number, &ok);
    if (ok && std::isfinite(x) && number.contains(QRegularExpression(QStringLiteral("[0-9]")))) {
        if (def.kind == ColumnKind::Integer) {
            const double r = std::round(x);
            if (std::fabs(r) > 9.0e15)
                return {QVariant(), u("「%1」は整数にならないため空にしました").arg(text)};
            if (whole && r == x) return {qlonglong(r), QString()};
            return {qlonglong(r),
                    u("「%1」を %2 として取り込みました").arg(text).arg(qlonglong(r))};
        }
        if (whole) return {x, QString()};
        return {x, u("「%1」を %2 として取り込みました").arg(text, numberText(x))};
    }
    return {QVariant(), u("「%1」は数値ではないため空にしました").arg(text)};
}

} // namespace

ConvertedValue convertAccessValue(const ColumnDef& def, const QVariant& value) {
    if (value.isNull()) return {};
    const int type = value.typeId();
    const bool isText = type == QMetaType::QString;
    const bool isInt = type == QMetaType::LongLong;
    const bool isReal = type == QMetaType::Double;
    const bool isDate = type == QMetaType::QDateTime;
    const bool isBytes = type == QMetaType::QByteArray;
    switch (def.kind) {
    case ColumnKind::Blob: {
        if (isBytes) {
            QByteArray bytes = value.toByteArray();
            if (bytes.isNull()) bytes = QByteArray("", 0);
            return {bytes, QString()};
        }
        const QByteArray bytes = value.toString().toUtf8();
        return {bytes.isEmpty() ? QVariant(QByteArray("", 0)) : QVariant(bytes),
                u("バイナリでない値を UTF-8 のバイト列として取り込みました")};
    }
    case ColumnKind::Text: {
        if (isText) {
            const QString t = value.toString();
            return {t.isNull() ? emptyText() : t, QString()};
        }
        if (isInt) return {QString::number(value.toLongLong()), QString()};
        if (isReal) return {numberText(value.toDouble()), QString()};
        if (isDate)
            return {value.toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")), QString()};
        return {QVariant(), u("文字列にできない値のため空にしました")};
    }
    case ColumnKind::Date: {
        if (isDate) return {dateText(value.toDateTime()), QString()};
        if (isReal || isInt) {
            // A day number as Access counts them.
            const QDateTime d = accessDateTime(value.toDouble());
            if (d.isValid()) return {dateText(d), QString()};
            return {QVariant(),
                    u("%1 は日付にならないため空にしました").arg(numberText(value.toDouble()))};
        }
        if (isText) {
            const QString text = value.toString();
            if (text.trimmed().isEmpty()) return {};
            try {
                return {convertForColumn(def, text), QString()};
            } catch (const EDatabaseError&) {
                return {QVariant(), u("「%1」は日付ではないため空にしました").arg(text)};
            }
        }
        return {QVariant(), u("日付にできない値のため空にしました")};
    }
    case ColumnKind::Integer:
    case ColumnKind::Real: {
        if (isInt) {
            if (def.kind == ColumnKind::Integer) return {value.toLongLong(), QString()};
            return {double(value.toLongLong()), QString()};
        }
        if (isReal) {
            const double x = value.toDouble();
            if (def.kind == ColumnKind::Real) return {x, QString()};
            const double r = std::round(x);
            if (r == x && std::fabs(r) <= 9.0e15) return {qlonglong(r), QString()};
            if (std::fabs(r) > 9.0e15)
                return {QVariant(), u("%1 は整数にならないため空にしました").arg(numberText(x))};
            return {qlonglong(r),
                    u("%1 を %2 として取り込みました").arg(numberText(x)).arg(qlonglong(r))};
        }
        if (isText) return numberFromText(def, value.toString());
        return {QVariant(), u("数値にできない値のため空にしました")};
    }
    }
    return {};
}

namespace {

// Where a source column goes: the store column it fills, or none.
struct Mapping {
    int access = -1; // index in the Access table, -1 when it lacks the column
};

// Matches Access column names to the store's: exactly, else after folding widths
// ("1F" for "１Ｆ").
QList<Mapping> mapColumns(const QList<AccessColumn>& accessColumns,
                          const QList<QString>& storeColumns, QStringList& notes, QSet<int>& used) {
    QList<Mapping> map(storeColumns.size());
    for (int s = 0; s < storeColumns.size(); ++s) {
        for (int a = 0; a < accessColumns.size(); ++a)
            if (!used.contains(a) && accessColumns[a].name == storeColumns[s]) {
                map[s].access = a;
                used.insert(a);
                break;
            }
    }
    for (int s = 0; s < storeColumns.size(); ++s) {
        if (map[s].access >= 0) continue;
        const QString folded = storeColumns[s].normalized(QString::NormalizationForm_KC);
        for (int a = 0; a < accessColumns.size(); ++a)
            if (!used.contains(a) &&
                accessColumns[a].name.normalized(QString::NormalizationForm_KC) == folded) {
                map[s].access = a;
                used.insert(a);
                notes << u("列 %1 を %2 として取り込みました")
                             .arg(accessColumns[a].name, storeColumns[s]);
                break;
            }
    }
    return map;
}

// The files SQLite may leave beside a store.
void removeStoreFiles(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QString::fromLatin1(suffix));
}

void syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Gives the finished store its name; never replaces a file that took the name meanwhile.
void publish(const QString& temp, const QString& target) {
    const QByteArray from = QFile::encodeName(temp), to = QFile::encodeName(target);
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
    } else if (errno == EEXIST) {
        throw EInOutError(u("ファイル %1 は既にあります").arg(target), EEXIST);
    } else {
        // File systems without hard links: rename after one more look.
        if (QFileInfo::exists(target))
            throw EInOutError(u("ファイル %1 は既にあります").arg(target), EEXIST);
        if (::rename(from.constData(), to.constData()) != 0) throwFileError(target, errno);
    }
    syncFile(QFileInfo(target).absolutePath());
}

class Importer {
public:
    Importer(const QString& accessPath, const QString& storePath, const ImportProgress& progress)
        : access_(accessPath), storePath_(storePath), progress_(progress) {}

    ImportSummary run(const QString& tempPath);

private:
    void exec(QSqlQuery& q) {
        if (!q.exec()) throwDatabaseError(q.lastError());
    }
    void step() {
        ++done_;
        if (progress_ && !progress_(done_, total_))
            throw EInOutError(u("取り込みを中止しました"), ECANCELED);
    }
    std::unique_ptr<AccessTable> requireTable(const char* name) {
        auto t = access_.openTable(u(name));
        if (!t)
            throw EInOutError(
                u("%1 に表 %2 がありません（あるのは %3）")
                    .arg(access_.path(), u(name), access_.tables().join(QStringLiteral("、"))),
                ENOENT);
        return t;
    }
    void importDistricts(AccessTable& table, QSqlDatabase& db);
    void importRecords(AccessTable& table, QSqlDatabase& db);
    void reportUnknown(AccessTable& table, const QSet<int>& used, const QList<qint64>& filled);

    AccessFile access_;
    QString storePath_;
    ImportProgress progress_;
    ImportSummary summary_;
    QSet<QString> districts_; // as stored; the table's key compares them exactly
    qint64 done_ = 0, total_ = 0;
};

void Importer::reportUnknown(AccessTable& table, const QSet<int>& used,
                             const QList<qint64>& filled) {
    for (int a = 0; a < table.columns().size(); ++a) {
        if (used.contains(a)) continue;
        summary_.warnings << u("%1 の列 %2 はストアにないため取り込んでいません（値のある行 %3）")
                                 .arg(table.name(), table.columns()[a].name)
                                 .arg(filled.value(a));
    }
}

void Importer::importDistricts(AccessTable& table, QSqlDatabase& db) {
    const QString column = u(kDistrictColumn);
    QSet<int> used;
    QStringList notes;
    const QList<Mapping> map = mapColumns(table.columns(), {column}, notes, used);
    for (const QString& n : notes) summary_.warnings << table.name() + u(": ") + n;
    if (map[0].access < 0)
        throw EInOutError(
            u("%1 の表 %2 に列 %3 がありません").arg(access_.path(), table.name(), column), ENOENT);
    QSqlQuery q(db);
    if (!q.prepare(u("INSERT INTO \"行政区\" VALUES (?)"))) throwDatabaseError(q.lastError());
    const ColumnDef textColumn{kDistrictColumn, ColumnKind::Text};
    QList<QVariant> row;
    QList<qint64> filled(table.columns().size(), 0);
    while (table.next(row)) {
        for (int a = 0; a < row.size(); ++a)
            if (!row[a].isNull()) ++filled[a];
        const ConvertedValue v = convertAccessValue(textColumn, row[map[0].access]);
        const QString name = v.value.toString();
        const QString where = u("%1 %2 行目").arg(table.name()).arg(table.rowsRead());
        if (v.value.isNull() || name.isEmpty()) {
            summary_.warnings << where + u(": 空の所在区は取り込んでいません");
        } else if (districts_.contains(name)) {
            summary_.warnings << where +
                                     u(": 所在区「%1」は重複のため取り込んでいません").arg(name);
        } else {
            q.bindValue(0, name);
            exec(q);
            districts_.insert(name);
            ++summary_.districts;
        }
        step();
    }
    reportUnknown(table, used, filled);
}

void Importer::importRecords(AccessTable& table, QSqlDatabase& db) {
    QList<QString> names;
    QList<const ColumnDef*> defs;
    for (const ColumnDef& c : recordColumns()) {
        names << QString::fromUtf8(c.name);
        defs << &c;
    }
    QSet<int> used;
    QStringList notes;
    const QList<Mapping> map = mapColumns(table.columns(), names, notes, used);
    for (const QString& n : notes) summary_.warnings << table.name() + u(": ") + n;
    for (int s = 0; s < names.size(); ++s)
        if (map[s].access < 0)
            summary_.warnings
                << u("%1 に列 %2 がないため、どの記録でも空です").arg(table.name(), names[s]);

    QStringList quoted;
    for (const QString& n : names) quoted << QLatin1Char('"') + n + QLatin1Char('"');
    QSqlQuery q(db);
    if (!q.prepare(u("INSERT INTO \"基本データ\" (%1) VALUES (%2)")
                       .arg(quoted.join(QLatin1Char(',')),
                            QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')))))
        throwDatabaseError(q.lastError());

    const int noColumn = int(names.indexOf(u("No")));
    const int districtColumn = int(names.indexOf(u(kDistrictColumn)));
    QList<QVariant> row;
    QList<qint64> filled(table.columns().size(), 0);
    QList<QVariant> values(names.size());
    while (table.next(row)) {
        for (int a = 0; a < row.size(); ++a)
            if (!row[a].isNull()) ++filled[a];
        QStringList problems;
        for (int s = 0; s < names.size(); ++s) {
            if (map[s].access < 0) {
                values[s] = QVariant();
                continue;
            }
            ConvertedValue v = convertAccessValue(*defs[s], row[map[s].access]);
            if (!v.problem.isEmpty()) problems << names[s] + u(": ") + v.problem;
            if (defs[s]->kind == ColumnKind::Blob && !v.value.isNull()) {
                const QByteArray bytes = v.value.toByteArray();
                if (!bytes.isEmpty()) {
                    ++summary_.attachments;
                    summary_.attachmentBytes += bytes.size();
                }
                if (isOleWrapped(bytes))
                    problems
                        << names[s] +
                               u(": Access の OLE オブジェクトの包みが付いたまま取り込みました");
            }
            values[s] = v.value;
        }
        if (districtColumn >= 0) {
            const QString d = values[districtColumn].toString();
            if (!d.isEmpty() && !districts_.contains(d))
                problems << names[districtColumn] + u(": 「%1」は行政区にありません").arg(d);
        }
        if (!problems.isEmpty()) {
            const QVariant no = noColumn >= 0 ? values[noColumn] : QVariant();
            const QString where = no.isNull()
                                      ? u("%1 %2 行目").arg(table.name()).arg(table.rowsRead())
                                      : u("%1 %2 行目（No %3）")
                                            .arg(table.name())
                                            .arg(table.rowsRead())
                                            .arg(no.toString());
            for (const QString& p : problems) summary_.warnings << where + u("、列 ") + p;
        }
        for (int s = 0; s < names.size(); ++s) q.bindValue(s, values[s]);
        exec(q);
        ++summary_.records;
        step();
    }
    reportUnknown(table, used, filled);
}

ImportSummary Importer::run(const QString& tempPath) {
    auto records = requireTable(kRecordTable);
    auto districts = requireTable(kDistrictTable);
    total_ = records->declaredRows() + districts->declaredRows();
    const QString connection = u("tovera-import-") + QUuid::createUuid().toString();
    try {
        {
            QSqlDatabase db;
            try {
                db = createStoreFile(tempPath, connection);
            } catch (const EInOutError& e) {
                // Name the store asked for, not the temporary one.
                throw EInOutError(storePath_ + u(": ") + e.message(), e.code());
            }
            QSqlQuery q(db);
            // A file under a temporary name needs no journal: it is synced once, complete,
            // before it takes its name, and removed when anything fails. It is left in the
            // write-ahead-log mode every store has.
            auto run = [&](const QString& s) {
                if (!q.exec(s)) throwDatabaseError(q.lastError());
            };
            run(u("PRAGMA synchronous = OFF"));
            for (const QString& s : schemaStatements()) run(s);
            run(u("PRAGMA journal_mode = OFF"));
            run(u("BEGIN"));
            importDistricts(*districts, db);
            importRecords(*records, db);
            run(u("COMMIT"));
            run(u("PRAGMA journal_mode = WAL"));
            q = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    } catch (...) {
        QSqlDatabase::removeDatabase(connection);
        throw;
    }
    return summary_;
}

} // namespace

ImportSummary importAccessRegister(const QString& accessPath, const QString& storePath,
                                   const ImportProgress& progress) {
    if (QFileInfo::exists(storePath) || QFileInfo(storePath).isSymLink())
        throw EInOutError(u("ファイル %1 は既にあります").arg(storePath), EEXIST);
    const QFileInfo target(storePath);
    if (!target.absoluteDir().exists()) throwFileError(storePath, ENOENT);
    const QString temp =
        target.absoluteDir().filePath(QLatin1Char('.') + target.fileName() + u(".importing-") +
                                      QUuid::createUuid().toString(QUuid::WithoutBraces).left(8));
    try {
        Importer importer(accessPath, storePath, progress);
        ImportSummary summary = importer.run(temp);
        // Closing the last connection folded the log into the file; only it remains.
        if (QFileInfo::exists(temp + u("-wal")))
            throw EInOutError(u("%1 を書き終えられませんでした").arg(storePath), EIO);
        syncFile(temp);
        publish(temp, target.absoluteFilePath());
        return summary;
    } catch (...) {
        removeStoreFiles(temp);
        throw;
    }
}

} // namespace tovera
