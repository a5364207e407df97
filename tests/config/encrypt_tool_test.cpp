// zarn-encrypt run as an integrator runs it, its output read back the way the
// component reads it: ReadIniStr, then ZarnDecryptStr.
#include "config/config_ini.h"
#include "config/inifile.h"
#include "config/program_config.h"
#include "decrypt/ZarnDecryptString.h"
#include "decrypt/cipher.h"
#include "support/tempdir.h"

#include <QFileInfo>
#include <QProcess>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zarn::test;

namespace {

// "数据源=地籍库;密码=口令", given on the command line as UTF-8.
const QString ChinesePlain =
    QString::fromUtf8("Provider=OraOLEDB.Oracle.1;数据源=地籍库;密码=口令;User ID=zarn");

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class EncryptToolTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("ZARN_KEY_FILE", keyFile().toLocal8Bit().constData(), 1); }
    void TearDown() override { unsetenv("ZARN_KEY_FILE"); }

    QString keyFile() const { return tmp.file(QStringLiteral("keys/zarn.key")); }

    ToolRun run(const QStringList &args) const { return run(args, keyFile()); }
    // `input` goes to standard input; `asNobody` runs the tool as an account
    // without rights of its own (root reads any file, whatever its mode).
    ToolRun run(const QStringList &args, const QString &keyPath, const QByteArray &input = {},
                bool asNobody = false) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZARN_KEY_FILE"), keyPath);
        p.setProcessEnvironment(env);
        if (asNobody)
            p.start(QStringLiteral("setpriv"),
                    QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                QStringLiteral(ZARN_ENCRYPT_TOOL)} +
                        args);
        else
            p.start(QStringLiteral(ZARN_ENCRYPT_TOOL), args);
        p.write(input);
        p.closeWriteChannel();
        ToolRun r;
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) return r;
        r.exitCode = p.exitCode();
        r.out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        r.err = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    static std::optional<QByteArray> decrypt(const QString &text)
    {
        QByteArray bytes = text.toLatin1();
        char *p = bytes.data();
        if (!ZarnDecryptStr(&p)) return std::nullopt;
        return QByteArray(p);
    }

    TempDir tmp;
};

TEST_F(EncryptToolTest, PrintsTextTheLibraryDecryptsWithTheKeyItMade)
{
    writeFile(tmp.file("keys/.keep"), {});
    const ToolRun first = run({ChinesePlain});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains(keyFile())) << "the new key file is named";
    EXPECT_EQ(QFileInfo(keyFile()).size(), qint64(zarn::cipher::KeySize));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(keyFile()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(decrypt(first.out), zarn::toGbk(ChinesePlain));

    // A second run keeps the key: both texts stay good.
    const QByteArray keyBytes = readFile(keyFile());
    const ToolRun second = run({"Provider=OraOLEDB.Oracle.1;Data Source=x", "--"});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(readFile(keyFile()), keyBytes);
    EXPECT_EQ(decrypt(second.out), QByteArray("Provider=OraOLEDB.Oracle.1;Data Source=x"));
    EXPECT_EQ(decrypt(first.out), zarn::toGbk(ChinesePlain));
}

TEST_F(EncryptToolTest, WritesConfigThatTheComponentReadsBack)
{
    writeFile(tmp.file("keys/.keep"), {});
    ProgramConfig config;
    const QByteArray dcb = "; remembered\r\n[DCB]\r\nKZY=\xD5\xC5\xC8\xFD\r\n";
    writeFile(config.path(), dcb);

    const ToolRun r = run({ChinesePlain, "--config", config.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString stored = zarn::readConfigValue("SystemInfo", "ConnectionString", "000");
    EXPECT_EQ(decrypt(stored), zarn::toGbk(ChinesePlain));
    EXPECT_TRUE(readFile(config.path()).startsWith(dcb));
    EXPECT_EQ(zarn::readConfigValue("DCB", "KZY", "000"), QString::fromUtf8("张三"));

    // ToolRun again, --config=PATH: the value is replaced, not added.
    const ToolRun again = run({"--config=" + config.path(), "Data Source=y"});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(decrypt(zarn::readConfigValue("SystemInfo", "ConnectionString", "000")),
              QByteArray("Data Source=y"));
    EXPECT_EQ(readFile(config.path()).count("ConnectionString="), 1);
}

TEST_F(EncryptToolTest, MisuseFailsWithAMessageAndChangesNothing)
{
    writeFile(tmp.file("keys/.keep"), {});
    const QString config = writeFile(tmp.file("config.ini"), "[DCB]\nsm=1\n");

    for (const QStringList &args :
         {QStringList{}, QStringList{"a", "b"}, QStringList{"--bogus", "a"},
          QStringList{"a", "--config"}, QStringList{"a", "--config="},
          QStringList{"a", "--config", config, "--config", config}}) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8("用法"))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--config"));

    // Texts that could not be stored or deciphered whole.
    const QString tooLong = "Data Source=" + QString(200, u'x');
    for (const QString &plain : {QString(), tooLong, QString::fromUtf8("Password=😀")}) {
        const ToolRun r = run({plain, "--config", config});
        EXPECT_EQ(r.exitCode, 1) << plain.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(keyFile())) << "no key is made for a text that is refused";
    EXPECT_EQ(readFile(config), "[DCB]\nsm=1\n");

    // The longest text that fits is taken, and read back whole.
    const ToolRun longest = run({"Data Source=" + QString(146, u'x'), "--config", config});
    ASSERT_EQ(longest.exitCode, 0) << longest.err.toStdString();
    EXPECT_EQ(decrypt(zarn::IniFile(config).read(u"SystemInfo", u"ConnectionString", {})),
              ("Data Source=" + QString(146, u'x')).toLatin1());

    // A damaged key file is reported and left for the integrator to look at.
    writeFile(keyFile(), "short");
    const ToolRun broken = run({"Data Source=z"});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.err.contains(keyFile()));
    EXPECT_EQ(readFile(keyFile()), "short");

    // A key file in a folder that is not there cannot be made.
    const ToolRun nowhere = run({"Data Source=z"}, tmp.file("no/such/folder/k"));
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.out.isEmpty());
    EXPECT_TRUE(nowhere.err.contains(tmp.file("no/such/folder/k")));
}

TEST_F(EncryptToolTest, ReadsTheStringFromStandardInputAndNeverWritesOverTheDatabaseOrTheKey)
{
    writeFile(tmp.file("keys/.keep"), {});
    // One line, without its line end; what follows is not read.
    const ToolRun piped = run({"-"}, keyFile(), (ChinesePlain + "\r\nPassword=other\n").toUtf8());
    ASSERT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_EQ(decrypt(piped.out), zarn::toGbk(ChinesePlain));
    const ToolRun nothing = run({"-"}, keyFile(), {});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_TRUE(nothing.err.contains(QString::fromUtf8("标准输入"))) << nothing.err.toStdString();
    EXPECT_TRUE(run({"--help"}).out.contains(QString::fromUtf8("标准输入")));

    // The database the string names (and its log, made or not) and the key
    // are never taken for the config.ini to write.
    const QString db = writeFile(tmp.file("survey.db"), "SQLite format 3");
    ASSERT_TRUE(QFile::link(db, tmp.file("config.ini")));
    const QString sqlite = "Provider=SQLite;Data Source=" + db;
    for (const QString &target : {tmp.file("config.ini"), db + "-wal", keyFile()}) {
        const QByteArray before = QFile::exists(target) ? readFile(target) : QByteArray();
        const ToolRun r = run({sqlite, "--config", target});
        EXPECT_EQ(r.exitCode, 2) << target.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8("不能写入"))) << r.err.toStdString();
        EXPECT_EQ(QFile::exists(target) ? readFile(target) : QByteArray(), before);
    }
}

TEST_F(EncryptToolTest, AKeyFileThatCannotBeReadIsNamedWithItsCause)
{
    writeFile(tmp.file("keys/.keep"), {});
    ASSERT_EQ(run({"Data Source=x"}).exitCode, 0); // makes the key

    // Without the right to read it. The tool runs as an account without
    // rights where the test runs as root; the folder of the key is its
    // owner's only, as a test's temporary folder is.
    const bool root = ::geteuid() == 0;
    if (!root) ::chmod(QFile::encodeName(keyFile()).constData(), 0);
    const ToolRun denied = run({"Data Source=x"}, keyFile(), {}, root);
    if (root && denied.exitCode == -1) GTEST_SKIP() << "setpriv cannot run the tool as nobody";
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_TRUE(denied.err.contains(QString::fromUtf8("无法读取密钥文件 ") + keyFile()))
        << denied.err.toStdString();
    EXPECT_TRUE(denied.err.contains(QString::fromUtf8("没有读取它的权限")))
        << denied.err.toStdString();
    EXPECT_FALSE(denied.err.contains(QString::fromUtf8("无效")));

    // A folder where the key should be: no account reads a key from that.
    const ToolRun folder = run({"Data Source=x"}, tmp.path());
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_TRUE(folder.err.contains(QString::fromUtf8("无法读取密钥文件 ") + tmp.path()))
        << folder.err.toStdString();
    EXPECT_TRUE(folder.err.contains(QString::fromUtf8("文件夹"))) << folder.err.toStdString();
}

} // namespace
