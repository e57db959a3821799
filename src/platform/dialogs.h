#pragma once
// The one way the program talks to the user through modal boxes and file dialogs. The
// window installs an implementation over Qt Widgets; the command and the tests install
// `ScriptedDialogs`, which records what was shown and answers from a script.

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace tovera {

struct FileDialogRequest {
    QString filter;           // Qt filter string, e.g. "図面ファイル (*.hbd *.had)"; empty
                              // keeps the one set before
    QString defaultExtension; // without the dot; empty keeps the one set before
    QString title;            // empty for the platform's own title
    // The name offered in the dialog's name box (an empty one clears it); unset keeps the
    // name from the last use.
    std::optional<QString> fileName = std::nullopt;
};

// A filter written as "caption|patterns|caption|patterns" pairs, in the form the dialogs
// take: one "caption (patterns)" choice per pair, ";;" between them, ";" in the patterns
// read as a blank. A caption that already ends with its patterns in brackets is kept as it
// is: the dialog compares names without regard to case, as the patterns were meant, so
// "(*.had)" lists the names matching "*.HAD".
QString dialogFilter(const QString& pairs);

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Modal message box titled "Tovera" with one OK button.
    virtual void message(const QString& text) = 0;
    // The standard error dialog: the error icon and `text` as given (the caller has
    // already applied errorDialogText).
    virtual void error(const QString& text) = 0;
    // Confirmation box with OK and Cancel, captioned `caption`; true for OK.
    virtual bool confirm(const QString& caption, const QString& text) = 0;
    // The platform's default beep.
    virtual void beep() = 0;
    // The shared open dialog; the file name and default extension stay from one use to
    // the next. Returns the chosen full path, or an empty string when cancelled.
    virtual QString openFile(const FileDialogRequest& request) = 0;
    // The shared save dialog, as openFile.
    virtual QString saveFile(const FileDialogRequest& request) = 0;
};

// Records every box shown and answers confirmations and file dialogs from queues
// (OK and "cancelled" once a queue runs dry).
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        enum Kind { Message, Error, Confirm, Beep, Open, Save } kind;
        QString caption;
        QString text;
    };

    void message(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    void beep() override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;

    std::deque<bool> confirmAnswers;
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::vector<Shown> shown;
    FileDialogRequest lastRequest;

    // Texts of the message boxes and error dialogs shown, in order.
    QStringList messages() const;
    void clear() { shown.clear(); }

private:
    // Records a file dialog of `kind` and gives the next of `answers` (empty when none).
    QString fileAnswer(Shown::Kind kind, const FileDialogRequest& request,
                       std::deque<QString>& answers);
};

} // namespace tovera
