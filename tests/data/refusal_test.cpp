// What the databases answer when they refuse, read into kinds: the answers of
// a database we have no server of (Oracle), a damaged SQLite file.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/db_error.h"
#include "support/tempdir.h"

#include <QFile>
#include <QSqlError>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace zarn;
using namespace zarn::test;

namespace {

TEST(RefusalTest, OracleAnswersThroughOdbcAreReadLikeTheOthers)
{
    struct Case {
        const char *text;
        const char *code;
        RefusalKind kind;
    };
    const Case cases[] = {
        {"[Oracle][ODBC][Ora]ORA-12899: value too large for column \"ZARN\".\"T_DJDCB\".\"SM\" "
         "(actual: 5000, maximum: 500)",
         "12899", RefusalKind::ValueTooLong},
        {"[Oracle][ODBC][Ora]ORA-00001: unique constraint (ZARN.UX_DJDCB_CURRENT) violated", "1",
         RefusalKind::DuplicateKey},
        {"[Oracle][ODBC][Ora]ORA-03113: end-of-file on communication channel", "3113",
         RefusalKind::ConnectionLost},
        {"[Oracle][ODBC][Ora]ORA-01578: ORACLE data block corrupted (file # 7, block # 12)", "1578",
         RefusalKind::DamagedFile},
        {"[Oracle][ODBC][Ora]ORA-16000: database or pluggable database open for read-only "
         "access",
         "16000", RefusalKind::ReadOnly},
        {"[Oracle][ODBC][Ora]ORA-00942: table or view does not exist", "942", RefusalKind::Other},
    };
    for (const Case &c : cases) {
        const QSqlError e(QStringLiteral("QODBC: Unable to execute statement"),
                          QString::fromUtf8(c.text), QSqlError::StatementError,
                          QString::fromLatin1(c.code));
        EXPECT_EQ(classifyRefusal(e, QStringLiteral("QODBC")).kind, c.kind) << c.text;
    }
    const Refusal tooLong = classifyRefusal(
        QSqlError({}, QString::fromUtf8(cases[0].text), QSqlError::StatementError, "12899"),
        QStringLiteral("QODBC"));
    EXPECT_EQ(tooLong.table, "T_DJDCB");
    EXPECT_EQ(tooLong.column, "SM");
    EXPECT_EQ(tooLong.limit, 500);
    const Refusal current = classifyRefusal(
        QSqlError({}, QString::fromUtf8(cases[1].text), QSqlError::StatementError, "1"),
        QStringLiteral("QODBC"));
    EXPECT_EQ(current.constraint, "UX_DJDCB_CURRENT");
    EXPECT_FALSE(current.primaryKey());

    // The password never travels in the text for the administrator.
    const Refusal lost = classifyRefusal(
        QSqlError({}, QStringLiteral("could not connect to server: password s3cr3t"),
                  QSqlError::ConnectionError),
        QStringLiteral("QPSQL"), QStringLiteral("s3cr3t"));
    EXPECT_EQ(lost.kind, RefusalKind::ConnectionLost);
    EXPECT_FALSE(lost.driverText.contains("s3cr3t"));
}

// A server answering in Chinese (as PostgreSQL does with lc_messages=zh_CN,
// Oracle with a Chinese NLS_LANG) is read by its code alone; and a code is
// not second-guessed by English words in the text.
TEST(RefusalTest, EachDriversCodeDecidesWhateverLanguageTheTextIsIn)
{
    struct Case {
        const char *driver;
        const char *code;
        const char *text;
        RefusalKind kind;
    };
    const Case cases[] = {
        {"QPSQL", "23505",
         "错误:  重复键违反唯一约束\"t_djdcb_pkey\"\nDETAIL:  键值\"(id)=(7)\" 已经存在\n(23505)",
         RefusalKind::DuplicateKey},
        {"QPSQL", "22001", "错误:  对于可变字符类型来说，值太长了(500)\n(22001)",
         RefusalKind::ValueTooLong},
        {"QPSQL", "25006", "错误:  不能在一个只读模式的事务中执行INSERT\n(25006)",
         RefusalKind::ReadOnly},
        {"QPSQL", "57P01", "致命错误:  由于管理员命令中断联接\n(57P01)",
         RefusalKind::ConnectionLost},
        // A mistyped state is no duplicate, however the text reads.
        {"QPSQL", "23050", "ERROR:  duplicate key value violates unique constraint \"t_pkey\"",
         RefusalKind::Other},
        {"QPSQL", "42P01", "错误:  关系 \"t_zjb\" 不存在\n(42P01)", RefusalKind::Other},
        // psqlODBC numbers every server error 1: its text is all there is.
        {"QODBC", "1",
         "错误: 重复键违反唯一约束\"ux_djdcb_current\"\nDETAIL: 键值\"(dwdm, zdbh)=(320102001001, "
         "0010010002)\" 已经存在;\nError while executing the query",
         RefusalKind::DuplicateKey},
        {"QODBC", "35", "无法与服务器通信", RefusalKind::ConnectionLost},
        {"QSQLITE", "1555", "UNIQUE 约束失败: T_DJDCB.id", RefusalKind::DuplicateKey},
        {"QSQLITE", "2067", "UNIQUE 约束失败: T_DJDCB.dwdm, T_DJDCB.zdbh",
         RefusalKind::DuplicateKey},
        {"QSQLITE", "1299", "NOT NULL 约束失败: T_DJDCB.id", RefusalKind::Other},
        {"QSQLITE", "5", "数据库被锁定", RefusalKind::Busy},
        {"QSQLITE", "8", "试图写入只读数据库", RefusalKind::ReadOnly},
        {"QSQLITE", "11", "数据库映像已损坏", RefusalKind::DamagedFile},
        {"QOCI", "1", "ORA-00001: 违反唯一约束条件 (ZARN.UX_DJDCB_CURRENT)",
         RefusalKind::DuplicateKey},
        {"QOCI", "12899",
         "ORA-12899: 列 \"ZARN\".\"T_DJDCB\".\"SM\" 的值太大 (实际值: 5000, 最大值: 500)",
         RefusalKind::ValueTooLong},
        {"QODBC", "3113", "[Oracle][ODBC][Ora]ORA-03113: 通信通道的文件结尾",
         RefusalKind::ConnectionLost},
    };
    for (const Case &c : cases) {
        const QSqlError e(QStringLiteral("driver"), QString::fromUtf8(c.text),
                          QSqlError::StatementError, QString::fromLatin1(c.code));
        EXPECT_EQ(classifyRefusal(e, QString::fromLatin1(c.driver)).kind, c.kind)
            << c.driver << " " << c.code;
    }
    // The names a refusal carries are read from the Chinese texts too: the
    // row number's key tells a renumbering what to take afresh.
    auto refusal = [&](int i) {
        const Case &c = cases[i];
        return classifyRefusal(QSqlError({}, QString::fromUtf8(c.text), QSqlError::StatementError,
                                         QString::fromLatin1(c.code)),
                               QString::fromLatin1(c.driver));
    };
    EXPECT_EQ(refusal(0).constraint, "t_djdcb_pkey");
    EXPECT_EQ(refusal(0).keyColumns, QStringList{"id"});
    EXPECT_TRUE(refusal(0).primaryKey());
    EXPECT_EQ(refusal(1).limit, 500);
    EXPECT_EQ(refusal(6).constraint, "ux_djdcb_current");
    EXPECT_EQ(refusal(6).keyColumns, (QStringList{"dwdm", "zdbh"}));
    EXPECT_FALSE(refusal(6).primaryKey());
    EXPECT_EQ(refusal(14).constraint, "UX_DJDCB_CURRENT");
    EXPECT_EQ(refusal(15).column, "SM");
    EXPECT_EQ(refusal(15).limit, 500);
}

TEST(RefusalTest, ADamagedSqliteFileIsSaidToBeDamaged)
{
    TempDir tmp;
    const QString file = writeFile(tmp.file("survey.db"), {});
    {
        Connection c;
        c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
        c.open();
        Dataset d(&c);
        d.setSql(QStringLiteral("create table t (id integer primary key, x varchar(200))"));
        d.execute();
        d.setSql(QStringLiteral("insert into t (x) values (?)"), {QString(150, QLatin1Char('x'))});
        c.transaction([&] {
            for (int i = 0; i < 200; ++i)
                d.execute();
        });
    }
    // Pages of the table overwritten; the file's header stays whole.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(4096 + 100);
    f.write(QByteArray(3 * 4096, '\xA5'));
    f.close();

    Connection c;
    c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
    c.open();
    Dataset d(&c);
    d.setQuery({.table = QStringLiteral("t"), .order = {{.column = QStringLiteral("x")}}});
    try {
        d.open();
        FAIL() << "a damaged file was read";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.kind(), RefusalKind::DamagedFile) << e.message().toStdString();
    }

    // A file that is no database at all.
    writeFile(file, QByteArray(8192, 'z'));
    Connection other;
    other.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
    other.open();
    Dataset q(&other);
    q.setQuery({.table = QStringLiteral("t")});
    try {
        q.open();
        FAIL() << "garbage was read as a database";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.kind(), RefusalKind::DamagedFile) << e.message().toStdString();
    }
}

TEST(RefusalTest, TwoSqliteWritersWaitForEachOtherInsteadOfFailing)
{
    TempDir tmp;
    const QString file = writeFile(tmp.file("survey.db"), {});
    const QString cs = QStringLiteral("Provider=SQLite;Data Source=") + file;
    Connection c;
    c.setConnectionString(cs);
    c.open();
    Dataset ddl(&c);
    ddl.setSql(QStringLiteral("create table t (id integer primary key, who varchar(10))"));
    ddl.execute();
    Dataset rows(&c);
    rows.setQuery({.table = QStringLiteral("t")});
    rows.open();

    // Another writer (a connection of its own, as another process has) holds
    // the write lock for a while.
    auto holdTheLock = [&cs](std::promise<void> &locked) {
        Connection other;
        other.setConnectionString(cs);
        other.open();
        other.transaction([&] {
            Dataset w(&other);
            w.setSql(QStringLiteral("insert into t (who) values ('other')"));
            w.execute();
            locked.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        });
    };
    for (int round = 0; round < 2; ++round) {
        std::promise<void> locked;
        std::thread writer(holdTheLock, std::ref(locked));
        locked.get_future().wait();
        try {
            if (round == 0) {
                rows.append();
                rows.setValue("who", QStringLiteral("me"));
                rows.post();
            } else {
                // A transaction that reads before it writes.
                c.transaction([&] {
                    Dataset r(&c);
                    r.setSql(QStringLiteral("select max(id) from t"));
                    r.open();
                    Dataset w(&c);
                    w.setSql(QStringLiteral("insert into t (who) values ('me')"));
                    w.execute();
                });
            }
        } catch (const DatabaseError &e) {
            ADD_FAILURE() << "round " << round << ": " << e.message().toStdString();
        }
        writer.join();
    }
    Dataset count(&c);
    count.setSql(QStringLiteral("select count(*) from t where who = 'me'"));
    count.open();
    EXPECT_EQ(count.field(0).asInteger(), 2);
}

} // namespace
