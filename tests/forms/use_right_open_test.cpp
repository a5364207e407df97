// Opening the use-right form: where the cursor lands, the first row of an
// empty unit, the code lists and the boundary-point recount.
#include "form_fixture.h"

#include "widgets/speed_button.h"

#include "schema/numbering.h"
#include "widgets/data_aware.h"
#include "widgets/db_combo_box.h"

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QMap>
#include <QResizeEvent>
#include <QTest>

using namespace zarn;

namespace {

class OpenTest : public zarn::test::FormTest {
protected:
    const QString unit = QStringLiteral("320102003004");

    // What every data-bound control of the form shows, by name.
    QMap<QString, QString> shownTexts() const
    {
        QMap<QString, QString> texts;
        for (ui::DataAwareControl *c : ui::dataAwareControls(form.get()))
            texts.insert(c->widget()->objectName(), c->controlText());
        return texts;
    }
};

TEST_P(OpenTest, OpensOnTheHostParcelsCurrentRowThenAChangedOneThenTheFirst)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"qlr", "甲"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}, {"qlr", "乙旧"}, {"bgrq", "20050301"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}, {"qlr", "乙"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040003"}, {"qlr", "丙旧"}, {"bgrq", "20010101"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040003"}, {"qlr", "丙更旧"}, {"bgrq", "19990101"}});

    open(unit, "0030040002");
    EXPECT_EQ(current("qlr"), QStringLiteral("乙"));
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("乙"));
    EXPECT_TRUE(form->useRightSheet()->changeNotice->text().isEmpty());
    form.reset();

    // Only changed rows: the first of them in the list's order.
    open(unit, "0030040003");
    EXPECT_EQ(current("zdbh"), "0030040003");
    EXPECT_FALSE(current("bgrq").isEmpty());
    EXPECT_EQ(form->useRightSheet()->changeNotice->text(),
              QStringLiteral("该宗地已于") + current("bgrq") + QStringLiteral("变更"));
    form.reset();

    for (const QString &zdh : {QString(), QStringLiteral("9999999999")}) {
        open(unit, zdh);
        EXPECT_EQ(session->surveyRows.recNo(), 0);
        EXPECT_EQ(current("zdbh"), "0030040001");
        form.reset();
    }
}

TEST_P(OpenTest, ListsTheUnitAndItsSubUnitsByParcelNumber)
{
    addSurvey({{"dwdm", "320102003"}, {"zdbh", "0030000002"}});
    addSurvey({{"dwdm", "320102003001"}, {"zdbh", "0010001"}});
    addSurvey({{"dwdm", "320102004001"}, {"zdbh", "0000001"}});
    addSurvey({{"dwdm", "320102003"}, {"zdbh", QVariant()}});
    open("320102003");
    Dataset &t = session->surveyRows;
    ASSERT_EQ(t.recordCount(), 3);
    QStringList order;
    for (int r = 0; r < t.recordCount(); ++r)
        order << Dataset::textOf(t.valueAt(r, t.indexOf("zdbh")));
    EXPECT_EQ(order, (QStringList{"0010001", "0030000002", ""})); // no number: last
}

TEST_P(OpenTest, AnEmptyUnitOpensOnItsFirstNewRow)
{
    addSurvey({{"id", 41}, {"dwdm", "110101001001"}, {"zdbh", "0010010001"}});
    open(unit);
    Dataset &t = session->surveyRows;
    ASSERT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.state(), Dataset::State::Browse);
    const qint64 id = t.field("id").asInteger();
    EXPECT_EQ(id, 42);
    EXPECT_EQ(stored("T_DJDCB", id, "zdbh"), "0030040001");
    EXPECT_EQ(stored("T_DJDCB", id, "ybdjh"), "0030040001");
    EXPECT_EQ(stored("T_DJDCB", id, "dcbh"), "3201020030040001");
    EXPECT_EQ(stored("T_DJDCB", id, "qhdm"), "02");
    EXPECT_EQ(stored("T_DJDCB", id, "jddm"), "003");
    EXPECT_EQ(stored("T_DJDCB", id, "jfdm"), "004");
    EXPECT_EQ(stored("T_DJDCB", id, "dwdm"), unit);
    EXPECT_EQ(stored("T_DJDCB", id, "qsdm"), unit);
    EXPECT_EQ(stored("T_DJDCB", id, "ysdm"), "250000");
    EXPECT_EQ(stored("T_DJDCB", id, "dclx"), QStringLiteral("初始"));
    EXPECT_EQ(stored("T_DJDCB", id, "dcrq"), numbering::todayText());
    EXPECT_EQ(stored("T_DJDCB", id, "bgrq"), "<null>");
    EXPECT_EQ(stored("T_DJDCB", id, "dcblx"), "0");
    // No row was shown, so nothing was remembered over what a surveyor's
    // last row left: the new row starts from the defaults.
    EXPECT_EQ(stored("T_DJDCB", id, "kzy"), "000");
    EXPECT_EQ(ini("KZY"), "<none>");
    EXPECT_EQ(stored("T_DJDCB", id, "qsdcjs"), "000");
    EXPECT_EQ(shown("DBEdit18"), "0030040001");
}

TEST_P(OpenTest, FillsTheCodeListsAndKeepsTheLandUseListsInStep)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    open(unit);
    const UseRightSheet *s = form->useRightSheet();
    EXPECT_EQ(s->surveyKindList->entries(), (QStringList{"初始", "变更"}));
    EXPECT_EQ(s->userNatureList->entries().size(), count("select count(*) from S_DWXZDM"));
    EXPECT_EQ(s->tenureList->entries().size(), count("select count(*) from S_QSXZ"));
    EXPECT_EQ(s->rightTypeList->entries().size(), count("select count(*) from S_GYLX"));
    const int classes = count("select count(*) from S_DLDM");
    ASSERT_GT(classes, 10);
    EXPECT_EQ(s->approvedUseCodeList->entries(), s->actualUseCodeList->entries());
    EXPECT_EQ(s->approvedUseList->entries(), s->actualUseList->entries());
    EXPECT_EQ(s->approvedUseCodeList->entries().size(), classes);
    EXPECT_EQ(s->approvedUseList->entries().size(), classes);
    // Position n is one code-table row in both lists.
    const int n = classes / 2;
    EXPECT_EQ(count("select count(*) from S_DLDM where DLDM = ? and DLMC = ?",
                    {s->approvedUseCodeList->entries()[n], s->approvedUseList->entries()[n]}),
              1);
}

TEST_P(OpenTest, StoresTheBoundaryPointCountOfTheOpeningRowUnderItsOwnUnitCode)
{
    const qint64 own = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"jzdgs", 9}});
    const qint64 sub = addSurvey({{"dwdm", unit + "01"}, {"zdbh", "0030040005"}, {"jzdgs", 1}});
    for (int i = 0; i < 3; ++i)
        addAttached("T_JZBSB", {{"zdbh", "0030040001"}, {"dwdm", unit}, {"xh", i + 1}});
    addAttached("T_JZBSB",
                {{"zdbh", "0030040001"}, {"dwdm", unit}, {"xh", 9}, {"bgrq", "20050301"}});
    // A sub-unit's row counts its markers under its own code, not the
    // session's: those under the session's code with its number are another parcel's.
    for (int i = 0; i < 4; ++i)
        addAttached("T_JZBSB", {{"zdbh", "0030040005"}, {"dwdm", unit + "01"}, {"xh", i + 1}});
    addAttached("T_JZBSB", {{"zdbh", "0030040005"}, {"dwdm", unit}, {"xh", 1}});

    open(unit, "0030040001");
    EXPECT_EQ(stored("T_DJDCB", own, "jzdgs"), "3");
    EXPECT_EQ(shown("DBEdit26"), "3");
    form.reset();

    open(unit, "0030040005");
    EXPECT_EQ(stored("T_DJDCB", sub, "jzdgs"), "4");
}

TEST_P(OpenTest, ShowsTheFinishedSheetFirstAndEveryActionWaitsForTheListsAndTheCount)
{
    const qint64 a = addSurvey({{"dwdm", unit},
                                {"zdbh", "0030040001"},
                                {"jzdgs", 9},
                                {"dwxz", QStringLiteral("国有企业")},
                                {"tdyt", QStringLiteral("住宅用地")}});
    const qint64 b = addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}, {"jzdgs", 5}});
    for (int i = 0; i < 3; ++i)
        addAttached("T_JZBSB", {{"zdbh", "0030040001"}, {"dwdm", unit}, {"xh", i + 1}});
    addAttached("T_JZBSB", {{"zdbh", "0030040002"}, {"dwdm", unit}, {"xh", 1}});
    const int dwxz = count("select count(*) from S_DWXZDM");
    const auto uncount = [this] {
        zarn::test::execAll(session->connection, {QStringLiteral("update T_DJDCB set jzdgs = 9")});
    };

    // Shown, the loop not yet run: the sheet shows the stored values and the
    // new count; the lists and writing the count wait.
    openBeforePaint(unit);
    form->show();
    ASSERT_TRUE(form->openingPending());
    EXPECT_TRUE(form->useRightSheet()->userNatureList->entries().isEmpty());
    EXPECT_EQ(stored("T_DJDCB", a, "jzdgs"), "9");
    EXPECT_EQ(shown("DBEdit26"), "3");
    EXPECT_EQ(shown("DBComboBox2"), QStringLiteral("国有企业"));
    EXPECT_EQ(shown("DBComboBox8"), QStringLiteral("住宅用地"));
    const QMap<QString, QString> texts = shownTexts();
    const QImage before = form->grab().toImage();
    form->finishOpening();
    EXPECT_FALSE(form->openingPending());
    EXPECT_EQ(form->useRightSheet()->userNatureList->entries().size(), dwxz);
    EXPECT_EQ(stored("T_DJDCB", a, "jzdgs"), "3");
    EXPECT_EQ(shownTexts(), texts);
    EXPECT_TRUE(form->grab().toImage() == before) << "the sheet changed after its first paint";
    form.reset();

    // On its own, the rest of the opening runs once the loop has shown the window.
    uncount();
    openBeforePaint(unit);
    form->show();
    for (int turn = 0; form->openingPending() && turn < 100; ++turn)
        QCoreApplication::processEvents();
    EXPECT_FALSE(form->openingPending());
    EXPECT_EQ(form->useRightSheet()->userNatureList->entries().size(), dwxz);
    EXPECT_EQ(stored("T_DJDCB", a, "jzdgs"), "3");
    form.reset();

    // Before it: a move stores the opening row's count, then the next row's.
    uncount();
    openBeforePaint(unit);
    form->next();
    EXPECT_EQ(current("zdbh"), "0030040002");
    EXPECT_EQ(stored("T_DJDCB", a, "jzdgs"), "3");
    EXPECT_EQ(stored("T_DJDCB", b, "jzdgs"), "1");
    EXPECT_EQ(form->useRightSheet()->userNatureList->entries().size(), dwxz);
    form.reset();

    // Closing at once leaves the count stored.
    uncount();
    openBeforePaint(unit);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(stored("T_DJDCB", a, "jzdgs"), "3");
    form.reset();

    // A digit typed into a list picks from the filled list, and the count
    // is stored before, not with, what the surveyor typed.
    uncount();
    openBeforePaint(unit);
    ui::DBComboBox *rights = form->useRightSheet()->tenureList;
    rights->setFocus();
    QTest::keyClicks(rights, "2");
    EXPECT_FALSE(form->openingPending());
    ASSERT_EQ(rights->entries().size(), count("select count(*) from S_QSXZ"));
    ASSERT_GE(rights->entries().size(), 2);
    EXPECT_EQ(current("qsxz"), rights->entries()[1]);
    EXPECT_EQ(stored("T_DJDCB", a, "jzdgs"), "3");
    EXPECT_EQ(stored("T_DJDCB", a, "qsxz"), "<null>");
    EXPECT_TRUE(messages->records.isEmpty()) << messages->records.value(0).text.toStdString();
    form.reset();

    // A code table that cannot be read ends the opening before its recount,
    // as it always did: said once, and the count neither stored nor left
    // waiting in the row.
    uncount();
    zarn::test::execAll(session->connection,
                        {QStringLiteral("alter table S_DLDM rename to s_dldm_away")});
    openBeforePaint(unit);
    form->finishOpening();
    EXPECT_EQ(messages->records.size(), 1);
    EXPECT_EQ(form->useRightSheet()->userNatureList->entries().size(), dwxz);
    EXPECT_EQ(stored("T_DJDCB", a, "jzdgs"), "9");
    EXPECT_FALSE(session->surveyRows.isEditing());
    EXPECT_EQ(shown("DBEdit26"), "9");
}

TEST_P(OpenTest, WideningSnapsBackAndClosingPostsOnlyWithAParcelNumber)
{
    const qint64 id = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"qlr", "甲"}});
    open(unit);
    form->show();
    form->resize(900, 674);
    EXPECT_EQ(form->frameGeometry().width(), 694); // the outer width
    form->resize(680, 300);
    EXPECT_EQ(form->width(), 680);

    Dataset &t = session->surveyRows;
    t.edit();
    t.setValue("qlr", QStringLiteral("乙"));
    form->close();
    EXPECT_EQ(stored("T_DJDCB", id, "qlr"), QStringLiteral("乙"));
    form.reset();

    open(unit);
    t.edit();
    t.setValue("qlr", QStringLiteral("丙"));
    t.setValue("zdbh", QString());
    form->close();
    EXPECT_EQ(stored("T_DJDCB", id, "qlr"), QStringLiteral("乙"));
    EXPECT_EQ(stored("T_DJDCB", id, "zdbh"), "0030040001");
}

TEST_P(OpenTest, BothFormsCloseQuietlyWhenTheirRowsDidNotLoad)
{
    // A survey database without the main table (a wrong file, a schema not
    // set up): the form says so once while opening, and closing it has
    // nothing to store.
    zarn::test::execAll(session->connection,
                        {QStringLiteral("alter table T_DJDCB rename to t_djdcb_away")});
    for (bool ownership : {false, true}) {
        SurveyForm &f = ownership ? static_cast<SurveyForm &>(openOwnership(unit))
                                  : static_cast<SurveyForm &>(open(unit));
        ASSERT_EQ(messages->records.size(), 1) << ownership;
        EXPECT_TRUE(messages->records[0].text.startsWith(QStringLiteral("本单位的调查表没有载入")))
            << messages->records[0].text.toStdString();
        EXPECT_TRUE(
            messages->records[0].text.contains(QStringLiteral("T_DJDCB"), Qt::CaseInsensitive));
        EXPECT_FALSE(session->surveyRows.isOpen());
        f.show();
        EXPECT_TRUE(f.close());
        EXPECT_FALSE(f.isVisible());
        EXPECT_EQ(messages->records.size(), 1) << messages->records.last().text.toStdString();
        messages->records.clear();
    }
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, OpenTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, OpenTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, OpenTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
