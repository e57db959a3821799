#pragma once
// The help viewer: a window that shows an HTML help file from its contents (the top of
// the file), with back and forward through the links followed.

#include "platform/help.h"

#include <QPointer>

class QTextBrowser;
class QWidget;

namespace tovera {

class Dialogs;

class HelpViewer : public HelpSystem {
public:
    // A missing or unreadable help file is reported through `dialogs`. The viewer window
    // is created on first use and kept (owned by this object).
    explicit HelpViewer(Dialogs& dialogs);
    ~HelpViewer() override;

    void showContents(const QString& helpFile) override;
    // Closes the viewer window when it is open (it is kept for the next showContents).
    void close();

    // The viewer window (null before the first successful showContents).
    QWidget* window() const;
    QTextBrowser* browser() const { return browser_; }

    // The message shown when `helpFile` cannot be opened.
    static QString missingFileMessage(const QString& helpFile);

private:
    Dialogs& dialogs_;
    QPointer<QWidget> window_;
    QTextBrowser* browser_ = nullptr;
};

} // namespace tovera
