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

    zarn::ui::DBComboBox *surveyKindList = nullptr;
    zarn::ui::DBComboBox *userNatureList = nullptr;
    zarn::ui::DBComboBox *tenureList = nullptr;
    zarn::ui::DBComboBox *rightTypeList = nullptr;
    zarn::ui::DBComboBox *approvedUseCodeList = nullptr;
    zarn::ui::DBComboBox *approvedUseList = nullptr;
    zarn::ui::DBComboBox *actualUseCodeList = nullptr;
    zarn::ui::DBComboBox *actualUseList = nullptr;
    zarn::ui::DBMemo *surveyNotesMemo = nullptr;
};
