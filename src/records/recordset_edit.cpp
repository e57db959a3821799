// The record set's writes: posting, cancelling, deleting and refreshing.

#include "records/recordset.h"

#include "platform/errors.h"
#include "records/recordset_impl.h"

namespace tovera {

void RecordSet::post() {
    requireOpen(d->state);
    if (!d->editing()) return;
    d->updateLinks();
    QList<int> which;
    for (int i = 0; i < d->columns.size(); ++i)
        if (d->changed[i]) which << i;
    d->begin();
    qint64 key = -1;
    Impl::Row stored;
    try {
        // The server's UPDATE names the version it read; without one the read checks it.
        if (d->state == State::Editing && (!d->engine.hasVersion() || which.isEmpty()))
            d->requireUnchanged(kPostGone, kPostChanged);
        key = write(which);
        stored = d->readRow(key);
        d->commit();
    } catch (...) {
        d->rollback();
        throw;
    }
    if (d->state == State::Inserting) d->cur = d->order.insertBefore(d->cur, key);
    d->state = State::Browsing;
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    d->show(d->cur, std::move(stored));
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
}

qint64 RecordSet::write(const QList<int>& which) {
    QStringList names;
    for (int i : which) names << quoted(d->columns[i].name);
    const QString table = quoted(QString::fromUtf8(kRecordTable));
    QSqlQuery none;
    QSqlQuery* statement = &none;
    bool ok = true;
    if (d->state == State::Editing && !which.isEmpty()) {
        QStringList sets;
        for (const QString& n : names) sets << n + QStringLiteral(" = ?");
        ok = d->prepareWrite(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                 .arg(table, sets.join(QLatin1Char(',')), d->whereAsRead()),
                             statement);
        if (ok) {
            for (int i : which) statement->addBindValue(d->boundValue(i));
            d->bindAsRead(*statement);
            ok = statement->exec();
        }
        if (ok && statement->numRowsAffected() != 1) {
            statement->finish();
            d->requireUnchanged(kPostGone, kPostChanged);
            throw d->refusal(kPostChanged);
        }
    } else if (d->state == State::Inserting) {
        ok = d->prepareWrite(d->engine.insertStatement(table, names), statement);
        if (ok) {
            for (int i : which) statement->addBindValue(d->boundValue(i));
            ok = statement->exec();
        }
    }
    QSqlQuery& q = *statement;
    if (!ok) {
        const QSqlError e = q.lastError();
        const QString text = databaseErrorText(e);
        const int district = d->indexOf(QString::fromUtf8(kDistrictColumn));
        if (e.databaseText().contains(QLatin1String("FOREIGN KEY"), Qt::CaseInsensitive) &&
            district >= 0)
            throw EDatabaseError(QStringLiteral("所在区 '%1' は行政区に登録されていません")
                                     .arg(d->pending[district].toString()));
        throw EDatabaseError(text);
    }
    qint64 key = d->curKey();
    if (d->state == State::Inserting)
        key = d->engine.insertReturnsKey() ? (q.next() ? q.value(0).toLongLong() : -1)
                                           : q.lastInsertId().toLongLong();
    q.finish();
    return key;
}

void RecordSet::cancel() {
    requireOpen(d->state);
    if (!d->editing()) return;
    const bool inserting = d->state == State::Inserting;
    // Leaving an insertion shows the record at its place again, once it is read.
    Impl::Row shown = inserting ? d->readAt(d->order, d->cur) : Impl::Row{};
    d->state = State::Browsing;
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    if (inserting) d->show(d->cur, std::move(shown));
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    if (inserting) Q_EMIT afterScroll();
}

void RecordSet::remove() {
    requireOpen(d->state);
    if (d->state == State::Inserting) {
        cancel();
        return;
    }
    if (!d->cur) throw EDatabaseError(kEmpty);
    // The record shown afterwards is the next one, or the one before the last.
    std::optional<RecordOrder::Pos> following = d->order.next(*d->cur);
    if (!following) following = d->order.prior(*d->cur);
    const qint64 followingKey = following ? d->order.key(*following) : -1;
    d->begin();
    Impl::Row shown;
    try {
        if (!d->engine.hasVersion()) d->requireUnchanged(kDeleteGone, kDeleteChanged);
        QSqlQuery q(d->connection.database());
        const bool ok =
            q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2")
                          .arg(quoted(QString::fromUtf8(kRecordTable)), d->whereAsRead()));
        if (ok) d->bindAsRead(q);
        if (!ok || !q.exec()) throwDatabaseError(q.lastError());
        if (q.numRowsAffected() != 1) {
            q.finish();
            d->requireUnchanged(kDeleteGone, kDeleteChanged);
            throw d->refusal(kDeleteChanged);
        }
        q.finish();
        shown = d->readAt(d->order, following);
        d->commit();
    } catch (...) {
        d->rollback();
        throw;
    }
    d->order.removed(*d->cur);
    d->state = State::Browsing;
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    d->show(following ? d->order.find(followingKey) : std::nullopt, std::move(shown));
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

void RecordSet::refresh() {
    requireOpen(d->state);
    endEdit();
    const qint64 before = d->curKey();
    RecordOrder fresh = d->readKeys();
    std::optional<RecordOrder::Pos> target;
    if (before >= 0) target = fresh.find(before);
    const QString* gone = nullptr; // what to say when the record shown has gone
    if (before >= 0 && !target) {
        // The nearest record after it that is still there, else the nearest before it.
        for (auto p = d->order.next(*d->cur); p && !target; p = d->order.next(*p)) {
            target = fresh.find(d->order.key(*p));
            gone = &kShownGoneNext;
        }
        for (auto p = d->order.prior(*d->cur); p && !target; p = d->order.prior(*p)) {
            target = fresh.find(d->order.key(*p));
            gone = &kShownGonePrior;
        }
        if (!target && !fresh.isEmpty()) {
            const int was = d->order.indexOf(*d->cur);
            const int index = std::clamp(was, 0, fresh.count() - 1);
            target = fresh.at(index);
            gone = index < was ? &kShownGonePrior : &kShownGoneNext;
        }
        if (!target) gone = &kShownGoneNone;
    } else if (!target) {
        target = fresh.first();
    }
    Impl::Row shown = d->readAt(fresh, target); // nothing changes before the record is read
    d->order = std::move(fresh);
    d->show(target, std::move(shown));
    Q_EMIT dataChanged();
    if (d->cur ? d->curKey() != before : before >= 0) Q_EMIT afterScroll();
    if (gone) throw EDatabaseError(*gone);
}

void RecordSet::endEdit() {
    if (!d->editing()) return;
    d->updateLinks();
    if (d->modified)
        post();
    else
        cancel();
}

} // namespace tovera
