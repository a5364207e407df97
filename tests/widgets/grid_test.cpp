// The grid over a dataset: its model, the current row as the dataset's cursor,
// editing in cells, keyboard search, and a large dataset.
#include "fixture.h"

#include "data/errors.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <set>

using namespace zarn;
using namespace zarn::ui;
using zarn::test::WidgetTest;

namespace {

// Remembers which rows a view asked for.
class CountingModel : public DatasetModel {
public:
    using DatasetModel::DatasetModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.isValid()) rowsAsked.insert(index.row());
        return DatasetModel::data(index, role);
    }
    mutable std::set<int> rowsAsked;
};

class GridTest : public WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        grid = new DBGrid(QStringLiteral("DBGrid1"), window.get());
        grid->resize(380, 280);
        grid->setDataSource(source.get());
        grid->setColumns({{"zdbh", QStringLiteral("宗地号"), 60, {}, false},
                          {"qlr", QStringLiteral("土地使用者"), 90, {}, false},
                          {"n", QString(), 40, {}, false},
                          {"dclx", QStringLiteral("调查类型"), 80, {"初始", "变更"}, false}});
        grid->show();
    }

    // Types into the grid: the first key opens the cell editor, the rest go to it.
    void typeIntoCell(const QString &text)
    {
        typeText(grid, text.left(1));
        QWidget *editor = QApplication::focusWidget();
        ASSERT_NE(editor, grid);
        if (text.size() > 1) typeText(editor, text.mid(1));
    }

    QPoint cellCentre(int row, int column)
    {
        return grid->visualRect(grid->model()->index(row, column)).center();
    }

    DBGrid *grid = nullptr;
};

TEST_F(GridTest, TheModelFollowsTheDatasetsRows)
{
    QAbstractItemModel *m = grid->model();
    // Qt's own check of a model: each change announced while the rows are
    // still as they were, and done once they have changed.
    QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(m->rowCount(), 3);
    EXPECT_EQ(m->columnCount(), 4);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "宗地号");
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "n"); // no title: the field's name
    EXPECT_EQ(m->data(m->index(1, 1)).toString(), "李四");
    EXPECT_EQ(m->data(m->index(1, 2)).toString(), "");

    ds->append();
    EXPECT_EQ(m->rowCount(), 4);
    ds->cancel();
    EXPECT_EQ(m->rowCount(), 3);
    ds->moveTo(1);
    ds->insert();
    EXPECT_EQ(m->rowCount(), 4);
    ds->setValue("id", 20);
    ds->setValue("zdbh", QStringLiteral("001A"));
    ds->post();
    EXPECT_EQ(m->data(m->index(1, 0)).toString(), "001A");
    EXPECT_EQ(m->data(m->index(2, 0)).toString(), "002");
    ds->remove();
    EXPECT_EQ(m->rowCount(), 3);
    EXPECT_EQ(m->data(m->index(1, 0)).toString(), "002");

    exec({QStringLiteral("insert into t_w (id, zdbh) values (10, '010'), (11, '011')")});
    ds->refresh();
    EXPECT_EQ(m->rowCount(), 5);
    ds->close();
    EXPECT_EQ(m->rowCount(), 0);
    ds->open();
    EXPECT_EQ(m->rowCount(), 5);

    // A change by code shows in its cell.
    ds->first();
    ds->edit();
    ds->setValue("qlr", QStringLiteral("周九"));
    EXPECT_EQ(m->data(m->index(0, 1)).toString(), "周九");
    ds->cancel();
    EXPECT_EQ(m->data(m->index(0, 1)).toString(), "张三");

    // Without columns of its own the grid shows all of the dataset's.
    grid->setColumns({});
    EXPECT_EQ(m->columnCount(), ds->fieldCount());
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString().toLower(), "id");
}

TEST_F(GridTest, TheCurrentRowIsTheDatasetsCursorBothWays)
{
    QSignalSpy columns(grid, &DBGrid::currentColumnChanged);
    EXPECT_EQ(grid->currentIndex().row(), 0);

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(2, 1));
    EXPECT_EQ(ds->recNo(), 2);
    EXPECT_EQ(grid->currentField(), "qlr");

    focus(grid);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(ds->recNo(), 1);
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(grid->currentColumn(), 2);
    ASSERT_FALSE(columns.isEmpty());
    EXPECT_EQ(columns.last().first().toInt(), 2);

    ds->last();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_EQ(grid->currentColumn(), 2); // the column stays
    ds->first();
    EXPECT_EQ(grid->currentIndex().row(), 0);

    // Moving in the grid posts the row left.
    ds->edit();
    ds->setValue("qlr", QStringLiteral("吴十"));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(stored(1, "qlr"), "吴十");
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
}

TEST_F(GridTest, WhenTheRowLeftCannotBePostedTheGridStaysOnIt)
{
    ds->edit();
    ds->setValue("qlr", QStringLiteral("郑一"));
    exec({QStringLiteral("update t_w set qlr = '别人' where id = 1")}); // another user was quicker

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(2, 0));
    QApplication::processEvents();
    EXPECT_EQ(ds->recNo(), 0);
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_TRUE(grid->selectionModel()->isSelected(grid->currentIndex()));
    ASSERT_EQ(reportedErrors().size(), 1);
    EXPECT_EQ(ds->state(), Dataset::State::Edit);
    EXPECT_EQ(ds->text("qlr"), "郑一"); // the user's typing is still there
    EXPECT_EQ(stored(1, "qlr"), "别人");
}

TEST_F(GridTest, TypingInACellEditsTheDataset)
{
    focus(grid);
    grid->setCurrentIndex(grid->model()->index(0, 1));
    typeIntoCell(QStringLiteral("冯二"));
    EXPECT_EQ(ds->state(), Dataset::State::Edit);
    EXPECT_EQ(ds->text("qlr"), "冯二"); // written as typed: the editor selected the old text
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents(); // the editor closes once the key is handled
    EXPECT_FALSE(grid->isEditing());
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(stored(1, "qlr"), "冯二");

    // Escape in the cell editor gives the cell back and leaves the row unchanged.
    typeIntoCell(QStringLiteral("陈三"));
    EXPECT_EQ(ds->text("qlr"), "陈三");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(ds->text("qlr"), "李四");
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_TRUE(window->isVisible());

    // A number column refuses letters when the cell is left, with one report.
    grid->setCurrentIndex(grid->model()->index(1, 2));
    typeIntoCell("4x");
    EXPECT_TRUE(reportedErrors().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(reportedErrors().size(), 1);
    EXPECT_EQ(ds->field("n").asInteger(), 4); // what it took before the letter
    ds->cancel();

    // A pick-list column offers its values in the cell.
    grid->setCurrentIndex(grid->model()->index(1, 3));
    grid->edit(grid->currentIndex());
    auto *pick = qobject_cast<QComboBox *>(QApplication::focusWidget()->parentWidget());
    if (!pick) pick = qobject_cast<QComboBox *>(QApplication::focusWidget());
    ASSERT_NE(pick, nullptr);
    EXPECT_EQ(pick->count(), 2);
    EXPECT_EQ(pick->currentText(), "变更");
    QTest::keyClick(pick, Qt::Key_Up);
    EXPECT_EQ(ds->text("dclx"), "初始");

    // Replacing a pick list takes effect for the next editor.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    grid->setPickList("DCLX", {"甲", "乙", "丙"});
    grid->edit(grid->currentIndex());
    pick = qobject_cast<QComboBox *>(QApplication::focusWidget()->parentWidget());
    if (!pick) pick = qobject_cast<QComboBox *>(QApplication::focusWidget());
    ASSERT_NE(pick, nullptr);
    EXPECT_EQ(pick->count(), 3);
}

// No line cuts a value it shows (QLineEdit's own limit is 32,767): a text
// longer than that is shown whole in an edit, a drop-down list's line and a
// cell editor, and what is written back is the whole text as changed.
TEST_F(GridTest, ALongTextIsShownAndWrittenWholeByEveryLine)
{
    const QString note = QStringLiteral("首") + QString(40000, u'x');
    ds->edit();
    ds->setValue("bz", note);
    ds->post();
    auto *edit = new DBEdit(window.get());
    edit->bind(source.get(), "bz");
    auto *list = new DBComboBox(window.get());
    list->bind(source.get(), "bz");
    edit->show();
    list->show();
    EXPECT_EQ(edit->text(), note);
    EXPECT_EQ(list->currentText(), note);

    focus(edit);
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    focus(list);
    EXPECT_EQ(ds->text("bz"), note.chopped(1));
    EXPECT_EQ(list->currentText(), note.chopped(1));
    list->lineEdit()->end(false);
    typeText(list->lineEdit(), "yz");
    EXPECT_EQ(ds->text("bz"), note.chopped(1) + "yz");
    ds->post();
    EXPECT_EQ(stored(1, "bz"), note.chopped(1) + "yz");

    grid->setColumns({{"zdbh", QStringLiteral("宗地号"), 60, {}, false},
                      {"bz", QStringLiteral("备注"), 90, {}, false}});
    focus(grid);
    grid->setCurrentIndex(grid->model()->index(0, 1));
    grid->edit(grid->currentIndex());
    auto *cell = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(), note.chopped(1) + "yz");
    cell->end(false);
    QTest::keyClick(cell, Qt::Key_Backspace);
    QTest::keyClick(cell, Qt::Key_Return);
    QApplication::processEvents();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(stored(1, "bz"), note.chopped(1) + "y");
    EXPECT_TRUE(reportedErrors().isEmpty());
}

// A box that stays open, as a real one does, takes the focus from the cell
// editor: the refusal must come once, after the key that closed the editor.
TEST_F(GridTest, ARefusedCellIsReportedOnceAfterTheKeyWithTheBoxHeldOpen)
{
    messages->holdOpen = true;
    focus(grid);
    grid->setCurrentIndex(grid->model()->index(0, 2));
    typeIntoCell("9y");
    QPointer<QWidget> editor = QApplication::focusWidget();
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(reportedErrors().isEmpty()); // not while the key is being handled
    QApplication::processEvents();
    ASSERT_EQ(reportedErrors().size(), 1);
    EXPECT_TRUE(reportedErrors().first().contains("9y")) << reportedErrors().first().toStdString();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull());
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(ds->field("n").asInteger(), 9);

    ds->post();

    // A refusal while typing: the editor is on another row than the dataset,
    // whose pending change another user overtook. The box, open while the
    // editor loses the focus and commits the same text again, is the only one.
    ds->edit();
    ds->setValue("qlr", QStringLiteral("郑一"));
    exec({QStringLiteral("update t_w set qlr = '别人' where id = 1")});
    grid->edit(grid->model()->index(1, 1));
    editor = QApplication::focusWidget();
    ASSERT_NE(editor.data(), grid);
    typeText(editor, QStringLiteral("周"));
    EXPECT_EQ(reportedErrors().size(), 1); // not from inside the key press
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(reportedErrors().size(), 2);
    EXPECT_EQ(ds->recNo(), 0);
    EXPECT_EQ(ds->text("qlr"), "郑一");
    EXPECT_EQ(stored(1, "qlr"), "别人");
}

TEST_F(GridTest, AReadOnlyGridOrColumnRefusesEditing)
{
    focus(grid);
    grid->setCurrentIndex(grid->model()->index(0, 1));
    grid->setReadOnly(true);
    EXPECT_TRUE(grid->isReadOnly());
    typeText(grid, "abc");
    QTest::keyClick(grid, Qt::Key_F2);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(0, 1));
    EXPECT_FALSE(grid->isEditing());
    EXPECT_FALSE(grid->model()->flags(grid->currentIndex()) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid->model()->setData(grid->model()->index(0, 1), "x"));
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_EQ(ds->text("qlr"), "张三");

    // Still a way to move through the rows.
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(ds->recNo(), 2);

    grid->setReadOnly(false);
    grid->setColumns({{"zdbh", "宗地号", 60, {}, true}, {"qlr", "土地使用者", 90, {}, false}});
    EXPECT_FALSE(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(grid->model()->flags(grid->model()->index(0, 1)) & Qt::ItemIsEditable);

    // An editor always shown, with a column that locks the grid when entered:
    // the lock comes first, so no editor opens there.
    grid->setColumns({{"zdbh", "宗地号", 60, {}, false}, {"n", "", 40, {}, false}});
    QObject::connect(grid, &DBGrid::currentColumnChanged, grid,
                     [this] { grid->setReadOnly(grid->currentField() == "n"); });
    grid->setAlwaysShowEditor(true);
    focus(grid);
    grid->setCurrentIndex(grid->model()->index(1, 0));
    EXPECT_TRUE(grid->isEditing());
    grid->setCurrentIndex(grid->model()->index(1, 1));
    EXPECT_FALSE(grid->isEditing());
    EXPECT_TRUE(grid->isReadOnly());
    grid->setCurrentIndex(grid->model()->index(0, 0));
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(ds->state(), Dataset::State::Browse); // showing an editor is no edit
}

TEST_F(GridTest, TypedCharactersFindARowUntilAPause)
{
    exec({QStringLiteral("insert into t_w (id, zdbh, qlr) values (4, '0021', 'abc'), "
                         "(5, '1001', 'Abd')")});
    ds->refresh();
    grid->setSearchColumn("zdbh");
    grid->setSearchPause(30);
    focus(grid);

    typeText(grid, "002"); // the first row that starts so
    EXPECT_EQ(ds->recNo(), 1);
    typeText(grid, "1");
    EXPECT_EQ(ds->recNo(), 3);
    EXPECT_EQ(grid->searchText(), "0021");
    EXPECT_FALSE(grid->isEditing()); // searching opens no editor

    QTest::qWait(150); // a pause: the next key starts a new search
    EXPECT_EQ(grid->searchText(), "");
    typeText(grid, "1");
    EXPECT_EQ(ds->recNo(), 4);

    // Letters match without regard to case; a miss leaves the cursor.
    grid->setSearchColumn("qlr");
    typeText(grid, "AB");
    EXPECT_EQ(ds->recNo(), 3);
    typeText(grid, "z");
    EXPECT_EQ(ds->recNo(), 3);
}

TEST_F(GridTest, AHundredThousandRowsCostOnlyTheRowsOnScreen)
{
    exec({QStringLiteral("with recursive c(x) as (select 100 union all select x + 1 from c "
                         "where x < 100099) insert into t_w (id, zdbh, qlr) "
                         "select x, printf('%06d', x), '某人' from c")});
    auto *model = new CountingModel;
    grid->setDatasetModel(model);
    ds->refresh();
    QApplication::processEvents();
    grid->grab(); // paint once
    const int total = 100003;
    EXPECT_EQ(grid->model()->rowCount(), total);
    ASSERT_FALSE(model->rowsAsked.empty());
    EXPECT_LT(model->rowsAsked.size(), 100u);
    EXPECT_LT(*model->rowsAsked.rbegin(), 100);

    model->rowsAsked.clear();
    ds->last();
    QApplication::processEvents();
    grid->grab();
    EXPECT_EQ(grid->currentIndex().row(), total - 1);
    ASSERT_FALSE(model->rowsAsked.empty());
    EXPECT_LT(model->rowsAsked.size(), 100u);
    EXPECT_GT(*model->rowsAsked.begin(), total - 100);
}

// A unit's list opens with its first page; the keys of the rest, and rows
// another user added meanwhile, reach the grid's model as they arrive, with
// the signals a view relies on (the model tester checks each one).
TEST_F(GridTest, RowsArrivingBehindTheFirstPageReachTheModelInOrder)
{
    exec({QStringLiteral("create table t_arr (id integer primary key, dwdm varchar(12), "
                         "zdbh varchar(20))"),
          QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c "
                         "where x < 300) insert into t_arr (id, dwdm, zdbh) "
                         "select x, case x % 2 when 0 then 'A' else 'B' end, printf('%04d', x) "
                         "from c")});
    Dataset arr(conn.get());
    arr.setPaging(16, 2);
    arr.setQuery(
        {.table = QStringLiteral("t_arr"),
         .filter = QStringLiteral("dwdm >= ? and dwdm < ?"),
         .exactFilter = QStringLiteral("dwdm = ?"),
         .exactValues = {0},
         .exactProbe = QStringLiteral("select min(dwdm) from t_arr where dwdm > ? and dwdm < ?"),
         .order = {{.column = QStringLiteral("zdbh"), .nullsLast = true}}},
        {QStringLiteral("A"), QStringLiteral("Z")});
    DatasetModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setDataset(&arr);
    arr.open();
    ASSERT_TRUE(arr.keysArriving());
    EXPECT_EQ(model.rowCount(), 300);
    exec({QStringLiteral("insert into t_arr (id, dwdm, zdbh) values (999, 'A', '9999')")});
    model.fetchRows(100, 120);
    const int zdbh = model.columnOf(QStringLiteral("zdbh"));
    EXPECT_EQ(model.data(model.index(110, zdbh)).toString(), QStringLiteral("0111"));
    for (int turn = 0; turn < 100 && arr.keysArriving(); ++turn)
        QApplication::processEvents();
    EXPECT_FALSE(arr.keysArriving());
    // The list is the one of the open; the row added since shows at a refresh.
    EXPECT_EQ(model.rowCount(), 300);
    EXPECT_EQ(arr.recordCount(), 300);
    arr.refresh();
    EXPECT_EQ(model.rowCount(), 301);
    model.fetchRows(300, 300);
    EXPECT_EQ(model.data(model.index(300, zdbh)).toString(), QStringLiteral("9999"));
}

TEST_F(GridTest, PaintingReadsNoRowAndARowThatCannotBeReadIsReported)
{
    exec({QStringLiteral("with recursive c(x) as (select 100 union all select x + 1 from c "
                         "where x < 1099) insert into t_w (id, zdbh, qlr) "
                         "select x, printf('%06d', x), '某人' from c")});
    ds->setPaging(16, 2);
    ds->refresh();
    QAbstractItemModel *m = grid->model();
    const QModelIndex far = m->index(900, 1);

    // A row not in memory paints blank, and is read once the event returns.
    EXPECT_EQ(m->data(far).toString(), "");
    QSignalSpy changed(m, &QAbstractItemModel::dataChanged);
    QApplication::processEvents();
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_EQ(m->data(far).toString(), "某人");

    // Scrolling reads the rows scrolled to before they are painted.
    grid->verticalScrollBar()->setValue(600);
    EXPECT_EQ(m->data(m->index(grid->rowAt(0), 1)).toString(), "某人");
    EXPECT_LE(ds->rowsInMemory(), 4 * 16);

    // The table is gone: painting still reads nothing, the read after it
    // fails and is reported once, in Chinese, and not tried again on every paint.
    exec({QStringLiteral("alter table t_w rename to t_w_gone")});
    const QModelIndex near = m->index(20, 1);
    grid->grab();
    EXPECT_EQ(m->data(near).toString(), "");
    EXPECT_TRUE(reportedErrors().isEmpty());
    QApplication::processEvents();
    ASSERT_EQ(reportedErrors().size(), 1);
    EXPECT_TRUE(reportedErrors().constFirst().startsWith(QStringLiteral("无法读取表格中的记录")))
        << reportedErrors().constFirst().toStdString();
    EXPECT_EQ(m->data(near).toString(), "");
    QApplication::processEvents();
    EXPECT_EQ(reportedErrors().size(), 1);
    exec({QStringLiteral("alter table t_w_gone rename to t_w")});
}

} // namespace
