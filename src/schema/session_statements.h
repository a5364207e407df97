#pragma once

#include "data/declared_query.h"

#include <QString>

// Statements of the survey session itself.
namespace zarn::sql {

// Survey session, before a form opens, on a dataset of its own: no row, only
// the columns of T_DJDCB with the widths the database declares (the unit
// code's among them). No values.
inline const DeclaredQuery djdcColumnsOnly{
    .table = QStringLiteral("T_DJDCB"),
    .filter = QStringLiteral("1 = 0"),
};

} // namespace zarn::sql
