#include "records/columns.h"

#include "platform/errors.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <iterator>

namespace tovera {

namespace {

const ColumnDef kColumns[] = {
    {"No", ColumnKind::Integer},      {"所有者コード", ColumnKind::Text},
    {"所在区", ColumnKind::Text},     {"所有者氏名", ColumnKind::Text},
    {"所有者住所", ColumnKind::Text}, {"所在地番", ColumnKind::Text},
    {"日付", ColumnKind::Date},       {"備考", ColumnKind::Text},
    {"１Ｆ", ColumnKind::Real},       {"２Ｆ", ColumnKind::Real},
    {"床面積", ColumnKind::Real},     {"新増改築", ColumnKind::Text},
    {"構造", ColumnKind::Text},       {"種類", ColumnKind::Text},
    {"除外", ColumnKind::Text},       {"新築軽減", ColumnKind::Text},
    {"評点数", ColumnKind::Real},     {"建年", ColumnKind::Text},
    {"家屋番号", ColumnKind::Text},   {"持分１", ColumnKind::Text},
    {"持分２", ColumnKind::Text},     {"持分３", ColumnKind::Text},
    {"登記１Ｆ", ColumnKind::Real},   {"登記２Ｆ", ColumnKind::Real},
    {"登記面積", ColumnKind::Real},   {"登記種類", ColumnKind::Text},
    {"有効開始", ColumnKind::Date},   {"登記日", ColumnKind::Date},
    {"zumen", ColumnKind::Blob},      {"excel", ColumnKind::Blob},
};

[[noreturn]] void refuse(const ColumnDef& def, const QString& text, const char* what) {
    throw EDatabaseError(QStringLiteral("'%1' は列 %2 の%3ではありません")
                             .arg(text, QString::fromUtf8(def.name), QString::fromUtf8(what)));
}

} // namespace

std::span<const ColumnDef> recordColumns() {
    return kColumns;
}

const ColumnDef* findColumn(const QString& name) {
    for (const ColumnDef& c : kColumns)
        if (name == QString::fromUtf8(c.name)) return &c;
    return nullptr;
}

QTime pickerTimeOfDay(const QString& column) {
    if (column == QStringLiteral("日付")) return QTime(16, 1, 0);
    if (column == QStringLiteral("有効開始")) return QTime(16, 8, 6);
    if (column == QStringLiteral("登記日")) return QTime(16, 9, 13);
    return QTime();
}

QString storedDateText(const QDateTime& value) {
    return value.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

QDateTime parseStoredDate(const QString& text) {
    QString t = text.trimmed();
    if (t.size() > 10 && t.at(10) == QLatin1Char(' ')) t[10] = QLatin1Char('T');
    QDateTime d = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!d.isValid()) {
        const QDate day = QDate::fromString(t, Qt::ISODate);
        if (day.isValid()) d = QDateTime(day, QTime(0, 0));
    }
    if (d.isValid() && d.timeSpec() != Qt::LocalTime) d = d.toLocalTime();
    return d;
}

QVariant convertForColumn(const ColumnDef& def, const QVariant& value) {
    if (value.isNull()) return QVariant();
    switch (def.kind) {
    case ColumnKind::Blob: {
        const QByteArray bytes = value.toByteArray();
        return bytes.isEmpty() ? QVariant() : QVariant(bytes);
    }
    case ColumnKind::Date: {
        QDateTime d;
        if (value.metaType().id() == QMetaType::QDateTime)
            d = value.toDateTime();
        else if (value.metaType().id() == QMetaType::QDate)
            d = QDateTime(value.toDate(), QTime(0, 0));
        else {
            const QString text = value.toString().trimmed();
            if (text.isEmpty()) return QVariant();
            d = parseStoredDate(QString(text).replace(QLatin1Char('/'), QLatin1Char('-')));
            if (!d.isValid()) refuse(def, text, "日付");
        }
        if (!d.isValid()) return QVariant();
        return storedDateText(d);
    }
    case ColumnKind::Text: {
        const QString text = value.toString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case ColumnKind::Integer:
    case ColumnKind::Real: {
        const int id = value.metaType().id();
        if (id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt ||
            id == QMetaType::ULongLong) {
            return def.kind == ColumnKind::Integer ? QVariant(value.toLongLong())
                                                   : QVariant(value.toDouble());
        }
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double x = value.toDouble();
            if (!std::isfinite(x)) refuse(def, value.toString(), "数値");
            if (def.kind == ColumnKind::Real) return x;
            if (x != std::trunc(x) || std::fabs(x) > 9.0e15) refuse(def, value.toString(), "整数");
            return static_cast<qlonglong>(x);
        }
        // Text as typed or as a sheet shows it: full-width digits, signs, commas and points
        // read as their ASCII forms; the C locale takes a leading sign (also U+2212) and
        // digit grouping in threes, and refuses commas anywhere else.
        const QString typed = value.toString();
        const QString text = typed.normalized(QString::NormalizationForm_KC).trimmed();
        if (text.isEmpty()) return QVariant();
        bool ok = false;
        const QLocale c = QLocale::c();
        if (def.kind == ColumnKind::Integer) {
            const qlonglong n = c.toLongLong(text, &ok);
            if (!ok) refuse(def, typed, "整数");
            return n;
        }
        const double x = c.toDouble(text, &ok);
        if (!ok || !std::isfinite(x)) refuse(def, typed, "数値");
        return x;
    }
    }
    return QVariant();
}

QString displayText(const ColumnDef& def, const QVariant& value) {
    if (value.isNull()) return QString();
    switch (def.kind) {
    case ColumnKind::Real:
        return QString::number(value.toDouble(), 'g', 15);
    case ColumnKind::Date: {
        const QDateTime d = value.metaType().id() == QMetaType::QDateTime
                                ? value.toDateTime()
                                : parseStoredDate(value.toString());
        return d.isValid() ? d.toString(QStringLiteral("yyyy/MM/dd")) : value.toString();
    }
    default:
        return value.toString();
    }
}

} // namespace tovera
