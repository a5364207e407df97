#include "forms/ownership_form.h"

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
    {.column = "id", .value = NewValue::RowId},
    {.column = "ysdm", .value = NewValue::Text, .arg = "250000"},
    {.column = "qhdm", .value = NewValue::District},
    {.column = "jddm", .value = NewValue::Street},
    {.column = "jfdm", .value = NewValue::Block},
    {.column = "dwdm", .value = NewValue::SessionUnit},
    {.column = "qsdm", .value = NewValue::SessionUnit},
    {.column = "ZDBH", .value = NewValue::ParcelNumber},
    {.column = "DCBH", .value = NewValue::SurveyNumber},
    {.column = "qsmc", .value = NewValue::Text, .arg = ""},
    {.column = "jzdgs", .value = NewValue::Text, .arg = "0"},
    {.column = "QSDCJS", .value = NewValue::Remembered},
    {.column = "KZY", .value = NewValue::Remembered},
    {.column = "QSDCY", .value = NewValue::Remembered},
    {.column = "sm", .value = NewValue::Remembered},
    {.column = "DCRQ", .value = NewValue::Today},
    {.column = "dcblx", .value = NewValue::Integer, .arg = "1"},
};

const SurveyFormDescription kForm{
    .objectName = "frmsyqdjdcb",
    .caption = "所有权地籍调查表",
    .bannerTitle = "所有权调查表录入",
    .bannerPanel = {.name = "Panel1", .height = 57},
    .bannerImage = "Image2",
    .buttonPanel = {.name = "Panel2", .height = 39},
    .sheet = ownershipSheetLayout(),
    .loadStatement = sql::djdcListOwnership,
    .newRow = kNewRow,
    .lockMemo = false,
    .coUserAreaCaption = "分摊土地系数",
    .codeLists = {},
    .recountsBoundaryPoints = false,
    .surveyKind = 1,
};

} // namespace

OwnershipForm::OwnershipForm(SessionContext &session, QWidget *owner)
    : SurveyForm(kForm, session, owner)
{
    setUp(new SurveySheet(ownershipSheetLayout(), this));
    setFixedSize(671, 418);
    setWindowFlags((windowFlags() & ~Qt::WindowMinMaxButtonsHint) |
                   Qt::MSWindowsFixedSizeDialogHint);

    guard(this, [this] { openRows(); });
    sheet()->control(QStringLiteral("Rzdbedit1"))->setFocus();
}

OwnershipForm::~OwnershipForm() = default;

void OwnershipForm::openRows()
{
    try {
        loadRows();
    } catch (const Error &e) {
        // The form opens without rows; the user reads why.
        messageBox(e.message(), QStringLiteral("提示"), MessageIcon::Warning, Ok, this);
    }
    placeOnFirstParcel();
    applyChangeLock();
    openRest();
}
