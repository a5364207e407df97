#include "editors/frm_sz.h"

#include "component/DataM.h"
#include "schema/attached_statements.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_grid.h"

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// Control, kind, column, label, tab, Enter, jump, digit picker, built-in
// entries, row, half, halves, label name. The direction list keeps its four
// fixed entries: the keys 1 to 4 pick east, south, west and north.
constexpr std::array<EntryField, 5> kEntries{{
    {"DBEdit1", K::ReadOnlyEdit, "ZDBH", "地籍号", 0, E::Next, "", false, "", 0, 0, 2, ""},
    {"DBEdit3", K::Edit, "JZDStart", "界址线起点号", 1, E::Next, "", false, "", 1, 0, 2, ""},
    {"DBEdit4", K::Edit, "JZDEnd", "界址线终点号", 2, E::Next, "", false, "", 2, 0, 2, ""},
    {"DBEdit5", K::Edit, "LZDJHORLOADNAME", "邻宗地地籍号或路名", 3, E::Next, "", false, "", 3, 0,
     2, ""},
    {"DBComboBox1", K::List, "FWSX", "方位属性", 4, E::Stay, "", true, "东|南|西|北", 4, 0, 2, ""},
}};

// The grid's direction list starts with north, the entry page's with east.
constexpr std::array<GridField, 7> kColumns{{
    {"ZDBH", "地籍号", 90, ""},
    {"FWSX", "方位属性", 70, "北|东|南|西"},
    {"JZDStart", "起点号", 70, ""},
    {"JZDEnd", "终点号", 70, ""},
    {"LZDJHORLOADNAME", "邻宗地籍号", 120, ""},
    {"DCRQ", "调查日期", 76, ""},
    {"BGRQ", "变更日期", 76, ""},
}};

const AttachedEditorDescription kDescription{
    "FrmSZ",
    "宗地四至情况表",
    "宗地四至情况表录入",
    &TDataMod::sz,
    &sql::szbListCurrent,
    &sql::szbListChanged,
    &sql::szbMaxId,
    &sql::szbPurge,
    &sql::szbPurgeSparing,
    Purge::BeforePost,
    "Panel6",
    "DBGrid2",
    kEntries,
    kColumns,
    {},
    false,
    LoadOn::Activation,
    false,
    false,
    QSize(670, 360),
    120,
};

} // namespace

TFrmSZ::TFrmSZ(QWidget *owner, TDataMod *dataModule)
    : AttachedEditor(kDescription, owner, dataModule)
{
    DBGrid2 = grid;
    DBComboBox1 = comboBox(QStringLiteral("DBComboBox1"));
}

TFrmSZ::~TFrmSZ() = default;

void TFrmSZ::AddRecordSet()
{
    addRow();
}

void TFrmSZ::FormActivate()
{
    load();
}
