// The survey sheets' four editor buttons: when each opens its editor, what it
// hands over, and the counts taken afterwards, on both survey forms.
#include "form_fixture.h"

#include "editors/boundary_marker_editor.h"
#include "editors/co_user_editor.h"
#include "forms/survey_sheet.h"
#include "widgets/db_edit.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace zarn;
using namespace zarn::editors;

namespace {

// What an editor was opened with.
struct Opened {
    QString editor;
    QString zdbh;
    QString bgrq;
    bool changedMode = false;
    QString label43;
    QString unit;  // the unit code it read and stored rows under
    int rows = -1; // the rows it listed on opening
};

class EditorButtonTest : public zarn::test::FormTest {
protected:
    const QString unit = QStringLiteral("320102001001");

    // Presses a sheet button; an editor it opens is looked at, `inside` is
    // done in it, and it is closed.
    std::optional<Opened> press(QPushButton *button,
                                const std::function<void(AttachedEditor *)> &inside = {})
    {
        std::optional<Opened> seen;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *editor = qobject_cast<AttachedEditor *>(QApplication::activeModalWidget());
            if (!editor || !editor->isVisible()) return;
            Opened o{.editor = editor->metaObject()->className(),
                     .zdbh = editor->parcelNumber,
                     .bgrq = editor->changeDate,
                     .changedMode = editor->isChangedMode(),
                     .label43 = {},
                     .unit = editor->unitCode(),
                     .rows = editor->dataset().recordCount()};
            if (auto *gy = qobject_cast<CoUserEditor *>(editor))
                o.label43 = gy->apportionedAreaLabel->text();
            seen = o;
            if (inside) inside(editor);
            editor->close();
        });
        poll.start();
        button->click();
        poll.stop();
        return seen;
    }
    void markers(const QString &zdbh, int n, const QString &dwdm = {})
    {
        for (int i = 1; i <= n; ++i)
            addAttached("T_JZBSB",
                        {{"zdbh", zdbh}, {"dwdm", dwdm.isEmpty() ? unit : dwdm}, {"xh", i}});
    }
};

TEST_P(EditorButtonTest, TheMarkerEditorWaitsForAPointCountAndTheCountFollowsTheStoredMarkers)
{
    openOwnership(unit);
    SurveySheet *s = syq->sheet();
    syq->newButton->click(); // a new row: 界址点个数 0
    const QString zdbh = current("zdbh");
    markers(zdbh, 6);
    EXPECT_FALSE(press(s->markerButton));

    session->surveyRows.edit();
    session->surveyRows.setValue("jzdgs", "4");
    const std::optional<Opened> o = press(s->markerButton);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->editor, "BoundaryMarkerEditor");
    EXPECT_EQ(o->zdbh, zdbh);
    EXPECT_FALSE(o->changedMode);
    EXPECT_EQ(s->boundaryPointCountEdit->text(), "6");
    EXPECT_EQ(session->surveyRows.state(), Dataset::State::Edit); // not posted

    // An empty count becomes 0, and the editor stays closed.
    session->surveyRows.setValue("jzdgs", QString());
    EXPECT_FALSE(press(s->markerButton));
    EXPECT_EQ(s->boundaryPointCountEdit->text(), "0");

    // Another form on the parcel recounted the same markers and closed
    // first: closing this one finds its count stored, which is no conflict.
    session->surveyRows.setValue("jzdgs", "4");
    EXPECT_EQ(press(s->markerButton)->editor, "BoundaryMarkerEditor");
    Dataset other(&session->connection);
    other.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("zdbh = ?")},
                   {zdbh});
    other.open();
    other.edit();
    other.setValue("jzdgs", 6);
    other.setValue("qsmc", QStringLiteral("另一窗口"));
    other.post();
    EXPECT_TRUE(syq->close());
    EXPECT_TRUE(messages->records.isEmpty()) << messages->records.value(0).text.toStdString();
    EXPECT_EQ(session->surveyRows.text("qsmc"), QStringLiteral("另一窗口"));
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from T_DJDCB where zdbh = ? and jzdgs = 6"), {zdbh}),
        1);
}

TEST_P(EditorButtonTest, TheCoUserEditorOpensOnAnEmptyCountWithTheFormsLabel)
{
    const qint64 id = addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}});
    addAttached("T_GYQ", {{"zdbh", "0010010001"}, {"dwdm", unit}});
    addAttached("T_GYQ", {{"zdbh", "0010010001"}, {"dwdm", unit}});
    open(unit, "0010010001");
    std::optional<Opened> o = press(form->useRightSheet()->coUserButton);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->editor, "CoUserEditor");
    EXPECT_EQ(o->label43, QStringLiteral("分摊土地面积"));
    EXPECT_EQ(current("qlrzs"), "2");
    form->close();
    form.reset();

    openOwnership(unit);
    o = press(syq->sheet()->coUserButton);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->label43, QStringLiteral("分摊土地系数"));
    EXPECT_EQ(stored("T_DJDCB", id, "qlrzs"), "2"); // stored by the first form's close
}

TEST_P(EditorButtonTest, AChangedRowOpensEveryEditorReadOnlyAndCountsNothing)
{
    addSurvey({{"dwdm", unit},
               {"zdbh", "0010010001"},
               {"bgrq", " 20050612"},
               {"jzdgs", "3"},
               {"qlrzs", "1"}});
    markers("0010010001", 5);
    open(unit);
    Dataset &t = session->surveyRows;
    t.edit();
    t.setValue("jzdgs", "3"); // the sheet's own count, not the markers'
    t.post();
    QStringList editors;
    for (QPushButton *b :
         {form->useRightSheet()->markerButton, form->useRightSheet()->designationButton,
          form->useRightSheet()->coUserButton, form->useRightSheet()->fourSidesButton}) {
        const std::optional<Opened> o = press(b);
        ASSERT_TRUE(o);
        editors << o->editor;
        EXPECT_TRUE(o->changedMode) << o->editor.toStdString();
        // Trimmed for all but the designation editor.
        EXPECT_EQ(o->bgrq, o->editor == "BoundaryDesignationEditor" ? " 20050612" : "20050612");
    }
    EXPECT_EQ(editors, (QStringList{"BoundaryMarkerEditor", "BoundaryDesignationEditor",
                                    "CoUserEditor", "FourSidesEditor"}));
    EXPECT_EQ(current("jzdgs"), "3");
    EXPECT_EQ(current("qlrzs"), "1");
}

// A street's session lists the parcels of all its units: each row is counted
// and edited under its own unit code, never the street's.
TEST_P(EditorButtonTest, AStreetSessionCountsAndEditsEachRowUnderItsOwnUnit)
{
    const QString street = QStringLiteral("320102001");
    const qint64 id =
        addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}, {"jzdgs", "9"}, {"qlrzs", "0"}});
    markers("0010010001", 9);
    markers("0010010001", 2, street); // stray rows under the street's code
    addAttached("T_GYQ", {{"zdbh", "0010010001"}, {"dwdm", unit}});
    open(street, "0010010001");
    Dataset &t = session->surveyRows;
    EXPECT_EQ(stored("T_DJDCB", id, "jzdgs"), "9"); // the opening's count

    t.edit();
    t.setValue("jzdgs", "2");
    std::optional<Opened> o = press(form->useRightSheet()->markerButton,
                                    [](AttachedEditor *e) { e->newButton->click(); });
    ASSERT_TRUE(o);
    EXPECT_EQ(o->unit, unit);
    EXPECT_EQ(o->rows, 9);
    EXPECT_EQ(count("select count(*) from T_JZBSB where dwdm = ?", {unit}), 10);
    EXPECT_EQ(count("select count(*) from T_JZBSB where dwdm = ?", {street}), 2);
    EXPECT_EQ(current("jzdgs"), "10");
    o = press(form->useRightSheet()->coUserButton);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->rows, 1);
    EXPECT_EQ(current("qlrzs"), "1");
    // The designation and four-sides editors work under it too, and count nothing.
    for (QPushButton *b :
         {form->useRightSheet()->designationButton, form->useRightSheet()->fourSidesButton})
        EXPECT_EQ(press(b)->unit, unit);
    EXPECT_EQ(current("jzdgs"), "10");
    EXPECT_TRUE(form->close());
    EXPECT_EQ(stored("T_DJDCB", id, "jzdgs"), "10");
    form.reset();

    // The ownership form alike.
    openOwnership(street);
    o = press(syq->sheet()->markerButton);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->rows, 10);
    EXPECT_EQ(current("jzdgs"), "10");

    // With no parcel number nothing opens.
    session->surveyRows.setValue("zdbh", QString());
    for (QPushButton *b : {syq->sheet()->markerButton, syq->sheet()->designationButton,
                           syq->sheet()->coUserButton, syq->sheet()->fourSidesButton})
        EXPECT_FALSE(press(b));
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, EditorButtonTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, EditorButtonTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
