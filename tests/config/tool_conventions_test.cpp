// What every command-line tool of the package answers alike: --help, --version
// and a wrong command line.
#include <QProcess>
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

} // namespace
