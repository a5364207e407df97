#include "forms/sheet_layout.h"

#include <array>

namespace zarn::forms {

namespace {

using K = SheetKind;

// The ownership sheet: eleven printed rows; rows 3, 4, 5 and 11 have a second
// label from the middle of the width, row 8 is the four-line remarks. QLRZS
// takes no part in the Enter chain, and the chain ends at DCRQ.
// clang-format off
constexpr std::array<SheetEntry, 19> kTable{{
    {.row = 1, .label = "调查表号", .control = "Rzdbedit1", .kind = K::Edit, .column = "DCBH",
     .left = 64, .top = 6, .width = 260, .tab = 0, .enter = "RzDBEdit6"},
    {.row = 2, .label = "土地所有者(农民集体)名称", .control = "RzDBEdit6", .kind = K::Edit,
     .column = "qsmc", .left = 168, .top = 28, .width = 492, .tab = 1, .enter = "RzDBEdit2"},
    {.row = 3, .label = "权属代码", .control = "RzDBEdit2", .kind = K::Edit, .column = "QSDM",
     .left = 64, .top = 50, .width = 260, .tab = 2, .enter = "DBEdit5"},
    {.row = 3, .label = "单位代码", .control = "DBEdit5", .kind = K::Edit, .column = "DWDM",
     .left = 392, .top = 50, .width = 268, .tab = 3, .enter = "DBEdit18"},
    {.row = 4, .label = "地籍号", .control = "DBEdit18", .kind = K::Edit, .column = "ZDBH",
     .left = 64, .top = 72, .width = 260, .tab = 4, .enter = "DBEdit19"},
    {.row = 4, .label = "所在图幅号", .control = "DBEdit19", .kind = K::Edit, .column = "SZTFH",
     .left = 404, .top = 72, .width = 256, .tab = 5, .enter = "DBEdit26"},
    {.row = 5, .label = "共有使用权人数", .control = "DBEdit24", .kind = K::Edit, .column = "QLRZS",
     .left = 102, .top = 94, .width = 60, .tab = 6},
    {.row = 5, .label = "", .control = "Button3", .kind = K::Button, .column = "共有使用权",
     .left = 166, .top = 94, .width = 88, .tab = 7},
    {.row = 5, .label = "界址点个数", .control = "DBEdit26", .kind = K::Edit, .column = "JZDGS",
     .left = 400, .top = 94, .width = 40, .tab = 8, .enter = "RzDBEdit3"},
    {.row = 5, .label = "", .control = "Button2", .kind = K::Button, .column = "指界情况表",
     .left = 443, .top = 94, .width = 72, .tab = 9},
    {.row = 5, .label = "", .control = "Button4", .kind = K::Button, .column = "宗地四至",
     .left = 516, .top = 94, .width = 72, .tab = 10},
    {.row = 5, .label = "", .control = "Button1", .kind = K::Button, .column = "界址标示表",
     .left = 589, .top = 94, .width = 72, .tab = 11},
    {.row = 6, .label = "重要界址点点位说明", .control = "RzDBEdit3", .kind = K::Edit,
     .column = "ZYGDWZSM", .left = 124, .top = 116, .width = 536, .tab = 12, .enter = "RzDBEdit4"},
    {.row = 7, .label = "主要权属界线走向说明", .control = "RzDBEdit4", .kind = K::Edit,
     .column = "ZYJXZXSM", .left = 136, .top = 138, .width = 524, .tab = 13, .enter = "RzDBMemo1"},
    {.row = 8, .label = "备注\n(宗地被线状国有\n或其他农民集体土\n地分割的说明)",
     .control = "RzDBMemo1", .kind = K::Memo, .column = "bz", .left = 124, .top = 160, .width = 536,
     .tab = 14, .enter = "DBEdit28", .height = 68},
    {.row = 9, .label = "其他说明", .control = "DBEdit28", .kind = K::Edit, .column = "QSDCJS",
     .left = 64, .top = 232, .width = 596, .tab = 15, .enter = "DBEdit25"},
    {.row = 10, .label = "权属调查记事", .control = "DBEdit25", .kind = K::Edit, .column = "SM",
     .left = 88, .top = 254, .width = 572, .tab = 16, .enter = "DBEdit29"},
    {.row = 11, .label = "权属调查员姓名", .control = "DBEdit29", .kind = K::Edit,
     .column = "QSDCY", .left = 102, .top = 276, .width = 230, .tab = 17, .enter = "DBEdit30"},
    {.row = 11, .label = "调查日期", .control = "DBEdit30", .kind = K::Edit, .column = "DCRQ",
     .left = 392, .top = 276, .width = 268, .tab = 18},
}};
// clang-format on

constexpr SheetLayout kLayout{
    .name = "Panel3",
    .title = "土地所有权地籍调查表",
    .entries = kTable,
    .pictureWidth = 672,
    .pictureHeight = 315,
    .width = 671,
    .height = 322,
    .label50 = QRect(336, 9, 672 - 336 - 8, 14),
    .groupRows = {},
    .framed = true,
    .labelMargin = 14,
    .ime = "中文 (简体) - 微软拼音",
    .altIme = "",
};

} // namespace

const SheetLayout &ownershipSheetLayout()
{
    return kLayout;
}

} // namespace zarn::forms
