#pragma once

#include <QString>

// Every statement the system runs, in one place. Values are bound to the
// positional placeholders; none is ever joined into the text.
namespace zarn::sql {

inline const QString djdcDesignTime = QStringLiteral("select * from ZARN.T_DJDCB");

} // namespace zarn::sql
