#include "schema/quality_checks.h"

#include "schema/quality_evaluators.h"
#include "schema/quality_statements.h"

#include <QSqlRecord>

#include <algorithm>
#include <vector>

// The check table, and the run that reads the unit's statements once and
// hands their rows to each check in turn.
namespace zarn::quality {

namespace q = sql::quality;
using namespace internal;

namespace {

// A finding statement: every row is a finding; the values after the four
// keys fill the detail's %1, %2.
struct Listed {
    const QString *sql;
    const char *detail;
};

// A column of a statement read once for several checks (its rows beginning
// with the four keys): every row where the column (by its place among the
// values) is not null is a finding, the value filling the detail's %1.
struct Flagged {
    const QString *sql;
    int value;
    const char *detail;
};

// A coded column of the current survey rows (by its place among
// currentValues' values): a value that, trimmed as the databases trim, is
// filled, not the default "000" and no entry of its code table is a
// finding, the value filling the detail's %1.
struct Coded {
    int value;
    const char *table; // among kCodeTables
    const char *detail;
};

struct CheckDef {
    CheckInfo info;
    std::vector<Listed> listed;
    Evaluator evaluate = nullptr;
    std::vector<const QString *> reads = {}; // the statements the evaluator runs
    std::vector<Flagged> flagged = {};
    std::vector<Coded> coded = {};
};

// ---------------------------------------------------------------- the table

const QString kMarkersAlone = q::attachedAlone("T_JZBSB", /*supersededOnly=*/true);
const QString kLinesAlone = q::attachedAlone("T_ZJB", /*supersededOnly=*/true);
const QString kSidesAlone = q::attachedAlone("T_SZB");
const QString kCoUsersAlone = q::attachedAlone("T_GYQ");

using S = Severity;

const std::vector<CheckDef> &table()
{
    static const std::vector<CheckDef> defs = {
        {{"WZ01", "调查表必填项未填写（空白或仍为默认值“000”）", S::Error},
         {},
         &complete,
         {&q::currentValues}},
        {{"GS01", "身份证号码不符合规则", S::Error},
         {},
         &formed<checks::ValueCheck::IdCard>,
         {&q::currentValues}},
        {{"GS02", "日期不是实际日期（应为8位数字，年月日相连）", S::Error},
         {},
         &formed<checks::ValueCheck::Date>,
         {&q::currentValues}},
        {{"GS03", "邮政编码不是6位数字", S::Warning},
         {},
         &formed<checks::ValueCheck::PostalCode>,
         {&q::currentValues}},
        {{"GS04", "日期先后不符：应为调查日期≤勘丈日期≤审核日期", S::Error},
         {},
         &dateOrder,
         {&q::currentValues}},
        {{"GS05", "调查表号不是本单位代码后接顺序号", S::Error},
         {},
         &surveyNumberForm,
         {&q::numberRows}},
        {{"GS06", "地籍号不是本单位编号规则编出的号码", S::Warning},
         {},
         &parcelNumberForm,
         {&q::numberRows}},
        {{"BH01", "本单位有两张以上现势调查表使用同一地籍号", S::Error},
         {{&q::sharedParcelNumber, ""}}},
        {{"BH02", "本单位有两张以上调查表使用同一调查表号", S::Error},
         {{&q::sharedSurveyNumber, ""}}},
        {{"JZ01", "界址点个数与界址标示表中的界址点数不符", S::Error},
         {},
         &markerCount,
         {&q::currentValues, &q::codeEntries, &q::currentMarkers, &q::currentLines,
          &q::markerCodeSuspects}},
        {{"JZ02", "界址点序号不是从1起连续编排（有缺号、重号或空号）", S::Error},
         {},
         &markerNumbering,
         {&q::currentValues, &q::codeEntries, &q::currentMarkers, &q::currentLines,
          &q::markerCodeSuspects}},
        {{"JZ03", "界址线的起止点未围成经过全部界址点的一个闭合环", S::Error},
         {},
         &ring,
         {&q::currentValues, &q::codeEntries, &q::currentMarkers, &q::currentLines,
          &q::markerCodeSuspects}},
        {{"JZ04", "宗地四至不是东、南、西、北各一条", S::Warning}, {{&q::fourSides, ""}}},
        {{"GY01", "共有使用权人数与共有使用权表中的人数不符", S::Error},
         {{&q::coUserCountMismatch, "表上填%1人，共有使用权表有%2人"}}},
        {{"DM01", "权属性质不在代码表中", S::Warning},
         {},
         nullptr,
         {&q::currentValues, &q::codeEntries},
         {},
         {{3, "QSXZ", "“%1”"}}},
        {{"DM02", "土地使用者性质不在代码表中", S::Warning},
         {},
         nullptr,
         {&q::currentValues, &q::codeEntries},
         {{&q::coUserCodes, 0, "共有使用权人“%1”"}},
         {{14, "DWXZ", "“%1”"}}},
        {{"DM03", "土地用途代码或名称不在代码表中", S::Warning},
         {},
         nullptr,
         {&q::currentValues, &q::codeEntries},
         {{&q::coUserCodes, 1, "共有使用权人用途“%1”"}},
         {{15, "DLDM", "批准用途代码“%1”"},
          {16, "DLDM", "实际用途代码“%1”"},
          {17, "DLMC", "批准用途“%1”"},
          {4, "DLMC", "实际用途“%1”"}}},
        {{"DM04", "界标类别、界址线类别或界址线位置不在代码表中", S::Warning},
         {},
         &markerCodes,
         {&q::currentValues, &q::codeEntries, &q::currentMarkers, &q::currentLines,
          &q::markerCodeSuspects}},
        {{"BB01", "已变更的旧版调查表没有同一宗地的现势调查表", S::Error},
         {{&q::supersededAlone, ""}}},
        {{"BB02", "附表中有记录所属的调查表不存在", S::Error},
         {{&kMarkersAlone, "界址标示表（变更日期%1）"},
          {&kLinesAlone, "指界情况表（变更日期%1）"},
          {&kSidesAlone, "宗地四至（变更日期%1）"},
          {&kCoUsersAlone, "共有使用权表（变更日期%1）"}},
         &boundaryAlone,
         {&q::currentValues, &q::codeEntries, &q::currentMarkers, &q::currentLines,
          &q::markerCodeSuspects}},
    };
    return defs;
}

std::vector<CheckInfo> infos()
{
    std::vector<CheckInfo> out;
    for (const CheckDef &d : table())
        out.push_back(d.info);
    return out;
}

QString detailOf(const char *format, const QSqlQuery &r)
{
    QString detail = QString::fromUtf8(format);
    for (int i = 4, n = r.record().count(); i < n; ++i)
        detail = detail.arg(r.value(i).isNull() ? QStringLiteral("空") : r.value(i).toString());
    return detail;
}

bool parcelBefore(const Finding &a, const Finding &b)
{
    // Parcels without a number last, as the lists sort them.
    if (a.zdbh.isEmpty() != b.zdbh.isEmpty()) return b.zdbh.isEmpty();
    if (a.zdbh != b.zdbh) return a.zdbh < b.zdbh;
    if (a.dwdm != b.dwdm) return a.dwdm < b.dwdm;
    if (a.dcbh != b.dcbh) return a.dcbh < b.dcbh;
    if (a.check != b.check) return a.check < b.check;
    return a.detail < b.detail;
}

} // namespace

QString severityText(Severity s)
{
    return s == Severity::Error ? QStringLiteral("错误") : QStringLiteral("警告");
}

std::span<const CheckInfo> checks()
{
    static const std::vector<CheckInfo> all = infos();
    return all;
}

const CheckInfo *checkByCode(const QString &code)
{
    for (const CheckInfo &c : checks())
        if (code == QLatin1String(c.code)) return &c;
    return nullptr;
}

QList<Finding> run(Connection &connection, const Scope &scope, const Progress &progress)
{
    Reader reader(connection, scope.dwdm);
    Out found;
    const auto &defs = table();
    for (std::size_t i = 0; i < defs.size(); ++i) {
        const int check = int(i);
        for (const Listed &l : defs[i].listed)
            reader.rows(*l.sql, [&](const QSqlQuery &r) {
                Finding f = keyed(r, check);
                f.detail = detailOf(l.detail, r);
                found << f;
            });
        for (const Flagged &f : defs[i].flagged)
            for (const Row &r : reader.table(*f.sql))
                if (const QString &v = r.values[f.value]; !v.isEmpty())
                    found << keyed(r, check, QString::fromUtf8(f.detail).arg(v));
        for (const Coded &c : defs[i].coded) {
            const QSet<QString> &entries = reader.codes(c.table);
            const QString detail = QString::fromUtf8(c.detail);
            for (const Row &r : reader.current()) {
                const QString &v = r.values[c.value];
                const QStringView t = sqlTrimmed(v);
                if (!t.isEmpty() && t != QLatin1String("000") && !entries.contains(t.toString()))
                    found << keyed(r, check, detail.arg(v));
            }
        }
        if (defs[i].evaluate) defs[i].evaluate(reader, check, found);
        if (progress) progress(check + 1, int(defs.size()));
    }
    const auto outOfScope = [&](const Finding &f) {
        if (!scope.zdbh.isEmpty() && f.zdbh != scope.zdbh) return true;
        return scope.kind >= 0 && (f.kind == 1 ? 1 : 0) != scope.kind && f.kind >= 0;
    };
    found.removeIf(outOfScope);
    std::sort(found.begin(), found.end(), parcelBefore);
    return found;
}

QStringList statements()
{
    QStringList out;
    for (const CheckDef &d : table()) {
        for (const Listed &l : d.listed)
            if (!out.contains(*l.sql)) out << *l.sql;
        for (const QString *sql : d.reads)
            if (!out.contains(*sql)) out << *sql;
        for (const Flagged &f : d.flagged)
            if (!out.contains(*f.sql)) out << *f.sql;
    }
    return out;
}

QList<Total> totals(const QList<Finding> &findings)
{
    QList<Total> out;
    std::vector<int> n(checks().size(), 0);
    for (const Finding &f : findings)
        ++n[std::size_t(f.check)];
    for (std::size_t i = 0; i < n.size(); ++i)
        if (n[i] > 0) out.append({int(i), n[i]});
    return out;
}

bool hasErrors(const QList<Finding> &findings)
{
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding &f) { return f.info().severity == Severity::Error; });
}

} // namespace zarn::quality
