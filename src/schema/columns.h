#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Column lists of the survey database, spelled as the forms bind them (names
// are matched without regard to case), and the grid columns with their titles.
namespace zarn::columns {

// T_DJDCB in table order.
inline const QStringList djdcb = {
    "id",     "ysdm",   "qhdm",     "jddm",     "jfdm",  "DWDM",   "QSDM",   "DCBH",   "DCLX",
    "qsmc",   "QLR",    "DWXZ",     "TXDZ",     "QLRYB", "SJZGBM", "TDZL",   "FRDBXM", "FRSFZM",
    "FRDBDH", "DLRXM",  "DLRSFZ",   "DLRDH",    "QSXZ",  "YBDJH",  "ZDBH",   "SZTFH",  "PZYTDM",
    "PZYT",   "TDYTDM", "TDYT",     "QSRQ",     "ZZRQ",  "QLRZS",  "SM",     "JZDGS",  "DCY",
    "QSDCJS", "QSDCY",  "DCRQ",     "DJKZJS",   "KZY",   "KZRQ",   "DCSHYJ", "DCSHR",  "DCSHRQ",
    "syqlx",  "BDDJ",   "ZYGDWZSM", "ZYJXZXSM", "bz",    "bgrq",   "dcblx"};

// The attached tables, each in table order: the shared keys first, then the
// table's own columns, then the survey date, change date and survey kind.
inline const QStringList jzbsb = {"id",    "ZDBH", "dwdm",  "XH",    "JZDTBH",
                                  "JZDJJ", "JBLX", "JZXLB", "JZXWZ", "TZJB",
                                  "BZ",    "FSBC", "DCRQ",  "BGRQ",  "dcblx"};
inline const QStringList zjb = {"id",      "ZDBH",    "dwdm", "JZXQDH", "JZXZDH", "LZDZDBH",
                                "LZZJRXM", "BZZJRXM", "ZJRQ", "DCRQ",   "BGRQ",   "dcblx"};
inline const QStringList szb = {
    "id", "ZDBH", "dwdm", "FWSX", "JZDStart", "JZDEnd", "LZDJHORLOADNAME", "DCRQ", "BGRQ", "dcblx"};
inline const QStringList gyq = {
    "id",         "ZDBH",   "dwdm",   "GYSYQRBH", "TDSYZMC", "TDSYZXZ", "TXDZ", "YB",    "SJZGBM",
    "FRDBXM",     "FRDBSF", "FRDBDH", "DLRXM",    "DLRSF",   "DLRDH",   "TDYT", "JZWLX", "DZSYMJ",
    "DZSYJZZDMJ", "GYTDMJ", "FTTDMJ", "FTJZMJ",   "DCRQ",    "BGRQ",    "dcblx"};

// A grid column: the bound field and its centred title.
struct Titled {
    QString field;
    QString title;
};

// The parcel locate grid.
inline const QList<Titled> locateGrid = {
    {"zdbh", "宗地号"},    {"dwdm", "单位代码"}, {"jddm", "街道代码"}, {"jfdm", "街坊代码"},
    {"qlr", "土地使用者"}, {"tdzl", "土地坐落"}, {"tdyt", "土地用途"}};

// The list pages of the attached-table editors.
inline const QList<Titled> jzbsbGrid = {
    {"ZDBH", "地籍号"},    {"XH", "界址点序号"},  {"JZDTBH", "统编号"},    {"JBLX", "界标类别"},
    {"JZXLB", "界线类别"}, {"JZDJJ", "界址间距"}, {"JZXWZ", "界址线位置"}, {"DCRQ", "调查日期"},
    {"FSBC", "反算边长"},  {"BGRQ", "变更日期"},  {"TZJB", "套宗级别"}};

inline const QList<Titled> zjbGrid = {
    {"ZDBH", "地籍号"},        {"JZXQDH", "起点号"},      {"JZXZDH", "终点号"},
    {"LZDZDBH", "邻宗地籍号"}, {"LZZJRXM", "邻宗指界人"}, {"BZZJRXM", "本宗指界人"},
    {"ZJRQ", "指界日期"},      {"DCRQ", "调查日期"},      {"BGRQ", "变更日期"}};

inline const QList<Titled> szbGrid = {{"ZDBH", "地籍号"},
                                      {"FWSX", "方位属性"},
                                      {"JZDStart", "起点号"},
                                      {"JZDEnd", "终点号"},
                                      {"LZDJHORLOADNAME", "邻宗地籍号"},
                                      {"DCRQ", "调查日期"},
                                      {"BGRQ", "变更日期"}};

inline const QList<Titled> gyqGrid = {{"ZDBH", "地籍号"},         {"GYSYQRBH", "共有权编号"},
                                      {"TDSYZMC", "土地使用者"},  {"TDSYZXZ", "土地使用者性质"},
                                      {"TXDZ", "通讯地址"},       {"YB", "邮编"},
                                      {"SJZGBM", "上级主管部门"}, {"FRDBXM", "法人姓名"},
                                      {"FRDBSF", "法人身份证明"}, {"FRDBDH", "法人电话"},
                                      {"DLRXM", "代理人姓名"},    {"DLRSF", "代理人身份证"},
                                      {"DLRDH", "代理人电话"},    {"TDYT", "土地用途"},
                                      {"JZWLX", "建筑物类型"},    {"DZSYMJ", "独用面积"},
                                      {"GYTDMJ", "共用面积"},     {"DZSYJZZDMJ", "独用建筑占地"},
                                      {"FTTDMJ", "分摊土地面积"}, {"FTJZMJ", "分摊建筑面积"},
                                      {"DCRQ", "调查日期"},       {"BGRQ", "变更日期"}};

// The four sides: the entry page's list starts with east, the grid's pick list
// with north; both hold the same four directions.
inline const QStringList fwsxEntries = {"东", "南", "西", "北"};
inline const QStringList fwsxGridPickList = {"北", "东", "南", "西"};

} // namespace zarn::columns
