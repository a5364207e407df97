// The designation editor's date and carry-over, the four-sides editor's
// reload on activation, the co-ownership editor's label that callers set.
#include "editor_fixture.h"

#include "editors/boundary_designation_editor.h"
#include "editors/co_user_editor.h"
#include "editors/four_sides_editor.h"
#include "schema/numbering.h"
#include "widgets/db_edit.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace zarn;
using namespace zarn::test;

namespace {

class EditorFeaturesTest : public EditorTest {
protected:
    // Makes a window the active one and waits until the widgets heard of it.
    static bool activate(QWidget *w)
    {
        w->activateWindow();
        return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; });
    }
};

TEST_P(EditorFeaturesTest, DesignationRowsAreDatedTodayAndNextRecordCarriesTheNamesOver)
{
    openEditor(EditorKind::ZJ);
    EXPECT_EQ(shownIn("DBEdit14"), numbering::todayText());
    editor->close();

    addRow(EditorKind::ZJ, 1, {{"lzdzdbh", "旧邻宗"}, {"lzzjrxm", "甲"}});
    addRow(EditorKind::ZJ, 2, {{"lzzjrxm", "乙"}, {"bzzjrxm", "丙"}});
    openEditor(EditorKind::ZJ);
    auto &zj = static_cast<BoundaryDesignationEditor &>(*editor);
    rows().edit();
    rows().setValue("lzdzdbh", QStringLiteral("人民路"));
    rows().setValue("lzzjrxm", QString());
    zj.nextRowButton->click();
    // Only the neighbour was filled in: the next row's names stay.
    EXPECT_EQ(rows().field("ID").asInteger(), 2);
    EXPECT_EQ(stored("T_ZJB", 1, "lzdzdbh"), QStringLiteral("人民路")); // posted by the move
    EXPECT_EQ(stored("T_ZJB", 2, "lzdzdbh"), QStringLiteral("人民路"));
    EXPECT_EQ(stored("T_ZJB", 2, "lzzjrxm"), QStringLiteral("乙"));
    EXPECT_EQ(stored("T_ZJB", 2, "bzzjrxm"), QStringLiteral("丙"));
    // On the last row the texts go back into it and it is stored.
    rows().edit();
    rows().setValue("bzzjrxm", QStringLiteral("丁"));
    zj.nextRowButton->click();
    EXPECT_EQ(rows().field("ID").asInteger(), 2);
    EXPECT_EQ(stored("T_ZJB", 2, "bzzjrxm"), QStringLiteral("丁"));
    EXPECT_FALSE(rows().isEditing());

    openEditor(EditorKind::ZJ, QStringLiteral("20050301"));
    EXPECT_FALSE(
        static_cast<BoundaryDesignationEditor &>(*editor).nextRowButton->isEnabledTo(nullptr));
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(EditorFeaturesTest, FourSidesReloadWhenComingBackFromAnotherWindowNotFromTheirOwnBoxes)
{
    QWidget surveyForm;
    surveyForm.show();
    addRow(EditorKind::SZ, 1, {{"jzdstart", "1"}});
    openEditor(EditorKind::SZ);
    ASSERT_TRUE(activate(editor.get()));
    auto typeStart = [this] {
        rows().edit();
        rows().setValue("jzdstart", QStringLiteral("typed"));
    };
    typeStart();

    // One of the editor's own windows comes and goes (the editor is active
    // again while it still exists, and once it is gone): the typing stays.
    for (int round = 0; round < 2; ++round) {
        {
            QDialog box(editor.get());
            box.show();
            ASSERT_TRUE(activate(&box));
            box.hide();
            if (round == 0) {
                ASSERT_TRUE(activate(editor.get()));
            }
        }
        ASSERT_TRUE(activate(editor.get()));
        EXPECT_EQ(shownIn("DBEdit3"), QStringLiteral("typed"));
    }

    // Back from another window of the component: the list is read again.
    ASSERT_TRUE(activate(&surveyForm));
    ASSERT_TRUE(activate(editor.get()));
    EXPECT_EQ(shownIn("DBEdit3"), "1");
    EXPECT_FALSE(rows().isEditing());
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(EditorFeaturesTest, TheCoOwnershipLabelKeepsWhatTheCallerSetBeforeShowing)
{
    auto gy = std::make_unique<CoUserEditor>(*session);
    EXPECT_EQ(gy->apportionedAreaLabel->text(), QStringLiteral("分摊土地面积"));
    gy->apportionedAreaLabel->setText(QStringLiteral("分摊土地系数"));
    gy->parcelNumber = parcel;
    gy->show();
    EXPECT_EQ(gy->apportionedAreaLabel->text(), QStringLiteral("分摊土地系数"));
    EXPECT_EQ(gy->apportionedAreaLabel->buddy(), gy->control("EditF17"));
}

INSTANTIATE_TEST_SUITE_P(Sqlite, EditorFeaturesTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, EditorFeaturesTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
