#pragma once
// The record set: the updatable result of a query over 基本データ with one current
// record, shared by every record operation; and the district table 行政区.
//
// Rows are identified by SQLite's rowid. Opening reads only the rowids of the result; the
// current record's columns are read when it becomes current, and of the attachments
// (zumen, excel) only their byte lengths: their bytes are read by readBlob on demand.
// Every error is raised as EDatabaseError (EInOutError for files) and leaves the state as
// it was.

#include "records/provider.h"
#include "records/recordorder.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QVariant>

namespace tovera {

// A data-bound control. Before a record is posted (and before an edit is ended by a move,
// a close or a refresh) the record set asks each link to write the text it holds unwritten
// into its column; a link raises to stop the post.
class RecordLink {
public:
    virtual ~RecordLink() = default;
    virtual void updateRecord() = 0;
};

class RecordSet : public QObject {
    Q_OBJECT
public:
    enum class State { Closed, Browsing, Editing, Inserting };

    explicit RecordSet(Connection& connection, QObject* parent = nullptr);
    ~RecordSet() override;

    // Runs `sql` (with named parameters `params`, e.g. ":Date_s") and positions on the
    // first record; afterScroll follows when there is at least one. The query must have
    // the form "select * from 基本データ ..." (any case, any conditions after the table).
    // An open record set is closed first (see close). Raises EDatabaseError; the record
    // set is then closed.
    void open(const QString& sql, const QVariantMap& params = {});
    // Opens again with the query and parameters of the last open.
    void reopen();
    // Closes the record set. An edit in progress is ended first exactly as a move ends it
    // (posted when a column changed, else cancelled); when that post fails the error is
    // raised and the record set stays open in its mode, so nothing typed is lost.
    void close();
    // Closes without posting anything (start-up failures).
    void closeDiscarding();
    State state() const;
    bool isOpen() const { return state() != State::Closed; }
    // The number of records and the current one's 0-based place (-1 with no record; the
    // insertion place while inserting). Both count the records before a place, which for
    // the full list of a large register costs a walk of the file's keys.
    int recordCount() const;
    int currentIndex() const;
    // True when the result holds no record (cheap, unlike recordCount).
    bool isEmpty() const;
    QString sql() const;
    QVariantMap params() const;

    // Moves (each ends an edit first: post when a column changed, else cancel). The place
    // changes only once the new record was read; a failed read leaves it as it was.
    void first();
    void prior();
    void next();
    void last();
    bool canMovePrior() const; // open, not on the first record
    bool canMoveNext() const;  // open, not on the last record

    // Puts the current record into edit mode; with no record starts an insertion instead.
    void edit();
    // Ends an edit, then starts a new empty record before the current one.
    void insert();
    // Writes the edited or inserted record to the file and reads it back in one
    // transaction (nothing in browse mode); when either fails nothing is written and the
    // record stays in its mode. An edited record whose row another connection deleted or
    // changed since it was read (any column's value or attachment's length differs) is
    // refused with a Japanese EDatabaseError saying which; the edit stays as typed. The
    // post returns once the file holds it durably (see Connection::open).
    void post();
    // Discards the edit or the insertion.
    void cancel();
    // Deletes the current record at once (an insertion is cancelled instead). The record
    // shown next is read in the same transaction: when it cannot be read, nothing is
    // deleted. A record another connection deleted or changed since it was read is not
    // deleted: EDatabaseError says which.
    void remove();
    // Ends an edit, then re-reads the rows of the query, keeping the current record. When
    // that record has gone, the nearest one after it that is still there becomes current
    // (else the nearest before it), afterScroll follows, and then EDatabaseError says so.
    void refresh();
    // Ends an edit as a move does: post when a column changed, else cancel.
    void endEdit();
    bool isModified() const;

    // Value of a column of the current record (null when none); attachments excluded.
    // Dates come as QDateTime, numbers as double or qlonglong, text as QString.
    QVariant value(const QString& column) const;
    // The text a bound control shows for the column ("" for NULL).
    QString text(const QString& column) const;
    // Writes a column of the current record. Raises EDatabaseError "データセットが編集または
    // 挿入モードではありません" in browse mode, and for a value the column cannot hold.
    void setValue(const QString& column, const QVariant& value);
    // Byte length of a long binary column (zumen, excel) of the current record, without
    // loading it; 0 for NULL or no record.
    qint64 blobLength(const QString& column) const;
    // The bytes of a long binary column of the current record (empty for NULL).
    QByteArray readBlob(const QString& column) const;
    // Replaces a long binary column with the bytes of the file `path` (edit mode needed).
    // Raises EInOutError when the file cannot be read; the column is then unchanged.
    void loadBlobFromFile(const QString& column, const QString& path);
    // The columns of 基本データ in table order (empty when closed).
    QStringList columnNames() const;

    // Links are not owned; a link removes itself before it dies.
    void addLink(RecordLink* link);
    void removeLink(RecordLink* link);

Q_SIGNALS:
    // After every change of the current record (ADOQuery1AfterScroll).
    void afterScroll();
    // The state changed (closed, browsing, editing, inserting).
    void stateChanged();
    // What the controls show changed as a whole (record change, post, cancel, close).
    void dataChanged();
    // One column was written by setValue.
    void fieldChanged(const QString& column);

private:
    // Makes the record at `p` current (nothing without one), shows it and runs afterScroll.
    void moveTo(const std::optional<RecordOrder::Pos>& p);
    // Writes the changed columns `which` of the edited or inserted record (inside the
    // post's transaction) and returns the record's rowid.
    qint64 write(const QList<int>& which);

    struct Impl;
    Impl* d;
};

class DistrictTable {
public:
    explicit DistrictTable(Connection& connection);
    // Reads table 行政区 whole, positioned on its first row. Raises EDatabaseError.
    void open();
    void close();
    bool isOpen() const { return open_; }
    // The values of 行政区.所在区, in table order.
    QStringList districts() const { return districts_; }

private:
    Connection& connection_;
    bool open_ = false;
    QStringList districts_;
};

// Start-up steps 4 and 5: connects to `databasePath` through the connection string, then
// opens the record set with "select * from 基本データ" and the district table. Each step
// reports its own failure through `dialogs` ("ＤＢ接続に失敗しました。",
// "ＤＢをオープン出来ませんでした。") and start-up goes on. True when both succeeded.
class Dialogs;
bool openAtStartup(const QString& databasePath, Connection& connection, RecordSet& records,
                   DistrictTable& districts, Dialogs& dialogs);

// The common steps of storing an attachment, on a record set.
class AttachmentStore {
public:
    explicit AttachmentStore(RecordSet& records) : records_(records) {}
    // Opens the record set with its query when it is closed, puts the current record into
    // edit mode (a new record when the set holds none), replaces column `column` whole with
    // `bytes` and posts. The row is written by one statement, so the file holds the old or
    // the new bytes, never a mix. Raises EDatabaseError; a failed post leaves the record in
    // edit mode.
    void store(const QString& column, const QByteArray& bytes);
    // As store, with the bytes of the file `path`. A file that cannot be read raises
    // EInOutError after the edit has begun: the record stays in edit mode and the column is
    // unchanged.
    void storeFile(const QString& column, const QString& path);
    // Puts the current record into edit mode (a new record when there is none) and empties
    // column `column`, without posting.
    void erase(const QString& column);

private:
    void beginStore();
    RecordSet& records_;
};

} // namespace tovera
