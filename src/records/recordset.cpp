#include "records/recordset.h"

#include "platform/errors.h"
#include "records/recordset_impl.h"

#include <QFile>
#include <functional>

namespace tovera {

RecordSet::RecordSet(Connection& connection, QObject* parent)
    : QObject(parent), d(new Impl(connection)) {}

RecordSet::~RecordSet() {
    delete d;
}

void RecordSet::open(const QString& sql, const QVariantMap& params) {
    close();
    d->sql = sql;
    d->params = params;
    d->rowQuery.reset();
    d->writes.clear();
    if (!d->connection.isOpen()) throw EDatabaseError(QStringLiteral("接続が開かれていません"));
    d->readColumns();
    RecordOrder order = d->readKeys();
    const std::optional<RecordOrder::Pos> start = order.first();
    Impl::Row first = d->readAt(order, start);
    d->order = std::move(order);
    d->show(start, std::move(first));
    d->state = State::Browsing;
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    if (start) Q_EMIT afterScroll();
}

void RecordSet::reopen() {
    open(d->sql, d->params);
}

void RecordSet::close() {
    if (d->state == State::Closed) return;
    endEdit();
    closeDiscarding();
}

void RecordSet::closeDiscarding() {
    const bool wasOpen = d->state != State::Closed;
    d->state = State::Closed;
    d->order = RecordOrder();
    d->rowQuery.reset();
    d->writes.clear();
    d->cur.reset();
    d->row.clear();
    d->blobLens.clear();
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    if (wasOpen) {
        Q_EMIT stateChanged();
        Q_EMIT dataChanged();
    }
}

RecordSet::State RecordSet::state() const {
    return d->state;
}
int RecordSet::recordCount() const {
    return d->state == State::Closed ? 0 : d->order.count();
}
bool RecordSet::isEmpty() const {
    // An open record set with records always has a current one (the insertion place
    // while inserting).
    return d->state == State::Closed || !d->cur;
}
int RecordSet::currentIndex() const {
    if (!d->cur) return d->state == State::Inserting ? 0 : -1;
    return d->order.indexOf(*d->cur);
}
QString RecordSet::sql() const {
    return d->sql;
}
QVariantMap RecordSet::params() const {
    return d->params;
}
bool RecordSet::isModified() const {
    return d->editing() && d->modified;
}

void RecordSet::moveTo(const std::optional<RecordOrder::Pos>& p) {
    if (!p) return;
    Impl::Row r = d->readAt(d->order, p); // the position changes only once it is read
    d->show(p, std::move(r));
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

void RecordSet::first() {
    requireOpen(d->state);
    endEdit();
    moveTo(d->order.first());
}

void RecordSet::last() {
    requireOpen(d->state);
    endEdit();
    moveTo(d->order.last());
}

void RecordSet::prior() {
    requireOpen(d->state);
    endEdit();
    if (!d->cur) return;
    moveTo(d->order.prior(*d->cur));
}

void RecordSet::next() {
    requireOpen(d->state);
    endEdit();
    if (!d->cur) return;
    moveTo(d->order.next(*d->cur));
}

namespace {
// Asks the order once per current record. A file that cannot be read now (locked by
// another user) offers the move: the move itself then reports why it failed.
bool neighbour(std::optional<bool>& known, const std::function<bool()>& ask) {
    if (!known) {
        try {
            known = ask();
        } catch (const std::exception&) {
            return true;
        }
    }
    return *known;
}
} // namespace

bool RecordSet::canMovePrior() const {
    if (d->state == State::Closed || !d->cur) return false;
    return neighbour(d->hasPrior, [this] { return bool(d->order.prior(*d->cur)); });
}
bool RecordSet::canMoveNext() const {
    if (d->state == State::Closed || !d->cur) return false;
    return neighbour(d->hasNext, [this] { return bool(d->order.next(*d->cur)); });
}

void RecordSet::edit() {
    requireOpen(d->state);
    if (d->editing()) return;
    if (!d->cur) {
        insert();
        return;
    }
    d->startPending(false);
    d->state = State::Editing;
    Q_EMIT stateChanged();
}

void RecordSet::insert() {
    requireOpen(d->state);
    endEdit();
    d->row = QList<QVariant>(d->columns.size());
    d->blobLens = QList<qint64>(d->columns.size(), 0);
    d->startPending(true);
    d->state = State::Inserting;
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

QVariant RecordSet::value(const QString& column) const {
    const int i = d->indexOf(column);
    if (i < 0 || d->state == State::Closed || d->columns[i].def.kind == ColumnKind::Blob)
        return QVariant();
    if (d->editing()) {
        const QVariant& v = d->pending[i];
        if (d->columns[i].def.kind == ColumnKind::Date && v.metaType().id() == QMetaType::QString) {
            const QDateTime dt = parseStoredDate(v.toString());
            return dt.isValid() ? QVariant(dt) : v;
        }
        return v;
    }
    return d->row.value(i);
}

QString RecordSet::text(const QString& column) const {
    const int i = d->indexOf(column);
    if (i < 0) return QString();
    return displayText(d->columns[i].def, value(column));
}

void RecordSet::setValue(const QString& column, const QVariant& value) {
    requireOpen(d->state);
    const int i = d->require(column);
    if (!d->editing()) throw EDatabaseError(kNotEditing);
    QVariant converted = convertForColumn(d->columns[i].def, value);
    if (d->columns[i].def.kind == ColumnKind::Date && converted.isValid())
        converted = parseStoredDate(converted.toString());
    d->pending[i] = converted;
    d->changed[i] = true;
    d->modified = true;
    Q_EMIT fieldChanged(column);
}

qint64 RecordSet::blobLength(const QString& column) const {
    const int i = d->indexOf(column);
    if (i < 0 || d->state == State::Closed || d->columns[i].def.kind != ColumnKind::Blob) return 0;
    if (d->editing() && d->changed[i]) return d->pending[i].toByteArray().size();
    return d->blobLens.value(i);
}

QByteArray RecordSet::readBlob(const QString& column) const {
    requireOpen(d->state);
    const int i = d->require(column);
    if (d->editing() && d->changed[i]) return d->pending[i].toByteArray();
    if (d->state == State::Inserting || !d->cur) return QByteArray();
    QSqlQuery q(d->connection.database());
    q.setForwardOnly(true);
    const bool ok = q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                  .arg(quoted(column), quoted(QString::fromUtf8(kRecordTable))));
    if (ok) q.addBindValue(d->curKey());
    if (!ok || !q.exec()) throwDatabaseError(q.lastError());
    return q.next() ? q.value(0).toByteArray() : QByteArray();
}

void RecordSet::loadBlobFromFile(const QString& column, const QString& path) {
    requireOpen(d->state);
    d->require(column);
    if (!d->editing()) throw EDatabaseError(kNotEditing);
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly)) throwOpenError(path, errno ? errno : ENOENT);
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) throw EInOutError(ioErrorText(EIO), EIO);
    setValue(column, bytes);
}

QStringList RecordSet::columnNames() const {
    QStringList names;
    if (d->state == State::Closed) return names;
    for (const auto& c : d->columns) names << c.name;
    return names;
}

void RecordSet::addLink(RecordLink* link) {
    if (!d->links.contains(link)) d->links.push_back(link);
}

void RecordSet::removeLink(RecordLink* link) {
    d->links.removeAll(link);
}

// ---- Attachments

void AttachmentStore::beginStore() {
    if (!records_.isOpen()) records_.reopen();
    records_.edit();
}

void AttachmentStore::store(const QString& column, const QByteArray& bytes) {
    beginStore();
    // Empty bytes are stored as NULL: the record then holds no attachment.
    records_.setValue(column, bytes);
    records_.post();
}

void AttachmentStore::storeFile(const QString& column, const QString& path) {
    beginStore();
    records_.loadBlobFromFile(column, path);
    records_.post();
}

void AttachmentStore::erase(const QString& column) {
    records_.edit();
    records_.setValue(column, QByteArray());
}

} // namespace tovera
