#include "editors/four_sides_editor.h"

#include "schema/attached_statements.h"
#include "session/session_context.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_grid.h"

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// The direction list keeps its four fixed entries: the keys 1 to 4 pick east,
// south, west and north.
// clang-format off
constexpr std::array<EntryField, 5> kEntries{{
    {.control = "DBEdit1", .kind = K::ReadOnlyEdit, .column = "ZDBH", .label = "地籍号", .tab = 0,
     .row = 0, .halves = 2},
    {.control = "DBEdit3", .kind = K::Edit, .column = "JZDStart", .label = "界址线起点号", .tab = 1,
     .row = 1, .halves = 2},
    {.control = "DBEdit4", .kind = K::Edit, .column = "JZDEnd", .label = "界址线终点号", .tab = 2,
     .row = 2, .halves = 2},
    {.control = "DBEdit5", .kind = K::Edit, .column = "LZDJHORLOADNAME",
     .label = "邻宗地地籍号或路名", .tab = 3, .row = 3, .halves = 2},
    {.control = "DBComboBox1", .kind = K::List, .column = "FWSX", .label = "方位属性", .tab = 4,
     .enter = E::Stay, .digitPicker = true, .items = "东|南|西|北", .row = 4, .halves = 2},
}};
// clang-format on

// The grid's direction list starts with north, the entry page's with east.
constexpr std::array<GridField, 7> kColumns{{
    {.column = "ZDBH", .title = "地籍号", .width = 90},
    {.column = "FWSX", .title = "方位属性", .width = 70, .pickList = "北|东|南|西"},
    {.column = "JZDStart", .title = "起点号", .width = 70},
    {.column = "JZDEnd", .title = "终点号", .width = 70},
    {.column = "LZDJHORLOADNAME", .title = "邻宗地籍号", .width = 120},
    {.column = "DCRQ", .title = "调查日期", .width = 76},
    {.column = "BGRQ", .title = "变更日期", .width = 76},
}};

const AttachedEditorDescription kDescription{
    .name = "FrmSZ",
    .caption = "宗地四至情况表",
    .title = "宗地四至情况表录入",
    .dataset = &SessionContext::fourSidesRows,
    .listCurrent = &sql::szbListCurrent,
    .listChanged = &sql::szbListChanged,
    .maxId = &sql::szbMaxId,
    .purge = &sql::szbPurge,
    .purgeSparing = &sql::szbPurgeSparing,
    .purgeWhen = Purge::BeforePost,
    .container = "Panel6",
    .grid = "@@grid",
    .entries = kEntries,
    .columns = kColumns,
    .codeLists = {},
    .postNewRowAtOnce = false,
    .loadOn = LoadOn::Activation,
    .lastGuarded = false,
    .gridEditorAlways = false,
    .size = QSize(670, 360),
    .labelWidth = 120,
};

} // namespace

FourSidesEditor::FourSidesEditor(zarn::SessionContext &session, QWidget *owner)
    : AttachedEditor(kDescription, session, owner)
{
    directionList = comboBox(QStringLiteral("DBComboBox1"));
}

FourSidesEditor::~FourSidesEditor() = default;

void FourSidesEditor::reloadOnActivation()
{
    load();
}
