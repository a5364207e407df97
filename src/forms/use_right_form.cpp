#include "forms/use_right_form.h"

#include "data/dataset.h"
#include "data/errors.h"
#include "forms/sheet_layout.h"
#include "forms/use_right_sheet.h"
#include "schema/statements.h"
#include "session/session_context.h"
#include "widgets/banner.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/guard.h"

#include <QFrame>
#include <QLineEdit>
#include <QResizeEvent>

using namespace zarn;
using namespace zarn::forms;
using namespace zarn::ui;

namespace {

constexpr int kDesignWidth = 696; // outer width the window may not exceed
constexpr int kSnapWidth = 694;   // outer width it snaps back to

// The columns a new use-right row sets, in this order.
constexpr NewRowColumn kNewRow[] = {
    {.column = "id", .value = NewValue::RowId},
    {.column = "ysdm", .value = NewValue::Text, .arg = "250000"},
    {.column = "qhdm", .value = NewValue::District},
    {.column = "jddm", .value = NewValue::Street},
    {.column = "jfdm", .value = NewValue::Block},
    {.column = "dwdm", .value = NewValue::SessionUnit},
    {.column = "qsdm", .value = NewValue::SessionUnit},
    {.column = "DCLX", .value = NewValue::Text, .arg = "初始"},
    {.column = "ZDBH", .value = NewValue::ParcelNumber},
    {.column = "DCBH", .value = NewValue::SurveyNumber},
    {.column = "ybdjh", .value = NewValue::ParcelNumber},
    {.column = "qlr", .value = NewValue::Text, .arg = ""},
    {.column = "jzdgs", .value = NewValue::Text, .arg = "0"},
    {.column = "QLRZS", .value = NewValue::Text, .arg = "0"},
    {.column = "QSDCJS", .value = NewValue::Remembered},
    {.column = "DJKZJS", .value = NewValue::Remembered},
    {.column = "DCSHYJ", .value = NewValue::Remembered},
    {.column = "KZY", .value = NewValue::Remembered},
    {.column = "DCY", .value = NewValue::Remembered},
    {.column = "QSDCY", .value = NewValue::Remembered},
    {.column = "DCSHR", .value = NewValue::Remembered},
    {.column = "sm", .value = NewValue::Remembered},
    {.column = "DCRQ", .value = NewValue::Today},
    {.column = "KZRQ", .value = NewValue::Today},
    {.column = "DCSHRQ", .value = NewValue::Today},
    {.column = "dcblx", .value = NewValue::Integer, .arg = "0"},
};

const SheetList kGylxLists[] = {{.control = "DBComboBox4", .column = &sql::codeGylx.column}};
const SheetList kQsxzLists[] = {{.control = "DBComboBox3", .column = &sql::codeQsxz.column}};
const SheetList kDwxzLists[] = {{.control = "DBComboBox2", .column = &sql::codeDwxz.column}};
// The four land-use lists from one pass over the land classes.
const SheetList kLandUseLists[] = {
    {.control = "DBComboBox5", .column = &sql::codeDldm.column},
    {.control = "DBComboBox7", .column = &sql::codeDldm.column},
    {.control = "DBComboBox6", .column = &sql::codeDldmName},
    {.control = "DBComboBox8", .column = &sql::codeDldmName},
};
const SheetCodeTable kCodeLists[] = {
    {.sql = &sql::codeGylx.sql, .lists = kGylxLists},
    {.sql = &sql::codeQsxz.sql, .lists = kQsxzLists},
    {.sql = &sql::codeDwxz.sql, .lists = kDwxzLists},
    {.sql = &sql::codeDldm.sql, .lists = kLandUseLists},
};

const SurveyFormDescription kForm{
    .objectName = "frmrptdjdcb",
    .caption = "使用权地籍调查表",
    .bannerTitle = "使用权调查表录入",
    .bannerPanel = {.name = "Panel2", .height = 60},
    .bannerImage = "Image1",
    .buttonPanel = {.name = "Panel1", .height = 39},
    .sheet = useRightSheetLayout(),
    .loadStatement = sql::djdcListUseRight,
    .newRow = kNewRow,
    .lockMemo = true,
    .coUserAreaCaption = nullptr,
    .codeLists = kCodeLists,
    .recountsBoundaryPoints = true,
    .surveyKind = 0,
};

} // namespace

UseRightForm::UseRightForm(SessionContext &session, QWidget *owner)
    : SurveyForm(kForm, session, owner)
{
    // 696 x 708 outside; the window system adds the frame to this client size.
    resize(688, 674);
    setUp(new UseRightSheet(this));

    // Land-use linkage: only what the user chooses or types, never a row
    // merely shown, moves the other three lists.
    const UseRightSheet *s = useRightSheet();
    for (DBComboBox *list :
         {s->approvedUseCodeList, s->approvedUseList, s->actualUseCodeList, s->actualUseList}) {
        connect(list, &QComboBox::activated, this,
                [this, list] { guard(this, [this, list] { landUseChanged(list); }); });
        if (list->lineEdit())
            connect(list->lineEdit(), &QLineEdit::textEdited, this,
                    [this, list] { guard(this, [this, list] { landUseChanged(list); }); });
    }

    guard(this, [this] { openRows(); });
}

UseRightForm::~UseRightForm() = default;

UseRightSheet *UseRightForm::useRightSheet() const
{
    return static_cast<UseRightSheet *>(sheet());
}

// ---------------------------------------------------------------- opening

void UseRightForm::openRows()
{
    loadRows();
    try {
        placeOnHostParcel();
    } catch (const Error &) {
        // Not finding the host's parcel leaves the cursor where it is.
    }
    placeOnFirstParcel();
    if (table().isEmpty()) addNew();
    applyChangeLock();
    openRest();
}

void UseRightForm::placeOnHostParcel()
{
    Dataset &t = table();
    const QString zdh = session().parcelNumber;
    if (zdh.isEmpty()) return;
    const int zdbh = t.indexOf(QStringLiteral("zdbh"));
    const int bgrq = t.indexOf(QStringLiteral("bgrq"));
    int any = -1;
    // In a district's list the parcel's rows are found where the database
    // counts them, and end at the first other number.
    const int from = t.seek(QStringLiteral("zdbh"), zdh);
    for (int row = std::max(0, from); row < t.recordCount(); ++row) {
        if (Dataset::textOf(t.valueAt(row, zdbh)) != zdh) {
            if (from >= 0) break;
            continue;
        }
        if (Dataset::isNullValue(t.valueAt(row, bgrq))) {
            t.moveTo(row);
            return;
        }
        if (any < 0) any = row;
    }
    if (any >= 0) t.moveTo(any);
}

void UseRightForm::resizeEvent(QResizeEvent *event)
{
    SurveyDialog::resizeEvent(event);
    const int frame = frameGeometry().width() - width();
    if (width() + frame > kDesignWidth) resize(kSnapWidth - frame, height());
}

// ---------------------------------------------------------------- land use

void UseRightForm::landUseChanged(DBComboBox *list)
{
    const int n = list->entries().indexOf(list->currentText());
    if (n < 0) return; // typed text that is no entry of the list: nothing to follow
    Dataset &t = table();
    t.edit();
    const UseRightSheet *s = useRightSheet();
    auto entry = [n](DBComboBox *from) { return from->entries().value(n); };
    if (list == s->approvedUseCodeList) {
        t.setValue(QStringLiteral("TDYTDM"), entry(s->actualUseCodeList));
        t.setValue(QStringLiteral("pzyt"), entry(s->approvedUseList));
        t.setValue(QStringLiteral("tdyt"), entry(s->actualUseList));
    } else if (list == s->approvedUseList) {
        t.setValue(QStringLiteral("TDYTDM"), entry(s->actualUseCodeList));
        t.setValue(QStringLiteral("PZYTDM"), entry(s->approvedUseCodeList));
        t.setValue(QStringLiteral("tdyt"), entry(s->actualUseList));
    } else if (list == s->actualUseCodeList) {
        t.setValue(QStringLiteral("tdyt"), entry(s->actualUseList));
    } else if (list == s->actualUseList) {
        t.setValue(QStringLiteral("TDYTDM"), entry(s->actualUseCodeList));
    }
}
