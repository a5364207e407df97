#include "support/backends.h"

#include "data/connection.h"
#include "data/errors.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace zarn::test {

const char *backendName(Backend b)
{
    switch (b) {
    case Backend::Sqlite:
        return "Sqlite";
    case Backend::Postgres:
        return "Postgres";
    case Backend::Odbc:
        return "Odbc";
    }
    return "?";
}

QString connectionStringFor(Backend b, const QString &sqliteFile)
{
    switch (b) {
    case Backend::Sqlite:
        return QStringLiteral("Provider=SQLite;Data Source=%1").arg(sqliteFile);
    case Backend::Postgres:
        return qEnvironmentVariable("ZARN_TEST_PG");
    case Backend::Odbc:
        return qEnvironmentVariable("ZARN_TEST_ODBC");
    }
    return {};
}

QString unavailableReason(Backend b)
{
    if (b == Backend::Postgres && qEnvironmentVariableIsEmpty("ZARN_TEST_PG"))
        return QStringLiteral(
            "ZARN_TEST_PG is not set: no PostgreSQL server given (scripts/test starts one)");
    if (b == Backend::Odbc && qEnvironmentVariableIsEmpty("ZARN_TEST_ODBC"))
        return QStringLiteral(
            "ZARN_TEST_ODBC is not set: no ODBC data source given (scripts/test sets one)");
    return {};
}

QString uniqueName(const QString &stem)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("%1_%2_%3")
        .arg(stem)
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

void execAll(Connection &c, const QStringList &statements)
{
    QSqlQuery q(c.database());
    for (const QString &s : statements)
        if (!q.exec(s)) throw DatabaseError(s + QStringLiteral(": ") + q.lastError().text());
}

} // namespace zarn::test
