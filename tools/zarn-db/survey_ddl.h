#pragma once

#include <QString>
#include <QStringList>

namespace zarn {
class Connection;
}

// Creating the survey database: tables, indexes and the code tables' contents,
// from the DDL files that ship under sql/.
namespace zarn::dbsetup {

enum class Dialect { Sqlite, Postgres, Oracle };

// The dialect of an open connection (PostgreSQL also through its ODBC
// driver). Throws zarn::Error for a database the tool cannot set up (Oracle
// is set up by hand from sql/oracle.sql).
Dialect dialectOf(Connection &connection);

// The text of a file under sql/ ("sqlite.sql", "code_tables.sql", ...).
QString sqlFile(const QString &name);
// The DDL file of a dialect.
QString ddlText(Dialect dialect);

// Splits a script into its statements: ends at ";" outside quotes, drops
// comments ("--" to the end of the line) and blank statements.
QStringList splitStatements(const QString &script);

// The twelve tables of the survey database: the main table, the four attached
// tables, then the seven code tables.
const QStringList &surveyTables();

// Which of the survey tables the connection already reaches by plain name.
QStringList existingSurveyTables(Connection &connection);

struct InitSummary {
    int tables = 0;
    int indexes = 0;
    int codeRows = 0;
};

// Creates the tables, indexes and code tables in one transaction. Refuses with
// zarn::Error, changing nothing, when any of the tables exists already.
InitSummary createSurveyDatabase(Connection &connection);

// Has the database vacuum the survey tables and gather their statistics, so
// that the first sessions on a database just made or filled are planned on
// what it holds rather than on an empty table's guesses (until autovacuum
// came by, a unit opened by scanning the whole table). PostgreSQL only:
// SQLite plans from its indexes alone. Returns the database's text when it
// refused, else empty; the rows written stay either way.
QString analyseSurveyTables(Connection &connection);

// For an SQLite connection string whose file does not exist: creates the empty
// file (the connection itself refuses missing files) and returns its path, so
// a failed set-up can remove it again. Returns empty for any other case.
// Throws zarn::Error when the file cannot be created.
QString createSqliteFileIfMissing(const QString &connectionString);

} // namespace zarn::dbsetup
