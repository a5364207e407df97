// The use-right form as a surveyor meets it: the demo host in a process of
// its own shows the form on a real X display, the test clicks the speed
// buttons and the blanks of the sheet and types into them, answers the
// message boxes, closes the windows by their close box, and reads the survey
// database from outside after every step that should have written.
#include "form_driver.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>
#include <optional>

using namespace zarn::e2e;

namespace {

const FormLayout kUseRight{QStringLiteral("^使用权地籍调查表$"), 60, 0};

class XvfbUseRightForm : public XvfbFormTest {
protected:
    XvfbUseRightForm()
        : XvfbFormTest(kUseRight)
    {
    }
};

constexpr Blank kLandUser{"DBEdit3", 104, 49, 329};            // 土地使用者名称 (QLR)
constexpr Blank kParcelNo{"DBEdit18", 52, 264, 276};           // 地籍号 (ZDBH)
constexpr Blank kMapSheet{"DBEdit19", 400, 263, 176};          // 所在图幅号 (SZTFH)
constexpr Blank kApprovedUseCode{"DBComboBox5", 88, 285, 168}; // 批准用途代码 (PZYTDM)
constexpr Blank kMarkerButton{"Button1", 216, 393, 88};        // 界址标示表

const QString kMarkerEditorName = QStringLiteral("^界址标示情况描述表$");
// 界址点统编号 on the marker editor's entry page, from the editor's top left.
constexpr int kUnifiedNumberLeft = 190;
constexpr int kUnifiedNumberTop = 164;

TEST_F(XvfbUseRightForm, NewRecordTakesTheNextNumbersAndSaveStoresWhatIsTyped)
{
    const QString shownParcel = QStringLiteral("0010010005");
    ASSERT_TRUE(open(kUnit, shownParcel));
    const qint64 highestId = db->value(QStringLiteral("select max(id) from T_DJDCB")).toLongLong();
    const QString highestParcel =
        db->value(QStringLiteral("select max(zdbh) from T_DJDCB where dwdm=?"), {kUnit}).toString();
    const QString highestSurvey =
        db->value(QStringLiteral("select max(dcbh) from T_DJDCB where dwdm=?"), {kUnit}).toString();
    const QString measurer = stored(currentRowId(kUnit, shownParcel), "kzy");
    ASSERT_FALSE(measurer.isEmpty());
    const QString dayBefore = today();

    ASSERT_TRUE(press(Button::New));
    const qint64 id = highestId + 1;
    QVariantHash row;
    ASSERT_TRUE(eventually([&] {
        row = db->row(QStringLiteral("select * from T_DJDCB where id=?"), {id});
        return !row.isEmpty();
    })) << "新增 stored no row with the next id";
    const QString dayAfter = today();
    const QString parcel = followingNumber(highestParcel);
    EXPECT_EQ(row.value("zdbh").toString(), parcel);
    EXPECT_EQ(row.value("ybdjh").toString(), parcel);
    EXPECT_EQ(row.value("dcbh").toString(), QString::number(highestSurvey.toLongLong() + 1));
    EXPECT_EQ(row.value("dwdm").toString(), kUnit);
    EXPECT_EQ(row.value("qsdm").toString(), kUnit);
    EXPECT_EQ(row.value("dclx").toString(), QStringLiteral("初始"));
    EXPECT_TRUE(row.value("bgrq").isNull()) << "a new row is the parcel's current row";
    EXPECT_TRUE(row.value("qlr").toString().isEmpty());
    for (const char *date : {"dcrq", "kzrq", "dcshrq"}) {
        const QString v = row.value(QLatin1String(date)).toString();
        EXPECT_TRUE(v == dayBefore || v == dayAfter) << date << " " << v.toStdString();
    }
    // Remembered from the sheet shown when 新增 was pressed.
    EXPECT_EQ(row.value("kzy").toString(), measurer);

    // Filling in the new sheet: the land user, Enter on to the ownership
    // code, Enter on to the (empty) land-user nature where a digit picks that
    // entry of its code list, an approved-use code that brings its name and
    // the actual use along, and the map sheet.
    const QString landUser = QStringLiteral("欧阳明月");
    const QString ownershipCode = QStringLiteral("320102001001-01");
    const QString mapSheet = QStringLiteral("3549.00-392.00");
    const QVariantList natures = db->column(QStringLiteral("select dwxzmc from S_DWXZDM"));
    const QVariantList useCodes = db->column(QStringLiteral("select DLDM from S_DLDM"));
    const QVariantList useNames = db->column(QStringLiteral("select DLMC from S_DLDM"));
    constexpr int kUse = 5;
    ASSERT_GE(natures.size(), 2);
    ASSERT_GT(useCodes.size(), kUse);
    ASSERT_EQ(useNames.size(), useCodes.size());
    const QString useCode = useCodes[kUse].toString().trimmed();
    ASSERT_TRUE(typeInto(kLandUser, landUser));
    ASSERT_TRUE(x->key(QStringLiteral("Return")) && x->key(QStringLiteral("ctrl+a")) &&
                x->type(ownershipCode) && x->key(QStringLiteral("Return")) &&
                x->type(QStringLiteral("2")))
        << x->lastError().toStdString();
    ASSERT_TRUE(typeInto(kApprovedUseCode, useCode));
    ASSERT_TRUE(typeInto(kMapSheet, mapSheet));
    ASSERT_TRUE(press(Button::Save));
    EXPECT_TRUE(eventually([&] { return stored(id, "sztfh") == mapSheet; }))
        << "保存 did not store the map sheet: " << stored(id, "sztfh").toStdString();
    EXPECT_EQ(stored(id, "qlr"), landUser);
    EXPECT_EQ(stored(id, "qsdm"), ownershipCode);
    EXPECT_EQ(stored(id, "dwxz"), natures[1].toString().trimmed());
    EXPECT_EQ(stored(id, "pzytdm"), useCode);
    EXPECT_EQ(stored(id, "pzyt"), useNames[kUse].toString().trimmed());
    EXPECT_EQ(stored(id, "tdytdm"), useCode);
    EXPECT_EQ(stored(id, "tdyt"), useNames[kUse].toString().trimmed());
    EXPECT_EQ(db->value(QStringLiteral("select count(*) from T_DJDCB where dwdm=? and zdbh=?"),
                        {kUnit, parcel})
                  .toInt(),
              1);
    screenshot(QStringLiteral("new-record.png"));
    closeForm();
}

TEST_F(XvfbUseRightForm, UnitWithoutRowsOpensOnItsFirstNumberedRow)
{
    const QString unit = QStringLiteral("320102003004");
    ASSERT_EQ(
        db->value(QStringLiteral("select count(*) from T_DJDCB where dwdm like ?"), {unit + u'%'})
            .toInt(),
        0);
    ASSERT_TRUE(open(unit, QString()));
    QVariantHash first;
    ASSERT_TRUE(eventually([&] {
        first = db->row(QStringLiteral("select * from T_DJDCB where dwdm=? order by id"), {unit});
        return !first.isEmpty();
    })) << "opening an empty unit stored no row";
    EXPECT_EQ(first.value("zdbh").toString(), QStringLiteral("0030040001"));
    EXPECT_EQ(first.value("ybdjh").toString(), QStringLiteral("0030040001"));
    EXPECT_EQ(first.value("dcbh").toString(), QStringLiteral("3201020030040001"));
    EXPECT_EQ(first.value("qhdm").toString(), QStringLiteral("02"));
    EXPECT_EQ(first.value("jddm").toString(), QStringLiteral("003"));
    EXPECT_EQ(first.value("jfdm").toString(), QStringLiteral("004"));
    EXPECT_TRUE(first.value("bgrq").isNull());

    ASSERT_TRUE(press(Button::New));
    const QString second = QStringLiteral("0030040002");
    qint64 id = -1;
    ASSERT_TRUE(eventually([&] { return (id = currentRowId(unit, second)) > 0; }))
        << "新增 on the unit's first row stored no parcel " << second.toStdString();
    EXPECT_EQ(stored(id, "dcbh"), QStringLiteral("3201020030040002"));
    ASSERT_TRUE(typeInto(kLandUser, QStringLiteral("南京玄武湖物业管理有限公司")));
    ASSERT_TRUE(press(Button::Save));
    EXPECT_TRUE(eventually(
        [&] { return stored(id, "qlr") == QStringLiteral("南京玄武湖物业管理有限公司"); }));
    closeForm();
}

TEST_F(XvfbUseRightForm, MovesFollowParcelOrderPostTypingAndRecountMarkers)
{
    // Every stored count wrong, so each recount shows which row it reached.
    constexpr int kStale = 999;
    ASSERT_TRUE(db->exec(QStringLiteral("update T_DJDCB set jzdgs=? where dwdm like ?"),
                         {kStale, kUnit + u'%'}))
        << db->lastError().toStdString();
    // The rows as the form orders them: by parcel number; a parcel's versions
    // come as SQLite returns them from its index, in row order.
    QList<qint64> rows;
    for (const QVariant &v :
         db->column(QStringLiteral("select id from T_DJDCB where dwdm like ? order by zdbh, id"),
                    {kUnit + u'%'}))
        rows << v.toLongLong();
    ASSERT_GT(rows.size(), 40);
    const QString openParcel = QStringLiteral("0010010029");
    const qsizetype start = rows.indexOf(currentRowId(kUnit, openParcel));
    ASSERT_GE(start, 1);
    // The next parcel has a superseded version with markers of its own.
    const qint64 changed = rows[start + 1];
    const qint64 current = rows[start + 2];
    ASSERT_EQ(stored(changed, "zdbh"), QStringLiteral("0010010030"));
    ASSERT_FALSE(stored(changed, "bgrq").isEmpty());
    ASSERT_TRUE(stored(current, "bgrq").isEmpty());
    ASSERT_NE(markersOf(changed), markersOf(current));

    auto recounted = [&](qint64 id) {
        return eventually([&] { return stored(id, "jzdgs").toInt() != kStale; }) &&
               stored(id, "jzdgs").toInt() == markersOf(id);
    };

    ASSERT_TRUE(open(kUnit, openParcel));
    EXPECT_TRUE(recounted(rows[start])) << "opening did not store the count of its row";

    // A change typed on the sheet is posted by the move away from it.
    ASSERT_TRUE(typeInto(kMapSheet, QStringLiteral("图幅-下")));
    ASSERT_TRUE(press(Button::Next));
    EXPECT_TRUE(recounted(changed)) << "下记录 did not count the superseded version's markers";
    EXPECT_EQ(stored(rows[start], "sztfh"), QStringLiteral("图幅-下"));

    // The superseded version is locked: typing there stores nothing.
    const QString lockedSheet = stored(changed, "sztfh");
    ASSERT_TRUE(typeInto(kMapSheet, QStringLiteral("不应写入")));
    ASSERT_TRUE(press(Button::Next));
    EXPECT_TRUE(recounted(current));
    EXPECT_EQ(stored(changed, "sztfh"), lockedSheet);

    ASSERT_TRUE(press(Button::Last));
    EXPECT_TRUE(recounted(rows.last())) << "末记录 did not reach the highest parcel number";
    ASSERT_TRUE(typeInto(kMapSheet, QStringLiteral("图幅-末")));
    ASSERT_TRUE(press(Button::Prior));
    EXPECT_TRUE(recounted(rows[rows.size() - 2]));
    EXPECT_EQ(stored(rows.last(), "sztfh"), QStringLiteral("图幅-末"));

    // 上记录 on the first row stays there: the typing lands on the first row.
    ASSERT_TRUE(press(Button::First));
    EXPECT_TRUE(recounted(rows.first()));
    ASSERT_TRUE(press(Button::Prior));
    ASSERT_TRUE(typeInto(kMapSheet, QStringLiteral("图幅-首")));
    ASSERT_TRUE(press(Button::Next));
    EXPECT_TRUE(recounted(rows[1]));
    EXPECT_EQ(stored(rows.first(), "sztfh"), QStringLiteral("图幅-首"));

    // Only the rows arrived at were written.
    const QSet<qint64> visited{rows[start],           changed,      current, rows.last(),
                               rows[rows.size() - 2], rows.first(), rows[1]};
    for (qint64 id : rows)
        if (!visited.contains(id)) {
            EXPECT_EQ(stored(id, "jzdgs").toInt(), kStale) << "row " << id;
        }
    closeForm();
}

TEST_F(XvfbUseRightForm, LocateMovesTheSheetToTheParcelTypedInItsGrid)
{
    const QString target = QStringLiteral("0010010050");
    const QString superseded = QStringLiteral("0010010073");
    const qint64 targetId = currentRowId(kUnit, target);
    const qint64 oldVersion =
        db->value(QStringLiteral("select id from T_DJDCB where dwdm=? and zdbh=? and bgrq is not "
                                 "null"),
                  {kUnit, superseded})
            .toLongLong();
    ASSERT_GT(oldVersion, 0);
    // A locate leaves the stored count alone.
    ASSERT_TRUE(db->exec(QStringLiteral("update T_DJDCB set jzdgs=999 where id=?"), {targetId}));
    const QString oldUser = stored(oldVersion, "qlr");
    const QString startParcel = QStringLiteral("0010010005");
    const QString startUser = stored(currentRowId(kUnit, startParcel), "qlr");
    ASSERT_TRUE(open(kUnit, startParcel));

    // Typing a number in the grid finds its first row, here a superseded
    // version, which the sheet then shows locked.
    ASSERT_TRUE(press(Button::Locate));
    quint32 dialog = waitForWindow(kLocateName);
    ASSERT_NE(dialog, 0u);
    ASSERT_TRUE(x->focus(dialog) && x->type(superseded)) << x->lastError().toStdString();
    ASSERT_TRUE(closeWindow(dialog));
    ASSERT_TRUE(typeInto(kLandUser, QStringLiteral("不应写入")));
    ASSERT_TRUE(press(Button::Save));

    ASSERT_TRUE(press(Button::Locate));
    dialog = waitForWindow(kLocateName);
    ASSERT_NE(dialog, 0u);
    ASSERT_TRUE(x->focus(dialog) && x->type(target)) << x->lastError().toStdString();
    ASSERT_TRUE(closeWindow(dialog));
    const QString newUser = QStringLiteral("定位后改名的使用者");
    ASSERT_TRUE(typeInto(kLandUser, newUser));
    ASSERT_TRUE(press(Button::Save));
    EXPECT_TRUE(eventually([&] { return stored(targetId, "qlr") == newUser; }))
        << "the change after the locate did not land on parcel " << target.toStdString() << ": "
        << stored(targetId, "qlr").toStdString();
    EXPECT_EQ(stored(targetId, "jzdgs"), QStringLiteral("999"));
    EXPECT_EQ(stored(oldVersion, "qlr"), oldUser);
    EXPECT_EQ(stored(currentRowId(kUnit, startParcel), "qlr"), startUser);
    closeForm();
}

TEST_F(XvfbUseRightForm, DeleteAsksFirstAndTakesTheParcelsCurrentAttachedRows)
{
    // A parcel with a superseded version; both versions have attached rows.
    const QString parcel = QStringLiteral("0010010073");
    const qint64 id = currentRowId(kUnit, parcel);
    ASSERT_GT(id, 0);
    const QStringList attached{QStringLiteral("T_JZBSB"), QStringLiteral("T_ZJB"),
                               QStringLiteral("T_GYQ"), QStringLiteral("T_SZB")};
    auto rowsOf = [&](const QString &table, bool current) {
        return db
            ->value(QStringLiteral("select count(*) from %1 where zdbh=? and dwdm=? and bgrq is %2")
                        .arg(table, current ? QStringLiteral("null") : QStringLiteral("not null")),
                    {parcel, kUnit})
            .toInt();
    };
    auto total = [&](const QString &table) {
        return db->value(QStringLiteral("select count(*) from %1").arg(table)).toInt();
    };
    QHash<QString, int> currentBefore, olderBefore, totalBefore;
    for (const QString &t : attached) {
        currentBefore[t] = rowsOf(t, true);
        olderBefore[t] = rowsOf(t, false);
        totalBefore[t] = total(t);
        EXPECT_GT(currentBefore[t], 0) << t.toStdString();
    }
    const int mainRows = total(QStringLiteral("T_DJDCB"));
    ASSERT_TRUE(open(kUnit, parcel));

    ASSERT_TRUE(press(Button::Delete));
    quint32 box = waitForWindow(kDeleteBoxName);
    ASSERT_NE(box, 0u);
    ASSERT_TRUE(answer(box, QStringLiteral("Escape")));
    EXPECT_EQ(currentRowId(kUnit, parcel), id) << "取消 deleted the row";
    for (const QString &t : attached)
        EXPECT_EQ(total(t), totalBefore[t]) << t.toStdString();

    ASSERT_TRUE(press(Button::Delete));
    box = waitForWindow(kDeleteBoxName);
    ASSERT_NE(box, 0u);
    screenshot(QStringLiteral("delete-box.png"));
    ASSERT_TRUE(answer(box, QStringLiteral("Return")));
    EXPECT_TRUE(eventually([&] { return rowsOf(QStringLiteral("T_SZB"), true) == 0; }))
        << "确定 left the parcel's current attached rows";
    EXPECT_EQ(currentRowId(kUnit, parcel), -1);
    EXPECT_EQ(total(QStringLiteral("T_DJDCB")), mainRows - 1);
    for (const QString &t : attached) {
        EXPECT_EQ(rowsOf(t, true), 0) << t.toStdString();
        EXPECT_EQ(rowsOf(t, false), olderBefore[t]) << t.toStdString() << " superseded rows";
        EXPECT_EQ(total(t), totalBefore[t] - currentBefore[t]) << t.toStdString();
    }
    EXPECT_EQ(db->value(QStringLiteral("select count(*) from T_DJDCB where dwdm=? and zdbh=?"),
                        {kUnit, parcel})
                  .toInt(),
              1)
        << "the superseded version went with the current row";
    closeForm();
}

TEST_F(XvfbUseRightForm, ClosingWritesAPendingChangeOnlyOnARowWithAParcelNumber)
{
    // Typed, not saved, then the window closed.
    const QString parcel = QStringLiteral("0010010020");
    const qint64 id = currentRowId(kUnit, parcel);
    ASSERT_TRUE(open(kUnit, parcel));
    const QString landUser = QStringLiteral("关闭前输入的使用者");
    ASSERT_TRUE(typeInto(kLandUser, landUser));
    closeForm();
    EXPECT_EQ(stored(id, "qlr"), landUser);

    // With the parcel number cleared nothing may move or be written.
    const QString other = QStringLiteral("0010010021");
    const qint64 otherId = currentRowId(kUnit, other);
    const QString otherUser = stored(otherId, "qlr");
    ASSERT_TRUE(open(kUnit, other));
    const QList<quint32> windowsBefore = x->windows(host->pid());
    ASSERT_TRUE(typeInto(kParcelNo, QString()));
    ASSERT_TRUE(typeInto(kLandUser, QStringLiteral("无地籍号")));
    ASSERT_TRUE(press(Button::Next));
    const quint32 message = x->waitForNewWindow(host->pid(), windowsBefore, kStepMs);
    ASSERT_NE(message, 0u) << "下记录 with an empty parcel number showed no message";
    // Captioned for what it is, not with the host program's name.
    EXPECT_TRUE(x->windows(host->pid(), QStringLiteral("^提示$")).contains(message));
    screenshot(QStringLiteral("empty-parcel.png"));
    ASSERT_TRUE(answer(message, QStringLiteral("Return")));
    closeForm();
    EXPECT_EQ(stored(otherId, "zdbh"), other);
    EXPECT_EQ(stored(otherId, "qlr"), otherUser);
    EXPECT_EQ(db->value(QStringLiteral("select count(*) from T_DJDCB where qlr=?"),
                        {QStringLiteral("无地籍号")})
                  .toInt(),
              0);
}

TEST_F(XvfbUseRightForm, ARowAnotherUserDeletedUnderTheTypingIsSaidSoAndLeavesWhenAsked)
{
    const QString parcel = QStringLiteral("0010010025");
    const qint64 id = currentRowId(kUnit, parcel);
    ASSERT_GT(id, 0);
    const int mainRows = db->value(QStringLiteral("select count(*) from T_DJDCB")).toInt();
    ASSERT_TRUE(open(kUnit, parcel));
    const QString typed = QStringLiteral("图幅-已删");
    ASSERT_TRUE(typeInto(kMapSheet, typed));
    ASSERT_TRUE(db->exec(QStringLiteral("delete from T_DJDCB where id=?"), {id}))
        << db->lastError().toStdString();
    auto typedAnywhere = [&] {
        return db->value(QStringLiteral("select count(*) from T_DJDCB where sztfh=?"), {typed})
            .toInt();
    };

    // The move stores nothing and says why, under a caption of its own.
    ASSERT_TRUE(press(Button::Next));
    quint32 box = waitForWindow(QStringLiteral("^警告$"));
    ASSERT_NE(box, 0u);
    x->screenshot(0, world.file(QStringLiteral("deleted-row-box.png")));
    ASSERT_TRUE(answer(box, QStringLiteral("Escape"))); // 否: keep the typing on the sheet
    EXPECT_EQ(typedAnywhere(), 0);
    EXPECT_EQ(db->value(QStringLiteral("select count(*) from T_DJDCB")).toInt(), mainRows - 1);

    // 保存 asks the same; 是 takes the row out of the list, and the form
    // then closes at once: nothing is left to store.
    ASSERT_TRUE(press(Button::Save));
    box = waitForWindow(QStringLiteral("^警告$"));
    ASSERT_NE(box, 0u);
    ASSERT_TRUE(answer(box, QStringLiteral("Return")));
    closeForm();
    EXPECT_EQ(typedAnywhere(), 0);
    EXPECT_EQ(db->value(QStringLiteral("select count(*) from T_DJDCB")).toInt(), mainRows - 1);
}

TEST_F(XvfbUseRightForm, AnOddUnitCodeOrAMissingTableSaysSoOnceAndLeavesTheDatabaseAlone)
{
    const int rows = db->value(QStringLiteral("select count(*) from T_DJDCB")).toInt();
    // A unit code with a wildcard in it: a box, no form, nothing written.
    host = std::make_unique<HostRun>();
    ASSERT_TRUE(host->start(world.hostEnvironment(x->environment()), QStringLiteral("3201020010%"),
                            QString(), 0));
    const quint32 box = waitForWindow(QStringLiteral("^错误$"));
    ASSERT_NE(box, 0u);
    EXPECT_TRUE(x->screenshot(box, world.file(QStringLiteral("odd-unit-code.png"))));
    ASSERT_TRUE(answer(box, QStringLiteral("Return")));
    ASSERT_TRUE(host->waitForExit(kStartMs)) << "a form opened after the box";
    EXPECT_EQ(db->value(QStringLiteral("select count(*) from T_DJDCB")).toInt(), rows);

    // Without the main table the form says so while opening; closing it
    // then has nothing to store and asks nothing.
    ASSERT_TRUE(db->exec(QStringLiteral("alter table T_DJDCB rename to t_djdcb_away")));
    host = std::make_unique<HostRun>();
    ASSERT_TRUE(host->start(world.hostEnvironment(x->environment()), kUnit, QString(), 0));
    // The host's own window stands in as the owner; it says its id.
    quint32 owner = 0;
    ASSERT_TRUE(eventually([&] {
        const QString out = host->output();
        const qsizetype at = out.indexOf(QStringLiteral("owner window 0x"));
        if (at >= 0) owner = out.mid(at + 15).section(QLatin1Char('\n'), 0, 0).toUInt(nullptr, 16);
        return owner != 0;
    }));
    const quint32 report = x->waitForNewWindow(host->pid(), {owner}, kStartMs);
    ASSERT_NE(report, 0u) << "the failed load was not reported";
    ASSERT_TRUE(answer(report, QStringLiteral("Return")));
    form = waitForWindow(kUseRight.namePattern);
    ASSERT_NE(form, 0u);
    screenshot(QStringLiteral("no-table.png"));
    closeForm();
}

// Opened on the street's code, as a street office does: the parcel's markers
// are its unit's, and 新增 has no number under the street's code to go on from.
TEST_F(XvfbUseRightForm, MarkerAddedInItsEditorIsStoredAndCountedOnTheSheet)
{
    const QString street = kUnit.left(9);
    const QString parcel = QStringLiteral("0010010011");
    const qint64 id = currentRowId(kUnit, parcel);
    const int markers = markersOf(id);
    ASSERT_GT(markers, 0) << "the marker editor opens only on a count other than 0";
    const qint64 newId = db->value(QStringLiteral("select max(id) from T_JZBSB")).toLongLong() + 1;
    const QString firstKind =
        db->value(QStringLiteral("select JBLXMC from S_JBLX")).toString().trimmed();
    auto markerText = [&](qint64 markerId, const char *column) {
        return db
            ->value(QStringLiteral("select %1 from T_JZBSB where id=?").arg(QLatin1String(column)),
                    {markerId})
            .toString();
    };
    const int rows = db->value(QStringLiteral("select count(*) from T_DJDCB")).toInt();
    ASSERT_TRUE(open(street, parcel));
    // The opening counts the parcel's markers under its own unit.
    EXPECT_TRUE(eventually([&] { return stored(id, "jzdgs").toInt() == markers; }))
        << "the opening stored 界址点个数 " << stored(id, "jzdgs").toStdString();

    // 新增 refused: the box, and no row behind it for a move or the close to store.
    ASSERT_TRUE(press(Button::New));
    quint32 refusal = waitForWindow(QStringLiteral("^错误$"));
    ASSERT_NE(refusal, 0u) << "新增 in the street's session said nothing";
    screenshot(QStringLiteral("street-new-refused.png"));
    ASSERT_TRUE(answer(refusal, QStringLiteral("Return")));
    ASSERT_TRUE(press(Button::Next));
    ASSERT_TRUE(press(Button::Prior));

    const quint32 editor = openEditor(kMarkerButton, kMarkerEditorName);
    ASSERT_NE(editor, 0u) << "界址标示表 opened no editor";
    ASSERT_TRUE(press(editor, EditorButton::New));
    QVariantHash marker;
    ASSERT_TRUE(eventually([&] {
        marker = db->row(QStringLiteral("select * from T_JZBSB where id=?"), {newId});
        return !marker.isEmpty();
    })) << "新增 stored no marker with the next id";
    EXPECT_EQ(marker.value("zdbh").toString(), parcel);
    EXPECT_EQ(marker.value("dwdm").toString(), kUnit);
    EXPECT_EQ(marker.value("xh").toInt(), markers + 1);
    EXPECT_TRUE(marker.value("bgrq").isNull());

    // The unified number keeps the marker from the purge on saving; Enter
    // goes on to the marker kind, where a digit picks from its code list.
    const QString unified = QStringLiteral("J-%1").arg(newId);
    ASSERT_TRUE(clickIn(editor, kUnifiedNumberLeft, kUnifiedNumberTop));
    ASSERT_TRUE(x->key(QStringLiteral("ctrl+a")) && x->type(unified) &&
                x->key(QStringLiteral("Return")) && x->type(QStringLiteral("1")))
        << x->lastError().toStdString();
    ASSERT_TRUE(press(editor, EditorButton::Save));
    EXPECT_TRUE(eventually([&] { return markerText(newId, "jzdtbh") == unified; }))
        << "保存 did not store the unified number: " << markerText(newId, "jzdtbh").toStdString();
    EXPECT_EQ(markerText(newId, "jblx"), firstKind);

    // Typing not yet stored: 退出 asks; Escape goes back to it, Return stores it.
    ASSERT_TRUE(clickIn(editor, kUnifiedNumberLeft, kUnifiedNumberTop));
    ASSERT_TRUE(x->key(QStringLiteral("End")) && x->type(QStringLiteral("A")))
        << x->lastError().toStdString();
    ASSERT_TRUE(press(editor, EditorButton::Exit));
    quint32 box = waitForWindow(QStringLiteral("^提示$"));
    ASSERT_NE(box, 0u) << "退出 with typing not stored asked nothing";
    screenshot(QStringLiteral("editor-close-box.png"));
    ASSERT_TRUE(answer(box, QStringLiteral("Escape")));
    EXPECT_EQ(markerText(newId, "jzdtbh"), unified) << "取消 stored the typing";
    ASSERT_TRUE(press(editor, EditorButton::Exit));
    box = waitForWindow(QStringLiteral("^提示$"));
    ASSERT_NE(box, 0u) << "取消 closed the editor";
    ASSERT_TRUE(answer(box, QStringLiteral("Return")));
    ASSERT_TRUE(x->waitUntilGone(editor, kStepMs)) << "保存 on closing left the editor open";
    EXPECT_EQ(markerText(newId, "jzdtbh"), unified + QStringLiteral("A"));

    // The sheet counts the markers as the editor closes and stores the count
    // with the row: here on 保存.
    ASSERT_TRUE(press(Button::Save));
    EXPECT_TRUE(eventually([&] { return stored(id, "jzdgs").toInt() == markers + 1; }))
        << "保存 after the editor stored 界址点个数 " << stored(id, "jzdgs").toStdString();
    closeForm();
    EXPECT_EQ(markersOf(id), markers + 1);
    EXPECT_EQ(stored(id, "jzdgs").toInt(), markersOf(id));
    EXPECT_EQ(db->value(QStringLiteral("select count(*) from T_DJDCB")).toInt(), rows);
    EXPECT_EQ(
        db->value(QStringLiteral("select count(*) from T_JZBSB where dwdm=?"), {street}).toInt(),
        0);
}

} // namespace
