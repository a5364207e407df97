#pragma once

#include "data/declared_query.h"

#include <QString>
#include <array>

// Statements on the attached tables T_JZBSB, T_ZJB, T_SZB and T_GYQ. The
// lists are declared queries ("select * from <table> where <filter> order by
// <column>"), written back to their table. A survey
// table's rows are found by value: parcel number, unit code and change date.
// Unless a comment says otherwise, "parcel" is the editor's or the sheet's
// parcel number (trimmed where the caller trims it), "unit" the session unit
// code and "bgrq" the survey row's change date as text.
namespace zarn::sql {

// ---------------------------------------------------------------- T_JZBSB

// BoundaryMarkerEditor loading in current mode and after an insert, on JZBS.
// Binds: parcel, unit.
inline const DeclaredQuery jzbsbListCurrent{
    .table = QStringLiteral("T_JZBSB"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and  bgrq is null"),
    .order = {{.column = QStringLiteral("xh")}},
};
// BoundaryMarkerEditor loading in changed mode, on JZBS. Binds: parcel, unit, bgrq.
inline const DeclaredQuery jzbsbListChanged{
    .table = QStringLiteral("T_JZBSB"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and  bgrq=?"),
    .order = {{.column = QStringLiteral("xh")}},
};
// BoundaryMarkerEditor adding or inserting a marker, on ADOQuery1: highest id of the whole
// table. No values.
inline const QString jzbsbMaxId = QStringLiteral("select Max(id) from  T_JZBSB ");
// BoundaryMarkerEditor adding a marker, on ADOQuery1: highest XH of the parcel's current
// markers. Binds: parcel, unit.
inline const QString jzbsbMaxXh =
    QStringLiteral("select Max(XH) from  T_JZBSB where  zdbh=? and dwdm=? and bgrq is null");
// BoundaryMarkerEditor saving, on ADOQuery1: removes current markers without a unified
// number. Binds: parcel, unit.
inline const QString jzbsbPurge = QStringLiteral(
    "delete from  T_JZBSB where JZDTBH is null and zdbh=? and dwdm=? and bgrq is null");
// Both survey forms' boundary-point count, on ADOQuery1, for a current survey
// row. Binds: the parcel-number edit's text (untrimmed), unit.
inline const QString jzbsbCountCurrent =
    QStringLiteral("select count(XH) from  T_JZBSB where  zdbh=? and dwdm=? and bgrq is null");
// The use-right form's boundary-point count for a changed survey row, on
// ADOQuery1. Binds: the parcel-number edit's text (untrimmed), unit, bgrq
// (trimmed).
inline const QString jzbsbCountChanged =
    QStringLiteral("select count(XH) from  T_JZBSB where  zdbh=? and dwdm=? and bgrq=?");

// ---------------------------------------------------------------- T_ZJB

// BoundaryDesignationEditor loading in current mode, on Zj. Binds: parcel, unit.
inline const DeclaredQuery zjbListCurrent{
    .table = QStringLiteral("T_ZJB"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and  bgrq is null"),
    .order = {{.column = QStringLiteral("id")}},
};
// BoundaryDesignationEditor loading in changed mode, on Zj. Binds: parcel, unit, bgrq.
inline const DeclaredQuery zjbListChanged{
    .table = QStringLiteral("T_ZJB"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and  bgrq=?"),
    .order = {{.column = QStringLiteral("id")}},
};
// BoundaryDesignationEditor adding a row, on ADOQuery1. No values.
inline const QString zjbMaxId = QStringLiteral("select Max(id) from  T_ZJB ");
// BoundaryDesignationEditor saving, on ADOQuery1: removes current rows without start and end
// point. Binds: parcel, unit.
inline const QString zjbPurge = QStringLiteral("delete from  T_ZJB where JZXQDH is null and JZXZDH "
                                               "is null and zdbh=? and dwdm=? and bgrq is null");
// BoundaryDesignationEditor saving a stored row that has changes, on ADOQuery1: as zjbPurge, but
// the row being saved stays, so its changes can still be written.
// Binds: parcel, unit, the saved row's id.
inline const QString zjbPurgeSparing =
    QStringLiteral("delete from  T_ZJB where JZXQDH is null and JZXZDH is null and zdbh=? and "
                   "dwdm=? and bgrq is null and id<>?");

// ---------------------------------------------------------------- T_SZB

// FourSidesEditor loading in current mode, on sz. Binds: parcel, unit.
inline const DeclaredQuery szbListCurrent{
    .table = QStringLiteral("T_SZB"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and bgrq is null"),
    .order = {{.column = QStringLiteral("ID")}},
};
// FourSidesEditor loading in changed mode, on sz. Binds: parcel, unit, bgrq.
inline const DeclaredQuery szbListChanged{
    .table = QStringLiteral("T_SZB"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and bgrq =?"),
    .order = {{.column = QStringLiteral("ID")}},
};
// FourSidesEditor adding a row, on ADOQuery1. No values.
inline const QString szbMaxId = QStringLiteral("select Max(id) from  T_SZB ");
// FourSidesEditor saving, on ADOQuery1: removes current rows without start and end
// point. Binds: parcel, unit.
inline const QString szbPurge =
    QStringLiteral("delete from  T_SZB where JZDStart is null and "
                   "JZDEND is null and zdbh=? and dwdm=? and bgrq is null");
// FourSidesEditor saving a stored row that has changes, on ADOQuery1: as szbPurge, but
// the row being saved stays. Binds: parcel, unit, the saved row's id.
inline const QString szbPurgeSparing =
    QStringLiteral("delete from  T_SZB where JZDStart is null and JZDEND is null and zdbh=? and "
                   "dwdm=? and bgrq is null and id<>?");

// ---------------------------------------------------------------- T_GYQ

// CoUserEditor loading in current mode, on GY. Binds: parcel, unit.
inline const DeclaredQuery gyqListCurrent{
    .table = QStringLiteral("T_GYQ"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and  bgrq is null"),
    .order = {{.column = QStringLiteral("id")}},
};
// CoUserEditor loading in changed mode, on GY. Binds: parcel, unit, bgrq.
inline const DeclaredQuery gyqListChanged{
    .table = QStringLiteral("T_GYQ"),
    .filter = QStringLiteral("ZDBH=? and dwdm=? and  bgrq=?"),
    .order = {{.column = QStringLiteral("id")}},
};
// CoUserEditor adding a row, on ADOQuery1. No values.
inline const QString gyqMaxId = QStringLiteral("select Max(ID) from  T_GYQ  ");
// Both survey forms' co-user count for a current survey row, on ADOQuery1.
// Binds: the parcel-number edit's text (untrimmed), unit.
// A blank stands between the parcel number and "and": without the quotes a
// placeholder glued to a word is a syntax error on some databases.
inline const QString gyqCountCurrent =
    QStringLiteral("select count(id) from  T_GYQ where  zdbh=? and dwdm=? and bgrq is null");

// ---------------------------------------------------------------- cascade

// Both survey forms deleting a current survey row, on ADOQuery1, run in this
// order. Binds for each: parcel (trimmed), unit.
inline const QString jzbsbDeleteCurrent =
    QStringLiteral("delete from  T_JZBSB where zdbh=? and dwdm=? and bgrq is null");
inline const QString zjbDeleteCurrent =
    QStringLiteral("delete from  T_ZJB where zdbh=? and dwdm=? and bgrq is null");
inline const QString gyqDeleteCurrent =
    QStringLiteral("delete from  T_GYQ where zdbh=? and dwdm=? and bgrq is null");
inline const QString szbDeleteCurrent =
    QStringLiteral("delete from  T_SZB where zdbh=? and dwdm=? and bgrq is null");

inline const std::array<QString, 4> deleteCurrentAttached = {jzbsbDeleteCurrent, zjbDeleteCurrent,
                                                             gyqDeleteCurrent, szbDeleteCurrent};

// For a form that removes the attached rows of a deleted changed survey row:
// the rows of exactly that version. Same order; binds: parcel (trimmed), unit,
// bgrq.
inline const QString jzbsbDeleteChanged =
    QStringLiteral("delete from  T_JZBSB where zdbh=? and dwdm=? and bgrq=?");
inline const QString zjbDeleteChanged =
    QStringLiteral("delete from  T_ZJB where zdbh=? and dwdm=? and bgrq=?");
inline const QString gyqDeleteChanged =
    QStringLiteral("delete from  T_GYQ where zdbh=? and dwdm=? and bgrq=?");
inline const QString szbDeleteChanged =
    QStringLiteral("delete from  T_SZB where zdbh=? and dwdm=? and bgrq=?");

inline const std::array<QString, 4> deleteChangedAttached = {jzbsbDeleteChanged, zjbDeleteChanged,
                                                             gyqDeleteChanged, szbDeleteChanged};

} // namespace zarn::sql
