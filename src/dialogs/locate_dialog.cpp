#include "dialogs/locate_dialog.h"

#include "session/session_context.h"
#include "widgets/data_source.h"
#include "widgets/db_grid.h"
#include "widgets/fonts.h"
#include "widgets/speed_button.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

using namespace zarn::ui;

LocateDialog::LocateDialog(zarn::SessionContext &session, QWidget *owner)
    : SurveyDialog(owner)
{
    setObjectName(QStringLiteral("FrmInput"));
    setWindowTitle(QStringLiteral("宗地定位"));
    setWindowIcon(surveyWindowIcon());
    setFont(songFont(9));
    setSizeGripEnabled(true);
    resize(510, 380);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    rowSource = new DataSource(&session.surveyRows, this);
    rowSource->setObjectName(QStringLiteral("DataSource1"));

    grid = new DBGrid(QStringLiteral("DBGrid1"), this);
    // All seven columns in the window's width, beside the scroll bar of a
    // long list: numbers, codes and titles whole, the location what is left
    // beside the land use, and the land use the rest (more as the window grows).
    const auto fit = [this](std::initializer_list<const char16_t *> texts) {
        int width = 0;
        for (const char16_t *t : texts)
            width = qMax(width, grid->columnWidthFor(QString::fromUtf16(t)));
        return width;
    };
    const int zdbh = fit({u"宗地号", u"0000000000"});
    const int dwdm = fit({u"单位代码", u"000000000000"});
    const int jddm = fit({u"街道代码"});
    const int jfdm = fit({u"街坊代码"});
    const int qlr = fit({u"土地使用者"});
    const int tdyt = fit({u"土地用途"});
    const int tdzl = qMax(fit({u"土地坐落"}),
                          grid->columnRoomFor(width()) - (zdbh + dwdm + jddm + jfdm + qlr + tdyt));
    grid->setColumns({
        {QStringLiteral("zdbh"), QStringLiteral("宗地号"), zdbh, {}, true},
        {QStringLiteral("dwdm"), QStringLiteral("单位代码"), dwdm, {}, true},
        {QStringLiteral("jddm"), QStringLiteral("街道代码"), jddm, {}, true},
        {QStringLiteral("jfdm"), QStringLiteral("街坊代码"), jfdm, {}, true},
        {QStringLiteral("qlr"), QStringLiteral("土地使用者"), qlr, {}, true},
        {QStringLiteral("tdzl"), QStringLiteral("土地坐落"), tdzl, {}, true},
        {QStringLiteral("tdyt"), QStringLiteral("土地用途"), tdyt, {}, true},
    });
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setReadOnly(true);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    // One parcel among a hundred thousand: typing its number finds it, in
    // its current version (an older one would bring the sheet back locked).
    grid->setSearchColumn(QStringLiteral("zdbh"));
    grid->setSearchPreferNull(QStringLiteral("bgrq"), {QStringLiteral("dwdm")});
    grid->setDataSource(rowSource);
    layout->addWidget(grid, 1);

    headerPanel = new QFrame(this);
    headerPanel->setObjectName(QStringLiteral("Panel1"));
    headerPanel->setFixedHeight(33);
    headerPanel->setFrameShape(QFrame::NoFrame);
    hint = new QLabel(headerPanel);
    hint->setObjectName(QStringLiteral("Label1"));
    hint->move(4, 10);
    hint->setMinimumWidth(200);
    layout->addWidget(headerPanel);
}

LocateDialog::~LocateDialog() = default;

void LocateDialog::showEvent(QShowEvent *event)
{
    SurveyDialog::showEvent(event);
    if (!event->spontaneous()) centreOnScreen(); // a window brought back stays where it is
}
