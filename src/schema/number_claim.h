#pragma once

#include <QString>

namespace zarn {
class Connection;
}

// Numbers of a new survey row are read as the unit's highest plus one before
// the row is inserted, so two workstations pressing 新增 together arrive at
// the same ones. The unique index on current rows only tells apart rows of one
// kind of survey table (and old databases hold pairs across the kinds it
// cannot be widened over), so the insert claims its numbers itself.
namespace zarn::numbering {

// Run inside the transaction that inserts the new row, before the insert.
// Makes the workstations' claims take turns (PostgreSQL and Oracle: a table
// lock that only writers of new rows and updates wait for, released at commit
// or rollback; SQLite: the write lock its transactions take when they begin),
// then refuses with a DuplicateKey DatabaseError, as the database refuses a
// key, when the unit already has a current row with the parcel number, or
// any row with the survey table number. An empty number is not checked: pass
// the survey number only when the form generated it (one typed or copied by
// the change process is not the form's to refuse).
//
// Under READ COMMITTED each statement reads what was committed when it began,
// so the counts after the lock see every row whose claim went before.
void claimNewRowNumbers(Connection &connection, const QString &dwdm, const QString &parcel,
                        const QString &generatedSurvey);

} // namespace zarn::numbering
