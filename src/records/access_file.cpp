#include "records/access_file.h"

#include "platform/codepage.h"
#include "platform/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

// libmdb's header includes glib inside its extern "C" block, where glib's C++ parts do not
// compile; glib included first makes that inner include do nothing.
// clang-format off
#include <glib.h>
#include <mdbtools.h>
// clang-format on

namespace tovera {

namespace {

constexpr int kOffsetMask = 0x1fff;

quint32 le32(const unsigned char* p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const unsigned char* p) {
    return quint16(p[0] | p[1] << 8);
}

[[noreturn]] void damaged(const QString& path, const QString& where) {
    throw EInOutError(
        QStringLiteral("%1: Access データベースが壊れているか途中で切れています（%2）")
            .arg(path, where),
        EIO);
}

AccessKind kindOf(int type) {
    switch (type) {
    case MDB_BOOL:
        return AccessKind::Boolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return AccessKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return AccessKind::Real;
    case MDB_MONEY:
        return AccessKind::Money;
    case MDB_DATETIME:
        return AccessKind::DateTime;
    case MDB_TEXT:
        return AccessKind::Text;
    case MDB_MEMO:
        return AccessKind::Memo;
    case MDB_BINARY:
        return AccessKind::Binary;
    case MDB_OLE:
        return AccessKind::Ole;
    default:
        return AccessKind::Other;
    }
}

// The bytes 0..0x14 of an Access file: a zero page type, "Standard Jet DB" or "Standard ACE
// DB", and the version byte at 0x14.
struct Header {
    bool access = false;
    int version = -1;
};

Header readHeader(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throwFileError(path, errno ? errno : EACCES);
    const QByteArray head = f.read(0x20);
    Header h;
    if (head.size() < 0x20) return h;
    const bool jet = head.mid(4, 16) == QByteArray("Standard Jet DB\0", 16);
    const bool ace = head.mid(4, 16) == QByteArray("Standard ACE DB\0", 16);
    h.access = head.at(0) == 0 && (jet || ace);
    h.version = quint8(head.at(0x14));
    return h;
}

} // namespace

QString decodeAccessText(const QByteArray& bytes, bool jet3) {
    if (bytes.isEmpty()) return QString(QLatin1String(""));
    if (jet3) return fromCp932(bytes);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    if (n >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        // Compressed: one-byte characters until a 0x00 byte, then UTF-16LE units until the
        // next, and so on.
        out.reserve(n);
        bool compressed = true;
        qsizetype i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.append(QChar(char16_t(p[i])));
                ++i;
            } else if (i + 1 < n) {
                out.append(QChar(char16_t(le16(p + i))));
                i += 2;
            } else {
                break; // an odd byte at the end
            }
        }
    } else {
        out = QString(reinterpret_cast<const QChar*>(p), n / 2);
        // QString(const QChar*, n) copies the units; on a little-endian host these are
        // the stored UTF-16LE units. Make it independent of the host's byte order.
        if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
            for (qsizetype i = 0; i < out.size(); ++i) out[i] = QChar(char16_t(le16(p + 2 * i)));
        }
    }
    if (out.isNull()) out = QString(QLatin1String(""));
    return out;
}

QDateTime accessDateTime(double stored) {
    // Day 0 is 1899-12-30; years 100 to 9999 span these day numbers.
    if (!std::isfinite(stored) || stored < -657434.0 || stored >= 2958466.0) return QDateTime();
    const double whole = std::trunc(stored);
    qint64 ms = std::llround(std::fabs(stored - whole) * 86400000.0);
    qint64 days = qint64(whole);
    if (ms >= 86400000) { // rounding reached the next day
        ms -= 86400000;
        days += stored < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999) return QDateTime();
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

struct AccessFile::Handle {
    MdbHandle* mdb = nullptr;
    qint64 pages = 0;
    ~Handle() {
        if (mdb) mdb_close(mdb);
    }
};

AccessFile::AccessFile(const QString& path) : h_(std::make_unique<Handle>()), path_(path) {
    const QFileInfo info(path);
    if (!info.exists()) throwFileError(path, ENOENT);
    if (info.isDir()) throw EInOutError(QStringLiteral("%1 はフォルダです").arg(path), EISDIR);
    const Header header = readHeader(path);
    if (!header.access)
        throw EInOutError(QStringLiteral("%1 は Access のデータベースではありません").arg(path),
                          EINVAL);
    const qint64 pageSize = header.version == 0 ? 2048 : 4096;
    if (info.size() < 2 * pageSize || info.size() % pageSize != 0)
        damaged(path, QStringLiteral("大きさ %1 バイト").arg(info.size()));
    h_->pages = info.size() / pageSize;
    // Names of Jet 3 files are in the code page of the Japanese edition.
    qputenv("MDB_JET3_CHARSET", "CP932");
    h_->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!h_->mdb) damaged(path, QStringLiteral("ヘッダ"));
    if (!mdb_read_catalog(h_->mdb, MDB_ANY)) damaged(path, QStringLiteral("カタログ"));
}

AccessFile::~AccessFile() = default;

bool AccessFile::isJet3() const {
    return h_->mdb->f->jet_version == MDB_VER_JET3;
}

QString AccessFile::versionText() const {
    switch (h_->mdb->f->jet_version) {
    case MDB_VER_JET3:
        return QStringLiteral("Jet 3");
    case MDB_VER_JET4:
        return QStringLiteral("Jet 4");
    case MDB_VER_ACCDB_2007:
        return QStringLiteral("ACE 12");
    case MDB_VER_ACCDB_2010:
        return QStringLiteral("ACE 14");
    default:
        return QStringLiteral("ACE %1").arg(h_->mdb->f->jet_version + 11);
    }
}

QStringList AccessFile::tables() const {
    QStringList names;
    GPtrArray* catalog = h_->mdb->catalog;
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

struct AccessTable::Impl {
    MdbHandle* mdb = nullptr;
    MdbTableDef* table = nullptr;
    QString path;
    qint64 pages = 0;
    bool jet3 = false;
    bool done = false;
    MdbField fields[MDB_MAX_COLS];
    ~Impl() {
        if (table) mdb_free_tabledef(table);
    }

    [[noreturn]] void fail(const QString& tableName, qint64 row, const QString& what) const {
        damaged(path, QStringLiteral("表 %1 の %2 行目: %3").arg(tableName).arg(row).arg(what));
    }

    // The bytes of a memo or OLE value from its 12-byte reference in the row: kept in the
    // row itself, in one row of a long-value page, or in a chain of such rows. The length
    // in the reference is checked against what the pages hold.
    QByteArray longValue(const unsigned char* ref, int size, const QString& tableName,
                         qint64 row) const {
        if (size < 12) fail(tableName, row, QStringLiteral("長い値の参照が短すぎます"));
        const quint32 head = le32(ref);
        const qint64 total = head & 0x3fffffff;
        if (head & 0x80000000) {
            if (size - 12 < total) fail(tableName, row, QStringLiteral("行内の値が短すぎます"));
            return QByteArray(reinterpret_cast<const char*>(ref) + 12, total);
        }
        quint32 pgRow = le32(ref + 4);
        QByteArray out("", 0);
        if (head & 0x40000000) {
            const QByteArray part = lvalRow(pgRow, tableName, row);
            if (part.size() < total) fail(tableName, row, QStringLiteral("長い値が短すぎます"));
            return part.left(total);
        }
        // A chain: each row begins with the reference of the next one. The file bounds
        // what is reserved, not the length the reference claims.
        out.reserve(qsizetype(std::min<qint64>(total, pages * mdb->fmt->pg_size)));
        for (qint64 hops = 0; out.size() < total; ++hops) {
            if (pgRow == 0 || hops > pages)
                fail(tableName, row, QStringLiteral("長い値の連鎖が途切れています"));
            const QByteArray part = lvalRow(pgRow, tableName, row);
            if (part.size() < 4) fail(tableName, row, QStringLiteral("長い値の連鎖が壊れています"));
            pgRow = le32(reinterpret_cast<const unsigned char*>(part.constData()));
            out.append(part.constData() + 4, part.size() - 4);
        }
        if (out.size() > total) out.truncate(total);
        return out;
    }

    // One row of a long-value page, read into libmdb's second page buffer.
    QByteArray lvalRow(quint32 pgRow, const QString& tableName, qint64 row) const {
        const quint32 page = pgRow >> 8;
        const int index = int(pgRow & 0xff);
        if (page == 0 || page >= pages)
            fail(tableName, row, QStringLiteral("長い値がファイルの外を指しています"));
        void* buf = nullptr;
        int start = 0;
        size_t len = 0;
        if (mdb_find_pg_row(mdb, int(pgRow), &buf, &start, &len) != 0)
            fail(tableName, row, QStringLiteral("長い値のページを読めません"));
        const auto* pg = static_cast<const unsigned char*>(buf);
        const int pageSize = int(mdb->fmt->pg_size);
        const int rowsOnPage = le16(pg + mdb->fmt->row_count_offset);
        start &= kOffsetMask;
        if (pg[0] != MDB_PAGE_DATA || index >= rowsOnPage || len > size_t(pageSize) ||
            start + qint64(len) > pageSize)
            fail(tableName, row, QStringLiteral("長い値のページが壊れています"));
        return QByteArray(reinterpret_cast<const char*>(pg) + start, qsizetype(len));
    }
};

std::unique_ptr<AccessTable> AccessFile::openTable(const QString& name) {
    GPtrArray* catalog = h_->mdb->catalog;
    MdbCatalogEntry* found = nullptr;
    for (guint i = 0; catalog && i < catalog->len && !found; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE && QString::fromUtf8(entry->object_name) == name)
            found = entry;
    }
    if (!found) return nullptr;
    auto impl = std::make_unique<AccessTable::Impl>();
    impl->mdb = h_->mdb;
    impl->path = path_;
    impl->pages = h_->pages;
    impl->jet3 = isJet3();
    impl->table = mdb_read_table(found);
    if (!impl->table || !mdb_read_columns(impl->table) || impl->table->num_cols > MDB_MAX_COLS)
        damaged(path_, QStringLiteral("表 %1 の定義").arg(name));
    QList<AccessColumn> columns;
    for (guint i = 0; i < impl->table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(impl->table->columns, i));
        columns.push_back(
            {QString::fromUtf8(col->name), kindOf(col->col_type), col->col_type, col->col_size});
    }
    mdb_rewind_table(impl->table);
    return std::unique_ptr<AccessTable>(new AccessTable(std::move(impl), name, columns));
}

AccessTable::AccessTable(std::unique_ptr<Impl> impl, QString name, QList<AccessColumn> columns)
    : d_(std::move(impl)), name_(std::move(name)), columns_(std::move(columns)) {}

AccessTable::~AccessTable() = default;

qint64 AccessTable::declaredRows() const {
    return d_->table->num_rows;
}

bool AccessTable::next(QList<QVariant>& values) {
    if (d_->done) return false;
    MdbTableDef* t = d_->table;
    MdbHandle* mdb = d_->mdb;
    if (!mdb_fetch_row(t)) {
        d_->done = true;
        if (rows_ != qint64(t->num_rows))
            damaged(d_->path,
                    QStringLiteral("表 %1 は %2 行のはずが %3 行読めました。Access で最適化と修復を"
                                   "してから取り込み直してください")
                        .arg(name_)
                        .arg(t->num_rows)
                        .arg(rows_));
        return false;
    }
    const qint64 rowNumber = rows_ + 1;
    int start = 0;
    size_t len = 0;
    if (mdb_find_row(mdb, int(t->cur_row) - 1, &start, &len) != 0)
        d_->fail(name_, rowNumber, QStringLiteral("行の位置"));
    start &= kOffsetMask;
    const int count = mdb_crack_row(t, start, len, d_->fields);
    if (count < 0) d_->fail(name_, rowNumber, QStringLiteral("行の形式"));

    // Copy every field out of the page buffer before any long value is followed.
    const int ncols = int(t->num_cols);
    QList<QByteArray> raw(ncols);
    QList<bool> isNull(ncols, true);
    const auto* page = reinterpret_cast<const unsigned char*>(mdb->pg_buf);
    const int pageSize = int(mdb->fmt->pg_size);
    for (int i = 0; i < ncols; ++i) {
        const MdbField& f = d_->fields[i];
        const int c = f.colnum;
        if (c < 0 || c >= ncols) d_->fail(name_, rowNumber, QStringLiteral("列番号"));
        isNull[c] = f.is_null;
        if (f.is_null || f.siz <= 0) continue;
        if (f.start < 0 || f.start + qint64(f.siz) > pageSize)
            d_->fail(name_, rowNumber, QStringLiteral("値が行の外にあります"));
        raw[c] = QByteArray(reinterpret_cast<const char*>(page) + f.start, f.siz);
    }

    values.resize(ncols);
    for (int c = 0; c < ncols; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
        const QByteArray& b = raw[c];
        const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
        QVariant& v = values[c];
        // A Yes/No value lives in the null mask itself: a set bit is Yes.
        if (col->col_type == MDB_BOOL) {
            v = qlonglong(isNull[c] ? 0 : 1);
            continue;
        }
        if (isNull[c]) {
            v = QVariant();
            continue;
        }
        auto need = [&](int n) {
            if (b.size() < n) d_->fail(name_, rowNumber, QStringLiteral("値が短すぎます"));
        };
        switch (col->col_type) {
        case MDB_BYTE:
            need(1);
            v = qlonglong(p[0]);
            break;
        case MDB_INT:
            need(2);
            v = qlonglong(qint16(le16(p)));
            break;
        case MDB_LONGINT:
            need(4);
            v = qlonglong(qint32(le32(p)));
            break;
        case MDB_FLOAT: {
            need(4);
            const quint32 u = le32(p);
            float x;
            std::memcpy(&x, &u, 4);
            v = double(x);
            break;
        }
        case MDB_DOUBLE:
        case MDB_DATETIME: {
            need(8);
            const quint64 u = quint64(le32(p)) | quint64(le32(p + 4)) << 32;
            double x;
            std::memcpy(&x, &u, 8);
            if (col->col_type == MDB_DOUBLE) {
                v = x;
            } else {
                // A date that no calendar day stands for keeps its stored number.
                const QDateTime d = accessDateTime(x);
                v = d.isValid() ? QVariant(d) : QVariant(x);
            }
            break;
        }
        case MDB_MONEY: {
            need(8);
            const qint64 u = qint64(quint64(le32(p)) | quint64(le32(p + 4)) << 32);
            v = double(u) / 10000.0;
            break;
        }
        case MDB_TEXT:
            v = decodeAccessText(b, d_->jet3);
            break;
        case MDB_MEMO:
        case MDB_OLE: {
            // A value of no bytes at all is an empty one, not NULL (that is the null mask's).
            const QByteArray bytes =
                b.isEmpty() ? QByteArray("", 0) : d_->longValue(p, int(b.size()), name_, rowNumber);
            if (col->col_type == MDB_MEMO)
                v = decodeAccessText(bytes, d_->jet3);
            else
                v = bytes;
            break;
        }
        case MDB_BINARY:
            v = b.isNull() ? QByteArray("", 0) : b;
            break;
        case MDB_REPID:
            need(16);
            v = QUuid(le32(p), le16(p + 4), le16(p + 6), p[8], p[9], p[10], p[11], p[12], p[13],
                      p[14], p[15])
                    .toString();
            break;
        default:
            v = QString::fromLatin1(b.toHex());
            break;
        }
    }
    ++rows_;
    return true;
}

} // namespace tovera
