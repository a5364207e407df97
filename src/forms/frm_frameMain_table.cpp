#include "forms/sheet_layout.h"

#include <array>

namespace zarn::forms {

namespace {

using K = SheetKind;

// The use-right sheet. Row, printed label, control, kind, column (or caption),
// left, top, width, tab position, Enter target, text after the blank, flags. Entries follow the
// printed rows top to bottom, left to right, which is the order the controls are made.
constexpr std::array<SheetEntry, 48> kTable{{
    {1, "调查表号", "Rzdbedit1", K::Edit, "DCBH", 64, 6, 369, 0, "DBComboBox1", ""},
    {1, "调查类型", "DBComboBox1", K::PickList, "DCLX", 502, 6, 147, 39, "RzDBEdit6", "",
     DigitPicker},
    {2, "土地所有者名称", "RzDBEdit6", K::Edit, "qsmc", 104, 28, 561, 1, "DBEdit3", ""},
    {3, "土地使用者名称", "DBEdit3", K::Edit, "QLR", 104, 49, 329, 2, "RzDBEdit2", ""},
    {3, "权属代码", "RzDBEdit2", K::Edit, "QSDM", 504, 49, 160, 3, "DBComboBox2", ""},
    {4, "土地使用者性质", "DBComboBox2", K::List, "DWXZ", 107, 70, 157, 40, "DBEdit5", "",
     DigitPicker},
    {4, "单位代码", "DBEdit5", K::Edit, "DWDM", 504, 71, 161, 4, "DBEdit6", ""},
    {5, "通讯地址", "DBEdit6", K::Edit, "TXDZ", 72, 92, 361, 5, "DBEdit7", ""},
    {5, "邮政编码", "DBEdit7", K::Edit, "QLRYB", 502, 92, 163, 6, "DBEdit8", ""},
    {6, "上级主管部门", "DBEdit8", K::Edit, "SJZGBM", 96, 114, 569, 7, "DBEdit9", ""},
    {7, "土地坐落", "DBEdit9", K::Edit, "TDZL", 72, 135, 593, 8, "DBEdit10", ""},
    {8, "法人代表姓名（或户主）", "", K::Heading, "", 14, 157, 0, -1, "", ""},
    {9, "姓名", "DBEdit10", K::Edit, "FRDBXM", 40, 178, 121, 9, "DBEdit11", ""},
    {9, "身份证号码", "DBEdit11", K::Edit, "FRSFZM", 243, 178, 190, 10, "DBEdit12", ""},
    {9, "电话号码", "DBEdit12", K::Edit, "FRDBDH", 499, 178, 166, 11, "DBEdit13", ""},
    {10, "代理人", "", K::Heading, "", 14, 200, 0, -1, "", ""},
    {11, "姓名", "DBEdit13", K::Edit, "DLRXM", 43, 221, 122, 12, "DBEdit14", ""},
    {11, "身份证号码", "DBEdit14", K::Edit, "DLRSFZ", 244, 221, 189, 13, "DBEdit15", ""},
    {11, "电话号码", "DBEdit15", K::Edit, "DLRDH", 499, 220, 166, 14, "DBComboBox3", ""},
    {12, "土地权属性质", "DBComboBox3", K::List, "QSXZ", 88, 242, 167, 41, "DBEdit17", "",
     DigitPicker},
    {12, "预编地籍号", "DBEdit17", K::Edit, "YBDJH", 400, 242, 265, 15, "DBEdit18", ""},
    {13, "地籍号", "DBEdit18", K::Edit, "ZDBH", 52, 264, 276, 16, "DBEdit19", ""},
    {13, "所在图幅号", "DBEdit19", K::Edit, "SZTFH", 400, 263, 176, 17, "DBComboBox5", ""},
    {13, "", "Button4", K::Button, "宗地四至", 577, 264, 88, 18, "", ""},
    {14, "批准用途代码", "DBComboBox5", K::List, "PZYTDM", 88, 285, 168, 42, "DBComboBox7", ""},
    {14, "实际用途代码", "DBComboBox7", K::List, "TDYTDM", 418, 285, 145, 44, "DBComboBox6", ""},
    {15, "批准用途", "DBComboBox6", K::List, "PZYT", 64, 307, 191, 43, "DBComboBox8", ""},
    {15, "实际用途", "DBComboBox8", K::List, "TDYT", 418, 307, 145, 45, "DBEdit22", ""},
    {16, "使用日期从", "DBEdit22", K::Edit, "QSRQ", 80, 328, 201, 19, "DBEdit23", ""},
    {16, "至", "DBEdit23", K::Edit, "ZZRQ", 306, 328, 239, 20, "DBEdit24", "止"},
    {17, "共有使用权人数", "DBEdit24", K::Edit, "QLRZS", 102, 350, 112, 21, "DBEdit25", ""},
    {17, "", "Button3", K::Button, "共有使用权表", 216, 350, 88, 22, "", ""},
    {18, "说明", "DBEdit25", K::Edit, "SM", 48, 371, 617, 23, "DBEdit26", ""},
    {19, "界址点个数", "DBEdit26", K::Edit, "JZDGS", 75, 393, 137, 24, "DBEdit27", ""},
    {19, "", "Button1", K::Button, "界址标示表", 216, 393, 88, 25, "", ""},
    {19, "", "Button2", K::Button, "指界情况表", 318, 393, 88, 26, "", ""},
    {19, "调查员姓名", "DBEdit27", K::Edit, "DCY", 506, 393, 153, 27, "DBMemo1", "", AltIme},
    {20, "权属调查记事", "DBMemo1", K::Memo, "QSDCJS", 88, 416, 577, 28, "DBEdit29", "", NoIme},
    {21, "权属调查员姓名", "DBEdit29", K::Edit, "QSDCY", 104, 435, 329, 29, "DBEdit30", ""},
    {21, "调查日期", "DBEdit30", K::Edit, "DCRQ", 495, 436, 170, 30, "DBEdit31", "", AltIme},
    {22, "地籍勘丈记事", "DBEdit31", K::Edit, "DJKZJS", 91, 457, 574, 31, "DBEdit32", ""},
    {23, "勘丈员姓名", "DBEdit32", K::Edit, "KZY", 75, 479, 358, 32, "DBEdit33", ""},
    {23, "勘丈日期", "DBEdit33", K::Edit, "KZRQ", 496, 479, 167, 33, "DBEdit34", "", AltIme},
    {24, "调查结果审核意见", "DBEdit34", K::Edit, "DCSHYJ", 115, 500, 550, 34, "DBEdit35", ""},
    {25, "审核人姓名", "DBEdit35", K::Edit, "DCSHR", 76, 521, 357, 35, "DBEdit36", ""},
    {25, "审核日期", "DBEdit36", K::Edit, "DCSHRQ", 497, 521, 168, 36, "DBComboBox4", "", AltIme},
    {26, "土地使用权类型", "DBComboBox4", K::FramedList, "syqlx", 98, 543, 178, 37, "DBEdit38", "",
     DigitPicker},
    {26, "标定地价", "DBEdit38", K::Edit, "BDDJ", 496, 543, 169, 38, "", "", AltIme},
}};

// Group boundaries of the printed table: identification and parties,
// persons, rights and use, remarks and points, survey records, type and price.
constexpr int kGroupRows[] = {8, 12, 18, 20, 26};

constexpr SheetLayout kLayout{
    "frmFrameMain1",
    "土地使用权地籍调查表",
    kTable,
    676,
    572,
    681,
    585,
    QRect(336, 353, 676 - 336 - 8, 14),
    kGroupRows,
    true,
    14,
    "中文 (简体) - 微软拼音",
    "紫光拼音输入法",
};

} // namespace

const SheetLayout &useRightSheet()
{
    return kLayout;
}

} // namespace zarn::forms
