#pragma once

#include <QString>

// Statements on the main table T_DJDCB. Each comment names who runs the
// statement, on which query, and the values to bind, in order.
namespace zarn::sql {

// Design-time statement of djdcTable; never opened, every form replaces it.
inline const QString djdcDesignTime = QStringLiteral("select * from ZARN.T_DJDCB");

// Use-right form opening, on djdcTable: the rows of the unit and its sub-units
// in parcel-number order. Binds unitcode::unitListParams(session unit code):
// the range on dwdm lets the (DWDM, ZDBH) index find the unit's rows, the like
// pattern (its wildcards escaped with '!') decides which of them belong.
// zdbh sorts as text with nulls last on every database, so a row without a
// parcel number never heads the list.
inline const QString djdcListUseRight =
    QStringLiteral("select * from T_DJDCB where dwdm >= ? and dwdm < ? and dwdm like ? escape '!' "
                   "order by zdbh nulls last");

// Ownership form opening, on djdcTable: the same rows in the same order.
// Binds unitcode::unitListParams(session unit code).
inline const QString djdcListOwnership =
    QStringLiteral("select * from T_DJDCB where dwdm >= ? and dwdm < ? and dwdm like ? escape '!' "
                   "order by zdbh nulls last");

// zarn-db demo, before it adds made-up parcels: how many survey rows the
// database already holds. No values.
inline const QString djdcRowCount = QStringLiteral("select count(*) from T_DJDCB");

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

} // namespace zarn::sql
