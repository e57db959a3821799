#pragma once
// Helpers of the sheet operation tests: the store file read and written behind the
// window's back, small workbooks, real drop events, printed PDFs and the program's own
// file dialog answered as a user would.

#include "sheet/view/f5book.h"
#include "sheet/xlswriter.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <QVariantMap>
#include <tuple>

namespace tovera::testing {

inline const QString kNotEditing =
    QStringLiteral("データセットが編集または挿入モードではありません");
inline const char* const kBoxes[] = {"所有者氏名", "１Ｆ", "２Ｆ", "床面積", "評点数"};

// One row of 基本データ read from the file behind the window's back.
inline QVariantMap storedRow(const QString& database, int no) {
    const QString name = QUuid::createUuid().toString();
    QVariantMap row;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(database);
        db.open();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select 所有者氏名, １Ｆ, ２Ｆ, 床面積, 評点数 from 基本データ "
                                 "where No = ?"));
        q.addBindValue(no);
        if (q.exec() && q.next())
            for (int i = 0; i < 5; ++i) row.insert(QString::fromUtf8(kBoxes[i]), q.value(i));
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return row;
}

inline void execute(const QString& database, const QString& sql) {
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(database);
        db.open();
        QSqlQuery q(db);
        q.exec(sql);
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// A workbook of one sheet with text cells at (row, column), both counted from 1.
inline QString writeBook(const QString& path, const QList<std::tuple<int, int, QString>>& cells) {
    Workbook book = Workbook::createDefault();
    for (const auto& [row, column, text] : cells) {
        Cell cell;
        cell.column = uint16_t(column - 1);
        cell.type = CellType::Text;
        cell.text = text;
        cell.xf = 15;
        book.sheets[0].setCell(row - 1, cell);
    }
    saveWorkbookFile(book, path, kFileTypeExcel97);
    return path;
}

inline bool dropOn(QWidget* target, const QMimeData& data) {
    const QPointF at = QRectF(target->rect()).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

inline bool dropFiles(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    return dropOn(target, data);
}

// The texts of sheet 1, rows 1 to 40, columns 1 to 12.
inline QStringList shownCells(TF5Book& book) {
    QStringList texts;
    for (int row = 1; row <= 40; ++row)
        for (int column = 1; column <= 12; ++column) texts << book.CellText(1, row, column);
    return texts;
}

inline QString pdfText(const QString& pdf, int* pages) {
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(30000);
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const qsizetype at = out.indexOf(QStringLiteral("Pages:"));
    *pages = at < 0 ? 0 : out.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    text.waitForFinished(30000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// Answers the next modal file dialog: notes the name it offers, types `name` into its name
// box and accepts it.
inline void answerFileDialog(const QString& name, QString* offered) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, name, offered] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (offered) *offered = box ? box->text() : QStringLiteral("(no name box)");
        if (box) box->setText(name);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    timer->start();
}

} // namespace tovera::testing
