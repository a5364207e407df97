// The parcel locate dialog over a unit's rows: all columns in its width, and
// typing a parcel number finds the parcel's current version.
#include "../widgets/fixture.h"

#include "dialogs/locate_dialog.h"
#include "session/session_context.h"
#include "widgets/db_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

using namespace zarn;
using namespace zarn::ui;

namespace {

class LocateDialogTest : public zarn::test::WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        exec({QStringLiteral("create table t_p (id integer primary key, zdbh varchar(20), "
                             "dwdm varchar(12), jddm varchar(3), jfdm varchar(3), qlr "
                             "varchar(100), tdzl varchar(200), tdyt varchar(60), bgrq "
                             "varchar(8))"),
              // A parcel's older version comes before its current one, and
              // another unit has a parcel of the same number.
              QStringLiteral("insert into t_p (id, zdbh, dwdm, bgrq) values "
                             "(1, '0030040001', '320102003004', null), "
                             "(2, '0030040002', '320102003004', '20050301'), "
                             "(3, '0030040002', '320102003009', null), "
                             "(4, '0030040002', '320102003004', null), "
                             "(5, '0030040003', '320102003004', '20080101')"),
              QStringLiteral("with recursive c(x) as (select 6 union all select x + 1 from c "
                             "where x < 45) insert into t_p (id, zdbh, dwdm, qlr, tdzl, tdyt) "
                             "select x, printf('00500%05d', x), '320102005006', '某单位', "
                             "'南京市秦淮区某路', '城镇住宅用地' from c")});
        ds->setQuery({.table = QStringLiteral("t_p"), .order = {{.column = QStringLiteral("id")}}});
        ds->open();
        dialog = std::make_unique<LocateDialog>(session);
        dialog->rowSource->setDataset(ds.get());
        dialog->show();
        QApplication::processEvents();
    }

    void TearDown() override
    {
        dialog.reset();
        WidgetTest::TearDown();
    }

    // A session of the dialog's own; the grid is given the test's rows.
    SessionContext session;
    std::unique_ptr<LocateDialog> dialog;
};

TEST_F(LocateDialogTest, AllSevenColumnsFitTheWindowAndTheLastTakesTheRest)
{
    DBGrid *grid = dialog->grid;
    QHeaderView *header = grid->horizontalHeader();
    ASSERT_EQ(dialog->width(), 510);
    ASSERT_TRUE(grid->verticalScrollBar()->isVisible()); // a list longer than the window
    const auto fitsWhole = [&](int column, const QString &text) {
        return grid->fontMetrics().horizontalAdvance(text) < header->sectionSize(column);
    };
    const QString titles[] = {"宗地号",     "单位代码", "街道代码", "街坊代码",
                              "土地使用者", "土地坐落", "土地用途"};
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(fitsWhole(i, titles[i])) << titles[i].toStdString();
    EXPECT_TRUE(fitsWhole(0, "0030040002"));
    EXPECT_TRUE(fitsWhole(1, "320102003004"));
    const auto rightEdge = [&] { return header->sectionPosition(6) + header->sectionSize(6); };
    EXPECT_EQ(rightEdge(), grid->viewport()->width());
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);

    // Still resizable: a wider window widens the last column.
    const int lastBefore = header->sectionSize(6);
    dialog->resize(700, 380);
    QApplication::processEvents();
    EXPECT_EQ(header->sectionSize(6), lastBefore + 190);
    EXPECT_EQ(rightEdge(), grid->viewport()->width());
}

TEST_F(LocateDialogTest, TypingAParcelNumberLandsOnItsCurrentVersion)
{
    DBGrid *grid = dialog->grid;
    grid->setSearchPause(50);
    focus(grid);
    typeText(grid, "0030040002"); // not the older version first in the list, nor another unit's
    EXPECT_EQ(ds->field("id").asInteger(), 4);

    QTest::qWait(120);
    typeText(grid, "003004"); // a prefix: the first parcel it selects, already current
    EXPECT_EQ(ds->field("id").asInteger(), 1);

    QTest::qWait(120);
    typeText(grid, "0030040003"); // no current version: the first row of the parcel
    EXPECT_EQ(ds->field("id").asInteger(), 5);
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
}

TEST_F(LocateDialogTest, ItOpensInTheMiddleOfTheScreenNotOverItsForm)
{
    // The form that opens it sits in a corner of the screen.
    window->setGeometry(0, 0, 300, 200);
    LocateDialog owned(session, window.get());
    owned.rowSource->setDataset(ds.get());
    owned.show();
    QApplication::processEvents();
    const QRect area = owned.screen()->availableGeometry();
    const QPoint off = owned.frameGeometry().center() - area.center();
    EXPECT_LE(off.manhattanLength(), 2) << off.x() << "," << off.y();
    EXPECT_GT((owned.frameGeometry().center() - window->frameGeometry().center()).manhattanLength(),
              100);
}

} // namespace
