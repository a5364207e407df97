// Several workstations making new survey rows in one unit at the same moment,
// each a process running the form's own code: every row is stored, no id,
// parcel number or survey table number repeats, and no surveyor sees a
// refusal. ZARN_CONCURRENCY=PROCESSESxROWS makes the run bigger (default 4x25).
// On PostgreSQL a held table lock also lines up one new row of each kind of
// survey table exactly at their insert.
#include "support/backends.h"
#include "support/scratch_db.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "schema/renumbering.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace zarn;
using namespace zarn::test;

namespace {

const QString kUnit = QStringLiteral("320102001001");

int queryInt(Connection &c, const QString &sql)
{
    Dataset q(&c);
    q.setSql(sql, {kUnit});
    q.open();
    return int(q.field(0).asInteger());
}

// A survey database with one row, so that opening a form makes none of its own.
std::unique_ptr<Connection> seeded(const ScratchDatabase &db)
{
    std::unique_ptr<Connection> c = db.openSurvey();
    Dataset t(c.get());
    t.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("id = ?")}, {-1});
    t.open();
    t.append();
    t.setValue("id", 1);
    t.setValue("dwdm", kUnit);
    t.setValue("zdbh", "0010010001");
    t.setValue("dcbh", "3201020010010001");
    t.setValue("dcblx", 0);
    t.setValue("jzdgs", 0);
    t.setValue("qlrzs", 0);
    t.post();
    return c;
}

std::unique_ptr<QProcess> startWorker(const ScratchDatabase &db, int rows, int kind = 0)
{
    auto p = std::make_unique<QProcess>();
    p->start(QStringLiteral(ZARN_WORKER),
             {db.connectionString(), kUnit, QString::number(rows), QString::number(kind)});
    EXPECT_TRUE(p->waitForStarted());
    return p;
}

// Waits for a worker: rows stored and message windows shown (-1, -1 when it
// said nothing readable). The numbering policy never puts the user-interface
// thread to sleep for longer than it allows (the database driver's own
// waiting for a lock is the driver's: SQLite sleeps in its busy handler).
std::pair<int, int> resultOf(QProcess &p, Backend backend = Backend::Postgres)
{
    EXPECT_TRUE(p.waitForFinished(600000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("stored (\\d+) refused (\\d+) slept (\\d+)")).match(out);
    EXPECT_TRUE(m.hasMatch()) << out.toStdString() << err.toStdString();
    if (!m.hasMatch()) return {-1, -1};
    EXPECT_EQ(m.captured(2).toInt(), 0) << err.toStdString();
    std::printf("%s", out.toUtf8().constData());
    if (backend != Backend::Sqlite) {
        EXPECT_LE(m.captured(3).toInt(), numbering::kLongestPauseMs);
    }
    return {m.captured(1).toInt(), m.captured(2).toInt()};
}

class NewRowsTest : public ::testing::TestWithParam<Backend> {};

TEST_P(NewRowsTest, EveryWorkstationsNewRowsAreStoredWithNumbersOfTheirOwn)
{
    ZARN_SKIP_UNLESS_CONFIGURED(GetParam());
    int processes = GetParam() == Backend::Sqlite ? 2 : 4, rows = 25;
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$"))
                                             .match(qEnvironmentVariable("ZARN_CONCURRENCY"));
    if (size.hasMatch()) {
        processes = size.captured(1).toInt();
        rows = size.captured(2).toInt();
    }

    ScratchDatabase db(GetParam());
    const std::unique_ptr<Connection> c = seeded(db);
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int i = 0; i < processes; ++i)
        workers.push_back(startWorker(db, rows));
    int stored = 0, refused = 0;
    for (auto &p : workers) {
        const auto [s, r] = resultOf(*p, GetParam());
        stored += s;
        refused += r;
    }
    const int expected = processes * rows;
    std::printf("%d processes x %d new rows: %d stored, %d refusals seen\n", processes, rows,
                stored, refused);
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(refused, 0);
    const QString where = QStringLiteral(" from T_DJDCB where dwdm = ?");
    EXPECT_EQ(queryInt(*c, "select count(*)" + where), expected + 1);
    EXPECT_EQ(queryInt(*c, "select count(distinct id)" + where), expected + 1);
    EXPECT_EQ(queryInt(*c, "select count(distinct zdbh)" + where), expected + 1);
    EXPECT_EQ(queryInt(*c, "select count(distinct dcbh)" + where), expected + 1);
}

// SQLite shows no waiting writer to line the two up by; the same claim is
// tested there by interleaving two connections in one process.
TEST(PostgresNewRowsTest, TheTwoKindsPressingNewAtOneMomentTakeNumbersOfTheirOwn)
{
    ZARN_SKIP_UNLESS_CONFIGURED(Backend::Postgres);
    ScratchDatabase db(Backend::Postgres);
    const std::unique_ptr<Connection> c = seeded(db);
    // The forms open and read their highest numbers, but no row can be
    // written until the lock goes: both come to their insert with the same
    // parcel and survey table numbers.
    c->begin();
    ASSERT_TRUE(
        QSqlQuery(c->database()).exec(QStringLiteral("lock table T_DJDCB in exclusive mode")));
    std::unique_ptr<QProcess> useRight = startWorker(db, 1, 0);
    std::unique_ptr<QProcess> ownership = startWorker(db, 1, 1);
    const QString waiting =
        QStringLiteral("select count(*) from pg_locks l join pg_class r on r.oid = l.relation "
                       "where r.relname = 't_djdcb' and not l.granted");
    for (;;) {
        if (count(*c, waiting) >= 2) break;
        ASSERT_EQ(useRight->state(), QProcess::Running) << useRight->readAllStandardError().data();
        ASSERT_EQ(ownership->state(), QProcess::Running)
            << ownership->readAllStandardError().data();
        QThread::msleep(20);
    }
    c->commit();
    EXPECT_EQ(resultOf(*useRight), std::make_pair(1, 0));
    EXPECT_EQ(resultOf(*ownership), std::make_pair(1, 0));

    const QString current = QStringLiteral(" from T_DJDCB where dwdm = ? and bgrq is null");
    EXPECT_EQ(queryInt(*c, "select count(*)" + current), 3);
    EXPECT_EQ(queryInt(*c, "select count(distinct zdbh)" + current), 3);
    EXPECT_EQ(queryInt(*c, "select count(distinct dcbh)" + current), 3);
    EXPECT_EQ(queryInt(*c, "select count(*)" + current + " and dcblx = 1"), 1);
    EXPECT_EQ(queryInt(*c, "select max(zdbh)" + current), 10010003);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, NewRowsTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, NewRowsTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, NewRowsTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
