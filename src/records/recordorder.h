#pragma once
// The order of the records of a record set, read as it is walked.
//
// The records of a query come in the order they were entered (rowid order). The full list
// reads no key when it opens: it stands for every row whose rowid was at most the largest
// one at opening, and each move asks the file for the neighbouring rowid through the
// table's own key. A narrowed query keeps the sorted rowids it delivered. Records inserted
// through the record set stand before the record that was current, as the user placed
// them, until the next refresh puts them in their entered place. Every error is raised as
// EDatabaseError.

#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace tovera {

class RecordOrder {
public:
    // A place in the order: the record `anchor` itself (sub < 0), or the sub-th of the
    // records inserted before it. The anchor kEnd holds those inserted after the last one.
    struct Pos {
        qint64 anchor = 0;
        int sub = -1;
        bool operator==(const Pos&) const = default;
    };
    static constexpr qint64 kEnd = INT64_MAX;

    RecordOrder() = default;
    // The whole table as it stands: no key is read.
    static RecordOrder wholeTable(const QSqlDatabase& db, const QString& quotedTable);
    // The rowids `sorted` (ascending).
    static RecordOrder listed(QList<qint64> sorted);

    qint64 key(const Pos& p) const;
    std::optional<Pos> first() const;
    std::optional<Pos> last() const;
    std::optional<Pos> next(const Pos& p) const;
    std::optional<Pos> prior(const Pos& p) const;
    // The place of record `key`, none when the order does not hold it.
    std::optional<Pos> find(qint64 key) const;
    // 0-based place of `p`, and the number of records: these count, so they cost a walk
    // of the keys before `p` in the file.
    int indexOf(const Pos& p) const;
    int count() const;
    // The place `index` (0-based, valid).
    std::optional<Pos> at(int index) const;
    bool isEmpty() const { return !first(); }

    // The record `key`, just written, stands before `p` (at the end with no `p`); returns
    // its place.
    Pos insertBefore(const std::optional<Pos>& p, qint64 key);
    // Record `p` was deleted from the file.
    void removed(const Pos& p);
    // Record `key` of the order was found deleted by another user: it keeps its place (and
    // reads as an empty record) until the next refresh.
    void keep(qint64 key);

private:
    std::optional<qint64> baseAfter(qint64 k) const;
    std::optional<qint64> baseBefore(qint64 k) const;
    qint64 baseCountBelow(qint64 k) const;
    std::optional<qint64> rowidQuery(const QString& sql, qint64 a, qint64 b) const;
    Pos enter(qint64 base) const; // the first place belonging to base key `base`
    const QList<qint64>* group(qint64 anchor) const;

    bool lazy_ = false;
    QSqlDatabase db_;
    QString table_;
    qint64 upper_ = 0;      // lazy: rows with rowid <= upper_
    QList<qint64> listed_;  // not lazy: the keys, ascending
    QSet<qint64> inserted_; // keys placed through insertBefore
    std::map<qint64, QList<qint64>> before_;
    std::set<qint64> kept_;            // lazy: keys others deleted that keep their place
    mutable std::optional<int> count_; // the number of records, once counted
};

} // namespace tovera
