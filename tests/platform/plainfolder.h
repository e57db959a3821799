#pragma once
// A temporary folder whose full path holds neither "xls" nor "hbd" (in any case), so that the
// drop tests, which match "*xls*" and "*hbd*" against whole paths, judge only the names the
// test gives its files and never the letters of the folder the system or chance chose.

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace tovera::test {

// True when `path` holds "xls" or "hbd" in any case.
inline bool pathHasDropLetters(const QString& path) {
    return path.contains(QLatin1String("xls"), Qt::CaseInsensitive) ||
           path.contains(QLatin1String("hbd"), Qt::CaseInsensitive);
}

class PlainTempDir {
public:
    // Tries the system's temporary folder first, then /tmp, /var/tmp and the test's own
    // folder; the random part of the name is drawn again while it holds the letters.
    PlainTempDir() {
        const QStringList bases{QDir::tempPath(), QStringLiteral("/tmp"),
                                QStringLiteral("/var/tmp"), QCoreApplication::applicationDirPath(),
                                QDir::currentPath()};
        for (const QString& base : bases) {
            if (pathHasDropLetters(base) || pathHasDropLetters(QDir(base).canonicalPath()))
                continue;
            for (int attempt = 0; attempt < 50; ++attempt) {
                auto dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/tovera-XXXXXX"));
                if (!dir->isValid()) break;
                if (!pathHasDropLetters(dir->path()) &&
                    !pathHasDropLetters(QDir(dir->path()).canonicalPath())) {
                    dir_ = std::move(dir);
                    return;
                }
            }
        }
    }
    bool isValid() const { return dir_ && dir_->isValid(); }
    QString path() const { return dir_ ? dir_->path() : QString(); }
    QString filePath(const QString& name) const { return dir_ ? dir_->filePath(name) : QString(); }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

} // namespace tovera::test
