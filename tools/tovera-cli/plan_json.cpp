#include "plan_json.h"

#include "platform/codepage.h"

#include <charconv>
#include <cmath>

namespace tovera::cli {

JsonWriter& JsonWriter::key(const char* name) {
    buffer_ += '"';
    buffer_ += name;
    buffer_ += "\": ";
    return *this;
}

namespace {

// Appends the decimal digits of a whole number.
template <typename Whole> void appendWhole(std::string& buffer, Whole value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    buffer.append(text, result.ptr);
}

} // namespace

JsonWriter& JsonWriter::integer(int64_t value) {
    appendWhole(buffer_, value);
    maybeFlush();
    return *this;
}

JsonWriter& JsonWriter::unsignedInteger(uint64_t value) {
    appendWhole(buffer_, value);
    maybeFlush();
    return *this;
}

JsonWriter& JsonWriter::number(double value) {
    if (std::isnan(value)) return raw("\"nan\"");
    if (std::isinf(value)) return raw(value > 0 ? "\"inf\"" : "\"-inf\"");
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    buffer_.append(text, result.ptr);
    maybeFlush();
    return *this;
}

void JsonWriter::appendUtf8Escaped(const char* data, size_t size) {
    static const char hex[] = "0123456789abcdef";
    buffer_ += '"';
    for (size_t k = 0; k < size; ++k) {
        const unsigned char c = static_cast<unsigned char>(data[k]);
        switch (c) {
        case '"':
            buffer_ += "\\\"";
            break;
        case '\\':
            buffer_ += "\\\\";
            break;
        case '\n':
            buffer_ += "\\n";
            break;
        case '\r':
            buffer_ += "\\r";
            break;
        case '\t':
            buffer_ += "\\t";
            break;
        default:
            if (c < 0x20) {
                buffer_ += "\\u00";
                buffer_ += hex[c >> 4];
                buffer_ += hex[c & 15];
            } else {
                buffer_ += char(c);
            }
        }
    }
    buffer_ += '"';
    maybeFlush();
}

JsonWriter& JsonWriter::string(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    appendUtf8Escaped(utf8.constData(), size_t(utf8.size()));
    return *this;
}

JsonWriter& JsonWriter::cp932String(const QByteArray& bytes) {
    // Bytes below 0x80 are the same characters in code page 932 and UTF-8.
    bool ascii = true;
    for (const char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        appendUtf8Escaped(bytes.constData(), size_t(bytes.size()));
        return *this;
    }
    return string(fromCp932(bytes));
}

bool JsonWriter::flush() {
    if (!buffer_.empty()) {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) failed_ = true;
        buffer_.clear();
    }
    if (std::fflush(out_) != 0) failed_ = true;
    return !failed_;
}

} // namespace tovera::cli
