#pragma once
// The columns of 基本データ: their names in table order and how each is stored.

#include <QString>
#include <QTime>
#include <QVariant>
#include <span>

namespace tovera {

inline constexpr const char* kRecordTable = "基本データ";
inline constexpr const char* kDistrictTable = "行政区";
inline constexpr const char* kDistrictColumn = "所在区";

enum class ColumnKind {
    Integer, // whole number (INTEGER)
    Real,    // floor areas and points (REAL)
    Text,    // TEXT
    Date,    // date-time value, stored as ISO 8601 text "yyyy-MM-ddTHH:mm:ss.zzz" (local time)
    Blob,    // long binary (BLOB)
};

struct ColumnDef {
    const char* name;
    ColumnKind kind;
};

// Every column of 基本データ, in table order.
std::span<const ColumnDef> recordColumns();
// The definition of column `name`, or nullptr for an unknown name.
const ColumnDef* findColumn(const QString& name);

// The fixed time of day each bound date picker keeps: 日付 16:01:00, 有効開始 16:08:06,
// 登記日 16:09:13; an invalid time for any other column.
QTime pickerTimeOfDay(const QString& column);

// Text of a stored date-time value as written to the file ("2004-07-06T16:01:00.000");
// the form SQLite's date functions read and that sorts as the dates do.
QString storedDateText(const QDateTime& value);
// Reads a stored date-time text back ("T" or a blank between date and time; seconds and
// milliseconds optional); an invalid QDateTime when it is not one.
QDateTime parseStoredDate(const QString& text);

// Converts `value` for storage in a column of `def`'s kind. For numeric columns text is
// trimmed and read with "." as decimal point; full-width digits and signs, a leading sign
// and digit grouping in threes ("86,806") are accepted. Empty text and null give NULL. Raises
// EDatabaseError with a Japanese message naming the column when the value does not convert.
QVariant convertForColumn(const ColumnDef& def, const QVariant& value);

// The text a bound control shows for a stored value of `def`'s kind ("" for NULL; reals
// without trailing zeros, e.g. 94.8; dates as yyyy/MM/dd).
QString displayText(const ColumnDef& def, const QVariant& value);

} // namespace tovera
