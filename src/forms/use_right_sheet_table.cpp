#include "forms/sheet_layout.h"

#include <array>

namespace zarn::forms {

namespace {

using K = SheetKind;

// The use-right sheet. Entries follow the printed rows top to bottom, left to
// right, which is the order the controls are made.
// clang-format off
constexpr std::array<SheetEntry, 48> kTable{{
    {.row = 1, .label = "调查表号", .control = "Rzdbedit1", .kind = K::Edit, .column = "DCBH",
     .left = 64, .top = 6, .width = 369, .tab = 0, .enter = "DBComboBox1"},
    {.row = 1, .label = "调查类型", .control = "DBComboBox1", .kind = K::PickList, .column = "DCLX",
     .left = 502, .top = 6, .width = 147, .tab = 39, .enter = "RzDBEdit6", .flags = DigitPicker},
    {.row = 2, .label = "土地所有者名称", .control = "RzDBEdit6", .kind = K::Edit, .column = "qsmc",
     .left = 104, .top = 28, .width = 561, .tab = 1, .enter = "DBEdit3"},
    {.row = 3, .label = "土地使用者名称", .control = "DBEdit3", .kind = K::Edit, .column = "QLR",
     .left = 104, .top = 49, .width = 329, .tab = 2, .enter = "RzDBEdit2"},
    {.row = 3, .label = "权属代码", .control = "RzDBEdit2", .kind = K::Edit, .column = "QSDM",
     .left = 504, .top = 49, .width = 160, .tab = 3, .enter = "DBComboBox2"},
    {.row = 4, .label = "土地使用者性质", .control = "DBComboBox2", .kind = K::List,
     .column = "DWXZ", .left = 107, .top = 70, .width = 157, .tab = 40, .enter = "DBEdit5",
     .flags = DigitPicker},
    {.row = 4, .label = "单位代码", .control = "DBEdit5", .kind = K::Edit, .column = "DWDM",
     .left = 504, .top = 71, .width = 161, .tab = 4, .enter = "DBEdit6"},
    {.row = 5, .label = "通讯地址", .control = "DBEdit6", .kind = K::Edit, .column = "TXDZ",
     .left = 72, .top = 92, .width = 361, .tab = 5, .enter = "DBEdit7"},
    {.row = 5, .label = "邮政编码", .control = "DBEdit7", .kind = K::Edit, .column = "QLRYB",
     .left = 502, .top = 92, .width = 163, .tab = 6, .enter = "DBEdit8"},
    {.row = 6, .label = "上级主管部门", .control = "DBEdit8", .kind = K::Edit, .column = "SJZGBM",
     .left = 96, .top = 114, .width = 569, .tab = 7, .enter = "DBEdit9"},
    {.row = 7, .label = "土地坐落", .control = "DBEdit9", .kind = K::Edit, .column = "TDZL",
     .left = 72, .top = 135, .width = 593, .tab = 8, .enter = "DBEdit10"},
    {.row = 8, .label = "法人代表姓名（或户主）", .control = "", .kind = K::Heading, .column = "",
     .left = 14, .top = 157, .width = 0, .tab = -1},
    {.row = 9, .label = "姓名", .control = "DBEdit10", .kind = K::Edit, .column = "FRDBXM",
     .left = 40, .top = 178, .width = 121, .tab = 9, .enter = "DBEdit11"},
    {.row = 9, .label = "身份证号码", .control = "DBEdit11", .kind = K::Edit, .column = "FRSFZM",
     .left = 243, .top = 178, .width = 190, .tab = 10, .enter = "DBEdit12"},
    {.row = 9, .label = "电话号码", .control = "DBEdit12", .kind = K::Edit, .column = "FRDBDH",
     .left = 499, .top = 178, .width = 166, .tab = 11, .enter = "DBEdit13"},
    {.row = 10, .label = "代理人", .control = "", .kind = K::Heading, .column = "", .left = 14,
     .top = 200, .width = 0, .tab = -1},
    {.row = 11, .label = "姓名", .control = "DBEdit13", .kind = K::Edit, .column = "DLRXM",
     .left = 43, .top = 221, .width = 122, .tab = 12, .enter = "DBEdit14"},
    {.row = 11, .label = "身份证号码", .control = "DBEdit14", .kind = K::Edit, .column = "DLRSFZ",
     .left = 244, .top = 221, .width = 189, .tab = 13, .enter = "DBEdit15"},
    {.row = 11, .label = "电话号码", .control = "DBEdit15", .kind = K::Edit, .column = "DLRDH",
     .left = 499, .top = 220, .width = 166, .tab = 14, .enter = "DBComboBox3"},
    {.row = 12, .label = "土地权属性质", .control = "DBComboBox3", .kind = K::List,
     .column = "QSXZ", .left = 88, .top = 242, .width = 167, .tab = 41, .enter = "DBEdit17",
     .flags = DigitPicker},
    {.row = 12, .label = "预编地籍号", .control = "DBEdit17", .kind = K::Edit, .column = "YBDJH",
     .left = 400, .top = 242, .width = 265, .tab = 15, .enter = "DBEdit18"},
    {.row = 13, .label = "地籍号", .control = "DBEdit18", .kind = K::Edit, .column = "ZDBH",
     .left = 52, .top = 264, .width = 276, .tab = 16, .enter = "DBEdit19"},
    {.row = 13, .label = "所在图幅号", .control = "DBEdit19", .kind = K::Edit, .column = "SZTFH",
     .left = 400, .top = 263, .width = 176, .tab = 17, .enter = "DBComboBox5"},
    {.row = 13, .label = "", .control = "Button4", .kind = K::Button, .column = "宗地四至",
     .left = 577, .top = 264, .width = 88, .tab = 18},
    {.row = 14, .label = "批准用途代码", .control = "DBComboBox5", .kind = K::List,
     .column = "PZYTDM", .left = 88, .top = 285, .width = 168, .tab = 42, .enter = "DBComboBox7"},
    {.row = 14, .label = "实际用途代码", .control = "DBComboBox7", .kind = K::List,
     .column = "TDYTDM", .left = 418, .top = 285, .width = 145, .tab = 44, .enter = "DBComboBox6"},
    {.row = 15, .label = "批准用途", .control = "DBComboBox6", .kind = K::List, .column = "PZYT",
     .left = 64, .top = 307, .width = 191, .tab = 43, .enter = "DBComboBox8"},
    {.row = 15, .label = "实际用途", .control = "DBComboBox8", .kind = K::List, .column = "TDYT",
     .left = 418, .top = 307, .width = 145, .tab = 45, .enter = "DBEdit22"},
    {.row = 16, .label = "使用日期从", .control = "DBEdit22", .kind = K::Edit, .column = "QSRQ",
     .left = 80, .top = 328, .width = 201, .tab = 19, .enter = "DBEdit23"},
    {.row = 16, .label = "至", .control = "DBEdit23", .kind = K::Edit, .column = "ZZRQ",
     .left = 306, .top = 328, .width = 239, .tab = 20, .enter = "DBEdit24", .after = "止"},
    {.row = 17, .label = "共有使用权人数", .control = "DBEdit24", .kind = K::Edit,
     .column = "QLRZS", .left = 102, .top = 350, .width = 112, .tab = 21, .enter = "DBEdit25"},
    {.row = 17, .label = "", .control = "Button3", .kind = K::Button, .column = "共有使用权表",
     .left = 216, .top = 350, .width = 88, .tab = 22},
    {.row = 18, .label = "说明", .control = "DBEdit25", .kind = K::Edit, .column = "SM", .left = 48,
     .top = 371, .width = 617, .tab = 23, .enter = "DBEdit26"},
    {.row = 19, .label = "界址点个数", .control = "DBEdit26", .kind = K::Edit, .column = "JZDGS",
     .left = 75, .top = 393, .width = 137, .tab = 24, .enter = "DBEdit27"},
    {.row = 19, .label = "", .control = "Button1", .kind = K::Button, .column = "界址标示表",
     .left = 216, .top = 393, .width = 88, .tab = 25},
    {.row = 19, .label = "", .control = "Button2", .kind = K::Button, .column = "指界情况表",
     .left = 318, .top = 393, .width = 88, .tab = 26},
    {.row = 19, .label = "调查员姓名", .control = "DBEdit27", .kind = K::Edit, .column = "DCY",
     .left = 506, .top = 393, .width = 153, .tab = 27, .enter = "DBMemo1", .flags = AltIme},
    {.row = 20, .label = "权属调查记事", .control = "DBMemo1", .kind = K::Memo, .column = "QSDCJS",
     .left = 88, .top = 416, .width = 577, .tab = 28, .enter = "DBEdit29", .flags = NoIme},
    {.row = 21, .label = "权属调查员姓名", .control = "DBEdit29", .kind = K::Edit,
     .column = "QSDCY", .left = 104, .top = 435, .width = 329, .tab = 29, .enter = "DBEdit30"},
    {.row = 21, .label = "调查日期", .control = "DBEdit30", .kind = K::Edit, .column = "DCRQ",
     .left = 495, .top = 436, .width = 170, .tab = 30, .enter = "DBEdit31", .flags = AltIme},
    {.row = 22, .label = "地籍勘丈记事", .control = "DBEdit31", .kind = K::Edit, .column = "DJKZJS",
     .left = 91, .top = 457, .width = 574, .tab = 31, .enter = "DBEdit32"},
    {.row = 23, .label = "勘丈员姓名", .control = "DBEdit32", .kind = K::Edit, .column = "KZY",
     .left = 75, .top = 479, .width = 358, .tab = 32, .enter = "DBEdit33"},
    {.row = 23, .label = "勘丈日期", .control = "DBEdit33", .kind = K::Edit, .column = "KZRQ",
     .left = 496, .top = 479, .width = 167, .tab = 33, .enter = "DBEdit34", .flags = AltIme},
    {.row = 24, .label = "调查结果审核意见", .control = "DBEdit34", .kind = K::Edit,
     .column = "DCSHYJ", .left = 115, .top = 500, .width = 550, .tab = 34, .enter = "DBEdit35"},
    {.row = 25, .label = "审核人姓名", .control = "DBEdit35", .kind = K::Edit, .column = "DCSHR",
     .left = 76, .top = 521, .width = 357, .tab = 35, .enter = "DBEdit36"},
    {.row = 25, .label = "审核日期", .control = "DBEdit36", .kind = K::Edit, .column = "DCSHRQ",
     .left = 497, .top = 521, .width = 168, .tab = 36, .enter = "DBComboBox4", .flags = AltIme},
    {.row = 26, .label = "土地使用权类型", .control = "DBComboBox4", .kind = K::FramedList,
     .column = "syqlx", .left = 98, .top = 543, .width = 178, .tab = 37, .enter = "DBEdit38",
     .flags = DigitPicker},
    {.row = 26, .label = "标定地价", .control = "DBEdit38", .kind = K::Edit, .column = "BDDJ",
     .left = 496, .top = 543, .width = 169, .tab = 38, .flags = AltIme},
}};
// clang-format on

// Group boundaries of the printed table: identification and parties,
// persons, rights and use, remarks and points, survey records, type and price.
constexpr int kGroupRows[] = {8, 12, 18, 20, 26};

constexpr SheetLayout kLayout{
    .name = "frmFrameMain1",
    .title = "土地使用权地籍调查表",
    .entries = kTable,
    .pictureWidth = 676,
    .pictureHeight = 572,
    .width = 681,
    .height = 585,
    .label50 = QRect(336, 353, 676 - 336 - 8, 14),
    .groupRows = kGroupRows,
    .framed = true,
    .labelMargin = 14,
    .ime = "中文 (简体) - 微软拼音",
    .altIme = "紫光拼音输入法",
};

} // namespace

const SheetLayout &useRightSheetLayout()
{
    return kLayout;
}

} // namespace zarn::forms
