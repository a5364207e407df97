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

    QFrame *Panel2 = nullptr;           // the banner band
    zarn::ui::Banner *Image1 = nullptr; // the banner
    UseRightSheet *frmFrameMain1 = nullptr;
    QFrame *Panel1 = nullptr; // the speed-button band

    void FormCreate() override;
    // The sheet's editor buttons, under the names this form gives them.
    void frmFrameMain1Button1Click() { Button1Click(); }
    void frmFrameMain1Button2Click() { Button2Click(); }
    void frmFrameMain1Button3Click() { Button3Click(); }
    void frmFrameMain1Button4Click() { Button4Click(); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeOnHostParcel();
    void landUseChanged(zarn::ui::DBComboBox *list);
};
