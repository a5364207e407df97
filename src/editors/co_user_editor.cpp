#include "editors/co_user_editor.h"

#include "schema/attached_statements.h"
#include "schema/code_statements.h"
#include "session/session_context.h"
#include "widgets/db_grid.h"

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// Two columns side by side: the holder and the legal representative on the
// left, the agent and the areas on the right; Enter walks down the left, jumps
// to the top of the right and stops at its foot. The parcel number may be
// edited here.
// clang-format off
constexpr std::array<EntryField, 19> kEntries{{
    {.control = "DBEdit17", .kind = K::Edit, .column = "ZDBH", .label = "地籍号", .tab = 0,
     .row = 0, .halves = 1},
    {.control = "DBEdit18", .kind = K::Edit, .column = "GYSYQRBH", .label = "共有使用权人编号",
     .tab = 1, .row = 1, .halves = 1},
    {.control = "DBEdit19", .kind = K::Edit, .column = "TDSYZMC", .label = "土地使用者名称",
     .tab = 2, .row = 2, .halves = 1},
    {.control = "DBComboBox1", .kind = K::List, .column = "TDSYZXZ", .label = "土地使用者性质",
     .tab = 3, .digitPicker = true,
     .items = "行政|事业|国有|集体|私营|个体|联营|股份制|外商投资|港澳台|个人|其他", .row = 3,
     .halves = 1},
    {.control = "DBEdit21", .kind = K::Edit, .column = "TXDZ", .label = "通讯地址", .tab = 4,
     .row = 4, .halves = 1},
    {.control = "DBEdit22", .kind = K::Edit, .column = "YB", .label = "邮编", .tab = 5, .row = 5,
     .halves = 1},
    {.control = "DBEdit23", .kind = K::Edit, .column = "SJZGBM", .label = "上级主管部门", .tab = 6,
     .row = 6, .halves = 1},
    {.control = "DBEdit24", .kind = K::Edit, .column = "FRDBXM", .label = "法人代表或户主姓名",
     .tab = 7, .row = 7, .halves = 1},
    {.control = "DBEdit25", .kind = K::Edit, .column = "FRDBSF",
     .label = "法人代表(户主)身份证号码", .tab = 8, .row = 8, .halves = 1},
    {.control = "DBEdit26", .kind = K::Edit, .column = "FRDBDH", .label = "法人代表电话号码",
     .tab = 9, .enter = E::Jump, .jump = "EditF11", .row = 9, .halves = 1},
    {.control = "EditF11", .kind = K::Edit, .column = "DLRXM", .label = "代理人姓名", .tab = 10,
     .row = 0, .half = 1, .halves = 1},
    {.control = "EditF12", .kind = K::Edit, .column = "DLRSF", .label = "代理人身份证", .tab = 11,
     .row = 1, .half = 1, .halves = 1},
    {.control = "DBComboBox2", .kind = K::List, .column = "TDYT", .label = "土地用途", .tab = 12,
     .row = 2, .half = 1, .halves = 1},
    {.control = "EditF14", .kind = K::Edit, .column = "DZSYMJ", .label = "独自使用土地面积",
     .tab = 13, .row = 3, .half = 1, .halves = 1},
    {.control = "Editf15", .kind = K::Edit, .column = "DZSYJZZDMJ", .label = "独自使用建筑占地面积",
     .tab = 14, .row = 4, .half = 1, .halves = 1},
    {.control = "EditF16", .kind = K::Edit, .column = "GYTDMJ", .label = "共用土地面积", .tab = 15,
     .row = 5, .half = 1, .halves = 1},
    {.control = "EditF17", .kind = K::Edit, .column = "FTTDMJ", .label = "分摊土地面积", .tab = 16,
     .row = 6, .half = 1, .halves = 1, .labelName = "Label43"},
    {.control = "EditF18", .kind = K::Edit, .column = "FTJZMJ", .label = "分摊建筑占地面积",
     .tab = 17, .row = 7, .half = 1, .halves = 1},
    {.control = "EditF21", .kind = K::Edit, .column = "JZWLX", .label = "建筑物类型", .tab = 18,
     .enter = E::Stay, .row = 8, .half = 1, .halves = 1},
}};
// clang-format on

constexpr std::array<GridField, 22> kColumns{{
    {.column = "ZDBH", .title = "地籍号", .width = 90},
    {.column = "GYSYQRBH", .title = "共有权编号", .width = 70},
    {.column = "TDSYZMC", .title = "土地使用者", .width = 100},
    {.column = "TDSYZXZ", .title = "土地使用者性质", .width = 90},
    {.column = "TXDZ", .title = "通讯地址", .width = 120},
    {.column = "YB", .title = "邮编", .width = 56},
    {.column = "SJZGBM", .title = "上级主管部门", .width = 90},
    {.column = "FRDBXM", .title = "法人姓名", .width = 70},
    {.column = "FRDBSF", .title = "法人身份证明", .width = 130},
    {.column = "FRDBDH", .title = "法人电话", .width = 90},
    {.column = "DLRXM", .title = "代理人姓名", .width = 70},
    {.column = "DLRSF", .title = "代理人身份证", .width = 130},
    {.column = "DLRDH", .title = "代理人电话", .width = 90},
    {.column = "TDYT", .title = "土地用途", .width = 80},
    {.column = "JZWLX", .title = "建筑物类型", .width = 80},
    {.column = "DZSYMJ", .title = "独用面积", .width = 70},
    {.column = "GYTDMJ", .title = "共用面积", .width = 70},
    {.column = "DZSYJZZDMJ", .title = "独用建筑占地", .width = 80},
    {.column = "FTTDMJ", .title = "分摊土地面积", .width = 80},
    {.column = "FTJZMJ", .title = "分摊建筑面积", .width = 80},
    {.column = "DCRQ", .title = "调查日期", .width = 76},
    {.column = "BGRQ", .title = "变更日期", .width = 76},
}};

const std::array<CodeListFill, 2> kCodeLists{{
    {.list = &sql::codeDwxz, .control = "DBComboBox1", .gridColumn = "TDSYZXZ"},
    {.list = &sql::codeDldmNames, .control = "DBComboBox2", .gridColumn = "TDYT"},
}};

const AttachedEditorDescription kDescription{
    .name = "FrmGY",
    .caption = " 共有使用权情况表",
    .title = "共有使用权情况表录入",
    .dataset = &SessionContext::coUserRows,
    .listCurrent = &sql::gyqListCurrent,
    .listChanged = &sql::gyqListChanged,
    .maxId = &sql::gyqMaxId,
    .purge = nullptr,
    .purgeSparing = nullptr,
    .purgeWhen = Purge::None,
    .container = "Panel11",
    .grid = "@@grid",
    .entries = kEntries,
    .columns = kColumns,
    .codeLists = kCodeLists,
    .postNewRowAtOnce = false,
    .loadOn = LoadOn::Show,
    .lastGuarded = true,
    .gridEditorAlways = false,
    .size = QSize(880, 420),
    .labelWidth = 150,
};

} // namespace

CoUserEditor::CoUserEditor(zarn::SessionContext &session, QWidget *owner)
    : AttachedEditor(kDescription, session, owner)
{
    apportionedAreaLabel = labelOf(QStringLiteral("EditF17"));
}

CoUserEditor::~CoUserEditor() = default;
