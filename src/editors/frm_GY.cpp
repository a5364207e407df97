#include "editors/frm_GY.h"

#include "component/DataM.h"
#include "schema/attached_statements.h"
#include "schema/code_statements.h"
#include "widgets/db_grid.h"

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// Control, kind, column, label, tab, Enter, jump, digit picker, built-in
// entries, row, half, halves, label name. Two columns side by side: the holder
// and the legal representative on the left, the agent and the areas on the
// right; Enter walks down the left, jumps to the top of the right and stops
// at its foot. The parcel number may be edited here.
constexpr std::array<EntryField, 19> kEntries{{
    {"DBEdit17", K::Edit, "ZDBH", "地籍号", 0, E::Next, "", false, "", 0, 0, 1, ""},
    {"DBEdit18", K::Edit, "GYSYQRBH", "共有使用权人编号", 1, E::Next, "", false, "", 1, 0, 1, ""},
    {"DBEdit19", K::Edit, "TDSYZMC", "土地使用者名称", 2, E::Next, "", false, "", 2, 0, 1, ""},
    {"DBComboBox1", K::List, "TDSYZXZ", "土地使用者性质", 3, E::Next, "", true,
     "行政|事业|国有|集体|私营|个体|联营|股份制|外商投资|港澳台|个人|其他", 3, 0, 1, ""},
    {"DBEdit21", K::Edit, "TXDZ", "通讯地址", 4, E::Next, "", false, "", 4, 0, 1, ""},
    {"DBEdit22", K::Edit, "YB", "邮编", 5, E::Next, "", false, "", 5, 0, 1, ""},
    {"DBEdit23", K::Edit, "SJZGBM", "上级主管部门", 6, E::Next, "", false, "", 6, 0, 1, ""},
    {"DBEdit24", K::Edit, "FRDBXM", "法人代表或户主姓名", 7, E::Next, "", false, "", 7, 0, 1, ""},
    {"DBEdit25", K::Edit, "FRDBSF", "法人代表(户主)身份证号码", 8, E::Next, "", false, "", 8, 0, 1,
     ""},
    {"DBEdit26", K::Edit, "FRDBDH", "法人代表电话号码", 9, E::Jump, "EditF11", false, "", 9, 0, 1,
     ""},
    {"EditF11", K::Edit, "DLRXM", "代理人姓名", 10, E::Next, "", false, "", 0, 1, 1, ""},
    {"EditF12", K::Edit, "DLRSF", "代理人身份证", 11, E::Next, "", false, "", 1, 1, 1, ""},
    {"DBComboBox2", K::List, "TDYT", "土地用途", 12, E::Next, "", false, "", 2, 1, 1, ""},
    {"EditF14", K::Edit, "DZSYMJ", "独自使用土地面积", 13, E::Next, "", false, "", 3, 1, 1, ""},
    {"Editf15", K::Edit, "DZSYJZZDMJ", "独自使用建筑占地面积", 14, E::Next, "", false, "", 4, 1, 1,
     ""},
    {"EditF16", K::Edit, "GYTDMJ", "共用土地面积", 15, E::Next, "", false, "", 5, 1, 1, ""},
    {"EditF17", K::Edit, "FTTDMJ", "分摊土地面积", 16, E::Next, "", false, "", 6, 1, 1, "Label43"},
    {"EditF18", K::Edit, "FTJZMJ", "分摊建筑占地面积", 17, E::Next, "", false, "", 7, 1, 1, ""},
    {"EditF21", K::Edit, "JZWLX", "建筑物类型", 18, E::Stay, "", false, "", 8, 1, 1, ""},
}};

constexpr std::array<GridField, 22> kColumns{{
    {"ZDBH", "地籍号", 90, ""},          {"GYSYQRBH", "共有权编号", 70, ""},
    {"TDSYZMC", "土地使用者", 100, ""},  {"TDSYZXZ", "土地使用者性质", 90, ""},
    {"TXDZ", "通讯地址", 120, ""},       {"YB", "邮编", 56, ""},
    {"SJZGBM", "上级主管部门", 90, ""},  {"FRDBXM", "法人姓名", 70, ""},
    {"FRDBSF", "法人身份证明", 130, ""}, {"FRDBDH", "法人电话", 90, ""},
    {"DLRXM", "代理人姓名", 70, ""},     {"DLRSF", "代理人身份证", 130, ""},
    {"DLRDH", "代理人电话", 90, ""},     {"TDYT", "土地用途", 80, ""},
    {"JZWLX", "建筑物类型", 80, ""},     {"DZSYMJ", "独用面积", 70, ""},
    {"GYTDMJ", "共用面积", 70, ""},      {"DZSYJZZDMJ", "独用建筑占地", 80, ""},
    {"FTTDMJ", "分摊土地面积", 80, ""},  {"FTJZMJ", "分摊建筑面积", 80, ""},
    {"DCRQ", "调查日期", 76, ""},        {"BGRQ", "变更日期", 76, ""},
}};

const std::array<CodeListFill, 2> kCodeLists{{
    {&sql::codeDwxz, "DBComboBox1", "TDSYZXZ"},
    {&sql::codeDldmNames, "DBComboBox2", "TDYT"},
}};

const AttachedEditorDescription kDescription{
    "FrmGY",
    " 共有使用权情况表",
    "共有使用权情况表录入",
    &TDataMod::GY,
    &sql::gyqListCurrent,
    &sql::gyqListChanged,
    &sql::gyqMaxId,
    nullptr,
    nullptr,
    Purge::None,
    "Panel11",
    "DBGrid4",
    kEntries,
    kColumns,
    kCodeLists,
    false,
    LoadOn::Show,
    true,
    false,
    QSize(880, 420),
    150,
};

} // namespace

TFrmGY::TFrmGY(QWidget *owner, TDataMod *dataModule)
    : AttachedEditor(kDescription, owner, dataModule)
{
    DBGrid4 = grid;
    Label43 = labelOf(QStringLiteral("EditF17"));
}

TFrmGY::~TFrmGY() = default;

void TFrmGY::AddRecordset()
{
    addRow();
}
