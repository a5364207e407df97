#include "editors/boundary_designation_editor.h"

#include "schema/attached_statements.h"
#include "schema/numbering.h"
#include "session/session_context.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"

#include <QPushButton>

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// One column of fields; the button below the date, at the right.
// clang-format off
constexpr std::array<EntryField, 8> kEntries{{
    {.control = "DBEdit8", .kind = K::ReadOnlyEdit, .column = "ZDBH", .label = "本宗地籍号",
     .tab = 0, .row = 0, .halves = 2},
    {.control = "DBEdit9", .kind = K::Edit, .column = "JZXQDH", .label = "界址线起点号", .tab = 1,
     .row = 1, .halves = 2},
    {.control = "DBEdit10", .kind = K::Edit, .column = "JZXZDH", .label = "界址线终点号", .tab = 2,
     .row = 2, .halves = 2},
    {.control = "DBEdit11", .kind = K::Edit, .column = "LZDZDBH", .label = "邻宗地地籍号或路名",
     .tab = 3, .row = 3, .halves = 2},
    {.control = "DBEdit12", .kind = K::Edit, .column = "LZZJRXM", .label = "邻宗指界人姓名",
     .tab = 4, .row = 4, .halves = 2},
    {.control = "DBEdit13", .kind = K::Edit, .column = "BZZJRXM", .label = "本宗指界人姓名",
     .tab = 5, .row = 5, .halves = 2},
    {.control = "DBEdit14", .kind = K::Edit, .column = "ZJRQ", .label = "指界日期", .tab = 6,
     .enter = E::Stay, .row = 6, .halves = 2},
    {.control = "btnNextRec", .kind = K::Button, .column = "", .label = "下记录", .tab = 7,
     .enter = E::Stay, .row = 7, .halves = 2},
}};
// clang-format on

constexpr std::array<GridField, 9> kColumns{{
    {.column = "ZDBH", .title = "地籍号", .width = 90},
    {.column = "JZXQDH", .title = "起点号", .width = 60},
    {.column = "JZXZDH", .title = "终点号", .width = 60},
    {.column = "LZDZDBH", .title = "邻宗地籍号", .width = 110},
    {.column = "LZZJRXM", .title = "邻宗指界人", .width = 80},
    {.column = "BZZJRXM", .title = "本宗指界人", .width = 80},
    {.column = "ZJRQ", .title = "指界日期", .width = 76},
    {.column = "DCRQ", .title = "调查日期", .width = 76},
    {.column = "BGRQ", .title = "变更日期", .width = 76},
}};

const AttachedEditorDescription kDescription{
    .name = "FrmZJ",
    .caption = "宗地指界情况表",
    .title = "宗地指界情况表录入",
    .dataset = &SessionContext::designationRows,
    .listCurrent = &sql::zjbListCurrent,
    .listChanged = &sql::zjbListChanged,
    .maxId = &sql::zjbMaxId,
    .purge = &sql::zjbPurge,
    .purgeSparing = &sql::zjbPurgeSparing,
    .purgeWhen = Purge::BeforePost,
    .container = "Panel10",
    .grid = "@@grid",
    .entries = kEntries,
    .columns = kColumns,
    .codeLists = {},
    .postNewRowAtOnce = false,
    .loadOn = LoadOn::Show,
    .lastGuarded = true,
    .gridEditorAlways = false,
    .size = QSize(670, 400),
    .labelWidth = 120,
};

} // namespace

BoundaryDesignationEditor::BoundaryDesignationEditor(zarn::SessionContext &session, QWidget *owner)
    : AttachedEditor(kDescription, session, owner)
{
    nextRowButton = button(QStringLiteral("btnNextRec"));
    onClick(nextRowButton, [this] { carryToNextRow(); });
}

BoundaryDesignationEditor::~BoundaryDesignationEditor() = default;

void BoundaryDesignationEditor::setOwnColumns(Dataset &ds)
{
    ds.setValue(QStringLiteral("ZJRQ"), numbering::todayText());
}

void BoundaryDesignationEditor::carryToNextRow()
{
    if (!parcelGuard()) return;
    // What the three edits show now goes into the next row; an empty one
    // leaves that column of the next row alone.
    const std::array<std::pair<QString, QString>, 3> carried{{
        {QStringLiteral("LZDZDBH"), edit(QStringLiteral("DBEdit11"))->text()},
        {QStringLiteral("LZZJRXM"), edit(QStringLiteral("DBEdit12"))->text()},
        {QStringLiteral("BZZJRXM"), edit(QStringLiteral("DBEdit13"))->text()},
    }};
    Dataset &ds = dataset();
    settle();
    ds.next(); // on the last row the cursor stays and the texts go back into it
    if (ds.isEmpty()) return;
    ds.edit();
    for (const auto &[column, text] : carried)
        if (!text.isEmpty()) ds.setValue(column, text);
    postPending();
}
