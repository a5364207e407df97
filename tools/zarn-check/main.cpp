// zarn-check --dwdm UNIT [--zdh PARCEL] [--lx 0|1]
//            (--connection 'STRING' | --connection - | --config config.ini)
//            [--csv FILE.csv] [--pdf FILE.pdf]
//
// Checks the survey tables of a unit and its sub-units before they are
// handed in, and lists what is wrong in parcel-number order, with the totals
// per check; the same as CSV and as a PDF report.

#include "config/file_output.h"
#include "config/inifile.h"
#include "config/setup_files.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/errors.h"
#include "decrypt/ZarnDecryptString.h"
#include "report.h"
#include "schema/quality_checks.h"
#include "tool_cli.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace zarn;

namespace {

constexpr int ExitErrorsFound = 1;
constexpr int ExitUsage = cli::ExitUsage;
constexpr int ExitTrouble = 3;

const char *const Usage =
    "用法: zarn-check --dwdm 单位代码 [--zdh 地籍号] [--lx 0|1]\n"
    "                 (--connection '连接字符串' | --connection - | --config config.ini)\n"
    "                 [--csv 文件.csv] [--pdf 文件.pdf]\n"
    "\n"
    "检查单位 (及其下级单位) 的地籍调查成果: 必填项是否填写、格式是否正确、\n"
    "编号是否重复、界址点与界址线、共有使用权人数、代码、变更版本。\n"
    "按地籍号顺序列出问题 (地籍号、调查表号、检查项代码、问题、严重程度),\n"
    "最后列出各检查项的问题数。\n"
    "  --zdh 只列出该宗地的问题\n"
    "  --lx 0  只查土地使用权地籍调查表   --lx 1  只查土地所有权地籍调查表\n"
    "  --connection -: 从标准输入读取连接字符串 (一行, 不含行尾)。连接字符串含密码时\n"
    "            请用这种方式或 --config: 写在命令行上的参数本机所有用户都能看到。\n"
    "  --config: 组件的 config.ini, 读取其中加密的连接字符串\n"
    "            (用组件的解密库和密钥文件解密)。\n"
    "  --csv: 同样的问题表写成 CSV (UTF-8, 带 BOM, 电子表格可直接打开)\n"
    "  --pdf: 写成 PDF 检查报告 (A4 纵向, 与 zarn-sheet 的调查表同样的字体和页边距)\n"
    "         两个文件都是写完后才替换原文件; 所在文件夹须已存在。\n"
    "  --help     显示本说明\n"
    "  --version  显示版本\n"
    "退出状态: 0 没有错误 (可能有警告), 1 有错误, 2 命令行有误, 3 无法完成检查\n";

const cli::Tool Tool{"zarn-check", Usage};

void print(FILE *to, const QString &text, bool newline = true)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    if (newline) std::fputc('\n', to);
    std::fflush(to);
}

int fail(const QString &message)
{
    print(stderr, QStringLiteral("zarn-check: ") + message);
    return ExitTrouble;
}

int usageError(const QString &message)
{
    return cli::refuse(Tool, message.toLocal8Bit().toStdString());
}

// The connection string enciphered in a config.ini, as the component reads it.
std::optional<QString> decipheredFrom(const QString &config, QString *why)
{
    if (!QFile::exists(config)) {
        *why = QStringLiteral("找不到 %1").arg(config);
        return std::nullopt;
    }
    QByteArray stored =
        toGbk(IniFile(config).read(u"SystemInfo", u"ConnectionString", QStringLiteral("000")));
    char *text = stored.data();
    if (!ZarnDecryptStr(&text)) {
        const QString key = decryptionKeyPath();
        *why = keyFileProblem(key);
        if (why->isEmpty())
            *why = QStringLiteral("%1 中的连接字符串无法用密钥文件 %2 解密 (是用另一个密钥加密的,"
                                  " 或已损坏)。请用 zarn-encrypt 重新加密连接字符串。")
                       .arg(config, key);
        return std::nullopt;
    }
    const QString plain = fromGbk(QByteArrayView(text));
    std::memset(stored.data(), 0, size_t(stored.size()));
    return plain;
}

// The connection string for the report's heading: every pair but the password.
QString withoutPassword(const QString &connection)
{
    QStringList kept;
    const ConnectionString parsed = ConnectionString::parse(connection);
    for (const ConnectionPair &p : parsed.pairs()) {
        const QString key = p.key.toLower();
        if (key == QLatin1String("password") || key == QLatin1String("pwd")) continue;
        kept << p.raw;
    }
    return kept.join(QLatin1Char(';'));
}

// A file named for --csv or --pdf: told before anything is read.
std::optional<QString> targetProblem(const char *option, const QString &path)
{
    const QFileInfo target(path);
    if (target.isDir())
        return QStringLiteral("%1 给的是文件夹, 不是文件: %2").arg(QLatin1String(option), path);
    if (!target.absoluteDir().exists())
        return QStringLiteral("%1 的文件夹不存在, 请先建立: %2")
            .arg(QLatin1String(option), QDir::toNativeSeparators(target.absolutePath()));
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = cli::answerHelpOrVersion(Tool, argc, argv)) return *answered;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QString dwdm, zdh, connection, config, csvFile, pdfFile;
    int lx = -1;
    const QStringList options{"--dwdm",   "--zdh", "--lx", "--connection",
                              "--config", "--csv", "--pdf"};
    cli::GivenOptions given;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (!options.contains(a)) return usageError(QStringLiteral("不认识的参数: %1").arg(a));
        if (!given.first(a.toStdString()))
            return usageError(QString::fromStdString(cli::givenTwice(a.toStdString())));
        if (i + 1 >= args.size()) return usageError(QStringLiteral("%1 缺少参数值").arg(a));
        const QString v = args[++i];
        if (a == QLatin1String("--dwdm"))
            dwdm = v;
        else if (a == QLatin1String("--zdh"))
            zdh = v;
        else if (a == QLatin1String("--lx")) {
            if (v != QLatin1String("0") && v != QLatin1String("1"))
                return usageError(
                    QStringLiteral("--lx 只能是 0 (使用权调查表) 或 1 (所有权调查表), 不能是 %1")
                        .arg(v));
            lx = v.toInt();
        } else if (a == QLatin1String("--connection"))
            connection = v;
        else if (a == QLatin1String("--config"))
            config = v;
        else if (a == QLatin1String("--csv"))
            csvFile = v;
        else
            pdfFile = v;
    }
    if (dwdm.isEmpty()) return usageError(QStringLiteral("缺少 --dwdm 单位代码"));
    if (connection.isEmpty() == config.isEmpty())
        return usageError(QStringLiteral("请给出 --connection 或 --config 之一"));
    for (const auto &[option, path] : {std::pair{"--csv", csvFile}, std::pair{"--pdf", pdfFile}})
        if (!path.isEmpty())
            if (const auto problem = targetProblem(option, path)) return usageError(*problem);
    if (!csvFile.isEmpty() &&
        QFileInfo(csvFile).absoluteFilePath() == QFileInfo(pdfFile).absoluteFilePath())
        return usageError(QStringLiteral("--csv 和 --pdf 不能是同一个文件"));

    // The report is drawn without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (connection == QLatin1String("-")) {
        const std::optional<QString> line = readConnectionStringLine(
            stdin, QStringLiteral("请输入连接字符串 (不回显), 按回车结束: "));
        if (!line || line->isEmpty()) return fail(QStringLiteral("标准输入中没有连接字符串"));
        connection = *line;
    }
    if (!config.isEmpty()) {
        QString why;
        const std::optional<QString> plain = decipheredFrom(config, &why);
        if (!plain) return fail(why);
        connection = *plain;
    }
    {
        // A report written over the database would lose every survey table.
        ProtectedFiles setup = ProtectedFiles::ofSetup(connection);
        if (!config.isEmpty()) setup.add(config, QStringLiteral("组件的配置文件"));
        for (const QString &out : {csvFile, pdfFile})
            if (const QString refused = out.isEmpty() ? QString() : setup.refusal(out);
                !refused.isEmpty()) {
                print(stderr, QStringLiteral("zarn-check: ") + refused);
                return ExitUsage;
            }
    }

    QList<quality::Finding> findings;
    try {
        Connection db;
        db.setConnectionString(connection);
        db.open();
        const bool terminal = isatty(fileno(stderr));
        findings = quality::run(
            db, {.dwdm = dwdm, .zdbh = zdh, .kind = lx}, [terminal](int done, int total) {
                if (!terminal) return;
                print(stderr, QStringLiteral("\r已检查 %1/%2 项").arg(done).arg(total), false);
                if (done == total) std::fputc('\n', stderr);
            });
    } catch (const Error &e) {
        return fail(e.message());
    }

    print(stdout, checkreport::textTable(findings), false);
    QString why;
    if (!csvFile.isEmpty()) {
        const QByteArray bytes = checkreport::csv(findings);
        if (!writeReplacing(
                csvFile, [&](QIODevice &f) { return f.write(bytes) == bytes.size(); }, &why))
            return fail(why);
        print(stdout, QStringLiteral("%1: %2 个问题").arg(csvFile).arg(findings.size()));
    }
    if (!pdfFile.isEmpty()) {
        const checkreport::Heading heading{
            .dwdm = dwdm,
            .connection = withoutPassword(connection),
            .when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy年MM月dd日 HH:mm"))};
        int pages = 0;
        if (!writeReplacing(
                pdfFile,
                [&](QIODevice &f) { return checkreport::writePdf(f, heading, findings, &pages); },
                &why))
            return fail(why);
        print(stdout, QStringLiteral("%1: %2 页").arg(pdfFile).arg(pages));
    }
    return quality::hasErrors(findings) ? ExitErrorsFound : 0;
}
