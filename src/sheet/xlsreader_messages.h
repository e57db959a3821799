#pragma once
// The texts of the reader's failures. Each names the file and the cause.

#include "platform/errors.h"

#include <QString>

namespace tovera::xlsmsg {

[[noreturn]] inline void notWorkbook(const QString& name) {
    throw EOleException(QStringLiteral("%1 はブックのファイルではありません").arg(name));
}

inline QString damagedText(const QString& name, const QString& cause) {
    return QStringLiteral("%1 は壊れているため読めません（%2）").arg(name, cause);
}

[[noreturn]] inline void damaged(const QString& name, const QString& cause) {
    throw EOleException(damagedText(name, cause));
}

[[noreturn]] inline void unsupported(const QString& name, const QString& cause) {
    throw EOleException(QStringLiteral("%1 は対応していない形式です（%2）").arg(name, cause));
}

[[noreturn]] inline void passwordProtected(const QString& name) {
    throw EOleException(QStringLiteral("%1 はパスワードで保護されているため開けません").arg(name));
}

[[noreturn]] inline void unsupportedEncryption(const QString& name) {
    throw EOleException(
        QStringLiteral("%1 は対応していない方式で暗号化されているため開けません").arg(name));
}

[[noreturn]] inline void cannotRead(const QString& name, const QString& cause) {
    throw EOleException(QStringLiteral("%1 を読めません（%2）").arg(name, cause));
}

} // namespace tovera::xlsmsg
