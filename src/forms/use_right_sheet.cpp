#include "forms/use_right_sheet.h"

#include "widgets/db_combo_box.h"
#include "widgets/db_memo.h"

using namespace zarn::forms;
using namespace zarn::ui;

UseRightSheet::UseRightSheet(QWidget *parent)
    : SurveySheet(useRightSheetLayout(), parent)
{
    surveyKindList = comboBox(QStringLiteral("DBComboBox1"));
    userNatureList = comboBox(QStringLiteral("DBComboBox2"));
    tenureList = comboBox(QStringLiteral("DBComboBox3"));
    rightTypeList = comboBox(QStringLiteral("DBComboBox4"));
    approvedUseCodeList = comboBox(QStringLiteral("DBComboBox5"));
    approvedUseList = comboBox(QStringLiteral("DBComboBox6"));
    actualUseCodeList = comboBox(QStringLiteral("DBComboBox7"));
    actualUseList = comboBox(QStringLiteral("DBComboBox8"));
    surveyNotesMemo = qobject_cast<DBMemo *>(control(QStringLiteral("DBMemo1")));
    // The survey type keeps its two entries; the other lists are filled from
    // the code tables when the form opens.
    surveyKindList->setEntries({QStringLiteral("初始"), QStringLiteral("变更")});
}

UseRightSheet::~UseRightSheet() = default;
