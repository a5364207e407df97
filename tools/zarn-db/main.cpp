// zarn-db: sets up a survey database and fills it with demo data.
//   zarn-db init CONNECTION
//   zarn-db demo CONNECTION [--units N] [--parcels M] [--seed S] [--no-attached]
//                           [--add-to-existing]
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/errors.h"
#include "tool_cli.h"
#include "zarn-db/demo_data.h"
#include "zarn-db/survey_ddl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

void say(FILE *to, const QString &text)
{
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
}

const char *const kUsage = "用法:\n"
                           "  zarn-db init 连接字符串\n"
                           "      在空数据库中建调查表、索引和代码表\n"
                           "  zarn-db demo 连接字符串 [--units N] [--parcels M] [--seed S]\n"
                           "               [--no-attached] [--add-to-existing]\n"
                           "      在一个事务中写入演示数据 (默认 300 宗地, 种子 1);\n"
                           "      --parcels 是所有单位的宗地总数, 平均分到各单位;\n"
                           "      --units 1 --parcels 100000 造一个十万宗地的单位。\n"
                           "      --no-attached 只写调查表, 不写界址点、指界、四至和共有使用权人\n"
                           "      (界址点个数记为 0), 快得多: --units 100 --parcels 1000000\n"
                           "      --no-attached 不到一分钟造好一个百万宗地的区。\n"
                           "      数据库中已有调查表时拒绝写入, 除非加 --add-to-existing\n"
                           "      (演示宗地会混入真实数据, 无法再分开)\n"
                           "连接字符串 (为 - 时从标准输入读取一行; 含密码时请用这种方式,\n"
                           "写在命令行上的参数本机所有用户都能看到):\n"
                           "  Provider=SQLite;Data Source=文件\n"
                           "  Provider=PostgreSQL;Data Source=主机:端口/数据库;User ID=用户;"
                           "Password=密码\n"
                           "  Provider=PostgreSQL;Data Source=主机A:端口,主机B:端口/数据库;…\n"
                           "      主服务器和它的备用服务器: 连接当时允许写入的那一台\n"
                           "init 需要数据库文件所在的文件夹已经存在 (文件本身不存在时新建)。\n"
                           "  zarn-db --help     显示本说明\n"
                           "  zarn-db --version  显示版本\n";

const zarn::cli::Tool kTool{"zarn-db", kUsage};

struct UsageError {
    QString message;
};

qint64 number(const QStringList &args, int &i, const QString &option)
{
    if (i + 1 >= args.size()) throw UsageError{QStringLiteral("选项 %1 缺少数值").arg(option)};
    bool ok = false;
    const qint64 n = args[++i].toLongLong(&ok);
    if (!ok || n < 0)
        throw UsageError{QStringLiteral("选项 %1 的数值无效: %2").arg(option, args[i])};
    return n;
}

// The tables are made or filled either way; only the first sessions would be slow.
void warnIfNotAnalysed(zarn::Connection &conn)
{
    const QString why = zarn::dbsetup::analyseSurveyTables(conn);
    if (!why.isEmpty())
        say(stderr,
            QStringLiteral("zarn-db: 数据已写入，但数据库没有整理和统计这些表（vacuum analyze）："
                           "%1。请数据库管理员对这些表运行 vacuum analyze，否则最初打开"
                           "调查表会较慢。")
                .arg(why));
}

int runInit(const QString &connectionString)
{
    const QString created = zarn::dbsetup::createSqliteFileIfMissing(connectionString);
    try {
        zarn::Connection conn;
        conn.setConnectionString(connectionString);
        conn.open();
        const auto s = zarn::dbsetup::createSurveyDatabase(conn);
        warnIfNotAnalysed(conn);
        say(stdout, QStringLiteral("zarn-db init: 已建 %1 张表、%2 个索引，代码表共 %3 行 (%4)")
                        .arg(s.tables)
                        .arg(s.indexes)
                        .arg(s.codeRows)
                        .arg(zarn::dbsetup::dialectOf(conn) == zarn::dbsetup::Dialect::Postgres
                                 ? QStringLiteral("PostgreSQL 模式 zarn")
                                 : QStringLiteral("SQLite")));
    } catch (const std::exception &) {
        // Leave no empty database file behind that we made ourselves.
        if (!created.isEmpty()) QFile::remove(created);
        throw;
    }
    return 0;
}

int runDemo(const QString &connectionString, const zarn::demo::DemoOptions &options,
            bool addToExisting)
{
    zarn::Connection conn;
    conn.setConnectionString(connectionString);
    conn.open();
    // Made-up parcels among a registry's real ones could never be told apart
    // again, nor made-up attached rows from real ones left without their survey row.
    if (const auto held = zarn::demo::existingSurveyRows(conn); !held.isEmpty() && !addToExisting) {
        QStringList what;
        for (const auto &[table, rows] : held)
            what << (table == QLatin1String("T_DJDCB")
                         ? QStringLiteral(" %1 张调查表").arg(rows)
                         : QStringLiteral("表 %1 的 %2 行").arg(table).arg(rows));
        throw zarn::Error(QStringLiteral("数据库中已有%1，没有写入演示数据：演示宗地混入后"
                                         "无法再与真实数据分开。请对一个新建的数据库运行 zarn-db "
                                         "demo；确要加入这个数据库时，加上 --add-to-existing。")
                              .arg(what.join(QStringLiteral("、"))));
    }
    QElapsedTimer timer;
    timer.start();
    const auto s = zarn::demo::fillDemoData(conn, options);
    warnIfNotAnalysed(conn);
    say(stdout, QStringLiteral("zarn-db demo: %1 个单位 (%2 至 %3)，%4 宗地 (所有权调查表 %5 宗)，"
                               "变更前版本 %6 个，界址点 %7 个，指界 %8 条，四至 %9 条，"
                               "共有使用权人 %10 人，用时 %11 秒")
                    .arg(s.unitCodes.size())
                    .arg(s.unitCodes.value(0), s.unitCodes.value(s.unitCodes.size() - 1))
                    .arg(s.parcels)
                    .arg(s.ownership)
                    .arg(s.superseded)
                    .arg(s.markers)
                    .arg(s.designations)
                    .arg(s.sides)
                    .arg(s.holders)
                    .arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = zarn::cli::answerHelpOrVersion(kTool, argc, argv)) return *answered;
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() < 2) throw UsageError{QStringLiteral("缺少命令 init 或 demo")};
        const QString command = args[1];
        if (command != QLatin1String("init") && command != QLatin1String("demo"))
            throw UsageError{QStringLiteral("未知命令: %1").arg(command)};
        if (args.size() < 3) throw UsageError{QStringLiteral("%1 缺少连接字符串").arg(command)};
        if (command == QLatin1String("init") && args.size() > 3)
            throw UsageError{QStringLiteral("init 不接受其他参数: %1").arg(args[3])};
        zarn::demo::DemoOptions options;
        bool addToExisting = false;
        zarn::cli::GivenOptions given;
        for (int i = 3; i < args.size(); ++i) {
            const QString &a = args[i];
            if (a.startsWith(u'-') && !given.first(a.toStdString()))
                throw UsageError{QString::fromStdString(zarn::cli::givenTwice(a.toStdString()))};
            if (a == QLatin1String("--add-to-existing"))
                addToExisting = true;
            else if (a == QLatin1String("--no-attached"))
                options.attached = false;
            else if (a == QLatin1String("--units"))
                options.units = int(std::min<qint64>(number(args, i, a), 1'000'000));
            else if (a == QLatin1String("--parcels"))
                options.parcels = int(std::min<qint64>(number(args, i, a), 100'000'000));
            else if (a == QLatin1String("--seed"))
                options.seed = quint64(number(args, i, a));
            else
                throw UsageError{QStringLiteral("demo 不认识的选项: %1").arg(a)};
        }
        if (options.units == 0 && args.contains(QStringLiteral("--units")))
            throw UsageError{QStringLiteral("单位数至少为 1")};
        // Read only once the command line is known good: a mistake is told at once.
        QString connectionString = args[2];
        if (connectionString == QLatin1String("-")) {
            const std::optional<QString> line = zarn::readConnectionStringLine(
                stdin, QStringLiteral("请输入连接字符串 (不回显), 按回车结束: "));
            if (!line || line->isEmpty())
                throw UsageError{QStringLiteral("标准输入中没有连接字符串")};
            connectionString = *line;
        }
        if (command == QLatin1String("init")) return runInit(connectionString);
        return runDemo(connectionString, options, addToExisting);
    } catch (const UsageError &e) {
        return zarn::cli::refuse(kTool, e.message.toStdString());
    } catch (const zarn::Error &e) {
        say(stderr, QStringLiteral("zarn-db: 错误: ") + e.message());
        return 1;
    } catch (const std::exception &e) {
        say(stderr, QStringLiteral("zarn-db: 错误: ") + QString::fromUtf8(e.what()));
        return 1;
    }
}
