#include "records/demo.h"

#include "platform/codepage.h"
#include "platform/errors.h"
#include "records/columns.h"
#include "records/dberror.h"
#include "records/schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

static void initSampleResources() {
    Q_INIT_RESOURCE(samples);
}

namespace tovera {

namespace {

const char* const kSurnames[] = {"林",     "田中", "山路", "藤井", "村上", "髙橋",
                                 "佐々木", "宮﨑", "鈴木", "松本", "山田", "長谷川",
                                 "中村",   "山本", "小林", "渡辺"};
const char* const kGivenNames[] = {"みどり", "節子", "千代子", "勇",   "修",   "正和", "隆",
                                   "健太郎", "キヨ", "久美子", "ミツ", "房江", "ハル", "和子"};
const char* const kRemarks[] = {
    "附属家：物置 6.6㎡",
    "増築部分あり。\r\n北側に下屋（約5㎡）。",
    "現地調査済。次回再評価時に確認",
    "要再調査",
    "明細未作成（氏名のみ入力）",
    "旧家屋番号から変更あり",
    "外壁：窯業系サイディング\r\n屋根：化粧スレート",
    "ﾓﾙﾀﾙ外壁ﾋﾋﾞ割れあり",
    "附属家（車庫）あり。評点明細の２枚目を参照",
};
const char* const kStructures[] = {"木ス２",   "木瓦２",   "木セ２",    "木ス平",    "木瓦平",
                                   "木ﾌﾟﾚｽ２", "LGﾌﾟﾚｽ２", "LGﾌﾟﾚ瓦２", "RCﾌﾟﾚ陸２", "木ﾌﾟﾚｽ平"};
const char* const kKinds[] = {"専住", "専住", "専住", "共住", "事務所", "店舗"};

QString u(const char* s) {
    return QString::fromUtf8(s);
}

template <std::size_t N> QString pick(QRandomGenerator& r, const char* const (&list)[N]) {
    return u(list[r.bounded(int(N))]);
}

void appendLine(QByteArray& out, const QString& line) {
    out += toCp932(line);
    out += "\r\n";
}

} // namespace

QStringList demoDistricts() {
    return {u("北町"), u("南町"),   u("東山"),   u("西浜"), u("中央一丁目"), u("中央二丁目"),
            u("本町"), u("若葉町"), u("汐見台"), u("栄町"), u("港町"),       u("緑ヶ丘")};
}

QByteArray demoDrawing(int variant, int minBytes) {
    QRandomGenerator r(quint32(variant) * 2654435761u + 7);
    const int pitch = 45, origin = 10;
    const int cols = 6 + r.bounded(5), rows = 4 + r.bounded(4);
    const bool twoFloors = r.bounded(3) != 0;
    // Rooms: split the footprint into rectangles along grid lines.
    struct Room {
        int x1, y1, x2, y2;
        quint32 colour;
    };
    auto roomsOf = [&](int w, int h) {
        QList<Room> rooms;
        const quint32 colours[] = {0xC0FFC0, 0xFFE0C0, 0xC0E0FF, 0xE0E0E0, 0xFFFFC0};
        int x = 0;
        while (x < w) {
            const int wide = std::min(w - x, 2 + r.bounded(3));
            int y = 0;
            while (y < h) {
                const int tall = std::min(h - y, 2 + r.bounded(3));
                rooms.push_back({origin + x * pitch, origin + y * pitch,
                                 origin + (x + wide) * pitch, origin + (y + tall) * pitch,
                                 colours[r.bounded(5)]});
                y += tall;
            }
            x += wide;
        }
        return rooms;
    };
    QList<Room> floors[3];
    floors[0] = roomsOf(cols, rows);
    if (twoFloors) floors[1] = roomsOf(std::max(2, cols - 2), rows);
    const double ken = 1.82;
    auto area = [&](const QList<Room>& rooms) {
        double a = 0;
        for (const Room& rm : rooms)
            a += (rm.x2 - rm.x1) / double(pitch) * (rm.y2 - rm.y1) / double(pitch);
        return std::round(a * (ken / 2) * (ken / 2) * 100) / 100;
    };

    // Extra fittings (short lines across rooms) make larger drawings when asked.
    QList<QList<int>> fittings;
    QByteArray out;
    for (int attempt = 0;; ++attempt) {
        out.clear();
        appendLine(out, QStringLiteral("$headerpas"));
        appendLine(out, QString::number(origin));
        appendLine(out, QString::number(origin));
        for (int v : {0, 0, cols * pitch + 2 * origin, rows * pitch + 2 * origin})
            appendLine(out, QString::number(v));
        appendLine(out, QString::number(pitch));
        appendLine(out, QString::number(pitch));
        appendLine(out, u("木造"));
        appendLine(out, QString::number(area(floors[0]), 'f', 2));
        appendLine(out, QString::number(area(floors[1]), 'f', 2));
        appendLine(out, QString::number(0.0, 'f', 2));
        appendLine(out, QString::number(ken, 'f', 2));
        for (int f = 0; f < 3; ++f) {
            appendLine(out, u("%1F").arg(f + 1));
            appendLine(out, QString::number(int(floors[f].size()) * 4 - 1));
            for (const Room& rm : floors[f]) {
                const int pts[4][4] = {{rm.x1, rm.y1, rm.x2, rm.y1},
                                       {rm.x2, rm.y1, rm.x2, rm.y2},
                                       {rm.x2, rm.y2, rm.x1, rm.y2},
                                       {rm.x1, rm.y2, rm.x1, rm.y1}};
                for (const auto& p : pts) {
                    for (int v : p) appendLine(out, QString::number(v));
                    appendLine(out, QString::number(0)); // black
                    appendLine(out, QString::number(1));
                    appendLine(out, u("壁"));
                }
            }
        }
        appendLine(out, u("補助線"));
        appendLine(out, QString::number(int(fittings.size()) - 1));
        for (const auto& fit : fittings)
            for (int v : fit) appendLine(out, QString::number(v));
        for (int f = 0; f < 3; ++f) {
            appendLine(out, u("%1F部屋").arg(f + 1));
            appendLine(out, QString::number(int(floors[f].size()) - 1));
            for (const Room& rm : floors[f])
                for (qint64 v : {qint64(rm.x1), qint64(rm.y1), qint64(rm.x2), qint64(rm.y2),
                                 qint64(rm.colour)})
                    appendLine(out, QString::number(v));
        }
        for (int i = 0; i < 7; ++i) appendLine(out, QString());
        if (out.size() >= minBytes || attempt > 10000) break;
        const int missing = minBytes - int(out.size());
        for (int k = 0; k < missing / 32 + 1; ++k) {
            const Room& rm = floors[0][r.bounded(int(floors[0].size()))];
            const int y = rm.y1 + r.bounded(std::max(1, rm.y2 - rm.y1));
            fittings.push_back({rm.x1, y, rm.x2, y, 0x808080});
        }
    }
    return out;
}

QList<SampleSheet> sampleSheets() {
    QStringList folders;
    if (QCoreApplication::instance())
        folders << QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("samples"));
#ifdef TOVERA_SAMPLES_DIR
    folders << QStringLiteral(TOVERA_SAMPLES_DIR);
#endif
    initSampleResources();
    folders << QStringLiteral(":/tovera/samples");
    for (const QString& folder : folders) {
        QList<SampleSheet> sheets;
        const QDir dir(folder);
        for (const QString& name :
             dir.entryList({QStringLiteral("*.xls")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly)) sheets.push_back({name, f.readAll()});
        }
        if (!sheets.isEmpty()) return sheets;
    }
    return {};
}

void createDemo(const QString& path, const DemoOptions& options) {
    const QList<SampleSheet> sheets = sampleSheets();
    const QString name = QStringLiteral("tovera-demo-") + QUuid::createUuid().toString();
    QSqlError error;
    bool failed = false;
    {
        QSqlDatabase db = createStoreFile(path, name);
        QSqlQuery q(db);
        auto run = [&](const QString& s) {
            if (!failed && !q.exec(s)) {
                failed = true;
                error = q.lastError();
            }
        };
        for (const QString& s : schemaStatements()) run(s);
        // The file is new and is removed when filling it fails, so it is filled without a
        // journal and synced once at the end.
        run(QStringLiteral("PRAGMA journal_mode=OFF"));
        run(QStringLiteral("PRAGMA synchronous=OFF"));
        run(QStringLiteral("PRAGMA cache_size=-65536"));
        run(QStringLiteral("BEGIN"));
        const QStringList districts = demoDistricts();
        for (const QString& district : districts) {
            if (failed) break;
            q.prepare(QStringLiteral("INSERT INTO \"行政区\" VALUES (?)"));
            q.addBindValue(district);
            if (!q.exec()) {
                failed = true;
                error = q.lastError();
            }
        }
        QStringList names;
        for (const ColumnDef& c : recordColumns())
            names << QLatin1Char('"') + QString::fromUtf8(c.name) + QLatin1Char('"');
        QSqlQuery ins(db);
        if (!failed &&
            !ins.prepare(
                QStringLiteral("INSERT INTO \"基本データ\" (%1) VALUES (%2)")
                    .arg(names.join(QLatin1Char(',')),
                         QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(','))))) {
            failed = true;
            error = ins.lastError();
        }
        QRandomGenerator r(options.seed);
        QHash<int, QByteArray> drawings; // a few plans, reused
        QHash<int, QByteArray> padded;   // the sheets grown to their size, reused
        const int step = std::max(1, options.records / 200);
        for (int i = 0; i < options.records && !failed; ++i) {
            const QString district = districts[r.bounded(int(districts.size()))];
            const QDate survey = QDate(1997, 1, 1).addDays(r.bounded(10200));
            const bool flat = r.bounded(4) == 0;
            const double f1 = 40 + r.bounded(9000) / 100.0;
            const double f2 = flat ? 0 : std::round(f1 * (0.6 + r.bounded(40) / 100.0) * 100) / 100;
            const QString structure = flat ? u("木ス平") : pick(r, kStructures);
            const QVariant nul;
            const bool registered = r.bounded(5) != 0;
            QList<QVariant> v;
            v << (i + 1)
              << QStringLiteral("%1").arg(120000 + i * 7 + r.bounded(7), 7, 10, QLatin1Char('0'))
              << district << pick(r, kSurnames) + u("　") + pick(r, kGivenNames)
              << u("緑ヶ浜市%1%2番地%3")
                     .arg(district)
                     .arg(1 + r.bounded(1500))
                     .arg(1 + r.bounded(30))
              << u("%1%2番%3").arg(district).arg(1 + r.bounded(1400)).arg(1 + r.bounded(9))
              << storedDateText(QDateTime(survey, QTime(16, 1, 0)))
              << (r.bounded(3) == 0 ? nul : QVariant(pick(r, kRemarks))) << f1
              << (flat ? nul : QVariant(f2)) << std::round((f1 + f2) * 100) / 100
              << (r.bounded(6) == 0    ? u("増")
                  : r.bounded(10) == 0 ? u("改")
                                       : u("新"))
              << structure << pick(r, kKinds) << (r.bounded(8) == 0 ? QVariant(u("1")) : nul)
              << (r.bounded(2) == 0 ? QVariant(u("3年")) : nul) << double(48000 + r.bounded(47000))
              << QString::number(std::max(1960, survey.year() - r.bounded(3)))
              << (registered ? QVariant(u("%1番%2").arg(1 + r.bounded(1400)).arg(1 + r.bounded(9)))
                             : nul)
              << (r.bounded(10) == 0 ? QVariant(u("1/2")) : nul)
              << (r.bounded(10) == 0 ? QVariant(u("1/2")) : nul) << nul
              << (registered ? QVariant(f1) : nul) << (registered && !flat ? QVariant(f2) : nul)
              << (registered ? QVariant(std::round((f1 + f2) * 100) / 100) : nul)
              << (registered ? QVariant(u("居宅")) : nul)
              << storedDateText(QDateTime(QDate(survey.year() + 1, 1, 1), QTime(16, 8, 6)))
              << (registered ? QVariant(storedDateText(
                                   QDateTime(survey.addDays(-r.bounded(120)), QTime(16, 9, 13))))
                             : nul);
            QVariant zumen, excel;
            if (options.drawingEvery > 0 && i % options.drawingEvery == 0) {
                const int variant = i % 17;
                if (!drawings.contains(variant))
                    drawings.insert(variant, demoDrawing(variant, options.drawingMinBytes));
                zumen = drawings.value(variant);
            }
            if (options.sheetEvery > 0 && !sheets.isEmpty() && i % options.sheetEvery == 0) {
                const int which = int((i / options.sheetEvery) % sheets.size());
                if (!padded.contains(which)) {
                    QByteArray bytes = sheets[which].bytes;
                    // Unused sectors after the end of a compound file are ignored by readers.
                    while (bytes.size() < options.sheetMinBytes) bytes += QByteArray(512, '\0');
                    padded.insert(which, bytes);
                }
                excel = padded.value(which);
            }
            v << zumen << excel;
            for (const QVariant& x : v) ins.addBindValue(x);
            if (!ins.exec()) {
                failed = true;
                error = ins.lastError();
            }
            if (options.progress && (i + 1) % step == 0 && i + 1 < options.records)
                options.progress(i + 1);
        }
        run(QStringLiteral("COMMIT"));
        run(QStringLiteral("PRAGMA synchronous=FULL"));
        run(QStringLiteral("PRAGMA journal_mode=WAL"));
        if (!failed && options.progress) options.progress(options.records);
        q = QSqlQuery();
        ins = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (failed) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        throwDatabaseError(error);
    }
}

} // namespace tovera
