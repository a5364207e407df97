#include "data/row_store.h"

#include "data/connection.h"
#include "data/errors.h"
#include "data/key_feed.h"
#include "data/sql_names.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace zarn {

// Shared with dataset.cpp, where it is defined: a column's name, type and width.
namespace detail {
FieldDef fieldDefOf(const QSqlField &f, const QString &driver);
} // namespace detail

namespace {

std::vector<FieldDef> fieldsOf(const QSqlRecord &rec, const QString &driver)
{
    std::vector<FieldDef> fields;
    fields.reserve(size_t(rec.count()));
    for (int i = 0; i < rec.count(); ++i)
        fields.push_back(detail::fieldDefOf(rec.field(i), driver));
    return fields;
}

int columnNamed(const std::vector<FieldDef> &fields, const QString &name)
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

} // namespace

QString RowStore::idText(const QVariant &v)
{
    return Dataset::isNullValue(v) ? QString() : v.toString();
}

RowStore::RowStore(Connection *connection)
    : m_connection(connection)
{
}

RowStore::~RowStore() = default;

void RowStore::setPaging(int rowsPerPage, int pagesKept)
{
    m_nextPageRows = std::max(1, rowsPerPage);
    m_nextPagesKept = std::max(1, pagesKept);
}

void RowStore::clear()
{
    m_pageSql.clear();
    m_statement.clear();
    m_table.clear();
    m_names.clear();
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_keys.clear();
    m_width = 0;
    m_gaps.clear();
    m_parts.clear();
    m_partOrdered.clear();
    m_missed = 0;
    endSnapshot();
    m_live = false;
    m_listed = {};
    m_own = 0;
    m_removedKeys.clear();
    m_rowSql.clear();
    m_keyColumns.clear();
    m_keyOf.clear();
    m_recentPages.clear();
    m_paged = false;
    m_columnCount = 0;
    m_idColumn = -1;
    m_current = -1;
    m_loaded = 0;
}

std::vector<FieldDef> RowStore::read(const QString &sql, const QVariantList &params)
{
    // Built aside, so that a statement that fails leaves the rows held as they were.
    RowStore fresh(m_connection);
    std::vector<FieldDef> fields;
    fresh.readWhole(sql, params, fields);
    take(fresh);
    return fields;
}

std::vector<FieldDef> RowStore::read(const DeclaredQuery &declared, const QVariantList &params)
{
    RowStore fresh(m_connection);
    fresh.m_pageRows = m_nextPageRows;
    fresh.m_pagesKept = m_nextPagesKept;
    std::vector<FieldDef> fields;
    fresh.readKeys(declared, params, fields);
    take(fresh);
    return fields;
}

void RowStore::narrow(DeclaredQuery &query, QVariantList &values)
{
    if (query.exactFilter.isEmpty()) return;
    // Asked again at every read: rows the probe finds may come and go.
    QSqlQuery probe = m_connection->exec(Access::Read, query.exactProbe, values, true);
    const bool subUnits = probe.next() && !probe.isNull(0);
    probe.finish();
    if (subUnits) return;
    const QVariantList params = values;
    query.filter = query.exactFilter;
    values.clear();
    for (int i : query.exactValues)
        values << params.value(i);
}

void RowStore::take(RowStore &fresh)
{
    clear();
    m_pageRows = fresh.m_pageRows;
    m_pagesKept = fresh.m_pagesKept;
    m_paged = fresh.m_paged;
    m_columnCount = fresh.m_columnCount;
    m_idColumn = fresh.m_idColumn;
    m_keyColumns = std::move(fresh.m_keyColumns);
    m_keyOf = std::move(fresh.m_keyOf);
    m_keys = std::move(fresh.m_keys);
    m_width = fresh.m_width;
    m_slots = std::move(fresh.m_slots);
    m_gaps = std::move(fresh.m_gaps);
    m_shape = fresh.m_shape;
    m_parts = std::move(fresh.m_parts);
    m_partOrdered = std::move(fresh.m_partOrdered);
    m_missed = fresh.m_missed;
    m_snapshot = std::move(fresh.m_snapshot);
    m_live = fresh.m_live;
    m_listed = std::move(fresh.m_listed);
    m_pageSql = std::move(fresh.m_pageSql);
    m_rowSql = std::move(fresh.m_rowSql);
    m_statement = std::move(fresh.m_statement);
    m_table = std::move(fresh.m_table);
    m_names = std::move(fresh.m_names);
    m_loaded = fresh.m_loaded;
}

void RowStore::readWhole(const QString &sql, const QVariantList &params,
                         std::vector<FieldDef> &fields)
{
    m_statement = sql;
    QSqlQuery q = m_connection->exec(Access::Read, sql, params, true);
    if (!q.isSelect()) throw DatabaseError(QStringLiteral("语句没有返回记录: %1").arg(sql));
    fields = fieldsOf(q.record(), m_connection->driverName());
    m_columnCount = int(fields.size());
    m_idColumn = columnNamed(fields, QStringLiteral("id"));
    m_keyOf.assign(fields.size(), -1);
    while (q.next()) {
        Slot s;
        s.values = std::make_unique<QVariantList>();
        s.values->reserve(m_columnCount);
        for (int i = 0; i < m_columnCount; ++i)
            s.values->append(q.isNull(i) ? QVariant() : q.value(i));
        s.pinned = true;
        m_slots.push_back(std::move(s));
    }
    if (q.lastError().isValid()) throw m_connection->error(q.lastError());
    q.finish(); // read to its end, an empty result too: the statement is free again
    m_loaded = int(m_slots.size());
    m_paged = false;
}

void RowStore::readKeys(const DeclaredQuery &declared, const QVariantList &declaredParams,
                        std::vector<FieldDef> &fields)
{
    const DeclaredQuery &query = declared;
    const QSqlDatabase db = m_connection->database();
    const QString table = quotedTable(db, query.table);
    {
        // The table's columns as the query gives them, without a row.
        QSqlQuery q = m_connection->exec(
            Access::Read, QStringLiteral("select * from %1 where 1 = 0").arg(table), {}, true);
        fields = fieldsOf(q.record(), m_connection->driverName());
        q.finish();
    }
    QStringList columns;
    for (const FieldDef &f : fields)
        columns << f.name;
    m_idColumn = columnNamed(fields, query.idColumn);
    if (m_idColumn < 0) {
        // Rows without an id cannot be read again by it: held whole.
        DeclaredQuery narrowed = declared;
        QVariantList params = declaredParams;
        narrow(narrowed, params);
        readWhole(selectText(narrowed, db, columns), params, fields);
        return;
    }
    m_columnCount = int(fields.size());
    m_table = query.table;
    m_names = columns;
    m_keyOf.assign(fields.size(), -1);
    auto hold = [&](int column) {
        if (column < 0 || m_keyOf[size_t(column)] >= 0) return;
        m_keyOf[size_t(column)] = int(m_keyColumns.size());
        m_keyColumns.push_back(column);
    };
    hold(m_idColumn);
    for (const OrderColumn &o : query.order)
        hold(columnNamed(fields, o.column));
    for (const QString &name : query.held)
        hold(columnNamed(fields, name));
    m_width = qsizetype(m_keyColumns.size());
    std::vector<KeyTable::Kind> kinds;
    for (int c : m_keyColumns) {
        const FieldType t = fields[size_t(c)].type;
        kinds.push_back(isIntegerType(t) ? KeyTable::Kind::Integer
                        : isTextType(t)  ? KeyTable::Kind::Text
                                         : KeyTable::Kind::Other);
    }
    m_keys.setColumns(kinds);
    if (!startFeed(declared, declaredParams, fields, columns)) {
        DeclaredQuery narrowed = declared;
        QVariantList params = declaredParams;
        narrow(narrowed, params);
        m_statement = selectText(narrowed, db, columns);
        QStringList keys;
        for (int c : m_keyColumns)
            keys << quotedColumn(db, fields[size_t(c)].name);
        QSqlQuery q = m_connection->exec(
            Access::Read, selectText(narrowed, db, columns, keys.join(QStringLiteral(", "))),
            params, true);
        while (q.next()) {
            const qsizetype r = m_keys.rows();
            m_keys.appendRow();
            for (int i = 0; i < m_width; ++i)
                m_keys.setValue(r, i, q.isNull(i) ? QVariant() : q.value(i));
        }
        if (q.lastError().isValid()) throw m_connection->error(q.lastError());
        q.finish();
        m_slots.resize(size_t(m_keys.rows()));
    }

    QStringList marks;
    for (int i = 0; i < m_pageRows; ++i)
        marks << QStringLiteral("?");
    m_pageSql = QStringLiteral("select * from %1 where %2 in (%3)")
                    .arg(table, quotedColumn(db, fields[size_t(m_idColumn)].name),
                         marks.join(QStringLiteral(", ")));
    m_rowSql = QStringLiteral("select * from %1 where %2 = ?")
                   .arg(table, quotedColumn(db, fields[size_t(m_idColumn)].name));
    m_paged = true;
    // The first page's keys now: the list shows from them.
    if (isArriving() && size() > 0) keyUpTo(std::min(size(), m_pageRows) - 1);
    if (!isArriving()) endSnapshot();
}

// ---------------------------------------------------------------- pages

void RowStore::loadPage(int r)
{
    const int page = r / m_pageRows;
    const int begin = page * m_pageRows;
    const int end = std::min(size(), begin + m_pageRows);
    // The page's waiting rows keyed where their run's keys have come near:
    // row r always, the others unless reading them means reading a run's
    // keys from far back (a seek's row next to keys not read yet).
    for (int i = begin; i < end; ++i) {
        const int g = gapOf(i);
        if (g >= 0 && (i == r || i - m_gaps[size_t(g)].fill < m_pageRows)) keyUpTo(i);
    }
    QHash<QString, int> wanted; // id -> row
    QVariantList ids;
    for (int i = begin; i < end; ++i) {
        const Slot &s = m_slots[size_t(i)];
        if (s.loaded() || s.gone || isWaiting(i)) continue;
        const QVariant id = key(i, 0);
        if (Dataset::isNullValue(id)) {
            m_slots[size_t(i)].gone = true; // a row without an id cannot be read back
            continue;
        }
        wanted.insert(idText(id), i);
        ids << id;
    }
    if (!ids.isEmpty()) {
        // Unused places repeat an id: one statement text for every page.
        while (ids.size() < m_pageRows)
            ids << ids.first();
        // Through the connection, which opens a lost server connection anew.
        QSqlQuery q = m_connection->exec(Access::Read, m_pageSql, ids, true);
        const std::vector<int> from = placesIn(q.record());
        const int idAt = from[size_t(m_idColumn)];
        while (q.next()) {
            const auto it = wanted.constFind(idText(q.value(idAt)));
            if (it == wanted.constEnd() || m_slots[size_t(*it)].loaded()) continue;
            readInto(*it, q, from);
        }
        const bool failed = q.lastError().isValid();
        const DatabaseError error = failed ? m_connection->error(q.lastError()) : DatabaseError({});
        // Done with the page: no read transaction stays open behind it.
        q.finish();
        if (failed) throw error;
        for (auto it = wanted.constBegin(); it != wanted.constEnd(); ++it)
            if (!m_slots[size_t(*it)].loaded()) m_slots[size_t(*it)].gone = true;
    }
    touch(page);
    // Rows added and removed move rows between pages, so letting a page go
    // may miss a row read with another: a sweep finds those.
    if (m_loaded > (m_pagesKept + 1) * m_pageRows) sweep();
}

std::vector<int> RowStore::placesIn(const QSqlRecord &rec) const
{
    // The same columns as the statement, looked up by name should the table
    // have changed since.
    std::vector<int> from(size_t(m_columnCount), -1);
    for (int c = 0; c < m_columnCount; ++c)
        from[size_t(c)] = rec.count() == m_columnCount ? c : rec.indexOf(m_names[c]);
    if (from[size_t(m_idColumn)] < 0)
        throw DatabaseError(
            QStringLiteral("表 %1 已没有列 %2，无法读取记录").arg(m_table, m_names[m_idColumn]));
    return from;
}

void RowStore::readInto(int r, const QSqlQuery &q, const std::vector<int> &from)
{
    Slot &s = m_slots[size_t(r)];
    auto values = std::make_unique<QVariantList>();
    values->reserve(m_columnCount);
    for (int c = 0; c < m_columnCount; ++c) {
        const int i = from[size_t(c)];
        values->append(i < 0 || q.isNull(i) ? QVariant() : q.value(i));
    }
    if (!s.loaded()) ++m_loaded;
    s.values = std::move(values);
    s.readIn = m_move;
    // The list follows what the database holds now.
    for (size_t k = 0; k < m_keyColumns.size(); ++k)
        m_keys.setValue(r, int(k), (*s.values)[m_keyColumns[k]]);
}

bool RowStore::reread(int r)
{
    Slot &s = m_slots[size_t(r)];
    const std::optional<Statement> along = m_alongMake ? m_alongMake(*s.values) : std::nullopt;
    std::vector<Statement> asked{{m_rowSql, {(*s.values)[m_idColumn]}}};
    if (along) asked.push_back(*along);
    std::vector<QSqlQuery> answers = m_connection->execAll(Access::Read, asked, true);
    if (along && m_alongTake) m_alongTake(answers[1].next() ? answers[1].value(0) : QVariant());
    QSqlQuery q = std::move(answers[0]);
    const std::vector<int> from = placesIn(q.record());
    const bool found = q.next();
    if (found) readInto(r, q, from);
    const bool failed = q.lastError().isValid();
    const DatabaseError error = failed ? m_connection->error(q.lastError()) : DatabaseError({});
    q.finish();
    // A failed read is no answer: the row stays as it was read before.
    if (failed) throw error;
    if (found) return true;
    s.values.reset();
    --m_loaded;
    s.gone = true;
    return false;
}

void RowStore::touch(int page)
{
    if (!m_paged) return;
    if (!m_recentPages.empty() && m_recentPages.back() == page) return;
    const auto it = std::find(m_recentPages.begin(), m_recentPages.end(), page);
    if (it != m_recentPages.end()) m_recentPages.erase(it);
    m_recentPages.push_back(page);
    while (int(m_recentPages.size()) > m_pagesKept) {
        const int oldest = m_recentPages.front();
        m_recentPages.erase(m_recentPages.begin());
        letGo(oldest);
    }
}

void RowStore::unload(int r)
{
    Slot &s = m_slots[size_t(r)];
    if (!s.loaded() || s.pinned || r == m_current) return;
    // Keep the held columns as the row last had them (a posted change).
    for (size_t k = 0; k < m_keyColumns.size(); ++k)
        m_keys.setValue(r, int(k), (*s.values)[m_keyColumns[k]]);
    s.values.reset();
    --m_loaded;
}

void RowStore::letGo(int page)
{
    const int begin = page * m_pageRows;
    const int end = std::min(size(), begin + m_pageRows);
    for (int r = begin; r < end; ++r)
        unload(r);
}

void RowStore::sweep()
{
    for (int r = 0; r < size(); ++r) {
        if (!m_slots[size_t(r)].loaded()) continue;
        const int page = r / m_pageRows;
        if (std::find(m_recentPages.begin(), m_recentPages.end(), page) == m_recentPages.end())
            unload(r);
    }
}

// ---------------------------------------------------------------- rows

QVariantList *RowStore::row(int r, bool stored)
{
    Slot &s = m_slots[size_t(r)];
    if (!s.loaded() && !s.gone) {
        loadPage(r);
    } else if (s.loaded()) {
        // A row kept in memory from before may have been changed or deleted
        // by another user since: one statement reads it as it is now.
        if (stored && m_paged && !s.pinned && r != m_current && s.readIn != m_move &&
            !m_rowSql.isEmpty() && !Dataset::isNullValue((*s.values)[m_idColumn]) && !reread(r))
            return nullptr;
        touch(r / m_pageRows);
    }
    return s.loaded() ? s.values.get() : nullptr;
}

QVariant RowStore::read(int r, int column)
{
    Slot &s = m_slots[size_t(r)];
    if (!s.loaded()) {
        const int k = m_keyOf[size_t(column)];
        if (isWaiting(r)) keyUpTo(r);
        if (k >= 0) return key(r, k);
        if (s.gone) return {};
        loadPage(r);
        if (!s.loaded()) return {};
    } else {
        // A page a grid keeps reading stays in memory.
        touch(r / m_pageRows);
    }
    return (*s.values)[column];
}

QVariant RowStore::value(int r, int column)
{
    try {
        return read(r, column);
    } catch (const Error &) {
        return {}; // a page that cannot be read reads as nulls; the next read tries again
    }
}

QVariant RowStore::held(int r, int column, bool *held) const
{
    const Slot &s = m_slots[size_t(r)];
    *held = true;
    if (s.loaded()) return (*s.values)[column];
    const int k = m_keyOf[size_t(column)];
    if (k >= 0 && !isWaiting(r)) return key(r, k);
    *held = s.gone;
    return {};
}

bool RowStore::loadRows(int first, int last)
{
    bool read = false;
    for (int r = first; r <= last; ++r) {
        const Slot &s = m_slots[size_t(r)];
        if (s.loaded() || s.gone) continue;
        loadPage(r);
        read = true;
    }
    // The rows asked for are the ones in use: kept before any other.
    if (m_paged)
        for (int page = first / m_pageRows; page <= last / m_pageRows; ++page)
            touch(page);
    return read;
}

bool RowStore::holdsForEveryRow(int column) const
{
    return column >= 0 && column < int(m_keyOf.size()) && m_keyOf[size_t(column)] >= 0;
}

void RowStore::insertNew(int r, QVariantList values)
{
    // A new row goes among rows whose keys are there, or after the waiting ones.
    if (const int g = gapOf(r); g >= 0 && r > m_gaps[size_t(g)].fill) keyUpTo(r - 1);
    for (Gap &gap : m_gaps)
        if (r <= gap.fill) ++gap.fill;
    Slot s;
    s.values = std::make_unique<QVariantList>(std::move(values));
    s.pinned = true;
    if (isArriving()) {
        s.own = true;
        ++m_own;
    }
    m_slots.insert(m_slots.begin() + r, std::move(s));
    m_keys.insertRows(r, 1);
    ++m_loaded;
    if (m_current >= r) ++m_current;
}

void RowStore::setStored(int r)
{
    Slot &s = m_slots[size_t(r)];
    // A row without an id could not be found again: it stays in memory.
    if (m_paged && m_idColumn >= 0 && !Dataset::isNullValue((*s.values)[m_idColumn])) {
        s.pinned = false;
        setPlaced(r);
    }
}

void RowStore::remove(int r)
{
    const Slot &s = m_slots[size_t(r)];
    if (isArriving() && !isWaiting(r) && !s.missed) {
        // A seek counts the rows of the open's moment: it must know which
        // are no longer in the list.
        if (s.own)
            --m_own;
        else
            m_removedKeys.push_back(s.loaded() ? (*s.values)[m_keyColumns[size_t(m_shape.orderKey)]]
                                               : key(r, m_shape.orderKey));
    }
    if (s.loaded()) --m_loaded;
    if (s.missed) --m_missed;
    if (const int g = gapOf(r); g >= 0) --m_gaps[size_t(g)].waiting;
    for (Gap &gap : m_gaps)
        if (r < gap.fill) --gap.fill;
    m_slots.erase(m_slots.begin() + r);
    m_keys.removeRow(r);
    if (m_current == r)
        m_current = -1;
    else if (m_current > r)
        --m_current;
}

int RowStore::findId(const QString &wanted, int from, int to) const
{
    for (int r = from; r < to; ++r) {
        const Slot &s = m_slots[size_t(r)];
        if (isWaiting(r)) continue;
        if (s.loaded()) {
            const QVariant &v = (*s.values)[m_idColumn];
            if (!Dataset::isNullValue(v) && idText(v) == wanted) return r;
        } else if (!m_keys.isNull(r, 0) && idText(key(r, 0)) == wanted) {
            return r;
        }
    }
    return -1;
}

int RowStore::indexOfId(const QVariant &id)
{
    if (m_idColumn < 0 || Dataset::isNullValue(id)) return -1;
    const QString wanted = idText(id);
    int found = findId(wanted, 0, size());
    while (found < 0 && isArriving()) {
        // The keys that arrive next take waiting rows' places or are added at the end.
        const int fill = m_gaps.front().fill, end = size();
        arrive(8192);
        found = findId(wanted, fill, m_gaps.empty() ? end : m_gaps.front().fill);
        if (found < 0) found = findId(wanted, end, size());
    }
    return found;
}

} // namespace zarn
