#include "data/key_feed.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace zarn {

namespace {

// Keys held in pages side by side: a district's parts together stay within
// about this many rows, and one part's pages grow to it.
constexpr int kRowsInPages = 65536;
constexpr int kLargestPage = 8192;

int compareIds(const QVariant &a, const QVariant &b)
{
    bool okA = false, okB = false;
    const qint64 x = a.toLongLong(&okA);
    const qint64 y = b.toLongLong(&okB);
    if (okA && okB) return x < y ? -1 : x > y ? 1 : 0;
    return a.toString().compare(b.toString());
}

} // namespace

KeyFeed::KeyFeed(Connection *connection, Shape shape, std::vector<QVariantList> parts,
                 int firstPage, QVariant from)
    : m_connection(connection)
    , m_shape(std::move(shape))
    , m_page(std::clamp(kRowsInPages / std::max<int>(1, int(parts.size())), 64, kLargestPage))
    , m_firstPage(std::max(1, firstPage))
{
    m_parts.reserve(parts.size());
    for (QVariantList &values : parts) {
        Part p;
        p.values = std::move(values);
        if (!Dataset::isNullValue(from)) {
            p.phase = Phase::OrderedFrom;
            p.lastOrder = from;
        }
        m_parts.push_back(std::move(p));
    }
}

KeyFeed::~KeyFeed() = default;

qint64 KeyFeed::countBefore(const QVariant &value, const std::vector<qint64> *ordered)
{
    const QString &o = m_shape.orderColumn;
    const QString before =
        QStringLiteral("select count(*)") + m_shape.from + QStringLiteral(" and %1 < ?").arg(o);
    // A unit's ends, both in one statement, each an index probe of its own
    // (a single select of both would scan the unit on SQLite).
    const QString ends = QStringLiteral("select (select max(%1)").arg(o) + m_shape.from +
                         QStringLiteral("), (select min(%1)").arg(o) + m_shape.from +
                         QStringLiteral(")");
    // Every unit's ends together, then the counts of the units the value
    // falls inside together: two round trips on a server, however many units.
    std::vector<Statement> asked;
    for (size_t i = 0; i < m_parts.size() && ordered && i < ordered->size(); ++i)
        asked.push_back({ends, QVariantList(m_parts[i].values) << m_parts[i].values});
    std::vector<QSqlQuery> answers = asked.empty()
                                         ? std::vector<QSqlQuery>()
                                         : m_connection->execAll(Access::Read, asked, m_repeatable);
    qint64 n = 0;
    std::vector<Statement> counts;
    for (size_t i = 0; i < m_parts.size(); ++i) {
        if (i < answers.size()) {
            // Two index probes instead of counting a unit wholly on one side.
            QSqlQuery &q = answers[i];
            const bool found = q.next();
            const QVariant highest = found && !q.isNull(0) ? q.value(0) : QVariant();
            const QVariant lowest = found && !q.isNull(1) ? q.value(1) : QVariant();
            if (Dataset::isNullValue(highest)) continue;
            if (compareOrder(highest, value) < 0) {
                n += (*ordered)[i];
                continue;
            }
            if (compareOrder(lowest, value) >= 0) continue;
        }
        counts.push_back({before, QVariantList(m_parts[i].values) << value});
    }
    answers.clear();
    if (counts.empty()) return n;
    for (QSqlQuery &q : m_connection->execAll(Access::Read, counts, m_repeatable))
        if (q.next() && !q.isNull(0)) n += q.value(0).toLongLong();
    return n;
}

int KeyFeed::compareOrder(const QVariant &a, const QVariant &b)
{
    const bool na = Dataset::isNullValue(a), nb = Dataset::isNullValue(b);
    if (na || nb) return na == nb ? 0 : na ? 1 : -1; // nulls last
    if (a.metaType().id() == QMetaType::QString || b.metaType().id() == QMetaType::QString)
        return a.toString().compare(b.toString());
    const QPartialOrdering o = QVariant::compare(a, b);
    return o == QPartialOrdering::Less ? -1 : o == QPartialOrdering::Greater ? 1 : 0;
}

qint64 KeyFeed::count(std::vector<qint64> *ordered)
{
    qint64 n = 0;
    const QString sql =
        QStringLiteral("select count(*), count(%1)").arg(m_shape.orderColumn) + m_shape.from;
    if (ordered) ordered->clear();
    // Every unit's count in one round trip on a server.
    std::vector<Statement> asked;
    for (const Part &p : m_parts)
        asked.push_back({sql, p.values});
    for (QSqlQuery &q : m_connection->execAll(Access::Read, asked, m_repeatable)) {
        const bool row = q.next();
        n += row ? q.value(0).toLongLong() : 0;
        if (ordered) ordered->push_back(row ? q.value(1).toLongLong() : 0);
    }
    return n;
}

Statement KeyFeed::pageStatement(const Part &part, int *rows) const
{
    const QString &o = m_shape.orderColumn;
    const QString &id = m_shape.idColumn;
    QString sql = m_shape.select;
    QVariantList values = part.values;
    // Each read page a little longer than the last, up to the longest:
    // few statements for a long part, a short first wait for any.
    *rows =
        int(std::min<qint64>(m_page, std::max<qint64>(m_firstPage, qint64(part.rows.size()) * 2)));
    switch (part.phase) {
    case Phase::Ordered:
        sql += QStringLiteral(" and %1 is not null order by %1, %2").arg(o, id);
        break;
    case Phase::OrderedFrom:
        sql += QStringLiteral(" and %1 >= ? order by %1, %2").arg(o, id);
        values << part.lastOrder;
        break;
    case Phase::OrderedAfter:
        // ">=" first, so that an index on the column finds where to start.
        sql += QStringLiteral(" and %1 >= ? and (%1 > ? or %2 > ?) order by %1, %2").arg(o, id);
        values << part.lastOrder << part.lastOrder << part.lastId;
        break;
    case Phase::Nulls:
        sql += QStringLiteral(" and %1 is null order by %2").arg(o, id);
        break;
    case Phase::NullsAfter:
        sql += QStringLiteral(" and %1 is null and %2 > ? order by %2").arg(o, id);
        values << part.lastId;
        break;
    case Phase::Done:
        break;
    }
    sql += m_shape.fetchFirst ? QStringLiteral(" fetch first ? rows only")
                              : QStringLiteral(" limit ?");
    values << *rows;
    return {sql, values};
}

void KeyFeed::takePage(Part &part, QSqlQuery &q, int rows)
{
    QList<QVariantList> page;
    page.reserve(rows);
    const int width = q.record().count();
    while (q.next()) {
        QVariantList row;
        row.reserve(width);
        for (int i = 0; i < width; ++i)
            row.append(q.isNull(i) ? QVariant() : q.value(i));
        page.append(std::move(row));
    }
    const bool failed = q.lastError().isValid();
    const DatabaseError error = failed ? m_connection->error(q.lastError()) : DatabaseError({});
    q.finish();
    if (failed) throw error;

    const bool ordered = part.phase == Phase::Ordered || part.phase == Phase::OrderedFrom ||
                         part.phase == Phase::OrderedAfter;
    if (!page.isEmpty()) {
        part.lastOrder = page.last().value(m_shape.orderKey);
        part.lastId = page.last().value(m_shape.idKey);
    }
    if (page.size() < rows)
        part.phase = ordered ? Phase::Nulls : Phase::Done;
    else
        part.phase = ordered ? Phase::OrderedAfter : Phase::NullsAfter;
    // The next page's length follows this one's.
    part.rows = std::move(page);
    part.at = 0;
}

bool KeyFeed::fill(Part &part)
{
    while (part.at >= part.rows.size()) {
        if (part.phase == Phase::Done) {
            part.rows = QList<QVariantList>();
            part.at = 0;
            return false;
        }
        int rows = 0;
        const Statement page = pageStatement(part, &rows);
        QSqlQuery q = m_connection->exec(Access::Read, page.sql, page.params, m_repeatable);
        takePage(part, q, rows);
    }
    return true;
}

void KeyFeed::fillPending()
{
    std::vector<int> waiting, rows;
    std::vector<Statement> asked;
    for (const int i : m_pending) {
        const Part &p = m_parts[size_t(i)];
        if (p.at < p.rows.size() || p.phase == Phase::Done) continue;
        int n = 0;
        asked.push_back(pageStatement(p, &n));
        waiting.push_back(i);
        rows.push_back(n);
    }
    // One alone is read as it comes; several go together, one round trip on
    // a server. A page that cannot be read throws before any is taken.
    if (asked.size() < 2) return;
    std::vector<QSqlQuery> answers = m_connection->execAll(Access::Read, asked, m_repeatable);
    for (size_t k = 0; k < answers.size(); ++k)
        takePage(m_parts[size_t(waiting[k])], answers[k], rows[k]);
}

bool KeyFeed::before(int a, int b) const
{
    const Part &pa = m_parts[size_t(a)];
    const Part &pb = m_parts[size_t(b)];
    const QVariantList &x = pa.rows[pa.at];
    const QVariantList &y = pb.rows[pb.at];
    if (const int c = compareOrder(x[m_shape.orderKey], y[m_shape.orderKey]); c != 0) return c < 0;
    const int c = compareIds(x[m_shape.idKey], y[m_shape.idKey]);
    return c != 0 ? c < 0 : a < b;
}

bool KeyFeed::next(QVariantList &row)
{
    if (!m_started) {
        // Every part's first page before the first row: the merge needs each head.
        for (int i = int(m_parts.size()) - 1; i >= 0; --i)
            m_pending.push_back(i);
        m_started = true;
    }
    const auto after = [this](int a, int b) { return before(b, a); };
    // A part whose page is used up reads its next one here, before any row
    // is handed out: a page that cannot be read leaves every row in place.
    fillPending();
    while (!m_pending.empty()) {
        const int i = m_pending.back();
        if (fill(m_parts[size_t(i)])) {
            m_heap.push_back(i);
            std::push_heap(m_heap.begin(), m_heap.end(), after);
        }
        m_pending.pop_back();
    }
    if (m_heap.empty()) return false;
    if (m_bound.isValid()) {
        // The keys from the bound on are another feed's.
        const Part &head = m_parts[size_t(m_heap.front())];
        if (compareOrder(head.rows[head.at][m_shape.orderKey], m_bound) >= 0) {
            m_heap.clear();
            return false;
        }
    }
    std::pop_heap(m_heap.begin(), m_heap.end(), after);
    const int top = m_heap.back();
    m_heap.pop_back();
    Part &part = m_parts[size_t(top)];
    row = part.rows[part.at++];
    if (part.at < part.rows.size()) {
        m_heap.push_back(top);
        std::push_heap(m_heap.begin(), m_heap.end(), after);
    } else {
        m_pending.push_back(top);
    }
    return true;
}

} // namespace zarn
