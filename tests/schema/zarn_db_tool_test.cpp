// The zarn-db program as an administrator runs it: init, then demo, on a new
// SQLite file and on the PostgreSQL test server; clear refusals otherwise.
#include "data/connection.h"
#include "support/scratch_db.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using namespace zarn;
using namespace zarn::test;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

ToolRun zarnDb(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(QStringLiteral(ZARN_DB_EXE), args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(240000)) << "zarn-db did not finish";
    ToolRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class ZarnDbToolTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZARN_SKIP_UNLESS_CONFIGURED(GetParam());
        db = std::make_unique<ScratchDatabase>(GetParam());
    }
    std::unique_ptr<ScratchDatabase> db;
};

TEST_P(ZarnDbToolTest, InitThenDemoOnANewDatabase)
{
    const QString cs = db->connectionString();
    // The connection string from standard input, as one with a password is given.
    const ToolRun init = zarnDb({"init", "-"}, (cs + "\n").toUtf8());
    ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
    EXPECT_EQ(init.out.count(QLatin1Char('\n')), 1) << "one line of summary";
    EXPECT_TRUE(init.out.contains(QStringLiteral("12 张表"))) << init.out.toStdString();
    EXPECT_EQ(init.out.contains(QStringLiteral("(SQLite)")), GetParam() == Backend::Sqlite)
        << init.out.toStdString();

    const ToolRun demo = zarnDb({"demo", cs, "--parcels", "1000", "--seed", "42"});
    ASSERT_EQ(demo.exitCode, 0) << demo.err.toStdString();
    EXPECT_EQ(demo.out.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(demo.out.contains(QStringLiteral("1000 宗地"))) << demo.out.toStdString();

    auto c = db->open();
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_DJDCB where bgrq is null")), 1000);
    EXPECT_GT(count(*c, QStringLiteral("select count(*) from T_JZBSB")), 3000);
    // A database just made and filled is planned on what it holds, not on
    // guesses until autovacuum comes by.
    if (GetParam() != Backend::Sqlite) {
        EXPECT_EQ(count(*c, QStringLiteral("select count(*) from pg_stat_user_tables where "
                                           "schemaname = 'zarn' and last_analyze is null")),
                  0);
    }

    // A second init refuses and changes nothing.
    const ToolRun again = zarnDb({"init", cs});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("已有表"))) << again.err.toStdString();
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_DJDCB where bgrq is null")), 1000);

    // Made-up parcels go into a database with survey rows only when asked to.
    const int rows = count(*c, QStringLiteral("select count(*) from T_DJDCB"));
    const ToolRun more = zarnDb({"demo", cs, "--parcels", "10"});
    EXPECT_EQ(more.exitCode, 1);
    EXPECT_TRUE(more.err.contains(QStringLiteral("已有 %1 张调查表").arg(rows)))
        << more.err.toStdString();
    EXPECT_TRUE(more.err.contains(QStringLiteral("--add-to-existing")));
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_DJDCB")), rows);
    // Survey rows alone, spread over the units asked for: no attached row of
    // any kind, and counts that say so.
    const QStringList attached = {"T_JZBSB", "T_ZJB", "T_SZB", "T_GYQ"};
    QList<int> before;
    for (const QString &t : attached)
        before << count(*c, QStringLiteral("select count(*) from ") + t);
    const ToolRun asked = zarnDb(
        {"demo", cs, "--units", "2", "--parcels", "10", "--no-attached", "--add-to-existing"});
    ASSERT_EQ(asked.exitCode, 0) << asked.err.toStdString();
    EXPECT_TRUE(asked.out.contains(QStringLiteral("2 个单位"))) << asked.out.toStdString();
    EXPECT_TRUE(asked.out.contains(QStringLiteral("界址点 0 个"))) << asked.out.toStdString();
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_DJDCB where bgrq is null")), 1010);
    for (int i = 0; i < attached.size(); ++i)
        EXPECT_EQ(count(*c, QStringLiteral("select count(*) from ") + attached[i]), before[i])
            << attached[i].toStdString();
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_DJDCB where id > %1 and "
                                       "(jzdgs <> 0 or qlrzs <> 0)")
                            .arg(rows)),
              0);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, ZarnDbToolTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, ZarnDbToolTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, ZarnDbToolTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

TEST(ZarnDbToolErrorsTest, MistakesGiveAClearMessageAndAFailureCode)
{
    ScratchDatabase db(Backend::Sqlite);
    const QString cs = db.connectionString();

    // demo needs an initialised database; it does not create the file.
    const ToolRun noFile = zarnDb({"demo", cs});
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_TRUE(noFile.err.contains(QStringLiteral("数据库文件不存在")))
        << noFile.err.toStdString();
    EXPECT_FALSE(QFile::exists(db.file()));

    // A file that cannot be made: nothing is left behind.
    const ToolRun badFolder =
        zarnDb({"init", QStringLiteral("Provider=SQLite;Data Source=%1/no/such/dir/x.db")
                            .arg(QFileInfo(db.file()).path())});
    EXPECT_EQ(badFolder.exitCode, 1);
    EXPECT_TRUE(badFolder.err.contains(QStringLiteral("无法创建数据库文件")))
        << badFolder.err.toStdString();

    const ToolRun unknown = zarnDb({"drop", cs});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("用法")));
    const ToolRun badNumber = zarnDb({"demo", cs, "--parcels", "many"});
    EXPECT_EQ(badNumber.exitCode, 2);
    EXPECT_TRUE(badNumber.err.contains(QStringLiteral("--parcels")));
    const ToolRun oracle = zarnDb({"init", "Provider=Unknown;Data Source=x"});
    EXPECT_EQ(oracle.exitCode, 1);
    EXPECT_FALSE(oracle.err.isEmpty());

    // A demo on tables without rows is fine; on a database without tables it says what to do.
    ASSERT_EQ(zarnDb({"init", cs}).exitCode, 0);
    auto c = db.open();
    // Marker rows left without their survey row are data all the same: a
    // demo would add its own beside them, as if they were its own.
    execAll(*c, {QStringLiteral("insert into T_JZBSB (id, ZDBH, dwdm, XH) values "
                                "(7, '0010010001', '320102001001', 1), "
                                "(8, '0010010001', '320102001001', 2)")});
    const ToolRun orphans = zarnDb({"demo", cs, "--parcels", "10"});
    EXPECT_EQ(orphans.exitCode, 1);
    EXPECT_TRUE(orphans.err.contains(QStringLiteral("已有表 T_JZBSB 的 2 行")))
        << orphans.err.toStdString();
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_DJDCB")), 0);
    execAll(*c, {QStringLiteral("delete from T_JZBSB"), QStringLiteral("drop table T_GYQ")});
    const ToolRun noTable = zarnDb({"demo", cs});
    EXPECT_EQ(noTable.exitCode, 1);
    EXPECT_TRUE(noTable.err.contains(QStringLiteral("zarn-db init"))) << noTable.err.toStdString();
}

} // namespace
