// What the four editors share: opening a parcel, the keys and ID of a new row,
// the parcel-number guard, changed mode, deleting, the digit picker and Enter.
#include "editor_fixture.h"

#include "widgets/db_combo_box.h"
#include "widgets/db_grid.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace zarn;
using namespace zarn::test;
using ui::MessageIcon;

namespace {

const QString kEmptyParcel = QStringLiteral("地籍号不能为空，请输入数值再保存！");

class EditorCoreTest : public EditorTest {};

TEST_P(EditorCoreTest, AnEmptyParcelOpensOnOneNewRowWithItsKeysStoredAtOnceOnlyByTheMarkerEditor)
{
    session->kind = 1;
    for (EditorKind kind : kAllEditors) {
        SCOPED_TRACE(editorName(kind));
        const bool atOnce = kind == EditorKind::JZBS;
        openEditor(kind);
        ASSERT_EQ(rows().recordCount(), 1);
        EXPECT_EQ(rows().text("ZDBH"), parcel);
        EXPECT_EQ(rows().text("DWDM"), unit);
        EXPECT_TRUE(rows().field("BGRQ").isNull());
        EXPECT_EQ(rows().text("DCRQ"), surveyDate);
        EXPECT_EQ(rows().field("ID").asInteger(), 1); // the first row of an empty table
        EXPECT_EQ(rows().field("DCBLX").asInteger(), 1);
        EXPECT_EQ(storedRows(kind), atOnce ? 1 : 0);
        // Closed without a save or a move, a pending row is not stored.
        editor->exitButton->click();
        EXPECT_FALSE(editor->isVisible());
        EXPECT_EQ(storedRows(kind), atOnce ? 1 : 0);

        // The next ID is taken over the whole table, whatever the parcel.
        addAttached(QLatin1String(tableOf(kind)), {{"id", 41}, {"zdbh", "9"}, {"dwdm", unit}});
        openEditor(kind);
        if (atOnce) editor->newButton->click(); // the marker stored before is listed
        EXPECT_EQ(rows().field("ID").asInteger(), 42);
        if (!atOnce) {
            editor->nextButton->click(); // a move stores it
            EXPECT_EQ(storedRows(kind), 1);
            EXPECT_EQ(stored(QLatin1String(tableOf(kind)), 42, "zdbh"), parcel);
        }
    }
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(EditorCoreTest, ABlankParcelNumberOrAnEmptyListStopsMovesAndSave)
{
    for (EditorKind kind : kAllEditors) {
        SCOPED_TRACE(editorName(kind));
        addRow(kind, 1);
        addRow(kind, 2);
        openEditor(kind);
        editor->nextButton->click();
        ASSERT_EQ(rows().recNo(), 1);
        rows().edit();
        rows().setValue("ZDBH", "  ");
        messages->records.clear();
        for (ui::SpeedButton *b : {editor->firstButton, editor->previousButton, editor->saveButton})
            b->click();
        EXPECT_EQ(messages->records.size(), 3);
        for (const auto &r : messages->records) {
            EXPECT_TRUE(r.plain);
            EXPECT_EQ(r.text, kEmptyParcel);
        }
        EXPECT_EQ(rows().recNo(), 1);
        EXPECT_EQ(stored(QLatin1String(tableOf(kind)), 2, "zdbh"), parcel);

        // A change date without rows: an empty list, nothing added, nothing to delete.
        messages->records.clear();
        openEditor(kind, "20010101");
        EXPECT_TRUE(rows().isEmpty());
        editor->nextButton->click();
        editor->lastButton->click();
        editor->remove();
        // The four-sides editor's last button has no guard.
        EXPECT_EQ(messages->records.size(), kind == EditorKind::SZ ? 1 : 2);
        execAll(session->connection, {QStringLiteral("delete from %1").arg(tableOf(kind))});
    }
}

TEST_P(EditorCoreTest, AChangedVersionIsReadOnlyButItsRowsCanBeBrowsed)
{
    for (EditorKind kind : kAllEditors) {
        SCOPED_TRACE(editorName(kind));
        addRow(kind, 1);
        addRow(kind, 2, {{"bgrq", "20050301"}});
        addRow(kind, 3, {{"bgrq", "20050301"}});
        openEditor(kind, "20050301");
        EXPECT_TRUE(editor->isChangedMode());
        EXPECT_EQ(rows().recordCount(), 2);
        EXPECT_FALSE(editor->container->isEnabled());
        EXPECT_TRUE(editor->grid->isReadOnly());
        EXPECT_FALSE(editor->newButton->isEnabled());
        EXPECT_FALSE(editor->deleteButton->isEnabled());
        EXPECT_FALSE(editor->saveButton->isEnabled());
        EXPECT_TRUE(editor->exitButton->isEnabled());
        editor->lastButton->click();
        EXPECT_EQ(rows().field("ID").asInteger(), 3);
        editor->previousButton->click();
        EXPECT_EQ(rows().field("ID").asInteger(), 2);

        // The same editor object in current mode again edits.
        editor->changeDate.clear();
        editor->load();
        EXPECT_TRUE(editor->container->isEnabled());
        EXPECT_FALSE(editor->grid->isReadOnly());
        EXPECT_TRUE(editor->saveButton->isEnabled());
        execAll(session->connection, {QStringLiteral("delete from %1").arg(tableOf(kind))});
    }
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(EditorCoreTest, DeleteAsksFirstAndCancelKeepsTheRow)
{
    for (EditorKind kind : kAllEditors) {
        SCOPED_TRACE(editorName(kind));
        addRow(kind, 1);
        addRow(kind, 2);
        openEditor(kind);
        messages->records.clear();
        messages->answers = {ui::Cancel, ui::Ok};
        editor->deleteButton->click();
        ASSERT_EQ(messages->records.size(), 1);
        const auto &box = messages->records[0];
        EXPECT_EQ(box.text, QStringLiteral("确信删除所显示的记录内容吗?"));
        EXPECT_EQ(box.caption, QStringLiteral("确信删除界面"));
        EXPECT_EQ(box.icon, MessageIcon::Question);
        EXPECT_EQ(box.buttons, ui::Ok | ui::Cancel);
        EXPECT_EQ(storedRows(kind), 2);
        editor->deleteButton->click();
        EXPECT_EQ(storedRows(kind), 1);
        EXPECT_EQ(rows().recordCount(), 1);
        EXPECT_EQ(stored(QLatin1String(tableOf(kind)), 1, "id"), "<no row>");
        execAll(session->connection, {QStringLiteral("delete from %1").arg(tableOf(kind))});
    }
}

TEST_P(EditorCoreTest, ADigitPicksThatEntryOfAPickerListOnly)
{
    openEditor(EditorKind::JZBS);
    auto *kinds = editor->comboBox("DBComboBox3");
    const QStringList entries = kinds->entries();
    ASSERT_GE(entries.size(), 3); // from S_JBLX
    kinds->setFocus();
    QTest::keyClicks(kinds, "3");
    EXPECT_EQ(rows().text("JBLX"), entries[2]);
    for (const char *digit : {"0", "9"}) {
        kinds->lineEdit()->clear();
        QTest::keyClicks(kinds, digit);
        EXPECT_EQ(rows().text("JBLX"), QLatin1String(digit)); // left as typed
    }

    openEditor(EditorKind::SZ);
    auto *direction = editor->comboBox("DBComboBox1");
    EXPECT_EQ(direction->entries(), QStringList({"东", "南", "西", "北"}));
    QTest::keyClicks(direction, "4");
    EXPECT_EQ(rows().text("FWSX"), QStringLiteral("北"));
    direction->lineEdit()->clear();
    QTest::keyClicks(direction, "5");
    EXPECT_EQ(rows().text("FWSX"), "5");

    openEditor(EditorKind::GY);
    auto *landUse = editor->comboBox("DBComboBox2");
    ASSERT_GE(landUse->entries().size(), 2);
    QTest::keyClicks(landUse, "2");
    EXPECT_EQ(rows().text("TDYT"), "2"); // no picker here
    auto *nature = editor->comboBox("DBComboBox1");
    QTest::keyClicks(nature, "2");
    EXPECT_EQ(rows().text("TDSYZXZ"), nature->entries().value(1));
    EXPECT_EQ(editor->grid->columns().value(3).pickList, nature->entries());
}

TEST_P(EditorCoreTest, EnterWalksTheEntryPageAndStopsOrJumpsWhereTheEditorSays)
{
    auto walk = [this](const QStringList &chain) {
        for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
            editor->control(chain[i])->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QWidget *now = QApplication::focusWidget();
            if (now && qobject_cast<ui::DBComboBox *>(now->parentWidget()))
                now = now->parentWidget();
            EXPECT_EQ(now ? now->objectName() : QString(), chain[i + 1]) << chain[i].toStdString();
        }
    };
    openEditor(EditorKind::JZBS);
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
    // The remark ends the chain; the level after it in tab order leads back to the start.
    walk({"EditF", "EditF2", "EditF3", "DBComboBox3", "EditF4", "DBComboBox11", "DBComboBox2",
          "EditF7", "EditF7"});
    walk({"EditF1", "EditF"});

    openEditor(EditorKind::GY);
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
    walk({"DBEdit25", "DBEdit26", "EditF11", "EditF12", "DBComboBox2", "EditF14"});
    walk({"EditF18", "EditF21", "EditF21"});
    EXPECT_TRUE(editor->isVisible()); // Enter never closes the editor
}

INSTANTIATE_TEST_SUITE_P(Sqlite, EditorCoreTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, EditorCoreTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
