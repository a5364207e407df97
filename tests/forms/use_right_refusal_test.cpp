// Database refusals reaching the surveyor on the use-right form: each as its
// Chinese sentence with the database's text after it, the typed values kept;
// a server that went away and came back.
#include "form_fixture.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "widgets/speed_button.h"

using namespace zarn;
using namespace zarn::ui;

namespace {

class RefusalTest : public zarn::test::FormTest {
protected:
    const QString unit = QStringLiteral("320102003004");

    QString lastBox() const
    {
        return messages->records.isEmpty() ? QString() : messages->records.last().text;
    }
};

TEST_P(RefusalTest, EachRefusalIsSaidInChineseWithTheDatabaseTextAfterAndTheValuesStay)
{
    const qint64 a = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"qlr", "甲"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}});
    open(unit);
    Dataset &t = DataMod->djdcTable;

    // 说明 is 500 characters wide.
    t.edit();
    t.setValue("qlr", QStringLiteral("王五"));
    t.setValue("sm", QString(501, QChar(0x8BF4)));
    form->spbNext->click();
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("“说明”一栏最多只能存 500 个字")))
        << lastBox().toStdString();
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("王五"));

    // Another surveyor changed the row meanwhile.
    t.setValue("sm", QStringLiteral("短"));
    Dataset other(&DataMod->ADOConn1);
    other.setSql(QStringLiteral("select * from T_DJDCB where id = ?"), {a});
    other.open();
    other.edit();
    other.setValue("qlr", QStringLiteral("乙"));
    other.post();
    messages->records.clear();
    form->spbNext->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("这条记录在您读取之后已被其他用户修改或删除")))
        << lastBox().toStdString();
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("王五"));
    EXPECT_EQ(stored("T_DJDCB", a, "qlr"), QStringLiteral("乙"));
}

TEST_P(RefusalTest, AServerThatWentAwayKeepsTheSheetAndTheNextMoveStoresIt)
{
    if (backend() == test::Backend::Sqlite) GTEST_SKIP() << "SQLite has no server";
    const qint64 a = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}});
    open(unit);
    Dataset &t = DataMod->djdcTable;
    t.edit();
    t.setValue("qlr", QStringLiteral("王五"));

    // The server stops taking this database's connections and ends ours.
    Dataset me(&DataMod->ADOConn1);
    me.setSql(QStringLiteral("select current_database() as db, pg_backend_pid() as pid"));
    me.open();
    const QString db = me.text("db");
    const QString pid = me.text("pid");
    me.close();
    Connection admin;
    admin.setConnectionString(test::connectionStringFor(test::Backend::Postgres, {}));
    admin.open();
    test::execAll(admin, {QStringLiteral("alter database %1 allow_connections false").arg(db),
                          QStringLiteral("select pg_terminate_backend(%1)").arg(pid)});

    form->spbNext->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("与数据库服务器的连接已中断")))
        << lastBox().toStdString();
    EXPECT_TRUE(lastBox().contains(QStringLiteral("数据库信息：")));
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_EQ(t.state(), Dataset::State::Edit);
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("王五"));

    // Back again: the next move connects anew and stores the sheet.
    test::execAll(admin, {QStringLiteral("alter database %1 allow_connections true").arg(db)});
    form->spbNext->click();
    EXPECT_EQ(messages->records.size(), 1) << lastBox().toStdString();
    EXPECT_EQ(current("zdbh"), "0030040002");
    EXPECT_EQ(stored("T_DJDCB", a, "qlr"), QStringLiteral("王五"));
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RefusalTest, ::testing::Values(test::Backend::Sqlite),
                         test::backendParamName<::testing::TestParamInfo<test::Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, RefusalTest, ::testing::Values(test::Backend::Postgres),
                         test::backendParamName<::testing::TestParamInfo<test::Backend>>);

} // namespace
