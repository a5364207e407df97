// Database refusals reaching the surveyor on the use-right form: each as its
// Chinese sentence with the database's text after it, the typed values kept;
// a server that went away and came back.
#include "form_fixture.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "widgets/speed_button.h"

#include <QCoreApplication>

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
    Dataset &t = session->surveyRows;

    // 说明 is 500 characters wide.
    t.edit();
    t.setValue("qlr", QStringLiteral("王五"));
    t.setValue("sm", QString(501, QChar(0x8BF4)));
    form->nextButton->click();
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("“说明”一栏最多只能存 500 个字")))
        << lastBox().toStdString();
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("王五"));

    // Another surveyor changed the row meanwhile.
    t.setValue("sm", QStringLiteral("短"));
    Dataset other(&session->connection);
    other.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("id = ?")}, {a});
    other.open();
    other.edit();
    other.setValue("qlr", QStringLiteral("乙"));
    other.post();
    messages->records.clear();
    messages->answers = {No}; // keep the typing rather than load theirs
    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(lastBox().startsWith(
        QStringLiteral("这条记录在您读取之后已被其他用户修改，您的修改没有保存。")))
        << lastBox().toStdString();
    EXPECT_TRUE(lastBox().contains(QStringLiteral("是否载入对方保存的内容")));
    EXPECT_EQ(messages->records[0].buttons, int(Yes | No));
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("王五"));
    EXPECT_EQ(stored("T_DJDCB", a, "qlr"), QStringLiteral("乙"));
}

TEST_P(RefusalTest, RowsAnotherUserDeletedAreSaidAsWhatHappenedToThemAndToTheTyping)
{
    qint64 ids[9] = {};
    for (int i = 1; i <= 8; ++i)
        ids[i] = addSurvey({{"dwdm", unit},
                            {"zdbh", QStringLiteral("003004000%1").arg(i)},
                            {"qlr", QStringLiteral("户%1").arg(i)}});
    // A row a page: every row is read as the cursor reaches it.
    session->surveyRows.setPaging(1, 1);
    open(unit, "0030040001");
    Dataset &t = session->surveyRows;
    // Every key in, as the event loop reads them behind the first page: the
    // rows deleted below were in the list the surveyor was shown.
    for (int turn = 0; turn < 100 && t.keysArriving(); ++turn)
        QCoreApplication::processEvents();
    ASSERT_FALSE(t.keysArriving());
    auto elsewhere = [&](std::initializer_list<int> rows) {
        Dataset other(&session->connection);
        for (int i : rows) {
            other.setSql(QStringLiteral("delete from T_DJDCB where id = ?"), {ids[i]});
            other.execute();
        }
    };
    auto box = [&] { return messages->records.last(); };

    // The change of the row left is stored, the deleted row ahead leaves the list.
    elsewhere({2});
    t.edit();
    t.setValue("qlr", QStringLiteral("户1改"));
    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_EQ(box().text,
              QStringLiteral("要前往的记录已被其他用户删除，已从列表中移去。您对表上这条"
                             "记录的修改已经保存。表上仍是原来的记录，可以继续移动或"
                             "定位到其他记录。"));
    EXPECT_EQ(box().caption, QStringLiteral("提示"));
    EXPECT_EQ(box().icon, MessageIcon::Information);
    EXPECT_EQ(stored("T_DJDCB", ids[1], "qlr"), QStringLiteral("户1改"));
    EXPECT_EQ(current("zdbh"), "0030040001");

    // Nothing typed, three deleted in a row: one box, and it says nothing of a change.
    elsewhere({3, 4, 5});
    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_TRUE(box().text.startsWith(QStringLiteral("要前往的记录和与它相连的共 3 条记录已被其他"
                                                     "用户删除，已从列表中移去。")))
        << box().text.toStdString();
    EXPECT_FALSE(box().text.contains(QStringLiteral("修改")));
    form->nextButton->click();
    EXPECT_EQ(messages->records.size(), 2);
    EXPECT_EQ(current("zdbh"), "0030040006");
    EXPECT_EQ(t.recordCount(), 4);

    // The row on the sheet itself deleted: the change is said not stored, and
    // nothing is offered to load; the surveyor keeps the typing or lets the row go.
    t.edit();
    t.setValue("qlr", QStringLiteral("户6改"));
    elsewhere({6});
    messages->answers = {No};
    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 3);
    EXPECT_TRUE(
        box().text.startsWith(QStringLiteral("这条记录已被其他用户删除，您的修改没有保存。")))
        << box().text.toStdString();
    EXPECT_FALSE(box().text.contains(QStringLiteral("载入")));
    EXPECT_EQ(box().caption, QStringLiteral("警告"));
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("户6改"));
    messages->answers = {Yes};
    form->saveButton->click();
    ASSERT_EQ(messages->records.size(), 4);
    EXPECT_TRUE(
        box().text.startsWith(QStringLiteral("数据保存失败！\n\n这条记录已被其他用户删除")));
    EXPECT_EQ(t.state(), Dataset::State::Browse);
    EXPECT_EQ(current("zdbh"), "0030040007");
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(count("select count(*) from T_DJDCB"), 3);
}

TEST_P(RefusalTest, AServerThatWentAwayKeepsTheSheetAndTheNextMoveStoresIt)
{
    if (backend() == test::Backend::Sqlite) GTEST_SKIP() << "SQLite has no server";
    const qint64 a = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}});
    open(unit);
    Dataset &t = session->surveyRows;
    t.edit();
    t.setValue("qlr", QStringLiteral("王五"));

    // The server stops taking this database's connections and ends ours.
    Dataset me(&session->connection);
    me.setSql(QStringLiteral("select current_database() as db, pg_backend_pid() as pid"));
    me.open();
    const QString db = me.text("db");
    const QString pid = me.text("pid");
    me.close();
    Connection admin;
    admin.setConnectionString(test::connectionStringFor(backend(), {}));
    admin.open();
    test::execAll(admin, {QStringLiteral("alter database %1 allow_connections false").arg(db),
                          QStringLiteral("select pg_terminate_backend(%1)").arg(pid)});

    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("与数据库服务器的连接已中断")))
        << lastBox().toStdString();
    EXPECT_TRUE(lastBox().contains(QStringLiteral("数据库信息：")));
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_EQ(t.state(), Dataset::State::Edit);
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("王五"));

    // Back again: the next move connects anew and stores the sheet.
    test::execAll(admin, {QStringLiteral("alter database %1 allow_connections true").arg(db)});
    form->nextButton->click();
    EXPECT_EQ(messages->records.size(), 1) << lastBox().toStdString();
    EXPECT_EQ(current("zdbh"), "0030040002");
    EXPECT_EQ(stored("T_DJDCB", a, "qlr"), QStringLiteral("王五"));
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RefusalTest, ::testing::Values(test::Backend::Sqlite),
                         test::backendParamName<::testing::TestParamInfo<test::Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, RefusalTest, ::testing::Values(test::Backend::Postgres),
                         test::backendParamName<::testing::TestParamInfo<test::Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, RefusalTest, ::testing::Values(test::Backend::Odbc),
                         test::backendParamName<::testing::TestParamInfo<test::Backend>>);

} // namespace
