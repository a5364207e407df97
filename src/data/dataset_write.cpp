// The Dataset's write-back: posting a new or changed row to its table
// (with the widths checked first and a refusal explained), renumbering a new
// row another workstation's row collided with, and deleting a row.
#include "data/dataset.h"

#include "data/characters.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/errors.h"
#include "data/number_retry.h"
#include "data/row_store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace zarn {

namespace {

bool sameValue(const QVariant &a, const QVariant &b)
{
    const bool an = Dataset::isNullValue(a), bn = Dataset::isNullValue(b);
    if (an || bn) return an == bn;
    if (a.metaType() == b.metaType()) return a == b;
    return Dataset::textOf(a) == Dataset::textOf(b);
}

} // namespace

// A write that met a lost connection is tried once more at once when the
// connection is back, and otherwise at the next post: either way the row is
// looked up first, as a COMMIT whose reply was lost may have stored it, so it
// is neither stored twice nor said unsaved when it was saved.
void Dataset::post()
{
    requireOpen();
    if (!isEditing()) return;
    // Inside the caller's transaction the loss took the caller's other
    // writes too: the caller settles it.
    const bool ownTransaction = !m_connection->inTransaction();
    for (bool again = false;; again = true) {
        try {
            if (!storedBeforeLoss()) postPending();
            m_unsureId = QVariant();
            return;
        } catch (const DatabaseError &e) {
            if (e.kind() != RefusalKind::ConnectionLost) {
                m_unsureId = QVariant();
                throw;
            }
            if (isEditing()) m_unsureId = pendingId();
            if (again || !ownTransaction || m_connection->isLost()) throw;
        }
    }
}

QVariant Dataset::pendingId() const
{
    if (m_idColumn < 0 || !isEditing()) return {};
    const QVariantList *row = m_state == State::Insert ? m_store->row(m_cursor) : &m_original;
    if (!row || row->size() <= m_idColumn || isNullValue((*row)[m_idColumn])) return {};
    return (*row)[m_idColumn];
}

bool Dataset::storedBeforeLoss()
{
    if (!m_unsureId.isValid()) return false;
    const QVariant id = pendingId();
    if (!id.isValid() || !sameValue(id, m_unsureId)) {
        m_unsureId = QVariant();
        return false;
    }
    const bool inserting = m_state == State::Insert;
    const QVariantList &row = currentRow();
    const std::optional<QVariantList> stored = storedRow(id);
    if (!stored || !holdsOurChanges(*stored, row, inserting ? nullptr : &m_original)) return false;
    if (inserting) {
        m_store->setStored(m_cursor);
    } else {
        QVariantList fresh = row;
        for (qsizetype c = 0; c < fresh.size(); ++c)
            if ((*stored)[c].isValid())
                fresh[c] = isNullValue((*stored)[c]) ? QVariant() : (*stored)[c];
        currentRow() = fresh;
    }
    m_original.clear();
    m_modified = false;
    setState(State::Browse);
    if (!inserting) emit rowChanged(m_cursor);
    return true;
}

void Dataset::postPending()
{
    if (m_state == State::Insert) {
        numbering::writeRenumbering([this] { postInsert(); },
                                    [this](const DatabaseError &e) {
                                        // Inside a transaction the refused statement may have ended
                                        // it (PostgreSQL): the caller numbers its whole transaction
                                        // anew.
                                        return m_renumber && !m_connection->inTransaction() &&
                                               m_renumber(*this, e);
                                    },
                                    m_renumberAttempts);
        m_store->setStored(m_cursor);
    } else if (m_state == State::Edit) {
        // A changed order would let the row's key arrive again further on
        // from the database as it is now (keys of the open's moment bring
        // it where it was): with every key read first, the list holds it
        // once, where it was.
        if (m_store->isArriving() && !m_store->arrivesAsOfOpen()) {
            const QVariantList &row = currentRow();
            for (int c = 0; c < fieldCount(); ++c)
                if (m_store->holdsForEveryRow(c) && !sameValue(row[c], m_original[c])) {
                    arrive(-1);
                    break;
                }
        }
        const std::optional<QVariantList> stored = postEdit();
        if (stored) {
            // Another user stored our values first: what the table holds now
            // is what the row shows, their other changes included.
            m_original.clear();
            m_modified = false;
            currentRow() = *stored;
            setState(State::Browse);
            emit rowChanged(m_cursor);
            return;
        }
    } else
        return;
    m_original.clear();
    m_modified = false;
    setState(State::Browse);
}

void Dataset::postInsert()
{
    if (m_table.isEmpty()) throw DatabaseError(QStringLiteral("无法确定要写入的表: %1").arg(m_sql));
    const QVariantList &row = currentRow();
    checkWidths(row, nullptr);
    QStringList names, marks;
    QVariantList values;
    for (size_t c = 0; c < m_fields.size(); ++c)
        if (!isNullValue(row[qsizetype(c)])) {
            names << sqlColumn(int(c));
            marks << QStringLiteral("?");
            values << row[qsizetype(c)];
        }
    if (names.isEmpty()) {
        // A row of nulls only: still a row, as the user asked to store it.
        for (size_t c = 0; c < m_fields.size(); ++c) {
            names << sqlColumn(int(c));
            marks << QStringLiteral("?");
            values << QVariant();
        }
    }
    const QString sql =
        QStringLiteral("insert into %1 (%2) values (%3)")
            .arg(m_sqlTable, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    const bool inTransaction = m_connection->inTransaction();
    // Not repeated blindly: the first run may have stored the row before
    // the connection broke.
    const auto store = [&] {
        checkedWrite(true, [&] { m_connection->exec(Access::Write, sql, values, false); });
    };
    try {
        store();
    } catch (DatabaseError &e) {
        explain(e, row);
        if (e.kind() != RefusalKind::ConnectionLost || inTransaction || !m_connection->isOpen() ||
            m_connection->isLost() || m_idColumn < 0)
            throw;
        // The connection is back: find out whether the row got there.
        if (storedAsWritten(row, nullptr)) return;
        Dataset probe(m_connection);
        probe.setSql(
            QStringLiteral("select %1 from %2 where %1 = ?").arg(sqlColumn(m_idColumn), m_sqlTable),
            {row[m_idColumn]});
        probe.open();
        if (!probe.isEmpty()) {
            // Another row took the number meanwhile: a duplicate key like any other.
            Refusal r;
            r.kind = RefusalKind::DuplicateKey;
            r.keyColumns = {m_fields[size_t(m_idColumn)].name};
            DatabaseError taken(
                QStringLiteral("记录号 %1 已被其他记录占用").arg(textOf(row[m_idColumn])),
                std::move(r));
            explain(taken, row);
            throw taken;
        }
        try {
            store();
        } catch (DatabaseError &again) {
            explain(again, row);
            throw;
        }
    }
}

std::optional<QVariantList> Dataset::postEdit()
{
    const QVariantList &row = currentRow();
    QStringList sets, where;
    QVariantList values, whereValues;
    for (size_t c = 0; c < m_fields.size(); ++c) {
        const QVariant &now = row[qsizetype(c)];
        const QVariant &was = m_original[qsizetype(c)];
        if (sameValue(now, was)) continue;
        sets << sqlColumn(int(c)) + QStringLiteral(" = ?");
        values << now;
        if (isNullValue(was))
            where << sqlColumn(int(c)) + QStringLiteral(" is null");
        else {
            where << sqlColumn(int(c)) + QStringLiteral(" = ?");
            whereValues << was;
        }
    }
    if (sets.isEmpty()) return std::nullopt;
    if (m_table.isEmpty()) throw DatabaseError(QStringLiteral("无法确定要写入的表: %1").arg(m_sql));
    if (m_idColumn < 0 || isNullValue(m_original[m_idColumn]))
        throw DatabaseError(QStringLiteral("记录没有 id，无法保存到表 %1").arg(m_table));
    const QString sql =
        QStringLiteral("update %1 set %2 where %3 = ?%4")
            .arg(m_sqlTable, sets.join(QStringLiteral(", ")), sqlColumn(m_idColumn),
                 where.isEmpty() ? QString()
                                 : QStringLiteral(" and ") + where.join(QStringLiteral(" and ")));
    values << m_original[m_idColumn];
    values << whereValues;
    checkWidths(row, &m_original);
    bool checked = false;
    for (const QString &name : m_checkColumns)
        if (const int c = fieldIndex(name); c >= 0)
            checked = checked || !sameValue(row[c], m_original[c]);
    int affected = 0;
    try {
        checkedWrite(checked, [&] {
            affected = m_connection->exec(Access::Write, sql, values, true).numRowsAffected();
        });
    } catch (DatabaseError &e) {
        explain(e, row);
        throw;
    }
    if (affected > 0) return std::nullopt;
    // Nothing matched the values we read. Not a conflict when every column we
    // changed already holds our new value: a second run after a broken
    // connection found the first run's work, or another user stored the same
    // change (two forms recounting one parcel's markers).
    std::optional<QVariantList> stored = storedRow(m_original[m_idColumn]);
    if (!stored || !holdsOurChanges(*stored, row, &m_original))
        throw RowChangedError(
            QStringLiteral("记录已被其他用户修改或删除，无法保存。请刷新后重新输入。"), m_table);
    QVariantList fresh = row;
    for (qsizetype c = 0; c < fresh.size(); ++c)
        if ((*stored)[c].isValid())
            fresh[c] = isNullValue((*stored)[c]) ? QVariant() : (*stored)[c];
    return fresh;
}

void Dataset::setWriteCheck(WriteCheck check, QStringList columns)
{
    m_writeCheck = std::move(check);
    m_checkColumns = std::move(columns);
}

void Dataset::checkedWrite(bool checked, const std::function<void()> &write)
{
    if (!m_writeCheck || !checked) {
        write();
    } else if (m_connection->inTransaction()) {
        m_writeCheck(*this);
        write();
    } else {
        // The check's statements and the write go through the connection:
        // the BEGIN travels with the first of them.
        m_connection->transaction(
            [&] {
                m_writeCheck(*this);
                write();
            },
            Connection::Begin::WithFirstStatement);
    }
}

void Dataset::setRenumber(Renumber renumber, int attempts)
{
    m_renumber = std::move(renumber);
    m_renumberAttempts = std::max(0, attempts);
}

void Dataset::checkWidths(const QVariantList &row, const QVariantList *before) const
{
    // SQLite does not hold to a declared width, and a refusal found here
    // names its column on every database.
    for (size_t c = 0; c < m_fields.size(); ++c) {
        const FieldDef &f = m_fields[c];
        const QVariant &v = row[qsizetype(c)];
        if (f.length <= 0 || !isTextType(f.type) || isNullValue(v)) continue;
        if (before && sameValue(v, (*before)[qsizetype(c)])) continue;
        if (characterCount(textOf(v)) <= f.length) continue;
        Refusal r;
        r.kind = RefusalKind::ValueTooLong;
        r.table = m_table;
        r.column = f.name;
        r.limit = f.length;
        throw DatabaseError(
            QStringLiteral("字段 %1 的内容超过了它的宽度 %2").arg(f.name).arg(f.length),
            std::move(r));
    }
}

void Dataset::explain(DatabaseError &error, const QVariantList &row) const
{
    Refusal &r = error.refusal();
    if (r.table.isEmpty()) r.table = m_table;
    if (r.kind == RefusalKind::ValueTooLong && r.column.isEmpty()) {
        // PostgreSQL names the width but not the column: the written text
        // longer than its column's width is the one.
        for (size_t c = 0; c < m_fields.size(); ++c) {
            const FieldDef &f = m_fields[c];
            // The column's own width where known, else the width the database named.
            const int width = f.length > 0 ? f.length : isTextType(f.type) ? r.limit : -1;
            if (width <= 0 || (r.limit > 0 && width != r.limit)) continue;
            if (characterCount(textOf(row[qsizetype(c)])) > width) {
                r.column = f.name;
                r.limit = width;
                break;
            }
        }
    }
    if (r.kind == RefusalKind::DuplicateKey)
        for (size_t c = 0; c < m_fields.size(); ++c)
            r.row.insert(m_fields[c].name.toLower(), row[qsizetype(c)]);
}

bool Dataset::storedAsWritten(const QVariantList &row, const QVariantList *before) const
{
    if (m_idColumn < 0 || m_table.isEmpty()) return false;
    const QVariant id = before ? (*before)[m_idColumn] : row[m_idColumn];
    if (isNullValue(id)) return false;
    const std::optional<QVariantList> stored = storedRow(id);
    return stored && holdsOurChanges(*stored, row, before);
}

bool Dataset::holdsOurChanges(const QVariantList &stored, const QVariantList &row,
                              const QVariantList *before)
{
    for (qsizetype c = 0; c < row.size(); ++c) {
        const QVariant &now = row[c];
        if (before ? sameValue(now, (*before)[c]) : isNullValue(now)) continue;
        if (!stored[c].isValid() || !sameValue(stored[c], now)) return false;
    }
    return true;
}

std::optional<QVariantList> Dataset::storedRow(const QVariant &id) const
{
    QSqlQuery q = m_connection->exec(
        Access::Read,
        QStringLiteral("select * from %1 where %2 = ?").arg(m_sqlTable, sqlColumn(m_idColumn)),
        {id}, true);
    if (!q.next()) {
        // A read that failed on the way is no answer: the row may well be there.
        if (q.lastError().isValid()) throw m_connection->error(q.lastError());
        return std::nullopt;
    }
    // The statement may read fewer columns, or in another order, than the table has.
    const QSqlRecord rec = q.record();
    QVariantList row;
    row.reserve(qsizetype(m_fields.size()));
    for (const FieldDef &f : m_fields) {
        const int i = rec.indexOf(f.name);
        row.append(i < 0         ? QVariant()
                   : q.isNull(i) ? QVariant(QMetaType(QMetaType::Nullptr))
                                 : q.value(i));
    }
    // Read: its statement is free for the next run.
    q.finish();
    return row;
}

void Dataset::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit) cancel();
    if (isEmpty()) throw DatasetStateError(QStringLiteral("数据集为空，无法删除记录"));
    if (m_table.isEmpty())
        throw DatabaseError(QStringLiteral("无法确定要删除记录的表: %1").arg(m_sql));
    if (m_idColumn < 0 || isNullValue(value(m_idColumn)))
        throw DatabaseError(QStringLiteral("记录没有 id，无法从表 %1 删除").arg(m_table));
    const QString sql =
        QStringLiteral("delete from %1 where %2 = ?").arg(m_sqlTable, sqlColumn(m_idColumn));
    m_connection->exec(Access::Write, sql, {value(m_idColumn)}, true);
    const int row = m_cursor;
    removeRow(row);
    land(row, true);
    m_bof = m_eof = isEmpty();
    emit cursorMoved(m_cursor);
}

} // namespace zarn
