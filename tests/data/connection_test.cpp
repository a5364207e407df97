// The ADO-style connection string and what it opens.
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/errors.h"
#include "support/backends.h"
#include "support/tempdir.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace zarn;

TEST(ConnectionStringTest, PairsIgnoreCaseAndKeepQuotedSemicolons)
{
    const auto cs = ConnectionString::parse(QStringLiteral(
        " provider = SQLite ; DATA SOURCE=\"/tmp/a;b.db\";Password='it''s;x';Persist "
        "Security Info=False;;"));
    EXPECT_EQ(cs.value("Provider"), "SQLite");
    EXPECT_EQ(cs.value("data source"), "/tmp/a;b.db");
    EXPECT_EQ(cs.value("password"), "it's;x");
    EXPECT_TRUE(cs.contains("persist security info"));
    EXPECT_FALSE(cs.contains("User ID"));
    EXPECT_EQ(cs.pairs().size(), 4);
}

TEST(ConnectionStringTest, ProvidersMapToTheirDrivers)
{
    auto pg =
        mapConnectionString(QStringLiteral("Provider=PostgreSQL;Data Source=db.example:5433/"
                                           "landreg;User ID=zarn;Password=pw;Persist Security "
                                           "Info=True"),
                            false);
    EXPECT_EQ(pg.driver, "QPSQL");
    EXPECT_EQ(pg.hostName, "db.example");
    EXPECT_EQ(pg.port, 5433);
    EXPECT_EQ(pg.databaseName, "landreg");
    EXPECT_EQ(pg.userName, "zarn");
    EXPECT_EQ(pg.password, "pw");
    EXPECT_TRUE(pg.setZarnSearchPath);

    auto pgNoPort =
        mapConnectionString(QStringLiteral("Provider=postgresql;Data Source=h/d"), false);
    EXPECT_EQ(pgNoPort.port, -1);
    EXPECT_EQ(pgNoPort.hostName, "h");

    auto odbc = mapConnectionString(
        QStringLiteral("Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=h;Uid=u;Pwd=p"), false);
    EXPECT_EQ(odbc.driver, "QODBC");
    EXPECT_EQ(odbc.databaseName, "Driver={PostgreSQL Unicode};Server=h;Uid=u;Pwd=p");
    EXPECT_EQ(mapConnectionString(QStringLiteral("Provider=ODBC;DSN=landreg"), false).databaseName,
              "DSN=landreg");

    auto ora = mapConnectionString(
        QStringLiteral(
            "Provider=OraOLEDB.Oracle.1;Data Source=//srv:1521/ORCL;User ID=zarn;Password=x"),
        false);
    EXPECT_EQ(ora.driver, "QODBC");
    EXPECT_TRUE(ora.databaseName.contains("DBQ=//srv:1521/ORCL"));
    EXPECT_EQ(ora.userName, "zarn");
    auto oci =
        mapConnectionString(QStringLiteral("Provider=OraOLEDB.Oracle;Data Source=ORCL"), true);
    EXPECT_EQ(oci.driver, "QOCI");
    EXPECT_EQ(oci.databaseName, "ORCL");

    try {
        mapConnectionString(QStringLiteral("Provider=Jet.OLEDB.4.0;Data Source=x.mdb"), false);
        FAIL() << "unknown provider accepted";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains("Jet.OLEDB.4.0"));
    }
    EXPECT_THROW(
        mapConnectionString(QStringLiteral("Provider=PostgreSQL;Data Source=h:99999/d"), false),
        Error);
}

TEST(ConnectionTest, AMissingSqliteFileIsAnErrorAndIsNotCreated)
{
    zarn::test::TempDir tmp;
    const QString file = tmp.file("missing.db");
    Connection c;
    c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1").arg(file));
    EXPECT_THROW(c.open(), DatabaseError);
    EXPECT_FALSE(c.isOpen());
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST(ConnectionTest, AFailedOpenNeverShowsThePassword)
{
    // Port 1 on loopback: nothing listens there.
    Connection c;
    c.setConnectionString(QStringLiteral(
        "Provider=PostgreSQL;Data Source=127.0.0.1:1/none;User ID=zarn;Password=Geheim-42"));
    try {
        c.open();
        FAIL() << "opened a port where nothing listens";
    } catch (const DatabaseError &e) {
        EXPECT_FALSE(e.message().isEmpty());
        EXPECT_FALSE(e.message().contains("Geheim-42"));
    }
    EXPECT_EQ(withoutSecret(QStringLiteral("pw=abc; abc"), QStringLiteral("abc")), "pw=***; ***");
}

// Two workstations on one survey file: one in the middle of reading a unit's
// list, the other saving a row. The save goes through at once and the reader
// reads on; with a rollback journal the save would wait for the reader and fail.
TEST(ConnectionTest, ASqliteReaderNeverHoldsUpAWriter)
{
    zarn::test::TempDir tmp;
    const QString cs = QStringLiteral("Provider=SQLite;Data Source=%1")
                           .arg(zarn::test::writeFile(tmp.file("shared.db"), {}));
    Connection reader, writer;
    reader.setConnectionString(cs);
    writer.setConnectionString(cs);
    writer.open();
    reader.open();
    zarn::test::execAll(writer, {QStringLiteral("create table t (id integer primary key)"),
                                 QStringLiteral("insert into t values (1), (2)")});
    {
        QSqlQuery reading(reader.database());
        reading.setForwardOnly(true);
        ASSERT_TRUE(reading.exec(QStringLiteral("select id from t order by id")));
        ASSERT_TRUE(reading.next());
        EXPECT_NO_THROW(writer.transaction(
            [&] { zarn::test::execAll(writer, {QStringLiteral("insert into t values (3)")}); }));
        ASSERT_TRUE(reading.next());
        EXPECT_EQ(reading.value(0).toInt(), 2);
    }
    QSqlQuery after(reader.database());
    ASSERT_TRUE(after.exec(QStringLiteral("select count(*) from t")) && after.next());
    EXPECT_EQ(after.value(0).toInt(), 3);
}
