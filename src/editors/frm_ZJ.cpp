#include "editors/frm_ZJ.h"

#include "component/DataM.h"
#include "schema/attached_statements.h"
#include "schema/numbering.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"

#include <QPushButton>

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// Control, kind, column, label, tab, Enter, jump, digit picker, built-in
// entries, row, half, halves, label name. One column of fields; the button
// below the date, at the right.
constexpr std::array<EntryField, 8> kEntries{{
    {"DBEdit8", K::ReadOnlyEdit, "ZDBH", "本宗地籍号", 0, E::Next, "", false, "", 0, 0, 2, ""},
    {"DBEdit9", K::Edit, "JZXQDH", "界址线起点号", 1, E::Next, "", false, "", 1, 0, 2, ""},
    {"DBEdit10", K::Edit, "JZXZDH", "界址线终点号", 2, E::Next, "", false, "", 2, 0, 2, ""},
    {"DBEdit11", K::Edit, "LZDZDBH", "邻宗地地籍号或路名", 3, E::Next, "", false, "", 3, 0, 2, ""},
    {"DBEdit12", K::Edit, "LZZJRXM", "邻宗指界人姓名", 4, E::Next, "", false, "", 4, 0, 2, ""},
    {"DBEdit13", K::Edit, "BZZJRXM", "本宗指界人姓名", 5, E::Next, "", false, "", 5, 0, 2, ""},
    {"DBEdit14", K::Edit, "ZJRQ", "指界日期", 6, E::Stay, "", false, "", 6, 0, 2, ""},
    {"btnNextRec", K::Button, "", "下记录", 7, E::Stay, "", false, "", 7, 0, 2, ""},
}};

constexpr std::array<GridField, 9> kColumns{{
    {"ZDBH", "地籍号", 90, ""},
    {"JZXQDH", "起点号", 60, ""},
    {"JZXZDH", "终点号", 60, ""},
    {"LZDZDBH", "邻宗地籍号", 110, ""},
    {"LZZJRXM", "邻宗指界人", 80, ""},
    {"BZZJRXM", "本宗指界人", 80, ""},
    {"ZJRQ", "指界日期", 76, ""},
    {"DCRQ", "调查日期", 76, ""},
    {"BGRQ", "变更日期", 76, ""},
}};

const AttachedEditorDescription kDescription{
    "FrmZJ",
    "宗地指界情况表",
    "宗地指界情况表录入",
    &TDataMod::Zj,
    &sql::zjbListCurrent,
    &sql::zjbListChanged,
    &sql::zjbMaxId,
    &sql::zjbPurge,
    &sql::zjbPurgeSparing,
    Purge::BeforePost,
    "Panel10",
    "DBGrid3",
    kEntries,
    kColumns,
    {},
    false,
    LoadOn::Show,
    true,
    false,
    QSize(670, 400),
    120,
};

} // namespace

TFrmZJ::TFrmZJ(QWidget *owner, TDataMod *dataModule)
    : AttachedEditor(kDescription, owner, dataModule)
{
    DBGrid3 = grid;
    btnNextRec = button(QStringLiteral("btnNextRec"));
    onClick(btnNextRec, [this] { btnNextRecClick(); });
}

TFrmZJ::~TFrmZJ() = default;

void TFrmZJ::Addrecord()
{
    addRow();
}

void TFrmZJ::setOwnColumns(Dataset &ds)
{
    ds.setValue(QStringLiteral("ZJRQ"), numbering::todayText());
}

void TFrmZJ::btnNextRecClick()
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
