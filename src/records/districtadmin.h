#pragma once
// Keeping table 行政区 of a house-record store outside the window, which only reads it:
// listing the districts, adding new ones and removing unused ones. A new register made
// empty has no districts, so 所在区 cannot be filled until some are added here.

#include "records/provider.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tovera {

// The longest district name taken (the text length of the register's district field).
inline constexpr int kMaxDistrictLength = 255;

// Why `name` cannot be a district, in Japanese; empty when it can. Refused: empty text,
// blanks at either end, control characters, characters without a code page 932 form, and
// more than kMaxDistrictLength characters.
QString districtNameProblem(const QString& name);

// A house record as the user finds it again: its row id, its No (null when empty) and
// its owner's name.
struct DistrictUser {
    qint64 rowid = 0;
    QVariant no;
    QString owner;
};

// One user's text for messages: "No 12（rowid 5、山田太郎）".
QString describeDistrictUser(const DistrictUser& user);

// An open store whose table 行政区 is being kept. Each change runs in one transaction and
// is all or nothing. Errors raise tovera::Exception subclasses whose message gives the
// cause (the caller names the file): EInOutError for a missing file, EDatabaseError for a
// file that is not a register, a locked or read-only file, and for refused changes.
class DistrictStore {
public:
    // Opens the existing store at `path` (never creates one) and checks that it has the
    // tables 行政区 and 基本データ.
    explicit DistrictStore(const QString& path);
    DistrictStore(const DistrictStore&) = delete;
    DistrictStore& operator=(const DistrictStore&) = delete;

    // The districts in the order they were entered.
    QStringList districts() const;
    // The records whose 所在区 is exactly `name`, in row order, at most `limit` of them;
    // `total` (when given) receives how many there are in all.
    QList<DistrictUser> usersOf(const QString& name, int limit, qint64* total = nullptr) const;

    // Adds `names` in the order given. When any of them is invalid, given twice or already
    // there, nothing is added and the message lists every such name with its reason.
    void add(const QStringList& names);
    // Removes `names`. When any of them is not in the table or is used by a record,
    // nothing is removed and the message lists every such name with its reason (for a
    // district in use: the records that use it, by No, row id and owner).
    void remove(const QStringList& names);

    // How many records a refusal lists per district before "ほか N 件".
    static constexpr int ListedUsers = 10;

private:
    Connection connection_;
};

} // namespace tovera
