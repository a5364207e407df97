// Several workstations making new survey rows in one unit at the same moment,
// each a process running the form's own code: every row is stored, no id,
// parcel number or survey table number repeats, and no surveyor sees a
// refusal. ZARN_CONCURRENCY=PROCESSESxROWS makes the run bigger (default 4x25).
#include "schema/scratch_db.h"
#include "support/backends.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "zarn-db/survey_ddl.h"

#include <QProcess>
#include <QRegularExpression>
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

class NewRowsTest : public ::testing::TestWithParam<Backend> {};

TEST_P(NewRowsTest, EveryWorkstationsNewRowsAreStoredWithNumbersOfTheirOwn)
{
    if (const QString why = unavailableReason(GetParam()); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    int processes = GetParam() == Backend::Sqlite ? 2 : 4, rows = 25;
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$"))
                                             .match(qEnvironmentVariable("ZARN_CONCURRENCY"));
    if (size.hasMatch()) {
        processes = size.captured(1).toInt();
        rows = size.captured(2).toInt();
    }

    ScratchDatabase db(GetParam());
    if (GetParam() == Backend::Sqlite) dbsetup::createSqliteFileIfMissing(db.connectionString());
    std::unique_ptr<Connection> c = db.open();
    dbsetup::createSurveyDatabase(*c);
    // One row, so that opening the form makes none of its own.
    {
        Dataset t(c.get());
        t.setSql(QStringLiteral("select * from T_DJDCB where id = ?"), {-1});
        t.open();
        t.append();
        t.setValue("id", 1);
        t.setValue("dwdm", kUnit);
        t.setValue("zdbh", "0010010001");
        t.setValue("dcbh", "3201020010010001");
        t.setValue("dcblx", 0);
        t.post();
    }

    std::vector<std::unique_ptr<QProcess>> workers;
    for (int i = 0; i < processes; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(ZARN_WORKER),
                 {db.connectionString(), kUnit, QString::number(rows)});
        ASSERT_TRUE(p->waitForStarted());
        workers.push_back(std::move(p));
    }
    int stored = 0, refused = 0;
    for (auto &p : workers) {
        ASSERT_TRUE(p->waitForFinished(600000));
        const QString out = QString::fromUtf8(p->readAllStandardOutput());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("stored (\\d+) refused (\\d+)")).match(out);
        ASSERT_TRUE(m.hasMatch()) << out.toStdString() << p->readAllStandardError().toStdString();
        stored += m.captured(1).toInt();
        refused += m.captured(2).toInt();
        EXPECT_EQ(m.captured(2).toInt(), 0) << p->readAllStandardError().toStdString();
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

INSTANTIATE_TEST_SUITE_P(Sqlite, NewRowsTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, NewRowsTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
