// The dataset rules every form relies on, run on each configured database.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/statement_runner.h"
#include "support/backends.h"
#include "support/scratch_db.h"

#include <QSqlQuery>
#include <QThread>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace zarn;
using namespace zarn::test;

namespace {

// What a refused statement said, as the classifier read it.
template <class F> Refusal refusalOf(F &&statement)
{
    try {
        statement();
    } catch (const DatabaseError &e) {
        return e.refusal();
    }
    ADD_FAILURE() << "the database took it";
    return {};
}

class DatasetTest : public ScratchDatabaseTest {
protected:
    void prepare() override
    {
        table = uniqueName("t_ds");
        const QString dbl = GetParam() == Backend::Sqlite ? QStringLiteral("double")
                                                          : QStringLiteral("double precision");
        execAll(*conn,
                {QStringLiteral("create table %1 (id integer primary key, zdbh varchar(20), "
                                "qlr varchar(100), n integer, x %2, code varchar(10) unique, "
                                "bz text)")
                     .arg(table, dbl),
                 QStringLiteral("insert into %1 (id, zdbh, qlr, n) values "
                                "(1, '001', '张三', 5), (2, '002', '李四', null), "
                                "(3, '003', null, 7)")
                     .arg(table)});
        ds = std::make_unique<Dataset>(conn.get());
        ds->setQuery({.table = table, .order = {{.column = QStringLiteral("id")}}});
        ds->open();
    }

    // A second user's view of the same table.
    Dataset &second()
    {
        other = std::make_unique<Dataset>(conn.get());
        other->setQuery({.table = table, .order = {{.column = QStringLiteral("id")}}});
        other->open();
        return *other;
    }

    // What the database holds now, through a fresh statement.
    QString stored(int id, const QString &column) { return test::stored(*conn, table, id, column); }
    int rowsInTable() { return int(count(*conn, QStringLiteral("select count(*) from ") + table)); }

    std::unique_ptr<Dataset> ds, other;
    QString table;
};

TEST_P(DatasetTest, OpeningAndMovingFollowTheClassicFlags)
{
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_TRUE(ds->bof());
    EXPECT_FALSE(ds->eof());
    EXPECT_EQ(ds->text("zdbh"), "001");

    ds->prior(); // on the first row: bof, stays
    EXPECT_TRUE(ds->bof());
    EXPECT_EQ(ds->recNo(), 0);

    ds->next();
    EXPECT_FALSE(ds->bof());
    EXPECT_FALSE(ds->eof());
    EXPECT_EQ(ds->text("ZDBH"), "002");

    ds->last();
    EXPECT_TRUE(ds->eof());
    ds->next(); // on the last row: eof, stays
    EXPECT_TRUE(ds->eof());
    EXPECT_EQ(ds->text("zdbh"), "003");

    ds->first();
    EXPECT_TRUE(ds->bof());
    EXPECT_EQ(ds->recNo(), 0);

    // An empty result: both flags, no row, fields read as empty.
    ds->setQuery({.table = table, .filter = QStringLiteral("id = ?")}, {999});
    ds->open();
    EXPECT_TRUE(ds->isEmpty());
    EXPECT_TRUE(ds->bof());
    EXPECT_TRUE(ds->eof());
    EXPECT_EQ(ds->recNo(), -1);
    EXPECT_EQ(ds->text("qlr"), "");
    EXPECT_EQ(ds->field("n").asInteger(), 0);
}

TEST_P(DatasetTest, MovingPostsAModifiedRowAndDropsAnUnmodifiedOne)
{
    ds->edit();
    ds->setValue("qlr", QStringLiteral("王五"));
    ds->next();
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_EQ(stored(1, "qlr"), "王五");

    // An edit without changes is cancelled on a move and writes nothing.
    ds->edit();
    ds->next();
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_EQ(ds->text("zdbh"), "003");

    // A new row without changes disappears on a move.
    ds->append();
    EXPECT_EQ(ds->recordCount(), 4);
    ds->first();
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_EQ(rowsInTable(), 3);

    // Locate moves too, so it also posts first.
    ds->edit();
    ds->setValue("n", 42);
    EXPECT_TRUE(ds->locate("zdbh", "003"));
    EXPECT_EQ(stored(1, "n"), "42");
}

TEST_P(DatasetTest, AFailedPostStopsTheMoveAndKeepsTheTypedValues)
{
    ds->edit();
    ds->setValue("code", "A");
    ds->post();
    ds->next();
    ds->edit();
    ds->setValue("code", "A"); // unique violation
    ds->setValue("qlr", QStringLiteral("赵六"));
    const Refusal unique = refusalOf([&] { ds->next(); });
    EXPECT_EQ(unique.kind, RefusalKind::DuplicateKey);
    EXPECT_FALSE(unique.primaryKey());
    EXPECT_FALSE(unique.driverText.isEmpty());
    EXPECT_EQ(unique.row.value("qlr").toString(), QStringLiteral("赵六"));
    EXPECT_EQ(ds->recNo(), 1);
    EXPECT_EQ(ds->state(), Dataset::State::Edit);
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("赵六"));
    EXPECT_EQ(stored(2, "qlr"), QStringLiteral("李四"));

    // A new row with a duplicate id fails the same way and stays pending.
    ds->cancel();
    ds->append();
    ds->setValue("id", 2);
    const Refusal id = refusalOf([&] { ds->post(); });
    EXPECT_EQ(id.kind, RefusalKind::DuplicateKey);
    EXPECT_TRUE(id.primaryKey()) << id.driverText.toStdString();
    EXPECT_EQ(ds->state(), Dataset::State::Insert);
    EXPECT_EQ(ds->recordCount(), 4);
    ds->setValue("id", 4);
    ds->post();
    EXPECT_EQ(rowsInTable(), 4);
}

TEST_P(DatasetTest, TextLongerThanItsColumnIsRefusedNamingTheColumnAndItsWidth)
{
    EXPECT_EQ(ds->fieldDef(ds->indexOf("qlr")).length, 100);
    EXPECT_EQ(ds->fieldDef(ds->indexOf("n")).length, -1);
    ds->edit();
    ds->setValue("qlr", QString(101, QChar(0x5F20)));
    Refusal r = refusalOf([&] { ds->post(); });
    EXPECT_EQ(r.kind, RefusalKind::ValueTooLong);
    EXPECT_EQ(r.column, "qlr");
    EXPECT_EQ(r.limit, 100);
    EXPECT_EQ(ds->state(), Dataset::State::Edit);
    EXPECT_EQ(stored(1, "qlr"), QStringLiteral("张三"));
    // Exactly as wide as the column is stored; a stored over-long value
    // (SQLite keeps what it is given) does not stop a change of another column.
    ds->setValue("qlr", QString(100, QChar(0x5F20)));
    ds->post();
    if (GetParam() == Backend::Sqlite) {
        Dataset raw(conn.get());
        raw.setSql(QStringLiteral("update %1 set zdbh = ? where id = 2").arg(table),
                   {QString(30, QLatin1Char('9'))});
        raw.execute();
        ds->refresh();
        ds->next();
        ds->edit();
        ds->setValue("n", 8);
        ds->post();
        EXPECT_EQ(stored(2, "n"), "8");
    } else {
        // The server's own refusal, where nothing checked before.
        Dataset raw(conn.get());
        raw.setSql(QStringLiteral("update %1 set zdbh = ? where id = 2").arg(table),
                   {QString(21, QLatin1Char('9'))});
        r = refusalOf([&] { raw.execute(); });
        EXPECT_EQ(r.kind, RefusalKind::ValueTooLong);
        EXPECT_EQ(r.limit, 20);
    }
}

TEST_P(DatasetTest, AConnectionTheServerEndedIsOpenedAgainAndEachStatementRunsOnce)
{
    if (GetParam() == Backend::Sqlite) GTEST_SKIP() << "SQLite has no server";
    Connection admin;
    admin.setConnectionString(connectionStringFor(GetParam(), {}));
    admin.open();
    // Ends this connection's server process while it is idle, as a restarted
    // server or an administrator would, and waits until it is gone.
    auto endOurs = [&] {
        Dataset me(conn.get());
        me.setSql(QStringLiteral("select pg_backend_pid() as pid"));
        me.open();
        const qint64 pid = me.field("pid").asInteger();
        me.close();
        execAll(admin, {QStringLiteral("select pg_terminate_backend(%1)").arg(pid)});
        Dataset alive(&admin);
        alive.setSql(QStringLiteral("select count(*) as n from pg_stat_activity where pid = ?"),
                     {pid});
        for (int i = 0; i < 500; ++i) {
            alive.open();
            if (alive.field("n").asInteger() == 0) return;
            QThread::msleep(10);
        }
        FAIL() << "the server process did not end";
    };
    ds->edit();
    ds->setValue("qlr", QStringLiteral("王五"));
    endOurs();
    ds->post(); // an update
    EXPECT_EQ(stored(1, "qlr"), QStringLiteral("王五"));
    ds->append();
    ds->setValue("id", 4);
    ds->setValue("qlr", QStringLiteral("赵六"));
    endOurs();
    ds->post(); // an insert: run again only once it is known not to have landed
    EXPECT_EQ(rowsInTable(), 4);
    endOurs();
    ds->refresh(); // a select
    EXPECT_EQ(ds->recordCount(), 4);
    EXPECT_TRUE(conn->isOpen());
    // The session opened anew waits, searches and ends a stalled write as the
    // first did (settings sent with the connect request on PostgreSQL's own
    // driver; through ODBC the idle limit is set per write transaction).
    Dataset session(conn.get());
    session.setSql(QStringLiteral(
        "select current_setting('lock_timeout') as lock, current_setting('search_path') as path, "
        "current_setting('idle_in_transaction_session_timeout') as idle, "
        "current_setting('tcp_keepalives_idle') as keepalive"));
    session.open();
    EXPECT_EQ(session.text("lock"), QStringLiteral("5s"));
    EXPECT_TRUE(session.text("path").startsWith(QStringLiteral("zarn")))
        << session.text("path").toStdString();
    EXPECT_EQ(session.text("keepalive"), QStringLiteral("10"));
    if (GetParam() == Backend::Postgres) {
        EXPECT_EQ(session.text("idle"), QStringLiteral("1min"));
    }
}

TEST_P(DatasetTest, ANewRowWhoseNumberAnotherUserTookIsRenumberedAndKeepsItsValues)
{
    Connection workstation;
    workstation.setConnectionString(conn->connectionString());
    workstation.open();
    auto nextId = [&] {
        Dataset q(conn.get());
        q.setSql(QStringLiteral("select max(id) as m from %1").arg(table));
        q.open();
        return q.field("m").asInteger() + 1;
    };
    int calls = 0;
    ds->setRenumber([&](Dataset &d, const DatabaseError &e) {
        ++calls;
        EXPECT_TRUE(e.refusal().primaryKey());
        d.setValue("id", nextId());
        return true;
    });
    ds->append();
    ds->setValue("id", nextId());
    ds->setValue("qlr", QStringLiteral("新户"));
    // Another workstation stores the same number between our read and our post.
    execAll(workstation,
            {QStringLiteral("insert into %1 (id, zdbh) values (4, '004')").arg(table)});
    ds->post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_EQ(ds->field("id").asInteger(), 5);
    EXPECT_EQ(stored(5, "qlr"), QStringLiteral("新户"));

    // Numbers that keep colliding: bounded, and the row stays pending with
    // what was typed; a later post renumbers again.
    calls = 0;
    ds->setRenumber(
        [&](Dataset &d, const DatabaseError &) {
            ++calls;
            d.setValue("id", 1);
            return true;
        },
        3);
    ds->append();
    ds->setValue("id", 2);
    ds->setValue("qlr", QStringLiteral("再试"));
    EXPECT_THROW(ds->post(), DatabaseError);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(ds->state(), Dataset::State::Insert);
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("再试"));
    ds->setRenumber([&](Dataset &d, const DatabaseError &) {
        d.setValue("id", nextId());
        return true;
    });
    ds->post();
    EXPECT_EQ(stored(6, "qlr"), QStringLiteral("再试"));
}

// Whether a statement reads or writes is what its caller declares, never its text.
TEST_P(DatasetTest, AStatementReadsOrWritesAsItsCallerDeclares)
{
    const QString missing = QStringLiteral("select * from ") + uniqueName("t_none");
    EXPECT_TRUE(refusalOf([&] { conn->exec(Access::Read, missing, {}, true); }).reading);
    EXPECT_FALSE(refusalOf([&] { conn->exec(Access::Write, missing, {}, false); }).reading);
    Dataset q(conn.get());
    runQuery(q, QStringLiteral("SELECT count(*) FROM ") + table);
    ASSERT_TRUE(q.isOpen());
    EXPECT_EQ(q.value(0).toInt(), 3);
    runStatement(q, QStringLiteral("update %1 set n = ? where id = 2").arg(table), {1});
    EXPECT_FALSE(q.isOpen());
    EXPECT_EQ(stored(2, QStringLiteral("n")), "1");
    EXPECT_FALSE(conn->inTransaction());
}

TEST_P(DatasetTest, CancelRestoresTheRowAndTheCursor)
{
    ds->next();
    ds->edit();
    ds->setValue("qlr", QStringLiteral("改过"));
    ds->cancel();
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("李四"));
    EXPECT_EQ(ds->state(), Dataset::State::Browse);

    // insert puts the new row before the current one; cancel returns to it.
    ds->insert();
    EXPECT_EQ(ds->recNo(), 1);
    EXPECT_EQ(ds->recordCount(), 4);
    ds->setValue("zdbh", "x");
    ds->cancel();
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_EQ(ds->text("zdbh"), "002");

    ds->append();
    ds->cancel();
    EXPECT_EQ(ds->text("zdbh"), "002");

    // A second edit on a row already being edited changes nothing.
    ds->edit();
    ds->setValue("qlr", "a");
    ds->edit();
    EXPECT_EQ(ds->text("qlr"), "a");
    EXPECT_TRUE(ds->isModified());
}

TEST_P(DatasetTest, AppendedAndInsertedRowsStayWhereTheyWerePut)
{
    ds->append();
    ds->setValue("id", 10);
    ds->setValue("zdbh", "000"); // sorts first, but nothing is re-sorted
    ds->post();
    EXPECT_EQ(ds->recNo(), 3);
    EXPECT_EQ(ds->text("zdbh"), "000");

    ds->first();
    ds->next();
    ds->insert();
    ds->setValue("id", 11);
    ds->setValue("zdbh", "0015");
    ds->post();
    EXPECT_EQ(ds->recNo(), 1);
    ds->next();
    EXPECT_EQ(ds->text("zdbh"), "002");
    EXPECT_EQ(stored(11, "zdbh"), "0015");
    EXPECT_EQ(rowsInTable(), 5);
}

TEST_P(DatasetTest, DeleteRemovesAtOnceAndMovesOn)
{
    // A listener reads the current row on every notification: the cursor
    // stands on a row there is, also after the last row went.
    QStringList seen;
    auto look = [&](const char *what) {
        return [&seen, this, what](int row) {
            const int at = ds->recNo();
            EXPECT_TRUE(at == -1 ? ds->isEmpty() : at < ds->recordCount()) << what << row;
            seen << QStringLiteral("%1 %2 %3")
                        .arg(QLatin1String(what))
                        .arg(row)
                        .arg(ds->text("zdbh"));
        };
    };
    QObject::connect(ds.get(), &Dataset::rowAboutToBeRemoved, look("about"));
    QObject::connect(ds.get(), &Dataset::rowRemoved, look("gone"));

    ds->next();
    ds->remove();
    EXPECT_EQ(stored(2, "zdbh"), "<no row>");
    EXPECT_EQ(ds->text("zdbh"), "003"); // the following row

    ds->remove(); // the last row: cursor to the new last row
    EXPECT_EQ(ds->text("zdbh"), "001");
    EXPECT_EQ(ds->recordCount(), 1);

    // A pending new row is only discarded.
    ds->append();
    ds->setValue("id", 50);
    ds->remove();
    EXPECT_EQ(ds->recordCount(), 1);
    EXPECT_EQ(rowsInTable(), 1);

    ds->remove();
    EXPECT_TRUE(ds->isEmpty());
    EXPECT_TRUE(ds->eof());
    EXPECT_THROW(ds->remove(), DatasetStateError);
    EXPECT_EQ(rowsInTable(), 0);
    EXPECT_EQ(seen, QStringList({"about 1 002", "gone 1 003", "about 1 003", "gone 1 001",
                                 "about 1 ", "gone 1 001", "about 0 001", "gone 0 "}));
}

TEST_P(DatasetTest, RefreshRereadsAndKeepsTheRow)
{
    ds->locate("id", 2);
    Dataset &b = second();
    b.append();
    b.setValue("id", 0);
    b.setValue("zdbh", "000");
    b.post();
    b.locate("id", 2);
    b.edit();
    b.setValue("qlr", QStringLiteral("新名"));
    b.post();

    ds->refresh();
    EXPECT_EQ(ds->recordCount(), 4);
    EXPECT_EQ(ds->field("id").asInteger(), 2);
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("新名"));

    // The row is gone: the cursor stays at its place in the list.
    b.locate("id", 2);
    b.remove();
    ds->refresh();
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_EQ(ds->field("id").asInteger(), 3);
}

TEST_P(DatasetTest, EmptyTextIsStoredAsNullAndNullReadsEmpty)
{
    ds->edit();
    ds->setValue("qlr", "");
    ds->setValue("n", "");
    ds->post();
    EXPECT_EQ(stored(1, "qlr"), "<null>");
    EXPECT_EQ(stored(1, "n"), "<null>");
    ds->refresh();
    EXPECT_TRUE(ds->field("qlr").isNull());
    EXPECT_EQ(ds->field("qlr").asString(), "");
    EXPECT_EQ(ds->field("n").asInteger(), 0);
    EXPECT_EQ(ds->field("x").asFloat(), 0.0);
}

TEST_P(DatasetTest, TheSecondOfTwoUsersCannotOverwriteTheFirst)
{
    Dataset &b = second();
    ds->edit();
    ds->setValue("qlr", QStringLiteral("甲"));
    b.edit();
    b.setValue("qlr", QStringLiteral("乙"));
    ds->post();
    EXPECT_THROW(b.post(), RowChangedError);
    EXPECT_EQ(stored(1, "qlr"), QStringLiteral("甲"));
    EXPECT_EQ(b.state(), Dataset::State::Edit);
    EXPECT_EQ(b.text("qlr"), QStringLiteral("乙"));

    // Changing another column of the same row is not a conflict.
    b.cancel();
    b.refresh();
    b.edit();
    b.setValue("zdbh", "111");
    ds->edit();
    ds->setValue("n", 9);
    ds->post();
    b.post();
    EXPECT_EQ(stored(1, "zdbh"), "111");
    EXPECT_EQ(stored(1, "n"), "9");

    // A row deleted meanwhile fails the same way; a column read as null is compared as null.
    ds->locate("id", 3);
    b.locate("id", 3);
    b.remove();
    ds->edit();
    ds->setValue("qlr", "x");
    EXPECT_THROW(ds->post(), RowChangedError);
}

TEST_P(DatasetTest, AChangeAnotherUserAlreadyStoredIsNoConflictAndADifferentOneIs)
{
    // Two forms recount one parcel's markers: the second stores what the
    // first did, and its row takes the first's other changes.
    Dataset &b = second();
    ds->edit();
    ds->setValue("n", 8);
    ds->setValue("qlr", QStringLiteral("甲"));
    b.edit();
    b.setValue("n", 8);
    ds->post();
    EXPECT_NO_THROW(b.post());
    EXPECT_EQ(b.state(), Dataset::State::Browse);
    EXPECT_EQ(b.text("qlr"), QStringLiteral("甲"));
    EXPECT_EQ(stored(1, "n"), "8");

    // One changed column that holds something else keeps the conflict,
    // even when the other changed column matches.
    ds->edit();
    ds->setValue("n", 10);
    ds->post();
    b.edit();
    b.setValue("n", 10);
    b.setValue("zdbh", "x");
    EXPECT_THROW(b.post(), RowChangedError);
    EXPECT_EQ(b.state(), Dataset::State::Edit);
    EXPECT_EQ(stored(1, "zdbh"), "001");
}

TEST_P(DatasetTest, RefreshingTheRowTakesAnotherUsersVersionAndEndsTheConflict)
{
    Dataset &b = second();
    b.edit();
    b.setValue("n", 50);
    b.setValue("qlr", QStringLiteral("乙改"));
    b.post();

    ds->edit();
    ds->setValue("n", 6);
    EXPECT_THROW(ds->post(), RowChangedError);
    ASSERT_TRUE(ds->refreshRow());
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_EQ(ds->field("n").asInteger(), 50);
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("乙改"));
    ds->edit();
    ds->setValue("n", 6);
    ds->post();
    EXPECT_EQ(stored(1, "n"), "6");
    EXPECT_EQ(stored(1, "qlr"), QStringLiteral("乙改"));

    // A row someone deleted cannot be re-read, and is told from a changed
    // one. Taken out of the list, it takes the pending change with it and
    // the table is not touched.
    EXPECT_FALSE(ds->rowDeletedMeanwhile());
    const int rows = ds->recordCount();
    b.remove();
    ds->edit();
    ds->setValue("n", 7);
    EXPECT_TRUE(ds->rowDeletedMeanwhile());
    EXPECT_FALSE(ds->refreshRow());
    EXPECT_EQ(ds->field("id").asInteger(), 1);
    ds->dropRow();
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_EQ(ds->recordCount(), rows - 1);
    EXPECT_EQ(ds->field("id").asInteger(), 2);
    EXPECT_EQ(rowsInTable(), rows - 1);

    // A read that fails tells nothing: the row is not taken for deleted.
    execAll(*conn, {QStringLiteral("alter table %1 rename to %1_away").arg(table)});
    try {
        ds->rowDeletedMeanwhile();
        ADD_FAILURE() << "a failed read was taken for an answer";
    } catch (const DatabaseError &e) {
        EXPECT_NE(e.kind(), RefusalKind::RowChanged);
        EXPECT_TRUE(e.refusal().reading);
    }
    EXPECT_THROW(ds->refreshRow(), DatabaseError);
    execAll(*conn, {QStringLiteral("alter table %1_away rename to %1").arg(table)});
    EXPECT_FALSE(ds->rowDeletedMeanwhile());

    // A new row was never stored.
    ds->append();
    EXPECT_FALSE(ds->refreshRow());
    EXPECT_FALSE(ds->rowDeletedMeanwhile());
    EXPECT_EQ(ds->state(), Dataset::State::Insert);
}

TEST_P(DatasetTest, HostileTextIsStoredVerbatimAndTouchesNoOtherRow)
{
    const QString evil = QStringLiteral("O'Brien'; delete from %1; -- \"引号\" ;").arg(table);
    ds->edit();
    ds->setValue("qlr", evil);
    ds->post();
    EXPECT_EQ(stored(1, "qlr"), evil);
    EXPECT_EQ(stored(2, "qlr"), QStringLiteral("李四"));
    EXPECT_EQ(rowsInTable(), 3);

    ds->setQuery({.table = table, .filter = QStringLiteral("qlr = ?")}, {evil});
    ds->open();
    EXPECT_EQ(ds->recordCount(), 1);

    // Names the data layer joins into its statements are quoted: a column
    // named as a key word is ordered by, read by pages, written and deleted.
    const QString words = uniqueName("t_kw");
    execAll(*conn, {QStringLiteral("create table %1 (id integer primary key, \"order\" "
                                   "varchar(10))")
                        .arg(words)});
    Dataset d(conn.get());
    d.setPaging(1, 1);
    d.setQuery({.table = words.toUpper(), .order = {{.column = QStringLiteral("order")}}});
    d.open();
    for (const auto &[id, word] : {std::pair{1, "b"}, std::pair{2, "a"}}) {
        d.append();
        d.setValue("id", id);
        d.setValue("order", QString::fromLatin1(word));
        d.post();
    }
    d.refresh();
    EXPECT_EQ(d.valueAt(0, d.indexOf("order")).toString(), "a");
    d.last();
    d.edit();
    d.setValue("order", QStringLiteral("c"));
    d.post();
    d.remove();
    d.refresh();
    EXPECT_EQ(d.recordCount(), 1);
    EXPECT_EQ(d.text("order"), "a");
    d.close();
    execAll(*conn, {QStringLiteral("drop table %1").arg(words)});
}

TEST_P(DatasetTest, FieldsAreFoundWithoutCaseAndCheckTheirValues)
{
    EXPECT_EQ(ds->field("QLR").asString(), QStringLiteral("张三"));
    EXPECT_EQ(ds->fieldIndex("Zdbh"), ds->fieldIndex("zdbh"));
    try {
        ds->text("nosuch");
        FAIL() << "unknown field read";
    } catch (const FieldNotFoundError &e) {
        EXPECT_TRUE(e.message().contains("nosuch"));
    }
    ds->edit();
    try {
        ds->setValue("N", "abc");
        FAIL() << "abc accepted as an integer";
    } catch (const ConversionError &e) {
        EXPECT_TRUE(e.message().contains("abc"));
        EXPECT_TRUE(e.message().contains("n", Qt::CaseInsensitive));
    }
    ds->setValue("n", " 12 ");
    ds->setValue("x", "2.5");
    ds->setValue("zdbh", 77);
    EXPECT_EQ(ds->field("n").asInteger(), 12);
    EXPECT_DOUBLE_EQ(ds->field("x").asFloat(), 2.5);
    EXPECT_EQ(ds->text("zdbh"), "77");
    // A double is a whole number only when it is one and in range: a cast of
    // any other is undefined.
    for (double d : {1e300, -1e300, 9.3e18, 2.5, std::nan(""), HUGE_VAL})
        EXPECT_THROW(ds->setValue("n", d), ConversionError) << d;
    ds->setValue("n", -42.0);
    EXPECT_EQ(ds->field("n").asInteger(), -42);
    for (double d : {1e300, -9.3e18, std::nan(""), -HUGE_VAL}) {
        ds->setValue("x", d);
        EXPECT_THROW(ds->field("x").asInteger(), ConversionError) << d;
    }
    ds->setValue("x", 2.5);
    EXPECT_EQ(ds->field("x").asInteger(), 3); // rounded, as the driver's own conversion
    ds->cancel();

    EXPECT_TRUE(isIntegerType(ds->fieldDef(ds->indexOf("id")).type));
    EXPECT_TRUE(isTextType(ds->fieldDef(ds->indexOf("qlr")).type));
    EXPECT_TRUE(isFloatType(ds->fieldDef(ds->indexOf("x")).type));
    // A server's unbounded text is long text, however the driver calls it.
    if (GetParam() != Backend::Sqlite) {
        EXPECT_EQ(ds->fieldDef(ds->indexOf("bz")).type, FieldType::LongText);
    }
    EXPECT_EQ(ds->fieldDef(ds->indexOf("bz")).length, -1);

    // Writing outside edit or insert is refused.
    EXPECT_THROW(ds->setValue("qlr", "x"), DatasetStateError);
}

TEST_P(DatasetTest, LocateFindsByTextAndMissesWithoutMoving)
{
    EXPECT_TRUE(ds->locate("ZDBH", "003"));
    EXPECT_EQ(ds->field("id").asInteger(), 3);
    EXPECT_FALSE(ds->locate("zdbh", "999"));
    EXPECT_EQ(ds->field("id").asInteger(), 3);
    EXPECT_TRUE(ds->locate("zdbh", "00", Dataset::PartialKey));
    EXPECT_EQ(ds->field("id").asInteger(), 1);
    EXPECT_TRUE(ds->locate("qlr", QVariant()));
    EXPECT_EQ(ds->field("id").asInteger(), 3);
}

TEST_P(DatasetTest, ClosingDiscardsAPendingRowAndTheConnectionClosesAll)
{
    ds->append();
    ds->setValue("id", 9);
    ds->close();
    EXPECT_FALSE(ds->isOpen());
    ds->open();
    EXPECT_EQ(ds->recordCount(), 3);
    EXPECT_EQ(rowsInTable(), 3);

    Dataset &b = second();
    ds->edit();
    ds->setValue("qlr", "x");
    execAll(*conn, {QStringLiteral("drop table %1").arg(table)});
    conn->close();
    EXPECT_FALSE(ds->isOpen());
    EXPECT_FALSE(b.isOpen());
    EXPECT_THROW(ds->first(), DatasetStateError);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, DatasetTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, DatasetTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, DatasetTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
