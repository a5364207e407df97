#pragma once

#include <QString>

class QSqlDatabase;

namespace zarn {

// Names joined into statement text are quoted through the driver, as Qt's
// table model does, so that no name is read as a key word or cut at a blank.
// A quoted name keeps its case, so each is quoted as the database stores it.

// A table name, "schema.table" allowed. A name not yet quoted takes the case
// the database gave it when it was created without quotes.
QString quotedTable(const QSqlDatabase &db, const QString &name);
// A column name as the driver reported it with a result.
QString quotedColumn(const QSqlDatabase &db, const QString &name);

} // namespace zarn
