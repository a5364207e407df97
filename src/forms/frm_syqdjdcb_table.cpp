#include "forms/sheet_layout.h"

#include <array>

namespace zarn::forms {

namespace {

using K = SheetKind;

// The ownership sheet: eleven printed rows; rows 3, 4, 5 and 11 have a second
// label from the middle of the width, row 8 is the four-line remarks. Row,
// printed label, control, kind, column (or caption), left, top, width, tab
// position, Enter target, text after the blank, flags, height. QLRZS takes no
// part in the Enter chain, and the chain ends at DCRQ.
constexpr std::array<SheetEntry, 19> kTable{{
    {1, "调查表号", "Rzdbedit1", K::Edit, "DCBH", 64, 6, 260, 0, "RzDBEdit6", ""},
    {2, "土地所有者(农民集体)名称", "RzDBEdit6", K::Edit, "qsmc", 168, 28, 492, 1, "RzDBEdit2", ""},
    {3, "权属代码", "RzDBEdit2", K::Edit, "QSDM", 64, 50, 260, 2, "DBEdit5", ""},
    {3, "单位代码", "DBEdit5", K::Edit, "DWDM", 392, 50, 268, 3, "DBEdit18", ""},
    {4, "地籍号", "DBEdit18", K::Edit, "ZDBH", 64, 72, 260, 4, "DBEdit19", ""},
    {4, "所在图幅号", "DBEdit19", K::Edit, "SZTFH", 404, 72, 256, 5, "DBEdit26", ""},
    {5, "共有使用权人数", "DBEdit24", K::Edit, "QLRZS", 102, 94, 60, 6, "", ""},
    {5, "", "Button3", K::Button, "共有使用权", 166, 94, 88, 7, "", ""},
    {5, "界址点个数", "DBEdit26", K::Edit, "JZDGS", 400, 94, 40, 8, "RzDBEdit3", ""},
    {5, "", "Button2", K::Button, "指界情况表", 443, 94, 72, 9, "", ""},
    {5, "", "Button4", K::Button, "宗地四至", 516, 94, 72, 10, "", ""},
    {5, "", "Button1", K::Button, "界址标示表", 589, 94, 72, 11, "", ""},
    {6, "重要界址点点位说明", "RzDBEdit3", K::Edit, "ZYGDWZSM", 124, 116, 536, 12, "RzDBEdit4", ""},
    {7, "主要权属界线走向说明", "RzDBEdit4", K::Edit, "ZYJXZXSM", 136, 138, 524, 13, "RzDBMemo1",
     ""},
    {8, "备注\n(宗地被线状国有\n或其他农民集体土\n地分割的说明)", "RzDBMemo1", K::Memo, "bz", 124,
     160, 536, 14, "DBEdit28", "", 0, 68},
    {9, "其他说明", "DBEdit28", K::Edit, "QSDCJS", 64, 232, 596, 15, "DBEdit25", ""},
    {10, "权属调查记事", "DBEdit25", K::Edit, "SM", 88, 254, 572, 16, "DBEdit29", ""},
    {11, "权属调查员姓名", "DBEdit29", K::Edit, "QSDCY", 102, 276, 230, 17, "DBEdit30", ""},
    {11, "调查日期", "DBEdit30", K::Edit, "DCRQ", 392, 276, 268, 18, "", ""},
}};

constexpr SheetLayout kLayout{
    "Panel3", "土地所有权地籍调查表",           kTable, 672,  315, 671,
    322,      QRect(336, 9, 672 - 336 - 8, 14), {},     true, 14,  "中文 (简体) - 微软拼音",
    "",
};

} // namespace

const SheetLayout &ownershipSheet()
{
    return kLayout;
}

} // namespace zarn::forms
