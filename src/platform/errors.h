#pragma once
// Errors are exceptions. Each carries the text the user sees in the standard error dialog
// (without the dialog's added "."). The classes follow the kinds of failure the program
// distinguishes; catching `Exception` catches them all.

#include <QString>
#include <exception>

namespace tovera {

class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// A file could not be opened, read or written, or a number line did not hold a number.
class EInOutError : public Exception {
public:
    EInOutError(QString message, int code = 0) : Exception(std::move(message)), code_(code) {}
    int code() const noexcept { return code_; }

private:
    int code_;
};

// A text did not convert to an integer or a floating-point number.
class EConvertError : public Exception {
    using Exception::Exception;
};

// An index past the end of a list.
class EListError : public Exception {
    using Exception::Exception;
};

// A picture file could not be read as a picture.
class EInvalidGraphic : public Exception {
    using Exception::Exception;
};

// The database layer refused an operation (provider's own text).
class EDatabaseError : public Exception {
    using Exception::Exception;
};

// The spreadsheet control failed a call (the control's description).
class EOleException : public Exception {
    using Exception::Exception;
};

// Text of an I/O error for an errno value, as the user sees it:
// ENOENT "ファイルが見つかりません", a missing folder "ファイル名の指定が間違っています",
// EACCES/EPERM "ファイルへのアクセスが拒否されました", EMFILE "オープンしたファイルが多すぎます",
// else "I/O エラー (%d)". `missingFolder` tells ENOENT on a path whose folder is absent.
QString ioErrorText(int errnoValue, bool missingFolder = false);

// Raises EInOutError for opening `path` failing with `errnoValue` (tells a missing
// folder from a missing file by looking at the path).
[[noreturn]] void throwOpenError(const QString& path, int errnoValue);
// The same, with the message naming the file: "PATH: ファイルが見つかりません".
[[noreturn]] void throwFileError(const QString& path, int errnoValue);

// The text the standard error dialog shows for an error's own text: "." is appended when
// the text's last character (a double-byte character taken whole, in code page 932)
// sorts after "." in byte order.
QString errorDialogText(const QString& message);

} // namespace tovera
