// The ownership form as a surveyor meets it, through the demo host with form
// kind 1: a new row, typing, save, a move that stores what was typed, delete
// and close, each checked in the survey database from outside.
#include "form_driver.h"

using namespace zarn::e2e;

namespace {

const FormLayout kOwnership{QStringLiteral("^所有权地籍调查表$"), 57, 1};

constexpr Blank kOwnerName{"RzDBEdit6", 168, 28, 492}; // 土地所有者(农民集体)名称 (qsmc)
constexpr Blank kMapSheet{"DBEdit19", 404, 72, 256};   // 所在图幅号 (SZTFH)
constexpr Blank kNotes{"DBEdit25", 88, 254, 572};      // 权属调查记事 (SM)

class XvfbOwnershipForm : public XvfbFormTest {
protected:
    XvfbOwnershipForm()
        : XvfbFormTest(kOwnership)
    {
    }
};

TEST_F(XvfbOwnershipForm, NewTypeSaveMoveDeleteAndCloseReachTheDatabase)
{
    ASSERT_TRUE(open(kUnit, QString()));
    const qint64 highestId = db->value(QStringLiteral("select max(id) from T_DJDCB")).toLongLong();
    const QString highestParcel =
        db->value(QStringLiteral("select max(zdbh) from T_DJDCB where dwdm=?"), {kUnit}).toString();
    const QString highestSurvey =
        db->value(QStringLiteral("select max(dcbh) from T_DJDCB where dwdm=?"), {kUnit}).toString();

    ASSERT_TRUE(press(Button::New));
    const qint64 id = highestId + 1;
    QVariantHash row;
    ASSERT_TRUE(eventually([&] {
        row = db->row(QStringLiteral("select * from T_DJDCB where id=?"), {id});
        return !row.isEmpty();
    })) << "新增 stored no row with the next id";
    EXPECT_EQ(row.value("zdbh").toString(), followingNumber(highestParcel));
    EXPECT_EQ(row.value("dcbh").toString(), QString::number(highestSurvey.toLongLong() + 1));
    EXPECT_EQ(row.value("dcblx").toInt(), 1);
    EXPECT_EQ(row.value("dwdm").toString(), kUnit);
    EXPECT_EQ(row.value("jzdgs").toString(), QStringLiteral("0"));
    EXPECT_TRUE(row.value("dclx").isNull()) << "the ownership form sets no survey type";

    const QString owner = QStringLiteral("城东村第一村民小组");
    const QString mapSheet = QStringLiteral("3549.00-391.00");
    ASSERT_TRUE(typeInto(kOwnerName, owner));
    ASSERT_TRUE(typeInto(kMapSheet, mapSheet));
    ASSERT_TRUE(press(Button::Save));
    EXPECT_TRUE(eventually([&] { return stored(id, "sztfh") == mapSheet; }))
        << "保存 did not store the map sheet: " << stored(id, "sztfh").toStdString();
    EXPECT_EQ(stored(id, "qsmc"), owner);
    screenshot(QStringLiteral("ownership-new-row.png"));

    // Typed, not saved: the move stores it.
    const QString notes = QStringLiteral("界址清楚，无争议");
    ASSERT_TRUE(typeInto(kNotes, notes));
    ASSERT_TRUE(press(Button::Prior));
    EXPECT_TRUE(eventually([&] { return stored(id, "sm") == notes; }))
        << "上记录 did not store the typing: " << stored(id, "sm").toStdString();

    // Back on the new row, delete it after the confirmation.
    ASSERT_TRUE(press(Button::Last));
    ASSERT_TRUE(press(Button::Delete));
    const quint32 box = waitForWindow(kDeleteBoxName);
    ASSERT_NE(box, 0u);
    ASSERT_TRUE(answer(box, QStringLiteral("Return")));
    EXPECT_TRUE(eventually([&] {
        return db->value(QStringLiteral("select count(*) from T_DJDCB where id=?"), {id}).toInt() ==
               0;
    })) << "删除 left the row";
    closeForm();
}

} // namespace
