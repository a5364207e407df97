// Moving, locating, new rows and their numbers, remembered values, the
// land-use linkage, digit pickers and the Enter chain.
#include "form_fixture.h"

#include "widgets/speed_button.h"

#include "config/config_ini.h"
#include "data/statement_runner.h"
#include "dialogs/findings_window.h"
#include "dialogs/locate_dialog.h"
#include "widgets/data_source.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"
#include "widgets/db_memo.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace zarn;
using namespace zarn::ui;

namespace {

const QString kEmptyParcel = QStringLiteral("地籍号不能为空，请输入数值再保存！");

// Types text the way an input method delivers it (QTest knows ASCII keys only).
void typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

class FlowTest : public zarn::test::FormTest {
protected:
    const QString unit = QStringLiteral("320102003004");
    DBComboBox *list(const char *name) { return form->useRightSheet()->comboBox(name); }
};

TEST_P(FlowTest, MovesAreRefusedOnAnEmptyParcelNumberButNotOnBlanks)
{
    const qint64 a = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    const qint64 b = addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}});
    for (int i = 0; i < 2; ++i)
        addAttached("T_JZBSB", {{"zdbh", "0030040002"}, {"dwdm", unit}, {"xh", i + 1}});
    open(unit);
    Dataset &t = session->surveyRows;
    t.edit();
    t.setValue("zdbh", QString());
    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_EQ(messages->records[0].text, kEmptyParcel);
    EXPECT_EQ(t.recNo(), 0);
    t.cancel();

    // Blanks are a parcel number for the move buttons: the row is posted.
    t.edit();
    t.setValue("zdbh", "   ");
    form->nextButton->click();
    EXPECT_EQ(messages->records.size(), 1);
    EXPECT_EQ(stored("T_DJDCB", a, "zdbh"), "   ");
    form->previousButton->click();
    t.edit();
    t.setValue("zdbh", "0030040001");

    t.edit();
    t.setValue("qlr", QStringLiteral("移动前"));
    form->nextButton->click();
    EXPECT_EQ(form->useRightSheet()->parcelNumberEdit->text(), "0030040002");
    EXPECT_EQ(stored("T_DJDCB", a, "qlr"), QStringLiteral("移动前")); // posted on the move
    EXPECT_EQ(t.field("id").asInteger(), b);
    EXPECT_EQ(stored("T_DJDCB", b, "jzdgs"), "2");

    // On the last row "下记录" stays but still recounts and posts.
    addAttached("T_JZBSB", {{"zdbh", "0030040002"}, {"dwdm", unit}, {"xh", 3}});
    form->nextButton->click();
    EXPECT_EQ(t.field("id").asInteger(), b);
    EXPECT_EQ(stored("T_DJDCB", b, "jzdgs"), "3");

    form->firstButton->click();
    EXPECT_EQ(t.field("id").asInteger(), a);
    form->lastButton->click();
    EXPECT_EQ(t.field("id").asInteger(), b);
    form->previousButton->click();
    EXPECT_EQ(t.field("id").asInteger(), a);
}

// Rows kept without a parcel number (null or '', from other software) sort
// before and after every parcel: the form opens on the first parcel and
// 首记录 and 末记录 stop at the parcels, where the move buttons work; 上记录
// and 下记录 still reach those rows.
TEST_P(FlowTest, RowsWithoutAParcelNumberAreNotWhereTheFormOpensNorItsEnds)
{
    const qint64 empty = addSurvey({{"dwdm", unit}, {"qlr", QStringLiteral("旧甲")}});
    session->connection.exec(zarn::Access::Write,
                             QStringLiteral("update T_DJDCB set zdbh = '' where id = ?"), {empty},
                             false);
    const qint64 a = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    const qint64 b = addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}});
    const qint64 none = addSurvey({{"dwdm", unit}, {"qlr", QStringLiteral("旧乙")}});
    open(unit);
    Dataset &t = session->surveyRows;
    EXPECT_EQ(t.recordCount(), 4);
    EXPECT_EQ(t.field("id").asInteger(), a);
    form->lastButton->click();
    EXPECT_EQ(t.field("id").asInteger(), b);
    form->nextButton->click();
    EXPECT_EQ(t.field("id").asInteger(), none);
    t.moveTo(1);
    form->firstButton->click();
    EXPECT_EQ(t.field("id").asInteger(), a);
    form->previousButton->click();
    EXPECT_EQ(t.field("id").asInteger(), empty);
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(FlowTest, ARowAnotherUserChangedTakesTheirVersionAndTheCountWithoutBlockingMoves)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    const qint64 b = addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}, {"jzdgs", 9}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040003"}});
    addAttached("T_JZBSB", {{"zdbh", "0030040002"}, {"dwdm", unit}, {"xh", 1}});
    open(unit);

    // Another surveyor changes parcel 0030040002 after this form read it.
    Dataset other(&session->connection);
    other.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("id = ?")}, {b});
    other.open();
    other.edit();
    other.setValue("jzdgs", 5);
    other.setValue("qlr", QStringLiteral("另一用户"));
    other.post();

    Dataset &t = session->surveyRows;
    form->nextButton->click();
    EXPECT_EQ(stored("T_DJDCB", b, "jzdgs"), "1");
    EXPECT_EQ(stored("T_DJDCB", b, "qlr"), QStringLiteral("另一用户"));
    EXPECT_EQ(shown("DBEdit3"), QStringLiteral("另一用户"));
    EXPECT_EQ(t.state(), Dataset::State::Browse);
    form->nextButton->click();
    EXPECT_TRUE(messages->records.isEmpty());
    EXPECT_EQ(current("zdbh"), "0030040003");
    // Back onto a row read before, its count already stored: the row as it
    // is now and its markers' count travel together, one round trip on a
    // server, and a marker added meanwhile is counted.
    addAttached("T_JZBSB", {{"zdbh", "0030040002"}, {"dwdm", unit}, {"xh", 2}});
    const quint64 before = session->connection.traffic().roundTrips;
    form->previousButton->click();
    EXPECT_EQ(shown("DBEdit26"), "2");
    EXPECT_EQ(stored("T_DJDCB", b, "jzdgs"), "2");
    addAttached("T_JZBSB", {{"zdbh", "0030040002"}, {"dwdm", unit}, {"xh", 3}});
    session->connection.exec(zarn::Access::Write,
                             QStringLiteral("update T_DJDCB set jzdgs = 3 where id = ?"), {b},
                             false);
    form->nextButton->click();
    const quint64 settled = session->connection.traffic().roundTrips;
    form->previousButton->click();
    EXPECT_EQ(shown("DBEdit26"), "3");
    if (backend() == test::Backend::Postgres) {
        EXPECT_EQ(session->connection.traffic().roundTrips - settled, 1u);
        EXPECT_GT(settled, before);
    }
}

TEST_P(FlowTest, ARefusedPostOnAMoveIsReportedAndTheCursorStays)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}});
    open(unit);
    Dataset &t = session->surveyRows;
    t.edit();
    t.setValue("zdbh", "0030040002"); // a second current row of that parcel
    form->nextButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_FALSE(messages->records[0].plain); // the standard error report
    // In the surveyor's words, with what to do.
    const QString text = messages->records[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("地籍号 0030040002 在本单位已有现行调查表")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("请改用另一个地籍号")));
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_EQ(t.state(), Dataset::State::Edit);
}

TEST_P(FlowTest, LocateShowsTheCountAndTheChosenRowStays)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}, {"bgrq", "20050301"}});
    addSurvey({{"dwdm", unit + "9"}, {"zdbh", "0030040003"}});
    open(unit);
    QString label;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<LocateDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("宗地定位"));
        label = dialog->hint->text();
        // Typing a parcel number in the grid finds it.
        dialog->grid->setFocus();
        QTest::keyClicks(dialog->grid, "0030040002");
        dialog->close();
    });
    form->locateButton->click();
    EXPECT_EQ(label, QStringLiteral("共3记录"));
    EXPECT_EQ(current("zdbh"), "0030040002");
    EXPECT_EQ(form->useRightSheet()->changeNotice->text(),
              QStringLiteral("该宗地已于20050301变更"));
}

// 检查本单位 from the sheet's menu: a double-click on a finding moves the
// form to its parcel as 定位 does, and a 保存 that mends it checks again.
TEST_P(FlowTest, TheUnitsCheckLeadsToAFindingsParcelAndSeesItMendedAfterSave)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"dcbh", unit + "0001"}});
    const qint64 mended = addSurvey(
        {{"dwdm", unit}, {"zdbh", "0030040002"}, {"dcbh", unit + "0002"}, {"qlryb", "12ab"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040003"}, {"dcbh", unit + "0003"}});
    open(unit);
    ASSERT_EQ(current("zdbh"), "0030040001");
    QAction *check = form->findChild<QAction *>(QStringLiteral("actCheckUnit"));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->text(), QStringLiteral("检查本单位…"));
    EXPECT_TRUE(form->sheet()->actions().contains(check));
    check->trigger();
    ui::FindingsWindow *window = form->findingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    const auto postcodeRow = [&]() -> int {
        for (int i = 0; i < window->findings().size(); ++i) {
            const quality::Finding &f = window->findings()[i];
            if (f.zdbh == "0030040002" && QString::fromLatin1(f.info().code) == "GS03") return i;
        }
        return -1;
    };
    const int row = postcodeRow();
    ASSERT_GE(row, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTableWidget *grid = window->grid();
    grid->scrollToItem(grid->item(row, 1));
    const QPoint cell = grid->visualItemRect(grid->item(row, 1)).center();
    // As a hand does it: the first press selects, the second click is the double one.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(current("zdbh"), "0030040002");

    auto *postcode = qobject_cast<QLineEdit *>(control("DBEdit7"));
    ASSERT_NE(postcode, nullptr);
    postcode->setFocus();
    postcode->selectAll();
    QTest::keyClicks(postcode, "210000");
    form->saveButton->click();
    EXPECT_EQ(stored("T_DJDCB", mended, "qlryb"), "210000");
    EXPECT_EQ(postcodeRow(), -1);
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(FlowTest, EscapeInTheLocateGridKeepsTheTypingAndTypingANumberFindsTheCurrentVersion)
{
    const qint64 first = addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    const qint64 old = addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}, {"bgrq", "20050301"}});
    const qint64 now = addSurvey({{"dwdm", unit}, {"zdbh", "0030040002"}});
    open(unit);
    Dataset &t = session->surveyRows;
    ASSERT_EQ(t.valueAt(1, t.indexOf("id")).toLongLong(), old); // the older version comes first
    typeText(control("DBEdit9"), QStringLiteral("中山路1号"));
    ASSERT_EQ(t.state(), Dataset::State::Edit);
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<LocateDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog->grid, Qt::Key_Escape);
        EXPECT_EQ(t.state(), Dataset::State::Edit);
        EXPECT_EQ(t.text("tdzl"), QStringLiteral("中山路1号"));
        QTest::keyClicks(dialog->grid, "0030040002");
        dialog->close();
    });
    form->locateButton->click();
    EXPECT_TRUE(messages->records.isEmpty());
    EXPECT_EQ(t.field("id").asInteger(), now);
    EXPECT_EQ(form->useRightSheet()->changeNotice->text(), QString());        // not locked
    EXPECT_EQ(stored("T_DJDCB", first, "tdzl"), QStringLiteral("中山路1号")); // posted by the move
}

TEST_P(FlowTest, NewRowsTakeTheNextNumbersAndTheRememberedValues)
{
    addSurvey({{"id", 7},
               {"dwdm", unit},
               {"zdbh", "0010010999"},
               {"dcbh", "3201020030040007"},
               {"kzy", QStringLiteral("王勘丈")},
               {"sm", QStringLiteral("说明一")},
               {"qsdcjs", QStringLiteral("记事")},
               {"dcy", QStringLiteral("  李调查 ")}});
    addSurvey({{"id", 30}, {"dwdm", "110101001001"}, {"zdbh", "0000000001"}});
    for (int i = 0; i < 2; ++i)
        addAttached("T_JZBSB", {{"zdbh", "0010010999"}, {"dwdm", unit}, {"xh", i + 1}});
    open(unit);
    Dataset &t = session->surveyRows;
    ASSERT_EQ(t.text("jzdgs"), "2");
    form->lastButton->click();
    // config.ini may sit on a network share: one read and one write for the
    // twenty-odd values remembered and read back.
    const IniFile::Traffic before = IniFile::traffic();
    const quint64 tripsBefore = session->connection.traffic().roundTrips;
    form->newButton->click();
    EXPECT_EQ(IniFile::traffic().loads - before.loads, 1);
    EXPECT_EQ(IniFile::traffic().replaces - before.replaces, 1);
    // A district office's server is far: the three highest numbers in one
    // round trip, the claim's lock and checks with the BEGIN in one, then
    // the row and the COMMIT.
    if (backend() == test::Backend::Postgres) {
        EXPECT_EQ(session->connection.traffic().roundTrips - tripsBefore, 4u);
    }
    ASSERT_TRUE(messages->records.isEmpty());
    EXPECT_EQ(t.recNo(), 1);
    const qint64 id = t.field("id").asInteger();
    EXPECT_EQ(id, 31);
    EXPECT_EQ(stored("T_DJDCB", id, "zdbh"), "0010011000");
    EXPECT_EQ(stored("T_DJDCB", id, "ybdjh"), "0010011000");
    EXPECT_EQ(stored("T_DJDCB", id, "dcbh"), "3201020030040008");
    EXPECT_EQ(stored("T_DJDCB", id, "kzy"), QStringLiteral("王勘丈"));
    EXPECT_EQ(stored("T_DJDCB", id, "dcy"), QStringLiteral("李调查"));
    // Written as SM, read back as sm.
    EXPECT_EQ(stored("T_DJDCB", id, "sm"), QStringLiteral("说明一"));
    EXPECT_TRUE(QString::fromLatin1(zarn::test::readFile(configPath())).contains("SM="));
    // The memo is not remembered: its key keeps the default.
    EXPECT_EQ(stored("T_DJDCB", id, "qsdcjs"), "000");
    EXPECT_EQ(stored("T_DJDCB", id, "jzdgs"), "0");
    EXPECT_EQ(stored("T_DJDCB", id, "qlrzs"), "0");
    EXPECT_EQ(shown("DBEdit18"), "0010011000");

    // The counts are remembered: both databases report these "integer"
    // columns as 32-bit (QSQLITE by the declared type, although it hands the
    // values over as 64-bit), and a null count is remembered as 0.
    EXPECT_EQ(t.fieldDef(t.indexOf("jzdgs")).type, FieldType::Int32);
    EXPECT_EQ(t.fieldDef(t.indexOf("qlrzs")).type, FieldType::Int32);
    EXPECT_EQ(ini("JZDGS"), "2");
    EXPECT_EQ(ini("QLRZS"), "0");
}

// 新增 on a row of a sub-unit makes a row of the session unit, numbered
// after the session unit's own highest numbers (a sub-unit's higher ones do
// not count). And when another workstation stores those numbers between this
// form's reading them and its post, the row takes fresh ones, all three.
TEST_P(FlowTest, ANewRowIsTheSessionUnitsAndTakesFreshNumbersAfterACollision)
{
    const qint64 own =
        addSurvey({{"dwdm", unit}, {"zdbh", "0030040005"}, {"dcbh", "3201020030040005"}});
    addSurvey({{"dwdm", unit + "01"}, {"zdbh", "0030049000"}, {"dcbh", "3201020030049000"}});
    open(unit, "0030049000");
    Dataset &t = session->surveyRows;
    ASSERT_EQ(t.text("dwdm"), unit + "01");

    // The other workstation (an ownership form) stores the numbers the
    // moment this form has given them to its new row.
    auto other = db->open();
    bool planted = false;
    QObject::connect(&t, &Dataset::fieldChanged, form.get(), [&](int, int column) {
        if (planted || t.state() != Dataset::State::Insert || column != t.indexOf("dcbh")) return;
        planted = true;
        Dataset q(other.get());
        runStatement(q,
                     QStringLiteral("insert into T_DJDCB (id, dwdm, zdbh, dcbh, dcblx) "
                                    "values (?, ?, ?, ?, 1)"),
                     {t.value("id"), unit, t.text("zdbh"), t.text("dcbh")});
    });
    form->newButton->click();
    ASSERT_TRUE(planted);
    EXPECT_TRUE(messages->records.isEmpty());
    EXPECT_EQ(t.state(), Dataset::State::Browse);
    const qint64 id = t.field("id").asInteger();
    EXPECT_EQ(id, own + 3); // the sub-unit's row and the other workstation's came between
    EXPECT_EQ(stored("T_DJDCB", id, "dwdm"), unit);
    EXPECT_EQ(stored("T_DJDCB", id, "qsdm"), unit);
    EXPECT_EQ(stored("T_DJDCB", id, "zdbh"), "0030040007");
    EXPECT_EQ(stored("T_DJDCB", id, "ybdjh"), "0030040007");
    EXPECT_EQ(stored("T_DJDCB", id, "dcbh"), "3201020030040007");
    // The other workstation's row is as it stored it.
    EXPECT_EQ(stored("T_DJDCB", id - 1, "zdbh"), "0030040006");
    EXPECT_EQ(stored("T_DJDCB", id - 1, "dcbh"), "3201020030040006");
    EXPECT_EQ(stored("T_DJDCB", id - 1, "dcblx"), "1");
}

// A 新增 that cannot number its row, or whose row the database does not
// take, leaves no row behind: the sheet is back on the row it showed, and no
// later move, locate or close stores anything.
TEST_P(FlowTest, ARefusedOrFailedNewRowLeavesNothingPendingAndStoresNothing)
{
    struct Case {
        const char *what;
        QString session;
        QVariantMap shownRow;
        const char *says;
    };
    const Case cases[] = {
        // Only a sub-unit's rows: the session unit has no highest numbers.
        {"sub-unit only",
         unit,
         {{"dwdm", unit + "01"}, {"zdbh", "0030040001"}, {"dcbh", "1"}},
         "完整代码"},
        // A district's session: its parcels are all numbered under their units.
        {"district",
         QStringLiteral("320102"),
         {{"dwdm", unit}, {"zdbh", "0030040001"}, {"dcbh", "3201020030040001"}},
         "完整代码"},
        // The unit's highest parcel number holds a letter: the box names it as stored.
        {"lettered",
         unit,
         {{"dwdm", unit}, {"zdbh", "0010029999X"}, {"dcbh", "7"}},
         "“0010029999X”含有数字以外的字符"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const qint64 shownId = addSurvey(c.shownRow);
        open(c.session, c.shownRow.value("zdbh").toString());
        Dataset &t = session->surveyRows;
        const int rows = t.recordCount();
        const int stored = count("select count(*) from T_DJDCB");
        form->newButton->click();
        ASSERT_EQ(messages->records.size(), 1);
        EXPECT_FALSE(messages->records[0].plain);
        EXPECT_TRUE(messages->records[0].text.startsWith(QStringLiteral("无法生成新的地籍号")));
        EXPECT_TRUE(messages->records[0].text.contains(QString::fromUtf8(c.says)))
            << messages->records[0].text.toStdString();
        EXPECT_FALSE(messages->records[0].text.contains(QStringLiteral("10010029999X")));
        EXPECT_EQ(t.state(), Dataset::State::Browse);
        EXPECT_EQ(t.recordCount(), rows);
        EXPECT_EQ(t.field("id").asInteger(), shownId);

        // Moving and closing store nothing more.
        messages->records.clear();
        form->lastButton->click();
        form->firstButton->click();
        EXPECT_TRUE(messages->records.isEmpty());
        EXPECT_TRUE(form->close());
        form.reset();
        EXPECT_EQ(count("select count(*) from T_DJDCB"), stored);
        EXPECT_EQ(count("select count(*) from T_DJDCB where zdbh is null or dcbh is null"), 0);
        test::execAll(session->connection, {QStringLiteral("delete from T_DJDCB")});
    }

    // The database busy with another workstation's write when 新增 posts.
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"dcbh", "3201020030040001"}});
    open(unit);
    Dataset &t = session->surveyRows;
    auto other = db->open();
    if (backend() == test::Backend::Sqlite) {
        test::execAll(*other, {QStringLiteral("begin immediate")});
    } else {
        test::execAll(*other, {QStringLiteral("begin"),
                               QStringLiteral("lock table T_DJDCB in exclusive mode")});
        // Not waiting for the other workstation longer than the test needs.
        test::execAll(session->connection, {QStringLiteral("set lock_timeout = 200")});
    }
    form->newButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    // Nothing typed stays behind to be saved: the box says to press 新增 again.
    EXPECT_TRUE(messages->records[0].text.contains(QStringLiteral("新的调查表没有建立")))
        << messages->records[0].text.toStdString();
    EXPECT_FALSE(messages->records[0].text.contains(QStringLiteral("再按“保存”")));
    EXPECT_EQ(t.state(), Dataset::State::Browse);
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(current("zdbh"), "0030040001");
    test::execAll(*other, {QStringLiteral("rollback")});
    form->newButton->click();
    EXPECT_EQ(messages->records.size(), 1) << messages->records.last().text.toStdString();
    EXPECT_EQ(current("zdbh"), "0030040002");
    EXPECT_TRUE(form->close());
    EXPECT_EQ(count("select count(*) from T_DJDCB"), 2);
}

TEST_P(FlowTest, RememberedValuesDefaultToThreeZeros)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}, {"dcbh", "5"}});
    open(unit);
    // Nothing written for the framed list of a Unicode text column.
    form->newButton->click();
    EXPECT_EQ(ini("syqlx"), "<none>");
    EXPECT_EQ(ini("QSDCJS"), "<none>");
    EXPECT_EQ(ini("DCBH"), "5");
    // The memo's key was never written; an edit's was, empty.
    EXPECT_EQ(session->surveyRows.text("qsdcjs"), "000");
    EXPECT_EQ(session->surveyRows.text("djkzjs"), "");
}

TEST_P(FlowTest, TheLandUseListsFollowTheApprovedAndActualUse)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    open(unit);
    Dataset &t = session->surveyRows;
    const QStringList codes = list("DBComboBox5")->entries();
    const QStringList names = list("DBComboBox6")->entries();
    ASSERT_GT(codes.size(), 5);

    // Choosing an approved code fills the approved name and both actual columns.
    list("DBComboBox5")->setCurrentIndex(3);
    emit list("DBComboBox5")->activated(3);
    EXPECT_EQ(t.text("pzytdm"), codes[3]);
    EXPECT_EQ(t.text("pzyt"), names[3]);
    EXPECT_EQ(t.text("tdytdm"), codes[3]);
    EXPECT_EQ(t.text("tdyt"), names[3]);

    // An actual use changes the actual pair only.
    list("DBComboBox8")->setCurrentIndex(1);
    emit list("DBComboBox8")->activated(1);
    EXPECT_EQ(t.text("tdyt"), names[1]);
    EXPECT_EQ(t.text("tdytdm"), codes[1]);
    EXPECT_EQ(t.text("pzytdm"), codes[3]);

    // Typing an approved name also works; text that is no entry sets nothing.
    auto *approvedName = list("DBComboBox6");
    approvedName->lineEdit()->clear();
    typeText(approvedName->lineEdit(), names[2]);
    EXPECT_EQ(t.text("pzytdm"), codes[2]);
    EXPECT_EQ(t.text("tdyt"), names[2]);
    approvedName->lineEdit()->selectAll();
    typeText(approvedName->lineEdit(), QStringLiteral("无此用途"));
    EXPECT_EQ(t.text("pzyt"), QStringLiteral("无此用途"));
    EXPECT_EQ(t.text("pzytdm"), codes[2]);
}

TEST_P(FlowTest, DigitsPickTheNthEntryReadingTheWholeText)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0030040001"}});
    open(unit);
    Dataset &t = session->surveyRows;
    auto *rights = list("DBComboBox3"); // two entries
    const QStringList entries = rights->entries();
    ASSERT_EQ(entries.size(), 2);
    rights->setFocus();
    QTest::keyClicks(rights, "2");
    EXPECT_EQ(t.text("qsxz"), entries[1]);
    EXPECT_EQ(rights->controlText(), entries[1]);

    // 0 and a number beyond the list set nothing; the typed text stays.
    rights->lineEdit()->clear();
    QTest::keyClicks(rights, "0");
    EXPECT_EQ(t.text("qsxz"), "0");
    rights->lineEdit()->clear();
    QTest::keyClicks(rights, "9");
    EXPECT_EQ(t.text("qsxz"), "9");
    // The whole text counts: "91" is no entry, although "1" alone would be.
    QTest::keyClicks(rights, "1");
    EXPECT_EQ(t.text("qsxz"), "91");
    // Keypad digits are not pickers.
    rights->lineEdit()->clear();
    QTest::keyClick(rights, Qt::Key_1, Qt::KeypadModifier);
    EXPECT_EQ(t.text("qsxz"), "1");
    // The pick-only survey type never holds a number, so its picker sets nothing.
    auto *kind = list("DBComboBox1");
    t.setValue("dclx", QStringLiteral("变更"));
    QTest::keyClick(kind, Qt::Key_1);
    EXPECT_EQ(t.text("dclx"), QStringLiteral("变更"));
}

TEST_P(FlowTest, EnterWalksDownThePrintedRowsAlsoOnALockedRow)
{
    addSurvey({{"dwdm", unit}, {"qsdm", unit}, {"zdbh", "0030040001"}, {"bgrq", "20050301"}});
    open(unit);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_FALSE(form->useRightSheet()->changeNotice->text().isEmpty());
    const QStringList chain{
        "Rzdbedit1",   "DBComboBox1", "RzDBEdit6", "DBEdit3",     "RzDBEdit2",   "DBComboBox2",
        "DBEdit5",     "DBEdit6",     "DBEdit7",   "DBEdit8",     "DBEdit9",     "DBEdit10",
        "DBEdit11",    "DBEdit12",    "DBEdit13",  "DBEdit14",    "DBEdit15",    "DBComboBox3",
        "DBEdit17",    "DBEdit18",    "DBEdit19",  "DBComboBox5", "DBComboBox7", "DBComboBox6",
        "DBComboBox8", "DBEdit22",    "DBEdit23",  "DBEdit24",    "DBEdit25",    "DBEdit26",
        "DBEdit27",    "DBMemo1",     "DBEdit29",  "DBEdit30",    "DBEdit31",    "DBEdit32",
        "DBEdit33",    "DBEdit34",    "DBEdit35",  "DBEdit36",    "DBComboBox4", "DBEdit38"};
    for (int i = 0; i + 1 < chain.size(); ++i) {
        QWidget *from = control(chain[i]);
        from->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QWidget *now = QApplication::focusWidget();
        // An editable list's line edit holds the focus for the list.
        if (now && now->parentWidget() && now->parentWidget()->objectName() == chain[i + 1])
            now = now->parentWidget();
        EXPECT_EQ(now ? now->objectName() : QString(), chain[i + 1])
            << "Enter in " << chain[i].toStdString();
    }
    // Enter selects the text of the field it arrives at, so typing replaces it.
    control("DBEdit3")->setFocus();
    QTest::keyClick(control("DBEdit3"), Qt::Key_Return);
    auto *ownershipCode = qobject_cast<QLineEdit *>(control("RzDBEdit2"));
    EXPECT_EQ(ownershipCode->selectedText(), ownershipCode->text());
    EXPECT_FALSE(ownershipCode->text().isEmpty());

    control("DBEdit38")->setFocus();
    QTest::keyClick(control("DBEdit38"), Qt::Key_Enter, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), control("DBEdit38"));
    EXPECT_TRUE(form->isVisible()); // Enter never closes the form
    EXPECT_EQ(form->useRightSheet()->surveyNotesMemo->toPlainText(), QString());
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, FlowTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, FlowTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, FlowTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
