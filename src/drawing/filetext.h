#pragma once
// A cursor over the bytes of a drawing file in memory, and the reader of the old
// comma-separated layout that uses it. Internal to src/drawing.

#include "drawing/model.h"
#include "drawing/numbers.h"
#include "drawing/readercommon.h"

#include <QByteArray>
#include <cstring>

namespace tovera::readerdetail {

// A cursor over the bytes of a drawing file. Only LF ends a line (a CR before it is
// dropped with the line end); a byte 26 ends the file wherever it stands.
class FileText {
public:
    FileText(const char* data, size_t size) : p_(data), end_(data + size) {
        if (const void* eof = std::memchr(data, 26, size)) end_ = static_cast<const char*>(eof);
    }

    bool atEnd() const { return p_ == end_; }

    // A text line: its bytes up to the first CR or LF. Empty at the end of the file.
    QByteArray readText() {
        const char* textEnd = lineEnd();
        if (const void* cr = std::memchr(p_, '\r', size_t(textEnd - p_)))
            textEnd = static_cast<const char*>(cr);
        QByteArray text(p_, textEnd - p_);
        passLineEnd();
        return text;
    }

    // Passes over a line that is not used.
    void skipLine() {
        lineEnd();
        passLineEnd();
    }

    // A number line: blanks, tabs and line ends before the number are passed over; the
    // number runs up to the next byte of code 32 or below; the rest of its line is passed
    // over. At the end of the file a number reads as 0.
    int32_t readInteger() {
        const char *b, *e;
        int32_t value = 0;
        if (nextToken(b, e) && !drawnum::parseInteger(b, e, value)) throwNotANumber();
        return value;
    }

    double readReal() {
        const char *b, *e;
        double value = 0;
        if (nextToken(b, e) && !drawnum::parseReal(b, e, value)) throwNotANumber();
        return value;
    }

private:
    // Sets nl_ to the LF that ends the current line (or the end) and returns it.
    const char* lineEnd() {
        const void* nl = std::memchr(p_, '\n', size_t(end_ - p_));
        nl_ = nl ? static_cast<const char*>(nl) : end_;
        return nl_;
    }
    void passLineEnd() { p_ = nl_ == end_ ? end_ : nl_ + 1; }

    bool nextToken(const char*& b, const char*& e) {
        const char* p = p_;
        while (p < end_ && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        if (p == end_) {
            p_ = p;
            return false;
        }
        b = p;
        while (p<end_&& static_cast<unsigned char>(*p)> 32) ++p;
        e = p;
        // The rest of the line, the common line ends first.
        if (p < end_ && *p == '\n') {
            p_ = p + 1;
        } else if (end_ - p >= 2 && p[0] == '\r' && p[1] == '\n') {
            p_ = p + 2;
        } else {
            p_ = p;
            lineEnd();
            passLineEnd();
        }
        return true;
    }

    const char* p_;
    const char* end_;
    const char* nl_ = nullptr;
};

// Reads lines 2 to 11 of a drawing of header kind 3 (the header line has been read) into
// the model, reporting to the host; ends with the redraw and the gauge at 100. Raises
// EConvertError or EListError as the lines demand.
void readKind3(DrawingModel& m, DrawingHost& host, FileText& f);

} // namespace tovera::readerdetail
