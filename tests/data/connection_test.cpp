// The ADO-style connection string and what it opens; a connection lost in
// the middle of a write.
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/sqlite_declaration.h"
#include "schema/number_claim.h"
#include "schema/survey_statements.h"
#include "schema/unit_code.h"
#include "support/backends.h"
#include "support/scratch_db.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>

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

// A primary and its standby named together go to the driver as libpq's
// lists; one server keeps its plain host and port.
TEST(ConnectionStringTest, SeveralPostgresServersBecomeOneList)
{
    struct Case {
        const char *text;
        QString host;
        int port;
        QString options;
        int servers;
    };
    for (const Case &c : {
             Case{"Data Source=hostA:5432,hostB:5433/landreg", "hostA,hostB", -1, "port=5432,5433",
                  2},
             Case{"Data Source= hostA , hostB:5433 ,hostC/landreg", "hostA,hostB,hostC", -1,
                  "port=,5433,", 3},
             Case{"Data Source=hostA,hostB/landreg", "hostA,hostB", -1, "", 2},
             Case{"Host=hostA,hostB;Port=5432,5433;Database=landreg", "hostA,hostB", -1,
                  "port=5432,5433", 2},
             Case{"Server=hostA,hostB;Port=6543;Initial Catalog=landreg", "hostA,hostB", -1,
                  "port=6543,6543", 2},
             Case{"Host=hostA;Port=5433;Database=landreg", "hostA", 5433, "", 1},
             Case{"Data Source=hostA:5433/landreg", "hostA", 5433, "", 1},
         }) {
        SCOPED_TRACE(c.text);
        const auto s = mapConnectionString(
            QStringLiteral("Provider=PostgreSQL;User ID=u;Password=p;") + QString::fromUtf8(c.text),
            false);
        EXPECT_EQ(s.hostName, c.host);
        EXPECT_EQ(s.port, c.port);
        EXPECT_EQ(s.connectOptions, c.options);
        EXPECT_EQ(s.servers, c.servers);
        EXPECT_EQ(s.databaseName, "landreg");
    }
    for (const char *bad : {"Host=a,b,c;Port=1,2", "Data Source=a:1,b:x/d", "Data Source=a,,b/d",
                            "Data Source=a,b c/d", "Host=a,b;Port=70000"})
        EXPECT_THROW(mapConnectionString(
                         QStringLiteral("Provider=PostgreSQL;") + QString::fromUtf8(bad), false),
                     Error)
            << bad;
}

// SQLite keeps widths and collations only in the declaring text: its columns
// as the one reader of that text finds them.
TEST(SqliteDeclarationTest, ColumnsWithTheirTypesWidthsAndCollations)
{
    using sqlite::ColumnDeclaration;
    const struct {
        const char *sql;
        QList<ColumnDeclaration> columns;
    } cases[] = {
        {"create table t (id integer primary key, zdbh varchar(20) not null, bz text)",
         {{"id", "integer", -1, {}}, {"zdbh", "varchar(20)", 20, {}}, {"bz", "text", -1, {}}}},
        {"CREATE TABLE \"my t\" (\"a b\" VARCHAR ( 20 ), [c,d] nvarchar(10) collate nocase, "
         "`e``f` character varying(7) default 'x,y' COLLATE \"binary\")",
         {{"a b", "VARCHAR(20)", 20, {}},
          {"c,d", "nvarchar(10)", 10, "nocase"},
          {"e`f", "character varying(7)", 7, "binary"}}},
        {"create table t ( -- the row number\n id integer, /* (a, b) */ n decimal(10, 2) "
         "check (n > 0), primary key (id), unique (n), constraint k foreign key (n) "
         "references u (id))",
         {{"id", "integer", -1, {}}, {"n", "decimal(10,2)", -1, {}}}},
        {"create table t ('x' char(3) references u(x), y)",
         {{"x", "char(3)", 3, {}}, {"y", {}, -1, {}}}},
        {"create table t as select * from u", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        const QList<ColumnDeclaration> got = sqlite::declaredColumns(QString::fromUtf8(c.sql));
        ASSERT_EQ(got.size(), c.columns.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].name, c.columns[i].name);
            EXPECT_EQ(got[i].type, c.columns[i].type);
            EXPECT_EQ(got[i].width, c.columns[i].width);
            EXPECT_EQ(got[i].collation, c.columns[i].collation);
        }
    }
    EXPECT_EQ(sqlite::declaredWidth(QStringLiteral("nvarchar(10) collate nocase")), 10);
    EXPECT_EQ(sqlite::declaredWidth(QStringLiteral("integer(5)")), -1);
    EXPECT_EQ(sqlite::declaredWidth(QStringLiteral("varchar")), -1);
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

// The journal mode stays with the file: a file some other program keeps is
// read as it is, in the mode it has; a new file and a survey file take the
// write-ahead log.
TEST(ConnectionTest, OnlyANewOrASurveySqliteFileIsSwitchedToAWriteAheadLog)
{
    zarn::test::TempDir tmp;
    const struct {
        const char *file;
        const char *table; // made before the first open; none: an empty file
        bool wal;
    } cases[] = {
        {"foreign.db", "orders", false}, {"survey.db", "T_DJDCB", true}, {"new.db", nullptr, true}};
    for (const auto &c : cases) {
        const QString file = tmp.file(QString::fromLatin1(c.file));
        if (c.table) {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "raw");
            raw.setDatabaseName(file);
            ASSERT_TRUE(raw.open());
            QSqlQuery(raw).exec(QStringLiteral("create table %1 (id integer primary key)")
                                    .arg(QString::fromLatin1(c.table)));
            raw.close();
            raw = QSqlDatabase();
            QSqlDatabase::removeDatabase("raw");
        } else {
            zarn::test::writeFile(file, {});
        }
        const QByteArray before = zarn::test::readFile(file);
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1").arg(file));
        conn.open();
        QSqlQuery q(conn.database());
        ASSERT_TRUE(q.exec(QStringLiteral("pragma journal_mode")) && q.next());
        EXPECT_EQ(q.value(0).toString(), c.wal ? "wal" : "delete") << c.file;
        q.finish();
        conn.close();
        if (!c.wal) {
            EXPECT_EQ(zarn::test::readFile(file), before) << "the foreign file changed";
        }
    }
}

namespace {

QString sqliteSource(const QString &file)
{
    return QStringLiteral("Provider=SQLite;Data Source=%1").arg(file);
}

// A survey file with two rows, in its journal mode, closed again.
void makeFile(const QString &file, bool writeAheadLog)
{
    zarn::test::writeFile(file, {});
    Connection c;
    c.setConnectionString(sqliteSource(file));
    c.open(); // a write-ahead log from here on
    zarn::test::execAll(c, {QStringLiteral("create table t (id integer primary key, x text)"),
                            QStringLiteral("insert into t values (1, 'a'), (2, 'b')")});
    if (!writeAheadLog) zarn::test::execAll(c, {QStringLiteral("pragma journal_mode = delete")});
    c.close();
}

void setMode(const QString &path, QFileDevice::Permissions p)
{
    ASSERT_TRUE(QFile::setPermissions(path, p)) << path.toStdString();
}

constexpr auto kReadOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
constexpr auto kFolderReadOnly =
    kReadOnly | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

} // namespace

TEST(ConnectionTest, ASqliteFileTheSurveyorsCannotReadOrWhoseFolderTheyCannotWriteIsRefusedNamingIt)
{
    ZARN_RUN_UNPRIVILEGED()
    zarn::test::TempDir tmp;
    for (bool wal : {true, false}) {
        const QString folder = tmp.file(wal ? QStringLiteral("wal") : QStringLiteral("journal"));
        const QString file = folder + QStringLiteral("/survey.db");
        makeFile(file, wal);
        setMode(folder, kFolderReadOnly);
        Connection c;
        c.setConnectionString(sqliteSource(file));
        try {
            c.open();
            ADD_FAILURE() << "opened a database whose folder cannot be written, wal " << wal;
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.kind(), RefusalKind::NoAccess);
            EXPECT_TRUE(e.message().contains(QStringLiteral("所在的文件夹“%1”不允许当前用户写入")
                                                 .arg(QDir::toNativeSeparators(folder))))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("必须允许调查员写入")));
        }
        EXPECT_FALSE(c.isOpen());
        setMode(folder, kFolderReadOnly | QFileDevice::WriteOwner);
    }
    // A file the user may not even read.
    const QString file = tmp.file(QStringLiteral("wal/survey.db"));
    setMode(file, QFileDevice::WriteOwner);
    Connection c;
    c.setConnectionString(sqliteSource(file));
    try {
        c.open();
        ADD_FAILURE() << "opened a file that cannot be read";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.kind(), RefusalKind::NoAccess);
        EXPECT_TRUE(e.message().contains(QStringLiteral("没有读取它的权限")))
            << e.message().toStdString();
    }
}

TEST(ConnectionTest, AWriteProtectedSqliteFileOpensForBrowsingWhereNobodyCanChangeIt)
{
    ZARN_RUN_UNPRIVILEGED()
    zarn::test::TempDir tmp;
    struct Case {
        const char *name;
        bool wal;
        QFileDevice::Permissions folder; // of a folder the user owns
        bool opens;
    };
    const QFileDevice::Permissions othersWrite = kFolderReadOnly | QFileDevice::WriteGroup;
    const Case cases[] = {
        // The folder writable: SQLite reads with its locks and shared memory.
        {"wal-folder-writable", true, kFolderReadOnly | QFileDevice::WriteOwner, true},
        // Nobody may write file or folder: the log can have nothing to add.
        {"wal-all-read-only", true, kFolderReadOnly, true},
        {"journal-all-read-only", false, kFolderReadOnly, true},
        // Others may still write the folder: a writer could start meanwhile.
        {"wal-others-write", true, othersWrite, false},
        {"journal-others-write", false, othersWrite, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        const QString folder = tmp.file(QString::fromLatin1(k.name));
        const QString file = folder + QStringLiteral("/survey.db");
        makeFile(file, k.wal);
        setMode(file, kReadOnly);
        setMode(folder, k.folder);
        Connection c;
        c.setConnectionString(sqliteSource(file));
        if (!k.opens) {
            try {
                c.open();
                ADD_FAILURE() << "opened without SQLite's locks where others may write";
            } catch (const DatabaseError &e) {
                EXPECT_EQ(e.kind(), RefusalKind::NoAccess);
                EXPECT_TRUE(e.message().contains(QStringLiteral("仍允许其他用户写入")))
                    << e.message().toStdString();
                EXPECT_TRUE(e.message().contains(QStringLiteral("journal_mode=delete")));
            }
            setMode(folder, kFolderReadOnly | QFileDevice::WriteOwner);
            continue;
        }
        ASSERT_NO_THROW(c.open());
        EXPECT_TRUE(c.isReadOnly());
        QSqlQuery rows = c.exec(Access::Read, QStringLiteral("select count(*) from t"), {}, true);
        ASSERT_TRUE(rows.next());
        EXPECT_EQ(rows.value(0).toInt(), 2);
        rows = QSqlQuery();
        try {
            c.exec(Access::Write, QStringLiteral("update t set x = 'c' where id = 1"), {}, false);
            ADD_FAILURE() << "wrote a write-protected file";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.kind(), RefusalKind::ReadOnly) << e.message().toStdString();
        }
        c.close();
        setMode(folder, kFolderReadOnly | QFileDevice::WriteOwner);
    }
}

namespace {

const QString kUnit = QStringLiteral("320102001001");

// The use-right form's list of the unit, its writes claiming their numbers as the form's do.
std::unique_ptr<Dataset> claimingList(Connection &c)
{
    auto d = std::make_unique<Dataset>(&c);
    d->setQuery(sql::djdcListUseRight, unitcode::unitListParams(kUnit));
    d->open();
    d->setWriteCheck(
        [](Dataset &t) {
            numbering::claimNumbers(*t.connection(), t.text("dwdm"), t.text("zdbh"), QString());
        },
        {QStringLiteral("zdbh")});
    return d;
}

void typeNewRow(Dataset &d, int id)
{
    d.append();
    d.setValue("id", id);
    d.setValue("dwdm", kUnit);
    d.setValue("zdbh", QStringLiteral("00100100%1").arg(id));
    d.setValue("qlr", QStringLiteral("户%1").arg(id));
}

DatabaseError lostReply()
{
    return DatabaseError(QStringLiteral("server closed the connection unexpectedly"),
                         Refusal::of(RefusalKind::ConnectionLost, {}));
}

} // namespace

// The backend of a workstation ended while its new row waited for the unit's
// claim, or right after its COMMIT went through with the reply lost; the
// server taking no connections for a while, or at once again. Each time the
// typing stays pending while the server is away, and the row is stored once:
// a row whose COMMIT got there is found, not stored again nor refused as
// taking its own parcel number.
TEST(PostgresLostConnectionTest, AWriteCutOffIsStoredOnceWhenTheServerAnswersAgain)
{
    ZARN_SKIP_UNLESS_CONFIGURED(zarn::test::Backend::Postgres);
    using zarn::test::count;
    zarn::test::ScratchDatabase db(zarn::test::Backend::Postgres);
    const std::unique_ptr<Connection> admin = db.openSurvey();
    // A database's connections are let in or kept out from another one.
    const QString serverText = zarn::test::connectionStringFor(zarn::test::Backend::Postgres, {});
    Connection server;
    server.setConnectionString(serverText);
    server.open();
    const QString name =
        zarn::test::scalar(*admin, QStringLiteral("select current_database()")).toString();
    const auto serverTakes = [&](Connection &c, bool connections) {
        zarn::test::execAll(
            c, {QStringLiteral("alter database %1 allow_connections %2")
                    .arg(name, connections ? QStringLiteral("true") : QStringLiteral("false"))});
    };
    const std::unique_ptr<Connection> writer = db.open();
    const auto pidOf = [](Connection &c) {
        return zarn::test::scalar(c, QStringLiteral("select pg_backend_pid()")).toString();
    };
    const auto rows = [&](const QString &where) {
        return count(*admin, QStringLiteral("select count(*) from T_DJDCB where ") + where);
    };
    const std::unique_ptr<Dataset> list = claimingList(*writer);

    // Ended while waiting for another workstation's claim of the unit.
    const QString waitingPid = pidOf(*writer);
    std::atomic<bool> claimed{false};
    std::thread holder([&] {
        Connection other, killer;
        other.setConnectionString(db.connectionString());
        other.open();
        killer.setConnectionString(serverText);
        killer.open();
        other.begin();
        numbering::claimNumbers(other, kUnit, QStringLiteral("0010019999"), QString());
        claimed = true;
        const QString waiting = QStringLiteral(
            "select count(*) from pg_locks where locktype = 'advisory' and not granted");
        while (count(killer, waiting) == 0)
            QThread::msleep(10);
        serverTakes(killer, false);
        zarn::test::execAll(killer,
                            {QStringLiteral("select pg_terminate_backend(%1)").arg(waitingPid)});
        other.rollback();
    });
    while (!claimed)
        QThread::msleep(10);
    typeNewRow(*list, 11);
    try {
        list->post();
        ADD_FAILURE() << "stored while the unit was claimed and the server away";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.kind(), RefusalKind::ConnectionLost) << e.message().toStdString();
    }
    holder.join();
    EXPECT_EQ(list->state(), Dataset::State::Insert);
    EXPECT_EQ(list->text("qlr"), QStringLiteral("户11"));
    EXPECT_TRUE(writer->isOpen());
    serverTakes(server, true);
    list->post();
    EXPECT_EQ(list->state(), Dataset::State::Browse);
    EXPECT_EQ(rows(QStringLiteral("id = 11")), 1);

    // The COMMIT of a new row got there, its reply did not, and no server answers.
    typeNewRow(*list, 12);
    bool cut = true;
    writer->setAfterCommit([&] {
        if (!std::exchange(cut, false)) return;
        const QString pid = pidOf(*writer);
        serverTakes(server, false);
        zarn::test::execAll(server, {QStringLiteral("select pg_terminate_backend(%1)").arg(pid)});
        throw lostReply();
    });
    EXPECT_THROW(list->post(), DatabaseError);
    EXPECT_EQ(list->state(), Dataset::State::Insert);
    serverTakes(server, true);
    list->post();
    EXPECT_EQ(list->state(), Dataset::State::Browse);
    EXPECT_EQ(rows(QStringLiteral("id = 12")), 1);

    // A renumbering whose COMMIT reply was lost, the server back at once: the
    // row already holds its new number, which is no refusal.
    cut = true;
    writer->setAfterCommit([&] {
        if (!std::exchange(cut, false)) return;
        zarn::test::execAll(
            server, {QStringLiteral("select pg_terminate_backend(%1)").arg(pidOf(*writer))});
        throw lostReply();
    });
    list->edit();
    list->setValue("zdbh", QStringLiteral("0010010099"));
    list->post();
    writer->setAfterCommit({});
    EXPECT_FALSE(cut);
    EXPECT_EQ(list->state(), Dataset::State::Browse);
    EXPECT_EQ(rows(QStringLiteral("id = 12 and zdbh = '0010010099'")), 1);
    EXPECT_EQ(rows(QStringLiteral("1 = 1")), 2);
}

// On PostgreSQL a statement with values goes out in one round trip through
// libpq rather than as Qt's PREPARE and EXECUTE. What comes back must read as
// the driver's own result would, value for value and field for field, and
// what goes in must be stored as the driver would store it.
TEST(PostgresDirectTest, ResultsReadAsTheDriversOwnAndValuesGoInUnchanged)
{
    ZARN_SKIP_UNLESS_CONFIGURED(zarn::test::Backend::Postgres);
    zarn::test::ScratchDatabase db(zarn::test::Backend::Postgres);
    const std::unique_ptr<Connection> c = db.open();
    zarn::test::execAll(
        *c, {QStringLiteral(
                "create table direct_t (id integer primary key, name varchar(12), memo text, "
                "big bigint, small smallint, ratio double precision, amount numeric(10,2), "
                "day date, at timestamp, yes boolean, raw bytea, fixed char(4))")});
    const QVariantList values = {1,
                                 QStringLiteral("王 '?' \"x\""),
                                 QString(),
                                 qlonglong(9007199254740993LL),
                                 -7,
                                 0.1,
                                 QStringLiteral("12.50"),
                                 QDate(2026, 12, 8),
                                 QDateTime(QDate(2026, 12, 8), QTime(6, 30, 1, 250), Qt::UTC),
                                 true,
                                 QByteArray("\0\x01'\\", 4),
                                 QStringLiteral("ab")};
    c->exec(Access::Write,
            QStringLiteral("insert into direct_t values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            values, false);

    const QString select = QStringLiteral(
        "select id, name, memo, big, small, ratio, amount, day, at, yes, raw, fixed, "
        "'?' as mark, null::integer as nothing from direct_t where id = ?");
    QSqlQuery direct = c->exec(Access::Read, select, {1}, true);
    QSqlQuery qt(c->database());
    ASSERT_TRUE(qt.prepare(select));
    qt.addBindValue(1);
    ASSERT_TRUE(qt.exec()) << qt.lastError().text().toStdString();
    ASSERT_TRUE(direct.next());
    ASSERT_TRUE(qt.next());
    const QSqlRecord dr = direct.record(), qr = qt.record();
    ASSERT_EQ(dr.count(), qr.count());
    for (int i = 0; i < qr.count(); ++i) {
        SCOPED_TRACE(qr.fieldName(i).toStdString());
        EXPECT_EQ(dr.fieldName(i), qr.fieldName(i));
        EXPECT_EQ(dr.field(i).metaType(), qr.field(i).metaType());
        EXPECT_EQ(dr.field(i).length(), qr.field(i).length());
        EXPECT_EQ(dr.field(i).precision(), qr.field(i).precision());
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        EXPECT_EQ(dr.field(i).typeID(), qr.field(i).typeID());
        QT_WARNING_POP
        EXPECT_EQ(direct.isNull(i), qt.isNull(i));
        EXPECT_EQ(
            direct.value(i).metaType().id() == QMetaType::ULongLong ? QMetaType(QMetaType::LongLong)
                                                                    : direct.value(i).metaType(),
            qt.value(i).metaType().id() == QMetaType::ULongLong ? QMetaType(QMetaType::LongLong)
                                                                : qt.value(i).metaType());
        EXPECT_EQ(direct.value(i), qt.value(i));
    }
    // What went in: each value as it was given.
    for (int i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        if (i == 6)
            EXPECT_DOUBLE_EQ(direct.value(i).toDouble(), 12.5);
        else if (i == 11)
            EXPECT_EQ(direct.value(i).toString(), QStringLiteral("ab  "));
        else if (i == 2)
            EXPECT_TRUE(direct.isNull(i));
        else
            EXPECT_EQ(direct.value(i), values[i]);
    }
    EXPECT_EQ(direct.value(12).toString(), QStringLiteral("?"));
    EXPECT_FALSE(direct.next());

    // Several together in a transaction whose BEGIN goes with them: the
    // refusal is classified as the driver's would be, nothing of the
    // transaction stays, and the connection is free afterwards.
    try {
        c->transaction(
            [&] {
                c->execAll(Access::Write,
                           {{QStringLiteral("update direct_t set small = ? where id = ?"), {5, 1}},
                            {QStringLiteral("insert into direct_t (id) values (?)"), {1}},
                            {QStringLiteral("update direct_t set small = ? where id = ?"), {6, 1}}},
                           false);
            },
            Connection::Begin::WithFirstStatement);
        ADD_FAILURE() << "a taken key was stored";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.kind(), RefusalKind::DuplicateKey) << e.message().toStdString();
    }
    EXPECT_FALSE(c->inTransaction());
    EXPECT_EQ(zarn::test::scalar(*c, QStringLiteral("select small from direct_t")).toInt(), -7);
    c->transaction(
        [&] { c->exec(Access::Write, QStringLiteral("delete from direct_t"), {}, false); },
        Connection::Begin::WithFirstStatement);
    EXPECT_EQ(zarn::test::count(*c, QStringLiteral("select count(*) from direct_t")), 0);
}
