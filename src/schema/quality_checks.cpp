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

// A statement's row as text: the survey row's keys, then its other values.
struct Row {
    QString dwdm, zdbh, dcbh;
    int kind;
    QStringList values;
};

struct Marker {
    QString number; // JZDTBH, trimmed
    int xh;         // -1 when blank
};
struct Line {
    QString start, end;
};
// A parcel's current markers and designation lines, and what its markers
// hold that no code table has.
struct Boundary {
    QString dwdm, zdbh;
    std::vector<Marker> markers;
    std::vector<Line> lines;
    int counted = 0; // markers with a number, as count(XH) counts them
    QStringList badCodes;
};

int kindOf(const QVariant &v)
{
    return v.isNull() ? -1 : v.toInt();
}

// A value trimmed as the databases' trim() does it: spaces only.
QStringView sqlTrimmed(QStringView v)
{
    while (!v.isEmpty() && v.front() == QLatin1Char(' '))
        v = v.sliced(1);
    while (!v.isEmpty() && v.back() == QLatin1Char(' '))
        v.chop(1);
    return v;
}

// The code tables the program looks values up in, by the name codeEntries
// gives them. The marker tables are trimmed as the program trims a marker's
// values, the others as the databases trim.
constexpr std::array<std::pair<const char *, bool>, 7> kCodeTables{{{"JBLX", false},
                                                                    {"JZXLB", false},
                                                                    {"JZXWZ", false},
                                                                    {"QSXZ", true},
                                                                    {"DWXZ", true},
                                                                    {"DLDM", true},
                                                                    {"DLMC", true}}};

// The unit's statements. A statement several checks read is run once per
// run and its rows kept for them.
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
        QSqlQuery query = m_connection.exec(Access::Read, sql, params, /*repeatable=*/true);
        while (query.next())
            f(query);
        query.finish();
    }

    // A statement whose rows begin with the four keys, read once.
    const QList<Row> &table(const QString &sql)
    {
        auto it = m_tables.find(sql);
        if (it != m_tables.end()) return *it;
        QList<Row> out;
        int n = -1;
        rows(sql, [&](const QSqlQuery &r) {
            Row row{r.value(0).toString(),
                    r.value(1).toString(),
                    r.value(2).toString(),
                    kindOf(r.value(3)),
                    {}};
            if (n < 0) n = r.record().count();
            row.values.reserve(n - 4);
            for (int i = 4; i < n; ++i)
                row.values << r.value(i).toString();
            out << std::move(row);
        });
        return *m_tables.insert(sql, std::move(out));
    }

    // The current survey rows (with JZDGS as their first value).
    const QList<Row> &current() { return table(q::currentValues); }

    // The trimmed entries of a code table of kCodeTables.
    const QSet<QString> &codes(const char *name)
    {
        if (!m_codesRead) {
            // Every table has its set before any is handed out: a set
            // made later could move the others.
            for (const auto &[known, sqlTrim] : kCodeTables)
                m_codes.insert(QLatin1String(known), {});
            rows(q::codeEntries, [&](const QSqlQuery &r) {
                const QString table = r.value(0).toString();
                const QString entry = r.value(1).toString();
                for (const auto &[known, sqlTrim] : kCodeTables)
                    if (table == QLatin1String(known))
                        m_codes[table].insert(sqlTrim ? sqlTrimmed(entry).toString()
                                                      : entry.trimmed());
            });
            m_codesRead = true;
        }
        return *m_codes.constFind(QLatin1String(name));
    }

    // The current survey rows of a parcel.
    QList<const Row *> currentOf(const QString &dwdm, const QString &zdbh)
    {
        if (!m_currentIndexed) {
            for (const Row &r : current())
                m_currentIndex[r.dwdm].insert(r.zdbh, &r);
            m_currentIndexed = true;
        }
        return m_currentIndex.value(dwdm).values(zdbh);
    }

    // The current markers and lines of every parcel of the unit, read once.
    std::vector<Boundary> &boundaries()
    {
        if (m_boundariesRead) return m_boundaries;
        std::size_t last = kNone;
        rows(q::currentMarkers, [&](const QSqlQuery &r) {
            Boundary &b = parcel(r, last);
            const QVariant xh = r.value(2);
            const bool numbered = !xh.isNull();
            b.markers.push_back({r.value(3).toString().trimmed(), numbered ? xh.toInt() : -1});
            if (numbered) ++b.counted;
        });
        last = kNone;
        rows(q::currentLines, [&](const QSqlQuery &r) {
            parcel(r, last).lines.push_back(
                {r.value(2).toString().trimmed(), r.value(3).toString().trimmed()});
        });
        // The few markers with a value that is not literally a code.
        static const std::array<std::pair<const char *, const char *>, 3> codeColumns{
            {{"JBLX", "界标类别"}, {"JZXLB", "界址线类别"}, {"JZXWZ", "界址线位置"}}};
        std::array<const QSet<QString> *, 3> sets{};
        for (std::size_t i = 0; i < 3; ++i)
            sets[i] = &codes(codeColumns[i].first);
        last = kNone;
        rows(q::markerCodeSuspects, [&](const QSqlQuery &r) {
            Boundary &b = parcel(r, last);
            for (std::size_t i = 0; i < 3; ++i) {
                const QString v = r.value(int(2 + i)).toString().trimmed();
                if (!v.isEmpty() && v != QLatin1String("000") && !sets[i]->contains(v))
                    b.badCodes << QStringLiteral("%1“%2”").arg(
                        QString::fromUtf8(codeColumns[i].second), v);
            }
        });
        m_boundariesRead = true;
        return m_boundaries;
    }

    // A parcel's markers and lines, or null when it has none.
    const Boundary *boundaryOf(const QString &dwdm, const QString &zdbh)
    {
        boundaries();
        const auto unit = m_parcelIndex.constFind(dwdm);
        if (unit == m_parcelIndex.constEnd()) return nullptr;
        const auto it = unit->constFind(zdbh);
        return it == unit->constEnd() ? nullptr : &m_boundaries[*it];
    }

private:
    static constexpr std::size_t kNone = std::size_t(-1);

    // The parcel of a row whose first columns are ZDBH and dwdm. A parcel's
    // rows mostly come one after another, so the last one is tried first.
    Boundary &parcel(const QSqlQuery &r, std::size_t &last)
    {
        const QString zdbh = r.value(0).toString();
        const QString dwdm = r.value(1).toString();
        if (last != kNone && m_boundaries[last].zdbh == zdbh && m_boundaries[last].dwdm == dwdm)
            return m_boundaries[last];
        QHash<QString, std::size_t> &ofUnit = m_parcelIndex[dwdm];
        auto it = ofUnit.constFind(zdbh);
        if (it == ofUnit.constEnd()) {
            it = ofUnit.insert(zdbh, m_boundaries.size());
            m_boundaries.push_back({dwdm, zdbh, {}, {}, 0, {}});
        }
        last = *it;
        return m_boundaries[last];
    }

    Connection &m_connection;
    QVariantList m_unit;
    QHash<QString, QList<Row>> m_tables;
    QHash<QString, QMultiHash<QString, const Row *>> m_currentIndex;
    bool m_currentIndexed = false;
    std::vector<Boundary> m_boundaries;
    QHash<QString, QHash<QString, std::size_t>> m_parcelIndex;
    bool m_boundariesRead = false;
    QHash<QString, QSet<QString>> m_codes;
    bool m_codesRead = false;
};

using Out = QList<Finding>;

Finding keyed(const QSqlQuery &r, int check)
{
    return {.dwdm = r.value(0).toString(),
            .zdbh = r.value(1).toString(),
            .dcbh = r.value(2).toString(),
            .kind = kindOf(r.value(3)),
            .check = check,
            .detail = {}};
}

Finding keyed(const Row &r, int check, const QString &detail = {})
{
    return {.dwdm = r.dwdm,
            .zdbh = r.zdbh,
            .dcbh = r.dcbh,
            .kind = r.kind,
            .check = check,
            .detail = detail};
}

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

using Evaluator = void (*)(Reader &, int check, Out &);

struct CheckDef {
    CheckInfo info;
    std::vector<Listed> listed;
    Evaluator evaluate = nullptr;
    std::vector<const QString *> reads = {}; // the statements the evaluator runs
    std::vector<Flagged> flagged = {};
    std::vector<Coded> coded = {};
};

// ---------------------------------------------------------------- complete

// The columns a handed-in table must carry, per kind of table (dcblx; a row
// of no kind is a use-right table, as the forms print it), by their place
// among currentValues' values.
struct Required {
    int kind;
    int value;
    const char *label;
};
constexpr std::array<Required, 9> kRequired{{
    {0, 1, "权利人"},
    {0, 2, "土地坐落"},
    {0, 3, "权属性质"},
    {0, 4, "用途"},
    {0, 5, "调查员"},
    {0, 6, "调查日期"},
    {1, 7, "土地所有者名称"},
    {1, 8, "权属调查员"},
    {1, 6, "调查日期"},
}};

bool filled(const QString &v)
{
    const QString t = v.trimmed();
    return !t.isEmpty() && t != QLatin1String("000");
}

void complete(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.table(q::currentValues)) {
        const int kind = r.kind == 1 ? 1 : 0;
        QStringList missing;
        for (const Required &req : kRequired)
            if (req.kind == kind && !filled(r.values[req.value]))
                missing << QString::fromUtf8(req.label);
        if (!missing.isEmpty()) out << keyed(r, check, missing.join(QStringLiteral("、")));
    }
}

// ---------------------------------------------------------------- well formed

struct Formed {
    int value; // among currentValues' values
    const char *label;
    checks::ValueCheck check;
};
// The dates in the order they are made: survey, measuring, review.
constexpr std::array<Formed, 6> kFormed{{
    {9, "法人代表身份证号码", checks::ValueCheck::IdCard},
    {10, "代理人身份证号码", checks::ValueCheck::IdCard},
    {6, "调查日期", checks::ValueCheck::Date},
    {11, "勘丈日期", checks::ValueCheck::Date},
    {12, "审核日期", checks::ValueCheck::Date},
    {13, "邮政编码", checks::ValueCheck::PostalCode},
}};

// The value checks of one kind over the current rows, one finding per faulty value.
template <checks::ValueCheck Kind> void formed(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.table(q::currentValues))
        for (std::size_t i = 0; i < kFormed.size(); ++i) {
            if (kFormed[i].check != Kind) continue;
            const QString &raw = r.values[kFormed[i].value];
            if (raw.isEmpty()) continue;
            const QString problem = checks::problem(Kind, raw);
            if (problem.isEmpty()) continue;
            // The sentence says what a date or postcode should be; a card's
            // problem says which of its rules it breaks.
            const QString label = QString::fromUtf8(kFormed[i].label);
            const QString value = raw.trimmed();
            out << keyed(r, check,
                         Kind == checks::ValueCheck::IdCard ? label + QStringLiteral("：") + problem
                         : Kind == checks::ValueCheck::Date
                             ? label + QStringLiteral("“%1”").arg(value)
                             : QStringLiteral("“%1”").arg(value));
        }
}

// 调查日期 ≤ 勘丈日期 ≤ 审核日期 among those present and well formed.
void dateOrder(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.table(q::currentValues)) {
        QString last, lastLabel;
        for (std::size_t i = 2; i <= 4; ++i) {
            const QString v = r.values[kFormed[i].value].trimmed();
            if (v.isEmpty() || !checks::problem(checks::ValueCheck::Date, v).isEmpty()) continue;
            const QString label = QString::fromUtf8(kFormed[i].label);
            if (!last.isEmpty() && v < last) {
                out << keyed(r, check,
                             QStringLiteral("%1 %2 早于%3 %4").arg(label, v, lastLabel, last));
                break;
            }
            last = v;
            lastLabel = label;
        }
    }
}

bool digitsOnly(QStringView s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// The survey table number as the unit's numbering makes it: the unit code
// and four digits of sequence, the sequence carrying into the code's last
// digits past 9999 (the forms number a big unit so), never below the
// unit's first number.
void surveyNumberForm(Reader &reader, int check, Out &out)
{
    QHash<QString, QString> firstOf;
    for (const Row &r : reader.table(q::numberRows)) {
        auto it = firstOf.constFind(r.dwdm);
        if (it == firstOf.constEnd())
            it = firstOf.insert(r.dwdm,
                                unitcode::isDigitCode(r.dwdm)
                                    ? numbering::firstSurveyNumber(numbering::splitUnitCode(r.dwdm))
                                    : QString());
        const QString &first = *it;
        const QString dcbh = r.dcbh.trimmed();
        if (!first.isEmpty() && dcbh.size() == first.size() && digitsOnly(dcbh) && dcbh >= first)
            continue;
        out << keyed(
            r, check,
            dcbh.isEmpty()
                ? QStringLiteral("未填写调查表号")
                : QStringLiteral("应为单位代码 %1 后接4位顺序号，本单位第一个调查表号为 %2")
                      .arg(r.dwdm, first));
    }
}

// The parcel number as the unit's numbering makes it: street and block code
// and four digits of sequence (carrying into the block digits past 9999),
// never below the unit's first number.
void parcelNumberForm(Reader &reader, int check, Out &out)
{
    QHash<QString, QString> firstOf;
    for (const Row &r : reader.table(q::numberRows)) {
        auto it = firstOf.constFind(r.dwdm);
        if (it == firstOf.constEnd())
            it = firstOf.insert(r.dwdm,
                                unitcode::isDigitCode(r.dwdm)
                                    ? numbering::firstParcelNumber(numbering::splitUnitCode(r.dwdm))
                                    : QString());
        const QString &first = *it;
        if (!first.isEmpty() && r.zdbh.size() == first.size() && digitsOnly(r.zdbh) &&
            r.zdbh >= first)
            continue;
        out << keyed(r, check,
                     r.zdbh.trimmed().isEmpty()
                         ? QStringLiteral("未填写地籍号")
                         : QStringLiteral("应为%1位数字，本单位第一个地籍号为 %2")
                               .arg(first.size())
                               .arg(first));
    }
}

// ---------------------------------------------------------------- boundary

// A finding on every current survey row of a parcel.
void onParcel(Reader &reader, const QString &dwdm, const QString &zdbh, int check,
              const QString &detail, Out &out)
{
    for (const Row *r : reader.currentOf(dwdm, zdbh))
        out << keyed(*r, check, detail);
}

// JZDGS against the current markers, counted as the forms count them.
void markerCount(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.current()) {
        const int stated = r.values[0].toInt();
        const Boundary *b = reader.boundaryOf(r.dwdm, r.zdbh);
        const int found = b ? b->counted : 0;
        if (stated != found)
            out << keyed(r, check,
                         QStringLiteral("表上填%1个，界址标示表有%2个").arg(stated).arg(found));
    }
}

// Markers numbered 1..n, without a blank, a gap or a repeat.
void markerNumbering(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries()) {
        std::vector<int> xh;
        xh.reserve(b.markers.size());
        for (const Marker &m : b.markers)
            xh.push_back(m.xh);
        std::sort(xh.begin(), xh.end());
        bool right = true;
        for (std::size_t i = 0; i < xh.size() && right; ++i)
            right = xh[i] == int(i) + 1;
        if (!right) onParcel(reader, b.dwdm, b.zdbh, check, {}, out);
    }
}

// Why a parcel's designation lines do not make one closed ring that walks
// its boundary once over every marker, or empty when they do. Parcels have a
// dozen points or so: plain searches beat hashing.
QString ringProblem(const Boundary &b)
{
    if (b.lines.empty()) return QStringLiteral("有界址点而没有界址线");
    std::vector<Marker> markers = b.markers;
    std::sort(markers.begin(), markers.end(),
              [](const Marker &x, const Marker &y) { return x.xh < y.xh; });
    const int n = int(markers.size());
    auto place = [&](const QString &p) {
        for (int i = 0; i < n; ++i)
            if (markers[std::size_t(i)].number == p) return i;
        return -1;
    };
    const std::size_t k = b.lines.size();
    std::vector<int> from(k), to(k);
    for (std::size_t i = 0; i < k; ++i) {
        from[i] = place(b.lines[i].start);
        to[i] = place(b.lines[i].end);
        if (from[i] < 0) return QStringLiteral("点 %1 不是本宗地的界址点").arg(b.lines[i].start);
        if (to[i] < 0) return QStringLiteral("点 %1 不是本宗地的界址点").arg(b.lines[i].end);
        for (std::size_t j = 0; j < i; ++j) {
            if (from[j] == from[i])
                return QStringLiteral("点 %1 是两条界址线的起点").arg(b.lines[i].start);
            if (to[j] == to[i])
                return QStringLiteral("点 %1 是两条界址线的终点").arg(b.lines[i].end);
        }
    }
    // Each line's end must start another line: then the lines make rings.
    std::vector<std::size_t> next(k, k);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = 0; j < k; ++j)
            if (from[j] == to[i]) next[i] = j;
        if (next[i] == k) return QStringLiteral("界址线在点 %1 断开，未闭合").arg(b.lines[i].end);
    }
    // One ring only, and it goes round the boundary once, in either direction.
    std::size_t at = 0, steps = 0;
    int forward = 0, backward = 0;
    do {
        const int d = (to[at] - from[at] + n) % n;
        forward += d;
        backward += (n - d) % n;
        at = next[at];
        ++steps;
    } while (at != 0 && steps <= k);
    if (steps != k) return QStringLiteral("界址线分成了不止一个环");
    if (k > 1 && forward != n && backward != n)
        return QStringLiteral("界址线没有沿界址点绕宗地一周");
    return {};
}

void ring(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries()) {
        if (b.markers.empty()) continue;
        const QString problem = ringProblem(b);
        if (!problem.isEmpty()) onParcel(reader, b.dwdm, b.zdbh, check, problem, out);
    }
}

void markerCodes(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries())
        for (const QString &bad : b.badCodes)
            onParcel(reader, b.dwdm, b.zdbh, check, bad, out);
}

// Current markers and lines of a parcel without a current survey table, as
// the superseded ones' statements say them.
void boundaryAlone(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries()) {
        if (!reader.currentOf(b.dwdm, b.zdbh).isEmpty()) continue;
        const auto alone = [&](const char *table) {
            out << Finding{.dwdm = b.dwdm,
                           .zdbh = b.zdbh,
                           .dcbh = {},
                           .kind = -1,
                           .check = check,
                           .detail = QString::fromUtf8(table) + QStringLiteral("（变更日期空）")};
        };
        if (!b.markers.empty()) alone("界址标示表");
        if (!b.lines.empty()) alone("指界情况表");
    }
}

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
