#include "dialogs/frm_Input.h"

#include "component/DataM.h"
#include "widgets/data_source.h"
#include "widgets/db_grid.h"
#include "widgets/fonts.h"
#include "widgets/speed_button.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

using namespace zarn::ui;

TFrmInput::TFrmInput(QWidget *owner)
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

    DataSource1 = new DataSource(DataMod ? &DataMod->djdcTable : nullptr, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));

    DBGrid1 = new DBGrid(QStringLiteral("DBGrid1"), this);
    DBGrid1->setColumns({
        {QStringLiteral("zdbh"), QStringLiteral("宗地号"), 90, {}, true},
        {QStringLiteral("dwdm"), QStringLiteral("单位代码"), 90, {}, true},
        {QStringLiteral("jddm"), QStringLiteral("街道代码"), 60, {}, true},
        {QStringLiteral("jfdm"), QStringLiteral("街坊代码"), 60, {}, true},
        {QStringLiteral("qlr"), QStringLiteral("土地使用者"), 120, {}, true},
        {QStringLiteral("tdzl"), QStringLiteral("土地坐落"), 160, {}, true},
        {QStringLiteral("tdyt"), QStringLiteral("土地用途"), 80, {}, true},
    });
    DBGrid1->setReadOnly(true);
    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    // One parcel among a hundred thousand: typing its number finds it.
    DBGrid1->setSearchColumn(QStringLiteral("zdbh"));
    DBGrid1->setDataSource(DataSource1);
    layout->addWidget(DBGrid1, 1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    Panel1->setFrameShape(QFrame::NoFrame);
    Label1 = new QLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(4, 10);
    Label1->setMinimumWidth(200);
    layout->addWidget(Panel1);
}

TFrmInput::~TFrmInput() = default;
