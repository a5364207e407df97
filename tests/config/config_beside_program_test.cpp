// readConfigValue and writeConfigValue use config.ini beside the image that holds their
// code: here the test program, inside the component its module file.
#include "config/config_ini.h"
#include "config/program_config.h"
#include "decrypt/module_path.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace zarn::test;

namespace {

TEST(ConfigBesideProgram, ModuleFolderIsTheFolderOfTheImageHoldingTheCode)
{
    const QString folder = QString::fromStdString(zarn::moduleFolder());
    ASSERT_TRUE(folder.endsWith(u'/'));
    EXPECT_EQ(QFileInfo(folder).canonicalFilePath(),
              QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
    // Not the current folder, wherever that is.
    TempDir elsewhere;
    CurrentFolder cd(elsewhere.path());
    EXPECT_EQ(QString::fromStdString(zarn::moduleFolder()), folder);
}

TEST(ConfigBesideProgram, ReadAndWriteTheFileBesideTheProgramNotInTheCurrentFolder)
{
    ProgramConfig config;
    TempDir elsewhere;
    const QByteArray decoy =
        "[DCB]\r\nKZY=decoy\r\n[SystemInfo]\r\nConnectionString=ZARN1:decoy\r\n";
    writeFile(elsewhere.file("config.ini"), decoy);
    CurrentFolder cd(elsewhere.path());

    EXPECT_EQ(zarn::readConfigValue("SystemInfo", "ConnectionString", "000"), "000");
    EXPECT_EQ(zarn::readConfigValue("DCB", "KZY", "000"), "000");
    zarn::writeConfigValue("DCB", "SM", QString::fromUtf8("备注"));
    zarn::writeConfigValue("DCB", "KZY", QString::fromUtf8("张三"));
    EXPECT_EQ(zarn::readConfigValue("dcb", "sm", "000"), QString::fromUtf8("备注"));
    EXPECT_EQ(zarn::readConfigValue("DCB", "kzy", "000"), QString::fromUtf8("张三"));
    EXPECT_EQ(readFile(config.path()), "[DCB]\r\nSM=\xB1\xB8\xD7\xA2\r\nKZY=\xD5\xC5\xC8\xFD\r\n");
    EXPECT_EQ(readFile(elsewhere.file("config.ini")), decoy);
}

} // namespace
