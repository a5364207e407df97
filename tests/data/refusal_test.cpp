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
