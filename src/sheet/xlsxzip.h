#pragma once
// The ZIP container of .xlsx workbooks, read through libzip with limits against hostile
// archives: no part is inflated beyond its cap, nor all parts together beyond theirs.

#include <QByteArray>
#include <QString>
#include <memory>

namespace tovera::xlsx {

// Caps on what one workbook may inflate to, in bytes.
constexpr qint64 kPartLimit = 64ll << 20;   // one part (a sheet, the shared strings)
constexpr qint64 kTotalLimit = 192ll << 20; // every part read from one archive

// True when `bytes` start with the signature of a ZIP archive.
bool isZipArchive(const QByteArray& bytes);

// A ZIP archive held in memory. The bytes must outlive the archive.
class Archive {
public:
    // Opens the archive in `bytes`. Raises EOleException naming `name` when the bytes are
    // no readable ZIP archive.
    Archive(const QByteArray& bytes, const QString& name);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // True when the archive holds a part called `part` (no leading slash).
    bool has(const QString& part) const;
    // The inflated bytes of `part`. Raises EOleException when the part is missing (only if
    // `required`; otherwise returns empty bytes), damaged, or inflates past a cap.
    QByteArray read(const QString& part, bool required = true);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tovera::xlsx
