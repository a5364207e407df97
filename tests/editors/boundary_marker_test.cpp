// The boundary marker editor's own features: numbering on new, delete and
// insert, the level carried from the shown marker, the context menu, the
// protected side-length column, and renumberings that stand or fall whole.
#include "editor_fixture.h"

#include "data/connection.h"
#include "data/statement_runner.h"
#include "editors/boundary_marker_editor.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"
#include "widgets/speed_button.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>

using namespace zarn;
using namespace zarn::test;

namespace {

class MarkerEditorTest : public EditorTest {
protected:
    void open(const QString &bgrq = {}) { openEditor(EditorKind::JZBS, bgrq); }
    BoundaryMarkerEditor &e() { return static_cast<BoundaryMarkerEditor &>(*editor); }
    void addMarkers(const QList<int> &numbers, const QString &bgrq = {})
    {
        for (int xh : numbers)
            addRow(EditorKind::JZBS, ++m_id,
                   {{"xh", xh},
                    {"jzdtbh", QStringLiteral("J%1").arg(xh)},
                    {"tzjb", 2},
                    {"bgrq", bgrq.isEmpty() ? QVariant() : QVariant(bgrq)}});
    }
    // The parcel's current markers as the database holds them: "unified number:XH" by XH.
    QStringList storedMarkers()
    {
        Dataset q(&session->connection);
        runQuery(q,
               QStringLiteral("select * from T_JZBSB where zdbh = ? and bgrq is null order by xh"),
               {parcel});
        QStringList out;
        for (int r = 0; r < q.recordCount(); ++r)
            out << Dataset::textOf(q.valueAt(r, q.indexOf("jzdtbh"))) + ':' +
                       Dataset::textOf(q.valueAt(r, q.indexOf("xh")));
        return out;
    }
    // The same as the editor lists them.
    QStringList listed()
    {
        QStringList out;
        for (int r = 0; r < rows().recordCount(); ++r)
            out << Dataset::textOf(rows().valueAt(r, rows().indexOf("jzdtbh"))) + ':' +
                       Dataset::textOf(rows().valueAt(r, rows().indexOf("xh")));
        return out;
    }
    qint64 m_id = 0;
};

TEST_P(MarkerEditorTest, NewMarkersNumberOnFromTheHighestWithTheShownLevel)
{
    open();
    EXPECT_EQ(rows().text("XH"), "1");
    EXPECT_EQ(rows().text("TZJB"), "1");
    e().deleteButton->click();

    addMarkers({1, 2, 5});
    open();
    e().lastButton->click(); // level 2 shown
    e().newButton->click();
    EXPECT_EQ(storedMarkers(), QStringList({"J1:1", "J2:2", "J5:5", ":6"}));
    EXPECT_EQ(rows().text("TZJB"), "2");

    // A level that is no number stops the addition before any row is made.
    e().nestingLevelEdit->setText(QStringLiteral("二"));
    e().newButton->click();
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_FALSE(messages->records[1].plain);
    EXPECT_TRUE(messages->records[1].text.contains(QStringLiteral("二")));
    EXPECT_EQ(rows().recordCount(), 4);
}

TEST_P(MarkerEditorTest, DeleteRenumbersOneToNAndInsertShiftsTheRest)
{
    addMarkers({1, 2, 5, 6});
    open();
    e().nextButton->click();
    e().deleteButton->click(); // J2
    EXPECT_EQ(storedMarkers(), QStringList({"J1:1", "J5:2", "J6:3"}));
    EXPECT_EQ(listed(), storedMarkers());

    // Five markers, the third current: the new one takes 3, the old 3, 4, 5 move up.
    addMarkers({4, 5});
    open();
    e().nextButton->click();
    e().nextButton->click();
    ASSERT_EQ(rows().text("jzdtbh"), "J6");
    e().insertBeforeCurrent();
    EXPECT_EQ(storedMarkers(), QStringList({"J1:1", "J5:2", ":3", "J6:4", "J4:5", "J5:6"}));
    EXPECT_EQ(listed(), storedMarkers());
    EXPECT_EQ(rows().recNo(), 0);
    EXPECT_EQ(messages->records.size(), 1); // the confirmation of the delete only
}

TEST_P(MarkerEditorTest, AFailurePartWayLeavesTheMarkersAsTheyWere)
{
    addMarkers({1, 2, 3, 4});
    open();
    // Another workstation renumbers the last marker meanwhile: this editor's
    // renumbering fails on it after two markers.
    auto other = db->open();
    {
        Dataset q(other.get());
        runStatement(q, QStringLiteral("update T_JZBSB set xh = 40 where jzdtbh = ?"), {"J4"});
    }
    const QStringList before = storedMarkers();
    e().deleteButton->click(); // J1, then 2 -> 1, 3 -> 2, 40 fails
    ASSERT_EQ(messages->records.size(), 2);
    EXPECT_FALSE(messages->records[1].plain); // the error itself
    EXPECT_EQ(storedMarkers(), before);
    EXPECT_EQ(listed(), before); // the list was read again
    EXPECT_EQ(rows().text("jzdtbh"), "J1");

    // The same for an insertion (the shift would write 41 over the 40 read
    // again: another number than that).
    {
        Dataset q(other.get());
        runStatement(q, QStringLiteral("update T_JZBSB set xh = 45 where jzdtbh = ?"), {"J4"});
    }
    e().nextButton->click();
    e().insertAction->trigger();
    EXPECT_EQ(messages->records.size(), 3);
    EXPECT_EQ(storedMarkers(), QStringList({"J1:1", "J2:2", "J3:3", "J4:45"}));
    EXPECT_EQ(rows().text("jzdtbh"), "J2");

    // Once the list is read again both go through.
    e().deleteButton->click();
    EXPECT_EQ(storedMarkers(), QStringList({"J1:1", "J3:2", "J4:3"}));
}

TEST_P(MarkerEditorTest, TheMenuAndTheGridFollowTheModeAndTheComputedColumn)
{
    open(QStringLiteral("20050301"));
    e().updateContextMenu();
    EXPECT_FALSE(e().insertAction->isEnabled()); // an empty list
    EXPECT_FALSE(e().deleteAction->isEnabled());

    addMarkers({1, 2}, QStringLiteral("20050301"));
    open(QStringLiteral("20050301"));
    e().updateContextMenu();
    EXPECT_FALSE(e().insertAction->isEnabled()); // changed mode
    const int fsbc = 8, tzjb = 10;
    ASSERT_EQ(e().grid->columns().value(fsbc).field, "FSBC");
    e().grid->setCurrentIndex(e().grid->model()->index(0, fsbc));
    e().grid->setCurrentIndex(e().grid->model()->index(0, tzjb));
    EXPECT_TRUE(e().grid->isReadOnly());

    addMarkers({1, 2});
    open();
    e().updateContextMenu();
    EXPECT_TRUE(e().insertAction->isEnabled());
    EXPECT_TRUE(e().deleteAction->isEnabled());
    e().grid->setCurrentIndex(e().grid->model()->index(0, fsbc));
    EXPECT_TRUE(e().grid->isReadOnly());
    e().grid->setCurrentIndex(e().grid->model()->index(0, tzjb));
    EXPECT_FALSE(e().grid->isReadOnly());
    // A right click on the current cell, where the cell editor stays open,
    // opens the grid's menu, not the editor's text menu.
    e().pages->setCurrentWidget(e().browsePage);
    const QModelIndex cell = e().grid->model()->index(0, tzjb);
    e().grid->setCurrentIndex(cell);
    if (!e().grid->isEditing()) e().grid->edit(cell);
    auto *cellEditor = e().grid->viewport()->findChild<QLineEdit *>();
    ASSERT_TRUE(cellEditor && cellEditor->isVisible());
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2),
                            cellEditor->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(cellEditor, &click);
    EXPECT_TRUE(e().contextMenu->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), e().contextMenu);
    e().contextMenu->hide();
    // The menu's Delete is the Delete button.
    e().deleteAction->trigger();
    EXPECT_EQ(storedMarkers(), QStringList({"J2:1"}));
}

INSTANTIATE_TEST_SUITE_P(Sqlite, MarkerEditorTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, MarkerEditorTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
