// The demo host end to end, as a separate process: registered module,
// creation by ProgID, one showdcbfrm call.
#include "module_copy.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zarn::test;

namespace {

struct HostRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// A registered copy of the module with its registration file and key, and
// the environment a host process needs to find them.
class RegisteredModule {
public:
    RegisteredModule()
    {
        registry = reg.file(QStringLiteral("registry"));
        qputenv("ZARN_REGISTRY", registry.toUtf8());
        if (module.registerServer()() != S_OK) throw std::runtime_error("cannot register");
        qunsetenv("ZARN_REGISTRY");
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZARN_REGISTRY"), registry);
    }
    QProcess *start(const QStringList &args)
    {
        auto *p = new QProcess;
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(ZARN_HOST_FILE), args);
        return p;
    }
    HostRun run(const QStringList &args)
    {
        std::unique_ptr<QProcess> p(start(args));
        HostRun r;
        if (p->waitForFinished(120000) && p->exitStatus() == QProcess::NormalExit)
            r.exitCode = p->exitCode();
        r.out = QString::fromLocal8Bit(p->readAllStandardOutput());
        r.err = QString::fromLocal8Bit(p->readAllStandardError());
        return r;
    }

    TempDir reg;
    QString registry;
    ModuleCopy module;
    QProcessEnvironment env;
};

TEST(ComponentHost, CommandLineCallReturnsZeroWithAndWithoutAnOwner)
{
    RegisteredModule r;
    const QString db = writeFile(r.module.folder() + QStringLiteral("/survey.db"), {});
    r.module.configure(QStringLiteral("Provider=SQLite;Data Source=") + db);
    r.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    for (const QStringList &extra : {QStringList{}, QStringList{QStringLiteral("--no-owner")}}) {
        QStringList args{QStringLiteral("--dwdm"), QStringLiteral("360102001001"),
                         QStringLiteral("--zdh"),  QStringLiteral("00001"),
                         QStringLiteral("--lx"),   QStringLiteral("2")};
        const HostRun run = r.run(args + extra);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral("showdcbfrm 0x00000000")))
            << run.out.toStdString();
    }
}

TEST(ComponentHost, CommandLineReportsAnUnregisteredComponent)
{
    RegisteredModule r;
    r.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    r.env.insert(QStringLiteral("ZARN_REGISTRY"), r.reg.file(QStringLiteral("empty")));
    const HostRun run = r.run(
        QStringList{QStringLiteral("--lx"), QStringLiteral("0"), QStringLiteral("--no-owner")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("zarn-regsvr"))) << run.err.toStdString();
    // The result is of the creation, which failed: showdcbfrm was never called.
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("ZarnCreateInstanceFromProgID 0x800401f3")))
        << run.out.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("showdcbfrm"))) << run.out.toStdString();
    EXPECT_EQ(r.run(QStringList{QStringLiteral("--lx"), QStringLiteral("300")}).exitCode, 2);
}

TEST(ComponentHost, AnUnreachableDisplayOrAnUnusableConfigurationIsOneWarningLineNotAnAbort)
{
    RegisteredModule r;
    const QString plain = QStringLiteral("Provider=SQLite;Data Source=/nowhere/secret-name.db");
    const QStringList call{QStringLiteral("--dwdm"), QStringLiteral("360102001001"),
                           QStringLiteral("--lx"), QStringLiteral("0"),
                           QStringLiteral("--no-owner")};
    auto warnings = [](const HostRun &run) {
        QStringList lines;
        for (const QString &line : run.err.split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("Zarndcbdll:"))) lines << line;
        return lines;
    };

    // A display that names no X server: Qt would end the host.
    r.module.configure(plain);
    r.env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    r.env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4077"));
    HostRun run = r.run(call);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("showdcbfrm 0x00000000")));
    ASSERT_EQ(warnings(run).size(), 1) << run.err.toStdString();
    EXPECT_TRUE(warnings(run)[0].contains(QStringLiteral(":4077 cannot be reached")));

    // A configuration that gives no connection string names config.ini and why.
    r.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString config = r.module.folder() + QStringLiteral("/config.ini");
    struct Case {
        std::function<void()> arrange;
        QString why;
    };
    const Case cases[] = {
        {[&] { QFile::remove(config); }, QStringLiteral("config.ini 不存在")},
        // Neither a folder, nor a named pipe (which would hold the host for
        // ever), nor a file too big to be one is "without a connection string".
        {[&] { QDir().mkdir(config); }, QStringLiteral("是一个文件夹")},
        {[&] {
             QDir().rmdir(config);
             ASSERT_EQ(mkfifo(QFile::encodeName(config).constData(), 0600), 0);
         },
         QStringLiteral("不是普通文件")},
        {[&] {
             QFile::remove(config);
             r.module.writeConfig(QByteArray(16 * 1024 * 1024 + 1, ';'));
         },
         QStringLiteral("超过 16 MB")},
        {[&] { r.module.writeConfig("[SystemInfo]\r\nOther=1\r\n"); },
         QStringLiteral("[SystemInfo] 一节里没有 ConnectionString")},
        {[&] {
             r.module.configure(plain);
             r.env.insert(QStringLiteral("ZARN_KEY_FILE"), r.reg.file(QStringLiteral("no.key")));
         },
         QStringLiteral("no.key 不存在")},
        // A key that is there but cannot be read is not "another key".
        {[&] { r.env.insert(QStringLiteral("ZARN_KEY_FILE"), r.reg.path()); },
         QStringLiteral("无法读取")},
        {[&] {
             ModuleCopy other;
             r.module.writeConfig("[SystemInfo]\r\nConnectionString=" + other.encipher(plain) +
                                  "\r\n");
             r.module.useOwnKey();
             r.env.insert(QStringLiteral("ZARN_KEY_FILE"),
                          QProcessEnvironment::systemEnvironment().value("ZARN_KEY_FILE"));
         },
         QStringLiteral("无法用密钥文件")},
    };
    for (const Case &c : cases) {
        c.arrange();
        run = r.run(call);
        EXPECT_EQ(run.exitCode, 0);
        const QStringList lines = warnings(run);
        ASSERT_EQ(lines.size(), 1) << run.err.toStdString();
        EXPECT_TRUE(lines[0].contains(c.why)) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains(QStringLiteral("config.ini"))) << lines[0].toStdString();
        EXPECT_FALSE(run.err.contains(QStringLiteral("secret-name")));
    }
}

// Runs a command line and gives its standard output, or empty on failure.
QString capture(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

TEST(XvfbSession, ConnectionMessageIsTransientForTheHostWindow)
{
    const QByteArray display = qgetenv("ZARN_TEST_DISPLAY");
    if (display.isEmpty()) GTEST_SKIP() << "no X display (ZARN_TEST_DISPLAY)";
    RegisteredModule r;
    r.module.configure(refusedPostgres());
    r.env.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(display));
    r.env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcessEnvironment x = QProcessEnvironment::systemEnvironment();
    x.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(display));
    // xdotool finds a Chinese window name only in a UTF-8 locale.
    x.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));

    std::unique_ptr<QProcess> host(
        r.start({QStringLiteral("--dwdm"), QStringLiteral("360102001001"), QStringLiteral("--zdh"),
                 QStringLiteral("00001"), QStringLiteral("--lx"), QStringLiteral("0")}));
    ASSERT_TRUE(host->waitForReadyRead(60000));
    const QString first = QString::fromLocal8Bit(host->readLine());
    const auto owner =
        QRegularExpression(QStringLiteral("owner window (0x[0-9a-f]+)")).match(first);
    ASSERT_TRUE(owner.hasMatch()) << first.toStdString();

    // The box of this host process, by its caption.
    const QString pid = QString::number(host->processId());
    const QString box =
        capture(QStringLiteral("timeout"),
                {QStringLiteral("30"), QStringLiteral("xdotool"), QStringLiteral("search"),
                 QStringLiteral("--all"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), pid, QStringLiteral("--name"), QStringLiteral("^错误$")},
                x)
            .section(QLatin1Char('\n'), 0, 0);
    ASSERT_FALSE(box.isEmpty()) << "no box appeared";
    const QString transient =
        capture(QStringLiteral("xprop"),
                {QStringLiteral("-id"), box, QStringLiteral("WM_TRANSIENT_FOR")}, x);
    const auto parent =
        QRegularExpression(QStringLiteral("window id # (0x[0-9a-f]+)")).match(transient);
    ASSERT_TRUE(parent.hasMatch()) << transient.toStdString();
    EXPECT_EQ(parent.captured(1).toULongLong(nullptr, 16),
              owner.captured(1).toULongLong(nullptr, 16));

    // OK closes the box and the call returns 0.
    capture(QStringLiteral("xdotool"),
            {QStringLiteral("key"), QStringLiteral("--window"), box, QStringLiteral("Return")}, x);
    ASSERT_TRUE(host->waitForFinished(60000));
    EXPECT_EQ(host->exitCode(), 0);
    EXPECT_TRUE(host->readAllStandardOutput().contains("showdcbfrm 0x00000000"));
}

} // namespace
