#pragma once
// The record set: the updatable result of a query over 基本データ with one current
// record, shared by every record operation; and the district table 行政区.

#include "records/provider.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

namespace tovera {

class RecordSet : public QObject {
    Q_OBJECT
public:
    enum class State { Closed, Browsing, Editing, Inserting };

    explicit RecordSet(Connection& connection, QObject* parent = nullptr);
    ~RecordSet() override;

    // Runs `sql` (with named parameters `params`, e.g. ":Date_s") and positions on the
    // first record; afterScroll follows when there is at least one. Raises EDatabaseError.
    void open(const QString& sql, const QVariantMap& params = {});
    // Closes the record set (an edit in progress is ended first as a move ends it).
    void close();
    State state() const;
    bool isOpen() const { return state() != State::Closed; }
    int recordCount() const;
    int currentIndex() const; // 0-based, -1 with no record
    bool isEmpty() const { return recordCount() == 0; }

    void first();
    // Value of a column of the current record (null when none); attachments excluded.
    QVariant value(const QString& column) const;
    // Byte length of a long binary column (zumen, excel) of the current record, without
    // loading it; 0 for NULL or no record.
    qint64 blobLength(const QString& column) const;

Q_SIGNALS:
    // After every change of the current record (ADOQuery1AfterScroll).
    void afterScroll();

private:
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

} // namespace tovera
