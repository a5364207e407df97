#pragma once

#include "forms/survey_sheet.h"

namespace zarn::ui {
class DBComboBox;
class DBMemo;
} // namespace zarn::ui

// The use-right survey sheet, with the lists and the memo its form handles by
// name.
class UseRightSheet : public SurveySheet {
    Q_OBJECT
public:
    explicit UseRightSheet(QWidget *parent = nullptr);
    ~UseRightSheet() override;

    zarn::ui::DBComboBox *DBComboBox1 = nullptr;
    zarn::ui::DBComboBox *DBComboBox2 = nullptr;
    zarn::ui::DBComboBox *DBComboBox3 = nullptr;
    zarn::ui::DBComboBox *DBComboBox4 = nullptr;
    zarn::ui::DBComboBox *DBComboBox5 = nullptr;
    zarn::ui::DBComboBox *DBComboBox6 = nullptr;
    zarn::ui::DBComboBox *DBComboBox7 = nullptr;
    zarn::ui::DBComboBox *DBComboBox8 = nullptr;
    zarn::ui::DBMemo *DBMemo1 = nullptr;
};
