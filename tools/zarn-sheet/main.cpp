// zarn-sheet --dwdm UNIT [--zdh PARCEL] [--lx 0|1]
//            (--connection 'STRING' | --connection - | --config config.ini) -o FILE.pdf
//
// Writes the survey tables of a unit (and of the units whose codes extend
// it), or of one parcel's versions, into one PDF: one A4 page per row (and
// the pages a long value continues on), in parcel-number order, each drawn on
// the sheet of the kind of table the row was made as, as the forms print them.

#include "config/file_output.h"
#include "config/inifile.h"
#include "config/setup_files.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "decrypt/ZarnDecryptString.h"
#include "forms/sheet_layout.h"
#include "forms/sheet_print.h"
#include "schema/statements.h"
#include "tool_cli.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace zarn;

namespace {

constexpr int ExitError = 1;
constexpr int ExitUsage = cli::ExitUsage;

const char *const Usage =
    "用法: zarn-sheet --dwdm 单位代码 [--zdh 地籍号] [--lx 0|1]\n"
    "                 (--connection '连接字符串' | --connection - | --config config.ini)\n"
    "                 -o 文件.pdf\n"
    "\n"
    "把单位 (及其下级单位) 的全部地籍调查表, 或一宗地的各版本, 按地籍号顺序\n"
    "写成一个 PDF, 每张调查表一页 (A4 纵向), 太长的文字续印在其后的页上。\n"
    "  --lx 0  只印土地使用权地籍调查表   --lx 1  只印土地所有权地籍调查表\n"
    "          (默认两种都印, 每张按其调查表类型印在各自的表上)\n"
    "  --connection -: 从标准输入读取连接字符串 (一行, 不含行尾)。连接字符串含密码时\n"
    "            请用这种方式或 --config: 写在命令行上的参数本机所有用户都能看到,\n"
    "            还会留在命令历史中。在终端上输入时不回显。\n"
    "  --config: 组件的 config.ini, 读取其中加密的连接字符串\n"
    "            (用组件的解密库和密钥文件解密)。\n"
    "  -o: 全部页写完后才替换该文件; 导出失败时原文件不变。不能是调查数据库、\n"
    "      它的 -wal/-shm 文件、config.ini 或密钥文件。所在文件夹须已存在。\n"
    "  --help     显示本说明\n"
    "  --version  显示版本\n";

const cli::Tool Tool{"zarn-sheet", Usage};

void print(FILE *to, const QString &text, bool newline = true)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    if (newline) std::fputc('\n', to);
    std::fflush(to);
}

int fail(const QString &message)
{
    print(stderr, QStringLiteral("zarn-sheet: ") + message);
    return ExitError;
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

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = cli::answerHelpOrVersion(Tool, argc, argv)) return *answered;
    // A wrong command line is told before Qt starts, and so without its warnings.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QString dwdm, zdh, connection, config, out;
    int lx = -1; // both kinds
    const QStringList options{"--dwdm", "--zdh", "--lx", "--connection", "--config", "-o"};
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
        else
            out = v;
    }
    if (dwdm.isEmpty()) return usageError(QStringLiteral("缺少 --dwdm 单位代码"));
    if (out.isEmpty()) return usageError(QStringLiteral("缺少 -o 输出文件"));
    if (connection.isEmpty() == config.isEmpty())
        return usageError(QStringLiteral("请给出 --connection 或 --config 之一"));
    // Told before any page is drawn, in words rather than in a warning of Qt's.
    if (const QFileInfo target(out); target.isDir())
        return usageError(QStringLiteral("-o 给的是文件夹, 不是文件: %1").arg(out));
    else if (!target.absoluteDir().exists())
        return usageError(QStringLiteral("-o 的文件夹不存在, 请先建立: %1")
                              .arg(QDir::toNativeSeparators(target.absolutePath())));
#ifdef __GLIBC__
    // Qt's PDF writer takes and frees large buffers for every page it
    // compresses; by default the C library hands the freed top of the heap
    // back to the system each time and faults it in again for the next page
    // (a tenth of the run). Kept up to this much, the peak is the same.
    mallopt(M_TRIM_THRESHOLD, 4 << 20);
#endif
    // Pages are drawn without a screen.
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
        // Emptying the database to write a PDF into it would lose every survey table.
        ProtectedFiles setup = ProtectedFiles::ofSetup(connection);
        if (!config.isEmpty()) setup.add(config, QStringLiteral("组件的配置文件"));
        const QString refused = setup.refusal(out);
        if (!refused.isEmpty()) {
            print(stderr, QStringLiteral("zarn-sheet: ") + refused);
            return ExitUsage;
        }
    }

    try {
        Connection db;
        db.setConnectionString(connection);
        db.open();
        Dataset rows(&db);
        // The rows are printed once each, in order: a page read ahead is all
        // the reading needs, and a district's rows need not stay in memory.
        rows.setPaging(64, 2);
        rows.setQuery(sql::djdcListUseRight, unitcode::unitListParams(dwdm));
        rows.open();
        const int zdbh = rows.indexOf(QStringLiteral("zdbh"));
        const int dcblx = rows.indexOf(QStringLiteral("dcblx"));
        // A row is printed on the sheet of the form that made it; a row of
        // no recorded kind was made as the use-right table, the default form.
        auto kindAt = [&](int r) { return Dataset::textOf(rows.valueAt(r, dcblx)) == "1" ? 1 : 0; };
        auto wanted = [&](int r) {
            return (zdh.isEmpty() || Dataset::textOf(rows.valueAt(r, zdbh)) == zdh) &&
                   (lx < 0 || kindAt(r) == lx);
        };
        // Every row is wanted unless a parcel or a kind is asked for: counted
        // without reading them all once more before printing them.
        int total = zdh.isEmpty() && lx < 0 ? rows.recordCount() : 0;
        if (total == 0)
            for (int r = 0; r < rows.recordCount(); ++r)
                if (wanted(r)) ++total;
        const QString kind = lx == 1   ? QStringLiteral("土地所有权地籍调查表")
                             : lx == 0 ? QStringLiteral("土地使用权地籍调查表")
                                       : QStringLiteral("调查表");
        if (total == 0)
            return fail(zdh.isEmpty()
                            ? QStringLiteral("单位 %1 没有%2").arg(dwdm, kind)
                            : QStringLiteral("单位 %1 没有地籍号为 %2 的%3").arg(dwdm, zdh, kind));

        const bool terminal = isatty(fileno(stderr));
        int pages = 0;
        QString why;
        const bool written = writeReplacing(
            out,
            [&](QIODevice &file) {
                forms::SheetPdf pdf(&file, QStringLiteral("地籍调查表"));
                if (!pdf.isOpen()) return false;
                QElapsedTimer shown;
                shown.start();
                int tables = 0;
                for (rows.first(); !rows.eof(); rows.next()) {
                    if (!wanted(rows.recNo())) continue;
                    const QString bgrq = rows.text(QStringLiteral("bgrq"));
                    pdf.add(kindAt(rows.recNo()) == 1 ? forms::ownershipSheetLayout()
                                                      : forms::useRightSheetLayout(),
                            {[&rows](const QString &column) { return rows.text(column); },
                             bgrq.isEmpty()
                                 ? QString()
                                 : QStringLiteral("该宗地已于") + bgrq + QStringLiteral("变更")});
                    ++tables;
                    if (terminal && (shown.elapsed() > 200 || tables == total)) {
                        print(stderr,
                              QStringLiteral("\r已写 %1/%2 张调查表").arg(tables).arg(total),
                              false);
                        shown.restart();
                    }
                    if (rows.recNo() == rows.recordCount() - 1) break;
                }
                if (terminal) std::fputc('\n', stderr);
                pages = pdf.pageCount();
                return pdf.finish();
            },
            &why);
        if (!written) return fail(why);
        print(stdout, QStringLiteral("%1: %2 页").arg(out).arg(pages));
    } catch (const Error &e) {
        return fail(e.message());
    }
    return 0;
}
