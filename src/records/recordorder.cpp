#include "records/recordorder.h"

#include "records/dberror.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace tovera {

RecordOrder RecordOrder::wholeTable(const QSqlDatabase& db, const QString& quotedTable) {
    RecordOrder o;
    o.lazy_ = true;
    o.db_ = db;
    o.table_ = quotedTable;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT max(rowid) FROM %1").arg(quotedTable)))
        throwDatabaseError(q.lastError());
    o.upper_ = q.next() && !q.value(0).isNull() ? q.value(0).toLongLong() : INT64_MIN;
    return o;
}

RecordOrder RecordOrder::listed(QList<qint64> sorted) {
    RecordOrder o;
    o.listed_ = std::move(sorted);
    return o;
}

std::optional<qint64> RecordOrder::rowidQuery(const QString& sql, qint64 a, qint64 b) const {
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    bool ok = q.prepare(sql.arg(table_));
    if (ok) {
        q.addBindValue(a);
        q.addBindValue(b);
        ok = q.exec();
    }
    if (!ok) throwDatabaseError(q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid()) throwDatabaseError(q.lastError());
        return std::nullopt;
    }
    if (q.value(0).isNull()) return std::nullopt;
    return q.value(0).toLongLong();
}

const QList<qint64>* RecordOrder::group(qint64 anchor) const {
    const auto it = before_.find(anchor);
    return it == before_.end() || it->second.isEmpty() ? nullptr : &it->second;
}

std::optional<qint64> RecordOrder::baseAfter(qint64 k) const {
    std::optional<qint64> found;
    if (lazy_) {
        qint64 from = k;
        while ((found = rowidQuery(QStringLiteral("SELECT rowid FROM %1 WHERE rowid > ? AND "
                                                  "rowid <= ? ORDER BY rowid LIMIT 1"),
                                   from, upper_)) &&
               inserted_.contains(*found))
            from = *found;
    } else {
        auto it = std::upper_bound(listed_.begin(), listed_.end(), k);
        while (it != listed_.end() && inserted_.contains(*it)) ++it;
        if (it != listed_.end()) found = *it;
    }
    // A record others deleted keeps its place, and that of the records inserted before it.
    const auto a = before_.upper_bound(k);
    if (a != before_.end() && a->first != kEnd && (!found || a->first < *found)) found = a->first;
    const auto g = kept_.upper_bound(k);
    if (g != kept_.end() && (!found || *g < *found)) found = *g;
    return found;
}

std::optional<qint64> RecordOrder::baseBefore(qint64 k) const {
    std::optional<qint64> found;
    if (lazy_) {
        qint64 from = k;
        while ((found = rowidQuery(QStringLiteral("SELECT rowid FROM %1 WHERE rowid < ? AND "
                                                  "rowid <= ? ORDER BY rowid DESC LIMIT 1"),
                                   from, upper_)) &&
               inserted_.contains(*found))
            from = *found;
    } else {
        auto it = std::lower_bound(listed_.begin(), listed_.end(), k);
        while (it != listed_.begin() && inserted_.contains(*(it - 1))) --it;
        if (it != listed_.begin()) found = *(it - 1);
    }
    auto a = before_.lower_bound(k);
    while (a != before_.begin()) {
        --a;
        if (a->first == kEnd) continue;
        if (!found || a->first > *found) found = a->first;
        break;
    }
    const auto g = kept_.lower_bound(k);
    if (g != kept_.begin() && (!found || *std::prev(g) > *found)) found = *std::prev(g);
    return found;
}

qint64 RecordOrder::baseCountBelow(qint64 k) const {
    if (!lazy_) return std::lower_bound(listed_.begin(), listed_.end(), k) - listed_.begin();
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    bool ok;
    if (k == kEnd) {
        ok = q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE rowid <= ?").arg(table_));
        if (ok) q.addBindValue(upper_);
    } else {
        ok = q.prepare(
            QStringLiteral("SELECT count(*) FROM %1 WHERE rowid < ? AND rowid <= ?").arg(table_));
        if (ok) {
            q.addBindValue(k);
            q.addBindValue(upper_);
        }
    }
    if (!ok || !q.exec() || !q.next()) throwDatabaseError(q.lastError());
    qint64 n = q.value(0).toLongLong();
    for (qint64 key : inserted_)
        if (key < k && key <= upper_) --n;
    for (qint64 key : kept_)
        if (key < k) ++n;
    return n;
}

qint64 RecordOrder::key(const Pos& p) const {
    if (p.sub < 0) return p.anchor;
    const QList<qint64>* g = group(p.anchor);
    return g && p.sub < g->size() ? g->at(p.sub) : -1;
}

RecordOrder::Pos RecordOrder::enter(qint64 base) const {
    return group(base) ? Pos{base, 0} : Pos{base, -1};
}

std::optional<RecordOrder::Pos> RecordOrder::first() const {
    if (const auto b = baseAfter(INT64_MIN)) return enter(*b);
    if (group(kEnd)) return Pos{kEnd, 0};
    return std::nullopt;
}

std::optional<RecordOrder::Pos> RecordOrder::last() const {
    if (const QList<qint64>* g = group(kEnd)) return Pos{kEnd, int(g->size()) - 1};
    if (const auto b = baseBefore(kEnd)) return Pos{*b, -1};
    return std::nullopt;
}

std::optional<RecordOrder::Pos> RecordOrder::next(const Pos& p) const {
    if (p.sub >= 0) {
        const QList<qint64>* g = group(p.anchor);
        if (g && p.sub + 1 < g->size()) return Pos{p.anchor, p.sub + 1};
        if (p.anchor != kEnd) return Pos{p.anchor, -1};
        return std::nullopt;
    }
    if (const auto b = baseAfter(p.anchor)) return enter(*b);
    if (group(kEnd)) return Pos{kEnd, 0};
    return std::nullopt;
}

std::optional<RecordOrder::Pos> RecordOrder::prior(const Pos& p) const {
    if (p.sub > 0) return Pos{p.anchor, p.sub - 1};
    if (p.sub < 0)
        if (const QList<qint64>* g = group(p.anchor)) return Pos{p.anchor, int(g->size()) - 1};
    if (const auto b = baseBefore(p.anchor)) return Pos{*b, -1};
    return std::nullopt;
}

std::optional<RecordOrder::Pos> RecordOrder::find(qint64 key) const {
    if (inserted_.contains(key)) {
        for (const auto& [anchor, keys] : before_) {
            const int i = int(keys.indexOf(key));
            if (i >= 0) return Pos{anchor, i};
        }
        return std::nullopt;
    }
    if (before_.count(key) || kept_.count(key)) return Pos{key, -1};
    if (!lazy_) {
        const auto it = std::lower_bound(listed_.begin(), listed_.end(), key);
        if (it != listed_.end() && *it == key) return Pos{key, -1};
        return std::nullopt;
    }
    if (key > upper_) return std::nullopt;
    if (rowidQuery(QStringLiteral("SELECT rowid FROM %1 WHERE rowid >= ? AND rowid <= ?"), key,
                   key))
        return Pos{key, -1};
    return std::nullopt;
}

int RecordOrder::indexOf(const Pos& p) const {
    qint64 n = baseCountBelow(p.anchor);
    for (const auto& [anchor, keys] : before_) {
        if (anchor < p.anchor)
            n += keys.size();
        else if (anchor == p.anchor)
            n += p.sub >= 0 ? p.sub : keys.size();
    }
    return int(n);
}

int RecordOrder::count() const {
    if (count_) return *count_;
    qint64 n = baseCountBelow(kEnd);
    for (const auto& entry : before_) n += entry.second.size();
    count_ = int(n);
    return *count_;
}

void RecordOrder::keep(qint64 key) {
    if (!lazy_ || key > upper_ || inserted_.contains(key) || before_.count(key)) return;
    if (kept_.insert(key).second && count_) ++*count_;
}

std::optional<RecordOrder::Pos> RecordOrder::at(int index) const {
    if (index < 0) return std::nullopt;
    if (before_.empty() && inserted_.isEmpty() && kept_.empty()) {
        if (!lazy_) {
            if (index >= listed_.size()) return std::nullopt;
            return Pos{listed_[index], -1};
        }
        if (const auto k = rowidQuery(QStringLiteral("SELECT rowid FROM %1 WHERE rowid <= ? "
                                                     "ORDER BY rowid LIMIT 1 OFFSET ?"),
                                      upper_, index))
            return Pos{*k, -1};
        return std::nullopt;
    }
    std::optional<Pos> p = first();
    for (int i = 0; p && i < index; ++i) p = next(*p);
    return p;
}

RecordOrder::Pos RecordOrder::insertBefore(const std::optional<Pos>& p, qint64 key) {
    inserted_.insert(key);
    if (count_) ++*count_;
    if (!p) {
        QList<qint64>& g = before_[kEnd];
        g.push_back(key);
        return Pos{kEnd, int(g.size()) - 1};
    }
    QList<qint64>& g = before_[p->anchor];
    if (p->sub >= 0) {
        g.insert(p->sub, key);
        return Pos{p->anchor, p->sub};
    }
    g.push_back(key);
    return Pos{p->anchor, int(g.size()) - 1};
}

void RecordOrder::removed(const Pos& p) {
    if (count_) --*count_;
    if (p.sub >= 0) {
        auto it = before_.find(p.anchor);
        if (it == before_.end() || p.sub >= it->second.size()) return;
        inserted_.remove(it->second.takeAt(p.sub));
        if (it->second.isEmpty()) before_.erase(it);
        return;
    }
    const qint64 b = p.anchor;
    if (!lazy_) {
        const auto it = std::lower_bound(listed_.begin(), listed_.end(), b);
        if (it != listed_.end() && *it == b) listed_.erase(it);
    }
    inserted_.remove(b);
    auto it = before_.find(b);
    if (it == before_.end()) return;
    QList<qint64> moved = std::move(it->second);
    before_.erase(it);
    // The records inserted before it now stand before the record that followed it.
    const auto following = baseAfter(b);
    QList<qint64>& target = before_[following ? *following : kEnd];
    target = moved + target;
}

} // namespace tovera
