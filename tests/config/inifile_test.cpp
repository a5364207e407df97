// Reading and writing initialisation files as existing installations have them.
#include "config/file_output.h"
#include "config/inifile.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zarn;
using namespace zarn::test;

namespace {

// GBK bytes of "地籍" and "张三".
const QByteArray DiJiGbk("\xB5\xD8\xBC\xAE");
const QByteArray ZhangSanGbk("\xD5\xC5\xC8\xFD");

class IniFileTest : public ::testing::Test {
protected:
    QString path() const { return tmp.file(QStringLiteral("config.ini")); }
    IniFile file(const QByteArray &bytes) const
    {
        writeFile(path(), bytes);
        return IniFile(path());
    }
    QByteArray onDisk() const { return readFile(path()); }

    TempDir tmp;
};

TEST_F(IniFileTest, LooksUpNamesWhateverTheirCase)
{
    EXPECT_EQ(IniFile(path()).read(u"DCB", u"SM", "000"), "000");
    const IniFile ini = file("KZY=outside\r\n[DCB]\r\nSM=remark\r\nKzy = " + ZhangSanGbk +
                             "  \r\n; DCY=commented\r\nQSDCY=\r\n[SystemInfo]\r\n"
                             "ConnectionString=ZARN1:AbC+/x==\r\nDCY=elsewhere\r\n");
    EXPECT_EQ(ini.read(u"dcb", u"sm", "000"), "remark");
    EXPECT_EQ(ini.read(u"DCB", u"KZY", "000"), QString::fromUtf8("张三"));
    // Only the first '=' separates: the rest, base64 padding included, is the value.
    EXPECT_EQ(ini.read(u"systeminfo", u"connectionstring", "000"), "ZARN1:AbC+/x==");
    EXPECT_EQ(ini.read(u"Nope", u"SM", "000"), "000");
    EXPECT_EQ(ini.read(u"DCB", u"DCY", "000"), "000");
    // An existing but empty value is a value, not a miss.
    EXPECT_EQ(ini.read(u"DCB", u"QSDCY", "000"), "");
}

TEST_F(IniFileTest, ValuesAreCutAt255BytesOnACharacterBoundary)
{
    EXPECT_EQ(file("[A]\nk=" + QByteArray(300, 'x') + "\n").read(u"A", u"k", {}),
              QString(255, u'x'));

    // "ab" and 150 two-byte characters: the 127th would end at byte 256.
    QByteArray gbk = "ab";
    for (int i = 0; i < 75; ++i)
        gbk += DiJiGbk;
    const QString read = file("[A]\nk=" + gbk + "\n").read(u"A", u"k", {});
    EXPECT_EQ(read.size(), 2 + 126);
    EXPECT_EQ(toGbk(read), gbk.left(254));

    // The same rule in a UTF-8 file: three-byte characters, 255 = 3 * 85.
    QByteArray utf8 = "\xEF\xBB\xBF[A]\nk=a";
    for (int i = 0; i < 100; ++i)
        utf8 += "地";
    EXPECT_EQ(file(utf8 + "\n").read(u"A", u"k", {}), "a" + QString::fromUtf8("地").repeated(84));
}

TEST_F(IniFileTest, WriteChangesOnlyTheValueAndKeepsEverythingElse)
{
    const QByteArray before = "; survey defaults\n"
                              "[SystemInfo]\n"
                              "ConnectionString=ZARN1:old\n"
                              "\n"
                              "[DCB]\n"
                              "# kept\n"
                              "KZY = old value\n"
                              "DCY=x\n"
                              "\n"
                              "[Other]\n"
                              "KZY=other\n";
    const IniFile ini = file(before);
    ASSERT_TRUE(ini.write(u"dcb", u"kzy", "new"));
    QByteArray expected = before;
    expected.replace("KZY = old value", "KZY = new");
    EXPECT_EQ(onDisk(), expected);

    // A new key joins its section after the last key, before the blank line.
    ASSERT_TRUE(ini.write(u"SystemInfo", u"Extra", "1"));
    expected.replace("ConnectionString=ZARN1:old\n", "ConnectionString=ZARN1:old\nExtra=1\n");
    EXPECT_EQ(onDisk(), expected);

    // A new section goes at the end.
    ASSERT_TRUE(ini.write(u"New", u"k", "v"));
    expected += "[New]\nk=v\n";
    EXPECT_EQ(onDisk(), expected);
    EXPECT_EQ(ini.read(u"Other", u"KZY", {}), "other");
}

TEST_F(IniFileTest, WriteFollowsTheFilesLineEnds)
{
    const IniFile crlf = file("[A]\r\nk=1\r\n\r\n[B]\r\nm=2");
    ASSERT_TRUE(crlf.write(u"A", u"n", "3"));
    ASSERT_TRUE(crlf.write(u"B", u"o", "4"));
    ASSERT_TRUE(crlf.write(u"A", u"k", "5"));
    EXPECT_EQ(onDisk(), "[A]\r\nk=5\r\nn=3\r\n\r\n[B]\r\nm=2\r\no=4\r\n");

    const IniFile lf = file("[A]\nk=1");
    ASSERT_TRUE(lf.write(u"C", u"p", "6"));
    EXPECT_EQ(onDisk(), "[A]\nk=1\n[C]\np=6\n");
    EXPECT_EQ(lf.read(u"A", u"k", {}), "1");
}

TEST_F(IniFileTest, WriteMakesTheFileAndLeavesNoTemporaryFiles)
{
    const IniFile ini(path());
    ASSERT_TRUE(ini.write(u"SystemInfo", u"ConnectionString", "ZARN1:x"));
    EXPECT_EQ(onDisk(), "[SystemInfo]\r\nConnectionString=ZARN1:x\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0600), 0);
    ASSERT_TRUE(ini.write(u"SystemInfo", u"ConnectionString", "ZARN1:y"));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"config.ini"});
    // The replacement keeps the file's permissions: it may hold a secret.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(IniFileTest, WriteGoesThroughALinkToAFileNotMadeYet)
{
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("etc")));
    ASSERT_TRUE(QFile::link(QStringLiteral("etc/config.ini"), path()));
    const IniFile ini(path());
    ASSERT_TRUE(ini.write(u"DCB", u"KZY", QString::fromUtf8("张三")));
    ASSERT_TRUE(ini.write(u"DCB", u"QSXZ", "10"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readFile(tmp.file(QStringLiteral("etc/config.ini"))),
              "[DCB]\r\nKZY=" + ZhangSanGbk + "\r\nQSXZ=10\r\n");
}

TEST_F(IniFileTest, LineBreaksInAValueCannotAddKeys)
{
    const IniFile ini = file("[DCB]\nsm=1\n");
    ASSERT_TRUE(ini.write(u"DCB", u"sm", "first\r\nKZY=injected\n[SystemInfo]"));
    EXPECT_EQ(ini.read(u"DCB", u"sm", {}), "first KZY=injected [SystemInfo]");
    EXPECT_EQ(ini.read(u"DCB", u"KZY", "000"), "000");
    EXPECT_EQ(onDisk().count('\n'), 2);
}

TEST_F(IniFileTest, FailedWritesLeaveTheFileAlone)
{
    const QByteArray before = "[DCB]\nsm=1\n";
    const IniFile ini = file(before);
    EXPECT_FALSE(ini.write(u"", u"k", "v"));
    EXPECT_FALSE(ini.write(u"DCB", u"a=b", "v"));
    EXPECT_FALSE(ini.write(QString::fromUtf8("😀"), u"k", "v")); // no GBK form
    // A value GBK cannot hold is not written with '?' in its place.
    EXPECT_FALSE(ini.write(u"DCB", u"sm", QString::fromUtf8("王𠮷")));
    EXPECT_FALSE(ini.write(u"DCB", u"kzy", QString::fromUtf8("𡈼")));
    EXPECT_EQ(onDisk(), before);

    EXPECT_FALSE(IniFile(tmp.file("missing/config.ini")).write(u"A", u"k", "v"));
    EXPECT_FALSE(QFile::exists(tmp.file("missing")));
    // A folder where the file should be is neither read nor replaced.
    QDir(tmp.path()).mkdir("dir.ini");
    EXPECT_FALSE(IniFile(tmp.file("dir.ini")).write(u"A", u"k", "v"));
    EXPECT_EQ(IniFile(tmp.file("dir.ini")).read(u"A", u"k", "d"), "d");
}

// A form remembers twenty-odd keys at a time: one read and one replacement,
// the same bytes as key-by-key writes, nothing on disk before commit().
TEST_F(IniFileTest, ABatchReadsOnceWritesOnceAndEndsAsSingleWritesWould)
{
    const QByteArray before =
        "[SystemInfo]\r\nA=1\r\n\r\n[DCB]\r\nsm=old\r\nKZY=" + ZhangSanGbk + "\r\n";
    writeFile(tmp.file("single.ini"), before);
    const IniFile single(tmp.file("single.ini"));
    const QList<std::pair<QString, QString>> keys = {{"SM", "new"},
                                                     {"DCY", "line\nbreak"},
                                                     {"KZY", QString::fromUtf8("王𠮷")},
                                                     {"kzy2", QString::fromUtf8("地籍")}};
    for (const auto &[k, v] : keys)
        single.write(u"dcb", k, v);

    writeFile(path(), before);
    const IniFile::Traffic start = IniFile::traffic();
    IniBatch batch(path());
    for (const auto &[k, v] : keys)
        EXPECT_EQ(batch.write(u"dcb", k, v), k != "KZY") << k.toStdString();
    EXPECT_EQ(batch.read(u"DCB", u"sm", {}), "new");
    EXPECT_EQ(batch.read(u"DCB", u"kzy", {}), QString::fromUtf8("张三"));
    EXPECT_EQ(onDisk(), before);
    EXPECT_TRUE(batch.commit());
    EXPECT_EQ(onDisk(), readFile(tmp.file("single.ini")));
    EXPECT_TRUE(batch.write(u"DCB", u"sm", "new")); // the same value: nothing to replace
    EXPECT_TRUE(batch.commit());
    EXPECT_EQ(IniFile::traffic().loads - start.loads, 1);
    EXPECT_EQ(IniFile::traffic().replaces - start.replaces, 1);

    // A batch that never wrote makes no file; one that cannot replace its
    // file reads what the file holds again.
    EXPECT_TRUE(IniBatch(tmp.file("none.ini")).commit());
    EXPECT_FALSE(QFile::exists(tmp.file("none.ini")));
    IniBatch lost(tmp.file("missing/config.ini"));
    EXPECT_TRUE(lost.write(u"A", u"k", "v"));
    EXPECT_EQ(lost.read(u"A", u"k", "d"), "v");
    EXPECT_FALSE(lost.commit());
    EXPECT_EQ(lost.read(u"A", u"k", "d"), "d");
    IniBatch nowhere{QString()};
    EXPECT_FALSE(nowhere.write(u"A", u"k", "v"));
    EXPECT_EQ(nowhere.read(u"A", u"k", "d"), "d");
}

// The same replacement for every file the user names (a PDF, config.ini): a
// write that stops half way, or throws, leaves the old file and nothing else.
TEST_F(IniFileTest, AReplacementThatFailsHalfWayLeavesTheFileAndNoTemporaryFile)
{
    const QByteArray before = "[DCB]\nsm=1\n";
    writeFile(path(), before);
    auto halfThenFail = [](QIODevice &f) {
        f.write("%PDF-1.4 half");
        return false;
    };
    QString why;
    EXPECT_FALSE(writeReplacing(path(), halfThenFail, &why));
    EXPECT_TRUE(why.contains(path())) << why.toStdString();
    EXPECT_THROW(writeReplacing(path(),
                                [](QIODevice &f) -> bool {
                                    f.write("%PDF-1.4 half");
                                    throw std::runtime_error("database gone");
                                }),
                 std::runtime_error);
    EXPECT_EQ(onDisk(), before);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"config.ini"});

    EXPECT_TRUE(writeReplacing(path(), [](QIODevice &f) { return f.write("whole") == 5; }));
    EXPECT_EQ(onDisk(), "whole");
}

TEST_F(IniFileTest, DuplicateSectionsAndKeysTheFirstCountsForReadAndWrite)
{
    const IniFile ini = file("[DCB]\nsm=first\nsm=second\nKZY=a\n[dcb]\nsm=third\nDCY=later\n");
    EXPECT_EQ(ini.read(u"DCB", u"sm", {}), "first");
    // Only the first section of a name is looked at.
    EXPECT_EQ(ini.read(u"DCB", u"DCY", "000"), "000");
    ASSERT_TRUE(ini.write(u"DCB", u"sm", "new"));
    ASSERT_TRUE(ini.write(u"DCB", u"DCY", "mine"));
    EXPECT_EQ(ini.read(u"DCB", u"sm", {}), "new");
    EXPECT_EQ(ini.read(u"DCB", u"DCY", {}), "mine");
    EXPECT_EQ(onDisk(), "[DCB]\nsm=new\nsm=second\nKZY=a\nDCY=mine\n[dcb]\nsm=third\nDCY=later\n");
}

TEST_F(IniFileTest, HostileFilesGiveValuesOrDefaults)
{
    // Binary bytes, NULs and stray high bytes around a usable section.
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919 + 13) & 0xFF);
    binary += "\n[A]\nk=v\xFF\x80\n";
    binary += QByteArray("\0\0[\xFE\n=\n]=\n\x81", 11);
    const IniFile bin = file(binary);
    EXPECT_EQ(bin.read(u"A", u"k", {}).left(1), "v");
    EXPECT_EQ(bin.read(u"B", u"k", "d"), "d");
    EXPECT_TRUE(bin.write(u"A", u"k", "w"));
    EXPECT_EQ(bin.read(u"A", u"k", {}), "w");

    // A megabyte-long line, as a key, as a value and as a section name.
    const QByteArray mb(1024 * 1024, 'z');
    const IniFile big = file("[A]\n" + mb + "=1\nk=" + mb + "\n[" + mb + "]\nk=2\n[B]\nk=3");
    EXPECT_EQ(big.read(u"A", u"k", {}), QString(255, u'z'));
    EXPECT_EQ(big.read(u"B", u"k", {}), "3");
    EXPECT_TRUE(big.write(u"B", u"k", "4"));
    EXPECT_EQ(big.read(u"B", u"k", {}), "4");
    EXPECT_EQ(onDisk().size(), 3 * mb.size() + 24);

    // A byte order mark before the first section; the file then stays UTF-8.
    const IniFile bom = file("\xEF\xBB\xBF[SystemInfo]\r\nConnectionString=ZARN1:q\r\nsm=地籍");
    EXPECT_EQ(bom.read(u"SystemInfo", u"ConnectionString", {}), "ZARN1:q");
    EXPECT_EQ(bom.read(u"SystemInfo", u"sm", {}), QString::fromUtf8("地籍"));
    ASSERT_TRUE(bom.write(u"SystemInfo", u"kzy", QString::fromUtf8("张三")));
    EXPECT_EQ(onDisk(), "\xEF\xBB\xBF[SystemInfo]\r\nConnectionString=ZARN1:q\r\nsm=地籍\r\n"
                        "kzy=张三\r\n");

    // A lead byte with nothing after it ends the file.
    EXPECT_EQ(file("[A]\nk=a\xB5").read(u"A", u"k", {}), "a");
    EXPECT_EQ(file("[A").read(u"A", u"k", "d"), "d");
    EXPECT_EQ(file("").read(u"A", u"k", "d"), "d");
}

// What is no readable file is told by its real cause, and nothing waits: a
// named pipe would hold the caller until a writer came.
TEST_F(IniFileTest, WhatCannotBeReadSaysWhyAndNothingWaits)
{
    EXPECT_EQ(IniFile::state(path()), FileState::Missing);
    file("[A]\nk=v\n");
    EXPECT_EQ(IniFile::state(path()), FileState::Readable);

    const QString dir = tmp.file("dir.ini");
    QDir(tmp.path()).mkdir("dir.ini");
    const QString fifo = tmp.file("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString big = tmp.file("big.ini");
    writeFile(big, "[A]\nk=v\n" + QByteArray(IniFile::MaxFileBytes, ';'));
    const struct {
        QString path;
        FileState state;
        const char *said;
    } cases[] = {{dir, FileState::Folder, "文件夹"},
                 {fifo, FileState::NotAFile, "命名管道"},
                 {big, FileState::TooBig, "超过 16 MB"}};
    for (const auto &c : cases) {
        EXPECT_EQ(IniFile::state(c.path), c.state) << c.said;
        EXPECT_TRUE(IniFile::describe(c.state).contains(QString::fromUtf8(c.said)));
        const IniFile ini(c.path);
        EXPECT_EQ(ini.read(u"A", u"k", "d"), "d") << c.said;
        EXPECT_FALSE(ini.write(u"A", u"k", "w")) << c.said;
    }
    // Neither the pipe nor the big file was replaced by a write.
    EXPECT_EQ(QFileInfo(big).size(), IniFile::MaxFileBytes + 8);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(IniFileAccessTest, AFileTheUserMayNotReadIsNotMissing)
{
    ZARN_RUN_UNPRIVILEGED()
    TempDir tmp;
    const QString locked = tmp.file("locked.ini");
    writeFile(locked, "[SystemInfo]\nConnectionString=x\n");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    EXPECT_EQ(IniFile::state(locked), FileState::NotAllowed);
    EXPECT_TRUE(
        IniFile::describe(FileState::NotAllowed).contains(QStringLiteral("没有读取它的权限")));
    EXPECT_EQ(IniFile(locked).read(u"SystemInfo", u"ConnectionString", "d"), "d");
    // Behind a folder the user may not enter, a file is no more missing.
    const QString folder = tmp.file("closed");
    QDir(tmp.path()).mkdir("closed");
    writeFile(folder + "/config.ini", "[A]\nk=v\n");
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner));
    EXPECT_EQ(IniFile::state(folder + "/config.ini"), FileState::NotAllowed);
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner));
}

} // namespace
