// Several workstations making new survey rows in one unit at the same moment,
// each a process running the form's own code: every row is stored, no id,
// parcel number or survey table number repeats, and no surveyor sees a
// refusal. ZARN_CONCURRENCY=PROCESSESxROWS makes the run bigger (default 4x25).
// On PostgreSQL a held table lock also lines up one new row of each kind of
// survey table exactly at their insert. A workstation stopped inside its
// claim holds up only what must wait for it, and that not for ever.
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

#include <csignal>
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

// Workers wait for each other's locks as long as it takes: their number of
// refusals must not hang on how busy the machine is.
const QString kPatient = QStringLiteral("600000");

std::unique_ptr<QProcess> startWorker(const ScratchDatabase &db, int rows, int kind = 0)
{
    auto p = std::make_unique<QProcess>();
    p->start(QStringLiteral(ZARN_WORKER), {db.connectionString(), kUnit, QString::number(rows),
                                           QString::number(kind), kPatient});
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
    // One waits for the table at its insert, the other for the unit's claim.
    const QString waiting =
        QStringLiteral("select count(*) from pg_locks l join pg_database d on d.oid = l.database "
                       "where d.datname = current_database() and not l.granted");
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

// A surveyor's workstation run step by step (the worker's script), stopped
// for good when the test ends, whatever happened.
class Workstation {
public:
    Workstation(const ScratchDatabase &db, const QString &unit, const QString &stalled = {})
    {
        QStringList args{db.connectionString(), unit, QStringLiteral("script"), QStringLiteral("0"),
                         QStringLiteral("5000")};
        if (!stalled.isEmpty()) args << stalled;
        m_process.start(QStringLiteral(ZARN_WORKER), args);
        EXPECT_TRUE(m_process.waitForStarted());
    }
    ~Workstation()
    {
        if (m_process.state() == QProcess::NotRunning) return;
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_process.kill();
        m_process.waitForFinished();
    }

    // Sends steps and reads up to the line starting with `until`: the boxes
    // seen and that line, or nothing when the worker ended or went silent.
    QStringList run(const QString &steps, const QString &until = QStringLiteral("done"))
    {
        if (!steps.isEmpty()) m_process.write((steps + QLatin1Char('\n')).toUtf8());
        QStringList lines;
        for (;;) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                if (line.startsWith(QLatin1String("box: ")) || line.startsWith(until))
                    lines << line;
                if (line.startsWith(until)) return lines;
            }
            // A hang guard only: every wait here is bounded well below it.
            if (!m_process.waitForReadyRead(180000)) {
                ADD_FAILURE() << "no answer to " << steps.toStdString() << ": "
                              << m_process.readAllStandardError().toStdString();
                return {};
            }
        }
    }
    void resume() { ::kill(pid_t(m_process.processId()), SIGCONT); }

private:
    QProcess m_process;
};

QString boxes(const QStringList &lines)
{
    return lines.filter(QStringLiteral("box: ")).join(QLatin1Char('\n'));
}

class StoppedClaimerTest : public ::testing::TestWithParam<Backend> {};

// Workstation 1 stops inside its 新增 after its claim of unit A's numbers was
// granted. Workstation 2 stores a typed change and a new row in unit B at
// once on a server (SQLite's one writer at a time makes it wait and say so);
// workstation 3, renumbering a row of unit A, is told within the lock wait
// that another workstation holds the unit's numbering, and keeps its typing.
// Once workstation 1 goes on, every row is stored once. On PostgreSQL a
// workstation stopped longer than its stalled-transaction limit loses its
// claim: the unit's numbers are free, and when it goes on it connects anew
// and stores its new row once.
TEST_P(StoppedClaimerTest, AWorkstationStoppedInsideItsClaimHoldsUpOnlyItsUnitAndNotForEver)
{
    ZARN_SKIP_UNLESS_CONFIGURED(GetParam());
    const bool server = GetParam() != Backend::Sqlite;
    const QString unitB = QStringLiteral("320102001002");
    ScratchDatabase db(GetParam());
    const std::unique_ptr<Connection> c = seeded(db);
    execAll(*c, {QStringLiteral("insert into T_DJDCB (id, dwdm, zdbh, dcbh, dcblx, jzdgs, qlrzs) "
                                "values (2, '320102001002', '0010020001', '3201020010020001', 0, "
                                "0, 0)")});
    auto countWhere = [&](const QString &where) {
        return queryInt(*c, QStringLiteral("select count(*) from T_DJDCB where dwdm = ? and ") +
                                where);
    };

    Workstation claimer(db, kUnit, QStringLiteral("0"));
    claimer.run(QStringLiteral("stop-in-claim"));
    ASSERT_EQ(claimer.run(QStringLiteral("new"), QStringLiteral("claimed")).size(), 1);

    Workstation other(db, unitB);
    other.run(QStringLiteral("set qlr 乙"));
    QStringList seen = other.run(QStringLiteral("save"));
    if (server) {
        EXPECT_EQ(seen, QStringList{QStringLiteral("done browse 1")}) << boxes(seen).toStdString();
        seen = other.run(QStringLiteral("new"));
        EXPECT_EQ(seen, QStringList{QStringLiteral("done browse 2")}) << boxes(seen).toStdString();
    } else {
        EXPECT_TRUE(boxes(seen).contains(QStringLiteral("其他工作站正在写入数据库")))
            << boxes(seen).toStdString();
        EXPECT_EQ(seen.last(), QStringLiteral("done edit 1"));
    }

    Workstation same(db, kUnit);
    same.run(QStringLiteral("set zdbh 0010010009"));
    seen = same.run(QStringLiteral("save"));
    EXPECT_TRUE(boxes(seen).contains(
        server ? QStringLiteral("另一个工作站正在为单位 320102001001 生成新的地籍号")
               : QStringLiteral("其他工作站正在写入数据库")))
        << boxes(seen).toStdString();
    EXPECT_TRUE(boxes(seen).contains(QStringLiteral("数据保存失败！")));
    EXPECT_EQ(seen.last(), QStringLiteral("done edit 1"));
    EXPECT_EQ(countWhere(QStringLiteral("zdbh = '0010010009'")), 0);

    claimer.resume();
    EXPECT_EQ(claimer.run({}), QStringList{QStringLiteral("done browse 2")});
    EXPECT_EQ(same.run(QStringLiteral("save")), QStringList{QStringLiteral("done browse 1")});
    if (!server) {
        EXPECT_EQ(other.run(QStringLiteral("save")), QStringList{QStringLiteral("done browse 1")});
    }
    EXPECT_EQ(countWhere(QStringLiteral("zdbh = '0010010009'")), 1);
    EXPECT_EQ(countWhere(QStringLiteral("zdbh = '0010010002'")), 1);
    EXPECT_EQ(countWhere(QStringLiteral("1 = 1")), 2);
    if (!server) return;

    // Stopped longer than its limit: the server takes its claim away.
    Workstation sleeper(db, kUnit, QStringLiteral("1000"));
    sleeper.run(QStringLiteral("stop-in-claim"));
    ASSERT_EQ(sleeper.run(QStringLiteral("new"), QStringLiteral("claimed")).size(), 1);
    const QString idle = QStringLiteral("select count(*) from pg_stat_activity where datname = "
                                        "current_database() and state like 'idle in transaction%'");
    while (count(*c, idle) > 0)
        QThread::msleep(50);
    same.run(QStringLiteral("set zdbh 0010010050"));
    EXPECT_EQ(same.run(QStringLiteral("save")), QStringList{QStringLiteral("done browse 1")});
    sleeper.resume();
    EXPECT_EQ(sleeper.run({}), QStringList{QStringLiteral("done browse 3")});
    EXPECT_EQ(countWhere(QStringLiteral("1 = 1")), 3);
    EXPECT_EQ(queryInt(*c, QStringLiteral("select count(distinct zdbh) from T_DJDCB where dwdm = ?")),
              3);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, StoppedClaimerTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, StoppedClaimerTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

INSTANTIATE_TEST_SUITE_P(Sqlite, NewRowsTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, NewRowsTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, NewRowsTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
