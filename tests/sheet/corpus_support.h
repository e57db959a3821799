#pragma once
// The real workbooks the tests read: the shared corpus and the sample sheets.

#include <QDir>
#include <QString>
#include <QStringList>

namespace tovera::testing {

// The paths of every .xls file of the shared corpus and of the sample sheets, in name order
// within each folder; empty when the shared folder is absent.
inline QStringList workbookFiles() {
    QStringList out;
    for (const char* folder : {"/xls-corpus", "/sample-sheets"}) {
        QDir dir(QStringLiteral(TOVERA_SHARED) + QLatin1String(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.xls")}, QDir::Files))
            out.append(dir.filePath(name));
    }
    return out;
}

} // namespace tovera::testing
