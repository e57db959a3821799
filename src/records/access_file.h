#pragma once
// Read-only access to Microsoft Access (Jet 3 / Jet 4) database files through libmdb.
// The file is opened for reading only and never written. Values are decoded from the raw
// row bytes by our own code: text as UTF-16LE (with Jet 4's compression) or code page 932
// (Jet 3), dates from their stored double, NULL told from empty by the row's null mask, and
// long values (memo, OLE) followed page by page with their lengths checked.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace tovera {

// The kind of an Access column, as far as Tovera tells them apart.
enum class AccessKind {
    Boolean,  // Yes/No: qlonglong 0 or 1, never NULL
    Integer,  // Byte, Integer, Long Integer: qlonglong
    Real,     // Single, Double: double
    Money,    // Currency: double (the stored value is in ten-thousandths)
    DateTime, // QDateTime in UTC carrying the stored wall-clock date and time
    Text,     // Text: QString
    Memo,     // Memo: QString
    Binary,   // Binary: QByteArray
    Ole,      // OLE object: QByteArray, the stored bytes as they are
    Other,    // Replication ID, Decimal and unknown types: their text (QString)
};

struct AccessColumn {
    QString name;
    AccessKind kind;
    int type;     // libmdb's type code
    int maxBytes; // declared size of a Text or Binary column in bytes
};

class AccessTable;

// An open Access database file.
class AccessFile {
public:
    // Opens `path` for reading. Raises EInOutError when the file cannot be read (with the
    // system's cause), is not an Access database, or is cut short or damaged where its
    // header and catalogue lie; the message names the file.
    explicit AccessFile(const QString& path);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    QString path() const { return path_; }
    bool isJet3() const;
    // "Jet 3", "Jet 4", "ACE 12" ...
    QString versionText() const;
    // The names of the user tables, in catalogue order.
    QStringList tables() const;
    // Opens table `name` for reading its rows; nullptr when there is none of that name.
    // Raises EInOutError when its definition is damaged.
    std::unique_ptr<AccessTable> openTable(const QString& name);

private:
    struct Handle;
    std::unique_ptr<Handle> h_;
    QString path_;
};

// One table of an open AccessFile, read row by row in stored order. Lives no longer than
// its AccessFile.
class AccessTable {
public:
    ~AccessTable();
    AccessTable(const AccessTable&) = delete;
    AccessTable& operator=(const AccessTable&) = delete;

    QString name() const { return name_; }
    const QList<AccessColumn>& columns() const { return columns_; }
    // The number of rows the table's definition declares.
    qint64 declaredRows() const;
    // Reads the next row into `values`, one per column (a null QVariant for NULL; empty
    // text is a non-null empty QString, an empty OLE value a non-null empty QByteArray).
    // Returns false after the last row. Raises EInOutError, naming the file, the table
    // and the row, when a row or a long value is damaged or lies beyond the end of the
    // file, and at the end when fewer rows were found than declared.
    bool next(QList<QVariant>& values);
    // Rows read so far.
    qint64 rowsRead() const { return rows_; }

private:
    friend class AccessFile;
    struct Impl;
    AccessTable(std::unique_ptr<Impl> impl, QString name, QList<AccessColumn> columns);
    std::unique_ptr<Impl> d_;
    QString name_;
    QList<AccessColumn> columns_;
    qint64 rows_ = 0;
};

// Decodes a stored text value. Jet 4: UTF-16LE, or when the bytes begin FF FE, the
// compressed form where a 0x00 byte switches between one-byte characters (Latin-1) and
// UTF-16LE units; characters outside the basic plane (surrogate pairs) are kept. Jet 3:
// code page 932. Empty bytes give a non-null empty string.
QString decodeAccessText(const QByteArray& bytes, bool jet3);

// The date and time a stored Access date value stands for, to the millisecond: whole days
// counted from 1899-12-30, the fraction (taken without its sign, so -1.25 is 1899-12-29
// 06:00) the time of day. A QDateTime in UTC carries the wall-clock value. Invalid for a
// value that is not finite or lies outside the years 100 to 9999.
QDateTime accessDateTime(double stored);

} // namespace tovera
