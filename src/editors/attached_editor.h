#pragma once

// The attached-table editors: BoundaryMarkerEditor (boundary markers, T_JZBSB),
// BoundaryDesignationEditor (boundary designation, T_ZJB), FourSidesEditor (four sides, T_SZB) and
// CoUserEditor (co-use-right holders, T_GYQ). All four are this one AttachedEditor driven by a
// constant AttachedEditorDescription; each editor's own files add its features.
//
// Opening one from a survey form
// ------------------------------
//     BoundaryMarkerEditor editor(session, this); // on the session's rows, owned by the form
//     editor.parcelNumber = parcelNumber;         // the sheet's parcel number, trimmed
//     editor.changeDate = changeDate;           // the survey row's BGRQ as text; "" for a current
//     row editor.rowUnitCode = unitCode;             // the survey row's own DWDM
//     editor.apportionedAreaLabel->setText(QStringLiteral("分摊土地系数")); // CoUserEditor only,
//     when the
//                                                           // ownership form opens it
//     editor.exec();                      // modal; returns when the user closes it
//
// - `parcelNumber` and `changeDate` are read when the editor loads (on showing it), so set
//   them before exec(). An empty `changeDate` opens the parcel's current rows for
//   editing; a change date opens that version's rows read-only.
// - `rowUnitCode` is the survey row's own unit code, which in a street's or a
//   district's session is longer than the session's; empty, the editor takes
//   the session's unit code.
// - The session supplies the form kind (`kind`,
//   written into DCBLX of new rows), the survey row under the cursor of
//   `surveyRows` (its BGRQ and DCRQ go into new rows), the editor's own rows
//   (`markerRows`, `designationRows`, `fourSidesRows`, `coUserRows`) and the
//   `scratchQuery`. It should outlive the editor.
// - The editor returns nothing: what it stored is in the database, and the
//   session's dataset keeps the listed rows. Closing the editor with a new
//   or changed row not yet stored asks whether to store it (by the editor's
//   own save), drop it or go back to it. Afterwards the form recounts what
//   it shows (boundary points after BoundaryMarkerEditor, co-users after CoUserEditor).
// - Errors inside the editor are shown to the user there; exec() does not throw.

#include "editors/editor_description.h"
#include "widgets/key_flow.h"
#include "widgets/survey_dialog.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

class QLabel;
class QPushButton;
class QTabWidget;
namespace zarn {
class DatabaseError;
class SessionContext;
} // namespace zarn

namespace zarn::ui {
class Banner;
class DataSource;
class DBComboBox;
class DBEdit;
class DBGrid;
class SpeedButton;
} // namespace zarn::ui

namespace zarn::editors {

class AttachedEditor : public zarn::ui::SurveyDialog {
    Q_OBJECT
public:
    AttachedEditor(const AttachedEditorDescription &desc, zarn::SessionContext &session,
                   QWidget *owner);
    ~AttachedEditor() override;

    // Set by the survey form before the editor is shown. rowUnitCode is the unit
    // code of the survey row the editor was opened on; empty: the session's.
    QString parcelNumber;
    QString changeDate;
    QString rowUnitCode;
    // The unit code the editor reads and stores rows under: rowUnitCode, or the session's.
    QString unitCode() const;

    const AttachedEditorDescription &description() const { return m_desc; }
    // The session and the editor's rows in it; throw zarn::Error once the
    // session is gone.
    zarn::SessionContext &session() const;
    zarn::Dataset &dataset() const;
    // Decided at loading: the rows of a change date, read-only.
    bool isChangedMode() const { return m_changed; }
    // A new row the user filled in, or a change to a stored row, that the
    // database does not hold yet. A new row as the editor made it is none.
    bool hasUnstoredChange() const;

    zarn::ui::Banner *banner = nullptr;
    QTabWidget *pages = nullptr;
    QWidget *entryPage = nullptr;  // 录入
    QWidget *browsePage = nullptr; // 浏览
    QWidget *container = nullptr; // the entry page's panel (ScrollBox, Panel10, Panel6, Panel11)
    zarn::ui::DBGrid *grid = nullptr;
    zarn::ui::DataSource *rowSource = nullptr;
    zarn::ui::SpeedButton *firstButton = nullptr;
    zarn::ui::SpeedButton *previousButton = nullptr;
    zarn::ui::SpeedButton *nextButton = nullptr;
    zarn::ui::SpeedButton *lastButton = nullptr;
    zarn::ui::SpeedButton *newButton = nullptr;
    zarn::ui::SpeedButton *deleteButton = nullptr;
    zarn::ui::SpeedButton *saveButton = nullptr;
    zarn::ui::SpeedButton *exitButton = nullptr;

    // Controls of the entry page by name, and the label before one.
    QWidget *control(const QString &name) const;
    zarn::ui::DBEdit *edit(const QString &name) const;
    zarn::ui::DBComboBox *comboBox(const QString &name) const;
    QPushButton *button(const QString &name) const;
    QLabel *labelOf(const QString &control) const;
    // The control Enter moves to from a control, or null where the focus stays.
    QWidget *enterTarget(QWidget *from) const;

    // Handlers, each run through the error guard when its event fires.
    void load(); // FormShow, or reloadOnActivation for an editor that loads on activation
    void first();
    void previous();
    void next();
    void last();
    void addNew();
    void remove();
    void save();
    void exit();

protected:
    // The add-row method: keys and the table-wide next ID, the editor's own
    // columns, stored at once where the editor does so.
    virtual void addRow();
    // Columns of a new row beyond the keys.
    virtual void setOwnColumns(zarn::Dataset &) {}
    // Deletes the current row (the confirmation is behind us).
    virtual void deleteCurrent();

    // Shared steps for the editors' own features.
    qint64 nextId();
    void setKeyColumns(qint64 id);
    // Posts the current row. A new row whose ID another workstation stored
    // meanwhile takes the next after the fresh highest and is posted again,
    // as the numbering policy says (the dataset's renumber hook, set at loading).
    void postPending();
    // After a refused write of a new row with ID `tried`: whether the refusal
    // is that ID taken by another workstation meanwhile (read afresh), so
    // that the write can be made again under a fresh one.
    bool idTakenMeanwhile(const zarn::DatabaseError &refusal, qint64 tried);
    // Runs write, which opens a transaction of the editor's own, again while
    // it is refused because the ID of its new row was taken meanwhile (the
    // dataset renumbers only outside a transaction, which a refusal ends), as
    // often as the numbering policy allows. write sets tried to the ID it
    // stored its new row under (0: none) and takes a fresh one when run again.
    void againWhileIdTaken(const std::function<void(qint64 &tried)> &write);
    // Posts a pending change before the cursor leaves the row.
    void settle();
    // False, after the parcel-number message, when the current row's parcel number is blank.
    bool parcelGuard();
    // Runs a change the attached-rows layer makes as one transaction: when it
    // fails (everything rolled back) the list is read again with the cursor
    // back on the row it was on, and the error passed on.
    void reloadOnFailure(const std::function<void()> &change);
    // Re-reads the listed rows; the cursor stays on the row with that ID when it
    // is still there.
    void reloadKeeping(const QVariant &id);
    void fillCodeLists();
    void setModeControls();
    // The save of 保存: the purge and the post in one transaction, then the
    // list read again. True when the row on screen is stored; otherwise the
    // surveyor has been told "数据保存失败！" and why, and the database is as
    // it was (the row keeps the typing when its post was the step refused).
    bool storeShown();

    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    // Connects a button to a handler run through the guard.
    void onClick(QPushButton *button, std::function<void()> handler);

private:
    using Move = zarn::Dataset::Move;
    void move(Move move, bool guarded);
    void buildWindow();
    void buildEntryPage();
    void buildButtons(QWidget *panel);
    bool ownsWindow(const QWidget *window) const;
    // The Enter chain and the digit pickers of the entry page.
    zarn::ui::KeyFlowRoutes keyFlowRoutes() const;
    bool isPendingNewRow() const;
    // Asks about an unstored change and acts on the answer; false keeps the editor open.
    bool mayClose();
    // The save's purge and post, in their order, in one transaction.
    void writeSaved();
    QVariantList currentRowValues() const;
    // The dataset's renumber hook: a new row whose ID was taken takes a fresh one.
    bool renumber(zarn::Dataset &t, const zarn::DatabaseError &refusal);
    QString surveyRowText(const char *column) const;

    const AttachedEditorDescription &m_desc;
    QPointer<zarn::SessionContext> m_session;
    bool m_changed = false;
    // The row being edited as it stood when its editing began (a new row:
    // once the editor had filled it in); empty when unknown.
    QVariantList m_rowAsBegun;
    QHash<QString, QWidget *> m_controls;
    QHash<QString, QLabel *> m_labels;
    QList<QWidget *> m_tabOrder;
    zarn::ui::KeyFlowRoutes m_keyFlow;
    // Loading on activation: the last other window of the component that
    // became active, and whether the editor was activated since it was shown.
    QPointer<QWidget> m_lastOtherActive;
    bool m_activatedSinceShow = false;
};

} // namespace zarn::editors
