#include "editors/boundary_marker_editor.h"

#include "data/errors.h"
#include "data/statement_runner.h"
#include "schema/attached_rows.h"
#include "schema/attached_statements.h"
#include "schema/code_statements.h"
#include "schema/numbering.h"
#include "session/session_context.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"
#include "widgets/guard.h"

#include <QMenu>

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// Parcel number across the page; then sequence number beside distance, unified
// number beside line category, marker kind beside line position; the level on
// the left; the remark across.
// clang-format off
constexpr std::array<EntryField, 9> kEntries{{
    {.control = "EditF", .kind = K::ReadOnlyEdit, .column = "ZDBH", .label = "地籍号", .tab = 0,
     .row = 0, .halves = 2},
    {.control = "EditF2", .kind = K::Edit, .column = "XH", .label = "界址点序号", .tab = 1,
     .row = 1, .halves = 1},
    {.control = "EditF3", .kind = K::Edit, .column = "JZDTBH", .label = "界址点统编号", .tab = 2,
     .row = 2, .halves = 1},
    {.control = "DBComboBox3", .kind = K::List, .column = "JBLX", .label = "界标种类", .tab = 3,
     .digitPicker = true, .items = "钢钉|混凝土桩|石灰桩|喷漆|其它", .row = 3, .halves = 1},
    {.control = "EditF4", .kind = K::Edit, .column = "JZDJJ", .label = "界址点间距", .tab = 4,
     .row = 1, .half = 1, .halves = 1},
    {.control = "DBComboBox11", .kind = K::List, .column = "JZXLB", .label = "界址线类别", .tab = 5,
     .digitPicker = true, .items = "围墙|墙壁|栅栏|铁丝网", .row = 2, .half = 1, .halves = 1},
    {.control = "DBComboBox2", .kind = K::List, .column = "JZXWZ", .label = "界址线位置", .tab = 6,
     .digitPicker = true, .items = "内|中|外", .row = 3, .half = 1, .halves = 1},
    {.control = "EditF7", .kind = K::Edit, .column = "BZ", .label = "备注", .tab = 7,
     .enter = E::Stay, .row = 5, .halves = 2},
    {.control = "EditF1", .kind = K::Edit, .column = "TZJB", .label = "套宗级别", .tab = 8,
     .row = 4, .halves = 1},
}};
// clang-format on

// Fixed pick lists only; the code lists fill theirs.
constexpr std::array<GridField, 11> kColumns{{
    {.column = "ZDBH", .title = "地籍号", .width = 90},
    {.column = "XH", .title = "界址点序号", .width = 70},
    {.column = "JZDTBH", .title = "统编号", .width = 70},
    {.column = "JBLX", .title = "界标类别", .width = 80},
    {.column = "JZXLB", .title = "界线类别", .width = 80},
    {.column = "JZDJJ", .title = "界址间距", .width = 70},
    {.column = "JZXWZ", .title = "界址线位置", .width = 70},
    {.column = "DCRQ", .title = "调查日期", .width = 76},
    {.column = "FSBC", .title = "反算边长", .width = 70},
    {.column = "BGRQ", .title = "变更日期", .width = 76},
    {.column = "TZJB", .title = "套宗级别", .width = 60},
}};

const std::array<CodeListFill, 3> kCodeLists{{
    {.list = &sql::codeJblx, .control = "DBComboBox3", .gridColumn = "JBLX"},
    {.list = &sql::codeJxwz, .control = "DBComboBox2", .gridColumn = "JZXWZ"},
    {.list = &sql::codeJxlb, .control = "DBComboBox11", .gridColumn = "JZXLB"},
}};

const AttachedEditorDescription kDescription{
    .name = "FrmJZBS",
    .caption = "界址标示情况描述表",
    .title = "界址标示情况表录入",
    .dataset = &SessionContext::markerRows,
    .listCurrent = &sql::jzbsbListCurrent,
    .listChanged = &sql::jzbsbListChanged,
    .maxId = &sql::jzbsbMaxId,
    .purge = &sql::jzbsbPurge,
    .purgeSparing = nullptr,
    .purgeWhen = Purge::AfterPost,
    .container = "ScrollBox",
    .grid = "@@grid",
    .entries = kEntries,
    .columns = kColumns,
    .codeLists = kCodeLists,
    .postNewRowAtOnce = true,
    .loadOn = LoadOn::Show,
    .lastGuarded = true,
    .gridEditorAlways = true,
    .size = QSize(670, 400),
    .labelWidth = 84,
};

} // namespace

BoundaryMarkerEditor::BoundaryMarkerEditor(zarn::SessionContext &session, QWidget *owner)
    : AttachedEditor(kDescription, session, owner)
{
    nestingLevelEdit = edit(QStringLiteral("EditF1"));

    contextMenu = new QMenu(this);
    contextMenu->setObjectName(QStringLiteral("ppm"));
    insertAction = contextMenu->addAction(QStringLiteral("插入"));
    insertAction->setObjectName(QStringLiteral("ppiInsert"));
    deleteAction = contextMenu->addAction(QStringLiteral("删除"));
    deleteAction->setObjectName(QStringLiteral("ppiDel"));
    connect(insertAction, &QAction::triggered, this,
            [this] { ui::guard(this, [this] { insertBeforeCurrent(); }); });
    connect(deleteAction, &QAction::triggered, this,
            [this] { ui::guard(this, [this] { remove(); }); });
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        updateContextMenu();
        contextMenu->popup(grid->viewport()->mapToGlobal(at));
    });
    connect(grid, &ui::DBGrid::currentColumnChanged, this, [this] { columnEntered(); });
}

BoundaryMarkerEditor::~BoundaryMarkerEditor() = default;

qint64 BoundaryMarkerEditor::levelShown() const
{
    // The edit still shows the row that was current before the new one.
    const QString text = nestingLevelEdit->text().trimmed();
    if (text.isEmpty()) return 1;
    bool ok = false;
    const qint64 level = text.toLongLong(&ok);
    if (!ok)
        throw ConversionError(
            QStringLiteral("套宗级别“%1”不是整数，请改正后再新增界址点。").arg(text));
    return level;
}

void BoundaryMarkerEditor::addRow()
{
    zarn::SessionContext &context = session();
    Dataset &q = context.scratchQuery;
    runQuery(q, sql::jzbsbMaxXh, {parcelNumber, unitCode()});
    const qint64 xh = numbering::nextRowNumber(q.isEmpty() ? QVariant() : q.value(0));
    const qint64 id = nextId();
    const qint64 level = levelShown();
    Dataset &ds = dataset();
    ds.append();
    setKeyColumns(id);
    ds.setValue(QStringLiteral("XH"), xh);
    ds.setValue(QStringLiteral("TZJB"), level);
    postPending();
}

void BoundaryMarkerEditor::deleteCurrent()
{
    // The deletion and the renumbering stand or fall together: a failure
    // part-way leaves the markers as they were, never half renumbered.
    reloadOnFailure([this] { attached::removeMarker(dataset()); });
}

void BoundaryMarkerEditor::insertOnce(qint64 level, qint64 &triedId)
{
    Dataset &ds = dataset();
    triedId = nextId();
    const int position = ds.recNo() + 1;
    // The old current marker and those after it move one number up.
    attached::insertMarker(ds, position, [&] {
        setKeyColumns(triedId);
        ds.setValue(QStringLiteral("XH"), position);
        ds.setValue(QStringLiteral("TZJB"), level);
    });
}

void BoundaryMarkerEditor::insertBeforeCurrent()
{
    Dataset &ds = dataset();
    if (isChangedMode() || ds.isEmpty()) return;
    const qint64 level = levelShown();
    // A rolled-back insertion whose id was taken meanwhile is made again
    // whole; insertOnce reads a fresh highest id each time.
    againWhileIdTaken([&](qint64 &tried) { reloadOnFailure([&] { insertOnce(level, tried); }); });
    runQuery(ds, sql::jzbsbListCurrent, {parcelNumber, unitCode()});
}

void BoundaryMarkerEditor::updateContextMenu()
{
    const bool enabled = !isChangedMode() && !dataset().isEmpty();
    insertAction->setEnabled(enabled);
    deleteAction->setEnabled(enabled);
}

void BoundaryMarkerEditor::columnEntered()
{
    // The back-calculated side length comes from the coordinates; nobody types it.
    const bool computed = grid->currentField().toUpper() == QLatin1String("FSBC");
    grid->setReadOnly(computed || isChangedMode());
}
