#include "schema/quality_checks.h"

#include "data/connection.h"
#include "schema/numbering.h"
#include "schema/quality_statements.h"
#include "schema/unit_code.h"
#include "schema/value_checks.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <array>
#include <vector>

namespace zarn::quality {

namespace q = sql::quality;

namespace {

// The unit's statements, each run once over the whole unit.
class Reader {
public:
    Reader(Connection &c, const QString &dwdm)
        : m_connection(c)
        , m_unit(unitcode::unitListParams(dwdm))
    {
    }

    // Runs a reading statement with the unit range bound for each unit test
    // it holds, and hands every row to f.
    template <class F> void rows(const QString &sql, F &&f)
    {
        QVariantList params;
        for (qsizetype n = sql.count(QLatin1String("escape '!'")); n > 0; --n)
            params += m_unit;
        QSqlQuery query = m_connection.exec(sql, params, /*repeatable=*/true);
        while (query.next())
            f(query);
    }

    // The current survey rows by unit code and parcel number.
    struct Key {
        QString dcbh;
        int kind;
    };
    const QHash<QString, QList<Key>> &current()
    {
        if (!m_currentRead) {
            rows(q::currentKeys, [this](const QSqlQuery &r) {
                m_current[parcelKey(r.value(0).toString(), r.value(1).toString())].append(
                    {r.value(2).toString(), kindOf(r.value(3))});
            });
            m_currentRead = true;
        }
        return m_current;
    }

    static QString parcelKey(const QString &dwdm, const QString &zdbh)
    {
        return dwdm + QChar(0x1f) + zdbh;
    }
    static int kindOf(const QVariant &v) { return v.isNull() ? -1 : v.toInt(); }

private:
    Connection &m_connection;
    QVariantList m_unit;
    QHash<QString, QList<Key>> m_current;
    bool m_currentRead = false;
};

using Out = QList<Finding>;

Finding keyed(const QSqlQuery &r, int check)
{
    return {.dwdm = r.value(0).toString(),
            .zdbh = r.value(1).toString(),
            .dcbh = r.value(2).toString(),
            .kind = Reader::kindOf(r.value(3)),
            .check = check,
            .detail = {}};
}

// A finding statement: every row is a finding; the values after the four
// keys fill the detail's %1, %2.
struct Listed {
    const QString *sql;
    const char *detail;
};

using Evaluator = void (*)(Reader &, int check, Out &);

struct CheckDef {
    CheckInfo info;
    std::vector<Listed> listed;
    Evaluator evaluate = nullptr;
};

// ---------------------------------------------------------------- complete

// The columns a handed-in table must carry, per kind of table (dcblx; a row
// of no kind is a use-right table, as the forms print it).
struct Required {
    int kind;
    const char *column;
    const char *label;
};
constexpr std::array<Required, 9> kRequired{{
    {0, "QLR", "权利人"},
    {0, "TDZL", "土地坐落"},
    {0, "QSXZ", "权属性质"},
    {0, "TDYT", "用途"},
    {0, "DCY", "调查员"},
    {0, "DCRQ", "调查日期"},
    {1, "qsmc", "土地所有者名称"},
    {1, "QSDCY", "权属调查员"},
    {1, "DCRQ", "调查日期"},
}};

bool filled(const QVariant &v)
{
    const QString t = v.toString().trimmed();
    return !t.isEmpty() && t != QLatin1String("000");
}

void complete(Reader &reader, int check, Out &out)
{
    std::vector<int> at;
    reader.rows(q::completeRows, [&](const QSqlQuery &r) {
        if (at.empty())
            for (const Required &req : kRequired)
                at.push_back(r.record().indexOf(QLatin1String(req.column)));
        const int kind = Reader::kindOf(r.value(3)) == 1 ? 1 : 0;
        QStringList missing;
        for (std::size_t i = 0; i < kRequired.size(); ++i)
            if (kRequired[i].kind == kind && !filled(r.value(at[i])))
                missing << QString::fromUtf8(kRequired[i].label);
        if (missing.isEmpty()) return;
        Finding f = keyed(r, check);
        f.detail = missing.join(QStringLiteral("、"));
        out << f;
    });
}

// ---------------------------------------------------------------- well formed

struct Formed {
    const char *column;
    const char *label;
    checks::ValueCheck check;
};
// formedRows' columns after the keys.
constexpr std::array<Formed, 6> kFormed{{
    {"FRSFZM", "法人代表身份证号码", checks::ValueCheck::IdCard},
    {"DLRSFZ", "代理人身份证号码", checks::ValueCheck::IdCard},
    {"DCRQ", "调查日期", checks::ValueCheck::Date},
    {"KZRQ", "勘丈日期", checks::ValueCheck::Date},
    {"DCSHRQ", "审核日期", checks::ValueCheck::Date},
    {"QLRYB", "邮政编码", checks::ValueCheck::PostalCode},
}};

// The value checks of one kind over formedRows, one finding per faulty value.
template <checks::ValueCheck Kind> void formed(Reader &reader, int check, Out &out)
{
    reader.rows(q::formedRows, [&](const QSqlQuery &r) {
        for (std::size_t i = 0; i < kFormed.size(); ++i) {
            if (kFormed[i].check != Kind) continue;
            const QString problem = checks::problem(Kind, r.value(int(4 + i)).toString());
            if (problem.isEmpty()) continue;
            // The sentence says what a date or postcode should be; a card's
            // problem says which of its rules it breaks.
            const QString label = QString::fromUtf8(kFormed[i].label);
            const QString value = r.value(int(4 + i)).toString().trimmed();
            Finding f = keyed(r, check);
            f.detail = Kind == checks::ValueCheck::IdCard ? label + QStringLiteral("：") + problem
                       : Kind == checks::ValueCheck::Date ? label + QStringLiteral("“%1”").arg(value)
                                                          : QStringLiteral("“%1”").arg(value);
            out << f;
        }
    });
}

// 调查日期 ≤ 勘丈日期 ≤ 审核日期 among those present and well formed.
void dateOrder(Reader &reader, int check, Out &out)
{
    reader.rows(q::formedRows, [&](const QSqlQuery &r) {
        QString last, lastLabel;
        for (std::size_t i = 2; i <= 4; ++i) {
            const QString v = r.value(int(4 + i)).toString().trimmed();
            if (v.isEmpty() || !checks::problem(checks::ValueCheck::Date, v).isEmpty()) continue;
            if (!last.isEmpty() && v < last) {
                Finding f = keyed(r, check);
                f.detail = QStringLiteral("%1 %2 早于%3 %4")
                               .arg(QString::fromUtf8(kFormed[i].label), v, lastLabel, last);
                out << f;
                return;
            }
            last = v;
            lastLabel = QString::fromUtf8(kFormed[i].label);
        }
    });
}

bool digitsOnly(QStringView s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// The survey table number: the unit code, then digits.
void surveyNumberForm(Reader &reader, int check, Out &out)
{
    reader.rows(q::numberRows, [&](const QSqlQuery &r) {
        const QString dwdm = r.value(0).toString(), dcbh = r.value(2).toString().trimmed();
        if (dcbh.startsWith(dwdm) && digitsOnly(QStringView(dcbh).mid(dwdm.size()))) return;
        Finding f = keyed(r, check);
        f.detail = dcbh.isEmpty() ? QStringLiteral("未填写调查表号")
                                  : QStringLiteral("应为单位代码 %1 后接数字").arg(dwdm);
        out << f;
    });
}

// The parcel number as the unit's numbering makes it: street and block code
// and four digits of sequence (carrying into the block digits past 9999),
// never below the unit's first number.
void parcelNumberForm(Reader &reader, int check, Out &out)
{
    QHash<QString, QString> firstOf;
    reader.rows(q::numberRows, [&](const QSqlQuery &r) {
        const QString dwdm = r.value(0).toString(), zdbh = r.value(1).toString();
        auto it = firstOf.constFind(dwdm);
        if (it == firstOf.constEnd())
            it = firstOf.insert(dwdm,
                                unitcode::isDigitCode(dwdm)
                                    ? numbering::firstParcelNumber(numbering::splitUnitCode(dwdm))
                                    : QString());
        const QString &first = *it;
        if (!first.isEmpty() && zdbh.size() == first.size() && digitsOnly(zdbh) && zdbh >= first)
            return;
        Finding f = keyed(r, check);
        f.detail = zdbh.trimmed().isEmpty()
                       ? QStringLiteral("未填写地籍号")
                       : QStringLiteral("应为%1位数字，本单位第一个地籍号为 %2")
                             .arg(first.size())
                             .arg(first);
        out << f;
    });
}

// ---------------------------------------------------------------- boundary ring

struct Marker {
    QString number;
    int xh;
};
struct Line {
    QString start, end;
};
struct Boundary {
    QList<Marker> markers;
    QList<Line> lines;
};

// Why a parcel's designation lines do not make one closed ring that walks
// its boundary once over every marker, or empty when they do.
QString ringProblem(const Boundary &b)
{
    if (b.lines.isEmpty()) return QStringLiteral("有界址点而没有界址线");
    QHash<QString, int> position; // marker number -> place along the boundary
    QList<Marker> markers = b.markers;
    std::sort(markers.begin(), markers.end(),
              [](const Marker &x, const Marker &y) { return x.xh < y.xh; });
    for (int i = 0; i < markers.size(); ++i)
        position.insert(markers[i].number, i);
    const int n = int(markers.size());
    QHash<QString, QString> next;
    QSet<QString> ends;
    for (const Line &l : b.lines) {
        for (const QString &p : {l.start, l.end})
            if (!position.contains(p)) return QStringLiteral("点 %1 不是本宗地的界址点").arg(p);
        if (next.contains(l.start)) return QStringLiteral("点 %1 是两条界址线的起点").arg(l.start);
        if (ends.contains(l.end)) return QStringLiteral("点 %1 是两条界址线的终点").arg(l.end);
        next.insert(l.start, l.end);
        ends.insert(l.end);
    }
    for (const QString &e : ends)
        if (!next.contains(e)) return QStringLiteral("界址线在点 %1 断开，未闭合").arg(e);
    // Every point is a start once and an end once: the lines make rings.
    // One ring only, and it goes round the boundary once, in either direction.
    QString at = b.lines.first().start;
    int steps = 0, forward = 0, backward = 0;
    do {
        const QString to = next.value(at);
        const int d = (position.value(to) - position.value(at) + n) % n;
        forward += d;
        backward += (n - d) % n;
        at = to;
        ++steps;
    } while (at != b.lines.first().start && steps <= b.lines.size());
    if (steps != b.lines.size()) return QStringLiteral("界址线分成了不止一个环");
    if (steps == 1 ? n != 1 && forward != 0 : forward != n && backward != n)
        return QStringLiteral("界址线没有沿界址点绕宗地一周");
    return {};
}

void ring(Reader &reader, int check, Out &out)
{
    QHash<QString, Boundary> parcels;
    reader.rows(q::currentMarkers, [&](const QSqlQuery &r) {
        parcels[Reader::parcelKey(r.value(1).toString(), r.value(0).toString())].markers.append(
            {r.value(3).toString().trimmed(), r.value(2).toInt()});
    });
    reader.rows(q::currentLines, [&](const QSqlQuery &r) {
        const auto it =
            parcels.find(Reader::parcelKey(r.value(1).toString(), r.value(0).toString()));
        if (it != parcels.end())
            it->lines.append({r.value(2).toString().trimmed(), r.value(3).toString().trimmed()});
    });
    const auto &current = reader.current();
    for (auto p = parcels.cbegin(); p != parcels.cend(); ++p) {
        const QString problem = ringProblem(*p);
        if (problem.isEmpty()) continue;
        const qsizetype cut = p.key().indexOf(QChar(0x1f));
        for (const Reader::Key &k : current.value(p.key()))
            out << Finding{.dwdm = p.key().left(cut),
                           .zdbh = p.key().mid(cut + 1),
                           .dcbh = k.dcbh,
                           .kind = k.kind,
                           .check = check,
                           .detail = problem};
    }
}

// ---------------------------------------------------------------- the table

const QString kQsxzCodes = q::notInCodes("QSXZ", "S_QSXZ", "qsxzmc");
const QString kDwxzCodes = q::notInCodes("DWXZ", "S_DWXZDM", "dwxzmc");
const QString kCoUserDwxzCodes = q::attachedNotInCodes("T_GYQ", "TDSYZXZ", "S_DWXZDM", "dwxzmc");
const QString kPzytdmCodes = q::notInCodes("PZYTDM", "S_DLDM", "DLDM");
const QString kTdytdmCodes = q::notInCodes("TDYTDM", "S_DLDM", "DLDM");
const QString kPzytCodes = q::notInCodes("PZYT", "S_DLDM", "DLMC");
const QString kTdytCodes = q::notInCodes("TDYT", "S_DLDM", "DLMC");
const QString kCoUserTdytCodes = q::attachedNotInCodes("T_GYQ", "TDYT", "S_DLDM", "DLMC");
const QString kJblxCodes = q::attachedNotInCodes("T_JZBSB", "JBLX", "S_JBLX", "JBLXMC");
const QString kJxlbCodes = q::attachedNotInCodes("T_JZBSB", "JZXLB", "S_JXLB", "JXLBMC");
const QString kJxwzCodes = q::attachedNotInCodes("T_JZBSB", "JZXWZ", "S_JXWZDM", "JXWZ");
const QString kMarkersAlone = q::attachedAlone("T_JZBSB");
const QString kLinesAlone = q::attachedAlone("T_ZJB");
const QString kSidesAlone = q::attachedAlone("T_SZB");
const QString kCoUsersAlone = q::attachedAlone("T_GYQ");

using S = Severity;

const std::vector<CheckDef> &table()
{
    static const std::vector<CheckDef> defs = {
        {{"WZ01", "调查表必填项未填写（空白或仍为默认值“000”）", S::Error}, {}, &complete},
        {{"GS01", "身份证号码不符合规则", S::Error}, {}, &formed<checks::ValueCheck::IdCard>},
        {{"GS02", "日期不是实际日期（应为8位数字，年月日相连）", S::Error},
         {},
         &formed<checks::ValueCheck::Date>},
        {{"GS03", "邮政编码不是6位数字", S::Warning}, {}, &formed<checks::ValueCheck::PostalCode>},
        {{"GS04", "日期先后不符：应为调查日期≤勘丈日期≤审核日期", S::Error}, {}, &dateOrder},
        {{"GS05", "调查表号不是本单位代码后接数字", S::Error}, {}, &surveyNumberForm},
        {{"GS06", "地籍号不是本单位编号规则编出的号码", S::Warning}, {}, &parcelNumberForm},
        {{"BH01", "本单位有两张以上现势调查表使用同一地籍号", S::Error},
         {{&q::sharedParcelNumber, ""}}},
        {{"BH02", "本单位有两张以上调查表使用同一调查表号", S::Error},
         {{&q::sharedSurveyNumber, ""}}},
        {{"JZ01", "界址点个数与界址标示表中的界址点数不符", S::Error},
         {{&q::markerCountMismatch, "表上填%1个，界址标示表有%2个"}}},
        {{"JZ02", "界址点序号不是从1起连续编排（有缺号、重号或空号）", S::Error},
         {{&q::markerNumbering, ""}}},
        {{"JZ03", "界址线的起止点未围成经过全部界址点的一个闭合环", S::Error}, {}, &ring},
        {{"JZ04", "宗地四至不是东、南、西、北各一条", S::Warning}, {{&q::fourSides, ""}}},
        {{"GY01", "共有使用权人数与共有使用权表中的人数不符", S::Error},
         {{&q::coUserCountMismatch, "表上填%1人，共有使用权表有%2人"}}},
        {{"DM01", "权属性质不在代码表中", S::Warning}, {{&kQsxzCodes, "“%1”"}}},
        {{"DM02", "土地使用者性质不在代码表中", S::Warning},
         {{&kDwxzCodes, "“%1”"}, {&kCoUserDwxzCodes, "共有使用权人“%1”"}}},
        {{"DM03", "土地用途代码或名称不在代码表中", S::Warning},
         {{&kPzytdmCodes, "批准用途代码“%1”"},
          {&kTdytdmCodes, "实际用途代码“%1”"},
          {&kPzytCodes, "批准用途“%1”"},
          {&kTdytCodes, "实际用途“%1”"},
          {&kCoUserTdytCodes, "共有使用权人用途“%1”"}}},
        {{"DM04", "界标类别、界址线类别或界址线位置不在代码表中", S::Warning},
         {{&kJblxCodes, "界标类别“%1”"},
          {&kJxlbCodes, "界址线类别“%1”"},
          {&kJxwzCodes, "界址线位置“%1”"}}},
        {{"BB01", "已变更的旧版调查表没有同一宗地的现势调查表", S::Error},
         {{&q::supersededAlone, ""}}},
        {{"BB02", "附表中有记录所属的调查表不存在", S::Error},
         {{&kMarkersAlone, "界址标示表（变更日期%1）"},
          {&kLinesAlone, "指界情况表（变更日期%1）"},
          {&kSidesAlone, "宗地四至（变更日期%1）"},
          {&kCoUsersAlone, "共有使用权表（变更日期%1）"}}},
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
