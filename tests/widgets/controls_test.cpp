// The bound edit, drop-down list and memo as a user of data-aware forms meets them.
#include "fixture.h"

#include "data/errors.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_memo.h"
#include "widgets/fonts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

using namespace zarn;
using namespace zarn::ui;
using zarn::test::WidgetTest;

namespace {

class ControlsTest : public WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        auto *layout = new QVBoxLayout(window.get());
        edit = new DBEdit(QStringLiteral("DBEdit3"), window.get());
        number = new DBEdit(QStringLiteral("DBEdit24"), window.get());
        combo = new DBComboBox(QStringLiteral("DBComboBox1"), window.get());
        memo = new DBMemo(QStringLiteral("DBMemo1"), window.get());
        for (QWidget *w : {static_cast<QWidget *>(edit), static_cast<QWidget *>(number),
                           static_cast<QWidget *>(combo), static_cast<QWidget *>(memo)})
            layout->addWidget(w);
        edit->bind(source.get(), QStringLiteral("QLR")); // names match without regard to case
        number->bind(source.get(), QStringLiteral("n"));
        combo->setEntries({QStringLiteral("初始"), QStringLiteral("变更")});
        combo->bind(source.get(), QStringLiteral("dclx"));
        memo->bind(source.get(), QStringLiteral("bz"));
    }

    QStringList shown() const
    {
        return {edit->controlText(), number->controlText(), combo->controlText(),
                memo->controlText()};
    }

    DBEdit *edit = nullptr;
    DBEdit *number = nullptr;
    DBComboBox *combo = nullptr;
    DBMemo *memo = nullptr;
};

TEST_F(ControlsTest, AnEditTakesNoMoreCharactersThanItsColumnHolds)
{
    EXPECT_EQ(edit->characterLimit(), 100);
    EXPECT_EQ(number->characterLimit(), -1); // a number column has no width
    focus(edit);
    edit->selectAll();
    typeText(edit, QString(105, QChar(0x738B)));
    EXPECT_EQ(ds->text("qlr"), QString(100, QChar(0x738B)));
    ds->post();

    // A character outside the Basic Multilingual Plane counts one, as the
    // database counts it; a paste is cut to what still fits, never a pair in half.
    const QString rare = QString::fromUtf8("𠮷");
    focus(edit);
    edit->selectAll();
    typeText(edit, rare.repeated(99) + QStringLiteral("王") + rare);
    EXPECT_EQ(ds->text("qlr"), rare.repeated(99) + QStringLiteral("王"));
    edit->setCursorPosition(2);
    edit->backspace();
    edit->insert(QStringLiteral("张") + rare + rare);
    EXPECT_EQ(edit->text(), QStringLiteral("张") + rare.repeated(98) + QStringLiteral("王"));
    ds->post();
    EXPECT_EQ(stored(1, "qlr"), QStringLiteral("张") + rare.repeated(98) + QStringLiteral("王"));

    // A stored value longer than the column shows whole; typing can only
    // shorten it, and it is stored once it fits.
    exec({QStringLiteral("update t_w set qlr = '%1' where id = 2")
              .arg(QString(120, QChar(0x674E)))});
    ds->refresh();
    ds->next();
    EXPECT_EQ(edit->controlText().size(), 120);
    focus(edit);
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(ds->text("qlr").size(), 119);
    EXPECT_THROW(ds->prior(), DatabaseError);
    ds->setValue("qlr", QStringLiteral("李四"));
    ds->prior();
    EXPECT_EQ(edit->characterLimit(), 100);
}

TEST_F(ControlsTest, ALineWiderThanItsBlankShowsItsBeginningAndTypingKeepsTheCaret)
{
    const QString longName = QStringLiteral("南京市玄武区秦淮街道钟山经济合作社第三村民小组");
    exec({QStringLiteral("update t_w set qlr = '%1' where id in (1, 3)").arg(longName)});
    ds->refresh();
    edit->setFixedWidth(60);
    window->show();
    QApplication::processEvents();
    auto caretX = [this] { return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(); };
    // On opening and after each move, the first character stands at the left.
    for (int move = 0; move < 3; ++move) {
        EXPECT_EQ(edit->controlText(), move == 1 ? QStringLiteral("李四") : longName) << move;
        EXPECT_EQ(edit->cursorPosition(), 0) << move;
        EXPECT_LT(caretX(), 10) << move;
        ds->next();
    }
    // Typing at the end goes on at the end, the view following the caret.
    ds->first();
    focus(edit);
    edit->end(false);
    typeText(edit, QStringLiteral("甲"));
    typeText(edit, QStringLiteral("乙"));
    EXPECT_EQ(ds->text("qlr"), longName + QStringLiteral("甲乙"));
    EXPECT_EQ(edit->cursorPosition(), longName.size() + 2);
    EXPECT_GT(caretX(), 30);
}

TEST_F(ControlsTest, ControlsFollowTheCurrentRowWithoutPuttingItIntoEdit)
{
    EXPECT_EQ(shown(), QStringList({"张三", "5", "初始", "第一行"}));

    ds->next(); // nulls show as empty text
    EXPECT_EQ(shown(), QStringList({"李四", "", "变更", ""}));
    ds->last(); // a value that is no entry of the list is still shown
    EXPECT_EQ(shown(), QStringList({"王五", "7", "其他", "多行\n备注"}));

    // A change made by code shows at once, and a cancel brings the row back.
    ds->edit();
    ds->setValue("qlr", QStringLiteral("赵六"));
    ds->setValue("dclx", QStringLiteral("变更"));
    EXPECT_EQ(edit->controlText(), "赵六");
    EXPECT_EQ(combo->controlText(), "变更");
    ds->cancel();
    EXPECT_EQ(shown(), QStringList({"王五", "7", "其他", "多行\n备注"}));

    // A refresh re-reads what another user stored.
    exec({QStringLiteral("update t_w set qlr = '钱七' where id = 3")});
    ds->refresh();
    EXPECT_EQ(edit->controlText(), "钱七");

    // Closing empties the controls and they refuse typing; opening shows the first row.
    ds->close();
    EXPECT_EQ(shown(), QStringList({"", "", "", ""}));
    focus(edit);
    typeText(edit, "x");
    EXPECT_EQ(edit->controlText(), "");
    ds->open();
    EXPECT_EQ(shown(), QStringList({"张三", "5", "初始", "第一行"}));

    // Showing rows never left an edit behind, nor anything to store.
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_FALSE(ds->isModified());
    EXPECT_EQ(stored(3, "qlr"), "钱七");
    EXPECT_TRUE(reportedErrors().isEmpty());

    // Another dataset under the same source: the controls follow it.
    Dataset other(conn.get());
    other.setQuery({.table = QStringLiteral("t_w"), .filter = QStringLiteral("id = ?")}, {2});
    other.open();
    source->setDataset(&other);
    EXPECT_EQ(edit->controlText(), "李四");
    source->setDataset(nullptr);
    EXPECT_EQ(edit->controlText(), "");
}

TEST_F(ControlsTest, TypingEditsTheRowAndAMovePostsIt)
{
    focus(edit);
    edit->end(false);
    typeText(edit, QStringLiteral("丰"));
    EXPECT_EQ(ds->state(), Dataset::State::Edit);
    EXPECT_EQ(ds->text("qlr"), "张三丰");
    EXPECT_TRUE(edit->isTyping());

    focus(memo);
    memo->moveCursor(QTextCursor::End);
    typeText(memo, "!");
    EXPECT_EQ(ds->text("bz"), "第一行!");

    focus(combo);
    combo->lineEdit()->selectAll();
    typeText(combo, QStringLiteral("补测"));
    EXPECT_EQ(ds->text("dclx"), "补测");
    EXPECT_TRUE(combo->isTyping());
    focus(edit); // leaving a control ends its typing; Escape no longer undoes it
    EXPECT_FALSE(combo->isTyping());
    EXPECT_FALSE(memo->isTyping());

    ds->next();
    EXPECT_EQ(stored(1, "qlr"), "张三丰");
    EXPECT_EQ(stored(1, "bz"), "第一行!");
    EXPECT_EQ(stored(1, "dclx"), "补测");
    EXPECT_EQ(edit->controlText(), "李四");
    EXPECT_FALSE(edit->isTyping());

    // Clearing a field stores null, as the survey database wants empty text.
    focus(edit);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    ds->post();
    EXPECT_EQ(stored(2, "qlr"), "<null>");
}

TEST_F(ControlsTest, TypingIntoAnEmptyDatasetStartsANewRow)
{
    ds->setQuery({.table = QStringLiteral("t_w"), .filter = QStringLiteral("id = ?")}, {999});
    ds->open();
    EXPECT_EQ(edit->controlText(), "");
    EXPECT_FALSE(edit->QLineEdit::isReadOnly()); // an open dataset takes typing even when empty

    focus(edit);
    typeText(edit, QStringLiteral("孙八"));
    EXPECT_EQ(ds->state(), Dataset::State::Insert);
    EXPECT_EQ(ds->recordCount(), 1);
    EXPECT_EQ(ds->text("qlr"), "孙八");
    // The other controls show the new row, and keep showing it as typing goes on.
    EXPECT_EQ(number->controlText(), "");
    EXPECT_EQ(edit->controlText(), "孙八");

    ds->post();
    EXPECT_EQ(rowsInTable(), 4);
}

TEST_F(ControlsTest, ATextTheColumnRefusesIsKeptThenReportedWhenLeavingTheField)
{
    focus(number);
    number->selectAll();
    typeText(number, "12");
    EXPECT_EQ(ds->field("n").asInteger(), 12);

    typeText(number, "a"); // no crash, no garbage in the column, no box yet
    EXPECT_EQ(number->controlText(), "12a");
    EXPECT_EQ(ds->field("n").asInteger(), 12);
    EXPECT_TRUE(reportedErrors().isEmpty());

    focus(edit);
    ASSERT_EQ(reportedErrors().size(), 1);
    EXPECT_TRUE(reportedErrors().first().contains("12a")) << reportedErrors().first().toStdString();
    EXPECT_EQ(messages->records.first().caption, QStringLiteral("错误"));
    EXPECT_EQ(number->controlText(), "12"); // back to what the column holds

    ds->post();
    EXPECT_EQ(stored(1, "n"), "12");

    // Refused text still on screen when the row moves under it: dropped, and
    // the user is told once the move is over.
    focus(number);
    number->selectAll();
    typeText(number, "x");
    ds->next();
    EXPECT_EQ(number->controlText(), "");
    QApplication::processEvents();
    EXPECT_EQ(reportedErrors().size(), 2);
    EXPECT_EQ(stored(1, "n"), "12");
}

TEST_F(ControlsTest, ARefusalOnLeavingAFieldComesOnceAfterTheFocusMoved)
{
    messages->holdOpen = true;
    focus(number);
    number->selectAll();
    typeText(number, "3q");
    QApplication::setActiveWindow(window.get());
    edit->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(reportedErrors().isEmpty()); // not from inside the focus change
    QApplication::processEvents();
    ASSERT_EQ(reportedErrors().size(), 1);
    EXPECT_EQ(number->controlText(), "3");
    // The box gave the activation back; the field the surveyor went to has the focus.
    EXPECT_EQ(QApplication::focusWidget(), edit);
    typeText(edit, "x");
    QApplication::processEvents();
    EXPECT_EQ(reportedErrors().size(), 1);
    EXPECT_EQ(ds->text("qlr"), "x");
}

TEST_F(ControlsTest, EscapeGivesTheFieldBackAndKeepsTheDialogOpen)
{
    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    auto *first = new DBEdit(QStringLiteral("DBEdit10"), &dialog);
    auto *second = new DBMemo(QStringLiteral("DBMemo2"), &dialog);
    layout->addWidget(first);
    layout->addWidget(second);
    first->bind(source.get(), "qlr");
    second->bind(source.get(), "bz");
    dialog.show();

    // Typing that started the edit: Escape leaves the row untouched and not in edit.
    focus(first);
    first->end(false);
    typeText(first, "abc");
    EXPECT_EQ(ds->text("qlr"), "张三abc");
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(first->controlText(), "张三");
    EXPECT_EQ(ds->text("qlr"), "张三");
    EXPECT_EQ(ds->state(), Dataset::State::Browse);

    // Typing in a row already changed elsewhere: only this field goes back.
    focus(second);
    typeText(second, "+");
    focus(first);
    first->end(false);
    typeText(first, "xyz");
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_EQ(ds->text("qlr"), "张三");
    EXPECT_EQ(ds->text("bz"), "+第一行");
    EXPECT_EQ(ds->state(), Dataset::State::Edit);

    // A refused text goes too, with nothing to report.
    focus(number);
    number->selectAll();
    typeText(number, "9q");
    QTest::keyClick(number, Qt::Key_Escape);
    EXPECT_EQ(number->controlText(), "5");
    EXPECT_EQ(ds->field("n").asInteger(), 5);
    focus(edit);
    EXPECT_TRUE(reportedErrors().isEmpty());

    // A new row begun by typing disappears again.
    ds->setQuery({.table = QStringLiteral("t_w"), .filter = QStringLiteral("id = ?")}, {999});
    ds->open();
    focus(first);
    typeText(first, "n");
    EXPECT_EQ(ds->recordCount(), 1);
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_EQ(ds->recordCount(), 0);
    EXPECT_EQ(first->controlText(), "");
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ControlsTest, ReadOnlyControlsRefuseTypingButTakeFocusAndSelection)
{
    edit->setReadOnly(true);
    memo->setReadOnly(true);
    combo->setReadOnly(true);
    EXPECT_TRUE(edit->isReadOnly());

    // Tab still reaches them.
    focus(edit);
    EXPECT_TRUE(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(number->hasFocus());
    QTest::keyClick(number, Qt::Key_Tab);
    EXPECT_TRUE(combo->hasFocus());
    QTest::keyClick(combo, Qt::Key_Tab);
    EXPECT_TRUE(memo->hasFocus());

    typeText(memo, "abc");
    focus(edit);
    typeText(edit, "abc");
    QTest::keyClick(edit, Qt::Key_Backspace);
    focus(combo);
    typeText(combo, "abc");
    QTest::keyClick(combo, Qt::Key_Down);
    combo->showPopup();
    EXPECT_FALSE(combo->view()->isVisible());
    EXPECT_EQ(shown(), QStringList({"张三", "5", "初始", "第一行"}));
    EXPECT_EQ(ds->state(), Dataset::State::Browse);

    // The text can still be selected and copied.
    focus(edit);
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(edit->selectedText(), "张三");
    focus(memo);
    memo->moveCursor(QTextCursor::Start);
    QTest::keyClick(memo, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(memo->textCursor().selectedText(), "第一行");

    // Unlocked again, typing works.
    edit->setReadOnly(false);
    focus(edit);
    typeText(edit, "Z");
    EXPECT_EQ(ds->text("qlr"), "张三Z");
}

TEST_F(ControlsTest, ADropDownListWritesTheChosenOrTypedText)
{
    focus(combo);
    QTest::keyClick(combo, Qt::Key_Down); // the next entry
    EXPECT_EQ(ds->text("dclx"), "变更");
    EXPECT_EQ(ds->state(), Dataset::State::Edit);
    ds->post();
    EXPECT_EQ(stored(1, "dclx"), "变更");

    // New entries leave the column and what is shown alone.
    combo->setEntries({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
    EXPECT_EQ(combo->entries(), QStringList({"甲", "乙", "丙"}));
    EXPECT_EQ(combo->controlText(), "变更");
    EXPECT_EQ(ds->state(), Dataset::State::Browse);
    EXPECT_FALSE(ds->isModified());

    // Pick-only: entries only, though a stored value that is no entry still shows.
    combo->setPickOnly(true);
    EXPECT_TRUE(combo->isPickOnly());
    EXPECT_EQ(combo->controlText(), "变更");
    ds->last();
    EXPECT_EQ(combo->controlText(), "其他");
    focus(combo);
    typeText(combo, "xyz");
    EXPECT_EQ(ds->text("dclx"), "其他");
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_TRUE(combo->entries().contains(ds->text("dclx")));
    EXPECT_EQ(combo->controlText(), ds->text("dclx"));
    QTest::keyClick(combo, Qt::Key_Escape);
    EXPECT_EQ(ds->text("dclx"), "其他");
    EXPECT_EQ(combo->controlText(), "其他");

    // And back to an editable list: it types again.
    combo->setPickOnly(false);
    focus(combo);
    combo->lineEdit()->selectAll();
    typeText(combo, "3");
    EXPECT_EQ(ds->text("dclx"), "3");
}

TEST_F(ControlsTest, ListsAreFlatWithRoomyEntriesAndEscapeInTheirDropDownOnlyClosesIt)
{
    focus(edit);
    edit->end(false);
    typeText(edit, "x");
    focus(combo); // the edit's typing is over, its change still pending
    const auto popupRowsAreRoomy = [&] {
        combo->showPopup();
        QAbstractItemView *entries = combo->view();
        EXPECT_TRUE(entries->isVisible());
        const int text = entries->fontMetrics().height();
        for (int row = 0; row < combo->count(); ++row)
            EXPECT_GE(entries->visualRect(entries->model()->index(row, 0)).height(), text + 4);
        QTest::keyClick(entries, Qt::Key_Escape);
        EXPECT_FALSE(entries->isVisible());
    };
    const auto flatOnWhite = [&] {
        focus(edit);
        const QImage picture = combo->grab().toImage();
        focus(combo);
        return QColor(picture.pixel(picture.width() / 2, picture.height() / 2)) == Qt::white;
    };
    popupRowsAreRoomy();
    EXPECT_TRUE(flatOnWhite());
    combo->setPickOnly(true);
    popupRowsAreRoomy();
    EXPECT_TRUE(flatOnWhite()); // not a raised grey button
    EXPECT_EQ(ds->state(), Dataset::State::Edit);
    EXPECT_EQ(ds->text("qlr"), "张三x");
}

TEST_F(ControlsTest, AMemoOneLineHighShowsItsFirstLineAndATallerOneWraps)
{
    exec({QStringLiteral(
        "update t_w set bz = '界址清楚，四邻无争议，已于现场核实并由权利人签字确认' "
        "|| char(10) || '第二行' || char(10) || '第三行' where id = 1")});
    ds->refresh();
    window->setFont(songFont(9));
    auto *line = new DBMemo(QStringLiteral("DBMemo1"), window.get());
    auto *tall = new DBMemo(QStringLiteral("RzDBMemo1"), window.get());
    line->setGeometry(10, 200, 150, 17);
    tall->setGeometry(170, 200, 150, 68);
    line->bind(source.get(), QStringLiteral("bz"));
    tall->bind(source.get(), QStringLiteral("bz"));
    line->show();
    tall->show();
    QApplication::processEvents();

    EXPECT_TRUE(line->isOneLine());
    EXPECT_FALSE(line->verticalScrollBar()->isVisible());
    EXPECT_FALSE(line->horizontalScrollBar()->isVisible());
    EXPECT_EQ(line->cursorForPosition(QPoint(2, 2)).blockNumber(), 0);
    EXPECT_EQ(line->horizontalScrollBar()->value(), 0);

    // Arriving as Tab and the Enter chain bring it, the text is selected and
    // the first line stays in view; the caret scrolls the line.
    line->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(line->textCursor().selectedText(), ds->text("bz").replace('\n', QChar(0x2029)));
    EXPECT_EQ(line->cursorForPosition(QPoint(2, 2)).blockNumber(), 0);
    line->moveCursor(QTextCursor::Start);
    QTest::keyClick(line, Qt::Key_End);
    EXPECT_GT(line->horizontalScrollBar()->value(), 0);

    // Four lines high: wrapped, with a scroll bar for what does not fit, and
    // arriving does not put the whole text at risk.
    EXPECT_FALSE(tall->isOneLine());
    EXPECT_EQ(tall->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(tall->verticalScrollBar()->isVisible());
    tall->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(tall->textCursor().hasSelection());
}

TEST_F(ControlsTest, ControlsKnowTheirFamilyAndAreFoundInCreationOrder)
{
    EXPECT_EQ(edit->family(), ControlFamily::Framed);
    EXPECT_EQ(combo->family(), ControlFamily::Plain);
    EXPECT_EQ(memo->family(), ControlFamily::Memo);
    combo->setFamily(ControlFamily::Framed);
    EXPECT_EQ(combo->family(), ControlFamily::Framed);

    auto *panel = new QWidget(window.get());
    auto *inner = new DBEdit(QStringLiteral("DBEdit38"), panel);
    auto *last = new DBEdit(QStringLiteral("DBEdit99"), window.get());
    QStringList names;
    for (DataAwareControl *c : dataAwareControls(window.get()))
        names << c->widget()->objectName();
    EXPECT_EQ(names, QStringList({"DBEdit3", "DBEdit24", "DBComboBox1", "DBMemo1", "DBEdit38",
                                  "DBEdit99"}));
    EXPECT_EQ(dataAwareControls(inner).size(), 1);
    EXPECT_EQ(last->dataField(), "");
    EXPECT_EQ(edit->dataField(), "QLR");
    EXPECT_EQ(edit->dataSource(), source.get());
}

} // namespace
