// The four editors as a surveyor sees them, on demo data on a real X display.
#include "data/statement_runner.h"
#include "editors/boundary_designation_editor.h"
#include "editors/boundary_marker_editor.h"
#include "editors/co_user_editor.h"
#include "editors/four_sides_editor.h"
#include "session/session_context.h"
#include "support/scratch_db.h"
#include "widgets/messages.h"
#include "widgets/speed_button.h"
#include "zarn-db/demo_data.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace zarn;
using namespace zarn::test;

namespace {

TEST(XvfbEditors, OpenOnDemoDataWithTheirLabelsOnTheirControlsAndTheButtonsDownTheRight)
{
    if (qEnvironmentVariableIsEmpty("ZARN_TEST_DISPLAY")) GTEST_SKIP() << "no X display";
    ScratchDatabase db(Backend::Sqlite);
    zarn::SessionContext session;
    db.openSurvey(session.connection);
    const demo::DemoSummary demo = demo::fillDemoData(session.connection, {1, 60, 7});
    session.unitCode = demo.unitCodes.value(0);
    // A current parcel of the unit with co-use-right holders (the rarest rows).
    runQuery(session.scratchQuery,
           QStringLiteral("select zdbh from T_GYQ where dwdm = ? and bgrq is null order by zdbh"),
           {session.unitCode});
    ASSERT_FALSE(session.scratchQuery.isEmpty());
    const QString parcel = Dataset::textOf(session.scratchQuery.value(0));
    runQuery(session.surveyRows,
           QStringLiteral("select * from T_DJDCB where zdbh = ? and dwdm = ? and bgrq is null"),
           {parcel, session.unitCode});
    ui::RecordingMessageService messages;
    const QString shots = qEnvironmentVariable("ZARN_SCREENSHOT_DIR");

    std::unique_ptr<editors::AttachedEditor> editors[] = {
        std::make_unique<BoundaryMarkerEditor>(session),
        std::make_unique<BoundaryDesignationEditor>(session),
        std::make_unique<FourSidesEditor>(session), std::make_unique<CoUserEditor>(session)};
    for (auto &e : editors) {
        SCOPED_TRACE(e->objectName().toStdString());
        e->parcelNumber = parcel;
        e->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(e.get()));
        EXPECT_GT(e->dataset().recordCount(), 0);
        EXPECT_EQ(e->dataset().text("ZDBH"), parcel);

        // Buttons in one column at the right edge, top to bottom in their order.
        const QList<ui::SpeedButton *> buttons{e->firstButton, e->previousButton, e->nextButton,
                                               e->lastButton,  e->newButton,      e->deleteButton,
                                               e->saveButton,  e->exitButton};
        int top = -1;
        for (ui::SpeedButton *b : buttons) {
            const QRect r(b->mapTo(e.get(), QPoint(0, 0)), b->size());
            EXPECT_LE(e->width() - r.right(), 16) << b->objectName().toStdString();
            EXPECT_GT(r.top(), top) << b->objectName().toStdString();
            EXPECT_LE(r.bottom(), e->height());
            top = r.bottom();
        }
        // Each label on its control's line, before it, whole, in a face that has its characters.
        for (QLabel *label : e->container->findChildren<QLabel *>()) {
            QWidget *control = label->buddy();
            ASSERT_NE(control, nullptr) << label->objectName().toStdString();
            const QRect l(label->mapTo(e.get(), QPoint(0, 0)), label->size());
            const QRect c(control->mapTo(e.get(), QPoint(0, 0)), control->size());
            EXPECT_LE(std::abs(l.center().y() - c.center().y()), 2) << label->text().toStdString();
            EXPECT_LE(l.right(), c.left()) << label->text().toStdString();
            const QFontMetrics fm(label->font());
            EXPECT_GE(label->width(), fm.horizontalAdvance(label->text()))
                << label->text().toStdString();
            for (const QChar ch : label->text())
                EXPECT_TRUE(ch.unicode() < 0x80 || fm.inFont(ch)) << label->text().toStdString();
        }

        const QPixmap entry = e->screen()->grabWindow(0);
        EXPECT_FALSE(entry.isNull());
        e->pages->setCurrentIndex(1);
        QTest::qWait(0);
        const QPixmap list = e->screen()->grabWindow(0);
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            entry.save(QDir(shots).filePath(e->objectName() + QStringLiteral("-entry.png")));
            list.save(QDir(shots).filePath(e->objectName() + QStringLiteral("-list.png")));
        }
        e->close();
    }
    EXPECT_TRUE(messages.records.isEmpty());
}

} // namespace
