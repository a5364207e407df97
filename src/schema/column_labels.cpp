#include "schema/column_labels.h"

#include "schema/columns.h"

#include <QHash>

namespace zarn::columns {

namespace {

using Labels = QHash<QString, QString>; // lower-case column -> label

// T_DJDCB: the labels printed on the use-right sheet, shortened where the
// sheet prints one heading over several blanks.
const Labels &djdcbLabels()
{
    static const Labels labels = [] {
        const std::pair<const char *, const char *> pairs[] = {
            {"id", "记录号"},
            {"ysdm", "要素代码"},
            {"qhdm", "区划代码"},
            {"jddm", "街道代码"},
            {"jfdm", "街坊代码"},
            {"dwdm", "单位代码"},
            {"qsdm", "权属代码"},
            {"dcbh", "调查表号"},
            {"dclx", "调查类型"},
            {"qsmc", "土地所有者名称"},
            {"qlr", "土地使用者名称"},
            {"dwxz", "土地使用者性质"},
            {"txdz", "通讯地址"},
            {"qlryb", "邮政编码"},
            {"sjzgbm", "上级主管部门"},
            {"tdzl", "土地坐落"},
            {"frdbxm", "法人代表姓名"},
            {"frsfzm", "法人代表身份证号码"},
            {"frdbdh", "法人代表电话号码"},
            {"dlrxm", "代理人姓名"},
            {"dlrsfz", "代理人身份证号码"},
            {"dlrdh", "代理人电话号码"},
            {"qsxz", "土地权属性质"},
            {"ybdjh", "预编地籍号"},
            {"zdbh", "地籍号"},
            {"sztfh", "所在图幅号"},
            {"pzytdm", "批准用途代码"},
            {"pzyt", "批准用途"},
            {"tdytdm", "实际用途代码"},
            {"tdyt", "实际用途"},
            {"qsrq", "使用日期从"},
            {"zzrq", "使用日期至"},
            {"qlrzs", "共有使用权人数"},
            {"sm", "说明"},
            {"jzdgs", "界址点个数"},
            {"dcy", "调查员姓名"},
            {"qsdcjs", "权属调查记事"},
            {"qsdcy", "权属调查员姓名"},
            {"dcrq", "调查日期"},
            {"djkzjs", "地籍勘丈记事"},
            {"kzy", "勘丈员姓名"},
            {"kzrq", "勘丈日期"},
            {"dcshyj", "调查结果审核意见"},
            {"dcshr", "审核人姓名"},
            {"dcshrq", "审核日期"},
            {"syqlx", "土地使用权类型"},
            {"bddj", "标定地价"},
            {"zygdwzsm", "重要界址点点位说明"},
            {"zyjxzxsm", "主要权属界线走向说明"},
            {"bz", "备注"},
            {"bgrq", "变更日期"},
            {"dcblx", "调查表类型"},
        };
        Labels l;
        for (const auto &[column, text] : pairs)
            l.insert(QString::fromLatin1(column), QString::fromUtf8(text));
        return l;
    }();
    return labels;
}

Labels fromGrid(const QList<Titled> &grid)
{
    Labels l;
    for (const Titled &t : grid)
        l.insert(t.field.toLower(), t.title);
    return l;
}

const Labels *tableLabels(const QString &table)
{
    static const Labels jzbsb = fromGrid(jzbsbGrid), zjb = fromGrid(zjbGrid),
                        szb = fromGrid(szbGrid), gyq = fromGrid(gyqGrid);
    QString t = table.toLower();
    t.remove(QLatin1Char('"'));
    if (const qsizetype dot = t.lastIndexOf(QLatin1Char('.')); dot >= 0) t = t.mid(dot + 1);
    if (t == QLatin1String("t_djdcb")) return &djdcbLabels();
    if (t == QLatin1String("t_jzbsb")) return &jzbsb;
    if (t == QLatin1String("t_zjb")) return &zjb;
    if (t == QLatin1String("t_szb")) return &szb;
    if (t == QLatin1String("t_gyq")) return &gyq;
    return nullptr;
}

} // namespace

QString label(const QString &table, const QString &column)
{
    const QString key = column.toLower();
    if (const Labels *own = tableLabels(table); own && own->contains(key)) return own->value(key);
    for (const char *other : {"t_djdcb", "t_gyq", "t_jzbsb", "t_zjb", "t_szb"})
        if (const Labels *l = tableLabels(QString::fromLatin1(other)); l->contains(key))
            return l->value(key);
    return {};
}

} // namespace zarn::columns
