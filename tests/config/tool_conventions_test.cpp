// What every command-line tool of the package answers alike: --help, --version
// and a wrong command line.
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolCase {
    const char *name;
    const char *program;
    // Wrong command lines, each with a word its refusal must name.
    std::vector<std::pair<QStringList, QString>> wrong;
};

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

ToolRun run(const char *program, const QStringList &args)
{
    QProcess p;
    p.start(QString::fromUtf8(program), args);
    p.closeWriteChannel();
    ToolRun r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class ToolConventions : public ::testing::TestWithParam<ToolCase> {};

TEST_P(ToolConventions, HelpVersionAndAOneLineRefusal)
{
    const ToolCase &tool = GetParam();
    for (const char *help : {"--help", "-h"}) {
        const ToolRun r = run(tool.program, {QString::fromUtf8(help)});
        EXPECT_EQ(r.exitCode, 0) << help << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("用法"))) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("--version"))) << r.out.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }
    const ToolRun version = run(tool.program, {QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("%1 %2\n").arg(tool.name, ZARN_PROJECT_VERSION));

    // --help or --version beside anything else is a command line whose
    // meaning is unclear, refused as any other wrong one.
    std::vector<std::pair<QStringList, QString>> wrong = tool.wrong;
    wrong.push_back({{"--help", "extra"}, "extra"});
    wrong.push_back({{"-h", "--version"}, "--version"});
    wrong.push_back({{"--bogus", "--version"}, "--version"});
    for (const auto &[args, named] : wrong) {
        const ToolRun r = run(tool.program, args);
        const std::string what = args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, 2) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what << ": " << r.out.toStdString();
        EXPECT_EQ(r.err.count(u'\n'), 1) << what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("%1: ").arg(tool.name))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(named)) << what << ": " << r.err.toStdString();
    }
}

// A folder no one can have made.
const QString missingFolder = QStringLiteral("/proc/没有的文件夹/调查表.pdf");

INSTANTIATE_TEST_SUITE_P(
    EveryTool, ToolConventions,
    ::testing::Values(
        ToolCase{"zarn-db",
                 ZARN_DB_TOOL,
                 {{{}, "init"},
                  {{"init"}, "连接字符串"},
                  {{"drop", "x"}, "drop"},
                  {{"demo", "x", "--parcels", "many"}, "many"},
                  {{"demo", "x", "--colour"}, "--colour"},
                  {{"demo", "x", "--seed", "1", "--units", "2", "--seed", "3"}, "--seed"},
                  {{"demo", "x", "--no-attached", "--no-attached"}, "两次"}}},
        ToolCase{"zarn-encrypt",
                 ZARN_ENCRYPT_TOOL,
                 {{{"--bogus", "a"}, "--bogus"},
                  {{"a", "b"}, "b"},
                  {{"a", "--config"}, "--config"},
                  {{"a", "--config", "x.ini", "--config=y.ini"}, "两次"}}},
        ToolCase{"zarn-regsvr",
                 ZARN_REGSVR_TOOL,
                 {{{"-x"}, "-x"}, {{}, "组件库"}, {{"-u", "/u", "Zarndcbdll.so"}, "-u"}}},
        ToolCase{"zarn-sheet",
                 ZARN_SHEET_TOOL,
                 {{{"--lx", "2", "--dwdm", "1"}, "--lx"},
                  {{"--dwdm"}, "--dwdm"},
                  {{"--colour", "red"}, "--colour"},
                  {{"--dwdm", "1", "--connection", "x", "-o", missingFolder}, "没有的文件夹"},
                  // The second unit would have been printed alone, without a word.
                  {{"--dwdm", "A", "--dwdm", "B", "--connection", "x", "-o", "a.pdf"}, "--dwdm"}}},
        ToolCase{"zarn-check",
                 ZARN_CHECK_TOOL,
                 {{{"--lx", "2", "--dwdm", "1"}, "--lx"},
                  {{"--connection", "x"}, "--dwdm"},
                  {{"--dwdm", "1"}, "--connection"},
                  {{"--dwdm", "1", "--connection", "x", "--pdf", missingFolder}, "没有的文件夹"},
                  {{"--dwdm", "1", "--connection", "x", "--csv", "a", "--pdf", "a"}, "同一个文件"},
                  {{"--dwdm", "1", "--csv", "a.csv", "--csv", "b.csv"}, "两次"}}},
        ToolCase{"zarn-host",
                 ZARN_HOST_TOOL,
                 {{{"--lx", "300"}, "300"},
                  {{"--zdh"}, "--zdh"},
                  {{"--dwdm", "1"}, "--lx"},
                  {{"--lx", "0", "--lx", "1"}, "两次"}}}),
    [](const ::testing::TestParamInfo<ToolCase> &info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

// The quality check's exit status tells a script whether the unit may be
// handed in: 0 without errors, 1 with them, 3 when it could not check.
TEST(ZarnCheckTool, ExitStatusFollowsTheFindings)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("survey.db"));
    const QString conn = QStringLiteral("Provider=SQLite;Data Source=") + file;
    ASSERT_EQ(run(ZARN_DB_TOOL, {"init", conn}).exitCode, 0);
    ASSERT_EQ(run(ZARN_DB_TOOL, {"demo", conn, "--parcels", "40", "--seed", "3"}).exitCode, 0);
    const QString csv = dir.filePath(QStringLiteral("检查.csv"));
    const QString pdf = dir.filePath(QStringLiteral("检查.pdf"));

    const ToolRun clean =
        run(ZARN_CHECK_TOOL, {"--dwdm", "32", "--connection", conn, "--csv", csv, "--pdf", pdf});
    EXPECT_EQ(clean.exitCode, 0) << clean.out.toStdString() << clean.err.toStdString();
    EXPECT_TRUE(clean.out.startsWith(QStringLiteral("未发现问题"))) << clean.out.toStdString();
    QFile c(csv), p(pdf);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_TRUE(c.readAll().startsWith("\xEF\xBB\xBF单位代码,地籍号"));
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_TRUE(p.read(5).startsWith("%PDF"));

    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plant"));
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("update T_DJDCB set JZDGS = JZDGS + 1 where id = (select "
                                          "min(id) from T_DJDCB where bgrq is null)")));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("plant"));
    const ToolRun faulty = run(ZARN_CHECK_TOOL, {"--dwdm", "32", "--connection", conn});
    EXPECT_EQ(faulty.exitCode, 1) << faulty.err.toStdString();
    EXPECT_TRUE(faulty.out.contains(QStringLiteral("JZ01"))) << faulty.out.toStdString();
    EXPECT_TRUE(faulty.out.contains(QStringLiteral("共 1 个问题：错误 1 个")))
        << faulty.out.toStdString();

    const ToolRun unreachable =
        run(ZARN_CHECK_TOOL, {"--dwdm", "32", "--connection",
                              "Provider=SQLite;Data Source=/proc/没有的文件夹/x.db"});
    EXPECT_EQ(unreachable.exitCode, 3);
    EXPECT_TRUE(unreachable.err.contains(QStringLiteral("zarn-check: ")))
        << unreachable.err.toStdString();
}

} // namespace
