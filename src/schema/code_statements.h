#pragma once

#include <QString>

// The code tables behind the drop-down lists. Each is read whole, in the order
// the database returns it; an entry is the named column's text, trimmed.
namespace zarn::sql {

struct CodeList {
    QString sql;    // no values to bind
    QString column; // the column an entry is read from
};

// Natures of land users: use-right sheet DWXZ, co-use-right editor TDSYZXZ.
inline const CodeList codeDwxz{QStringLiteral("select * from S_DWXZDM"), QStringLiteral("dwxzmc")};
// Natures of land rights: use-right sheet QSXZ.
inline const CodeList codeQsxz{QStringLiteral("select * from S_QSXZ"), QStringLiteral("qsxzmc")};
// Types of land use right: use-right sheet syqlx.
inline const CodeList codeGylx{QStringLiteral("select * from S_GYLX"), QStringLiteral("GYLXMC")};
// Land classes: codes into PZYTDM and TDYTDM, names (codeDldmName) into PZYT,
// TDYT and the co-use-right editor's TDYT. One pass over the rows fills the
// code and name lists alike, so a position stands for one row in all of them.
inline const CodeList codeDldm{QStringLiteral("select * from S_DLDM"), QStringLiteral("DLDM")};
inline const QString codeDldmName = QStringLiteral("DLMC");
// The land-class names alone: the co-use-right editor's TDYT.
inline const CodeList codeDldmNames{QStringLiteral("select * from S_DLDM"), codeDldmName};
// Kinds of boundary marker: boundary marker editor JBLX.
inline const CodeList codeJblx{QStringLiteral("select * from S_JBLX"), QStringLiteral("JBLXMC")};
// Boundary line categories: boundary marker editor JZXLB.
inline const CodeList codeJxlb{QStringLiteral("select * from S_JXLB"), QStringLiteral("JXLBMC")};
// Boundary line positions: boundary marker editor JZXWZ.
inline const CodeList codeJxwz{QStringLiteral("select * from S_JXWZDM"), QStringLiteral("JXWZ")};

// The tables the attached-table editors' lists read: a form that reads its
// own lists reads these with them, so that an editor opens without a round
// trip for its lists.
inline const QString *const kEditorCodeTables[] = {&codeJblx.sql, &codeJxlb.sql, &codeJxwz.sql,
                                                   &codeDwxz.sql, &codeDldm.sql};

} // namespace zarn::sql
