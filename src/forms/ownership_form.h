#pragma once

#include "forms/survey_form.h"

class QFrame;

namespace zarn::ui {
class Banner;
}

// The ownership survey form (form kind 1): a farmers' collective's parcel on
// the printed ownership table. A fixed-size window; what it does is what both
// survey forms do, and a failed load is said in a box of its own.
class OwnershipForm : public SurveyForm {
    Q_OBJECT
public:
    explicit OwnershipForm(zarn::SessionContext &session, QWidget *owner = nullptr);
    ~OwnershipForm() override;

    void openRows() override;
};
