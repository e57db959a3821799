#include "records/recordset.h"

// The record set is being written; these bodies only keep the build whole.
namespace tovera {

struct RecordSet::Impl {};
RecordSet::RecordSet(Connection&, QObject* parent) : QObject(parent), d(new Impl) {}
RecordSet::~RecordSet() { delete d; }
void RecordSet::open(const QString&, const QVariantMap&) {}
void RecordSet::close() {}
RecordSet::State RecordSet::state() const { return State::Closed; }
int RecordSet::recordCount() const { return 0; }
int RecordSet::currentIndex() const { return -1; }
void RecordSet::first() {}
QVariant RecordSet::value(const QString&) const { return {}; }
qint64 RecordSet::blobLength(const QString&) const { return 0; }

DistrictTable::DistrictTable(Connection& connection) : connection_(connection) {}
void DistrictTable::open() {}
void DistrictTable::close() { open_ = false; }

} // namespace tovera
