#include "widgets/icons.h"

#include <QApplication>
#include <QFile>

namespace tovera {

QIcon themeIcon(const char* themeName, QStyle::StandardPixmap fallback) {
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!icon.isNull()) return icon;
    return QApplication::style()->standardIcon(fallback);
}

QIcon applicationIcon() {
    const QString path = QStringLiteral(":/tovera/tovera.svg");
    if (QFile::exists(path)) {
        QIcon icon(path);
        if (!icon.pixmap(32, 32).isNull()) return icon;
    }
    return themeIcon("x-office-spreadsheet", QStyle::SP_FileDialogDetailedView);
}

} // namespace tovera
