// The keys of a unit's rows arriving behind its first page (RowStore).
#include "data/row_store.h"

#include "data/connection.h"
#include "data/errors.h"
#include "data/key_feed.h"
#include "data/sql_names.h"

#include <QSqlQuery>

#include <algorithm>

namespace zarn {

namespace {

// More units than this are read as one sorted result: a part costs a few
// statements before the first row, which hundreds of units would feel.
constexpr int kMostParts = 256;

} // namespace

bool RowStore::startFeed(const DeclaredQuery &query, const QVariantList &params,
                         const std::vector<FieldDef> &fields, const QStringList &columns)
{
    if (query.exactFilter.isEmpty() || query.exactProbe.isEmpty() || query.order.size() != 1 ||
        query.order.first().descending || !query.order.first().nullsLast ||
        !isIntegerType(fields[size_t(m_idColumn)].type) || params.isEmpty())
        return false;
    int orderColumn = -1;
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(query.order.first().column, Qt::CaseInsensitive) == 0)
            orderColumn = int(i);
    if (orderColumn < 0) return false;

    // The units whose rows the filter picks, walked up the index one probe
    // each: the range's lower end, then the lowest unit above the last found.
    auto partValues = [&](const QVariant &unit) {
        QVariantList all = params;
        all[0] = unit;
        QVariantList values;
        for (int i : query.exactValues)
            values << all.value(i);
        return values;
    };
    std::vector<QVariantList> parts{partValues(params[0])};
    QVariantList probe = params;
    for (;;) {
        QSqlQuery q = m_connection->exec(query.exactProbe, probe, true);
        const QVariant found = q.next() && !q.isNull(0) ? q.value(0) : QVariant();
        q.finish();
        if (!found.isValid()) break;
        if (int(parts.size()) >= kMostParts) return false;
        parts.push_back(partValues(found));
        probe[0] = found;
    }

    const QSqlDatabase db = m_connection->database();
    DeclaredQuery ran = query;
    if (parts.size() == 1) ran.filter = query.exactFilter;
    QStringList keys;
    for (int c : m_keyColumns)
        keys << quotedColumn(db, fields[size_t(c)].name);
    const QString from = QStringLiteral(" from %1 where (%2)")
                             .arg(quotedTable(db, query.table), query.exactFilter);
    KeyFeed::Shape shape;
    shape.select = QStringLiteral("select ") + keys.join(QStringLiteral(", ")) + from;
    shape.from = from;
    shape.orderColumn = quotedColumn(db, fields[size_t(orderColumn)].name);
    shape.idColumn = quotedColumn(db, fields[size_t(m_idColumn)].name);
    shape.orderKey = m_keyOf[size_t(orderColumn)];
    shape.idKey = 0;
    shape.fetchFirst = m_connection->driverName() == QLatin1String("QOCI");
    auto feed = std::make_unique<KeyFeed>(m_connection, shape, parts, m_pageRows);
    const qint64 count = feed->count(&m_partOrdered);
    if (count > qint64(std::numeric_limits<int>::max() / 2))
        throw DatabaseError(QStringLiteral("调查表有 %1 行，超过一次能打开的行数；请用更长的单位代码打开")
                                .arg(count));
    m_statement = selectText(ran, db, columns);
    m_slots.resize(size_t(count));
    m_keys.insertRows(0, count);
    m_gaps.push_back({0, int(count), std::move(feed)});
    m_shape = shape;
    m_parts = std::move(parts);
    return true;
}

int RowStore::lastMissed() const
{
    if (m_missed == 0) return -1;
    // Missed rows follow the rows that arrived: only rows written in this
    // session or added at the end come after them.
    for (int r = size() - 1; r >= 0; --r)
        if (m_slots[size_t(r)].missed) return r;
    return -1;
}

void RowStore::setGrowth(std::function<void(int, int)> aboutToGrow,
                         std::function<void(int, int)> grown)
{
    m_aboutToGrow = std::move(aboutToGrow);
    m_grown = std::move(grown);
}

void RowStore::setPlaced(int r)
{
    if (!isArriving() || m_idColumn < 0) return;
    const Slot &s = m_slots[size_t(r)];
    const QVariant id = s.loaded() ? (*s.values)[m_idColumn] : key(r, 0);
    if (!Dataset::isNullValue(id)) m_placed.insert(idText(id));
}

void RowStore::takeKey(int r, const QVariantList &keys)
{
    for (int k = 0; k < int(m_width); ++k)
        m_keys.setValue(r, k, keys[k]);
}

int RowStore::gapOf(int r) const
{
    for (size_t g = 0; g < m_gaps.size(); ++g) {
        const Gap &gap = m_gaps[g];
        if (r < gap.fill) break;
        if (r < gap.fill + gap.waiting) return int(g);
    }
    return -1;
}

void RowStore::closeGap(size_t g)
{
    // Counted rows that never arrived were deleted meanwhile.
    Gap &gap = m_gaps[g];
    for (int r = gap.fill; r < gap.fill + gap.waiting; ++r)
        m_slots[size_t(r)].gone = m_slots[size_t(r)].missed = true;
    m_missed += gap.waiting;
    m_gaps.erase(m_gaps.begin() + qsizetype(g));
    if (m_gaps.empty()) {
        m_placed.clear();
        m_parts.clear();
    }
}

void RowStore::keyUpTo(int r)
{
    const int g = gapOf(r);
    if (g < 0) return;
    Gap &gap = m_gaps[size_t(g)];
    // A page at least: the reads that follow usually want the rows after it.
    const int until = std::min(gap.fill + gap.waiting - 1, std::max(r, gap.fill + m_pageRows - 1));
    QVariantList keys;
    while (gap.fill <= until) {
        if (!gap.feed->next(keys)) {
            closeGap(size_t(g));
            return;
        }
        if (!m_placed.isEmpty() && m_placed.contains(idText(keys[0]))) continue;
        takeKey(gap.fill, keys);
        ++gap.fill;
        --gap.waiting;
    }
    // A run before another is done when its rows are in: keys it still has
    // are rows another user added meanwhile, which a refresh shows.
    if (gap.waiting == 0 && (size_t(g) + 1 < m_gaps.size() || gap.feed->done()))
        closeGap(size_t(g));
}

void RowStore::arrive(qsizetype n)
{
    if (n < 0) n = std::numeric_limits<qsizetype>::max();
    while (n > 0 && !m_gaps.empty()) {
        Gap &gap = m_gaps.front();
        if (gap.waiting == 0) {
            if (m_gaps.size() > 1) {
                closeGap(0);
                continue;
            }
            arriveBeyondCount(n);
            return;
        }
        const qsizetype take = std::min<qsizetype>(n, gap.waiting);
        keyUpTo(int(gap.fill + take - 1));
        n -= take;
    }
}

void RowStore::arriveBeyondCount(qsizetype n)
{
    KeyFeed &feed = *m_gaps.back().feed;
    // Beyond the count: rows added since it, put at the end together.
    std::vector<QVariantList> more;
    QVariantList keys;
    bool done = false;
    while (qsizetype(more.size()) < n) {
        if (!feed.next(keys)) {
            done = true;
            break;
        }
        if (!m_placed.isEmpty() && m_placed.contains(idText(keys[0]))) continue;
        more.push_back(keys);
    }
    if (!more.empty()) {
        const int first = size(), last = size() + int(more.size()) - 1;
        if (m_aboutToGrow) m_aboutToGrow(first, last);
        m_slots.resize(m_slots.size() + more.size());
        m_keys.insertRows(first, qsizetype(more.size()));
        for (size_t i = 0; i < more.size(); ++i)
            takeKey(first + int(i), more[i]);
        if (m_grown) m_grown(first, last);
    }
    if (done) closeGap(m_gaps.size() - 1);
}

std::unique_ptr<KeyFeed> RowStore::seekFeed(const QVariant &from) const
{
    return std::make_unique<KeyFeed>(m_connection, m_shape, m_parts, m_pageRows, from);
}

int RowStore::seek(const QVariant &value)
{
    if (!isArriving() || Dataset::isNullValue(value)) return -1;
    const int k = m_shape.orderKey;
    auto before = [&](int r) { return KeyFeed::compareOrder(key(r, k), value) < 0; };
    // Where the database puts the value: after every row that sorts before it.
    const qint64 at = seekFeed({})->countBefore(value, &m_partOrdered);
    if (at < 0 || at > size()) return -1;
    const int p = int(at);
    if (const int g = gapOf(p); g >= 0 && p > m_gaps[size_t(g)].fill) {
        // Split the run: its feed stops at the value, a new one starts there.
        Gap &gap = m_gaps[size_t(g)];
        Gap from{p, gap.fill + gap.waiting - p, seekFeed(value)};
        from.feed->setBound(gap.feed->bound()); // the run's own end, if it has one
        gap.waiting = p - gap.fill;
        gap.feed->setBound(value);
        m_gaps.insert(m_gaps.begin() + g + 1, std::move(from));
    }
    if (p < size()) keyUpTo(p);
    // The rows around bear the count out, or the list is not the database's now.
    if (p < size() && (isWaiting(p) || m_slots[size_t(p)].gone || before(p))) return -1;
    if (p > 0 && !isWaiting(p - 1) && !m_slots[size_t(p - 1)].gone && !before(p - 1)) return -1;
    return p;
}

} // namespace zarn
