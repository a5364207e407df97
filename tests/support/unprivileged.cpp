#include "support/unprivileged.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

namespace zarn::test {

bool ranAsUnprivilegedUser(std::string *skip)
{
    if (geteuid() != 0) return false;
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("%1.%2").arg(info->test_suite_name(), info->name());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("setpriv"),
            {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
             QStringLiteral("--clear-groups"), QStringLiteral("--"),
             QCoreApplication::applicationFilePath(), QStringLiteral("--gtest_filter=") + filter});
    if (!p.waitForStarted(10000)) {
        *skip = "setpriv is not available to run the case as an unprivileged user";
        return true;
    }
    EXPECT_TRUE(p.waitForFinished(300000));
    const QString out = QString::fromUtf8(p.readAll());
    if (!out.contains(QStringLiteral("[==========]"))) {
        // The test program lies where the user nobody cannot reach it.
        *skip = "the user nobody cannot run this test program: " + out.toStdString();
        return true;
    }
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
    return true;
}

} // namespace zarn::test
