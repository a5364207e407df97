#include "editors/attached_editor.h"

#include "data/characters.h"
#include "data/errors.h"
#include "data/number_retry.h"
#include "data/statement_runner.h"
#include "schema/attached_rows.h"
#include "schema/code_statements.h"
#include "schema/numbering.h"
#include "schema/renumbering.h"
#include "session/session_context.h"
#include "widgets/data_source.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"
#include "widgets/guard.h"
#include "widgets/key_flow.h"
#include "widgets/messages.h"
#include "widgets/refusals.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>

using namespace zarn;
using namespace zarn::ui;

namespace zarn::editors {

namespace {

const QString kEmptyParcel = QStringLiteral("地籍号不能为空，请输入数值再保存！");
bool isGridMoveKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
           key == Qt::Key_PageDown;
}

} // namespace

AttachedEditor::AttachedEditor(const AttachedEditorDescription &desc, zarn::SessionContext &session,
                               QWidget *owner)
    : SurveyDialog(owner)
    , m_desc(desc)
    , m_session(&session)
    , m_keyFlow(keyFlowRoutes())
{
    buildWindow();
    if (desc.loadOn == LoadOn::Activation) qApp->installEventFilter(this);
    // What the row held when its editing began tells a change from a look.
    connect(rowSource, &DataSource::stateChanged, this, [this](Dataset::State state) {
        m_rowAsBegun = state == Dataset::State::Edit ? currentRowValues() : QVariantList();
    });
}

AttachedEditor::~AttachedEditor()
{
    // The session may outlive the editor: its hook must not call back here.
    if (m_session) dataset().setRenumber({}, 0);
}

zarn::SessionContext &AttachedEditor::session() const
{
    if (!m_session) throw Error(QStringLiteral("数据模块不存在，无法打开录入表"));
    return *m_session;
}

Dataset &AttachedEditor::dataset() const
{
    return session().*(m_desc.dataset);
}

QString AttachedEditor::unitCode() const
{
    return rowUnitCode.isEmpty() ? session().unitCode : rowUnitCode;
}

// ---------------------------------------------------------------- loading

void AttachedEditor::load()
{
    Dataset &ds = dataset();
    m_changed = !changeDate.isEmpty();
    setModeControls();
    ds.setRenumber(
        [this](Dataset &t, const DatabaseError &refusal) { return renumber(t, refusal); },
        numbering::kRenumberAttempts);
    if (m_changed)
        runQuery(ds, *m_desc.listChanged, {parcelNumber, unitCode(), changeDate});
    else
        runQuery(ds, *m_desc.listCurrent, {parcelNumber, unitCode()});
    if (!m_changed && ds.isEmpty()) addRow();
    fillCodeLists();
}

void AttachedEditor::setModeControls()
{
    container->setEnabled(!m_changed);
    grid->setReadOnly(m_changed);
    for (SpeedButton *b : {newButton, deleteButton, saveButton})
        b->setEnabled(!m_changed);
}

void AttachedEditor::fillCodeLists()
{
    zarn::SessionContext &context = session();
    std::vector<const QString *> tables;
    for (const CodeListFill &fill : m_desc.codeLists) {
        tables.push_back(&fill.list->sql);
        comboBox(utf8(fill.control))->setEntries({});
        grid->setPickList(utf8(fill.gridColumn), {});
    }
    context.codeTables.readAhead(context.connection, tables);
    for (const CodeListFill &fill : m_desc.codeLists) {
        const QStringList entries =
            context.codeTables.entries(context.connection, fill.list->sql, fill.list->column);
        comboBox(utf8(fill.control))->setEntries(entries);
        grid->setPickList(utf8(fill.gridColumn), entries);
    }
}

void AttachedEditor::showEvent(QShowEvent *event)
{
    SurveyDialog::showEvent(event);
    if (event->spontaneous()) return; // a window brought back, not shown anew
    centreOnScreen();
    m_activatedSinceShow = false;
    m_lastOtherActive = nullptr;
    guard(this, [this] { load(); });
}

bool AttachedEditor::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && m_desc.loadOn == LoadOn::Activation) {
        // Loaded when shown; again only when the user comes back from another
        // window of the component. Our own message boxes give the activation
        // back on closing, and a reload then would throw away the typing.
        const QPointer<QWidget> before = std::exchange(m_lastOtherActive, nullptr);
        if (!m_activatedSinceShow)
            m_activatedSinceShow = true;
        else if (before && !ownsWindow(before))
            guard(this, [this] { load(); });
    }
    return SurveyDialog::event(event);
}

bool AttachedEditor::ownsWindow(const QWidget *window) const
{
    for (const QWidget *w = window; w; w = w->parentWidget())
        if (w == this) return true;
    return false;
}

// ---------------------------------------------------------------- new rows

qint64 AttachedEditor::nextId()
{
    Dataset &q = session().scratchQuery;
    runQuery(q, *m_desc.maxId);
    return numbering::nextRowNumber(q.isEmpty() ? QVariant() : q.value(0));
}

QString AttachedEditor::surveyRowText(const char *column) const
{
    const Dataset &t = session().surveyRows;
    const int c = t.isOpen() ? t.fieldIndex(QLatin1String(column)) : -1;
    return c < 0 ? QString() : Dataset::textOf(t.value(c));
}

void AttachedEditor::setKeyColumns(qint64 id)
{
    zarn::SessionContext &context = session();
    Dataset &ds = dataset();
    ds.setValue(QStringLiteral("ZDBH"), parcelNumber);
    ds.setValue(QStringLiteral("DWDM"), unitCode());
    // An empty change date is stored as null: current rows are found by "bgrq is null".
    ds.setValue(QStringLiteral("BGRQ"), surveyRowText("BGRQ"));
    ds.setValue(QStringLiteral("DCRQ"), surveyRowText("DCRQ"));
    ds.setValue(QStringLiteral("ID"), id);
    ds.setValue(QStringLiteral("DCBLX"), context.kind == 1 ? 1 : 0);
}

void AttachedEditor::addRow()
{
    const qint64 id = nextId();
    Dataset &ds = dataset();
    ds.append();
    setKeyColumns(id);
    setOwnColumns(ds);
    m_rowAsBegun = currentRowValues();
    if (m_desc.postNewRowAtOnce) postPending();
}

void AttachedEditor::postPending()
{
    dataset().post();
}

bool AttachedEditor::idTakenMeanwhile(const DatabaseError &refusal, qint64 tried)
{
    Dataset &q = session().scratchQuery;
    runQuery(q, *m_desc.maxId);
    const bool taken =
        !q.isEmpty() && !Dataset::isNullValue(q.value(0)) && q.value(0).toLongLong() >= tried;
    return numbering::whatToRetake(refusal, taken) == numbering::Retake::RowId;
}

bool AttachedEditor::renumber(Dataset &t, const DatabaseError &refusal)
{
    if (t.state() != Dataset::State::Insert ||
        !idTakenMeanwhile(refusal, t.field(QStringLiteral("ID")).asInteger()))
        return false;
    t.setValue(QStringLiteral("ID"), nextId());
    return true;
}

QVariantList AttachedEditor::currentRowValues() const
{
    const Dataset &ds = dataset();
    QVariantList values;
    for (int c = 0; c < ds.fieldCount(); ++c)
        values << ds.value(c);
    return values;
}

bool AttachedEditor::hasUnstoredChange() const
{
    if (m_changed || !m_session) return false;
    const Dataset &ds = dataset();
    if (!ds.isEditing() || !ds.isModified()) return false;
    if (m_rowAsBegun.size() != ds.fieldCount()) return true;
    // Typing taken back, or a blank where there was nothing, is no change.
    for (int c = 0; c < ds.fieldCount(); ++c)
        if (Dataset::textOf(ds.value(c)) != Dataset::textOf(m_rowAsBegun[c])) return true;
    return false;
}

bool AttachedEditor::isPendingNewRow() const
{
    const Dataset &ds = dataset();
    return ds.state() == Dataset::State::Insert && ds.isModified();
}

void AttachedEditor::settle()
{
    Dataset &ds = dataset();
    if (ds.isEditing() && ds.isModified()) postPending();
}

// ---------------------------------------------------------------- moves

bool AttachedEditor::parcelGuard()
{
    if (!zarn::trimBlanks(dataset().text(QStringLiteral("ZDBH"))).isEmpty()) return true;
    showMessage(kEmptyParcel, this);
    return false;
}

void AttachedEditor::move(Move move, bool guarded)
{
    if (guarded && !parcelGuard()) return;
    settle();
    dataset().move(move);
}

void AttachedEditor::first()
{
    move(Move::First, true);
}
void AttachedEditor::previous()
{
    move(Move::Prior, true);
}
void AttachedEditor::next()
{
    move(Move::Next, true);
}
void AttachedEditor::last()
{
    move(Move::Last, m_desc.lastGuarded);
}

// ---------------------------------------------------------------- new, delete, save, exit

void AttachedEditor::addNew()
{
    addRow();
}

void AttachedEditor::remove()
{
    if (dataset().isEmpty()) return;
    if (messageBox(QStringLiteral("确信删除所显示的记录内容吗?"), QStringLiteral("确信删除界面"),
                   MessageIcon::Question, Ok | Cancel, this) != Ok)
        return;
    deleteCurrent();
}

void AttachedEditor::deleteCurrent()
{
    dataset().remove();
}

void AttachedEditor::save()
{
    storeShown();
}

bool AttachedEditor::storeShown()
{
    if (!parcelGuard()) return false;
    Dataset &ds = dataset();
    if (ds.isEmpty()) return true;
    try {
        ds.edit();
        // The purge and the post stand or fall together: a refusal of
        // either leaves the parcel's rows as they were, the typing on screen.
        bool again = false;
        againWhileIdTaken([&](qint64 &tried) {
            if (std::exchange(again, true) && ds.state() == Dataset::State::Insert)
                ds.setValue(QStringLiteral("ID"), nextId());
            tried = ds.state() == Dataset::State::Insert
                        ? ds.field(QStringLiteral("ID")).asInteger()
                        : 0;
            writeSaved();
        });
        // The list shows what the database holds, purged rows gone.
        ds.refresh();
    } catch (const Error &e) {
        // Still editing: the post was refused and the typing stays. Else the
        // post went through and what came after it was rolled back with it:
        // the list is read again, as the database still has it.
        if (!ds.isEditing()) {
            try {
                reloadKeeping(ds.recNo() >= 0 ? ds.value(QStringLiteral("ID")) : QVariant());
            } catch (const Error &) {
                // The first error is the one to report.
            }
        }
        // The fixed text first, then why, so the surveyor knows what to mend.
        showFailure(QStringLiteral("数据保存失败！"), QStringLiteral("警告"), MessageIcon::Warning,
                    e, this);
        return false;
    }
    return true;
}

void AttachedEditor::writeSaved()
{
    attached::saveWithPurge(dataset(), {.statement = m_desc.purge,
                                        .sparing = m_desc.purgeSparing,
                                        .when = m_desc.purgeWhen,
                                        .parcel = parcelNumber,
                                        .unit = unitCode()});
}

void AttachedEditor::againWhileIdTaken(const std::function<void(qint64 &tried)> &write)
{
    qint64 tried = 0;
    numbering::writeRenumbering(
        [&] {
            tried = 0;
            write(tried);
        },
        [&](const DatabaseError &e) { return tried != 0 && idTakenMeanwhile(e, tried); });
}

void AttachedEditor::exit()
{
    close();
}

void AttachedEditor::closeEvent(QCloseEvent *event)
{
    // A fault while asking is reported and does not hold the editor open.
    bool leave = true;
    guard(this, [&] { leave = mayClose(); });
    if (!leave) {
        event->ignore();
        return;
    }
    SurveyDialog::closeEvent(event);
}

bool AttachedEditor::mayClose()
{
    if (!hasUnstoredChange()) return true;
    const bool isNew = dataset().state() == Dataset::State::Insert;
    const QString what = isNew ? QStringLiteral("新增的记录还没有保存。")
                               : QStringLiteral("对当前记录的修改还没有保存。");
    const QString dropped =
        isNew ? QStringLiteral("放弃新增的记录") : QStringLiteral("放弃这些修改");
    const int answer = messageBox(
        QStringLiteral("“%1”中%2\n\n要保存吗？选“保存”存入数据库后关闭，选“不保存”%3并关闭，"
                       "选“取消”回到录入表继续修改。")
            .arg(zarn::trimBlanks(windowTitle()), what, dropped),
        QStringLiteral("提示"), MessageIcon::Question, Save | Discard | Cancel, this);
    if (answer == Discard) {
        dataset().cancel();
        return true;
    }
    if (answer != Save) return false;
    bool stored = false;
    // A store that fails has said why; the editor stays open on the typing.
    guard(this, [&] { stored = storeShown(); });
    return stored;
}

// ---------------------------------------------------------------- several rows at once

void AttachedEditor::reloadOnFailure(const std::function<void()> &change)
{
    Dataset &ds = dataset();
    const QVariant current =
        ds.isOpen() && ds.recNo() >= 0 ? ds.value(QStringLiteral("ID")) : QVariant();
    try {
        change();
    } catch (const std::exception &) {
        try {
            reloadKeeping(current);
        } catch (const Error &) {
            // The first error is the one to report.
        }
        throw;
    }
}

void AttachedEditor::reloadKeeping(const QVariant &id)
{
    Dataset &ds = dataset();
    if (ds.isEditing()) ds.cancel();
    ds.refresh();
    if (!Dataset::isNullValue(id)) ds.locate(QStringLiteral("ID"), id);
}

// ---------------------------------------------------------------- keys

bool AttachedEditor::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::WindowActivate && watched != this) {
        if (auto *w = qobject_cast<QWidget *>(watched); w && w->isWindow()) m_lastOtherActive = w;
        return SurveyDialog::eventFilter(watched, event);
    }

    // A new row leaves the grid through us, so that its ID can be retried.
    if (grid && m_session && (watched == grid->viewport() || watched == grid)) {
        bool leaving = false;
        if (type == QEvent::MouseButtonPress && watched == grid->viewport()) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const int row = grid->indexAt(mouse->position().toPoint()).row();
            leaving = row >= 0 && row != dataset().recNo();
        } else if (type == QEvent::KeyPress && watched == grid) {
            leaving = isGridMoveKey(static_cast<QKeyEvent *>(event)->key());
        }
        if (leaving && isPendingNewRow()) {
            guardInEvent(this, [this] { settle(); });
            if (dataset().isEditing()) return true; // refused: the grid stays on the row
        }
        return SurveyDialog::eventFilter(watched, event);
    }

    if (followKeyFlow(m_keyFlow, watched, event)) return true;
    return SurveyDialog::eventFilter(watched, event);
}

KeyFlowRoutes AttachedEditor::keyFlowRoutes() const
{
    return {
        .isEntry = [this](const QWidget *w) { return control(w->objectName()) == w; },
        .enterTarget = [this](QWidget *from) { return enterTarget(from); },
        .picksByDigit =
            [this](const QWidget *w) {
                for (const EntryField &e : m_desc.entries)
                    if (e.digitPicker && w->objectName() == QLatin1String(e.control)) return true;
                return false;
            },
    };
}

QWidget *AttachedEditor::enterTarget(QWidget *from) const
{
    if (!from) return nullptr;
    for (const EntryField &e : m_desc.entries) {
        if (from->objectName() != QLatin1String(e.control)) continue;
        switch (e.enter) {
        case EnterKey::Stay:
            return nullptr;
        case EnterKey::Jump:
            return control(QLatin1String(e.jump));
        case EnterKey::Next: {
            const qsizetype i = m_tabOrder.indexOf(from);
            return i < 0 ? nullptr : m_tabOrder[(i + 1) % m_tabOrder.size()];
        }
        }
    }
    return nullptr;
}

} // namespace zarn::editors
