#pragma once

#include <QString>

// What the survey sheets and editors call a column, for messages that must
// name a field the way the surveyor knows it.
namespace zarn::columns {

// The printed label of a column of a survey table (T_DJDCB, T_JZBSB, T_ZJB,
// T_SZB, T_GYQ; names without regard to case, the table with or without its
// schema), or of the same column in another table when the table is not
// known; empty when no sheet shows it.
QString label(const QString &table, const QString &column);

} // namespace zarn::columns
