#include "forms/frm_syqdjdcb.h"

#include "data/dataset.h"
#include "data/errors.h"
#include "forms/sheet_layout.h"
#include "forms/survey_sheet.h"
#include "schema/statements.h"
#include "widgets/guard.h"
#include "widgets/messages.h"

using namespace zarn;
using namespace zarn::forms;
using namespace zarn::ui;

namespace {

// The columns a new ownership row sets, in this order.
constexpr NewRowColumn kNewRow[] = {
    {"id", NewValue::RowId},           {"ysdm", NewValue::Text, "250000"},
    {"qhdm", NewValue::District},      {"jddm", NewValue::Street},
    {"jfdm", NewValue::Block},         {"dwdm", NewValue::SessionUnit},
    {"qsdm", NewValue::SessionUnit},   {"ZDBH", NewValue::ParcelNumber},
    {"DCBH", NewValue::SurveyNumber},  {"qsmc", NewValue::Text, ""},
    {"jzdgs", NewValue::Text, "0"},    {"QSDCJS", NewValue::Remembered},
    {"KZY", NewValue::Remembered},     {"QSDCY", NewValue::Remembered},
    {"sm", NewValue::Remembered},      {"DCRQ", NewValue::Today},
    {"dcblx", NewValue::Integer, "1"},
};

const SurveyFormDescription kForm{
    "frmsyqdjdcb",  "所有权地籍调查表", "所有权调查表录入",     {"Panel1", 57}, "Image2",
    {"Panel2", 39}, ownershipSheet(),   sql::djdcListOwnership, kNewRow,        false,
    "分摊土地系数",
};

} // namespace

Tfrmsyqdjdcb::Tfrmsyqdjdcb(QWidget *owner)
    : SurveyForm(kForm, owner)
{
    Panel3 = new SurveySheet(ownershipSheet(), this);
    setUp(Panel3);
    Panel1 = bannerPanel;
    Image2 = banner;
    Panel2 = buttonPanel;
    setFixedSize(671, 418);
    setWindowFlags((windowFlags() & ~Qt::WindowMinMaxButtonsHint) |
                   Qt::MSWindowsFixedSizeDialogHint);

    guard(this, [this] { FormCreate(); });
    Panel3->control(QStringLiteral("Rzdbedit1"))->setFocus();
}

Tfrmsyqdjdcb::~Tfrmsyqdjdcb() = default;

void Tfrmsyqdjdcb::FormCreate()
{
    try {
        loadRows();
    } catch (const Error &e) {
        // The form opens without rows; the user reads why.
        messageBox(e.message(), QStringLiteral("提示"), MessageIcon::Warning, Ok, this);
    }
    setcomp();
}
