#pragma once
// A small streaming JSON writer for the drawing commands: keys in the order written,
// doubles in their shortest exact form, texts escaped as UTF-8. Nothing is built in memory
// beyond one output buffer, so a model of a million elements prints quickly.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tovera::cli {

class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out) : out_(out) {}
    ~JsonWriter() { flush(); }
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    // Raw JSON text (punctuation, keys already quoted).
    JsonWriter& raw(const char* text) {
        buffer_ += text;
        maybeFlush();
        return *this;
    }
    // `"name": ` as an object key.
    JsonWriter& key(const char* name);
    JsonWriter& integer(int64_t value);
    JsonWriter& unsignedInteger(uint64_t value);
    // The shortest decimal form that reads back to the same double; "inf", "-inf" or "nan"
    // (as JSON strings) for a value that is not finite.
    JsonWriter& number(double value);
    // A JSON string with the text's characters as UTF-8.
    JsonWriter& string(const QString& text);
    // A JSON string of code page 932 bytes, decoded.
    JsonWriter& cp932String(const QByteArray& bytes);
    JsonWriter& null() { return raw("null"); }

    // Writes what is buffered; returns false when the output failed.
    bool flush();

private:
    void maybeFlush() {
        if (buffer_.size() >= 1 << 16) flush();
    }
    void appendUtf8Escaped(const char* data, size_t size);

    std::FILE* out_;
    std::string buffer_;
    bool failed_ = false;
};

} // namespace tovera::cli
