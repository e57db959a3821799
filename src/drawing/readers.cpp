#include "drawing/readers.h"

#include "drawing/host.h"
#include "drawing/readercommon.h"
#include "platform/codepage.h"
#include "platform/errors.h"

#include <cstring>

namespace tovera::readerdetail {

HeaderKind headerKind(const char* data, size_t size) {
    auto is = [&](const char* word) {
        return std::strlen(word) == size && std::memcmp(data, word, size) == 0;
    };
    if (is("$headerpas")) return HeaderKind::Kind1;
    if (is("$headerpasp")) return HeaderKind::Kind2;
    if (is("\"$heder\"") || is("\"$heder2\"")) return HeaderKind::Kind3;
    return HeaderKind::Refused;
}

void throwNotInteger(const char* data, size_t size) {
    throw EConvertError(QLatin1Char('\'') + fromCp932(QByteArray(data, qsizetype(size))) +
                        QStringLiteral("' は整数ではありません"));
}

void throwNotReal(const char* data, size_t size) {
    throw EConvertError(QLatin1Char('\'') + fromCp932(QByteArray(data, qsizetype(size))) +
                        QStringLiteral("' は浮動小数点数ではありません"));
}

void throwListIndex(long long index) {
    throw EListError(QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(index));
}

void throwNotANumber() {
    throw EInOutError(QStringLiteral("入力値が数値ではありません"));
}

void showArea(DrawingHost& host, AreaBox box, double value) {
    host.setAreaBox(box, formatArea(value));
}

} // namespace tovera::readerdetail
