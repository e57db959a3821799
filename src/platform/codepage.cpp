#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>

#include <QList>

namespace tovera {
namespace {

// One iconv descriptor per direction and thread; glibc's "CP932" is Microsoft's table
// (0x5C stays the backslash, the wave dash maps to U+FF5E).
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t get() const { return cd_; }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

private:
    iconv_t cd_;
};

// Converts as much as fits; the callers replace one bad unit where it stops and go on.
size_t convert(iconv_t cd, char*& in, size_t& inLeft, char*& out, size_t& outLeft) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return iconv(cd, &in, &inLeft, &out, &outLeft);
}

} // namespace

QByteArray toCp932(const QString& text) {
    thread_local Converter conv("CP932", "UTF-32LE");
    QByteArray result;
    if (text.isEmpty()) return result;
    QList<uint> ucs = text.toUcs4();
    if (!conv.ok()) {
        for (uint c : ucs) result.append(c < 0x80 ? char(c) : '?');
        return result;
    }
    char* in = reinterpret_cast<char*>(ucs.data());
    size_t inLeft = size_t(ucs.size()) * 4;
    QByteArray out(qsizetype(ucs.size()) * 2 + 4, Qt::Uninitialized);
    while (inLeft > 0) {
        char* o = out.data();
        size_t outLeft = size_t(out.size());
        const size_t r = convert(conv.get(), in, inLeft, o, outLeft);
        result.append(out.constData(), out.size() - qsizetype(outLeft));
        if (r == size_t(-1) && errno != E2BIG && inLeft >= 4) {
            // A character without a code page 932 form.
            result.append('?');
            in += 4;
            inLeft -= 4;
        }
    }
    return result;
}

QString fromCp932(const QByteArray& bytes) {
    thread_local Converter conv("UTF-16LE", "CP932");
    if (bytes.isEmpty()) return QString();
    if (!conv.ok()) return QString::fromLatin1(bytes);
    QString result;
    result.reserve(bytes.size());
    QByteArray in = bytes;
    char* ip = in.data();
    size_t inLeft = size_t(in.size());
    QByteArray out(int(inLeft * 2 + 4), Qt::Uninitialized);
    while (inLeft > 0) {
        char* o = out.data();
        size_t outLeft = size_t(out.size());
        size_t r = convert(conv.get(), ip, inLeft, o, outLeft);
        result.append(QStringView(reinterpret_cast<const char16_t*>(out.constData()),
                                  (out.size() - qsizetype(outLeft)) / 2));
        if (r == size_t(-1) && errno != E2BIG) {
            // An invalid or incomplete sequence: one replacement for its first byte, then
            // the conversion resumes at the next byte.
            result.append(QChar(0xFFFD));
            ++ip;
            --inLeft;
        }
    }
    return result;
}

} // namespace tovera
