#pragma once

#include "forms/survey_form.h"

class QFrame;
class UseRightSheet;

namespace zarn::ui {
class Banner;
class DBComboBox;
} // namespace zarn::ui

// The use-right survey form (form kind 0). Besides what both survey forms do,
// it opens on the host's parcel, makes a first row for an empty unit, fills
// its lists from the code tables, links the four land-use lists, stores the
// boundary-point count of each row it moves to, and may be narrowed.
class UseRightForm : public SurveyForm {
    Q_OBJECT
public:
    explicit UseRightForm(zarn::SessionContext &session, QWidget *owner = nullptr);
    ~UseRightForm() override;

    // The sheet with the lists and the memo this form handles by name.
    UseRightSheet *useRightSheet() const;

    void openRows() override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeOnHostParcel();
    void landUseChanged(zarn::ui::DBComboBox *list);
};
