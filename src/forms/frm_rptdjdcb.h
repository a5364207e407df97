#pragma once

#include "schema/numbering.h"
#include "widgets/survey_dialog.h"

#include <QString>

class QFrame;
class TfrmFrameMain;

namespace zarn {
class Dataset;
}
namespace zarn::ui {
class Banner;
class DataSource;
class DBComboBox;
class SpeedButton;
} // namespace zarn::ui

// The use-right survey form: one T_DJDCB row at a time on the printed sheet,
// with the navigator, new, delete, save and locate buttons.
class Tfrmrptdjdcb : public zarn::ui::SurveyDialog {
    Q_OBJECT
public:
    explicit Tfrmrptdjdcb(QWidget *owner = nullptr);
    ~Tfrmrptdjdcb() override;

    QFrame *Panel2 = nullptr;
    zarn::ui::Banner *Image1 = nullptr;
    TfrmFrameMain *frmFrameMain1 = nullptr;
    QFrame *Panel1 = nullptr;
    zarn::ui::SpeedButton *spbFirst = nullptr;
    zarn::ui::SpeedButton *spbPre = nullptr;
    zarn::ui::SpeedButton *spbNext = nullptr;
    zarn::ui::SpeedButton *spbLast = nullptr;
    zarn::ui::SpeedButton *spbNew = nullptr;
    zarn::ui::SpeedButton *spbDel = nullptr;
    zarn::ui::SpeedButton *spbSave = nullptr;
    zarn::ui::SpeedButton *spbViewCurrRec = nullptr;
    zarn::ui::DataSource *DataSource1 = nullptr;

    // Handlers; each runs through the error guard when wired to its event.
    void FormCreate();
    void spbFirstClick();
    void spbPreClick();
    void spbNextClick();
    void spbLastClick();
    void spbViewCurrRecClick();
    void spbNewClick();
    void spbSaveClick();
    void spbDelClick();

    // Shared steps.
    void setcomp();
    void SaveThisDCBinfo();
    void recountBoundaryPoints();

    const zarn::numbering::UnitCodeParts &unitCodeParts() const { return m_parts; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Move { First, Prior, Next, Last };
    void moveClick(Move move);
    void placeOnHostParcel();
    void fillCodeLists();
    void landUseChanged(zarn::ui::DBComboBox *list);
    void digitPicked(zarn::ui::DBComboBox *list);
    zarn::Dataset &table() const;

    zarn::numbering::UnitCodeParts m_parts;
};
