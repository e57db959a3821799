#include "widgets/helpviewer.h"

#include "platform/dialogs.h"
#include "widgets/dropguard.h"
#include "widgets/icons.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace tovera {

HelpViewer::HelpViewer(Dialogs& dialogs) : dialogs_(dialogs) {}

HelpViewer::~HelpViewer() {
    delete window_.data();
}

QString HelpViewer::missingFileMessage(const QString& helpFile) {
    return QStringLiteral("ヘルプファイル %1 が見つかりません。").arg(helpFile);
}

void HelpViewer::close() {
    if (window_) window_->close();
}

QWidget* HelpViewer::window() const {
    return window_.data();
}

void HelpViewer::showContents(const QString& helpFile) {
    const QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable()) {
        dialogs_.message(missingFileMessage(helpFile));
        return;
    }
    if (!window_) {
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setObjectName(QStringLiteral("HelpViewer"));
        window->setWindowIcon(applicationIcon());
        window->resize(720, 600);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* bar = new QToolBar(window);
        browser_ = new QTextBrowser(window);
        browser_->setOpenExternalLinks(true);
        bar->addAction(themeIcon("go-previous", QStyle::SP_ArrowBack), QStringLiteral("戻る"),
                       browser_, &QTextBrowser::backward);
        bar->addAction(themeIcon("go-next", QStyle::SP_ArrowForward), QStringLiteral("進む"),
                       browser_, &QTextBrowser::forward);
        bar->addAction(themeIcon("go-home", QStyle::SP_DirHomeIcon), QStringLiteral("目次"),
                       browser_, &QTextBrowser::home);
        layout->addWidget(bar);
        layout->addWidget(browser_);
        // Like the main window, the viewer neither takes drops nor drags its text out.
        new DropGuard(window);
        window_ = window;
    }
    // The file is HTML whatever its name says; always start at its contents.
    browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    browser_->clearHistory();
    window_->setWindowTitle(browser_->documentTitle().isEmpty() ? QStringLiteral("Tovera ヘルプ")
                                                                : browser_->documentTitle());
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace tovera
