#pragma once
// Opening written workbooks in LibreOffice, for the tests that check a real spreadsheet
// program reads (and recalculates) what the writer wrote.

#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tovera::testing {

// Adds to `inputs` the shared sample workbook `sample` as it is ("original.xls") and as the
// writer writes it back ("ours.xls"), when the sample is there.
inline void addSampleAndOurCopy(const QTemporaryDir& dir, const QString& sample,
                                QStringList& inputs) {
    if (!QFile::exists(sample)) return;
    inputs << dir.filePath(QStringLiteral("original.xls"))
           << dir.filePath(QStringLiteral("ours.xls"));
    QFile::copy(sample, inputs[inputs.size() - 2]);
    saveWorkbookFile(loadWorkbookFile(sample), inputs.back(), 4);
}

// Has LibreOffice (`soffice`) open each of `inputs` as an Excel 97 file and write every
// sheet of it, cells as shown, to "NAME-SHEET.csv" in `dir`. False when it did not finish.
inline bool sheetsToCsv(const QString& soffice, const QTemporaryDir& dir,
                        const QStringList& inputs) {
    QProcess p;
    p.start(soffice,
            QStringList{QStringLiteral("-env:UserInstallation=file://") +
                            dir.filePath(QStringLiteral("profile")),
                        QStringLiteral("--headless"), QStringLiteral("--norestore"),
                        QStringLiteral("--infilter=MS Excel 97"), QStringLiteral("--convert-to"),
                        QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,"
                                       "0,false,true,false,false,false,-1"),
                        QStringLiteral("--outdir"), dir.path()} +
                inputs);
    return p.waitForFinished(180000);
}

// The text of `file` in `dir`, empty when it is missing.
inline QString csvText(const QTemporaryDir& dir, const QString& file) {
    QFile f(dir.filePath(file));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace tovera::testing
