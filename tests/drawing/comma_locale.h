#pragma once
// A C library locale that writes numbers with a decimal comma (German), for tests that the
// program's own number texts keep their "." under any user locale. A clean machine has no
// such locale generated; it is then compiled with localedef (package locales) into a
// scratch folder and found through LOCPATH, which child processes inherit too.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace tovera::testing {

inline constexpr char CommaLocaleName[] = "de_DE.UTF-8";

inline bool commaLocaleWorks() {
    const locale_t loc = newlocale(LC_ALL_MASK, CommaLocaleName, locale_t(nullptr));
    if (!loc) return false;
    const bool comma = nl_langinfo_l(RADIXCHAR, loc)[0] == ',';
    freelocale(loc);
    return comma;
}

// Makes the locale available; `scratch` must outlive its use. Returns an empty text on
// success, else why it could not be had.
inline QString prepareCommaLocale(const QString& scratch) {
    if (commaLocaleWorks()) return QString();
    const QString target = QDir(scratch).filePath(QString::fromLatin1(CommaLocaleName));
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), target});
    if (!localedef.waitForFinished(120000))
        return QStringLiteral("localedef did not run: ") + localedef.errorString();
    if (!QFileInfo(target).isDir())
        return QStringLiteral("localedef failed (is the package locales installed?): ") +
               QString::fromLocal8Bit(localedef.readAllStandardError());
    qputenv("LOCPATH", QFile::encodeName(scratch));
    if (!commaLocaleWorks()) return QStringLiteral("the compiled locale is not usable");
    return QString();
}

// Switches the whole C library locale, as a user's LANG would, until destroyed.
class ScopedCLocale {
public:
    explicit ScopedCLocale(const char* name) {
        const char* old = std::setlocale(LC_ALL, nullptr);
        saved_ = old ? QByteArray(old) : QByteArray("C");
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedCLocale() { std::setlocale(LC_ALL, saved_.constData()); }
    bool ok() const { return ok_; }

private:
    QByteArray saved_;
    bool ok_ = false;
};

} // namespace tovera::testing
