#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace zarn {
class Connection;
}

// Numbers of a new survey row are read as the unit's highest plus one before
// the row is inserted, so two workstations pressing 新增 together arrive at
// the same ones. The unique index on current rows only tells apart rows of one
// kind of survey table (and old databases hold pairs across the kinds it
// cannot be widened over), so the writes claim their numbers themselves.
namespace zarn::numbering {

// Run inside the transaction that writes a current row with a parcel number
// it did not have (a new row, or one whose number was changed), before the
// write. Makes the claims of one unit's numbers take turns (PostgreSQL: an
// advisory lock of the unit, so that a workstation stopped inside its claim
// holds up no other unit and no plain save; Oracle: a table lock that only
// writers wait for; SQLite: the write lock its transactions take when they
// begin; each released at commit or rollback), then refuses
// with a DuplicateKey DatabaseError, as the database refuses a key, when
// another current row of the unit has the parcel number, or any row of the
// unit has the survey table number. An empty number is not checked: pass the
// survey number only when the form generated it for a new row (one typed, or
// copied by the change process, is not the form's to refuse).
//
// A claim not granted within the connection's lock wait (another
// workstation holds the unit's numbering: stopped inside its own claim, or
// very slow) is refused as NumberingHeld, naming the unit; on SQLite the
// transaction's begin is refused as Busy before the claim runs.
//
// Under READ COMMITTED each statement reads what was committed when it began,
// so the counts after the lock see every row whose claim went before. The
// row being changed still holds its old number in the table, so it does not
// count against itself.
void claimNumbers(Connection &connection, const QString &dwdm, const QString &parcel,
                  const QString &generatedSurvey);

// What 新增 numbers a new row after: the table's highest row id and the
// unit's highest parcel and survey table numbers (each null when there is
// none), read together, in one round trip on a server.
struct HighestNumbers {
    QVariant rowId;
    QVariant parcel;
    QVariant survey;
};
HighestNumbers highestNumbers(Connection &connection, const QString &unit);

// The advisory lock of a unit's numbering on PostgreSQL: this system's class
// of lock, and a key every workstation derives alike from the unit code. Two
// units whose keys meet only take turns needlessly.
inline constexpr qint32 kClaimClass = 0x5A41524E;
qint32 claimKey(const QString &dwdm);

} // namespace zarn::numbering
