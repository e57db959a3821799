#pragma once
// A cursor over the bytes of a drawing file, and the reader of the old
// comma-separated layout that uses it. Internal to src/drawing.

#include "drawing/model.h"
#include "drawing/numbers.h"
#include "drawing/readercommon.h"
#include "drawing/readers.h"

#include <QByteArray>
#include <cstring>
#include <vector>

namespace tovera::readerdetail {

// A cursor over the bytes of a drawing file, read from an open file in large blocks or
// taken from memory. Only LF ends a line (a CR before it is dropped with the line end); a
// byte 26 ends the file wherever it stands. Read failures raise EInOutError.
class FileText {
public:
    // Over `size` bytes at `data` (not owned; they must outlive the cursor).
    FileText(const char* data, size_t size);
    // Over the open file `fd` (not owned, not closed), from its current position, read in
    // blocks of `blockSize` bytes (at least 1).
    explicit FileText(int fd, size_t blockSize = size_t(1) << 20);

    // At most how many bytes are left to read (exact for memory and regular files; for
    // other files, what has been read but not consumed).
    size_t remainingBound() const {
        const size_t buffered = size_t(end_ - p_);
        if (eof_ || fileSize_ < 0) return buffered;
        const int64_t unread = fileSize_ - bytesRead_;
        return buffered + size_t(unread > 0 ? unread : 0);
    }

    // True once nothing is left to read.
    bool atEnd() { return p_ == end_ && !more(); }

    // A text line: its bytes up to the first CR or LF; the rest of the line is passed over.
    // Empty at the end of the file.
    QByteArray readText();

    // Passes over a line that is not used.
    void skipLine();

    // A number line: blanks, tabs and line ends before the number are passed over; the
    // number runs up to the next byte of code 32 or below; the rest of its line is passed
    // over. At the end of the file a number reads as 0. Raises EInOutError
    // "入力値が数値ではありません" when the run is not a number.
    int32_t readInteger() {
        const char *b, *e;
        int32_t value = 0;
        if (token(b, e)) {
            if (!drawnum::parseInteger(b, e, value)) throwNotANumber();
            passRest();
        }
        return value;
    }

    double readReal() {
        const char *b, *e;
        double value = 0;
        if (token(b, e)) {
            if (!drawnum::parseReal(b, e, value)) throwNotANumber();
            passRest();
        }
        return value;
    }

private:
    static bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // Finds the next number's run and leaves the cursor at its end; false at the end of
    // the file. The run stays valid until the cursor moves on.
    bool token(const char*& b, const char*& e) {
        for (;;) {
            while (p_ < end_ && blank(*p_)) ++p_;
            if (p_ < end_) break;
            if (!more()) return false;
        }
        const char* p = p_;
        for (;;) {
            while (p<end_&& static_cast<unsigned char>(*p)> 32) ++p;
            if (p < end_ || eof_) break;
            const ptrdiff_t done = p - p_;
            more();
            p = p_ + done;
        }
        b = p_;
        e = p_ = p;
        return true;
    }

    // Passes over the rest of the current line, the common line ends first.
    void passRest() {
        if (p_ < end_ && *p_ == '\n') {
            ++p_;
        } else if (end_ - p_ >= 2 && p_[0] == '\r' && p_[1] == '\n') {
            p_ += 2;
        } else {
            skipLine();
        }
    }

    // Reads more bytes after those not yet consumed, which move to the buffer's start (the
    // buffer grows when they fill it). False when the file has no more.
    bool more();

    int fd_ = -1;
    std::vector<char> buffer_;
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    bool eof_ = false;      // nothing more to read beyond end_
    int64_t fileSize_ = -1; // size of a regular file, else -1
    int64_t bytesRead_ = 0; // from the file so far
};

// Reads a drawing file from its first line into the model (the lists already emptied),
// as readDrawingFile does after opening it.
ReadResult readDrawingText(DrawingModel& model, DrawingHost& host, FileText& f);

// Reads lines 2 to 11 of a drawing of header kind 3 (the header line has been read) into
// the model, reporting to the host; ends with the redraw and the gauge at 100. Raises
// EConvertError or EListError as the lines demand.
void readKind3(DrawingModel& m, DrawingHost& host, FileText& f);

} // namespace tovera::readerdetail
