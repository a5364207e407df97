// The end of a survey form's opening: what the first screen needs before the
// window shows, what waits for its first paint, and the boundary-point recount
// that the opening and every move run.
#include "forms/survey_form.h"

#include "data/characters.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/statement_runner.h"
#include "forms/survey_sheet.h"
#include "schema/statements.h"
#include "session/session_context.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/guard.h"

#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <utility>

using namespace zarn;
using namespace zarn::forms;
using namespace zarn::ui;

void SurveyForm::placeOnFirstParcel()
{
    Dataset &t = table();
    try {
        if (!t.isOpen() || t.isEmpty() || !t.text(QStringLiteral("zdbh")).isEmpty()) return;
        const int row = t.firstRowWith(QStringLiteral("zdbh"));
        if (row >= 0) t.moveTo(row);
    } catch (const Error &) {
        // The opening goes on from the row it stands on.
    }
}

void SurveyForm::openRest()
{
    m_openingPending = !m_desc.codeLists.empty() || m_desc.recountsBoundaryPoints;
    if (!m_desc.recountsBoundaryPoints) return;
    Dataset &t = table();
    // No row, no count: stored into the empty dataset it would start a new row.
    if (t.isEmpty()) return;
    // The sheet shows the count from its first paint; only writing it waits.
    // A failing count is the opening's error to report; the lists still come.
    const QString count = countBoundaryPoints();
    try {
        t.edit();
        t.setValue(QStringLiteral("jzdgs"), count);
        m_countToStore = count;
    } catch (const Error &) {
        // As a failed store: the row keeps its old count.
    }
}

void SurveyForm::showEvent(QShowEvent *event)
{
    SurveyDialog::showEvent(event);
    // The window is painted while its first expose is handled: what is left
    // of the opening runs right after that.
    if (m_openingPending && windowHandle()) windowHandle()->installEventFilter(this);
}

bool SurveyForm::exposedAtLast(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Expose || !windowHandle() || watched != windowHandle())
        return false;
    if (!windowHandle()->isExposed()) return true;
    windowHandle()->removeEventFilter(this);
    QTimer::singleShot(0, this, [this] { finishOpening(); });
    return true;
}

bool SurveyForm::isSurveyorInput(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

void SurveyForm::finishOpening()
{
    finishOpening(false);
}

void SurveyForm::finishOpening(bool insideEvent)
{
    if (!m_openingPending) return;
    m_openingPending = false;
    const std::optional<QString> count = std::exchange(m_countToStore, std::nullopt);
    const auto steps = [this, count] {
        try {
            fillCodeLists();
        } catch (const std::exception &) {
            // A list that cannot be filled ends the opening before its
            // recount, so the count waiting in the row goes unstored.
            if (count) {
                try {
                    table().cancel();
                } catch (const Error &) {
                    // The list's error is the one to report.
                }
            }
            throw;
        }
        if (count) storeBoundaryPoints(*count);
    };
    // Inside a control's event a box would take the focus from under it.
    if (insideEvent)
        guardInEvent(this, steps);
    else
        guard(this, steps);
}

void SurveyForm::fillCodeLists()
{
    zarn::SessionContext &context = session();
    std::vector<const QString *> tables;
    for (const SheetCodeTable &table : m_desc.codeLists) {
        tables.push_back(table.sql);
        for (const SheetList &list : table.lists)
            m_sheet->comboBox(QString::fromLatin1(list.control))->setEntries({});
    }
    // Read as they are at the form's opening; its editors take them from here.
    context.codeTables.clear();
    tables.insert(tables.end(), std::begin(sql::kEditorCodeTables),
                  std::end(sql::kEditorCodeTables));
    context.codeTables.readAhead(context.connection, tables);
    for (const SheetCodeTable &table : m_desc.codeLists)
        for (const SheetList &list : table.lists)
            m_sheet->comboBox(QString::fromLatin1(list.control))
                ->setEntries(
                    context.codeTables.entries(context.connection, *table.sql, *list.column));
}

// ---------------------------------------------------------------- recount

void SurveyForm::recountBoundaryPoints()
{
    // No row, no count: stored into the empty dataset it would start a new row.
    if (table().isEmpty()) return;
    storeBoundaryPoints(countBoundaryPoints());
}

QString SurveyForm::countBoundaryPoints() const
{
    Dataset &t = table();
    zarn::SessionContext &context = session();
    const QString bgrq = zarn::trimBlanks(t.text(QStringLiteral("bgrq")));
    // The parcel number as the sheet shows it, under the row's own unit.
    const QString shown = m_sheet->parcelNumberEdit->text();
    const QString dwdm = rowUnit();
    // Counted with the move's reading of this row, under what it shows now.
    if (const auto along = std::exchange(m_countAlong, std::nullopt);
        along && (*along)[0] == shown && (*along)[1] == dwdm && (*along)[2] == bgrq)
        return (*along)[3];
    Dataset &q = context.scratchQuery;
    if (bgrq.isEmpty())
        runQuery(q, sql::jzbsbCountCurrent, {shown, dwdm});
    else
        runQuery(q, sql::jzbsbCountChanged, {shown, dwdm, bgrq});
    return q.isEmpty() ? QString() : Dataset::textOf(q.value(0));
}

void SurveyForm::storeBoundaryPoints(const QString &count)
{
    Dataset &t = table();
    auto store = [&] {
        t.edit();
        t.setValue(QStringLiteral("jzdgs"), count);
        t.post();
    };
    try {
        store();
    } catch (const RowChangedError &) {
        // Another user changed this row since it was read. Left pending, the
        // count would fail every later save and move of the row: take their
        // version and store the count on it.
        try {
            if (t.refreshRow())
                store();
            else
                t.cancel(); // the row is gone: there is nothing to count for
        } catch (const Error &) {
            // Left pending: a later save, move or close writes it or says why not.
        }
    } catch (const DatabaseError &e) {
        // A database open for browsing only never takes the count: left
        // pending, it would stop every move with a refusal.
        if (e.kind() == RefusalKind::ReadOnly) t.cancel();
        // Any other refused store leaves the count pending; a later save,
        // move or close writes it.
    } catch (const Error &) {
        // Not stored (a column refusing the count, the row not editable):
        // the row keeps its old count.
    }
}
