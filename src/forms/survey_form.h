#pragma once

#include "data/dataset.h"
#include "data/declared_query.h"
#include "dialogs/findings_window.h"
#include "schema/numbering.h"
#include "widgets/key_flow.h"
#include "widgets/survey_dialog.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <span>

class QFrame;
class QPrinter;
class SurveySheet;
namespace zarn {
class DatabaseError;
class IniBatch;
class SessionContext;
} // namespace zarn
namespace zarn::numbering {
struct HighestNumbers;
}
namespace zarn::ui {
class Banner;
class DataSource;
class DBComboBox;
class SpeedButton;
} // namespace zarn::ui

namespace zarn::forms {

struct NumberRule;
struct SheetLayout;
struct SheetValues;

// Where a column of a new survey row takes its value from.
enum class NewValue {
    Text,         // the fixed text arg
    Integer,      // the whole number arg
    RowId,        // the table's highest id plus one
    District,     // unit-code part 3
    Street,       // unit-code part 4
    Block,        // unit-code part 5
    SessionUnit,  // the session's unit code
    ParcelNumber, // the new parcel number
    SurveyNumber, // the new survey table number
    Remembered,   // the value remembered under the column's name, or "000"
    Today,        // today as yyyymmdd
};

// One column a new row sets, in the order they are set. The numbers are made
// before the row: a new row the database does not take is dropped whole.
struct NewRowColumn {
    const char *column;
    NewValue value;
    const char *arg = "";
};

// A panel band of the form: its name and height.
struct Band {
    const char *name;
    int height;
};

// A drop-down list of the sheet and the code-table column its entries come from.
struct SheetList {
    const char *control;
    const QString *column;
};

// A code table read once for the lists it fills, so that a position stands for
// one row of it in all of them. Its lists are cleared together before it is read.
struct SheetCodeTable {
    const QString *sql; // no values to bind
    std::span<const SheetList> lists;
};

// What tells one survey form from the other.
struct SurveyFormDescription {
    const char *objectName;
    const char *caption;
    const char *bannerTitle;
    Band bannerPanel;
    const char *bannerImage;
    Band buttonPanel;
    const SheetLayout &sheet;
    const DeclaredQuery &loadStatement;
    std::span<const NewRowColumn> newRow;
    bool lockMemo;                 // the change lock also takes the memo
    const char *coUserAreaCaption; // caption of the co-use-right editor's apportionedAreaLabel;
                                   // null: its own
    // Filled after the window is first painted, in this order: an editable
    // list shows its column's value without its entries.
    std::span<const SheetCodeTable> codeLists;
    // Each move, and the opening, store the row's count of boundary markers.
    bool recountsBoundaryPoints;
    // The survey tables it shows, as the unit's quality check names them:
    // 0 use right, 1 ownership.
    int surveyKind;
};

} // namespace zarn::forms

// What both survey forms do: one T_DJDCB row at a time on the printed sheet,
// the four moves, locate, the change lock, new record with its numbers and
// remembered values, save, delete with the attached rows, the Enter chain and
// the digit pickers of the sheet, and storing a pending change on close. Each
// form adds its own opening and what only it has.
class SurveyForm : public zarn::ui::SurveyDialog {
    Q_OBJECT
public:
    ~SurveyForm() override;

    const zarn::forms::SurveyFormDescription &description() const { return m_desc; }
    SurveySheet *sheet() const { return m_sheet; }

    QFrame *bannerPanel = nullptr;
    zarn::ui::Banner *banner = nullptr;
    QFrame *buttonPanel = nullptr;
    zarn::ui::SpeedButton *firstButton = nullptr;
    zarn::ui::SpeedButton *previousButton = nullptr;
    zarn::ui::SpeedButton *nextButton = nullptr;
    zarn::ui::SpeedButton *lastButton = nullptr;
    zarn::ui::SpeedButton *newButton = nullptr;
    zarn::ui::SpeedButton *deleteButton = nullptr;
    zarn::ui::SpeedButton *saveButton = nullptr;
    zarn::ui::SpeedButton *locateButton = nullptr;
    zarn::ui::DataSource *rowSource = nullptr;

    // Handlers; each runs through the error guard when wired to its event.
    virtual void openRows() = 0;
    void first();
    void previous();
    void next();
    void last();
    void locate();
    void addNew();
    void save();
    void remove();
    // The attached-table editors: boundary markers, boundary designation,
    // co-use-right holders, four sides.
    void openMarkerEditor();
    void openDesignationEditor();
    void openCoUserEditor();
    void openFourSidesEditor();

    // Shared steps.
    void applyChangeLock();
    // Remembers the shown row's framed values in config.ini, for the next
    // new row: one read and one write of the file.
    void rememberShownValues();
    // Stores in jzdgs the number of boundary markers of the row under the
    // cursor, counted under the row's own unit code.
    void recountBoundaryPoints();

    // The opening leaves for after the window's first paint what the first
    // screen can do without: the code lists, and storing the opening row's
    // boundary-point count (counted before the paint, so the sheet shows it).
    // Whatever the surveyor does first runs it now, so no handler meets the
    // opening half done; its errors are reported and the handler goes on.
    void finishOpening();
    bool openingPending() const { return m_openingPending; }

    // The row shown as a printed survey table: through the system's print
    // dialog, or into a PDF file the user names (Ctrl+P and the sheet's
    // context menu). printTo and writePdf are the steps without dialogs:
    // printTo prints on a printer the dialog has set up; writePdf replaces the
    // file only by a whole PDF, and never when it is the database, one of its
    // journals, config.ini or the key; false (and `why`) otherwise.
    void printSheet();
    void exportPdf();

    // 检查本单位… (the sheet's context menu): the findings of the unit's
    // quality check in a window beside the form, opened once and checked
    // again at each call. A double-click on a finding moves the form to its
    // survey table as 定位 does: a pending edit is stored, or refused, first.
    void checkUnit();
    void goToFinding(const QString &dwdm, const QString &zdbh, const QString &dcbh);
    zarn::ui::FindingsWindow *findingsWindow() const { return m_findings; }
    // Checks again what the open findings window shows, after the survey changed.
    void refreshFindings();
    void printTo(QPrinter &printer);
    bool writePdf(const QString &path, QString *why = nullptr);

    const zarn::numbering::UnitCodeParts &unitCodeParts() const { return m_parts; }

protected:
    SurveyForm(const zarn::forms::SurveyFormDescription &desc, zarn::SessionContext &session,
               QWidget *owner);

    // Lays the bands out around the sheet, makes the speed buttons, binds the
    // sheet and listens to its keys. The form calls it from its constructor
    // once its sheet exists, then runs openRows through the guard.
    void setUp(SurveySheet *sheet);

    // Cuts the unit-code parts and loads the unit's rows.
    void loadRows();
    // Off a row without a parcel number (null or '', kept from other
    // software) at the opening, onto the first row with one: on such a row
    // the move buttons refuse to move. Errors leave the cursor where it is.
    void placeOnFirstParcel();
    // The last step of a form's opening: counts the opening row's boundary
    // markers into the row if the form recounts, and leaves the rest of the
    // opening for after the first paint.
    void openRest();

    zarn::Dataset &table() const;
    // Cancels a new row its 新增 could not store, the sheet back on the row it came from.
    void dropNewRow();
    zarn::SessionContext &session() const { return m_session; }

    void closeEvent(QCloseEvent *event) override;
    // Stores the row on screen before the window closes; false when the
    // store was refused and the surveyor chose to go back to the sheet.
    bool storeBeforeClosing();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    using Move = zarn::Dataset::Move;
    zarn::forms::SheetValues shownValues() const;
    // Fresh numbers for a new row another workstation's row collided with.
    bool renumber(zarn::Dataset &t, const zarn::DatabaseError &refusal);
    // The next parcel or survey table number of the session's unit.
    QString nextNumber(const zarn::forms::NumberRule &rule, bool unitEmpty,
                       const zarn::numbering::HighestNumbers &highest) const;
    // The unit code the row under the cursor keeps its attached rows under.
    QString rowUnit() const;
    // The row's unit, parcel number, change date and survey table number.
    static QStringList keysOf(const zarn::Dataset &t);
    // Throws, before the write, for a new row without its unit, parcel number
    // or survey table number, and for a change that empties one of them.
    void refuseIncomplete(const zarn::Dataset &t) const;
    void connectEditorButtons();
    void openEditor(int which);
    void moveClick(Move move);
    // The row on the sheet could not be stored because another user changed
    // or deleted it since it was read: offers their version, or to take a
    // deleted row out of the list; the typing goes only if the surveyor says so.
    void settleConflict(const QString &fixedText, const zarn::DatabaseError &refusal);
    void rememberValues(zarn::IniBatch &ini);
    QVariant newValue(const zarn::forms::NewRowColumn &c, qint64 id, const QString &parcel,
                      const QString &survey, const zarn::IniBatch &ini) const;
    void fillCodeLists();
    QString countBoundaryPoints() const;
    void storeBoundaryPoints(const QString &count);
    void finishOpening(bool insideEvent);
    // The window's first expose, watched from its show: queues the rest of
    // the opening. True for any expose event of the window.
    bool exposedAtLast(QObject *watched, QEvent *event);
    // Keys, typing, clicks, the wheel, a drop: what reaches a control only
    // from the surveyor.
    static bool isSurveyorInput(const QEvent *event);

    const zarn::forms::SurveyFormDescription &m_desc;
    zarn::SessionContext &m_session;
    SurveySheet *m_sheet = nullptr;
    zarn::ui::KeyFlowRoutes m_keyFlow;
    zarn::numbering::UnitCodeParts m_parts;
    // The numbers the last new row was given, so that a collision renumbers
    // only what the surveyor has not typed over.
    QString m_givenParcel, m_givenSurvey;
    // keysOf the row as its editing began; empty while no stored row is edited.
    QStringList m_keysAsBegun;
    bool m_openingPending = false;
    // The opening row's count, in the row but not yet stored.
    std::optional<QString> m_countToStore;
    // A boundary-marker count read with the row a move re-read, for the
    // parcel, unit and change date that row had: {parcel, unit, date, count}.
    mutable std::optional<std::array<QString, 4>> m_countAlong;
    std::array<QString, 3> m_countAlongAsked;
    QPointer<zarn::ui::FindingsWindow> m_findings;
};
