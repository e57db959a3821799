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
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringBuilder>
#include <QUuid>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#include <vector>

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

namespace {

// A stored date-time text of `day` at a fixed time of day ("THH:mm:ss.zzz", local time:
// the form storedDateText writes), made without the cost of a local QDateTime.
QString dayAt(const QDate& day, const QString& time) {
    QString text = QString::number(day.year()).rightJustified(4, QLatin1Char('0'));
    text += QLatin1Char('-');
    text += QString::number(day.month()).rightJustified(2, QLatin1Char('0'));
    text += QLatin1Char('-');
    text += QString::number(day.day()).rightJustified(2, QLatin1Char('0'));
    text += time;
    return text;
}

// Makes the values of the house records, in the order of recordColumns() without the two
// attachments. The same seed gives the same records.
class RowMaker {
public:
    explicit RowMaker(quint32 seed) : r_(seed) {}

    QList<QVariant> row(int i) {
        const QString& district = pickOf(districts_);
        const int day = r_.bounded(kSurveyDays);
        const QDate survey = kFirstSurvey.addDays(day);
        const bool flat = r_.bounded(4) == 0;
        const double f1 = 40 + r_.bounded(9000) / 100.0;
        const double f2 = flat ? 0 : std::round(f1 * (0.6 + r_.bounded(40) / 100.0) * 100) / 100;
        const QString structure = flat ? flatStructure_ : pickOf(structures_);
        const bool registered = r_.bounded(5) != 0;
        const QVariant nul;
        QList<QVariant> v;
        v.reserve(32);
        v << (i + 1)
          << QString::number(120000 + qint64(i) * 7 + r_.bounded(7))
                 .rightJustified(7, QLatin1Char('0'));
        v << district;
        const QString& surname = pickOf(surnames_);
        v << QString(surname % QChar(0x3000) % pickOf(givenNames_));
        const int block = 1 + r_.bounded(1500);
        v << QString(city_ % district % QString::number(block) % banchi_ %
                     QString::number(1 + r_.bounded(30)));
        const int lot = 1 + r_.bounded(1400);
        v << QString(district % QString::number(lot) % ban_ % QString::number(1 + r_.bounded(9)));
        v << dayText(surveyDays_, day, surveyTime_);
        v << (r_.bounded(3) == 0 ? nul : QVariant(pickOf(remarks_))) << f1
          << (flat ? nul : QVariant(f2)) << std::round((f1 + f2) * 100) / 100;
        v << (r_.bounded(6) == 0 ? extension_ : r_.bounded(10) == 0 ? rebuilding_ : newBuilding_);
        v << structure << pickOf(kinds_);
        v << (r_.bounded(8) == 0 ? QVariant(one_) : nul);
        v << (r_.bounded(2) == 0 ? QVariant(reduction_) : nul);
        v << double(48000 + r_.bounded(47000));
        v << QString::number(std::max(1960, survey.year() - r_.bounded(3)));
        if (registered) {
            const int number = 1 + r_.bounded(1400);
            v << QString(QString::number(number) % ban_ % QString::number(1 + r_.bounded(9)));
        } else {
            v << nul;
        }
        v << (r_.bounded(10) == 0 ? QVariant(half_) : nul);
        v << (r_.bounded(10) == 0 ? QVariant(half_) : nul) << nul
          << (registered ? QVariant(f1) : nul) << (registered && !flat ? QVariant(f2) : nul)
          << (registered ? QVariant(std::round((f1 + f2) * 100) / 100) : nul)
          << (registered ? QVariant(dwelling_) : nul)
          << dayText(validDays_, int(kFirstSurvey.daysTo(QDate(survey.year() + 1, 1, 1))),
                     validTime_);
        v << (registered
                  ? QVariant(dayText(registeredDays_, day - r_.bounded(120), registeredTime_))
                  : nul);
        return v;
    }

private:
    static constexpr int kSurveyDays = 10200;
    static constexpr int kEarliest = -120; // the earliest registration before a survey
    static inline const QDate kFirstSurvey{1997, 1, 1};

    // The text of the day `day` days after the first survey day at `time`, made once.
    QString dayText(std::vector<QString>& texts, int day, const QString& time) {
        const std::size_t at = std::size_t(day - kEarliest);
        if (texts.size() <= at) texts.resize(at + 1);
        if (texts[at].isEmpty()) texts[at] = dayAt(kFirstSurvey.addDays(day), time);
        return texts[at];
    }

    template <std::size_t N> static QStringList listOf(const char* const (&list)[N]) {
        QStringList out;
        for (const char* s : list) out << u(s);
        return out;
    }
    const QString& pickOf(const QStringList& list) { return list[r_.bounded(int(list.size()))]; }

    QRandomGenerator r_;
    const QStringList districts_ = demoDistricts();
    const QStringList surnames_ = listOf(kSurnames), givenNames_ = listOf(kGivenNames);
    const QStringList remarks_ = listOf(kRemarks), structures_ = listOf(kStructures);
    const QStringList kinds_ = listOf(kKinds);
    const QString flatStructure_ = u("木ス平"), city_ = u("緑ヶ浜市"), banchi_ = u("番地");
    const QString ban_ = u("番"), extension_ = u("増"), rebuilding_ = u("改");
    const QString newBuilding_ = u("新"), one_ = u("1"), reduction_ = u("3年");
    const QString half_ = u("1/2"), dwelling_ = u("居宅");
    const QString surveyTime_ = u("T16:01:00.000"), validTime_ = u("T16:08:06.000");
    const QString registeredTime_ = u("T16:09:13.000");
    std::vector<QString> surveyDays_, validDays_, registeredDays_;
};

// Runs `sql` on `q`; raises EDatabaseError when it fails.
void exec(QSqlQuery& q, const QString& sql) {
    if (!q.exec(sql)) throwDatabaseError(q.lastError());
}

// Fills `db`, a new file private to the build, with the demo register. Since the file is
// removed when the build fails, it is filled without a journal and without syncs; it
// leaves in write-ahead-log mode, as every store. Returns the units of work of the
// progress; raises EDatabaseError, or whatever the progress raises.
qint64 fillDemo(QSqlDatabase& db, const DemoOptions& options) {
    const QList<SampleSheet> sheets = sampleSheets();
    QSqlQuery q(db);
    exec(q, QStringLiteral("PRAGMA journal_mode=OFF"));
    exec(q, QStringLiteral("PRAGMA synchronous=OFF"));
    exec(q, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
    exec(q, QStringLiteral("PRAGMA cache_size=-131072"));
    exec(q, QStringLiteral("PRAGMA temp_store=MEMORY"));
    // The generator makes values of the columns' types only; the checks, which would cost
    // a third of the build, are not run on them.
    exec(q, QStringLiteral("PRAGMA ignore_check_constraints=ON"));
    // The tables first; the indexes are sorted once when the rows are in, which costs less
    // than keeping them in step row by row.
    QStringList indexes;
    for (const QString& s : schemaStatements()) {
        if (s.startsWith(QLatin1String("PRAGMA"))) continue;
        if (s.startsWith(QLatin1String("CREATE INDEX")))
            indexes << s;
        else
            exec(q, s);
    }
    const qint64 perIndex = std::max<qint64>(1, options.records / 20);
    const qint64 total = qint64(options.records) + perIndex * indexes.size();
    exec(q, QStringLiteral("BEGIN"));
    if (!q.prepare(QStringLiteral("INSERT INTO \"行政区\" VALUES (?)")))
        throwDatabaseError(q.lastError());
    for (const QString& district : demoDistricts()) {
        q.bindValue(0, district);
        if (!q.exec()) throwDatabaseError(q.lastError());
    }
    // Named parameters: Qt binds them by a lookup, where positions cost a text each.
    QStringList names, holders;
    for (const ColumnDef& c : recordColumns()) {
        names << QLatin1Char('"') + QString::fromUtf8(c.name) + QLatin1Char('"');
        holders << QStringLiteral(":c%1").arg(holders.size());
    }
    QSqlQuery ins(db);
    if (!ins.prepare(QStringLiteral("INSERT INTO \"基本データ\" (%1) VALUES (%2)")
                         .arg(names.join(QLatin1Char(',')), holders.join(QLatin1Char(',')))))
        throwDatabaseError(ins.lastError());
    RowMaker maker(options.seed);
    QHash<int, QByteArray> drawings; // a few plans, reused
    QHash<int, QByteArray> padded;   // the sheets grown to their size, reused
    const int step = std::max(1, options.records / 200);
    for (int i = 0; i < options.records; ++i) {
        const QList<QVariant> v = maker.row(i);
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
        int column = 0;
        for (const QVariant& x : v) ins.bindValue(holders[column++], x);
        ins.bindValue(holders[column++], zumen);
        ins.bindValue(holders[column], excel);
        if (!ins.exec()) throwDatabaseError(ins.lastError());
        if (options.progress && (i + 1) % step == 0) options.progress(i + 1, total);
    }
    exec(q, QStringLiteral("COMMIT"));
    // Each index reads the whole table: through a mapping, without copying its pages.
    exec(q, QStringLiteral("PRAGMA mmap_size=%1").arg(qint64(1) << 33));
    qint64 done = options.records;
    for (const QString& s : indexes) {
        exec(q, s);
        done += perIndex;
        if (options.progress && done < total) options.progress(done, total);
    }
    exec(q, QStringLiteral("PRAGMA locking_mode=NORMAL"));
    exec(q, QStringLiteral("PRAGMA journal_mode=WAL"));
    return total;
}

// Creates the file `path` and fills it (fillDemo); the connection is gone on return,
// whatever happened.
qint64 buildDemoFile(const QString& path, const DemoOptions& options) {
    const QString name = QStringLiteral("tovera-demo-") + QUuid::createUuid().toString();
    qint64 total = 0;
    try {
        QSqlDatabase db = createStoreFile(path, name);
        total = fillDemo(db, options);
        db.close();
    } catch (...) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
        throw;
    }
    QSqlDatabase::removeDatabase(name);
    return total;
}

void removeBuilt(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// Writes the file's bytes (or, for a folder, its entries) to the disk. Raises EInOutError.
void syncPath(const QString& path, bool folder) {
    const QByteArray local = QFile::encodeName(path);
    const int fd =
        ::open(local.constData(), (folder ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) throwFileError(path, errno);
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        // Some file systems cannot sync a folder; the file itself is synced.
        if (folder && (e == EINVAL || e == EBADF)) return;
        throwFileError(path, e);
    }
    ::close(fd);
}

// Gives the finished file `from` the name `to`, never replacing a file that took that name
// meanwhile. Raises EInOutError.
void placeFile(const QString& from, const QString& to) {
    const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return;
    int e = errno;
    if (e == EINVAL || e == ENOSYS) {
        // No such rename here: a hard link is made only when the name is free.
        if (::link(a.constData(), b.constData()) == 0) {
            ::unlink(a.constData());
            return;
        }
        e = errno;
    }
    if (e == EEXIST)
        throw EInOutError(QStringLiteral("ファイル %1 は既にあります").arg(to), EEXIST);
    throwFileError(to, e);
}

} // namespace

DemoOptions registerDemoOptions(int records) {
    DemoOptions o;
    o.records = records;
    if (records >= 10000) {
        o.drawingEvery = 20;
        o.sheetEvery = 50;
    }
    return o;
}

void createDemo(const QString& path, const DemoOptions& options) {
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw EInOutError(QStringLiteral("ファイル %1 は既にあります").arg(path), EEXIST);
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir()) throwFileError(path, ENOENT);
    if (!folder.isWritable()) throwFileError(path, EACCES);
    // Built under a hidden name beside its place, so a half-made register never bears the
    // name, whatever stops the build.
    const QString building = target.absoluteDir().filePath(
        QStringLiteral(".%1.%2.building")
            .arg(target.fileName(), QUuid::createUuid().toString(QUuid::Id128).left(12)));
    qint64 total = 0;
    try {
        total = buildDemoFile(building, options);
        syncPath(building, false);
        placeFile(building, target.absoluteFilePath());
    } catch (...) {
        removeBuilt(building);
        throw;
    }
    syncPath(target.absolutePath(), true);
    if (options.progress) options.progress(total, total);
}

} // namespace tovera
