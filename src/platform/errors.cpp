#include "platform/errors.h"

#include "platform/codepage.h"

#include <QFileInfo>
#include <cerrno>

namespace tovera {

QString ioErrorText(int errnoValue, bool missingFolder) {
    switch (errnoValue) {
    case ENOENT:
        return missingFolder ? QStringLiteral("ファイル名の指定が間違っています")
                             : QStringLiteral("ファイルが見つかりません");
    case ENOTDIR:
        return QStringLiteral("ファイル名の指定が間違っています");
    case EACCES:
    case EPERM:
    case EISDIR:
        return QStringLiteral("ファイルへのアクセスが拒否されました");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("オープンしたファイルが多すぎます");
    default:
        return QStringLiteral("I/O エラー (%1)").arg(errnoValue);
    }
}

void throwOpenError(const QString& path, int errnoValue) {
    bool missingFolder = false;
    if (errnoValue == ENOENT) {
        const QFileInfo info(path);
        missingFolder = !QFileInfo(info.absolutePath()).isDir();
    }
    throw EInOutError(ioErrorText(errnoValue, missingFolder), errnoValue);
}

void throwFileError(const QString& path, int errnoValue) {
    const bool missingFolder =
        errnoValue == ENOENT && !QFileInfo(QFileInfo(path).absolutePath()).isDir();
    throw EInOutError(path + QStringLiteral(": ") + ioErrorText(errnoValue, missingFolder),
                      errnoValue);
}

QString errorDialogText(const QString& message) {
    const QByteArray bytes = toCp932(message);
    if (bytes.isEmpty()) return message;
    // Find the last character: walk from the start, since a trail byte may look like a lead.
    qsizetype i = 0, last = 0;
    while (i < bytes.size()) {
        last = i;
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        i += (lead && i + 1 < bytes.size()) ? 2 : 1;
    }
    const QByteArray lastChar = bytes.mid(last);
    return lastChar > QByteArray(".") ? message + QLatin1Char('.') : message;
}

} // namespace tovera
