// The findings window on a demo survey: it lists what the checks find, a
// double-click asks for the finding's parcel, and 重新检查 shows the survey
// as it is stored now.
#include "data/connection.h"
#include "support/scratch_db.h"
#include "dialogs/findings_window.h"
#include "zarn-db/demo_data.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace zarn;
using namespace zarn::test;

TEST(FindingsWindowTest, DoubleClickAsksForTheParcelAndRefreshShowsTheStoredSurvey)
{
    ScratchDatabase db(Backend::Sqlite);
    auto c = db.openSurvey();
    demo::fillDemoData(*c, {1, 30, 2});
    const QString unit = demo::demoUnitCode(0);
    const QString parcel =
        scalar(*c, QStringLiteral("select max(ZDBH) from T_DJDCB where bgrq is null")).toString();
    const QString dcbh = scalar(*c,
                                QStringLiteral("select DCBH from T_DJDCB where ZDBH = ? and "
                                               "bgrq is null"),
                                {parcel})
                             .toString();
    c->exec(zarn::Access::Write, QStringLiteral("update T_DJDCB set JZDGS = JZDGS + 1 where ZDBH = ?"), {parcel}, false);

    ui::FindingsWindow w(*c, unit, -1);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTableWidget *grid = w.grid();
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("错误"));
    EXPECT_EQ(grid->item(0, 1)->text(), parcel);
    EXPECT_TRUE(grid->item(0, 3)->text().startsWith(QStringLiteral("界址点个数")));

    QSignalSpy chosen(&w, &ui::FindingsWindow::parcelChosen);
    const QRect cell = grid->visualItemRect(grid->item(0, 3));
    // As a hand does it: the first press selects, the second click is the double one.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0], (QList<QVariant>{unit, parcel, dcbh}));

    // Put right and checked again: nothing left, and the window says so.
    c->exec(zarn::Access::Write, QStringLiteral("update T_DJDCB set JZDGS = JZDGS - 1 where ZDBH = ?"), {parcel}, false);
    const auto buttons = w.findChildren<QPushButton *>();
    const auto again = std::find_if(buttons.begin(), buttons.end(), [](QPushButton *b) {
        return b->text() == QStringLiteral("重新检查");
    });
    ASSERT_NE(again, buttons.end());
    QTest::mouseClick(*again, Qt::LeftButton);
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_TRUE(w.findings().isEmpty());

    // A database that has gone keeps the last findings and says why.
    c->exec(zarn::Access::Write, QStringLiteral("alter table T_ZJB rename to T_ZJB_OLD"), {}, false);
    c->exec(zarn::Access::Write, QStringLiteral("update T_DJDCB set JZDGS = JZDGS + 1 where ZDBH = ?"), {parcel}, false);
    w.refresh();
    EXPECT_TRUE(w.findings().isEmpty());
    const auto labels = w.findChildren<QLabel *>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel *l) {
        return l->text().startsWith(QStringLiteral("检查没有完成"));
    }));
}
