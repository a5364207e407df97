#include "schema/quality_reader.h"

#include "schema/quality_statements.h"
#include "schema/unit_code.h"

#include <QSqlRecord>

namespace zarn::quality::internal {

namespace q = sql::quality;

namespace {

int kindOf(const QVariant &v)
{
    return v.isNull() ? -1 : v.toInt();
}

} // namespace

QStringView sqlTrimmed(QStringView v)
{
    while (!v.isEmpty() && v.front() == QLatin1Char(' '))
        v = v.sliced(1);
    while (!v.isEmpty() && v.back() == QLatin1Char(' '))
        v.chop(1);
    return v;
}

Reader::Reader(Connection &c, const QString &dwdm)
    : m_connection(c)
    , m_unit(unitcode::unitListParams(dwdm))
{
}

const QList<Row> &Reader::table(const QString &sql)
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

const QList<Row> &Reader::current()
{
    return table(q::currentValues);
}

const QSet<QString> &Reader::codes(const char *name)
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

QList<const Row *> Reader::currentOf(const QString &dwdm, const QString &zdbh)
{
    if (!m_currentIndexed) {
        for (const Row &r : current())
            m_currentIndex[r.dwdm].insert(r.zdbh, &r);
        m_currentIndexed = true;
    }
    return m_currentIndex.value(dwdm).values(zdbh);
}

std::vector<Boundary> &Reader::boundaries()
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

const Boundary *Reader::boundaryOf(const QString &dwdm, const QString &zdbh)
{
    boundaries();
    const auto unit = m_parcelIndex.constFind(dwdm);
    if (unit == m_parcelIndex.constEnd()) return nullptr;
    const auto it = unit->constFind(zdbh);
    return it == unit->constEnd() ? nullptr : &m_boundaries[*it];
}

// The parcel of a row whose first columns are ZDBH and dwdm. A parcel's
// rows mostly come one after another, so the last one is tried first.
Boundary &Reader::parcel(const QSqlQuery &r, std::size_t &last)
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

Finding keyed(const QSqlQuery &r, int check)
{
    return {.dwdm = r.value(0).toString(),
            .zdbh = r.value(1).toString(),
            .dcbh = r.value(2).toString(),
            .kind = kindOf(r.value(3)),
            .check = check,
            .detail = {}};
}

Finding keyed(const Row &r, int check, const QString &detail)
{
    return {.dwdm = r.dwdm,
            .zdbh = r.zdbh,
            .dcbh = r.dcbh,
            .kind = r.kind,
            .check = check,
            .detail = detail};
}

} // namespace zarn::quality::internal
