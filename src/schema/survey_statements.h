#pragma once

#include "data/declared_query.h"

#include <QString>

// Statements on the main table T_DJDCB. Each comment names who runs the
// statement, on which query, and the values to bind, in order.
namespace zarn::sql {

// Design-time statement of djdcTable; never opened, every form replaces it.
inline const QString djdcDesignTime = QStringLiteral("select * from ZARN.T_DJDCB");

// Use-right form opening, on djdcTable: the rows of the unit and its sub-units
// in parcel-number order ("select * from T_DJDCB where dwdm >= ? and dwdm < ?
// and dwdm like ? escape '!' order by zdbh nulls last"), written back to
// T_DJDCB. Binds unitcode::unitListParams(session unit code): the range on
// dwdm lets the (DWDM, ZDBH) index find the unit's rows, the like pattern (its
// wildcards escaped with '!') decides which of them belong. zdbh sorts as text
// with nulls last on every database, so a row without a parcel number never
// heads the list; the form types ahead by zdbh, held for every row.
//
// Over a range of units the rows come out of the index in unit order and are
// sorted by zdbh (only the keys: the row store reads id and zdbh first). A
// unit without sub-units is read with "dwdm = ?" in place of the lower bound,
// and the (DWDM, ZDBH) index then gives the order with no sort. Whether there
// are sub-units is asked with one probe of the DWDM index (the lowest unit
// code above the range's lower end that still matches), at every read, so a
// sub-unit another user adds shows at the next refresh: a unit's code length
// alone would not tell, as DWDM holds longer codes than a village group's.
// The narrowed filter picks the same rows: every row of the range has dwdm
// equal to its lower end or above it, the probe found none above, and a row
// at the lower end belongs when the lower end itself matches the pattern (it
// does for a code of digits). That last test binds values only, so planners
// neither estimate rows by it nor walk the range it implies and sort again.
// The probe is asked again from each unit it found, to walk a district unit by
// unit (the row store reads and merges their rows): its like test is on an
// expression, so that SQLite, which turns "dwdm like" on a column into the
// whole district's range, starts where "dwdm > ?" says.
inline const DeclaredQuery djdcListUseRight{
    .table = QStringLiteral("T_DJDCB"),
    .filter = QStringLiteral("dwdm >= ? and dwdm < ? and dwdm like ? escape '!'"),
    .exactFilter = QStringLiteral("dwdm = ? and cast(? as varchar(20)) like ? escape '!'"),
    .exactValues = {0, 0, 2},
    .exactProbe = QStringLiteral("select min(dwdm) from T_DJDCB where dwdm > ? and dwdm < ? and "
                                 "substr(dwdm, 1) like ? escape '!'"),
    .probeWalk = QStringLiteral(
        "with recursive u(d) as (select min(dwdm) from T_DJDCB where dwdm > ? and dwdm < ? and "
        "substr(dwdm, 1) like ? escape '!' union all select (select min(dwdm) from T_DJDCB "
        "where dwdm > u.d and dwdm < ? and substr(dwdm, 1) like ? escape '!') from u "
        "where u.d is not null) select d from u where d is not null limit ?"),
    .order = {{.column = QStringLiteral("zdbh"), .nullsLast = true}},
};

// Ownership form opening, on djdcTable: the same rows in the same order.
// Binds unitcode::unitListParams(session unit code).
inline const DeclaredQuery djdcListOwnership = djdcListUseRight;

// Both forms' new record, on ADOQuery1: the highest row number of the whole
// table (null when the table is empty). No values.
// Reading max(id) instead of the last row of the whole table ordered by id
// costs one index probe and cannot hand out an id twice.
inline const QString djdcMaxId = QStringLiteral("select max(id) from T_DJDCB");

// Both forms' new record, on ADOQuery1: the unit's highest parcel number over
// its current and changed rows, as text. Binds: session unit code.
inline const QString djdcMaxZdbh = QStringLiteral("select max(zdbh) from T_DJDCB where dwdm=?");

// Both forms' new record, on ADOQuery1: the unit's highest survey table
// number, as text. Binds: session unit code.
inline const QString djdcMaxDcbh = QStringLiteral("select max(dcbh) from T_DJDCB where dwdm=?");

// Both forms, first in the transaction that writes a current row with a new
// parcel number (numbering::claimNumbers), on PostgreSQL (also through
// ODBC): the claims of one unit's numbers take turns, and nothing else waits
// for them. A transaction-level advisory lock, freed at commit or rollback,
// waited for no longer than the session's lock_timeout. Binds:
// numbering::kClaimClass, numbering::claimKey(the row's unit code).
inline const QString djdcClaimUnitNumbers =
    QStringLiteral("select pg_advisory_xact_lock(cast(? as integer), cast(? as integer))");

// The same on Oracle, which has no advisory lock a plain grant allows: the
// claims take turns over the table. The mode conflicts with itself and with
// writers, not with readers; it ends with the transaction and is waited for
// five seconds at most. No values.
inline const QString djdcLockForNewRows =
    QStringLiteral("lock table T_DJDCB in share row exclusive mode wait 5");

// Both forms, in the same transaction: the unit's current rows with the
// row's new parcel number, whatever their kind. Binds: the row's unit code,
// its parcel number.
inline const QString djdcCurrentParcelCount =
    QStringLiteral("select count(*) from T_DJDCB where dwdm = ? and zdbh = ? and bgrq is null");

// Both forms' new record, in the same transaction: the unit's rows, current
// or changed, with the survey table number the form generated. Binds: the
// row's unit code, the survey table number.
inline const QString djdcSurveyNumberCount =
    QStringLiteral("select count(*) from T_DJDCB where dwdm = ? and dcbh = ?");

// Both forms' delete, on ADOQuery1, last in the transaction that takes the
// attached rows: the row itself. Binds: its id.
inline const QString djdcDeleteRow = QStringLiteral("delete from T_DJDCB where id = ?");

} // namespace zarn::sql
