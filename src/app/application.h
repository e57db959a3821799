#pragma once
// The application object: title "Tovera", the Japanese environment (locale, Qt's own
// Japanese texts, the window font), and the catch of every error that escapes an event
// handler, shown in the standard error dialog while the program goes on.

#include <QApplication>
#include <QFont>
#include <exception>
#include <functional>

namespace tovera {

class Dialogs;

class TovApplication : public QApplication {
    Q_OBJECT
public:
    TovApplication(int& argc, char** argv);

    // Where the standard error dialog goes (not owned; null shows nothing).
    void setErrorDialogs(Dialogs* dialogs) { errorDialogs_ = dialogs; }
    // Number of errors caught so far.
    int caughtErrors() const { return caughtErrors_; }

    // Delivers the event; a tovera::Exception or std::exception escaping the handler ends
    // that handler, is shown in the standard error dialog, and the event counts as handled.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Dialogs* errorDialogs_ = nullptr;
    int caughtErrors_ = 0;
};

// Shows `error` in the standard error dialog with the text rules of errorDialogText.
void showStandardError(Dialogs& dialogs, const std::exception& error);

// Calls `handler`; an error it raises ends there and is shown in the standard error dialog
// of `dialogs`, as notify shows it. For handlers that Qt calls in the middle of its own work,
// such as drops, which an error must never unwind.
void callShowingErrors(Dialogs& dialogs, const std::function<void()>& handler);

// The window's font, "ＭＳ Ｐゴシック" 12 px. The first call maps that family (and its
// Latin name) to the installed metric-compatible IPA P Gothic.
QFont windowFont();

// Sets the Japanese locale, loads Qt's Japanese translations (standard buttons read
// キャンセル) and the window font as the application font. Call once after creating the
// application object. Returns false when the translations were not found (texts then
// stay English; nothing else changes).
bool installJapaneseEnvironment(QApplication& app);

} // namespace tovera
