#include "forms/use_right_sheet.h"

#include "widgets/db_combo_box.h"
#include "widgets/db_memo.h"

using namespace zarn::forms;
using namespace zarn::ui;

UseRightSheet::UseRightSheet(QWidget *parent)
    : SurveySheet(useRightSheet(), parent)
{
    DBComboBox1 = comboBox(QStringLiteral("DBComboBox1"));
    DBComboBox2 = comboBox(QStringLiteral("DBComboBox2"));
    DBComboBox3 = comboBox(QStringLiteral("DBComboBox3"));
    DBComboBox4 = comboBox(QStringLiteral("DBComboBox4"));
    DBComboBox5 = comboBox(QStringLiteral("DBComboBox5"));
    DBComboBox6 = comboBox(QStringLiteral("DBComboBox6"));
    DBComboBox7 = comboBox(QStringLiteral("DBComboBox7"));
    DBComboBox8 = comboBox(QStringLiteral("DBComboBox8"));
    DBMemo1 = qobject_cast<DBMemo *>(control(QStringLiteral("DBMemo1")));
    // The survey type keeps its two entries; the other lists are filled from
    // the code tables when the form opens.
    DBComboBox1->setEntries({QStringLiteral("初始"), QStringLiteral("变更")});
}

UseRightSheet::~UseRightSheet() = default;
