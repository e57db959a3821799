#pragma once
// A main window over a temporary executable folder, with scripted dialogs and the real
// help viewer; and a real store file for it.

#include "app/tovmain.h"
#include "platform/dialogs.h"
#include "platform/plainfolder.h"
#include "records/schema.h"
#include "widgets/helpviewer.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

namespace tovera::testing {

struct WindowRun {
    // The "executable's" folder; drops from it are judged by the files' names alone.
    test::PlainTempDir folder;
    ScriptedDialogs dialogs;
    HelpViewer help{dialogs};
    std::unique_ptr<Tovmain> window;

    QString path(const QString& name) const { return QDir(folder.path()).filePath(name); }
    QString databasePath() const { return path(QStringLiteral("評価調書.mdb")); }

    Tovmain& start(const QStringList& arguments = {}) {
        window = std::make_unique<Tovmain>(dialogs, help, folder.path(), arguments);
        return *window;
    }

    // Starts the window and forgets the start-up messages (no store lies beside it).
    Tovmain& startQuietly() {
        start();
        dialogs.clear();
        return *window;
    }

    // An empty store beside the "executable".
    void createStore() { createSchema(databasePath()); }

    // Adds one house record; `zumen`/`excel` null for none.
    void addRecord(int no, const QByteArray& zumen, const QByteArray& excel) {
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-fill"));
            db.setDatabaseName(databasePath());
            db.open();
            QSqlQuery q(db);
            q.exec(QStringLiteral("insert or ignore into 行政区 values ('本町')"));
            q.prepare(QStringLiteral("insert into 基本データ (No, 所在区, 所有者氏名, zumen, "
                                     "excel) values (?, ?, ?, ?, ?)"));
            q.addBindValue(no);
            q.addBindValue(QStringLiteral("本町"));
            q.addBindValue(QStringLiteral("山田太郎"));
            q.addBindValue(zumen.isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : zumen);
            q.addBindValue(excel.isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : excel);
            q.exec();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("test-fill"));
    }

    // Kinds of the boxes shown so far.
    int count(ScriptedDialogs::Shown::Kind kind) const {
        int n = 0;
        for (const auto& s : dialogs.shown) n += s.kind == kind;
        return n;
    }
};

} // namespace tovera::testing
