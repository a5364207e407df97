// zarn-encrypt ('CONNECTION STRING' | -) [--config PATH]
//
// Enciphers a connection string with the key of the decryption library and
// prints it, or writes it into a config.ini. The key file is made when missing.
// Before anything is printed or written, the decryption library itself reads
// the text back, so what the tool hands out is known to work with that key.

#include "config/inifile.h"
#include "config/setup_files.h"
#include "data/connection_string.h"
#include "decrypt/ZarnDecryptString.h"
#include "decrypt/cipher.h"
#include "decrypt/module_path.h"
#include "tool_cli.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

using namespace zarn::cipher;

constexpr int ExitError = 1;
constexpr int ExitUsage = zarn::cli::ExitUsage;

const char *const Usage =
    "用法: zarn-encrypt ('连接字符串' | -) [--config 路径]\n"
    "\n"
    "加密数据库连接字符串。\n"
    "  -:             从标准输入读取连接字符串 (一行, 不含行尾)。连接字符串含密码时\n"
    "                 请用这种方式: 写在命令行上的参数本机所有用户都能看到,\n"
    "                 还会留在命令历史中。在终端上输入时不回显。\n"
    "  不带 --config: 把密文打印到标准输出。\n"
    "  带 --config:   把密文写入该 config.ini 的 [SystemInfo] ConnectionString,\n"
    "                 文件或节不存在时新建, 其余内容保持不变。\n"
    "\n"
    "密钥文件: 环境变量 ZARN_KEY_FILE 指定的文件, 否则为解密库\n"
    "libZarnDecryptString.so 所在文件夹中的 ZarnDecryptString.key;\n"
    "不存在时新建 (随机 32 字节, 仅属主可读写)。\n"
    "\n"
    "  zarn-encrypt --help     显示本说明\n"
    "  zarn-encrypt --version  显示版本\n";

const zarn::cli::Tool Tool{"zarn-encrypt", Usage};

void print(FILE *to, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, bytes.size(), to);
    std::fputc('\n', to);
}

int fail(const QString &message)
{
    print(stderr, QStringLiteral("zarn-encrypt: ") + message);
    return ExitError;
}

int usageError(const QString &message)
{
    return zarn::cli::refuse(Tool, message.toLocal8Bit().toStdString());
}

QString local(const std::string &s)
{
    return QFile::decodeName(QByteArray::fromStdString(s));
}

struct Arguments {
    QString plain;
    std::optional<QString> config;
};

// Empty on success, else what is wrong with the command line.
QString parse(int argc, char **argv, Arguments &args)
{
    std::vector<QString> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (optionsEnded || !arg.startsWith(u'-') || arg == u"-") {
            positional.push_back(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"--config" || arg.startsWith(u"--config=")) {
            if (args.config) return QString::fromStdString(zarn::cli::givenTwice("--config"));
            if (arg == u"--config") {
                if (++i >= argc) return QStringLiteral("--config 后面缺少 config.ini 的路径");
                args.config = QFile::decodeName(argv[i]);
            } else {
                args.config = QFile::decodeName(QByteArray(argv[i]).mid(9));
            }
            if (args.config->isEmpty()) return QStringLiteral("--config 的路径为空");
        } else {
            return QStringLiteral("未知选项: %1").arg(arg);
        }
    }
    if (positional.empty()) return QStringLiteral("缺少连接字符串");
    if (positional.size() > 1)
        return QStringLiteral("多余的参数: %1 (只能给一个连接字符串, 含空格或分号时请加引号)")
            .arg(positional[1]);
    args.plain = positional.front();
    return {};
}

// The file a key path stands for. The package links the key beside the
// library to the machine's configuration folder; a key made there, not on the
// link (which open() with O_EXCL would refuse), is the one the library reads.
std::string followLinks(const std::string &path)
{
    namespace fs = std::filesystem;
    fs::path p(path);
    std::error_code ec;
    for (int depth = 0; depth < 40 && fs::is_symlink(p, ec); ++depth) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.lexically_normal().string();
}

// Reads the key, or makes it when there is none. Empty on success, else the error.
QString loadOrCreateKey(const std::string &path, Key &key)
{
    if (path.empty()) return zarn::keyFileProblem(QString());
    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (readKeyFile(path, key)) {
        case KeyFileResult::Ok:
            return {};
        case KeyFileResult::Unreadable:
        case KeyFileResult::Invalid:
            return zarn::keyFileProblem(local(path));
        case KeyFileResult::Missing:
            break;
        }
        const int error = createKeyFile(path, key);
        if (error == 0) {
            print(stderr, QStringLiteral("已创建密钥文件 %1").arg(local(path)));
            return {};
        }
        // Made by someone else meanwhile: read theirs.
        if (error != EEXIST)
            return QStringLiteral("无法创建密钥文件 %1: %2")
                .arg(local(path), QString::fromLocal8Bit(std::strerror(error)));
    }
    return QStringLiteral("无法读取密钥文件 %1").arg(local(path));
}

// The decryption library's own answer for `text`.
std::optional<std::string> decryptWithLibrary(const std::string &text)
{
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    char *p = copy.data();
    if (!ZarnDecryptStr(&p)) return std::nullopt;
    return std::string(p);
}

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = zarn::cli::answerHelpOrVersion(Tool, argc, argv)) return *answered;
    Arguments args;
    const QString wrong = parse(argc, argv, args);
    if (!wrong.isEmpty()) return usageError(wrong);
    if (args.plain == u"-") {
        const std::optional<QString> line = zarn::readConnectionStringLine(
            stdin, QStringLiteral("请输入连接字符串 (不回显), 按回车结束: "));
        if (!line) return fail(QStringLiteral("标准输入中没有连接字符串"));
        args.plain = *line;
    }

    bool exact = false;
    const QByteArray plain = zarn::toGbk(args.plain, &exact);
    if (plain.isEmpty()) return fail(QStringLiteral("连接字符串为空"));
    if (!exact) return fail(QStringLiteral("连接字符串含有 GBK 无法表示的字符"));
    // config.ini values are read as at most 255 bytes; a longer text would be
    // cut there and never decrypt.
    if (encipheredSize(plain.size()) > std::size_t(zarn::IniFile::MaxValueBytes)) {
        qsizetype most = plain.size();
        while (most > 0 && encipheredSize(most) > std::size_t(zarn::IniFile::MaxValueBytes))
            --most;
        return fail(QStringLiteral("连接字符串太长: GBK 编码为 %1 字节, 最多 %2 字节")
                        .arg(plain.size())
                        .arg(most));
    }

    if (args.config) {
        // config.ini is written over; the database or the key never are.
        zarn::ProtectedFiles others;
        others.addDatabase(args.plain);
        others.add(zarn::decryptionKeyPath(), QStringLiteral("连接字符串的密钥文件"));
        const QString refused = others.refusal(*args.config);
        if (!refused.isEmpty()) {
            print(stderr, QStringLiteral("zarn-encrypt: ") + refused);
            return ExitUsage;
        }
    }

    // The rule of the decryption library this tool is linked with, applied
    // to the same library file.
    const std::string path =
        followLinks(QFile::encodeName(zarn::decryptionKeyPath()).toStdString());
    Key key;
    const QString keyError = loadOrCreateKey(path, key);
    if (!keyError.isEmpty()) return fail(keyError);

    const std::string text = encipher(std::string_view(plain.constData(), plain.size()), key);
    if (text.empty()) return fail(QStringLiteral("加密失败 (随机数源不可用)"));
    const std::optional<std::string> back = decryptWithLibrary(text);
    if (!back || *back != plain.toStdString())
        return fail(QStringLiteral("自检失败: 解密库无法用密钥文件 %1 解出密文").arg(local(path)));

    const QString cipherText = QString::fromLatin1(text.data(), qsizetype(text.size()));
    if (!args.config) {
        print(stdout, cipherText);
        return 0;
    }
    const zarn::IniFile ini(*args.config);
    if (!ini.write(u"SystemInfo", u"ConnectionString", cipherText) ||
        ini.read(u"SystemInfo", u"ConnectionString", QString()) != cipherText)
        return fail(QStringLiteral("无法写入 %1").arg(*args.config));
    print(stdout, QStringLiteral("已将加密的连接字符串写入 %1 的 [SystemInfo] ConnectionString")
                      .arg(*args.config));
    return 0;
}
