// Save, delete with its cascade, and the change lock of a superseded row.
#include "form_fixture.h"

#include "config/config_ini.h"

#include "widgets/speed_button.h"

#include "widgets/data_aware.h"
#include "widgets/db_edit.h"

#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace zarn;
using namespace zarn::ui;

namespace {

const QString kEmptyParcel = QStringLiteral("地籍号不能为空，请输入数值再保存！");

class ChangeTest : public zarn::test::FormTest {
protected:
    const QString unit = QStringLiteral("320102003004");

    // Three parcels, the second with a superseded version, each with rows in
    // every attached table.
    void seed()
    {
        first = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"qlr", "甲"}});
        changed = addSurvey(
            {{"dwdm", unit}, {"zdbh", "0030040002"}, {"qlr", "乙旧"}, {"bgrq", "20050301"}});
        second = addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}, {"qlr", "乙"}});
        third = addSurvey({{"dwdm", unit}, {"zdbh", "0030040003"}, {"qlr", "丙"}});
        for (const char *zdbh : {"0030040001", "0030040002", "0030040003"})
            for (const QVariant &bgrq : {QVariant(), QVariant("20050301")})
                for (const char *table : {"T_JZBSB", "T_ZJB", "T_GYQ", "T_SZB"})
                    addAttached(QString::fromLatin1(table),
                                {{"zdbh", zdbh}, {"dwdm", unit}, {"bgrq", bgrq}});
    }
    int attached(const QString &zdbh, const QString &bgrq = {})
    {
        int n = 0;
        for (const char *table : {"T_JZBSB", "T_ZJB", "T_GYQ", "T_SZB"})
            n += bgrq.isEmpty()
                     ? count(
                           QStringLiteral("select count(*) from %1 where zdbh = ? and bgrq is null")
                               .arg(table),
                           {zdbh})
                     : count(QStringLiteral("select count(*) from %1 where zdbh = ? and bgrq = ?")
                                 .arg(table),
                             {zdbh, bgrq});
        return n;
    }
    qint64 first = 0, changed = 0, second = 0, third = 0;
};

TEST_P(ChangeTest, SavingNeedsAParcelNumberAndKeepsRefusedValues)
{
    seed();
    open(unit, "0030040001");
    Dataset &t = session->surveyRows;
    for (const QString &blank : {QString(), QStringLiteral("   ")}) {
        t.edit();
        t.setValue("zdbh", blank);
        t.setValue("qlr", QStringLiteral("不该保存"));
        messages->records.clear();
        form->saveButton->click();
        ASSERT_EQ(messages->records.size(), 1);
        EXPECT_TRUE(messages->records[0].plain);
        EXPECT_EQ(messages->records[0].text, kEmptyParcel);
        EXPECT_EQ(stored("T_DJDCB", first, "qlr"), QStringLiteral("甲"));
    }
    t.cancel();

    // A second current row of parcel 0030040003 is refused by the database.
    t.edit();
    t.setValue("zdbh", "0030040003");
    t.setValue("qlr", QStringLiteral("丁"));
    messages->records.clear();
    form->saveButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    const auto &box = messages->records[0];
    EXPECT_FALSE(box.plain);
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("数据保存失败！\n"))) << box.text.toStdString();
    EXPECT_GT(box.text.size(), 8); // and why
    EXPECT_EQ(box.caption, QStringLiteral("警告"));
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    EXPECT_EQ(box.buttons, int(Ok));
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("丁"));
    EXPECT_EQ(shown("DBEdit18"), "0030040003");
    EXPECT_EQ(stored("T_DJDCB", first, "zdbh"), "0030040001");

    // Typed through the sheet and saved; the row never had a survey table
    // number, and needs none to be saved.
    t.setValue("zdbh", "0030040009");
    form->saveButton->click();
    EXPECT_EQ(stored("T_DJDCB", first, "qlr"), QStringLiteral("丁"));
    EXPECT_EQ(t.state(), Dataset::State::Browse);

    // One it has is not emptied, by 保存 nor by a move.
    t.edit();
    t.setValue("dcbh", "5");
    form->saveButton->click();
    t.edit();
    t.setValue("dcbh", QString());
    messages->records.clear();
    form->saveButton->click();
    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_TRUE(messages->records[0].text.startsWith(
        QStringLiteral("数据保存失败！\n\n这张调查表的调查表号被清空了")))
        << messages->records[0].text.toStdString();
    EXPECT_EQ(stored("T_DJDCB", first, "dcbh"), "5");
    EXPECT_EQ(t.field("id").asInteger(), first);
    t.cancel();
    form.reset();

    // A unit whose code cannot number its first row: the row typed into the
    // empty sheet has no unit and no survey table number, and is not stored.
    const int rows = count("select count(*) from T_DJDCB");
    messages->records.clear();
    open(QStringLiteral("32010200A001"));
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(messages->records[0].text.contains(QStringLiteral("单位代码“32010200A001”")))
        << messages->records[0].text.toStdString();
    t.edit();
    t.setValue("zdbh", "0010010001");
    form->saveButton->click();
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_TRUE(messages->records[1].text.contains(
        QStringLiteral("这张调查表没有单位代码、调查表号，不能存入数据库")))
        << messages->records[1].text.toStdString();
    messages->answers = {No}; // closing lets the row go
    EXPECT_TRUE(form->close());
    EXPECT_EQ(count("select count(*) from T_DJDCB"), rows);
}

TEST_P(ChangeTest, DeleteAsksThenTakesExactlyTheCurrentAttachedRowsOfThatParcel)
{
    seed();
    open(unit, "0030040002");
    ASSERT_EQ(session->surveyRows.field("id").asInteger(), second);

    messages->answers = {Cancel};
    form->deleteButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    const auto &ask = messages->records[0];
    EXPECT_EQ(ask.text, QStringLiteral("确信删除所显示的记录内容吗?"));
    EXPECT_EQ(ask.caption, QStringLiteral("确信删除界面"));
    EXPECT_EQ(ask.icon, MessageIcon::Question);
    EXPECT_EQ(ask.buttons, int(Ok | Cancel));
    EXPECT_EQ(stored("T_DJDCB", second, "zdbh"), "0030040002");
    EXPECT_EQ(attached("0030040002"), 4);

    messages->answers = {Ok};
    form->deleteButton->click();
    EXPECT_EQ(stored("T_DJDCB", second, "zdbh"), "<no row>");
    EXPECT_EQ(attached("0030040002"), 0);
    EXPECT_EQ(attached("0030040002", "20050301"), 4); // the old version keeps its rows
    EXPECT_EQ(attached("0030040001"), 4);
    EXPECT_EQ(attached("0030040003"), 4);
    EXPECT_EQ(stored("T_DJDCB", changed, "qlr"), QStringLiteral("乙旧"));
    EXPECT_EQ(current("zdbh"), "0030040003"); // the following row
}

TEST_P(ChangeTest, DeletingAChangedRowTakesTheRowsOfItsOwnVersion)
{
    seed();
    open(unit, "0030040002");
    session->surveyRows.locate("id", changed);
    messages->answers = {Ok};
    form->deleteButton->click();
    EXPECT_EQ(stored("T_DJDCB", changed, "zdbh"), "<no row>");
    EXPECT_EQ(attached("0030040002", "20050301"), 0);
    EXPECT_EQ(attached("0030040002"), 4);
    EXPECT_EQ(attached("0030040001", "20050301"), 4);
}

TEST_P(ChangeTest, DeletingASubUnitsRowSparesTheSessionUnitsParcelOfTheSameNumber)
{
    seed();
    const qint64 sub = addSurvey({{"dwdm", unit + "01"}, {"zdbh", "0030040001"}});
    addAttached("T_JZBSB", {{"zdbh", "0030040001"}, {"dwdm", unit + "01"}});
    open(unit);
    session->surveyRows.locate("id", sub);
    messages->answers = {Ok};
    form->deleteButton->click();
    EXPECT_EQ(stored("T_DJDCB", sub, "zdbh"), "<no row>");
    EXPECT_EQ(count("select count(*) from T_JZBSB where dwdm = ?", {unit + "01"}), 0);
    EXPECT_EQ(attached("0030040001"), 4);
}

TEST_P(ChangeTest, ClosingWithAChangeThatCannotBeStoredAsksFirst)
{
    seed();
    open(unit, "0030040001");
    form->show();
    Dataset &t = session->surveyRows;
    t.edit();
    t.setValue("zdbh", "0030040003"); // another current row has it
    t.setValue("qlr", QStringLiteral("丁"));

    messages->answers = {Yes};
    form->close();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_EQ(messages->records[0].buttons, int(Yes | No));
    EXPECT_TRUE(form->isVisible()); // back on the sheet, the typing still there
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("丁"));

    messages->answers = {No};
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored("T_DJDCB", first, "qlr"), QStringLiteral("甲"));
    EXPECT_EQ(stored("T_DJDCB", first, "zdbh"), "0030040001");
}

TEST_P(ChangeTest, ADeleteRefusedPartWayChangesNothing)
{
    seed();
    open(unit, "0030040002");
    // The four-sides table, last of the cascade, is gone: its delete fails
    // after the other attached tables' deletes have run.
    QSqlQuery(session->connection.database()).exec(QStringLiteral("drop table T_SZB"));
    messages->answers = {Ok};
    form->deleteButton->click();
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_EQ(messages->records[1].caption, QStringLiteral("警告"));
    EXPECT_NE(messages->records[1].text, QStringLiteral("调查表已经为空"));
    EXPECT_EQ(stored("T_DJDCB", second, "zdbh"), "0030040002");
    for (const char *table : {"T_JZBSB", "T_ZJB", "T_GYQ"})
        EXPECT_EQ(
            count(
                QStringLiteral("select count(*) from %1 where zdbh=? and bgrq is null").arg(table),
                {"0030040002"}),
            1)
            << table;
    EXPECT_EQ(current("zdbh"), "0030040002");
    EXPECT_EQ(session->surveyRows.recordCount(), 4);
}

TEST_P(ChangeTest, ADeleteRefusedByTheCommitKeepsTheRowInTheList)
{
    // Refused only by the commit (a deferred reference to the row): the list
    // keeps the row, the sheet stays on it, and the box's words are true.
    seed();
    open(unit, "0030040003");
    QSqlQuery raw(session->connection.database());
    if (backend() == zarn::test::Backend::Sqlite) {
        ASSERT_TRUE(raw.exec(QStringLiteral("pragma foreign_keys = on")));
    }
    ASSERT_TRUE(
        raw.exec(QStringLiteral("create table t_keep (djdcb integer references T_DJDCB (id) "
                                "deferrable initially deferred)")));
    ASSERT_TRUE(raw.exec(QStringLiteral("insert into t_keep values (%1)").arg(third)));
    ASSERT_EQ(current("zdbh"), "0030040003");
    messages->answers = {Ok};
    form->deleteButton->click();
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_TRUE(
        messages->records[1].text.startsWith(QStringLiteral("删除失败，调查表及其附表均未改动。")));
    EXPECT_EQ(stored("T_DJDCB", third, "zdbh"), "0030040003");
    EXPECT_EQ(attached("0030040003"), 4);
    EXPECT_EQ(session->surveyRows.recordCount(), 4);
    EXPECT_EQ(current("zdbh"), "0030040003");
    EXPECT_EQ(session->surveyRows.field("id").asInteger(), third);
}

TEST_P(ChangeTest, DeletingOnAnEmptyUnitSaysTheTableIsEmpty)
{
    seed();
    open(unit);
    Dataset &t = session->surveyRows;
    messages->answers = {Ok, Ok, Ok, Ok, Ok};
    while (!t.isEmpty())
        form->deleteButton->click();
    messages->records.clear();
    messages->answers = {Ok};
    form->deleteButton->click();
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_TRUE(messages->records[1].plain);
    EXPECT_EQ(messages->records[1].text, QStringLiteral("调查表已经为空"));
    EXPECT_EQ(messages->records[1].caption, QStringLiteral("提示"));

    // The emptied unit's counts make no row, and 新增 starts from what was remembered.
    zarn::writeConfigValue(QStringLiteral("DCB"), QStringLiteral("QSDCY"),
                           QStringLiteral("张权属"));
    for (QPushButton *b :
         {form->useRightSheet()->markerButton, form->useRightSheet()->coUserButton})
        b->click();
    EXPECT_TRUE(t.isEmpty());
    form->newButton->click();
    EXPECT_EQ(ini("QSDCY"), QStringLiteral("张权属"));
    EXPECT_EQ(stored("T_DJDCB", t.field("id").asInteger(), "qsdcy"), QStringLiteral("张权属"));
}

TEST_P(ChangeTest, TheChangeLockSwitchesTheFramedControlsAndTheMemoOnly)
{
    seed();
    open(unit, "0030040002");
    Dataset &t = session->surveyRows;
    t.locate("id", changed);
    form->applyChangeLock();
    EXPECT_EQ(form->useRightSheet()->changeNotice->text(),
              QStringLiteral("该宗地已于20050301变更"));
    for (DataAwareControl *c : form->useRightSheet()->boundControls()) {
        SCOPED_TRACE(c->widget()->objectName().toStdString());
        EXPECT_EQ(c->isReadOnly(), c->family() != ControlFamily::Plain);
    }
    // Typing into a locked edit changes nothing; a plain list stays usable.
    auto *edit = form->useRightSheet()->edit("DBEdit3");
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(t.text("qlr"), QStringLiteral("乙旧"));
    EXPECT_TRUE(form->useRightSheet()->markerButton->isEnabled());

    // After a delete the lock still describes the deleted row.
    messages->answers = {Ok};
    form->deleteButton->click();
    EXPECT_TRUE(t.text("bgrq").isEmpty());
    EXPECT_EQ(form->useRightSheet()->changeNotice->text(),
              QStringLiteral("该宗地已于20050301变更"));
    EXPECT_TRUE(form->useRightSheet()->edit("DBEdit3")->isReadOnly());

    form->applyChangeLock();
    EXPECT_TRUE(form->useRightSheet()->changeNotice->text().isEmpty());
    for (DataAwareControl *c : form->useRightSheet()->boundControls())
        EXPECT_FALSE(c->isReadOnly());
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, ChangeTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, ChangeTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, ChangeTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
