#pragma once

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace zarn {
class Connection;
}

namespace zarn::test {

// A database the same test cases run on. SQLite always exists (a new file per
// test); PostgreSQL and ODBC come from the environment that scripts/test sets:
//   ZARN_TEST_PG    connection string of the throwaway PostgreSQL server
//   ZARN_TEST_ODBC  the same server through the PostgreSQL ODBC driver
enum class Backend { Sqlite, Postgres, Odbc };

const char *backendName(Backend b);

// Names parameterised tests after their back-end ("Sqlite", ...).
template <class Info> std::string backendParamName(const Info &info)
{
    return backendName(info.param);
}

// The connection string for a back-end, or empty when it is not configured.
QString connectionStringFor(Backend b, const QString &sqliteFile);

// Why a back-end cannot run (for GTEST_SKIP), empty when it can.
QString unavailableReason(Backend b);

// Skips the rest of the test when the back-end is not configured. A macro, as
// GTEST_SKIP leaves the function it stands in (a fixture's SetUp, say).
#define ZARN_SKIP_UNLESS_CONFIGURED(backend)                                                       \
    if (const QString zarnWhyNot = ::zarn::test::unavailableReason(backend);                       \
        !zarnWhyNot.isEmpty())                                                                     \
    GTEST_SKIP() << zarnWhyNot.toStdString()

// A name unique to this process, for tables that tests running side by side
// on one server must not share.
QString uniqueName(const QString &stem);

// Runs statements without values on an open connection; throws on error.
void execAll(Connection &c, const QStringList &statements);

} // namespace zarn::test
