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
// them: at every moment the list is one the database held, in order, each
// row once, and a move to the end reaches the true last row.
TEST_P(RowPagingTest, EveryRuleHoldsWhileKeysAreStillArriving)
{
    if (!arriving()) GTEST_SKIP() << "a list read whole has every key at the open";
    EXPECT_TRUE(ds->keysArriving());
    EXPECT_EQ(ds->recordCount(), kRows);
    EXPECT_EQ(ds->text("zdbh"), parcel(1));

    // Another user changes a row, deletes two and adds one, all beyond the
    // keys read (a page of each unit).
    meanwhile(QStringLiteral("update %1 set qlr = '他人改过' where id = 970")); // parcel 30
    meanwhile(QStringLiteral("delete from %1 where id in (960, 955)"));          // 40 and 45
    meanwhile(QStringLiteral("insert into %1 (id, dwdm, zdbh, qlr, n) "
                             "values (2000, 'U1', '00255', '他人新户', 1)"));

    // A locate of a parcel number: there it is, with their change.
    EXPECT_TRUE(ds->locate("zdbh", parcel(30)));
    EXPECT_EQ(ds->text("qlr"), QStringLiteral("他人改过"));
    EXPECT_EQ(ds->recNo(), 30); // 00255 after 25
    EXPECT_TRUE(ds->keysArriving());
    // Found where the database counts it: the keys before it are not read yet,
    // and come in their places when reached.
    bool held = true;
    ds->heldValueAt(20, ds->indexOf("zdbh"), &held);
    EXPECT_FALSE(held);
    EXPECT_EQ(ds->valueAt(20, ds->indexOf("zdbh")).toString(), parcel(21));

    // A row added and one deleted while keys still arrive.
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

    // The end is the true last row, our new one; the rows deleted before
    // their keys came are gone without a word.
    EXPECT_NO_THROW(ds->last());
    EXPECT_FALSE(ds->keysArriving());
    EXPECT_EQ(ds->text("zdbh"), "0100");
    const int expected = kRows - 2 + 1 + 1 - 1;
    EXPECT_EQ(ds->recordCount(), expected);

    // Every row once, in parcel order, as the database holds them.
    QSet<qint64> ids;
    QString before;
    for (ds->first(); !ds->eof(); ds->next()) {
        EXPECT_LT(before, ds->text("zdbh"));
        before = ds->text("zdbh");
        ids.insert(ds->field("id").asInteger());
    }
    EXPECT_EQ(ids.size(), expected);
    EXPECT_TRUE(ids.contains(2000));
    EXPECT_TRUE(ids.contains(7));
    EXPECT_FALSE(ids.contains(960));
    EXPECT_TRUE(bounded());
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
