#include "sheet/xlsxzip.h"

#include "sheet/xlsreader_messages.h"

#include <zip.h>

#include <cstring>

namespace tovera::xlsx {

struct Archive::Impl {
    QString name;
    zip_t* zip = nullptr;
    qint64 total = 0;
};

bool isZipArchive(const QByteArray& bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.constData(), "PK\x03\x04", 4) == 0;
}

Archive::Archive(const QByteArray& bytes, const QString& name) : d(std::make_unique<Impl>()) {
    d->name = name;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        xlsmsg::cannotRead(name, QStringLiteral("メモリが足りません"));
    }
    d->zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!d->zip) {
        zip_source_free(source);
        zip_error_fini(&error);
        xlsmsg::damaged(name, QStringLiteral("ZIP の構造が不正か、途中で切れています"));
    }
    zip_error_fini(&error);
}

Archive::~Archive() {
    if (d->zip) zip_discard(d->zip);
}

bool Archive::has(const QString& part) const {
    return zip_name_locate(d->zip, part.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

QByteArray Archive::read(const QString& part, bool required) {
    const zip_int64_t index = zip_name_locate(d->zip, part.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        if (!required) return {};
        xlsmsg::damaged(d->name, QStringLiteral("%1 がありません").arg(part));
    }
    // A part that declares a size past the cap is refused before inflating anything.
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(d->zip, zip_uint64_t(index), 0, &stat) == 0 &&
        (stat.valid & ZIP_STAT_SIZE) &&
        (stat.size > zip_uint64_t(kPartLimit) || d->total + qint64(stat.size) > kTotalLimit))
        xlsmsg::cannotRead(d->name,
                           QStringLiteral("展開すると大きすぎる部分があります（%1）").arg(part));
    zip_file_t* file = zip_fopen_index(d->zip, zip_uint64_t(index), 0);
    if (!file)
        xlsmsg::unsupported(
            d->name, QStringLiteral("%1 の圧縮方式または暗号化に対応していません").arg(part));
    // The sizes the archive declares are not trusted: inflate in chunks and stop at a cap.
    QByteArray out;
    char chunk[1 << 16];
    for (;;) {
        const zip_int64_t n = zip_fread(file, chunk, sizeof chunk);
        if (n < 0) {
            zip_fclose(file);
            xlsmsg::damaged(d->name, QStringLiteral("%1 を展開できません").arg(part));
        }
        if (n == 0) break;
        d->total += n;
        if (out.size() + n > kPartLimit || d->total > kTotalLimit) {
            zip_fclose(file);
            xlsmsg::cannotRead(
                d->name, QStringLiteral("展開すると大きすぎる部分があります（%1）").arg(part));
        }
        out.append(chunk, qsizetype(n));
    }
    zip_fclose(file);
    return out;
}

} // namespace tovera::xlsx
