#pragma once

#include <QString>

// The statements of the quality check of a unit's survey tables. Each reads
// a whole unit (the unit and its sub-units) in one go: no statement is run
// per parcel. Every statement binds the unit range of unitcode::unitRange
// (low, high, pattern) once for every inUnit() (or inUnitRange() followed
// by inUnitPattern()) it holds, in order, and nothing else.
//
// A finding statement gives one row per finding: the survey row's unit code,
// parcel number, survey table number and kind (dcblx), then the values its
// check's detail names. The rows read for a check done in C++ say in their
// comment what they hold.
//
// The same text runs on SQLite, PostgreSQL and Oracle: filled means
// length(trim(x)) > 0 (Oracle reads '' as null); a value is compared with a
// code table's entries after trimming both; "000", the default a blank
// remembers, is a missing value rather than a wrong code.
namespace zarn::sql::quality {

// The unit test of a table under an alias: a range on dwdm that an index
// can walk, and the like pattern that decides (as the survey lists bind it).
inline QString inUnit(const char *alias)
{
    const QString a = QLatin1String(alias);
    return QStringLiteral("%1.dwdm >= ? and %1.dwdm < ? and %1.dwdm like ? escape '!'").arg(a);
}
// The same test in two parts, for a statement that groups many rows into
// few: the range where the rows are read, the pattern on the groups. The
// range must come first in the text, so that the values bind in order.
inline QString inUnitRange(const char *alias)
{
    return QStringLiteral("%1.dwdm >= ? and %1.dwdm < ?").arg(QLatin1String(alias));
}
inline QString inUnitPattern(const char *alias)
{
    return QStringLiteral("%1.dwdm like ? escape '!'").arg(QLatin1String(alias));
}

inline const QString kFindingColumns = QStringLiteral("d.DWDM, d.ZDBH, d.DCBH, d.dcblx");

// The unit's current survey rows with the columns the row checks read, in
// this order: DWDM, ZDBH, DCBH, dcblx, then the columns named.
inline QString currentRows(const QString &columns)
{
    return QStringLiteral("select ") + kFindingColumns + QStringLiteral(", ") + columns +
           QStringLiteral(" from T_DJDCB d where d.bgrq is null and ") + inUnit("d");
}

// The unit's current survey rows with every column the row checks read,
// in this order after the keys: JZDGS; the filled columns of both kinds'
// sets QLR, TDZL, QSXZ, TDYT, DCY, DCRQ, qsmc, QSDCY; the identity cards,
// later dates and postcode FRSFZM, DLRSFZ, KZRQ, DCSHRQ, QLRYB; the coded
// columns not yet named DWXZ, PZYTDM, TDYTDM, PZYT. Read once, in one pass
// over the unit. The codes are looked up in the program: SQLite spends
// about a microsecond on a value's trim and "not in", more than the whole
// pass costs a row.
inline const QString currentValues =
    currentRows(QStringLiteral("d.JZDGS, d.QLR, d.TDZL, d.QSXZ, d.TDYT, d.DCY, d.DCRQ, d.qsmc, "
                               "d.QSDCY, d.FRSFZM, d.DLRSFZ, d.KZRQ, d.DCSHRQ, d.QLRYB, d.DWXZ, "
                               "d.PZYTDM, d.TDYTDM, d.PZYT"));

// Every row of the unit, current or superseded: DWDM, ZDBH, DCBH, dcblx.
inline const QString numberRows = QStringLiteral("select ") + kFindingColumns +
                                  QStringLiteral(" from T_DJDCB d where ") + inUnit("d");

// Current rows sharing a parcel number within a unit, each of them.
inline const QString sharedParcelNumber =
    QStringLiteral("select ") + kFindingColumns +
    QStringLiteral(" from T_DJDCB d join (select DWDM, ZDBH from T_DJDCB t where t.bgrq is null "
                   "and t.ZDBH is not null and ") +
    inUnit("t") +
    QStringLiteral(" group by DWDM, ZDBH having count(*) > 1) p on p.DWDM = d.DWDM and p.ZDBH = "
                   "d.ZDBH where d.bgrq is null and ") +
    inUnit("d");

// Rows, current or superseded, sharing a survey table number within a unit.
inline const QString sharedSurveyNumber =
    QStringLiteral("select ") + kFindingColumns +
    QStringLiteral(" from T_DJDCB d join (select DWDM, DCBH from T_DJDCB t where t.DCBH is not "
                   "null and ") +
    inUnit("t") +
    QStringLiteral(" group by DWDM, DCBH having count(*) > 1) p on p.DWDM = d.DWDM and p.DCBH = "
                   "d.DCBH where ") +
    inUnit("d");

// Current rows whose count on the sheet differs from their current attached
// rows, counted as the survey forms count them (count(XH) of the markers,
// count(id) of the co-users, a blank count being 0). Detail: the count on
// the sheet, the rows found.
inline QString countMismatch(const char *countColumn, const char *table, const char *counted)
{
    return QStringLiteral("select ") + kFindingColumns +
           QStringLiteral(", d.%1, coalesce(a.n, 0) from T_DJDCB d left join (select ZDBH, dwdm, "
                          "count(%3) n from %2 t where t.BGRQ is null and ")
               .arg(QLatin1String(countColumn), QLatin1String(table), QLatin1String(counted)) +
           inUnit("t") +
           QStringLiteral(" group by ZDBH, dwdm) a on a.ZDBH = d.ZDBH and a.dwdm = d.DWDM where "
                          "d.bgrq is null and ") +
           inUnit("d") +
           QStringLiteral(" and coalesce(d.%1, 0) <> coalesce(a.n, 0)")
               .arg(QLatin1String(countColumn));
}
inline const QString coUserCountMismatch = countMismatch("QLRZS", "T_GYQ", "id");

// The current markers of the unit: ZDBH, dwdm, XH, JZDTBH. Read once for
// the count, the numbering and the ring.
inline const QString currentMarkers =
    QStringLiteral(
        "select t.ZDBH, t.dwdm, t.XH, t.JZDTBH from T_JZBSB t where t.BGRQ is null and ") +
    inUnit("t");
// The current markers with a JBLX, JZXLB or JZXWZ that is no entry of its
// code table as it stands (ZDBH, dwdm and the three): the few whose codes
// the program looks up trimmed. A value equal to an entry is one trimmed too.
inline const QString markerCodeSuspects =
    QStringLiteral("select t.ZDBH, t.dwdm, t.JBLX, t.JZXLB, t.JZXWZ from T_JZBSB t where "
                   "t.BGRQ is null and ") +
    inUnit("t") +
    QStringLiteral(" and (t.JBLX not in (select JBLXMC from S_JBLX where JBLXMC is not null) or "
                   "t.JZXLB not in (select JXLBMC from S_JXLB where JXLBMC is not null) or "
                   "t.JZXWZ not in (select JXWZ from S_JXWZDM where JXWZ is not null))");
// The current designation lines of the unit: ZDBH, dwdm, JZXQDH, JZXZDH.
inline const QString currentLines =
    QStringLiteral(
        "select t.ZDBH, t.dwdm, t.JZXQDH, t.JZXZDH from T_ZJB t where t.BGRQ is null and ") +
    inUnit("t");

// Current rows whose current four sides are not 东, 南, 西 and 北 once each.
inline const QString fourSides =
    QStringLiteral("select ") + kFindingColumns +
    // Each side counts in its own decimal digit (other values above them):
    // four rows make 1111 only as 东, 南, 西 and 北 once each.
    QStringLiteral(" from T_DJDCB d left join (select ZDBH, dwdm, count(*) n, "
                   "sum(case trim(FWSX) when '东' then 1 when '南' then 10 when '西' then 100 "
                   "when '北' then 1000 else 10000 end) k "
                   "from T_SZB t where t.BGRQ is null and ") +
    inUnit("t") +
    QStringLiteral(" group by ZDBH, dwdm) f on f.ZDBH = d.ZDBH and f.dwdm = d.DWDM where "
                   "d.bgrq is null and ") +
    inUnit("d") + QStringLiteral(" and (f.n is null or f.n <> 4 or f.k <> 1111)");

// A column's value when, trimmed, it is filled, not the default "000" and
// no entry of a code table, else null. The entries are a list the database
// makes once per statement (not a probe per row); a null entry is left out
// of it, as "not in" a list with a null is never true.
inline QString codeList(const char *codeTable, const char *codeColumn)
{
    return QStringLiteral("(select trim(c.%2) from %1 c where c.%2 is not null)")
        .arg(QLatin1String(codeTable), QLatin1String(codeColumn));
}
inline QString notACode(const QString &value, const char *codeTable, const char *codeColumn)
{
    return QStringLiteral("case when length(trim(%1)) > 0 and trim(%1) <> '000' and trim(%1) not "
                          "in %2 then %1 end")
        .arg(value, codeList(codeTable, codeColumn));
}

// The unit's current co-user rows, of a current survey row, with a value
// that is no code: the keys of the survey row, then TDSYZXZ and TDYT as
// they are when no code, else null.
inline const QString coUserCodes =
    QStringLiteral("select * from (select ") + kFindingColumns + QStringLiteral(", ") +
    notACode(QStringLiteral("t.TDSYZXZ"), "S_DWXZDM", "dwxzmc") + QStringLiteral(" dwxz, ") +
    notACode(QStringLiteral("t.TDYT"), "S_DLDM", "DLMC") +
    QStringLiteral(" tdyt from T_GYQ t join T_DJDCB d on d.ZDBH = t.ZDBH and d.DWDM = t.dwdm "
                   "and d.bgrq is null where t.BGRQ is null and ") +
    inUnit("t") + QStringLiteral(") x where x.dwxz is not null or x.tdyt is not null");

// The entries of the code tables the program looks values up in: the
// table's name and an entry (not null).
inline const QString codeEntries = QStringLiteral(
    "select 'JBLX', JBLXMC from S_JBLX where JBLXMC is not null union all select 'JZXLB', "
    "JXLBMC from S_JXLB where JXLBMC is not null union all select 'JZXWZ', JXWZ from S_JXWZDM "
    "where JXWZ is not null union all select 'QSXZ', qsxzmc from S_QSXZ where qsxzmc is not "
    "null union all select 'DWXZ', dwxzmc from S_DWXZDM where dwxzmc is not null union all "
    "select 'DLDM', DLDM from S_DLDM where DLDM is not null union all select 'DLMC', DLMC from "
    "S_DLDM where DLMC is not null");

// Superseded rows without a current row of the same unit and parcel number.
inline const QString supersededAlone =
    QStringLiteral("select ") + kFindingColumns +
    QStringLiteral(" from T_DJDCB d where d.bgrq is not null and ") + inUnit("d") +
    QStringLiteral(" and not exists (select 1 from T_DJDCB c where c.DWDM = d.DWDM and c.ZDBH = "
                   "d.ZDBH and c.bgrq is null)");

// Attached rows whose survey table (same parcel number, unit and change date)
// does not exist, one finding per parcel version and table: DWDM, ZDBH, a
// null survey table number and kind, then the change date. With
// supersededOnly, the superseded versions alone: the program finds the
// current ones among the rows it reads anyway.
inline QString attachedAlone(const char *table, bool supersededOnly = false)
{
    // A current version is looked up in the index of current rows alone.
    const QString current = QStringLiteral(
        "(a.BGRQ is null and not exists (select 1 from T_DJDCB d where d.DWDM = a.dwdm and "
        "d.ZDBH = a.ZDBH and d.bgrq is null)) or ");
    return QStringLiteral(
               "select a.dwdm, a.ZDBH, cast(null as varchar(30)), cast(null as integer), "
               "a.BGRQ from (select t.dwdm, t.ZDBH, t.BGRQ from %1 t where %2")
               .arg(QLatin1String(table),
                    supersededOnly ? QStringLiteral("t.BGRQ is not null and ") : QString()) +
           inUnitRange("t") + QStringLiteral(" group by t.ZDBH, t.dwdm, t.BGRQ) a where ") +
           inUnitPattern("a") + QStringLiteral(" and (") + (supersededOnly ? QString() : current) +
           QStringLiteral("(a.BGRQ is not null and not exists (select 1 from T_DJDCB d where "
                          "d.DWDM = a.dwdm and d.ZDBH = a.ZDBH and d.bgrq = a.BGRQ)))");
}

} // namespace zarn::sql::quality
