// The ownership form: its sheet, opening, moves, the change lock, new rows,
// save, delete with its cascade, the Enter chain and closing.
#include "form_fixture.h"

#include "config/config_ini.h"
#include "dialogs/locate_dialog.h"
#include "forms/sheet_layout.h"
#include "forms/survey_sheet.h"
#include "schema/statements.h"
#include "widgets/banner.h"
#include "widgets/data_aware.h"
#include "widgets/data_source.h"
#include "widgets/db_edit.h"
#include "widgets/db_memo.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

using namespace zarn;
using namespace zarn::forms;
using namespace zarn::ui;

namespace {

const QString kEmptyParcel = QStringLiteral("地籍号不能为空，请输入数值再保存！");

class OwnershipTest : public zarn::test::FormTest {
protected:
    const QString unit = QStringLiteral("320102001001");
    SurveySheet *sheet() const { return syq->sheet(); }
    int attached(const QString &zdbh, const QVariant &bgrq)
    {
        int n = 0;
        for (const char *table : {"T_JZBSB", "T_ZJB", "T_GYQ", "T_SZB"})
            n += bgrq.isNull()
                     ? count(QStringLiteral("select count(*) from %1 where zdbh=? and bgrq is null")
                                 .arg(table),
                             {zdbh})
                     : count(QStringLiteral("select count(*) from %1 where zdbh=? and bgrq=?")
                                 .arg(table),
                             {zdbh, bgrq});
        return n;
    }
};

TEST_P(OwnershipTest, TheSheetHasItsControlsBandsAndButtons)
{
    openOwnership(unit);
    EXPECT_EQ(syq->windowTitle(), QStringLiteral("所有权地籍调查表"));
    EXPECT_EQ(syq->size(), QSize(671, 418));
    EXPECT_EQ(syq->minimumSize(), syq->maximumSize());
    EXPECT_EQ(syq->bannerPanel->height(), 57);
    EXPECT_EQ(syq->buttonPanel->height(), 39);
    EXPECT_EQ(syq->banner->objectName(), "Image2");
    EXPECT_EQ(syq->banner->title(), QStringLiteral("所有权调查表录入"));
    EXPECT_EQ(syq->rowSource->dataset(), &session->surveyRows);

    // Each control of the table on its blank, bound to its column, in tab order.
    QStringList tabOrder;
    for (const SheetEntry &e : ownershipSheetLayout().entries) {
        QWidget *w = sheet()->findChild<QWidget *>(e.control);
        ASSERT_NE(w, nullptr) << e.control;
        EXPECT_EQ(w->geometry(), QRect(e.left, e.top, e.width, entryHeight(e))) << e.control;
        if (auto *c = dynamic_cast<DataAwareControl *>(w)) {
            EXPECT_EQ(c->dataField(), text(e.column));
            EXPECT_EQ(c->imeName(), QStringLiteral("中文 (简体) - 微软拼音"));
        } else {
            EXPECT_EQ(qobject_cast<QPushButton *>(w)->text(), text(e.column));
        }
        tabOrder << e.control;
    }
    EXPECT_EQ(tabOrder, (QStringList{"Rzdbedit1", "RzDBEdit6", "RzDBEdit2", "DBEdit5", "DBEdit18",
                                     "DBEdit19", "DBEdit24", "Button3", "DBEdit26", "Button2",
                                     "Button4", "Button1", "RzDBEdit3", "RzDBEdit4", "RzDBMemo1",
                                     "DBEdit28", "DBEdit25", "DBEdit29", "DBEdit30"}));
    for (int i = 0; i + 1 < tabOrder.size(); ++i) {
        QWidget *next = control(tabOrder[i])->nextInFocusChain();
        while (next && next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, control(tabOrder[i + 1])) << "after " << tabOrder[i].toStdString();
    }
    EXPECT_EQ(sheet()->coUserButton->text(), QStringLiteral("共有使用权"));
    EXPECT_NE(qobject_cast<DBMemo *>(control("RzDBMemo1")), nullptr);
    EXPECT_EQ(control("RzDBMemo1")->height(), 68);
    const QStringList captions{"首记录", "上记录", "下记录", "末记录",
                               "新增",   "删除",   "保存",   "定位"};
    const QList<SpeedButton *> buttons{syq->firstButton, syq->previousButton, syq->nextButton,
                                       syq->lastButton,  syq->newButton,      syq->deleteButton,
                                       syq->saveButton,  syq->locateButton};
    for (int i = 0; i < buttons.size(); ++i)
        EXPECT_EQ(buttons[i]->text().remove('&'), captions[i]);
    EXPECT_LE(syq->locateButton->geometry().right(), 671);
}

TEST_P(OwnershipTest, RowsComeInParcelOrderAndAnEmptyUnitRefusesEveryMoveAndKeepsItsCounts)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010003"}});
    addSurvey({{"dwdm", unit + "01"}, {"zdbh", "0010010001"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010002"}});
    addSurvey({{"dwdm", "320102001002"}, {"zdbh", "0010010000"}});
    openOwnership(unit);
    const auto &parts = syq->unitCodeParts();
    EXPECT_EQ(parts.province + parts.city + parts.district + parts.street + parts.block, unit);
    EXPECT_EQ(parts.street, "001");
    QStringList order;
    Dataset &t = session->surveyRows;
    for (int i = 0; i < t.recordCount(); ++i) {
        order << t.text("zdbh");
        syq->nextButton->click();
    }
    EXPECT_EQ(order, (QStringList{"0010010001", "0010010002", "0010010003"}));
    syq.reset();

    openOwnership(QStringLiteral("3201"));
    EXPECT_EQ(syq->unitCodeParts().district, QString());
    EXPECT_EQ(session->surveyRows.recordCount(), 4);
    syq.reset();

    openOwnership(QStringLiteral("320102009009"));
    EXPECT_TRUE(session->surveyRows.isEmpty()); // no first row is made for this form
    EXPECT_TRUE(sheet()->changeNotice->text().isEmpty());
    EXPECT_FALSE(sheet()->parcelNumberEdit->isReadOnly());
    for (SpeedButton *b :
         {syq->firstButton, syq->previousButton, syq->nextButton, syq->lastButton}) {
        messages->records.clear();
        b->click();
        ASSERT_EQ(messages->records.size(), 1);
        EXPECT_EQ(messages->records[0].text, kEmptyParcel);
        EXPECT_EQ(messages->records[0].caption, QStringLiteral("提示"));
    }

    // The editor buttons fill no count of a unit without rows: no hidden row
    // for 新增 to take as shown, and what was remembered starts the new row.
    const QList<std::pair<QString, QString>> remembered{{"QSDCJS", QStringLiteral("记事")},
                                                        {"KZY", QStringLiteral("王勘丈")},
                                                        {"QSDCY", QStringLiteral("张权属")},
                                                        {"sm", QStringLiteral("说明")}};
    for (const auto &[key, value] : remembered)
        zarn::writeConfigValue(QStringLiteral("DCB"), key, value);
    for (QPushButton *b : {sheet()->markerButton, sheet()->coUserButton})
        b->click();
    EXPECT_TRUE(session->surveyRows.isEmpty());
    EXPECT_EQ(session->surveyRows.state(), Dataset::State::Browse);
    // Typing into a blank does start a row; without a parcel number it is no
    // survey table, and 新增 remembers nothing of it.
    QTest::keyClicks(sheet()->edit("RzDBEdit6"), "Jia");
    EXPECT_EQ(session->surveyRows.state(), Dataset::State::Insert);
    syq->newButton->click();
    const qint64 id = session->surveyRows.field("id").asInteger();
    for (const auto &[key, value] : remembered) {
        EXPECT_EQ(ini(key), value) << key.toStdString();
        EXPECT_EQ(stored("T_DJDCB", id, key), value) << key.toStdString();
    }
    EXPECT_EQ(count("select count(*) from T_DJDCB where dwdm = ?", {"320102009009"}), 1);
}

TEST_P(OwnershipTest, ALoadThatFailsIsSaidInANoticeBoxAndTheFormStillOpens)
{
    QSqlQuery(session->connection.database()).exec(QStringLiteral("drop table T_DJDCB"));
    openOwnership(unit);
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_EQ(messages->records[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(messages->records[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(messages->records[0].text.isEmpty());
    EXPECT_FALSE(session->surveyRows.isOpen());
}

TEST_P(OwnershipTest, AChangedRowLocksTheEditsButNotTheMemoAndBlanksDoNotBlockMoves)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}, {"bgrq", "20050612"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010002"}});
    const qint64 blank = addSurvey({{"dwdm", unit}, {"zdbh", "   "}});
    for (int i = 0; i < 34; ++i)
        addSurvey(
            {{"dwdm", unit}, {"zdbh", QStringLiteral("00100110%1").arg(i, 2, 10, QChar('0'))}});
    openOwnership(unit);
    Dataset &t = session->surveyRows;
    // The blank parcel number sorts first and does not block the moves.
    ASSERT_EQ(t.field("id").asInteger(), blank);
    syq->nextButton->click();
    EXPECT_TRUE(messages->records.isEmpty());
    EXPECT_EQ(sheet()->changeNotice->text(), QStringLiteral("该宗地已于20050612变更"));
    for (DataAwareControl *c : sheet()->boundControls())
        EXPECT_EQ(c->isReadOnly(), c->family() != ControlFamily::Memo)
            << c->dataField().toStdString();
    syq->nextButton->click();
    EXPECT_TRUE(sheet()->changeNotice->text().isEmpty());
    EXPECT_FALSE(sheet()->parcelNumberEdit->isReadOnly());

    // An empty parcel number blocks them.
    t.edit();
    t.setValue("zdbh", QString());
    syq->firstButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_EQ(messages->records[0].text, kEmptyParcel);
    t.cancel();

    // Locate counts every row and leaves the lock of the row chosen.
    QString label;
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<LocateDialog *>(w); dialog && dialog->isVisible()) {
                label = dialog->hint->text();
                t.moveTo(1);
                dialog->close();
            }
    });
    syq->locateButton->click();
    EXPECT_EQ(label, QStringLiteral("共37记录"));
    EXPECT_EQ(sheet()->changeNotice->text(), QStringLiteral("该宗地已于20050612变更"));
}

TEST_P(OwnershipTest, NewRowsTakeTheirNumbersAndTheValuesRememberedByEitherForm)
{
    openOwnership(unit);
    Dataset &t = session->surveyRows;
    syq->newButton->click();
    ASSERT_TRUE(messages->records.isEmpty());
    qint64 id = t.field("id").asInteger();
    EXPECT_EQ(id, 1);
    const QList<std::pair<const char *, QString>> first{{"dcbh", "3201020010010001"},
                                                        {"zdbh", "0010010001"},
                                                        {"qhdm", "02"},
                                                        {"jddm", "001"},
                                                        {"jfdm", "001"},
                                                        {"ysdm", "250000"},
                                                        {"dwdm", unit},
                                                        {"qsdm", unit},
                                                        {"dcblx", "1"},
                                                        {"qsdcjs", "000"},
                                                        {"kzy", "000"},
                                                        {"qsdcy", "000"},
                                                        {"sm", "000"},
                                                        {"jzdgs", "0"},
                                                        {"qsmc", "<null>"},
                                                        {"dclx", "<null>"},
                                                        {"ybdjh", "<null>"},
                                                        {"dcrq", numbering::todayText()}};
    for (const auto &[column, value] : first)
        EXPECT_EQ(stored("T_DJDCB", id, column), value) << column;
    EXPECT_EQ(t.state(), Dataset::State::Browse);
    syq.reset();

    // The use-right form remembers what this one starts from, and back.
    const QString other = QStringLiteral("320102001002");
    addSurvey({{"id", 40},
               {"dwdm", other},
               {"zdbh", "0010010999"},
               {"dcbh", "0012"},
               {"qsdcy", QStringLiteral(" 张权属 ")},
               {"kzy", QStringLiteral("王勘丈")}});
    open(other, "0010010999");
    const IniFile::Traffic before = IniFile::traffic();
    form->rememberShownValues();
    EXPECT_EQ(IniFile::traffic().loads - before.loads, 1);
    EXPECT_EQ(IniFile::traffic().replaces - before.replaces, 1);
    form.reset();
    openOwnership(other);
    t.last();
    t.edit();
    t.setValue("sm", QStringLiteral("所有权记事"));
    t.post();
    syq->newButton->click();
    id = t.field("id").asInteger();
    EXPECT_EQ(id, 41);
    EXPECT_EQ(stored("T_DJDCB", id, "zdbh"), "0010011000");
    EXPECT_EQ(stored("T_DJDCB", id, "dcbh"), "13");
    EXPECT_EQ(stored("T_DJDCB", id, "qsdcy"), QStringLiteral("张权属"));
    EXPECT_EQ(stored("T_DJDCB", id, "kzy"), QStringLiteral("王勘丈"));
    EXPECT_EQ(stored("T_DJDCB", id, "sm"), QStringLiteral("所有权记事"));
    EXPECT_EQ(ini("SM"), QStringLiteral("所有权记事"));
}

// Names with characters outside the Basic Multilingual Plane (𠮷 is two
// UTF-16 units, one character to the database).
TEST_P(OwnershipTest, ARareCharacterNameFillsItsColumnAndIsNotRememberedAsQuestionMarks)
{
    const qint64 id = addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}, {"qsdcy", "张三"}});
    zarn::writeConfigValue(QStringLiteral("DCB"), QStringLiteral("QSDCY"), QStringLiteral("张三"));
    openOwnership(unit);
    auto *edit = qobject_cast<DBEdit *>(control("DBEdit29"));
    ASSERT_NE(edit, nullptr);
    ASSERT_EQ(edit->characterLimit(), 50); // varchar(50)
    QApplication::setActiveWindow(edit->window());
    edit->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    const QString rare = QString::fromUtf8("𠮷");
    QString name = QString::fromUtf8("𡈼");
    for (int i = 0; i < 49; ++i)
        name += i % 2 ? QStringLiteral("王") : rare;
    for (const QString &key : QStringList{name, QStringLiteral("李")}) // the 51st is refused
        for (qsizetype i = 0; i < key.size(); i += key[i].isHighSurrogate() ? 2 : 1)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown,
                                key.mid(i, key[i].isHighSurrogate() ? 2 : 1), Qt::NoModifier);
    EXPECT_EQ(edit->text(), name);
    syq->saveButton->click();
    EXPECT_EQ(stored("T_DJDCB", id, "qsdcy"), name);

    // GBK has no form for these: the remembered value stays as it was, not "?".
    syq->rememberShownValues();
    EXPECT_EQ(ini("QSDCY"), QStringLiteral("张三"));
    EXPECT_EQ(stored("T_DJDCB", id, "qsdcy"), name);
}

TEST_P(OwnershipTest, AnOldPairOfCurrentRowsOfOneParcelStillOpensAndNewRowsPassIt)
{
    // Stored before the two kinds shared their claims: one parcel and survey
    // table number, current on both kinds.
    for (int kind : {0, 1})
        addSurvey({{"dwdm", unit},
                   {"zdbh", "0010010001"},
                   {"dcbh", "3201020010010001"},
                   {"dcblx", kind},
                   {"jzdgs", 0},
                   {"qlrzs", 0}});
    Dataset &t = session->surveyRows;
    open(unit, "0010010001");
    form->nextButton->click();
    form->previousButton->click();
    t.edit();
    t.setValue("qlr", QStringLiteral("旧数据"));
    form->saveButton->click();
    form->newButton->click();
    EXPECT_EQ(t.text("zdbh"), "0010010002");
    EXPECT_EQ(t.text("dcbh"), "3201020010010002");
    form.reset();
    openOwnership(unit);
    EXPECT_EQ(t.recordCount(), 3);
    syq->lastButton->click();
    syq->firstButton->click();
    t.edit();
    t.setValue("qsmc", QStringLiteral("旧数据"));
    syq->saveButton->click();
    syq->newButton->click();
    EXPECT_EQ(t.text("zdbh"), "0010010003");
    EXPECT_EQ(t.text("dcbh"), "3201020010010003");
    EXPECT_TRUE(messages->records.isEmpty()) << messages->records.value(0).text.toStdString();
    // The pair's number typed into another row makes no third.
    t.edit();
    t.setValue("zdbh", QStringLiteral("0010010001"));
    syq->saveButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(messages->records[0].text.contains(QStringLiteral("已有现行调查表")))
        << messages->records[0].text.toStdString();
    t.cancel();
    EXPECT_EQ(count(QStringLiteral("select count(*) from T_DJDCB where zdbh = ? and bgrq is null"),
                    {QStringLiteral("0010010001")}),
              2);
}

TEST_P(OwnershipTest, SaveDeleteAndCloseKeepWhatTheSurveyorMeant)
{
    const qint64 current = addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}});
    const qint64 changed =
        addSurvey({{"dwdm", unit}, {"zdbh", "0010010002"}, {"bgrq", "20050612"}});
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010003"}});
    for (const char *zdbh : {"0010010001", "0010010002"})
        for (const QVariant &bgrq : {QVariant(), QVariant("20050612")})
            for (const char *table : {"T_JZBSB", "T_ZJB", "T_GYQ", "T_SZB"})
                addAttached(table, {{"zdbh", zdbh}, {"dwdm", unit}, {"bgrq", bgrq}});
    openOwnership(unit);
    Dataset &t = session->surveyRows;

    // Save needs a trimmed parcel number.
    t.edit();
    t.setValue("zdbh", QStringLiteral("  "));
    syq->saveButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_EQ(messages->records[0].text, kEmptyParcel);
    t.setValue("zdbh", QStringLiteral("0010010001"));
    t.setValue("qsmc", QStringLiteral("某村民小组"));
    syq->saveButton->click();
    EXPECT_EQ(stored("T_DJDCB", current, "qsmc"), QStringLiteral("某村民小组"));

    // A second current row of a parcel is refused by the database.
    messages->records.clear();
    t.edit();
    t.setValue("zdbh", QStringLiteral("0010010003"));
    syq->saveButton->click();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(messages->records[0].text.startsWith(QStringLiteral("数据保存失败！")));
    EXPECT_EQ(messages->records[0].caption, QStringLiteral("警告"));
    EXPECT_TRUE(t.isEditing());
    t.cancel();

    // Cancel keeps everything; OK takes the current row's attached rows only.
    messages->answers = {Cancel};
    syq->deleteButton->click();
    EXPECT_EQ(stored("T_DJDCB", current, "zdbh"), "0010010001");
    messages->answers = {Ok};
    syq->deleteButton->click();
    EXPECT_EQ(stored("T_DJDCB", current, "zdbh"), "<no row>");
    EXPECT_EQ(attached("0010010001", {}), 0);
    EXPECT_EQ(attached("0010010001", "20050612"), 4);

    // A changed row takes the attached rows of its own change date with it.
    ASSERT_EQ(t.field("id").asInteger(), changed);
    messages->answers = {Ok};
    syq->deleteButton->click();
    EXPECT_EQ(stored("T_DJDCB", changed, "zdbh"), "<no row>");
    EXPECT_EQ(attached("0010010002", "20050612"), 0);
    EXPECT_EQ(attached("0010010002", {}), 4);

    // Closing stores a pending change of a row with a parcel number.
    const qint64 last = t.field("id").asInteger();
    t.edit();
    t.setValue("qsmc", QStringLiteral("关窗前输入"));
    syq->close();
    EXPECT_EQ(stored("T_DJDCB", last, "qsmc"), QStringLiteral("关窗前输入"));
}

// No line cuts what it shows: a note longer than a line's own limit (32,767)
// is shown and stored whole. A number refused as the window closes is told
// over the window, once, before it goes.
TEST_P(OwnershipTest, ALongNoteStaysWholeAndARefusalAtClosingIsToldOverTheForm)
{
    const QString note = QString(40000, u'x') + QStringLiteral("尾");
    const qint64 id = addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}, {"QSDCJS", note}});
    openOwnership(unit);
    syq->show();
    QApplication::processEvents();
    auto *line = qobject_cast<DBEdit *>(control(QStringLiteral("DBEdit28")));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), note);
    syq->activateWindow();
    line->setFocus();
    line->end(false);
    QTest::keyClick(line, Qt::Key_Backspace);
    syq->saveButton->click();
    EXPECT_TRUE(messages->records.isEmpty());
    EXPECT_EQ(stored("T_DJDCB", id, "QSDCJS"), note.chopped(1));
    // Typing at the end of the whole value and saving again.
    QTest::keyClicks(line, "yz");
    syq->saveButton->click();
    EXPECT_EQ(stored("T_DJDCB", id, "QSDCJS"), note.chopped(1) + "yz");

    auto *count = qobject_cast<DBEdit *>(control(QStringLiteral("DBEdit24")));
    ASSERT_NE(count, nullptr);
    count->setFocus();
    count->selectAll();
    QTest::keyClicks(count, "3q");
    EXPECT_EQ(count->text(), "3q");
    syq->close();
    ASSERT_EQ(messages->records.size(), 1);
    EXPECT_TRUE(messages->records[0].text.contains("3q"))
        << messages->records[0].text.toStdString();
    EXPECT_EQ(messages->records[0].caption, QStringLiteral("错误"));
    EXPECT_TRUE(messages->records[0].overShownWindow);
    QApplication::processEvents();
    EXPECT_EQ(messages->records.size(), 1); // not again once the window is gone
    EXPECT_EQ(stored("T_DJDCB", id, "QLRZS"), "3");
}

TEST_P(OwnershipTest, EnterWalksItsChainSkippingTheCoUserCount)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}});
    openOwnership(unit);
    syq->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(syq.get()));
    const QStringList chain{"Rzdbedit1", "RzDBEdit6", "RzDBEdit2", "DBEdit5",   "DBEdit18",
                            "DBEdit19",  "DBEdit26",  "RzDBEdit3", "RzDBEdit4", "RzDBMemo1",
                            "DBEdit28",  "DBEdit25",  "DBEdit29",  "DBEdit30"};
    for (int i = 0; i + 1 < chain.size(); ++i) {
        control(chain[i])->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), chain[i + 1])
            << chain[i].toStdString();
    }
    for (const char *stays : {"DBEdit30", "DBEdit24"}) {
        control(stays)->setFocus();
        QTest::keyClick(control(stays), Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), control(stays));
    }
    EXPECT_TRUE(syq->isVisible());
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, OwnershipTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, OwnershipTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, OwnershipTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
