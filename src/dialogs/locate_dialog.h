#pragma once

#include "widgets/survey_dialog.h"

class QFrame;
class QLabel;

namespace zarn {
class SessionContext;
}
namespace zarn::ui {
class DataSource;
class DBGrid;
} // namespace zarn::ui

// The parcel locate dialog: a read-only grid over the survey form's own
// dataset; choosing a row in it moves the form's current row.
class LocateDialog : public zarn::ui::SurveyDialog {
    Q_OBJECT
public:
    explicit LocateDialog(zarn::SessionContext &session, QWidget *owner = nullptr);
    ~LocateDialog() override;

    zarn::ui::DBGrid *grid = nullptr;
    QFrame *headerPanel = nullptr;
    QLabel *hint = nullptr;
    zarn::ui::DataSource *rowSource = nullptr;

protected:
    // In the middle of the screen, not over the form that opened it.
    void showEvent(QShowEvent *event) override;
};
