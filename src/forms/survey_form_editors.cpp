// The four buttons of the survey sheets that open the attached-table editors,
// and the counts the sheet keeps of what they store. Both survey forms run
// this one table; they differ only in the co-use-right editor's apportionedAreaLabel.
#include "forms/survey_form.h"

#include "data/characters.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/statement_runner.h"
#include "editors/boundary_designation_editor.h"
#include "editors/boundary_marker_editor.h"
#include "editors/co_user_editor.h"
#include "editors/four_sides_editor.h"
#include "forms/sheet_layout.h"
#include "forms/survey_sheet.h"
#include "schema/statements.h"
#include "session/session_context.h"
#include "widgets/db_edit.h"
#include "widgets/guard.h"

#include <QLabel>
#include <QPushButton>

#include <memory>

using namespace zarn;
using namespace zarn::forms;

namespace {

// When a button opens its editor, besides a parcel number on the sheet.
enum class Opens {
    Always,
    CountNotZero,  // the count edit, "0" put into it when empty, is not "0"
    CountNotEmpty, // the count edit, "0" put into it when empty, is not empty
};

struct EditorButton {
    QPushButton *SurveySheet::*button;
    ui::DBEdit *SurveySheet::*count; // null: no count on the sheet
    const char *countColumn;
    const QString *countSql;
    Opens opens;
    bool trimBgrq; // the change date handed over trimmed
    editors::AttachedEditor *(*make)(zarn::SessionContext &session, QWidget *owner);
};

template <class Editor> editors::AttachedEditor *make(zarn::SessionContext &session, QWidget *owner)
{
    return new Editor(session, owner);
}

const EditorButton kButtons[] = {
    {.button = &SurveySheet::markerButton,
     .count = &SurveySheet::boundaryPointCountEdit,
     .countColumn = "jzdgs",
     .countSql = &sql::jzbsbCountCurrent,
     .opens = Opens::CountNotZero,
     .trimBgrq = true,
     .make = &make<BoundaryMarkerEditor>},
    {.button = &SurveySheet::designationButton,
     .count = nullptr,
     .countColumn = nullptr,
     .countSql = nullptr,
     .opens = Opens::Always,
     .trimBgrq = false,
     .make = &make<BoundaryDesignationEditor>},
    {.button = &SurveySheet::coUserButton,
     .count = &SurveySheet::coUserCountEdit,
     .countColumn = "qlrzs",
     .countSql = &sql::gyqCountCurrent,
     .opens = Opens::CountNotEmpty,
     .trimBgrq = true,
     .make = &make<CoUserEditor>},
    {.button = &SurveySheet::fourSidesButton,
     .count = nullptr,
     .countColumn = nullptr,
     .countSql = nullptr,
     .opens = Opens::Always,
     .trimBgrq = true,
     .make = &make<FourSidesEditor>},
};

} // namespace

void SurveyForm::connectEditorButtons()
{
    for (int i = 0; i < 4; ++i) {
        QPushButton *button = m_sheet->*kButtons[i].button;
        connect(button, &QPushButton::clicked, this,
                [this, i] { ui::guard(this, [this, i] { openEditor(i); }); });
    }
}

void SurveyForm::openMarkerEditor()
{
    openEditor(0);
}
void SurveyForm::openDesignationEditor()
{
    openEditor(1);
}
void SurveyForm::openCoUserEditor()
{
    openEditor(2);
}
void SurveyForm::openFourSidesEditor()
{
    openEditor(3);
}

void SurveyForm::openEditor(int which)
{
    finishOpening();
    const EditorButton &b = kButtons[which];
    Dataset &t = table();
    ui::DBEdit *count = b.count ? m_sheet->*b.count : nullptr;
    // A unit without rows has no count to fill: written into the empty
    // dataset it would start a hidden new row that 新增 takes for one shown.
    if (count && b.opens != Opens::Always && !t.isEmpty() &&
        zarn::trimBlanks(count->text()).isEmpty()) {
        // As if the surveyor had typed it: the row takes it too.
        t.edit();
        t.setValue(QString::fromLatin1(b.countColumn), QStringLiteral("0"));
    }
    const QString zdbh = zarn::trimBlanks(m_sheet->parcelNumberEdit->text());
    if (zdbh.isEmpty()) return;
    if (b.opens == Opens::CountNotZero && zarn::trimBlanks(count->text()) == QLatin1String("0"))
        return;
    if (b.opens == Opens::CountNotEmpty && zarn::trimBlanks(count->text()).isEmpty()) return;

    // Read before the editor is shown: they decide the count afterwards.
    const QString bgrq = zarn::trimBlanks(t.text(QStringLiteral("bgrq")));
    const QString dwdm = rowUnit();
    {
        std::unique_ptr<editors::AttachedEditor> editor(b.make(session(), this));
        editor->parcelNumber = zdbh;
        editor->rowUnitCode = dwdm;
        editor->changeDate = b.trimBgrq ? bgrq : t.text(QStringLiteral("bgrq"));
        if (auto *gy = qobject_cast<CoUserEditor *>(editor.get()); gy && m_desc.coUserAreaCaption)
            gy->apportionedAreaLabel->setText(text(m_desc.coUserAreaCaption));
        editor->exec();
    }
    if (!b.countSql || !bgrq.isEmpty()) return;

    // The parcel number as the sheet shows it and the unit the editor worked
    // under; a failing count is reported, a failing store of it is not.
    Dataset &q = session().scratchQuery;
    runQuery(q, *b.countSql, {m_sheet->parcelNumberEdit->text(), dwdm});
    const QString counted = q.isEmpty() ? QString() : Dataset::textOf(q.value(0));
    try {
        t.edit();
        t.setValue(QString::fromLatin1(b.countColumn), counted);
    } catch (const Error &) {
        // The row keeps its old count.
    }
}
