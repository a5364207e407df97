#pragma once

#include "data/access.h"

#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <vector>

class QSqlDatabase;

// Statements on Qt's PostgreSQL driver in one round trip each.
//
// The driver prepares a statement with values in a round trip of its own
// (PREPARE), runs it in a second (EXECUTE) and drops it in a third when the
// query goes. Over a wide-area link each is a noticeable pause. libpq's
// extended protocol sends the statement, its values and the request to run
// it in one flight; the values travel as parameters, never in the text.
//
// The result is read whole and handed back as a QSqlQuery that reads as the
// driver's own would: the same value types (numeric as the query's precision
// policy says, dates, bytea), the same record with widths, the same error
// texts and SQLSTATE codes.
namespace zarn::pg {

// Whether `db` is open on Qt's PostgreSQL driver and its connection is free
// for a statement: not in the middle of another query's rows.
bool canRunDirectly(const QSqlDatabase &db);

// Runs `sql` (placeholders `?`, outside quotes) with `params` bound.
// Whatever happens, the query returned tells: active on success, else its
// lastError() set as the driver would set it.
QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QVariantList &params);

// Runs the statements in one round trip, each after the one before it as if
// sent alone (each with a snapshot of its own outside a repeatable-read
// transaction), and stops at the first that fails: one query per statement
// that ran, the failing one last with its error, none for those after it.
std::vector<QSqlQuery> runAll(const QSqlDatabase &db, const std::vector<Statement> &statements);

// `?` placeholders outside quoted text and identifiers numbered as $1, $2, ...
QString numberedPlaceholders(const QString &sql);

} // namespace zarn::pg
