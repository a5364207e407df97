// The keys of a unit's rows arriving behind its first page (RowStore).
#include "data/row_store.h"

#include "data/connection.h"
#include "data/errors.h"
#include "data/key_feed.h"
#include "data/sql_names.h"
#include "data/sqlite_declaration.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace zarn {

namespace {

// More units than this are read as one sorted result: a part costs a few
// statements before the first row, which hundreds of units would feel.
constexpr int kMostParts = 256;

// The read transaction holds a share lock on the table, which a change of
// the table's definition (another program's) waits for, and every statement
// after that change waits behind it, this session's own too: should this
// session stop reading keys for that long, the server ends the transaction
// and the rest of the keys come on the session's connection.
constexpr char kIdleSnapshot[] = "set local idle_in_transaction_session_timeout = 10000";

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
    // The units, their count and their first keys as of one moment, when
    // the database offers one; a failure of that connection on the way
    // reads them all on the session's.
    const bool snapshot = beginSnapshot();
    std::vector<QVariantList> parts;
    std::unique_ptr<KeyFeed> feed;
    for (;;) {
        Connection *keys = m_snapshot ? m_snapshot.get() : m_connection;
        try {
            parts = {partValues(params[0])};
            QVariantList probe = params;
            bool tooMany = false;
            if (!query.probeWalk.isEmpty() && params.size() == 3 &&
                keys->driverName() == QLatin1String("QPSQL")) {
                // Far away, the units are named in one round trip, not one each.
                QSqlQuery q = keys->exec(
                    Access::Read, query.probeWalk,
                    QVariantList(params) << params[1] << params[2] << kMostParts, !m_snapshot);
                while (q.next())
                    parts.push_back(partValues(q.value(0)));
                tooMany = int(parts.size()) > kMostParts;
                probe.clear(); // walked
            }
            while (!probe.isEmpty()) {
                QSqlQuery q = keys->exec(Access::Read, query.exactProbe, probe, !m_snapshot);
                const QVariant found = q.next() && !q.isNull(0) ? q.value(0) : QVariant();
                q.finish();
                if (!found.isValid()) break;
                if (int(parts.size()) >= kMostParts) {
                    tooMany = true;
                    break;
                }
                parts.push_back(partValues(found));
                probe[0] = found;
            }
            if (tooMany || !binaryOrder(fields[size_t(orderColumn)].name, query.table)) {
                endSnapshot();
                return false;
            }
            break;
        } catch (const DatabaseError &) {
            if (!m_snapshot) throw;
            endSnapshot();
        }
    }
    m_live = !snapshot;

    const QSqlDatabase db = m_connection->database();
    DeclaredQuery ran = query;
    if (parts.size() == 1) ran.filter = query.exactFilter;
    QStringList keys;
    for (int c : m_keyColumns)
        keys << quotedColumn(db, fields[size_t(c)].name);
    const QString from =
        QStringLiteral(" from %1 where (%2)").arg(quotedTable(db, query.table), query.exactFilter);
    KeyFeed::Shape shape;
    shape.select = QStringLiteral("select ") + keys.join(QStringLiteral(", ")) + from;
    shape.from = from;
    shape.orderColumn = quotedColumn(db, fields[size_t(orderColumn)].name);
    shape.idColumn = quotedColumn(db, fields[size_t(m_idColumn)].name);
    shape.orderKey = m_keyOf[size_t(orderColumn)];
    shape.idKey = 0;
    shape.fetchFirst = m_connection->driverName() == QLatin1String("QOCI");
    qint64 count = 0;
    for (;;) {
        feed = std::make_unique<KeyFeed>(m_connection, shape, parts, m_pageRows);
        if (m_snapshot) feed->setConnection(m_snapshot.get(), false);
        try {
            count = feed->count(&m_partOrdered);
            break;
        } catch (const DatabaseError &) {
            if (!m_snapshot) throw;
            endSnapshot();
            m_live = true;
        }
    }
    if (count > qint64(std::numeric_limits<int>::max() / 2))
        throw DatabaseError(
            QStringLiteral("调查表有 %1 行，超过一次能打开的行数；请用更长的单位代码打开")
                .arg(count));
    m_statement = selectText(ran, db, columns);
    m_slots.resize(size_t(count));
    m_keys.insertRows(0, count);
    m_gaps.push_back({0, int(count), std::move(feed)});
    m_shape = shape;
    m_parts = std::move(parts);
    // Nothing counted: nothing arrives, and no read transaction is kept for it.
    if (count == 0 && arrivesAsOfOpen()) closeGap(0);
    return true;
}

bool RowStore::binaryOrder(const QString &column, const QString &table)
{
    // The merge compares texts by their characters' codes: a database that
    // orders the column otherwise sorts the list itself. Asked at every
    // read, as the sub-units are: a catalogue lookup or two.
    const QString driver = m_connection->driverName();
    Connection *on = m_snapshot ? m_snapshot.get() : m_connection;
    bool binary = true;
    const QSqlDatabase db = on->database();
    if (driver == QLatin1String("QSQLITE")) {
        // SQLite keeps a column's collation only in the table's declaration.
        QSqlQuery q = on->exec(Access::Read,
                               QStringLiteral("select sql from sqlite_master where type = 'table' "
                                              "and lower(name) = lower(?)"),
                               {table}, !m_snapshot);
        const QString declared = q.next() ? q.value(0).toString() : QString();
        q.finish();
        for (const sqlite::ColumnDeclaration &c : sqlite::declaredColumns(declared)) {
            if (c.name.compare(column, Qt::CaseInsensitive) != 0) continue;
            binary = c.collation.isEmpty() ||
                     c.collation.compare(QLatin1String("binary"), Qt::CaseInsensitive) == 0;
            break;
        }
    } else if (driver == QLatin1String("QPSQL") ||
               (driver == QLatin1String("QODBC") &&
                db.driver()->dbmsType() == QSqlDriver::PostgreSQL)) {
        QSqlQuery q = on->exec(
            Access::Read,
            QStringLiteral("select c.collname from pg_attribute a join pg_collation c on c.oid = "
                           "a.attcollation where a.attrelid = to_regclass(?) and "
                           "lower(a.attname) = lower(?)"),
            {table, column}, !m_snapshot);
        QString collation = q.next() ? q.value(0).toString() : QStringLiteral("default");
        q.finish();
        if (collation == QLatin1String("default")) {
            QSqlQuery d = on->exec(
                Access::Read,
                QStringLiteral("select * from pg_database where datname = current_database()"), {},
                !m_snapshot);
            if (d.next()) {
                const QSqlRecord rec = d.record();
                // From PostgreSQL 15 a database's own collation may be ICU's.
                const int provider = rec.indexOf(QStringLiteral("datlocprovider"));
                collation = provider >= 0 && d.value(provider).toString() == QLatin1String("i")
                                ? QStringLiteral("icu")
                                : d.value(rec.indexOf(QStringLiteral("datcollate"))).toString();
            }
            d.finish();
        }
        binary = collation == QLatin1String("C") || collation == QLatin1String("POSIX") ||
                 collation == QLatin1String("ucs_basic") ||
                 collation.startsWith(QLatin1String("C."));
    }
    return binary;
}

bool RowStore::beginSnapshot()
{
    const QString driver = m_connection->driverName();
    auto keys = std::make_unique<Connection>();
    keys->setConnectionString(m_connection->connectionString());
    try {
        keys->open();
        QSqlDatabase db = keys->database();
        QSqlQuery q(db);
        if (driver == QLatin1String("QSQLITE")) {
            // Under the write-ahead log a reader holds no lock a writer waits
            // for; a file without it would hold every writer up.
            if (!q.exec(QStringLiteral("pragma journal_mode")) || !q.next() ||
                q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
                return false;
            q.finish();
            // The read transaction takes its moment at its first read, the count.
            if (!q.exec(QStringLiteral("begin"))) return false;
        } else if (driver == QLatin1String("QPSQL")) {
            // With the first read, in its round trip; one that fails fails
            // that read, and the keys are then read live.
            keys->sendWithNext(
                {{QStringLiteral("begin isolation level repeatable read, read only")},
                 {QString::fromLatin1(kIdleSnapshot)}});
        } else if (driver == QLatin1String("QODBC") &&
                   db.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
            // The driver begins the transaction before the first statement.
            if (!db.transaction() ||
                !q.exec(
                    QStringLiteral("set transaction isolation level repeatable read, read only")))
                return false;
            q.finish();
            // Said outside a transaction the setting would be only a warning.
            if (!q.exec(QStringLiteral("select current_setting('transaction_isolation')")) ||
                !q.next() || q.value(0).toString() != QLatin1String("repeatable read"))
                return false;
            q.finish();
            if (!q.exec(QString::fromLatin1(kIdleSnapshot))) return false;
        } else {
            return false;
        }
        q.finish();
    } catch (const Error &) {
        return false;
    }
    m_snapshot = std::move(keys);
    return true;
}

void RowStore::endSnapshot()
{
    if (!m_snapshot) return;
    // Closing the connection ends its read transaction.
    std::unique_ptr<Connection> keys = std::move(m_snapshot);
    for (Gap &gap : m_gaps)
        gap.feed->setConnection(m_connection, true);
    keys->close();
}

void RowStore::loseSnapshot()
{
    endSnapshot();
    if (m_live) return;
    m_live = true;
    // Every row listed, so that none arrives again from the database as it is now.
    m_listed.reserve(m_slots.size());
    for (int r = 0; r < size(); ++r) {
        if (isWaiting(r)) continue;
        const Slot &s = m_slots[size_t(r)];
        const QVariant id = s.loaded() ? (*s.values)[m_idColumn] : key(r, 0);
        if (!Dataset::isNullValue(id)) m_listed.insert(id.toLongLong());
    }
}

bool RowStore::nextKey(KeyFeed &feed, QVariantList &keys)
{
    if (!m_snapshot) return feed.next(keys);
    try {
        return feed.next(keys);
    } catch (const DatabaseError &) {
        // The keys' own connection failed (lost, or its transaction ended by
        // the server): the rest as the database has them now.
        loseSnapshot();
    }
    return feed.next(keys);
}

bool RowStore::passOver(const QVariantList &keys)
{
    if (!m_live || Dataset::isNullValue(keys[0])) return false;
    return !m_listed.insert(keys[0].toLongLong()).second;
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
    if (!isArriving() || !m_live || m_idColumn < 0) return;
    const Slot &s = m_slots[size_t(r)];
    const QVariant id = s.loaded() ? (*s.values)[m_idColumn] : key(r, 0);
    if (!Dataset::isNullValue(id)) m_listed.insert(id.toLongLong());
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
        // Every key is in: the moment of the open is over.
        endSnapshot();
        m_listed = {};
        m_own = 0;
        m_removedKeys.clear();
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
        if (!nextKey(*gap.feed, keys)) {
            closeGap(size_t(g));
            return;
        }
        if (passOver(keys)) continue;
        takeKey(gap.fill, keys);
        ++gap.fill;
        --gap.waiting;
    }
    // A run before another is done when its rows are in: keys it still has
    // are rows another user added meanwhile, which a refresh shows. Read as
    // of the open, the last run is done too: its count holds every row, and
    // the read transaction should not outlive the keys it was for.
    if (gap.waiting == 0 &&
        (size_t(g) + 1 < m_gaps.size() || gap.feed->done() || arrivesAsOfOpen()))
        closeGap(size_t(g));
}

void RowStore::arrive(qsizetype n)
{
    if (n < 0) n = std::numeric_limits<qsizetype>::max();
    while (n > 0 && !m_gaps.empty()) {
        Gap &gap = m_gaps.front();
        if (gap.waiting == 0) {
            if (m_gaps.size() > 1 || arrivesAsOfOpen()) {
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
        if (!nextKey(feed, keys)) {
            done = true;
            break;
        }
        if (passOver(keys)) continue;
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
    auto feed = std::make_unique<KeyFeed>(m_connection, m_shape, m_parts, m_pageRows, from);
    if (m_snapshot) feed->setConnection(m_snapshot.get(), false);
    return feed;
}

int RowStore::seek(const QVariant &value)
{
    // Only a count of the open's moment tells where its rows are.
    if (!arrivesAsOfOpen() || Dataset::isNullValue(value)) return -1;
    const int k = m_shape.orderKey;
    auto before = [&](int r) { return KeyFeed::compareOrder(key(r, k), value) < 0; };
    // Where the database puts the value: after every row that sorts before it.
    qint64 at = -1;
    try {
        at = seekFeed({})->countBefore(value, &m_partOrdered);
    } catch (const DatabaseError &) {
        loseSnapshot();
        return -1;
    }
    // Less the rows this session took out before it, and past the rows it put in.
    for (const QVariant &removed : m_removedKeys)
        if (KeyFeed::compareOrder(removed, value) < 0) --at;
    if (at < 0 || at > size()) return -1;
    int p = int(at);
    for (int r = 0, own = m_own; own > 0 && r < size() && r <= p; ++r)
        if (m_slots[size_t(r)].own) {
            --own;
            if (p < size()) ++p;
        }
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
