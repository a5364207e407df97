// A dataset that reads its rows a page at a time keeps every rule of the
// dataset at the edges of its pages, and with rows another user changed or
// deleted after the open. Small pages make a 50-row table many pages.
//
// Each case runs on a list read whole and on one read unit by unit, whose
// keys arrive behind its first page (the suites named Arriving…): the rows
// lie in three units, the first ten in one and the rest in two with their
// parcel numbers interleaved, so the list is the units' rows merged, and a
// seek counts some units whole and tells others by their ends.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/key_table.h"
#include "support/backends.h"
#include "support/scratch_db.h"

#include <QCoreApplication>
#include <QSet>

#include <gtest/gtest.h>
#include <memory>

using namespace zarn;
using namespace zarn::test;

namespace {

constexpr int kRows = 50;
constexpr int kPageRows = 8;
constexpr int kPagesKept = 2;

QString parcel(int id)
{
    return QStringLiteral("%1").arg(id, 4, 10, QLatin1Char('0'));
}
QString holder(int id)
{
    return QStringLiteral("使用者%1").arg(id);
}

class RowPagingTest : public ScratchDatabaseTest {
protected:
    void prepare() override
    {
        table = uniqueName("t_page");
        // Ids run against the parcel order, so a page by position is not a range of ids.
        QStringList rows;
        for (int i = 1; i <= kRows; ++i)
            rows << QStringLiteral("(%1, 'U%2', '%3', '%4', %5)")
                        .arg(1000 - i)
                        .arg(i <= 10 ? 2 : i % 2)
                        .arg(parcel(i), holder(i))
                        .arg(i);
        execAll(*conn, {QStringLiteral("create table %1 (id integer primary key, dwdm varchar(12), "
                                       "zdbh varchar(20), qlr varchar(100), n integer)")
                            .arg(table),
                        QStringLiteral("insert into %1 (id, dwdm, zdbh, qlr, n) values %2")
                            .arg(table, rows.join(QStringLiteral(", ")))});
        ds = std::make_unique<Dataset>(conn.get());
        ds->setPaging(kPageRows, kPagesKept);
        if (arriving())
            ds->setQuery(
                {.table = table,
                 .filter = QStringLiteral("dwdm >= ? and dwdm < ?"),
                 .exactFilter = QStringLiteral("dwdm = ?"),
                 .exactValues = {0},
                 .exactProbe =
                     QStringLiteral("select min(dwdm) from %1 where dwdm > ? and dwdm < ?").arg(table),
                 .order = {{.column = QStringLiteral("zdbh"), .nullsLast = true}}},
                {QStringLiteral("U0"), QStringLiteral("U9")});
        else
            ds->setQuery({.table = table,
                          .filter = QStringLiteral("n > ?"),
                          .order = {{.column = QStringLiteral("zdbh")}}},
                         {0});
        ds->open();
    }

    static bool arriving()
    {
        return QString::fromUtf8(
                   ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name())
            .startsWith(QStringLiteral("Arriving"));
    }
    // Every key in, as a move to the end reads them.
    void allKeys()
    {
        ds->last();
        ds->first();
    }

    // The event loop's turns, until the keys are in: rows arrive, rows found
    // deleted leave.
    void settle()
    {
        for (int turn = 0; turn == 0 || (turn < 100 && ds->keysArriving()); ++turn)
            QCoreApplication::processEvents();
    }
    // Every row by moves from the first to the last, as a surveyor goes:
    // a row found deleted is said (and leaves), the same move again goes on.
    QList<qint64> walk()
    {
        QList<qint64> ids;
        const auto retried = [](const auto &move) {
            for (;;) {
                try {
                    move();
                    return;
                } catch (const RowsDeletedError &) {
                }
            }
        };
        retried([&] { ds->first(); });
        while (!ds->isEmpty()) {
            ids << ds->field("id").asInteger();
            retried([&] { ds->next(); });
            if (ds->eof()) break;
        }
        return ids;
    }

    // Another user's change, straight into the table.
    void meanwhile(const QString &statement) { execAll(*conn, {statement.arg(table)}); }
    QString stored(int id, const QString &column) { return test::stored(*conn, table, id, column); }
    bool bounded() const { return ds->rowsInMemory() <= (kPagesKept + 1) * kPageRows; }
    // A grid scrolled from the end to the top: every page is read, and all but
    // the first two (and the cursor's row) let go again.
    void scrollOver()
    {
        for (int i = ds->recordCount() - 1; i >= 0; i -= kPageRows)
            ds->valueAt(i, ds->indexOf("qlr"));
    }

    std::unique_ptr<Dataset> ds;
    QString table;
};

TEST_P(RowPagingTest, WalkingThroughEveryPageReadsEachRowWholeAndLetsFarPagesGo)
{
    EXPECT_EQ(ds->recordCount(), kRows);
    EXPECT_LE(ds->rowsInMemory(), kPageRows);
    for (int i = 1; i <= kRows; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ds->recNo(), i - 1);
        EXPECT_EQ(ds->text("zdbh"), parcel(i));
        EXPECT_EQ(ds->text("qlr"), holder(i));
        EXPECT_EQ(ds->field("id").asInteger(), 1000 - i);
        EXPECT_TRUE(bounded());
        ds->next();
    }
    EXPECT_TRUE(ds->eof());
    ds->first();
    EXPECT_TRUE(ds->bof());
    EXPECT_EQ(ds->text("qlr"), holder(1));
    ds->prior();
    EXPECT_EQ(ds->recNo(), 0);
}

// A grid asks for the rows it shows, from anywhere in the result; a locate may
// land on a row no page has brought in yet.
TEST_P(RowPagingTest, GridsAndLocateReachRowsNotYetRead)
{
    for (int i = kRows - 1; i >= kRows - 20; --i)
        EXPECT_EQ(ds->valueAt(i, ds->indexOf("qlr")).toString(), holder(i + 1));
    EXPECT_TRUE(bounded());
    EXPECT_EQ(ds->text("qlr"), holder(1)); // the cursor's row stays

    EXPECT_TRUE(ds->locate("zdbh", parcel(37)));
    EXPECT_EQ(ds->text("qlr"), holder(37));
    // A column not held for every row is searched page by page.
    EXPECT_TRUE(ds->locate("qlr", holder(12)));
    EXPECT_EQ(ds->text("zdbh"), parcel(12));
    EXPECT_FALSE(ds->locate("qlr", QStringLiteral("无此人")));
    EXPECT_EQ(ds->recNo(), 11);
    EXPECT_TRUE(bounded());
}

TEST_P(RowPagingTest, RowsAnotherUserChangedOrDeletedAfterTheOpen)
{
    allKeys(); // rows deleted before their keys came are another case, below
    meanwhile(QStringLiteral("update %1 set qlr = '他人改过' where id = 970")); // row 30
    meanwhile(QStringLiteral("delete from %1 where id = 980"));                 // row 20
    meanwhile(QStringLiteral("delete from %1 where id = 955"));                 // row 45

    // A changed row reads as their version, and ours posts on top of it.
    ds->moveTo(29);
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("他人改过"));
    ds->edit();
    ds->setValue("n", 300);
    ds->next();
    EXPECT_EQ(stored(970, "qlr"), QStringLiteral("他人改过"));
    EXPECT_EQ(stored(970, "n"), "300");

    // A deleted row leaves the list when reached; the cursor stays on its row.
    ds->locate("zdbh", parcel(21));
    EXPECT_THROW(ds->prior(), RowsDeletedError);
    EXPECT_EQ(ds->recordCount(), kRows - 1);
    EXPECT_EQ(ds->text("zdbh"), parcel(21));
    ds->prior();
    EXPECT_EQ(ds->text("zdbh"), parcel(19));

    // So also for a locate, and for a grid's move.
    EXPECT_THROW(ds->locate("zdbh", parcel(45)), RowsDeletedError);
    EXPECT_EQ(ds->recordCount(), kRows - 2);
    EXPECT_EQ(ds->text("zdbh"), parcel(19));
    EXPECT_FALSE(ds->locate("zdbh", parcel(45)));
    ds->last();
    EXPECT_EQ(ds->text("zdbh"), parcel(kRows));

    // A refresh takes in what the database holds now.
    meanwhile(QStringLiteral("delete from %1 where id = 990"));
    ds->refresh();
    EXPECT_EQ(ds->recordCount(), kRows - 3);
    EXPECT_EQ(ds->text("zdbh"), parcel(kRows));

    // A run of deleted rows in the move's direction leaves in one go, so the
    // same move once more reaches a row that is there.
    meanwhile(QStringLiteral("delete from %1 where id in (999, 998, 997)")); // rows 1 to 3
    try {
        ds->first();
        ADD_FAILURE() << "the deleted first rows went unnoticed";
    } catch (const RowsDeletedError &e) {
        EXPECT_EQ(e.count(), 3);
        EXPECT_EQ(e.kind(), RefusalKind::RowsDeleted);
    }
    EXPECT_EQ(ds->text("zdbh"), parcel(kRows));
    ds->first();
    EXPECT_EQ(ds->text("zdbh"), parcel(4));
    scrollOver();                                                       // the last page is let go
    meanwhile(QStringLiteral("delete from %1 where id in (951, 950)")); // rows 49 and 50
    try {
        ds->last();
        ADD_FAILURE() << "the deleted last rows went unnoticed";
    } catch (const RowsDeletedError &e) {
        EXPECT_EQ(e.count(), 2);
    }
    EXPECT_EQ(ds->text("zdbh"), parcel(4));
    ds->last();
    EXPECT_EQ(ds->text("zdbh"), parcel(48));
    EXPECT_EQ(ds->recordCount(), kRows - 8);
}

TEST_P(RowPagingTest, NewRowsAndEditsOutliveTheirPagesBeingLetGo)
{
    // Appended, posted, left, its page let go, and reached again.
    ds->append();
    ds->setValue("id", 5);
    ds->setValue("zdbh", "0000"); // sorts first: nothing is re-sorted
    ds->setValue("qlr", QStringLiteral("新户"));
    ds->setValue("n", 1);
    ds->first();
    EXPECT_EQ(stored(5, "qlr"), QStringLiteral("新户"));
    scrollOver();
    meanwhile(QStringLiteral("update %1 set qlr = '新户改' where id = 5"));
    ds->last();
    EXPECT_EQ(ds->recordCount(), kRows + 1);
    EXPECT_EQ(ds->text("zdbh"), "0000");
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("新户改"));

    // An edit pending while a grid scrolls over every other row is kept and posted.
    ds->moveTo(2);
    ds->edit();
    ds->setValue("qlr", QStringLiteral("改名"));
    scrollOver();
    EXPECT_TRUE(bounded());
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("改名"));
    ds->post();
    EXPECT_EQ(stored(997, "qlr"), QStringLiteral("改名"));

    // A row read, left, let go and changed by another user meanwhile: read
    // again when reached, our edit posts on their version.
    ds->moveTo(40);
    ds->last();
    scrollOver();
    meanwhile(QStringLiteral("update %1 set qlr = '他人' where id = 959"));
    ds->moveTo(40);
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("他人"));
    ds->edit();
    ds->setValue("n", 7);
    ds->post();
    EXPECT_EQ(stored(959, "n"), "7");
    EXPECT_EQ(stored(959, "qlr"), QStringLiteral("他人"));

    // Deleting moves on to the next row, read from its page.
    ds->moveTo(kPageRows - 1);
    ds->remove();
    EXPECT_EQ(ds->text("zdbh"), parcel(kPageRows + 1));
    EXPECT_EQ(stored(1000 - kPageRows, "qlr"), QStringLiteral("<no row>"));
}

// The count and the first page at the open, the other keys as reads reach
// them, all as of the open: whatever another user writes meanwhile, every
// row there was then and is not deleted is reached once by moves and by a
// locate, in order, the count is the rows listed, and their rows show at the
// next refresh.
TEST_P(RowPagingTest, EveryRuleHoldsWhileKeysAreStillArriving)
{
    if (!arriving()) GTEST_SKIP() << "a list read whole has every key at the open";
    EXPECT_TRUE(ds->keysArriving());
    EXPECT_EQ(ds->recordCount(), kRows);
    EXPECT_EQ(ds->text("zdbh"), parcel(1));

    // Another user adds rows before and after the host parcel (30) in each
    // unit, renumbers one row forward and one back past it, changes one and
    // deletes two: all beyond the keys read but for the row renumbered back.
    meanwhile(QStringLiteral("insert into %1 (id, dwdm, zdbh, qlr, n) values "
                             "(2000, 'U1', '00255', '他人新户', 1), (2001, 'U0', '00291', 'x', 1), "
                             "(2002, 'U2', '0005a', 'x', 1), (2003, 'U1', '00401', 'x', 1)"));
    meanwhile(QStringLiteral("update %1 set zdbh = '0046a' where id = 988")); // parcel 12
    meanwhile(QStringLiteral("update %1 set zdbh = '0003a' where id = 962")); // parcel 38
    meanwhile(QStringLiteral("update %1 set qlr = '他人改过' where id = 970")); // parcel 30
    meanwhile(QStringLiteral("delete from %1 where id in (980, 955)"));          // 20 and 45

    // The host parcel where the database counted it at the open, with their change.
    EXPECT_TRUE(ds->locate("zdbh", parcel(30)));
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("他人改过"));
    EXPECT_EQ(ds->recNo(), 29);
    EXPECT_TRUE(ds->keysArriving());
    // Found without the keys before it, which come in their places when reached.
    bool held = true;
    ds->heldValueAt(20, ds->indexOf("zdbh"), &held);
    EXPECT_FALSE(held);
    EXPECT_EQ(ds->valueAt(20, ds->indexOf("zdbh")).toString(), parcel(21));
    // 上记录 from it reaches every parcel before it once, the deleted one said so.
    QList<qint64> back;
    do {
        back << ds->field("id").asInteger();
        for (bool moved = false; !moved;) {
            try {
                ds->prior();
                moved = true;
            } catch (const RowsDeletedError &) {
                // said once; the same move again goes past it
            }
        }
    } while (!ds->bof());
    EXPECT_EQ(back.size(), 29); // parcels 30 to 1 but 20
    EXPECT_EQ(back.last(), 999);

    // A row added and one deleted in this session while keys still arrive:
    // a writer is not held up by the keys' reading.
    ds->append();
    ds->setValue("id", 7);
    ds->setValue("dwdm", "U1");
    ds->setValue("zdbh", "0100");
    ds->setValue("qlr", QStringLiteral("新户"));
    ds->setValue("n", 1);
    ds->post();
    EXPECT_EQ(stored(7, "qlr"), QStringLiteral("新户"));
    ds->moveTo(3);
    ds->remove();
    EXPECT_EQ(ds->text("zdbh"), parcel(5));
    EXPECT_TRUE(ds->keysArriving());

    // 定位 finds every parcel as the open had it, still counted where the
    // database had it, past this session's rows.
    for (int i = 1; i <= kRows; ++i) {
        SCOPED_TRACE(i);
        if (i == 4 || i == 12 || i == 38) continue; // ours deleted; theirs renumbered
        if (i == 20 || i == 45) {
            // Said deleted when reached, not found once known so.
            bool found = true;
            try {
                found = ds->locate("zdbh", parcel(i));
            } catch (const RowsDeletedError &) {
                found = false;
            }
            EXPECT_FALSE(found);
            continue;
        }
        ASSERT_TRUE(ds->locate("zdbh", parcel(i)));
        EXPECT_EQ(ds->field("id").asInteger(), 1000 - i);
    }
    EXPECT_FALSE(ds->locate("zdbh", QStringLiteral("00255"))); // theirs: at the next refresh

    // Every row once by moves, in the open's order, our new one at the end;
    // the count is the rows listed.
    const QList<qint64> ids = walk();
    EXPECT_FALSE(ds->keysArriving());
    const QSet<qint64> once(ids.cbegin(), ids.cend());
    EXPECT_EQ(once.size(), ids.size());
    EXPECT_EQ(ids.size(), ds->recordCount());
    EXPECT_EQ(ids.size(), kRows - 2);
    EXPECT_EQ(ids.indexOf(988), 12 - 1 - 1); // its place at the open, after ours deleted
    EXPECT_EQ(ids.indexOf(962), 38 - 1 - 2);
    EXPECT_EQ(ids.last(), 7);
    EXPECT_FALSE(once.contains(2000) || once.contains(980) || once.contains(996));
    EXPECT_TRUE(bounded());

    // The refresh shows the database as it is now, in its order.
    ds->refresh();
    allKeys();
    const qint64 now = count(*conn, QStringLiteral("select count(*) from %1").arg(table));
    EXPECT_EQ(ds->recordCount(), now);
    EXPECT_TRUE(ds->locate("zdbh", QStringLiteral("00255")));
    EXPECT_EQ(ds->field("id").asInteger(), 2000);
    QString before;
    for (ds->first(); !ds->eof(); ds->next()) {
        EXPECT_LT(before, ds->text("zdbh"));
        before = ds->text("zdbh");
    }
}

// Rows kept without a parcel number (null or '', written by other software)
// in several units: '' sorts before every parcel, null after, each part by
// id, merged so; the ends a surveyor moves from are the parcels around them.
TEST_P(RowPagingTest, RowsWithoutAParcelNumberSortAroundTheParcels)
{
    if (!arriving()) GTEST_SKIP() << "the merge of units is the arriving list's";
    meanwhile(QStringLiteral("insert into %1 (id, dwdm, zdbh, qlr, n) values "
                             "(3001, 'U2', null, 'a', 1), (3002, 'U0', '', 'b', 1), "
                             "(3003, 'U1', null, 'c', 1), (3004, 'U2', '', 'd', 1), "
                             "(3005, 'U0', null, 'e', 1), (3006, 'U1', '', 'f', 1)"));
    ds->refresh();
    ASSERT_TRUE(ds->keysArriving());
    EXPECT_EQ(ds->firstRowWith("zdbh"), 3);
    const QList<qint64> ids = walk();
    ASSERT_EQ(ids.size(), kRows + 6);
    EXPECT_EQ(ids.mid(0, 3), (QList<qint64>{3002, 3004, 3006}));
    EXPECT_EQ(ids[3], 999);
    EXPECT_EQ(ids[kRows + 2], 950);
    EXPECT_EQ(ids.mid(kRows + 3), (QList<qint64>{3001, 3003, 3005}));
    EXPECT_EQ(ds->lastRowWith("zdbh"), kRows + 2);
}

// A parcel number collated otherwise than by characters' codes: the list
// is the database's order, not a merge's.
TEST_P(RowPagingTest, AParcelNumberCollatedOtherwiseIsListedInTheDatabasesOrder)
{
    if (!arriving() || GetParam() == Backend::Sqlite)
        GTEST_SKIP() << "a collation of PostgreSQL's";
    allKeys(); // the keys' read transaction is over: the table's definition can change
    meanwhile(QStringLiteral("alter table %1 alter column zdbh type varchar(20) collate "
                             "\"und-x-icu\""));
    meanwhile(QStringLiteral("insert into %1 (id, dwdm, zdbh, qlr, n) values "
                             "(4001, 'U0', 'a1', 'x', 1), (4002, 'U1', 'B1', 'x', 1)"));
    ds->refresh();
    Dataset order(conn.get());
    order.setSql(QStringLiteral("select id from %1 order by zdbh, id").arg(table));
    order.open();
    QList<qint64> expected;
    for (; !order.eof(); order.next())
        expected << order.field("id").asInteger();
    EXPECT_EQ(walk(), expected);
    EXPECT_LT(expected.indexOf(4001), expected.indexOf(4002)); // 'a1' before 'B1'
}

// A move onto a row shows it as stored now, whether its page was in memory
// or read afresh; a grid's list leaves out the rows found deleted.
TEST_P(RowPagingTest, AMoveShowsTheRowAsStoredNowAndAGridListsNoDeletedRow)
{
    ASSERT_GE(ds->rowsInMemory(), 3); // the first page
    meanwhile(QStringLiteral("delete from %1 where id = 998"));                  // parcel 2
    meanwhile(QStringLiteral("update %1 set qlr = '他人改过' where id = 997")); // parcel 3
    EXPECT_THROW(ds->next(), RowsDeletedError);
    EXPECT_EQ(ds->text("zdbh"), parcel(1));
    ds->next();
    EXPECT_EQ(ds->text("zdbh"), parcel(3));
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("他人改过"));
    EXPECT_EQ(ds->recordCount(), kRows - 1);

    // A grid's click is the user's move too; a program's own pass over rows
    // it read (renumbering them) takes them as read.
    meanwhile(QStringLiteral("update %1 set qlr = '又改过' where id = 996")); // parcel 4
    meanwhile(QStringLiteral("delete from %1 where id = 995"));              // parcel 5
    ds->moveTo(2);
    EXPECT_NE(ds->text("qlr"), QStringLiteral("又改过"));
    ds->moveTo(1);
    ds->moveTo(2, true);
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("又改过"));
    EXPECT_THROW(ds->moveTo(3, true), RowsDeletedError);
    EXPECT_EQ(ds->text("zdbh"), parcel(4));
    EXPECT_EQ(ds->recordCount(), kRows - 2);

    // The locate dialog's grid reads rows another user deleted: they leave
    // its list and its count once the view is done with them.
    meanwhile(QStringLiteral("delete from %1 where id in (960, 959)")); // parcels 40, 41
    ds->fetchRows(36, 44);
    settle();
    EXPECT_EQ(ds->recordCount(), kRows - 4);
    EXPECT_EQ(ds->text("zdbh"), parcel(4));
    EXPECT_EQ(ds->valueAt(38, ds->indexOf("zdbh")).toString(), parcel(40 + 3));
}

// A new row started while the keys arrive and given up returns to the row it
// was started from, whatever left the list before it meanwhile.
TEST_P(RowPagingTest, ANewRowGivenUpWhileKeysArriveReturnsToItsRow)
{
    if (!arriving()) GTEST_SKIP() << "keys arrive only in a list read unit by unit";
    ASSERT_TRUE(ds->locate("zdbh", parcel(30)));
    for (const bool append : {true, false}) {
        SCOPED_TRACE(append);
        // Two rows before it deleted by another user, on a page not read yet.
        meanwhile(append ? QStringLiteral("delete from %1 where id in (990, 989)")
                         : QStringLiteral("delete from %1 where id in (980, 979)"));
        if (append)
            ds->append();
        else
            ds->insert();
        ds->fetchRows(append ? 8 : 16, append ? 15 : 23); // a grid finds them
        settle();
        EXPECT_EQ(ds->state(), Dataset::State::Insert);
        ds->cancel();
        EXPECT_EQ(ds->text("zdbh"), parcel(30));
    }
    EXPECT_EQ(ds->recordCount(), kRows - 4);
}

// The keys' own connection lost half way: the rest are read as the database
// has them then, and no row is listed twice.
TEST_P(RowPagingTest, KeysGoOnWhenTheirOwnConnectionIsLost)
{
    if (!arriving() || GetParam() == Backend::Sqlite)
        GTEST_SKIP() << "a server ends the keys' connection";
    ASSERT_TRUE(ds->keysArriving());
    // A row already listed renumbered into the part not read yet, then the
    // keys' connection ended by the server.
    meanwhile(QStringLiteral("update %1 set zdbh = '0049a' where id = 998"));
    count(*conn, QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity "
                                "where datname = current_database() and pid <> pg_backend_pid() "
                                "and state like 'idle in transaction%'"));
    const QList<qint64> ids = walk();
    const QSet<qint64> once(ids.cbegin(), ids.cend());
    EXPECT_EQ(once.size(), ids.size());
    EXPECT_EQ(ids.size(), kRows);
    EXPECT_EQ(ds->recordCount(), kRows);
}

// What an action sends the database once the keys are in, counted rather
// than timed: over a wide-area link each statement is a round trip, and on
// PostgreSQL each statement prepared one more. The first of two like actions
// may prepare what it runs; the second only runs it again, and on a server
// prepares nothing.
TEST_P(RowPagingTest, AnActionSendsFewStatementsAndPreparesThemOnce)
{
    allKeys();
    settle();
    const bool server = GetParam() != Backend::Sqlite;
    struct Sent {
        quint64 runs = 0;
        quint64 prepares = 0;
    };
    const auto counted = [&](const auto &action) {
        const Connection::Traffic before = conn->traffic();
        action();
        return Sent{conn->traffic().runs - before.runs,
                    conn->traffic().prepares - before.prepares};
    };
    const auto reopen = [&] {
        ds->close();
        ds->open();
    };
    // Onto a row whose page was let go: that page, read in one statement.
    const auto farMove = [&] {
        ds->moveTo(0);
        scrollOver();
        return counted([&] { ds->moveTo(40); });
    };
    int edits = 0;
    const auto post = [&] {
        ds->moveTo(2);
        ds->edit();
        ds->setValue("n", 500 + ++edits);
        return counted([&] { ds->post(); });
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const Sent open = counted(reopen);
        settle();
        allKeys();
        settle();
        const Sent move = farMove();
        EXPECT_EQ(ds->text("zdbh"), parcel(41));
        const Sent edit = post();
        EXPECT_EQ(stored(997, "n"), QString::number(500 + edits));
        // The columns, the keys and the first page; the keys that arrive
        // behind it come on a connection of their own.
        EXPECT_LE(open.runs, arriving() ? 2u : 3u);
        EXPECT_LE(move.runs, 1u);
        EXPECT_LE(edit.runs, 1u);
        if (round == 1 && server) {
            EXPECT_EQ(move.prepares, 0u);
            EXPECT_EQ(edit.prepares, 0u);
            EXPECT_EQ(open.prepares, 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RowPagingTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, RowPagingTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, RowPagingTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace

namespace {
INSTANTIATE_TEST_SUITE_P(ArrivingSqlite, RowPagingTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(ArrivingPostgres, RowPagingTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(ArrivingOdbc, RowPagingTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);
} // namespace

namespace {

// The keys of every row are held in plain arrays: whatever a driver hands
// over (SQLite lets a text into an integer column), it reads back as it was,
// through rows put in and taken out before it.
TEST(KeyTableTest, EveryValueReadsBackAsItWasSet)
{
    KeyTable keys;
    keys.setColumns({KeyTable::Kind::Integer, KeyTable::Kind::Text, KeyTable::Kind::Integer});
    const QList<QVariantList> rows = {
        {qlonglong(7), QStringLiteral("0010010001"), 5},
        {QVariant(), QString(), QVariant()},               // nulls; an empty text is not null
        {qlonglong(9), QStringLiteral("宗地"), qlonglong(6)}, // another integer type: held as such
        {QStringLiteral("x1"), QVariant(), 1},               // a text in an integer column
    };
    for (const QVariantList &row : rows) {
        keys.appendRow();
        for (int c = 0; c < 3; ++c)
            keys.setValue(keys.rows() - 1, c, row[c]);
    }
    keys.insertRows(1, 2);
    keys.removeRow(2);
    keys.setValue(0, 1, QStringLiteral("改过")); // a text set again
    // Texts set again no longer than before, as reading a page and letting
    // it go does, take no more room.
    const qsizetype room = keys.characters();
    for (int turn = 0; turn < 3; ++turn)
        for (qsizetype r = 0; r < keys.rows(); ++r)
            keys.setValue(r, 1, keys.value(r, 1));
    EXPECT_EQ(keys.characters(), room);
    const QList<QVariantList> expected = {rows[0], {QVariant(), QVariant(), QVariant()}, rows[1],
                                          rows[2], rows[3]};
    ASSERT_EQ(keys.rows(), expected.size());
    for (int r = 0; r < expected.size(); ++r)
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(QStringLiteral("row %1 column %2").arg(r).arg(c).toStdString());
            const QVariant want = r == 0 && c == 1 ? QVariant(QStringLiteral("改过")) : expected[r][c];
            const QVariant got = keys.value(r, c);
            EXPECT_EQ(Dataset::isNullValue(got), Dataset::isNullValue(want));
            if (!Dataset::isNullValue(want)) {
                EXPECT_EQ(got, want);
                EXPECT_EQ(got.metaType(), want.metaType());
            }
            EXPECT_EQ(keys.isNull(r, c), Dataset::isNullValue(want));
        }
}

} // namespace
