#include "app/application.h"

#include "platform/dialogs.h"
#include "platform/errors.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tovera {

TovApplication::TovApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tovera"));
    setApplicationDisplayName(QString());
    setDesktopFileName(QStringLiteral("tovera"));
}

bool TovApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ++caughtErrors_;
        if (errorDialogs_) showStandardError(*errorDialogs_, error);
    } catch (...) {
        ++caughtErrors_;
        if (errorDialogs_) errorDialogs_->error(errorDialogText(QStringLiteral("不明なエラー")));
    }
    return true;
}

void showStandardError(Dialogs& dialogs, const std::exception& error) {
    const auto* own = dynamic_cast<const Exception*>(&error);
    const QString text = own ? own->message() : QString::fromLocal8Bit(error.what());
    dialogs.error(errorDialogText(text));
}

void callShowingErrors(Dialogs& dialogs, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        showStandardError(dialogs, error);
    } catch (...) {
        dialogs.error(errorDialogText(QStringLiteral("不明なエラー")));
    }
}

QFont windowFont() {
    static const bool mapped = [] {
        const QStringList targets{QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                  QStringLiteral("IPAGothic")};
        QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), targets);
        QFont::insertSubstitutions(QStringLiteral("MS PGothic"), targets);
        return true;
    }();
    Q_UNUSED(mapped);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    return font;
}

bool installJapaneseEnvironment(QApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    QApplication::setFont(windowFont());
    auto* translator = new QTranslator(&app);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), dir)) {
        QApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

} // namespace tovera
